#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <map>
#include <memory>

#include "internal.h"

namespace winx11 {
namespace {

// Handle values are never reused, so a stale handle is always recognised.
uintptr_t g_nextHandle = 0x10010;

std::map<HWND, std::unique_ptr<WindowState>>& Windows() {
    static std::map<HWND, std::unique_ptr<WindowState>> windows;
    return windows;
}
std::map<HDC, HWND>& DeviceContexts() {
    static std::map<HDC, HWND> dcs;
    return dcs;
}
std::map<::Window, HWND>& XWindows() {
    static std::map<::Window, HWND> xids;
    return xids;
}

constexpr long kEventMask = ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask |
                            ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            FocusChangeMask;

// Where CW_USEDEFAULT windows go: cascaded from the top-left corner.
int g_cascade = 0;

void SetTitle(::Display* display, ::Window xid, const std::string& ansiTitle) {
    const Atoms& atoms = GetAtoms();
    const std::string utf8 = AnsiToUtf8(ansiTitle.c_str());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const int length = static_cast<int>(utf8.size());
    XChangeProperty(display, xid, atoms.netWmName, atoms.utf8String, 8, PropModeReplace, bytes,
                    length);
    XChangeProperty(display, xid, XA_WM_NAME, atoms.utf8String, 8, PropModeReplace, bytes, length);
}

// Everything a window manager needs to know about one of our X windows.
void DescribeToWindowManager(::Display* display, const WindowState& window,
                             const std::string& className, bool positioned) {
    Atom deleteWindow = GetAtoms().wmDeleteWindow;
    XSetWMProtocols(display, window.xid, &deleteWindow, 1);

    std::string instanceName = "opengl_test";
    std::string classUtf8 = AnsiToUtf8(className.c_str());
    XClassHint classHint = {instanceName.data(), classUtf8.data()};
    XSetClassHint(display, window.xid, &classHint);

    XSizeHints sizeHints = {};
    sizeHints.flags = PSize | (positioned ? USPosition : PPosition);
    sizeHints.x = window.x;
    sizeHints.y = window.y;
    sizeHints.width = window.clientWidth;
    sizeHints.height = window.clientHeight;
    if ((window.style & WS_THICKFRAME) == 0) {
        sizeHints.flags |= PMinSize | PMaxSize;
        sizeHints.min_width = sizeHints.max_width = window.clientWidth;
        sizeHints.min_height = sizeHints.max_height = window.clientHeight;
    }
    XSetWMNormalHints(display, window.xid, &sizeHints);
    SetTitle(display, window.xid, window.title);
}

::Window CreateXWindow(::Display* display, const WindowState& window, ::Visual* visual, int depth) {
    const int screen = DefaultScreen(display);
    const ::Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes = {};
    unsigned long mask = CWEventMask | CWBackPixmap | CWBorderPixel;
    attributes.event_mask = kEventMask;
    // No background: the server would otherwise clear over what OpenGL drew
    // on every expose.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    if (visual != DefaultVisual(display, screen)) {
        attributes.colormap = XCreateColormap(display, root, visual, AllocNone);
        mask |= CWColormap;
    }
    XErrorTrap trap(display);
    const ::Window xid = XCreateWindow(display, root, window.x, window.y,
                                       static_cast<unsigned>(std::max(window.clientWidth, 1)),
                                       static_cast<unsigned>(std::max(window.clientHeight, 1)), 0,
                                       depth, InputOutput, visual, mask, &attributes);
    return trap.Finish() == Success ? xid : 0;
}

}  // namespace

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

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

WindowState* LookupWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Windows().find(hwnd);
    return found == Windows().end() ? nullptr : found->second.get();
}

bool OwnerThread(HWND hwnd, std::thread::id& thread) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Windows().find(hwnd);
    if (found == Windows().end()) {
        return false;
    }
    thread = found->second->thread;
    return true;
}

WindowState* LookupWindowByDC(HDC hdc) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto dc = DeviceContexts().find(hdc);
    if (dc == DeviceContexts().end()) {
        return nullptr;
    }
    return Windows().at(dc->second).get();
}

WindowState* LookupWindowByXid(::Window xid) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = XWindows().find(xid);
    return found == XWindows().end() ? nullptr : Windows().at(found->second).get();
}

HWND FindWindowNeedingPaint(HWND filter) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto self = std::this_thread::get_id();
    for (const auto& entry : Windows()) {
        const WindowState& window = *entry.second;
        if (window.needsPaint && window.thread == self &&
            (filter == nullptr || filter == window.handle)) {
            return window.handle;
        }
    }
    return nullptr;
}

bool RecreateXWindow(WindowState& window, ::Visual* visual, int depth) {
    ::Display* display = GetDisplay();
    const ::Window replacement = CreateXWindow(display, window, visual, depth);
    if (replacement == 0) {
        return false;
    }
    const ::Window old = window.xid;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        XWindows().erase(old);
        XWindows()[replacement] = window.handle;
        window.xid = replacement;
        window.visual = visual;
        window.depth = depth;
    }
    DescribeToWindowManager(display, window, window.className, true);
    if (window.visible) {
        XMapWindow(display, replacement);
    }
    XErrorTrap trap(display);
    XDestroyWindow(display, old);
    trap.Finish();
    return true;
}

