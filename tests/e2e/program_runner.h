#pragma once

// Starts the program as a separate process, native or under Wine, and ends
// it: every wait is bounded, so a hang shows as a failure, and whatever was
// started is killed when the runner goes.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

// Variables set for a run, over the test's own environment.
using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProgramKind {
    std::string name;         // "native", "wine", "wine_i686" or "wayland"
    std::string path;         // the executable
    std::string prefix;       // Wine prefix for this display; empty for native
    Environment environment;  // the compositor a Wayland client reaches
};

class ProgramRunner {
public:
    ProgramRunner(const ProgramKind& kind, const std::string& display);
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Fails with what went wrong: Wine's server did not start, or the
    // program could not be spawned. With `output`, the program's stdout
    // goes to that file; with `errors`, its stderr to that one.
    ::testing::AssertionResult Start(const std::string& output = "",
                                     const std::string& errors = "");
    // Waits up to `seconds` for the process to end; its exit status, or -1
    // if it did not end in time (or ended by a signal). Once it has ended,
    // that status again.
    int WaitForExit(double seconds);
    bool Running() const { return pid_ > 0; }
    // Whether the process has ended, without waiting: a wait for its window
    // stops at once when it has. Then `how` says how ("ended with status
    // 1", "was killed by signal 11 (Segmentation fault)").
    bool Ended(std::string* how = nullptr);
    // The process while it runs (and before it is reaped): a compositor
    // names a window's client by it.
    pid_t Pid() const { return pid_; }

private:
    ProgramKind kind_;
    std::string display_;
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1;  // once ended: its exit status, -1 for a signal
    std::string how_;
};

std::string WineRunScript();

// Runs a tool (wmctrl, xdotool) on `display` to its end; its exit status,
// or -1 if it could not run or never ended. With `output`,
// what it printed on stdout. `environment` is set over the test's own (a
// compositor's, for a Wayland client such as weston-debug).
int RunTool(const std::vector<std::string>& arguments, const std::string& display,
            std::string* output = nullptr, const Environment& environment = {});
