// The program from outside, as a person and a window manager see it: its
// window, its picture, its close box and its exit status. Each case runs
// for the native binary and for the Windows exe under Wine.

// GoogleTest before Xlib: Xlib's None macro would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "e2e/program_kind_test.h"
#include "support/scene_projection.h"
#include "x11_client.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct Rgb {
    int r;
    int g;
    int b;
};

// The window's client area as the X server holds it.
class Capture {
public:
    Capture(::Display* display, ::Window window) {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        width = attributes.width;
        height = attributes.height;
        image.reset(XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap));
    }
    // (x, y) counted from the top-left corner.
    Rgb At(int x, int y) const {
        const unsigned long pixel = XGetPixel(image.get(), x, y);
        return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                static_cast<int>(pixel & 0xFF)};
    }
    bool Yellow(int x, int y) const {
        const Rgb c = At(x, y);
        return std::abs(c.r - 224) <= 1 && std::abs(c.g - 224) <= 1 && std::abs(c.b - 96) <= 1;
    }
    bool Blue(int x, int y) const {
        const Rgb c = At(x, y);
        return c.r <= 1 && std::abs(c.g - 128) <= 1 && c.b >= 254;
    }
    bool Valid() const { return image != nullptr; }

    int width = 0;
    int height = 0;

private:
    struct Destroy {
        void operator()(XImage* i) const { XDestroyImage(i); }
    };
    std::unique_ptr<XImage, Destroy> image;
};

class EndToEnd : public ProgramKindTest {};

TEST_P(EndToEnd, DrawsTheSquareInA640By480WindowAndExitsZeroOnClose) {
    const std::string display = Env("DISPLAY");
    ASSERT_FALSE(display.empty());
    const X11Client probe;
    ASSERT_NE(probe.display(), nullptr);
    ProgramRunner program(Kind(), display);
    ASSERT_TRUE(program.Start());

    ::Window window = 0;
    ASSERT_TRUE(WaitUntil(StartSeconds(), [&] {
        return (window = probe.FindByTitle(kProgramTitleUtf8)) != 0;
    })) << "no window titled OpenGLテスト appeared";
    EXPECT_EQ(probe.Utf8Property(window, "_NET_WM_NAME"), kProgramTitleUtf8);

    // The picture: wait for the first frame, then look at the pixels the
    // scene's own projection predicts.
    const Scene scene = BuildScene();
    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
    ASSERT_TRUE(WaitUntil(10,
                          [&] {
                              // Found again each time: a platform may replace the X window behind
                              // the program's window while it sets up OpenGL.
                              window = probe.FindByTitle(kProgramTitleUtf8);
                              XWindowAttributes attributes;
                              XGetWindowAttributes(probe.display(), window, &attributes);
                              if (attributes.map_state != IsViewable) return false;
                              Capture frame(probe.display(), window);
                              return frame.Valid() && frame.Yellow(static_cast<int>(cx),
                                                                   480 - 1 - static_cast<int>(cy));
                          }))
        << "the square never appeared at " << cx << "," << cy;
    Capture frame(probe.display(), window);
    ASSERT_TRUE(frame.Valid());
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    for (const auto& corner : {std::pair<int, int>{2, 2}, {637, 2}, {2, 477}, {637, 477}}) {
        const Rgb c = frame.At(corner.first, corner.second);
        EXPECT_TRUE(frame.Blue(corner.first, corner.second))
            << "(" << corner.first << "," << corner.second << ") is " << c.r << "," << c.g << ","
            << c.b;
    }

    // The corners where the projection puts them: the square's left and right
    // edges, and its top and bottom edges, each within 1.5 px.
    double x[4];
    double y[4];
    const double sx[4] = {-10, -10, 10, 10};
    const double sy[4] = {-10, 10, -10, 10};
    for (int i = 0; i < 4; ++i) {
        ToWindow(scene, sx[i], sy[i], x[i], y[i]);
        y[i] = 480 - y[i];  // top-down, as X counts
    }
    // 0: bottom-left, 1: top-left, 2: bottom-right, 3: top-right.
    for (int row : {static_cast<int>(y[1]) + 3, static_cast<int>(y[0]) - 3}) {
        const double t = (row + 0.5 - y[1]) / (y[0] - y[1]);
        const double left = x[1] + t * (x[0] - x[1]);
        const double right = x[3] + t * (x[2] - x[3]);
        int first = -1;
        int last = -1;
        for (int column = 0; column < 640; ++column) {
            if (frame.Yellow(column, row)) {
                if (first < 0) first = column;
                last = column;
            }
        }
        EXPECT_NEAR(first + 0.5, left, 1.5) << "row " << row;
        EXPECT_NEAR(last + 0.5, right, 1.5) << "row " << row;
    }
    const int column = static_cast<int>(cx);
    int top = -1;
    int bottom = -1;
    for (int row = 0; row < 480; ++row) {
        if (frame.Yellow(column, row)) {
            if (top < 0) top = row;
            bottom = row;
        }
    }
    EXPECT_NEAR(top + 0.5, (y[1] + y[3]) / 2, 1.5);
    EXPECT_NEAR(bottom + 0.5, (y[0] + y[2]) / 2, 1.5);

    // The close box, as a window manager sends it.
    const auto closed = std::chrono::steady_clock::now();
    probe.SendDeleteWindow(window);
    EXPECT_EQ(program.WaitForExit(2.0), 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();
    std::printf("[ e2e %s ] closed in %.3f s\n", GetParam().c_str(), seconds);
}

TEST_P(EndToEnd, ExitsMinusOneWithoutADisplay) {
    ProgramRunner program(Kind(), "");
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.WaitForExit(StartSeconds()), 255);
}

TEST_P(EndToEnd, ExitsMinusTwoWithoutGlxAndNeverShowsTheWindow) {
    const std::string display = Env("OPENGL_TEST_NOGLX_DISPLAY");
    ASSERT_FALSE(display.empty()) << "OPENGL_TEST_NOGLX_DISPLAY (see scripts/test.sh)";
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
