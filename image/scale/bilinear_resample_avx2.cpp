// bilinear_resample on AVX2, bit-identical to bilinear_resample_plain.
//
// Separable: every output row of a column uses the same two input columns, so
// the vertical terms tl*(1-fy) + bl*fy of an input column are computed once
// per tile of output rows and shared by every output column that falls between
// it and its neighbour; the horizontal step, V_left*(1-fx) + V_right*fx, runs
// four samples per instruction. Same operations and grouping as the plain
// loop, so the same doubles. Row positions restart at 0 for every column, so
// one table of them per tile serves all columns; it lives on the stack and is
// built by continuing the same repeated addition. Built with -mavx2, no FMA.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>

#include "image/scale/bilinear_resample.h"

namespace {

constexpr size_t tile = 256;

inline void vertical_terms(const uint8_t* column, const size_t* top, const size_t* below, const double* fy,
                           const double* gy, size_t n, double* out)
{
    for (size_t t = 0; t < n; ++t) {
        out[t] = static_cast<double>(column[top[t]]) * gy[t] + static_cast<double>(column[below[t]]) * fy[t];
    }
}

inline __m128i four_levels(const double* left, const double* right, __m256d gx, __m256d fx)
{
    const __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(left), gx), _mm256_mul_pd(_mm256_loadu_pd(right), fx));
    return _mm256_cvttpd_epi32(v);
}

}  // namespace

void bilinear_resample_avx2(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx)
{
    if (ny <= 0 || nx <= 0) return;

    const double sy = static_cast<double>(Ny - 1) / (static_cast<double>(ny - 1) + 1e-7);
    const double sx = static_cast<double>(Nx - 1) / (static_cast<double>(nx - 1) + 1e-7);
    const size_t in_rows = static_cast<size_t>(Ny);
    const size_t last_row = static_cast<size_t>(Ny - 1);
    const size_t last_column = static_cast<size_t>(Nx - 1);
    const size_t out_rows = static_cast<size_t>(ny);
    const size_t out_columns = static_cast<size_t>(nx);
    const size_t none = static_cast<size_t>(-1);

    size_t top[tile];
    size_t below[tile];
    double fy[tile];
    double gy[tile];
    double terms[2][tile];

    double py = 0.0;
    for (size_t j0 = 0; j0 < out_rows; j0 += tile) {
        const size_t n = std::min(tile, out_rows - j0);
        for (size_t t = 0; t < n; ++t) {
            const size_t r = static_cast<size_t>(py);
            fy[t] = py - static_cast<double>(r);
            gy[t] = 1.0 - fy[t];
            top[t] = std::min(r, last_row);
            below[t] = std::min(r + 1, last_row);
            py += sy;
        }

        double* left_terms = terms[0];
        double* right_terms = terms[1];
        size_t left_column = none;
        size_t right_column = none;
        double px = 0.0;
        for (size_t i = 0; i < out_columns; ++i) {
            const size_t c = static_cast<size_t>(px);
            const double fx = px - static_cast<double>(c);
            const double gx = 1.0 - fx;
            const size_t cl = std::min(c, last_column);
            const size_t cr = std::min(c + 1, last_column);
            if (cl != left_column) {
                if (cl == right_column) {
                    std::swap(left_terms, right_terms);
                    std::swap(left_column, right_column);
                } else {
                    vertical_terms(X + cl * in_rows, top, below, fy, gy, n, left_terms);
                    left_column = cl;
                }
            }
            const double* right_values = left_terms;
            if (cr != cl) {
                if (cr != right_column) {
                    vertical_terms(X + cr * in_rows, top, below, fy, gy, n, right_terms);
                    right_column = cr;
                }
                right_values = right_terms;
            }

            uint8_t* out = Y + i * out_rows + j0;
            const __m256d vgx = _mm256_set1_pd(gx);
            const __m256d vfx = _mm256_set1_pd(fx);
            size_t t = 0;
            for (; t + 16 <= n; t += 16) {
                // Values lie in [0, 256), so the saturating packs are plain narrowing.
                const __m128i a = four_levels(left_terms + t, right_values + t, vgx, vfx);
                const __m128i b = four_levels(left_terms + t + 4, right_values + t + 4, vgx, vfx);
                const __m128i c2 = four_levels(left_terms + t + 8, right_values + t + 8, vgx, vfx);
                const __m128i d = four_levels(left_terms + t + 12, right_values + t + 12, vgx, vfx);
                const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c2, d));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + t), bytes);
            }
            for (; t < n; ++t) {
                const double v = left_terms[t] * gx + right_values[t] * fx;
                out[t] = static_cast<uint8_t>(static_cast<int32_t>(v));
            }
            px += sx;
        }
    }
}
