// bilinear_resample on AVX2, bit-identical to bilinear_resample_plain: the
// separable loop of bilinear_resample_tiled.h, four doubles per instruction.
// Built with -mavx2, no FMA.
#include <immintrin.h>

#include <cstddef>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"

namespace {

// Or-ing a byte b into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction.
constexpr long long two_to_52_bits = 0x4330000000000000LL;

struct Avx2 {
    static void column(const RowTile& rows, const uint8_t* left, size_t left_available, double* left_terms,
                       const uint8_t* right, size_t right_available, double* right_terms, bool same, bool /*keep*/,
                       double gx, double fx, uint8_t* out)
    {
        if (left != nullptr) vertical(left, left_available, rows, left_terms);
        if (right != nullptr) vertical(right, right_available, rows, right_terms);
        horizontal(left_terms, same ? left_terms : right_terms, gx, fx, rows.n, out);
    }

    static void vertical(const uint8_t* column, size_t available, const RowTile& rows, double* out)
    {
        if (windows_inside(rows, available)) {
            for (size_t g = 0; g < rows.groups; ++g) group_terms(column, rows, g, out);
            return;
        }
        for (size_t g = 0; g < rows.groups; ++g) {
            if (rows.window_end[g] > available) {
                group_terms_scalar(column, rows, g, out);
            } else {
                group_terms(column, rows, g, out);
            }
        }
    }

    static void group_terms(const uint8_t* column, const RowTile& rows, size_t g, double* out)
    {
        const __m256i magic = _mm256_set1_epi64x(two_to_52_bits);
        const __m256d two_to_52 = _mm256_castsi256_pd(magic);
        const __m256i bytes =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + rows.first[g])));
        const uint8_t* select = rows.select[g];
        for (size_t half = 0; half < 2; ++half) {
            const __m256i top_select = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + 32 * half));
            const __m256i below_select = _mm256_load_si256(reinterpret_cast<const __m256i*>(select + 64 + 32 * half));
            const __m256i top_bits = _mm256_or_si256(_mm256_shuffle_epi8(bytes, top_select), magic);
            const __m256i below_bits = _mm256_or_si256(_mm256_shuffle_epi8(bytes, below_select), magic);
            const __m256d top = _mm256_sub_pd(_mm256_castsi256_pd(top_bits), two_to_52);
            const __m256d below = _mm256_sub_pd(_mm256_castsi256_pd(below_bits), two_to_52);
            const size_t t = g * row_group + 4 * half;
            _mm256_store_pd(out + t, _mm256_add_pd(_mm256_mul_pd(top, _mm256_load_pd(rows.gy + t)),
                                                   _mm256_mul_pd(below, _mm256_load_pd(rows.fy + t))));
        }
    }

    static __m128i four_levels(const double* left, const double* right, __m256d gx, __m256d fx)
    {
        const __m256d v =
            _mm256_add_pd(_mm256_mul_pd(_mm256_load_pd(left), gx), _mm256_mul_pd(_mm256_load_pd(right), fx));
        return _mm256_cvttpd_epi32(v);
    }

    static void horizontal(const double* left, const double* right, double gx, double fx, size_t n, uint8_t* out)
    {
        const __m256d vgx = _mm256_set1_pd(gx);
        const __m256d vfx = _mm256_set1_pd(fx);
        size_t t = 0;
        for (; t + 16 <= n; t += 16) {
            // Values lie in [0, 256), so the saturating packs are plain narrowing.
            const __m128i a = four_levels(left + t, right + t, vgx, vfx);
            const __m128i b = four_levels(left + t + 4, right + t + 4, vgx, vfx);
            const __m128i c = four_levels(left + t + 8, right + t + 8, vgx, vfx);
            const __m128i d = four_levels(left + t + 12, right + t + 12, vgx, vfx);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + t), bytes);
        }
        for (; t < n; ++t) {
            const double v = left[t] * gx + right[t] * fx;
            out[t] = static_cast<uint8_t>(static_cast<int32_t>(v));
        }
    }
};

}  // namespace

void bilinear_resample_avx2(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx)
{
    resample_tiled<Avx2>(X, Ny, Nx, Y, ny, nx);
}
