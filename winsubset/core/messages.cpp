#include <unistd.h>

#include <chrono>
#include <deque>
#include <map>

#include "core/internal.h"
#include "core/window_events.h"

namespace winsubset {
namespace {

// Call with the library lock held.
ThreadQueue& QueueOf(std::thread::id thread) {
    return TheLibrary().queues[thread];
}

// A thread's queue ends with the thread, as in Win32: the system reuses
// thread ids, and a new thread must not find an old one's messages. So do
// its windows, as Win32 destroys them: nobody else may destroy them, and a
// later thread with the same id would inherit them. Not the main thread's,
// which ends with the process: its windows go with it, unannounced, as a
// Win32 process's do.
struct QueueLifetime {
    QueueLifetime() = default;
    QueueLifetime(const QueueLifetime&) = delete;
    QueueLifetime& operator=(const QueueLifetime&) = delete;
    ~QueueLifetime() {
        if (gettid() != getpid()) {
            for (const HWND hwnd : WindowsOfThisThread()) DestroyWindowState(hwnd, false);
        }
        Library& library = TheLibrary();
        std::lock_guard<std::mutex> lock(library.lock);
        library.queues.erase(std::this_thread::get_id());
    }
};

// The calling thread's own queue; call with the library lock held.
ThreadQueue& OwnQueue() {
    thread_local QueueLifetime lifetime;
    static_cast<void>(lifetime);
    return QueueOf(std::this_thread::get_id());
}

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(-1);

bool InRange(UINT message, UINT first, UINT last) {
    // Both zero, or a reversed range, take every message.
    if ((first == 0 && last == 0) || first > last) {
        return true;
    }
    return message >= first && message <= last;
}

bool Matches(const MSG& msg, HWND filter, UINT first, UINT last) {
    if (!InRange(msg.message, first, last)) {
        return false;
    }
    if (filter == nullptr) {
        return true;
    }
    if (filter == kThreadMessagesOnly) {
        return msg.hwnd == nullptr;
    }
    return msg.hwnd == filter;
}

bool TakeFrom(std::deque<MSG>& queue, MSG& out, HWND filter, UINT first, UINT last, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (Matches(*it, filter, first, last)) {
            out = *it;
            if (remove) {
                queue.erase(it);
            }
            return true;
        }
    }
    return false;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD time) {
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = time;
    return msg;
}

}  // namespace

DWORD TickCount() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WindowState* window = LookupWindow(hwnd);
    if (window == nullptr) {
        return 0;
    }
    // The procedure runs without the table lock: it may create, destroy or
    // post anything.
    const WNDPROC proc = window->proc;
    const CallOut callOut;
    return proc(hwnd, message, wParam, lParam);
}

void RunOnOwner(std::thread::id thread, std::function<void()> event) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    // A window's owner has had its queue since it made the window; a thread
    // without one has ended, and so have its windows.
    const auto found = library.queues.find(thread);
    if (found != library.queues.end()) found->second.events.push_back(std::move(event));
}

void EnsureOwnQueue() {
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    static_cast<void>(OwnQueue());
}

void RunOwnEvents() {
    for (;;) {
        std::function<void()> event;
        {
            std::lock_guard<std::mutex> lock(TheLibrary().lock);
            std::deque<std::function<void()>>& events = OwnQueue().events;
            if (events.empty()) return;
            event = std::move(events.front());
            events.pop_front();
        }
        // Without the lock: it may send messages to a window procedure.
        event();
    }
}

void PostInput(const WindowState& window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time) {
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    QueueOf(window.thread)
        .input.push_back(MakeMessage(window.handle, message, wParam, lParam, time));
}

}  // namespace winsubset

using namespace winsubset;

extern "C" BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const Relay relay("PostMessageA");
    if (relay.Traced()) relay.WriteMessage(hwnd, message, wParam, lParam);
    std::thread::id thread = std::this_thread::get_id();
    if (hwnd != nullptr && !OwnerThread(hwnd, thread)) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    ThreadQueue& queue = thread == std::this_thread::get_id() ? OwnQueue() : QueueOf(thread);
    queue.posted.push_back(MakeMessage(hwnd, message, wParam, lParam, TickCount()));
    return TRUE;
}

