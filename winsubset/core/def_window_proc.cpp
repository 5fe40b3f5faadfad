// DefWindowProcA: what a window does with the messages its procedure
// passes on.

#include "core/internal.h"

using namespace winsubset;

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
        case WM_SYSKEYUP:
            // Alt or F10 let go alone, and a key typed with Alt, ask for
            // the window menu; the subset has none to open.
            if (wParam == VK_MENU || wParam == VK_F10) {
                SendMessageA(hwnd, WM_SYSCOMMAND, SC_KEYMENU, 0);
            }
            return 0;
        case WM_SYSCHAR:
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
            return 0;
        case WM_SYSKEYDOWN:
            // Alt+F4 closes the window, as its close box does.
            if (wParam == VK_F4 && (HIWORD(lParam) & KF_ALTDOWN) != 0) {
                PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
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
