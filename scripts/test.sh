#!/usr/bin/env bash
# The test command: installs what is missing, builds the native build and
# the Windows builds, and runs every test of each on its own virtual
# display. Idempotent; run as root on Debian 12 (x86-64).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OPENGL_TEST_BUILD_DIR:-$root/build}
jobs=$(nproc)
started=$(date +%s)

bash "$root/scripts/install-deps.sh"

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
echo "test: displays $DISPLAY (GLX) and $OPENGL_TEST_NOGLX_DISPLAY (no GLX)"

# --- build -------------------------------------------------------------------
configure_windows() {
    local arch=$1 dir=$build/win-$1
    bash "$root/scripts/fetch-glew-mingw.sh" "$arch-w64-mingw32" "$dir/deps/$arch-w64-mingw32"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DOPENGL_TEST_WERROR=ON >/dev/null
    cmake --build "$dir" -j"$jobs"
}
configure_windows x86_64
configure_windows i686

# The matrix library as 32-bit x86 code with the i686 build's arithmetic
# flags: the bit-exact tests run on it even where Wine cannot run 32-bit
# programs.
cmake -S "$root" -B "$build/linux-i686" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i686.cmake" \
    -DOPENGL_TEST_MATH_ONLY=ON -DCMAKE_BUILD_TYPE=Release -DOPENGL_TEST_WERROR=ON >/dev/null
cmake --build "$build/linux-i686" -j"$jobs"

# The native build again with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S "$root" -B "$build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DOPENGL_TEST_WERROR=ON \
    -DOPENGL_TEST_SANITIZE=address,undefined >/dev/null
cmake --build "$build/sanitize" -j"$jobs"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release -DOPENGL_TEST_WERROR=ON \
    -DOPENGL_TEST_WINDOWS_EXE="$build/win-x86_64/src/opengl_test.exe" >/dev/null
cmake --build "$build/native" -j"$jobs"

# --- test --------------------------------------------------------------------
status=0
run_ctest() {
    local name=$1 dir=$2
    shift 2
    echo "test: === $name ==="
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") || status=1
}

echo "test: === lint ==="
bash "$root/scripts/lint.sh" || status=1

run_ctest native "$build/native"
run_ctest "i686 arithmetic (32-bit Linux code under qemu)" "$build/linux-i686"
# Every native test, the program included, under the sanitizers; the Wine
# cases run a Windows exe, which the sanitizers do not see, and valgrind
# does not run sanitized programs. Any report fails
# the test (halt_on_error; leaks make the exit status non-zero).
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
    run_ctest "native under AddressSanitizer and UndefinedBehaviorSanitizer" "$build/sanitize" -E "/wine|Memcheck"

wine_prefixes+=("$build/win-x86_64/wineprefix")
"$root/scripts/wine-run.sh" --start "$build/win-x86_64/wineprefix"
run_ctest "windows x86-64 under Wine" "$build/win-x86_64"

# The i686 build is a 32-bit program; its tests run only where this host can
# execute 32-bit code itself (some virtual machines cannot, whatever Wine
# does; 32-bit Wine through an emulator is far too slow to be a test).
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine_prefixes+=("$build/win-i686/wineprefix")
    WINEARCH=win32 "$root/scripts/wine-run.sh" --start "$build/win-i686/wineprefix"
    run_ctest "windows i686 under Wine" "$build/win-i686"
else
    echo "test: windows i686: built; its tests cannot run here: this host does not execute 32-bit code"
fi

echo "test: finished in $(($(date +%s) - started)) s with status $status"
exit $status
