#pragma once

#include "platform/main_window.h"
#include "render/renderer.h"

// Owns the scene and runs the loop that interleaves the window's messages
// with frames drawn through the abstract Renderer.
class Application {
public:
    // Neither pointer is owned. The scene is built by Initialize.
    Application(MainWindow* window, Renderer* renderer) : window(window), renderer(renderer) {}

    // Builds the scene; true on success.
    virtual bool Initialize();
    // Releases the renderer's resources, then the window's device context.
    virtual void Finalize();

    // The main loop; its result becomes the process exit status.
    int Run();

protected:
    MainWindow* window;
    Renderer* renderer;
    Vertex vertices[4] = {};
    Matrix world = {};
    Camera camera;
};
