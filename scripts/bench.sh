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
build=$root/build
frames=${BENCH_FRAMES:-3000}
runs=${BENCH_RUNS:-9}
long_frames=${BENCH_LONG_FRAMES:-100000}
callgrind=${BENCH_CALLGRIND:-1}
# Frame counts of the two counting runs; both above the 200 untimed frames.
count_short=1200
count_long=2200
callgrind_short=250
callgrind_long=450

bash "$root/scripts/install-deps.sh" test >/dev/null
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
for preset in native win-x86_64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset-bench" >/dev/null
done
win=$build/win-x86_64

source "$root/scripts/xvfb.sh"
prefix=$win/wineprefix
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

python3 "$root/scripts/bench_table.py" "$results" "$frames" "$runs" "$long_frames"
