#pragma once

// Starts the program as a separate process, native or under Wine, and ends
// it: every wait is bounded, so a hang shows as a failure, and whatever was
// started is killed when the runner goes.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct ProgramKind {
    std::string name;    // "native", "wine" or "wine_i686"
    std::string path;    // the executable
    std::string prefix;  // Wine prefix for this display; empty for native
};

class ProgramRunner {
public:
    ProgramRunner(const ProgramKind& kind, const std::string& display);
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Fails with what went wrong: Wine's server did not start, or the
    // program could not be spawned. With `output`, the program's stdout
    // goes to that file.
    ::testing::AssertionResult Start(const std::string& output = "");
    // Waits up to `seconds` for the process to end; its exit status, or -1
    // if it did not end in time (or ended by a signal).
    int WaitForExit(double seconds);
    bool Running() const { return pid_ > 0; }

private:
    ProgramKind kind_;
    std::string display_;
    pid_t pid_ = -1;
};

std::string WineRunScript();

// Runs a tool (wmctrl, xdotool) on `display` to its end; its exit status,
// or -1 if it could not run or never ended. With `output`,
// what it printed on stdout.
int RunTool(const std::vector<std::string>& arguments, const std::string& display,
            std::string* output = nullptr);
