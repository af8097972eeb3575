// Stochastic sub-gradient solver for the L2-regularised hinge loss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Whether the weight vector has a bias weight (after the d feature weights):
// exactly when biasmult > 0. A negative or NaN biasmult is treated as 0: no
// bias anywhere. The one rule that the caller sizing W and the solver filling
// it both read.
inline bool has_bias_weight(double biasmult)
{
    return biasmult > 0.0;
}

// The length of W for d features: d, plus 1 for the bias weight.
inline size_t weight_count(int32_t d, double biasmult)
{
    return (d > 0 ? static_cast<size_t>(d) : 0) + (has_bias_weight(biasmult) ? 1 : 0);
}

// Lets a long call be watched and stopped: poll(context, steps_made) is called
// between steps, about every few milliseconds of work (not at every step, and
// never after the last); when it returns true the solver stops there. It runs
// on the solver's thread.
struct FitMonitor {
    bool (*poll)(void* context, int64_t steps_made) = nullptr;
    void* context = nullptr;
};

// How a call trains, besides its data.
struct FitSettings {
    double lambda = 0.01;
    double biasmult = 1.0;
    int32_t steps = 0;       // T; nothing is trained when T <= 0
    int64_t start_step = 0;  // steps are counted start_step + 1 .. start_step + T (step size 1/(t*lambda))
    // N example weights (finite, >= 0), or null for weights of 1. A weight
    // scales its example's update, and the projection radius becomes
    // sqrt(mean of the weights) / sqrt(lambda).
    const double* weights = nullptr;
    FitMonitor monitor;
};

struct FitResult {
    int64_t steps_made = 0;
    int64_t violations = 0;  // steps that took the margin-violating branch
    // Steps whose score was NaN or infinite: an example holding NaN or Inf
    // (which never trains as meant), or weights that overflowed.
    int64_t nonfinite_scores = 0;
    bool stopped = false;    // the monitor stopped the call before its last step
};

// Trains in place. X holds N examples of d features, one per column
// (element k of example j at X[k + j*d]), as doubles or as floats; y holds N
// labels. W has weight_count(d, biasmult) elements and holds the starting
// weights (zeros for a fresh run); on return it holds the weights after the
// steps made. Each step draws one example with sampler_draw(N); the caller
// seeds the sampler before and stores it after, and the stored state then
// reflects exactly the steps made, also when the monitor stopped the call.
// N must be at least 1 whenever T >= 1.
//
// Float examples are widened to double element by element, which is exact:
// training on float X gives, bit for bit, what training on the same values
// as doubles gives, with half the bytes read per step.
//
// Runs the variant chosen for this processor (fit_weights_chosen). The
// variants sum the two inner sums in a different order from
// fit_weights_plain, so results agree with it to a few units in the last
// place; draws and sampler state are equal. Allocates nothing, but for the
// variant list at the first call, which may throw std::bad_alloc.
FitResult fit_weights(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings, double* W);
FitResult fit_weights(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings, double* W);

// The same steps as plain loops, each sum accumulated in index order: the
// reference that the fast variants are tested against.
FitResult fit_weights_plain(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                            double* W) noexcept;
FitResult fit_weights_plain(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                            double* W) noexcept;

using FitDouble = FitResult (*)(const double*, const double*, int32_t, int32_t, const FitSettings&, double*) noexcept;
using FitSingle = FitResult (*)(const float*, const double*, int32_t, int32_t, const FitSettings&, double*) noexcept;

// The vectorised variants: SSE2 (any x86-64) and AVX2 (x86-64, call only
// when cpu_has_avx2() is true); Advanced SIMD (arm64).
FitResult fit_weights_sse2(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;
FitResult fit_weights_sse2(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;
FitResult fit_weights_avx2(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;
FitResult fit_weights_avx2(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;
FitResult fit_weights_neon(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;
FitResult fit_weights_neon(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           double* W) noexcept;

struct FitVariant {
    const char* name;
    FitDouble fit_double;
    FitSingle fit_single;
};

// The vectorised variants this processor runs, widest first (none where the
// build has only the plain loops). For tests and benchmarks.
std::vector<FitVariant> fit_weights_variants();

// The variant fit_weights runs: the first of fit_weights_variants, or the
// plain loops, chosen once when the module is loaded (at its first call).
FitVariant fit_weights_chosen();

// sqrt(mean of the N weights), the factor of the projection radius; exactly 1
// without weights (null) and for weights that are all 1.
double projection_radius(const double* weights, int32_t N);

// How many steps make about a millisecond of work for examples of d
// features: how often the solver polls its monitor.
int64_t steps_between_polls(int32_t d);
