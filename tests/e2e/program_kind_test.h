#pragma once

// A test of the program from outside, run once per kind of program:
// "native"; "wine", the x86-64 exe under 64-bit Wine; "wine_i686", the
// genuine 32-bit exe under 32-bit Wine (its code emulated where the host
// runs no 32-bit code). The Windows kinds run when the test command gives
// their exes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/program_runner.h"

// An environment variable's value; "" when it is not set.
inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class ProgramKindTest : public ::testing::TestWithParam<std::string> {
protected:
    // Under Wine, in the prefix of the exe's build: the runner restarts
    // Wine's server there for each run, on the run's display.
    ProgramKind Kind() const {
        if (GetParam() == "wine") {
            return {"wine", OPENGL_TEST_WINDOWS_PROGRAM, OPENGL_TEST_WINDOWS_PREFIX};
        }
        if (GetParam() == "wine_i686") {
            return {"wine_i686", OPENGL_TEST_WINDOWS_I686_PROGRAM, OPENGL_TEST_WINDOWS_I686_PREFIX};
        }
        return {"native", OPENGL_TEST_NATIVE_PROGRAM, ""};
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
    // code starts in seconds rather than a fraction of one.
    double StartSeconds() const {
        if (GetParam() == "native") return 10;
        return GetParam() == "wine" ? 90 : 180;
    }
};

// The kinds to run: the Windows exes that are built, the 32-bit one only
// where it can run (the test command says how in OPENGL_TEST_I686_HOW), and
// not at all without `withEmulated`, since its every start costs seconds
// under emulation.
inline std::vector<std::string> ProgramKindNames(bool withEmulated = true) {
    const auto built = [](const char* path) { return std::ifstream(path).good(); };
    std::vector<std::string> kinds = {"native"};
    if (built(OPENGL_TEST_WINDOWS_PROGRAM)) kinds.push_back("wine");
    const char* how = std::getenv("OPENGL_TEST_I686_HOW");
    const bool runs = how == nullptr || std::string(how).rfind("none", 0) != 0;
    if (withEmulated && runs && built(OPENGL_TEST_WINDOWS_I686_PROGRAM)) {
        kinds.push_back("wine_i686");
    }
    return kinds;
}

inline std::string ProgramKindTestName(const ::testing::TestParamInfo<std::string>& kind) {
    return kind.param;
}
