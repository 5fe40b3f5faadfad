// Windows counters: resident memory (the working set) only; allocations and
// round trips are counted natively.

#include <windows.h>
#include <psapi.h>

#include "bench_report.h"

long BenchAllocations() {
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
