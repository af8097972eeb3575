// The benchmarks' test image, shared by bench_kernels and bench_resize (and,
// through the files bench_resize writes, by the Pillow and agreement
// scripts): the same pixels in every comparison.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// A photograph-like image: smooth gradients with noise, so that runs of equal
// and of neighbouring values occur as they do in real pictures.
inline std::vector<uint8_t> photo_like_plane(int rows, int cols, uint32_t seed, int phase)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> plane(static_cast<size_t>(rows) * cols);
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            const double base = 127.5 + 100.0 * std::sin(0.004 * (r + 2 * c) + phase) * std::cos(0.003 * (c - r));
            const double noise = static_cast<double>(generator() % 17) - 8.0;
            plane[static_cast<size_t>(r) + static_cast<size_t>(c) * rows] =
                static_cast<uint8_t>(std::clamp(base + noise, 0.0, 255.0));
        }
    }
    return plane;
}
