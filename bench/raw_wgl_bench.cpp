// The baseline on Windows: the same per-frame work written straight on
// Win32 and WGL, with no class around it. Usage: raw_wgl_bench [FRAMES]

#include <GL/glew.h>
#include <windows.h>

#include <cstdlib>

#include "bench_report.h"
#include "bench_scene.h"

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    BenchReport report;
    report.frames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    if (report.frames <= report.warmup) report.frames = report.warmup + 1;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RawBench";
    RegisterClassExA(&windowClass);
    RECT rect = {0, 0, 640, 480};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = CreateWindowExA(0, "RawBench", "raw bench", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    if (hwnd == nullptr) return 255;
    HDC hdc = GetDC(hwnd);
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    if (!SetPixelFormat(hdc, ChoosePixelFormat(hdc, &pfd), &pfd)) return 254;
    HGLRC context = wglCreateContext(hdc);
    if (!wglMakeCurrent(hdc, context)) return 254;
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return 254;
    const BenchScene scene = MakeBenchScene();
    ShowWindow(hwnd, SW_SHOW);

    unsigned long presented = 0;
    MSG msg = {};
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        wglMakeCurrent(hdc, context);
        DrawBenchScene(scene);
        SwapBuffers(hdc);
        wglMakeCurrent(nullptr, nullptr);
        report.FrameDone(++presented);
        if (presented == report.frames) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    wglDeleteContext(context);
    report.Print("raw");
    return 0;
}
