#pragma once

// A wait between threads of a test that also builds as a Windows exe, and
// so has no X client (tools/x11_client.h has the X tests' WaitUntil).

#include <chrono>
#include <thread>

// The same minute as the X tests' kHangCeilingSeconds: only a hang reaches
// it, and it ends the wait well before CTest's limit ends the test.
inline constexpr double kThreadHangCeilingSeconds = 60;

// Yields until `done` holds or the ceiling passes; its last answer, so that
// the caller's assertion says what was waited for.
template <typename Done>
bool SpinUntil(Done done, double seconds = kThreadHangCeilingSeconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::yield();
    }
    return true;
}
