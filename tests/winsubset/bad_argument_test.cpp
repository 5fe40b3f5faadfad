// Every function of the subset with bad arguments: NULL pointers, unknown
// and stale handles, wrong sizes, a context of another pixel format. Each
// must give Win32's failure result and never crash. The same table runs
// against Wine; rows marked native-only pass NULL where Win32 itself would
// fault (Wine too), so only our subset is held to not crashing there.

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/program_pixel_format.h"
#include "support/recording_window.h"

namespace {

#ifdef _WIN32
constexpr bool kNative = false;
#else
constexpr bool kNative = true;
#endif

struct Handles {
    HWND live = nullptr;
    HDC liveDc = nullptr;  // has the program's pixel format
    HWND stale = nullptr;  // destroyed
    HDC staleDc = nullptr;
    HWND plain = nullptr;  // no pixel format
    HDC plainDc = nullptr;
    HGLRC context = nullptr;  // of liveDc's format
    HGLRC deleted = nullptr;
    int format = 0;
};

HWND BogusWindow() {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7ff0));
}
HDC BogusDc() {
    return reinterpret_cast<HDC>(static_cast<uintptr_t>(0x7ff4));
}
HGLRC BogusContext() {
    return reinterpret_cast<HGLRC>(static_cast<uintptr_t>(0x7ff8));
}

struct Case {
    const char* function;
    const char* what;
    bool nativeOnly;
    std::function<bool(const Handles&)> failsCleanly;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"RegisterClassExA", "NULL record", true,
         [](const Handles&) { return RegisterClassExA(nullptr) == 0; }},
        {"RegisterClassExA", "cbSize 0", false,
         [](const Handles&) {
             WNDCLASSEXA c = {};
             c.lpszClassName = "BadSize";
             c.lpfnWndProc = DefWindowProcA;
             return RegisterClassExA(&c) == 0;
         }},
        {"RegisterClassExA", "NULL name", true,
         [](const Handles&) {
             WNDCLASSEXA c = {};
             c.cbSize = sizeof c;
             c.lpfnWndProc = DefWindowProcA;
             return RegisterClassExA(&c) == 0;
         }},
        {"AdjustWindowRect", "NULL rectangle", true,
         [](const Handles&) { return !AdjustWindowRect(nullptr, WS_OVERLAPPEDWINDOW, FALSE); }},
        {"CreateWindowExA", "unknown class", false,
         [](const Handles&) {
             return CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr) == nullptr;
         }},
        {"CreateWindowExA", "NULL class", true,
         [](const Handles&) {
             return CreateWindowExA(0, nullptr, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                    nullptr) == nullptr;
         }},
        {"DestroyWindow", "NULL", false, [](const Handles&) { return !DestroyWindow(nullptr); }},
        {"DestroyWindow", "stale", false, [](const Handles& h) { return !DestroyWindow(h.stale); }},
        {"DestroyWindow", "unknown", false,
         [](const Handles&) { return !DestroyWindow(BogusWindow()); }},
        {"ShowWindow", "stale", false,
         [](const Handles& h) { return !ShowWindow(h.stale, SW_SHOW); }},
        {"ShowWindow", "unknown", false,
         [](const Handles&) { return !ShowWindow(BogusWindow(), SW_SHOW); }},
        {"IsWindow", "NULL, stale, unknown", false,
         [](const Handles& h) {
             return !IsWindow(nullptr) && !IsWindow(h.stale) && !IsWindow(BogusWindow());
         }},
        {"IsWindowVisible", "stale, unknown", false,
         [](const Handles& h) {
             return !IsWindowVisible(h.stale) && !IsWindowVisible(BogusWindow());
         }},
        {"GetClientRect", "stale", false,
         [](const Handles& h) {
             RECT r;
             return !GetClientRect(h.stale, &r);
         }},
        {"GetClientRect", "NULL rectangle", true,
         [](const Handles& h) { return !GetClientRect(h.live, nullptr); }},
        {"GetDC", "stale, unknown", false,
         [](const Handles& h) {
             return GetDC(h.stale) == nullptr && GetDC(BogusWindow()) == nullptr;
         }},
        {"ReleaseDC", "unknown and stale DC", false,
         [](const Handles& h) {
             return ReleaseDC(h.live, BogusDc()) == 0 && ReleaseDC(h.stale, h.staleDc) == 0;
         }},
        {"DefWindowProcA", "stale window, WM_CLOSE", false,
         [](const Handles& h) { return DefWindowProcA(h.stale, WM_CLOSE, 0, 0) == 0; }},
        {"PeekMessageA", "NULL message", true,
         [](const Handles&) { return !PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE); }},
        {"PeekMessageA", "stale window filter", false,
         [](const Handles& h) {
             MSG m;
             return !PeekMessageA(&m, h.stale, 0, 0, PM_REMOVE);
         }},
        {"DispatchMessageA", "NULL message", true,
         [](const Handles&) { return DispatchMessageA(nullptr) == 0; }},
        {"DispatchMessageA", "stale window", false,
         [](const Handles& h) {
             MSG m = {};
             m.hwnd = h.stale;
             m.message = WM_USER;
             return DispatchMessageA(&m) == 0;
         }},
        {"TranslateMessage", "NULL message", true,
         [](const Handles&) { return !TranslateMessage(nullptr); }},
        {"PostMessageA", "stale, unknown", false,
         [](const Handles& h) {
             SetLastError(0);
             const bool refused = !PostMessageA(h.stale, WM_USER, 0, 0) &&
                                  GetLastError() == ERROR_INVALID_WINDOW_HANDLE;
             return refused && !PostMessageA(BogusWindow(), WM_USER, 0, 0);
         }},
        {"SendMessageA", "stale", false,
         [](const Handles& h) { return SendMessageA(h.stale, WM_USER, 0, 0) == 0; }},
        {"ChoosePixelFormat", "unknown DC", false,
         [](const Handles&) {
             const PIXELFORMATDESCRIPTOR d = ProgramDescriptor();
             return ChoosePixelFormat(BogusDc(), &d) == 0;
         }},
        {"ChoosePixelFormat", "NULL descriptor", true,
         [](const Handles& h) { return ChoosePixelFormat(h.plainDc, nullptr) == 0; }},
        {"DescribePixelFormat", "unknown DC", false,
         [](const Handles&) {
             PIXELFORMATDESCRIPTOR d;
             return DescribePixelFormat(BogusDc(), 1, sizeof d, &d) == 0;
         }},
        {"DescribePixelFormat", "format 0 and past the last", false,
         [](const Handles& h) {
             PIXELFORMATDESCRIPTOR d;
             const int count = DescribePixelFormat(h.plainDc, 1, sizeof d, &d);
             return DescribePixelFormat(h.plainDc, 0, sizeof d, &d) == 0 &&
                    DescribePixelFormat(h.plainDc, count + 1, sizeof d, &d) == 0;
         }},
        {"SetPixelFormat", "unknown DC", false,
         [](const Handles& h) {
             const PIXELFORMATDESCRIPTOR d = ProgramDescriptor();
             return !SetPixelFormat(BogusDc(), h.format, &d);
         }},
        {"SetPixelFormat", "format 0 and far past the last", false,
         [](const Handles& h) {
             const PIXELFORMATDESCRIPTOR d = ProgramDescriptor();
             return !SetPixelFormat(h.plainDc, 0, &d) && !SetPixelFormat(h.plainDc, 100000, &d);
         }},
        {"SetPixelFormat", "stale DC", false,
         [](const Handles& h) {
             const PIXELFORMATDESCRIPTOR d = ProgramDescriptor();
             return !SetPixelFormat(h.staleDc, h.format, &d);
         }},
        {"GetPixelFormat", "unknown DC", false,
         [](const Handles&) { return GetPixelFormat(BogusDc()) == 0; }},
        {"SwapBuffers", "unknown DC", false,
         [](const Handles&) { return !SwapBuffers(BogusDc()); }},
        {"SwapBuffers", "DC without a pixel format", false,
         [](const Handles& h) { return !SwapBuffers(h.plainDc); }},
        {"wglCreateContext", "NULL, unknown, stale DC", false,
         [](const Handles& h) {
             return wglCreateContext(nullptr) == nullptr &&
                    wglCreateContext(BogusDc()) == nullptr &&
                    wglCreateContext(h.staleDc) == nullptr;
         }},
        {"wglCreateContext", "DC without a pixel format", false,
         [](const Handles& h) { return wglCreateContext(h.plainDc) == nullptr; }},
        {"wglMakeCurrent", "unknown DC", false,
         [](const Handles& h) { return !wglMakeCurrent(BogusDc(), h.context); }},
        {"wglMakeCurrent", "unknown and deleted context", false,
         [](const Handles& h) {
             return !wglMakeCurrent(h.liveDc, BogusContext()) &&
                    !wglMakeCurrent(h.liveDc, h.deleted);
         }},
        {"wglMakeCurrent", "DC of a window without that pixel format", false,
         [](const Handles& h) { return !wglMakeCurrent(h.plainDc, h.context); }},
        {"wglMakeCurrent", "DC of a destroyed window", false,
         [](const Handles& h) { return !wglMakeCurrent(h.staleDc, h.context); }},
        {"wglDeleteContext", "NULL, unknown, deleted", false,
         [](const Handles& h) {
             return !wglDeleteContext(nullptr) && !wglDeleteContext(BogusContext()) &&
                    !wglDeleteContext(h.deleted);
         }},
    };
    return cases;
}

