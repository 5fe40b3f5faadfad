#include "support/fixture_display.h"

#include <fstream>

std::string FixtureDisplay(const char* name) {
    std::ifstream file(std::string(OPENGL_TEST_FIXTURE_DIR) + "/" + name + ".display");
    std::string display;
    std::getline(file, display);
    return display;
}
