// The Wayland baseline: the raw loops' per-frame work (bind, clear, three
// matrix multiplies, the four-vertex strip, flush, swap, unbind) on a
// Wayland connection and EGL, with no Win32 layer around it: an
// xdg-shell toplevel of 640 x 480, a wl_egl_window, and the same
// configuration the X11 loops take. GL 1.1 is called straight from
// libOpenGL; no GLEW, so its start-up has no glewInit in it, which the
// program's has.
// Usage: raw_wayland_bench [FRAMES]

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <poll.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_report.h"
#include "bench_scene.h"
#include "xdg-shell-client-protocol.h"

namespace {

struct Globals {
    wl_compositor* compositor = nullptr;
    xdg_wm_base* shell = nullptr;
    bool configured = false;
};

void Ping(void*, xdg_wm_base* shell, uint32_t serial) {
    xdg_wm_base_pong(shell, serial);
}
const xdg_wm_base_listener kShellListener = {Ping};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        globals->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, version < 4 ? version : 4));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        globals->shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(globals->shell, &kShellListener, nullptr);
    }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

void SurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<Globals*>(data)->configured = true;
}
const xdg_surface_listener kSurfaceListener = {SurfaceConfigure};

// The size stays 640 x 480 whatever the compositor suggests, as the
// program's client area does.
void ToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void ToplevelClose(void*, xdg_toplevel*) {}
// Sent only from versions 4 and 5 of xdg_wm_base; this binds version 1.
void ToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void ToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, ToplevelBounds,
                                                 ToplevelCapabilities};

// What XPending does for the X11 loops: send what is queued, read what has
// arrived without waiting, and dispatch it (the compositor's pings among
// it).
void DispatchWithoutWaiting(wl_display* display) {
    while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd socket = {wl_display_get_fd(display), POLLIN, 0};
    if (poll(&socket, 1, 0) > 0) {
        wl_display_read_events(display);
    } else {
        wl_display_cancel_read(display);
    }
    wl_display_dispatch_pending(display);
}

// The same choice as the X11 loop's: the first configuration with exactly
// 8 bits of red, green and blue (deeper ones sort first).
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
        EGLint red = 0, green = 0, blue = 0;
        eglGetConfigAttrib(display, config, EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, config, EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(display, config, EGL_BLUE_SIZE, &blue);
        if (red == 8 && green == 8 && blue == 8) return config;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    BenchReport report;
    report.frames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    if (report.frames <= report.warmup) report.frames = report.warmup + 1;

    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return 255;
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.compositor == nullptr || globals.shell == nullptr) return 255;

    wl_surface* surface = wl_compositor_create_surface(globals.compositor);
    xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(globals.shell, surface);
    xdg_surface_add_listener(shellSurface, &kSurfaceListener, &globals);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
    xdg_toplevel_add_listener(toplevel, &kToplevelListener, nullptr);
    xdg_toplevel_set_title(toplevel, "raw_wayland_bench");
    wl_surface_commit(surface);
    // A surface may take a buffer only once its first configure is acked.
    while (!globals.configured) {
        if (wl_display_dispatch(display) < 0) return 255;
    }
    wl_egl_window* native = wl_egl_window_create(surface, 640, 480);

    EGLDisplay egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, display, nullptr);
    if (egl == EGL_NO_DISPLAY || !eglInitialize(egl, nullptr, nullptr)) return 254;
    if (!eglBindAPI(EGL_OPENGL_API)) return 254;
    EGLConfig config = EightBitConfig(egl);
    if (config == nullptr) return 254;
    EGLSurface eglSurface = eglCreatePlatformWindowSurface(egl, config, native, nullptr);
    EGLContext context = eglCreateContext(egl, config, EGL_NO_CONTEXT, nullptr);
    if (eglSurface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT) return 254;
    if (!eglMakeCurrent(egl, eglSurface, eglSurface, context)) return 254;
    // At interval 1 every swap waits for the compositor's frame callback
    // (the output's refresh); the X11 loops run unthrottled, and so does
    // this one.
    eglSwapInterval(egl, 0);
    eglMakeCurrent(egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    const BenchScene scene = MakeBenchScene();

    for (unsigned long presented = 0; presented < report.frames;) {
        DispatchWithoutWaiting(display);
        eglMakeCurrent(egl, eglSurface, eglSurface, context);
        DrawBenchScene(scene);
        eglSwapBuffers(egl, eglSurface);
        eglMakeCurrent(egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        report.FrameDone(++presented);
    }
    eglDestroySurface(egl, eglSurface);
    eglDestroyContext(egl, context);
    eglTerminate(egl);
    wl_egl_window_destroy(native);
    xdg_toplevel_destroy(toplevel);
    xdg_surface_destroy(shellSurface);
    wl_surface_destroy(surface);
    xdg_wm_base_destroy(globals.shell);
    wl_compositor_destroy(globals.compositor);
    wl_registry_destroy(registry);
    report.Print("raw_wayland");
    wl_display_disconnect(display);
    return 0;
}
