// weighted_luma on Advanced SIMD (arm64), bit-identical to
// weighted_luma_plain: the loop of weighted_luma_vector.h, four pixels per
// vector. Built with -ffp-contract=off, which keeps GCC from fusing the
// multiplies and adds below into fmla.
#include <arm_neon.h>

#include <cstring>

#include "image/gray/weighted_luma_vector.h"

namespace {

struct Isa {
    static constexpr size_t lanes = 4;
    using Floats = float32x4_t;
    using Ints = int32x4_t;
    using Mask = uint32x4_t;

    static Floats load(const uint8_t* bytes)
    {
        uint32_t four;
        std::memcpy(&four, bytes, sizeof four);
        const uint8x8_t eight = vreinterpret_u8_u32(vdup_n_u32(four));
        return vcvtq_f32_u32(vmovl_u16(vget_low_u16(vmovl_u8(eight))));
    }
    static Floats scaled_sum(Floats R, Floats G, Floats B)
    {
        return vaddq_f32(vaddq_f32(vmulq_n_f32(R, red_weight), vmulq_n_f32(G, green_weight)),
                         vmulq_n_f32(B, blue_weight));
    }
    static Ints truncate(Floats v) { return vcvtq_s32_f32(v); }  // toward zero
    static Ints level(Ints x) { return vshrq_n_s32(x, fraction_bits); }
    static Mask unsure(Ints x)
    {
        // x + 1 has none of the bits 1..11 set exactly when x's fraction bits are all 0 or all 1.
        const int32x4_t bits = vandq_s32(vaddq_s32(x, vdupq_n_s32(1)), vdupq_n_s32(4094));
        return vceqq_s32(bits, vdupq_n_s32(0));
    }
    static Mask either(Mask a, Mask b) { return vorrq_u32(a, b); }
    static Mask neutral(Floats R, Floats G, Floats B) { return vandq_u32(vceqq_f32(R, G), vceqq_f32(G, B)); }
    static unsigned bits(Mask m)
    {
        const uint32x4_t weights = {1, 2, 4, 8};
        return vaddvq_u32(vandq_u32(m, weights));
    }
    static Ints neutral_levels(Floats R)
    {
        int32x4_t gray = vcvtq_s32_f32(R);
        // Adding the all-ones compare result subtracts 1 where gray is an exception.
        for (int32_t value : neutral_exceptions) {
            gray = vaddq_s32(gray, vreinterpretq_s32_u32(vceqq_s32(gray, vdupq_n_s32(value))));
        }
        return gray;
    }
    static Ints select(Mask m, Ints if_set, Ints if_clear) { return vbslq_s32(m, if_set, if_clear); }
    static void store(Ints v, int32_t* out) { vst1q_s32(out, v); }
    static Ints load(const int32_t* in) { return vld1q_s32(in); }
    static void store_quad(uint8_t* out, Ints a, Ints b, Ints c, Ints d)
    {
        // Levels lie in 0 .. 255: narrowing keeps them whole.
        const uint16x8_t low =
            vcombine_u16(vmovn_u32(vreinterpretq_u32_s32(a)), vmovn_u32(vreinterpretq_u32_s32(b)));
        const uint16x8_t high =
            vcombine_u16(vmovn_u32(vreinterpretq_u32_s32(c)), vmovn_u32(vreinterpretq_u32_s32(d)));
        vst1q_u8(out, vcombine_u8(vmovn_u16(low), vmovn_u16(high)));
    }
};

}  // namespace

void weighted_luma_pixels_neon(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                               int64_t count) noexcept
{
    weighted_luma_vector<Isa>(red, green, blue, gray, count);
}
