#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "math/matrix.h"

inline uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Equal to the bit, except that any NaN matches any NaN: the payload of a
// NaN is not part of what the builders promise.
inline bool SameFloat(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || Bits(a) == Bits(b);
}

inline std::string Hex(float value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(Bits(value)));
    return text;
}

inline ::testing::AssertionResult SameMatrix(const Matrix& actual, const Matrix& expected) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const float a = actual.m[row][column];
            const float e = expected.m[row][column];
            if (!SameFloat(a, e)) {
                return ::testing::AssertionFailure()
                       << "m[" << row << "][" << column << "] is " << a << " (" << Hex(a)
                       << "), expected " << e << " (" << Hex(e) << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

inline Matrix MakeMatrix(const float (&rows)[4][4]) {
    Matrix result;
    std::memcpy(result.m, rows, sizeof result.m);
    return result;
}
