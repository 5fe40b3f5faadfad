#include "platform/main_window.h"

// "OpenGL" + 83 65 83 58 83 67. Each Shift_JIS pair is split into two
// literals so that a trail byte that is also a hex digit ('e') cannot be
// read as part of the escape.
const char kMainWindowName[13] =
    "OpenGL\x83"
    "e\x83X\x83g";

bool CreateMainWindow(MainWindow& window, HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kMainWindowName;
    windowClass.hIconSm = nullptr;
    if (RegisterClassExA(&windowClass) == 0) {
        return false;
    }

    // The outer size that gives a 640 x 480 client area.
    RECT rect = {0, 0, 640, 480};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    // Created hidden; the application shows it when it starts running.
    window.hwnd =
        CreateWindowExA(0, kMainWindowName, kMainWindowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        width, height, nullptr, nullptr, instance, nullptr);
    if (window.hwnd == nullptr) {
        return false;  // the class stays registered
    }
    // A NULL device context is left for the renderer's Initialize to refuse.
    window.hdc = GetDC(window.hwnd);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
        case WM_CLOSE:
            // WM_CLOSE is not passed on: the default handling would destroy
            // the window, and the program keeps it until the process ends.
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
