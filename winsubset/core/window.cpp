// USER32's windows: creation, destruction, showing, their client area and
// device contexts, and the frame metrics that size them.

#include <algorithm>
#include <memory>

#include "core/internal.h"

namespace winsubset {
namespace {

// The end of every window: no context stays bound to it, the handles die,
// then its surface and native window go (unless the window system took the
// window already). Under the driver lock, which a swap holds from finding
// the surface to presenting it: the swap reaches the window before it goes,
// or finds no window and presents nothing.
void ForgetWindow(HWND hwnd, bool destroyNative) {
    WindowState* window = LookupWindow(hwnd);
    ReleaseContextsOn(window->dc);
    const DriverLock driver;
    const EGLSurface surface = TakeWindowSurface(*window);
    if (surface != EGL_NO_SURFACE) DestroySurface(surface);
    // Out of the tables before the record goes, so that no thread finds it.
    std::unique_ptr<WindowState> record = RemoveWindow(hwnd);
    if (record != nullptr && record->native != nullptr) {
        ThePlatform()->destroyWindow(*record, !destroyNative);
    }
}

}  // namespace

FrameInsets FrameFor(DWORD style, bool menu) {
    // Classic Windows metrics: SM_CXSIZEFRAME, SM_CXFIXEDFRAME, SM_CXBORDER,
    // SM_CYCAPTION and SM_CYMENU.
    int border = 0;
    if ((style & WS_THICKFRAME) != 0) {
        border = 4;
    } else if ((style & WS_DLGFRAME) != 0) {
        border = 3;
    } else if ((style & WS_BORDER) != 0) {
        border = 1;
    }
    const int caption = (style & WS_CAPTION) == WS_CAPTION ? 19 : 0;
    const int menuBar = menu ? 19 : 0;
    return {border, border + caption + menuBar, border, border};
}

bool DestroyWindowState(HWND hwnd, bool xWindowGone) {
    // Gone from under it, the X window cannot wait for another thread to let
    // it go.
    switch (BeginDestruction(hwnd, xWindowGone)) {
        case Destruction::AlreadyGoing:
            return true;
        case Destruction::Busy:
            return false;
        case Destruction::Started:
            break;
    }
    Send(hwnd, WM_DESTROY, 0, 0);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(hwnd, !xWindowGone);
    return true;
}

void ForgetRefusedWindow(HWND hwnd) {
    BeginDestruction(hwnd, true);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(hwnd, true);
}

}  // namespace winsubset

using namespace winsubset;

