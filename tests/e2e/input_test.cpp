// Keys and buttons as Win32 delivers them, from real input (XTest, through
// xdotool) on a bare display. The window probe (tests/platform) reports
// what its procedure receives; one table holds for every kind, and Wine is
// the reference it was read from.

#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
// clang-format on
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/picture.h"
#include "e2e/program_kind_test.h"
#include "x11_client.h"

namespace {

// The probe's lines about input, in order; its WM_MOVE and WM_SIZE lines and
// the carriage returns of Windows' text output left out.
std::vector<std::string> InputLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("move ", 0) != 0 && line.rfind("size ", 0) != 0) lines.push_back(line);
    }
    return lines;
}

class Input : public ProgramKindTest {
protected:
    int Tool(const std::vector<std::string>& arguments) const {
        return RunTool(arguments, FixtureDisplay("glx"));
    }
    // Input goes where the focus is; on a bare display nobody else sets it.
    ::testing::AssertionResult Focus(::Window window) const {
        if (Tool({"xdotool", "windowfocus", "--sync", WindowIdText(window)}) == 0) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "xdotool could not focus " << window;
    }
    // Starts the window probe reporting into `path` (a new file), waits for
    // its window to be shown and focuses it.
    ::testing::AssertionResult StartFocusedProbe(ProgramRunner& program, const X11Client& probe,
                                                 std::string& path, ::Window& window) const {
        char name[] = "/tmp/opengl_test_input_XXXXXX";
        const int file = mkstemp(name);
        if (file < 0) return ::testing::AssertionFailure() << "no file for the probe's report";
        close(file);
        path = name;
        if (const ::testing::AssertionResult started = program.Start(path); !started) {
            return started;
        }
        if (!WaitUntil(StartSeconds(),
                       [&] { return (window = probe.FindByTitle("window probe", true)) != 0; })) {
            return ::testing::AssertionFailure() << "the probe's window was not shown";
        }
        return Focus(window);
    }
};

TEST_P(Input, AltKeysAndF10AreSystemKeysButtonsReportTheStateAfterThemAndAltF4Closes) {
    const std::string display = FixtureDisplay("glx");
    ASSERT_FALSE(display.empty()) << "needs the glx_display fixture (ctest starts it)";
    const X11Client probe(display.c_str());
    ASSERT_NE(probe.display(), nullptr);
    ProgramRunner program(ProbeKind(), display);
    std::string path;
    ::Window window = 0;
    ASSERT_TRUE(StartFocusedProbe(program, probe, path, window));

    // Each step: what xdotool does, then what the procedure must receive:
    // the message, the virtual key and lParam (the scan code in bits 16 to
    // 23, 0x01000000: extended, 0x20000000: Alt is down, 0x40000000: the key
    // was down, 0x80000000: it is being released); the characters; the
    // system command DefWindowProcA makes of it; a button's MK_ flags.
    ASSERT_EQ(Tool({"xdotool", "key", "F10"}), 0);
    ASSERT_EQ(Tool({"xdotool", "key", "alt"}), 0);
    ASSERT_EQ(Tool({"xdotool", "key", "108"}), 0);  // right Alt, by its keycode
    ASSERT_EQ(Tool({"xdotool", "keydown", "alt", "key", "x", "keyup", "alt"}), 0);
    ASSERT_EQ(Tool({"xdotool", "key", "ctrl+alt+x"}), 0);
    ASSERT_EQ(Tool({"xdotool", "key", "shift+a"}), 0);
    ASSERT_EQ(Tool({"xdotool", "mousemove", "--window", WindowIdText(window), "50", "50",
                    "mousedown", "3", "mousedown", "1", "mouseup", "3", "mouseup", "1"}),
              0);
    ASSERT_EQ(Tool({"xdotool", "key", "alt+F4"}), 0);
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 0) << "Alt+F4 did not close the window";

    const std::vector<std::string> expected = {
        // F10 alone: a system key without Alt; its release asks for the menu.
        "syskeydown 0x79 0x00440001", "syskeyup 0x79 0xC0440001", "syscommand 0xF100",
        // Alt alone, left and right (extended): down with Alt, up without;
        // the menu again.
        "syskeydown 0x12 0x20380001", "syskeyup 0x12 0xC0380001", "syscommand 0xF100",
        "syskeydown 0x12 0x21380001", "syskeyup 0x12 0xC1380001", "syscommand 0xF100",
        // Alt+X with X let go first: WM_SYSCHAR asks for the menu (the
        // 'x'); Alt let go after another key is a plain release.
        "syskeydown 0x12 0x20380001", "syskeydown 0x58 0x202D0001", "syschar 0x78",
        "syscommand 0xF100", "syskeyup 0x58 0xE02D0001", "keyup 0x12 0xC0380001",
        // Ctrl+Alt+X: with Ctrl down nothing is a system key, until Ctrl
        // is let go while Alt still is down; no character.
        "keydown 0x11 0x001D0001", "keydown 0x12 0x20380001", "keydown 0x58 0x202D0001",
        "syskeyup 0x11 0xE01D0001", "keyup 0x12 0xC0380001", "keyup 0x58 0xC02D0001",
        // Shift+A: plain keys.
        "keydown 0x10 0x002A0001", "keydown 0x41 0x001E0001", "char 0x41", "keyup 0x10 0xC02A0001",
        "keyup 0x41 0xC01E0001",
        // Left pressed while right is held: both flags; released after
        // right: none.
        "lbuttondown 0x3", "lbuttonup 0x0",
        // Alt+F4: the window closes, as by its close box.
        "syskeydown 0x12 0x20380001", "syskeydown 0x73 0x203E0001", "syscommand 0xF060"};
    EXPECT_EQ(InputLines(path), expected);
    unlink(path.c_str());
}

