#include <cstring>
#include <map>

#include "core/internal.h"

namespace winsubset {
namespace {

bool IsIntAtom(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

}  // namespace

bool LookupClass(LPCSTR name, ClassInfo& info) {
    if (name == nullptr) {
        return false;
    }
    // The code-page conversion before the lock, which is held only for the
    // moment a table is read.
    const std::u32string key = IsIntAtom(name) ? std::u32string() : ClassNameKey(name);
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    if (IsIntAtom(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (const auto& entry : library.classes) {
            if (entry.second.atom == atom) {
                info = entry.second.info;
                return true;
            }
        }
        return false;
    }
    const auto found = library.classes.find(key);
    if (found == library.classes.end()) {
        return false;
    }
    info = found->second.info;
    return true;
}

}  // namespace winsubset

using namespace winsubset;

extern "C" ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    const Relay relay("RegisterClassExA");
    if (relay.Traced()) relay.Write("%s", Describe(windowClass).c_str());
    if (relay.Fails()) return Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpszClassName == nullptr || IsIntAtom(windowClass->lpszClassName) ||
        windowClass->lpfnWndProc == nullptr) {
        return Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    }
    // Atom names are at most 255 characters.
    if (std::strlen(windowClass->lpszClassName) > 255) {
        return Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    }
    std::u32string key = ClassNameKey(windowClass->lpszClassName);
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> lock(library.lock);
    const auto inserted = library.classes.emplace(
        std::move(key),
        ClassEntry{library.nextAtom,
                   {windowClass->lpfnWndProc, windowClass->style, windowClass->lpszClassName}});
    if (!inserted.second) {
        return Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    }
    return library.nextAtom++;
}
