// How a batch of models runs, one place for the plain loop (fit_weights.cpp)
// and the vector variants (fit_weights_vector.h), which supply only how a
// bunch of models of one group makes its steps. Internal linkage: files built
// for wider instruction sets include it too.
//
// The models are split into contiguous parts, one per thread; within a part,
// the models of one group (a bunch) step together. The batch advances in
// rounds: between two rounds the calling thread polls the monitor, so that
// every group stops at the same step; the threads of a round are started and
// joined inside it. What a round leaves for the next (the scale, the score of
// the next example, the sampler state) is kept in each model, so a part needs
// nothing of its own that lasts.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/parallel.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"

namespace {

inline void prepare_models(FitGroup* groups, int32_t group_count, size_t length) noexcept
{
    for (int32_t g = 0; g < group_count; ++g) {
        const FitGroup& group = groups[g];
        for (int32_t m = 0; m < group.model_count; ++m) {
            FitModel& model = group.models[m];
            model.result = FitResult();
            model.scale_sum = 0.0;
            if (model.average != nullptr) {
                for (size_t k = 0; k < length; ++k) model.average[k] = 0.0;
            }
            model.sqrt_lambda = std::sqrt(model.lambda);
            model.radius = projection_radius(model.weights, group.columns, group.count);
            model.scale = 1.0;
            model.score = 0.0;
            model.sampler_state = group.start_state;
        }
    }
}

// Runs the batch: run_bunch(group, first_model, end_model, until) makes the
// steps of those models of the group up to step `until` (or the group's
// last), starting where they stand. A step of one model reads about
// step_elements elements of its example (d for dense examples), which sets
// how often the monitor is polled and whether threads pay.
template <class RunBunch>
bool run_batch_rounds(int32_t d, int64_t step_elements, const FitBatch& batch, FitGroup* groups,
                      int32_t group_count, const RunBunch& run_bunch) noexcept
{
    const size_t length = weight_count(d, batch.biasmult);
    prepare_models(groups, group_count, length);
    int64_t total = 0;
    int64_t longest = 0;
    for (int32_t g = 0; g < group_count; ++g) {
        if (groups[g].steps <= 0 || groups[g].model_count <= 0) continue;
        total += groups[g].model_count;
        if (groups[g].steps > longest) longest = groups[g].steps;
    }

    bool stopped = false;
    if (total > 0) {
        const int64_t elements = step_elements > 0 ? step_elements : 0;
        // Threads only where a part has a few milliseconds of work.
        const int parts = split_parts(total, (elements + 1) * longest, int64_t{1} << 22, batch.threads);
        const int64_t per_part = (total + parts - 1) / parts;
        // About a millisecond of work between polls for one model alone; ten
        // or so when threads start for every round, so that starting them
        // costs next to nothing.
        int64_t interval = steps_between_polls(elements) / per_part * (parts > 1 ? 16 : 1);
        if (interval < 1) interval = 1;

        auto run_part = [&](int, int64_t begin, int64_t end, int64_t until) noexcept {
            int64_t first = 0;  // the flattened index of the group's first model
            for (int32_t g = 0; g < group_count && first < end; ++g) {
                FitGroup& group = groups[g];
                if (group.steps <= 0 || group.model_count <= 0) continue;
                const int64_t lo = begin > first ? begin : first;
                const int64_t hi = end < first + group.model_count ? end : first + group.model_count;
                if (lo < hi) {
                    run_bunch(group, static_cast<int32_t>(lo - first), static_cast<int32_t>(hi - first), until);
                }
                first += group.model_count;
            }
        };

        // As the one-model loop polls: before each step k * interval, with
        // the k * interval - 1 steps made so far.
        int64_t done = 0;
        for (int64_t k = 1;; ++k) {
            const int64_t boundary = k * interval - 1;
            const int64_t until = boundary < longest ? boundary : longest;
            if (until > done) {
                run_parts(total, parts, [&](int part, int64_t begin, int64_t end) noexcept {
                    run_part(part, begin, end, until);
                });
                done = until;
            }
            if (k * interval > longest) break;
            if (batch.monitor.poll != nullptr && batch.monitor.poll(batch.monitor.context, done)) {
                stopped = true;
                break;
            }
        }
    }

    // The scale kept apart is folded into the weights: also for a group that
    // made no step (its scale is 1). The pending part of an average is added
    // to its stored sum first.
    for (int32_t g = 0; g < group_count; ++g) {
        const FitGroup& group = groups[g];
        for (int32_t m = 0; m < group.model_count; ++m) {
            FitModel& model = group.models[m];
            double* const A = model.average;
            const int64_t n = model.result.averaged;
            if (A != nullptr && n > 0) {
                const double count = static_cast<double>(n);
                for (size_t k = 0; k < length; ++k) A[k] = (A[k] + model.scale_sum * model.W[k]) / count;
            }
            for (size_t k = 0; k < length; ++k) model.W[k] *= model.scale;
            if (A != nullptr && n == 0) {
                for (size_t k = 0; k < length; ++k) A[k] = model.W[k];
            }
            model.result.stopped = stopped && model.result.steps_made < group.steps;
        }
    }
    return stopped;
}

}  // namespace
