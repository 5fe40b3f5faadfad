// The builders against a reference written apart from them: every step is
// evaluated in double and rounded to float exactly where a value is stored.
// Thousands of generated inputs, ordinary and extreme, must agree to the bit.
// Run in both builds, this is also what shows that no excess precision
// (x87) leaks into the result.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <vector>

#include "math/matrix.h"
#include "support/float_bits.h"

namespace {

// A store: the one place where a double becomes a float.
float Store(double value) {
    volatile float stored = static_cast<float>(value);
    return stored;
}

struct V {
    float c[3];
};

V Normalized(const float d[3]) {
    const float sum = Store((static_cast<double>(d[0]) * d[0] + static_cast<double>(d[1]) * d[1]) +
                            static_cast<double>(d[2]) * d[2]);
    const float length = Store(std::sqrt(static_cast<double>(sum)));
    return {{Store(static_cast<double>(d[0]) / length), Store(static_cast<double>(d[1]) / length),
             Store(static_cast<double>(d[2]) / length)}};
}

V CrossOf(const V& a, const V& b) {
    V r;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const int k = (i + 2) % 3;
        r.c[i] = Store(static_cast<double>(a.c[j]) * b.c[k] - static_cast<double>(a.c[k]) * b.c[j]);
    }
    return r;
}

Matrix ReferenceLookAt(const V& eye, const V& at, const V& up) {
    float d[3];
    for (int i = 0; i < 3; ++i) d[i] = Store(static_cast<double>(at.c[i]) - eye.c[i]);
    const V z = Normalized(d);
    const V c = CrossOf(up, z);
    const V x = Normalized(c.c);
    const V y = CrossOf(z, x);
    Matrix r;
    const V* axes[3] = {&x, &y, &z};
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) r.m[row][column] = axes[column]->c[row];
        r.m[column][3] = 0.0f;
        const V& a = *axes[column];
        r.m[3][column] = Store(
            -((static_cast<double>(eye.c[0]) * a.c[0] + static_cast<double>(eye.c[1]) * a.c[1]) +
              static_cast<double>(eye.c[2]) * a.c[2]));
    }
    r.m[3][3] = 1.0f;
    return r;
}

Matrix ReferencePerspective(float fovY, float width, float height, float zNear, float zFar) {
    float r[16] = {};
    const float fov = fovY == 0.0f ? 30.0f : fovY;
    const float half = Store(static_cast<double>(fov) * 0.5);
    const float t = Store(std::tan(static_cast<double>(half)));
    const float yScale = Store(1.0 / t);
    const float h = height == 0.0f ? 480.0f : height;
    const float w = width == 0.0f ? 640.0f : width;
    const float xScale = Store(static_cast<double>(h) * static_cast<double>(yScale) / w);
    float range = Store(static_cast<double>(zFar) - static_cast<double>(zNear));
    if (range == 0.0f) range = 3000.0f;
    const float f = zFar == 0.0f ? 3001.0f : zFar;
    const float n = zNear == 0.0f ? 1.0f : zNear;
    r[0] = xScale;
    r[5] = yScale;
    r[10] = Store(static_cast<double>(f) / range);
    r[11] = 1.0f;
    r[14] = Store(-static_cast<double>(n) * static_cast<double>(f) / range);
    Matrix m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = r[i];
    return m;
}

// A small deterministic generator: the same inputs in every build and run.
class Inputs {
public:
    float Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const uint32_t r = static_cast<uint32_t>(state >> 32);
        const float unit = static_cast<float>(r & 0xFFFFFF) / 16777216.0f * 2.0f - 1.0f;
        switch ((r >> 24) % 8) {
            case 0:
                return unit * 1e30f;  // very large
            case 1:
                return unit * 1e-30f;  // very small
            case 2:
                return 0.0f;  // degenerate
            case 3:
                return static_cast<float>((r >> 8) % 5);  // repeated small integers
            default:
                return unit * 100.0f;  // ordinary
        }
    }

private:
    uint64_t state = 0x853C49E6748FEA9BULL;
};

std::string Describe(const float* values, int count) {
    std::ostringstream out;
    out.precision(9);
    for (int i = 0; i < count; ++i) out << (i ? ", " : "") << values[i];
    return out.str();
}

TEST(MatrixPrecision, LookAtMatchesDoubleThenFloatReferenceOnGeneratedInputs) {
    Inputs inputs;
    for (int i = 0; i < 20000; ++i) {
        float v[9];
        for (float& value : v) value = inputs.Next();
        if (i % 50 == 0) {  // eye on the target now and then
            v[3] = v[0];
            v[4] = v[1];
            v[5] = v[2];
        }
        const Matrix actual =
            Matrix::LookAtLH({v[0], v[1], v[2]}, {v[3], v[4], v[5]}, {v[6], v[7], v[8]});
        const Matrix expected =
            ReferenceLookAt({{v[0], v[1], v[2]}}, {{v[3], v[4], v[5]}}, {{v[6], v[7], v[8]}});
        const auto same = SameMatrix(actual, expected);
        ASSERT_TRUE(same) << "first mismatch at input " << i
                          << ": eye, at, up = " << Describe(v, 9);
    }
}

TEST(MatrixPrecision, PerspectiveMatchesDoubleThenFloatReferenceOnGeneratedInputs) {
    Inputs inputs;
    for (int i = 0; i < 20000; ++i) {
        float v[5];
        for (float& value : v) value = inputs.Next();
        const Matrix actual = Matrix::PerspectiveFovLH(v[0], v[1], v[2], v[3], v[4]);
        const Matrix expected = ReferencePerspective(v[0], v[1], v[2], v[3], v[4]);
        const auto same = SameMatrix(actual, expected);
        ASSERT_TRUE(same) << "first mismatch at input " << i
                          << ": fovY, width, height, zNear, zFar = " << Describe(v, 5);
    }
}

}  // namespace
