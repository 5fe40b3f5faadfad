#include <GL/glx.h>

#include <strings.h>

#include <algorithm>

#include <vector>

#include "internal.h"

namespace winx11 {

// A pixel format is a window-capable RGBA GLX framebuffer configuration
// with a visual; its index is its 1-based place in this list.
struct PixelFormatInfo {
    GLXFBConfig config;
    ::Visual* visual;
    int depth;
    PIXELFORMATDESCRIPTOR descriptor;
};

namespace {

int Attribute(::Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

int BitsPerPixel(::Display* display, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    int bits = depth;
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) {
            bits = formats[i].bits_per_pixel;
        }
    }
    XFree(formats);
    return bits;
}

BYTE Shift(unsigned long mask) {
    return static_cast<BYTE>(mask == 0 ? 0 : ffsl(static_cast<long>(mask)) - 1);
}

PIXELFORMATDESCRIPTOR Describe(::Display* display, GLXFBConfig config, const XVisualInfo& visual) {
    const auto get = [&](int attribute) {
        return static_cast<BYTE>(Attribute(display, config, attribute));
    };
    PIXELFORMATDESCRIPTOR d = {};
    d.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    d.nVersion = 1;
    d.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (get(GLX_DOUBLEBUFFER) != 0) d.dwFlags |= PFD_DOUBLEBUFFER;
    if (get(GLX_STEREO) != 0) d.dwFlags |= PFD_STEREO;
    d.iPixelType = PFD_TYPE_RGBA;
    // As Win32 counts it: the bits a pixel takes, padding included.
    d.cColorBits = static_cast<BYTE>(BitsPerPixel(display, visual.depth));
    d.cRedBits = get(GLX_RED_SIZE);
    d.cRedShift = Shift(visual.red_mask);
    d.cGreenBits = get(GLX_GREEN_SIZE);
    d.cGreenShift = Shift(visual.green_mask);
    d.cBlueBits = get(GLX_BLUE_SIZE);
    d.cBlueShift = Shift(visual.blue_mask);
    d.cAlphaBits = get(GLX_ALPHA_SIZE);
    d.cAlphaShift =
        static_cast<BYTE>(d.cAlphaBits == 0 ? 0 : d.cRedBits + d.cGreenBits + d.cBlueBits);
    d.cAccumRedBits = get(GLX_ACCUM_RED_SIZE);
    d.cAccumGreenBits = get(GLX_ACCUM_GREEN_SIZE);
    d.cAccumBlueBits = get(GLX_ACCUM_BLUE_SIZE);
    d.cAccumAlphaBits = get(GLX_ACCUM_ALPHA_SIZE);
    d.cAccumBits = static_cast<BYTE>(d.cAccumRedBits + d.cAccumGreenBits + d.cAccumBlueBits +
                                     d.cAccumAlphaBits);
    d.cDepthBits = get(GLX_DEPTH_SIZE);
    d.cStencilBits = get(GLX_STENCIL_SIZE);
    d.cAuxBuffers = get(GLX_AUX_BUFFERS);
    d.iLayerType = PFD_MAIN_PLANE;
    return d;
}

// Loaded once per process: the display's configurations do not change.
const std::vector<PixelFormatInfo>& Formats() {
    static std::vector<PixelFormatInfo> formats;
    static bool loaded = false;
    ::Display* display = GetDisplay();
    if (loaded || display == nullptr) {
        return formats;
    }
    loaded = true;
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) {
        return formats;  // no GLX on this display: no pixel format at all
    }
    // GLX filters to window-capable RGBA configurations with a true-colour
    // visual itself, far cheaper than asking each of the display's
    // hundreds of configurations one attribute at a time.
    const int wanted[] = {GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,   GLX_RENDER_TYPE,
                          GLX_RGBA_BIT,      GLX_X_RENDERABLE, True,
                          GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,   None};
    int count = 0;
    // Kept for the process's life: the formats refer to its configurations.
    static GLXFBConfig* configs = nullptr;
    configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
    for (int i = 0; i < count; ++i) {
        const GLXFBConfig config = configs[i];
        // A descriptor cannot ask for multisampling, so no format may bring
        // it unasked: it would cost every frame several times the work.
        if (Attribute(display, config, GLX_SAMPLE_BUFFERS) != 0) {
            continue;
        }
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
        if (visual == nullptr) {
            continue;
        }
        formats.push_back(
            {config, visual->visual, visual->depth, Describe(display, config, *visual)});
        XFree(visual);
    }
    return formats;
}

