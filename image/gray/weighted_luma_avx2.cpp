// weighted_luma on AVX2, bit-identical to weighted_luma_plain.
//
// Eight pixels at a time in single precision: the float sum differs from the
// double one by less than 5e-5 (weights rounded to float, three products and
// two sums rounded, all below 256), so wherever the float sum lies more than
// 2^-12 from an integer both truncate to the same value. Groups with a pixel
// closer than that are settled exactly: neutral grays (R = G = B, whose sum is
// always within a hair of an integer) from a table made by the double formula,
// anything else by the double formula itself. Built with -mavx2, without FMA.
#include <immintrin.h>

#include <cstddef>

#include "image/gray/weighted_luma.h"

namespace {

// The weights rounded to float.
const float red_weight = static_cast<float>(0.298936021293776);
const float green_weight = static_cast<float>(0.587043074451121);
const float blue_weight = static_cast<float>(0.114020904255103);
const float margin = 1.0f / 4096.0f;

// The neutral grays k whose double sum truncates below k (a handful).
struct NeutralExceptions {
    int32_t values[16];
    int count = 0;
    NeutralExceptions() : values()
    {
        for (int k = 0; k < 256; ++k) {
            const uint8_t level = static_cast<uint8_t>(k);
            if (luma_level(level, level, level) != level && count < 16) values[count++] = k;
        }
    }
};

inline __m256 bytes_to_float(const uint8_t* p)
{
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Eight gray levels as 32-bit lanes.
inline __m256i eight_levels(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                            const NeutralExceptions& neutral)
{
    const __m256 R = bytes_to_float(red);
    const __m256 G = bytes_to_float(green);
    const __m256 B = bytes_to_float(blue);
    const __m256 v = _mm256_add_ps(
        _mm256_add_ps(_mm256_mul_ps(R, _mm256_set1_ps(red_weight)),
                      _mm256_mul_ps(G, _mm256_set1_ps(green_weight))),
        _mm256_mul_ps(B, _mm256_set1_ps(blue_weight)));
    const __m256i level = _mm256_cvttps_epi32(v);
    const __m256 fraction = _mm256_sub_ps(v, _mm256_cvtepi32_ps(level));
    const __m256 near_integer = _mm256_or_ps(_mm256_cmp_ps(fraction, _mm256_set1_ps(margin), _CMP_LT_OQ),
                                             _mm256_cmp_ps(fraction, _mm256_set1_ps(1.0f - margin), _CMP_GT_OQ));
    const int unsure = _mm256_movemask_ps(near_integer);
    if (unsure == 0) return level;

    const __m256 neutral_lanes = _mm256_and_ps(_mm256_cmp_ps(R, G, _CMP_EQ_OQ), _mm256_cmp_ps(G, B, _CMP_EQ_OQ));
    if ((unsure & ~_mm256_movemask_ps(neutral_lanes)) == 0) {
        // Every unsure lane is a neutral gray k: its level is k, or k - 1 for the exceptions.
        __m256i gray = _mm256_cvttps_epi32(R);
        for (int e = 0; e < neutral.count; ++e) {
            gray = _mm256_add_epi32(gray, _mm256_cmpeq_epi32(gray, _mm256_set1_epi32(neutral.values[e])));
        }
        return _mm256_blendv_epi8(level, gray, _mm256_castps_si256(near_integer));
    }
    alignas(32) int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), level);
    for (int k = 0; k < 8; ++k) {
        if (unsure & (1 << k)) lanes[k] = luma_level(red[k], green[k], blue[k]);
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
}

}  // namespace

void weighted_luma_avx2(const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (P <= 0) return;
    static const NeutralExceptions neutral;

    const size_t plane = static_cast<size_t>(P);
    const uint8_t* red = rgb;
    const uint8_t* green = rgb + plane;
    const uint8_t* blue = rgb + 2 * plane;

    size_t k = 0;
    for (; k + 16 <= plane; k += 16) {
        const __m256i a = eight_levels(red + k, green + k, blue + k, neutral);
        const __m256i b = eight_levels(red + k + 8, green + k + 8, blue + k + 8, neutral);
        // Levels lie in 0 .. 255, so the saturating packs are plain narrowing.
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, _mm256_setzero_si256()), 0xD8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + k), _mm256_castsi256_si128(bytes));
    }
    for (; k < plane; ++k) gray[k] = luma_level(red[k], green[k], blue[k]);
}
