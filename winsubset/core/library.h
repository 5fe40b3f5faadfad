#pragma once

// Everything the subset remembers, in one place: what the process shares
// (`Library`) and what each thread keeps for itself (`ThreadState`). Who may
// touch which part is written beside it; the contract it serves is the one
// in <windows.h>.
//
// The locks, in the order a thread takes them, never the other way round:
//   1. The driver lock (`Library::driver`, DriverLock in internal.h): every
//      GLX call the subset makes, and every error trap. The OpenGL driver
//      behind GLX holds a lock of its own while it binds and makes Xlib
//      calls under it, and swaps the process's X error handler while it
//      sets a drawable up: taken first, this lock keeps that apart from the
//      traps, which hold the X lock and call GLX themselves. Also held by
//      the window's end, so a swap reaches an X window that still exists.
//   2. The X lock (XLock, internal.h): Xlib's own display lock, which each
//      Xlib call takes for itself and which nests for the thread that holds
//      it. Held across what must not interleave with another thread's
//      requests: an error trap from open to close, reading events off the
//      connection, and the window's end.
//   2'. The Wayland lock (`Connection::lock`, wayland/wayland.h), on a
//      Wayland display instead of the X lock: every request the Wayland
//      backend sends and every dispatch of its events, whose listeners
//      hand them over under it (RunOnOwner takes Library::lock).
//   3. `Library::lock`: the tables and queues, held only while one is read
//      or changed. No Xlib or GLX call is made under it, nor any call into
//      a window system's table (a NativeWindow is destroyed under it, so
//      its destructor takes no lock).
// None is held while a window procedure runs. A message loop takes only the
// X lock, briefly, so it never waits behind another thread's bind or swap.
// A context is marked current before its bind and until after its release,
// and that mark keeps its window from being destroyed (BeginDestruction).

#include <windows.h>

#include <X11/Xlib.h>

#include "core/platform.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace winsubset {

struct Atoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom netWmName;
    Atom utf8String;
};

// A window. `handle`, `dc` and `thread` are fixed when it is created. The
// rest is written only on `thread`, the window's owner (the X events that
// change it are handled there too), which alone destroys the record. Other
// threads read the fields marked "shared" only under Library::lock (see
// WindowSnapshot in internal.h), and the owner writes those under it.
struct WindowState {
    HWND handle = nullptr;
    HDC dc = nullptr;
    ::Window xid = 0;            // shared
    ::Visual* visual = nullptr;  // shared: the X window's visual
    int depth = 0;
    Colormap colormap = 0;  // made for a visual that is not the screen's; 0: none
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
    bool framed = false;  // the X window sits in a window manager's frame
    bool needsPaint = false;
    bool destroying = false;  // shared: no context may be bound to it any more
    int pixelFormat = 0;      // shared; 1-based, 0 while none is set
    std::thread::id thread;
    // The window system's record (Platform::createWindow's).
    std::unique_ptr<NativeWindow> native;
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
// `xEvents` are X events for the thread's windows, read off the connection
// by whichever thread pumped it and handled by this one.
struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<XEvent> xEvents;
    bool quitPosted = false;
    int quitCode = 0;
};

// An OpenGL context. `current`, `holder`, `dc` and `leaving` change under
// Library::lock; the record is taken out of the table under it before it is
// destroyed. While it is current, neither `dc`'s window nor `leaving`'s may
// go.
struct ContextState {
    void* glx = nullptr;  // GLXContext; only the GLX files know the type
    int pixelFormat = 0;
    bool current = false;
    uint64_t holder = 0;    // ThreadState::serial of the thread it is current on
    HDC dc = nullptr;       // what it is bound to, while it is
    HDC leaving = nullptr;  // while it moves to `dc`: what it is still bound to
};

class XErrorTrap;
struct PixelFormatTable;

struct Library {
    // Guards the tables and queues below. Held only while one is read or
    // changed: never across a window procedure, nor while waiting on the X
    // server, so no thread waits on it for long and no procedure can
    // deadlock on it.
    std::mutex lock;
    std::map<HWND, std::unique_ptr<WindowState>> windows;
    std::map<HDC, HWND> deviceContexts;
    std::map<::Window, HWND> xWindows;
    uintptr_t nextHandle = 0x10010;  // never reused: a stale handle stays stale
    int cascade = 0;                 // where the next CW_USEDEFAULT window goes
    // Per process, as application-local classes are in Win32.
    std::map<std::u32string, ClassEntry> classes;
    ATOM nextAtom = 0xC000;  // where Win32's string atoms start
    std::map<std::thread::id, ThreadQueue> queues;
    std::map<HGLRC, std::unique_ptr<ContextState>> contexts;
    uintptr_t nextContext = 0x20010;

    // The X connection, opened once by the first thread that needs it; Xlib
    // makes each call on it safe from any thread, and its display lock is
    // the X lock (above).
    std::once_flag displayOnce;
    std::atomic<::Display*> display{nullptr};  // published once `atoms` is set
    Atoms atoms = {};
    XErrorTrap* innermostTrap = nullptr;  // under the X lock
    std::recursive_mutex driver;          // the driver lock (above); traps nest
    // The display's pixel formats, loaded once; fixed from then on.
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
