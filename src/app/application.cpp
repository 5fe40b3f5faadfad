#include "app/application.h"

#include <windows.h>

#include "app/scene.h"

bool Application::Initialize() {
    // The order of a triangle strip: two triangles forming the square.
    vertices[0] = {-scene::kHalfSide, -scene::kHalfSide, 0.0f, scene::kSquareColor};
    vertices[1] = {-scene::kHalfSide, scene::kHalfSide, 0.0f, scene::kSquareColor};
    vertices[2] = {scene::kHalfSide, -scene::kHalfSide, 0.0f, scene::kSquareColor};
    vertices[3] = {scene::kHalfSide, scene::kHalfSide, 0.0f, scene::kSquareColor};

    world = Matrix::Identity();
    world.m[3][0] = scene::kWorldX;
    world.m[3][1] = scene::kWorldY;

    camera.view = Matrix::LookAtLH(scene::kEye, scene::kAt, scene::kUp);
    camera.projection = Matrix::PerspectiveFovLH(scene::kFieldOfView, scene::kWidth, scene::kHeight,
                                                 scene::kNear, scene::kFar);
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
