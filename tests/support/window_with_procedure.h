#pragma once

// A window whose procedure is the test's own: hidden, 320 x 240, overlapped.

#include <windows.h>

// Registers `className` with `procedure` and creates a window of it titled
// `title`; NULL when either fails.
inline HWND CreateWindowWithProcedure(const char* className, WNDPROC procedure, const char* title) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    if (RegisterClassExA(&windowClass) == 0) return nullptr;
    return CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}
