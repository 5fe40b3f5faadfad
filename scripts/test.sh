#!/usr/bin/env bash
# The test command: installs what is missing, builds the native build and
# the Windows builds, and runs every test of each on its own virtual
# display. Idempotent; run as root on Debian 12 (x86-64).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
jobs=$(nproc)
# shellcheck source=progress.sh
source "$root/scripts/progress.sh"
trap 'say "test: FAILED (exit $?) at scripts/test.sh line $LINENO: $BASH_COMMAND"' ERR

say "test: installing what is missing"
bash "$root/scripts/install-deps.sh" test

# shellcheck source=xvfb.sh
source "$root/scripts/xvfb.sh"
wine_prefixes=()
cleanup() {
    local prefix
    for prefix in "${wine_prefixes[@]}"; do
        "$root/scripts/wine-run.sh" --stop "$prefix" || true
    done
    stop_xvfbs
}
trap cleanup EXIT

start_xvfb main_display
# A display without GLX, for the paths where no pixel format exists.
start_xvfb noglx_display -extension GLX
export DISPLAY=$main_display
export OPENGL_TEST_NOGLX_DISPLAY=$noglx_display
say "test: displays $DISPLAY (GLX) and $OPENGL_TEST_NOGLX_DISPLAY (no GLX)"

# --- build -------------------------------------------------------------------
# build_tree NAME DIR CMAKE-ARGS...: configures and builds one build.
build_tree() {
    local name=$1 dir=$2
    shift 2
    say "test: building $name in ${dir#"$root"/}"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DOPENGL_TEST_WERROR=ON "$@" >/dev/null
    with_heartbeat "build $name" build_quietly "$dir"
}
build_quietly() { cmake --build "$1" -j"$jobs" 2>&1 | progress_filter "build ${1#"$build"/}"; }
build_windows() {
    local arch=$1
    shift
    with_heartbeat "test: GLEW for MinGW" bash "$root/scripts/fetch-glew-mingw.sh" "$arch-w64-mingw32" "$build/win-$arch/deps/$arch-w64-mingw32"
    build_tree "windows $arch" "$build/win-$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" "$@"
}
build_windows x86_64
# The genuine 32-bit program. Its tests may run emulated, where starting a
# process costs seconds: each test program runs once, as a whole.
build_windows i686 -DOPENGL_TEST_WHOLE_PROGRAMS=ON

# How the 32-bit exe runs here: natively, with its code emulated, or not.
i686_how=$(bash "$root/scripts/run-i386.sh" --how) || true
if [ "${i686_how#none: no emulator}" != "$i686_how" ]; then
    say "test: fetching the i386 emulator for 32-bit Wine"
    with_heartbeat "test: fetching the emulator" bash "$root/scripts/run-i386.sh" --prepare
    i686_how=$(bash "$root/scripts/run-i386.sh" --how) || true
fi
say "test: the 32-bit Windows exe runs here: $i686_how"
i686_exe=
[ "${i686_how#none}" = "$i686_how" ] && i686_exe=$build/win-i686/src/opengl_test.exe

# The matrix library as 32-bit x86 code with the i686 build's arithmetic
# flags, run through qemu: the bit-exact tests on 32-bit code even where
# nothing else of 32 bits runs.
build_tree "i686 arithmetic" "$build/linux-i686" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i686.cmake" \
    -DOPENGL_TEST_MATH_ONLY=ON
# The native build again with AddressSanitizer and UndefinedBehaviorSanitizer.
build_tree "native, sanitizers" "$build/sanitize" -DCMAKE_BUILD_TYPE=Debug \
    -DOPENGL_TEST_SANITIZE=address,undefined
build_tree native "$build/native" \
    -DOPENGL_TEST_WINDOWS_EXE="$build/win-x86_64/src/opengl_test.exe" \
    -DOPENGL_TEST_WINDOWS_I686_EXE="$i686_exe"

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
# ctest_in DIR ARGS...: ctest in a build folder, with its own count line.
ctest_in() {
    local dir=$1
    shift
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@")
}

run_stage lint bash "$root/scripts/lint.sh"
run_stage native ctest_in "$build/native"
run_stage "i686 arithmetic (32-bit Linux code under qemu)" ctest_in "$build/linux-i686"
# Every native test, the program included, under the sanitizers; the Wine
# cases run a Windows exe, which the sanitizers do not see, and valgrind
# does not run sanitized programs. Any report fails the test
# (halt_on_error; leaks make the exit status non-zero).
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
    run_stage "native under AddressSanitizer and UndefinedBehaviorSanitizer" \
    ctest_in "$build/sanitize" -E "/wine|Memcheck"

wine_prefixes+=("$build/win-x86_64/wineprefix")
say "test: starting Wine for the x86-64 build"
with_heartbeat "test: starting Wine" "$root/scripts/wine-run.sh" --start "$build/win-x86_64/wineprefix"
run_stage "windows x86-64 under 64-bit Wine" ctest_in "$build/win-x86_64"
"$root/scripts/wine-run.sh" --stop "$build/win-x86_64/wineprefix"

# gtest_cases DIR: how many test cases the last whole-program run passed.
gtest_cases() {
    awk '/^\[  PASSED  \] [0-9]+ test/ { n += $4 } END { print n + 0 }' \
        "$1/Testing/Temporary/LastTest.log" 2>/dev/null
}
if [ -n "$i686_exe" ]; then
    wine_prefixes+=("$build/win-i686/wineprefix")
    say "test: starting Wine for the i686 build"
    with_heartbeat "test: starting Wine" "$root/scripts/wine-run.sh" --start "$build/win-i686/wineprefix"
    run_stage "windows i686 under 32-bit Wine ($i686_how)" ctest_in "$build/win-i686"
    say "test: windows i686: $(gtest_cases "$build/win-i686") test cases passed in its test programs"
else
    say "test: windows i686: built, but its test programs and its end-to-end cases did not run: ${i686_how#none: }"
    summary+=("$(printf '%-62s %-7s' "windows i686 under 32-bit Wine" "not run")")
fi

say "test: summary"
printf '  %s\n' "${summary[@]}"
say "test: finished with status $status"
exit $status
