// bilinear_resample on Advanced SIMD (arm64), bit-identical to
// bilinear_resample_plain: the separable loop of bilinear_resample_tiled.h,
// two doubles per instruction. Built with -ffp-contract=off, which keeps GCC
// from fusing the multiplies and adds below into fmla.
#include <arm_neon.h>

#include <cstddef>
#include <cstring>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"

namespace {

// A byte or-ed into the low bits of 2^52 gives the double 2^52 + b exactly;
// subtracting 2^52 leaves b, without a conversion instruction.
constexpr uint64_t two_to_52_bits = 0x4330000000000000ULL;

struct Terms {
    float64x2_t rows[4];  // rows 0-1, 2-3, 4-5, 6-7 of a group
};

struct Neon {
    using Vector = float64x2_t;
    using Sixteen = uint8x16_t;
    static void store_sixteen(uint8_t* out, uint8x16_t levels) { vst1q_u8(out, levels); }
    static Vector broadcast(double value) { return vdupq_n_f64(value); }

    static void store_group_terms(const uint8_t* column, const RowTile& rows, size_t g, double* out)
    {
        const Terms v = group_terms(column, rows, g);
        for (size_t h = 0; h < 4; ++h) vst1q_f64(out + 2 * h, v.rows[h]);
    }

    static Terms group_terms(const uint8_t* column, const RowTile& rows, size_t g)
    {
        const uint8x16_t magic = vreinterpretq_u8_u64(vdupq_n_u64(two_to_52_bits));
        const float64x2_t two_to_52 = vreinterpretq_f64_u8(magic);
        const uint8x16_t bytes = vld1q_u8(column + rows.first[g]);
        const uint8_t* select = rows.select[g];
        Terms terms;
        for (size_t h = 0; h < 4; ++h) {
            // Table indices of 16 or more select 0, so only the lanes' low bytes take a pixel.
            const uint8x16_t top_bits = vorrq_u8(vqtbl1q_u8(bytes, vld1q_u8(select + 16 * h)), magic);
            const uint8x16_t below_bits = vorrq_u8(vqtbl1q_u8(bytes, vld1q_u8(select + 64 + 16 * h)), magic);
            const float64x2_t top = vsubq_f64(vreinterpretq_f64_u8(top_bits), two_to_52);
            const float64x2_t below = vsubq_f64(vreinterpretq_f64_u8(below_bits), two_to_52);
            const size_t t = g * row_group + 2 * h;
            terms.rows[h] = vaddq_f64(vmulq_f64(top, vld1q_f64(rows.gy + t)), vmulq_f64(below, vld1q_f64(rows.fy + t)));
        }
        return terms;
    }

    // The terms of group g: computed from the column (and kept) when it is
    // new, else loaded.
    template <bool fresh, bool store>
    static Terms terms_of(const uint8_t* column, const RowTile& rows, size_t g, double* terms)
    {
        double* at = terms + g * row_group;
        if (!fresh) return Terms{{vld1q_f64(at), vld1q_f64(at + 2), vld1q_f64(at + 4), vld1q_f64(at + 6)}};
        const Terms v = group_terms(column, rows, g);
        if (store) {
            for (size_t h = 0; h < 4; ++h) vst1q_f64(at + 2 * h, v.rows[h]);
        }
        return v;
    }

    // Two levels, truncated toward zero; each lies in [0, 256), so it is the
    // low byte of its 64-bit lane.
    static uint8x16_t two_levels(float64x2_t left, float64x2_t right, float64x2_t gx, float64x2_t fx)
    {
        return vreinterpretq_u8_s64(vcvtq_s64_f64(vaddq_f64(vmulq_f64(left, gx), vmulq_f64(right, fx))));
    }

    template <bool new_left, bool new_right, bool same, bool store>
    static uint8x16_t sixteen_levels(const RowTile& rows, const uint8_t* left, double* left_terms,
                                     const uint8_t* right, double* right_terms, float64x2_t gx, float64x2_t fx,
                                     size_t pair)
    {
        const size_t g = 2 * pair;
        const Terms l0 = terms_of<new_left, store>(left, rows, g, left_terms);
        const Terms l1 = terms_of<new_left, store>(left, rows, g + 1, left_terms);
        const Terms r0 = same ? l0 : terms_of<new_right, store>(right, rows, g, right_terms);
        const Terms r1 = same ? l1 : terms_of<new_right, store>(right, rows, g + 1, right_terms);
        uint8x16x4_t first;
        uint8x16x4_t second;
        for (size_t h = 0; h < 4; ++h) {
            first.val[h] = two_levels(l0.rows[h], r0.rows[h], gx, fx);
            second.val[h] = two_levels(l1.rows[h], r1.rows[h], gx, fx);
        }
        // The low bytes of the eight lanes of each group, in order; an index
        // of 64 or more keeps the byte already there.
        const uint8x16_t low_half = {0, 8, 16, 24, 32, 40, 48, 56, 255, 255, 255, 255, 255, 255, 255, 255};
        const uint8x16_t high_half = {255, 255, 255, 255, 255, 255, 255, 255, 0, 8, 16, 24, 32, 40, 48, 56};
        return vqtbx4q_u8(vqtbl4q_u8(first, low_half), second, high_half);
    }

    // The first count (below 16) of sixteen levels.
    static void store_first(uint8_t* out, uint8x16_t levels, size_t count)
    {
        uint8_t all[row_pair];
        vst1q_u8(all, levels);
        std::memcpy(out, all, count);
    }
};

}  // namespace

void bilinear_resample_columns_neon(const uint8_t* X, int64_t Ny, int64_t Nx, uint8_t* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Neon>(X, Ny, Nx, Y, ny, nx, span, scratch);
}
