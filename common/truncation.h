// Conversions from double to integers that truncate toward zero. A value that
// does not fit (NaN and infinities included) gives the most negative integer of
// the target width, as the x86-64 conversion instructions do, but without
// undefined behaviour in C++.
//
// Internal linkage: files built for AVX2 include these too, and their copies
// must never stand in for the baseline's at link time.
#pragma once

#include <cstdint>

static inline int32_t truncate_to_int32(double value)
{
    // Both bounds are exact doubles; everything strictly between them truncates into range.
    if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
    return INT32_MIN;
}

static inline int64_t truncate_to_int64(double value)
{
    // -2^63 itself fits; no double lies strictly between -2^63 - 1 and -2^63.
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) return static_cast<int64_t>(value);
    return INT64_MIN;
}
