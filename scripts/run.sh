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
build=$root/build
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

# The program's part of each build (the *-program presets), without the
# tests, so that running needs no test framework.
# shellcheck source=build-preset.sh
source "$root/scripts/build-preset.sh"
build_preset native-program
program=("$build/native/src/opengl_test")
prefix=
if [ "$kind" != native ]; then
    build_preset "win-$kind-program"
    if [ "$kind" = i686 ]; then
        with_heartbeat "run: fetching the emulator" bash "$root/scripts/run-i386.sh" --prepare
        how=$(bash "$root/scripts/run-i386.sh" --how) || { say "run: the 32-bit exe cannot run here: ${how#none: }"; exit 1; }
        say "run: 32-bit Wine runs $how"
    fi
    # The prefix the build's tests use too: one per build, reused.
    prefix=$build/win-$kind/wineprefix
    [ -f "$prefix/system.reg" ] || say "run: creating the Wine prefix (once, about 30 s)"
    program=("$root/scripts/wine-run.sh" "$prefix" "$build/win-$kind/src/opengl_test.exe")
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
window=$("$build/native/tools/close_window" --wait 120 --no-close)
say "run: the window is up; letting it draw for 3 s"
sleep 3
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
say "run: screenshot of the window: $shot"
"$build/native/tools/close_window" >/dev/null
status=0
wait "$pid" || status=$?
pid=
say "run: the program ended with exit status $status"
exit "$status"
