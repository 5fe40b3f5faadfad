// main() for tests that must run on a display without GLX.

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/no_glx_display.h"

bool NoGlxDisplayIsSet() {
    const char* display = std::getenv("OPENGL_TEST_NOGLX_DISPLAY");
    return display != nullptr && *display != '\0';
}

int main(int argc, char** argv) {
    if (NoGlxDisplayIsSet()) {
        setenv("DISPLAY", std::getenv("OPENGL_TEST_NOGLX_DISPLAY"), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
