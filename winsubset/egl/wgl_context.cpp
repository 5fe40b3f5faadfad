// WGL's contexts on EGL's.

#include <map>
#include <memory>

#include "core/internal.h"

namespace winsubset {
namespace {

// EGL keeps the API a thread works with per thread: each call that makes or
// binds a context names OpenGL's first.
void UseOpenGL() {
    eglBindAPI(EGL_OPENGL_API);
}

// Marks `handle` current on no thread. Only after EGL has let it go: while
// it is marked, its window cannot be destroyed, so an unbind that flushes
// drawing into the window finds it still there.
void MarkNotCurrent(HGLRC handle) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.contexts.find(handle);
    if (found != library.contexts.end()) {
        found->second->current = false;
        found->second->dc = nullptr;
        found->second->leaving = nullptr;
    }
}

void ReleaseCurrent() {
    ThreadState& thread = ThisThread();
    {
        const DriverLock driver;
        UseOpenGL();
        eglMakeCurrent(GetEglDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    MarkNotCurrent(thread.currentContext);
    thread.currentContext = nullptr;
    thread.currentDC = nullptr;
}

// Win32 lets a thread's current context go when the thread ends; here it
// must, since a context marked current on a thread that is gone would hold
// off its window's destruction for good. Made when a thread first binds,
// after its ThreadState, so it ends before it.
struct ReleaseAtThreadEnd {
    ReleaseAtThreadEnd() = default;
    ReleaseAtThreadEnd(const ReleaseAtThreadEnd&) = delete;
    ReleaseAtThreadEnd& operator=(const ReleaseAtThreadEnd&) = delete;
    ~ReleaseAtThreadEnd() {
        if (ThisThread().currentContext != nullptr) ReleaseCurrent();
    }
};

void ReleaseWhenThreadEnds() {
    thread_local ReleaseAtThreadEnd release;
    static_cast<void>(release);
}

// Claims `handle` for the calling thread on `hdc`, under the table lock, so
// two threads cannot both take it, and the owner's DestroyWindow sees the
// claim (and is refused) or came first (and the window is not found).
// ERROR_SUCCESS with the surface and EGL context to bind, or the error.
DWORD Claim(HDC hdc, HGLRC handle, EGLSurface& surface, EGLContext& egl) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.contexts.find(handle);
    const WindowState* window = WindowOfDCLocked(hdc);
    if (found == library.contexts.end() || window == nullptr) return ERROR_INVALID_HANDLE;
    ContextState& context = *found->second;
    if (window->pixelFormat != context.pixelFormat) return ERROR_INVALID_PIXEL_FORMAT;
    const uint64_t self = ThisThread().serial;
    if (context.current && context.holder != self) return ERROR_BUSY;
    // Moving from another DC of this thread's: EGL lets go of that one only
    // in the bind, so its window stays held until then.
    context.leaving = context.current && context.dc != hdc ? context.dc : nullptr;
    context.current = true;
    context.holder = self;
    context.dc = hdc;
    surface = window->surface;
    egl = context.egl;
    return ERROR_SUCCESS;
}

// After the bind: the DC the context left, if any, is free to go; after a
// failed one, EGL kept what it had.
void SettleClaim(HGLRC handle, bool bound) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    // Still there: it cannot be deleted while claimed.
    const auto found = library.contexts.find(handle);
    if (found == library.contexts.end()) return;
    ContextState& context = *found->second;
    if (!bound && context.leaving != nullptr) context.dc = context.leaving;
    if (!bound && context.leaving == nullptr && ThisThread().currentContext != handle) {
        context.current = false;
        context.dc = nullptr;
    }
    context.leaving = nullptr;
}

}  // namespace

void ReleaseContextsOn(HDC hdc) {
    const ThreadState& thread = ThisThread();
    if (thread.currentContext != nullptr && thread.currentDC == hdc) ReleaseCurrent();
}

bool ContextCurrentElsewhereLocked(HDC hdc) {
    const uint64_t self = ThisThread().serial;
    for (const auto& entry : TheLibrary().contexts) {
        const ContextState& context = *entry.second;
        if (context.current && context.holder != self &&
            (context.dc == hdc || context.leaving == hdc)) {
            return true;
        }
    }
    return false;
}

}  // namespace winsubset

using namespace winsubset;

