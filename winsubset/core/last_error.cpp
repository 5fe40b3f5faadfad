#include <windows.h>

#include "core/internal.h"

extern "C" DWORD WINAPI GetLastError(void) {
    return winsubset::ThisThread().lastError;
}

extern "C" void WINAPI SetLastError(DWORD errorCode) {
    winsubset::ThisThread().lastError = errorCode;
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    const winsubset::Relay relay("GetModuleHandleA");
    if (relay.Traced()) relay.Write("%s", winsubset::Quoted(moduleName).c_str());
    // Only the executable itself is a module here. Its handle only has to be
    // non-NULL and the same on every call.
    static char executableModule;
    if (moduleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&executableModule);
}
