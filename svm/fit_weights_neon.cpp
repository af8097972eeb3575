// The solver on 2-lane Advanced SIMD vectors (arm64). Built with
// -ffp-contract=off, which keeps GCC from fusing the multiplies and adds into
// fmla: products and sums round separately as in the plain loop.
#include <arm_neon.h>

#include <cstddef>

#include "svm/fit_weights.h"

namespace {
struct Isa {
    using V = float64x2_t;
    static constexpr size_t lanes = 2;
    static V zero() { return vdupq_n_f64(0.0); }
    static V set1(double value) { return vdupq_n_f64(value); }
    static V load(const double* p) { return vld1q_f64(p); }
    static V load(const float* p) { return vcvt_f64_f32(vld1_f32(p)); }
    static void store(double* p, V v) { vst1q_f64(p, v); }
    static V add(V a, V b) { return vaddq_f64(a, b); }
    static V mul(V a, V b) { return vmulq_f64(a, b); }
    static double sum(V v) { return vgetq_lane_f64(v, 0) + vgetq_lane_f64(v, 1); }
};
}  // namespace

#include "svm/fit_weights_vector.h"

bool fit_batch_neon(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}

bool fit_batch_neon(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}
