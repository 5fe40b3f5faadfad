// On a display where the OpenGL driver can make nothing (an X server of
// 8-bit colour): windows exist, pixel formats do not.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/program_pixel_format.h"
#include "support/fixture_display.h"
#include "support/recording_window.h"

namespace {

TEST(NoOpenGL, WindowsWorkButNoPixelFormatIsOffered) {
    ASSERT_FALSE(FixtureDisplay("depth8").empty())
        << "needs the depth8_display fixture (ctest starts it)";
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
