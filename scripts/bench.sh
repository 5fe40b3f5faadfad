#!/usr/bin/env bash
# The bench command: the program's own frame loop next to raw loops doing
# the same per-frame work straight on the platform, in one run: on X11 (a
# private Xvfb) the program and raw loops on GLX and on EGL; on Wayland (a
# private headless weston) the program and a raw EGL loop; and the Windows
# build under Wine (Win32 + WGL) on the same Xvfb.
#
# Timing: BENCH_RUNS rounds (default 9); in each, every native loop runs
# BENCH_FRAMES frames (default 3000), in an order that rotates from round to
# round, then the Wine pair in alternating order. Each round gives a ratio
# per comparison, and the table shows the median ratio with its range, so a
# machine that drifts between rounds does not bias the result. The display
# server's own CPU time is taken around each run.
# Counting: natively allocations, requests and round trips per frame come
# from the timed frames of each run, and instructions per frame from two
# runs under callgrind, which the scheduler cannot disturb (BENCH_CALLGRIND=0
# skips them: they take several minutes); under Wine from two runs of
# different lengths (their difference, so start-up and shut-down cancel).
# Memory: one run of BENCH_LONG_FRAMES frames (default 100000) of each loop.
# The program on Wayland runs with WINSUBSET_PLATFORM=wayland and no
# DISPLAY.
# BENCH_WINE=0 leaves the Windows build out; BENCH_NATIVE_BUILD (default
# build/native) is the native build folder, configured with the native
# preset; BENCH_XVFB_DISPLAY (":N") fixes the Xvfb's display number.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
native=${BENCH_NATIVE_BUILD:-$build/native}
frames=${BENCH_FRAMES:-3000}
runs=${BENCH_RUNS:-9}
long_frames=${BENCH_LONG_FRAMES:-100000}
callgrind=${BENCH_CALLGRIND:-1}
with_wine=${BENCH_WINE:-1}
# Frame counts of the two counting runs; both above the 200 untimed frames.
count_short=1200
count_long=2200
callgrind_short=250
callgrind_long=450

bash "$root/scripts/install-deps.sh" bench >/dev/null
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset native -B "$native" >/dev/null
cmake --build "$native" --target program_bench raw_bench raw_egl_x11_bench raw_wayland_bench \
    bench_host_counter >/dev/null
win=$build/win-x86_64
if [ "$with_wine" = 1 ]; then
    cmake --preset win-x86_64 >/dev/null
    cmake --build --preset win-x86_64-bench >/dev/null
fi

source "$root/scripts/xvfb.sh"
prefix=$win/wineprefix
work=$(mktemp -d)
weston_pid=
cleanup() {
    if [ "$with_wine" = 1 ]; then
        "$root/scripts/wine-run.sh" --stop "$prefix" || true
    fi
    if [ -n "$weston_pid" ]; then
        kill "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    stop_xvfbs
    rm -rf "$work"
}
trap cleanup EXIT
start_xvfb DISPLAY ${BENCH_XVFB_DISPLAY:+"$BENCH_XVFB_DISPLAY"}
export DISPLAY
xvfb_pid=${XVFB_PIDS[0]}

# A headless weston of our own: its socket in a private runtime folder
# (mktemp makes it 0700), no X display to fall back on, no user's
# weston.ini, never idle.
wayland_runtime=$work/runtime
mkdir -m 0700 "$wayland_runtime"
wayland_socket=wl-bench-$$
env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$wayland_runtime" \
    weston --backend=headless-backend.so --socket="$wayland_socket" --idle-time=0 --use-gl \
    --no-config </dev/null >"$work/weston.log" 2>&1 &
weston_pid=$!
tries=0
until [ -S "$wayland_runtime/$wayland_socket" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ] || ! kill -0 "$weston_pid" 2>/dev/null; then
        echo "bench: weston did not open its socket; its log ends:" >&2
        tail -n 15 "$work/weston.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ "$with_wine" = 1 ]; then
    "$root/scripts/wine-run.sh" --start "$prefix"
fi
results=$work/results
clock_tick=$(getconf CLK_TCK)

# The X11 loops see only the Xvfb, the Wayland ones only the weston.
declare -A binary=(
    [x11_program]=program_bench [x11_glx]=raw_bench [x11_egl]=raw_egl_x11_bench
    [wayland_program]=program_bench [wayland_egl]=raw_wayland_bench
)
# launch LOOP FRAMES [WRAPPER...]: one native run of LOOP.
launch() {
    local loop=$1 count=$2
    shift 2
    case "$loop" in
        x11_*)
            env -u WAYLAND_DISPLAY -u WINSUBSET_PLATFORM \
                "$@" "$native/bench/${binary[$loop]}" "$count"
            ;;
        wayland_*)
            env -u DISPLAY XDG_RUNTIME_DIR="$wayland_runtime" WAYLAND_DISPLAY="$wayland_socket" \
                WINSUBSET_PLATFORM=wayland "$@" "$native/bench/${binary[$loop]}" "$count"
            ;;
        wine_program) "$root/scripts/wine-run.sh" "$prefix" "$win/bench/program_bench.exe" "$count" ;;
        wine_wgl) "$root/scripts/wine-run.sh" "$prefix" "$win/bench/raw_bench.exe" "$count" ;;
    esac
}

# server_ticks LOOP: CPU time so far of the display server LOOP draws on,
# user and system, in clock ticks (the fields after the command's name).
server_ticks() {
    local pid=$xvfb_pid
    [[ "$1" == wayland_* ]] && pid=$weston_pid
    sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }'
}

