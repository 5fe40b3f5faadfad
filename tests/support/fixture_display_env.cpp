// Linked into a test program whose code opens the default display: the
// fixture's display becomes DISPLAY before main(), so the Win32 subset and
// every X client of the test connect to it, whatever the shell had set.

#include <cstdlib>

#include "support/fixture_display.h"

namespace {

const bool kDisplayFromFixture = [] {
    const std::string display = FixtureDisplay(OPENGL_TEST_DISPLAY_FIXTURE);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    return true;
}();

}  // namespace
