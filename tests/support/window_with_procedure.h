#pragma once

// A hidden main window whose procedure is the test's own, for tests that
// run the application loop against a real message queue.

#include <windows.h>

#include "platform/main_window.h"

// Registers `className` with `procedure` and creates a 320 x 240 window of
// it titled `title`; hwnd is NULL when either fails.
inline MainWindow CreateWindowWithProcedure(const char* className, WNDPROC procedure,
                                            const char* title) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    MainWindow window = {nullptr, nullptr};
    if (RegisterClassExA(&windowClass) == 0) return window;
    window.hwnd = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (window.hwnd != nullptr) window.hdc = GetDC(window.hwnd);
    return window;
}
