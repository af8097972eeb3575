// bilinear_resample on Advanced SIMD (arm64), bit-identical to
// bilinear_resample_plain: the separable loop of bilinear_resample_tiled.h,
// two doubles per instruction. Built with -ffp-contract=off, which keeps GCC
// from fusing the multiplies and adds below into fmla.
#include <arm_neon.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "image/scale/bilinear_resample.h"
#include "image/scale/bilinear_resample_tiled.h"
#include "image/scale/resample_element.h"

namespace {

// An integer b or-ed into the low bits of 2^52 gives the double 2^52 + b
// exactly; subtracting 2^52 leaves b, without a conversion instruction.
constexpr uint64_t two_to_52_bits = 0x4330000000000000ULL;
// Table index that selects nothing (zero): any index past the table.
constexpr uint8_t no_byte = 0xFF;

template <class E>
struct Neon {
    using Element = E;
    using Vector = float64x2_t;
    struct Group {
        float64x2_t rows[4];  // rows 0-1, 2-3, 4-5, 6-7 of a group
    };

    // 8-bit: 16 bytes by one-register table lookups; wider elements: 64 bytes
    // (32, 16 or 8 elements) by four-register lookups, which pick any byte.
    static constexpr size_t window = sizeof(E) == 1 ? 16 : 64 / sizeof(E);

    static Vector broadcast(double value) { return vdupq_n_f64(value); }
    static Group load(const double* at)
    {
        return Group{{vld1q_f64(at), vld1q_f64(at + 2), vld1q_f64(at + 4), vld1q_f64(at + 6)}};
    }
    static void store(double* at, Group v)
    {
        for (size_t h = 0; h < 4; ++h) vst1q_f64(at + 2 * h, v.rows[h]);
    }

    static void plan_select(const uint8_t (&offsets)[2][row_group], uint8_t* select)
    {
        // The top rows' table, then the below rows'. Integers: the bytes of
        // row k's element go to the low bytes of 64-bit lane k (the rest stay
        // zero, to be or-ed with 2^52); single: to 32-bit lane k; double: to
        // 64-bit lane k.
        std::memset(select, no_byte, select_bytes);
        const size_t lane = std::is_same_v<E, float> ? 4 : 8;
        const size_t table = std::is_same_v<E, float> ? 32 : 64;
        for (size_t h = 0; h < 2; ++h) {
            for (size_t k = 0; k < row_group; ++k) {
                for (size_t b = 0; b < sizeof(E); ++b) {
                    select[h * table + lane * k + b] = static_cast<uint8_t>(offsets[h][k] * sizeof(E) + b);
                }
            }
        }
    }

