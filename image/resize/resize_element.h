// How a resampled double becomes an element of the image's class, in every
// variant of the separable loop (one function, so they cannot drift):
// - uint8, uint16, int16: rounded to nearest, halves away from zero, then
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

template <class E>
static inline E resize_element(double value)
{
    if constexpr (std::is_same_v<E, bool>) {
        return value > 0.5;
    } else if constexpr (std::is_floating_point_v<E>) {
        return std::isnan(value) ? resample_nan<E>() : static_cast<E>(value);
    } else {
        static_assert(sizeof(E) < 4, "integer elements must fit a 32-bit conversion");
        constexpr int32_t low = std::numeric_limits<E>::min();
        constexpr int32_t high = std::numeric_limits<E>::max();
        // Clamped first so that the truncation below stays in range (integer
        // images give finite values; a NaN would fall to low). Then rounded
        // as std::round does, without its library call: the fraction
        // value - truncated is exact for these magnitudes.
        // Written as selections the compiler can vectorize.
        const double above = value > low - 1.0 ? value : low - 1.0;
        const double clamped = above < high + 1.0 ? above : high + 1.0;
        const int32_t truncated = static_cast<int32_t>(clamped);
        const double fraction = clamped - static_cast<double>(truncated);
        const int32_t rounded = truncated + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0);
        const int32_t floored = rounded > low ? rounded : low;
        return static_cast<E>(floored < high ? floored : high);
    }
}