# run LOOP FRAMES TAG: one timed run, its report line tagged with the
# wall-clock time of its launch and the display server's CPU time over the
# run. Returns the run's exit status.
run() {
    local launched before after output status=0
    before=$(server_ticks "$1")
    launched=$(date +%s%6N)
    output=$(launch "$1" "$2" | tr -d '\r') || status=$?
    after=$(server_ticks "$1")
    [ "$status" = 0 ] || return "$status"
    printf '%s\n' "$output" | grep '^bench ' |
        sed "s/^bench /bench loop=$1 tag=$3 launched_us=$launched server_cpu_us=$(((after - before) * 1000000 / clock_tick)) /" \
            >>"$results"
}

# must_run LOOP FRAMES TAG: run, and end the bench if the loop failed.
must_run() {
    local status=0
    run "$@" || status=$?
    if [ "$status" != 0 ]; then
        echo "bench: $1 ($2 frames) ended with status $status" >&2
        exit 1
    fi
}

# count_wine KIND FRAMES: Windows-heap allocations (Wine's heap trace, this
# process's lines only), host allocations, X requests and X round trips (the
# preloaded counter) of one run under Wine.
count_wine() {
    local log=$work/trace counts=$work/host pid
    rm -f "$counts"
    LD_PRELOAD=$native/bench/libbench_host_counter.so BENCH_HOST_COUNTS=$counts \
        WINEDEBUG=+pid,trace+heap,+loaddll \
        "$root/scripts/wine-run.sh" "$prefix" "$win/bench/${1}_bench.exe" "$2" >/dev/null 2>"$log"
    # Wine's desktop process may start during the run and trace into the
    # same stream: only the bench process's own lines count.
    # (One awk over the file: a grep that stops at its first match would
    # leave the one feeding it a broken pipe, which pipefail makes fatal.)
    pid=$(exe="\\${1}_bench.exe\"" awk -F: '/:trace:loaddll:/ && index($0, ENVIRON["exe"]) { print $1; exit }' "$log")
    local heap
    heap=$(grep -c "^$pid:[0-9a-f]*:trace:heap:Rtl\(Re\)\?AllocateHeap" "$log" || true)
    local host
    # The Wine process's own line: its command line is the exe's (the
    # runner's shells that name the exe in their arguments report too).
    host=$(awk -v exe="${1}_bench.exe" -v frames="$2" \
        'substr($5, length($5) - length(exe) + 1) == exe && $6 == frames' "$counts" | tail -n1)
    local allocations requests trips
    read -r _ allocations requests trips _ <<<"$host"
    local loop=wine_program
    [ "$1" = raw ] && loop=wine_wgl
    echo "count loop=$loop frames=$2 windows_heap=$heap host_allocations=$allocations" \
        "requests=$requests round_trips=$trips" >>"$results"
}

# instructions LOOP FRAMES: every instruction of the native process, all
# threads, under callgrind.
instructions() {
    local out=$work/callgrind.out
    launch "$1" "$2" valgrind --tool=callgrind --callgrind-out-file="$out" >/dev/null 2>&1
    echo "instructions loop=$1 frames=$2 total=$(sed -n 's/^totals: //p' "$out")" >>"$results"
}

if ldd "$native/bench/program_bench" | grep -q 'libEGL\.so'; then
    echo "note x11_program_layer=EGL" >>"$results"
else
    echo "note x11_program_layer=GLX" >>"$results"
fi

# Once each untimed first: the first start after a while reads the driver
# (and under Wine, Wine's libraries) from disk.
loops=(x11_program x11_glx x11_egl wayland_egl wayland_program)
for loop in "${loops[@]}"; do
    must_run "$loop" 201 warm-up
done
if [ "$with_wine" = 1 ]; then
    must_run wine_program 201 warm-up
    must_run wine_wgl 201 warm-up
fi

for i in $(seq "$runs"); do
    echo "bench: round $i of $runs" >&2
    # Rotated by one each round, so that no loop always follows the same one.
    for k in "${!loops[@]}"; do
        must_run "${loops[$(((k + i - 1) % ${#loops[@]}))]}" "$frames" "$i"
    done
    if [ "$with_wine" = 1 ]; then
        if [ $((i % 2)) -eq 1 ]; then
            must_run wine_program "$frames" "$i"
            must_run wine_wgl "$frames" "$i"
        else
            must_run wine_wgl "$frames" "$i"
            must_run wine_program "$frames" "$i"
        fi
    fi
done
echo "bench: $long_frames frames of each loop for memory growth" >&2
for loop in "${loops[@]}"; do
    must_run "$loop" "$long_frames" long
done
if [ "$with_wine" = 1 ]; then
    must_run wine_program "$long_frames" long
    must_run wine_wgl "$long_frames" long
    echo "bench: wine, counting runs" >&2
    for kind in program raw; do
        count_wine "$kind" "$count_short"
        count_wine "$kind" "$count_long"
    done
fi
if [ "$callgrind" = 1 ]; then
    echo "bench: native loops under callgrind (several minutes)" >&2
    for loop in "${loops[@]}"; do
        instructions "$loop" "$callgrind_short"
        instructions "$loop" "$callgrind_long"
    done
fi

python3 "$root/scripts/bench_table.py" "$results" "$frames" "$runs" "$long_frames"
