#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from the native build,
# lintian reports no error and no warning, `apt-get install ./…deb` installs
# it on this machine, the installed program draws the scene and closes with
# 0 on X11 and draws it on Wayland with no X server, its desktop entry
# validates, and `apt-get purge` leaves nothing behind. The package never
# stays installed: it is purged on every path.
#   deb_test.sh BUILD E2E_TEST
set -euo pipefail
build=$1 e2e_test=$2
SKIPPED=77
[ "$(id -u)" = 0 ] || { echo "deb_test: installing a package needs root"; exit $SKIPPED; }
if dpkg-query -W -f='${Status}' opengl-test 2>/dev/null | grep -q 'install ok installed'; then
    echo "deb_test: opengl-test is installed already, and not by this test: left alone"
    exit $SKIPPED
fi
work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -q opengl-test >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/opengl-test_*.deb)
echo "deb_test: $(basename "$deb")"
# Warnings fail as errors do: the package promises neither.
lintian_status=0
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$lintian_status" = 0 ] || { echo "deb_test: lintian reports errors or warnings (exit $lintian_status)"; exit 1; }

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
files=$(dpkg -L opengl-test)
desktop-file-validate /usr/share/applications/opengl-test.desktop
[ -x /usr/bin/opengl-test ] || { echo "deb_test: /usr/bin/opengl-test is not there"; exit 1; }
man -w opengl-test >/dev/null 2>&1 || [ -f /usr/share/man/man1/opengl-test.1.gz ]
OPENGL_TEST_PROGRAM=/usr/bin/opengl-test "$e2e_test" \
    --gtest_filter='Program/EndToEnd.DrawsTheSquareInA640By480WindowAndExitsZeroOnClose/native'
# The same binary on a compositor with no X server anywhere.
OPENGL_TEST_PROGRAM=/usr/bin/opengl-test "$e2e_test" \
    --gtest_filter='Program/Wayland.DrawsTheSquareInA640By480WindowTitledOpenGLTestWithNoXServer/*'

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q opengl-test >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
installed=0
if dpkg-query -W -f='${Status}' opengl-test 2>/dev/null | grep -q 'installed'; then
    echo "deb_test: still known to dpkg after the purge"
    exit 1
fi
left=()
while IFS= read -r path; do
    # The folders every system has stay; the package's own files must go.
    [ -e "$path" ] && [ ! -d "$path" ] && left+=("$path")
done <<<"$files"
[ -d /usr/share/doc/opengl-test ] && left+=(/usr/share/doc/opengl-test)
if [ "${#left[@]}" -gt 0 ]; then echo "deb_test: left behind: ${left[*]}"; exit 1; fi
echo "deb_test: installed, drew the scene, closed with 0, purged without a trace"
