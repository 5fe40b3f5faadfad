// The seat: pointer and keyboard events, in Win32's terms, handed to the
// owner of the window they concern. The keymap is the compositor's, read
// with xkbcommon; key repeat is the client's own on Wayland.

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-cursor.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "wayland/wayland.h"

namespace winsubset {
namespace wayland {
namespace {

// The pointer's image over a window: Win32's arrow (IDC_ARROW).
struct Cursor {
    wl_cursor_theme* theme = nullptr;
    wl_surface* surface = nullptr;
    wl_cursor_image* image = nullptr;
};

Cursor& TheCursor() {
    static Cursor* cursor = new Cursor;
    return *cursor;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

HeldKeys Held(const Seat& seat) {
    HeldKeys held;
    if (seat.state != nullptr) {
        // The state as the last modifiers event left it, which is the state
        // before a key event: the compositor sends the change after the key.
        held.shift = xkb_state_mod_name_is_active(seat.state, XKB_MOD_NAME_SHIFT,
                                                  XKB_STATE_MODS_EFFECTIVE) > 0;
        held.control = xkb_state_mod_name_is_active(seat.state, XKB_MOD_NAME_CTRL,
                                                    XKB_STATE_MODS_EFFECTIVE) > 0;
        held.alt = xkb_state_mod_name_is_active(seat.state, XKB_MOD_NAME_ALT,
                                                XKB_STATE_MODS_EFFECTIVE) > 0;
    }
    held.left = seat.left;
    held.middle = seat.middle;
    held.right = seat.right;
    return held;
}

// --- pointer ----------------------------------------------------------------

void ShowArrow(wl_pointer* pointer, uint32_t serial) {
    Cursor& cursor = TheCursor();
    Connection& c = TheConnection();
    if (cursor.theme == nullptr) {
        // XCURSOR_THEME and XCURSOR_SIZE as X clients read them; libwayland-
        // cursor has an arrow of its own when no theme is installed.
        const char* size = std::getenv("XCURSOR_SIZE");
        cursor.theme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"),
                                            size != nullptr ? std::atoi(size) : 24, c.shm);
        wl_cursor* arrow = cursor.theme != nullptr
                               ? wl_cursor_theme_get_cursor(cursor.theme, "left_ptr")
                               : nullptr;
        if (arrow == nullptr || arrow->image_count == 0) return;
        cursor.image = arrow->images[0];
        cursor.surface = wl_compositor_create_surface(c.compositor);
        wl_surface_attach(cursor.surface, wl_cursor_image_get_buffer(cursor.image), 0, 0);
        wl_surface_damage(cursor.surface, 0, 0, static_cast<int32_t>(cursor.image->width),
                          static_cast<int32_t>(cursor.image->height));
        wl_surface_commit(cursor.surface);
    }
    if (cursor.image == nullptr) return;
    wl_pointer_set_cursor(pointer, serial, cursor.surface,
                          static_cast<int32_t>(cursor.image->hotspot_x),
                          static_cast<int32_t>(cursor.image->hotspot_y));
}

void PointerEnter(void* /*data*/, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                  wl_fixed_t x, wl_fixed_t y) {
    Seat& seat = TheConnection().seat;
    // A surface of libdecor's frame is none of ours: its plugin has a
    // pointer of its own for it. Buttons pressed elsewhere are not held
    // here: a press on the frame that starts the compositor's move or
    // resize never has its release sent to anyone.
    seat.pointerWindow = WindowOfSurface(surface);
    seat.left = seat.middle = seat.right = false;
    if (seat.pointerWindow == nullptr) return;
    ShowArrow(pointer, serial);
    // Where a click before any motion lands; the motion that follows the
    // entry is WM_MOUSEMOVE's.
    seat.pointerX = wl_fixed_to_int(x);
    seat.pointerY = wl_fixed_to_int(y);
}

void PointerLeave(void* /*data*/, wl_pointer* /*pointer*/, uint32_t /*serial*/,
                  wl_surface* /*surface*/) {
    Seat& seat = TheConnection().seat;
    seat.pointerWindow = nullptr;
    seat.left = seat.middle = seat.right = false;
}

void PointerMotion(void* /*data*/, wl_pointer* /*pointer*/, uint32_t time, wl_fixed_t x,
                   wl_fixed_t y) {
    Seat& seat = TheConnection().seat;
    if (seat.pointerWindow == nullptr) return;
    seat.pointerX = wl_fixed_to_int(x);
    seat.pointerY = wl_fixed_to_int(y);
    const int px = seat.pointerX;
    const int py = seat.pointerY;
    const HeldKeys held = Held(seat);
    ToOwner(*seat.pointerWindow, [=](HWND hwnd) { MotionInput(hwnd, px, py, held, time); });
}

void PointerButton(void* /*data*/, wl_pointer* /*pointer*/, uint32_t /*serial*/, uint32_t time,
                   uint32_t button, uint32_t state) {
    Seat& seat = TheConnection().seat;
    if (seat.pointerWindow == nullptr) return;
    const bool press = state == WL_POINTER_BUTTON_STATE_PRESSED;
    const HeldKeys held = Held(seat);
    MouseButton which;
    switch (button) {
        case BTN_LEFT:
            which = MouseButton::Left;
            seat.left = press;
            break;
        case BTN_MIDDLE:
            which = MouseButton::Middle;
            seat.middle = press;
            break;
        case BTN_RIGHT:
            which = MouseButton::Right;
            seat.right = press;
            break;
        default:
            return;  // side buttons: Win32's XBUTTONs, which the subset lacks
    }
    const int px = seat.pointerX;
    const int py = seat.pointerY;
    ToOwner(*seat.pointerWindow,
            [=](HWND hwnd) { ButtonInput(hwnd, which, press, px, py, held, time); });
}

void Wheel(Seat& seat, int notches, uint32_t time) {
    if (seat.pointerWindow == nullptr || notches == 0) return;
    // Screen coordinates from the window's fixed place (see the table's
    // comment): the best a client can know.
    const int sx = seat.pointerWindow->x + seat.pointerX;
    const int sy = seat.pointerWindow->y + seat.pointerY;
    const HeldKeys held = Held(seat);
    ToOwner(*seat.pointerWindow, [=](HWND hwnd) { WheelInput(hwnd, notches, sx, sy, held, time); });
}

void PointerAxis(void* /*data*/, wl_pointer* /*pointer*/, uint32_t time, uint32_t axis,
                 wl_fixed_t value) {
    Seat& seat = TheConnection().seat;
    // WM_MOUSEHWHEEL is not in the subset.
    if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL) return;
    // Wayland counts towards the user (content scrolls up), Win32 away.
    if (seat.axisDiscrete != 0) {
        // A wheel's clicks, told before the motion in the same frame.
        Wheel(seat, -seat.axisDiscrete, time);
        seat.axisDiscrete = 0;
        seat.axisRemainder = 0;
        return;
    }
    // A touchpad or an older seat: compositors move 10 units a click.
    seat.axisRemainder += wl_fixed_to_double(value) / 10.0;
    const int notches = static_cast<int>(std::trunc(seat.axisRemainder));
    seat.axisRemainder -= notches;
    Wheel(seat, -notches, time);
}

void PointerFrame(void* /*data*/, wl_pointer* /*pointer*/) {}
void PointerAxisSource(void* /*data*/, wl_pointer* /*pointer*/, uint32_t /*source*/) {}
void PointerAxisStop(void* /*data*/, wl_pointer* /*pointer*/, uint32_t /*time*/,
                     uint32_t /*axis*/) {}
void PointerAxisDiscrete(void* /*data*/, wl_pointer* /*pointer*/, uint32_t axis, int32_t discrete) {
    if (axis == WL_POINTER_AXIS_VERTICAL_SCROLL) TheConnection().seat.axisDiscrete += discrete;
}

// axis_value120 comes only to a seat bound at version 8.
const wl_pointer_listener kPointerListener = {
    PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
    PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, nullptr};

// --- keyboard ---------------------------------------------------------------

void Keymap(void* /*data*/, wl_keyboard* /*keyboard*/, uint32_t format, int32_t fd, uint32_t size) {
    Seat& seat = TheConnection().seat;
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        close(fd);
        return;
    }
    // Since wl_seat 7 the fd must be mapped private; it holds the keymap as
    // text, its terminating NUL counted in `size`.
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(seat.xkb, static_cast<const char*>(text), size - 1,
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) return;
    xkb_state* state = xkb_state_new(keymap);
    if (state == nullptr) {
        xkb_keymap_unref(keymap);
        return;
    }
    xkb_state_unref(seat.state);
    xkb_keymap_unref(seat.keymap);
    seat.keymap = keymap;
    seat.state = state;
}

// Moves the keyboard's window to `window`, telling both owners.
void FocusOn(Seat& seat, Window* window) {
    if (window == seat.keyboardWindow) return;
    seat.repeatKey = 0;
    if (seat.keyboardWindow != nullptr)
        ToOwner(*seat.keyboardWindow, [](HWND hwnd) { FocusChanged(hwnd, false); });
    seat.keyboardWindow = window;
    if (window != nullptr) ToOwner(*window, [](HWND hwnd) { FocusChanged(hwnd, true); });
}

Window* ActiveWindow() {
    for (Window* window : TheConnection().windows) {
        if (window->active) return window;
    }
    return nullptr;
}

void KeyboardEnter(void* /*data*/, wl_keyboard* /*keyboard*/, uint32_t /*serial*/,
                   wl_surface* surface, wl_array* /*keys*/) {
    // Keys already down give no messages, as in Win32.
    Seat& seat = TheConnection().seat;
    Window* window = WindowOfSurface(surface);
    // Weston focuses the very surface clicked, or the one it still thinks
    // the pointer is on, which may be a part of libdecor's frame (title bar,
    // border, shadow): none of a window's own surfaces, yet the window's, as
    // a Win32 window's frame is, and its keys are the window's. libdecor
    // does not say whose part it is; the click activates its window, so
    // that is the window the compositor says is active, now or in the
    // configure that the click brings (ActiveChanged).
    seat.keyboardOnFrame = window == nullptr && surface != nullptr;
    if (seat.keyboardOnFrame) window = ActiveWindow();
    FocusOn(seat, window);
}

void KeyboardLeave(void* /*data*/, wl_keyboard* /*keyboard*/, uint32_t /*serial*/,
                   wl_surface* /*surface*/) {
    Seat& seat = TheConnection().seat;
    seat.repeatKey = 0;
    seat.keyboardOnFrame = false;
    FocusOn(seat, nullptr);
}

void SendKey(Seat& seat, uint32_t key, bool press, uint32_t time, bool repeat = false) {
    if (seat.keyboardWindow == nullptr || seat.state == nullptr) return;
    // Wayland's key is the evdev code, as the translation wants it.
    const Win32Key translated = TranslateKey(seat.state, key);
    if (translated.vk == 0) return;  // nothing under this keymap: no message
    std::string text = press ? TypedText(seat.state, key) : std::string();
    const HeldKeys held = Held(seat);
    ToOwner(*seat.keyboardWindow,
            [=](HWND hwnd) { KeyInput(hwnd, translated, press, held, time, text, repeat); });
}

void Key(void* /*data*/, wl_keyboard* /*keyboard*/, uint32_t /*serial*/, uint32_t time,
         uint32_t key, uint32_t state) {
    Seat& seat = TheConnection().seat;
    const bool press = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    SendKey(seat, key, press, time);
    if (press && seat.keymap != nullptr && seat.repeatRate > 0 &&
        xkb_keymap_key_repeats(seat.keymap, key + 8) != 0) {
        seat.repeatKey = key;
        seat.repeatTime = time + static_cast<uint32_t>(seat.repeatDelay);
        seat.repeatDue = NowMs() + seat.repeatDelay;
    } else if (!press && key == seat.repeatKey) {
        seat.repeatKey = 0;
    }
}

void Modifiers(void* /*data*/, wl_keyboard* /*keyboard*/, uint32_t /*serial*/, uint32_t depressed,
               uint32_t latched, uint32_t locked, uint32_t group) {
    Seat& seat = TheConnection().seat;
    if (seat.state != nullptr)
        xkb_state_update_mask(seat.state, depressed, latched, locked, 0, 0, group);
}

void RepeatInfo(void* /*data*/, wl_keyboard* /*keyboard*/, int32_t rate, int32_t delay) {
    Seat& seat = TheConnection().seat;
    seat.repeatRate = rate;  // 0: no repeat
    seat.repeatDelay = delay;
    if (rate <= 0) seat.repeatKey = 0;
}

const wl_keyboard_listener kKeyboardListener = {Keymap, KeyboardEnter, KeyboardLeave,
                                                Key,    Modifiers,     RepeatInfo};

// --- the seat ---------------------------------------------------------------

void Capabilities(void* /*data*/, wl_seat* wlSeat, uint32_t capabilities) {
    Seat& seat = TheConnection().seat;
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (pointer && seat.pointer == nullptr) {
        seat.pointer = wl_seat_get_pointer(wlSeat);
        wl_pointer_add_listener(seat.pointer, &kPointerListener, nullptr);
    } else if (!pointer && seat.pointer != nullptr) {
        wl_pointer_destroy(seat.pointer);
        seat.pointer = nullptr;
        seat.pointerWindow = nullptr;
    }
    if (keyboard && seat.keyboard == nullptr) {
        seat.keyboard = wl_seat_get_keyboard(wlSeat);
        wl_keyboard_add_listener(seat.keyboard, &kKeyboardListener, nullptr);
    } else if (!keyboard && seat.keyboard != nullptr) {
        wl_keyboard_destroy(seat.keyboard);
        seat.keyboard = nullptr;
        seat.keyboardWindow = nullptr;
        seat.repeatKey = 0;
    }
}

void SeatName(void* /*data*/, wl_seat* /*seat*/, const char* /*name*/) {}

const wl_seat_listener kSeatListener = {Capabilities, SeatName};

}  // namespace