extern "C" LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const Relay relay("SendMessageA");
    if (relay.Traced()) relay.WriteMessage(hwnd, message, wParam, lParam);
    std::thread::id owner;
    if (!OwnerThread(hwnd, owner)) {
        return Fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    // Win32 would hand the message to the owner and wait for its answer;
    // the subset does not, and refuses rather than run the procedure here.
    if (owner != std::this_thread::get_id()) {
        return Fail<LRESULT>(ERROR_ACCESS_DENIED, 0);
    }
    return Send(hwnd, message, wParam, lParam);
}

extern "C" void WINAPI PostQuitMessage(int exitCode) {
    const Relay relay("PostQuitMessage");
    if (relay.Traced()) relay.Write("%d", exitCode);
    // A flag, not a queued message: WM_QUIT is made when nothing else waits.
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    ThreadQueue& queue = OwnQueue();
    queue.quitPosted = true;
    queue.quitCode = exitCode;
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax,
                                    UINT removeMsg) {
    const Relay relay("PeekMessageA");
    if (relay.Traced())
        relay.Write("%p, %p, %u, %u, 0x%X", static_cast<const void*>(msg),
                    static_cast<const void*>(hwnd), filterMin, filterMax, removeMsg);
    if (msg == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (hwnd != nullptr && hwnd != kThreadMessagesOnly && LookupWindow(hwnd) == nullptr) {
        return Fail<BOOL>(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    // Never waits: only events that have already arrived are handled, and
    // of those only this thread's windows' (the others wait in their
    // owners' queues).
    if (const Platform* platform = PlatformIfChosen()) {
        platform->pump();
        RunOwnEvents();
    }
    const bool remove = (removeMsg & PM_REMOVE) != 0;
    {
        std::lock_guard<std::mutex> lock(TheLibrary().lock);
        ThreadQueue& queue = OwnQueue();
        if (TakeFrom(queue.posted, *msg, hwnd, filterMin, filterMax, remove) ||
            TakeFrom(queue.input, *msg, hwnd, filterMin, filterMax, remove)) {
            return TRUE;
        }
        // WM_QUIT passes every filter, window and range alike, as the
        // documentation says and Wine does: a loop that filters can still end.
        if (queue.quitPosted) {
            *msg =
                MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, TickCount());
            if (remove) {
                queue.quitPosted = false;
            }
            return TRUE;
        }
    }
    // WM_PAINT stays until the window is validated (DefWindowProcA does).
    if (hwnd != kThreadMessagesOnly && InRange(WM_PAINT, filterMin, filterMax)) {
        if (HWND dirty = FindWindowNeedingPaint(hwnd)) {
            *msg = MakeMessage(dirty, WM_PAINT, 0, 0, TickCount());
            return TRUE;
        }
    }
    return FALSE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    const Relay relay("DispatchMessageA");
    if (relay.Traced()) relay.Write("%s", Describe(msg).c_str());
    if (msg == nullptr) {
        return Fail<LRESULT>(ERROR_INVALID_PARAMETER, 0);
    }
    if (msg->hwnd == nullptr) {
        return 0;  // a thread message has no procedure to go to
    }
    if (LookupWindow(msg->hwnd) == nullptr) {
        return Fail<LRESULT>(ERROR_INVALID_WINDOW_HANDLE, 0);
    }
    return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

extern "C" BOOL WINAPI TranslateMessage(const MSG* msg) {
    const Relay relay("TranslateMessage");
    if (relay.Traced()) relay.Write("%s", Describe(msg).c_str());
    if (msg == nullptr) {
        return FALSE;
    }
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
        return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    }
    // A system key's text is the window menu's: WM_SYSCHAR.
    const UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    std::string text;
    const auto scan = static_cast<WORD>((msg->lParam >> 16) & 0x1FF);
    if (TakeKeyText(scan, msg->time, text)) {
        // An ANSI window gets one WM_CHAR per byte of the code page's
        // encoding, as Win32 sends double-byte characters.
        const std::string ansi = Utf8ToAnsi(text);
        std::lock_guard<std::mutex> lock(TheLibrary().lock);
        for (const char byte : ansi) {
            OwnQueue().posted.push_back(MakeMessage(
                msg->hwnd, charMessage, static_cast<unsigned char>(byte), msg->lParam, msg->time));
        }
    }
    return TRUE;
}
