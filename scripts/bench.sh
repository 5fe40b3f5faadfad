#!/usr/bin/env bash
# The bench command: the program's own frame loop next to a raw platform
# loop doing the same per-frame work, natively (Xlib + GLX) and in the
# Windows build under Wine (Win32 + WGL), on a private Xvfb. The two are
# alternated, BENCH_RUNS times each (default 5); the table gives medians and
# ratios, plus one long run of BENCH_LONG_FRAMES (default 100000) frames for
# resident-memory growth.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
frames=${BENCH_FRAMES:-3000}
runs=${BENCH_RUNS:-5}
long_frames=${BENCH_LONG_FRAMES:-100000}

bash "$root/scripts/install-deps.sh" >/dev/null
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$(nproc)" --target program_bench raw_bench >/dev/null
win=$build/win-x86_64
bash "$root/scripts/fetch-glew-mingw.sh" x86_64-w64-mingw32 "$win/deps/x86_64-w64-mingw32" >/dev/null
cmake -S "$root" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$win" -j"$(nproc)" --target program_bench raw_bench >/dev/null

source "$root/scripts/xvfb.sh"
prefix=$build/bench-wine
cleanup() {
    "$root/scripts/wine-run.sh" --stop "$prefix" || true
    stop_xvfbs
}
trap cleanup EXIT
start_xvfb DISPLAY
export DISPLAY
"$root/scripts/wine-run.sh" --start "$prefix"

results=$(mktemp)
run() {  # run BUILD KIND FRAMES
    local exe
    if [ "$1" = native ]; then
        "$build/native/bench/${2}_bench" "$3" | sed "s/^bench /bench build=native /" >>"$results"
    else
        "$root/scripts/wine-run.sh" "$prefix" "$win/bench/${2}_bench.exe" "$3" | tr -d '\r' |
            sed "s/^bench /bench build=wine /" >>"$results"
    fi
}

for build_kind in native wine; do
    for i in $(seq "$runs"); do
        echo "bench: $build_kind run $i of $runs" >&2
        run "$build_kind" program "$frames"
        run "$build_kind" raw "$frames"
    done
    echo "bench: $build_kind, $long_frames frames each for memory growth" >&2
    run "$build_kind" program "$long_frames"
    sed -i "\$s/kind=program/kind=program-long/" "$results"
    run "$build_kind" raw "$long_frames"
    sed -i "\$s/kind=raw/kind=raw-long/" "$results"
done

python3 - "$results" "$frames" "$runs" "$long_frames" <<'PY'
import statistics, sys
rows = []
for line in open(sys.argv[1]):
    fields = dict(part.split("=", 1) for part in line.split()[1:])
    rows.append(fields)
frames, runs, long_frames = sys.argv[2], sys.argv[3], sys.argv[4]
def med(build, kind, key):
    values = [float(r[key]) for r in rows if r["build"] == build and r["kind"] == kind]
    return statistics.median(values) if values else float("nan")
print(f"frames per run {frames} (first 200 untimed), {runs} alternating runs each, medians")
print()
print("| build | figure | program | raw baseline | ratio |")
print("|---|---|---|---|---|")
for build in ("native", "wine"):
    p, r = med(build, "program", "fps"), med(build, "raw", "fps")
    print(f"| {build} | frames per second | {p:.1f} | {r:.1f} | {p / r:.3f} |")
    p, r = med(build, "program", "first_swap_ms"), med(build, "raw", "first_swap_ms")
    print(f"| {build} | main() to first swap, ms | {p:.1f} | {r:.1f} | {p / r:.3f} |")
    for key, name in (("allocations_per_frame", "heap allocations per frame"),
                      ("round_trips_per_frame", "X round trips per frame")):
        p, r = med(build, "program", key), med(build, "raw", key)
        if p < 0:
            print(f"| {build} | {name} | not counted | not counted | |")
        else:
            print(f"| {build} | {name} | {p:.3f} | {r:.3f} | |")
    def growth(kind):
        long = [x for x in rows if x["build"] == build and x["kind"] == kind]
        return int(long[-1]["rss_after_kb"]) - int(long[-1]["rss_before_kb"]) if long else 0
    print(f"| {build} | resident growth over {long_frames} frames, KB | "
          f"{growth('program-long')} | {growth('raw-long')} | |")
PY
rm -f "$results"
