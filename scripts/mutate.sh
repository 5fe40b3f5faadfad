#!/usr/bin/env bash
# The mutation command: how many single-point faults in src/ the native
# tests catch (scripts/mutate.py, tests/mutants.txt), on displays of its own.
# Takes many minutes: each fault is a rebuild and a test run.
#   scripts/mutate.sh [--threshold PERCENT] [--only TEXT] [--tests REGEX]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh" test
# shellcheck source=xvfb.sh
source "$root/scripts/xvfb.sh"
trap stop_xvfbs EXIT
start_xvfb DISPLAY
start_xvfb OPENGL_TEST_NOGLX_DISPLAY -extension GLX
start_desktop OPENGL_TEST_DESKTOP_DISPLAY
export DISPLAY OPENGL_TEST_NOGLX_DISPLAY OPENGL_TEST_DESKTOP_DISPLAY
python3 "$root/scripts/mutate.py" "$@"
