#!/usr/bin/env bash
# The run command: builds the program and opens its window on $DISPLAY.
# Without a display it runs the program on a private Xvfb for a few seconds,
# saves a screenshot of the window, closes the window as a close box does and
# ends with the program's exit status.
#   scripts/run.sh              the native build
#   scripts/run.sh --wine       the x86-64 Windows exe under 64-bit Wine
#   scripts/run.sh --wine32     the 32-bit Windows exe under 32-bit Wine (its
#                               code emulated where the host runs no 32-bit code)
#   scripts/run.sh --wayland    the native build on a private headless weston
#                               (no DISPLAY): a screenshot of the window, then
#                               SIGTERM, as a headless compositor has no way to
#                               ask a window to close; the status printed is
#                               what that signal leaves (143 unless handled)
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
        --wayland) kind=wayland ;;
        --shot) shot=$(realpath -m "$2"); shift ;;
        *) echo "usage: run.sh [--wine | --wine32 | --wayland] [--shot FILE]" >&2; exit 2 ;;
    esac
    shift
done
trap 'say "run: FAILED (exit $?) at scripts/run.sh line $LINENO: $BASH_COMMAND"' ERR

case "$kind" in
    native) deps=run ;;
    wayland) deps=run-wayland ;;
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
if [ "$kind" = x86_64 ] || [ "$kind" = i686 ]; then
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

if [ "$kind" = wayland ]; then
    for tool in weston weston-debug weston-screenshooter; do
        command -v "$tool" >/dev/null || { say "run: no $tool (scripts/install-deps.sh run-wayland installs weston)"; exit 1; }
    done
    # A private runtime folder (0700, as XDG_RUNTIME_DIR must be) holds the
    # compositor's socket; --debug lets the run read the scene graph and
    # take the screenshot; without --use-gl the headless output renders
    # nothing. No DISPLAY: the program can only take the compositor.
    runtime=$(mktemp -d /tmp/opengl_test_run_XXXXXX)
    chmod 0700 "$runtime"
    pids=()
    cleanup() {
        local p
        for p in "${pids[@]}"; do kill -- "-$p" 2>/dev/null || true; done
        for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
        rm -rf "$runtime"
    }
    trap cleanup EXIT
    unset DISPLAY WAYLAND_SOCKET
    export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wl-run WINSUBSET_PLATFORM=wayland
    set -m
    weston --socket="$WAYLAND_DISPLAY" --backend=headless-backend.so --use-gl --debug \
        --idle-time=0 --width=1024 --height=768 </dev/null >"$runtime/weston.log" 2>&1 &
    pids+=($!)
    set +m
    deadline=$((SECONDS + 30))
    until [ -S "$runtime/$WAYLAND_DISPLAY" ]; do
        [ "$SECONDS" -lt "$deadline" ] || { say "run: weston did not start; its log:"; cat "$runtime/weston.log" >&2; exit 1; }
        sleep 0.1
    done
    say "run: starting the program on a private headless weston ($runtime/$WAYLAND_DISPLAY)"
    set -m
    "${program[@]}" &
    pid=$!
    pids+=("$pid")
    set +m
    # The client area's top-left corner: where weston shows the program's
    # toplevel (its first line after the view's names its position).
    position=
    deadline=$((SECONDS + 120))
    until [ -n "$position" ]; do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" && status=0 || status=$?; say "run: the program ended with exit status $status before its window was up"; exit "$status"; }
        [ "$SECONDS" -lt "$deadline" ] || { say "run: no window within 120 s"; exit 1; }
        position=$(weston-debug scene-graph 2>/dev/null |
            grep -A1 "role xdg_toplevel, PID $pid," | sed -n 's/.*position: (\(-\{0,1\}[0-9]*\), \(-\{0,1\}[0-9]*\)).*/+\1+\2/p' | head -n1) || true
        sleep 0.1
    done
    say "run: the window is up; letting it draw for 3 s"
    sleep 3
    mkdir -p "$(dirname "$shot")"
    # weston-screenshooter writes the whole output into its current folder.
    (cd "$runtime" && weston-screenshooter)
    convert "$(ls "$runtime"/wayland-screenshot-*.png | head -n1)" -crop "640x480$position" +repage "$shot"
    say "run: screenshot of the window: $shot"
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    pids=("${pids[@]:0:1}")
    say "run: the program ended with exit status $status (after SIGTERM)"
    exit "$status"
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
