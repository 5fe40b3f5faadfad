#pragma once

// The winsubset library's internal interface: the state behind the handles and
// the pieces each source file provides to the others. Nothing outside
// winsubset includes this.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/platform.h"

namespace winsubset {

// The driver lock (see library.h), for as long as it lives.
class DriverLock {
public:
    DriverLock() : hold_(TheLibrary().driver) {}

private:
    std::lock_guard<std::recursive_mutex> hold_;
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
// What any thread may know of a window through its device context, copied
// under the table lock. False for an unknown DC, or for a window on its way
// out unless `going` is asked for too.
struct WindowSnapshot {
    HWND hwnd = nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    int nativeVisual = 0;
    int pixelFormat = 0;
    std::thread::id owner;
};
bool DrawableOf(HDC hdc, WindowSnapshot& drawable, bool going = false);
// The same lookup for a caller that holds the table lock and reads what it
// needs before letting go of it.
const WindowState* WindowOfDCLocked(HDC hdc, bool going = false);
// The window's device context, for any thread; nullptr if there is none.
HDC DeviceContextOf(HWND hwnd);
// Sets the pixel format of the window and the surface made for it, which
// other threads read.
void SetWindowPixelFormat(WindowState& window, int format, EGLSurface surface);
// The surface is going: no thread finds it from now on.
EGLSurface TakeWindowSurface(WindowState& window);
// Marks the window as going, so that no thread binds a context to it from
// now on: false, and nothing marked, while a context is current on its DC
// on another thread (`force` marks it anyway: its X window is already gone)
// or when it is going already.
enum class Destruction { Started, AlreadyGoing, Busy };
Destruction BeginDestruction(HWND hwnd, bool force);
// The window the window system names `id`, and its owner, for routing its
// events; false for ids that are no window's (any more).
bool WindowOfNativeId(uintptr_t id, HWND& hwnd, std::thread::id& thread);
// Names the window by the window system's `id` from now on (0: by none),
// and tells what it shows (`nativeVisual`).
void SetNativeId(WindowState& window, uintptr_t id, int nativeVisual);
// The thread that owns `hwnd`, read under the table lock, for calls from
// any thread: the owner may destroy the window at any moment. False for
// unknown or destroyed handles.
bool OwnerThread(HWND hwnd, std::thread::id& thread);
// The calling thread's windows.
std::vector<HWND> WindowsOfThisThread();
// A window of the calling thread that waits for WM_PAINT and passes the
// PeekMessage filter (NULL: any window); nullptr when none does.
HWND FindWindowNeedingPaint(HWND filter);
// Gives a new window its handle and device context and enters it in the
// tables; handle values are never reused.
HWND AddWindow(std::unique_ptr<WindowState> window);
// Takes the window out of the tables; its handles are dead from then on,
// and the record is the caller's (nullptr if there was none).
std::unique_ptr<WindowState> RemoveWindow(HWND hwnd);
// The place of the next CW_USEDEFAULT window in the cascade, counted from 0.
int NextCascade();

// --- messages.cpp: the thread's queue -------------------------------------

// Calls the window procedure directly, as Win32's sent messages do.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues window-system input (keys, mouse) for the window's thread; it is
// returned after posted messages.
void PostInput(const WindowState& window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time);
// Runs what the window system reported for the calling thread's windows.
void RunOwnEvents();
// Gives the calling thread its queue, which lives until the thread ends and
// then destroys the thread's windows.
void EnsureOwnQueue();
// Milliseconds since the library started, for MSG.time.
DWORD TickCount();

// --- window_events.cpp ------------------------------------------------------

// The text of the key press with this scan code (extended bit included) and
// time, for TranslateMessage.
bool TakeKeyText(WORD scan, DWORD time, std::string& utf8);

// --- egl/: pixel formats and contexts ---------------------------------------

// EGL's display for the window system in use, initialised on first need;
// EGL_NO_DISPLAY when there is none or EGL cannot start on it.
EGLDisplay GetEglDisplay();
// The EGL config behind a 1-based pixel format, or nullptr for an index
// out of range.
EGLConfig ConfigOfPixelFormat(int format);
// Destroys a window's surface, once no thread has it current.
void DestroySurface(EGLSurface surface);

// --- wgl_context.cpp -------------------------------------------------------

// Called before a window's X window goes away, so no context of the calling
// thread stays bound to a drawable that no longer exists (another thread's
// cannot be: BeginDestruction refuses while one is).
void ReleaseContextsOn(HDC hdc);
// Whether a context is bound to `hdc` on a thread other than the caller's;
// under the table lock, held by the caller.
bool ContextCurrentElsewhereLocked(HDC hdc);

}  // namespace winsubset
