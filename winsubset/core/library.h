#pragma once

// Everything the subset remembers, in one place: what the process shares
// (`Library`) and what each thread keeps for itself (`ThreadState`). Who may
// touch which part is written beside it; the contract it serves is the one
// in <windows.h>.
//
// The locks, in the order a thread takes them, never the other way round:
//   1. The driver lock (`Library::driver`, DriverLock in internal.h): every
//      EGL call the subset makes, and every X error trap. The OpenGL driver
//      holds locks of its own while it binds and swaps and talks to the
//      window system under them: taken first, this lock keeps that apart
//      from the subset's own requests, which hold the window system's lock
//      and may call EGL. Also held by the window's end, so a swap reaches a
//      native window that still exists.
//   2. The window system's lock, one of:
//      - on X11, Xlib's own display lock (XLock in x11/x11.h), which each
//        Xlib call takes for itself and which nests for the thread that
//        holds it; held across what must not interleave with another
//        thread's requests (an error trap from open to close, reading
//        events, the window's end);
//      - on Wayland, the backend's (`Connection::lock`, wayland/wayland.h):
//        every request the backend sends and every dispatch of its events,
//        whose listeners hand them over under it (RunOnOwner takes
//        Library::lock).
//   3. `Library::lock`: the tables and queues, held only while one is read
//      or changed. No window-system or EGL call is made under it, nor any
//      call into a window system's table.
// None is held while a window procedure runs. A message loop takes only the
// window system's lock, briefly, so it never waits behind another thread's
// bind or swap. A context is marked current before its bind and until after
// its release, and that mark keeps its window from being destroyed
// (BeginDestruction).

#include <windows.h>

#include <EGL/egl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/platform.h"

namespace winsubset {

// A window. `handle`, `dc` and `thread` are fixed when it is created. The
// rest is written only on `thread`, the window's owner (the X events that
// change it are handled there too), which alone destroys the record. Other
// threads read the fields marked "shared" only under Library::lock (see
// WindowSnapshot in internal.h), and the owner writes those under it.
struct WindowState {
    HWND handle = nullptr;
    HDC dc = nullptr;
    // The window system's record of it (an X window, a Wayland surface).
    std::unique_ptr<NativeWindow> native;
    uintptr_t nativeId = 0;               // shared: the window system's name for it, if any
    int nativeVisual = 0;                 // shared: EGL_NATIVE_VISUAL_ID its configs need; 0: any
    EGLSurface surface = EGL_NO_SURFACE;  // shared: made with its pixel format
    WNDPROC proc = nullptr;
    UINT classStyle = 0;
    DWORD style = 0;
    std::string title;      // as given, code page 932
    std::string className;  // as registered
    int x = 0;
    int y = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    bool visible = false;
    bool needsPaint = false;
    bool destroying = false;  // shared: no context may be bound to it any more
    int pixelFormat = 0;      // shared; 1-based, 0 while none is set
    std::thread::id thread;
};

struct ClassInfo {
    WNDPROC proc;
    UINT style;
    std::string name;  // as registered
};

struct ClassEntry {
    ATOM atom;
    ClassInfo info;
};

// A thread's message queue. Posted messages come before window-system
// input, then WM_QUIT, then WM_PAINT: the order Win32 retrieves them in.
// `events` are what the window system reported of the thread's windows,
// read by whichever thread pumped it and handled by this one (RunOnOwner).
struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::function<void()>> events;
    bool quitPosted = false;
    int quitCode = 0;
};

// An OpenGL context. `current`, `holder`, `dc` and `leaving` change under
// Library::lock; the record is taken out of the table under it before it is
// destroyed. While it is current, neither `dc`'s window nor `leaving`'s may
// go.
struct ContextState {
    EGLContext egl = EGL_NO_CONTEXT;
    int pixelFormat = 0;
    bool current = false;
    uint64_t holder = 0;    // ThreadState::serial of the thread it is current on
    HDC dc = nullptr;       // what it is bound to, while it is
    HDC leaving = nullptr;  // while it moves to `dc`: what it is still bound to
};

struct PixelFormatTable;
struct Platform;

struct Library {
    // Guards the tables and queues below. Held only while one is read or
    // changed: never across a window procedure, nor while waiting on the X
    // server, so no thread waits on it for long and no procedure can
    // deadlock on it.
    std::mutex lock;
    std::map<HWND, std::unique_ptr<WindowState>> windows;
    std::map<HDC, HWND> deviceContexts;
    std::map<uintptr_t, HWND> nativeIds;  // what the window system names them by
    uintptr_t nextHandle = 0x10010;       // never reused: a stale handle stays stale
    int cascade = 0;                      // where the next CW_USEDEFAULT window goes
    // Per process, as application-local classes are in Win32.
    std::map<std::u32string, ClassEntry> classes;
    ATOM nextAtom = 0xC000;  // where Win32's string atoms start
    std::map<std::thread::id, ThreadQueue> queues;
    std::map<HGLRC, std::unique_ptr<ContextState>> contexts;
    uintptr_t nextContext = 0x20010;

    // The window system, chosen and connected once by the first thread
    // that needs it; nullptr when there is none.
    std::once_flag platformOnce;
    std::atomic<const Platform*> platform{nullptr};
    std::recursive_mutex driver;  // the driver lock (above); nests
    // EGL's display, started once; EGL_NO_DISPLAY when EGL cannot start
    // here. Then the pixel formats its configs make, loaded once and fixed
    // from then on.
    std::once_flag eglOnce;
    EGLDisplay egl = EGL_NO_DISPLAY;
    std::once_flag pixelFormatsOnce;
    const PixelFormatTable* pixelFormats = nullptr;
};

uint64_t NextThreadSerial();

// The one instance. Never destroyed: a thread or an exit handler (the
// OpenGL driver's) may still call in while the process ends.
Library& TheLibrary();

// The text of a key press, waiting for TranslateMessage under the key's
// scan code and time.
struct KeyText {
    WORD scan = 0;
    DWORD time = 0;
    std::string utf8;
};

// What Win32 keeps per thread; only its own thread touches it.
struct ThreadState {
    // Names the thread for as long as the process lives: the system reuses
    // thread ids, so a record naming a thread by its id could be taken for
    // a later thread's.
    const uint64_t serial = NextThreadSerial();
    DWORD lastError = ERROR_SUCCESS;
    HGLRC currentContext = nullptr;
    HDC currentDC = nullptr;
    // Calls the subset makes to itself are no calls of the program's: only
    // the outermost is traced.
    int relayDepth = 0;
    std::array<KeyText, 16> keyTexts;
    size_t nextKeyText = 0;
    // Alt went down and no other key since: its release is then a system
    // key (the menu's), not a plain one.
    bool altAlone = false;
};

ThreadState& ThisThread();

}  // namespace winsubset
