#pragma once

#include "math/matrix.h"

// What crosses between the application and a graphics interface.

struct Vertex {
    float x;
    float y;
    float z;
    unsigned color;  // 0xAARRGGBB
};

struct Camera {
    Camera();

    Matrix view;
    Matrix projection;
};

// Calling order every caller keeps and every implementation may rely on:
// Initialize once (nothing else if it fails); per frame BeginFrame,
// DrawPrimitives, Present, EndFrame; Finalize once after the last frame.
class Renderer {
public:
    virtual bool Initialize() = 0;
    virtual void Finalize() = 0;
    virtual void BeginFrame() = 0;
    virtual void Present() = 0;
    virtual void EndFrame() = 0;
    // Draws vertexCount vertices as one triangle strip, transformed by
    // p * world * camera.view * camera.projection. primitiveCount is the
    // number of triangles the strip forms.
    virtual void DrawPrimitives(const Vertex* vertices, unsigned vertexCount,
                                unsigned primitiveCount, const Matrix& world,
                                const Camera& camera) = 0;
    // Releases nothing; resources go in Finalize.
    virtual ~Renderer() = default;
};
