#!/usr/bin/env bash
# The mutation command: how many single-point faults of a catalogue the
# native tests catch (scripts/mutate.py; tests/mutants.txt for src/, the
# default, tests/winsubset_mutants.txt for the Win32 subset); the tests start
# the displays they need.
# Takes many minutes: each fault is a rebuild and a test run.
#   scripts/mutate.sh [--catalogue FILE] [--threshold PERCENT] [--only TEXT] [--tests REGEX]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh" test
python3 "$root/scripts/mutate.py" "$@"
