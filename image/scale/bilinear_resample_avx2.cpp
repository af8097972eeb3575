// bilinear_resample on AVX2, bit-identical to bilinear_resample_plain: the
// separable loop of bilinear_resample_tiled.h, four doubles per instruction.
// Built with -mavx2, no FMA.
#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"

namespace {

// Or-ing a byte b into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction.
constexpr long long two_to_52_bits = 0x4330000000000000LL;

struct Terms {
    __m256d low;   // rows 0-3 of a group
    __m256d high;  // rows 4-7
};

struct Avx2 {
    using Vector = __m256d;
    using Sixteen = __m128i;
    static void store_sixteen(uint8_t* out, __m128i levels)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), levels);
    }
    static Vector broadcast(double value) { return _mm256_set1_pd(value); }

    static void store_group_terms(const uint8_t* column, const RowTile& rows, size_t g, double* out)
    {
        const Terms v = group_terms(column, rows, g);
        _mm256_store_pd(out, v.low);
        _mm256_store_pd(out + 4, v.high);
    }

    static Terms group_terms(const uint8_t* column, const RowTile& rows, size_t g)
    {
        const __m256i magic = _mm256_set1_epi64x(two_to_52_bits);
        const __m256d two_to_52 = _mm256_castsi256_pd(magic);
        const __m256i bytes =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + rows.first[g])));
        const uint8_t* select = rows.select[g];
        __m256d half_terms[2];
        for (size_t half = 0; half < 2; ++half) {
            const __m256i top_select = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + 32 * half));
            const __m256i below_select = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + 64 + 32 * half));
            const __m256i top_bits = _mm256_or_si256(_mm256_shuffle_epi8(bytes, top_select), magic);
            const __m256i below_bits = _mm256_or_si256(_mm256_shuffle_epi8(bytes, below_select), magic);
            const __m256d top = _mm256_sub_pd(_mm256_castsi256_pd(top_bits), two_to_52);
            const __m256d below = _mm256_sub_pd(_mm256_castsi256_pd(below_bits), two_to_52);
            const size_t t = g * row_group + 4 * half;
            half_terms[half] = _mm256_add_pd(_mm256_mul_pd(top, _mm256_load_pd(rows.gy + t)),
                                             _mm256_mul_pd(below, _mm256_load_pd(rows.fy + t)));
        }
        return Terms{half_terms[0], half_terms[1]};
    }

    // The terms of group g: computed from the column (and kept) when it is
    // new, else loaded.
    template <bool fresh, bool store>
    static Terms terms_of(const uint8_t* column, const RowTile& rows, size_t g, double* terms)
    {
        double* at = terms + g * row_group;
        if (!fresh) return Terms{_mm256_load_pd(at), _mm256_load_pd(at + 4)};
        const Terms v = group_terms(column, rows, g);
        if (store) {
            _mm256_store_pd(at, v.low);
            _mm256_store_pd(at + 4, v.high);
        }
        return v;
    }

    static __m128i four_levels(__m256d left, __m256d right, __m256d gx, __m256d fx)
    {
        return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(left, gx), _mm256_mul_pd(right, fx)));
    }

    template <bool new_left, bool new_right, bool same, bool store>
    static __m128i sixteen_levels(const RowTile& rows, const uint8_t* left, double* left_terms, const uint8_t* right,
                                  double* right_terms, __m256d gx, __m256d fx, size_t pair)
    {
        const size_t g = 2 * pair;
        const Terms l0 = terms_of<new_left, store>(left, rows, g, left_terms);
        const Terms l1 = terms_of<new_left, store>(left, rows, g + 1, left_terms);
        const Terms r0 = same ? l0 : terms_of<new_right, store>(right, rows, g, right_terms);
        const Terms r1 = same ? l1 : terms_of<new_right, store>(right, rows, g + 1, right_terms);
        const __m128i a = four_levels(l0.low, r0.low, gx, fx);
        const __m128i b = four_levels(l0.high, r0.high, gx, fx);
        const __m128i c = four_levels(l1.low, r1.low, gx, fx);
        const __m128i d = four_levels(l1.high, r1.high, gx, fx);
        // Values lie in [0, 256), so the saturating packs are plain narrowing.
        return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
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

void bilinear_resample_columns_avx2(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Avx2>(X, Ny, Nx, Y, ny, nx, span, scratch);
}
