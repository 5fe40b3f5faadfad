// Two aids for porting a Win32 program onto the subset, both off unless
// asked for in the environment:
//   WINSUBSET_TRACE=FILE  writes every call the program makes into the subset,
//                      with its arguments and the fields of the records it
//                      passes, one line a call ("-": standard error), in the
//                      manner of Wine's relay trace;
//   WINSUBSET_FAIL=NAME[,NAME...]  makes the named functions fail as Win32 lets
//                      them fail, to try a program's failure paths.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "core/internal.h"

namespace winsubset {
namespace {

std::FILE* TraceFile() {
    static std::FILE* const file = []() -> std::FILE* {
        const char* path = std::getenv("WINSUBSET_TRACE");
        if (path == nullptr || *path == '\0') return nullptr;
        if (std::strcmp(path, "-") == 0) return stderr;
        // Emptied, then appended to: a tracer of the program's other calls
        // (OpenGL's) may append to the same file.
        if (std::FILE* empty = std::fopen(path, "w")) std::fclose(empty);
        return std::fopen(path, "a");
    }();
    return file;
}

std::mutex& TraceMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

Relay::Relay(const char* name) : name_(name), outermost_(ThisThread().relayDepth++ == 0) {}

bool Relay::Traced() const {
    return outermost_ && TraceFile() != nullptr;
}

void Relay::Write(const char* format, ...) const {
    char arguments[1024];
    va_list list;
    va_start(list, format);
    std::vsnprintf(arguments, sizeof arguments, format, list);
    va_end(list);
    std::lock_guard<std::mutex> lock(TraceMutex());
    std::fprintf(TraceFile(), "%s(%s)\n", name_, arguments);
    std::fflush(TraceFile());
}

Relay::~Relay() {
    --ThisThread().relayDepth;
}

void Relay::WriteMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const {
    Write("%p, 0x%04X, 0x%lX, 0x%lX", static_cast<const void*>(hwnd), message,
          static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
}

bool Relay::Fails() const {
    if (!outermost_) return false;
    static const std::string failing = [] {
        const char* names = std::getenv("WINSUBSET_FAIL");
        return names != nullptr ? "," + std::string(names) + "," : std::string();
    }();
    if (failing.empty() || failing.find("," + std::string(name_) + ",") == std::string::npos) {
        return false;
    }
    if (std::FILE* file = TraceFile()) {
        std::lock_guard<std::mutex> lock(TraceMutex());
        std::fprintf(file, "  %s fails, as WINSUBSET_FAIL asks\n", name_);
        std::fflush(file);
    }
    return true;
}

CallOut::CallOut() : saved_(ThisThread().relayDepth) {
    ThisThread().relayDepth = 0;
}

CallOut::~CallOut() {
    ThisThread().relayDepth = saved_;
}

std::string Quoted(const char* text) {
    if (text == nullptr) return "NULL";
    if (reinterpret_cast<uintptr_t>(text) <= 0xFFFF) {
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(text));  // an atom
    }
    std::string quoted = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            quoted += *c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        }
    }
    return quoted + "\"";
}

std::string Describe(const WNDCLASSEXA* c) {
    if (c == nullptr) return "NULL";
    char text[512];
    std::snprintf(text, sizeof text,
                  "{cbSize=%u, style=0x%X, lpfnWndProc=%p, cbClsExtra=%d, cbWndExtra=%d, "
                  "hInstance=%p, hIcon=%p, hCursor=%p, hbrBackground=%p, lpszMenuName=%s, "
                  "lpszClassName=%s, hIconSm=%p}",
                  c->cbSize, c->style, reinterpret_cast<void*>(c->lpfnWndProc), c->cbClsExtra,
                  c->cbWndExtra, static_cast<void*>(c->hInstance), static_cast<void*>(c->hIcon),
                  static_cast<void*>(c->hCursor), static_cast<void*>(c->hbrBackground),
                  Quoted(c->lpszMenuName).c_str(), Quoted(c->lpszClassName).c_str(),
                  static_cast<void*>(c->hIconSm));
    return text;
}

std::string Describe(const PIXELFORMATDESCRIPTOR* d) {
    if (d == nullptr) return "NULL";
    char text[512];
    std::snprintf(
        text, sizeof text,
        "{nSize=%u, nVersion=%u, dwFlags=0x%lX, iPixelType=%u, cColorBits=%u, cRedBits=%u, "
        "cRedShift=%u, cGreenBits=%u, cGreenShift=%u, cBlueBits=%u, cBlueShift=%u, "
        "cAlphaBits=%u, cAlphaShift=%u, cAccumBits=%u, cAccumRedBits=%u, cAccumGreenBits=%u, "
        "cAccumBlueBits=%u, cAccumAlphaBits=%u, cDepthBits=%u, cStencilBits=%u, "
        "cAuxBuffers=%u, iLayerType=%u, bReserved=%u, dwLayerMask=0x%lX, "
        "dwVisibleMask=0x%lX, dwDamageMask=0x%lX}",
        d->nSize, d->nVersion, static_cast<unsigned long>(d->dwFlags), d->iPixelType, d->cColorBits,
        d->cRedBits, d->cRedShift, d->cGreenBits, d->cGreenShift, d->cBlueBits, d->cBlueShift,
        d->cAlphaBits, d->cAlphaShift, d->cAccumBits, d->cAccumRedBits, d->cAccumGreenBits,
        d->cAccumBlueBits, d->cAccumAlphaBits, d->cDepthBits, d->cStencilBits, d->cAuxBuffers,
        d->iLayerType, d->bReserved, static_cast<unsigned long>(d->dwLayerMask),
        static_cast<unsigned long>(d->dwVisibleMask), static_cast<unsigned long>(d->dwDamageMask));
    return text;
}

std::string Describe(const MSG* m) {
    if (m == nullptr) return "NULL";
    char text[160];
    std::snprintf(text, sizeof text, "{hwnd=%p, message=0x%04X, wParam=0x%lX, lParam=0x%lX}",
                  static_cast<void*>(m->hwnd), m->message, static_cast<unsigned long>(m->wParam),
                  static_cast<unsigned long>(m->lParam));
    return text;
}

std::string Describe(const RECT* r) {
    if (r == nullptr) return "NULL";
    char text[96];
    std::snprintf(text, sizeof text, "{%ld, %ld, %ld, %ld}", static_cast<long>(r->left),
                  static_cast<long>(r->top), static_cast<long>(r->right),
                  static_cast<long>(r->bottom));
    return text;
}

}  // namespace winsubset
