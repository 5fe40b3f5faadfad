#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/recording_window.h"
#include "support/spin_until.h"
#include "support/window_with_procedure.h"

namespace {

const HWND kThreadOnly = reinterpret_cast<HWND>(-1);

class MessageTest : public RecordingWindowTest {};

TEST_F(MessageTest, PostedThreadMessagesComeBackInOrderThenQueueIsEmpty) {
    for (WPARAM i = 0; i < 5; ++i) {
        ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 1, i, static_cast<LPARAM>(i * 10)));
    }
    MSG msg;
    for (WPARAM i = 0; i < 5; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
        EXPECT_EQ(msg.wParam, i);
        EXPECT_EQ(msg.lParam, static_cast<LPARAM>(i * 10));
    }
    EXPECT_FALSE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, PeekOnAnEmptyQueueReturnsAtOnce) {
    // The peeks run on a thread of their own, so that one that blocks ends
    // as this test's failure; such a thread is left to the process's end.
    struct Peeks {
        std::atomic<int> returned{0};
        std::atomic<int> found{0};
    };
    const auto peeks = std::make_shared<Peeks>();
    std::thread([peeks] {
        MSG msg;
        for (int i = 0; i < 100; ++i) {
            if (PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE)) ++peeks->found;
            ++peeks->returned;
        }
    }).detach();
    EXPECT_TRUE(SpinUntil([&] { return peeks->returned == 100; }))
        << "100 peeks on an empty queue had not returned within " << kThreadHangCeilingSeconds
        << " s (" << peeks->returned << " had)";
    EXPECT_EQ(peeks->found, 0);
}

TEST_F(MessageTest, QuitComesAfterEverythingPostedAndCarriesTheExitCode) {
    PostQuitMessage(7);
    PostMessageA(nullptr, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));

    // Peeking without removing leaves the quit in place.
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, QuitPassesWindowAndRangeFilters) {
    // The documentation: PeekMessage always retrieves WM_QUIT, whatever the
    // range; Wine also ignores the window filter for it.
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    DrainMessages();
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, RangeFilterTakesOnlyMatchingMessages) {
    PostMessageA(nullptr, WM_USER + 10, 0, 0);
    PostMessageA(nullptr, WM_USER + 20, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, WM_USER + 20, WM_USER + 20, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 20));
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 10));
}

TEST_F(MessageTest, DispatchRoutesToTheWindowProcedureAndReturnsItsResult) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 3, 11, 22));
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, hwnd, WM_USER, WM_USER + 100, PM_REMOVE)) {
        found = msg.message == WM_USER + 3;
        RecordingWindow::log.clear();
        DispatchMessageA(&msg);
        ASSERT_EQ(RecordingWindow::log.size(), 1u);
        EXPECT_EQ(RecordingWindow::log[0].hwnd, hwnd);
        EXPECT_EQ(RecordingWindow::log[0].wParam, 11u);
        EXPECT_EQ(RecordingWindow::log[0].lParam, 22);
    }
    EXPECT_TRUE(found);

    // A thread message has no procedure: dispatching it calls nothing.
    RecordingWindow::log.clear();
    MSG threadMessage = {};
    threadMessage.message = WM_USER + 4;
    EXPECT_EQ(DispatchMessageA(&threadMessage), 0);
    EXPECT_TRUE(RecordingWindow::log.empty());
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, SentMessagesReachTheProcedureDirectly) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    RecordingWindow::log.clear();
    SendMessageA(hwnd, WM_USER + 5, 1, 2);
    ASSERT_FALSE(RecordingWindow::log.empty());
    EXPECT_EQ(RecordingWindow::log[0].message, static_cast<UINT>(WM_USER + 5));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, CloseCommandReachesWindowAsCloseThenDestroys) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    DrainMessages();
    RecordingWindow::log.clear();
    // What a close box does: the system command, whose default handling
    // sends WM_CLOSE, whose default handling destroys the window.
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    DrainMessages();
    EXPECT_EQ(RecordingWindow::Count(WM_CLOSE), 1);
    EXPECT_TRUE(RecordingWindow::Saw(WM_DESTROY));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MessageTest, PostingFromAnotherThreadWhileTheOwnerDestroysTheWindowFailsCleanly) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    std::atomic<int> posted{0};
    std::atomic<bool> ended{false};
    std::atomic<bool> destroyed{false};
    bool gaveUp = false;
    DWORD error = 0;
    std::thread sender([&] {
        // Posting on while the owner destroys it; held back below Win32's
        // quota of posted messages until the destruction is over, so that
        // however the two interleave, a post after it is tried.
        for (;;) {
            if (posted == 5000 && !SpinUntil([&] { return destroyed.load(); })) {
                gaveUp = true;
                break;
            }
            if (!PostMessageA(hwnd, WM_USER + 7, 0, 0)) {
                error = GetLastError();
                break;
            }
            ++posted;
            if (destroyed && posted > 5001) break;  // posts that should have failed
        }
        ended = true;
    });
    // Destroyed while the posts flow, not before the first.
    const bool flowing = SpinUntil([&] { return posted >= 100 || ended; }) && posted >= 100;
    EXPECT_TRUE(DestroyWindow(hwnd));
    destroyed = true;
    sender.join();
    ASSERT_TRUE(flowing) << "the first 100 posts to the live window: " << posted
                         << " succeeded, then error " << error;
    EXPECT_FALSE(gaveUp) << "the sender waited " << kThreadHangCeilingSeconds
                         << " s for the window's destruction";
    EXPECT_LE(posted, 5001) << "the posts went on after the window was destroyed";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// A thread's queue ends with it. The system reuses thread ids, so a queue
