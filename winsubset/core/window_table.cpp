// The handle tables: which windows, device contexts and native windows exist,
// and which handle stands for which. Every access holds the library lock.

#include <map>
#include <memory>

#include "core/internal.h"

namespace winsubset {

WindowState* LookupWindow(HWND hwnd) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.windows.find(hwnd);
    return found == library.windows.end() ? nullptr : found->second.get();
}

bool OwnerThread(HWND hwnd, std::thread::id& thread) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.windows.find(hwnd);
    if (found == library.windows.end()) {
        return false;
    }
    thread = found->second->thread;
    return true;
}

WindowState* LookupWindowByDC(HDC hdc) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto dc = library.deviceContexts.find(hdc);
    if (dc == library.deviceContexts.end()) {
        return nullptr;
    }
    return library.windows.at(dc->second).get();
}

const WindowState* WindowOfDCLocked(HDC hdc, bool going) {
    Library& library = TheLibrary();
    const auto dc = library.deviceContexts.find(hdc);
    if (dc == library.deviceContexts.end()) return nullptr;
    const WindowState* window = library.windows.at(dc->second).get();
    return window->destroying && !going ? nullptr : window;
}

bool DrawableOf(HDC hdc, WindowSnapshot& drawable, bool going) {
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    const WindowState* window = WindowOfDCLocked(hdc, going);
    if (window == nullptr) return false;
    drawable = {window->handle, window->surface, window->nativeVisual, window->pixelFormat,
                window->thread};
    return true;
}

HDC DeviceContextOf(HWND hwnd) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.windows.find(hwnd);
    return found == library.windows.end() ? nullptr : found->second->dc;
}

void SetWindowPixelFormat(WindowState& window, int format, EGLSurface surface) {
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    window.pixelFormat = format;
    window.surface = surface;
}

EGLSurface TakeWindowSurface(WindowState& window) {
    std::lock_guard<std::mutex> lock(TheLibrary().lock);
    const EGLSurface surface = window.surface;
    window.surface = EGL_NO_SURFACE;
    return surface;
}

Destruction BeginDestruction(HWND hwnd, bool force) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.windows.find(hwnd);
    if (found == library.windows.end() || found->second->destroying) {
        return Destruction::AlreadyGoing;
    }
    // Checked and marked as one step: a thread binding a context to it
    // meanwhile either came first (and this is refused) or finds it going.
    if (!force && ContextCurrentElsewhereLocked(found->second->dc)) return Destruction::Busy;
    found->second->destroying = true;
    return Destruction::Started;
}

bool WindowOfNativeId(uintptr_t id, HWND& hwnd, std::thread::id& thread) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.nativeIds.find(id);
    if (found == library.nativeIds.end()) return false;
    hwnd = found->second;
    thread = library.windows.at(hwnd)->thread;
    return true;
}

void SetNativeId(WindowState& window, uintptr_t id, int nativeVisual) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    if (window.nativeId != 0) library.nativeIds.erase(window.nativeId);
    // Before AddWindow the window has no handle yet: entered there.
    if (id != 0 && window.handle != nullptr) library.nativeIds[id] = window.handle;
    window.nativeId = id;
    window.nativeVisual = nativeVisual;
}

std::vector<HWND> WindowsOfThisThread() {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    std::vector<HWND> windows;
    for (const auto& entry : library.windows) {
        if (entry.second->thread == std::this_thread::get_id()) windows.push_back(entry.first);
    }
    return windows;
}

HWND FindWindowNeedingPaint(HWND filter) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto self = std::this_thread::get_id();
    for (const auto& entry : library.windows) {
        const WindowState& window = *entry.second;
        // The owner first: another thread's window is that thread's to read.
        if (window.thread == self && window.needsPaint &&
            (filter == nullptr || filter == window.handle)) {
            return window.handle;
        }
    }
    return nullptr;
}

HWND AddWindow(std::unique_ptr<WindowState> window) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const HWND hwnd = reinterpret_cast<HWND>(library.nextHandle);
    window->handle = hwnd;
    window->dc = reinterpret_cast<HDC>(library.nextHandle + 2);
    library.nextHandle += 4;
    library.deviceContexts[window->dc] = hwnd;
    if (window->nativeId != 0) library.nativeIds[window->nativeId] = hwnd;
    library.windows[hwnd] = std::move(window);
    return hwnd;
}

std::unique_ptr<WindowState> RemoveWindow(HWND hwnd) {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto found = library.windows.find(hwnd);
    if (found == library.windows.end()) return nullptr;
    std::unique_ptr<WindowState> window = std::move(found->second);
    if (window->nativeId != 0) library.nativeIds.erase(window->nativeId);
    library.deviceContexts.erase(window->dc);
    library.windows.erase(found);
    return window;
}

int NextCascade() {
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    return library.cascade++;
}

}  // namespace winsubset
