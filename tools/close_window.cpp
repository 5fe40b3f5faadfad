// Closes a top-level window the way a window manager's close box does:
// WM_DELETE_WINDOW in a WM_PROTOCOLS client message. Prints the window's id.
// Usage: close_window TITLE [--wait SECONDS] [--no-close]

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string NetWmName(Display* display, Window window) {
    Atom type;
    int format;
    unsigned long count;
    unsigned long remaining;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                           False, AnyPropertyType, &type, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return name;
}

Window FindViewable(Display* display, const std::string& title) {
    Window root;
    Window parent;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (NetWmName(display, children[i]) == title &&
                XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable) {
                found = children[i];
            }
        }
        XFree(children);
    }
    return found;
}

int IgnoreError(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: close_window TITLE [--wait SECONDS] [--no-close]\n");
        return 2;
    }
    double wait = 10;
    bool close = true;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) wait = std::atof(argv[++i]);
        if (std::strcmp(argv[i], "--no-close") == 0) close = false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "close_window: no display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreError);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(wait * 1000));
    Window window = 0;
    while ((window = FindViewable(display, argv[1])) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (window == 0) {
        std::fprintf(stderr, "close_window: no viewable window titled %s\n", argv[1]);
        return 1;
    }
    std::printf("0x%lx\n", window);
    if (close) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XCloseDisplay(display);
    return 0;
}
