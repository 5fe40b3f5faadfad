// The handle tables: which windows, device contexts and X windows exist,
// and which handle stands for which. Every access holds the table lock.

#include <map>
#include <memory>

#include "internal.h"

namespace winx11 {
namespace {

// Handle values are never reused, so a stale handle is always recognised.
uintptr_t g_nextHandle = 0x10010;

std::map<HWND, std::unique_ptr<WindowState>>& Windows() {
    static std::map<HWND, std::unique_ptr<WindowState>> windows;
    return windows;
}
std::map<HDC, HWND>& DeviceContexts() {
    static std::map<HDC, HWND> dcs;
    return dcs;
}
std::map<::Window, HWND>& XWindows() {
    static std::map<::Window, HWND> xids;
    return xids;
}

}  // namespace

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

WindowState* LookupWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Windows().find(hwnd);
    return found == Windows().end() ? nullptr : found->second.get();
}

bool OwnerThread(HWND hwnd, std::thread::id& thread) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Windows().find(hwnd);
    if (found == Windows().end()) {
        return false;
    }
    thread = found->second->thread;
    return true;
}

WindowState* LookupWindowByDC(HDC hdc) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto dc = DeviceContexts().find(hdc);
    if (dc == DeviceContexts().end()) {
        return nullptr;
    }
    return Windows().at(dc->second).get();
}

WindowState* LookupWindowByXid(::Window xid) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = XWindows().find(xid);
    return found == XWindows().end() ? nullptr : Windows().at(found->second).get();
}

HWND FindWindowNeedingPaint(HWND filter) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto self = std::this_thread::get_id();
    for (const auto& entry : Windows()) {
        const WindowState& window = *entry.second;
        if (window.needsPaint && window.thread == self &&
            (filter == nullptr || filter == window.handle)) {
            return window.handle;
        }
    }
    return nullptr;
}

HWND AddWindow(std::unique_ptr<WindowState> window) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const HWND hwnd = reinterpret_cast<HWND>(g_nextHandle);
    window->handle = hwnd;
    window->dc = reinterpret_cast<HDC>(g_nextHandle + 2);
    g_nextHandle += 4;
    DeviceContexts()[window->dc] = hwnd;
    XWindows()[window->xid] = hwnd;
    Windows()[hwnd] = std::move(window);
    return hwnd;
}

void ReplaceXWindow(WindowState& window, ::Window xid, ::Visual* visual, int depth) {
    std::lock_guard<std::mutex> lock(TableMutex());
    XWindows().erase(window.xid);
    XWindows()[xid] = window.handle;
    window.xid = xid;
    window.visual = visual;
    window.depth = depth;
}

void RemoveWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto found = Windows().find(hwnd);
    if (found == Windows().end()) return;
    XWindows().erase(found->second->xid);
    DeviceContexts().erase(found->second->dc);
    Windows().erase(found);
}

}  // namespace winx11
