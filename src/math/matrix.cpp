#include "math/matrix.h"

#include <cmath>

// Every stored value is the single-precision rounding of an expression
// evaluated in double precision; the casts to double below mark where an
// intermediate must not be rounded to float.

const Matrix& Matrix::Identity() {
    static Matrix identity;
    static bool filled = false;
    if (!filled) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                identity.m[row][column] = row == column ? 1.0f : 0.0f;
            }
        }
        filled = true;
    }
    return identity;
}

const Matrix& Matrix::Zero() {
    static Matrix zero;
    static bool filled = false;
    if (!filled) {
        for (auto& row : zero.m) {
            for (float& element : row) {
                element = 0.0f;
            }
        }
        filled = true;
    }
    return zero;
}

namespace {

float Length(const Vector3& v) {
    const float sumOfSquares =
        static_cast<float>((static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y) +
                           static_cast<double>(v.z) * v.z);
    return static_cast<float>(std::sqrt(static_cast<double>(sumOfSquares)));
}

// Divides rather than multiplying by a reciprocal, so a zero length yields
// NaN (0 / 0) and never an infinity.
Vector3 Normalize(const Vector3& v) {
    const float length = Length(v);
    return {v.x / length, v.y / length, v.z / length};
}

Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {static_cast<float>(static_cast<double>(a.y) * b.z - static_cast<double>(a.z) * b.y),
            static_cast<float>(static_cast<double>(a.z) * b.x - static_cast<double>(a.x) * b.z),
            static_cast<float>(static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x)};
}

float NegatedDot(const Vector3& eye, const Vector3& axis) {
    return static_cast<float>(
        -((static_cast<double>(eye.x) * axis.x + static_cast<double>(eye.y) * axis.y) +
          static_cast<double>(eye.z) * axis.z));
}

}  // namespace

Matrix Matrix::LookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up) {
    const Vector3 zaxis = Normalize({at.x - eye.x, at.y - eye.y, at.z - eye.z});
    const Vector3 xaxis = Normalize(Cross(up, zaxis));
    const Vector3 yaxis = Cross(zaxis, xaxis);  // unit already, up to rounding

    Matrix result;
    result.m[0][0] = xaxis.x;
    result.m[0][1] = yaxis.x;
    result.m[0][2] = zaxis.x;
    result.m[0][3] = 0.0f;
    result.m[1][0] = xaxis.y;
    result.m[1][1] = yaxis.y;
    result.m[1][2] = zaxis.y;
    result.m[1][3] = 0.0f;
    result.m[2][0] = xaxis.z;
    result.m[2][1] = yaxis.z;
    result.m[2][2] = zaxis.z;
    result.m[2][3] = 0.0f;
    result.m[3][0] = NegatedDot(eye, xaxis);
    result.m[3][1] = NegatedDot(eye, yaxis);
    result.m[3][2] = NegatedDot(eye, zaxis);
    result.m[3][3] = 1.0f;
    return result;
}

Matrix Matrix::PerspectiveFovLH(float fovY, float width, float height, float zNear, float zFar) {
    // Defaults are tested with == 0, so -0 is replaced and NaN passes through.
    Matrix result = Zero();

    const float fov = fovY == 0.0f ? 30.0f : fovY;  // radians, like the argument
    const float halfFov = static_cast<float>(static_cast<double>(fov) * 0.5);
    const float tangent = static_cast<float>(std::tan(static_cast<double>(halfFov)));
    const float yScale = static_cast<float>(1.0 / static_cast<double>(tangent));

    const float h = height == 0.0f ? 480.0f : height;
    const float w = width == 0.0f ? 640.0f : width;
    const float xScale = static_cast<float>(static_cast<double>(h) * yScale / w);

    // The range comes from the arguments as passed, before near and far get
    // their defaults.
    float range = static_cast<float>(static_cast<double>(zFar) - zNear);
    if (range == 0.0f) {
        range = 3000.0f;
    }
    const float farPlane = zFar == 0.0f ? 3001.0f : zFar;
    const float nearPlane = zNear == 0.0f ? 1.0f : zNear;

    result.m[0][0] = xScale;
    result.m[1][1] = yScale;
    result.m[2][2] = static_cast<float>(static_cast<double>(farPlane) / range);
    result.m[2][3] = 1.0f;
    result.m[3][2] = static_cast<float>(-static_cast<double>(nearPlane) * farPlane / range);
    return result;
}
