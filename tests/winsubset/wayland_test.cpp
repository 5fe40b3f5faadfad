// What only a Wayland compositor shows: the subset's windows as weston's
// scene graph has them (weston-debug, which the fixture's weston allows).

#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/program_pixel_format.h"
#include "support/recording_window.h"

namespace {

// One view of the scene graph: its header line and what follows it.
struct View {
    std::string header;
    int width = 0;
    int height = 0;
    bool hasBuffer = true;
};

// This process's views, as weston lists them now.
std::vector<View> OurViews() {
    std::vector<View> views;
    FILE* pipe = popen("weston-debug scene-graph 2>&1", "r");
    if (pipe == nullptr) return views;
    const std::string ours = "PID " + std::to_string(getpid()) + ",";
    bool inOurs = false;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const std::string text = line;
        if (text.rfind("\tView ", 0) == 0) {
            inOurs = text.find(ours) != std::string::npos;
            if (inOurs) views.push_back({text});
        } else if (inOurs) {
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            if (std::sscanf(line, " position: (%d, %d) -> (%d, %d)", &x1, &y1, &x2, &y2) == 4) {
                views.back().width = x2 - x1;
                views.back().height = y2 - y1;
            } else if (text.find("[buffer not available]") != std::string::npos) {
                views.back().hasBuffer = false;
            }
        }
    }
    pclose(pipe);
    return views;
}

// The program's window as a person sees it: a toplevel with its title in
// UTF-8 and the desktop entry's app id, and a 640 x 480 picture.
bool ShownWithTitleAndPicture(const std::vector<View>& views) {
    bool titled = false;
    bool picture = false;
    for (const View& view : views) {
        titled |= view.header.find("role xdg_toplevel") != std::string::npos &&
                  view.header.find(
                      "top-level window 'OpenGL\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88' "
                      "of opengl-test") != std::string::npos;
        // What EGL draws on: the toplevel beneath it has a filler of its own.
        picture |= view.header.find("role wl_subsurface") != std::string::npos &&
                   view.width == 640 && view.height == 480 && view.hasBuffer;
    }
    return titled && picture;
}

// Pumps and draws until weston's scene says `done`; false after a minute.
bool DrawUntil(HDC dc, const std::function<bool(const std::vector<View>&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        DrainMessages();
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(dc);
        if (done(OurViews())) return true;
    }
    return false;
}

void Draw(HDC dc, int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        DrainMessages();
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_TRUE(SwapBuffers(dc));
    }
}

// A window draws while hidden (swaps succeed and show nothing: on Wayland a
// buffer on the toplevel would map it, or break the protocol before its
// first configure), shows its last picture with its title once shown, and
// again after a hide (an unmapped toplevel forgets its title and app id).
TEST(WaylandWindow, ShowsWhatItDrawsOnlyWhileShownWithItsTitleEachTime) {
    const DWORD style = WS_OVERLAPPEDWINDOW;  // the program's
    RECT frame = {0, 0, 640, 480};
    AdjustWindowRect(&frame, style, FALSE);
    const HWND hwnd =
        CreateWindowExA(0, RecordingWindow::ClassName(), "OpenGL\x83\x65\x83X\x83g", style,
                        CW_USEDEFAULT, 0, frame.right - frame.left, frame.bottom - frame.top,
                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    const HDC dc = GetDC(hwnd);
    const PIXELFORMATDESCRIPTOR descriptor = ProgramDescriptor();
    ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &descriptor), &descriptor));
    const HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);

    Draw(dc, 20);
    EXPECT_TRUE(OurViews().empty()) << "the hidden window is on the screen";

    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(DrawUntil(dc, ShownWithTitleAndPicture))
        << "no toplevel 'OpenGLテスト' of opengl-test with a 640x480 picture after showing";

    ShowWindow(hwnd, SW_HIDE);
    Draw(dc, 20);
    EXPECT_TRUE(DrawUntil(dc, [](const std::vector<View>& views) { return views.empty(); }))
        << "the window stayed on the screen after hiding";

    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(DrawUntil(dc, ShownWithTitleAndPicture))
        << "no toplevel 'OpenGLテスト' of opengl-test with a 640x480 picture after showing again";

    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    DestroyWindow(hwnd);
    DrainMessages();
}

}  // namespace
