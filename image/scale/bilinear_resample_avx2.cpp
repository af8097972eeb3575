// bilinear_resample on AVX2, bit-identical to bilinear_resample_plain: the
// separable loop of bilinear_resample_tiled.h, four doubles per instruction.
// Built with -mavx2, no FMA.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"
#include "image/scale/resample_element.h"

namespace {

// Or-ing a byte b into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction.
constexpr long long two_to_52_bits = 0x4330000000000000LL;
// Shuffle-control byte that selects nothing (zero).
constexpr uint8_t no_byte = 0x80;

template <class E>
struct Avx2 {
    using Element = E;
    using Vector = __m256d;
    struct Group {
        __m256d low;   // rows 0-3 of a group
        __m256d high;  // rows 4-7
    };

    // 8-bit: 16 bytes, picked by byte shuffles within a 128-bit lane. 16-bit
    // and single: 16 elements as two vectors of eight 32-bit lanes, picked by
    // lane permutes and a blend (one vector and its permute where the rows
    // lie within its eight). double: each row's element read on its own.
    static constexpr bool bytes = sizeof(E) == 1;
    static constexpr size_t window = sizeof(E) == 8 ? 0 : 16;

    static Vector broadcast(double value) { return _mm256_set1_pd(value); }
    static Group load(const double* at) { return Group{_mm256_load_pd(at), _mm256_load_pd(at + 4)}; }
    static void store(double* at, Group v)
    {
        _mm256_store_pd(at, v.low);
        _mm256_store_pd(at + 4, v.high);
    }

    static void plan_select(const uint8_t (&offsets)[2][row_group], uint8_t* select)
    {
        if constexpr (bytes) {
            // Byte 8k of the first 64 bytes selects row k's top byte, byte 8k
            // of the next 64 its below byte; the other bytes select nothing.
            // One 64-bit lane per row: the lane that becomes that row's double.
            std::memset(select, no_byte, select_bytes);
            for (size_t k = 0; k < row_group; ++k) {
                select[8 * k] = offsets[0][k];
                select[64 + 8 * k] = offsets[1][k];
            }
        } else {
            // Lane indices of the eight top rows, then of the eight below
            // rows: the lane within its vector, the sign bit set for the
            // second; then whether the first vector holds them all.
            int32_t lanes[2][row_group];
            bool first_only = true;
            for (size_t h = 0; h < 2; ++h) {
                for (size_t k = 0; k < row_group; ++k) {
                    lanes[h][k] = (offsets[h][k] & 7) | (offsets[h][k] >= 8 ? INT32_MIN : 0);
                    first_only = first_only && offsets[h][k] < 8;
                }
            }
            std::memcpy(select, lanes, sizeof lanes);
            select[first_only_byte] = first_only ? 1 : 0;
        }
    }

    // The byte of a group's selection table that says its rows lie within
    // the window's first eight elements (always so when upscaling): one
    // vector and one permute then give each eight values.
    static constexpr size_t first_only_byte = 64;

