// The X server's keymap, read with xkbcommon and followed as it changes
// (setxkbmap while the program runs), feeding the translation that knows no
// window system.

#include <atomic>

#include "x11/x11.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

// Xlib's hook for extension writers, from <X11/Xlibint.h>, whose protocol
// types clash with <windows.h> (BOOL); the event as it came over the wire
// (Xlib's xEvent) stays opaque here.
struct XWireEvent;
extern "C" Bool (*XESetWireToEvent(::Display* display, int event,
                                   Bool (*proc)(::Display*, XEvent*,
                                                XWireEvent*)))(::Display*, XEvent*, XWireEvent*);

namespace winsubset {
namespace {

using WireToEvent = Bool (*)(::Display*, XEvent*, XWireEvent*);

struct Keyboard {
    // The X side sets it when the server says the keymap changed; the
    // next key event loads the new one. Set first: nothing is loaded yet.
    std::atomic<bool> stale{true};
    WireToEvent previousXkb = nullptr;
    WireToEvent previousMapping = nullptr;

    // Under the X lock, the one lock key events take.
    bool watching = false;
    int32_t device = -1;
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
};

Keyboard& TheKeyboard() {
    // Never destroyed, as the library is not.
    static Keyboard* keyboard = new Keyboard;
    return *keyboard;
}

// Xlib converts each event as it reads it off the connection, in the order
// the server sent them, on whichever thread reads: a change is noted before
// any key event that follows it is handled. The events themselves have no
// window, so nothing else sees them.
Bool NoteXkbEvent(::Display* display, XEvent* event, XWireEvent* wire) {
    const int kind = reinterpret_cast<const unsigned char*>(wire)[1];
    Keyboard& keyboard = TheKeyboard();
    if (kind == XkbNewKeyboardNotify || kind == XkbMapNotify) keyboard.stale = true;
    return keyboard.previousXkb != nullptr && keyboard.previousXkb(display, event, wire);
}

Bool NoteMappingEvent(::Display* display, XEvent* event, XWireEvent* wire) {
    Keyboard& keyboard = TheKeyboard();
    keyboard.stale = true;
    return keyboard.previousMapping != nullptr && keyboard.previousMapping(display, event, wire);
}

// Asks the server for its keyboard's changes; under the X lock. False when
// the server has no XKB.
bool Watch(Keyboard& keyboard, ::Display* display, xcb_connection_t* connection) {
    if (xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
        return false;
    }
    keyboard.device = xkb_x11_get_core_keyboard_device_id(connection);
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (keyboard.device < 0 ||
        !XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        return false;
    }
    keyboard.previousXkb = XESetWireToEvent(display, eventBase, NoteXkbEvent);
    keyboard.previousMapping = XESetWireToEvent(display, MappingNotify, NoteMappingEvent);
    const unsigned long changes = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display, XkbUseCoreKbd, changes, changes);
    return true;
}

// The keymap the server has now; under the X lock.
bool Load(Keyboard& keyboard, ::Display* display) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    if (keyboard.context == nullptr) {
        keyboard.context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (keyboard.context == nullptr) return false;
    }
    if (!keyboard.watching) {
        keyboard.watching = Watch(keyboard, display, connection);
        if (!keyboard.watching) return false;
    }
    // Cleared before reading, so a change during the reading reads again.
    keyboard.stale = false;
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(
        keyboard.context, connection, keyboard.device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return keyboard.keymap != nullptr;
    xkb_state* state = xkb_state_new(keymap);
    if (state == nullptr) {
        xkb_keymap_unref(keymap);
        return keyboard.keymap != nullptr;
    }
    xkb_state_unref(keyboard.state);
    xkb_keymap_unref(keyboard.keymap);
    keyboard.keymap = keymap;
    keyboard.state = state;
    return true;
}

}  // namespace

Win32Key TranslateXKey(const XKeyEvent& event, std::string* text) {
    Keyboard& keyboard = TheKeyboard();
    // Held while the keymap is read and used: no other thread's request
    // lands among the reading's, and no other key event sees it half made.
    const XLock hold(event.display);
    if ((keyboard.stale || keyboard.keymap == nullptr) && !Load(keyboard, event.display)) {
        return {};
    }
    // The event carries the modifiers and the group as they were before
    // it; the core modifiers are the keymap's first eight.
    xkb_state_update_mask(keyboard.state, event.state & 0xFFu, 0, 0, 0, 0,
                          XkbGroupForCoreState(event.state));
    const uint32_t evdev = event.keycode - 8;
    if (text != nullptr) *text = TypedText(keyboard.state, evdev);
    return TranslateKey(keyboard.state, evdev);
}

}  // namespace winsubset
