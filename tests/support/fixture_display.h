#pragma once

#include <string>
#include <utility>
#include <vector>

// The display that a CTest fixture (tests/fixtures) started for this run:
// "glx", "noglx", "depth8" or "desktop". Empty when that fixture is not
// running, as when a test program is started by hand without one.
std::string FixtureDisplay(const char* name);

// The environment a Wayland client needs to reach the compositor a fixture
// started ("wayland", "wayland_desktop"): XDG_RUNTIME_DIR and
// WAYLAND_DISPLAY, as name and value. Empty when it is not running.
std::vector<std::pair<std::string, std::string>> FixtureWayland(const char* name);
