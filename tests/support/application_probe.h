#pragma once

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
