#pragma once

// Another X client, as a window manager or a screenshot tool is to the
// program: it finds top-level windows by title, reads their names and
// sends them what a close box or a keyboard sends. Used by the run
// command's tool and by the tests.

#include <X11/Xlib.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The program's window title, "OpenGLテスト", in UTF-8: what _NET_WM_NAME
// carries and what a user sees.
inline constexpr char kProgramTitleUtf8[] = "OpenGL\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";

class X11Client {
public:
    // Connects to `display`, or to $DISPLAY when it is null.
    explicit X11Client(const char* display = nullptr);
    ~X11Client();
    X11Client(const X11Client&) = delete;
    X11Client& operator=(const X11Client&) = delete;

    ::Display* display() const { return display_; }

    // The newest client window whose _NET_WM_NAME is `utf8Title` (and that
    // is mapped and viewable, when asked): a top-level one, or one a window
    // manager framed; 0 if none.
    ::Window FindByTitle(const std::string& utf8Title, bool viewableOnly = false) const;
    // A property of 8-bit items (UTF8_STRING, STRING), raw; "" if absent.
    std::string Utf8Property(::Window window, const char* name) const;
    // A property of 32-bit items (CARDINAL, WM_STATE, ...); empty if absent.
    std::vector<long> LongsProperty(::Window window, const char* name) const;
    // WM_NAME decoded to UTF-8 from whatever type it has (STRING,
    // COMPOUND_TEXT, UTF8_STRING), as a window manager reads it; "" if absent.
    std::string WmName(::Window window) const;
    // The window's contents as the server holds them now, with its size;
    // null while it cannot be read (not viewable yet, or gone). The caller
    // owns the image (XDestroyImage).
    XImage* GetImage(::Window window, int* width, int* height) const;
    // What a window manager's close box sends.
    void SendDeleteWindow(::Window window) const;
    // A key press as the server would deliver it, stamped `time`.
    void SendKeyPress(::Window window, unsigned keycode, Time time) const;

private:
    ::Window FindBelow(::Window window, const std::string& utf8Title, bool viewableOnly,
                       int depth) const;

    ::Display* display_;
};

// A window's id as wmctrl and xdotool take it ("0x...").
inline std::string WindowIdText(::Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// The ceiling of a wait for something that is bound to happen (a window, a
// frame, an exit): it is there only so that a hang ends as a failure, never
// to judge speed on a loaded machine.
inline constexpr double kHangCeilingSeconds = 60;

// Polls `done` every 20 ms until it holds or `seconds` pass; its last answer.
bool WaitUntil(double seconds, const std::function<bool()>& done);
