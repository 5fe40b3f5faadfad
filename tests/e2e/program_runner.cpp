#include "e2e/program_runner.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

std::string WineRunScript() {
    return OPENGL_TEST_SOURCE_DIR "/scripts/wine-run.sh";
}

ProgramRunner::ProgramRunner(const ProgramKind& kind, const std::string& display)
    : kind_(kind), display_(display) {}

ProgramRunner::~ProgramRunner() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (!kind_.prefix.empty()) {
        // Wine's server and desktop of this prefix keep the display they
        // started with; end them so the next run may use another.
        const std::string stop = WineRunScript() + " --stop '" + kind_.prefix + "'";
        if (std::system(stop.c_str()) != 0) {
            // Nothing more to do: the next run on this prefix reports it.
        }
    }
}

bool ProgramRunner::Start() {
    if (!kind_.prefix.empty()) {
        // Wine's server and services up before the program starts: a first
        // start in a prefix builds it, which is no part of the program's
        // own timing.
        const std::string environment =
            display_.empty() ? "env -u DISPLAY " : "env DISPLAY='" + display_ + "' ";
        const std::string start = environment + WineRunScript() + " --start '" + kind_.prefix + "'";
        if (std::system(start.c_str()) != 0) {
            return false;
        }
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) environment.emplace_back(*entry);
    }
    if (!display_.empty()) environment.push_back("DISPLAY=" + display_);

    std::vector<std::string> arguments;
    if (kind_.prefix.empty()) {
        arguments = {kind_.path};
    } else {
        arguments = {WineRunScript(), kind_.prefix, kind_.path};
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    // A process group of its own, so that Wine's helpers die with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int error = posix_spawn(&pid_, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        pid_ = -1;
        return false;
    }
    return true;
}

int ProgramRunner::WaitForExit(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (pid_ > 0) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}
