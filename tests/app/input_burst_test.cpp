// A burst of window-system input reaches the window procedure whole, and
// frames go on once it is through.

#include <gtest/gtest.h>
#include <windows.h>

#include "support/application_probe.h"
#include "support/recording_renderer.h"
#include "platform/main_window.h"
#include "support/window_with_procedure.h"
#include "x11_client.h"

namespace {

int g_keyDowns = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) {
        ++g_keyDowns;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(InputBurst, TenThousandKeyPressesAreAllDispatchedAndFramesResume) {
    const X11Client probe;
    ASSERT_NE(probe.display(), nullptr);
    MainWindow window = {CreateWindowWithProcedure("BurstWindow", CountingProc, "burst probe"),
                         nullptr};
    if (window.hwnd != nullptr) window.hdc = GetDC(window.hwnd);
    ASSERT_NE(window.hwnd, nullptr);
    const ::Window xid = probe.FindByTitle("burst probe");
    ASSERT_NE(xid, 0u);

    constexpr int kEvents = 10000;
    const unsigned keycode = XKeysymToKeycode(probe.display(), 'a');
    for (int i = 0; i < kEvents; ++i) probe.SendKeyPress(xid, keycode, static_cast<Time>(i + 1));

    RecordingRenderer renderer;
    std::vector<int> dispatchedAtFrame;
    renderer.afterFrame = [&](int frames) {
        dispatchedAtFrame.push_back(g_keyDowns);
        // Enough frames for the whole burst to have arrived, then three more.
        if (g_keyDowns == kEvents && frames >= 3 && dispatchedAtFrame[frames - 3] == kEvents) {
            PostQuitMessage(0);
        }
        if (frames > 100000) PostQuitMessage(0);  // a lost event must not hang the test
    };
    ApplicationProbe app(&window, &renderer);
    EXPECT_EQ(RunWithCeiling(app, window.hwnd), 0) << "-100: the run never saw WM_QUIT";
    EXPECT_EQ(g_keyDowns, kEvents);
    ASSERT_GE(dispatchedAtFrame.size(), 3u);
    EXPECT_EQ(dispatchedAtFrame.back(), kEvents);
    DestroyWindow(window.hwnd);
}

}  // namespace
