#include <cstring>
#include <map>

#include "internal.h"

namespace winx11 {
namespace {

struct ClassEntry {
    ATOM atom;
    ClassInfo info;
};

// Per process, as application-local classes are in Win32.
std::map<std::u32string, ClassEntry>& Classes() {
    static std::map<std::u32string, ClassEntry> classes;
    return classes;
}

ATOM g_nextAtom = 0xC000;  // where Win32's string atoms start

bool IsIntAtom(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

}  // namespace

bool LookupClass(LPCSTR name, ClassInfo& info) {
    std::lock_guard<std::mutex> lock(TableMutex());
    if (name == nullptr) {
        return false;
    }
    if (IsIntAtom(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (const auto& entry : Classes()) {
            if (entry.second.atom == atom) {
                info = entry.second.info;
                return true;
            }
        }
        return false;
    }
    const auto found = Classes().find(ClassNameKey(name));
    if (found == Classes().end()) {
        return false;
    }
    info = found->second.info;
    return true;
}

}  // namespace winx11

using namespace winx11;

extern "C" ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    const Relay relay("RegisterClassExA");
    if (relay.Traced()) relay.Write("%s", Describe(windowClass).c_str());
    if (relay.Fails("RegisterClassExA")) return Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpszClassName == nullptr || IsIntAtom(windowClass->lpszClassName) ||
        windowClass->lpfnWndProc == nullptr) {
        return Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    }
    // Atom names are at most 255 characters.
    if (std::strlen(windowClass->lpszClassName) > 255) {
        return Fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    }
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto inserted = Classes().emplace(
        ClassNameKey(windowClass->lpszClassName),
        ClassEntry{g_nextAtom,
                   {windowClass->lpfnWndProc, windowClass->style, windowClass->lpszClassName}});
    if (!inserted.second) {
        return Fail<ATOM>(ERROR_CLASS_ALREADY_EXISTS, 0);
    }
    return g_nextAtom++;
}
