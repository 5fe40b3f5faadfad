# 32-bit x86 Linux, for the arithmetic tests only: the i686 code generation
# of the Windows build (same compiler backend, same flags), run through
# qemu's user-mode emulator on hosts that cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# The same floating-point choice as cmake/mingw-i686.cmake; configure with
# -DOPENGL_TEST_I686_FPMATH=387 to see what x87 arithmetic does instead.
set(OPENGL_TEST_I686_FPMATH sse CACHE STRING "sse or 387")
if(OPENGL_TEST_I686_FPMATH STREQUAL "sse")
    set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
    set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
else()
    set(CMAKE_C_FLAGS_INIT "-m32 -mfpmath=387")
    set(CMAKE_CXX_FLAGS_INIT "-m32 -mfpmath=387")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
