// Where the OpenGL driver can make nothing (an X server of 8-bit colour) the
// renderer cannot start, and creates nothing.

#include <gtest/gtest.h>
#include <windows.h>

#include "render/opengl_renderer.h"
#include "support/fixture_display.h"
#include "support/recording_window.h"

namespace {

TEST(OpenGLRendererNoOpenGL, InitializeFailsWithoutCreatingAContext) {
    ASSERT_FALSE(FixtureDisplay("depth8").empty())
        << "needs the depth8_display fixture (ctest starts it)";
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    OpenGLRenderer renderer(GetDC(hwnd));
    EXPECT_FALSE(renderer.Initialize());
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(GetPixelFormat(GetDC(hwnd)), 0);
}

}  // namespace
