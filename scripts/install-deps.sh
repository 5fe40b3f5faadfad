#!/usr/bin/env bash
# Installs what a command of this project needs on Debian 12 (x86-64), as
# root. Idempotent: what is already there is skipped, so a second run costs
# a second or two.
#   install-deps.sh run        the native program on a display or Xvfb
#   install-deps.sh run-wayland ... on a private headless weston
#   install-deps.sh run-wine   ... and the x86-64 Windows exe under Wine
#   install-deps.sh run-wine32 ... and the i686 Windows exe under 32-bit Wine
#   install-deps.sh test       everything the test command builds and runs
#   install-deps.sh bench      ... and the bench command's Wayland compositor
#                              and the EGL baselines' libraries
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
    libxkbcommon-dev libxkbcommon-x11-dev libx11-xcb-dev
    # Wayland, and EGL, the context layer on both window systems; the
    # decorations' plugin is only a recommendation of libdecor's, and their
    # title is drawn with a font that has the Japanese glyphs.
    libwayland-dev wayland-protocols libegl-dev libdecor-0-dev libdecor-0-plugin-1-cairo
    fonts-vlgothic
    xvfb x11-utils imagemagick ccache
    # GLEW's sources (apt-get source, from dpkg-dev), compiled for EGL for
    # the native program and with MinGW for the Windows builds.
    dpkg-dev
)
# 64-bit Wine with the Japanese locale that gives it code page 932.
wine64_packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    wine wine64 locales
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
    googletest libgtest-dev libgmock-dev libxres-dev
    # The arithmetic check: 32-bit Linux code from the same compiler.
    g++-multilib qemu-user-static
    # The desktop cases: a real window manager and the tools that drive it;
    # setxkbmap changes the keyboard layout under the input cases.
    openbox wmctrl xdotool x11-xkb-utils
    # The packages, tried as installed.
    lintian desktop-file-utils unzip
    # The Wayland fixtures: a compositor, and the client that asks whether
    # it answers; the end-to-end cases read its screenshots (PNG).
    weston wayland-utils libpng-dev
)
# The bench command's raw EGL loops (X11 and Wayland) and the headless
# compositor it runs the Wayland ones on.
bench_packages=(libegl-dev libopengl-dev libwayland-dev wayland-protocols weston)
# Commands checked after the install: "command package".
run_tools=(
    "cmake cmake" "g++ g++" "Xvfb xvfb" "xdpyinfo x11-utils" "import imagemagick"
    "wayland-scanner libwayland-dev" "dpkg-source dpkg-dev"
    "/usr/lib/x86_64-linux-gnu/libdecor/plugins-1/libdecor-cairo.so libdecor-0-plugin-1-cairo"
)
wine64_tools=(
    "x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix"
    "x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix"
    "/usr/lib/wine/wine64 wine64" "/usr/lib/wine/wineserver64 wine64"
    "locale-gen locales"
)
wine32_tools=(
    "i686-w64-mingw32-gcc-posix gcc-mingw-w64-i686-posix"
    "i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix"
    "/usr/lib/wine/wine wine32:i386" "/usr/lib/i386-linux-gnu/libGL.so.1 libgl1:i386"
)
test_tools=(
    "python3 python3" "clang-format clang-format" "clang-tidy clang-tidy" "cppcheck cppcheck"
    "valgrind valgrind" "qemu-i386-static qemu-user-static"
    "openbox openbox" "wmctrl wmctrl" "xdotool xdotool" "setxkbmap x11-xkb-utils"
    "lintian lintian" "desktop-file-validate desktop-file-utils" "unzip unzip"
    "weston weston" "wayland-info wayland-utils" "/usr/include/png.h libpng-dev"
)

