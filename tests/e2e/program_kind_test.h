#pragma once

// A test of the program from outside, run once per kind of program:
// "native"; "wine", the x86-64 exe under 64-bit Wine; "wine_i686", the
// genuine 32-bit exe under 32-bit Wine (its code emulated where the host
// runs no 32-bit code). The Windows kinds run when the test command gives
// their exes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_runner.h"

// The program's window title, as UTF-8: OpenGLテスト.
inline const std::string kProgramTitle = "OpenGL\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";

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
    // Wine's first start in a new prefix builds the prefix; emulated 32-bit
    // code starts in seconds rather than a fraction of one.
    double StartSeconds() const {
        if (GetParam() == "native") return 10;
        return GetParam() == "wine" ? 90 : 180;
    }
};

// The kinds to run; `withEmulated` includes the 32-bit exe, whose every
// start costs seconds under emulation.
inline std::vector<std::string> ProgramKindNames(bool withEmulated = true) {
    std::vector<std::string> kinds = {"native"};
    if (std::string(OPENGL_TEST_WINDOWS_PROGRAM).size() > 0) kinds.push_back("wine");
    if (withEmulated && std::string(OPENGL_TEST_WINDOWS_I686_PROGRAM).size() > 0) {
        kinds.push_back("wine_i686");
    }
    return kinds;
}

inline std::string ProgramKindTestName(const ::testing::TestParamInfo<std::string>& kind) {
    return kind.param;
}
