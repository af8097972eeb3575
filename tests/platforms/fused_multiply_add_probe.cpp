// Two fused multiply-adds on purpose, one scalar and one vector, so that the
// check for fused instructions can be shown to find them (never linked into
// anything shipped).
#if defined(__aarch64__)
#include <arm_neon.h>

double fused_scalar(double a, double b, double c)
{
    return __builtin_fma(a, b, c);
}

float64x2_t fused_vector(float64x2_t a, float64x2_t b, float64x2_t c)
{
    return vfmaq_f64(c, a, b);
}
#elif defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>

double fused_scalar(double a, double b, double c)
{
    return __builtin_fma(a, b, c);
}

__m128d fused_vector(__m128d a, __m128d b, __m128d c)
{
    return _mm_fmadd_pd(a, b, c);
}
#endif
