// The models of one linsvm_fit call and what each trains on: one model per
// class (or one) and per value of the lambda path, class first (model
// m = k + class_count * l), trained on all examples (group 0) and, with
// folds, on each fold's training examples (group f + 1). Host-free, over the
// arrays the entry hands over.
#pragma once

#include <cstdint>

#include "svm/fit_weights.h"
#include "svm/trainer_options.h"

// Averaged iterates: none, those of the second half of each group's steps,
// or those after a given step.
enum class Averaging { none, second_half, after_step };

// What the options make of the models.
struct ModelPlan {
    int32_t N = 0;           // examples
    int64_t length = 0;      // weights per model, weight_count(d, biasmult)
    int32_t class_count = 0; // one-vs-rest classes, 0 for models of the labels as they are
    const LambdaValue* path = nullptr;
    int32_t path_length = 1;
    int32_t fold_count = 0;  // 0: no cross-validation
    // Example weights: N, a column of N per class (weights_per_class), or null.
    const double* example_weights = nullptr;
    bool weights_per_class = false;
    // Starting weights: length, a column of length per model (w0_per_model),
    // or null for zeros.
    const double* w0 = nullptr;
    bool w0_per_model = false;
    Averaging averaging = Averaging::none;
    int64_t average_after = 0;  // Averaging::after_step
    int64_t start_step = 0;
    int32_t nbite = 0;
    bool nbite_corrected = false;  // each group takes 20 steps per example
    uint32_t start_state = 0;      // the sampler's working state before the first draw

    // Models per group: one per class (or one) and per value of the path.
    int32_t model_count() const { return (class_count > 0 ? class_count : 1) * path_length; }
    int32_t group_count() const { return fold_count + 1; }
};

// Where the models' weights go, each model_count * length doubles per group.
struct ModelStorage {
    // The result, zero-filled: the weights returned, the means when averaging.
    double* result = nullptr;
    // Averaging: the last iterates of the models on all examples.
    double* last = nullptr;
    // Folds: the iterates of every fold's models, fold after fold, and their
    // means when averaging.
    double* fold_iterates = nullptr;
    double* fold_means = nullptr;
    // Fold f's training columns: training[training_begin[f] .. training_begin[f + 1]) (split_folds).
    const int32_t* training = nullptr;
    const int64_t* training_begin = nullptr;
};

// Sets up groups[0 .. group_count) and their models, model_count per group
// in models (group g's from models + g * model_count), with the starting
// weights in place; the batch then trains them (fit_batch).
void lay_out_models(const ModelPlan& plan, const ModelStorage& storage, FitGroup* groups, FitModel* models);
