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

// The AVX2 variant (call only when cpu_has_avx2() is true); weighted_luma
// picks it at run time.
void weighted_luma_avx2(const uint8_t* rgb, int64_t P, uint8_t* gray);
