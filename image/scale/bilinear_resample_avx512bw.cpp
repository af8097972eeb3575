// bilinear_resample on AVX-512 F and BW, bit-identical to
// bilinear_resample_plain: the separable loop of bilinear_resample_tiled.h,
// eight doubles per instruction. Built with -mavx512f -mavx512bw, which every
// AVX-512 server processor has (Skylake-SP and Cascade Lake included), and
// uses nothing beyond them; -ffp-contract=off keeps multiply and add unfused.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// GCC 12 warns inside its own AVX-512 headers, whose intrinsics start from
// deliberately undefined vectors.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"
#include "image/scale/resample_element.h"

namespace {

// An integer b merged into the low bits of 2^52 gives the double 2^52 + b
// exactly; subtracting 2^52 leaves b, without a conversion instruction. The
// masked shuffles write only the low byte (word) of each 64-bit lane and keep
// 2^52's bits in the rest.
constexpr long long two_to_52_bits = 0x4330000000000000LL;
constexpr __mmask64 low_bytes = 0x0101010101010101ULL;
constexpr __mmask32 low_words = 0x11111111U;
// Shuffle-control byte that selects nothing (zero).
constexpr uint8_t no_byte = 0x80;

template <class E>
struct Avx512 {
    using Element = E;
    using Vector = __m512d;
    using Group = __m512d;

    // 8-bit: 16 bytes, picked by byte shuffles (the same 16 bytes in every
    // 128-bit lane). 16-bit: 32 elements (one vector), picked by a word
    // permute (BW). single: 16 elements (one vector), picked by a 32-bit lane
    // permute. double: 16 elements (two vectors), by a two-source permute.
    static constexpr size_t window = sizeof(E) == 2 ? 32 : 16;

    static Vector broadcast(double value) { return _mm512_set1_pd(value); }
    static Group load(const double* at) { return _mm512_load_pd(at); }
    static void store(double* at, Group v) { _mm512_store_pd(at, v); }

    static void plan_select(const uint8_t (&offsets)[2][row_group], uint8_t* select)
    {
        if constexpr (sizeof(E) == 1) {
            // Byte 8k of the first 64 bytes selects row k's top byte, byte 8k
            // of the next 64 its below byte; the other bytes select nothing.
            // One 64-bit lane per row: the lane that becomes that row's double.
            std::memset(select, no_byte, select_bytes);
            for (size_t k = 0; k < row_group; ++k) {
                select[8 * k] = offsets[0][k];
                select[64 + 8 * k] = offsets[1][k];
            }
        } else if constexpr (sizeof(E) == 2) {
            // Word 4k of the first 32 words selects row k's top element, word
            // 4k of the next 32 its below element (the other words are masked).
            uint16_t words[2][32] = {};
            for (size_t h = 0; h < 2; ++h) {
                for (size_t k = 0; k < row_group; ++k) words[h][4 * k] = offsets[h][k];
            }
            std::memcpy(select, words, sizeof words);
        } else if constexpr (std::is_same_v<E, float>) {
            // Lanes 0-7 take the top rows' elements, lanes 8-15 the below rows'.
            int32_t lanes[2][row_group];
            for (size_t h = 0; h < 2; ++h) {
                for (size_t k = 0; k < row_group; ++k) lanes[h][k] = offsets[h][k];
            }
            std::memcpy(select, lanes, sizeof lanes);
        } else {
            // The top rows' elements, then the below rows', each of 16.
            int64_t lanes[2][row_group];
            for (size_t h = 0; h < 2; ++h) {
                for (size_t k = 0; k < row_group; ++k) lanes[h][k] = offsets[h][k];
            }
            std::memcpy(select, lanes, sizeof lanes);
        }
    }

