#pragma once

// The Wayland backend's own state: the connection, the globals it binds,
// the seat, and the record behind each window. Nothing outside wayland/
// includes this.
//
// One lock, `Connection::lock` (the Wayland lock in library.h's order:
// after the driver lock, before Library::lock), guards all of it, and is
// held around every request the backend sends and every dispatch of the
// default queue. Listeners therefore run under it, on whichever thread
// pumped; they never call into the core directly (only the owner's thread
// may) but hand each event over with RunOnOwner, which takes
// Library::lock, as the lookup of the window by its id does.

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/internal.h"
#include "core/platform.h"
#include "core/window_events.h"

struct libdecor;
struct libdecor_frame;
struct wl_egl_window;
struct wp_viewport;
struct wp_viewporter;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_decoration_manager_v1;
struct zxdg_toplevel_decoration_v1;

namespace winsubset {
namespace wayland {

// Events find the Win32 window through NativeWindow::id, a serial never
// reused, which the core enters with the window once createWindow returns.
struct Window : NativeWindow {
    // Wayland never tells a client where its window is, nor lets it choose:
    // the place it was created with stays its place for good.
    int x = 0;
    int y = 0;
    // The client size: the one asked for, then the compositor's.
    int width = 0;
    int height = 0;
    // The size the core last heard of; another one is reported on the
    // owner's thread (wl_egl_window_resize included), once the core knows
    // the window.
    int reportedWidth = 0;
    int reportedHeight = 0;
    bool fixedSize = false;
    bool minimizeBox = false;
    std::string title;  // UTF-8
    // `surface` is the toplevel, given a one-pixel buffer while shown,
    // which `viewport` stretches to the client size: Weston places a new
    // window by its surface's size, and a one-pixel one went anywhere,
    // half off the screen.
    // `content` is a desynchronised subsurface covering it, which EGL draws
    // on. Swaps then never touch the toplevel's role: a swap while hidden,
    // or before the compositor has configured the toplevel (a protocol
    // error on the toplevel itself), goes to a surface that is simply not
    // on screen.
    wl_surface* surface = nullptr;
    wp_viewport* viewport = nullptr;  // none without wp_viewporter
    wl_surface* content = nullptr;
    wl_subsurface* subsurface = nullptr;
    wl_egl_window* egl = nullptr;  // owner's thread only
    // The role: xdg-shell directly when the compositor decorates
    // (xdg-decoration), else a libdecor frame, which owns the xdg objects.
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    zxdg_toplevel_decoration_v1* decoration = nullptr;
    libdecor_frame* frame = nullptr;
    // xdg_toplevel.configure's size, applied at xdg_surface.configure.
    int pendingWidth = 0;
    int pendingHeight = 0;
    bool configured = false;  // the role has had its first configure
    bool visible = false;     // as ShowWindow last asked
    bool active = false;      // the compositor's word in the last configure
};

struct Output {
    wl_output* output = nullptr;
    uint32_t name = 0;
    int width = 0;  // the current mode, in the output's own orientation
    int height = 0;
    int scale = 1;
    bool rotated = false;
};

struct Seat {
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    Window* pointerWindow = nullptr;
    Window* keyboardWindow = nullptr;
    // The keyboard is on a surface of this client that no window names: a
    // part of a libdecor frame, whose window is the active one.
    bool keyboardOnFrame = false;
    int pointerX = 0;
    int pointerY = 0;
    bool left = false;
    bool middle = false;
    bool right = false;
    int axisDiscrete = 0;      // this frame's wheel notches, when told
    double axisRemainder = 0;  // wheel motion short of a notch
    // Key repeat, which the client does itself: the key held, when it next
    // repeats, and the compositor's rate (per second) and delay (ms).
    uint32_t repeatKey = 0;
    uint32_t repeatTime = 0;  // the key's own press time, advanced per repeat
    int64_t repeatDue = 0;    // steady-clock ms
    int repeatRate = 25;
    int repeatDelay = 600;
};

struct Connection {
    std::mutex lock;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;
    wp_viewporter* viewporter = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zxdg_decoration_manager_v1* decorationManager = nullptr;
    libdecor* decor = nullptr;
    bool decorFailed = false;
    wl_buffer* filler = nullptr;  // the toplevels' one-pixel buffer
    uintptr_t nextId = 1;
    std::vector<Output> outputs;
    std::vector<Window*> windows;
    Seat seat;
};

// The one connection; valid once connect succeeded, never destroyed.
Connection& TheConnection();

// The window whose toplevel or content surface this is; nullptr for
// surfaces of others (libdecor's decorations) or gone ones.
Window* WindowOfSurface(wl_surface* surface);

// Runs `event` on `window`'s owner with its handle; false when the core
// has not entered the window (yet) or has forgotten it. The event finds the
// window gone when the owner destroyed it meanwhile.
template <typename Event>
bool ToOwner(const Window& window, Event event) {
    HWND hwnd = nullptr;
    std::thread::id owner;
    if (!WindowOfNativeId(window.id, hwnd, owner)) return false;
    RunOnOwner(owner, [hwnd, event]() { event(hwnd); });
    return true;
}

// wayland_display.cpp: ends the process when the compositor is gone.
[[noreturn]] void ConnectionLost();
// Reads and dispatches what the compositor sent, waiting up to
// `timeoutMs` for it (0: not at all); under the lock. Ends the process
// when the connection is lost.
void ReadAndDispatch(int timeoutMs);
// Sends what is queued; under the lock.
void Flush();
// Waits, dispatching, until `done` or `ceilingMs` passed; under the lock.
// The lock stays held: another thread's pump waits (the ceilings are a
// start-up's and a window's first configure).
bool DispatchUntil(const std::function<bool()>& done, int ceilingMs);

// wayland_seat.cpp
void BindSeat(uint32_t name, uint32_t version);
// Forgets `window` as the pointer's or keyboard's focus (it is going).
void ForgetFocus(Window& window);
// Sends the held key's repeats that are due; under the lock.
void RepeatKeys();
// A configure told `window` whether it is active (window.active).
void ActiveChanged(Window& window);

// wayland_window.cpp: the table's window functions.
std::unique_ptr<NativeWindow> NewWindow(const WindowState& state, bool positioned);
bool AdoptConfig(WindowState& state, EGLDisplay display, EGLConfig config);
void* EglNativeWindow(WindowState& state);
void Show(WindowState& state, bool visible);
void EndWindow(WindowState& state, bool gone);

// wayland_shell.cpp: the toplevel role and its decorations.
// Gives `window.surface` its role, title, app_id and size limits, and
// commits it; the configure that follows calls Configure().
bool CreateRole(Window& window);
void DestroyRole(Window& window);

// wayland_window.cpp, for the role's listeners: the size the compositor
// suggests (0: the client's choice), before the configure is acknowledged;
// then what follows the acknowledgement.
void Configure(Window& window, int width, int height);
void AfterConfigure(Window& window);
// The close box, or the compositor's own way of asking (Alt+F4).
void CloseRequested(Window& window);

}  // namespace wayland
}  // namespace winsubset
