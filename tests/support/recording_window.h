#pragma once

// A window class for tests whose procedure records every message it gets
// and can be told to refuse creation. Used in both builds, so it relies
// only on what Win32 itself guarantees.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingWindow {
public:
    // What the procedure answers to creation; the defaults accept.
    static LRESULT ncCreateResult;
    static LRESULT createResult;
    // Messages the procedure answers itself (0) instead of DefWindowProcA.
    static std::vector<UINT> handled;
    static std::vector<RecordedMessage> log;
    // lpCreateParams of the last WM_CREATE (its CREATESTRUCTA lives only
    // during the call).
    static LPVOID createParams;

    // Registers the class once per process under a name of its own.
    static const char* ClassName();

    // A hidden overlapped window with a 640 x 480 client area.
    static HWND Create();

    static bool Saw(UINT message);
    static int Count(UINT message);
    static void Reset();

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// Removes every message already waiting, dispatching those for windows.
void DrainMessages();

// A test that starts with an empty queue and a fresh recording, optionally
// with a recording window and its device context, and leaves nothing behind:
// no context current, the window destroyed, its messages drained.
class RecordingWindowTest : public ::testing::Test {
protected:
    explicit RecordingWindowTest(bool withWindow = false) : withWindow_(withWindow) {}
    void SetUp() override;
    void TearDown() override;

    HWND hwnd = nullptr;
    HDC hdc = nullptr;

private:
    bool withWindow_;
};
