#include "support/x11_probe.h"

#include <X11/Xatom.h>

namespace {
int IgnoreError(::Display*, XErrorEvent*) {
    return 0;
}
}  // namespace

void IgnoreXErrors() {
    XSetErrorHandler(IgnoreError);
}

X11Probe::X11Probe() : display_(XOpenDisplay(nullptr)) {
    IgnoreXErrors();
}

X11Probe::~X11Probe() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

std::string X11Probe::Utf8Property(::Window window, const char* name) const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display_, name, False);
    std::string value;
    if (XGetWindowProperty(display_, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (format == 8) {
            value.assign(reinterpret_cast<const char*>(data), count);
        }
        XFree(data);
    }
    return value;
}

::Window X11Probe::FindByTitle(const std::string& utf8Title) const {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    XSync(display_, False);
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        // Children come bottom to top: the last match is the newest window.
        for (unsigned i = 0; i < count; ++i) {
            if (Utf8Property(children[i], "_NET_WM_NAME") == utf8Title) {
                found = children[i];
            }
        }
        XFree(children);
    }
    return found;
}

void X11Probe::SendDeleteWindow(::Window window) const {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}
