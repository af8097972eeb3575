// bilinear_resample on AVX-512 F and BW, bit-identical to
// bilinear_resample_plain: the separable loop of bilinear_resample_tiled.h,
// eight doubles per instruction. Built with -mavx512f -mavx512bw, which every
// AVX-512 server processor has (Skylake-SP and Cascade Lake included);
// -ffp-contract=off keeps multiply and add unfused.
#include <immintrin.h>

// GCC 12 warns inside its own AVX-512 headers, whose intrinsics start from
// deliberately undefined vectors.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <cstddef>
#include <cstring>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"

namespace {

// A byte merged into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction. The masked
// shuffle (BW) writes only the low byte of each 64-bit lane and keeps 2^52's
// bits in the rest.
constexpr long long two_to_52_bits = 0x4330000000000000LL;
constexpr __mmask64 low_bytes = 0x0101010101010101ULL;

struct Avx512 {
    using Vector = __m512d;
    using Sixteen = __m128i;
    static void store_sixteen(uint8_t* out, __m128i levels)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), levels);
    }
    static Vector broadcast(double value) { return _mm512_set1_pd(value); }

    static void store_group_terms(const uint8_t* column, const RowTile& rows, size_t g, double* out)
    {
        _mm512_store_pd(out, group_terms(column, rows, g));
    }

    static __m512d group_terms(const uint8_t* column, const RowTile& rows, size_t g)
    {
        const __m512i magic = _mm512_set1_epi64(two_to_52_bits);
        const __m512d two_to_52 = _mm512_castsi512_pd(magic);
        const __m512i bytes =
            _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + rows.first[g])));
        const uint8_t* select = rows.select[g];
        const __m512i top_bits = _mm512_mask_shuffle_epi8(magic, low_bytes, bytes, _mm512_load_si512(select));
        const __m512i below_bits = _mm512_mask_shuffle_epi8(magic, low_bytes, bytes, _mm512_load_si512(select + 64));
        const __m512d top = _mm512_sub_pd(_mm512_castsi512_pd(top_bits), two_to_52);
        const __m512d below = _mm512_sub_pd(_mm512_castsi512_pd(below_bits), two_to_52);
        const size_t t = g * row_group;
        return _mm512_add_pd(_mm512_mul_pd(top, _mm512_load_pd(rows.gy + t)),
                             _mm512_mul_pd(below, _mm512_load_pd(rows.fy + t)));
    }

    // The terms of group g: computed from the column (and kept) when it is
    // new, else loaded.
    template <bool fresh, bool store>
    static __m512d terms_of(const uint8_t* column, const RowTile& rows, size_t g, double* terms)
    {
        if (!fresh) return _mm512_load_pd(terms + g * row_group);
        const __m512d v = group_terms(column, rows, g);
        if (store) _mm512_store_pd(terms + g * row_group, v);
        return v;
    }

    // Truncation by adding 2^52 rounded toward zero: for v in [0, 256) the
    // sum is 2^52 + trunc(v) exactly, so the level is the low byte of each
    // 64-bit lane. v itself is rounded to nearest first, as in the plain loop.
    static __m512i eight_levels(__m512d left, __m512d right, __m512d gx, __m512d fx)
    {
        const __m512d v = _mm512_add_pd(_mm512_mul_pd(left, gx), _mm512_mul_pd(right, fx));
        return _mm512_castpd_si512(
            _mm512_add_round_pd(v, _mm512_set1_pd(4503599627370496.0), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    }

    template <bool new_left, bool new_right, bool same, bool store>
    static __m128i sixteen_levels(const RowTile& rows, const uint8_t* left, double* left_terms, const uint8_t* right,
                                  double* right_terms, __m512d gx, __m512d fx, size_t pair)
    {
        const size_t g = 2 * pair;
        const __m512d l0 = terms_of<new_left, store>(left, rows, g, left_terms);
        const __m512d l1 = terms_of<new_left, store>(left, rows, g + 1, left_terms);
        const __m512d r0 = same ? l0 : terms_of<new_right, store>(right, rows, g, right_terms);
        const __m512d r1 = same ? l1 : terms_of<new_right, store>(right, rows, g + 1, right_terms);
        const __m512i a = eight_levels(l0, r0, gx, fx);
        const __m512i b = eight_levels(l1, r1, gx, fx);
        // The low 32 bits of every 64-bit lane, a's eight then b's, hold the
        // levels (2^52's bits lie in the high half); narrowed to bytes.
        const __m512i low_halves = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
        return _mm512_cvtepi32_epi8(_mm512_permutex2var_epi32(a, low_halves, b));
    }

    // The first count (below 16) of sixteen levels.
    static void store_first(uint8_t* out, __m128i levels, size_t count)
    {
        alignas(16) uint8_t all[row_pair];
        _mm_store_si128(reinterpret_cast<__m128i*>(all), levels);
        std::memcpy(out, all, count);
    }
};

}  // namespace

void bilinear_resample_columns_avx512bw(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx,
                                        ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Avx512>(X, Ny, Nx, Y, ny, nx, span, scratch);
}
