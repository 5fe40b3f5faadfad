// Linked into a test program whose code opens the default display: before
// main(), the fixture's display or compositor becomes the one the Win32
// subset and every client of the test connect to, whatever the shell had
// set. OPENGL_TEST_KIND says which window system the run is for: x11 (the
// default) or wayland, as CTest registers the program once per kind.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/fixture_display.h"

namespace {

const bool kDisplayFromFixture = [] {
    const char* kind = std::getenv("OPENGL_TEST_KIND");
    if (kind == nullptr || std::strcmp(kind, "x11") == 0) {
        // A compositor in the shell's session would otherwise win.
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("WAYLAND_SOCKET");
        setenv("WINSUBSET_PLATFORM", "x11", 1);
        const std::string display = FixtureDisplay(OPENGL_TEST_DISPLAY_FIXTURE);
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    } else if (std::strcmp(kind, "wayland") == 0) {
        for (const auto& [name, value] : FixtureWayland("wayland"))
            setenv(name.c_str(), value.c_str(), 1);
        setenv("WINSUBSET_PLATFORM", "wayland", 1);
        // Nothing the test does may lean on an X server.
        unsetenv("DISPLAY");
    } else {
        std::fprintf(stderr, "OPENGL_TEST_KIND=%s: neither x11 nor wayland\n", kind);
        std::exit(2);
    }
    return true;
}();

}  // namespace
