#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/application.h"

// The application with its scene open to inspection.
class ApplicationProbe : public Application {
public:
    using Application::Application;
    using Application::camera;
    using Application::vertices;
    using Application::world;

    int initializeCalls = 0;
    int finalizeCalls = 0;
    bool failInitialize = false;

    bool Initialize() override {
        ++initializeCalls;
        return failInitialize ? false : Application::Initialize();
    }
    void Finalize() override {
        ++finalizeCalls;
        Application::Finalize();
    }
};

// Run() returns only once the loop sees WM_QUIT; a fault that keeps it from
// ever seeing one (a message never taken off the queue, say) would hang the
// test. After a minute this posts one to the window and says so.
class RunCeiling {
public:
    explicit RunCeiling(HWND hwnd)
        : watchdog_([this, hwnd] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
                  expired_ = true;
                  PostMessageA(hwnd, WM_QUIT, 0, 0);
              }
          }) {}
    ~RunCeiling() { Stop(); }
    RunCeiling(const RunCeiling&) = delete;
    RunCeiling& operator=(const RunCeiling&) = delete;
    // True when the run had to be ended from outside.
    bool Expired() {
        Stop();
        return expired_;
    }

private:
    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
    }

    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    bool expired_ = false;
    std::thread watchdog_;
};

// The application's run, ended from outside after a minute: its result, or
// -100 when it had to be ended that way.
inline int RunWithCeiling(ApplicationProbe& app, HWND hwnd) {
    RunCeiling ceiling(hwnd);
    const int result = app.Run();
    return ceiling.Expired() ? -100 : result;
}
