// A plain overlapped window that says on stdout where Win32 tells it it is,
// so that a test outside the process can move it through a window manager
// and compare: one line per WM_MOVE ("move X Y", the client area's origin
// on the screen) and per WM_SIZE ("size W H"). Keys and buttons are
// reported too, as the procedure receives them: "keydown", "keyup",
// "syskeydown", "syskeyup" with the virtual key and lParam (repeat count,
// scan code, extended bit, Alt, the key down before, being released),
// "char" and "syschar" with the character (a byte of the ANSI code page),
// "syscommand" with the command, and the buttons' "lbuttondown"/"lbuttonup"
// with their MK_ flags. Ends with 0 when closed.
// Built in both builds, so the same window reports from our subset and from
// Wine under the same window manager.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

const char kProbeTitle[] = "window probe";

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            // Signed: a window may sit left of or above the screen.
            std::printf("move %d %d\n", static_cast<short>(LOWORD(lParam)),
                        static_cast<short>(HIWORD(lParam)));
            std::fflush(stdout);
            return 0;
        case WM_SIZE:
            std::printf("size %d %d\n", LOWORD(lParam), HIWORD(lParam));
            std::fflush(stdout);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP: {
            const char* name = message == WM_KEYDOWN      ? "keydown"
                               : message == WM_KEYUP      ? "keyup"
                               : message == WM_SYSKEYDOWN ? "syskeydown"
                                                          : "syskeyup";
            std::printf("%s 0x%02X 0x%08X\n", name, static_cast<unsigned>(wParam),
                        static_cast<unsigned>(lParam));
            std::fflush(stdout);
            break;  // on to DefWindowProcA: Alt+F4 is its business
        }
        case WM_CHAR:
        case WM_SYSCHAR:
            std::printf("%s 0x%02X\n", message == WM_CHAR ? "char" : "syschar",
                        static_cast<unsigned>(wParam));
            std::fflush(stdout);
            break;
        case WM_SYSCOMMAND:
            std::printf("syscommand 0x%04X\n", static_cast<unsigned>(wParam & 0xFFF0));
            std::fflush(stdout);
            // Alt or F10 alone asks for the window menu, whose modal loop
            // would hold the probe until a key dismissed it.
            if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            std::printf("%s 0x%X\n", message == WM_LBUTTONDOWN ? "lbuttondown" : "lbuttonup",
                        static_cast<unsigned>(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)));
            std::fflush(stdout);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kProbeTitle;
    if (RegisterClassExA(&windowClass) == 0) return 1;
    // WM_CLOSE goes to DefWindowProcA, which destroys the window.
    HWND hwnd = CreateWindowExA(0, kProbeTitle, kProbeTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 320, 240, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) return 2;
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
