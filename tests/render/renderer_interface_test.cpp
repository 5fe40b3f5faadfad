#include <gtest/gtest.h>

#include <type_traits>

#include "render/renderer.h"
#include "support/float_bits.h"

namespace {

TEST(Camera, StartsAsTwoIdentityMatrices) {
    const Camera camera;
    EXPECT_TRUE(SameMatrix(camera.view, Matrix::Identity()));
    EXPECT_TRUE(SameMatrix(camera.projection, Matrix::Identity()));
    // view first, then projection, with nothing between them.
    EXPECT_EQ(reinterpret_cast<const char*>(&camera.projection) -
                  reinterpret_cast<const char*>(&camera.view),
              static_cast<std::ptrdiff_t>(sizeof(Matrix)));
}

TEST(VertexFormat, IsFourPackedFieldsWithColourAsAARRGGBB) {
    static_assert(sizeof(Vertex) == 16, "x, y, z and color, nothing else");
    static_assert(std::is_trivially_copyable<Vertex>::value, "a plain record");
    const Vertex vertex = {1.0f, 2.0f, 3.0f, 0xFFE0E060};
    EXPECT_EQ((vertex.color >> 24) & 0xFF, 255u);  // alpha
    EXPECT_EQ((vertex.color >> 16) & 0xFF, 224u);  // red
    EXPECT_EQ((vertex.color >> 8) & 0xFF, 224u);   // green
    EXPECT_EQ(vertex.color & 0xFF, 96u);           // blue
}

TEST(RendererInterface, IsAbstractWithoutDataAndHasAVirtualDestructor) {
    static_assert(std::is_abstract<Renderer>::value, "no implementation of its own");
    static_assert(std::has_virtual_destructor<Renderer>::value, "deleted through the base");
    static_assert(sizeof(Renderer) == sizeof(void*), "only the virtual table pointer");
    SUCCEED();
}

}  // namespace