// A physical key pressed alone (its X keycode: the evdev code plus 8) and
// what the procedure receives: the virtual key, the scan code (0x100: the
// extended bit) and the character, if any; no vk for a key the layout gives
// nothing, which sends no message. Read from Wine.
struct Key {
    unsigned keycode = 0;
    unsigned vk = 0;
    unsigned scan = 0;
    unsigned char character = 0;
};

// Every key of a 105-key keyboard under "us", but F10 and the two Alts
// (system keys, above), with the two JIS keys a US layout has no symbol for;
// the keypad again with NumLock on, and the locks twice, which leaves them
// as they were.
// clang-format off
const std::vector<Key> kUs = {
    {9, 0x1B, 0x01, 0x1B}, {67, 0x70, 0x3B}, {68, 0x71, 0x3C}, {69, 0x72, 0x3D}, {70, 0x73, 0x3E},
    {71, 0x74, 0x3F}, {72, 0x75, 0x40}, {73, 0x76, 0x41}, {74, 0x77, 0x42}, {75, 0x78, 0x43},
    {95, 0x7A, 0x57}, {96, 0x7B, 0x58}, {107, 0x2C, 0x137}, {127, 0x13, 0x45},
    {49, 0xC0, 0x29, '`'}, {10, 0x31, 0x02, '1'}, {11, 0x32, 0x03, '2'}, {12, 0x33, 0x04, '3'},
    {13, 0x34, 0x05, '4'}, {14, 0x35, 0x06, '5'}, {15, 0x36, 0x07, '6'}, {16, 0x37, 0x08, '7'},
    {17, 0x38, 0x09, '8'}, {18, 0x39, 0x0A, '9'}, {19, 0x30, 0x0B, '0'}, {20, 0xBD, 0x0C, '-'},
    {21, 0xBB, 0x0D, '='}, {22, 0x08, 0x0E, 0x08}, {23, 0x09, 0x0F, 0x09}, {24, 0x51, 0x10, 'q'},
    {25, 0x57, 0x11, 'w'}, {26, 0x45, 0x12, 'e'}, {27, 0x52, 0x13, 'r'}, {28, 0x54, 0x14, 't'},
    {29, 0x59, 0x15, 'y'}, {30, 0x55, 0x16, 'u'}, {31, 0x49, 0x17, 'i'}, {32, 0x4F, 0x18, 'o'},
    {33, 0x50, 0x19, 'p'}, {34, 0xDB, 0x1A, '['}, {35, 0xDD, 0x1B, ']'}, {51, 0xDC, 0x2B, '\\'},
    {36, 0x0D, 0x1C, 0x0D}, {38, 0x41, 0x1E, 'a'}, {39, 0x53, 0x1F, 's'}, {40, 0x44, 0x20, 'd'},
    {41, 0x46, 0x21, 'f'}, {42, 0x47, 0x22, 'g'}, {43, 0x48, 0x23, 'h'}, {44, 0x4A, 0x24, 'j'},
    {45, 0x4B, 0x25, 'k'}, {46, 0x4C, 0x26, 'l'}, {47, 0xBA, 0x27, ';'}, {48, 0xDE, 0x28, '\''},
    {50, 0x10, 0x2A}, {94, 0xE2, 0x56, '<'}, {52, 0x5A, 0x2C, 'z'}, {53, 0x58, 0x2D, 'x'},
    {54, 0x43, 0x2E, 'c'}, {55, 0x56, 0x2F, 'v'}, {56, 0x42, 0x30, 'b'}, {57, 0x4E, 0x31, 'n'},
    {58, 0x4D, 0x32, 'm'}, {59, 0xBC, 0x33, ','}, {60, 0xBE, 0x34, '.'}, {61, 0xBF, 0x35, '/'},
    {62, 0x10, 0x36}, {37, 0x11, 0x1D}, {133, 0x5B, 0x15B}, {65, 0x20, 0x39, ' '},
    {134, 0x5C, 0x15C}, {135, 0x5D, 0x15D}, {105, 0x11, 0x11D}, {118, 0x2D, 0x152},
    {110, 0x24, 0x147}, {112, 0x21, 0x149}, {119, 0x2E, 0x153}, {115, 0x23, 0x14F},
    {117, 0x22, 0x151}, {111, 0x26, 0x148}, {113, 0x25, 0x14B}, {116, 0x28, 0x150},
    {114, 0x27, 0x14D}, {106, 0x6F, 0x135, '/'}, {63, 0x6A, 0x37, '*'}, {82, 0x6D, 0x4A, '-'},
    {79, 0x24, 0x47}, {80, 0x26, 0x48}, {81, 0x21, 0x49}, {86, 0x6B, 0x4E, '+'}, {83, 0x25, 0x4B},
    {84, 0x0C, 0x4C}, {85, 0x27, 0x4D}, {87, 0x23, 0x4F}, {88, 0x28, 0x50}, {89, 0x22, 0x51},
    {90, 0x2D, 0x52}, {91, 0x2E, 0x53}, {104, 0x0D, 0x11C, 0x0D}, {97}, {132}, {102, 0x1D, 0x7B},
    {100, 0x1C, 0x79}, {101, 0xF2, 0x70}, {77, 0x90, 0x145}, {79, 0x67, 0x47, '7'},
    {80, 0x68, 0x48, '8'}, {81, 0x69, 0x49, '9'}, {83, 0x64, 0x4B, '4'}, {84, 0x65, 0x4C, '5'},
    {85, 0x66, 0x4D, '6'}, {87, 0x61, 0x4F, '1'}, {88, 0x62, 0x50, '2'}, {89, 0x63, 0x51, '3'},
    {90, 0x60, 0x52, '0'}, {91, 0x6E, 0x53, '.'}, {77, 0x90, 0x145}, {66, 0x14, 0x3A},
    {66, 0x14, 0x3A}, {78, 0x91, 0x46}, {78, 0x91, 0x46}};
