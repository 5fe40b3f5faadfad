// What a window system reports of a window, turned into the messages Win32
// sends or queues for it, on the window's own thread.

#include "core/window_events.h"

#include "core/internal.h"

namespace winsubset {
namespace {

// A window system gives the modifiers of a key press only with the event;
// TranslateMessage sees just the MSG, so the text waits with the thread
// under the key's scan code and time.
void RememberKeyText(WORD scan, DWORD time, std::string utf8) {
    if (utf8.empty()) return;
    ThreadState& thread = ThisThread();
    thread.keyTexts[thread.nextKeyText++ % thread.keyTexts.size()] = {scan, time, std::move(utf8)};
}

// The MK_ flags as Win32 reports them: the state after the event.
WPARAM MouseKeys(const HeldKeys& held) {
    WPARAM keys = 0;
    if (held.left) keys |= MK_LBUTTON;
    if (held.middle) keys |= MK_MBUTTON;
    if (held.right) keys |= MK_RBUTTON;
    if (held.shift) keys |= MK_SHIFT;
    if (held.control) keys |= MK_CONTROL;
    return keys;
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD time) {
    if (const WindowState* window = LookupWindow(hwnd)) {
        PostInput(*window, message, wParam, lParam, time);
    }
}

}  // namespace

void CloseAsked(HWND hwnd) {
    // Win32 turns the close box into WM_SYSCOMMAND/SC_CLOSE, whose default
    // handling sends WM_CLOSE.
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void NativeWindowGone(HWND hwnd) {
    DestroyWindowState(hwnd, true);
}

void Exposed(HWND hwnd) {
    if (WindowState* window = LookupWindow(hwnd)) window->needsPaint = true;
}

void Configured(HWND hwnd, int x, int y, int width, int height) {
    WindowState* window = LookupWindow(hwnd);
    if (window == nullptr) return;
    const bool resized = width != window->clientWidth || height != window->clientHeight;
    const bool moved = x != window->x || y != window->y;
    window->clientWidth = width;
    window->clientHeight = height;
    window->x = x;
    window->y = y;
    // Sent, as Win32 sends them from the window-position change.
    if (moved) Send(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
    if (resized && LookupWindow(hwnd) != nullptr) {
        Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    }
}

void FocusChanged(HWND hwnd, bool focused) {
    Send(hwnd, focused ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
}

// With Alt held (and Ctrl not), and F10 alone, a key is a system key, the
// window menu's; lParam's KF_ALTDOWN says whether Alt is down once the
// event has happened.
void KeyInput(HWND hwnd, const Win32Key& translated, bool press, HeldKeys held, DWORD time,
              std::string text, bool repeat) {
    // Win32 has no message for a key the keymap gives nothing.
    if (translated.vk == 0) return;
    const WPARAM key = translated.vk;
    bool alt = held.alt;
    bool ctrl = held.control;
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
        if (repeat) flags |= KF_REPEAT;
        RememberKeyText(translated.scan, time, std::move(text));
        message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        // The key was down and is being released.
        flags |= KF_REPEAT | KF_UP;
        message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    Post(hwnd, message, key, static_cast<LPARAM>(1u | (flags << 16)), time);
}

void ButtonInput(HWND hwnd, MouseButton button, bool press, int x, int y, HeldKeys held,
                 DWORD time) {
    UINT message = 0;
    switch (button) {
        case MouseButton::Left:
            held.left = press;
            message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case MouseButton::Middle:
            held.middle = press;
            message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case MouseButton::Right:
            held.right = press;
            message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
    }
    // A button's own press carries its flag and its release does not.
    Post(hwnd, message, MouseKeys(held), MAKELPARAM(x, y), time);
}

void MotionInput(HWND hwnd, int x, int y, HeldKeys held, DWORD time) {
    Post(hwnd, WM_MOUSEMOVE, MouseKeys(held), MAKELPARAM(x, y), time);
}

void WheelInput(HWND hwnd, int notches, int screenX, int screenY, HeldKeys held, DWORD time) {
    const int delta = notches * WHEEL_DELTA;
    const WPARAM wParam = MouseKeys(held) | (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16);
    Post(hwnd, WM_MOUSEWHEEL, wParam, MAKELPARAM(screenX, screenY), time);
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
