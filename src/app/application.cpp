#include "app/application.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "app/scene.h"

bool Application::Initialize() {
    std::copy(std::begin(scene::kVertices), std::end(scene::kVertices), vertices);
    world = scene::World();
    camera.view = scene::View();
    camera.projection = scene::Projection();
    return true;
}

void Application::Finalize() {
    renderer->Finalize();
    if (window->hdc != nullptr) {
        ReleaseDC(window->hwnd, window->hdc);
    }
}

int Application::Run() {
    if (!Initialize()) {
        return -1;
    }
    ShowWindow(window->hwnd, SW_SHOW);

    // At most one message per turn, and a frame only on a turn that found
    // the queue empty: frames never starve input, and nothing here waits.
    MSG msg = {};
    do {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            renderer->BeginFrame();
            renderer->DrawPrimitives(vertices, 4, 2, world, camera);
            renderer->Present();
            renderer->EndFrame();
        }
    } while (msg.message != WM_QUIT);

    Finalize();
    return 0;
}