extern "C" HGLRC WINAPI wglCreateContext(HDC hdc) {
    const Relay relay("wglCreateContext");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hdc));
    if (relay.Fails()) return Fail<HGLRC>(ERROR_INVALID_PIXEL_FORMAT, nullptr);
    WindowSnapshot window;
    if (!DrawableOf(hdc, window)) {
        return Fail<HGLRC>(ERROR_INVALID_HANDLE, nullptr);
    }
    const EGLConfig config = ConfigOfPixelFormat(window.pixelFormat);
    if (config == nullptr) {
        return Fail<HGLRC>(ERROR_INVALID_PIXEL_FORMAT, nullptr);
    }
    EGLContext egl = EGL_NO_CONTEXT;
    {
        // No attributes: the compatibility profile WGL's contexts have,
        // where OpenGL 1.1's calls work.
        const DriverLock driver;
        UseOpenGL();
        egl = eglCreateContext(GetEglDisplay(), config, EGL_NO_CONTEXT, nullptr);
    }
    if (egl == EGL_NO_CONTEXT) {
        return Fail<HGLRC>(ERROR_INVALID_PARAMETER, nullptr);
    }
    auto context = std::make_unique<ContextState>();
    context->egl = egl;
    context->pixelFormat = window.pixelFormat;
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto handle = reinterpret_cast<HGLRC>(library.nextContext);
    library.nextContext += 4;
    library.contexts[handle] = std::move(context);
    return handle;
}

extern "C" BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC handle) {
    const Relay relay("wglMakeCurrent");
    if (relay.Traced())
        relay.Write("%p, %p", static_cast<const void*>(hdc), static_cast<const void*>(handle));
    if (relay.Fails()) return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    ThreadState& thread = ThisThread();
    if (handle == nullptr) {
        if (thread.currentContext != nullptr) {
            ReleaseCurrent();
            return TRUE;
        }
        // Releasing with nothing current and no DC is refused, as Wine does.
        return hdc == nullptr ? Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE) : TRUE;
    }
    // The claim keeps the window from going, whatever the owner does; the
    // driver lock keeps the bind apart from other threads' traps.
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext egl = EGL_NO_CONTEXT;
    if (const DWORD refused = Claim(hdc, handle, surface, egl); refused != ERROR_SUCCESS) {
        return Fail<BOOL>(refused, FALSE);
    }
    bool bound = false;
    {
        const DriverLock driver;
        UseOpenGL();
        const EGLDisplay display = GetEglDisplay();
        bound = eglMakeCurrent(display, surface, surface, egl) != EGL_FALSE;
        // A swap never waits for the display: a hidden window gets no
        // frames, and a swap that waited for one would stop the loop that
        // would handle its close. Set on every bind (it costs no round
        // trip): a surface remembered as set could be a new one at the
        // same address.
        if (bound) eglSwapInterval(display, 0);
    }
    // Only a failed bind, or a context moving between this thread's DCs,
    // leaves the claim to settle: a frame's bind takes the table lock once.
    const bool moving = thread.currentContext == handle && thread.currentDC != hdc;
    if (!bound || moving) SettleClaim(handle, bound);
    if (!bound) return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    ReleaseWhenThreadEnds();
    // A context still current on this thread is no longer current once
    // another is bound.
    if (thread.currentContext != nullptr && thread.currentContext != handle) {
        MarkNotCurrent(thread.currentContext);
    }
    thread.currentContext = handle;
    thread.currentDC = hdc;
    return TRUE;
}

extern "C" BOOL WINAPI wglDeleteContext(HGLRC handle) {
    const Relay relay("wglDeleteContext");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(handle));
    if (ThisThread().currentContext == handle) ReleaseCurrent();
    std::unique_ptr<ContextState> context;
    {
        // Checked and taken out as one step: a thread making it current
        // meanwhile either came first (and this is refused) or finds no
        // such context.
        Library& library = TheLibrary();
        std::lock_guard<std::mutex> lock(library.lock);
        const auto found = library.contexts.find(handle);
        if (found == library.contexts.end()) return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
        if (found->second->current) return Fail<BOOL>(ERROR_BUSY, FALSE);  // on another thread
        context = std::move(found->second);
        library.contexts.erase(found);
    }
    const DriverLock driver;
    eglDestroyContext(GetEglDisplay(), context->egl);
    return TRUE;
}

extern "C" HGLRC WINAPI wglGetCurrentContext(void) {
    const Relay relay("wglGetCurrentContext");
    if (relay.Traced()) relay.Write("%s", "");
    return ThisThread().currentContext;
}

extern "C" HDC WINAPI wglGetCurrentDC(void) {
    const Relay relay("wglGetCurrentDC");
    if (relay.Traced()) relay.Write("%s", "");
    return ThisThread().currentDC;
}
