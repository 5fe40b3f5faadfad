# 32-bit Windows (i686) with MinGW-w64.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# GCC's i686 default is x87 arithmetic with 80-bit intermediates, so a float
# expression may keep excess precision and round differently from the
# double-then-float rule the matrix builders follow. SSE2 arithmetic rounds
# each operation to its declared type, as on x86-64.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
