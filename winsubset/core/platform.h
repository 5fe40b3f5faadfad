#pragma once

// What the core asks of a window system: one table of functions per window
// system (x11/, wayland/), chosen once, at the first call that needs a
// display. The core keeps Win32's rules (messages, handles, threads); a
// window system keeps its connection and the native window behind each
// Win32 window, and reports what happens to it through the functions in
// core/window_events.h, on the window's own thread.

#include <EGL/egl.h>
#include <windows.h>

#include <cstdint>
#include <memory>

namespace winsubset {

struct WindowState;

// A window system's own record of one window; the core only keeps it, and
// the names it is made with (SetNativeId changes them later).
struct NativeWindow {
    virtual ~NativeWindow() = default;
    // What the window system's events name the window by; 0: by nothing.
    uintptr_t id = 0;
    // The EGL_NATIVE_VISUAL_ID of what the window shows now; 0: anything.
    int visualId = 0;
};

struct Platform {
    // What WINSUBSET_PLATFORM names it: "x11", "wayland".
    const char* name;
    // Connects; false, with nothing left behind, when this window system
    // has no display here. Called once, before anything else.
    bool (*connect)();
    // EGL's name for the window system, and the display to hand it.
    EGLenum eglPlatform;
    void* (*eglNativeDisplay)();
    // Whether windows here can show what `config` draws (on X11: the config
    // has a true-colour visual).
    bool (*showsConfig)(EGLDisplay display, EGLConfig config);
    // The screen CW_USEDEFAULT takes three quarters of.
    void (*screenSize)(int& width, int& height);
    // The native window for a new window, whose place, client size, style,
    // title and class are set; nullptr when the window system refuses.
    std::unique_ptr<NativeWindow> (*createWindow)(const WindowState& window, bool positioned);
    // Readies `window` to show `config`, before its surface is made (X11
    // replaces its window when the config needs another visual); false when
    // it cannot. On the owner's thread.
    bool (*adoptConfig)(WindowState& window, EGLDisplay display, EGLConfig config);
    // What eglCreatePlatformWindowSurface takes for the window.
    void* (*eglNativeWindow)(WindowState& window);
    // Maps or unmaps; on the owner's thread.
    void (*show)(WindowState& window, bool visible);
    // Ends the native window once its surface is gone; `gone` when the
    // window system ended it already. On the owner's thread.
    void (*destroyWindow)(WindowState& window, bool gone);
    // Reads whatever has arrived, without waiting, and hands each window's
    // events to its owner (RunOnOwner), then runs the calling thread's.
    void (*pump)();
};

// The window system in use, connected; nullptr when there is none. The
// first call chooses: the one WINSUBSET_PLATFORM names, else Wayland when a
// compositor answers, else X11.
const Platform* ThePlatform();
// The one chosen already, without choosing.
const Platform* PlatformIfChosen();

extern const Platform kX11Platform;
extern const Platform kWaylandPlatform;

}  // namespace winsubset
