// Windows counters: resident memory (the working set) and CPU time. Heap
// allocations and round trips have no in-process counter here; the bench
// command counts them from outside (Wine's heap trace, a preloaded counter
// of the host libraries' malloc and _XReply).

#include <windows.h>
#include <psapi.h>

#include "bench_report.h"

long BenchAllocations() {
    return -1;
}
long BenchRequests() {
    return -1;
}
long BenchRoundTrips() {
    return -1;
}

long BenchResidentKb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.WorkingSetSize / 1024);
}

double BenchCpuSeconds() {
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    const auto seconds = [](const FILETIME& time) {
        const unsigned long long ticks =
            (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        return static_cast<double>(ticks) * 1e-7;  // 100 ns ticks
    };
    return seconds(kernel) + seconds(user);
}
