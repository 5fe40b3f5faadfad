// The program on a desktop: under openbox, a reparenting window manager,
// on a display of its own (the test command starts it), for each kind of
// program. What a user does to a window there — move, resize, minimize,
// restore, close — the program survives, and it says where it is the way
// Win32 does, which Wine, under the same window manager, confirms.

// GoogleTest before Xlib: Xlib's None macro would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "e2e/picture.h"
#include "e2e/program_kind_test.h"
#include "x11_client.h"

namespace {

// Where the window's top-left corner is on the screen, whatever frames it.
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point& other) const { return x == other.x && y == other.y; }
    bool operator!=(const Point& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

Point OnScreen(const X11Client& client, ::Window window) {
    Point point;
    ::Window child = 0;
    XTranslateCoordinates(client.display(), window, DefaultRootWindow(client.display()), 0, 0,
                          &point.x, &point.y, &child);
    return point;
}

XWindowAttributes Attributes(const X11Client& client, ::Window window) {
    XWindowAttributes attributes = {};
    XGetWindowAttributes(client.display(), window, &attributes);
    return attributes;
}

// The frame the window manager drew around the window: left, right, top,
// bottom, as it announces them in _NET_FRAME_EXTENTS; all 0 when none.
std::vector<long> FrameExtents(const X11Client& client, ::Window window) {
    std::vector<long> extents = client.LongsProperty(window, "_NET_FRAME_EXTENTS");
    extents.resize(4, 0);
    return extents;
}

::Window Parent(const X11Client& client, ::Window window) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(client.display(), window, &root, &parent, &children, &count) && children) {
        XFree(children);
    }
    return parent;
}

// ICCCM's WM_STATE: 1 normal, 3 iconic; 0 when the window manager has not
// set it.
long WmState(const X11Client& client, ::Window window) {
    const std::vector<long> state = client.LongsProperty(window, "WM_STATE");
    return state.empty() ? 0 : state[0];
}

class Desktop : public ProgramKindTest {
protected:
    void SetUp() override {
        ProgramKindTest::SetUp();
        if (IsSkipped()) return;
        display_ = FixtureDisplay("desktop");
        ASSERT_FALSE(display_.empty()) << "needs the desktop_display fixture (ctest starts it)";
    }
    int Tool(const std::vector<std::string>& arguments, std::string* output = nullptr) const {
        return RunTool(arguments, display_, output);
    }
    std::string display_;
};

TEST_P(Desktop, ProgramIsFramedListedAndSurvivesMoveResizeMinimizeRestoreThenClosesWithZero) {
    const X11Client probe(display_.c_str());
    ASSERT_NE(probe.display(), nullptr);
    ProgramRunner program(Kind(), display_);
    ASSERT_TRUE(program.Start());
    ::Window window = 0;
    ASSERT_TRUE(WaitUntil(StartSeconds(), [&] {
        return (window = probe.FindByTitle(kProgramTitleUtf8, true)) != 0;
    })) << "no window titled OpenGLテスト was shown";
    ASSERT_TRUE(WaitForTheScene(probe, window));

    // Managed: inside a frame of the window manager's, with a title bar.
    EXPECT_NE(Parent(probe, window), DefaultRootWindow(probe.display()));
    ASSERT_TRUE(WaitUntil(kHangCeilingSeconds, [&] { return FrameExtents(probe, window)[2] > 0; }))
        << "the window manager drew no title bar";
    // Listed as window managers and taskbars list windows.
    std::string list;
    ASSERT_EQ(Tool({"wmctrl", "-l"}, &list), 0);
    EXPECT_NE(list.find(kProgramTitleUtf8), std::string::npos) << list;

    // Moved: the client area follows its frame, and the program goes on.
    const Point before = OnScreen(probe, window);
    ASSERT_EQ(Tool({"wmctrl", "-i", "-r", WindowIdText(window), "-e", "0,200,150,-1,-1"}), 0);
    EXPECT_TRUE(WaitUntil(kHangCeilingSeconds, [&] { return OnScreen(probe, window) != before; }))
        << "still at " << before;
    // Resized larger (the picture keeps its first viewport), then back.
    ASSERT_EQ(Tool({"wmctrl", "-i", "-r", WindowIdText(window), "-e", "0,-1,-1,800,600"}), 0);
    EXPECT_TRUE(
        WaitUntil(kHangCeilingSeconds, [&] { return Attributes(probe, window).width == 800; }));
    ASSERT_EQ(Tool({"wmctrl", "-i", "-r", WindowIdText(window), "-e", "0,-1,-1,640,480"}), 0);
    EXPECT_TRUE(
        WaitUntil(kHangCeilingSeconds, [&] { return Attributes(probe, window).width == 640; }));
    ASSERT_EQ(program.WaitForExit(0), -1) << "the program ended while moved and resized";

    // Minimized, then restored: an unmapped window loses its contents on this
    // server (no backing store), so the square after restore was drawn anew.
    ASSERT_EQ(Tool({"xdotool", "windowminimize", WindowIdText(window)}), 0);
    ASSERT_TRUE(
        WaitUntil(kHangCeilingSeconds, [&] { return WmState(probe, window) == IconicState; }));
    EXPECT_NE(Attributes(probe, window).map_state, IsViewable);
    ASSERT_EQ(Tool({"wmctrl", "-i", "-a", WindowIdText(window)}), 0);
    ASSERT_TRUE(
        WaitUntil(kHangCeilingSeconds, [&] { return WmState(probe, window) == NormalState; }));
    // A frame the program drew while the window was 800 x 600 (its first
    // viewport at the bottom-left, so lower by 120) may still be shown for a
    // moment under Wine: the picture is the first frame drawn for 640 x 480.
    std::unique_ptr<Capture> frame;
    ASSERT_TRUE(WaitUntil(kHangCeilingSeconds, [&] {
        return WaitForTheScene(probe, window, &frame) && SquareWhereTheProjectionPutsIt(*frame);
    })) << "after restore, no frame drawn for 640 x 480";
    ExpectTheScene(*frame);

    // Closed by the window manager, as its close button does.
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_EQ(Tool({"wmctrl", "-i", "-c", WindowIdText(window)}), 0);
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0);
    std::printf("[ desktop %s ] closed in %.3f s\n", GetParam().c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count());
}

