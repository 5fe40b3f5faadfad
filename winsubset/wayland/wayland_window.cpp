// The surfaces behind each window: made, shown and hidden, sized as the
// compositor configures them, and ended.

#include <wayland-egl.h>

#include <algorithm>

#include "viewporter-client-protocol.h"
#include "wayland/wayland.h"

namespace winsubset {
namespace wayland {
namespace {

// What the toplevel's first configure may take; the window goes on
// without it (it shows when the configure comes).
constexpr int kFirstConfigureCeilingMs = 2000;

Window& Of(WindowState& state) {
    return static_cast<Window&>(*state.native);
}

// The size the core has not heard of yet goes to the owner's thread, which
// resizes the EGL window there: Mesa's resize hook touches the drawable
// without a lock of its own, and the owner is the thread that draws, as a
// Win32 program's window thread does. A configure before the core entered
// the window (the first, in createWindow) waits for the next table call.
void Report(Window& window) {
    if (window.width == window.reportedWidth && window.height == window.reportedHeight) return;
    const int x = window.x;
    const int y = window.y;
    const int width = window.width;
    const int height = window.height;
    const bool sent = ToOwner(window, [=](HWND hwnd) {
        WindowState* state = LookupWindow(hwnd);
        if (state == nullptr || state->native == nullptr) return;
        {
            const std::lock_guard<std::mutex> hold(TheConnection().lock);
            if (wl_egl_window* egl = Of(*state).egl) wl_egl_window_resize(egl, width, height, 0, 0);
        }
        Configured(hwnd, x, y, width, height);
    });
    if (sent) {
        window.reportedWidth = width;
        window.reportedHeight = height;
    }
}

void Map(Window& window) {
    if (window.viewport != nullptr) {
        wp_viewport_set_destination(window.viewport, window.width, window.height);
    }
    wl_surface_attach(window.surface, TheConnection().filler, 0, 0);
    // damage_buffer is wl_surface 4's; one pixel is the same either way.
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(window.surface)) >= 4) {
        wl_surface_damage_buffer(window.surface, 0, 0, 1, 1);
    } else {
        wl_surface_damage(window.surface, 0, 0, 1, 1);
    }
    wl_surface_commit(window.surface);
}

void Teardown(Window& window) {
    Connection& c = TheConnection();
    ForgetFocus(window);
    c.windows.erase(std::remove(c.windows.begin(), c.windows.end(), &window), c.windows.end());
    DestroyRole(window);
    // The core destroyed the EGL surface first; Mesa forgets the window in
    // this call.
    if (window.egl != nullptr) wl_egl_window_destroy(window.egl);
    if (window.subsurface != nullptr) wl_subsurface_destroy(window.subsurface);
    if (window.content != nullptr) wl_surface_destroy(window.content);
    if (window.viewport != nullptr) wp_viewport_destroy(window.viewport);
    if (window.surface != nullptr) wl_surface_destroy(window.surface);
    window.egl = nullptr;
    window.subsurface = nullptr;
    window.content = nullptr;
    window.viewport = nullptr;
    window.surface = nullptr;
}

}  // namespace

Window* WindowOfSurface(wl_surface* surface) {
    if (surface == nullptr) return nullptr;  // a surface destroyed meanwhile
    for (Window* window : TheConnection().windows) {
        if (window->surface == surface || window->content == surface) return window;
    }
    return nullptr;
}

void Configure(Window& window, int width, int height) {
    // A window without WS_THICKFRAME keeps its size, whatever the
    // compositor suggests (it was told min = max); 0 leaves it to us.
    if (!window.fixedSize && width > 0 && height > 0) {
        window.width = width;
        window.height = height;
    }
}

void AfterConfigure(Window& window) {
    Connection& c = TheConnection();
    // Opaque: a config with alpha would otherwise let whatever the program
    // leaves in alpha show through; Weston composes an opaque region
    // without blending. Taken with EGL's next commit of the content.
    wl_region* region = wl_compositor_create_region(c.compositor);
    wl_region_add(region, 0, 0, window.width, window.height);
    wl_surface_set_opaque_region(window.content, region);
    wl_region_destroy(region);
    window.configured = true;
    // The acknowledgement takes effect with a commit of the toplevel; a
    // shown window gets its buffer with it (mapped, with whatever the
    // content last swapped).
    if (window.visible) {
        Map(window);
    } else {
        wl_surface_commit(window.surface);
    }
    Report(window);
}

