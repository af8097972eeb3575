// How an interpolated double becomes an element of the image's type, in the
// plain loop; every vector variant gives the same bits (the tests compare).
//
// - Integers: truncated toward zero, then saturated to the type's range. A
//   value is a weighted mean of four elements, so it never leaves the range;
//   the saturation only keeps the conversion defined whatever happens.
// - single: rounded to the nearest single; double: the value itself.
// - NaN (a NaN neighbour, whatever its weight, or 0 times an infinity)
//   becomes the one quiet NaN below. Which of two NaN operands an operation
//   passes on depends on the order in which the compiler writes it, and
//   processors make different NaNs of Inf * 0: one NaN keeps every variant,
//   thread count and processor bit for bit the same.
//
// Internal linkage, as in common/truncation.h.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "common/truncation.h"

// The positive quiet NaN with no payload (Octave's NaN).
constexpr uint64_t resample_nan_double_bits = 0x7FF8000000000000ULL;
constexpr uint32_t resample_nan_single_bits = 0x7FC00000U;

template <class E>
static inline E resample_nan()
{
    static_assert(std::is_floating_point_v<E>, "only floating-point elements have a NaN");
    E value;
    if constexpr (sizeof(E) == 8) {
        std::memcpy(&value, &resample_nan_double_bits, sizeof value);
    } else {
        std::memcpy(&value, &resample_nan_single_bits, sizeof value);
    }
    return value;
}

template <class E>
static inline E resample_element(double value)
{
    if constexpr (std::is_floating_point_v<E>) {
        return std::isnan(value) ? resample_nan<E>() : static_cast<E>(value);
    } else {
        static_assert(sizeof(E) < 4, "integer elements must fit a 32-bit truncation");
        const int32_t truncated = truncate_to_int32(value);
        return static_cast<E>(std::clamp<int32_t>(truncated, std::numeric_limits<E>::min(), std::numeric_limits<E>::max()));
    }
}
