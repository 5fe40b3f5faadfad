#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <array>

#include "internal.h"

namespace winx11 {
namespace {

void RememberKeyText(XKeyEvent& event) {
    char latin1[16];
    KeySym keysym;
    const int length = XLookupString(&event, latin1, sizeof latin1, &keysym, nullptr);
    std::string utf8;
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(latin1[i]);
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (!utf8.empty()) {
        // The owner's, which handles the event and translates the key.
        ThreadState& thread = ThisThread();
        thread.keyTexts[thread.nextKeyText++ % thread.keyTexts.size()] = {
            static_cast<BYTE>(event.keycode), static_cast<DWORD>(event.time), utf8};
    }
}

WPARAM VirtualKey(XKeyEvent& event) {
    const KeySym keysym = XLookupKeysym(&event, 0);
    if (keysym >= XK_a && keysym <= XK_z) return 'A' + (keysym - XK_a);
    if (keysym >= XK_0 && keysym <= XK_9) return '0' + (keysym - XK_0);
    if (keysym >= XK_F1 && keysym <= XK_F12) return VK_F1 + (keysym - XK_F1);
    switch (keysym) {
        case XK_BackSpace:
            return VK_BACK;
        case XK_Tab:
            return VK_TAB;
        case XK_Return:
            return VK_RETURN;
        case XK_Escape:
            return VK_ESCAPE;
        case XK_space:
            return VK_SPACE;
        case XK_Left:
            return VK_LEFT;
        case XK_Up:
            return VK_UP;
        case XK_Right:
            return VK_RIGHT;
        case XK_Down:
            return VK_DOWN;
        case XK_Delete:
            return VK_DELETE;
        case XK_Shift_L:
        case XK_Shift_R:
            return VK_SHIFT;
        case XK_Control_L:
        case XK_Control_R:
            return VK_CONTROL;
        case XK_Alt_L:
        case XK_Alt_R:
            return VK_MENU;
        default:
            return 0;
    }
}

// Win32's key messages, from X's: with Alt held (and Ctrl not), and F10
// alone, a key is a system key, the window menu's; lParam's KF_ALTDOWN says
// whether Alt is down once the event has happened. X gives the modifiers
// as they were before it.
void TranslateKey(const WindowState& window, XKeyEvent& event, bool press) {
    const WPARAM key = VirtualKey(event);
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
    DWORD flags = event.keycode & 0xFFu;
    if (alt) flags |= KF_ALTDOWN;
    if (press) {
        RememberKeyText(event);
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

bool TakeKeyText(BYTE keycode, DWORD time, std::string& utf8) {
    for (KeyText& entry : ThisThread().keyTexts) {
        if (!entry.utf8.empty() && entry.keycode == keycode && entry.time == time) {
            utf8 = std::move(entry.utf8);
            entry.utf8.clear();
            return true;
        }
    }
    return false;
}

}  // namespace winx11
