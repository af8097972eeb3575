#include "svm/training_objective.h"

#include <cstddef>

#include "common/truncation.h"

namespace {

// Four partial sums keep several additions in flight.
template <class Element>
double dot(const double* w, const Element* x, size_t n) noexcept
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        s0 += w[k] * x[k];
        s1 += w[k + 1] * x[k + 1];
        s2 += w[k + 2] * x[k + 2];
        s3 += w[k + 3] * x[k + 3];
    }
    for (; k < n; ++k) s0 += w[k] * x[k];
    return (s0 + s1) + (s2 + s3);
}

template <class Element>
TrainingObjective evaluate(const Element* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                           const double* W) noexcept
{
    TrainingObjective result;
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    const bool has_bias = has_bias_weight(settings.biasmult);
    const int64_t poll_interval = steps_between_polls(d);
    int64_t until_poll = poll_interval;

    double loss_sum = 0.0;
    for (int32_t j = 0; j < N; ++j) {
        if (--until_poll == 0) {
            until_poll = poll_interval;
            if (settings.monitor.poll != nullptr && settings.monitor.poll(settings.monitor.context, j)) {
                result.stopped = true;
                return result;
            }
        }
        double score = dot(W, X + static_cast<size_t>(j) * features, features);
        if (has_bias) score += settings.biasmult * W[features];
        const double label = static_cast<double>(truncate_to_int32(y[j]));
        const double hinge = 1.0 - label * score;
        // max(0, hinge), but a NaN score makes the loss NaN rather than 0.
        if (!(hinge <= 0.0)) loss_sum += settings.weights == nullptr ? hinge : settings.weights[j] * hinge;
    }

    const size_t length = weight_count(d, settings.biasmult);
    double squares = 0.0;
    for (size_t k = 0; k < length; ++k) squares += W[k] * W[k];
    result.regularizer = settings.lambda / 2.0 * squares;
    result.loss = N > 0 ? loss_sum / N : 0.0;
    result.objective = result.regularizer + result.loss;
    return result;
}

}  // namespace

TrainingObjective training_objective(const double* X, const double* y, int32_t d, int32_t N,
                                     const FitSettings& settings, const double* W) noexcept
{
    return evaluate(X, y, d, N, settings, W);
}

TrainingObjective training_objective(const float* X, const double* y, int32_t d, int32_t N,
                                     const FitSettings& settings, const double* W) noexcept
{
    return evaluate(X, y, d, N, settings, W);
}
