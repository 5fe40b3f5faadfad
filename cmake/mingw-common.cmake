# Shared part of the MinGW-w64 toolchains; MINGW_TRIPLET is set by the file
# that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
# The posix-threads variant: GoogleTest needs std::mutex, which the
# win32-threads variant of libstdc++ does not provide.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# GLEW is compiled from Debian's sources into a prefix inside the build tree.
set(OPENGL_TEST_WIN_DEPS "${CMAKE_BINARY_DIR}/deps/${MINGW_TRIPLET}" CACHE PATH
    "Prefix holding the MinGW build of GLEW")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET} ${OPENGL_TEST_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime: the exe must run without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs every test program of this build under Wine, in a prefix of the
# build's own, on the display its glx_display fixture started.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;--display-file;${CMAKE_BINARY_DIR}/fixtures/glx.display;${CMAKE_BINARY_DIR}/wineprefix")
