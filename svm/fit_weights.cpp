#include "svm/fit_weights.h"

#include <cmath>
#include <cstddef>

#include "common/cpu_features.h"
#include "svm/sampler.h"
#include "svm/step_rule.h"

namespace {

// The same steps as written, for double or float examples (a float is
// widened exactly when it meets a double).
template <class Element>
FitResult plain_loop(const Element* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                     double* W) noexcept
{
    const StepRule rule(d, N, settings);
    const size_t features = rule.features;
    const int64_t poll_interval = steps_between_polls(d);
    const int64_t T = settings.steps;

    // The weights the steps describe are a * W: a step that keeps the margin
    // only shrinks a and leaves W untouched.
    double a = 1.0;
    FitResult result;
    int64_t until_poll = poll_interval;

    // Counted in 64 bits: T may be INT32_MAX.
    for (int64_t step = 1; step <= T; ++step) {
        if (--until_poll == 0) {
            until_poll = poll_interval;
            if (settings.monitor.poll != nullptr && settings.monitor.poll(settings.monitor.context, step - 1)) {
                result.stopped = true;
                break;
            }
        }
        const int32_t j = sampler_draw(N);
        const double label = StepRule::label(y[j]);
        const Element* example = X + static_cast<size_t>(j) * features;

        double s = 0.0;
        for (size_t k = 0; k < features; ++k) s += W[k] * example[k];
        if (rule.has_bias) s += rule.biasmult * W[features];
        if (!std::isfinite(s)) ++result.nonfinite_scores;

        const double m = (s * a) * label;
        const double eta = rule.eta(step);
        const double a_dec = rule.decayed(a, eta);

        if (m < 1.0) {
            const double c = rule.update_factor(eta, label, j);
            double q = 0.0;
            for (size_t k = 0; k < features; ++k) {
                const double w = W[k] * a_dec + example[k] * c;
                W[k] = w;
                q += w * w;
            }
            if (rule.has_bias) {
                const double w = W[features] * a_dec + c * rule.biasmult;
                W[features] = w;
                q += w * w;
            }
            a = rule.projected(q);
            ++result.violations;
        } else {
            // Also taken when m is NaN.
            a = a_dec;
        }
        result.steps_made = step;
    }

    const size_t length = weight_count(d, settings.biasmult);
    for (size_t k = 0; k < length; ++k) W[k] *= a;
    return result;
}

}  // namespace

FitVariant fit_weights_chosen()
{
    // Once per load: the processor does not change under a loaded module, and
    // a call then costs no processor query, environment read or list.
    static const FitVariant chosen = [] {
        const std::vector<FitVariant> variants = fit_weights_variants();
        return variants.empty() ? FitVariant{"plain", fit_weights_plain, fit_weights_plain} : variants.front();
    }();
    return chosen;
}

FitResult fit_weights(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings, double* W)
{
    return fit_weights_chosen().fit_double(X, y, d, N, settings, W);
}

FitResult fit_weights(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings, double* W)
{
    return fit_weights_chosen().fit_single(X, y, d, N, settings, W);
}

FitResult fit_weights_plain(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                            double* W) noexcept
{
    return plain_loop(X, y, d, N, settings, W);
}

FitResult fit_weights_plain(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                            double* W) noexcept
{
    return plain_loop(X, y, d, N, settings, W);
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

double projection_radius(const double* weights, int32_t N)
{
    if (weights == nullptr || N <= 0) return 1.0;
    // In index order: N weights of 1 sum to N exactly, so the radius is exactly 1.
    double sum = 0.0;
    for (int32_t j = 0; j < N; ++j) sum += weights[j];
    return std::sqrt(sum / N);
}

int64_t steps_between_polls(int32_t d)
{
    // A step reads at least its example; about 2^20 elements take a
    // millisecond or less, so a poll every that many costs nothing per step.
    const int64_t features = d > 0 ? d : 0;
    const int64_t steps = (int64_t{1} << 20) / (features + 1);
    return steps > 0 ? steps : 1;
}
