// The solver on 2-lane SSE2 vectors: the x86-64 baseline.
#include <emmintrin.h>

#include "svm/fit_weights.h"

namespace {
struct Isa {
    using V = __m128d;
    static constexpr size_t lanes = 2;
    static V zero() { return _mm_setzero_pd(); }
    static V set1(double value) { return _mm_set1_pd(value); }
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static V load(const float* p)
    {
        return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static double sum(V v) { return _mm_cvtsd_f64(v) + _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
};
}  // namespace

#include "svm/fit_weights_vector.h"

bool fit_batch_sse2(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}

bool fit_batch_sse2(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}
