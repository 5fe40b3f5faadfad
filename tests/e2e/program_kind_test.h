#pragma once

// A test of the program from outside, run once per kind of program:
// "native", and "wine" when the test command gave the Windows exe.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_runner.h"

// The program's window title, as UTF-8: OpenGLテスト.
inline const std::string kProgramTitle = "OpenGL\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";

class ProgramKindTest : public ::testing::TestWithParam<std::string> {
protected:
    // Under Wine, in the prefix named `prefixName`: one per display, as
    // Wine's server keeps the display it started with.
    ProgramKind Kind(const std::string& prefixName) const {
        if (GetParam() == "native") return {"native", OPENGL_TEST_NATIVE_PROGRAM, ""};
        return {"wine", OPENGL_TEST_WINDOWS_PROGRAM,
                std::string(OPENGL_TEST_BINARY_DIR "/e2e-wine/") + prefixName};
    }
    // Wine's first start in a new prefix builds the prefix.
    double StartSeconds() const { return GetParam() == "native" ? 10 : 90; }
};

inline std::vector<std::string> ProgramKindNames() {
    std::vector<std::string> kinds = {"native"};
    if (std::string(OPENGL_TEST_WINDOWS_PROGRAM).size() > 0) kinds.push_back("wine");
    return kinds;
}

inline std::string ProgramKindTestName(const ::testing::TestParamInfo<std::string>& kind) {
    return kind.param;
}
