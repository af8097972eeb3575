// The solver on 4-lane AVX vectors. Built with -mavx2 and without FMA, so
// products and sums round separately as in the plain loop.
#include <immintrin.h>

#include "svm/fit_weights.h"

namespace {
struct Isa {
    using V = __m256d;
    static constexpr size_t lanes = 4;
    static V zero() { return _mm256_setzero_pd(); }
    static V set1(double value) { return _mm256_set1_pd(value); }
    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static V load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static double sum(V v)
    {
        const __m128d low = _mm256_castpd256_pd128(v);
        const __m128d high = _mm256_extractf128_pd(v, 1);
        return ((_mm_cvtsd_f64(low) + _mm_cvtsd_f64(_mm_unpackhi_pd(low, low))) + _mm_cvtsd_f64(high)) +
               _mm_cvtsd_f64(_mm_unpackhi_pd(high, high));
    }
};
}  // namespace

#include "svm/fit_weights_vector.h"

bool fit_batch_avx2(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}

bool fit_batch_avx2(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return vector_batch<Isa>(X, d, batch, groups, group_count);
}