    static Group terms(const E* column, const RowTile& rows, size_t g)
    {
        const uint8_t* at = reinterpret_cast<const uint8_t*>(column + rows.first[g]);
        const uint8_t* select = rows.select[g];
        Group top;
        Group below;
        if constexpr (sizeof(E) == 1) {
            const uint8x16_t magic = vreinterpretq_u8_u64(vdupq_n_u64(two_to_52_bits));
            const float64x2_t two_to_52 = vreinterpretq_f64_u8(magic);
            const uint8x16_t bytes = vld1q_u8(at);
            for (size_t h = 0; h < 4; ++h) {
                // Table indices of 16 or more select 0, so only the lanes' low bytes take a pixel.
                top.rows[h] = vsubq_f64(vreinterpretq_f64_u8(vorrq_u8(vqtbl1q_u8(bytes, vld1q_u8(select + 16 * h)), magic)),
                                        two_to_52);
                below.rows[h] = vsubq_f64(
                    vreinterpretq_f64_u8(vorrq_u8(vqtbl1q_u8(bytes, vld1q_u8(select + 64 + 16 * h)), magic)), two_to_52);
            }
        } else {
            const uint8x16x4_t bytes = {{vld1q_u8(at), vld1q_u8(at + 16), vld1q_u8(at + 32), vld1q_u8(at + 48)}};
            if constexpr (sizeof(E) == 2) {
                // int16: flipping the sign bit adds 2^15 (into 0 .. 2^16 - 1),
                // which the subtraction takes off again; xor is or on the
                // zero bits of the picked lanes.
                const uint64_t bias = two_to_52_bits | (std::is_signed_v<E> ? 0x8000U : 0U);
                const uint8x16_t bias_bits = vreinterpretq_u8_u64(vdupq_n_u64(bias));
                const float64x2_t subtracted = vreinterpretq_f64_u8(bias_bits);
                for (size_t h = 0; h < 4; ++h) {
                    top.rows[h] = vsubq_f64(
                        vreinterpretq_f64_u8(veorq_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 16 * h)), bias_bits)),
                        subtracted);
                    below.rows[h] = vsubq_f64(
                        vreinterpretq_f64_u8(veorq_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 64 + 16 * h)), bias_bits)),
                        subtracted);
                }
            } else if constexpr (std::is_same_v<E, float>) {
                for (size_t h = 0; h < 2; ++h) {
                    const float32x4_t t = vreinterpretq_f32_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 16 * h)));
                    const float32x4_t b = vreinterpretq_f32_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 32 + 16 * h)));
                    top.rows[2 * h] = vcvt_f64_f32(vget_low_f32(t));
                    top.rows[2 * h + 1] = vcvt_high_f64_f32(t);
                    below.rows[2 * h] = vcvt_f64_f32(vget_low_f32(b));
                    below.rows[2 * h + 1] = vcvt_high_f64_f32(b);
                }
            } else {
                for (size_t h = 0; h < 4; ++h) {
                    top.rows[h] = vreinterpretq_f64_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 16 * h)));
                    below.rows[h] = vreinterpretq_f64_u8(vqtbl4q_u8(bytes, vld1q_u8(select + 64 + 16 * h)));
                }
            }
        }
        Group terms;
        const size_t t = g * row_group;
        for (size_t h = 0; h < 4; ++h) {
            terms.rows[h] = vaddq_f64(vmulq_f64(top.rows[h], vld1q_f64(rows.gy + t + 2 * h)),
                                      vmulq_f64(below.rows[h], vld1q_f64(rows.fy + t + 2 * h)));
        }
        return terms;
    }

    static Group blend(Group left, Group right, Vector gx, Vector fx)
    {
        Group levels;
        for (size_t h = 0; h < 4; ++h) {
            levels.rows[h] = vaddq_f64(vmulq_f64(left.rows[h], gx), vmulq_f64(right.rows[h], fx));
        }
        return levels;
    }

    // Four levels truncated toward zero and narrowed to 32 bits, saturating.
    static int32x4_t four_integers(float64x2_t low, float64x2_t high)
    {
        return vcombine_s32(vqmovn_s64(vcvtq_s64_f64(low)), vqmovn_s64(vcvtq_s64_f64(high)));
    }

    static void store_levels(E* out, Group first, Group second)
    {
        if constexpr (sizeof(E) == 1) {
            // Each level lies in [0, 256), so it is the low byte of its
            // truncated 64-bit lane; those bytes of the eight lanes of each
            // group, in order (an index of 64 or more keeps the byte already there).
            uint8x16x4_t low;
            uint8x16x4_t high;
            for (size_t h = 0; h < 4; ++h) {
                low.val[h] = vreinterpretq_u8_s64(vcvtq_s64_f64(first.rows[h]));
                high.val[h] = vreinterpretq_u8_s64(vcvtq_s64_f64(second.rows[h]));
            }
            const uint8x16_t low_half = {0, 8, 16, 24, 32, 40, 48, 56, 255, 255, 255, 255, 255, 255, 255, 255};
            const uint8x16_t high_half = {255, 255, 255, 255, 255, 255, 255, 255, 0, 8, 16, 24, 32, 40, 48, 56};
            vst1q_u8(out, vqtbx4q_u8(vqtbl4q_u8(low, low_half), high, high_half));
        } else if constexpr (sizeof(E) == 2) {
            const Group* groups[2] = {&first, &second};
            for (size_t k = 0; k < 2; ++k) {
                const int32x4_t a = four_integers(groups[k]->rows[0], groups[k]->rows[1]);
                const int32x4_t b = four_integers(groups[k]->rows[2], groups[k]->rows[3]);
                if constexpr (std::is_signed_v<E>) {
                    vst1q_s16(out + row_group * k, vcombine_s16(vqmovn_s32(a), vqmovn_s32(b)));
                } else {
                    vst1q_u16(out + row_group * k, vcombine_u16(vqmovun_s32(a), vqmovun_s32(b)));
                }
            }
        } else if constexpr (std::is_same_v<E, float>) {
            // Rounded to nearest single; NaN as the one NaN.
            const float32x4_t nan = vreinterpretq_f32_u32(vdupq_n_u32(resample_nan_single_bits));
            const Group* groups[2] = {&first, &second};
            for (size_t k = 0; k < 4; ++k) {
                const Group& levels = *groups[k / 2];
                const size_t h = 2 * (k % 2);
                const float32x4_t v = vcvt_high_f32_f64(vcvt_f32_f64(levels.rows[h]), levels.rows[h + 1]);
                vst1q_f32(out + 4 * k, vbslq_f32(vceqq_f32(v, v), v, nan));
            }
        } else {
            const float64x2_t nan = vreinterpretq_f64_u64(vdupq_n_u64(resample_nan_double_bits));
            for (size_t h = 0; h < 4; ++h) {
                vst1q_f64(out + 2 * h, vbslq_f64(vceqq_f64(first.rows[h], first.rows[h]), first.rows[h], nan));
                vst1q_f64(out + row_group + 2 * h,
                          vbslq_f64(vceqq_f64(second.rows[h], second.rows[h]), second.rows[h], nan));
            }
        }
    }
};

}  // namespace

template <class E>
void bilinear_resample_columns_neon(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept
{
    resample_tiled<Neon<E>>(X, Ny, Nx, Y, ny, nx, span, scratch);
}

#define INSTANTIATE(E) BILINEAR_RESAMPLE_COLUMNS_INSTANCE(bilinear_resample_columns_neon, E)
BILINEAR_RESAMPLE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
