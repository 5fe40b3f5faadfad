#pragma once

#include <windows.h>

#include "render/renderer.h"

// Renderer on a window's device context with WGL and the fixed-function
// OpenGL 1.1 pipeline.
class OpenGLRenderer : public Renderer {
public:
    // The device context is not owned: the application releases it.
    explicit OpenGLRenderer(HDC hdc) : hdc(hdc) {}

    bool Initialize() override;
    void Finalize() override;
    void BeginFrame() override;
    void Present() override;
    void EndFrame() override;
    void DrawPrimitives(const Vertex* vertices, unsigned vertexCount, unsigned primitiveCount,
                        const Matrix& world, const Camera& camera) override;
    ~OpenGLRenderer() override = default;

private:
    HDC hdc;
    HGLRC hglrc = nullptr;  // created by Initialize, deleted by Finalize
};
