// weighted_luma on AVX2, bit-identical to weighted_luma_plain: the loop of
// weighted_luma_vector.h, eight pixels per vector. Built with -mavx2, no FMA.
#include <immintrin.h>

#include "image/gray/weighted_luma_vector.h"

namespace {

struct Isa {
    static constexpr size_t lanes = 8;
    using Floats = __m256;
    using Ints = __m256i;
    using Mask = __m256i;

    static Floats load(const uint8_t* bytes)
    {
        return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes))));
    }
    static Floats scaled_sum(Floats R, Floats G, Floats B)
    {
        return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(R, _mm256_set1_ps(red_weight)),
                                           _mm256_mul_ps(G, _mm256_set1_ps(green_weight))),
                             _mm256_mul_ps(B, _mm256_set1_ps(blue_weight)));
    }
    static Ints truncate(Floats v) { return _mm256_cvttps_epi32(v); }
    static Ints level(Ints x) { return _mm256_srli_epi32(x, fraction_bits); }
    static Mask unsure(Ints x)
    {
        // x + 1 has none of the bits 1..11 set exactly when x's fraction bits are all 0 or all 1.
        const __m256i bits = _mm256_and_si256(_mm256_add_epi32(x, _mm256_set1_epi32(1)), _mm256_set1_epi32(4094));
        return _mm256_cmpeq_epi32(bits, _mm256_setzero_si256());
    }
    static Mask either(Mask a, Mask b) { return _mm256_or_si256(a, b); }
    static Mask neutral(Floats R, Floats G, Floats B)
    {
        return _mm256_castps_si256(_mm256_and_ps(_mm256_cmp_ps(R, G, _CMP_EQ_OQ), _mm256_cmp_ps(G, B, _CMP_EQ_OQ)));
    }
    static unsigned bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(m))); }
    static Ints neutral_levels(Floats R)
    {
        __m256i gray = _mm256_cvttps_epi32(R);
        // Adding the all-ones compare result subtracts 1 where gray is an exception.
        for (int32_t value : neutral_exceptions) {
            gray = _mm256_add_epi32(gray, _mm256_cmpeq_epi32(gray, _mm256_set1_epi32(value)));
        }
        return gray;
    }
    static Ints select(Mask m, Ints if_set, Ints if_clear) { return _mm256_blendv_epi8(if_clear, if_set, m); }
    static void store(Ints v, int32_t* out) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v); }
    static Ints load(const int32_t* in) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)); }
    static void store_quad(uint8_t* out, Ints a, Ints b, Ints c, Ints d)
    {
        // Levels lie in 0 .. 255, so the saturating packs are plain narrowing;
        // the packs work within 128-bit halves, one permute restores the order.
        const __m256i low = _mm256_packs_epi32(a, b);
        const __m256i high = _mm256_packs_epi32(c, d);
        const __m256i bytes = _mm256_packus_epi16(low, high);
        const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(bytes, order));
    }
};

}  // namespace

void weighted_luma_pixels_avx2(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                               int64_t count) noexcept
{
    weighted_luma_vector<Isa>(red, green, blue, gray, count);
}
