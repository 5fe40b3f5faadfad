#!/usr/bin/env bash
# The bench command: the program's own frame loop next to a raw platform
# loop doing the same per-frame work, natively (Xlib + GLX) and in the
# Windows build under Wine (Win32 + WGL), on a private Xvfb.
#
# Timing: the two are run in pairs, BENCH_RUNS pairs (default 9) of
# BENCH_FRAMES frames (default 3000), the order within a pair alternating;
# each pair gives a ratio, and the table shows the median ratio with its
# range, so a machine that drifts between pairs does not bias the result.
# Counting: allocations and round trips per frame come from two runs of
# different lengths (their difference, so start-up and shut-down cancel);
# natively also instructions per frame under callgrind, which the scheduler
# cannot disturb (BENCH_CALLGRIND=0 skips it: it takes a few minutes).
# Memory: one run of BENCH_LONG_FRAMES frames (default 100000) each.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
frames=${BENCH_FRAMES:-3000}
runs=${BENCH_RUNS:-9}
long_frames=${BENCH_LONG_FRAMES:-100000}
callgrind=${BENCH_CALLGRIND:-1}
# Frame counts of the two counting runs; both above the 200 untimed frames.
count_short=1200
count_long=2200
callgrind_short=250
callgrind_long=450

bash "$root/scripts/install-deps.sh" >/dev/null
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$(nproc)" --target program_bench raw_bench bench_host_counter \
    >/dev/null
win=$build/win-x86_64
bash "$root/scripts/fetch-glew-mingw.sh" x86_64-w64-mingw32 "$win/deps/x86_64-w64-mingw32" >/dev/null
cmake -S "$root" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$win" -j"$(nproc)" --target program_bench raw_bench >/dev/null

source "$root/scripts/xvfb.sh"
prefix=$build/bench-wine
work=$(mktemp -d)
cleanup() {
    "$root/scripts/wine-run.sh" --stop "$prefix" || true
    stop_xvfbs
    rm -rf "$work"
}
trap cleanup EXIT
start_xvfb DISPLAY
export DISPLAY
"$root/scripts/wine-run.sh" --start "$prefix"
results=$work/results

# run BUILD KIND FRAMES TAG: one timed run, its report line tagged with the
# wall-clock time of its launch.
run() {
    local launched
    launched=$(date +%s%6N)
    if [ "$1" = native ]; then
        "$build/native/bench/${2}_bench" "$3"
    else
        "$root/scripts/wine-run.sh" "$prefix" "$win/bench/${2}_bench.exe" "$3" | tr -d '\r'
    fi | sed "s/^bench /bench build=$1 tag=$4 launched_us=$launched /" >>"$results"
}

# count_wine KIND FRAMES: Windows-heap allocations (Wine's heap trace, this
# process's lines only), host allocations, X requests and X round trips (the
# preloaded counter) of one run under Wine.
count_wine() {
    local log=$work/trace counts=$work/host pid
    rm -f "$counts"
    LD_PRELOAD=$build/native/bench/libbench_host_counter.so BENCH_HOST_COUNTS=$counts \
        WINEDEBUG=+pid,trace+heap,+loaddll \
        "$root/scripts/wine-run.sh" "$prefix" "$win/bench/${1}_bench.exe" "$2" >/dev/null 2>"$log"
    # Wine's desktop process may start during the run and trace into the
    # same stream: only the bench process's own lines count.
    pid=$(grep ':trace:loaddll:' "$log" | grep -m1 -F "\\${1}_bench.exe\"" | cut -d: -f1)
    local heap
    heap=$(grep -c "^$pid:[0-9a-f]*:trace:heap:Rtl\(Re\)\?AllocateHeap" "$log" || true)
    local host
    host=$(grep "${1}_bench.exe $2" "$counts" | tail -n1)
    local allocations requests trips
    read -r _ allocations requests trips _ <<<"$host"
    echo "count build=wine kind=$1 frames=$2 windows_heap=$heap host_allocations=$allocations" \
        "requests=$requests round_trips=$trips" >>"$results"
}

# instructions KIND FRAMES: every instruction of the native process, all
# threads, under callgrind.
instructions() {
    local out=$work/callgrind.out
    valgrind --tool=callgrind --callgrind-out-file="$out" \
        "$build/native/bench/${1}_bench" "$2" >/dev/null 2>&1
    echo "instructions kind=$1 frames=$2 total=$(sed -n 's/^totals: //p' "$out")" >>"$results"
}

for build_kind in native wine; do
    # Once each untimed first: the first start after a while reads the
    # driver (and under Wine, Wine's libraries) from disk.
    run "$build_kind" program 201 warm-up
    run "$build_kind" raw 201 warm-up
    for i in $(seq "$runs"); do
        echo "bench: $build_kind pair $i of $runs" >&2
        if [ $((i % 2)) -eq 1 ]; then
            run "$build_kind" program "$frames" "$i"
            run "$build_kind" raw "$frames" "$i"
        else
            run "$build_kind" raw "$frames" "$i"
            run "$build_kind" program "$frames" "$i"
        fi
    done
    echo "bench: $build_kind, $long_frames frames each for memory growth" >&2
    run "$build_kind" program "$long_frames" long
    run "$build_kind" raw "$long_frames" long
done
echo "bench: wine, counting runs" >&2
for kind in program raw; do
    count_wine "$kind" "$count_short"
    count_wine "$kind" "$count_long"
done
if [ "$callgrind" = 1 ]; then
    echo "bench: native under callgrind (a few minutes)" >&2
    for kind in program raw; do
        instructions "$kind" "$callgrind_short"
        instructions "$kind" "$callgrind_long"
    done
fi

python3 - "$results" "$frames" "$runs" "$long_frames" <<'PY'
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
PY
