#pragma once

#include "math/matrix.h"
#include "render/renderer.h"

// The scene is constants in the code; nothing comes from outside. The
// application builds its scene from these in Initialize; tests and
// benchmarks that need the same numbers take them from here too.
namespace scene {

constexpr unsigned kSquareColor = 0xFFE0E060;  // alpha 255, red 224, green 224, blue 96
constexpr float kHalfSide = 10.0f;

// A translation by (0.2, 0.4, 0): the float literals round to the bits
// 0x3E4CCCCD and 0x3ECCCCCD.
constexpr float kWorldX = 0.2f;
constexpr float kWorldY = 0.4f;

constexpr Vector3 kEye = {0.0f, 10.0f, -40.0f};
constexpr Vector3 kAt = {0.0f, 0.0f, 0.0f};
constexpr Vector3 kUp = {0.0f, 1.0f, 0.0f};

// 40 degrees as 40 * pi / 180 with pi rounded to float first: bits
// 0x3F32B8C3, one unit above the correctly rounded 0x3F32B8C2. The picture
// depends on it to the bit, so it is written as the exact value.
constexpr float kFieldOfView = 0x1.657186p-1f;
constexpr float kWidth = 640.0f;
constexpr float kHeight = 480.0f;
constexpr float kNear = 1.0f;
constexpr float kFar = 500.0f;

// The square, in the order of a triangle strip: two triangles.
constexpr Vertex kVertices[4] = {{-kHalfSide, -kHalfSide, 0.0f, kSquareColor},
                                 {-kHalfSide, kHalfSide, 0.0f, kSquareColor},
                                 {kHalfSide, -kHalfSide, 0.0f, kSquareColor},
                                 {kHalfSide, kHalfSide, 0.0f, kSquareColor}};

inline Matrix World() {
    Matrix world = Matrix::Identity();
    world.m[3][0] = kWorldX;
    world.m[3][1] = kWorldY;
    return world;
}

inline Matrix View() {
    return Matrix::LookAtLH(kEye, kAt, kUp);
}

inline Matrix Projection() {
    return Matrix::PerspectiveFovLH(kFieldOfView, kWidth, kHeight, kNear, kFar);
}

}  // namespace scene
