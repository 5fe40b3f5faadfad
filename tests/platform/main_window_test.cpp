// The main window as the platform holds it, and its procedure's answers to
// closing, in both builds: under Wine the class and the window are read back
// from a Win32 implementation nobody here wrote.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/main_window.h"
#include "support/recording_window.h"

#ifndef _WIN32
#include <X11/Xutil.h>

#include "x11_client.h"
#endif

namespace {

// The quit messages waiting in the queue, each as its exit code; other
// messages are dispatched.
std::vector<WPARAM> TakeQuitMessages() {
    std::vector<WPARAM> codes;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            codes.push_back(msg.wParam);
        } else {
            DispatchMessageA(&msg);
        }
    }
    return codes;
}

// One process registers the class once: the whole life of the main window
// is one sequence.
TEST(MainWindow, IsAHidden640By480OverlappedWindowThatOnlyPostsQuitWhenClosedOrDestroyed) {
    DrainMessages();
    MainWindow window = {nullptr, nullptr};
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(CreateMainWindow(window, instance));
    ASSERT_NE(window.hwnd, nullptr);
    ASSERT_NE(window.hdc, nullptr);

    // Created hidden, with the client area asked for, and a device context
    // of its own: every GetDC answers the same one.
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window.hwnd, &client));
    EXPECT_EQ(client.right - client.left, 640);
    EXPECT_EQ(client.bottom - client.top, 480);
    EXPECT_EQ(GetDC(window.hwnd), window.hdc);

#ifdef _WIN32
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(GetClassInfoExA(instance, kMainWindowName, &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_OWNDC | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(registered.lpfnWndProc, &MainWindowProc);
    EXPECT_EQ(registered.cbClsExtra, 0);
    EXPECT_EQ(registered.cbWndExtra, 0);
    EXPECT_EQ(registered.hIcon, nullptr);
    EXPECT_EQ(registered.hCursor, nullptr);
    EXPECT_EQ(registered.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    EXPECT_EQ(registered.lpszMenuName, nullptr);
    const LONG style = GetWindowLongA(window.hwnd, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(style & (WS_VISIBLE | WS_CHILD | WS_POPUP), 0);
    char title[32] = {};
    GetWindowTextA(window.hwnd, title, sizeof title);
    EXPECT_STREQ(title, kMainWindowName);
#else
    // The position is the window system's choice: no program-given
    // position reaches the window manager. (Wayland lets no client give
    // one.)
    const X11Client probe;
    const char* platform = std::getenv("WINSUBSET_PLATFORM");
    if (platform != nullptr && std::string(platform) == "wayland") {
        EXPECT_EQ(probe.display(), nullptr) << "a Wayland run found an X server";
    } else {
        ASSERT_NE(probe.display(), nullptr);
        ShowWindow(window.hwnd, SW_SHOW);
        const ::Window xid = probe.FindByTitle(kProgramTitleUtf8);
        ASSERT_NE(xid, 0u);
        XSizeHints hints = {};
        long supplied = 0;
        ASSERT_NE(XGetWMNormalHints(probe.display(), xid, &hints, &supplied), 0);
        EXPECT_EQ(hints.flags & USPosition, 0);
        ShowWindow(window.hwnd, SW_HIDE);
    }
#endif

    // The close box and the system menu's Close: one quit with code 0, and
    // the window stays.
    EXPECT_EQ(SendMessageA(window.hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(TakeQuitMessages(), std::vector<WPARAM>{0});
    EXPECT_TRUE(IsWindow(window.hwnd));
    SendMessageA(window.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(TakeQuitMessages(), std::vector<WPARAM>{0});
    EXPECT_TRUE(IsWindow(window.hwnd));

    // Destruction, by whomever: one quit with code 0.
    EXPECT_TRUE(DestroyWindow(window.hwnd));
    EXPECT_EQ(TakeQuitMessages(), std::vector<WPARAM>{0});

    // A second registration of the class fails, and nothing is created.
    MainWindow second = {nullptr, nullptr};
    EXPECT_FALSE(CreateMainWindow(second, instance));
    EXPECT_EQ(second.hwnd, nullptr);
    EXPECT_EQ(second.hdc, nullptr);
}

}  // namespace
