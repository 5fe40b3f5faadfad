// The program's own path — MainWindow, OpenGLRenderer, Application::Run —
// for a fixed number of frames. A decorator forwards every renderer call
// unchanged and, after the last frame, posts WM_CLOSE as a close box would,
// so the program's classes stay exactly as they are.
// Usage: program_bench [FRAMES]

#include <windows.h>

#include <cstdlib>

#include "app/application.h"
#include "bench_report.h"
#include "platform/main_window.h"
#include "render/opengl_renderer.h"

namespace {

class FrameLimit : public Renderer {
public:
    FrameLimit(Renderer& inner, HWND window, BenchReport& report)
        : inner(inner), window(window), report(report) {}

    bool Initialize() override { return inner.Initialize(); }
    void Finalize() override { inner.Finalize(); }
    void BeginFrame() override { inner.BeginFrame(); }
    void Present() override {
        inner.Present();
        report.FrameDone(++presented);
        if (presented == report.frames) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }
    void EndFrame() override { inner.EndFrame(); }
    void DrawPrimitives(const Vertex* vertices, unsigned vertexCount, unsigned primitiveCount,
                        const Matrix& world, const Camera& camera) override {
        inner.DrawPrimitives(vertices, vertexCount, primitiveCount, world, camera);
    }

private:
    Renderer& inner;
    HWND window;
    BenchReport& report;
    unsigned long presented = 0;
};

}  // namespace

int main(int argc, char** argv) {
    BenchReport report;
    report.frames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    if (report.frames <= report.warmup) report.frames = report.warmup + 1;

    MainWindow window = {nullptr, nullptr};
    if (!CreateMainWindow(window, GetModuleHandleA(nullptr))) return 255;
    OpenGLRenderer renderer(window.hdc);
    if (!renderer.Initialize()) return 254;
    FrameLimit limited(renderer, window.hwnd, report);
    Application app(&window, &limited);
    const int status = app.Run();
    report.Print("program");
    return status;
}
