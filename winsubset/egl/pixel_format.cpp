#include <GL/glx.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <vector>

#include "core/internal.h"

namespace winsubset {

// GLX attributes a descriptor shows, asked for only when first needed:
// Mesa checks the configuration against the display's whole list on every
// glXGetFBConfigAttrib, so describing every format up front would cost
// thousands of such checks at start-up.
enum FormatAttribute {
    kDoubleBuffer,
    kStereo,
    kRed,
    kGreen,
    kBlue,
    kAlpha,
    kAccumRed,
    kAccumGreen,
    kAccumBlue,
    kAccumAlpha,
    kDepth,
    kStencil,
    kAux,
    kAttributeCount
};

constexpr int kGlxAttribute[kAttributeCount] = {
    GLX_DOUBLEBUFFER,    GLX_STEREO,           GLX_RED_SIZE,       GLX_GREEN_SIZE,
    GLX_BLUE_SIZE,       GLX_ALPHA_SIZE,       GLX_ACCUM_RED_SIZE, GLX_ACCUM_GREEN_SIZE,
    GLX_ACCUM_BLUE_SIZE, GLX_ACCUM_ALPHA_SIZE, GLX_DEPTH_SIZE,     GLX_STENCIL_SIZE,
    GLX_AUX_BUFFERS};

// A pixel format is a window-capable RGBA GLX framebuffer configuration
// with a visual; its index is its 1-based place in this list.
struct PixelFormatInfo {
    GLXFBConfig config = nullptr;
    XVisualInfo visualInfo = {};
    // As Win32 counts it: the bits a pixel takes, padding included.
    BYTE colorBits = 0;
    // -1 until asked. Threads may ask at once; each gets GLX's one answer.
    mutable std::atomic<int> attributes[kAttributeCount];
};

struct PixelFormatTable {
    std::deque<PixelFormatInfo> formats;  // a deque: the entries cannot move
    GLXFBConfig* configs = nullptr;       // GLX's list, which they point into
};

namespace {

int QueryGlxAttribute(::Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

// The attribute of `format`, asked of GLX once and kept.
BYTE CachedAttribute(const PixelFormatInfo& format, FormatAttribute attribute) {
    int value = format.attributes[attribute].load(std::memory_order_relaxed);
    if (value < 0) {
        value = QueryGlxAttribute(GetDisplay(), format.config, kGlxAttribute[attribute]);
        format.attributes[attribute].store(value, std::memory_order_relaxed);
    }
    return static_cast<BYTE>(value);
}

BYTE AccumBits(const PixelFormatInfo& format) {
    return static_cast<BYTE>(
        CachedAttribute(format, kAccumRed) + CachedAttribute(format, kAccumGreen) +
        CachedAttribute(format, kAccumBlue) + CachedAttribute(format, kAccumAlpha));
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

PIXELFORMATDESCRIPTOR Describe(const PixelFormatInfo& format) {
    const XVisualInfo& visual = format.visualInfo;
    PIXELFORMATDESCRIPTOR d = {};
    d.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    d.nVersion = 1;
    d.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (CachedAttribute(format, kDoubleBuffer) != 0) d.dwFlags |= PFD_DOUBLEBUFFER;
    if (CachedAttribute(format, kStereo) != 0) d.dwFlags |= PFD_STEREO;
    d.iPixelType = PFD_TYPE_RGBA;
    d.cColorBits = format.colorBits;
    d.cRedBits = CachedAttribute(format, kRed);
    d.cRedShift = Shift(visual.red_mask);
    d.cGreenBits = CachedAttribute(format, kGreen);
    d.cGreenShift = Shift(visual.green_mask);
    d.cBlueBits = CachedAttribute(format, kBlue);
    d.cBlueShift = Shift(visual.blue_mask);
    d.cAlphaBits = CachedAttribute(format, kAlpha);
    d.cAlphaShift =
        static_cast<BYTE>(d.cAlphaBits == 0 ? 0 : d.cRedBits + d.cGreenBits + d.cBlueBits);
    d.cAccumRedBits = CachedAttribute(format, kAccumRed);
    d.cAccumGreenBits = CachedAttribute(format, kAccumGreen);
    d.cAccumBlueBits = CachedAttribute(format, kAccumBlue);
    d.cAccumAlphaBits = CachedAttribute(format, kAccumAlpha);
    d.cAccumBits = AccumBits(format);
    d.cDepthBits = CachedAttribute(format, kDepth);
    d.cStencilBits = CachedAttribute(format, kStencil);
    d.cAuxBuffers = CachedAttribute(format, kAux);
    d.iLayerType = PFD_MAIN_PLANE;
    return d;
}

// The display's configurations do not change: read once per process, and
// kept for its life, since the formats refer to them.
PixelFormatTable* LoadFormats() {
    auto* table = new PixelFormatTable;
    ::Display* display = GetDisplay();
    int errorBase = 0;
    int eventBase = 0;
    if (display == nullptr || !glXQueryExtension(display, &errorBase, &eventBase)) {
        return table;  // no GLX on this display: no pixel format at all
    }
    // GLX filters to window-capable RGBA configurations with a true-colour
    // visual itself, far cheaper than asking each of the display's
    // hundreds of configurations one attribute at a time.
    const int wanted[] = {GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,   GLX_RENDER_TYPE,
                          GLX_RGBA_BIT,      GLX_X_RENDERABLE, True,
                          GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,   None};
    int count = 0;
    table->configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
    for (int i = 0; i < count; ++i) {
        const GLXFBConfig config = table->configs[i];
        // A descriptor cannot ask for multisampling, so no format may bring
        // it unasked: it would cost every frame several times the work.
        if (QueryGlxAttribute(display, config, GLX_SAMPLE_BUFFERS) != 0) {
            continue;
        }
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
        if (visual == nullptr) {
            continue;
        }
        PixelFormatInfo& format = table->formats.emplace_back();
        format.config = config;
        format.visualInfo = *visual;
        format.colorBits = static_cast<BYTE>(BitsPerPixel(display, visual->depth));
        for (auto& attribute : format.attributes) attribute = -1;
        XFree(visual);
    }
    return table;
}

const std::deque<PixelFormatInfo>& Formats() {
    Library& library = TheLibrary();
    std::call_once(library.pixelFormatsOnce, [&] { library.pixelFormats = LoadFormats(); });
    return library.pixelFormats->formats;
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
        const PixelFormatInfo& f = formats[i];
        // Double buffering and stereo must match unless asked as don't-care.
        const bool doubleBuffered = CachedAttribute(f, kDoubleBuffer) != 0;
        if ((flags & PFD_DOUBLEBUFFER_DONTCARE) == 0 &&
            doubleBuffered != ((flags & PFD_DOUBLEBUFFER) != 0)) {
            continue;
        }
        const bool stereo = CachedAttribute(f, kStereo) != 0;
        if ((flags & PFD_STEREO_DONTCARE) == 0 && stereo != ((flags & PFD_STEREO) != 0)) continue;
        candidates.push_back(i);
    }
    // The best is the first format with the least cost in the first
    // respect, then the next, in order of importance. Narrowing the field
    // one respect at a time asks GLX only about formats still in the race.
    const std::function<int(const PixelFormatInfo&)> costs[] = {
        [&](const PixelFormatInfo& f) { return Cost(descriptor->cColorBits, f.colorBits); },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cAlphaBits, CachedAttribute(f, kAlpha));
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cDepthBits, CachedAttribute(f, kDepth));
        },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cStencilBits, CachedAttribute(f, kStencil));
        },
        [&](const PixelFormatInfo& f) { return Cost(descriptor->cAccumBits, AccumBits(f)); },
        [&](const PixelFormatInfo& f) {
            return Cost(descriptor->cAuxBuffers, CachedAttribute(f, kAux));
        },
        // Last: a format of the window's own visual spares replacing its X
        // window.
        [&](const PixelFormatInfo& f) { return f.visualInfo.visual == window.visual ? 0 : 1; }};
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
    *descriptor = Describe(*info);
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
    // GLX draws only on a window of the configuration's visual; the X window
    // is replaced behind the same HWND and HDC when it has another one.
    const XVisualInfo& visual = info->visualInfo;
    if (visual.visualid != XVisualIDFromVisual(window->visual) &&
        !RecreateXWindow(*window, visual.visual, visual.depth)) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    SetWindowPixelFormat(*window, format);
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
    // Found and sent under the driver lock, which the window's end takes
    // too: the swap reaches an X window that still exists, or is not sent.
    // (A message loop does not take it: the swap, which waits for the frame
    // to be drawn, holds up no other thread's loop.)
    const DriverLock driver;
    WindowSnapshot window;
    if (!DrawableOf(hdc, window)) {
        return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (window.pixelFormat == 0) {
        return Fail<BOOL>(ERROR_INVALID_PIXEL_FORMAT, FALSE);
    }
    // No error trap here: it would cost a round trip to the server on every
    // frame. An error from an X window another client destroyed is reported
    // on stderr and otherwise ignored.
    glXSwapBuffers(GetDisplay(), window.xid);
    return TRUE;
}
