// Gray level of 8-bit colour pixels by a fixed weighted sum of red, green and blue.
#pragma once

#include <cstdint>

// Fills gray[0 .. P-1] from three planes of P bytes each, laid one after
// another in rgb (red at 0, green at P, blue at 2P): gray[k] is
// (R * 0.298936021293776 + G * 0.587043074451121) + B * 0.114020904255103
// in double, truncated toward zero. Only the first 3P bytes of rgb are read.
// Nothing is read or written when P <= 0.
void weighted_luma(const uint8_t* rgb, int64_t P, uint8_t* gray);

// The same pixel by pixel in double, as written above: the reference that the
// faster variants equal bit for bit.
void weighted_luma_plain(const uint8_t* rgb, int64_t P, uint8_t* gray);

// One pixel's level by the formula above. The weights sum to exactly 1.0 in
// double, so white stays 255; the sum's order and the absence of fused
// multiply-add decide the truncation. Internal linkage: the AVX2 file's copy,
// built for AVX2, must never stand in for the baseline's at link time.
static inline uint8_t luma_level(uint8_t red, uint8_t green, uint8_t blue)
{
    const double v = (static_cast<double>(red) * 0.298936021293776 + static_cast<double>(green) * 0.587043074451121) +
                     static_cast<double>(blue) * 0.114020904255103;
    return static_cast<uint8_t>(static_cast<int32_t>(v));  // v lies in [0, 256)
}

// The AVX2 variant (call only when cpu_has_avx2() is true); weighted_luma
// picks it at run time.
void weighted_luma_avx2(const uint8_t* rgb, int64_t P, uint8_t* gray);
