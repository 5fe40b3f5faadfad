#pragma once

// What a window system reports of a window, in Win32's terms: each call
// turns into the messages Win32 sends or queues for it. Called only on the
// window's own thread (a window system that reads events elsewhere hands
// them over with RunOnOwner first).

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "core/key_translation.h"

namespace winsubset {

// The modifier keys and mouse buttons held, as the event found them.
struct HeldKeys {
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool left = false;
    bool middle = false;
    bool right = false;
};

enum class MouseButton { Left, Middle, Right };

// Runs `event` on `thread`, the next time it pumps its messages; dropped
// if the thread ends first.
void RunOnOwner(std::thread::id thread, std::function<void()> event);

// The close box (WM_SYSCOMMAND/SC_CLOSE, which DefWindowProcA turns into
// WM_CLOSE).
void CloseAsked(HWND hwnd);
// Another client, or the window system, ended the native window: the HWND
// goes with it.
void NativeWindowGone(HWND hwnd);
// Part of the client area needs drawing again.
void Exposed(HWND hwnd);
// The client area's place on the screen and its size: WM_MOVE, WM_SIZE.
void Configured(HWND hwnd, int x, int y, int width, int height);
void FocusChanged(HWND hwnd, bool focused);
// A key, `held` as before the event, and the text it types (UTF-8; pressed
// keys only). `repeat`: a press of a key already down, as the window
// system's key repeat makes (lParam's bit 30).
void KeyInput(HWND hwnd, const Win32Key& key, bool press, HeldKeys held, DWORD time,
              std::string text, bool repeat = false);
// Client-area coordinates; `held` as before the event.
void ButtonInput(HWND hwnd, MouseButton button, bool press, int x, int y, HeldKeys held,
                 DWORD time);
void MotionInput(HWND hwnd, int x, int y, HeldKeys held, DWORD time);
// `notches` away from the user (positive) or towards; screen coordinates.
void WheelInput(HWND hwnd, int notches, int screenX, int screenY, HeldKeys held, DWORD time);

}  // namespace winsubset