packages=("${run_packages[@]}")
tools=("${run_tools[@]}")
case "$set_name" in
    run) ;;
    run-wayland) packages+=(weston); tools+=("weston weston") ;;
    run-wine) packages+=("${wine64_packages[@]}"); tools+=("${wine64_tools[@]}") ;;
    run-wine32)
        packages+=("${wine64_packages[@]}" "${wine32_packages[@]}")
        tools+=("${wine64_tools[@]}" "${wine32_tools[@]}")
        ;;
    test)
        packages+=("${wine64_packages[@]}" "${wine32_packages[@]}" "${test_packages[@]}")
        tools+=("${wine64_tools[@]}" "${wine32_tools[@]}" "${test_tools[@]}")
        ;;
    bench)
        packages+=("${wine64_packages[@]}" "${wine32_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}")
        tools+=("${wine64_tools[@]}" "${wine32_tools[@]}" "${test_tools[@]}" "weston weston" "wayland-scanner libwayland-dev")
        ;;
    *) say "usage: install-deps.sh [run|run-wayland|run-wine|run-wine32|test|bench]"; exit 2 ;;
esac

# Wine's 32-bit half and Mesa's i386 drivers live in the i386 architecture.
wants_i386=0
case "$set_name" in test | bench | run-wine32) wants_i386=1 ;; esac
# What the install learnt about the archive is kept beside apt's own state:
# the full logs of the last update and install, when an update last
# succeeded (and for which sources), whether the i386 architecture is this
# project's doing, and why the i386 set could not be installed, for the
# test command to say.
state=/var/lib/opengl-test
mkdir -p "$state"
if [ "$wants_i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    touch "$state/added-i386"
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
[ "$(cat "$src_list" 2>/dev/null)" = "$wanted" ] || printf '%s\n' "$wanted" >"$src_list"

i386_note=$state/i386-unavailable

# What is installed, one "name status" a line; a package of another
# architecture than the machine's carries it in its name (wine32:i386).
installed=$(dpkg-query -W -f='${binary:Package} ${Status}\n' 2>/dev/null |
    sed -n "s/:$(dpkg --print-architecture) / /; s/ install ok installed\$//p")
missing=()
for p in "${packages[@]}"; do
    grep -qxF "$p" <<<"$installed" || missing+=("$p")
done

# apt_get ARGS...: apt-get in English whatever the machine speaks, since
# its words are quoted and matched below; whether a step worked is always
# taken from its exit status.
apt_get() { LC_ALL=C LANGUAGE='' apt-get "$@"; }
# apt_logged LOG ARGS...: apt-get ARGS with its output in LOG and its
# progress shown; apt's own retries take transient network errors.
apt_logged() {
    local log=$1
    shift
    with_heartbeat install-deps apt_to_log "$log" -o Acquire::Retries=3 "$@"
}
apt_to_log() {
    local log=$1
    shift
    apt_get "$@" 2>&1 | tee "$log" | progress_filter install-deps
    return "${PIPESTATUS[0]}"
}
# apt_errors LOG: apt's own words on what went wrong, a few lines.
apt_errors() { { grep -E '^(E|W): ' "$1" || true; } | grep -v '^W: Target ' | head -n 8 | sed 's/^/    /'; }

# The stamp names the sources and architectures the last update was made
# for, and what it could not fetch is kept beside it: a source that never
# answers costs one update when the sources change, not one on every run.
# An update is made again for new sources or architectures, and when there
# is something to install and the lists are over an hour old or the last
# update left them incomplete.
stamp=$state/apt-updated
fetch_failed=$state/apt-update-failed
sources_key=$( (dpkg --print-foreign-architectures; cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true) | md5sum | cut -c1-32)
updated=0
update_failed=0
[ -f "$fetch_failed" ] && update_failed=1
# update_failure: what the last update could not load, in one line.
update_failure() {
    local fetch more
    # An index fetched by its hash is named by its folder (…/binary-i386).
    fetch=$(sed -n 's|/by-hash/[^ ]*||; s/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)$/\1 (\2)/p' "$state/update.log")
    if [ -n "$fetch" ]; then
        more=$(($(wc -l <<<"$fetch") - 1))
        echo "could not fetch $(head -n 1 <<<"$fetch")$([ "$more" = 0 ] || echo ", and $more more")"
    else
        grep -m1 '^E: ' "$state/update.log" | cut -c4- || echo "apt-get update failed"
    fi
}
apt_update() {
    local try tries=2 again=""
    # The pause gives a mirror in the middle of a sync time to finish; a
    # failure an earlier run met with the same sources is not waited for
    # again.
    [ "$update_failed" = 1 ] && [ "$(cat "$stamp" 2>/dev/null)" = "$sources_key" ] && tries=1
    for ((try = 1; try <= tries; try++)); do
        say "install-deps: apt-get update$again"
        again=" (again, after a pause)"
        # Without --error-on=any apt ends 0 when an index could not be
        # fetched (a source that does not answer is only a warning to it).
        if apt_logged "$state/update.log" update -q --error-on=any; then
            echo "$sources_key" >"$stamp"
            rm -f "$fetch_failed"
            updated=1 update_failed=0
            return 0
        fi
        [ "$try" = "$tries" ] || sleep 15
    done
    echo "$sources_key" >"$stamp"
    update_failure >"$fetch_failed"
    updated=1 update_failed=1
    say "install-deps: apt-get update $(cat "$fetch_failed"); going on with the indexes that did load (apt's output: $state/update.log)"
}
stamp_age=$(($(date +%s) - $(stat -c %Y "$stamp" 2>/dev/null || echo 0)))
# drop_unserved_i386: when nothing of i386 came, the machine keeps no
# architecture of ours it cannot serve (the next run adds it again).
drop_unserved_i386() {
    if [ -f "$state/added-i386" ] && [ -z "$(dpkg-query -W -f='${binary:Package}\n' '*:i386' 2>/dev/null || true)" ]; then
        dpkg --remove-architecture i386
        rm -f "$state/added-i386"
    fi
}
# An i386 set that could not be installed with these sources is asked for
# again only after an hour: until then a repeated run costs no update.
only_i386() {
    local p
    for p in "$@"; do [[ "$p" == *:i386 ]] || return 1; done
}
if [ -f "$i386_note" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$sources_key" ] && [ "$stamp_age" -le 3600 ] &&
    [ "${#missing[@]}" -gt 0 ] && only_i386 "${missing[@]}"; then
    say "install-deps: the i386 packages could not be installed $((stamp_age / 60)) min ago with these sources; asking again after an hour"
    missing=()
    drop_unserved_i386
else
    rm -f "$i386_note"
fi
if [ "$(cat "$stamp" 2>/dev/null)" != "$sources_key" ] ||
    { [ "${#missing[@]}" -gt 0 ] && { [ "$stamp_age" -gt 3600 ] || [ "$update_failed" = 1 ]; }; }; then
    apt_update
elif [ "$update_failed" = 1 ]; then
    say "install-deps: no apt-get update: nothing to install, and the last one, $((stamp_age / 60)) min ago with these sources, $(cat "$fetch_failed")"
fi

# resolves ARGS...: whether apt can install the set as the indexes stand.
resolves() { with_heartbeat install-deps resolve_quietly "$@"; }
resolve_quietly() { apt_get install -s -q --no-install-recommends "$@" >"$state/resolve.log" 2>&1; }
# held_to_release PACKAGES...: PACKAGES, one a line, with what a simulated
# install from the release's own indexes (resolve.log) takes of i386, and
# the amd64 twins that Multi-Arch keeps at the same versions, held to those
# versions ("name=version"); nothing when it takes no i386 package. Only
# these are held: whatever else installs alongside still gets its security
# updates.
held_to_release() {
    awk -v wanted="$*" '$1 == "Inst" {
            for (i = 3; i <= NF && substr($i, 1, 1) != "("; i++) {}
            version[$2] = substr($i, 2)
        }
        END {
            for (name in version)
                if (name ~ /:i386$/ || (name ":i386") in version) { held[name] = version[name]; n++ }
            if (n == 0) exit
            n = split(wanted, asked, " ")
            for (i = 1; i <= n; i++)
                if (!(asked[i] in held)) print asked[i]
            for (name in held) print name "=" held[name]
        }' "$state/resolve.log"
}
# install_set PACKAGES...
install_set() {
    say "install-deps: installing: $*"
    apt_logged "$state/install.log" install -y -q --no-install-recommends "$@" && return 0
    say "install-deps: apt-get install failed (exit $?); apt said:"
    apt_errors "$state/install.log"
    exit 1
}
if [ "${#missing[@]}" -gt 0 ]; then
    say "install-deps: ${#missing[@]} packages missing; asking apt how to install them"
    if ! resolves "${missing[@]}" && [ "$updated" = 0 ]; then
        # Lists older than what the archive now serves: update and ask again.
        apt_update
    fi
    if resolves "${missing[@]}"; then
        install_set "${missing[@]}"
    elif [[ " ${missing[*]}" == *:i386* ]] && resolves -t "$codename" "${missing[@]}" &&
        mapfile -t held < <(held_to_release "${missing[@]}") && [ "${#held[@]}" -gt 0 ] &&
        resolves "${held[@]}"; then
        # When an i386 index of an update suite did not load, the i386
        # libraries can only come from the release itself, and Multi-Arch
        # needs their amd64 twins at the same versions.
        say "install-deps: the i386 packages cannot match the amd64 ones in the indexes that loaded; taking them and their amd64 twins ($(grep -c = <(printf '%s\n' "${held[@]}")) packages) from $codename's own indexes, the rest with its updates"
        install_set "${held[@]}"
    else
        # apt's word on the whole set, before the rest is resolved alone.
        cp "$state/resolve.log" "$state/resolve-failed.log"
        i386=() others=()
        for p in "${missing[@]}"; do
            if [[ "$p" == *:i386 ]]; then i386+=("$p"); else others+=("$p"); fi
        done
        if [ "${#i386[@]}" = 0 ] || { [ "${#others[@]}" -gt 0 ] && ! resolves "${others[@]}"; }; then
            say "install-deps: apt cannot install the set as the archive stands; apt said:"
            apt_errors "$state/resolve.log"
            exit 1
        fi
        # No way to the i386 set today: everything else is installed, and
        # the 32-bit runs say why they did not run.
        reason="the i386 packages cannot be installed as the archive stands ($(grep -m1 '^E: ' "$state/resolve-failed.log" | cut -c4- || true))"
        if [ "$update_failed" = 1 ]; then
            reason="$reason; the update $(cat "$fetch_failed")"
        fi
        echo "$reason" >"$i386_note"
        say "install-deps: without 32-bit Wine: $reason"
        apt_errors "$state/resolve-failed.log"
        missing=("${others[@]}")
        [ "${#missing[@]}" = 0 ] || install_set "${missing[@]}"
        drop_unserved_i386
    fi
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
    # Without the i386 set the 32-bit runs are left out, said once above.
    [ -f "$i386_note" ] && [[ "$pair" == *:i386 ]] && [[ "$set_name" == test || "$set_name" == bench ]] && continue
    if [[ "$tool" == /* ]]; then [ -e "$tool" ] && continue; else command -v "$tool" >/dev/null && continue; fi
    absent+=("$tool (package ${pair#* })")
done
if [ "${#absent[@]}" -gt 0 ]; then
    say "install-deps: still missing after the install: ${absent[*]}"
    exit 1
fi
if [ -f "$i386_note" ]; then
    say "install-deps: all present for '$set_name' but the 32-bit Wine: $(cat "$i386_note")"
    [[ "$set_name" == test || "$set_name" == bench ]] || exit 1
else
    say "install-deps: all present for '$set_name'"
fi
