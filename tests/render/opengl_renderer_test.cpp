#include <GL/glew.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "render/opengl_renderer.h"
#include "support/recording_window.h"
#include "support/scene_projection.h"

namespace {

class OpenGLRendererTest : public RecordingWindowTest {
protected:
    OpenGLRendererTest() : RecordingWindowTest(true) {}
    static void Pixel(int x, int y, unsigned char rgb[3]) {
        unsigned char rgba[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        std::copy(rgba, rgba + 3, rgb);
    }
};

TEST_F(OpenGLRendererTest, InitializeLeavesAContextCurrentAndEndFrameReleasesIt) {
    OpenGLRenderer renderer(hdc);
    ASSERT_TRUE(renderer.Initialize());
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), hdc);
    EXPECT_GT(GetPixelFormat(hdc), 0);
    renderer.EndFrame();
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    renderer.BeginFrame();
    EXPECT_EQ(wglGetCurrentDC(), hdc);
    renderer.EndFrame();
    renderer.Finalize();
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST_F(OpenGLRendererTest, SceneShowsTheSquareOverTheClearColour) {
    OpenGLRenderer renderer(hdc);
    ASSERT_TRUE(renderer.Initialize());
    const Scene scene = BuildScene();
    renderer.BeginFrame();
    renderer.DrawPrimitives(scene.vertices, 4, 2, scene.world, scene.camera);
    glFinish();

    double cx;
    double cy;
    ToWindow(scene, 0, 0, cx, cy);
    unsigned char inside[3];
    Pixel(static_cast<int>(cx), static_cast<int>(cy), inside);
    EXPECT_EQ(inside[0], 224);
    EXPECT_EQ(inside[1], 224);
    EXPECT_EQ(inside[2], 96);

    // Just outside each corner, and the window's own corners.
    const double corners[4][2] = {{-10, -10}, {-10, 10}, {10, -10}, {10, 10}};
    for (const auto& corner : corners) {
        double wx;
        double wy;
        ToWindow(scene, corner[0] * 1.1, corner[1] * 1.1, wx, wy);
        unsigned char outside[3];
        Pixel(static_cast<int>(std::lround(wx)), static_cast<int>(std::lround(wy)), outside);
        EXPECT_EQ(outside[0], 0) << corner[0] << "," << corner[1];
        EXPECT_NEAR(outside[1], 128, 1);
        EXPECT_EQ(outside[2], 255);
    }
    renderer.Present();
    renderer.EndFrame();
    renderer.Finalize();
}

TEST_F(OpenGLRendererTest, ModelviewHoldsProjectionViewWorldAndProjectionStaysIdentity) {
    OpenGLRenderer renderer(hdc);
    ASSERT_TRUE(renderer.Initialize());
    const Scene scene = BuildScene();
    renderer.BeginFrame();
    renderer.DrawPrimitives(scene.vertices, 4, 2, scene.world, scene.camera);

    float modelview[16];
    float projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);

    // world * view * projection in row-vector terms is the same 16 floats.
    Matrix expected;
    for (int row = 0; row < 4; ++row) {
        double a[4] = {0, 0, 0, 0};
        a[row] = 1;
        double b[4];
        double c[4];
        Transform(a, scene.world, b);
        Transform(b, scene.camera.view, c);
        Transform(c, scene.camera.projection, a);
        for (int column = 0; column < 4; ++column) {
            expected.m[row][column] = static_cast<float>(a[column]);
        }
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(modelview[i], expected.m[i / 4][i % 4], 1e-5) << i;
        EXPECT_EQ(projection[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    }
    renderer.EndFrame();
    renderer.Finalize();
}

TEST_F(OpenGLRendererTest, ColourChannelsReachOpenGLAsRedGreenBlueAlpha) {
    OpenGLRenderer renderer(hdc);
    ASSERT_TRUE(renderer.Initialize());
    const Vertex vertex = {0, 0, 0, 0x80402010};  // alpha 0x80, red 0x40, green 0x20, blue 0x10
    const Camera camera;
    renderer.BeginFrame();
    renderer.DrawPrimitives(&vertex, 1, 0, Matrix::Identity(), camera);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[0], 0x40 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[1], 0x20 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[2], 0x10 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[3], 0x80 / 255.0f, 1e-6);
    renderer.EndFrame();
    renderer.Finalize();
}

TEST_F(OpenGLRendererTest, NoVerticesDrawNothingAndRaiseNoError) {
    OpenGLRenderer renderer(hdc);
    ASSERT_TRUE(renderer.Initialize());
    const Scene scene = BuildScene();
    renderer.BeginFrame();
    renderer.DrawPrimitives(scene.vertices, 0, 0, scene.world, scene.camera);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glFinish();
    unsigned char centre[3];
    Pixel(320, 240, centre);
    EXPECT_EQ(centre[0], 0);
    EXPECT_NEAR(centre[1], 128, 1);
    EXPECT_EQ(centre[2], 255);
    renderer.EndFrame();
    renderer.Finalize();
}

TEST_F(OpenGLRendererTest, InitializeFailsWithoutADeviceContext) {
    OpenGLRenderer renderer(nullptr);
    EXPECT_FALSE(renderer.Initialize());
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

}  // namespace
