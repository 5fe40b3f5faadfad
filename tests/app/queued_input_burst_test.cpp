// Input that keeps arriving from another thread holds frames back until the
// last of it is dispatched; then frames go on. Each message is posted while
// the window procedure is still handling the one before, so the queue is
// never empty between them: a loop that drew a frame after each message, or
// drew with input waiting, would show frames inside the burst.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "support/application_probe.h"
#include "support/recording_renderer.h"
#include "support/spin_until.h"
#include "platform/main_window.h"
#include "support/window_with_procedure.h"

namespace {

constexpr int kEvents = 10000;  // also Win32's default limit of posted messages per queue

// Lockstep between the posting thread and the window procedure.
struct Burst {
    std::mutex mutex;
    std::condition_variable changed;
    int posted = 0;
    int dispatched = 0;
    int failedPosts = 0;
    // Frames presented when the first and the last input were dispatched.
    int framesAtFirst = -1;
    int framesAtLast = -1;
    // The wait that passed its ceiling, if one did; it ends the burst.
    std::string hung;

    // Waits on `lock` until `done` holds; past the ceiling, records `what`
    // and releases every other wait.
    template <typename Done>
    bool Await(std::unique_lock<std::mutex>& lock, const char* what, Done done) {
        const auto ceiling = std::chrono::duration<double>(kThreadHangCeilingSeconds);
        if (changed.wait_for(lock, ceiling, [&] { return done() || !hung.empty(); }) &&
            hung.empty()) {
            return true;
        }
        if (hung.empty()) hung = what;
        posted = dispatched = kEvents;
        changed.notify_all();
        return false;
    }
};

Burst* g_burst = nullptr;
const RecordingRenderer* g_renderer = nullptr;

LRESULT CALLBACK BurstProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_KEYDOWN && message != WM_KEYUP) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    std::unique_lock<std::mutex> lock(g_burst->mutex);
    const int index = ++g_burst->dispatched;
    if (index == 1) g_burst->framesAtFirst = g_renderer->frames;
    if (index == kEvents) g_burst->framesAtLast = g_renderer->frames;
    g_burst->changed.notify_all();
    // The next input is in the queue before this one is done with.
    g_burst->Await(lock, "the procedure waiting for the next post",
                   [&] { return g_burst->posted > index || index == kEvents; });
    return 0;
}

void PostBurst(HWND hwnd, Burst& burst) {
    for (int i = 1; i <= kEvents; ++i) {
        // Shift down and up: keys that make no WM_CHAR, so the queue holds
        // only what this thread posts.
        const UINT message = i % 2 == 1 ? WM_KEYDOWN : WM_KEYUP;
        const BOOL posted = PostMessageA(hwnd, message, VK_SHIFT, 0);
        std::unique_lock<std::mutex> lock(burst.mutex);
        if (!posted) {
            ++burst.failedPosts;
            burst.posted = kEvents;  // release the procedure; the test fails on the count
            burst.changed.notify_all();
            return;
        }
        burst.posted = i;
        burst.changed.notify_all();
        if (!burst.Await(lock, "the sender waiting for its post's dispatch",
                         [&] { return burst.dispatched >= i; })) {
            return;
        }
    }
}

TEST(InputBurst, InputArrivingFromAnotherThreadHoldsFramesBackUntilTheLastIsDispatched) {
    MainWindow window = {CreateWindowWithProcedure("QueuedBurstWindow", BurstProc, "queued burst"),
                         nullptr};
    if (window.hwnd != nullptr) window.hdc = GetDC(window.hwnd);
    ASSERT_NE(window.hwnd, nullptr);

    Burst burst;
    RecordingRenderer renderer;
    g_burst = &burst;
    g_renderer = &renderer;
    std::thread sender;
    renderer.afterFrame = [&](int frames) {
        // The burst starts inside frame 1, and its first input is waiting
        // when the frame ends.
        if (frames == 1) {
            sender = std::thread(PostBurst, window.hwnd, std::ref(burst));
            std::unique_lock<std::mutex> lock(burst.mutex);
            burst.Await(lock, "the first frame waiting for the first post",
                        [&] { return burst.posted >= 1; });
        }
        std::lock_guard<std::mutex> lock(burst.mutex);
        if (burst.dispatched == kEvents && frames >= burst.framesAtLast + 3) PostQuitMessage(0);
        if (frames > 100000) PostQuitMessage(0);  // a lost message must not hang the test
    };
    ApplicationProbe app(&window, &renderer);
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), 0) << "-100: the run never saw WM_QUIT";
    sender.join();

    EXPECT_EQ(burst.hung, "") << "over " << kThreadHangCeilingSeconds << " s";
    EXPECT_EQ(burst.failedPosts, 0);
    EXPECT_EQ(burst.dispatched, kEvents);
    EXPECT_EQ(burst.framesAtFirst, 1);
    EXPECT_EQ(burst.framesAtLast, 1) << "frames were drawn while input was waiting";
    EXPECT_EQ(renderer.frames, burst.framesAtLast + 3) << "frames did not resume after the burst";
    DestroyWindow(window.hwnd);
}

}  // namespace
