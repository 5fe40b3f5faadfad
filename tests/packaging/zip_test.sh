#!/usr/bin/env bash
# A Windows zip as a user gets it: made by CPack from a Windows build,
# holding the exe, its text and the third-party notices, and the exe
# unpacked from it draws the scene under Wine and closes with 0.
#   zip_test.sh WINDOWS_BUILD KIND E2E_TEST      KIND: wine or wine_i686
set -euo pipefail
build=$1 kind=$2 e2e_test=$3
SKIPPED=77
[ -f "$build/CPackConfig.cmake" ] || { echo "zip_test: $build is not configured"; exit $SKIPPED; }
[ -f "$build/src/opengl_test.exe" ] || { echo "zip_test: $build/src/opengl_test.exe is not built"; exit $SKIPPED; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
zip=$(ls "$work"/opengl-test-*.zip)
unzip -l "$zip"
unzip -q "$zip" -d "$work/unpacked"
exe=$(ls "$work"/unpacked/*/opengl_test.exe)
[ -f "$(dirname "$exe")/README.txt" ] || { echo "zip_test: no README.txt beside the exe"; exit 1; }
# The notices of what the exe links statically travel with it: GLEW's
# licence, the MinGW-w64 runtime's copyright and GCC's runtime exception.
notices=$(dirname "$exe")/THIRD-PARTY-NOTICES.txt
for words in 'Copyright (C) 2002-2007, Milan Ikits' 'Upstream-Name: mingw-w64' 'GCC RUNTIME LIBRARY EXCEPTION'; do
    grep -qF "$words" "$notices" 2>/dev/null || { echo "zip_test: $notices lacks \"$words\""; exit 1; }
done
OPENGL_TEST_PROGRAM=$exe "$e2e_test" \
    --gtest_filter="Program/EndToEnd.DrawsTheSquareInA640By480WindowAndExitsZeroOnClose/$kind" |
    tee "$work/e2e.log"
if grep -q '\[  SKIPPED \]' "$work/e2e.log"; then exit $SKIPPED; fi
echo "zip_test: the exe from $(basename "$zip") drew the scene and closed with 0"
