#pragma once

#include <windows.h>

// The pixel format the program asks for, as its expected trace records its
// SetPixelFormat call (tests/support/CMakeLists.txt reads the fields from
// tests/e2e/program_trace.txt): double-buffered RGBA, 32 colour bits, 24
// depth, 8 stencil. Tests of the platform ask for the same.
inline PIXELFORMATDESCRIPTOR ProgramDescriptor() {
    PIXELFORMATDESCRIPTOR descriptor = {};
#include "program_descriptor_fields.inc"
    return descriptor;
}
