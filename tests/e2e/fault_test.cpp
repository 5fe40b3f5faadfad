// The program under faults from outside: its window destroyed by another
// client, the X server gone, the window resized over and over. Natively and,
// where the fault means something on Windows too, as the exe under Wine.

#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
// clang-format on

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "e2e/picture.h"
#include "e2e/program_kind_test.h"
#include "x11_client.h"

namespace {

// The program's window once it is mapped and viewable; 0 if it never is.
::Window WaitForWindow(const X11Client& client, double seconds) {
    ::Window window = 0;
    WaitUntil(seconds, [&] { return (window = client.FindByTitle(kProgramTitleUtf8, true)) != 0; });
    return window;
}

class Faults : public ProgramKindTest {
protected:
    // Starts the program on the GLX display and finds its window once it is
    // mapped and viewable; a failure says which of the two did not happen.
    ::testing::AssertionResult StartAndFindWindow(ProgramRunner& program, ::Window& window) {
        if (probe.display() == nullptr) return ::testing::AssertionFailure() << "no probe display";
        const ::testing::AssertionResult started = program.Start();
        if (!started) return started;
        window = WaitForWindow(probe, StartSeconds());
        if (window == 0) {
            return ::testing::AssertionFailure()
                   << "the program's window was not viewable within " << StartSeconds() << " s";
        }
        return ::testing::AssertionSuccess();
    }

    const X11Client probe;
};

TEST_P(Faults, WindowDestroyedByAnotherClientEndsTheProgramWithZero) {
    if (GetParam() == "wine") {
        // Windows has no such event: Wine keeps the window alive without its
        // X window, and the next frames crash inside Mesa (SIGSEGV in
        // llvmpipe's rasterizer threads of swrast_dri.so, reached from
        // winex11's GLX calls), whatever the program does.
        GTEST_SKIP() << "under Wine another client's XDestroyWindow ends the process with "
                        "SIGSEGV inside Mesa's llvmpipe";
    }
    ProgramRunner program(Kind(), FixtureDisplay("glx"));
    ::Window window = 0;
    ASSERT_TRUE(StartAndFindWindow(program, window));
    ::Window shown = window;
    ASSERT_TRUE(WaitForTheScene(probe, shown));  // frames under way
    XDestroyWindow(probe.display(), window);
    XSync(probe.display(), False);
    // WM_DESTROY posts the quit; no X error about the vanished window may
    // end the process on the way.
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0)
        << "the program's exit within " << kHangCeilingSeconds << " s of its window's end";
}

TEST_P(Faults, RepeatedResizesKeepTheProgramRunning) {
    ProgramRunner program(Kind(), FixtureDisplay("glx"));
    ::Window window = 0;
    ASSERT_TRUE(StartAndFindWindow(program, window));
    // Each resize reaches the server before the next, between frames.
    for (int i = 0; i < 100; ++i) {
        XResizeWindow(probe.display(), window, 200 + (i * 37) % 600, 150 + (i * 53) % 400);
        XSync(probe.display(), False);
    }
    XResizeWindow(probe.display(), window, 1, 1);
    XResizeWindow(probe.display(), window, 640, 480);
    XSync(probe.display(), False);
    // Drawn again at the last size: every resize was taken on the way.
    ::Window shown = window;
    EXPECT_TRUE(WaitForTheScene(probe, shown)) << "no frame after the resizes";
    EXPECT_EQ(program.WaitForExit(0), -1) << "the program ended during the resizes";
    probe.SendDeleteWindow(window);
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0)
        << "the program's exit within " << kHangCeilingSeconds << " s of the close";
}

// An X server of the test's own, so that it can be killed.
class PrivateServer {
    static int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
        const auto left = deadline - std::chrono::steady_clock::now();
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
    }

public:
    PrivateServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number arrives as a line, possibly in pieces; a server that
        // never writes it is a hang, and the wait for it has a ceiling.
        std::string number;
        char c;
        pollfd line = {fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::seconds(static_cast<int>(kHangCeilingSeconds));
        while (poll(&line, 1, MillisecondsUntil(deadline)) == 1 && read(fds[0], &c, 1) == 1 &&
               c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) display = ":" + number;
    }
    ~PrivateServer() { Kill(); }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    std::string display;

private:
    pid_t pid = -1;
};

TEST_P(Faults, LostServerEndsTheProgramWithStatusOne) {
    // The server ended at a different moment of the frame each round: one
    // that ends while the OpenGL driver is putting a frame's image must end
    // the program too. Wine's start costs seconds: one round there.
    const int rounds = GetParam() == "native" ? 10 : 1;
    for (int round = 0; round < rounds; ++round) {
        PrivateServer server;
        ASSERT_FALSE(server.display.empty())
            << "Xvfb gave no display number within " << kHangCeilingSeconds << " s";
        // The private server's number changes from run to run; one prefix
        // serves them all, its server ended after each.
        ProgramRunner program(Kind(), server.display);
        ASSERT_TRUE(program.Start());
        {
            const X11Client serverProbe(server.display.c_str());
            ASSERT_NE(serverProbe.display(), nullptr);
            ASSERT_NE(WaitForWindow(serverProbe, StartSeconds()), 0u)
                << "the program's window was not viewable within " << StartSeconds() << " s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(37 * round));
        const auto killed = std::chrono::steady_clock::now();
        server.Kill();
        // 1: the documented status for a lost connection; a signal (a crash
        // or core dump) or a hang gives -1. The ceiling is a hang's: the
        // program ends within a second of the server, but one left spinning
        // in the driver until its writes fail ends after half a minute.
        constexpr double kSpinCeilingSeconds = 15;
        EXPECT_EQ(program.WaitForExit(kSpinCeilingSeconds), 1)
            << "round " << round << ": the program's exit within " << kSpinCeilingSeconds
            << " s of the server's end";
        std::printf(
            "[ fault ] round %d: ended %.3f s after the server\n", round,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count());
        if (HasFailure()) break;
    }
}

// The faults come from X and Wine's host side, the same for both exes: the
// emulated 32-bit one is left out.
INSTANTIATE_TEST_SUITE_P(Program, Faults, ::testing::ValuesIn(ProgramKindNames(false)),
                         ProgramKindTestName);

}  // namespace