    static Group terms(const E* column, const RowTile& rows, size_t g)
    {
        const E* at = column + rows.first[g];
        const uint8_t* select = rows.select[g];
        const __m512i top_select = _mm512_load_si512(select);
        const __m512i below_select = _mm512_load_si512(select + 64);
        __m512d top;
        __m512d below;
        if constexpr (sizeof(E) == 1) {
            const __m512i magic = _mm512_set1_epi64(two_to_52_bits);
            const __m512d two_to_52 = _mm512_castsi512_pd(magic);
            const __m512i bytes = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
            top = _mm512_sub_pd(_mm512_castsi512_pd(_mm512_mask_shuffle_epi8(magic, low_bytes, bytes, top_select)),
                                two_to_52);
            below = _mm512_sub_pd(
                _mm512_castsi512_pd(_mm512_mask_shuffle_epi8(magic, low_bytes, bytes, below_select)), two_to_52);
        } else if constexpr (sizeof(E) == 2) {
            const __m512i magic = _mm512_set1_epi64(two_to_52_bits);
            __m512i words = _mm512_loadu_si512(at);
            // int16: flipping the sign bit adds 2^15 (into 0 .. 2^16 - 1),
            // which the subtraction takes off again.
            double offset = 4503599627370496.0;  // 2^52
            if constexpr (std::is_signed_v<E>) {
                words = _mm512_xor_si512(words, _mm512_set1_epi16(static_cast<short>(0x8000)));
                offset += 32768.0;
            }
            const __m512d subtracted = _mm512_set1_pd(offset);
            top = _mm512_sub_pd(
                _mm512_castsi512_pd(_mm512_mask_permutexvar_epi16(magic, low_words, top_select, words)), subtracted);
            below = _mm512_sub_pd(
                _mm512_castsi512_pd(_mm512_mask_permutexvar_epi16(magic, low_words, below_select, words)), subtracted);
        } else if constexpr (std::is_same_v<E, float>) {
            const __m512 picked = _mm512_permutexvar_ps(top_select, _mm512_loadu_ps(at));
            top = _mm512_cvtps_pd(_mm512_castps512_ps256(picked));
            below = _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(picked), 1)));
        } else {
            const __m512d low = _mm512_loadu_pd(at);
            const __m512d high = _mm512_loadu_pd(at + 8);
            top = _mm512_permutex2var_pd(low, top_select, high);
            below = _mm512_permutex2var_pd(low, below_select, high);
        }
        const size_t t = g * row_group;
        return _mm512_add_pd(_mm512_mul_pd(top, _mm512_load_pd(rows.gy + t)),
                             _mm512_mul_pd(below, _mm512_load_pd(rows.fy + t)));
    }

    static Group blend(Group left, Group right, Vector gx, Vector fx)
    {
        return _mm512_add_pd(_mm512_mul_pd(left, gx), _mm512_mul_pd(right, fx));
    }

    // Truncation by adding 2^52 rounded toward zero: for v in [0, 256) the
    // sum is 2^52 + trunc(v) exactly, so the level is the low byte of each
    // 64-bit lane. v itself is rounded to nearest first, as in the plain loop.
    static __m512i eight_bytes(Group levels)
    {
        return _mm512_castpd_si512(
            _mm512_add_round_pd(levels, _mm512_set1_pd(4503599627370496.0), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    }

    static void store_levels(E* out, Group first, Group second)
    {
        if constexpr (sizeof(E) == 1) {
            // The low 32 bits of every 64-bit lane, the first group's eight
            // then the second's, hold the levels (2^52's bits lie in the high
            // half); narrowed to bytes.
            const __m512i low_halves = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm512_cvtepi32_epi8(_mm512_permutex2var_epi32(eight_bytes(first), low_halves,
                                                                            eight_bytes(second))));
        } else if constexpr (sizeof(E) == 2) {
            // Truncated toward zero to 32-bit integers (out of range:
            // INT32_MIN, as the plain loop's truncation gives), then narrowed
            // with saturation to the element's range.
            const __m512i truncated =
                _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(first)), _mm512_cvttpd_epi32(second), 1);
            __m256i narrowed;
            if constexpr (std::is_signed_v<E>) {
                narrowed = _mm512_cvtsepi32_epi16(truncated);
            } else {
                narrowed = _mm512_cvtusepi32_epi16(_mm512_max_epi32(truncated, _mm512_setzero_si512()));
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), narrowed);
        } else if constexpr (std::is_same_v<E, float>) {
            // Rounded to nearest single; NaN as the one NaN.
            const __m512d halves = _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(_mm512_cvtpd_ps(first))),
                                                      _mm256_castps_pd(_mm512_cvtpd_ps(second)), 1);
            const __m512 values = _mm512_castpd_ps(halves);
            const __m512 nan = _mm512_castsi512_ps(_mm512_set1_epi32(static_cast<int>(resample_nan_single_bits)));
            _mm512_storeu_ps(out, _mm512_mask_mov_ps(values, _mm512_cmp_ps_mask(values, values, _CMP_UNORD_Q), nan));
        } else {
            const __m512d nan = _mm512_castsi512_pd(_mm512_set1_epi64(static_cast<long long>(resample_nan_double_bits)));
            _mm512_storeu_pd(out, _mm512_mask_mov_pd(first, _mm512_cmp_pd_mask(first, first, _CMP_UNORD_Q), nan));
            _mm512_storeu_pd(out + row_group,
                             _mm512_mask_mov_pd(second, _mm512_cmp_pd_mask(second, second, _CMP_UNORD_Q), nan));
        }
    }
};

}  // namespace

template <class E>
void bilinear_resample_columns_avx512bw(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                        ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Avx512<E>>(X, Ny, Nx, Y, ny, nx, span, scratch);
}

#define INSTANTIATE(E) BILINEAR_RESAMPLE_COLUMNS_INSTANCE(bilinear_resample_columns_avx512bw, E)
BILINEAR_RESAMPLE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
