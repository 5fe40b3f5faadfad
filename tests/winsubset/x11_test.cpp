// What only X shows: the subset's side of the window-system protocol.

#include <gtest/gtest.h>
#include <windows.h>

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/program_pixel_format.h"
#include "support/recording_window.h"
#include "support/spin_until.h"
#include "support/window_with_procedure.h"
#include "x11_client.h"

// The subset's own X connection (x11/x11_display.cpp): what the OpenGL
// driver sends its requests on.
namespace winsubset {
::Display* DisplayIfOpen();
}

namespace {

// Pumps the queue until `done` holds; false after a minute, so that a
// missing event fails the test instead of hanging it.
bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
    }
    return false;
}

// The program's pixel format on `dc`; false if it could not be set.
bool SetProgramFormat(HDC dc) {
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    return SetPixelFormat(dc, ChoosePixelFormat(dc, &descriptor), &descriptor) != FALSE;
}

// A context on `dc` in the program's pixel format; nullptr if either failed.
HGLRC ProgramContextOn(HDC dc) {
    return SetProgramFormat(dc) ? wglCreateContext(dc) : nullptr;
}

HWND CreateTitled(const char* ansiTitle) {
    return CreateWindowExA(0, RecordingWindow::ClassName(), ansiTitle, WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, 0, 320, 240, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

// A window titled `title` and a context on its DC in the program's pixel
// format; `context` is nullptr if any step failed.
struct ContextWindow {
    HWND hwnd = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};
ContextWindow CreateWithContext(const char* title) {
    ContextWindow window;
    window.hwnd = CreateTitled(title);
    window.dc = GetDC(window.hwnd);
    window.context = window.dc != nullptr ? ProgramContextOn(window.dc) : nullptr;
    return window;
}

// Every error of the subset's requests so far has reached its handler after
// this: a window's creation waits for the server's word.
void SyncSubset() {
    DestroyWindow(CreateTitled("sync"));
}

// A helper thread told to stop and joined however the test ends, so that a
// failed assertion reports instead of ending the process.
class StoppingThread {
public:
    template <typename Body>
    explicit StoppingThread(Body body) : thread_([this, body] { body(stop_); }) {}
    ~StoppingThread() { Stop(); }
    StoppingThread(const StoppingThread&) = delete;
    StoppingThread& operator=(const StoppingThread&) = delete;
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class X11Test : public RecordingWindowTest {
protected:
    void SetUp() override {
        RecordingWindowTest::SetUp();
        ASSERT_NE(probe.display(), nullptr);
    }
    const X11Client probe;
};

TEST_F(X11Test, ShiftJisTitleReadsAsUtf8InNetWmNameAndAsIcccmTextInWmName) {
    HWND hwnd = CreateTitled(
        "OpenGL\x83"
        "e\x83X\x83g");
    ASSERT_NE(hwnd, nullptr);
    const std::string expected = kProgramTitleUtf8;
    const ::Window xid = probe.FindByTitle(expected);
    ASSERT_NE(xid, 0u);
    // WM_NAME in one of ICCCM's types, which every client can read (not
    // UTF8_STRING, which older window managers and tools cannot), and
    // reading as the title.
    XTextProperty name = {};
    ASSERT_NE(XGetWMName(probe.display(), xid, &name), 0);
    XFree(name.value);
    const Atom compoundText = XInternAtom(probe.display(), "COMPOUND_TEXT", False);
    EXPECT_TRUE(name.encoding == XA_STRING || name.encoding == compoundText)
        << "WM_NAME has type " << XGetAtomName(probe.display(), name.encoding);
    EXPECT_EQ(probe.WmName(xid), expected);
    DestroyWindow(hwnd);
}

// The threads WM_MOVE and WM_SIZE reached the procedure on.
std::mutex g_placedLock;
std::vector<std::thread::id> g_placedOn;

LRESULT CALLBACK RecordPlacingThread(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOVE || message == WM_SIZE) {
        const std::lock_guard<std::mutex> lock(g_placedLock);
        g_placedOn.push_back(std::this_thread::get_id());
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Win32 runs a window's procedure for its messages on the thread that made
// it. Another thread pumping its own queue reads the one X connection too,
// and must leave this window's events to their owner.
TEST_F(X11Test, XEventsReachTheProcedureOnTheOwnersThreadWhileAnotherThreadPumps) {
    HWND hwnd = CreateWindowWithProcedure("placing thread probe", RecordPlacingThread,
                                          "placing thread probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    ::Window xid = 0;
    ASSERT_TRUE(WaitUntil(kHangCeilingSeconds,
                          [&] { return (xid = probe.FindByTitle("placing thread probe")) != 0; }));
    g_placedOn.clear();

    std::atomic<bool> stop{false};
    std::atomic<int> pumped{0};
    std::thread pumper([&] {
        MSG msg;
        while (!stop) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            ++pumped;
            std::this_thread::yield();
        }
    });
    // Placed by another client, as a window manager places windows, while
    // only the other thread pumps: it reads the connection after the
    // server has sent the events.
    XMoveResizeWindow(probe.display(), xid, 40, 50, 300, 200);
    XSync(probe.display(), False);
    const int before = pumped;
    EXPECT_TRUE(WaitUntil(kHangCeilingSeconds, [&] { return pumped >= before + 2; }))
        << "the other thread never pumped";
    stop = true;
    pumper.join();

    ASSERT_TRUE(PumpUntil([&] {
        const std::lock_guard<std::mutex> lock(g_placedLock);
        return g_placedOn.size() >= 2;
    })) << "the window never heard of its new place";
    for (const std::thread::id& thread : g_placedOn) {
        EXPECT_EQ(thread, std::this_thread::get_id()) << "a procedure ran on the pumping thread";
    }
    DestroyWindow(hwnd);
}

TEST_F(X11Test, ClassHintNamesTheRunningProgramOrItsResourceName) {
    const auto instanceName = [&](const char* title) {
        HWND hwnd = CreateTitled(title);
        XClassHint hint = {};
        std::string name;
        // Another connection's requests reach the server in their own time.
        ::Window xid = 0;
        WaitUntil(kHangCeilingSeconds, [&] { return (xid = probe.FindByTitle(title)) != 0; });
        if (XGetClassHint(probe.display(), xid, &hint) != 0) {
            name = hint.res_name;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        DestroyWindow(hwnd);
        return name;
    };
    EXPECT_EQ(instanceName("class hint probe"), "winsubset_x11_test");
    setenv("RESOURCE_NAME", "renamed", 1);
    EXPECT_EQ(instanceName("class hint probe 2"), "renamed");
    unsetenv("RESOURCE_NAME");
}

TEST_F(X11Test, AnUncheckedRequestsErrorDoesNotFailTheNextCheckedCall) {
    // Showing a window is an unchecked request: on an X window another
    // client has destroyed, its error arrives later, while some checked call
    // waits for the server. That call must not take the error for its own.
    HWND hwnd = CreateTitled("unchecked probe");
    ASSERT_NE(hwnd, nullptr);
    const ::Window xid = probe.FindByTitle("unchecked probe");
    ASSERT_NE(xid, 0u);
    XDestroyWindow(probe.display(), xid);
    XSync(probe.display(), False);

    ShowWindow(hwnd, SW_SHOW);  // its error is still on its way
    HWND next = CreateTitled("checked after an unchecked error");
    EXPECT_NE(next, nullptr) << "GetLastError " << GetLastError();
    DestroyWindow(next);
    DestroyWindow(hwnd);
}

// A checked call waits for the server's word on its own requests. Another
// thread's requests on the same connection (here bad ones, sent straight
// through Xlib on the subset's connection, as the OpenGL driver's drawing
// on a thread of its own would be) must not land among them and fail the
// call with their errors.
TEST_F(X11Test, AnotherThreadsBadRequestsDuringACheckedCallAreNotItsErrors) {
    const ContextWindow w = CreateWithContext("drawing thread's window");
    ASSERT_NE(w.context, nullptr);

    std::atomic<int> sent{0};
    StoppingThread other([&](const std::atomic<bool>& stop) {
        if (!wglMakeCurrent(w.dc, w.context)) return;
        ::Display* display = winsubset::DisplayIfOpen();
        while (!stop) {
            XMapWindow(display, 0x7FFFFF01);  // no such window: BadWindow
            XFlush(display);
            ++sent;
        }
        wglMakeCurrent(nullptr, nullptr);
    });
    ASSERT_TRUE(SpinUntil([&] { return sent >= 10; })) << "the other thread sent nothing";
    const int sentBefore = sent;
    int failed = 0;
    for (int i = 0; i < 50; ++i) {
        HWND checked = CreateTitled("checked while another thread errs");
        if (checked == nullptr) ++failed;
        DestroyWindow(checked);
    }
    const int sentDuring = sent - sentBefore;
    other.Stop();
    EXPECT_EQ(failed, 0) << "of 50 window creations, last error " << GetLastError();
    EXPECT_GT(sentDuring, 0) << "no bad request was sent among the checked calls";
    wglDeleteContext(w.context);
    DestroyWindow(w.hwnd);
}

// The subset's contract: a window is destroyed only while no other thread
// has a context current on it (refused with ERROR_BUSY meanwhile), and a
// window on its way out takes no new binding, so no request of the drawing
// thread ever goes to an X window that is gone.
TEST_F(X11Test, AnotherThreadDrawingWhileTheOwnerDestroysTheWindowNeverReachesAGoneWindow) {
    const ContextWindow w = CreateWithContext("raced window");
    ASSERT_NE(w.context, nullptr);
    ShowWindow(w.hwnd, SW_SHOW);

    ::testing::internal::CaptureStderr();
    std::atomic<int> frames{0};
    std::atomic<int> refusedBinds{0};
    StoppingThread drawer([&](const std::atomic<bool>& stop) {
        while (!stop) {
            if (!wglMakeCurrent(w.dc, w.context)) {  // the window is going
                ++refusedBinds;
                continue;
            }
            glClear(GL_COLOR_BUFFER_BIT);
            SwapBuffers(w.dc);
            wglMakeCurrent(nullptr, nullptr);
            ++frames;
        }
    });
    const bool drawing = SpinUntil([&] { return frames >= 5; });
    BOOL gone = FALSE;
    DWORD refusal = ERROR_BUSY;
    SpinUntil([&] {
        gone = drawing && DestroyWindow(w.hwnd);
        return gone || !drawing || (refusal = GetLastError()) != ERROR_BUSY;
    });
    // Still drawing when the window went: its next bind was refused.
    const bool drawingAfter = SpinUntil([&] { return refusedBinds > 0; });
    drawer.Stop();
    SyncSubset();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(drawing) << "the other thread never drew a frame";
    EXPECT_TRUE(gone) << "refused with " << refusal;
    EXPECT_TRUE(drawingAfter) << "the other thread stopped drawing before the window went";
    EXPECT_EQ(errors.find("X error"), std::string::npos) << errors;
    EXPECT_FALSE(wglMakeCurrent(w.dc, w.context)) << "the DC went with its window";
    EXPECT_TRUE(wglDeleteContext(w.context));
}

// A context is marked free only once EGL has let it go: releasing it
// flushes its drawing, so the owner's DestroyWindow, tried meanwhile, must
// wait until then.
TEST_F(X11Test, AnotherThreadsReleaseRacingTheOwnersDestroyReachesNoGoneWindow) {
    ::testing::internal::CaptureStderr();
    int destroyed = 0;
    for (int run = 0; run < 20; ++run) {
        HWND hwnd = CreateTitled("release race");
        HDC dc = GetDC(hwnd);
        if (!SetProgramFormat(dc)) {
            DestroyWindow(hwnd);
            break;
        }
        HGLRC context = wglCreateContext(dc);
        std::atomic<int> step{0};
        std::thread worker([&] {
            if (!wglMakeCurrent(dc, context)) return;
            glClear(GL_COLOR_BUFFER_BIT);
            step = 1;
            wglMakeCurrent(nullptr, nullptr);
        });
        SpinUntil([&] { return step != 0; });
        SpinUntil([&] { return DestroyWindow(hwnd) || GetLastError() != ERROR_BUSY; });
        worker.join();
        destroyed += IsWindow(hwnd) ? 0 : 1;
        wglDeleteContext(context);
    }
    SyncSubset();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(destroyed, 20) << "no pixel format, or windows left";
    EXPECT_EQ(errors.find("X error"), std::string::npos) << errors;
}

// The window's end waits for the thread drawing on it: refused while that
// thread has a context current on its DC, and once on its way out (its
// WM_DESTROY under way) it takes no new binding.
HDC g_dyingDc = nullptr;
HGLRC g_dyingContext = nullptr;
BOOL g_boundWhileDying = TRUE;
LRESULT CALLBACK BindFromAnotherThreadOnDestroy(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_DESTROY) {
        std::thread([] { g_boundWhileDying = wglMakeCurrent(g_dyingDc, g_dyingContext); }).join();
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(X11Test, AnotherThreadsContextOnAWindowHoldsOffItsDestructionAndADyingWindowTakesNone) {
    HWND hwnd =
        CreateWindowWithProcedure("dying window", BindFromAnotherThreadOnDestroy, "dying window");
    ASSERT_NE(hwnd, nullptr);
    g_dyingDc = GetDC(hwnd);
    g_dyingContext = ProgramContextOn(g_dyingDc);
    ASSERT_NE(g_dyingContext, nullptr);

    std::atomic<bool> bound{false};
    StoppingThread drawer([&](const std::atomic<bool>& stop) {
        if (!wglMakeCurrent(g_dyingDc, g_dyingContext)) return;
        bound = true;
        SpinUntil([&] { return stop.load(); });
        wglMakeCurrent(nullptr, nullptr);
    });
    ASSERT_TRUE(SpinUntil([&] { return bound.load(); })) << "the other thread could not bind";
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_TRUE(IsWindow(hwnd));
    drawer.Stop();

    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(g_boundWhileDying) << "bound to a window during its WM_DESTROY";
    EXPECT_TRUE(wglDeleteContext(g_dyingContext));
}

// Win32 hands over posted messages before the window system's input, even
// input that came first.
TEST_F(X11Test, PostedMessagesComeBeforeInputThatArrivedEarlier) {
    HWND hwnd = CreateTitled("order probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    const ::Window xid = probe.FindByTitle("order probe");
    ASSERT_NE(xid, 0u);
    probe.SendKeyPress(xid, XKeysymToKeycode(probe.display(), 'a'), 4321);
    XSync(probe.display(), False);
    MSG msg;
    // The key press is in the queue once a peek has seen it (left there).
    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool seen = false;
    while (!seen && std::chrono::steady_clock::now() < ceiling) {
        seen = PeekMessageA(&msg, hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) != 0;
    }
    ASSERT_TRUE(seen) << "the key press never arrived";
    PostMessageA(hwnd, WM_USER + 3, 0, 0);
    std::vector<UINT> order;
    while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_USER + 3 || msg.message == WM_KEYDOWN) order.push_back(msg.message);
        DispatchMessageA(&msg);  // WM_PAINT comes until the window is validated
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 3, WM_KEYDOWN}));
    DestroyWindow(hwnd);
}

// A context is deleted only while current nowhere else, checked and taken
// out as one step: a thread binding it meanwhile is either first (the
// delete is refused, ERROR_BUSY) or finds no such context.
TEST_F(X11Test, AnotherThreadBindingAContextWhileItIsDeletedNeverBindsADeletedOne) {
    const ContextWindow w = CreateWithContext("context race");
    ASSERT_NE(w.context, nullptr);
    std::atomic<int> bound{0};
    int boundAfterDelete = 0;
    StoppingThread binder([&](const std::atomic<bool>& deleted) {
        while (!deleted) {
            if (wglMakeCurrent(w.dc, w.context)) {
                ++bound;
                wglMakeCurrent(nullptr, nullptr);
            }
        }
        boundAfterDelete = wglMakeCurrent(w.dc, w.context) ? 1 : 0;
    });
    const bool binding = SpinUntil([&] { return bound >= 5; });
    BOOL gone = FALSE;
    DWORD refusal = ERROR_BUSY;
    SpinUntil([&] {
        gone = binding && wglDeleteContext(w.context);
        return gone || !binding || (refusal = GetLastError()) != ERROR_BUSY;
    });
    binder.Stop();
    ASSERT_TRUE(binding) << "the other thread never bound the context";
    EXPECT_TRUE(gone) << "refused with " << refusal;
    EXPECT_EQ(boundAfterDelete, 0);
    DestroyWindow(w.hwnd);
}

// The OpenGL driver holds a lock of its own while it binds, makes Xlib
// calls under it, and swaps the process's X error handler while it sets a
// new window up. One thread binding fresh windows while another makes and
// deletes contexts and opens error traps must deadlock neither, and leave
// the subset's reporter of unchecked errors in place. The work runs on
// threads of its own, so that a deadlock fails the test instead of hanging
// it.
TEST_F(X11Test,
       AnotherThreadBindingFreshWindowsNeitherDeadlocksWithContextsMadeHereNorTakesTheirErrors) {
    constexpr int kSteps = 20;
    struct Shared {
        std::atomic<int> drawn{0};
        std::atomic<int> made{0};
        std::atomic<int> finished{0};
    };
    const auto shared = std::make_shared<Shared>();
    std::thread drawer([shared] {
        for (int i = 0; i < kSteps; ++i) {
            const ContextWindow w = CreateWithContext("fresh window");
            if (wglMakeCurrent(w.dc, w.context)) {
                glClear(GL_COLOR_BUFFER_BIT);
                SwapBuffers(w.dc);
                wglMakeCurrent(nullptr, nullptr);
            }
            wglDeleteContext(w.context);
            DestroyWindow(w.hwnd);
            ++shared->drawn;
        }
        ++shared->finished;
    });
    std::thread maker([shared] {
        const ContextWindow w = CreateWithContext("contexts' window");
        for (int i = 0; i < kSteps * 5; ++i) {
            wglDeleteContext(wglCreateContext(w.dc));
            ++shared->made;
        }
        DestroyWindow(w.hwnd);
        ++shared->finished;
    });
    // Progress, not speed (under ThreadSanitizer a window takes a while): a
    // deadlock is a minute in which neither thread takes a step.
    const auto steps = [&] { return shared->drawn + shared->made + shared->finished; };
    bool stepping = true;
    while (stepping && shared->finished < 2) {
        const int before = steps();
        stepping = SpinUntil([&] { return steps() != before; });
    }
    if (!stepping) {
        // The deadlocked threads hold the display: the process could not
        // even end normally.
        ADD_FAILURE() << "deadlocked: " << shared->drawn << " windows drawn, " << shared->made
                      << " contexts made and deleted";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    drawer.join();
    maker.join();

    HWND victim = CreateTitled("unreported probe");
    XDestroyWindow(probe.display(), probe.FindByTitle("unreported probe"));
    XSync(probe.display(), False);
    ::testing::internal::CaptureStderr();
    ShowWindow(victim, SW_SHOW);  // BadWindow, from no trap
    SyncSubset();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("BadWindow"), std::string::npos)
        << "an unchecked request's error went unreported";
    DestroyWindow(victim);
}

// How many colormaps the server holds for the client that owns `xid`.
int ColormapsOfClient(::Display* display, ::Window xid) {
    int count = 0;
    XResType* types = nullptr;
    if (XResQueryClientResources(display, xid, &count, &types) == 0) return -1;
    int colormaps = 0;
    const Atom colormap = XInternAtom(display, "COLORMAP", False);
    for (int i = 0; i < count; ++i) {
        if (types[i].resource_type == colormap) colormaps = static_cast<int>(types[i].count);
    }
    XFree(types);
    return colormaps;
}

// An OpenGL format whose visual is not the screen's puts the window on an X
// window with a colormap of its own; the colormap goes with the window.
TEST_F(X11Test, WindowsWithAnotherVisualLeaveNoColormapOnTheServer) {
    HWND kept = CreateTitled("colormap witness");  // the client's resources stay listed
    ASSERT_NE(kept, nullptr);
    const ::Window witness = probe.FindByTitle("colormap witness");
    ASSERT_NE(witness, 0u);
    const int before = ColormapsOfClient(probe.display(), witness);
    ASSERT_GE(before, 0) << "no X-Resource extension on this server";
    int most = before;
    // A format of a visual other than the screen's, if the server has one
    // (Xvfb's EGL configs may all take the screen's own).
    int other = 0;
    {
        HWND hwnd = CreateTitled("colormap probe");
        HDC dc = GetDC(hwnd);
        const int count = DescribePixelFormat(dc, 1, 0, nullptr);
        for (int format = 1; format <= count && other == 0; ++format) {
            PIXELFORMATDESCRIPTOR d = {};
            DescribePixelFormat(dc, format, sizeof d, &d);
            HWND trial = CreateTitled("colormap trial");
            const ::Window firstXid = probe.FindByTitle("colormap trial");
            // Replaced: its X window is another one (0 would be one not
            // found yet, no answer).
            if (firstXid != 0 && SetPixelFormat(GetDC(trial), format, &d)) {
                SyncSubset();
                const ::Window now = probe.FindByTitle("colormap trial");
                if (now != 0 && now != firstXid) other = format;
            }
            DestroyWindow(trial);
        }
        DestroyWindow(hwnd);
    }
    if (other == 0) {
        DestroyWindow(kept);
        GTEST_SKIP() << "every pixel format here shows the screen's own visual";
    }
    for (int i = 0; i < 10; ++i) {
        HWND hwnd = CreateTitled("colormap probe");
        HDC dc = GetDC(hwnd);
        PIXELFORMATDESCRIPTOR d = {};
        DescribePixelFormat(dc, other, sizeof d, &d);
        ASSERT_TRUE(SetPixelFormat(dc, other, &d));
        XSync(probe.display(), False);
        most = std::max(most, ColormapsOfClient(probe.display(), witness));
        DestroyWindow(hwnd);
    }
    EXPECT_GT(most, before) << "the format took the screen's visual: nothing to see here";
    EXPECT_EQ(ColormapsOfClient(probe.display(), witness), before);
    DestroyWindow(kept);
}

TEST_F(X11Test, BytesOutsideTheCodePageAreMarkedNotDropped) {
    // 0x83 needs a trail byte and 0xFF is none; both are kept as U+FFFD and
    // the text after them survives.
    HWND hwnd = CreateTitled(
        "bad\x83\xFF"
        "end");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_NE(probe.FindByTitle("bad\xEF\xBF\xBD\xEF\xBF\xBD"
                                "end"),
              0u);
    DestroyWindow(hwnd);
}

// What the server says must be drawn again (another window moved off it, a
// client cleared it) comes back as WM_PAINT.
TEST_F(X11Test, ExposedWindowGetsWmPaint) {
    HWND hwnd = CreateTitled("expose probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_TRUE(PumpUntil([] { return RecordingWindow::Saw(WM_PAINT); }));
    const ::Window xid = probe.FindByTitle("expose probe");
    ASSERT_NE(xid, 0u);
    RecordingWindow::log.clear();
    XClearArea(probe.display(), xid, 0, 0, 0, 0, True);
    XSync(probe.display(), False);
    EXPECT_TRUE(PumpUntil([] { return RecordingWindow::Saw(WM_PAINT); }));
    DestroyWindow(hwnd);
}

TEST_F(X11Test, CloseBoxArrivesAsSystemCloseCommandThenClose) {
    HWND hwnd = CreateTitled("close box probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    RecordingWindow::handled = {WM_CLOSE};  // keep the window, as the program does
    probe.SendDeleteWindow(probe.FindByTitle("close box probe"));
    ASSERT_TRUE(PumpUntil([] { return RecordingWindow::Saw(WM_CLOSE); }));
    EXPECT_TRUE(RecordingWindow::Saw(WM_SYSCOMMAND));
    EXPECT_EQ(RecordingWindow::Count(WM_CLOSE), 1);
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

TEST_F(X11Test, WindowDestroyedByAnotherClientGetsDestroyMessages) {
    HWND hwnd = CreateTitled("external destroy probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    XDestroyWindow(probe.display(), probe.FindByTitle("external destroy probe"));
    XSync(probe.display(), False);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(RecordingWindow::Count(WM_DESTROY), 1);
    EXPECT_EQ(RecordingWindow::Count(WM_NCDESTROY), 1);
}

TEST_F(X11Test, ResizeByAnotherClientIsReportedAndChangesTheClientArea) {
    HWND hwnd = CreateTitled("resize probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    XResizeWindow(probe.display(), probe.FindByTitle("resize probe"), 500, 300);
    XSync(probe.display(), False);
    ASSERT_TRUE(PumpUntil([] { return RecordingWindow::Saw(WM_SIZE); }));
    const RecordedMessage& size =
        *std::find_if(RecordingWindow::log.rbegin(), RecordingWindow::log.rend(),
                      [](const RecordedMessage& m) { return m.message == WM_SIZE; });
    EXPECT_EQ(LOWORD(size.lParam), 500);
    EXPECT_EQ(HIWORD(size.lParam), 300);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(client.bottom, 300);
    DestroyWindow(hwnd);
}

TEST_F(X11Test, KeyPressBecomesKeyDownAndTranslatesToChar) {
    HWND hwnd = CreateTitled("key probe");
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    const ::Window xid = probe.FindByTitle("key probe");
    probe.SendKeyPress(xid, XKeysymToKeycode(probe.display(), 'a'), 1234);
    // The loop a program runs: translate, then dispatch.
    bool gotKeyDown = false;
    bool gotChar = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!gotChar && std::chrono::steady_clock::now() < deadline) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN) {
                EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
                gotKeyDown = true;
            }
            if (msg.message == WM_CHAR) {
                EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));
                gotChar = true;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_TRUE(gotKeyDown);
    EXPECT_TRUE(gotChar);
    DestroyWindow(hwnd);
}

}  // namespace
