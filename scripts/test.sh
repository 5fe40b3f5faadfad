#!/usr/bin/env bash
# The test command: installs what is missing, then runs every preset's
# workflow (configure, build, test) in order, with a closing summary. The
# tests start what they need themselves (CTest fixtures: the displays, the
# Wine servers, the i386 emulator). Idempotent; run as root on Debian 12
# (x86-64).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
jobs=$(nproc)
# shellcheck source=progress.sh
source "$root/scripts/progress.sh"
trap 'say "test: FAILED (exit $?) at scripts/test.sh line $LINENO: $BASH_COMMAND"' ERR

say "test: installing what is missing"
bash "$root/scripts/install-deps.sh" test

# --- build -------------------------------------------------------------------
# Every build is a CMake preset (CMakePresets.json): configured, built and
# tested here exactly as `cmake --workflow --preset NAME` does by hand.
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs CTEST_PARALLEL_LEVEL=$jobs
# shellcheck source=build-preset.sh
source "$root/scripts/build-preset.sh"
# The Windows builds first: the native build's end-to-end tests run their
# exes. Each compiles Debian's GLEW with its own MinGW compiler on its first
# configure.
build_preset win-x86_64
# The genuine 32-bit program. Its tests may run emulated, where starting a
# process costs seconds: each test program runs once, as a whole.
build_preset win-i686

# How the 32-bit exe runs here: natively, with its code emulated (the
# emulator fetched once, where the host needs it), or not at all (the
# install says why); the native end-to-end cases of the 32-bit exe say so
# too, as skipped.
with_heartbeat "test: the i386 emulator" bash "$root/scripts/run-i386.sh" --prepare || true
i686_how=$(bash "$root/scripts/run-i386.sh" --how) || true
say "test: the 32-bit Windows exe runs here: $i686_how"

# The matrix library as 32-bit x86 code with the i686 build's arithmetic
# flags, run through qemu: the bit-exact tests on 32-bit code even where
# nothing else of 32 bits runs.
build_preset linux-i686
# The native build again with AddressSanitizer and UndefinedBehaviorSanitizer.
build_preset sanitize
# The tests that call in from several threads, with ThreadSanitizer.
build_preset thread-sanitize
build_preset native

# --- test --------------------------------------------------------------------
status=0
summary=()
# run_stage NAME COMMAND...: runs one stage, records its result and time.
run_stage() {
    local name=$1 started result
    shift
    say "test: === $name ==="
    started=$(date +%s)
    if with_heartbeat "$name" "$@"; then result=passed; else result=FAILED; status=1; fi
    summary+=("$(printf '%-62s %-7s %4d s' "$name" "$result" $(($(date +%s) - started)))")
}
run_stage lint bash "$root/scripts/lint.sh"
run_stage "native on X11 (Xvfb, openbox; the Windows exes under Wine)" ctest --preset native -LE wayland
run_stage "native on Wayland (weston, no X server)" ctest --preset native -L wayland
run_stage "i686 arithmetic (32-bit Linux code under qemu)" ctest --preset linux-i686
# Every native test, the program included, under the sanitizers; the Wine
# cases run a Windows exe, which the sanitizers do not see, and valgrind
# does not run sanitized programs.
run_stage "native under AddressSanitizer and UndefinedBehaviorSanitizer" ctest --preset sanitize
run_stage "native threads under ThreadSanitizer" ctest --preset thread-sanitize

run_stage "windows x86-64 under 64-bit Wine" ctest --preset win-x86_64

# gtest_cases DIR: how many test cases the last whole-program run passed.
gtest_cases() {
    awk '/^\[  PASSED  \] [0-9]+ test/ { n += $4 } END { print n + 0 }' \
        "$1/Testing/Temporary/LastTest.log" 2>/dev/null
}
if [ "${i686_how#none}" = "$i686_how" ]; then
    run_stage "windows i686 under 32-bit Wine ($i686_how)" ctest --preset win-i686
    say "test: windows i686: $(gtest_cases "$build/win-i686") test cases passed in its test programs"
else
    say "test: windows i686: built, but its test programs did not run, nor the native build's cases of the 32-bit exe: ${i686_how#none: }"
    summary+=("$(printf '%-62s %-7s' "windows i686 under 32-bit Wine" "not run")")
    summary+=("$(printf '%-62s %-7s' "native end-to-end cases of the 32-bit exe (wine_i686)" "not run")")
fi

say "test: summary"
printf '  %s\n' "${summary[@]}"
say "test: finished with status $status"
exit $status
