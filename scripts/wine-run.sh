#!/usr/bin/env bash
# Runs a Windows executable of this project under Wine: the test emulator of
# the Windows builds and the runner of the program's exe.
# Usage: wine-run.sh PREFIX EXE [ARGS...]
#        wine-run.sh --start PREFIX   (a persistent server for a test run)
#        wine-run.sh --stop PREFIX
# PREFIX is created on first use. Wine picks its loader by the exe's machine:
# 64-bit exes need the 64-bit loader, which /usr/bin/wine does not choose
# while the 32-bit loader is installed.
set -euo pipefail
mode=run
case "$1" in
    --start | --stop) mode=${1#--}; shift ;;
esac
prefix=$1
exe=${2:-}
[ $# -ge 2 ] && shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# ANSI code page 932 (Shift_JIS) is what Wine derives from a Japanese locale.
export LC_ALL=${OPENGL_TEST_WINE_LOCALE:-ja_JP.UTF-8}

loader_for() {
    case "$(od -An -tx1 -j"$(($(od -An -tu4 -j60 -N4 "$1")+4))" -N2 "$1" | tr -d ' ')" in
        6486) echo /usr/lib/wine/wine64 ;;
        *) echo /usr/lib/wine/wine ;;
    esac
}

create_prefix() {
    [ -f "$prefix/system.reg" ] && return 0
    mkdir -p "$prefix"
    "$1" wineboot -i </dev/null >/dev/null 2>&1 || true
    # Wine's desktop process keeps the display it started with; end it so
    # the first real run starts on the display it is given.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

case "$mode" in
    start)
        # One server for the whole run, so each test program starts in a
        # fraction of a second. Wine's services start with the first program
        # and outlive it; started here, they hold no test's output pipe open
        # (a test runner would wait for them to end).
        loader=/usr/lib/wine/wine64
        [ -x "$loader" ] || loader=/usr/lib/wine/wine
        create_prefix "$loader"
        # A server left by an earlier run holds the display it started with
        # (and would refuse a second one): end it first.
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1
        "$loader" wineboot </dev/null >/dev/null 2>&1 || true
        exit 0
        ;;
    stop)
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        exit 0
        ;;
esac

loader=$(loader_for "$exe")
create_prefix "$loader"
exec "$loader" "$exe" "$@"
