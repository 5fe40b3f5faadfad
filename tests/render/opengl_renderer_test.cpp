#include <GL/glew.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <memory>

#include "render/opengl_renderer.h"
#include "support/recording_window.h"
#include "support/scene_projection.h"

namespace {

class OpenGLRendererTest : public RecordingWindowTest {
protected:
    OpenGLRendererTest() : RecordingWindowTest(true) {}
    // Starts the renderer on the window and begins a frame with the
    // vertices drawn; the frame ends and the renderer stops with the test.
    void Draw(const Vertex* vertices, unsigned vertexCount, const Matrix& world,
              const Camera& camera) {
        renderer = std::make_unique<OpenGLRenderer>(hdc);
        ASSERT_TRUE(renderer->Initialize());
        renderer->BeginFrame();
        renderer->DrawPrimitives(vertices, vertexCount, vertexCount / 2, world, camera);
    }
    void Draw(const Scene& scene, unsigned vertexCount = 4) {
        Draw(scene.vertices, vertexCount, scene.world, scene.camera);
    }
    void TearDown() override {
        if (renderer) {
            renderer->EndFrame();
            renderer->Finalize();
        }
        RecordingWindowTest::TearDown();
    }
    static void Pixel(int x, int y, unsigned char rgb[3]) {
        unsigned char rgba[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        std::copy(rgba, rgba + 3, rgb);
    }

    const Scene scene = BuildScene();
    std::unique_ptr<OpenGLRenderer> renderer;
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
    ASSERT_NO_FATAL_FAILURE(Draw(scene));
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
    renderer->Present();
}

TEST_F(OpenGLRendererTest, ModelviewHoldsProjectionViewWorldAndProjectionStaysIdentity) {
    ASSERT_NO_FATAL_FAILURE(Draw(scene));
    float modelview[16];
    float projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);

    // world * view * projection in row-vector terms is the same 16 floats:
    // row i is the i-th unit vector taken to clip space.
    for (int row = 0; row < 4; ++row) {
        double unit[4] = {0, 0, 0, 0};
        unit[row] = 1;
        double expected[4];
        ToClip(scene, unit, expected);
        for (int column = 0; column < 4; ++column) {
            const int i = row * 4 + column;
            EXPECT_NEAR(modelview[i], expected[column], 1e-5) << i;
            EXPECT_EQ(projection[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
        }
    }
}

TEST_F(OpenGLRendererTest, ColourChannelsReachOpenGLAsRedGreenBlueAlpha) {
    const Vertex vertex = {0, 0, 0, 0x80402010};  // alpha 0x80, red 0x40, green 0x20, blue 0x10
    ASSERT_NO_FATAL_FAILURE(Draw(&vertex, 1, Matrix::Identity(), Camera()));
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[0], 0x40 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[1], 0x20 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[2], 0x10 / 255.0f, 1e-6);
    EXPECT_NEAR(colour[3], 0x80 / 255.0f, 1e-6);
}

TEST_F(OpenGLRendererTest, NoVerticesDrawNothingAndRaiseNoError) {
    ASSERT_NO_FATAL_FAILURE(Draw(scene, 0));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glFinish();
    unsigned char centre[3];
    Pixel(320, 240, centre);
    EXPECT_EQ(centre[0], 0);
    EXPECT_NEAR(centre[1], 128, 1);
    EXPECT_EQ(centre[2], 255);
}

TEST_F(OpenGLRendererTest, InitializeFailsWithoutADeviceContext) {
    OpenGLRenderer renderer(nullptr);
    EXPECT_FALSE(renderer.Initialize());
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

}  // namespace
