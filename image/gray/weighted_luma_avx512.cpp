// weighted_luma on AVX-512 Foundation, bit-identical to weighted_luma_plain:
// the loop of weighted_luma_vector.h, sixteen pixels per vector. Built with
// the AVX-512 flags; -ffp-contract=off keeps multiply and add unfused.
#include <immintrin.h>

// GCC 12 warns inside its own AVX-512 headers, whose intrinsics start from
// deliberately undefined vectors.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "image/gray/weighted_luma_vector.h"

namespace {

struct Isa {
    static constexpr size_t lanes = 16;
    using Floats = __m512;
    using Ints = __m512i;
    using Mask = __mmask16;

    static Floats load(const uint8_t* bytes)
    {
        return _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes))));
    }
    static Floats scaled_sum(Floats R, Floats G, Floats B)
    {
        return _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(R, _mm512_set1_ps(red_weight)),
                                           _mm512_mul_ps(G, _mm512_set1_ps(green_weight))),
                             _mm512_mul_ps(B, _mm512_set1_ps(blue_weight)));
    }
    static Ints truncate(Floats v) { return _mm512_cvttps_epi32(v); }
    static Ints level(Ints x) { return _mm512_srli_epi32(x, fraction_bits); }
    static Mask unsure(Ints x)
    {
        // x + 1 has none of the bits 1..11 set exactly when x's fraction bits are all 0 or all 1.
        return _mm512_testn_epi32_mask(_mm512_add_epi32(x, _mm512_set1_epi32(1)), _mm512_set1_epi32(4094));
    }
    static Mask either(Mask a, Mask b) { return static_cast<Mask>(a | b); }
    static Mask neutral(Floats R, Floats G, Floats B)
    {
        return static_cast<Mask>(_mm512_cmp_ps_mask(R, G, _CMP_EQ_OQ) & _mm512_cmp_ps_mask(G, B, _CMP_EQ_OQ));
    }
    static unsigned bits(Mask m) { return m; }
    static Ints neutral_levels(Floats R)
    {
        __m512i gray = _mm512_cvttps_epi32(R);
        const __m512i one = _mm512_set1_epi32(1);
        for (int32_t value : neutral_exceptions) {
            gray = _mm512_mask_sub_epi32(gray, _mm512_cmpeq_epi32_mask(gray, _mm512_set1_epi32(value)), gray, one);
        }
        return gray;
    }
    static Ints select(Mask m, Ints if_set, Ints if_clear) { return _mm512_mask_blend_epi32(m, if_clear, if_set); }
    static void store(Ints v, int32_t* out) { _mm512_storeu_si512(out, v); }
    static Ints load(const int32_t* in) { return _mm512_loadu_si512(in); }
    static void store_quad(uint8_t* out, Ints a, Ints b, Ints c, Ints d)
    {
        // Levels lie in 0 .. 255: narrowing keeps them whole.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm512_cvtepi32_epi8(a));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm512_cvtepi32_epi8(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm512_cvtepi32_epi8(c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm512_cvtepi32_epi8(d));
    }
};

}  // namespace

void weighted_luma_pixels_avx512(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                                 int64_t count) noexcept
{
    weighted_luma_vector<Isa>(red, green, blue, gray, count);
}
