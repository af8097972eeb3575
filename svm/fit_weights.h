// Stochastic sub-gradient solver for the L2-regularised hinge loss.
#pragma once

#include <cstdint>
#include <vector>

// Trains in place. X holds N examples of d features, one per column
// (element k of example j at X[k + j*d]), as doubles or as floats; y holds N
// labels. W is zero-filled by the caller and has d elements, plus the bias
// weight at index d when biasmult > 0 (a negative or NaN biasmult is treated
// as 0: no bias anywhere). Runs T steps (none when T <= 0), each drawing one
// example with sampler_draw(N); the caller seeds the sampler before and
// stores it after. N must be at least 1 whenever T >= 1.
//
// Float examples are widened to double element by element, which is exact:
// training on float X gives, bit for bit, what training on the same values
// as doubles gives, with half the bytes read per step.
//
// Runs the fastest variant the processor supports. The variants sum the two
// inner sums in a different order from fit_weights_plain, so results agree
// with it to a few units in the last place; draws and sampler state are equal.
void fit_weights(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult, int32_t T,
                 double* W);
void fit_weights(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult, int32_t T,
                 double* W);

// The same steps as plain loops, each sum accumulated in index order: the
// reference that the fast variants are tested against.
void fit_weights_plain(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                       int32_t T, double* W);
void fit_weights_plain(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                       int32_t T, double* W);

using FitDouble = void (*)(const double*, const double*, int32_t, int32_t, double, double, int32_t, double*);
using FitSingle = void (*)(const float*, const double*, int32_t, int32_t, double, double, int32_t, double*);

// The vectorised variants: SSE2 (any x86-64) and AVX2 (x86-64, call only
// when cpu_has_avx2() is true); Advanced SIMD (arm64).
void fit_weights_sse2(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);
void fit_weights_sse2(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);
void fit_weights_avx2(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);
void fit_weights_avx2(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);
void fit_weights_neon(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);
void fit_weights_neon(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                      int32_t T, double* W);

struct FitVariant {
    const char* name;
    FitDouble fit_double;
    FitSingle fit_single;
};

// The vectorised variants this processor runs, widest first (none where the
// build has only the plain loops). For tests and benchmarks.
std::vector<FitVariant> fit_weights_variants();
