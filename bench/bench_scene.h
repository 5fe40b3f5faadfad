#pragma once

// The frame both baselines draw: the program's own numbers, issued as
// plain OpenGL calls (clear, three matrix multiplies, a four-vertex strip,
// flush).

#include "app/scene.h"
#include "math/matrix.h"

struct BenchScene {
    Matrix world;
    Matrix view;
    Matrix projection;
};

inline BenchScene MakeBenchScene() {
    BenchScene scene;
    scene.world = Matrix::Identity();
    scene.world.m[3][0] = scene::kWorldX;
    scene.world.m[3][1] = scene::kWorldY;
    scene.view = Matrix::LookAtLH(scene::kEye, scene::kAt, scene::kUp);
    scene.projection = Matrix::PerspectiveFovLH(scene::kFieldOfView, scene::kWidth, scene::kHeight,
                                                scene::kNear, scene::kFar);
    return scene;
}

inline void DrawBenchScene(const BenchScene& scene) {
    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glMultMatrixf(&scene.projection.m[0][0]);
    glMultMatrixf(&scene.view.m[0][0]);
    glMultMatrixf(&scene.world.m[0][0]);
    const float h = scene::kHalfSide;
    const float corners[4][2] = {{-h, -h}, {-h, h}, {h, -h}, {h, h}};
    glBegin(GL_TRIANGLE_STRIP);
    for (const auto& corner : corners) {
        glColor4ub(224, 224, 96, 255);
        glVertex3f(corner[0], corner[1], 0.0f);
    }
    glEnd();
    glFlush();
}
