#pragma once

// The winsubset library's internal interface: the state behind the handles and
// the pieces each source file provides to the others. Nothing outside
// winsubset includes this.

#include <windows.h>

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "library.h"

namespace winsubset {

// --- display.cpp: the one X connection and its error trap ---------------

// Opens the connection on first need; nullptr when there is no display.
::Display* GetDisplay();
// The display if it is already open, without trying to open it.
::Display* DisplayIfOpen();

const Atoms& GetAtoms();

// The X lock (see library.h): Xlib's display lock for as long as it lives.
// Nothing to hold while there is no connection.
class XLock {
public:
    explicit XLock(::Display* display) : display_(display) {
        if (display_ != nullptr) XLockDisplay(display_);
    }
    ~XLock() {
        if (display_ != nullptr) XUnlockDisplay(display_);
    }
    XLock(const XLock&) = delete;
    XLock& operator=(const XLock&) = delete;

private:
    ::Display* display_;
};

// The driver lock (see library.h), for as long as it lives.
class DriverLock {
public:
    DriverLock() : hold_(TheLibrary().driver) {}

private:
    std::lock_guard<std::recursive_mutex> hold_;
};

// Collects the X errors of the requests sent on `display` between
// construction and Finish(), and only those: it holds the driver lock and
// the X lock for that span, its handler is installed for it alone, errors
// are matched to it by request serial, and errors of earlier requests or
// other connections go where they went before. Traps nest. Errors of
// requests sent outside any trap are named on stderr and otherwise ignored
// (but for any read while the OpenGL driver has its own handler in place,
// as it does for a moment when it first binds a window on another thread).
class XErrorTrap {
public:
    explicit XErrorTrap(::Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server to process what was sent; the first error code
    // raised by the trap's requests, or 0 (Success).
    int Finish();

private:
    static int Handle(::Display* display, XErrorEvent* event);

    std::unique_lock<std::recursive_mutex> driver;
    ::Display* display;
    unsigned long firstSerial = 0;
    XErrorHandler previous = nullptr;
    XErrorTrap* outer = nullptr;
    int error = Success;
    bool finished = false;
};

// --- relay.cpp: the call trace and injected failures -----------------------

// Opened at the top of every exported function: writes the call to the
// WINSUBSET_TRACE file when it is the program's (not the subset calling
// itself), and tells whether WINSUBSET_FAIL asks the function to fail. With
// neither asked for it costs a counter and two tests, and allocates nothing.
class Relay {
public:
    explicit Relay(const char* name);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;
    // True when the call is to be written: the program's, with a trace
    // asked for. The arguments are formatted only then.
    bool Traced() const;
    // Writes "NAME(ARGUMENTS)".
    void Write(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Writes the call of a function that takes a window message.
    void WriteMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;
    // True when the program called this function and WINSUBSET_FAIL names it.
    bool Fails() const;

private:
    const char* name_;
    bool outermost_;
};
// Held while the subset calls a window procedure: what the procedure calls
// is the program's again.
class CallOut {
public:
    CallOut();
    ~CallOut();
    CallOut(const CallOut&) = delete;
    CallOut& operator=(const CallOut&) = delete;

private:
    int saved_;
};
// The arguments as the trace shows them.
std::string Quoted(const char* text);
std::string Describe(const WNDCLASSEXA* windowClass);
std::string Describe(const PIXELFORMATDESCRIPTOR* descriptor);
std::string Describe(const MSG* msg);
std::string Describe(const RECT* rect);

// --- last_error.cpp ------------------------------------------------------

// Sets the thread's last error and returns `result`, for one-line failures.
template <typename T>
T Fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

// --- code_page.cpp: the ANSI code page (932) ------------------------------

// Converts code page 932 text to UTF-8. Bytes that do not convert become
// U+FFFD each, so nothing is dropped silently.
std::string AnsiToUtf8(const char* text);
// The other way, for WM_CHAR; characters the code page lacks become '?'.
std::string Utf8ToAnsi(const std::string& text);
// The key under which a class name is compared: Win32 compares class names
// case-insensitively as characters, not bytes (a Shift_JIS trail byte may be
// an ASCII letter).
std::u32string ClassNameKey(const char* name);

// --- window_class.cpp -------------------------------------------------------

// Finds a registered class by name (case-insensitive) or by its atom given
// as MAKEINTATOM; false when there is none.
bool LookupClass(LPCSTR name, ClassInfo& info);

// --- window.cpp: USER32's windows -------------------------------------------

struct FrameInsets {
    int left;
    int top;
    int right;
    int bottom;
};
// The non-client frame that AdjustWindowRect adds and CreateWindowExA takes
// away again: one set of metrics for both.
FrameInsets FrameFor(DWORD style, bool menu);
// The destroy sequence: WM_DESTROY, WM_NCDESTROY, then the handle is gone.
// `xWindowGone` when another client already destroyed the X window. False,
// and nothing done, while a context is current on the window's DC on
// another thread (unless the X window is gone already).
bool DestroyWindowState(HWND hwnd, bool xWindowGone);
// The end of a window whose creation was refused: only WM_NCDESTROY is sent.
void ForgetRefusedWindow(HWND hwnd);

// --- window_table.cpp: the handle tables --------------------------------------

// Handle lookups; nullptr for NULL, unknown or destroyed handles. The
// record is the owner's: only the window's own thread may use it, since
// only that thread destroys it.
WindowState* LookupWindow(HWND hwnd);
WindowState* LookupWindowByDC(HDC hdc);
WindowState* LookupWindowByXid(::Window xid);
// What any thread may know of a window through its device context, copied
// under the table lock. False for an unknown DC, or for a window on its way
// out unless `going` is asked for too.
struct WindowSnapshot {
    HWND hwnd = nullptr;
    ::Window xid = 0;
    ::Visual* visual = nullptr;
    int pixelFormat = 0;
    std::thread::id owner;
};
bool DrawableOf(HDC hdc, WindowSnapshot& drawable, bool going = false);
// The same lookup for a caller that holds the table lock and reads what it
// needs before letting go of it.
const WindowState* WindowOfDCLocked(HDC hdc, bool going = false);
// The window's device context, for any thread; nullptr if there is none.
HDC DeviceContextOf(HWND hwnd);
// Sets the pixel format of the window, which other threads read.
void SetWindowPixelFormat(WindowState& window, int format);
// Marks the window as going, so that no thread binds a context to it from
// now on: false, and nothing marked, while a context is current on its DC
// on another thread (`force` marks it anyway: its X window is already gone)
// or when it is going already.
enum class Destruction { Started, AlreadyGoing, Busy };
Destruction BeginDestruction(HWND hwnd, bool force);
// The thread that owns the window behind an X window, for routing its
// events; false for X windows that are no window's (any more).
bool OwnerOfXWindow(::Window xid, std::thread::id& thread);
// The thread that owns `hwnd`, read under the table lock, for calls from
// any thread: the owner may destroy the window at any moment. False for
// unknown or destroyed handles.
bool OwnerThread(HWND hwnd, std::thread::id& thread);
// A window of the calling thread that waits for WM_PAINT and passes the
// PeekMessage filter (NULL: any window); nullptr when none does.
HWND FindWindowNeedingPaint(HWND filter);
// Gives a new window its handle and device context and enters it in the
// tables; handle values are never reused.
HWND AddWindow(std::unique_ptr<WindowState> window);
// Puts another X window (and its colormap) behind `window`.
void ReplaceXWindow(WindowState& window, ::Window xid, ::Visual* visual, int depth,
                    Colormap colormap);
// Takes the window out of the tables; its handles are dead from then on.
void RemoveWindow(HWND hwnd);
// The place of the next CW_USEDEFAULT window in the cascade, counted from 0.
int NextCascade();

// --- x11_window.cpp: the X window behind each window ----------------------------

// An X window for `window`'s client area with `visual`, and the colormap
// made for it when the visual is not the screen's own; 0 if the server
// refused.
::Window CreateXWindow(::Display* display, const WindowState& window, ::Visual* visual, int depth,
                       Colormap& colormap);
// Title, class, size hints and the close protocol, for the window manager.
void DescribeToWindowManager(::Display* display, const WindowState& window,
                             const std::string& className, bool positioned);
// Destroys an X window and the colormap made for it (0: none); an X window
// already gone is no error.
void DestroyXWindow(::Display* display, ::Window xid, Colormap colormap);
// Replaces the X window behind a still-existing HWND (a pixel format that
// needs another visual). False if the X server refused.
bool RecreateXWindow(WindowState& window, ::Visual* visual, int depth);

// --- messages.cpp: the thread's queue -------------------------------------

// Calls the window procedure directly, as Win32's sent messages do.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues window-system input (keys, mouse) for the window's thread; it is
// returned after posted messages.
void PostInput(const WindowState& window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time);
// X events for `thread`'s windows wait in its queue for it to handle them.
void QueueXEvent(std::thread::id thread, const XEvent& event);
// The next X event waiting for the calling thread; false when none is.
bool TakeXEvent(XEvent& event);
// Milliseconds since the library started, for MSG.time.
DWORD TickCount();

// --- x11_events.cpp: X events to messages ----------------------------------

// Reads every X event already available, without waiting, into the queue
// of the thread that owns its window, then handles the calling thread's.
void PumpXEvents(::Display* display);
// The text of the key press with this scan code (extended bit included) and
// time, for TranslateMessage.
bool TakeKeyText(WORD scan, DWORD time, std::string& utf8);

// --- x11_keyboard.cpp: the server's keymap ------------------------------------

// The Win32 key of an X key event under the keymap the server had when it
// sent it, loaded again after the server says it changed; `text`, when
// given, gets the characters it types. vk 0 when the key means nothing.
struct Win32Key;
Win32Key TranslateXKey(const XKeyEvent& event, std::string* text);

// --- pixel_format.cpp -------------------------------------------------------

// The GLX framebuffer configuration behind a 1-based pixel format, or
// nullptr for an index out of range.
struct PixelFormatInfo;
const PixelFormatInfo* LookupPixelFormat(int format);
// Opaque here so that only the two GLX files include GLX.
void* FramebufferConfigOf(const PixelFormatInfo& format);

// --- wgl_context.cpp -------------------------------------------------------

// Called before a window's X window goes away, so no context of the calling
// thread stays bound to a drawable that no longer exists (another thread's
// cannot be: BeginDestruction refuses while one is).
void ReleaseContextsOn(HDC hdc);
// Whether a context is bound to `hdc` on a thread other than the caller's;
// under the table lock, held by the caller.
bool ContextCurrentElsewhereLocked(HDC hdc);

}  // namespace winsubset
