#pragma once

// Left-handed, row-vector matrices: a point is a row vector multiplied on the
// left (p' = p * M), translation sits in the last row, and transforms compose
// left to right. OpenGL reads the same 16 floats column by column, which is
// the same transform, so matrices are handed to it untransposed.

struct Vector3 {
    float x;
    float y;
    float z;
};

struct Matrix {
    // Deliberately no constructor that sets values: a Matrix that is only
    // declared holds nothing defined until something is assigned to it.
    float m[4][4];

    static const Matrix& Identity();
    static const Matrix& Zero();

    static Matrix LookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up);
    // A zero argument stands for its default (fov 30 radians, 640 x 480,
    // near 1, far 3001). Only the ratio of width to height matters.
    static Matrix PerspectiveFovLH(float fovY, float width, float height, float zNear, float zFar);
};
