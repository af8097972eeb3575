// The vector loop of weighted_luma, shared by the per-instruction-set files
// (weighted_luma_avx2.cpp, _avx512.cpp, _neon.cpp). Each includes this header
// after defining its Isa type; everything here has internal linkage, so every
// file keeps its own copy built for its own target.
//
// Pixels are summed in single precision, with the weights scaled by 2^12
// (exactly: a power of two), so the truncated sum x holds the level in its
// upper bits and 12 bits of fraction below. The float sum differs from the
// double one by less than 2^-14 of a level (weights rounded to float, three
// products and two sums rounded, each off by at most 255 * 2^-24), so wherever
// the fraction bits are neither all 0 nor all 1 both sums truncate to the same
// level. Lanes where they are (unsure) are settled exactly: neutral grays
// (R = G = B, whose sum always lies within a hair of an integer) as k, or k - 1
// for the six grays that truncate one lower; anything else by the double
// formula itself.
//
//   struct Isa {
//       static constexpr size_t lanes;           // pixels per vector
//       using Floats, Ints, Mask;                // lanes floats; lanes 32-bit ints; a lane mask
//       static Floats load(const uint8_t*);                       // `lanes` bytes as floats
//       static Floats scaled_sum(Floats R, Floats G, Floats B);   // (R*wr + G*wg) + B*wb, scaled
//       static Ints truncate(Floats);
//       static Ints level(Ints x);                                // x >> 12
//       static Mask unsure(Ints x);                               // fraction bits all 0 or all 1
//       static Mask either(Mask, Mask);                           // lanes in one or the other
//       static Mask neutral(Floats R, Floats G, Floats B);        // R == G == B
//       static unsigned bits(Mask);                               // bit k: lane k in the mask
//       static Ints neutral_levels(Floats R);                     // k, or k - 1 for the six grays
//       static Ints select(Mask, Ints if_set, Ints if_clear);
//       static void store(Ints, int32_t out[lanes]);
//       static Ints load(const int32_t in[lanes]);                // (an overload of load)
//       static void store_quad(uint8_t*, Ints, Ints, Ints, Ints); // 4 * lanes levels as bytes
//   };
//
// Four vectors a step keep several sums in flight, and one branch per step
// tells whether any lane needs settling; each vector is loaded where it is
// used, so that the compiler keeps everything in registers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/gray/weighted_luma.h"

namespace {

// 2^12 for the fraction bits; the weights as floats scaled by it.
constexpr int fraction_bits = 12;
constexpr float scale = 4096.0f;
const float red_weight = static_cast<float>(0.298936021293776) * scale;
const float green_weight = static_cast<float>(0.587043074451121) * scale;
const float blue_weight = static_cast<float>(0.114020904255103) * scale;
// The neutral grays k whose double sum truncates to k - 1 (the all-colours
// test checks them against the double formula).
constexpr int32_t neutral_exceptions[] = {63, 85, 126, 170, 239, 252};

// The scaled, truncated sums of the `lanes` pixels at red, green and blue.
template <class Isa>
inline typename Isa::Ints scaled_sums(const uint8_t* red, const uint8_t* green, const uint8_t* blue)
{
    return Isa::truncate(Isa::scaled_sum(Isa::load(red), Isa::load(green), Isa::load(blue)));
}

// The levels of the `lanes` pixels at red, green and blue, whose scaled sums
// are x, with the unsure lanes settled exactly.
template <class Isa>
typename Isa::Ints settled_levels(typename Isa::Ints x, const uint8_t* red, const uint8_t* green, const uint8_t* blue)
{
    const typename Isa::Ints level = Isa::level(x);
    const typename Isa::Mask unsure_lanes = Isa::unsure(x);
    const unsigned unsure = Isa::bits(unsure_lanes);
    if (unsure == 0) return level;
    const typename Isa::Floats R = Isa::load(red);
    if ((unsure & ~Isa::bits(Isa::neutral(R, Isa::load(green), Isa::load(blue)))) == 0) {
        return Isa::select(unsure_lanes, Isa::neutral_levels(R), level);
    }
    int32_t lanes[Isa::lanes];
    Isa::store(level, lanes);
    for (size_t k = 0; k < Isa::lanes; ++k) {
        if (unsure & (1u << k)) lanes[k] = luma_level(red[k], green[k], blue[k]);
    }
    return Isa::load(lanes);
}

template <class Isa>
void weighted_luma_vector(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                          int64_t count)
{
    constexpr size_t L = Isa::lanes;
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    size_t k = 0;
    for (; k + 4 * L <= n; k += 4 * L) {
        const uint8_t* r = red + k;
        const uint8_t* g = green + k;
        const uint8_t* b = blue + k;
        const typename Isa::Ints x0 = scaled_sums<Isa>(r, g, b);
        const typename Isa::Ints x1 = scaled_sums<Isa>(r + L, g + L, b + L);
        const typename Isa::Ints x2 = scaled_sums<Isa>(r + 2 * L, g + 2 * L, b + 2 * L);
        const typename Isa::Ints x3 = scaled_sums<Isa>(r + 3 * L, g + 3 * L, b + 3 * L);
        // One test for the whole step: unsure lanes are rare outside neutral grays.
        const typename Isa::Mask unsure =
            Isa::either(Isa::either(Isa::unsure(x0), Isa::unsure(x1)), Isa::either(Isa::unsure(x2), Isa::unsure(x3)));
        if (Isa::bits(unsure) == 0) {
            Isa::store_quad(gray + k, Isa::level(x0), Isa::level(x1), Isa::level(x2), Isa::level(x3));
        } else {
            Isa::store_quad(gray + k, settled_levels<Isa>(x0, r, g, b), settled_levels<Isa>(x1, r + L, g + L, b + L),
                            settled_levels<Isa>(x2, r + 2 * L, g + 2 * L, b + 2 * L),
                            settled_levels<Isa>(x3, r + 3 * L, g + 3 * L, b + 3 * L));
        }
    }
    for (; k < n; ++k) gray[k] = luma_level(red[k], green[k], blue[k]);
}

}  // namespace
