#include <GL/glew.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "support/program_pixel_format.h"
#include "support/recording_window.h"
#include "support/spin_until.h"

namespace {

class OpenGLContextTest : public RecordingWindowTest {
protected:
    OpenGLContextTest() : RecordingWindowTest(true) {}
    int SetProgramFormat() {
        const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
        const int format = ChoosePixelFormat(hdc, &descriptor);
        EXPECT_GT(format, 0);
        EXPECT_TRUE(SetPixelFormat(hdc, format, &descriptor));
        return format;
    }
};

TEST_F(OpenGLContextTest, ChosenFormatIsDoubleBufferedRgbaWithDepthAndStencil) {
    const PIXELFORMATDESCRIPTOR wanted = ProgramDescriptor();
    const int format = ChoosePixelFormat(hdc, &wanted);
    ASSERT_GT(format, 0);
    PIXELFORMATDESCRIPTOR got = {};
    const int count = DescribePixelFormat(hdc, format, sizeof got, &got);
    EXPECT_GE(count, format);
    EXPECT_EQ(DescribePixelFormat(hdc, 0, 0, nullptr), count);
    EXPECT_EQ(got.nSize, sizeof got);
    EXPECT_EQ(got.iPixelType, PFD_TYPE_RGBA);
    EXPECT_NE(got.dwFlags & PFD_DOUBLEBUFFER, 0u);
    EXPECT_NE(got.dwFlags & PFD_SUPPORT_OPENGL, 0u);
    EXPECT_NE(got.dwFlags & PFD_DRAW_TO_WINDOW, 0u);
    EXPECT_EQ(got.cRedBits, 8);
    EXPECT_EQ(got.cGreenBits, 8);
    EXPECT_EQ(got.cBlueBits, 8);
    EXPECT_GE(got.cDepthBits, 24);
    EXPECT_GE(got.cStencilBits, 8);
}

TEST_F(OpenGLContextTest, PixelFormatIsSetOnceForTheWindowsLife) {
    EXPECT_EQ(GetPixelFormat(hdc), 0);
    const int format = SetProgramFormat();
    EXPECT_EQ(GetPixelFormat(hdc), format);
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    EXPECT_TRUE(SetPixelFormat(hdc, format, &descriptor));  // the same again is fine
    const int other = format == 1 ? 2 : 1;
    EXPECT_FALSE(SetPixelFormat(hdc, other, &descriptor));
    EXPECT_EQ(GetPixelFormat(hdc), format);
    // The same device context, and the format stays with it.
    EXPECT_EQ(GetDC(hwnd), hdc);
    EXPECT_EQ(GetPixelFormat(GetDC(hwnd)), format);
}

TEST_F(OpenGLContextTest, ContextNeedsAPixelFormat) {
    EXPECT_EQ(wglCreateContext(hdc), nullptr);
}

TEST_F(OpenGLContextTest, ContextClearsReadsBackSwapsAndIsReleasedAndDeleted) {
    SetProgramFormat();
    ShowWindow(hwnd, SW_SHOW);
    HGLRC context = wglCreateContext(hdc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    ASSERT_TRUE(wglMakeCurrent(hdc, context));
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(wglGetCurrentDC(), hdc);

    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    unsigned char pixel[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_EQ(pixel[2], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(SwapBuffers(hdc));

    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_FALSE(wglMakeCurrent(hdc, context));
}

TEST_F(OpenGLContextTest, DeletingTheCurrentContextReleasesItFirst) {
    SetProgramFormat();
    HGLRC context = wglCreateContext(hdc);
    ASSERT_TRUE(wglMakeCurrent(hdc, context));
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST_F(OpenGLContextTest, GlewStartsOnceAContextIsCurrent) {
    SetProgramFormat();
    HGLRC context = wglCreateContext(hdc);
    ASSERT_TRUE(wglMakeCurrent(hdc, context));
    glewExperimental = GL_TRUE;
    EXPECT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
}

TEST_F(OpenGLContextTest, ContextOfAnotherWindowWithTheSameFormatCanBeBound) {
    const int format = SetProgramFormat();
    HWND second = RecordingWindow::Create();
    HDC secondDc = GetDC(second);
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    ASSERT_TRUE(SetPixelFormat(secondDc, format, &descriptor));
    HGLRC context = wglCreateContext(hdc);
    EXPECT_TRUE(wglMakeCurrent(secondDc, context));
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    wglDeleteContext(context);
    DestroyWindow(second);
}

// A context is current on one thread at a time: while another thread holds
// it, binding it here and deleting it are both refused with ERROR_BUSY.
TEST_F(OpenGLContextTest, AContextCurrentOnAnotherThreadCanNeitherBeBoundNorDeletedHere) {
    SetProgramFormat();
    HGLRC context = wglCreateContext(hdc);
    ASSERT_NE(context, nullptr);
    std::atomic<int> step{0};
    std::thread holder([&] {
        step = wglMakeCurrent(hdc, context) ? 1 : -1;
        SpinUntil([&] { return step == 2; });
        wglMakeCurrent(nullptr, nullptr);
    });
    const bool heard = SpinUntil([&] { return step != 0; });
    if (!heard || step != 1) {
        step = 2;
        holder.join();
        FAIL() << (heard ? "the other thread could not bind the context"
                         : "the other thread never tried to bind the context");
    }
    EXPECT_FALSE(wglMakeCurrent(hdc, context));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    step = 2;
    holder.join();
    EXPECT_TRUE(wglMakeCurrent(hdc, context)) << "free again once the other thread let it go";
    EXPECT_TRUE(wglDeleteContext(context));
}

// A thread that ends with a context current has let it go: the window it
// was bound to closes as any other does.
TEST_F(OpenGLContextTest, AnotherThreadEndingWithTheContextCurrentLeavesTheWindowToClose) {
    SetProgramFormat();
    HGLRC context = wglCreateContext(hdc);
    ASSERT_NE(context, nullptr);
    BOOL bound = FALSE;
    std::thread([&] { bound = wglMakeCurrent(hdc, context); }).join();
    ASSERT_TRUE(bound);
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd)) << "DestroyWindow failed with " << GetLastError();
#ifndef _WIN32
    // Win32 keeps the context current on the thread that is gone, so it can
    // never be deleted; here it was let go with the thread.
    EXPECT_TRUE(wglDeleteContext(context)) << "failed with " << GetLastError();
#endif
}

#ifndef _WIN32
// Setting a pixel format may put another X window behind the window: the
// owner's business, refused elsewhere (Win32 lets any thread do it).
TEST_F(OpenGLContextTest, SettingAPixelFormatFromAnotherThreadIsRefused) {
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    const int format = ChoosePixelFormat(hdc, &descriptor);
    ASSERT_GT(format, 0);
    BOOL set = TRUE;
    DWORD error = 0;
    std::thread([&] {
        set = SetPixelFormat(hdc, format, &descriptor);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(set);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetPixelFormat(hdc), 0);
}
#endif

}  // namespace
