#pragma once

// Tests linked with no_glx_main run on the display without GLX that the test
// command starts and names in OPENGL_TEST_NOGLX_DISPLAY. Each asserts this
// first, so that listing the tests needs no display.
bool NoGlxDisplayIsSet();
