#!/usr/bin/env bash
# Runs a 32-bit x86 Linux program (here: 32-bit Wine's loader) on this host.
# Where the kernel executes 32-bit code the program runs as it is. Where it
# does not (some virtual machines' kernels refuse every 32-bit program), its
# code is emulated by qemu-user, registered for i386 executables in a
# binfmt_misc of its own inside a private user and mount namespace: the
# host's registrations and installed qemu stay untouched, and every 32-bit
# process the program starts (Wine's preloader, its other helpers) is
# emulated too.
#   run-i386.sh PROGRAM [ARGS...]
#   run-i386.sh --how       prints how it would run: "native", "emulated",
#                           or "none: REASON"; exits 0 only when it can
#   run-i386.sh --prepare   fetches the emulator (once) into the build tree
# Needs root for the namespace route: the program runs as root inside it,
# so Wine finds the same server directory inside as outside.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# qemu 10 from the release's backports: Debian 12's own qemu 7.2 ignores
# MAP_FIXED_NOREPLACE, and Wine's address-space reservation then takes a
# minute or more per process. Unpacked, not installed.
qemu_dir=${OPENGL_TEST_QEMU_DIR:-$here/../build/qemu}
qemu=$qemu_dir/usr/bin/qemu-i386
# Any 32-bit executable that exits at once will do as the probe.
probe=/usr/lib/wine/wine

usage() {
    echo "usage: run-i386.sh PROGRAM [ARGS...] | --how | --prepare" >&2
    exit 2
}

host_runs_i386() {
    # A registration for i386 on the host would hide the answer: the host's
    # emulator would run the probe.
    if grep -qls 'qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then return 1; fi
    "$probe" --version >/dev/null 2>&1
}

emulation_blocker() {
    [ -x "$probe" ] || { echo "no 32-bit Wine ($probe; package wine32:i386)"; return; }
    [ -x "$qemu" ] || { echo "no emulator at $qemu (run-i386.sh --prepare fetches it)"; return; }
    [ "$(id -u)" = 0 ] || { echo "the emulation namespace needs root"; return; }
    command -v unshare >/dev/null || { echo "no unshare (package util-linux)"; return; }
    # Per-namespace binfmt_misc came with Linux 6.7; user namespaces may be
    # switched off.
    unshare --user --map-root-user --mount -- sh -c \
        'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>/dev/null ||
        echo "this kernel gives no private binfmt_misc in a user namespace (Linux $(uname -r); needs 6.7 or later with user namespaces on)"
}

how() {
    if host_runs_i386; then echo native; return; fi
    local blocker
    blocker=$(emulation_blocker)
    if [ -n "$blocker" ]; then echo "none: $blocker"; else echo emulated; fi
}

prepare() {
    [ -x "$qemu" ] && return 0
    host_runs_i386 && return 0
    local codename work
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    work=$(mktemp -d)
    # The backports suite is in the project's apt source (install-deps.sh).
    if ! (cd "$work" && apt-get download -q "qemu-user/$codename-backports" >/dev/null 2>&1); then
        echo "run-i386: could not download qemu-user from $codename-backports (does scripts/install-deps.sh test add the suite?)" >&2
        rm -rf "$work"
        return 1
    fi
    rm -rf "$qemu_dir" && mkdir -p "$qemu_dir"
    dpkg -x "$work"/qemu-user_*.deb "$qemu_dir.tmp"
    mkdir -p "$qemu_dir/usr/bin"
    # Only the one emulator is kept: the package unpacks to 300+ MB.
    cp "$qemu_dir.tmp/usr/bin/qemu-i386" "$qemu"
    rm -rf "$qemu_dir.tmp" "$work"
    "$qemu" --version | head -n 1
}

[ $# -ge 1 ] || usage
case "$1" in
    --how)
        answer=$(how)
        echo "$answer"
        [ "${answer#none}" = "$answer" ]
        exit
        ;;
    --prepare) prepare; exit ;;
    -*) usage ;;
esac

if host_runs_i386; then exec "$@"; fi
blocker=$(emulation_blocker)
if [ -n "$blocker" ]; then
    echo "run-i386: cannot run $1: this host executes no 32-bit code, and $blocker" >&2
    exit 126
fi
# The magic and mask match i386 ELF executables and shared objects, as
# qemu's own registration does; F opens the emulator now, so the binaries
# run whatever their root.
exec unshare --user --map-root-user --mount -- /bin/sh -c '
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
    printf "%s" ":i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$0:F" \
        >/proc/sys/fs/binfmt_misc/register && exec "$@"' "$qemu" "$@"
