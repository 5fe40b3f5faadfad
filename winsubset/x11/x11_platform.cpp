// The X window system's entry in the table of window systems.

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "x11/x11.h"

namespace winsubset {
namespace {

bool Connect() {
    return GetDisplay() != nullptr;
}

void* NativeDisplay() {
    return GetDisplay();
}

// A window of the config's visual shows it: one it names, of true colour
// (the subset's formats are RGBA).
bool ShowsConfig(EGLDisplay display, EGLConfig config) {
    EGLint visualId = 0;
    EGLint visualType = EGL_NONE;
    eglGetConfigAttrib(display, config, EGL_NATIVE_VISUAL_ID, &visualId);
    eglGetConfigAttrib(display, config, EGL_NATIVE_VISUAL_TYPE, &visualType);
    return visualId != 0 && visualType == TrueColor;
}

void ScreenSize(int& width, int& height) {
    ::Display* display = GetDisplay();
    width = DisplayWidth(display, DefaultScreen(display));
    height = DisplayHeight(display, DefaultScreen(display));
}

void* NativeWindowFor(WindowState& window) {
    // EGL's X11 platform takes a pointer to the Window.
    return &X11Of(window).xid;
}

}  // namespace

const Platform kX11Platform = {
    "x11",           Connect,       EGL_PLATFORM_X11_KHR, NativeDisplay,
    ShowsConfig,     ScreenSize,    CreateX11Window,      AdoptConfigX11,
    NativeWindowFor, ShowX11Window, DestroyX11Window,     PumpX11Events,
};

}  // namespace winsubset