void CloseRequested(Window& window) {
    // Only the close box and Alt+F4 (the compositor's binding) come here.
    ToOwner(window, [](HWND hwnd) { CloseAsked(hwnd); });
}

std::unique_ptr<NativeWindow> NewWindow(const WindowState& state, bool /*positioned*/) {
    // `positioned` means nothing here: a Wayland client cannot place its
    // windows.
    Connection& c = TheConnection();
    const std::lock_guard<std::mutex> hold(c.lock);
    auto window = std::make_unique<Window>();
    window->id = c.nextId++;
    window->x = state.x;
    window->y = state.y;
    // A surface has at least one pixel; so does an EGL window.
    window->width = window->reportedWidth = std::max(state.clientWidth, 1);
    window->height = window->reportedHeight = std::max(state.clientHeight, 1);
    window->fixedSize = (state.style & WS_THICKFRAME) == 0;
    window->minimizeBox = (state.style & WS_MINIMIZEBOX) != 0;
    window->title = AnsiToUtf8(state.title.c_str());
    window->surface = wl_compositor_create_surface(c.compositor);
    if (c.viewporter != nullptr) {
        window->viewport = wp_viewporter_get_viewport(c.viewporter, window->surface);
    }
    window->content = wl_compositor_create_surface(c.compositor);
    window->subsurface =
        wl_subcompositor_get_subsurface(c.subcompositor, window->content, window->surface);
    // Desynchronised: EGL's commits show at once, not at the toplevel's
    // next commit, which only a configure brings.
    wl_subsurface_set_desync(window->subsurface);
    c.windows.push_back(window.get());
    if (!CreateRole(*window)) {
        Teardown(*window);
        Flush();
        return nullptr;
    }
    Window* created = window.get();
    DispatchUntil([created] { return created->configured; }, kFirstConfigureCeilingMs);
    Flush();
    return window;
}

bool AdoptConfig(WindowState& state, EGLDisplay /*display*/, EGLConfig /*config*/) {
    // Any config draws on any surface here.
    const std::lock_guard<std::mutex> hold(TheConnection().lock);
    Report(Of(state));
    Flush();
    return true;
}

void* EglNativeWindow(WindowState& state) {
    const std::lock_guard<std::mutex> hold(TheConnection().lock);
    Window& window = Of(state);
    Report(window);
    if (window.egl == nullptr) {
        // The size the core knows: a newer one reaches it, and this window,
        // on the owner's thread.
        window.egl =
            wl_egl_window_create(window.content, window.reportedWidth, window.reportedHeight);
    }
    Flush();
    return window.egl;
}

// ShowWindow as Wayland allows it: shown, the toplevel is mapped (at once
// when it is configured, else at its configure) and shows what the content
// last swapped; hidden, it is unmapped and loses its role, which a later
// show makes anew (an unmapped toplevel must be configured again before it
// may show, and its title and limits are forgotten). The buffer goes before
// the role: a role made for a surface that still has one is a protocol
// error, and Weston 10 has crashed on it.
void Show(WindowState& state, bool visible) {
    Connection& c = TheConnection();
    const std::lock_guard<std::mutex> hold(c.lock);
    Window& window = Of(state);
    Report(window);
    if (visible != window.visible) {
        window.visible = visible;
        if (!visible) {
            wl_surface_attach(window.surface, nullptr, 0, 0);
            wl_surface_commit(window.surface);
            DestroyRole(window);
            window.configured = false;
        } else if (window.xdgSurface == nullptr && window.frame == nullptr) {
            CreateRole(window);
        } else if (window.configured) {
            Map(window);
        }
    }
    Flush();
}

void EndWindow(WindowState& state, bool /*gone*/) {
    // A compositor never takes a client's surfaces away: `gone` does not
    // happen here.
    if (state.native == nullptr) return;
    const std::lock_guard<std::mutex> hold(TheConnection().lock);
    Teardown(Of(state));
    Flush();
}

}  // namespace wayland
}  // namespace winsubset
