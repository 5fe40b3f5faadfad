#include "support/fixture_display.h"

#include <fstream>

namespace {

std::string FixtureFile(const char* name, const char* suffix) {
    return std::string(OPENGL_TEST_FIXTURE_DIR) + "/" + name + suffix;
}

}  // namespace

std::string FixtureDisplay(const char* name) {
    std::ifstream file(FixtureFile(name, ".display"));
    std::string display;
    std::getline(file, display);
    return display;
}

std::vector<std::pair<std::string, std::string>> FixtureWayland(const char* name) {
    std::ifstream file(FixtureFile(name, ".wayland"));
    std::vector<std::pair<std::string, std::string>> variables;
    for (std::string line; std::getline(file, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos && equals > 0)
            variables.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return variables;
}
