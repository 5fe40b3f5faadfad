#include "bench_report.h"

#include <cstdio>

BenchReport::BenchReport() : start(Clock::now()) {}

BenchReport::Snapshot BenchReport::Snapshot::Now() {
    Snapshot now;
    now.time = Clock::now();
    now.residentKb = BenchResidentKb();
    now.allocations = BenchAllocations();
    now.requests = BenchRequests();
    now.roundTrips = BenchRoundTrips();
    now.cpuSeconds = BenchCpuSeconds();
    return now;
}

void BenchReport::FrameDone(unsigned long frame) {
    if (frame == 1) {
        firstSwap = Snapshot::Now();
        firstSwapEpochUs = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    }
    if (frame == warmup) timedStart = Snapshot::Now();
    if (frame == frames) end = Snapshot::Now();
}

void BenchReport::Print(const char* kind) const {
    const double timed = std::chrono::duration<double>(end.time - timedStart.time).count();
    const double timedFrames = static_cast<double>(frames - warmup);
    const auto perFrame = [&](long before, long after) {
        return before < 0 || after < 0 ? -1.0 : static_cast<double>(after - before) / timedFrames;
    };
    std::printf(
        "bench kind=%s frames=%lu fps=%.1f cpu_us_per_frame=%.1f first_swap_ms=%.1f "
        "rss_before_kb=%ld rss_after_kb=%ld allocations_per_frame=%.3f "
        "requests_per_frame=%.3f round_trips_per_frame=%.3f round_trips_to_first_swap=%ld "
        "first_swap_epoch_us=%lld\n",
        kind, frames, timedFrames / timed,
        (end.cpuSeconds - timedStart.cpuSeconds) * 1e6 / timedFrames,
        std::chrono::duration<double, std::milli>(firstSwap.time - start).count(),
        timedStart.residentKb, end.residentKb, perFrame(timedStart.allocations, end.allocations),
        perFrame(timedStart.requests, end.requests),
        perFrame(timedStart.roundTrips, end.roundTrips), firstSwap.roundTrips, firstSwapEpochUs);
    std::fflush(stdout);
}
