// The connection to the compositor: its globals, its outputs (for the
// screen size), reading its events without waiting, and the end of the
// process when it goes away.

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <libdecor.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wayland/wayland.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace winsubset {
namespace wayland {
namespace {

void Ping(void* /*data*/, xdg_wm_base* base, uint32_t serial) {
    // A toplevel whose client misses pings is marked unresponsive.
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmBaseListener = {Ping};

Output* FindOutput(wl_output* output) {
    for (Output& entry : TheConnection().outputs) {
        if (entry.output == output) return &entry;
    }
    return nullptr;
}

void OutputGeometry(void* /*data*/, wl_output* output, int32_t /*x*/, int32_t /*y*/,
                    int32_t /*mmWidth*/, int32_t /*mmHeight*/, int32_t /*subpixel*/,
                    const char* /*make*/, const char* /*model*/, int32_t transform) {
    // Modes are in the panel's own orientation; a quarter turn swaps them.
    if (Output* entry = FindOutput(output)) entry->rotated = (transform & 1) != 0;
}
void OutputMode(void* /*data*/, wl_output* output, uint32_t flags, int32_t width, int32_t height,
                int32_t /*refresh*/) {
    Output* entry = FindOutput(output);
    if (entry != nullptr && (flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        entry->width = width;
        entry->height = height;
    }
}
void OutputDone(void* /*data*/, wl_output* /*output*/) {}
void OutputScale(void* /*data*/, wl_output* output, int32_t factor) {
    if (Output* entry = FindOutput(output)) entry->scale = std::max(factor, 1);
}
// name and description come only to an output bound at version 4.
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode, OutputDone,
                                            OutputScale,    nullptr,    nullptr};

void Global(void* /*data*/, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    Connection& c = TheConnection();
    const auto bind = [&](const wl_interface* type, uint32_t highest) {
        return wl_registry_bind(registry, name, type, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        c.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
        c.subcompositor = static_cast<wl_subcompositor*>(bind(&wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        c.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        c.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        c.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
        xdg_wm_base_add_listener(c.wmBase, &kWmBaseListener, nullptr);
    } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0) {
        c.decorationManager = static_cast<zxdg_decoration_manager_v1*>(
            bind(&zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        Output output;
        output.name = name;
        output.output = static_cast<wl_output*>(bind(&wl_output_interface, 2));
        c.outputs.push_back(output);
        wl_output_add_listener(output.output, &kOutputListener, nullptr);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && c.seat.seat == nullptr) {
        // One seat: Win32 has one keyboard focus and one pointer.
        BindSeat(name, version);
    }
}

void GlobalRemove(void* /*data*/, wl_registry* /*registry*/, uint32_t name) {
    // Only outputs come and go in practice (a monitor unplugged).
    auto& outputs = TheConnection().outputs;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        if (it->name == name) {
            wl_output_destroy(it->output);
            outputs.erase(it);
            return;
        }
    }
}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

void DecorError(libdecor* /*context*/, libdecor_error /*error*/, const char* message) {
    std::fprintf(stderr, "winsubset: libdecor: %s\n", message);
    TheConnection().decorFailed = true;
}
libdecor_interface kDecorInterface = {DecorError, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr,    nullptr, nullptr, nullptr, nullptr};

// What the toplevel shows beneath the content subsurface, which covers it:
// one opaque pixel, shared by every window (a buffer may be attached to
// any number of surfaces, and this one is never written to).
wl_buffer* MakeFiller(wl_shm* shm) {
    const int fd = memfd_create("winsubset-filler", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    wl_buffer* buffer = nullptr;
    if (ftruncate(fd, 4) == 0) {  // zero-filled: black
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, 4);
        buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
    }
    close(fd);
    return buffer;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Disconnect(Connection& c) {
    // Only on a failed connect, before anything else has the display; the
    // proxies go with it (libwayland frees them with the connection's map
    // only in part, which a failed start-up may leak).
    if (c.decor != nullptr) libdecor_unref(c.decor);
    wl_display_disconnect(c.display);
    c.display = nullptr;
    c.registry = nullptr;
    c.compositor = nullptr;
    c.subcompositor = nullptr;
    c.shm = nullptr;
    c.viewporter = nullptr;
    c.wmBase = nullptr;
    c.decorationManager = nullptr;
    c.decor = nullptr;
    c.filler = nullptr;
    c.outputs.clear();
    c.seat = {};
}

// One round trip: everything sent so far has been answered.
bool Roundtrip(int ceilingMs) {
    static const wl_callback_listener kDone = {
        [](void* data, wl_callback* /*callback*/, uint32_t /*serial*/) {
            *static_cast<bool*>(data) = true;
        }};
    bool done = false;
    wl_callback* sync = wl_display_sync(TheConnection().display);
    wl_callback_add_listener(sync, &kDone, &done);
    const bool answered = DispatchUntil([&] { return done; }, ceilingMs);
    wl_callback_destroy(sync);
    return answered;
}

bool Connect() {
    Connection& c = TheConnection();
    const std::lock_guard<std::mutex> hold(c.lock);
    // A session names its compositor; without a name libwayland would try
    // "wayland-0" and, with no XDG_RUNTIME_DIR either (an X session as
    // root), say so on stderr before X11 is tried.
    if (std::getenv("WAYLAND_DISPLAY") == nullptr && std::getenv("WAYLAND_SOCKET") == nullptr) {
        return false;
    }
    c.display = wl_display_connect(nullptr);
    if (c.display == nullptr) return false;
    c.registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(c.registry, &kRegistryListener, nullptr);
    // The globals, then what the bound ones send at once (output modes,
    // seat capabilities). A compositor that accepts the connection and
    // never answers counts as none.
    bool answered = true;
    for (int round = 0; round < 2 && answered; ++round) answered = Roundtrip(5000);
    if (!answered) {
        std::fprintf(stderr, "winsubset: the Wayland compositor does not answer\n");
        Disconnect(c);
        return false;
    }
    if (c.compositor == nullptr || c.subcompositor == nullptr || c.shm == nullptr ||
        c.wmBase == nullptr || (c.filler = MakeFiller(c.shm)) == nullptr) {
        std::fprintf(stderr,
                     "winsubset: the Wayland compositor lacks xdg-shell or a core global\n");
        Disconnect(c);
        return false;
    }
    if (c.decorationManager == nullptr) {
        // Nobody draws a frame but the client here (Weston, GNOME): libdecor
        // does, with the plugin it finds. Its set-up is asynchronous; one
        // more round trip finishes it.
        c.decor = libdecor_new(c.display, &kDecorInterface);
        if (c.decor == nullptr || !Roundtrip(5000) || c.decorFailed) {
            Disconnect(c);
            return false;
        }
    }
    Flush();
    return true;
}

void* NativeDisplay() {
    return TheConnection().display;
}

bool ShowsConfig(EGLDisplay display, EGLConfig config) {
    // Any config that makes window surfaces: the compositor composes
    // whatever format Mesa picks for it.
    EGLint types = 0;
    return eglGetConfigAttrib(display, config, EGL_SURFACE_TYPE, &types) == EGL_TRUE &&
           (types & EGL_WINDOW_BIT) != 0;
}

void ScreenSize(int& width, int& height) {
    Connection& c = TheConnection();
    const std::lock_guard<std::mutex> hold(c.lock);
    for (const Output& output : c.outputs) {
        if (output.width <= 0 || output.height <= 0) continue;
        // The first output stands for the screen, in logical pixels: a
        // client's sizes are in those.
        width = (output.rotated ? output.height : output.width) / output.scale;
        height = (output.rotated ? output.width : output.height) / output.scale;
        return;
    }
    // No output yet (a headless compositor may have none): a plain
    // monitor's size, so CW_USEDEFAULT still gives a usable window.
    width = 1024;
    height = 768;
}

void Pump() {
    Connection& c = TheConnection();
    // Never waits for the lock: the thread that holds it is pumping, or
    // sending and about to let go, and whatever it reads reaches each
    // window's owner all the same.
    const std::unique_lock<std::mutex> hold(c.lock, std::try_to_lock);
    if (!hold.owns_lock()) return;
    ReadAndDispatch(0);
    RepeatKeys();
    Flush();
}

}  // namespace

Connection& TheConnection() {
    // Never destroyed, as the library is not.
    static Connection* connection = new Connection;
    return *connection;
}

void ConnectionLost() {
    // As for a lost X server: no window of this process exists any more,
    // and _exit skips the OpenGL driver's exit handlers, which would talk
    // to the dead connection again.
    wl_display* display = TheConnection().display;
    const int error = display != nullptr ? wl_display_get_error(display) : 0;
    char message[256];
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        const uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
        std::snprintf(message, sizeof message,
                      "winsubset: the Wayland compositor ended the connection: protocol error %u "
                      "on %s@%u\n",
                      code, interface != nullptr ? interface->name : "?", id);
    } else {
        std::snprintf(message, sizeof message,
                      "winsubset: the Wayland compositor connection was lost (%s)\n",
                      std::strerror(error != 0 ? error : errno));
    }
    if (write(STDERR_FILENO, message, std::strlen(message)) < 0) {
        // Nothing left to report to.
    }
    _exit(1);
}

void Flush() {
    wl_display* display = TheConnection().display;
    // EAGAIN: the socket is full; the rest goes with the next flush.
    if (wl_display_flush(display) < 0 && errno != EAGAIN) ConnectionLost();
}

void ReadAndDispatch(int timeoutMs) {
    wl_display* display = TheConnection().display;
    // libwayland's rule for readers on several threads (Mesa reads its own
    // queue inside eglSwapBuffers): announce the read, then read or
    // cancel. Events already read for the default queue go first.
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) ConnectionLost();
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        ConnectionLost();
    }
    pollfd ready = {wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) > 0) {
        // POLLHUP or POLLERR too: the read then reports the loss.
        if (wl_display_read_events(display) < 0) ConnectionLost();
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) ConnectionLost();
}

bool DispatchUntil(const std::function<bool()>& done, int ceilingMs) {
    const int64_t deadline = NowMs() + ceilingMs;
    while (!done()) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) return false;
        ReadAndDispatch(static_cast<int>(left));
    }
    return true;
}

}  // namespace wayland

// Win32 windows on a Wayland compositor. Where Wayland differs from what
// Win32 promises:
// - A client never learns where its window is, nor places it: each window
//   keeps the position it was created with (WM_MOVE never comes, and the
//   screen coordinates of WM_MOUSEWHEEL are counted from there).
// - Showing and hiding map and unmap the toplevel; a hidden window's
//   swaps succeed and are not seen, and the last of them is what shows
//   when the window is shown again.
// - The frame is the compositor's (xdg-decoration) or libdecor's, outside
//   the client area either way.
// - Buffers are at scale 1: on an output of scale 2 the compositor enlarges
//   the window, as Windows does for a program that is not DPI-aware.
const Platform kWaylandPlatform = {
    "wayland",
    wayland::Connect,
    EGL_PLATFORM_WAYLAND_KHR,
    wayland::NativeDisplay,
    wayland::ShowsConfig,
    wayland::ScreenSize,
    wayland::NewWindow,
    wayland::AdoptConfig,
    wayland::EglNativeWindow,
    wayland::Show,
    wayland::EndWindow,
    wayland::Pump,
};

}  // namespace winsubset
