#include "core/key_translation.h"

#include <array>
#include <iterator>

namespace winsubset {
namespace {

// xkbcommon numbers the keys of an evdev keymap, X's and Wayland's alike,
// as the evdev code plus 8.
constexpr uint32_t kEvdevOffset = 8;

// What a physical key is, whatever the layout: the scan code a PC keyboard
// sends for it, and the virtual key the US layout gives it, which names the
// key where its characters say nothing (Cyrillic letters, dead keys).
struct Position {
    WORD scan;
    WORD vk;
};

constexpr WORD kExtended = 0x100;

// Indexed by evdev code. The main block sends its evdev code as its scan
// code; the rest is the keyboard's own (NumLock is extended, since Pause
// sends the same code).
constexpr std::array<Position, 128> MakePositions() {
    std::array<Position, 128> p{};
    const WORD main[] = {
        0,         VK_ESCAPE,  '1',          '2',           '3',         '4',          '5',
        '6',       '7',        '8',          '9',           '0',         VK_OEM_MINUS, VK_OEM_PLUS,
        VK_BACK,   VK_TAB,     'Q',          'W',           'E',         'R',          'T',
        'Y',       'U',        'I',          'O',           'P',         VK_OEM_4,     VK_OEM_6,
        VK_RETURN, VK_CONTROL, 'A',          'S',           'D',         'F',          'G',
        'H',       'J',        'K',          'L',           VK_OEM_1,    VK_OEM_7,     VK_OEM_3,
        VK_SHIFT,  VK_OEM_5,   'Z',          'X',           'C',         'V',          'B',
        'N',       'M',        VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,    VK_SHIFT,     VK_MULTIPLY,
        VK_MENU,   VK_SPACE,   VK_CAPITAL,   VK_F1,         VK_F1 + 1,   VK_F1 + 2,    VK_F1 + 3,
        VK_F1 + 4, VK_F1 + 5,  VK_F1 + 6,    VK_F1 + 7,     VK_F1 + 8,   VK_F10,       VK_NUMLOCK,
        VK_SCROLL, VK_HOME,    VK_UP,        VK_PRIOR,      VK_SUBTRACT, VK_LEFT,      VK_CLEAR,
        VK_RIGHT,  VK_ADD,     VK_END,       VK_DOWN,       VK_NEXT,     VK_INSERT,    VK_DELETE,
    };
    constexpr size_t kMainKeys = sizeof main / sizeof main[0];
    for (size_t code = 1; code < kMainKeys; ++code) p[code] = {static_cast<WORD>(code), main[code]};
    p[69].scan = 0x45 | kExtended;  // NumLock
    p[86] = {0x56, VK_OEM_102};     // the key left of Z on 102-key keyboards
    p[87] = {0x57, VK_F1 + 10};
    p[88] = {0x58, VK_F1 + 11};
    p[89] = {0x73, VK_OEM_102};  // JIS Ro
    p[92] = {0x79, VK_CONVERT};
    p[93] = {0x70, VK_OEM_COPY};  // Katakana/Hiragana
    p[94] = {0x7B, VK_NONCONVERT};
    p[96] = {0x1C | kExtended, VK_RETURN};  // keypad Enter
    p[97] = {0x1D | kExtended, VK_CONTROL};
    p[98] = {0x35 | kExtended, VK_DIVIDE};
    p[99] = {0x37 | kExtended, VK_SNAPSHOT};
    p[100] = {0x38 | kExtended, VK_MENU};
    p[102] = {0x47 | kExtended, VK_HOME};
    p[103] = {0x48 | kExtended, VK_UP};
    p[104] = {0x49 | kExtended, VK_PRIOR};
    p[105] = {0x4B | kExtended, VK_LEFT};
    p[106] = {0x4D | kExtended, VK_RIGHT};
    p[107] = {0x4F | kExtended, VK_END};
    p[108] = {0x50 | kExtended, VK_DOWN};
    p[109] = {0x51 | kExtended, VK_NEXT};
    p[110] = {0x52 | kExtended, VK_INSERT};
    p[111] = {0x53 | kExtended, VK_DELETE};
    p[117] = {0x59, VK_OEM_NEC_EQUAL};  // the keypad's =
    p[119] = {0x45, VK_PAUSE};
    p[124] = {0x7D, VK_OEM_5};  // JIS Yen
    p[125] = {0x5B | kExtended, VK_LWIN};
    p[126] = {0x5C | kExtended, VK_RWIN};
    p[127] = {0x5D | kExtended, VK_APPS};
    return p;
}
constexpr std::array<Position, 128> kPositions = MakePositions();

// F13 to F24 sit far from the rest among the evdev codes.
constexpr uint32_t kEvdevF13 = 183;
constexpr std::array<WORD, 12> kF13ToF24Scans = {0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
                                                 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};

Position PositionOf(uint32_t evdev) {
    if (evdev < kPositions.size()) return kPositions[evdev];
    if (evdev >= kEvdevF13 && evdev - kEvdevF13 < kF13ToF24Scans.size()) {
        const auto index = static_cast<WORD>(evdev - kEvdevF13);
        return {kF13ToF24Scans[index], static_cast<WORD>(VK_F1 + 12 + index)};
    }
    return {};
}

// Keys that name a function rather than a character, by their keysym:
// the layout may move them (Caps Lock made Escape, say). 0: not one.
WORD FunctionKey(xkb_keysym_t sym) {
    if (sym >= XKB_KEY_F1 && sym <= XKB_KEY_F24)
        return static_cast<WORD>(VK_F1 + (sym - XKB_KEY_F1));
    if (sym >= XKB_KEY_KP_0 && sym <= XKB_KEY_KP_9) {
        return static_cast<WORD>(VK_NUMPAD0 + (sym - XKB_KEY_KP_0));
    }
    switch (sym) {
        case XKB_KEY_BackSpace:
            return VK_BACK;
        case XKB_KEY_Tab:
        case XKB_KEY_ISO_Left_Tab:
            return VK_TAB;
        case XKB_KEY_Clear:
        case XKB_KEY_Begin:
        case XKB_KEY_KP_Begin:
            return VK_CLEAR;
        case XKB_KEY_Return:
        case XKB_KEY_KP_Enter:
            return VK_RETURN;
        case XKB_KEY_Pause:
            return VK_PAUSE;
        case XKB_KEY_Break:
            return VK_CANCEL;
        case XKB_KEY_Escape:
            return VK_ESCAPE;
        case XKB_KEY_space:
        case XKB_KEY_KP_Space:
            return VK_SPACE;
        case XKB_KEY_Prior:
        case XKB_KEY_KP_Prior:
            return VK_PRIOR;
        case XKB_KEY_Next:
        case XKB_KEY_KP_Next:
            return VK_NEXT;
        case XKB_KEY_End:
        case XKB_KEY_KP_End:
            return VK_END;
        case XKB_KEY_Home:
        case XKB_KEY_KP_Home:
            return VK_HOME;
        case XKB_KEY_Left:
        case XKB_KEY_KP_Left:
            return VK_LEFT;
        case XKB_KEY_Up:
        case XKB_KEY_KP_Up:
            return VK_UP;
        case XKB_KEY_Right:
        case XKB_KEY_KP_Right:
            return VK_RIGHT;
        case XKB_KEY_Down:
        case XKB_KEY_KP_Down:
            return VK_DOWN;
        case XKB_KEY_Select:
            return VK_SELECT;
        case XKB_KEY_Print:
        case XKB_KEY_Sys_Req:
            return VK_SNAPSHOT;
        case XKB_KEY_Execute:
            return VK_EXECUTE;
        case XKB_KEY_Insert:
        case XKB_KEY_KP_Insert:
            return VK_INSERT;
        case XKB_KEY_Delete:
        case XKB_KEY_KP_Delete:
            return VK_DELETE;
        case XKB_KEY_Help:
            return VK_HELP;
        case XKB_KEY_Menu:
            return VK_APPS;
        case XKB_KEY_KP_Multiply:
            return VK_MULTIPLY;
        case XKB_KEY_KP_Add:
            return VK_ADD;
        case XKB_KEY_KP_Subtract:
            return VK_SUBTRACT;
        case XKB_KEY_KP_Decimal:
        case XKB_KEY_KP_Separator:
            return VK_DECIMAL;
        case XKB_KEY_KP_Divide:
            return VK_DIVIDE;
        case XKB_KEY_Num_Lock:
            return VK_NUMLOCK;
        case XKB_KEY_Scroll_Lock:
            return VK_SCROLL;
        case XKB_KEY_Shift_L:
        case XKB_KEY_Shift_R:
            return VK_SHIFT;
        case XKB_KEY_Control_L:
        case XKB_KEY_Control_R:
            return VK_CONTROL;
        // AltGr is Windows' right Alt.
        case XKB_KEY_Alt_L:
        case XKB_KEY_Alt_R:
        case XKB_KEY_ISO_Level3_Shift:
        case XKB_KEY_Mode_switch:
            return VK_MENU;
        case XKB_KEY_Caps_Lock:
        case XKB_KEY_Shift_Lock:
            return VK_CAPITAL;
        case XKB_KEY_Super_L:
            return VK_LWIN;
        case XKB_KEY_Super_R:
            return VK_RWIN;
        // The Japanese keys, as the Japanese layout names them.
        case XKB_KEY_Henkan_Mode:
            return VK_CONVERT;
        case XKB_KEY_Muhenkan:
            return VK_NONCONVERT;
        case XKB_KEY_Hiragana_Katakana:
            return VK_OEM_COPY;
        case XKB_KEY_Zenkaku_Hankaku:
            return VK_OEM_AUTO;
        case XKB_KEY_Eisu_toggle:
            return VK_OEM_ATTN;
        case XKB_KEY_Hangul:
            return VK_KANA;
        case XKB_KEY_Hangul_Hanja:
            return VK_KANJI;
        default:
            return 0;
    }
}

// The OEM keys by their characters. Four are the same in every country
// ('+', ',', '-', '.'); the others are named after the US keyboard's
// characters, the unshifted one first, with the Japanese layout's '@' and
// '^', which sit where no US character does.
WORD OemKey(uint32_t base, uint32_t shifted) {
    for (const uint32_t c : {base, shifted}) {
        switch (c) {
            case '+':
                return VK_OEM_PLUS;
            case ',':
                return VK_OEM_COMMA;
            case '-':
                return VK_OEM_MINUS;
            case '.':
                return VK_OEM_PERIOD;
            default:
                break;
        }
    }
    switch (base) {
        case ';':
        case ':':
            return VK_OEM_1;
        case '/':
            return VK_OEM_2;
        case '`':
        case '@':
            return VK_OEM_3;
        case '[':
            return VK_OEM_4;
        case '\\':
            return VK_OEM_5;
        case ']':
            return VK_OEM_6;
        case '\'':
        case '^':
            return VK_OEM_7;
        default:
            break;
    }
    switch (shifted) {
        case ':':
            return VK_OEM_1;
        case '?':
            return VK_OEM_2;
        case '~':
            return VK_OEM_3;
        case '{':
            return VK_OEM_4;
        case '|':
            return VK_OEM_5;
        case '}':
            return VK_OEM_6;
        case '"':
            return VK_OEM_7;
        default:
            return 0;
    }
}

xkb_keysym_t SymAtLevel(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t layout,
                        xkb_level_index_t level) {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &syms);
    return count == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

bool IsDigit(uint32_t c) {
    return c >= '0' && c <= '9';
}

}  // namespace

WORD ScanCodeOf(uint32_t evdev) {
    return PositionOf(evdev).scan;
}

Win32Key TranslateKey(xkb_state* state, uint32_t evdev) {
    const xkb_keycode_t key = evdev + kEvdevOffset;
    xkb_keymap* keymap = xkb_state_get_keymap(state);
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state, key);
    const xkb_keysym_t base = SymAtLevel(keymap, key, layout, 0);
    const Position position = PositionOf(evdev);
    Win32Key result{0, position.scan};
    if (base == XKB_KEY_NoSymbol) return result;
    // The keypad's keysyms follow NumLock; the rest is named by its first
    // level, whatever the modifiers.
    const xkb_keysym_t now = xkb_state_key_get_one_sym(state, key);
    result.vk = FunctionKey(now >= XKB_KEY_KP_Space && now <= XKB_KEY_KP_9 ? now : base);
    if (result.vk != 0) return result;

