#include "x11_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// While one of the client's calls runs, X errors of its own connection are
// answers (a window vanished between finding it and asking about it), not
// reasons for Xlib to end the process. Any other connection's errors go to
// the handler that was there before, which is restored afterwards: the
// client never changes how the code it watches handles its own errors.
class ErrorScope {
public:
    explicit ErrorScope(::Display* display) : display_(display) {
        if (depth++ == 0) {
            ownDisplay = display;
            previousHandler = XSetErrorHandler(Handle);
        }
    }
    ~ErrorScope() {
        if (--depth == 0) {
            XSync(display_, False);
            XSetErrorHandler(previousHandler);
            ownDisplay = nullptr;
        }
    }
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;

private:
    static int Handle(::Display* display, XErrorEvent* error) {
        if (display == ownDisplay) return 0;
        return previousHandler != nullptr ? previousHandler(display, error) : 0;
    }
    // Calls nest (a search reads properties); the outermost one installs
    // and restores.
    static inline int depth = 0;
    static inline ::Display* ownDisplay = nullptr;
    static inline XErrorHandler previousHandler = nullptr;
    ::Display* display_;
};

}  // namespace

X11Client::X11Client(const char* display) : display_(XOpenDisplay(display)) {}

X11Client::~X11Client() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

namespace {

struct XFreeDeleter {
    void operator()(unsigned char* data) const { XFree(data); }
};

// A property's items as the server holds them, and their format (8, 16 or
// 32 bits); format 0 when the property is absent.
struct RawProperty {
    int format = 0;
    unsigned long count = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> data;
};

RawProperty ReadProperty(::Display* display, ::Window window, const char* name) {
    RawProperty property;
    Atom type = None;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                           AnyPropertyType, &type, &property.format, &property.count, &remaining,
                           &data) != Success) {
        return {};
    }
    property.data.reset(data);
    if (data == nullptr) property.format = 0;
    return property;
}

}  // namespace

std::string X11Client::Utf8Property(::Window window, const char* name) const {
    ErrorScope scope(display_);
    const RawProperty property = ReadProperty(display_, window, name);
    if (property.format != 8) return "";
    return std::string(reinterpret_cast<const char*>(property.data.get()), property.count);
}

std::vector<long> X11Client::LongsProperty(::Window window, const char* name) const {
    ErrorScope scope(display_);
    const RawProperty property = ReadProperty(display_, window, name);
    if (property.format != 32) return {};
    // Xlib hands 32-bit items over as longs.
    const auto* items = reinterpret_cast<const long*>(property.data.get());
    return std::vector<long>(items, items + property.count);
}

std::string X11Client::WmName(::Window window) const {
    ErrorScope scope(display_);
    XTextProperty property = {};
    std::string name;
    if (XGetWMName(display_, window, &property) != 0 && property.value != nullptr) {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display_, &property, &list, &count) >= Success &&
            list != nullptr) {
            if (count > 0) name = list[0];
            XFreeStringList(list);
        }
        XFree(property.value);
    }
    return name;
}

::Window X11Client::FindByTitle(const std::string& utf8Title, bool viewableOnly) const {
    ErrorScope scope(display_);
    XSync(display_, False);
    return FindBelow(DefaultRootWindow(display_), utf8Title, viewableOnly, 0);
}

::Window X11Client::FindBelow(::Window window, const std::string& utf8Title, bool viewableOnly,
                              int depth) const {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return 0;
    // Children come bottom to top: the last match is the newest window. A
    // reparenting window manager puts each client inside a frame (openbox
    // one level down; others nest deeper), so a few levels are searched.
    for (unsigned i = 0; i < count; ++i) {
        ::Window match = 0;
        if (Utf8Property(children[i], "_NET_WM_NAME") == utf8Title) {
            XWindowAttributes attributes;
            if (!viewableOnly || (XGetWindowAttributes(display_, children[i], &attributes) &&
                                  attributes.map_state == IsViewable)) {
                match = children[i];
            }
        } else if (depth < 3) {
            match = FindBelow(children[i], utf8Title, viewableOnly, depth + 1);
        }
        if (match != 0) found = match;
    }
    XFree(children);
    return found;
}

XImage* X11Client::GetImage(::Window window, int* width, int* height) const {
    ErrorScope scope(display_);
    XWindowAttributes attributes;
    // A window being mapped or restored by a window manager is not viewable
    // for a moment, and GetImage then fails with BadMatch: an answer here.
    if (!XGetWindowAttributes(display_, window, &attributes) ||
        attributes.map_state != IsViewable) {
        return nullptr;
    }
    *width = attributes.width;
    *height = attributes.height;
    return XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                     static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
}

void X11Client::SendDeleteWindow(::Window window) const {
    ErrorScope scope(display_);
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

void X11Client::SendKeyPress(::Window window, unsigned keycode, Time time) const {
    ErrorScope scope(display_);
    XEvent event = {};
    event.xkey.type = KeyPress;
    event.xkey.display = display_;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display_);
    event.xkey.keycode = keycode;
    event.xkey.same_screen = True;
    event.xkey.time = time;
    XSendEvent(display_, window, False, KeyPressMask, &event);
    XFlush(display_);
}

bool WaitUntil(double seconds, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}
