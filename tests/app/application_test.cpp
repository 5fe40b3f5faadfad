#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/application_probe.h"
#include "support/float_bits.h"
#include "support/recording_renderer.h"
#include "support/recording_window.h"

namespace {

using Calls = std::vector<std::string>;

class ApplicationTest : public RecordingWindowTest {
protected:
    ApplicationTest() : RecordingWindowTest(true) {}
    void SetUp() override {
        RecordingWindowTest::SetUp();
        window = {hwnd, hdc};
    }
    // The frames a run drew, without Finalize.
    static Calls Frames(const Calls& calls) {
        Calls frames;
        for (const std::string& call : calls) {
            if (call != "Finalize") frames.push_back(call);
        }
        return frames;
    }

    MainWindow window = {nullptr, nullptr};
    RecordingRenderer renderer;
};

TEST_F(ApplicationTest, IdleTurnDrawsOneFrameInOrderWithTheApplicationsOwnScene) {
    ApplicationProbe app(&window, &renderer);
    renderer.afterFrame = [](int) { PostQuitMessage(0); };
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), 0) << "-100: the run never saw WM_QUIT";
    EXPECT_EQ(renderer.calls,
              (Calls{"BeginFrame", "DrawPrimitives", "Present", "EndFrame", "Finalize"}));
    ASSERT_EQ(renderer.draws.size(), 1u);
    const RecordingRenderer::Draw& draw = renderer.draws[0];
    EXPECT_EQ(draw.vertices, app.vertices);
    EXPECT_EQ(draw.vertexCount, 4u);
    EXPECT_EQ(draw.primitiveCount, 2u);
    EXPECT_EQ(draw.world, &app.world);
    EXPECT_EQ(draw.camera, &app.camera);
    EXPECT_EQ(app.initializeCalls, 1);
    EXPECT_EQ(app.finalizeCalls, 1);
    EXPECT_TRUE(IsWindowVisible(window.hwnd));
}

TEST_F(ApplicationTest, QuitWaitingAtStartEndsRunWithoutAFrame) {
    ApplicationProbe app(&window, &renderer);
    PostQuitMessage(5);  // its code is not the result
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), 0) << "-100: the run never saw WM_QUIT";
    EXPECT_EQ(renderer.calls, Calls{"Finalize"});
    EXPECT_EQ(app.finalizeCalls, 1);
}

// A window whose procedure reposts a message to itself a number of times:
// a message arrives on every turn until the count runs out.
struct Reposting {
    static int remaining;
    static std::vector<std::string>* log;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_USER + 7) {
            log->push_back("message");
            if (--remaining > 0) PostMessageA(hwnd, WM_USER + 7, 0, 0);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};
int Reposting::remaining = 0;
std::vector<std::string>* Reposting::log = nullptr;

TEST_F(ApplicationTest, NoFrameIsDrawnWhileMessagesKeepArriving) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Reposting::Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RepostingWindow";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND hwnd = CreateWindowExA(0, "RepostingWindow", "reposting", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);

    std::vector<std::string> log;
    Reposting::log = &log;
    Reposting::remaining = 200;
    PostMessageA(hwnd, WM_USER + 7, 0, 0);
    renderer.afterFrame = [&](int frames) {
        log.push_back("frame");
        if (frames == 3) PostQuitMessage(0);
    };
    MainWindow reposting = {hwnd, GetDC(hwnd)};
    ApplicationProbe app(&reposting, &renderer);
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), 0) << "-100: the run never saw WM_QUIT";

    ASSERT_EQ(log.size(), 203u);
    for (size_t i = 0; i < 200; ++i) ASSERT_EQ(log[i], "message") << i;
    for (size_t i = 200; i < 203; ++i) EXPECT_EQ(log[i], "frame");
    DestroyWindow(hwnd);
}

TEST_F(ApplicationTest, InitializeBuildsTheSceneBitForBit) {
    ApplicationProbe app(&window, &renderer);
    ASSERT_TRUE(app.Initialize());
    const float x[4] = {-10, -10, 10, 10};
    const float y[4] = {-10, 10, -10, 10};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Bits(app.vertices[i].x), Bits(x[i]));
        EXPECT_EQ(Bits(app.vertices[i].y), Bits(y[i]));
        EXPECT_EQ(Bits(app.vertices[i].z), 0u);
        EXPECT_EQ(app.vertices[i].color, 0xFFE0E060u);
    }
    Matrix world = Matrix::Identity();
    world.m[3][0] = FromBits(0x3E4CCCCD);
    world.m[3][1] = FromBits(0x3ECCCCCD);
    EXPECT_TRUE(SameMatrix(app.world, world));
    EXPECT_TRUE(SameMatrix(app.camera.view, MakeMatrix({{1, 0, 0, 0},
                                                        {0, 0.9701425f, -0.24253562f, 0},
                                                        {-0.0f, 0.24253562f, 0.9701425f, 0},
                                                        {-0.0f, -0.0f, 41.231056f, 1}})));
    EXPECT_TRUE(SameMatrix(app.camera.projection, MakeMatrix({{2.0606079f, 0, 0, 0},
                                                              {0, 2.7474773f, 0, 0},
                                                              {0, 0, 1.002004f, 1},
                                                              {0, 0, -1.002004f, 0}})));
    // The field of view is the float with bits 0x3F32B8C3, not the correctly
    // rounded 40 degrees: the other value gives another projection.
    EXPECT_NE(Bits(Matrix::PerspectiveFovLH(FromBits(0x3F32B8C2), 640, 480, 1, 500).m[1][1]),
              Bits(app.camera.projection.m[1][1]));
}

TEST_F(ApplicationTest, CameraStartsAsIdentityBeforeInitialize) {
    ApplicationProbe app(&window, &renderer);
    EXPECT_TRUE(SameMatrix(app.camera.view, Matrix::Identity()));
    EXPECT_TRUE(SameMatrix(app.camera.projection, Matrix::Identity()));
}

TEST_F(ApplicationTest, FinalizeFinalizesRendererAndKeepsWindowAndRecord) {
    ApplicationProbe app(&window, &renderer);
    const MainWindow before = window;
    app.Finalize();
    EXPECT_EQ(renderer.calls, Calls{"Finalize"});
    EXPECT_EQ(window.hwnd, before.hwnd);
    EXPECT_EQ(window.hdc, before.hdc);
    EXPECT_TRUE(IsWindow(window.hwnd));
}

TEST_F(ApplicationTest, FinalizeWithoutDeviceContextStillFinalizesRenderer) {
    MainWindow noDc = {window.hwnd, nullptr};
    ApplicationProbe app(&noDc, &renderer);
    app.Finalize();
    EXPECT_EQ(renderer.calls, Calls{"Finalize"});
}

TEST_F(ApplicationTest, FailedInitializeEndsRunWithMinusOneAndTouchesNothing) {
    ApplicationProbe app(&window, &renderer);
    app.failInitialize = true;
    PostQuitMessage(0);  // would end the loop at once if it were entered
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), -1) << "-100: the run never saw WM_QUIT";
    EXPECT_TRUE(renderer.calls.empty());
    EXPECT_EQ(app.finalizeCalls, 0);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
}

}  // namespace
