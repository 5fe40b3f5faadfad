#!/usr/bin/env bash
# Runs a Windows executable of this project under Wine: the test emulator of
# the Windows builds and the runner of the program's exe.
# Usage: wine-run.sh PREFIX EXE [ARGS...]
# PREFIX is created on first use. Wine picks its loader by the exe's machine:
# 64-bit exes need the 64-bit loader, which /usr/bin/wine does not choose
# while the 32-bit loader is installed.
set -euo pipefail
prefix=$1
exe=$2
shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# ANSI code page 932 (Shift_JIS) is what Wine derives from a Japanese locale.
export LC_ALL=${OPENGL_TEST_WINE_LOCALE:-ja_JP.UTF-8}

case "$(od -An -tx1 -j"$(($(od -An -tu4 -j60 -N4 "$exe")+4))" -N2 "$exe" | tr -d ' ')" in
    6486) loader=/usr/lib/wine/wine64 ;;
    *) loader=/usr/lib/wine/wine ;;
esac

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    "$loader" wineboot -i >/dev/null 2>&1 || true
    # Wine's desktop process keeps the display it started with; end it so
    # the first real run starts on the display it is given.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
fi
exec "$loader" "$exe" "$@"