extern "C" BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    const Relay relay("AdjustWindowRect");
    if (relay.Traced())
        relay.Write("%s, 0x%lX, %d", Describe(rect).c_str(), static_cast<unsigned long>(style),
                    menu);
    if (rect == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    const FrameInsets frame = FrameFor(style, menu != FALSE);
    rect->left -= frame.left;
    rect->top -= frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                       DWORD style, int x, int y, int width, int height,
                                       HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const Relay relay("CreateWindowExA");
    if (relay.Traced())
        relay.Write("0x%lX, %s, %s, 0x%lX, %d, %d, %d, %d, %p, %p, %p, %p",
                    static_cast<unsigned long>(exStyle), Quoted(className).c_str(),
                    Quoted(windowName).c_str(), static_cast<unsigned long>(style), x, y, width,
                    height, static_cast<const void*>(parent), static_cast<const void*>(menu),
                    static_cast<const void*>(instance), static_cast<const void*>(param));
    if (relay.Fails()) return Fail<HWND>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    ClassInfo windowClass;
    if (!LookupClass(className, windowClass)) {
        return Fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    }
    // Only top-level windows exist here.
    if (parent != nullptr || (style & WS_CHILD) != 0) {
        return Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
    }
    const Platform* platform = ThePlatform();
    if (platform == nullptr) {
        return Fail<HWND>(ERROR_DC_NOT_FOUND, nullptr);
    }
    // The thread's queue outlives none of its windows (it ends them).
    EnsureOwnQueue();

    auto window = std::make_unique<WindowState>();
    window->proc = windowClass.proc;
    window->classStyle = windowClass.style;
    window->style = style;
    window->title = windowName != nullptr ? windowName : "";
    window->className = windowClass.name;
    window->thread = std::this_thread::get_id();

    // The native window is the client area; the frame is the window
    // manager's or the compositor's.
    const FrameInsets frame = FrameFor(style, menu != nullptr);
    if (width == CW_USEDEFAULT) {
        int screenWidth = 0;
        int screenHeight = 0;
        platform->screenSize(screenWidth, screenHeight);
        width = screenWidth * 3 / 4;
        height = screenHeight * 3 / 4;
    }
    const bool positioned = x != CW_USEDEFAULT;
    if (!positioned) {
        // Cascaded from the top-left corner.
        const int step = NextCascade() % 8;
        x = 26 * step;
        y = 26 * step;
    }
    window->x = x + frame.left;
    window->y = y + frame.top;
    window->clientWidth = std::max(width - frame.left - frame.right, 0);
    window->clientHeight = std::max(height - frame.top - frame.bottom, 0);
    window->native = platform->createWindow(*window, positioned);
    if (window->native == nullptr) {
        return Fail<HWND>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    SetNativeId(*window, window->native->id, window->native->visualId);

    const HWND hwnd = AddWindow(std::move(window));

    CREATESTRUCTA create = {
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0) {
        // Refused before it existed: only WM_NCDESTROY follows.
        ForgetRefusedWindow(hwnd);
        return nullptr;
    }
    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        // Ended with WM_NCDESTROY alone, as for a refused WM_NCCREATE: what
        // a Win32 program observes there.
        ForgetRefusedWindow(hwnd);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && IsWindow(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hwnd) {
    const Relay relay("DestroyWindow");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hwnd));
    // The owner is read under the table lock: asked from another thread,
    // the window may be going at this very moment.
    std::thread::id owner;
    if (!OwnerThread(hwnd, owner)) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    if (owner != std::this_thread::get_id()) {
        return Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);  // as for another thread's window
    }
    // Win32 would let it go with a context still current on it elsewhere;
    // the subset refuses rather than pull the drawable from under that
    // thread's next frame.
    if (!DestroyWindowState(hwnd, false)) return Fail<BOOL>(ERROR_BUSY, FALSE);
    return TRUE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    const Relay relay("ShowWindow");
    if (relay.Traced()) relay.Write("%p, %d", static_cast<const void*>(hwnd), command);
    std::thread::id owner;
    if (!OwnerThread(hwnd, owner)) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    // WM_SHOWWINDOW would run the procedure here, off its thread.
    if (owner != std::this_thread::get_id()) {
        return Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    WindowState* window = LookupWindow(hwnd);
    const bool wasVisible = window->visible;
    const bool show = command != SW_HIDE;
    if (show != wasVisible) {
        Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        window = LookupWindow(hwnd);
        if (window == nullptr) {
            return wasVisible;  // destroyed by its own WM_SHOWWINDOW handler
        }
        window->visible = show;
        ThePlatform()->show(*window, show);
    }
    return wasVisible ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindow(HWND hwnd) {
    const Relay relay("IsWindow");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hwnd));
    return LookupWindow(hwnd) != nullptr;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hwnd) {
    const Relay relay("IsWindowVisible");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hwnd));
    const WindowState* window = LookupWindow(hwnd);
    return window != nullptr && window->visible;
}

extern "C" BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    const Relay relay("GetClientRect");
    if (relay.Traced())
        relay.Write("%p, %p", static_cast<const void*>(hwnd), static_cast<const void*>(rect));
    const WindowState* window = LookupWindow(hwnd);
    if (window == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    if (rect == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    *rect = {0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

extern "C" HDC WINAPI GetDC(HWND hwnd) {
    const Relay relay("GetDC");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hwnd));
    if (relay.Fails()) return Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    // Every window here has a device context of its own, as CS_OWNDC gives:
    // the same handle on every call, keeping its pixel format.
    const HDC dc = DeviceContextOf(hwnd);
    return dc != nullptr ? dc : Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
}

extern "C" int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
    const Relay relay("ReleaseDC");
    if (relay.Traced())
        relay.Write("%p, %p", static_cast<const void*>(hwnd), static_cast<const void*>(hdc));
    // A window's own device context is never really released: releasing a
    // live one succeeds and changes nothing, whichever window is named, as
    // Wine answers; an unknown or dead one is refused.
    WindowSnapshot drawable;
    return DrawableOf(hdc, drawable, true) ? 1 : 0;
}
