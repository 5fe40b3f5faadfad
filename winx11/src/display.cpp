#include "internal.h"

#include <X11/Xutil.h>
#include <unistd.h>

namespace winx11 {
namespace {

::Display* g_display = nullptr;
bool g_openTried = false;
Atoms g_atoms = {};

int g_trapDepth = 0;
int g_trappedError = Success;

// Xlib's default handler prints and ends the process; Win32 functions report
// failure through their results instead. Errors outside a trap come from
// requests whose outcome nobody checks (e.g. a window another client
// destroyed) and are dropped on purpose.
int RecordError(::Display* /*display*/, XErrorEvent* event) {
    if (g_trapDepth > 0 && g_trappedError == Success) {
        g_trappedError = event->error_code;
    }
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
            XSetErrorHandler(RecordError);
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

XErrorTrap::XErrorTrap(::Display* display) : display(display) {
    if (g_trapDepth++ == 0) {
        g_trappedError = Success;
    }
}

XErrorTrap::~XErrorTrap() {
    if (!finished) {
        Finish();
    }
}

int XErrorTrap::Finish() {
    if (!finished) {
        finished = true;
        XSync(display, False);
        --g_trapDepth;
    }
    return g_trappedError;
}

}  // namespace winx11
