#pragma once

// The frame both baselines draw: the program's own numbers, issued as
// plain OpenGL calls (clear, three matrix multiplies, a four-vertex strip,
// flush).

#include "app/scene.h"

struct BenchScene {
    Matrix world;
    Matrix view;
    Matrix projection;
};

inline BenchScene MakeBenchScene() {
    return {scene::World(), scene::View(), scene::Projection()};
}

inline void DrawBenchScene(const BenchScene& scene) {
    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glMultMatrixf(&scene.projection.m[0][0]);
    glMultMatrixf(&scene.view.m[0][0]);
    glMultMatrixf(&scene.world.m[0][0]);
    glBegin(GL_TRIANGLE_STRIP);
    for (const Vertex& vertex : scene::kVertices) {
        glColor4ub(224, 224, 96, 255);
        glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
    glFlush();
}