// clang-format on

// Under "jp", the keys of a JIS keyboard that type characters or are its
// own (function, editing and keypad keys are named as under "us"):
// Zenkaku/Hankaku where the US layout has '`', Yen and Ro both typing a
// backslash, Eisu on Caps Lock. (The key left of Z, which a JIS keyboard
// lacks, is left out: Wine makes up a scan code for it.)
// clang-format off
const std::vector<Key> kJp = {
    {49, 0xF3, 0x29}, {10, 0x31, 0x02, '1'}, {11, 0x32, 0x03, '2'}, {12, 0x33, 0x04, '3'},
    {13, 0x34, 0x05, '4'}, {14, 0x35, 0x06, '5'}, {15, 0x36, 0x07, '6'}, {16, 0x37, 0x08, '7'},
    {17, 0x38, 0x09, '8'}, {18, 0x39, 0x0A, '9'}, {19, 0x30, 0x0B, '0'}, {20, 0xBD, 0x0C, '-'},
    {21, 0xDE, 0x0D, '^'}, {24, 0x51, 0x10, 'q'}, {25, 0x57, 0x11, 'w'}, {26, 0x45, 0x12, 'e'},
    {27, 0x52, 0x13, 'r'}, {28, 0x54, 0x14, 't'}, {29, 0x59, 0x15, 'y'}, {30, 0x55, 0x16, 'u'},
    {31, 0x49, 0x17, 'i'}, {32, 0x4F, 0x18, 'o'}, {33, 0x50, 0x19, 'p'}, {34, 0xC0, 0x1A, '@'},
    {35, 0xDB, 0x1B, '['}, {51, 0xDD, 0x2B, ']'}, {38, 0x41, 0x1E, 'a'}, {39, 0x53, 0x1F, 's'},
    {40, 0x44, 0x20, 'd'}, {41, 0x46, 0x21, 'f'}, {42, 0x47, 0x22, 'g'}, {43, 0x48, 0x23, 'h'},
    {44, 0x4A, 0x24, 'j'}, {45, 0x4B, 0x25, 'k'}, {46, 0x4C, 0x26, 'l'}, {47, 0xBB, 0x27, ';'},
    {48, 0xBA, 0x28, ':'}, {52, 0x5A, 0x2C, 'z'}, {53, 0x58, 0x2D, 'x'}, {54, 0x43, 0x2E, 'c'},
    {55, 0x56, 0x2F, 'v'}, {56, 0x42, 0x30, 'b'}, {57, 0x4E, 0x31, 'n'}, {58, 0x4D, 0x32, 'm'},
    {59, 0xBC, 0x33, ','}, {60, 0xBE, 0x34, '.'}, {61, 0xBF, 0x35, '/'}, {97, 0xE2, 0x73, '\\'},
    {132, 0xDC, 0x7D, '\\'}, {102, 0x1D, 0x7B}, {100, 0x1C, 0x79}, {101, 0xF2, 0x70},
    {66, 0xF0, 0x3A}, {66, 0xF0, 0x3A}};
