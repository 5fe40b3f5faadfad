// Native counters: the host counter linked into this executable (its
// wrappers of malloc, Xlib's _XReply, libxcb's request entry points and
// libwayland's marshalling and round trip take precedence over the
// libraries' own), resident memory and CPU time.

#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "bench_report.h"
#include "host_counter.h"

long BenchAllocations() {
    return bench_host_allocations();
}
long BenchRequests() {
    return bench_host_requests();
}
long BenchRoundTrips() {
    return bench_host_round_trips();
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
