#!/usr/bin/env bash
# Installs what a command of this project needs on Debian 12 (x86-64), as
# root. Idempotent: what is already there is skipped, so a second run costs
# a second or two.
#   install-deps.sh run        the native program on a display or Xvfb
#   install-deps.sh run-wine   ... and the x86-64 Windows exe under Wine
#   install-deps.sh run-wine32 ... and the i686 Windows exe under 32-bit Wine
#   install-deps.sh test       everything the test command builds and runs
# Each missing tool is named with its package after the install, so a step
# that could not install fails here, not later.
set -euo pipefail
# shellcheck source=progress.sh
source "$(dirname "${BASH_SOURCE[0]}")/progress.sh"

set_name=${1:-test}
if [ "$(id -u)" != 0 ]; then
    say "install-deps: must run as root (apt-get install)"
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive

run_packages=(
    cmake g++ make pkg-config libx11-dev libgl-dev libglew-dev libgl1-mesa-dri
    xvfb x11-utils imagemagick
)
# GLEW's sources (apt-get source, from dpkg-dev) compiled with MinGW, and
# 64-bit Wine with the Japanese locale that gives it code page 932.
wine64_packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    wine wine64 dpkg-dev locales
)
# The genuine 32-bit program: its compiler, and 32-bit Wine with the
# 32-bit GL it loads. Its emulator, where the host runs no 32-bit code, is
# unpacked, not installed (scripts/run-i386.sh).
wine32_packages=(
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
)
test_packages=(
    python3 clang-format clang-tidy cppcheck valgrind
    googletest libgtest-dev libgmock-dev
    # The arithmetic check: 32-bit Linux code from the same compiler.
    g++-multilib qemu-user-static
    # The desktop cases: a real window manager and the tools that drive it.
    openbox wmctrl xdotool
)
# Commands checked after the install: "command package".
run_tools=("cmake cmake" "g++ g++" "Xvfb xvfb" "xdpyinfo x11-utils" "import imagemagick")
wine64_tools=(
    "x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix"
    "x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix"
    "/usr/lib/wine/wine64 wine64" "/usr/lib/wine/wineserver64 wine64"
    "dpkg-source dpkg-dev" "locale-gen locales"
)
wine32_tools=(
    "i686-w64-mingw32-gcc-posix gcc-mingw-w64-i686-posix"
    "i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix"
    "/usr/lib/wine/wine wine32:i386" "/usr/lib/i386-linux-gnu/libGL.so.1 libgl1:i386"
)
test_tools=(
    "python3 python3" "clang-format clang-format" "clang-tidy clang-tidy" "cppcheck cppcheck"
    "valgrind valgrind" "qemu-i386-static qemu-user-static"
    "openbox openbox" "wmctrl wmctrl" "xdotool xdotool"
)

packages=("${run_packages[@]}")
tools=("${run_tools[@]}")
case "$set_name" in
    run) ;;
    run-wine) packages+=("${wine64_packages[@]}"); tools+=("${wine64_tools[@]}") ;;
    run-wine32)
        packages+=("${wine64_packages[@]}" "${wine32_packages[@]}")
        tools+=("${wine64_tools[@]}" "${wine32_tools[@]}")
        ;;
    test)
        packages+=("${wine64_packages[@]}" "${wine32_packages[@]}" "${test_packages[@]}")
        tools+=("${wine64_tools[@]}" "${wine32_tools[@]}" "${test_tools[@]}")
        ;;
    *) say "usage: install-deps.sh [run|run-wine|run-wine32|test]"; exit 2 ;;
esac

need_update=0
# Wine's 32-bit half and Mesa's i386 drivers live in the i386 architecture.
if { [ "$set_name" = test ] || [ "$set_name" = run-wine32 ]; } && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

