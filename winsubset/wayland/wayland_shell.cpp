// The toplevel role of a window's surface and its frame: xdg-shell with
// the compositor's own decorations where it offers xdg-decoration (KDE,
// sway), else a libdecor frame, which draws them itself (Weston, GNOME)
// and owns the xdg objects then.

#include <libdecor.h>

#include "wayland/wayland.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace winsubset {
namespace wayland {
namespace {

// The desktop entry's name (packaging/opengl-test.desktop): how a
// compositor finds the program's icon and name.
constexpr char kAppId[] = "opengl-test";

// --- xdg-shell with server-side decorations -----------------------------

void ToplevelConfigure(void* data, xdg_toplevel* /*toplevel*/, int32_t width, int32_t height,
                       wl_array* /*states*/) {
    // Applied with the xdg_surface.configure that ends the sequence.
    auto* window = static_cast<Window*>(data);
    window->pendingWidth = width;
    window->pendingHeight = height;
}

void ToplevelClose(void* data, xdg_toplevel* /*toplevel*/) {
    CloseRequested(*static_cast<Window*>(data));
}

// configure_bounds and wm_capabilities come only with xdg_wm_base 4 and 5.
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, nullptr,
                                                 nullptr};

void SurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    Window& window = *static_cast<Window*>(data);
    Configure(window, window.pendingWidth, window.pendingHeight);
    // The window's geometry is the client area: the frame is the
    // compositor's, outside it.
    xdg_surface_set_window_geometry(surface, 0, 0, window.width, window.height);
    xdg_surface_ack_configure(surface, serial);
    AfterConfigure(window);
}

const xdg_surface_listener kSurfaceListener = {SurfaceConfigure};

void CreateXdgRole(Window& window) {
    Connection& c = TheConnection();
    window.xdgSurface = xdg_wm_base_get_xdg_surface(c.wmBase, window.surface);
    xdg_surface_add_listener(window.xdgSurface, &kSurfaceListener, &window);
    window.toplevel = xdg_surface_get_toplevel(window.xdgSurface);
    xdg_toplevel_add_listener(window.toplevel, &kToplevelListener, &window);
    xdg_toplevel_set_title(window.toplevel, window.title.c_str());
    xdg_toplevel_set_app_id(window.toplevel, kAppId);
    if (window.fixedSize) {
        xdg_toplevel_set_min_size(window.toplevel, window.width, window.height);
        xdg_toplevel_set_max_size(window.toplevel, window.width, window.height);
    }
    window.decoration =
        zxdg_decoration_manager_v1_get_toplevel_decoration(c.decorationManager, window.toplevel);
    zxdg_toplevel_decoration_v1_set_mode(window.decoration,
                                         ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    // The initial commit, with no buffer: the compositor answers with the
    // first configure, and no buffer may be attached before it.
    wl_surface_commit(window.surface);
}

// --- libdecor -------------------------------------------------------------

void FrameConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
    Window& window = *static_cast<Window*>(data);
    int width = 0;
    int height = 0;
    // The content size, the frame's own taken off; false when the
    // compositor leaves the size to us.
    if (!libdecor_configuration_get_content_size(configuration, frame, &width, &height)) {
        width = height = 0;
    }
    Configure(window, width, height);
    // Only a frame's windows need it: it finds the window of a frame's
    // surface that has the keyboard (KeyboardEnter).
    libdecor_window_state windowState = LIBDECOR_WINDOW_STATE_NONE;
    if (libdecor_configuration_get_window_state(configuration, &windowState)) {
        const bool active = (windowState & LIBDECOR_WINDOW_STATE_ACTIVE) != 0;
        if (active != window.active) {
            window.active = active;
            ActiveChanged(window);
        }
    }
    libdecor_state* state = libdecor_state_new(window.width, window.height);
    // Draws the frame for the size, sets the window geometry around the
    // content and acknowledges the configure.
    libdecor_frame_commit(frame, state, configuration);
    libdecor_state_free(state);
    AfterConfigure(window);
}

void FrameClose(libdecor_frame* /*frame*/, void* data) {
    CloseRequested(*static_cast<Window*>(data));
}

void FrameCommit(libdecor_frame* /*frame*/, void* data) {
    // The frame's parts are synchronised subsurfaces: they show with the
    // toplevel's next commit.
    wl_surface_commit(static_cast<Window*>(data)->surface);
}

void FrameDismissPopup(libdecor_frame* /*frame*/, const char* /*seat*/, void* /*data*/) {
    // No popups here.
}

libdecor_frame_interface kFrameInterface = {
    FrameConfigure, FrameClose, FrameCommit, FrameDismissPopup, nullptr, nullptr, nullptr,
    nullptr,        nullptr,    nullptr,     nullptr,           nullptr, nullptr, nullptr};

bool CreateFrame(Window& window) {
    window.frame =
        libdecor_decorate(TheConnection().decor, window.surface, &kFrameInterface, &window);
    if (window.frame == nullptr) return false;
    libdecor_frame_set_title(window.frame, window.title.c_str());
    libdecor_frame_set_app_id(window.frame, kAppId);
    if (window.fixedSize) {
        // libdecor turns content limits into the toplevel's (frame
        // included), and draws no maximize button without the resize
        // capability.
        libdecor_frame_set_min_content_size(window.frame, window.width, window.height);
        libdecor_frame_set_max_content_size(window.frame, window.width, window.height);
        libdecor_frame_unset_capabilities(
            window.frame, static_cast<libdecor_capabilities>(LIBDECOR_ACTION_RESIZE |
                                                             LIBDECOR_ACTION_FULLSCREEN));
    }
    if (!window.minimizeBox) {
        libdecor_frame_unset_capabilities(window.frame, LIBDECOR_ACTION_MINIMIZE);
    }
    // The initial commit, as for xdg-shell.
    libdecor_frame_map(window.frame);
    return true;
}

}  // namespace

bool CreateRole(Window& window) {
    window.configured = false;
    window.pendingWidth = window.pendingHeight = 0;
    if (TheConnection().decor != nullptr) return CreateFrame(window);
    CreateXdgRole(window);
    return true;
}

void DestroyRole(Window& window) {
    if (window.frame != nullptr) libdecor_frame_unref(window.frame);
    window.frame = nullptr;
    // The decoration before its toplevel: the other order is a protocol
    // error (orphaned) that wlroots enforces.
    if (window.decoration != nullptr) zxdg_toplevel_decoration_v1_destroy(window.decoration);
    if (window.toplevel != nullptr) xdg_toplevel_destroy(window.toplevel);
    if (window.xdgSurface != nullptr) xdg_surface_destroy(window.xdgSurface);
    window.decoration = nullptr;
    window.toplevel = nullptr;
    window.xdgSurface = nullptr;
    window.configured = false;
    window.active = false;  // an unmapped window is nobody's focus
}

}  // namespace wayland
}  // namespace winsubset