void BindSeat(uint32_t name, uint32_t version) {
    Connection& c = TheConnection();
    // Version 5 brings the wheel's clicks (axis_discrete); 8 would replace
    // them with value120, which this does not read.
    c.seat.seat = static_cast<wl_seat*>(
        wl_registry_bind(c.registry, name, &wl_seat_interface, std::min(version, 7u)));
    c.seat.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wl_seat_add_listener(c.seat.seat, &kSeatListener, nullptr);
}

void ForgetFocus(Window& window) {
    Seat& seat = TheConnection().seat;
    if (seat.pointerWindow == &window) seat.pointerWindow = nullptr;
    if (seat.keyboardWindow == &window) {
        seat.keyboardWindow = nullptr;
        seat.repeatKey = 0;
    }
}

void ActiveChanged(Window& window) {
    Seat& seat = TheConnection().seat;
    if (!seat.keyboardOnFrame) return;
    if (window.active) {
        FocusOn(seat, &window);
    } else if (seat.keyboardWindow == &window) {
        FocusOn(seat, ActiveWindow());
    }
}

void RepeatKeys() {
    Seat& seat = TheConnection().seat;
    if (seat.repeatKey == 0 || seat.keyboardWindow == nullptr) return;
    const int64_t now = NowMs();
    if (now < seat.repeatDue) return;
    // Win32 sends another WM_KEYDOWN per repeat (lParam's bit 30 says the
    // key was down). A thread that pumped late gets one, not a burst; the
    // time is the compositor's clock's, counted on from the press.
    const auto late = static_cast<uint32_t>(now - seat.repeatDue);
    SendKey(seat, seat.repeatKey, true, seat.repeatTime + late, true);
    const int period = std::max(1000 / seat.repeatRate, 1);
    seat.repeatTime += late + static_cast<uint32_t>(period);
    seat.repeatDue = now + period;
}

}  // namespace wayland
}  // namespace winsubset