// clang-format on

std::vector<std::string> Lines(const Key& key) {
    if (key.vk == 0) return {};
    const unsigned lParam = 1u | key.scan << 16;
    char down[40];
    char character[16];
    char up[40];
    std::snprintf(down, sizeof down, "keydown 0x%02X 0x%08X", key.vk, lParam);
    std::snprintf(character, sizeof character, "char 0x%02X", key.character);
    std::snprintf(up, sizeof up, "keyup 0x%02X 0x%08X", key.vk, lParam | 0xC0000000u);
    if (key.character == 0) return {down, up};
    return {down, character, up};
}

// Puts the display's layout back for the tests after, pass or fail.
struct UsLayoutAfter {
    std::string display;
    ~UsLayoutAfter() { RunTool({"setxkbmap", "us"}, display); }
};

// One run under both layouts: the second is set while the window is open.
TEST_P(Input, EveryKeyUnderUsAndJpHasWinesVirtualKeyScanCodeAndCharacters) {
    const std::string display = FixtureDisplay("glx");
    ASSERT_FALSE(display.empty()) << "needs the glx_display fixture (ctest starts it)";
    const X11Client probe(display.c_str());
    ASSERT_NE(probe.display(), nullptr);
    const UsLayoutAfter restore{display};
    const auto setLayout = [&](const char* name) {
        return RunTool({"setxkbmap", name}, display) == 0;
    };
    ASSERT_TRUE(setLayout("us"));
    ProgramRunner program(ProbeKind(), display);
    std::string path;
    ::Window window = 0;
    ASSERT_TRUE(StartFocusedProbe(program, probe, path, window));

    std::vector<std::string> expected;
    for (const auto& [name, keys] : {std::pair{"us", &kUs}, std::pair{"jp", &kJp}}) {
        ASSERT_TRUE(setLayout(name));
        std::vector<std::string> press = {"xdotool", "key", "--delay", "10"};
        for (const Key& key : *keys) {
            // xdotool reads 0 to 9 as the digit keys' names.
            press.push_back(key.keycode == 9 ? "Escape" : std::to_string(key.keycode));
            const std::vector<std::string> lines = Lines(key);
            expected.insert(expected.end(), lines.begin(), lines.end());
        }
        ASSERT_EQ(Tool(press), 0);
    }
    ASSERT_TRUE(setLayout("us"));
    ASSERT_EQ(Tool({"xdotool", "key", "alt+F4"}), 0);
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 0) << "Alt+F4 did not close the window";
    expected.insert(expected.end(), {"syskeydown 0x12 0x20380001", "syskeydown 0x73 0x203E0001",
                                     "syscommand 0xF060"});
    EXPECT_EQ(InputLines(path), expected);
    unlink(path.c_str());
}

// The program itself, closed from the keyboard on a display with no window
// manager to turn Alt+F4 into a close: the platform's own default does.
TEST_P(Input, AltF4ClosesTheProgramWithZero) {
    const std::string display = FixtureDisplay("glx");
    ASSERT_FALSE(display.empty()) << "needs the glx_display fixture (ctest starts it)";
    const X11Client probe(display.c_str());
    ASSERT_NE(probe.display(), nullptr);
    ProgramRunner program(Kind(), display);
    ASSERT_TRUE(program.Start());
    ::Window window = 0;
    ASSERT_TRUE(WaitForTheScene(probe, window));
    ASSERT_TRUE(Focus(window));
    ASSERT_EQ(Tool({"xdotool", "key", "alt+F4"}), 0);
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 0);
}

INSTANTIATE_TEST_SUITE_P(Program, Input, ::testing::ValuesIn(ProgramKindNames()),
                         ProgramKindTestName);

}  // namespace
