// The EGL baseline on X11: the raw GLX loop's per-frame work (bind, clear,
// three matrix multiplies, the four-vertex strip, flush, swap, unbind) on
// Xlib and EGL, with no Win32 layer around it. Start-up takes what the
// program's context layer must: a double-buffered 8/8/8 configuration with
// depth and stencil, the X window made with that configuration's visual.
// GL 1.1 is called straight from libOpenGL; no GLEW, so its start-up has
// no glewInit in it, which the program's has.
// Usage: raw_egl_x11_bench [FRAMES]

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <vector>

#include "bench_report.h"
#include "bench_scene.h"

namespace {

// eglChooseConfig sorts deeper colour first, so a 10-bit configuration,
// where the server has one, comes before the 8-bit one the program asks
// for: take the first with exactly 8 bits of red, green and blue.
EGLConfig EightBitConfig(EGLDisplay display) {
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_WINDOW_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_DEPTH_SIZE,
                                 24,
                                 EGL_STENCIL_SIZE,
                                 8,
                                 EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, nullptr, 0, &count) || count == 0) return nullptr;
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    eglChooseConfig(display, attributes, configs.data(), count, &count);
    for (EGLConfig config : configs) {
        EGLint red = 0, green = 0, blue = 0, visual = 0;
        eglGetConfigAttrib(display, config, EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, config, EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(display, config, EGL_BLUE_SIZE, &blue);
        eglGetConfigAttrib(display, config, EGL_NATIVE_VISUAL_ID, &visual);
        if (red == 8 && green == 8 && blue == 8 && visual != 0) return config;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    BenchReport report;
    report.frames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    if (report.frames <= report.warmup) report.frames = report.warmup + 1;

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 255;
    EGLDisplay egl = eglGetPlatformDisplay(EGL_PLATFORM_X11_KHR, display, nullptr);
    if (egl == EGL_NO_DISPLAY || !eglInitialize(egl, nullptr, nullptr)) return 254;
    if (!eglBindAPI(EGL_OPENGL_API)) return 254;
    EGLConfig config = EightBitConfig(egl);
    if (config == nullptr) return 254;

    EGLint visualId = 0;
    eglGetConfigAttrib(egl, config, EGL_NATIVE_VISUAL_ID, &visualId);
    XVisualInfo wanted = {};
    wanted.visualid = static_cast<VisualID>(visualId);
    int visualCount = 0;
    XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &wanted, &visualCount);
    if (visual == nullptr) return 254;
    const Window root = DefaultRootWindow(display);
    XSetWindowAttributes windowAttributes = {};
    windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    windowAttributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask;
    // Not const: EGL takes the platform window by a non-const pointer.
    Window window = XCreateWindow(display, root, 0, 0, 640, 480, 0, visual->depth, InputOutput,
                                  visual->visual, CWColormap | CWEventMask, &windowAttributes);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);

    EGLSurface surface = eglCreatePlatformWindowSurface(egl, config, &window, nullptr);
    EGLContext context = eglCreateContext(egl, config, EGL_NO_CONTEXT, nullptr);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT) return 254;
    if (!eglMakeCurrent(egl, surface, surface, context)) return 254;
    // The GLX loops never set an interval and run unthrottled on Xvfb; EGL's
    // default is 1, so say 0 where a driver would honour it.
    eglSwapInterval(egl, 0);
    eglMakeCurrent(egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    const BenchScene scene = MakeBenchScene();

    for (unsigned long presented = 0; presented < report.frames;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        eglMakeCurrent(egl, surface, surface, context);
        DrawBenchScene(scene);
        eglSwapBuffers(egl, surface);
        eglMakeCurrent(egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        report.FrameDone(++presented);
    }
    eglDestroySurface(egl, surface);
    eglDestroyContext(egl, context);
    eglTerminate(egl);
    XDestroyWindow(display, window);
    XFree(visual);
    report.Print("raw_egl_x11");
    XCloseDisplay(display);
    return 0;
}
