#include "internal.h"

#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>

namespace winx11 {
namespace {

::Display* g_display = nullptr;
bool g_openTried = false;
Atoms g_atoms = {};

// The innermost open trap; each links to the one it opened inside.
XErrorTrap* g_innermostTrap = nullptr;

// Errors of requests that no trap checks (a swap on a window another client
// destroyed, say): Xlib's default handler would end the process, and a
// Win32 call reports failure through its result instead, so the error is
// named on stderr and the program goes on.
int ReportUntrappedError(::Display* display, XErrorEvent* event) {
    char text[160] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr,
                 "winx11: X error from an unchecked request: %s (request %u.%u, serial %lu)\n",
                 text, event->request_code, event->minor_code, event->serial);
    return 0;
}

// The connection is gone (the server ended or the network dropped): no
// window of this process can exist any more, and Xlib cannot go on. Xlib
// would print and exit() itself; _exit skips the exit handlers of the
// OpenGL driver, which would talk to the dead connection again.
int ConnectionLost(::Display* /*display*/) {
    static const char message[] = "winx11: the X server connection was lost\n";
    if (write(STDERR_FILENO, message, sizeof message - 1) < 0) {
        // Nothing left to report to.
    }
    _exit(1);
}

}  // namespace

::Display* DisplayIfOpen() {
    return g_display;
}

::Display* GetDisplay() {
    if (g_display == nullptr && !g_openTried) {
        g_openTried = true;
        g_display = XOpenDisplay(nullptr);
        if (g_display != nullptr) {
            XSetErrorHandler(ReportUntrappedError);
            XSetIOErrorHandler(ConnectionLost);
            // One round trip for all of them, not one each.
            char wmProtocols[] = "WM_PROTOCOLS";
            char wmDeleteWindow[] = "WM_DELETE_WINDOW";
            char netWmName[] = "_NET_WM_NAME";
            char utf8String[] = "UTF8_STRING";
            char* names[] = {wmProtocols, wmDeleteWindow, netWmName, utf8String};
            Atom atoms[4] = {};
            XInternAtoms(g_display, names, 4, False, atoms);
            g_atoms = {atoms[0], atoms[1], atoms[2], atoms[3]};
        }
    }
    return g_display;
}

const Atoms& GetAtoms() {
    return g_atoms;
}

XErrorTrap::XErrorTrap(::Display* display)
    : display(display),
      firstSerial(NextRequest(display)),
      previous(XSetErrorHandler(Handle)),
      outer(g_innermostTrap) {
    g_innermostTrap = this;
}

XErrorTrap::~XErrorTrap() {
    Finish();
}

int XErrorTrap::Finish() {
    if (!finished) {
        finished = true;
        // Every request sent since the trap opened has been answered after
        // this, so each of their errors has reached Handle.
        XSync(display, False);
        g_innermostTrap = outer;
        XSetErrorHandler(previous);
    }
    return error;
}

int XErrorTrap::Handle(::Display* display, XErrorEvent* event) {
    // The innermost trap whose requests include the failed one takes it; an
    // error of an earlier request, or of another connection, goes to the
    // handler that was there before the outermost trap opened.
    XErrorTrap* outermost = nullptr;
    for (XErrorTrap* trap = g_innermostTrap; trap != nullptr; trap = trap->outer) {
        if (trap->display == display && event->serial >= trap->firstSerial) {
            if (trap->error == Success) trap->error = event->error_code;
            return 0;
        }
        outermost = trap;
    }
    const XErrorHandler before = outermost != nullptr ? outermost->previous : nullptr;
    return before != nullptr ? before(display, event) : 0;
}

}  // namespace winx11
