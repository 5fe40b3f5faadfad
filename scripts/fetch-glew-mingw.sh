#!/usr/bin/env bash
# Compiles Debian's GLEW source package with a MinGW compiler into a static
# library under PREFIX (lib/glew32s.lib, include/GL/*.h): the name and
# suffix CMake's FindGLEW looks for as a static Windows GLEW. MinGW's linker
# takes the ar archive whatever its suffix. Usage: fetch-glew-mingw.sh TRIPLET PREFIX
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: fetch-glew-mingw.sh TRIPLET PREFIX" >&2
    exit 2
fi
triplet=$1
prefix=$2
if [ -f "$prefix/lib/glew32s.lib" ]; then
    exit 0
fi
work=$(dirname "$prefix")/glew-src
if [ ! -f "$work/src/glew.c" ]; then
    rm -rf "$work.tmp" && mkdir -p "$work.tmp"
    (cd "$work.tmp" && apt-get source -q glew >/dev/null 2>&1) || {
        echo "fetch-glew-mingw: apt-get source glew failed (is the deb-src entry there?)" >&2
        exit 1
    }
    rm -rf "$work" && mv "$work.tmp"/glew-*/ "$work" && rm -rf "$work.tmp"
fi
echo "fetch-glew-mingw: compiling Debian's GLEW sources for $triplet"
mkdir -p "$prefix/lib" "$prefix/include/GL"
# Through ccache where it is installed: every clean build tree compiles it,
# and relative paths let a clone in another folder find the result.
launcher=()
command -v ccache >/dev/null && launcher=(ccache)
(cd "$work" && "${launcher[@]}" "$triplet-gcc-posix" -O2 -DGLEW_STATIC -DGLEW_NO_GLU -Iinclude \
    -c src/glew.c -o "$prefix/glew.o")
"$triplet-ar" rcs "$prefix/lib/glew32s.lib" "$prefix/glew.o"
rm -f "$prefix/glew.o"
cp "$work"/include/GL/glew.h "$work"/include/GL/wglew.h "$prefix/include/GL/"
echo "fetch-glew-mingw: GLEW for $triplet in $prefix"
