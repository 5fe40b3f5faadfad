// Started with no DISPLAY: what works without a window system and what
// fails cleanly.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "support/recording_window.h"

namespace {

TEST(NoDisplay, WindowCreationFailsButClassesAndThreadMessagesWork) {
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr);
    EXPECT_NE(RecordingWindow::ClassName(), nullptr);
    EXPECT_EQ(RecordingWindow::Create(), nullptr);

    ASSERT_TRUE(PostMessageA(nullptr, WM_USER, 1, 2));
    PostQuitMessage(0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

}  // namespace

int main(int argc, char** argv) {
    unsetenv("DISPLAY");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
