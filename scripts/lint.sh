#!/usr/bin/env bash
# The lint command: clang-tidy (.clang-tidy) and cppcheck over src/ and the
# Win32 subset. Needs a native build's compile_commands.json (the test
# command makes one; otherwise this configures the native preset). Exit status
# non-zero on any finding.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/native
if [ ! -f "$build/compile_commands.json" ]; then
    (cd "$root" && cmake --preset native >/dev/null)
fi
cd "$root"
sources=(src/*/*.cpp winsubset/*/*.cpp)
status=0
# GCC's -Wshadow=local is unknown to clang.
# Its exit status is what counts: findings are errors (.clang-tidy), and a
# crash or a compile database it cannot use fails too. One file at a time,
# each named as it goes.
for source in "${sources[@]}"; do
    echo "lint: clang-tidy $source"
    if ! output=$(clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option \
        "$source" 2>&1); then
        printf '%s\n' "$output" | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2
        echo "lint: clang-tidy failed on $source" >&2
        status=1
    fi
done
echo "lint: cppcheck"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++17 \
    --inline-suppr -I winsubset/include -I src -I winsubset src winsubset || status=1
if [ "$status" = 0 ]; then
    echo "lint: clang-tidy and cppcheck found nothing in ${#sources[@]} files"
fi
exit $status
