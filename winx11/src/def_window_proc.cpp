// DefWindowProcA: what a window does with the messages its procedure
// passes on.

#include "internal.h"

using namespace winx11;

extern "C" LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const Relay relay("DefWindowProcA");
    if (relay.Traced()) relay.WriteMessage(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            // The low four bits of the command are the system's own.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                SendMessageA(hwnd, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_PAINT: {
            // What BeginPaint/EndPaint would do: the window is valid again.
            WindowState* window = LookupWindow(hwnd);
            if (window != nullptr) {
                window->needsPaint = false;
            }
            return 0;
        }
        default:
            return 0;
    }
}
