// EGL's display for the window system in use, started once per process.

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "core/internal.h"

namespace winsubset {

EGLDisplay GetEglDisplay() {
    Library& library = TheLibrary();
    std::call_once(library.eglOnce, [&] {
        const Platform* platform = ThePlatform();
        if (platform == nullptr) return;
        const DriverLock driver;
        EGLDisplay display =
            eglGetPlatformDisplay(platform->eglPlatform, platform->eglNativeDisplay(), nullptr);
        // Fails where the driver can make no config at all (an X server of
        // 8-bit colour, say): then there is no pixel format, as on a display
        // without OpenGL.
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return;
        library.egl = display;
    });
    return library.egl;
}

void DestroySurface(EGLSurface surface) {
    const DriverLock driver;
    eglDestroySurface(GetEglDisplay(), surface);
}

}  // namespace winsubset
