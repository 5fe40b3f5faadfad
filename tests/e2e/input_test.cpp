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
};

TEST_P(Input, AltKeysAndF10AreSystemKeysButtonsReportTheStateAfterThemAndAltF4Closes) {
    const std::string display = FixtureDisplay("glx");
    ASSERT_FALSE(display.empty()) << "needs the glx_display fixture (ctest starts it)";
    const X11Client probe(display.c_str());
    ASSERT_NE(probe.display(), nullptr);
    char path[] = "/tmp/opengl_test_input_XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    close(file);
    ProgramRunner program(ProbeKind(), display);
    ASSERT_TRUE(program.Start(path));
    ::Window window = 0;
    ASSERT_TRUE(WaitUntil(StartSeconds(), [&] {
        return (window = probe.FindByTitle("window probe", true)) != 0;
    })) << "the probe's window was not shown";
    ASSERT_TRUE(Focus(window));

    // Each step: what xdotool does, then what the procedure must receive:
    // the message, the virtual key and lParam's bits 29 to 31 (1: Alt is
    // down, 2: the key was down, 4: it is being released); the system
    // command DefWindowProcA makes of it; a button's MK_ flags.
    ASSERT_EQ(Tool({"xdotool", "key", "F10"}), 0);
    ASSERT_EQ(Tool({"xdotool", "key", "alt"}), 0);
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
        "syskeydown 0x79 0", "syskeyup 0x79 6", "syscommand 0xF100",
        // Alt alone: down with Alt, up without; the menu again.
        "syskeydown 0x12 1", "syskeyup 0x12 6", "syscommand 0xF100",
        // Alt+X with X let go first: WM_SYSCHAR asks for the menu (the
        // 'x'); Alt let go after another key is a plain release.
        "syskeydown 0x12 1", "syskeydown 0x58 1", "syscommand 0xF100", "syskeyup 0x58 7",
        "keyup 0x12 6",
        // Ctrl+Alt+X: with Ctrl down nothing is a system key, until Ctrl
        // is let go while Alt still is down.
        "keydown 0x11 0", "keydown 0x12 1", "keydown 0x58 1", "syskeyup 0x11 7", "keyup 0x12 6",
        "keyup 0x58 6",
        // Shift+A: plain keys.
        "keydown 0x10 0", "keydown 0x41 0", "keyup 0x10 6", "keyup 0x41 6",
        // Left pressed while right is held: both flags; released after
        // right: none.
        "lbuttondown 0x3", "lbuttonup 0x0",
        // Alt+F4: the window closes, as by its close box.
        "syskeydown 0x12 1", "syskeydown 0x73 1", "syscommand 0xF060"};
    EXPECT_EQ(InputLines(path), expected);
    unlink(path);
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
