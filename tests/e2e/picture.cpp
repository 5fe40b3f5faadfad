#include "e2e/picture.h"

#include <cmath>
#include <utility>

#include "support/scene_projection.h"

Capture::Capture(const X11Client& client, ::Window window)
    : image(client.GetImage(window, &width, &height)) {}

Rgb Capture::At(int x, int y) const {
    const unsigned long pixel = XGetPixel(image.get(), x, y);
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

bool Capture::Yellow(int x, int y) const {
    const Rgb c = At(x, y);
    return std::abs(c.r - 224) <= 1 && std::abs(c.g - 224) <= 1 && std::abs(c.b - 96) <= 1;
}

bool Capture::Blue(int x, int y) const {
    const Rgb c = At(x, y);
    return c.r <= 1 && std::abs(c.g - 128) <= 1 && c.b >= 254;
}

::testing::AssertionResult WaitForTheScene(const X11Client& probe, ::Window& window,
                                           std::unique_ptr<Capture>* shown) {
    const Scene scene = BuildScene();
    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
    const bool drawn = WaitUntil(kHangCeilingSeconds, [&] {
        window = probe.FindByTitle(kProgramTitleUtf8);
        if (window == 0) return false;
        auto frame = std::make_unique<Capture>(probe, window);
        if (!frame->Valid() || frame->width != 640 || frame->height != 480 ||
            !frame->Yellow(static_cast<int>(cx), 480 - 1 - static_cast<int>(cy)) ||
            !frame->Blue(2, 2)) {
            return false;
        }
        if (shown != nullptr) *shown = std::move(frame);
        return true;
    });
    if (drawn) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the square never appeared at " << cx << "," << cy;
}

void ExpectTheScene(const Capture& frame) {
    ASSERT_TRUE(frame.Valid());
    const Scene scene = BuildScene();
    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
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
}
