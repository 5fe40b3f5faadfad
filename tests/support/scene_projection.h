#pragma once

// The application's scene rebuilt from its constants, and where its points
// land in the 640 x 480 window, computed in double precision for tests
// that look at pixels.

#include <algorithm>
#include <iterator>

#include "app/scene.h"
#include "render/renderer.h"

struct Scene {
    Vertex vertices[4];
    Matrix world;
    Camera camera;
};

inline Scene BuildScene() {
    Scene scene;
    std::copy(std::begin(scene::kVertices), std::end(scene::kVertices), scene.vertices);
    scene.world = scene::World();
    scene.camera.view = scene::View();
    scene.camera.projection = scene::Projection();
    return scene;
}

// p * m for a row vector p, in double.
inline void Transform(const double in[4], const Matrix& m, double out[4]) {
    for (int column = 0; column < 4; ++column) {
        out[column] = 0;
        for (int row = 0; row < 4; ++row) out[column] += in[row] * m.m[row][column];
    }
}

// p * world * view * projection: a row vector in the scene taken to clip
// space.
inline void ToClip(const Scene& scene, const double p[4], double clip[4]) {
    double a[4];
    double b[4];
    Transform(p, scene.world, a);
    Transform(a, scene.camera.view, b);
    Transform(b, scene.camera.projection, clip);
}

// Where a point of the square's plane lands, in OpenGL's window coordinates
// (origin bottom-left, pixel centres at .5).
inline void ToWindow(const Scene& scene, double x, double y, double& wx, double& wy) {
    const double p[4] = {x, y, 0, 1};
    double clip[4];
    ToClip(scene, p, clip);
    wx = (clip[0] / clip[3] + 1) * 320;
    wy = (clip[1] / clip[3] + 1) * 240;
}