    // Eight 32-bit lanes picked from two vectors of eight by a row's lane index.
    static __m256i pick(__m256i first, __m256i second, __m256i lanes)
    {
        const __m256 from_first = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(first, lanes));
        const __m256 from_second = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(second, lanes));
        return _mm256_castps_si256(_mm256_blendv_ps(from_first, from_second, _mm256_castsi256_ps(lanes)));
    }

    // Eight picked 32-bit lanes as doubles, exactly.
    static Group widen(__m256i lanes)
    {
        if constexpr (std::is_same_v<E, float>) {
            const __m256 values = _mm256_castsi256_ps(lanes);
            return Group{_mm256_cvtps_pd(_mm256_castps256_ps128(values)), _mm256_cvtps_pd(_mm256_extractf128_ps(values, 1))};
        } else {
            return Group{_mm256_cvtepi32_pd(_mm256_castsi256_si128(lanes)),
                         _mm256_cvtepi32_pd(_mm256_extracti128_si256(lanes, 1))};
        }
    }

    // Eight elements from at as 32-bit lanes.
    static __m256i window_lanes(const E* at)
    {
        if constexpr (std::is_same_v<E, float>) {
            return _mm256_castps_si256(_mm256_loadu_ps(at));
        } else if constexpr (std::is_same_v<E, uint16_t>) {
            return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
        } else {
            return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
        }
    }

    static Group terms(const E* column, const RowTile& rows, size_t g)
    {
        const size_t t = g * row_group;
        const uint8_t* select = rows.select[g];
        Group top;
        Group below;
        if constexpr (bytes) {
            const __m256i magic = _mm256_set1_epi64x(two_to_52_bits);
            const __m256d two_to_52 = _mm256_castsi256_pd(magic);
            const __m256i window_bytes = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + rows.first[g])));
            // Four rows' values from the 32 selection bytes at `at`.
            const auto four = [&](size_t at) {
                const __m256i selection = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + at));
                const __m256i bits = _mm256_or_si256(_mm256_shuffle_epi8(window_bytes, selection), magic);
                return _mm256_sub_pd(_mm256_castsi256_pd(bits), two_to_52);
            };
            top = Group{four(0), four(32)};
            below = Group{four(64), four(96)};
        } else if constexpr (window != 0) {
            const __m256i top_lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(select));
            const __m256i below_lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + 32));
            if (select[first_only_byte] != 0) {
                const __m256i first = window_lanes(column + rows.first[g]);
                top = widen(_mm256_permutevar8x32_epi32(first, top_lanes));
                below = widen(_mm256_permutevar8x32_epi32(first, below_lanes));
            } else {
                const __m256i first = window_lanes(column + rows.first[g]);
                const __m256i second = window_lanes(column + rows.first[g] + 8);
                top = widen(pick(first, second, top_lanes));
                below = widen(pick(first, second, below_lanes));
            }
        } else {
            const size_t* top_rows = rows.top + t;
            size_t below_rows[row_group];
            for (size_t k = 0; k < row_group; ++k) below_rows[k] = std::min(top_rows[k] + 1, rows.last_row);
            top = Group{_mm256_setr_pd(column[top_rows[0]], column[top_rows[1]], column[top_rows[2]], column[top_rows[3]]),
                        _mm256_setr_pd(column[top_rows[4]], column[top_rows[5]], column[top_rows[6]], column[top_rows[7]])};
            below = Group{
                _mm256_setr_pd(column[below_rows[0]], column[below_rows[1]], column[below_rows[2]], column[below_rows[3]]),
                _mm256_setr_pd(column[below_rows[4]], column[below_rows[5]], column[below_rows[6]], column[below_rows[7]])};
        }
        return Group{_mm256_add_pd(_mm256_mul_pd(top.low, _mm256_load_pd(rows.gy + t)),
                                   _mm256_mul_pd(below.low, _mm256_load_pd(rows.fy + t))),
                     _mm256_add_pd(_mm256_mul_pd(top.high, _mm256_load_pd(rows.gy + t + 4)),
                                   _mm256_mul_pd(below.high, _mm256_load_pd(rows.fy + t + 4)))};
    }

    static Group blend(Group left, Group right, Vector gx, Vector fx)
    {
        return Group{_mm256_add_pd(_mm256_mul_pd(left.low, gx), _mm256_mul_pd(right.low, fx)),
                     _mm256_add_pd(_mm256_mul_pd(left.high, gx), _mm256_mul_pd(right.high, fx))};
    }

    // Eight levels truncated toward zero to 32-bit integers (out of range:
    // INT32_MIN, as the plain loop's truncation gives), four in each half.
    static void truncate(Group levels, __m128i& low, __m128i& high)
    {
        low = _mm256_cvttpd_epi32(levels.low);
        high = _mm256_cvttpd_epi32(levels.high);
    }

    static void store_levels(E* out, Group first, Group second)
    {
        if constexpr (std::is_floating_point_v<E>) {
            store_floats(out, first);
            store_floats(out + row_group, second);
        } else {
            __m128i a, b, c, d;
            truncate(first, a, b);
            truncate(second, c, d);
            // The saturating packs narrow to the element's range.
            if constexpr (bytes) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                                 _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
            } else if constexpr (std::is_same_v<E, uint16_t>) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(a, b));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + row_group), _mm_packus_epi32(c, d));
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(a, b));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + row_group), _mm_packs_epi32(c, d));
            }
        }
    }

    // Eight levels as single (rounded to nearest) or double, NaN as the one NaN.
    static void store_floats(E* out, Group levels)
    {
        if constexpr (std::is_same_v<E, float>) {
            const __m256 nan = _mm256_castsi256_ps(_mm256_set1_epi32(static_cast<int>(resample_nan_single_bits)));
            const __m256 v = _mm256_set_m128(_mm256_cvtpd_ps(levels.high), _mm256_cvtpd_ps(levels.low));
            _mm256_storeu_ps(out, _mm256_blendv_ps(v, nan, _mm256_cmp_ps(v, v, _CMP_UNORD_Q)));
        } else {
            const __m256d nan = _mm256_castsi256_pd(_mm256_set1_epi64x(static_cast<long long>(resample_nan_double_bits)));
            _mm256_storeu_pd(out, _mm256_blendv_pd(levels.low, nan, _mm256_cmp_pd(levels.low, levels.low, _CMP_UNORD_Q)));
            _mm256_storeu_pd(out + 4,
                             _mm256_blendv_pd(levels.high, nan, _mm256_cmp_pd(levels.high, levels.high, _CMP_UNORD_Q)));
        }
    }
};

}  // namespace

template <class E>
void bilinear_resample_columns_avx2(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Avx2<E>>(X, Ny, Nx, Y, ny, nx, span, scratch);
}

#define INSTANTIATE(E) BILINEAR_RESAMPLE_COLUMNS_INSTANCE(bilinear_resample_columns_avx2, E)
BILINEAR_RESAMPLE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
