// Pixel formats: the EGL configs that can draw to this window system's
// windows with OpenGL, described as Win32 describes its formats.

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "core/internal.h"

namespace winsubset {

// A pixel format is a window-capable RGB OpenGL EGL config that the window
// system can show; its index is its 1-based place in this list, in EGL's
// own order (its preferred configs first).
struct PixelFormatInfo {
    EGLConfig config = nullptr;
    int nativeVisual = 0;  // what a window must show to take it; 0: any
    PIXELFORMATDESCRIPTOR descriptor = {};
};

struct PixelFormatTable {
    std::vector<PixelFormatInfo> formats;
};

namespace {

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, attribute, &value);
    return value;
}

BYTE Bits(EGLint value) {
    return static_cast<BYTE>(std::clamp(value, 0, 255));
}

PIXELFORMATDESCRIPTOR Describe(EGLDisplay display, EGLConfig config) {
    PIXELFORMATDESCRIPTOR d = {};
    d.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    d.nVersion = 1;
    // An EGL window surface always has a back buffer to draw to and swap:
    // every format is double-buffered, and none is stereo.
    d.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    d.iPixelType = PFD_TYPE_RGBA;
    d.cRedBits = Bits(Attribute(display, config, EGL_RED_SIZE));
    d.cGreenBits = Bits(Attribute(display, config, EGL_GREEN_SIZE));
    d.cBlueBits = Bits(Attribute(display, config, EGL_BLUE_SIZE));
    d.cAlphaBits = Bits(Attribute(display, config, EGL_ALPHA_SIZE));
    // Win32 counts the bits a pixel takes, padding included: the channels
    // are stored in the next power of two (8/8/8 in 32 bits, as X's depth
    // 24 and Wayland's XRGB8888 are).
    const int channels = d.cRedBits + d.cGreenBits + d.cBlueBits + d.cAlphaBits;
    int stored = 8;
    while (stored < channels) stored *= 2;
    d.cColorBits = static_cast<BYTE>(stored);
    // Blue lowest, then green, red and alpha: the order of X's true-colour
    // visuals and of Wayland's ARGB/XRGB formats.
    d.cBlueShift = 0;
    d.cGreenShift = d.cBlueBits;
    d.cRedShift = static_cast<BYTE>(d.cBlueBits + d.cGreenBits);
    d.cAlphaShift =
        static_cast<BYTE>(d.cAlphaBits == 0 ? 0 : d.cRedBits + d.cGreenBits + d.cBlueBits);
    // EGL has no accumulation or auxiliary buffers.
    d.cDepthBits = Bits(Attribute(display, config, EGL_DEPTH_SIZE));
    d.cStencilBits = Bits(Attribute(display, config, EGL_STENCIL_SIZE));
    d.iLayerType = PFD_MAIN_PLANE;
    return d;
}

// The display's configs do not change: read once per process.
PixelFormatTable* LoadFormats() {
    auto* table = new PixelFormatTable;
    const EGLDisplay display = GetEglDisplay();
    if (display == EGL_NO_DISPLAY) return table;  // no OpenGL here: no pixel format at all
    const Platform* platform = ThePlatform();
    const DriverLock driver;
    // A descriptor cannot ask for multisampling, so no format may bring it
    // unasked: it would cost every frame several times the work.
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_COLOR_BUFFER_TYPE,
                             EGL_RGB_BUFFER,
                             EGL_SAMPLE_BUFFERS,
                             0,
                             EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, wanted, nullptr, 0, &count) || count <= 0) return table;
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    eglChooseConfig(display, wanted, configs.data(), count, &count);
    configs.resize(static_cast<size_t>(count));
    for (const EGLConfig config : configs) {
        if (!platform->showsConfig(display, config)) continue;
        PixelFormatInfo& format = table->formats.emplace_back();
        format.config = config;
        format.nativeVisual = Attribute(display, config, EGL_NATIVE_VISUAL_ID);
        format.descriptor = Describe(display, config);
    }
    return table;
}

const std::vector<PixelFormatInfo>& Formats() {
    Library& library = TheLibrary();
    std::call_once(library.pixelFormatsOnce, [&] { library.pixelFormats = LoadFormats(); });
    return library.pixelFormats->formats;
}

const PixelFormatInfo* LookupPixelFormat(int format) {
    const auto& formats = Formats();
    if (format < 1 || static_cast<size_t>(format) > formats.size()) {
        return nullptr;
    }
    return &formats[static_cast<size_t>(format - 1)];
}

// Lower is better: an exact match costs nothing, more than asked costs the
// excess, less than asked costs more than any excess.
int Cost(int requested, int actual) {
    return actual >= requested ? actual - requested : 1000 + requested - actual;
}

}  // namespace

EGLConfig ConfigOfPixelFormat(int format) {
    const PixelFormatInfo* info = LookupPixelFormat(format);
    return info != nullptr ? info->config : nullptr;
}

}  // namespace winsubset

using namespace winsubset;

