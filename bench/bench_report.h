#pragma once

// What every bench program measures and prints, in one line the bench
// command parses: frames per second over the timed frames, the process's
// CPU time per timed frame (all threads: the driver's rasterizer threads do
// most of the work, and CPU time is less at the mercy of the scheduler than
// the wall clock), time from main() to the first completed buffer swap,
// resident memory before and after the timed frames, and, natively, heap
// allocations, requests and round trips to the display server (X or
// Wayland) per frame ("-1" where a build cannot count them in-process; the
// bench command counts them from outside there).

#include <chrono>

class BenchReport {
public:
    // Starts the clock; call first thing in main().
    BenchReport();
    // After every completed swap; `frame` counts from 1. Frames up to
    // `warmup` are not timed.
    void FrameDone(unsigned long frame);
    void Print(const char* kind) const;

    unsigned long warmup = 200;
    unsigned long frames = 0;

private:
    using Clock = std::chrono::steady_clock;
    // The process's counters at one moment.
    struct Snapshot {
        Clock::time_point time;
        long residentKb = 0;
        long allocations = 0;
        long requests = 0;
        long roundTrips = 0;
        double cpuSeconds = 0;
        static Snapshot Now();
    };
    Clock::time_point start;
    Snapshot firstSwap;
    // Wall-clock time of the first swap, for the bench command to measure
    // from the process's launch (dynamic loading and, under Wine, Wine's
    // own start of the process included).
    long long firstSwapEpochUs = 0;
    Snapshot timedStart;
    Snapshot end;
};

// Counters of this process, or -1 where they are not counted.
long BenchAllocations();
long BenchRequests();
long BenchRoundTrips();
long BenchResidentKb();
// User and system time of the whole process so far, in seconds.
double BenchCpuSeconds();
