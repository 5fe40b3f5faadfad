// The X window behind each Win32 window: its creation, its hints to the
// window manager, and its replacement when a pixel format needs another
// visual.

#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/internal.h"

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

}  // namespace

// Everything a window manager needs to know about one of our X windows.
void DescribeToWindowManager(::Display* display, const WindowState& window,
                             const std::string& className, bool positioned) {
    const XLock hold(display);
    Atom deleteWindow = GetAtoms().wmDeleteWindow;
    XSetWMProtocols(display, window.xid, &deleteWindow, 1);

    std::string instanceName = ResourceName();
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

bool RecreateXWindow(WindowState& window, ::Visual* visual, int depth) {
    ::Display* display = GetDisplay();
    Colormap colormap = 0;
    const ::Window replacement = CreateXWindow(display, window, visual, depth, colormap);
    if (replacement == 0) {
        return false;
    }
    const ::Window old = window.xid;
    const Colormap oldColormap = window.colormap;
    ReplaceXWindow(window, replacement, visual, depth, colormap);
    DescribeToWindowManager(display, window, window.className, true);
    if (window.visible) {
        const XLock hold(display);
        XMapWindow(display, replacement);
    }
    DestroyXWindow(display, old, oldColormap);
    return true;
}

}  // namespace winsubset
