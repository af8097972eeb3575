#include "image/scale/bilinear_resample.h"

#include <algorithm>
#include <cstddef>

#include "common/cpu_features.h"

bool bilinear_resample_avx512_usable()
{
    if (!cpu_has_avx2()) return false;  // also false when the baseline is forced
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // These also check that the operating system saves the AVX-512 registers.
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
           __builtin_cpu_supports("avx512vl") != 0 && __builtin_cpu_supports("avx512vbmi") != 0;
#else
    return false;
#endif
}

void bilinear_resample(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx)
{
    if (bilinear_resample_avx512_usable()) {
        bilinear_resample_avx512(X, Ny, Nx, Y, ny, nx);
    } else if (cpu_has_avx2()) {
        bilinear_resample_avx2(X, Ny, Nx, Y, ny, nx);
    } else {
        bilinear_resample_plain(X, Ny, Nx, Y, ny, nx);
    }
}

void bilinear_resample_plain(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx)
{
    if (ny <= 0 || nx <= 0) return;

    // The 1e-7 guard keeps the last position just short of Ny - 1 (Nx - 1),
    // so the lower corner normally stays below the last row (column).
    const double sy = static_cast<double>(Ny - 1) / (static_cast<double>(ny - 1) + 1e-7);
    const double sx = static_cast<double>(Nx - 1) / (static_cast<double>(nx - 1) + 1e-7);

    // Offsets in size_t: images of 2^31 bytes or more are addressed correctly.
    const size_t in_rows = static_cast<size_t>(Ny);
    const size_t last_row = static_cast<size_t>(Ny - 1);
    const size_t last_column = static_cast<size_t>(Nx - 1);
    const size_t out_rows = static_cast<size_t>(ny);
    const size_t out_columns = static_cast<size_t>(nx);

    // Positions are summed step by step, never formed as index times step:
    // the sum's rounding decides where truncation lands.
    double px = 0.0;
    for (size_t i = 0; i < out_columns; ++i) {
        // Positions are never negative, so truncation is floor.
        const size_t c = static_cast<size_t>(px);
        const double fx = px - static_cast<double>(c);
        const double gx = 1.0 - fx;
        const uint8_t* left = X + std::min(c, last_column) * in_rows;
        const uint8_t* right = X + std::min(c + 1, last_column) * in_rows;
        uint8_t* out = Y + i * out_rows;

        double py = 0.0;
        for (size_t j = 0; j < out_rows; ++j) {
            const size_t r = static_cast<size_t>(py);
            const double fy = py - static_cast<double>(r);
            const double gy = 1.0 - fy;
            const size_t top = std::min(r, last_row);
            const size_t below = std::min(r + 1, last_row);

            const double tl = left[top];
            const double bl = left[below];
            const double tr = right[top];
            const double br = right[below];
            // This grouping, without fused multiply-add, defines the result.
            const double v = (tl * gy + bl * fy) * gx + (tr * gy + br * fy) * fx;
            out[j] = static_cast<uint8_t>(static_cast<int32_t>(v));  // v lies in [0, 256)

            py += sy;
        }
        px += sx;
    }
}
