#!/usr/bin/env bash
# Installs everything both builds and their tests need on Debian 12 (x86-64),
# as root. Idempotent: what is already there is skipped, so a second run costs
# a few seconds.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: must run as root (apt-get install)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

native_packages=(
    cmake g++ make pkg-config python3 clang-format clang-tidy cppcheck valgrind
    googletest libgtest-dev libgmock-dev
    libx11-dev libgl-dev libglew-dev
    xvfb x11-utils imagemagick
    locales dpkg-dev
)
# The i686 arithmetic check: 32-bit Linux code from the same compiler,
# run through qemu's user-mode emulator where the host runs no 32-bit code.
i686_packages=(g++-multilib qemu-user-static)
win32_packages=(
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    wine wine32:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
)

# Wine's 32-bit half and Mesa's i386 drivers live in the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

# Debian's GLEW sources are compiled with MinGW for the Windows build.
src_list=/etc/apt/sources.list.d/opengl-test-deb-src.sources
if [ ! -f "$src_list" ]; then
    cat >"$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

missing=()
for p in "${native_packages[@]}" "${i686_packages[@]}" "${win32_packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
    apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes ANSI code page 932 only under a Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen
fi
echo "install-deps: all present"
