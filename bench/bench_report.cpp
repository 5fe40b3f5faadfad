#include "bench_report.h"

#include <cstdio>

BenchReport::BenchReport() : start(Clock::now()) {}

void BenchReport::FrameDone(unsigned long frame) {
    const Clock::time_point now = Clock::now();
    if (frame == 1) {
        firstSwap = now;
        firstSwapEpochUs = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        roundTripsAtFirstSwap = BenchRoundTrips();
    }
    if (frame == warmup) {
        timedStart = now;
        rssBeforeKb = BenchResidentKb();
        allocationsAtWarmup = BenchAllocations();
        roundTripsAtWarmup = BenchRoundTrips();
        requestsAtWarmup = BenchRequests();
        cpuSecondsAtWarmup = BenchCpuSeconds();
    }
    if (frame == frames) {
        end = now;
        rssAfterKb = BenchResidentKb();
        allocationsAtEnd = BenchAllocations();
        roundTripsAtEnd = BenchRoundTrips();
        requestsAtEnd = BenchRequests();
        cpuSecondsAtEnd = BenchCpuSeconds();
    }
}

void BenchReport::Print(const char* kind) const {
    const double timed = std::chrono::duration<double>(end - timedStart).count();
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
        (cpuSecondsAtEnd - cpuSecondsAtWarmup) * 1e6 / timedFrames,
        std::chrono::duration<double, std::milli>(firstSwap - start).count(), rssBeforeKb,
        rssAfterKb, perFrame(allocationsAtWarmup, allocationsAtEnd),
        perFrame(requestsAtWarmup, requestsAtEnd), perFrame(roundTripsAtWarmup, roundTripsAtEnd),
        roundTripsAtFirstSwap, firstSwapEpochUs);
    std::fflush(stdout);
}
