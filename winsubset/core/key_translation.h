#pragma once

// Keys as Win32 names them: from the physical key (its evdev code) and the
// keymap in effect, the virtual key, the PC scan code and the characters it
// types. Knows no window system; each backend reads its keymap with
// xkbcommon and hands over the key and the modifier state of its events.

#include <windows.h>

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <string>

namespace winsubset {

struct Win32Key {
    // 0 when the key produces nothing under the keymap: it sends no message.
    WORD vk = 0;
    // Scan code set 1, as lParam's bits 16 to 24 carry it: 0x100 marks the
    // extended keys (the E0 prefix on the wire).
    WORD scan = 0;
};

// The scan code of the physical key; 0 for a key a PC keyboard lacks.
WORD ScanCodeOf(uint32_t evdev);

// The key's virtual key and scan code under `state`'s keymap, layout and
// modifiers (NumLock chooses between the keypad's digits and its
// navigation keys).
Win32Key TranslateKey(xkb_state* state, uint32_t evdev);

// The characters the key types in `state`, in UTF-8, as TranslateMessage
// sends them: none for Delete, nor with Ctrl and Alt held together; with
// Ctrl alone only the control characters.
std::string TypedText(xkb_state* state, uint32_t evdev);

}  // namespace winsubset