extern "C" int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* descriptor) {
    const Relay relay("ChoosePixelFormat");
    if (relay.Traced())
        relay.Write("%p, %s", static_cast<const void*>(hdc), Describe(descriptor).c_str());
    if (relay.Fails()) return Fail<int>(ERROR_INVALID_PIXEL_FORMAT, 0);
    WindowSnapshot window;
    if (!DrawableOf(hdc, window)) {
        return Fail(ERROR_INVALID_HANDLE, 0);
    }
    if (descriptor == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    const DWORD flags = descriptor->dwFlags;
    const auto& formats = Formats();
    // Every format is RGBA, and nothing here can draw to a bitmap or
    // through GDI.
    const bool possible = descriptor->iPixelType == PFD_TYPE_RGBA &&
                          (flags & (PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI)) == 0;
    std::vector<size_t> candidates;
    for (size_t i = 0; possible && i < formats.size(); ++i) {
        const PIXELFORMATDESCRIPTOR& f = formats[i].descriptor;
        // Double buffering and stereo must match unless asked as don't-care.
        const bool doubleBuffered = (f.dwFlags & PFD_DOUBLEBUFFER) != 0;
        if ((flags & PFD_DOUBLEBUFFER_DONTCARE) == 0 &&
            doubleBuffered != ((flags & PFD_DOUBLEBUFFER) != 0)) {
            continue;
        }
        const bool stereo = (f.dwFlags & PFD_STEREO) != 0;
        if ((flags & PFD_STEREO_DONTCARE) == 0 && stereo != ((flags & PFD_STEREO) != 0)) continue;
        candidates.push_back(i);
    }
    // The best is the first format with the least cost in the first
    // respect, then the next, in order of importance.
    const std::function<int(const PixelFormatInfo&)> costs[] = {
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cColorBits, f.descriptor.cColorBits);
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cAlphaBits, f.descriptor.cAlphaBits);
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cDepthBits, f.descriptor.cDepthBits);
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cStencilBits, f.descriptor.cStencilBits);
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cAccumBits, f.descriptor.cAccumBits);
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cAuxBuffers, f.descriptor.cAuxBuffers);
        },
        // Last: a format the window shows already spares replacing its
        // native window.
        [&](const PixelFormatInfo& f) {
            return f.nativeVisual == 0 || f.nativeVisual == window.nativeVisual ? 0 : 1;
        }};
    for (const auto& cost : costs) {
        if (candidates.size() <= 1) break;
        std::vector<int> values;
        values.reserve(candidates.size());
        for (const size_t i : candidates) values.push_back(cost(formats[i]));
        const int least = *std::min_element(values.begin(), values.end());
        size_t kept = 0;
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (values[k] == least) candidates[kept++] = candidates[k];
        }
        candidates.resize(kept);
    }
    if (candidates.empty()) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    return static_cast<int>(candidates.front()) + 1;
}

extern "C" int WINAPI DescribePixelFormat(HDC hdc, int format, UINT bytes,
                                          LPPIXELFORMATDESCRIPTOR descriptor) {
    const Relay relay("DescribePixelFormat");
    if (relay.Traced())
        relay.Write("%p, %d, %u, %p", static_cast<const void*>(hdc), format, bytes,
                    static_cast<const void*>(descriptor));
    WindowSnapshot window;
    if (!DrawableOf(hdc, window, true)) {
        return Fail(ERROR_INVALID_HANDLE, 0);
    }
    const int count = static_cast<int>(Formats().size());
    if (descriptor == nullptr) {
        return count;  // asked only how many formats there are
    }
    const PixelFormatInfo* info = LookupPixelFormat(format);
    if (info == nullptr || bytes < sizeof(PIXELFORMATDESCRIPTOR)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    *descriptor = info->descriptor;
    return count;
}

extern "C" BOOL WINAPI SetPixelFormat(HDC hdc, int format,
                                      const PIXELFORMATDESCRIPTOR* descriptor) {
    const Relay relay("SetPixelFormat");
    if (relay.Traced())
        relay.Write("%p, %d, %s", static_cast<const void*>(hdc), format,
                    Describe(descriptor).c_str());
    if (relay.Fails()) return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    WindowSnapshot drawable;
    if (!DrawableOf(hdc, drawable, true)) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    // It may replace the X window: the owner's business alone.
    if (drawable.owner != std::this_thread::get_id()) {
        return Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    WindowState* window = LookupWindow(drawable.hwnd);  // the caller's own record
    const PixelFormatInfo* info = LookupPixelFormat(format);
    if (info == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // A window's pixel format is set once for its life.
    if (window->pixelFormat != 0) {
        return window->pixelFormat == format ? TRUE : Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // The window system readies the window for the config (X11 may replace
    // its window behind the same HWND and HDC), then the surface is made.
    const EGLDisplay display = GetEglDisplay();
    if (!ThePlatform()->adoptConfig(*window, display, info->config)) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    EGLSurface surface = EGL_NO_SURFACE;
    {
        const DriverLock driver;
        surface = eglCreatePlatformWindowSurface(display, info->config,
                                                 ThePlatform()->eglNativeWindow(*window), nullptr);
    }
    if (surface == EGL_NO_SURFACE) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    SetWindowPixelFormat(*window, format, surface);
    return TRUE;
}

extern "C" int WINAPI GetPixelFormat(HDC hdc) {
    const Relay relay("GetPixelFormat");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hdc));
    WindowSnapshot window;
    if (!DrawableOf(hdc, window, true)) {
        return Fail(ERROR_INVALID_HANDLE, 0);
    }
    if (window.pixelFormat == 0) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    }
    return window.pixelFormat;
}

extern "C" BOOL WINAPI SwapBuffers(HDC hdc) {
    const Relay relay("SwapBuffers");
    if (relay.Traced()) relay.Write("%p", static_cast<const void*>(hdc));
    // Found and presented under the driver lock, which the window's end
    // takes too: the swap reaches a surface that still exists, or none.
    // (A message loop does not take it: the swap holds up no other
    // thread's loop.)
    const DriverLock driver;
    WindowSnapshot window;
    if (!DrawableOf(hdc, window)) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (window.pixelFormat == 0) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // EGL swaps only a surface current on the calling thread; Win32 would
    // swap any, but a frame is drawn with the DC bound, where this holds.
    if (ThisThread().currentDC != hdc) {
        return Fail<BOOL>(ERROR_INVALID_OPERATION, FALSE);
    }
    if (!eglSwapBuffers(GetEglDisplay(), window.surface)) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    return TRUE;
}
