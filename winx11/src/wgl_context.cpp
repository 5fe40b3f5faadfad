#include <GL/glx.h>

#include <map>
#include <memory>

#include "internal.h"

namespace winx11 {
namespace {

GLXContext GlxOf(const ContextState& context) {
    return static_cast<GLXContext>(context.glx);
}

// Marks `handle` current on no thread.
void MarkNotCurrent(HGLRC handle) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.contexts.find(handle);
    if (found != library.contexts.end()) {
        found->second->current = false;
        found->second->dc = nullptr;
    }
}

void ReleaseCurrent() {
    ThreadState& thread = ThisThread();
    MarkNotCurrent(thread.currentContext);
    if (::Display* display = DisplayIfOpen()) {
        glXMakeContextCurrent(display, None, None, nullptr);
    }
    thread.currentContext = nullptr;
    thread.currentDC = nullptr;
}

}  // namespace

void ReleaseContextsOn(HDC hdc) {
    const ThreadState& thread = ThisThread();
    if (thread.currentContext != nullptr && thread.currentDC == hdc) {
        ReleaseCurrent();
    }
}

bool ContextCurrentElsewhereLocked(HDC hdc) {
    const auto self = std::this_thread::get_id();
    for (const auto& entry : TheLibrary().contexts) {
        const ContextState& context = *entry.second;
        if (context.current && context.dc == hdc && context.thread != self) return true;
    }
    return false;
}

}  // namespace winx11

using namespace winx11;

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
    // The X lock from finding the window to binding: its destruction takes
    // it too, so the bind reaches an X window that still exists.
    Library& library = TheLibrary();
    const std::lock_guard<std::recursive_mutex> hold(library.x);
    ::Window xid = 0;
    GLXContext glx = nullptr;
    {
        // Found and claimed under one lock, so two threads cannot both take
        // it, and the owner's DestroyWindow sees the claim (and is refused)
        // or came first (and the window is not found).
        std::lock_guard<std::mutex> lock(library.lock);
        const auto found = library.contexts.find(handle);
        const WindowState* window = WindowOfDCLocked(hdc);
        if (found == library.contexts.end() || window == nullptr) {
            return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
        }
        xid = window->xid;
        ContextState& context = *found->second;
        if (window->pixelFormat != context.pixelFormat) {
            return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
        }
        const auto self = std::this_thread::get_id();
        if (context.current && context.thread != self) {
            return Fail<BOOL>(ERROR_BUSY, FALSE);
        }
        context.current = true;
        context.thread = self;
        context.dc = hdc;
        glx = GlxOf(context);
    }
    // No error trap: binding happens twice a frame, and a trap costs a round
    // trip. GLX reports a failed bind through the result.
    if (!glXMakeContextCurrent(GetDisplay(), xid, xid, glx)) {
        if (thread.currentContext != handle) MarkNotCurrent(handle);
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
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
