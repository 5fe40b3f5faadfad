#!/usr/bin/env bash
# Runs 32-bit Wine's loader on this host. Where the kernel executes 32-bit
# code it runs as it is. Where it does not (some virtual machines' kernels
# refuse every 32-bit program), its code is emulated by qemu-user: the
# emulator loads the loader itself, so no binfmt_misc registration, user
# namespace or installed qemu is involved, and the host is left as it was.
#   run-i386.sh /usr/lib/wine/wine [ARGS...]
#   run-i386.sh --how       prints how it would run: "native", "emulated",
#                           or "none: REASON"; exits 0 only when it can
#   run-i386.sh --prepare   fetches the emulator (once) into the build tree
# Under emulation a 32-bit program cannot start another 32-bit program by
# exec: Wine's loader is told not to re-exec itself through its preloader
# (which reserves address space, qemu's job here), and the processes Wine
# starts for itself in a 64-bit prefix are 64-bit ones, which run natively.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# qemu 10 from the release's backports: Debian 12's own qemu 7.2 ignores
# MAP_FIXED_NOREPLACE, and Wine's address-space set-up then takes a minute
# or more per process. Unpacked, not installed.
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

how() {
    if [ ! -x "$probe" ]; then
        # The install says why it left 32-bit Wine out, when it did.
        local why=/var/lib/opengl-test/i386-unavailable
        if [ -s "$why" ]; then
            echo "none: no 32-bit Wine: $(cat "$why")"
        else
            echo "none: no 32-bit Wine ($probe; package wine32:i386)"
        fi
    elif host_runs_i386; then
        echo native
    elif [ ! -x "$qemu" ]; then
        echo "none: this host executes no 32-bit code and the emulator is not fetched (run-i386.sh --prepare)"
    else
        echo emulated
    fi
}

prepare() {
    [ -x "$qemu" ] && return 0
    host_runs_i386 && return 0
    local codename work
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    work=$(mktemp -d)
    # The backports suite is in the project's apt source (install-deps.sh).
    if ! (cd "$work" && apt-get download -q "qemu-user/$codename-backports" >/dev/null 2>&1); then
        echo "run-i386: could not download qemu-user from $codename-backports (does scripts/install-deps.sh add the suite?)" >&2
        rm -rf "$work"
        return 1
    fi
    dpkg -x "$work"/qemu-user_*.deb "$work/unpacked"
    # Only the one emulator is kept: the package unpacks to 300+ MB.
    mkdir -p "$qemu_dir/usr/bin"
    cp "$work/unpacked/usr/bin/qemu-i386" "$qemu"
    rm -rf "$work"
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

case "$(how)" in
    native) exec "$@" ;;
    emulated) WINELOADERNOEXEC=1 exec "$qemu" "$@" ;;
    *)
        echo "run-i386: cannot run $1: $(how | sed 's/^none: //')" >&2
        exit 126
        ;;
esac
