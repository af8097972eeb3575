// Bilinear resampling of 8-bit grayscale images.
#pragma once

#include <cstdint>

// Fills Y (ny x nx bytes, column-major: Y[j + i*ny]) from X (Ny x Nx bytes,
// column-major: X[r + c*Ny]). Every output byte is written; nothing is read
// or written when ny <= 0 or nx <= 0. Otherwise Ny and Nx must be at least 1.
//
// Sample positions step by (N - 1) / ((n - 1) + 1e-7) from 0, so the first
// output sample is the first input sample and the last lands just short of
// the last input sample. Each value is the interpolated double truncated
// toward zero.
//
// Reads stay inside X for every size: the neighbour below (resp. to the
// right) is taken no further than the last row (resp. column). It only
// differs from the unclamped neighbour where its weight is 0 (images of one
// row or one column) or where a very long output's summed position reaches
// the last row or column.
void bilinear_resample(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx);

// The same, output sample by output sample as described above: the reference
// that the faster variants equal bit for bit.
void bilinear_resample_plain(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx);

// The AVX2 variant (call only when cpu_has_avx2() is true).
void bilinear_resample_avx2(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx);

// The AVX-512 variant (call only when bilinear_resample_avx512_usable() is
// true). bilinear_resample picks the widest usable variant at run time.
void bilinear_resample_avx512(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx);

// True when the processor and the operating system run AVX-512 F, BW, VL and
// VBMI, and MEX_KERNELS_BASELINE does not force the baseline paths.
bool bilinear_resample_avx512_usable();
