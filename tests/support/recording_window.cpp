#include "support/recording_window.h"

#include <algorithm>
#include <cstdio>

LRESULT RecordingWindow::ncCreateResult = TRUE;
LRESULT RecordingWindow::createResult = 0;
std::vector<UINT> RecordingWindow::handled;
std::vector<RecordedMessage> RecordingWindow::log;
LPVOID RecordingWindow::createParams = nullptr;

const char* RecordingWindow::ClassName() {
    static const char* name = [] {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "RecordingWindowClass";
        RegisterClassExA(&windowClass);
        return "RecordingWindowClass";
    }();
    return name;
}

HWND RecordingWindow::Create() {
    RECT rect = {0, 0, 640, 480};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = CreateWindowExA(0, ClassName(), "recording", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr && ncCreateResult != 0 && createResult != -1) {
        // Unexpected: say why, for the test log.
        std::fprintf(stderr, "RecordingWindow: CreateWindowExA failed, GetLastError %lu\n",
                     static_cast<unsigned long>(GetLastError()));
    }
    return hwnd;
}

bool RecordingWindow::Saw(UINT message) {
    return Count(message) > 0;
}

int RecordingWindow::Count(UINT message) {
    return static_cast<int>(std::count_if(
        log.begin(), log.end(), [&](const RecordedMessage& m) { return m.message == message; }));
}

void RecordingWindow::Reset() {
    ncCreateResult = TRUE;
    createResult = 0;
    handled.clear();
    log.clear();
    createParams = nullptr;
}

LRESULT CALLBACK RecordingWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    log.push_back({hwnd, message, wParam, lParam});
    if (message == WM_NCCREATE) {
        return ncCreateResult != 0 ? DefWindowProcA(hwnd, message, wParam, lParam) : FALSE;
    }
    if (message == WM_CREATE) {
        createParams = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
        return createResult;
    }
    if (std::find(handled.begin(), handled.end(), message) != handled.end()) {
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RecordingWindowTest::SetUp() {
    DrainMessages();
    RecordingWindow::Reset();
    if (!withWindow_) return;
    hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    hdc = GetDC(hwnd);
    ASSERT_NE(hdc, nullptr);
}

void RecordingWindowTest::TearDown() {
    wglMakeCurrent(nullptr, nullptr);
    if (hwnd != nullptr) DestroyWindow(hwnd);
    DrainMessages();
    RecordingWindow::Reset();
}

void DrainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) {
            DispatchMessageA(&msg);
        }
    }
}
