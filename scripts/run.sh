#!/usr/bin/env bash
# The run command: builds the program and opens its window on $DISPLAY.
# Without a display it runs the program on a private Xvfb for a few seconds,
# saves a screenshot of the window, closes the window as a close box does and
# prints the exit status.
#   scripts/run.sh            native build
#   scripts/run.sh --wine     the Windows exe (x86-64) under Wine
#   scripts/run.sh --shot F   where the screenshot goes (default build/screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
wine=0
shot=$build/screenshot.png
while [ $# -gt 0 ]; do
    case "$1" in
        --wine) wine=1 ;;
        --shot) shot=$(realpath -m "$2"); shift ;;
        *) echo "usage: run.sh [--wine] [--shot FILE]" >&2; exit 2 ;;
    esac
    shift
done

bash "$root/scripts/install-deps.sh" >/dev/null
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$(nproc)" --target opengl_test close_window >/dev/null
program=("$build/native/src/opengl_test")
if [ "$wine" = 1 ]; then
    dir=$build/win-x86_64
    bash "$root/scripts/fetch-glew-mingw.sh" x86_64-w64-mingw32 "$dir/deps/x86_64-w64-mingw32"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$dir" -j"$(nproc)" --target opengl_test >/dev/null
    prefix=$build/run-wine/${DISPLAY:-xvfb}
    program=("$root/scripts/wine-run.sh" "$prefix" "$dir/src/opengl_test.exe")
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "${program[@]}"
fi

# No display: a private one, a screenshot, a close-box close.
source "$root/scripts/xvfb.sh"
trap stop_xvfbs EXIT
start_xvfb DISPLAY
export DISPLAY
[ "$wine" = 1 ] && prefix=$build/run-wine/xvfb && program[1]=$prefix
"${program[@]}" &
pid=$!
title=$(printf 'OpenGL\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88')
window=$("$build/native/tools/close_window" "$title" --wait 90 --no-close)
sleep 3  # a few seconds of frames
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
echo "run: screenshot of the window: $shot"
"$build/native/tools/close_window" "$title" >/dev/null
status=0
wait "$pid" || status=$?
[ "$wine" = 1 ] && "$root/scripts/wine-run.sh" --stop "$prefix"
echo "run: exit status $status"
