#include <X11/Xutil.h>

#include <array>

#include "core/internal.h"
#include "core/key_translation.h"

namespace winsubset {
namespace {

// X gives the modifiers of a key press only with the event; TranslateMessage
// sees just the MSG, so the text waits with the thread under the key's scan
// code and time.
void RememberKeyText(WORD scan, DWORD time, std::string utf8) {
    if (utf8.empty()) return;
    ThreadState& thread = ThisThread();
    thread.keyTexts[thread.nextKeyText++ % thread.keyTexts.size()] = {scan, time, std::move(utf8)};
}

// Win32's key messages, from X's: with Alt held (and Ctrl not), and F10
// alone, a key is a system key, the window menu's; lParam's KF_ALTDOWN says
// whether Alt is down once the event has happened. X gives the modifiers
// as they were before it.
void TranslateKey(const WindowState& window, XKeyEvent& event, bool press) {
    std::string text;
    const Win32Key translated = TranslateXKey(event, press ? &text : nullptr);
    // Win32 has no message for a key the keymap gives nothing.
    if (translated.vk == 0) return;
    const WPARAM key = translated.vk;
    bool alt = (event.state & Mod1Mask) != 0;
    bool ctrl = (event.state & ControlMask) != 0;
    if (key == VK_MENU) alt = press;
    if (key == VK_CONTROL) ctrl = press;
    bool system = (alt && !ctrl) || key == VK_F10;
    ThreadState& thread = ThisThread();
    if (key == VK_MENU) {
        // Alt released after another key is a plain key's release.
        if (!press) system = thread.altAlone && !ctrl;
        thread.altAlone = press;
    } else if (press) {
        thread.altAlone = false;
    }
    UINT message = 0;
    // The scan code's ninth bit is KF_EXTENDED.
    DWORD flags = translated.scan;
    if (alt) flags |= KF_ALTDOWN;
    if (press) {
        RememberKeyText(translated.scan, static_cast<DWORD>(event.time), std::move(text));
        message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        // The key was down and is being released.
        flags |= KF_REPEAT | KF_UP;
        message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    PostInput(window, message, key, static_cast<LPARAM>(1u | (flags << 16)),
              static_cast<DWORD>(event.time));
}

// The MK_ flags as Win32 reports them: the state after the event, so a
// button's own press carries its flag and its release does not.
WPARAM MouseKeys(unsigned state, unsigned changedButton = 0, bool press = false) {
    const unsigned buttonMask = changedButton == Button1   ? Button1Mask
                                : changedButton == Button2 ? Button2Mask
                                : changedButton == Button3 ? Button3Mask
                                                           : 0;
    state = press ? state | buttonMask : state & ~buttonMask;
    WPARAM keys = 0;
    if ((state & Button1Mask) != 0) keys |= MK_LBUTTON;
    if ((state & Button2Mask) != 0) keys |= MK_MBUTTON;
    if ((state & Button3Mask) != 0) keys |= MK_RBUTTON;
    if ((state & ShiftMask) != 0) keys |= MK_SHIFT;
    if ((state & ControlMask) != 0) keys |= MK_CONTROL;
    return keys;
}

void TranslateButton(const WindowState& window, const XButtonEvent& event, bool press) {
    const LPARAM position = MAKELPARAM(event.x, event.y);
    const auto time = static_cast<DWORD>(event.time);
    UINT message = 0;
    switch (event.button) {
        case Button1:
            message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case Button2:
            message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case Button3:
            message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        case Button4:
        case Button5:
            // The wheel arrives as a press and release per notch; the press
            // is the notch.
            if (press) {
                const int delta = event.button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
                const WPARAM wParam =
                    MouseKeys(event.state) | (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16);
                PostInput(window, WM_MOUSEWHEEL, wParam, MAKELPARAM(event.x_root, event.y_root),
                          time);
            }
            return;
        default:
            return;
    }
    PostInput(window, message, MouseKeys(event.state, event.button, press), position, time);
}

void Translate(XEvent& event) {
    WindowState* window = LookupWindowByXid(event.xany.window);
    if (window == nullptr) {
        return;  // an X window we replaced or already forgot
    }
    const HWND hwnd = window->handle;
    const Atoms& atoms = GetAtoms();
    switch (event.type) {
        case ClientMessage:
            // The close box: Win32 turns it into WM_SYSCOMMAND/SC_CLOSE,
            // whose default handling sends WM_CLOSE.
            if (event.xclient.message_type == atoms.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == atoms.wmDeleteWindow) {
                PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            break;
        case DestroyNotify:
            // Another client destroyed the X window: the HWND dies with it.
            DestroyWindowState(hwnd, true);
            break;
        case Expose:
            window->needsPaint = true;
            break;
        case ConfigureNotify: {
            const XConfigureEvent& configure = event.xconfigure;
            // Under a reparenting window manager the server's own event is
            // relative to the frame the window sits in; one the window
            // manager sends is in root coordinates already (ICCCM 4.1.5),
            // and so is the server's for a window with no frame. Only the
            // framed case costs the round trip of asking.
            int x = configure.x;
            int y = configure.y;
            if (!configure.send_event && window->framed) {
                const XLock hold(configure.display);
                ::Window child = 0;
                XTranslateCoordinates(configure.display, configure.window,
                                      DefaultRootWindow(configure.display), 0, 0, &x, &y, &child);
            }
            const bool resized =
                configure.width != window->clientWidth || configure.height != window->clientHeight;
            const bool moved = x != window->x || y != window->y;
            window->clientWidth = configure.width;
            window->clientHeight = configure.height;
            window->x = x;
            window->y = y;
            // Sent, as Win32 sends them from the window-position change.
            if (moved) {
                Send(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
            }
            if (resized && LookupWindow(hwnd) != nullptr) {
                Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(configure.width, configure.height));
            }
            break;
        }
        case ReparentNotify:
            window->framed = event.xreparent.parent != DefaultRootWindow(event.xreparent.display);
            break;
        case KeyPress:
        case KeyRelease:
            TranslateKey(*window, event.xkey, event.type == KeyPress);
            break;
        case ButtonPress:
        case ButtonRelease:
            TranslateButton(*window, event.xbutton, event.type == ButtonPress);
            break;
        case MotionNotify:
            PostInput(*window, WM_MOUSEMOVE, MouseKeys(event.xmotion.state),
                      MAKELPARAM(event.xmotion.x, event.xmotion.y),
                      static_cast<DWORD>(event.xmotion.time));
            break;
        case FocusIn:
            Send(hwnd, WM_SETFOCUS, 0, 0);
            break;
        case FocusOut:
            Send(hwnd, WM_KILLFOCUS, 0, 0);
            break;
        default:
            break;
    }
}

}  // namespace

void PumpXEvents(::Display* display) {
    {
        // One reader at a time, and none inside another thread's error
        // trap, whose errors this reading would otherwise take.
        const XLock hold(display);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            // Win32 handles a window's messages on the thread that created
            // it: the event waits there. Events of X windows no longer
            // any window's (replaced, destroyed) are dropped.
            std::thread::id owner;
            if (OwnerOfXWindow(event.xany.window, owner)) QueueXEvent(owner, event);
        }
    }
    XEvent event;
    while (TakeXEvent(event)) Translate(event);
}

bool TakeKeyText(WORD scan, DWORD time, std::string& utf8) {
    for (KeyText& entry : ThisThread().keyTexts) {
        if (!entry.utf8.empty() && entry.scan == scan && entry.time == time) {
            utf8 = std::move(entry.utf8);
            entry.utf8.clear();
            return true;
        }
    }
    return false;
}

}  // namespace winsubset