namespace {

// The end of every window: no context stays bound to it, the X window goes
// (unless another client took it already) and the handles die.
void ForgetWindow(HWND hwnd, bool destroyXWindow) {
    WindowState* window = LookupWindow(hwnd);
    ReleaseContextsOn(window->dc);
    ::Display* display = OpenDisplayOrNull();
    if (destroyXWindow && display != nullptr) {
        XErrorTrap trap(display);
        XDestroyWindow(display, window->xid);
        trap.Finish();
    }
    std::lock_guard<std::mutex> lock(TableMutex());
    XWindows().erase(window->xid);
    DeviceContexts().erase(window->dc);
    Windows().erase(hwnd);
}

}  // namespace

void DestroyWindowState(HWND hwnd, bool xWindowGone) {
    WindowState* window = LookupWindow(hwnd);
    if (window == nullptr || window->destroying) {
        return;
    }
    window->destroying = true;
    Send(hwnd, WM_DESTROY, 0, 0);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(hwnd, !xWindowGone);
}

void ForgetRefusedWindow(HWND hwnd) {
    LookupWindow(hwnd)->destroying = true;
    Send(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(hwnd, true);
}

}  // namespace winx11

using namespace winx11;

extern "C" BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
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
    ClassInfo windowClass;
    if (!LookupClass(className, windowClass)) {
        return Fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
    }
    // Only top-level windows exist here.
    if (parent != nullptr || (style & WS_CHILD) != 0) {
        return Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
    }
    ::Display* display = GetDisplay();
    if (display == nullptr) {
        return Fail<HWND>(ERROR_DC_NOT_FOUND, nullptr);
    }
    const int screen = DefaultScreen(display);

    auto window = std::make_unique<WindowState>();
    window->proc = windowClass.proc;
    window->classStyle = windowClass.style;
    window->style = style;
    window->title = windowName != nullptr ? windowName : "";
    window->className = windowClass.name;
    window->thread = std::this_thread::get_id();

    // The X window is the client area; the frame is the window manager's.
    const FrameInsets frame = FrameFor(style, menu != nullptr);
    if (width == CW_USEDEFAULT) {
        width = DisplayWidth(display, screen) * 3 / 4;
        height = DisplayHeight(display, screen) * 3 / 4;
    }
    const bool positioned = x != CW_USEDEFAULT;
    if (!positioned) {
        x = 26 * (g_cascade % 8);
        y = 26 * (g_cascade % 8);
        ++g_cascade;
    }
    window->x = x + frame.left;
    window->y = y + frame.top;
    window->clientWidth = std::max(width - frame.left - frame.right, 0);
    window->clientHeight = std::max(height - frame.top - frame.bottom, 0);
    window->visual = DefaultVisual(display, screen);
    window->depth = DefaultDepth(display, screen);
    window->xid = CreateXWindow(display, *window, window->visual, window->depth);
    if (window->xid == 0) {
        return Fail<HWND>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    DescribeToWindowManager(display, *window, windowClass.name, positioned);
    XFlush(display);

    HWND hwnd;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        hwnd = reinterpret_cast<HWND>(g_nextHandle);
        window->handle = hwnd;
        window->dc = reinterpret_cast<HDC>(g_nextHandle + 2);
        g_nextHandle += 4;
        DeviceContexts()[window->dc] = hwnd;
        XWindows()[window->xid] = hwnd;
        Windows()[hwnd] = std::move(window);
    }

    CREATESTRUCTA create = {
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0) {
        // Refused before it existed: only WM_NCDESTROY follows.
        ForgetRefusedWindow(hwnd);
        return nullptr;
    }
    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        // Wine, the reference here, ends such a window with WM_NCDESTROY
        // alone, as for a refused WM_NCCREATE.
        ForgetRefusedWindow(hwnd);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && IsWindow(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hwnd) {
    // The owner is read under the table lock: asked from another thread,
    // the window may be going at this very moment.
    std::thread::id owner;
    if (!OwnerThread(hwnd, owner)) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    if (owner != std::this_thread::get_id()) {
        return Fail<BOOL>(5, FALSE);  // ERROR_ACCESS_DENIED, as for another thread's window
    }
    DestroyWindowState(hwnd, false);
    return TRUE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    WindowState* window = LookupWindow(hwnd);
    if (window == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    const bool wasVisible = window->visible;
    const bool show = command != SW_HIDE;
    if (show != wasVisible) {
        Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        window = LookupWindow(hwnd);
        if (window == nullptr) {
            return wasVisible;  // destroyed by its own WM_SHOWWINDOW handler
        }
        window->visible = show;
        ::Display* display = GetDisplay();
        if (show) {
            XMapWindow(display, window->xid);
        } else {
            XUnmapWindow(display, window->xid);
        }
        XFlush(display);
    }
    return wasVisible ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindow(HWND hwnd) {
    return LookupWindow(hwnd) != nullptr;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hwnd) {
    const WindowState* window = LookupWindow(hwnd);
    return window != nullptr && window->visible;
}

extern "C" BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
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
    // Every window here has a device context of its own, as CS_OWNDC gives:
    // the same handle on every call, keeping its pixel format.
    const WindowState* window = LookupWindow(hwnd);
    if (window == nullptr) {
        return Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    }
    return window->dc;
}

extern "C" int WINAPI ReleaseDC(HWND /*hwnd*/, HDC hdc) {
    // A window's own device context is never really released: releasing a
    // live one succeeds and changes nothing, whichever window is named, as
    // Wine answers; an unknown or dead one is refused.
    return LookupWindowByDC(hdc) != nullptr ? 1 : 0;
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
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