// The last "move X Y" the probe printed; false before the first.
bool LastMove(const std::string& path, Point& move) {
    std::ifstream lines(path);
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string what;
        Point point;
        if (words >> what >> point.x >> point.y && what == "move") {
            move = point;
            any = true;
        }
    }
    return any;
}

// WM_MOVE carries the client area's position on the screen. A reparenting
// window manager moves and resizes the frame, and the server's own events
// then give the window's place inside its frame: a platform that passes
// those on reports the frame's insets as the position. (A plain move is no
// test of that: the window manager follows it with an event of its own in
// screen coordinates. A resize it does not.)
TEST_P(Desktop, WindowMovedByTheWindowManagerReportsItsPositionOnTheScreen) {
    const X11Client probe(display_.c_str());
    ASSERT_NE(probe.display(), nullptr);
    char path[] = "/tmp/opengl_test_probe_XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    close(file);
    ProgramRunner program(ProbeKind(), display_);
    ASSERT_TRUE(program.Start(path));
    ::Window window = 0;
    ASSERT_TRUE(WaitUntil(StartSeconds(), [&] {
        return (window = probe.FindByTitle("window probe", true)) != 0;
    })) << "the probe's window was not shown";

    Point reported;
    Point actual;
    const auto agree = [&] {
        actual = OnScreen(probe, window);
        return LastMove(path, reported) && reported == actual;
    };
    EXPECT_TRUE(WaitUntil(kHangCeilingSeconds, agree))
        << "once shown: WM_MOVE says " << reported << ", the window is at " << actual;
    const Point shown = actual;
    ASSERT_EQ(Tool({"wmctrl", "-i", "-r", WindowIdText(window), "-e", "0,300,200,-1,-1"}), 0);
    EXPECT_TRUE(WaitUntil(kHangCeilingSeconds, [&] { return agree() && actual != shown; }))
        << "moved: WM_MOVE says " << reported << ", the window is at " << actual;
    const Point moved = actual;
    ASSERT_EQ(Tool({"wmctrl", "-i", "-r", WindowIdText(window), "-e", "0,100,80,400,300"}), 0);
    EXPECT_TRUE(WaitUntil(
        kHangCeilingSeconds,
        [&] { return Attributes(probe, window).width == 400 && agree() && actual != moved; }))
        << "moved and resized: WM_MOVE says " << reported << ", the window is at " << actual;

    ASSERT_EQ(Tool({"wmctrl", "-i", "-c", WindowIdText(window)}), 0);
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 0);
    unlink(path);
}

INSTANTIATE_TEST_SUITE_P(Program, Desktop, ::testing::ValuesIn(ProgramKindNames()),
                         ProgramKindTestName);

}  // namespace
