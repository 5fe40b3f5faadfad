#!/usr/bin/env python3
"""The bench command's table: reads the results file that scripts/bench.sh
writes and prints, for each build, the medians of the paired runs, the
median of the pairs' ratios with its range, and the counts per frame.
Usage: bench_table.py RESULTS FRAMES RUNS LONG_FRAMES"""
import statistics, sys
timed, counts, instructions = [], [], []
for line in open(sys.argv[1]):
    words = line.split()
    fields = dict(part.split("=", 1) for part in words[1:])
    if words[0] == "bench":
        fields["launch_ms"] = (int(fields["first_swap_epoch_us"]) - int(fields["launched_us"])) / 1000
    {"bench": timed, "count": counts, "instructions": instructions}[words[0]].append(fields)
frames, runs, long_frames = sys.argv[2], int(sys.argv[3]), sys.argv[4]

def value(build, kind, tag, key):
    for r in timed:
        if r["build"] == build and r["kind"] == kind and r["tag"] == tag:
            return float(r[key])
    return float("nan")

def paired(build, key):
    program = [value(build, "program", str(i), key) for i in range(1, runs + 1)]
    raw = [value(build, "raw", str(i), key) for i in range(1, runs + 1)]
    ratios = [p / r for p, r in zip(program, raw)]
    return (statistics.median(program), statistics.median(raw), statistics.median(ratios),
            min(ratios), max(ratios))

def per_frame(rows, kind, key):
    pair = sorted((r for r in rows if r["kind"] == kind), key=lambda r: int(r["frames"]))
    if len(pair) < 2:
        return None
    return (float(pair[-1][key]) - float(pair[0][key])) / (int(pair[-1]["frames"]) - int(pair[0]["frames"]))

def ratio_of(p, r):
    # Counts of zero on both sides are equal; anything over zero is not.
    if r == 0:
        return "equal" if p == 0 else "—"
    return f"{p / r:.3f}"

print(f"{runs} pairs of {frames} frames (the first 200 untimed); medians, and the median of the")
print("pairs' ratios program / raw with its range")
print()
print("| build | figure | program | raw baseline | ratio (range) |")
print("|---|---|---|---|---|")
for build in ("native", "wine"):
    for key, name, form in (("fps", "frames per second", "{:.1f}"),
                            ("cpu_us_per_frame", "CPU time per frame, all threads, µs", "{:.1f}"),
                            ("first_swap_ms", "main() to first swap, ms", "{:.1f}"),
                            ("launch_ms", "launch to first swap, ms", "{:.1f}")):
        p, r, ratio, low, high = paired(build, key)
        print(f"| {build} | {name} | {form.format(p)} | {form.format(r)} | "
              f"{ratio:.3f} ({low:.3f}–{high:.3f}) |")
    if build == "native":
        for key, name, form in (("allocations_per_frame", "heap allocations per frame", "{:.3f}"),
                                ("requests_per_frame", "X requests per frame", "{:.3f}"),
                                ("round_trips_per_frame", "X round trips per frame", "{:.3f}"),
                                ("round_trips_to_first_swap", "X round trips to the first swap", "{:.0f}")):
            p, r = paired(build, key)[:2]
            print(f"| native | {name} | {form.format(p)} | {form.format(r)} | {ratio_of(p, r)} |")
        if instructions:
            p = per_frame(instructions, "program", "total")
            r = per_frame(instructions, "raw", "total")
            print(f"| native | instructions per frame, all threads (callgrind) | {p:,.0f} | {r:,.0f} | "
                  f"{p / r:.4f} |")
    else:
        for key, name in (("windows_heap", "Windows heap allocations per frame"),
                          ("host_allocations", "host heap allocations per frame (Mesa, Xlib, Wine's host side)"),
                          ("requests", "X requests per frame"),
                          ("round_trips", "X round trips per frame")):
            p, r = per_frame(counts, "program", key), per_frame(counts, "raw", key)
            print(f"| wine | {name} | {p:.3f} | {r:.3f} | {ratio_of(p, r)} |")
    growth = [value(build, kind, "long", "rss_after_kb") - value(build, kind, "long", "rss_before_kb")
              for kind in ("program", "raw")]
    print(f"| {build} | resident growth over {long_frames} frames, KB | {growth[0]:.0f} | "
          f"{growth[1]:.0f} | {ratio_of(*growth)} |")
