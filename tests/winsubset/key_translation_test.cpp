// Under layouts beyond the two the input test reads from Wine, a key that
// types a character or names a function (a PC keyboard's key: arrows,
// editing, the keypad, F-keys) never has virtual key 0, NumLock off or on.
// The system's layouts, compiled by xkbcommon as a display server does.

#include <gtest/gtest.h>

#include <string>

#include "core/key_translation.h"

TEST(KeyTranslation, NoCharacterOrFunctionKeyIsVirtualKeyZeroUnderOtherLayouts) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    for (const char* layout : {"de", "fr", "gb", "es", "it", "ch", "se", "pl", "cz", "tr", "ru",
                               "gr", "il", "br", "kr"}) {
        const xkb_rule_names names = {"evdev", "pc105", layout, "", ""};
        xkb_keymap* keymap =
            xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(keymap, nullptr) << layout;
        xkb_state* state = xkb_state_new(keymap);
        std::string zero;  // evdev code:keysym
        for (const xkb_mod_mask_t locked : {0u, 1u << xkb_keymap_mod_get_index(keymap, "Mod2")}) {
            xkb_state_update_mask(state, 0, 0, locked, 0, 0, 0);
            for (uint32_t evdev = 1; evdev < 248; ++evdev) {
                const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, evdev + 8);
                char name[64] = {};
                if (sym != XKB_KEY_NoSymbol && winsubset::TranslateKey(state, evdev).vk == 0 &&
                    (xkb_keysym_to_utf32(sym) != 0 || winsubset::ScanCodeOf(evdev) != 0)) {
                    xkb_keysym_get_name(sym, name, sizeof name);
                    zero += " " + std::to_string(evdev) + ":" + name;
                }
            }
        }
        EXPECT_EQ(zero, "") << layout;
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
}
