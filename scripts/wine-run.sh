#!/usr/bin/env bash
# Runs a Windows executable of this project under Wine: the test emulator of
# the Windows builds and the runner of the program's exe.
#   wine-run.sh PREFIX EXE [ARGS...]
#   wine-run.sh --start PREFIX   a persistent server for a test run
#   wine-run.sh --stop PREFIX
# --display-file FILE, before the rest, runs on the display named in FILE
# (a test fixture's) when FILE exists.
# PREFIX is created on first use, by 64-bit Wine (or 32-bit Wine when
# WINEARCH=win32), and serves 64-bit and 32-bit exes alike. Wine picks its
# loader by the exe's machine; 32-bit exes go through scripts/run-i386.sh,
# which emulates their code where the host executes no 32-bit code.
# Runs share the prefix's server; --start, --stop and a run that has to
# build the prefix wait for every run to end (PREFIX.lock), since ending the
# server ends its clients, and a client ended that way exits with 0 and
# half its output. A run that fails says which server it used.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

usage() {
    sed -n '4,8p' "$0" | sed 's/^# *//' >&2
    exit 2
}
[ $# -ge 1 ] || usage
if [ "$1" = --display-file ]; then
    [ $# -ge 2 ] || usage
    if [ -s "$2" ]; then DISPLAY=$(cat "$2"); export DISPLAY; fi
    shift 2
fi
[ $# -ge 1 ] || usage
mode=run
case "$1" in
    --start | --stop) mode=${1#--}; shift ;;
    -*) usage ;;
esac
[ $# -ge 1 ] || usage
prefix=$(realpath -m "$1")  # Wine takes only an absolute prefix
shift
if [ "$mode" = run ]; then
    [ $# -ge 1 ] || usage
    exe=$1
    shift
fi

export WINEPREFIX=$prefix
# Wine's errors stay on: a run that fails says why.
export WINEDEBUG=${WINEDEBUG:--all,err+all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# ANSI code page 932 (Shift_JIS) is what Wine derives from a Japanese locale.
export LC_ALL=${OPENGL_TEST_WINE_LOCALE:-ja_JP.UTF-8}

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
require() {
    [ -x "$1" ] && return 0
    echo "wine-run: $1 is missing (package $2; scripts/install-deps.sh installs it)" >&2
    exit 127
}
# The 64-bit server serves 32-bit clients too; the 32-bit one is only for
# hosts with no 64-bit Wine.
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver32
export WINESERVER=$server

# loader BITS: sets `loader` to the command that runs a 64-bit ("64") or
# 32-bit ("32") program.
loader() {
    if [ "$1" = 64 ]; then
        require "$wine64" wine64
        loader=("$wine64")
    else
        require "$wine32" wine32:i386
        loader=("$here/run-i386.sh" "$wine32")
    fi
}
prefix_bits() { [ "${WINEARCH:-win64}" = win32 ] && echo 32 || echo 64; }
exe_bits() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    case "$(od -An -tx1 -j"$((pe + 4))" -N2 "$1" | tr -d ' ')" in
        6486) echo 64 ;;
        4c01) echo 32 ;;
        *) echo "wine-run: $1 is not an x86 or x86-64 Windows executable" >&2; exit 2 ;;
    esac
}

# A 64-bit prefix runs 32-bit exes from its syswow64 folder. Where 32-bit
# Wine runs natively, wineboot fills it; where it is emulated, 64-bit
# wineboot cannot start it, so the folder gets the same files wineboot would
# copy there (Wine's 32-bit builtin modules) and 32-bit wineboot completes
# the 32-bit half.
i386_modules=/usr/lib/i386-linux-gnu/wine/i386-windows
has_32bit_half() { [ "$(prefix_bits)" = 32 ] || [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; }
end_server() {
    "$server" -k >/dev/null 2>&1 9>&- || true
    "$server" -w >/dev/null 2>&1 9>&- || true
}

# The prefix's lock: shared by the runs, exclusive for what ends or starts
# the server. No Wine process inherits it (9>&-): the server and its
# services outlive the command that started them.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
lock_shared() { flock -s 9; }
lock_exclusive() { flock -x 9; }

# server_pid: the pid of the server of the prefix, which holds a lock on the
# file `lock` in its folder (Debian's Wine names the folder's parent, in
# /tmp, in PREFIX/wineserver); nothing when none runs.
server_pid() {
    local root=/tmp/.wine-$UID lock inode
    [ -r "$prefix/wineserver" ] && root=/tmp/$(cat "$prefix/wineserver")
    lock=$(printf '%s/server-%x-%x/lock' "$root" "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
    inode=$(stat -c %i "$lock" 2>/dev/null) || return 0
    awk -v inode="$inode" '$2 == "POSIX" && $4 == "WRITE" { split($6, id, ":"); if (id[3] == inode) { print $5; exit } }' /proc/locks
}
# describe_server PID: which server, and what it was started with.
describe_server() {
    local environment
    [ -n "$1" ] || { echo "no wineserver running for $prefix"; return; }
    environment=$(tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | grep -E '^(DISPLAY|WINEDEBUG)=' | tr '\n' ' ') || true
    echo "wineserver pid $1 of $prefix (${environment:-no DISPLAY }$(tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null))"
}

# While it builds or updates a prefix, wineboot shows a dialog saying so: a
# managed window, on the caller's display, for the 10 to 20 s it takes. There
# it would pass for a window of the program under test (a run on a display
# without GLX must show none), so wineboot gets no display at all; the
# desktop process it starts without one ends with the server below.
headless() { env -u DISPLAY -u WAYLAND_DISPLAY "$@"; }

# boot_prefix -i|-u: wineboot to create (-i) or update (-u) the prefix.
boot_prefix() {
    mkdir -p "$prefix"
    loader "$(prefix_bits)"
    headless "${loader[@]}" wineboot "$1" </dev/null >/dev/null 2>&1 9>&- || true
    # Wine's desktop process keeps the display it started with; end it so
    # the first real run starts on the display it is given. The server
    # writes the registry as it ends.
    end_server
    [ -f "$prefix/system.reg" ] || { echo "wine-run: wineboot did not create the prefix $prefix" >&2; exit 1; }
    if ! has_32bit_half && [ -d "$i386_modules" ] && bash "$here/run-i386.sh" --how >/dev/null; then
        cp -n "$i386_modules"/* "$prefix/drive_c/windows/syswow64/"
        loader 32
        headless "${loader[@]}" wineboot -u </dev/null >/dev/null 2>&1 9>&- || true
        end_server
    fi
}
# Wine updates a prefix whose .update-timestamp is not the mtime of the
# installed wine.inf (after an upgrade of Wine) in the first wineboot of a
# new server, with the same dialog: that update is made here too.
wine_inf=/usr/share/wine/wine.inf
prefix_current() {
    local stamp
    [ -f "$prefix/system.reg" ] || return 1
    [ -f "$wine_inf" ] || return 0
    # Wine writes it with a CR LF.
    stamp=$(tr -d '[:space:]' <"$prefix/.update-timestamp" 2>/dev/null) || true
    # "disable" there turns Wine's own updates off.
    [ "$stamp" = "$(stat -c %Y "$wine_inf")" ] || [ "${stamp#disable}" != "$stamp" ]
}
create_prefix() {
    prefix_current && return 0
    if [ -f "$prefix/system.reg" ]; then boot_prefix -u; else boot_prefix -i; fi
}

require "$server" wine64
case "$mode" in
    start)
        lock_exclusive
        # One server for the whole run, so each test program starts in a
        # fraction of a second. Wine's services start with the first program
        # and outlive it; started here, they hold no test's output pipe open
        # (a test runner would wait for them to end).
        create_prefix
        # A server left by an earlier run holds the display it started with
        # (and would refuse a second one): end it first.
        end_server
        # The server stays in the background with the streams it was given:
        # its messages go to a file, never to a pipe a caller waits on.
        if ! "$server" -p </dev/null >/dev/null 2>"$prefix/wineserver.log" 9>&-; then
            echo "wine-run: $server -p failed: $(cat "$prefix/wineserver.log")" >&2
            exit 1
        fi
        loader "$(prefix_bits)"
        "${loader[@]}" wineboot </dev/null >/dev/null 2>&1 9>&- || true
        ;;
    stop)
        lock_exclusive
        end_server
        ;;
    run)
        [ -f "$exe" ] || { echo "wine-run: no such exe: $exe" >&2; exit 2; }
        bits=$(exe_bits "$exe")
        if ! prefix_current || { [ "$bits" = 32 ] && ! has_32bit_half; }; then
            # Building the prefix ends its server: no run may be using it.
            lock_exclusive
            create_prefix
            if [ "$bits" = 32 ] && ! has_32bit_half; then
                # Made where 32-bit Wine could not start: add the 32-bit half.
                boot_prefix -u
                has_32bit_half || { echo "wine-run: $prefix has no 32-bit half (syswow64); see scripts/run-i386.sh --how" >&2; exit 1; }
            fi
        fi
        lock_shared
        loader "$bits"
        before=$(server_pid)
        status=0
        "${loader[@]}" "$exe" "$@" 9>&- || status=$?
        after=$(server_pid)
        if [ -n "$before" ] && [ "$after" != "$before" ]; then
            # A client whose server ends exits with 0: that 0 is no result.
            # (A server still ending when the run does is not seen here.)
            echo "wine-run: the wineserver (pid $before) ended while $exe ran" >&2
            [ "$status" != 0 ] || status=70
        fi
        if [ "$status" != 0 ]; then
            echo "wine-run: $exe ended with status $status under the $(describe_server "${before:-$after}")" >&2
        fi
        exit "$status"
        ;;
esac
