// On a display without GLX: windows exist, pixel formats do not.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/program_pixel_format.h"
#include "support/fixture_display.h"
#include "support/recording_window.h"

namespace {

TEST(NoGlx, WindowsWorkButNoPixelFormatIsOffered) {
    ASSERT_FALSE(FixtureDisplay("noglx").empty())
        << "needs the noglx_display fixture (ctest starts it)";
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    HDC hdc = GetDC(hwnd);
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    EXPECT_EQ(ChoosePixelFormat(hdc, &descriptor), 0);
    EXPECT_EQ(DescribePixelFormat(hdc, 1, 0, nullptr), 0);
    EXPECT_FALSE(SetPixelFormat(hdc, 1, &descriptor));
    EXPECT_EQ(wglCreateContext(hdc), nullptr);
    DestroyWindow(hwnd);
}

}  // namespace
