#!/usr/bin/env bash
# The run command: builds the program and opens its window on $DISPLAY.
# Without a display it runs the program on a private Xvfb for a few seconds,
# saves a screenshot of the window, closes the window as a close box does and
# ends with the program's exit status.
#   scripts/run.sh              the native build
#   scripts/run.sh --wine       the x86-64 Windows exe under 64-bit Wine
#   scripts/run.sh --wine32     the 32-bit Windows exe under 32-bit Wine (its
#                               code emulated where the host runs no 32-bit code)
#   scripts/run.sh --shot FILE  where the screenshot goes (default build/screenshot.png)
# Installs only what the chosen run needs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
# shellcheck source=progress.sh
source "$root/scripts/progress.sh"
kind=native
shot=$build/screenshot.png
while [ $# -gt 0 ]; do
    case "$1" in
        --wine) kind=x86_64 ;;
        --wine32) kind=i686 ;;
        --shot) shot=$(realpath -m "$2"); shift ;;
        *) echo "usage: run.sh [--wine | --wine32] [--shot FILE]" >&2; exit 2 ;;
    esac
    shift
done
trap 'say "run: FAILED (exit $?) at scripts/run.sh line $LINENO: $BASH_COMMAND"' ERR

case "$kind" in
    native) deps=run ;;
    x86_64) deps=run-wine ;;
    i686) deps=run-wine32 ;;
esac
say "run: installing what is missing"
bash "$root/scripts/install-deps.sh" "$deps"

# build NAME DIR TARGETS CMAKE-ARGS...
build() {
    local name=$1 dir=$2 targets=$3
    shift 3
    say "run: building $name in ${dir#"$root"/}"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    # shellcheck disable=SC2086 # targets are words
    with_heartbeat "build $name" build_quietly "$dir" $targets
}
build_quietly() {
    local dir=$1
    shift
    cmake --build "$dir" -j"$(nproc)" --target "$@" 2>&1 | progress_filter "build ${dir##*/}"
}
build native "$build/native" "opengl_test close_window"
program=("$build/native/src/opengl_test")
prefix=
if [ "$kind" != native ]; then
    dir=$build/win-$kind
    with_heartbeat "run: GLEW for MinGW" bash "$root/scripts/fetch-glew-mingw.sh" "$kind-w64-mingw32" "$dir/deps/$kind-w64-mingw32"
    build "windows $kind" "$dir" opengl_test -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$kind.cmake"
    if [ "$kind" = i686 ]; then
        with_heartbeat "run: fetching the emulator" bash "$root/scripts/run-i386.sh" --prepare
        how=$(bash "$root/scripts/run-i386.sh" --how) || { say "run: the 32-bit exe cannot run here: ${how#none: }"; exit 1; }
        say "run: 32-bit Wine runs $how"
    fi
    # The prefix the build's tests use too: one per build, reused.
    prefix=$dir/wineprefix
    [ -f "$prefix/system.reg" ] || say "run: creating the Wine prefix (once, about 30 s)"
    program=("$root/scripts/wine-run.sh" "$prefix" "$dir/src/opengl_test.exe")
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    say "run: starting the program on $DISPLAY"
    exec "${program[@]}"
fi

# No display: a private one, a screenshot, a close-box close. Whatever was
# started is ended on every path, by its pid.
# shellcheck source=xvfb.sh
source "$root/scripts/xvfb.sh"
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -- "-$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    [ -z "$prefix" ] || "$root/scripts/wine-run.sh" --stop "$prefix"
    stop_xvfbs
}
trap cleanup EXIT
start_xvfb DISPLAY
export DISPLAY
[ -z "$prefix" ] || with_heartbeat "run: starting Wine" "$root/scripts/wine-run.sh" --start "$prefix"
say "run: starting the program on a private Xvfb ($DISPLAY)"
# A process group of its own, so that Wine's helpers end with it.
set -m
"${program[@]}" &
pid=$!
set +m
title=$(printf 'OpenGL\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88')
window=$("$build/native/tools/close_window" "$title" --wait 120 --no-close)
say "run: the window is up; letting it draw for 3 s"
sleep 3
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
say "run: screenshot of the window: $shot"
"$build/native/tools/close_window" "$title" >/dev/null
status=0
wait "$pid" || status=$?
pid=
say "run: the program ended with exit status $status"
exit "$status"
