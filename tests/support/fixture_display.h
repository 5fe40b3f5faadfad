#pragma once

#include <string>

// The display that a CTest fixture (tests/fixtures) started for this run:
// "glx", "noglx", "depth8" or "desktop". Empty when that fixture is not running, as
// when a test program is started by hand without one.
std::string FixtureDisplay(const char* name);
