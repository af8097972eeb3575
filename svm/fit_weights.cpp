#include "svm/fit_weights.h"

#include <cmath>
#include <cstddef>

#include "common/cpu_features.h"
#include "common/truncation.h"
#include "svm/sampler.h"

namespace {

// The same steps as written, for double or float examples (a float is
// widened exactly when it meets a double).
template <class Element>
void plain_loop(const Element* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult, int32_t T,
                double* W)
{
    const bool has_bias = biasmult > 0.0;
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    const double sqrt_lambda = std::sqrt(lambda);
    const double eps = 2.220446049250313e-16;

    // The weights the steps describe are a * W: a step that keeps the margin
    // only shrinks a and leaves W untouched.
    double a = 1.0;

    for (int32_t t = 1; t <= T; ++t) {
        const int32_t j = sampler_draw(N);
        const double label = static_cast<double>(truncate_to_int32(y[j]));
        const Element* example = X + static_cast<size_t>(j) * features;

        double s = 0.0;
        for (size_t k = 0; k < features; ++k) s += W[k] * example[k];
        if (has_bias) s += biasmult * W[features];

        const double m = (s * a) * label;
        const double eta = 1.0 / (static_cast<double>(t) * lambda);
        // Kept in this form rather than 1 - 1/t: it is exactly 0 at t = 1 only
        // when lambda * (1/lambda) rounds to 1.
        const double a_dec = a * (1.0 - lambda * eta);

        if (m < 1.0) {
            const double c = eta * label;
            double q = 0.0;
            for (size_t k = 0; k < features; ++k) {
                const double w = W[k] * a_dec + example[k] * c;
                W[k] = w;
                q += w * w;
            }
            if (has_bias) {
                const double w = W[features] * a_dec + c * biasmult;
                W[features] = w;
                q += w * w;
            }
            // Projection onto the ball of radius 1/sqrt(lambda); NaN falls back to 1.
            a = 1.0 / (std::sqrt(q + eps) * sqrt_lambda);
            if (!(a <= 1.0)) a = 1.0;
        } else {
            // Also taken when m is NaN.
            a = a_dec;
        }
    }

    const size_t length = features + (has_bias ? 1 : 0);
    for (size_t k = 0; k < length; ++k) W[k] *= a;
}

}  // namespace

// The fastest variant is the first the processor runs; the plain loop where
// the build has no vector variant.
void fit_weights(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult, int32_t T,
                 double* W)
{
    const std::vector<FitVariant> variants = fit_weights_variants();
    const FitDouble fit = variants.empty() ? FitDouble{fit_weights_plain} : variants.front().fit_double;
    fit(X, y, d, N, lambda, biasmult, T, W);
}

void fit_weights(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult, int32_t T,
                 double* W)
{
    const std::vector<FitVariant> variants = fit_weights_variants();
    const FitSingle fit = variants.empty() ? FitSingle{fit_weights_plain} : variants.front().fit_single;
    fit(X, y, d, N, lambda, biasmult, T, W);
}

void fit_weights_plain(const double* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                       int32_t T, double* W)
{
    plain_loop(X, y, d, N, lambda, biasmult, T, W);
}

void fit_weights_plain(const float* X, const double* y, int32_t d, int32_t N, double lambda, double biasmult,
                       int32_t T, double* W)
{
    plain_loop(X, y, d, N, lambda, biasmult, T, W);
}

std::vector<FitVariant> fit_weights_variants()
{
    std::vector<FitVariant> variants;
#if defined(KERNELS_HAVE_X86_64)
    if (cpu_has_avx2()) variants.push_back({"avx2", fit_weights_avx2, fit_weights_avx2});
    variants.push_back({"sse2", fit_weights_sse2, fit_weights_sse2});
#elif defined(KERNELS_HAVE_NEON)
    variants.push_back({"neon", fit_weights_neon, fit_weights_neon});
#endif
    return variants;
}