TEST(BadArguments, EveryFunctionFailsCleanly) {
    Handles h;
    h.live = RecordingWindow::Create();
    h.plain = RecordingWindow::Create();
    h.stale = RecordingWindow::Create();
    ASSERT_TRUE(h.live && h.plain && h.stale);
    h.liveDc = GetDC(h.live);
    h.plainDc = GetDC(h.plain);
    h.staleDc = GetDC(h.stale);
    const PIXELFORMATDESCRIPTOR d = ProgramDescriptor();
    h.format = ChoosePixelFormat(h.liveDc, &d);
    ASSERT_TRUE(SetPixelFormat(h.liveDc, h.format, &d));
    h.context = wglCreateContext(h.liveDc);
    h.deleted = wglCreateContext(h.liveDc);
    ASSERT_TRUE(h.context && h.deleted);
    ASSERT_TRUE(wglDeleteContext(h.deleted));
    ASSERT_TRUE(DestroyWindow(h.stale));

    std::map<std::string, int> perFunction;
    for (const Case& c : Cases()) {
        if (c.nativeOnly && !kNative) continue;
        EXPECT_TRUE(c.failsCleanly(h)) << c.function << ": " << c.what;
        ++perFunction[c.function];
    }
    for (const auto& entry : perFunction) {
        std::printf("[ bad arguments ] %-20s %d case(s)\n", entry.first.c_str(), entry.second);
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(h.context);
    DestroyWindow(h.live);
    DestroyWindow(h.plain);
    DrainMessages();
}

}  // namespace
