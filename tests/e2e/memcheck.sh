#!/usr/bin/env bash
# The native program under valgrind memcheck for at least 200 frames, then
# closed by its close box: exit status 0, and no memcheck error (invalid
# access, use of uninitialised memory, or a definitely-lost block allocated
# by our code). Usage: memcheck.sh PROGRAM SWAP_COUNTER CLOSE_WINDOW SUPPRESSIONS
set -euo pipefail
program=$1 counter=$2 close_window=$3 suppressions=$4
# On the display the glx_display fixture started.
DISPLAY=$(cat "${OPENGL_TEST_FIXTURE_DIR:-}/glx.display" 2>/dev/null) ||
    { echo "memcheck: needs the glx_display fixture (ctest starts it)"; exit 1; }
export DISPLAY
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT

OPENGL_TEST_FRAME_FILE=$work/frames LD_PRELOAD=$counter \
    valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
    --error-exitcode=99 --suppressions="$suppressions" --num-callers=30 \
    --log-file="$work/memcheck.log" "$program" &
pid=$!

frames=0
for _ in $(seq 3000); do  # a ceiling of five minutes: frames come, or the run fails
    frames=$(cat "$work/frames" 2>/dev/null || echo 0)
    [ "$frames" -ge 200 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
echo "memcheck: $frames frames drawn under valgrind"
"$close_window" --wait 10 >/dev/null || true
status=0
wait "$pid" || status=$?
grep -E "ERROR SUMMARY|definitely lost|Invalid|uninitialised" "$work/memcheck.log" || true
if [ "$frames" -lt 200 ] || [ "$status" -ne 0 ]; then
    echo "memcheck: failed: $frames frames, exit status $status (99: memcheck errors)"
    cp "$work/memcheck.log" "${OPENGL_TEST_MEMCHECK_LOG:-/dev/stdout}"
    exit 1
fi
echo "memcheck: passed: $frames frames, exit status 0, no errors"
