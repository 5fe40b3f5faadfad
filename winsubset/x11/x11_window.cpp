// The X window behind each Win32 window: its creation, its hints to the
// window manager, its replacement when a pixel format needs another visual,
// and its end.

#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "x11/x11.h"

namespace winsubset {
namespace {

constexpr long kEventMask = ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask |
                            ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            FocusChangeMask;

// _NET_WM_NAME in UTF-8 for today's window managers; WM_NAME and
// WM_ICON_NAME as ICCCM has them (STRING, or COMPOUND_TEXT beyond Latin-1,
// as Xlib converts) for older ones, taskbars and tools.
void SetTitle(::Display* display, ::Window xid, const std::string& ansiTitle) {
    const Atoms& atoms = GetAtoms();
    std::string utf8 = AnsiToUtf8(ansiTitle.c_str());
    XChangeProperty(display, xid, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    Xutf8SetWMProperties(display, xid, utf8.c_str(), utf8.c_str(), nullptr, 0, nullptr, nullptr,
                         nullptr);
}

// The X resource name of this program, for the class hint: RESOURCE_NAME
// when set (as ICCCM suggests), else the executable's name.
std::string ResourceName() {
    if (const char* name = std::getenv("RESOURCE_NAME"); name != nullptr && *name != '\0') {
        return name;
    }
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return "winsubset";
    path.resize(static_cast<size_t>(length));
    return path.substr(path.find_last_of('/') + 1);
}

// Everything a window manager needs to know about one of our X windows.
void DescribeToWindowManager(::Display* display, ::Window xid, const WindowState& window,
                             bool positioned) {
    const XLock hold(display);
    Atom deleteWindow = GetAtoms().wmDeleteWindow;
    XSetWMProtocols(display, xid, &deleteWindow, 1);

    std::string instanceName = ResourceName();
    std::string classUtf8 = AnsiToUtf8(window.className.c_str());
    XClassHint classHint = {instanceName.data(), classUtf8.data()};
    XSetClassHint(display, xid, &classHint);

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
    XSetWMNormalHints(display, xid, &sizeHints);
    SetTitle(display, xid, window.title);
    XFlush(display);
}

::Window CreateXWindow(::Display* display, const WindowState& window, ::Visual* visual, int depth,
                       Colormap& colormap) {
    const int screen = DefaultScreen(display);
    const ::Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes = {};
    unsigned long mask = CWEventMask | CWBackPixmap | CWBorderPixel;
    attributes.event_mask = kEventMask;
    // No background: the server would otherwise clear over what OpenGL drew
    // on every expose.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    XErrorTrap trap(display);
    colormap = 0;
    if (visual != DefaultVisual(display, screen)) {
        // The window's until it goes (DestroyXWindow frees it).
        colormap = XCreateColormap(display, root, visual, AllocNone);
        attributes.colormap = colormap;
        mask |= CWColormap;
    }
    const ::Window xid = XCreateWindow(display, root, window.x, window.y,
                                       static_cast<unsigned>(std::max(window.clientWidth, 1)),
                                       static_cast<unsigned>(std::max(window.clientHeight, 1)), 0,
                                       depth, InputOutput, visual, mask, &attributes);
    if (trap.Finish() == Success) return xid;
    if (colormap != 0) XFreeColormap(display, colormap);
    colormap = 0;
    return 0;
}

void DestroyXWindow(::Display* display, ::Window xid, Colormap colormap) {
    XErrorTrap trap(display);
    XDestroyWindow(display, xid);
    if (colormap != 0) XFreeColormap(display, colormap);
    trap.Finish();
}

}  // namespace

std::unique_ptr<NativeWindow> CreateX11Window(const WindowState& window, bool positioned) {
    ::Display* display = GetDisplay();
    const int screen = DefaultScreen(display);
    auto x11 = std::make_unique<X11Window>();
    x11->visual = DefaultVisual(display, screen);
    x11->depth = DefaultDepth(display, screen);
    x11->xid = CreateXWindow(display, window, x11->visual, x11->depth, x11->colormap);
    if (x11->xid == 0) return nullptr;
    x11->id = x11->xid;
    x11->visualId = static_cast<int>(XVisualIDFromVisual(x11->visual));
    DescribeToWindowManager(display, x11->xid, window, positioned);
    return x11;
}

bool AdoptConfigX11(WindowState& window, EGLDisplay egl, EGLConfig config) {
    // EGL draws only on a window of the config's visual; the X window is
    // replaced behind the same HWND and HDC when it has another one.
    EGLint visualId = 0;
    eglGetConfigAttrib(egl, config, EGL_NATIVE_VISUAL_ID, &visualId);
    X11Window& x11 = X11Of(window);
    if (static_cast<VisualID>(visualId) == XVisualIDFromVisual(x11.visual)) return true;
    ::Display* display = GetDisplay();
    XVisualInfo wanted = {};
    wanted.visualid = static_cast<VisualID>(visualId);
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    if (found == nullptr) return false;
    ::Visual* visual = found->visual;
    const int depth = found->depth;
    XFree(found);
    Colormap colormap = 0;
    const ::Window replacement = CreateXWindow(display, window, visual, depth, colormap);
    if (replacement == 0) return false;
    const ::Window old = x11.xid;
    const Colormap oldColormap = x11.colormap;
    x11.xid = replacement;
    x11.visual = visual;
    x11.depth = depth;
    x11.colormap = colormap;
    x11.framed = false;  // a new X window starts on the root
    SetNativeId(window, replacement, visualId);
    DescribeToWindowManager(display, replacement, window, true);
    if (window.visible) {
        const XLock hold(display);
        XMapWindow(display, replacement);
    }
    DestroyXWindow(display, old, oldColormap);
    return true;
}

void ShowX11Window(WindowState& window, bool visible) {
    ::Display* display = GetDisplay();
    const ::Window xid = X11Of(window).xid;
    // Every request of the subset's goes under the X lock, so that none
    // lands inside another thread's error trap.
    const XLock hold(display);
    if (visible) {
        XMapWindow(display, xid);
    } else {
        XUnmapWindow(display, xid);
    }
    XFlush(display);
}

void DestroyX11Window(WindowState& window, bool gone) {
    ::Display* display = DisplayIfOpen();
    const X11Window& x11 = X11Of(window);
    if (display == nullptr) return;
    const XLock hold(display);
    if (!gone) {
        DestroyXWindow(display, x11.xid, x11.colormap);
    } else if (x11.colormap != 0) {
        XFreeColormap(display, x11.colormap);
    }
}

}  // namespace winsubset
