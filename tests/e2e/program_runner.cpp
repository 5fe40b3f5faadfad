#include "e2e/program_runner.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "x11_client.h"

extern char** environ;

std::string WineRunScript() {
    return OPENGL_TEST_SOURCE_DIR "/scripts/wine-run.sh";
}

namespace {

// Whether `entry` ("NAME=value") sets `name`.
bool Sets(const char* entry, const std::string& name) {
    return std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=';
}

// The environment with DISPLAY set to `display`, or without DISPLAY when it
// is empty, and `extra` set over the rest.
std::vector<std::string> EnvironmentFor(const std::string& display, const Environment& extra = {}) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        bool replaced = Sets(*entry, "DISPLAY");
        for (const auto& variable : extra) replaced = replaced || Sets(*entry, variable.first);
        if (!replaced) environment.emplace_back(*entry);
    }
    if (!display.empty()) environment.push_back("DISPLAY=" + display);
    for (const auto& [name, value] : extra) environment.push_back(name + "=" + value);
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `arguments` in a process group of its own, so that Wine's helpers
// can be ended with it; its stdout to `output` and its stderr to `errors`
// when given. 0 and the pid, or the spawn error.
int Spawn(std::vector<std::string> arguments, std::vector<std::string> environment, pid_t& pid,
          const std::string& output = "", const std::string& errors = "") {
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (!errors.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error;
}

// Waits up to `seconds` for `pid` to end: true and its exit status (-1 for
// a signal) when it did, false when it is still running. With `how`, what
// ended it, in words.
bool Reap(pid_t pid, double seconds, int& exitStatus, std::string* how = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (how != nullptr && WIFEXITED(status)) {
                *how = "ended with status " + std::to_string(exitStatus);
            } else if (how != nullptr) {
                *how = "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
                       strsignal(WTERMSIG(status)) + ")";
            }
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs the Wine runner in `mode` (--start, --stop) for `prefix` on
// `display`; its exit status, or -1.
int WineRunner(const char* mode, const std::string& prefix, const std::string& display) {
    pid_t pid = -1;
    if (Spawn({WineRunScript(), mode, prefix}, EnvironmentFor(display), pid) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProgramRunner::ProgramRunner(const ProgramKind& kind, const std::string& display)
    : kind_(kind), display_(display) {}

ProgramRunner::~ProgramRunner() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (!kind_.prefix.empty()) {
        // Wine's server and desktop keep the display they started with; end
        // them so the next run may use another. A failure here shows in the
        // next run's start.
        WineRunner("--stop", kind_.prefix, display_);
    }
}

::testing::AssertionResult ProgramRunner::Start(const std::string& output,
                                                const std::string& errors) {
    if (!kind_.prefix.empty()) {
        // Wine's server and services up before the program starts: a first
        // start in a prefix builds it, which is no part of the program's
        // own timing.
        const int status = WineRunner("--start", kind_.prefix, display_);
        if (status != 0) {
            return ::testing::AssertionFailure()
                   << WineRunScript() << " --start " << kind_.prefix << " ended with " << status
                   << " (its message is above)";
        }
    }
    std::vector<std::string> arguments = {kind_.path};
    if (!kind_.prefix.empty()) arguments = {WineRunScript(), kind_.prefix, kind_.path};
    const int error =
        Spawn(arguments, EnvironmentFor(display_, kind_.environment), pid_, output, errors);
    if (error != 0) {
        pid_ = -1;
        return ::testing::AssertionFailure()
               << "cannot start " << arguments[0] << ": " << std::strerror(error);
    }
    return ::testing::AssertionSuccess();
}

int ProgramRunner::WaitForExit(double seconds) {
    if (pid_ > 0 && Reap(pid_, seconds, status_, &how_)) {
        pid_ = -1;
        ended_ = true;
    }
    return ended_ ? status_ : -1;
}

bool ProgramRunner::Ended(std::string* how) {
    WaitForExit(0);
    if (ended_ && how != nullptr) *how = how_;
    return ended_;
}

int RunTool(const std::vector<std::string>& arguments, const std::string& display,
            std::string* output, const Environment& environment) {
    char path[] = "/tmp/opengl_test_tool_XXXXXX";
    const int file = mkstemp(path);
    if (file < 0) return -1;
    close(file);
    pid_t pid = -1;
    int status = -1;
    if (Spawn(arguments, EnvironmentFor(display, environment), pid, path) == 0) {
        if (!Reap(pid, kHangCeilingSeconds, status)) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            status = -1;
        }
    }
    if (output != nullptr) {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        *output = text.str();
    }
    unlink(path);
    return status;
}
