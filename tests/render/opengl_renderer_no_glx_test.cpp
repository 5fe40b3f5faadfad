// On a display without GLX the renderer cannot start, and creates nothing.

#include <gtest/gtest.h>
#include <windows.h>

#include "render/opengl_renderer.h"
#include "support/fixture_display.h"
#include "support/recording_window.h"

namespace {

TEST(OpenGLRendererNoGlx, InitializeFailsWithoutCreatingAContext) {
    ASSERT_FALSE(FixtureDisplay("noglx").empty())
        << "needs the noglx_display fixture (ctest starts it)";
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    OpenGLRenderer renderer(GetDC(hwnd));
    EXPECT_FALSE(renderer.Initialize());
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(GetPixelFormat(GetDC(hwnd)), 0);
}

}  // namespace
