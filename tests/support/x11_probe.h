#pragma once

// A second X connection, as another client (a window manager, a screenshot
// tool) would have: it finds our windows by title and acts on them.

#include <X11/Xlib.h>

#include <string>

// Makes X errors of this process harmless: a window may vanish between
// finding it and asking about it (its program ended), which is an answer
// for the test, not a reason for Xlib to end the process.
void IgnoreXErrors();

class X11Probe {
public:
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    ::Display* display() const { return display_; }
    // The topmost top-level window whose _NET_WM_NAME is `utf8Title`; 0 if
    // none.
    ::Window FindByTitle(const std::string& utf8Title) const;
    // A UTF8_STRING property of `window`, or "" if it has none.
    std::string Utf8Property(::Window window, const char* name) const;
    // What a window manager's close box sends.
    void SendDeleteWindow(::Window window) const;

private:
    ::Display* display_;
};
