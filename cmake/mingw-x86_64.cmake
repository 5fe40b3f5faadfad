# 64-bit Windows (x86-64) with MinGW-w64: the Windows build whose tests run
# under 64-bit Wine on hosts that cannot execute 32-bit code.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
