#include "e2e/picture.h"

#include <png.h>

#include <cmath>
#include <utility>

#include "support/scene_projection.h"

Capture::Capture(const X11Client& client, ::Window window) {
    struct Destroy {
        void operator()(XImage* i) const { XDestroyImage(i); }
    };
    const std::unique_ptr<XImage, Destroy> image(client.GetImage(window, &width, &height));
    if (image == nullptr) return;
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image.get(), x, y) & 0xFFFFFF);
    }
}

Capture::Capture(const std::string& png, int x, int y, int cropWidth, int cropHeight,
                 std::string* error) {
    png_image file = {};
    file.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&file, png.c_str()) == 0) {
        *error = png + ": " + file.message;
        return;
    }
    file.format = PNG_FORMAT_RGB;
    const int fileWidth = static_cast<int>(file.width);
    const int fileHeight = static_cast<int>(file.height);
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(file));
    if (png_image_finish_read(&file, nullptr, rgb.data(), 0, nullptr) == 0) {
        *error = png + ": " + file.message;
        return;
    }
    if (x < 0 || y < 0 || x + cropWidth > fileWidth || y + cropHeight > fileHeight) {
        *error = png + " is " + std::to_string(fileWidth) + "x" + std::to_string(fileHeight) +
                 ", without the window's rectangle";
        return;
    }
    width = cropWidth;
    height = cropHeight;
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) {
            const png_byte* p = &rgb[(static_cast<size_t>(row) * fileWidth + column) * 3];
            pixels.push_back(std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]);
        }
    }
}

Rgb Capture::At(int x, int y) const {
    const std::uint32_t pixel = pixels[static_cast<size_t>(y) * width + x];
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

bool ShowsTheScene(const Capture& frame) {
    const Scene scene = BuildScene();
    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
    return frame.Valid() && frame.width == 640 && frame.height == 480 &&
           frame.Yellow(static_cast<int>(cx), 480 - 1 - static_cast<int>(cy)) && frame.Blue(2, 2);
}

::testing::AssertionResult WaitForTheScene(const X11Client& probe, ::Window& window,
                                           std::unique_ptr<Capture>* shown) {
    const bool drawn = WaitUntil(kHangCeilingSeconds, [&] {
        window = probe.FindByTitle(kProgramTitleUtf8);
        if (window == 0) return false;
        auto frame = std::make_unique<Capture>(probe, window);
        if (!ShowsTheScene(*frame)) return false;
        if (shown != nullptr) *shown = std::move(frame);
        return true;
    });
    if (drawn) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "no frame of the scene (the square at the centre on blue) within "
           << kHangCeilingSeconds << " s";
}

bool SquareWhereTheProjectionPutsIt(const Capture& frame) {
    if (!frame.Valid()) return false;
    const Scene scene = BuildScene();
    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
    double x;
    double top;
    double bottom;
    ToWindow(scene, 0, 10, x, top);
    ToWindow(scene, 0, -10, x, bottom);
    const int column = static_cast<int>(cx);
    int first = -1;
    int last = -1;
    for (int row = 0; row < frame.height; ++row) {
        if (frame.Yellow(column, row)) {
            if (first < 0) first = row;
            last = row;
        }
    }
    // Top-down, as X counts.
    return std::abs(first + 0.5 - (480 - top)) <= 1.5 &&
           std::abs(last + 0.5 - (480 - bottom)) <= 1.5;
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
