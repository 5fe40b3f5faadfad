#!/usr/bin/env bash
# Compiles Debian's GLEW source package into a static library under PREFIX,
# for a build that cannot use Debian's own GLEW:
#   - a MinGW triplet (i686-w64-mingw32, x86_64-w64-mingw32): lib/glew32s.lib,
#     the name and suffix CMake's FindGLEW looks for as a static Windows GLEW
#     (MinGW's linker takes the ar archive whatever its suffix);
#   - linux-egl: lib/libGLEW-egl.a, GLEW built for EGL contexts (Debian's is
#     built for GLX, and under an EGL context its glewInit fails).
# Headers go to include/GL. Usage: fetch-glew.sh TARGET PREFIX
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: fetch-glew.sh TARGET PREFIX" >&2
    exit 2
fi
target=$1
prefix=$2
case $target in
    linux-egl) library=libGLEW-egl.a cc=(gcc -fPIC -DGLEW_EGL) ar=ar headers=(glew.h eglew.h) ;;
    *-mingw32) library=glew32s.lib cc=("$target-gcc-posix") ar=$target-ar headers=(glew.h wglew.h) ;;
    *) echo "fetch-glew: unknown target $target" >&2; exit 2 ;;
esac
if [ -f "$prefix/lib/$library" ]; then
    exit 0
fi
work=$(dirname "$prefix")/glew-src
if [ ! -f "$work/src/glew.c" ]; then
    rm -rf "$work.tmp" && mkdir -p "$work.tmp"
    (cd "$work.tmp" && apt-get source -q glew >/dev/null 2>&1) || {
        echo "fetch-glew: apt-get source glew failed (is the deb-src entry there?)" >&2
        exit 1
    }
    rm -rf "$work" && mv "$work.tmp"/glew-*/ "$work" && rm -rf "$work.tmp"
fi
echo "fetch-glew: compiling Debian's GLEW sources for $target"
mkdir -p "$prefix/lib" "$prefix/include/GL"
# Through ccache where it is installed: every clean build tree compiles it,
# and relative paths let a clone in another folder find the result.
launcher=()
command -v ccache >/dev/null && launcher=(ccache)
(cd "$work" && "${launcher[@]}" "${cc[@]}" -O2 -DGLEW_STATIC -DGLEW_NO_GLU -Iinclude \
    -c src/glew.c -o "$prefix/glew.o")
"$ar" rcs "$prefix/lib/$library" "$prefix/glew.o"
rm -f "$prefix/glew.o"
for header in "${headers[@]}"; do cp "$work/include/GL/$header" "$prefix/include/GL/"; done
echo "fetch-glew: GLEW for $target in $prefix"
