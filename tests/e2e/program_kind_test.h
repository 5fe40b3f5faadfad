#pragma once

// A test of the program from outside, run once per kind of program:
// "native"; "wine", the x86-64 exe under 64-bit Wine; "wine_i686", the
// genuine 32-bit exe under 32-bit Wine (its code emulated where the host
// runs no 32-bit code); "wayland", the native binary as a client of a
// compositor with no X server to fall back on. A Windows kind whose exe is not built, or that
// cannot run here, is skipped with the reason.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_runner.h"
#include "support/fixture_display.h"

// The native program on the compositor whose XDG_RUNTIME_DIR and
// WAYLAND_DISPLAY are given (FixtureWayland), made to take Wayland, without
// DISPLAY (the runner's display is empty): nothing lets it reach an X
// server instead.
inline ProgramKind WaylandKind(Environment compositor) {
    compositor.emplace_back("WINSUBSET_PLATFORM", "wayland");
    return {"wayland", OPENGL_TEST_NATIVE_PROGRAM, "", std::move(compositor)};
}

class ProgramKindTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const ProgramKind kind = Kind();
        if (kind.name != "native" && !std::ifstream(kind.path).good()) {
            GTEST_SKIP() << kind.name << ": " << kind.path << " is not built";
        }
        if (kind.name == "wine_i686") {
            std::string how;
            RunTool({"bash", OPENGL_TEST_SOURCE_DIR "/scripts/run-i386.sh", "--how"}, "", &how);
            if (how.rfind("none", 0) == 0) GTEST_SKIP() << "wine_i686: " << how;
        }
    }
    // Under Wine, in the prefix of the exe's build: the runner restarts
    // Wine's server there for each run, on the run's display.
    // OPENGL_TEST_PROGRAM, when set, is run instead of the build's own
    // program: the package tests run the installed or unpacked one.
    ProgramKind Kind() const {
        ProgramKind kind = {"native", OPENGL_TEST_NATIVE_PROGRAM, "", {}};
        if (GetParam() == "wine") {
            kind = {"wine", OPENGL_TEST_WINDOWS_PROGRAM, OPENGL_TEST_WINDOWS_PREFIX, {}};
        } else if (GetParam() == "wine_i686") {
            kind = {
                "wine_i686", OPENGL_TEST_WINDOWS_I686_PROGRAM, OPENGL_TEST_WINDOWS_I686_PREFIX, {}};
        } else if (GetParam() == "wayland") {
            kind = WaylandKind(FixtureWayland("wayland"));
        }
        const char* instead = std::getenv("OPENGL_TEST_PROGRAM");
        if (instead != nullptr && *instead != '\0') kind.path = instead;
        return kind;
    }
    // The same kind running the window probe (tests/platform) instead of
    // the program.
    ProgramKind ProbeKind() const {
        ProgramKind kind = Kind();
        if (GetParam() == "wine")
            kind.path = OPENGL_TEST_WINDOWS_PROBE;
        else if (GetParam() == "wine_i686")
            kind.path = OPENGL_TEST_WINDOWS_I686_PROBE;
        else
            kind.path = OPENGL_TEST_NATIVE_PROBE;
        return kind;
    }
    // Wine's first start in a new prefix builds the prefix; emulated 32-bit
    // code starts in seconds rather than a fraction of one. A ceiling only.
    double StartSeconds() const {
        if (GetParam() == "native" || GetParam() == "wayland") return kHangCeilingSeconds;
        return GetParam() == "wine" ? 2 * kHangCeilingSeconds : 4 * kHangCeilingSeconds;
    }
};

// The kinds to run: the Windows builds' exes wherever this build was given
// their paths, and the 32-bit one not at all without `withEmulated`, since
// its every start costs seconds under emulation.
inline std::vector<std::string> ProgramKindNames(bool withEmulated = true) {
    std::vector<std::string> kinds = {"native"};
    if (*OPENGL_TEST_WINDOWS_PROGRAM != '\0') kinds.push_back("wine");
    if (withEmulated && *OPENGL_TEST_WINDOWS_I686_PROGRAM != '\0') kinds.push_back("wine_i686");
    return kinds;
}

inline std::string ProgramKindTestName(const ::testing::TestParamInfo<std::string>& kind) {
    return kind.param;
}
