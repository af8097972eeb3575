// bilinear_resample on AVX-512 (F, BW, VL, VBMI), bit-identical to
// bilinear_resample_plain: the separable loop of bilinear_resample_tiled.h,
// eight doubles per instruction. Built with -mavx512f -mavx512bw -mavx512vl
// -mavx512vbmi, no FMA.
#include <immintrin.h>

// GCC 12 warns inside its own AVX-512 headers, whose intrinsics start from
// deliberately undefined vectors.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <cstddef>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"

namespace {

// A byte merged into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction. The masked
// shuffle writes only the low byte of each 64-bit lane and keeps 2^52's bits
// in the rest.
constexpr long long two_to_52_bits = 0x4330000000000000LL;
constexpr __mmask64 low_bytes = 0x0101010101010101ULL;

struct Avx512 {
    static void vertical(const uint8_t* column, size_t available, const RowTile& rows, double* out)
    {
        const size_t groups = rows.groups;
        // Windows start no earlier than those before them: when the last one
        // is inside the image, all are.
        if (!rows.all_windows || rows.window_end[groups - 1] > available) {
            for (size_t g = 0; g < groups; ++g) {
                if (rows.window_end[g] > available) {
                    group_terms_scalar(column, rows, g, out);
                } else {
                    group_terms(column, rows, g, out);
                }
            }
            return;
        }
        for (size_t g = 0; g < groups; ++g) group_terms(column, rows, g, out);
    }

    static void group_terms(const uint8_t* column, const RowTile& rows, size_t g, double* out)
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
        _mm512_store_pd(out + t, _mm512_add_pd(_mm512_mul_pd(top, _mm512_load_pd(rows.gy + t)),
                                               _mm512_mul_pd(below, _mm512_load_pd(rows.fy + t))));
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

    static void horizontal(const double* left, const double* right, double gx, double fx, size_t n, uint8_t* out)
    {
        const __m512d vgx = _mm512_set1_pd(gx);
        const __m512d vfx = _mm512_set1_pd(fx);
        // The low bytes of the 64-bit lanes of two vectors, in order.
        const __m512i low_bytes_of_two = _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0x7870686058504840LL, 0x3830282018100800LL);
        size_t t = 0;
        for (; t + 16 <= n; t += 16) {
            const __m512i a = eight_levels(_mm512_load_pd(left + t), _mm512_load_pd(right + t), vgx, vfx);
            const __m512i b = eight_levels(_mm512_load_pd(left + t + 8), _mm512_load_pd(right + t + 8), vgx, vfx);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + t),
                             _mm512_castsi512_si128(_mm512_permutex2var_epi8(a, low_bytes_of_two, b)));
        }
        if (t < n) {
            // Masked loads and store: nothing past the n terms is read, and
            // nothing past the column written.
            const __mmask16 lanes = static_cast<__mmask16>((1u << (n - t)) - 1);
            const __mmask8 low = static_cast<__mmask8>(lanes);
            const __mmask8 high = static_cast<__mmask8>(lanes >> 8);
            const __m512i a = eight_levels(_mm512_maskz_load_pd(low, left + t), _mm512_maskz_load_pd(low, right + t),
                                           vgx, vfx);
            const __m512i b = eight_levels(_mm512_maskz_load_pd(high, left + t + 8),
                                           _mm512_maskz_load_pd(high, right + t + 8), vgx, vfx);
            _mm_mask_storeu_epi8(out + t, lanes, _mm512_castsi512_si128(_mm512_permutex2var_epi8(a, low_bytes_of_two, b)));
        }
    }
};

}  // namespace

void bilinear_resample_avx512(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx)
{
    resample_tiled<Avx512>(X, Ny, Nx, Y, ny, nx);
}
