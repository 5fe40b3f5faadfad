#pragma once

#include <windows.h>

// The pixel format the program asks for: double-buffered RGBA, 32 colour
// bits, 24 depth, 8 stencil. Tests of the platform ask for the same.
inline PIXELFORMATDESCRIPTOR ProgramDescriptor() {
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cDepthBits = 24;
    descriptor.cStencilBits = 8;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}
