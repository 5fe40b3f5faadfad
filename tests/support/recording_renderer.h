#pragma once

#include <functional>
#include <string>
#include <vector>

#include "render/renderer.h"

// A Renderer that records the calls it gets, with the arguments of
// DrawPrimitives, and runs an optional hook at the end of each frame.
class RecordingRenderer : public Renderer {
public:
    struct Draw {
        const Vertex* vertices;
        unsigned vertexCount;
        unsigned primitiveCount;
        const Matrix* world;
        const Camera* camera;
    };

    bool Initialize() override {
        calls.push_back("Initialize");
        return true;
    }
    void Finalize() override { calls.push_back("Finalize"); }
    void BeginFrame() override { calls.push_back("BeginFrame"); }
    void Present() override { calls.push_back("Present"); }
    void EndFrame() override {
        calls.push_back("EndFrame");
        ++frames;
        if (afterFrame) afterFrame(frames);
    }
    void DrawPrimitives(const Vertex* vertices, unsigned vertexCount, unsigned primitiveCount,
                        const Matrix& world, const Camera& camera) override {
        calls.push_back("DrawPrimitives");
        draws.push_back({vertices, vertexCount, primitiveCount, &world, &camera});
    }

    std::vector<std::string> calls;
    std::vector<Draw> draws;
    int frames = 0;
    std::function<void(int frames)> afterFrame;
};
