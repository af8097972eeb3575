// How a resampled double becomes an element of the image's class, in every
// variant of the separable loop (one function, so they cannot drift):
// - uint8, uint16, int16, int8, int32, uint32: rounded to nearest, halves
//   away from zero, then
//   saturated to the class's range (a kernel with negative lobes can
//   overshoot it);
// - single: rounded to the nearest single; double: the value itself; any NaN
//   becomes the one quiet NaN of image/scale/resample_element.h, so that
//   every variant and processor writes the same bits;
// - logical (bool): true where the value exceeds 0.5.
// Internal linkage, as in common/truncation.h.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "image/scale/resample_element.h"

// Integer classes in two steps, each a loop the compiler can vectorize: the
// value clamped to [low - 1, high + 1] (a NaN, which integer images never
// give, to low - 1) and doubled, truncated (2c is exact at these
// magnitudes); then (t + sign(t)) / 2, truncated toward zero, is c rounded
// half away from zero, and is saturated. 2c needs 64 bits for the 32-bit
// classes.
template <class E>
using ResizeTwice = std::conditional_t<(sizeof(E) < 4), int32_t, int64_t>;

template <class E>
static inline ResizeTwice<E> resize_twice(double value)
{
    constexpr double low = static_cast<double>(std::numeric_limits<E>::min()) - 1.0;
    constexpr double high = static_cast<double>(std::numeric_limits<E>::max()) + 1.0;
    const double above = value > low ? value : low;
    const double clamped = above < high ? above : high;
    return static_cast<ResizeTwice<E>>(clamped * 2.0);
}

template <class E>
static inline E resize_from_twice(ResizeTwice<E> twice)
{
    constexpr ResizeTwice<E> low = std::numeric_limits<E>::min();
    constexpr ResizeTwice<E> high = std::numeric_limits<E>::max();
    const ResizeTwice<E> rounded = (twice + (twice >= 0 ? 1 : -1)) / 2;
    const ResizeTwice<E> floored = rounded > low ? rounded : low;
    return static_cast<E>(floored < high ? floored : high);
}

template <class E>
static inline E resize_element(double value)
{
    if constexpr (std::is_same_v<E, bool>) {
        return value > 0.5;
    } else if constexpr (std::is_floating_point_v<E>) {
        return std::isnan(value) ? resample_nan<E>() : static_cast<E>(value);
    } else {
        static_assert(sizeof(E) <= 4, "integer elements must fit a 64-bit conversion");
        return resize_from_twice<E>(resize_twice<E>(value));
    }
}

// resize_element over count (at most 64) values.
template <class E>
static inline void resize_elements(const double* values, E* out, int64_t count)
{
    if constexpr (std::is_integral_v<E> && !std::is_same_v<E, bool>) {
        ResizeTwice<E> twice[64];
        for (int64_t j = 0; j < count; ++j) twice[j] = resize_twice<E>(values[j]);
        for (int64_t j = 0; j < count; ++j) out[j] = resize_from_twice<E>(twice[j]);
    } else {
        for (int64_t j = 0; j < count; ++j) out[j] = resize_element<E>(values[j]);
    }
}
