#include "render/opengl_renderer.h"

// GLEW must come before any other OpenGL header.
#include <GL/glew.h>

bool OpenGLRenderer::Initialize() {
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cDepthBits = 24;
    descriptor.cStencilBits = 8;
    descriptor.iLayerType = PFD_MAIN_PLANE;

    const int format = ChoosePixelFormat(hdc, &descriptor);
    if (format == 0) {
        return false;
    }
    if (!SetPixelFormat(hdc, format, &descriptor)) {
        return false;
    }
    // Not tested on its own: a NULL context makes wglMakeCurrent fail.
    // Nothing acquired so far is undone on failure; the end of the process
    // reclaims it.
    hglrc = wglCreateContext(hdc);
    if (!wglMakeCurrent(hdc, hglrc)) {
        return false;
    }
    // Without the experimental flag GLEW skips entry points that a core or
    // software driver does not advertise through its extension string.
    glewExperimental = GL_TRUE;
    return glewInit() == GLEW_OK;
}

void OpenGLRenderer::Finalize() {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(hglrc);
}

void OpenGLRenderer::BeginFrame() {
    wglMakeCurrent(hdc, hglrc);
    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
    // Depth and stencil exist in the pixel format but are never used.
    glClear(GL_COLOR_BUFFER_BIT);
}

void OpenGLRenderer::DrawPrimitives(const Vertex* vertices, unsigned vertexCount,
                                    unsigned /*primitiveCount*/, const Matrix& world,
                                    const Camera& camera) {
    // glMatrixMode is never called, so everything goes on the modelview
    // stack and the projection stack stays the identity. The row-vector
    // matrices are read by OpenGL column by column, which makes this product
    // projection * view * world, i.e. p * world * view * projection.
    glLoadIdentity();
    glMultMatrixf(&camera.projection.m[0][0]);
    glMultMatrixf(&camera.view.m[0][0]);
    glMultMatrixf(&world.m[0][0]);

    glBegin(GL_TRIANGLE_STRIP);
    for (unsigned i = 0; i < vertexCount; ++i) {
        const Vertex& vertex = vertices[i];
        glColor4ub(static_cast<GLubyte>(vertex.color >> 16),
                   static_cast<GLubyte>(vertex.color >> 8), static_cast<GLubyte>(vertex.color),
                   static_cast<GLubyte>(vertex.color >> 24));
        glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
}

void OpenGLRenderer::Present() {
    glFlush();
    SwapBuffers(hdc);
}

void OpenGLRenderer::EndFrame() {
    wglMakeCurrent(nullptr, nullptr);
}
