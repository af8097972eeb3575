#include "svm/model_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// One group on `count` examples (columns, or the first count when null):
// its models' weights run in iterates, and their averages go to means (or
// nowhere when null).
void lay_out_group(const ModelPlan& plan, int32_t count, const int32_t* columns, double* iterates, double* means,
                   bool iterates_zeroed, FitGroup& group, FitModel* models)
{
    const int32_t class_count = plan.class_count > 0 ? plan.class_count : 1;
    const int32_t model_count = plan.model_count();
    const int64_t length = plan.length;
    group.count = count;
    group.columns = columns;
    group.steps = count > 0 ? steps_for_group(plan.nbite, plan.nbite_corrected, count) : 0;
    group.start_state = plan.start_state;
    group.models = models;
    group.model_count = model_count;
    for (int32_t l = 0; l < plan.path_length; ++l) {
        for (int32_t k = 0; k < class_count; ++k) {
            const int32_t m = k + class_count * l;
            FitModel& model = models[m];
            model.W = iterates + static_cast<int64_t>(m) * length;
            if (plan.w0 != nullptr) {
                std::memcpy(model.W, plan.w0 + (plan.w0_per_model ? m * length : 0),
                            static_cast<size_t>(length) * sizeof(double));
            } else if (!iterates_zeroed) {
                std::fill(model.W, model.W + length, 0.0);
            }
            if (means != nullptr) {
                model.average = means + static_cast<int64_t>(m) * length;
                model.average_after = plan.averaging == Averaging::after_step
                                          ? plan.average_after
                                          : plan.start_step + group.steps - group.steps / 2;
            }
            model.lambda = plan.path[l].for_examples(count);
            model.weights = plan.example_weights == nullptr ? nullptr
                            : plan.weights_per_class        ? plan.example_weights + static_cast<int64_t>(k) * plan.N
                                                            : plan.example_weights;
            model.positive_class = plan.class_count > 0 ? k : -1;
        }
    }
}

}  // namespace

void lay_out_models(const ModelPlan& plan, const ModelStorage& storage, FitGroup* groups, FitModel* models)
{
    const bool averaging = plan.averaging != Averaging::none;
    const int32_t model_count = plan.model_count();
    // Only the result comes zero-filled.
    lay_out_group(plan, plan.N, nullptr, averaging ? storage.last : storage.result,
                  averaging ? storage.result : nullptr, !averaging, groups[0], models);
    for (int32_t f = 0; f < plan.fold_count; ++f) {
        const int64_t at = static_cast<int64_t>(f) * model_count * plan.length;
        lay_out_group(plan, static_cast<int32_t>(storage.training_begin[f + 1] - storage.training_begin[f]),
                      storage.training + storage.training_begin[f], storage.fold_iterates + at,
                      averaging ? storage.fold_means + at : nullptr, false, groups[f + 1],
                      models + static_cast<int64_t>(f + 1) * model_count);
    }
}
