// Native counters: every heap allocation (malloc and friends, which
// operator new uses too) and every X reply awaited (_XReply: one round trip
// to the server), counted by wrapping the libraries' entry points in this
// executable, which the dynamic linker resolves first.

#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "bench_report.h"

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* pointer, size_t size);

namespace {
std::atomic<long> g_allocations{0};
std::atomic<long> g_roundTrips{0};
}  // namespace

extern "C" void* malloc(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}

// Xlib's declaration (Xlibint.h) takes Display*, xReply*, int, Bool; its
// header defines min and max as macros, so the types are given opaquely.
extern "C" int _XReply(void* display, void* reply, int extra, int discard) {
    using Reply = int (*)(void*, void*, int, int);
    static Reply next = nullptr;
    if (next == nullptr) {
        void* symbol = dlsym(RTLD_NEXT, "_XReply");
        static_assert(sizeof symbol == sizeof next, "function and object pointers differ");
        __builtin_memcpy(&next, &symbol, sizeof next);
    }
    g_roundTrips.fetch_add(1, std::memory_order_relaxed);
    return next(display, reply, extra, discard);
}

long BenchAllocations() {
    return g_allocations.load();
}
long BenchRoundTrips() {
    return g_roundTrips.load();
}

long BenchResidentKb() {
    long pages = 0;
    long resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    const int read = std::fscanf(statm, "%ld %ld", &pages, &resident);
    std::fclose(statm);
    return read == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double BenchCpuSeconds() {
    timespec now = {};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return -1;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