// kept under the id would hand its messages to a later thread: the test
// counts only the later threads that did get the ended one's id.
TEST_F(MessageTest, AnotherThreadStartedAfterOneEndedFindsItsQueueEmpty) {
    int reused = 0;
    int inherited = 0;
    for (int i = 0; i < 5; ++i) {
        std::thread::id poster;
        BOOL posted = FALSE;
        std::thread([&] {
            poster = std::this_thread::get_id();
            posted = PostMessageA(nullptr, WM_USER + 5, 0, 0);
        }).join();
        ASSERT_TRUE(posted);
        std::thread([&] {
            if (std::this_thread::get_id() != poster) return;
            ++reused;
            MSG msg;
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ++inherited;
        }).join();
    }
    EXPECT_EQ(inherited, 0);
#ifdef _WIN32
    // Wine hands out ids its own way; its queues are not kept by id anyway.
    if (reused == 0) GTEST_SKIP() << "no thread got an ended one's id in 5 tries";
#endif
    EXPECT_GT(reused, 0) << "no thread got an ended one's id in 5 tries: nothing was shown";
}

// A thread's windows end with it, as Win32 destroys them: nobody else may
// destroy them, and a later thread given the same id must not inherit one.
TEST_F(MessageTest, AnotherThreadEndingTakesItsWindowsWithIt) {
    HWND left = nullptr;
    std::thread([&] {
        left = RecordingWindow::Create();
        ShowWindow(left, SW_SHOW);
    }).join();
    ASSERT_NE(left, nullptr);
    EXPECT_FALSE(IsWindow(left));
    EXPECT_FALSE(DestroyWindow(left));
}

#ifndef _WIN32
// Win32 hands a message sent from another thread to the window's owner and
// waits for the answer; the subset does not, and refuses rather than run the
// procedure on a thread that does not own the window (a destroy sends
// WM_DESTROY, so it is the owner's too).
TEST_F(MessageTest, SendingShowingOrDestroyingFromAnotherThreadIsRefusedAndRunsNothing) {
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    RecordingWindow::log.clear();
    LRESULT sent = 1;
    BOOL shown = TRUE;
    BOOL destroyed = TRUE;
    DWORD sendError = 0;
    DWORD showError = 0;
    DWORD destroyError = 0;
    std::thread([&] {
        sent = SendMessageA(hwnd, WM_USER + 8, 0, 0);
        sendError = GetLastError();
        shown = ShowWindow(hwnd, SW_SHOW);
        showError = GetLastError();
        destroyed = DestroyWindow(hwnd);
        destroyError = GetLastError();
    }).join();
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(sendError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(shown);
    EXPECT_EQ(showError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(destroyError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(RecordingWindow::log.empty());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}
#endif

// Where the shared window's messages arrived, and how many.
std::atomic<int> g_shared{0};
std::atomic<int> g_sharedElsewhere{0};
std::thread::id g_sharedOwner;

LRESULT CALLBACK CountShared(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 9) {
        ++g_shared;
        if (std::this_thread::get_id() != g_sharedOwner) ++g_sharedElsewhere;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Several threads, each with a window of its own that it shows, pumps and
// destroys, all posting to one window of another thread at the same time:
// every message arrives once, on its window's thread. Run under the thread
// sanitizer too, where any unguarded state shared between the calls shows.
TEST_F(MessageTest, ThreadsWithWindowsOfTheirOwnPostToAWindowOfAnotherThreadAndLoseNothing) {
    g_sharedOwner = std::this_thread::get_id();
    HWND shared = CreateWindowWithProcedure("shared window", CountShared, "shared");
    // The workers' windows only need to exist, be shown and be destroyed.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "worker window";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    ASSERT_NE(shared, nullptr);

    constexpr int kThreads = 3;
    constexpr int kEach = 300;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            HWND own = CreateWindowExA(0, "worker window", "worker", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                       100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            if (own == nullptr) {
                ++failures;
                return;
            }
            ShowWindow(own, SW_SHOW);
            MSG msg;
            for (int i = 0; i < kEach; ++i) {
                if (!PostMessageA(shared, WM_USER + 9, 0, 0)) ++failures;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            }
            if (!DestroyWindow(own)) ++failures;
        });
    }
    const bool arrived = SpinUntil([&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return g_shared == kThreads * kEach;
    });
    for (std::thread& worker : workers) worker.join();
    DrainMessages();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(arrived) << "the workers' messages to the shared window within "
                         << kThreadHangCeilingSeconds << " s: " << g_shared << " arrived";
    EXPECT_EQ(g_shared, kThreads * kEach);
    EXPECT_EQ(g_sharedElsewhere, 0);
    DestroyWindow(shared);
}

}  // namespace