    const uint32_t c0 = xkb_keysym_to_utf32(base);
    const uint32_t c1 = xkb_keysym_to_utf32(SymAtLevel(keymap, key, layout, 1));
    const uint32_t upper = xkb_keysym_to_utf32(xkb_keysym_to_upper(base));
    if (upper >= 'A' && upper <= 'Z') {
        result.vk = static_cast<WORD>(upper);
    } else if (IsDigit(c0) || IsDigit(c1)) {
        result.vk = static_cast<WORD>(IsDigit(c0) ? c0 : c1);
    } else if (position.vk == VK_OEM_102) {
        // The keys a US keyboard lacks are named by where they are; JIS Ro
        // and Yen both type a backslash.
        result.vk = VK_OEM_102;
    } else {
        result.vk = OemKey(c0, c1);
    }
    if (result.vk == 0) result.vk = position.vk;
    // A character key a PC keyboard lacks (the keypad's parentheses, say):
    // Windows' key for characters that vary by keyboard.
    if (result.vk == 0 && c0 != 0) result.vk = VK_OEM_8;
    return result;
}

std::string TypedText(xkb_state* state, uint32_t evdev) {
    const xkb_keycode_t key = evdev + kEvdevOffset;
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, key);
    if (sym == XKB_KEY_Delete || sym == XKB_KEY_KP_Delete) return {};
    const bool ctrl =
        xkb_state_mod_name_is_active(state, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0;
    const bool alt =
        xkb_state_mod_name_is_active(state, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    if (ctrl && alt) return {};
    char utf8[16] = {};
    const int length = xkb_state_key_get_utf8(state, key, utf8, sizeof utf8);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof utf8) return {};
    if (ctrl && !(length == 1 && (static_cast<unsigned char>(utf8[0]) < 0x20 || utf8[0] == 0x7F))) {
        return {};
    }
    return std::string(utf8, static_cast<size_t>(length));
}

}  // namespace winsubset
