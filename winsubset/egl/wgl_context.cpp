#include <GL/glx.h>

#include <map>
#include <memory>

#include "core/internal.h"

namespace winsubset {
namespace {

GLXContext GlxOf(const ContextState& context) {
    return static_cast<GLXContext>(context.glx);
}

// Marks `handle` current on no thread. Only after GLX has let it go: while
// it is marked, its window cannot be destroyed, so an unbind that flushes
// drawing into the window (a single-buffered one) finds it still there.
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
    if (::Display* display = DisplayIfOpen()) {
        const DriverLock driver;
        glXMakeContextCurrent(display, None, None, nullptr);
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
// ERROR_SUCCESS with the X window and GLX context to bind, or the error.
DWORD Claim(HDC hdc, HGLRC handle, ::Window& xid, GLXContext& glx) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.contexts.find(handle);
    const WindowState* window = WindowOfDCLocked(hdc);
    if (found == library.contexts.end() || window == nullptr) return ERROR_INVALID_HANDLE;
    ContextState& context = *found->second;
    if (window->pixelFormat != context.pixelFormat) return ERROR_INVALID_PIXEL_FORMAT;
    const uint64_t self = ThisThread().serial;
    if (context.current && context.holder != self) return ERROR_BUSY;
    // Moving from another DC of this thread's: GLX lets go of that one only
    // in the bind, so its window stays held until then.
    context.leaving = context.current && context.dc != hdc ? context.dc : nullptr;
    context.current = true;
    context.holder = self;
    context.dc = hdc;
    xid = window->xid;
    glx = GlxOf(context);
    return ERROR_SUCCESS;
}

// After the bind: the DC the context left, if any, is free to go; after a
// failed one, GLX kept what it had.
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
    const PixelFormatInfo* format = LookupPixelFormat(window.pixelFormat);
    if (format == nullptr) {
        return Fail<HGLRC>(ERROR_INVALID_PIXEL_FORMAT, nullptr);
    }
    ::Display* display = GetDisplay();
    XErrorTrap trap(display);
    const GLXContext glx =
        glXCreateNewContext(display, static_cast<GLXFBConfig>(FramebufferConfigOf(*format)),
                            GLX_RGBA_TYPE, nullptr, True);
    if (trap.Finish() != Success || glx == nullptr) {
        return Fail<HGLRC>(ERROR_INVALID_PARAMETER, nullptr);
    }
    auto context = std::make_unique<ContextState>();
    context->glx = glx;
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
    ::Window xid = 0;
    GLXContext glx = nullptr;
    if (const DWORD refused = Claim(hdc, handle, xid, glx); refused != ERROR_SUCCESS) {
        return Fail<BOOL>(refused, FALSE);
    }
    // No error trap: binding happens twice a frame, and a trap costs a round
    // trip. GLX reports a failed bind through the result.
    bool bound = false;
    {
        const DriverLock driver;
        bound = glXMakeContextCurrent(GetDisplay(), xid, xid, glx) != False;
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
    glXDestroyContext(GetDisplay(), GlxOf(*context));
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
