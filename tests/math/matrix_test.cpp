#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/matrix.h"
#include "support/float_bits.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kFov = FromBits(0x3F32B8C3);  // the application's 40 degrees

TEST(MatrixConstants, IdentityAndZeroAreSharedAndFilledOnce) {
    const Matrix& identity = Matrix::Identity();
    const Matrix& zero = Matrix::Zero();
    EXPECT_EQ(&identity, &Matrix::Identity());
    EXPECT_EQ(&zero, &Matrix::Zero());
    EXPECT_NE(static_cast<const void*>(&identity), static_cast<const void*>(&zero));
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(Bits(identity.m[row][column]), Bits(row == column ? 1.0f : 0.0f));
            EXPECT_EQ(Bits(zero.m[row][column]), 0u);  // +0, never -0
        }
    }
}

TEST(LookAtLH, ApplicationCameraGivesExactRowsWithNegativeZeros) {
    const Matrix view = Matrix::LookAtLH({0, 10, -40}, {0, 0, 0}, {0, 1, 0});
    EXPECT_TRUE(SameMatrix(view, MakeMatrix({{1, 0, 0, 0},
                                             {0, 0.9701425f, -0.24253562f, 0},
                                             {-0.0f, 0.24253562f, 0.9701425f, 0},
                                             {-0.0f, -0.0f, 41.231056f, 1}})));
}

TEST(LookAtLH, EyeAtTargetMakesRotationAndTranslationNaNButNeverInfinite) {
    const Matrix view = Matrix::LookAtLH({3, 4, 5}, {3, 4, 5}, {0, 1, 0});
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_TRUE(std::isnan(view.m[row][column])) << row << "," << column;
        }
    }
    EXPECT_EQ(view.m[0][3], 0.0f);
    EXPECT_EQ(view.m[1][3], 0.0f);
    EXPECT_EQ(view.m[2][3], 0.0f);
    EXPECT_EQ(view.m[3][3], 1.0f);
}

TEST(LookAtLH, UpParallelToViewKeepsOnlyTheViewAxisFinite) {
    const Matrix view = Matrix::LookAtLH({0, 0, 0}, {0, 5, 0}, {0, 1, 0});
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(std::isnan(view.m[row][0]));
        EXPECT_TRUE(std::isnan(view.m[row][1]));
    }
    EXPECT_TRUE(std::isnan(view.m[3][0]));
    EXPECT_TRUE(std::isnan(view.m[3][1]));
    EXPECT_EQ(view.m[0][2], 0.0f);
    EXPECT_EQ(view.m[1][2], 1.0f);
    EXPECT_EQ(view.m[2][2], 0.0f);
    EXPECT_EQ(view.m[3][2], 0.0f);
}

Matrix Projection(float m00, float m11, float m22, float m32) {
    Matrix expected = Matrix::Zero();
    expected.m[0][0] = m00;
    expected.m[1][1] = m11;
    expected.m[2][2] = m22;
    expected.m[2][3] = 1.0f;
    expected.m[3][2] = m32;
    return expected;
}

TEST(PerspectiveFovLH, ApplicationProjectionIsExact) {
    EXPECT_TRUE(SameMatrix(Matrix::PerspectiveFovLH(kFov, 640, 480, 1, 500),
                           Projection(2.0606079f, 2.7474773f, 1.002004f, -1.002004f)));
}

TEST(PerspectiveFovLH, AllZeroArgumentsTakeDefaultsIncludingThirtyRadians) {
    // 30 radians, not degrees: tan(15) is negative, and so is the scale.
    EXPECT_TRUE(SameMatrix(Matrix::PerspectiveFovLH(0, 0, 0, 0, 0),
                           Projection(-0.8761749f, -1.1682333f, 1.0003333f, -1.0003333f)));
}

TEST(PerspectiveFovLH, NegativeZeroCountsAsZero) {
    EXPECT_TRUE(SameMatrix(Matrix::PerspectiveFovLH(-0.0f, -0.0f, -0.0f, -0.0f, -0.0f),
                           Matrix::PerspectiveFovLH(0, 0, 0, 0, 0)));
}

TEST(PerspectiveFovLH, RangeIsTakenBeforeNearAndFarGetTheirDefaults) {
    // near 0 -> 1, but the range stays 500 - 0.
    const Matrix nearZero = Matrix::PerspectiveFovLH(kFov, 640, 480, 0, 500);
    EXPECT_EQ(Bits(nearZero.m[2][2]), Bits(1.0f));
    EXPECT_EQ(Bits(nearZero.m[3][2]), Bits(-1.0f));

    // Equal planes: a zero range becomes 3000.
    const Matrix equal = Matrix::PerspectiveFovLH(kFov, 640, 480, 5, 5);
    EXPECT_EQ(Bits(equal.m[2][2]), Bits(static_cast<float>(5.0 / 3000.0)));
    EXPECT_EQ(Bits(equal.m[3][2]), Bits(static_cast<float>(-25.0 / 3000.0)));

    // far 0 -> 3001, but the range stays 0 - 1.
    const Matrix farZero = Matrix::PerspectiveFovLH(kFov, 640, 480, 1, 0);
    EXPECT_EQ(Bits(farZero.m[2][2]), Bits(-3001.0f));
    EXPECT_EQ(Bits(farZero.m[3][2]), Bits(3001.0f));
}

TEST(PerspectiveFovLH, ReversedPlanesAreNotRejected) {
    const Matrix reversed = Matrix::PerspectiveFovLH(kFov, 640, 480, 10, 2);
    EXPECT_EQ(Bits(reversed.m[2][2]), Bits(-0.25f));
    EXPECT_EQ(Bits(reversed.m[3][2]), Bits(2.5f));
}

TEST(PerspectiveFovLH, ZeroWidthOrHeightAloneTakesItsDefault) {
    const Matrix reference = Matrix::PerspectiveFovLH(1.1f, 640, 480, 2, 90);
    EXPECT_TRUE(SameMatrix(Matrix::PerspectiveFovLH(1.1f, 0, 480, 2, 90), reference));
    EXPECT_TRUE(SameMatrix(Matrix::PerspectiveFovLH(1.1f, 640, 0, 2, 90), reference));
}

TEST(PerspectiveFovLH, NaNArgumentsPassIntoTheirElements) {
    const Matrix fov = Matrix::PerspectiveFovLH(kNaN, 640, 480, 1, 500);
    EXPECT_TRUE(std::isnan(fov.m[0][0]));
    EXPECT_TRUE(std::isnan(fov.m[1][1]));
    EXPECT_FALSE(std::isnan(fov.m[2][2]));

    const Matrix width = Matrix::PerspectiveFovLH(kFov, kNaN, 480, 1, 500);
    EXPECT_TRUE(std::isnan(width.m[0][0]));
    EXPECT_FALSE(std::isnan(width.m[1][1]));
    const Matrix height = Matrix::PerspectiveFovLH(kFov, 640, kNaN, 1, 500);
    EXPECT_TRUE(std::isnan(height.m[0][0]));

    for (const Matrix& planes : {Matrix::PerspectiveFovLH(kFov, 640, 480, kNaN, 500),
                                 Matrix::PerspectiveFovLH(kFov, 640, 480, 1, kNaN)}) {
        EXPECT_TRUE(std::isnan(planes.m[2][2]));
        EXPECT_TRUE(std::isnan(planes.m[3][2]));
        EXPECT_FALSE(std::isnan(planes.m[0][0]));
        EXPECT_EQ(planes.m[2][3], 1.0f);
        EXPECT_EQ(Bits(planes.m[3][3]), 0u);
    }
}

}  // namespace
