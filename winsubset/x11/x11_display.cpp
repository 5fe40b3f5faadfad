#include "x11/x11.h"

#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <thread>

namespace winsubset {
namespace {

// The X connection, opened once; Xlib makes each call on it safe from any
// thread, and its display lock is the X lock (core/library.h).
struct Connection {
    std::once_flag once;
    std::atomic<::Display*> display{nullptr};  // published once `atoms` is set
    Atoms atoms = {};
    XErrorTrap* innermostTrap = nullptr;  // under the X lock
};

Connection& TheConnection() {
    // Never destroyed, as the library is not.
    static Connection* const connection = new Connection;
    return *connection;
}

// Errors of requests that no trap checks (a swap on a window another client
// destroyed, say): Xlib's default handler would end the process, and a
// Win32 call reports failure through its result instead, so the error is
// named on stderr and the program goes on.
int ReportUntrappedError(::Display* display, XErrorEvent* event) {
    char text[160] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr,
                 "winsubset: X error from an unchecked request: %s (request %u.%u, serial %lu)\n",
                 text, event->request_code, event->minor_code, event->serial);
    return 0;
}

// The connection is gone (the server ended or the network dropped): no
// window of this process can exist any more, and Xlib cannot go on. Xlib
// would print and exit() itself; _exit skips the exit handlers of the
// OpenGL driver, which would talk to the dead connection again.
int ConnectionLost(::Display* /*display*/) {
    static const char message[] = "winsubset: the X server connection was lost\n";
    if (write(STDERR_FILENO, message, sizeof message - 1) < 0) {
        // Nothing left to report to.
    }
    _exit(1);
}

// Xlib hears of a lost connection only when it next reads, and the OpenGL
// driver may never let it: Mesa's EGL puts a frame's image in pieces sized
// by the server's request limit, which reads as 0 once the connection has
// failed, and then loops for ever inside SwapBuffers. A thread of its own
// waits for the hang-up instead (asking for no data, it takes none of
// Xlib's) and ends the process as Xlib's handler would.
void WatchForHangUp(int fd) {
    std::thread([fd] {
        pollfd watched = {fd, POLLRDHUP, 0};
        for (;;) {
            const int ready = poll(&watched, 1, -1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0 || (watched.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0) break;
        }
        ConnectionLost(nullptr);
    }).detach();
}

}  // namespace

::Display* DisplayIfOpen() {
    // Never opens, so it never waits on a thread that is opening.
    return TheConnection().display.load(std::memory_order_acquire);
}

::Display* GetDisplay() {
    Connection& connection = TheConnection();
    std::call_once(connection.once, [&] {
        // Before any connection: Xlib then locks each call, and the
        // subset's threads share this one.
        XInitThreads();
        ::Display* display = XOpenDisplay(nullptr);
        if (display == nullptr) return;
        XSetErrorHandler(ReportUntrappedError);
        XSetIOErrorHandler(ConnectionLost);
        WatchForHangUp(ConnectionNumber(display));
        // libxcb writes without MSG_NOSIGNAL: a request written after the
        // server went would end the process by SIGPIPE (status 141) before
        // anything could say the connection was lost. Ignored, unless the
        // program chose a disposition of its own, the write fails instead.
        struct sigaction current = {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            signal(SIGPIPE, SIG_IGN);
        }
        // One round trip for all of them, not one each.
        char wmProtocols[] = "WM_PROTOCOLS";
        char wmDeleteWindow[] = "WM_DELETE_WINDOW";
        char netWmName[] = "_NET_WM_NAME";
        char utf8String[] = "UTF8_STRING";
        char* names[] = {wmProtocols, wmDeleteWindow, netWmName, utf8String};
        Atom atoms[4] = {};
        XInternAtoms(display, names, 4, False, atoms);
        connection.atoms = {atoms[0], atoms[1], atoms[2], atoms[3]};
        connection.display.store(display, std::memory_order_release);
    });
    return DisplayIfOpen();
}

const Atoms& GetAtoms() {
    // Written once, before the display is published.
    return TheConnection().atoms;
}

// A trap holds the X lock from open to close, as Wine's X11 driver does
// (and the driver lock before it, so that no EGL call of another thread
// swaps the error handler or waits on Xlib inside the driver's own lock):
// no other thread sends a request on the connection meanwhile, the subset's
// nor the OpenGL driver's drawing on another thread, so the requests after
// `firstSerial` are the trap's own, and replies and errors are read, and the
// handler run, only on the thread that holds the trap chain. (The lock nests
// for the thread that holds it, so the trap's own calls go through.)
XErrorTrap::XErrorTrap(::Display* display) : driver(TheLibrary().driver), display(display) {
    XLockDisplay(display);
    firstSerial = NextRequest(display);
    previous = XSetErrorHandler(Handle);
    outer = TheConnection().innermostTrap;
    TheConnection().innermostTrap = this;
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
        TheConnection().innermostTrap = outer;
        XSetErrorHandler(previous);
        XUnlockDisplay(display);
        driver.unlock();
    }
    return error;
}

int XErrorTrap::Handle(::Display* display, XErrorEvent* event) {
    // The innermost trap whose requests include the failed one takes it; an
    // error of an earlier request, or of another connection, goes to the
    // handler that was there before the outermost trap opened.
    XErrorTrap* outermost = nullptr;
    for (XErrorTrap* trap = TheConnection().innermostTrap; trap != nullptr; trap = trap->outer) {
        if (trap->display == display && event->serial >= trap->firstSerial) {
            if (trap->error == Success) trap->error = event->error_code;
            return 0;
        }
        outermost = trap;
    }
    const XErrorHandler before = outermost != nullptr ? outermost->previous : nullptr;
    return before != nullptr ? before(display, event) : 0;
}

}  // namespace winsubset