// Lower is better: an exact match costs nothing, more than asked costs the
// excess, less than asked costs more than any excess.
int Cost(int requested, int actual) {
    return actual >= requested ? actual - requested : 1000 + requested - actual;
}

}  // namespace

const PixelFormatInfo* LookupPixelFormat(int format) {
    const auto& formats = Formats();
    if (format < 1 || static_cast<size_t>(format) > formats.size()) {
        return nullptr;
    }
    return &formats[static_cast<size_t>(format - 1)];
}

void* FramebufferConfigOf(const PixelFormatInfo& format) {
    return format.config;
}

}  // namespace winx11

using namespace winx11;

extern "C" int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* descriptor) {
    const WindowState* window = LookupWindowByDC(hdc);
    if (window == nullptr) {
        return Fail(ERROR_INVALID_HANDLE, 0);
    }
    if (descriptor == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    const DWORD flags = descriptor->dwFlags;
    const auto& formats = Formats();
    int best = 0;
    int bestCost[7] = {};
    for (size_t i = 0; i < formats.size(); ++i) {
        const PIXELFORMATDESCRIPTOR& f = formats[i].descriptor;
        if (f.iPixelType != descriptor->iPixelType) continue;
        // Double buffering and stereo must match unless asked as don't-care.
        if ((flags & PFD_DOUBLEBUFFER_DONTCARE) == 0 &&
            ((flags ^ f.dwFlags) & PFD_DOUBLEBUFFER) != 0) {
            continue;
        }
        if ((flags & PFD_STEREO_DONTCARE) == 0 && ((flags ^ f.dwFlags) & PFD_STEREO) != 0) continue;
        // Nothing here can draw to a bitmap or through GDI.
        if ((flags & (PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI)) != 0) continue;

        // In order of importance.
        const int cost[7] = {Cost(descriptor->cColorBits, f.cColorBits),
                             Cost(descriptor->cAlphaBits, f.cAlphaBits),
                             Cost(descriptor->cDepthBits, f.cDepthBits),
                             Cost(descriptor->cStencilBits, f.cStencilBits),
                             Cost(descriptor->cAccumBits, f.cAccumBits),
                             Cost(descriptor->cAuxBuffers, f.cAuxBuffers),
                             // Last: a format of the window's own visual
                             // spares replacing its X window.
                             formats[i].visual == window->visual ? 0 : 1};
        bool better = best == 0;
        for (int k = 0; k < 7 && !better; ++k) {
            if (cost[k] != bestCost[k]) {
                better = cost[k] < bestCost[k];
                break;
            }
        }
        if (better) {
            best = static_cast<int>(i) + 1;
            std::copy(cost, cost + 7, bestCost);
        }
    }
    if (best == 0) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    }
    return best;
}

extern "C" int WINAPI DescribePixelFormat(HDC hdc, int format, UINT bytes,
                                          LPPIXELFORMATDESCRIPTOR descriptor) {
    if (LookupWindowByDC(hdc) == nullptr) {
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
                                      const PIXELFORMATDESCRIPTOR* /*unused*/) {
    WindowState* window = LookupWindowByDC(hdc);
    if (window == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    const PixelFormatInfo* info = LookupPixelFormat(format);
    if (info == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // A window's pixel format is set once for its life.
    if (window->pixelFormat != 0) {
        return window->pixelFormat == format ? TRUE : Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // GLX draws only on a window of the configuration's visual; the X window
    // is replaced behind the same HWND and HDC when it has another one.
    if (XVisualIDFromVisual(info->visual) != XVisualIDFromVisual(window->visual) &&
        !RecreateXWindow(*window, info->visual, info->depth)) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    window->pixelFormat = format;
    return TRUE;
}

extern "C" int WINAPI GetPixelFormat(HDC hdc) {
    const WindowState* window = LookupWindowByDC(hdc);
    if (window == nullptr) {
        return Fail(ERROR_INVALID_HANDLE, 0);
    }
    if (window->pixelFormat == 0) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    }
    return window->pixelFormat;
}

extern "C" BOOL WINAPI SwapBuffers(HDC hdc) {
    const WindowState* window = LookupWindowByDC(hdc);
    if (window == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (window->pixelFormat == 0) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // No error trap here: it would cost a round trip to the server on every
    // frame. An error from a vanished window is dropped by the handler.
    glXSwapBuffers(GetDisplay(), window->xid);
    return TRUE;
}
