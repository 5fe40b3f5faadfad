// The native baseline: the same per-frame work written straight on Xlib and
// GLX (bind, clear, three matrix multiplies, the four-vertex strip, flush,
// swap, unbind), with no Win32 layer and no class around it; its start-up
// does what the program's must (a double-buffered RGBA configuration with
// depth and stencil, a context, GLEW).
// Usage: raw_glx_bench [FRAMES]

#include <GL/glew.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>

#include "bench_report.h"
#include "bench_scene.h"

int main(int argc, char** argv) {
    BenchReport report;
    report.frames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    if (report.frames <= report.warmup) report.frames = report.warmup + 1;

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 255;
    const int attributes[] = {GLX_X_RENDERABLE,
                              True,
                              GLX_DRAWABLE_TYPE,
                              GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE,
                              GLX_RGBA_BIT,
                              GLX_DOUBLEBUFFER,
                              True,
                              GLX_RED_SIZE,
                              8,
                              GLX_GREEN_SIZE,
                              8,
                              GLX_BLUE_SIZE,
                              8,
                              GLX_DEPTH_SIZE,
                              24,
                              GLX_STENCIL_SIZE,
                              8,
                              None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    if (configs == nullptr || count == 0) return 254;
    XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[0]);
    const Window root = DefaultRootWindow(display);
    XSetWindowAttributes windowAttributes = {};
    windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    windowAttributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask;
    const Window window =
        XCreateWindow(display, root, 0, 0, 640, 480, 0, visual->depth, InputOutput, visual->visual,
                      CWColormap | CWEventMask, &windowAttributes);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);
    GLXContext context = glXCreateNewContext(display, configs[0], GLX_RGBA_TYPE, nullptr, True);
    // The program starts GLEW as soon as its context exists; so does the
    // baseline, or start-up times would compare different work.
    glXMakeContextCurrent(display, window, window, context);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return 254;
    glXMakeContextCurrent(display, None, None, nullptr);
    const BenchScene scene = MakeBenchScene();

    for (unsigned long presented = 0; presented < report.frames;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        glXMakeContextCurrent(display, window, window, context);
        DrawBenchScene(scene);
        glXSwapBuffers(display, window);
        glXMakeContextCurrent(display, None, None, nullptr);
        report.FrameDone(++presented);
    }
    glXDestroyContext(display, context);
    XDestroyWindow(display, window);
    XFree(visual);
    XFree(configs);
    report.Print("raw");
    XCloseDisplay(display);
    return 0;
}
