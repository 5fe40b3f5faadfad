#include "core/library.h"

namespace winsubset {

Library& TheLibrary() {
    static Library* const library = new Library;
    return *library;
}

uint64_t NextThreadSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

ThreadState& ThisThread() {
    thread_local ThreadState state;
    return state;
}

}  // namespace winsubset
