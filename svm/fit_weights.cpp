#include "svm/fit_weights.h"

#include <cmath>
#include <cstddef>

#include "common/cpu_features.h"
#include "common/variant_choice.h"
#include "svm/batch_rounds.h"
#include "svm/sampler.h"
#include "svm/step_rule.h"

namespace {

// The steps as written, for double or float examples (a float is widened
// exactly when it meets a double): each drawn example serves every model of
// the bunch in turn.
template <class Element>
void plain_bunch(const Element* X, int32_t d, const FitBatch& batch, FitGroup& group, int32_t first, int32_t end,
                 int64_t until) noexcept
{
    FitModel* const models = group.models;
    const int64_t T = group.steps;
    const int64_t last = until < T ? until : T;
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    uint32_t state = models[first].sampler_state;

    // Counted in 64 bits: T may be INT32_MAX.
    int64_t step = models[first].result.steps_made + 1;
    for (; step <= last; ++step) {
        const int32_t j = sampler_draw_from(state, group.count);
        const int32_t c = group.columns != nullptr ? group.columns[j] : j;
        const Element* example = X + static_cast<size_t>(c) * features;
        for (int32_t m = first; m < end; ++m) {
            FitModel& model = models[m];
            const StepRule rule(d, batch, model);
            double* W = model.W;
            // The weights the steps describe are a * W: a step that keeps the
            // margin only shrinks a and leaves W untouched.
            const double a = model.scale;
            const double label = rule.label_of(c);

            double s = 0.0;
            for (size_t k = 0; k < features; ++k) s += W[k] * example[k];
            if (rule.has_bias) s += rule.biasmult * W[features];
            if (!std::isfinite(s)) ++model.result.nonfinite_scores;

            const double margin = (s * a) * label;
            const double eta = rule.eta(step);
            const double a_dec = rule.decayed(a, eta);

            if (margin < 1.0) {
                const double factor = rule.update_factor(eta, label, c);
                // W is about to change: the pending part of the average is
                // added to its stored sum in the same pass.
                double* const A = model.average;
                const double S = model.scale_sum;
                const bool flush = A != nullptr && S != 0.0;
                double q = 0.0;
                for (size_t k = 0; k < features; ++k) {
                    if (flush) A[k] += S * W[k];
                    const double w = W[k] * a_dec + example[k] * factor;
                    W[k] = w;
                    q += w * w;
                }
                if (flush && rule.has_bias) A[features] += S * W[features];
                model.scale_sum = 0.0;
                q += rule.update_bias(W, a_dec, factor);
                model.scale = rule.projected(q);
                ++model.result.violations;
            } else {
                // Also taken when the margin is NaN.
                model.scale = a_dec;
            }
            rule.add_to_average(model, step);
        }
    }
    for (int32_t m = first; m < end; ++m) {
        models[m].result.steps_made = step - 1;
        models[m].sampler_state = state;
    }
}

template <class Element>
bool plain_batch(const Element* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return run_batch_rounds(d, d, batch, groups, group_count,
                            [&](FitGroup& group, int32_t first, int32_t end, int64_t until) noexcept {
                                plain_bunch(X, d, batch, group, first, end, until);
                            });
}

}  // namespace

FitVariant fit_weights_chosen()
{
    static const FitVariant chosen = fastest_or_plain(
        fit_weights_variants(), FitVariant{"plain", fit_batch_plain, fit_batch_plain});
    return chosen;
}

bool fit_batch(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count)
{
    return fit_weights_chosen().batch_double(X, d, batch, groups, group_count);
}

bool fit_batch(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count)
{
    return fit_weights_chosen().batch_single(X, d, batch, groups, group_count);
}

bool fit_batch_plain(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return plain_batch(X, d, batch, groups, group_count);
}

bool fit_batch_plain(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return plain_batch(X, d, batch, groups, group_count);
}

std::vector<FitVariant> fit_weights_variants()
{
    std::vector<FitVariant> variants;
#if defined(KERNELS_HAVE_X86_64)
    if (cpu_has_avx2()) variants.push_back({"avx2", fit_batch_avx2, fit_batch_avx2});
    variants.push_back({"sse2", fit_batch_sse2, fit_batch_sse2});
#elif defined(KERNELS_HAVE_NEON)
    variants.push_back({"neon", fit_batch_neon, fit_batch_neon});
#endif
    return variants;
}

double projection_radius(const double* weights, const int32_t* columns, int32_t N)
{
    if (weights == nullptr || N <= 0) return 1.0;
    // In index order: N weights of 1 sum to N exactly, so the radius is exactly 1.
    double sum = 0.0;
    for (int32_t j = 0; j < N; ++j) sum += weights[columns != nullptr ? columns[j] : j];
    return std::sqrt(sum / N);
}

int64_t steps_between_polls(int64_t elements)
{
    // A step reads at least its example; about 2^20 elements take a
    // millisecond or less, so a poll every that many costs nothing per step.
    const int64_t read = elements > 0 ? elements : 0;
    const int64_t steps = (int64_t{1} << 20) / (read + 1);
    return steps > 0 ? steps : 1;
}
