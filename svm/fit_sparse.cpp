// The solver's steps on sparse examples. The weights are scale * W, as on the
// dense path, but a step never multiplies all of W by the decayed scale: the
// update W * a_dec + x * factor is kept as a_dec * (W + x * (factor / a_dec)),
// which changes W only where x is non-zero (and at the bias weight). The
// squared norm of W, which the projection needs, is kept up to date from the
// elements changed, and summed in full again after a few times W's length of
// changes, so that rounding never accumulates for long.
#include <cmath>
#include <cstddef>

#include "common/prefetch.h"
#include "svm/batch_rounds.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"
#include "svm/step_rule.h"

namespace {

// A violating step adds the example divided by the scale to W: below this
// scale the scale is folded into W first (one pass over W), so that W stays
// far from overflow. The scale is exactly 0 after the first step of a fresh
// run, so that fold happens once per run at least.
constexpr double smallest_scale = 1e-100;

// The squared norm is summed in full after this many times W's length of
// changed elements: a pass over W per that many elements changed.
constexpr int64_t changes_between_sums = 4;

inline double value_of(double v)
{
    return v;
}

inline double value_of(bool v)
{
    return v ? 1.0 : 0.0;
}


double sum_of_squares(const double* W, size_t length) noexcept
{
    double q = 0.0;
    for (size_t k = 0; k < length; ++k) q += W[k] * W[k];
    return q;
}

// The steps of the models [first, end) of a group up to step `until`: each
// drawn example serves every model of the bunch in turn.
template <class Value>
void sparse_bunch(const SparseExamples<Value>& X, int32_t d, const FitBatch& batch, FitGroup& group, int32_t first,
                  int32_t end, int64_t until) noexcept
{
    FitModel* const models = group.models;
    const int64_t T = group.steps;
    const int64_t last = until < T ? until : T;
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    const size_t length = weight_count(d, batch.biasmult);
    const int64_t sum_after = changes_between_sums * static_cast<int64_t>(length);
    auto column = [&](int32_t j) { return group.columns != nullptr ? group.columns[j] : j; };

    // Counted in 64 bits: T may be INT32_MAX.
    int64_t step = models[first].result.steps_made + 1;
    if (step == 1) {
        for (int32_t m = first; m < end; ++m) {
            models[m].squared_norm = sum_of_squares(models[m].W, length);
            models[m].changed = 0;
        }
    }
    // The next step's draw is taken one step early, so that its example can be
    // on its way from memory; `state` stays the state after the draws of the
    // steps made.
    uint32_t state = models[first].sampler_state;
    uint32_t next_state = state;
    int32_t c_next = step <= last ? column(sampler_draw_from(next_state, group.count)) : 0;
    for (; step <= last; ++step) {
        const int32_t c = c_next;
        state = next_state;
        if (step < last) {
            c_next = column(sampler_draw_from(next_state, group.count));
            const int64_t at = X.starts[c_next];
            prefetch(X.rows + at);
            prefetch(X.values + at);
            prefetch(batch.y + c_next);
        }
        const int64_t begin = X.starts[c];
        const int64_t stop = X.starts[c + 1];
        const int64_t* const rows = X.rows;
        const Value* const values = X.values;
        for (int32_t m = first; m < end; ++m) {
            FitModel& model = models[m];
            const StepRule rule(d, batch, model);
            double* W = model.W;
            const double a = model.scale;
            const double label = rule.label_of(c);

            double s = 0.0;
            for (int64_t k = begin; k < stop; ++k) s += W[rows[k]] * value_of(values[k]);
            if (rule.has_bias) s += rule.biasmult * W[features];
            if (!std::isfinite(s)) ++model.result.nonfinite_scores;

            const double margin = (s * a) * label;
            const double eta = rule.eta(step);
            const double a_dec = rule.decayed(a, eta);

            if (margin < 1.0) {
                const double factor = rule.update_factor(eta, label, c);
                double base = a_dec;
                // Also taken for a scale of 0 (or below). A NaN scale (lambda
                // 0 or NaN) is left to make the weights NaN at the end, without
                // a pass over W at every step.
                if (base < smallest_scale) {
                    // W changes everywhere: the pending part of the average
                    // is added to its stored sum first.
                    if (model.average != nullptr) {
                        for (size_t k = 0; k < length; ++k) model.average[k] += model.scale_sum * W[k];
                        model.scale_sum = 0.0;
                    }
                    for (size_t k = 0; k < length; ++k) W[k] *= base;
                    model.squared_norm = sum_of_squares(W, length);
                    model.changed = 0;
                    base = 1.0;
                }
                const double g = factor / base;
                double q = model.squared_norm;
                // The average is the stored sum plus the pending sum of
                // scales times W: where W changes, the stored sum takes the
                // opposite of that change, so the whole stays as it was.
                double* const A = model.scale_sum != 0.0 ? model.average : nullptr;
                const double S = model.scale_sum;
                for (int64_t k = begin; k < stop; ++k) {
                    const int64_t i = rows[k];
                    const double before = W[i];
                    W[i] = before + value_of(values[k]) * g;
                    q += W[i] * W[i] - before * before;
                    if (A != nullptr) A[i] -= S * (W[i] - before);
                }
                if (rule.has_bias) {
                    const double before = W[features];
                    W[features] = before + rule.biasmult * g;
                    q += W[features] * W[features] - before * before;
                    if (A != nullptr) A[features] -= S * (W[features] - before);
                }
                model.changed += stop - begin + 1;
                if (model.changed >= sum_after) {
                    q = sum_of_squares(W, length);
                    model.changed = 0;
                }
                // Rounding may leave a norm near 0 just below it.
                if (q < 0.0) q = 0.0;
                model.squared_norm = q;
                model.scale = base * rule.projected((base * base) * q);
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

// The mean count of non-zeros per example, rounded up: what a step reads.
template <class Value>
int64_t mean_nonzeros(const SparseExamples<Value>& X, const FitGroup* groups, int32_t group_count)
{
    int32_t N = 0;
    for (int32_t g = 0; g < group_count; ++g) {
        if (groups[g].columns == nullptr && groups[g].count > N) N = groups[g].count;
    }
    if (N == 0) return 1;
    return (X.starts[N] - X.starts[0] + N - 1) / N;
}

template <class Value>
bool sparse_batch(const SparseExamples<Value>& X, int32_t d, const FitBatch& batch, FitGroup* groups,
                  int32_t group_count) noexcept
{
    return run_batch_rounds(d, mean_nonzeros(X, groups, group_count), batch, groups, group_count,
                            [&](FitGroup& group, int32_t first, int32_t end, int64_t until) noexcept {
                                sparse_bunch(X, d, batch, group, first, end, until);
                            });
}

}  // namespace

bool fit_batch(const SparseExamples<double>& X, int32_t d, const FitBatch& batch, FitGroup* groups,
               int32_t group_count) noexcept
{
    return sparse_batch(X, d, batch, groups, group_count);
}

bool fit_batch(const SparseExamples<bool>& X, int32_t d, const FitBatch& batch, FitGroup* groups,
               int32_t group_count) noexcept
{
    return sparse_batch(X, d, batch, groups, group_count);
}

bool sparse_structure_valid(const int64_t* rows, const int64_t* starts, int32_t d, int32_t N) noexcept
{
    if (N < 0 || starts == nullptr) return false;
    if (starts[0] != 0) return false;
    for (int32_t j = 0; j < N; ++j) {
        if (starts[j + 1] < starts[j]) return false;
    }
    const int64_t nonzeros = starts[N];
    if (nonzeros > 0 && rows == nullptr) return false;
    for (int64_t k = 0; k < nonzeros; ++k) {
        if (rows[k] < 0 || rows[k] >= d) return false;
    }
    return true;
}
