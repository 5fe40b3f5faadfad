#pragma once

// The program's picture as the X server holds it, or as a compositor's
// screenshot shows it, and the check that it is the scene: the square where
// the scene's own projection puts it, on blue.

// GoogleTest before Xlib: Xlib's None macro would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "x11_client.h"

struct Rgb {
    int r;
    int g;
    int b;
};

// A window's contents at one moment.
class Capture {
public:
    // Invalid while the window cannot be read (not viewable yet, or gone).
    Capture(const X11Client& client, ::Window window);
    // The rectangle at (x, y), `width` x `height`, of a PNG file (a
    // screenshot of a compositor's output); invalid, with the reason in
    // `error`, when the file cannot be read or does not hold it.
    Capture(const std::string& png, int x, int y, int width, int height, std::string* error);
    // (x, y) counted from the top-left corner.
    Rgb At(int x, int y) const;
    bool Yellow(int x, int y) const;
    bool Blue(int x, int y) const;
    bool Valid() const { return !pixels.empty(); }

    int width = 0;
    int height = 0;

private:
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row by row from the top
};

// Whether `frame` is a 640 x 480 frame of the scene, as far as its centre
// (yellow) and a corner (blue) tell: the first frame is there.
bool ShowsTheScene(const Capture& frame);
// Whether the square's top and bottom, at the centre, are where the
// projection puts them: a frame drawn for the window's present size.
bool SquareWhereTheProjectionPutsIt(const Capture& frame);
// Waits for the program's window to show a frame of the scene:
// the square at its centre on blue. `window` is found again each time (a
// platform may replace the X window behind the program's window while it
// sets up OpenGL). With `shown`, the frame seen: a window whose class has a
// background brush is erased to it before it is drawn again (after a
// restore, say), so a later capture may catch it erased.
::testing::AssertionResult WaitForTheScene(const X11Client& probe, ::Window& window,
                                           std::unique_ptr<Capture>* shown = nullptr);
// The whole picture: 640 x 480, blue corners, the square's edges within
// 1.5 px of where the projection puts them.
void ExpectTheScene(const Capture& frame);
