// Gray level of 8-bit colour pixels by a fixed weighted sum of red, green and blue.
#pragma once

#include <cstdint>
#include <vector>

// Fills gray[0 .. P-1] from three planes of P bytes each, laid one after
// another in rgb (red at 0, green at P, blue at 2P): gray[k] is
// (R * 0.298936021293776 + G * 0.587043074451121) + B * 0.114020904255103
// in double, truncated toward zero. Only the first 3P bytes of rgb are read.
// Nothing is read or written when P <= 0.
//
// Runs the fastest variant the processor supports, on as many threads as
// MEX_KERNELS_THREADS allows for images large enough to gain from them; the
// bytes are the same on every variant and at every thread count. Allocates
// nothing, but for the variant list at the first call, which may throw
// std::bad_alloc.
void weighted_luma(const uint8_t* rgb, int64_t P, uint8_t* gray);

// The same pixel by pixel in double, as written above, on the calling thread:
// the reference that the faster variants equal bit for bit.
void weighted_luma_plain(const uint8_t* rgb, int64_t P, uint8_t* gray);

// One pixel's level by the formula above. The weights sum to exactly 1.0 in
// double, so white stays 255; the sum's order and the absence of fused
// multiply-add decide the truncation. Internal linkage: the copies in files
// built for wider instruction sets must never stand in for the baseline's at
// link time.
static inline uint8_t luma_level(uint8_t red, uint8_t green, uint8_t blue)
{
    const double v = (static_cast<double>(red) * 0.298936021293776 + static_cast<double>(green) * 0.587043074451121) +
                     static_cast<double>(blue) * 0.114020904255103;
    return static_cast<uint8_t>(static_cast<int32_t>(v));  // v lies in [0, 256)
}

// A variant converts `count` pixels whose planes start at red, green and
// blue; the plain loop is one, each instruction-set file adds one.
using LumaPixels = void (*)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                            int64_t count) noexcept;

void weighted_luma_pixels_plain(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                                int64_t count) noexcept;
// x86-64 only: call only when cpu_has_avx2() (cpu_has_avx512f()) is true.
void weighted_luma_pixels_avx2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                               int64_t count) noexcept;
void weighted_luma_pixels_avx512(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                                 int64_t count) noexcept;
// arm64 only.
void weighted_luma_pixels_neon(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                               int64_t count) noexcept;

struct LumaVariant {
    const char* name;
    LumaPixels convert;
};

// The vector variants this processor runs, widest first (none where the
// build has only the plain loop). For tests and benchmarks.
std::vector<LumaVariant> weighted_luma_variants();

// The variant weighted_luma runs: the first of weighted_luma_variants, or the
// plain loop, chosen once when the module is loaded (at its first call).
LumaVariant weighted_luma_chosen();

// weighted_luma with a given variant, split into ranges of pixels on up to
// `threads` threads (at most max_threads), none with fewer than
// min_pixels_per_thread pixels. weighted_luma is this with the chosen variant, MEX_KERNELS_THREADS and the
// measured threshold; tests lower the threshold to split small images.
void weighted_luma_split(LumaPixels variant, const uint8_t* rgb, int64_t P, uint8_t* gray, int threads,
                         int64_t min_pixels_per_thread);