# The machine's own Debian archive (a user's mirror is respected) with the
# suites the project adds to it: the sources of the release (GLEW, for
# MinGW) and its backports (a newer qemu, downloaded only, never
# installed). Backports have a low priority: nothing is installed from
# them unless asked by name.
archive_entry() {
    local codename=$1
    {
        # deb822 files: print "URI SIGNED-BY" for the stanzas of type deb
        # that carry the release's own suite.
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v suite="$codename" '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uri != "")
                    print uri, (signed == "" ? "-" : signed)
                types = suites = uri = signed = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            tolower($1) == "types:" { $1 = ""; types = substr($0, 2) }
            tolower($1) == "suites:" { $1 = ""; suites = substr($0, 2) }
            tolower($1) == "uris:" { uri = $2 }
            tolower($1) == "signed-by:" { signed = $2 }
            END { flush() }' || true
        # One-line sources.list entries: deb [options] URI SUITE COMPONENTS...
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | awk -v suite="$codename" '
            $1 != "deb" { next }
            {
                i = 2; signed = "-"
                if ($2 ~ /^\[/) {
                    for (; i <= NF; i++) {
                        if ($i ~ /^signed-by=/) { signed = $i; sub(/^signed-by=/, "", signed); sub(/\]$/, "", signed) }
                        if ($i ~ /\]$/) { i++; break }
                    }
                }
                if ($(i + 1) == suite) print $i, signed
            }' || true
    } | head -n 1
}
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
entry=$(archive_entry "$codename")
if [ -z "$codename" ] || [ -z "$entry" ]; then
    say "install-deps: no apt source carries this release's suite (${codename:-unknown}); add one to /etc/apt/sources.list.d"
    exit 1
fi
uri=${entry% *}
signed=${entry#* }
stanza() {
    printf 'Types: %s\nURIs: %s\nSuites: %s\nComponents: main\n' "$1" "$uri" "$2"
    [ "$signed" = - ] || printf 'Signed-By: %s\n' "$signed"
}
wanted=$(stanza deb-src "$codename $codename-updates"; echo; stanza deb "$codename-backports")
src_list=/etc/apt/sources.list.d/opengl-test.sources
rm -f /etc/apt/sources.list.d/opengl-test-deb-src.sources  # the name earlier versions wrote
if [ "$(cat "$src_list" 2>/dev/null)" != "$wanted" ]; then
    printf '%s\n' "$wanted" >"$src_list"
    need_update=1
fi

# What is installed, one "name status" a line; a package of another
# architecture than the machine's carries it in its name (wine32:i386).
installed=$(dpkg-query -W -f='${binary:Package} ${Status}\n' 2>/dev/null |
    sed -n "s/:$(dpkg --print-architecture) / /; s/ install ok installed\$//p")
apt_quietly() { with_heartbeat install-deps apt_filtered "$@"; }
apt_filtered() { apt-get "$@" 2>&1 | progress_filter install-deps; }
missing=()
for p in "${packages[@]}"; do
    grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
lists_age=$(($(date +%s) - $(stat -c %Y /var/lib/apt/lists 2>/dev/null || echo 0)))
if [ "$need_update" = 1 ] || { [ "${#missing[@]}" -gt 0 ] && [ "$lists_age" -gt 3600 ]; }; then
    say "install-deps: apt-get update"
    apt_quietly update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
    say "install-deps: installing ${#missing[@]} packages: ${missing[*]}"
    apt_quietly install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes ANSI code page 932 only under a Japanese locale.
if [ "$set_name" != run ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    say "install-deps: generating the ja_JP.UTF-8 locale"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi

absent=()
for pair in "${tools[@]}"; do
    tool=${pair% *}
    if [[ "$tool" == /* ]]; then [ -e "$tool" ] && continue; else command -v "$tool" >/dev/null && continue; fi
    absent+=("$tool (package ${pair#* })")
done
if [ "${#absent[@]}" -gt 0 ]; then
    say "install-deps: still missing after the install: ${absent[*]}"
    exit 1
fi
say "install-deps: all present for '$set_name'"
