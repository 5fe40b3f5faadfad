// X events, read off the connection by whichever thread pumps it, handed to
// the thread that owns their window and told to the core there.

#include "core/window_events.h"
#include "x11/x11.h"

namespace winsubset {
namespace {

HeldKeys Held(unsigned state) {
    HeldKeys held;
    held.shift = (state & ShiftMask) != 0;
    held.control = (state & ControlMask) != 0;
    held.alt = (state & Mod1Mask) != 0;
    held.left = (state & Button1Mask) != 0;
    held.middle = (state & Button2Mask) != 0;
    held.right = (state & Button3Mask) != 0;
    return held;
}

void TranslateButton(HWND hwnd, const XButtonEvent& event, bool press) {
    const auto time = static_cast<DWORD>(event.time);
    switch (event.button) {
        case Button1:
            ButtonInput(hwnd, MouseButton::Left, press, event.x, event.y, Held(event.state), time);
            break;
        case Button2:
            ButtonInput(hwnd, MouseButton::Middle, press, event.x, event.y, Held(event.state),
                        time);
            break;
        case Button3:
            ButtonInput(hwnd, MouseButton::Right, press, event.x, event.y, Held(event.state), time);
            break;
        case Button4:
        case Button5:
            // The wheel arrives as a press and release per notch; the press
            // is the notch.
            if (press) {
                WheelInput(hwnd, event.button == Button4 ? 1 : -1, event.x_root, event.y_root,
                           Held(event.state), time);
            }
            break;
        default:
            break;
    }
}

// Under a reparenting window manager the server's own ConfigureNotify is
// relative to the frame the window sits in; one the window manager sends is
// in root coordinates already (ICCCM 4.1.5), and so is the server's for a
// window with no frame. Only the framed case costs the round trip of asking.
void TranslateConfigure(HWND hwnd, const X11Window& x11, const XConfigureEvent& configure) {
    int x = configure.x;
    int y = configure.y;
    if (!configure.send_event && x11.framed) {
        const XLock hold(configure.display);
        ::Window child = 0;
        XTranslateCoordinates(configure.display, configure.window,
                              DefaultRootWindow(configure.display), 0, 0, &x, &y, &child);
    }
    Configured(hwnd, x, y, configure.width, configure.height);
}

// On the window's own thread.
void Translate(HWND hwnd, XEvent& event) {
    WindowState* window = LookupWindow(hwnd);
    // Gone, or the event is of an X window since replaced.
    if (window == nullptr || X11Of(*window).xid != event.xany.window) return;
    X11Window& x11 = X11Of(*window);
    const Atoms& atoms = GetAtoms();
    switch (event.type) {
        case ClientMessage:
            if (event.xclient.message_type == atoms.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == atoms.wmDeleteWindow) {
                CloseAsked(hwnd);
            }
            break;
        case DestroyNotify:
            NativeWindowGone(hwnd);
            break;
        case Expose:
            Exposed(hwnd);
            break;
        case ConfigureNotify:
            TranslateConfigure(hwnd, x11, event.xconfigure);
            break;
        case ReparentNotify:
            x11.framed = event.xreparent.parent != DefaultRootWindow(event.xreparent.display);
            break;
        case KeyPress:
        case KeyRelease: {
            const bool press = event.type == KeyPress;
            std::string text;
            const Win32Key key = TranslateXKey(event.xkey, press ? &text : nullptr);
            KeyInput(hwnd, key, press, Held(event.xkey.state), static_cast<DWORD>(event.xkey.time),
                     std::move(text));
            break;
        }
        case ButtonPress:
        case ButtonRelease:
            TranslateButton(hwnd, event.xbutton, event.type == ButtonPress);
            break;
        case MotionNotify:
            MotionInput(hwnd, event.xmotion.x, event.xmotion.y, Held(event.xmotion.state),
                        static_cast<DWORD>(event.xmotion.time));
            break;
        case FocusIn:
            FocusChanged(hwnd, true);
            break;
        case FocusOut:
            FocusChanged(hwnd, false);
            break;
        default:
            break;
    }
}

}  // namespace

void PumpX11Events() {
    ::Display* display = GetDisplay();
    // One reader at a time, and none inside another thread's error trap,
    // whose errors this reading would otherwise take.
    const XLock hold(display);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        // Win32 handles a window's messages on the thread that created it:
        // the event waits there. Events of X windows no longer any
        // window's (replaced, destroyed) are dropped.
        HWND hwnd = nullptr;
        std::thread::id owner;
        if (WindowOfNativeId(event.xany.window, hwnd, owner)) {
            RunOnOwner(owner, [hwnd, event]() mutable { Translate(hwnd, event); });
        }
    }
}

}  // namespace winsubset
