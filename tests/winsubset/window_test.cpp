#include <gtest/gtest.h>
#include <windows.h>

#include "support/recording_window.h"

namespace {

class WindowTest : public RecordingWindowTest {};

TEST_F(WindowTest, AdjustedOverlappedWindowHasExactClientArea) {
    RECT rect = {0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE));
    EXPECT_LT(rect.left, 0);  // a frame and a caption are added
    EXPECT_LT(rect.top, rect.left);
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    RECT client = {};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateBeforeReturning) {
    int marker = 0;
    HWND hwnd =
        CreateWindowExA(0, RecordingWindow::ClassName(), "t", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), &marker);
    ASSERT_NE(hwnd, nullptr);
    size_t ncCreate = RecordingWindow::log.size();
    size_t create = ncCreate;
    for (size_t i = 0; i < RecordingWindow::log.size(); ++i) {
        const RecordedMessage& m = RecordingWindow::log[i];
        if (m.message == WM_NCCREATE && ncCreate == RecordingWindow::log.size()) ncCreate = i;
        if (m.message == WM_CREATE && create == RecordingWindow::log.size()) {
            create = i;
            EXPECT_EQ(m.hwnd, hwnd);
        }
    }
    EXPECT_EQ(RecordingWindow::createParams, &marker);
    ASSERT_LT(ncCreate, RecordingWindow::log.size());
    ASSERT_LT(create, RecordingWindow::log.size());
    EXPECT_LT(ncCreate, create);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, RefusedNcCreateFailsCreation) {
    RecordingWindow::ncCreateResult = FALSE;
    EXPECT_EQ(RecordingWindow::Create(), nullptr);
    EXPECT_FALSE(RecordingWindow::Saw(WM_CREATE));
}

TEST_F(WindowTest, CreateReturningMinusOneDestroysTheWindow) {
    RecordingWindow::createResult = -1;
    EXPECT_EQ(RecordingWindow::Create(), nullptr);
    // Wine ends it with WM_NCDESTROY and no WM_DESTROY; the documentation
    // says only that the window is destroyed.
    EXPECT_TRUE(RecordingWindow::Saw(WM_NCDESTROY));
    const HWND dead = RecordingWindow::log.back().hwnd;
    EXPECT_FALSE(IsWindow(dead));
}

TEST_F(WindowTest, WindowIsHiddenUntilShown) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(RecordingWindow::Saw(WM_SHOWWINDOW));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));  // it was hidden
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(RecordingWindow::Saw(WM_SHOWWINDOW));
    EXPECT_TRUE(ShowWindow(hwnd, SW_SHOW));  // now it was visible
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, OwnDeviceContextIsTheSameOnEveryCall) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    HDC first = GetDC(hwnd);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ReleaseDC(hwnd, first), 1);
    EXPECT_EQ(GetDC(hwnd), first);
    EXPECT_EQ(ReleaseDC(hwnd, first), 1);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, DefaultCloseHandlingDestroysTheWindow) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    RecordingWindow::log.clear();
    EXPECT_EQ(DefWindowProcA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    int destroy = -1;
    int ncDestroy = -1;
    for (size_t i = 0; i < RecordingWindow::log.size(); ++i) {
        if (RecordingWindow::log[i].message == WM_DESTROY) destroy = static_cast<int>(i);
        if (RecordingWindow::log[i].message == WM_NCDESTROY) ncDestroy = static_cast<int>(i);
    }
    ASSERT_GE(destroy, 0);
    EXPECT_GT(ncDestroy, destroy);
    EXPECT_EQ(RecordingWindow::Count(WM_DESTROY), 1);
}

TEST_F(WindowTest, DestroyedHandleIsRefusedEverywhere) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(DestroyWindow(hwnd));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(hwnd));
#ifdef _WIN32
    // Wine answers ERROR_ACCESS_DENIED (it checks the owning thread first);
    // Windows answers ERROR_INVALID_WINDOW_HANDLE, which the subset follows.
    EXPECT_TRUE(GetLastError() == ERROR_INVALID_WINDOW_HANDLE ||
                GetLastError() == ERROR_ACCESS_DENIED);
#else
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#endif
    RECT rect;
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
