// The program from outside, as a person and a window manager see it: its
// window, its picture, its close box and its exit status. Each case runs
// for the native binary and for the Windows exe under Wine.

// GoogleTest before Xlib: Xlib's None macro would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <memory>

#include "e2e/picture.h"
#include "e2e/program_kind_test.h"
#include "x11_client.h"

namespace {

class EndToEnd : public ProgramKindTest {};

TEST_P(EndToEnd, DrawsTheSquareInA640By480WindowAndExitsZeroOnClose) {
    const std::string display = FixtureDisplay("glx");
    ASSERT_FALSE(display.empty()) << "needs the glx_display fixture (ctest starts it)";
    const X11Client probe;
    ASSERT_NE(probe.display(), nullptr);
    ProgramRunner program(Kind(), display);
    ASSERT_TRUE(program.Start());

    ::Window window = 0;
    ASSERT_TRUE(WaitUntil(StartSeconds(), [&] {
        return (window = probe.FindByTitle(kProgramTitleUtf8)) != 0;
    })) << "no window titled OpenGLテスト appeared";
    EXPECT_EQ(probe.Utf8Property(window, "_NET_WM_NAME"), kProgramTitleUtf8);

    // The picture, once the first frame is there.
    std::unique_ptr<Capture> frame;
    ASSERT_TRUE(WaitForTheScene(probe, window, &frame));
    ExpectTheScene(*frame);

    // The close box, as a window manager sends it.
    const auto closed = std::chrono::steady_clock::now();
    probe.SendDeleteWindow(window);
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();
    std::printf("[ e2e %s ] closed in %.3f s\n", GetParam().c_str(), seconds);
}

TEST_P(EndToEnd, ExitsMinusOneWithoutADisplay) {
    ProgramRunner program(Kind(), "");
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 255);
}

// Where no OpenGL context can be made: under Wine a display without GLX,
// natively (EGL needs no GLX) an X server of 8-bit colour.
TEST_P(EndToEnd, ExitsMinusTwoWhereNoContextCanBeMadeAndNeverShowsTheWindow) {
    const char* fixture = GetParam() == "native" ? "depth8" : "noglx";
    const std::string display = FixtureDisplay(fixture);
    ASSERT_FALSE(display.empty()) << "needs the " << fixture
                                  << "_display fixture (ctest starts it)";
    // Every top-level window mapped on that display while the program runs.
    // Names cannot tell them apart afterwards (the windows end with the
    // process), and a platform's own windows are override-redirect or never
    // mapped: any managed window mapped there is the program's.
    const X11Client watcher(display.c_str());
    ASSERT_NE(watcher.display(), nullptr);
    XSelectInput(watcher.display(), DefaultRootWindow(watcher.display()), SubstructureNotifyMask);
    XSync(watcher.display(), False);

    ProgramRunner program(Kind(), display);
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 254);

    XSync(watcher.display(), False);
    int mapped = 0;
    while (XPending(watcher.display()) > 0) {
        XEvent event;
        XNextEvent(watcher.display(), &event);
        mapped += event.type == MapNotify && !event.xmap.override_redirect;
    }
    EXPECT_EQ(mapped, 0) << "the window was shown although no rendering context exists";
}

INSTANTIATE_TEST_SUITE_P(Program, EndToEnd, ::testing::ValuesIn(ProgramKindNames()),
                         ProgramKindTestName);

}  // namespace
