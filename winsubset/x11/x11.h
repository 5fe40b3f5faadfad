#pragma once

// The X11 window system's own interface: its connection, error trap and
// the X window behind each window. Only x11/ includes this.

#include <X11/Xlib.h>

#include <memory>
#include <mutex>
#include <string>

#include "core/internal.h"
#include "core/key_translation.h"

namespace winsubset {

struct Atoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom netWmName;
    Atom utf8String;
};

// The X window behind a window, written only on the window's own thread.
struct X11Window : NativeWindow {
    ::Window xid = 0;
    ::Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0;  // made for a visual that is not the screen's; 0: none
    bool framed = false;    // the X window sits in a window manager's frame
};

inline X11Window& X11Of(WindowState& window) {
    return static_cast<X11Window&>(*window.native);
}

// --- x11_display.cpp: the one X connection and its error trap ------------

// Opens the connection on first need; nullptr when there is no display.
::Display* GetDisplay();
// The display if it is already open, without trying to open it.
::Display* DisplayIfOpen();

const Atoms& GetAtoms();

// The X lock (see library.h): Xlib's display lock for as long as it lives.
// Nothing to hold while there is no connection.
class XLock {
public:
    explicit XLock(::Display* display) : display_(display) {
        if (display_ != nullptr) XLockDisplay(display_);
    }
    ~XLock() {
        if (display_ != nullptr) XUnlockDisplay(display_);
    }
    XLock(const XLock&) = delete;
    XLock& operator=(const XLock&) = delete;

private:
    ::Display* display_;
};

// Collects the X errors of the requests sent on `display` between
// construction and Finish(), and only those: it holds the driver lock and
// the X lock for that span, its handler is installed for it alone, errors
// are matched to it by request serial, and errors of earlier requests or
// other connections go where they went before. Traps nest. Errors of
// requests sent outside any trap are named on stderr and otherwise ignored
// (but for any read while the OpenGL driver has its own handler in place,
// as it does for a moment when it first binds a window on another thread).
class XErrorTrap {
public:
    explicit XErrorTrap(::Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server to process what was sent; the first error code
    // raised by the trap's requests, or 0 (Success).
    int Finish();

private:
    static int Handle(::Display* display, XErrorEvent* event);

    std::unique_lock<std::recursive_mutex> driver;
    ::Display* display;
    unsigned long firstSerial = 0;
    XErrorHandler previous = nullptr;
    XErrorTrap* outer = nullptr;
    int error = Success;
    bool finished = false;
};

// --- x11_window.cpp: the X window behind each window ----------------------

std::unique_ptr<NativeWindow> CreateX11Window(const WindowState& window, bool positioned);
bool AdoptConfigX11(WindowState& window, EGLDisplay display, EGLConfig config);
void ShowX11Window(WindowState& window, bool visible);
void DestroyX11Window(WindowState& window, bool gone);

// --- x11_events.cpp: X events to what the core hears of them ----------------

// Reads every X event already available, without waiting, and hands each
// to the thread that owns its window.
void PumpX11Events();

// --- x11_keyboard.cpp: the server's keymap ------------------------------------

// The Win32 key of an X key event under the keymap the server had when it
// sent it, loaded again after the server says it changed; `text`, when
// given, gets the characters it types. vk 0 when the key means nothing.
Win32Key TranslateXKey(const XKeyEvent& event, std::string* text);

}  // namespace winsubset
