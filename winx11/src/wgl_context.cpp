#include <GL/glx.h>

#include <map>
#include <memory>

#include "internal.h"

namespace winx11 {
namespace {

struct ContextState {
    GLXContext glx = nullptr;
    int pixelFormat = 0;
    bool current = false;
    std::thread::id thread;  // where it is current, while it is
};

uintptr_t g_nextContext = 0x20010;

std::map<HGLRC, std::unique_ptr<ContextState>>& Contexts() {
    static std::map<HGLRC, std::unique_ptr<ContextState>> contexts;
    return contexts;
}

ContextState* LookupContext(HGLRC handle) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Contexts().find(handle);
    return found == Contexts().end() ? nullptr : found->second.get();
}

thread_local HGLRC t_currentContext = nullptr;
thread_local HDC t_currentDC = nullptr;

void ReleaseCurrent() {
    if (ContextState* context = LookupContext(t_currentContext)) {
        context->current = false;
    }
    if (::Display* display = DisplayIfOpen()) {
        glXMakeContextCurrent(display, None, None, nullptr);
    }
    t_currentContext = nullptr;
    t_currentDC = nullptr;
}

}  // namespace

void ReleaseContextsOn(HDC hdc) {
    if (t_currentContext != nullptr && t_currentDC == hdc) {
        ReleaseCurrent();
    }
}

}  // namespace winx11

using namespace winx11;

extern "C" HGLRC WINAPI wglCreateContext(HDC hdc) {
    const Relay relay("wglCreateContext");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hdc));
    if (relay.Fails("wglCreateContext")) return Fail<HGLRC>(ERROR_INVALID_PIXEL_FORMAT, nullptr);
    const WindowState* window = LookupWindowByDC(hdc);
    if (window == nullptr) {
        return Fail<HGLRC>(ERROR_INVALID_HANDLE, nullptr);
    }
    const PixelFormatInfo* format = LookupPixelFormat(window->pixelFormat);
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
    context->pixelFormat = window->pixelFormat;
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto handle = reinterpret_cast<HGLRC>(g_nextContext);
    g_nextContext += 4;
    Contexts()[handle] = std::move(context);
    return handle;
}

extern "C" BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC handle) {
    const Relay relay("wglMakeCurrent");
    if (relay.Traced())
        relay.Write("%p, %p", static_cast<const void*>(hdc), static_cast<const void*>(handle));
    if (relay.Fails("wglMakeCurrent")) return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    if (handle == nullptr) {
        if (t_currentContext != nullptr) {
            ReleaseCurrent();
            return TRUE;
        }
        // Releasing with nothing current and no DC is refused, as Wine does.
        return hdc == nullptr ? Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE) : TRUE;
    }
    ContextState* context = LookupContext(handle);
    const WindowState* window = LookupWindowByDC(hdc);
    if (context == nullptr || window == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (context->current && context->thread != std::this_thread::get_id()) {
        return Fail<BOOL>(ERROR_BUSY, FALSE);
    }
    if (window->pixelFormat != context->pixelFormat) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // No error trap: binding happens twice a frame, and a trap costs a round
    // trip. GLX reports a failed bind through the result.
    if (!glXMakeContextCurrent(GetDisplay(), window->xid, window->xid, context->glx)) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    // A context still current on this thread is no longer current once
    // another is bound.
    if (t_currentContext != nullptr && t_currentContext != handle) {
        if (ContextState* previous = LookupContext(t_currentContext)) {
            previous->current = false;
        }
    }
    context->current = true;
    context->thread = std::this_thread::get_id();
    t_currentContext = handle;
    t_currentDC = hdc;
    return TRUE;
}

extern "C" BOOL WINAPI wglDeleteContext(HGLRC handle) {
    const Relay relay("wglDeleteContext");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(handle));
    ContextState* context = LookupContext(handle);
    if (context == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (context->current) {
        if (context->thread != std::this_thread::get_id()) {
            return Fail<BOOL>(ERROR_BUSY, FALSE);
        }
        ReleaseCurrent();
    }
    glXDestroyContext(GetDisplay(), context->glx);
    std::lock_guard<std::mutex> lock(TableMutex());
    Contexts().erase(handle);
    return TRUE;
}

extern "C" HGLRC WINAPI wglGetCurrentContext(void) {
    const Relay relay("wglGetCurrentContext");
    if (relay.Traced()) relay.Write("%s", "");
    return t_currentContext;
}

extern "C" HDC WINAPI wglGetCurrentDC(void) {
    const Relay relay("wglGetCurrentDC");
    if (relay.Traced()) relay.Write("%s", "");
    return t_currentDC;
}
