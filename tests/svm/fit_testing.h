// What only the tests and the benchmarks call: one model trained alone and
// the objective of given weights, each written over the batch kernels that
// the entry calls, so that what they test is what the entry runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "svm/fit_weights.h"
#include "svm/model_scores.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"

// How one model trains, besides its data.
struct FitSettings {
    double lambda = 0.01;
    double biasmult = 1.0;
    int32_t steps = 0;       // T; nothing is trained when T <= 0
    int64_t start_step = 0;  // steps are counted start_step + 1 .. start_step + T (step size 1/(t*lambda))
    const double* weights = nullptr;  // N example weights, or null for weights of 1 (FitModel::weights)
    FitMonitor monitor;
};

inline FitSettings fit_settings(double lambda, double biasmult, int32_t T)
{
    FitSettings settings;
    settings.lambda = lambda;
    settings.biasmult = biasmult;
    settings.steps = T;
    return settings;
}

// One model trained in place on the N examples of X (d x N), a batch of one:
// its draws start from the sampler's working state (the caller seeds the
// sampler before and stores it after) and leave it as the steps made left
// it, also when the monitor stopped the call. W holds weight_count(d,
// biasmult) starting weights. N must be at least 1 whenever T >= 1.
template <class Batch, class Examples>
FitResult fit_one(const Batch& fit_batch_variant, const Examples& X, const double* y, int32_t d, int32_t N,
                  const FitSettings& settings, double* W)
{
    FitModel model;
    model.W = W;
    model.lambda = settings.lambda;
    model.weights = settings.weights;
    FitGroup group;
    group.count = N;
    group.steps = settings.steps;
    group.start_state = sampler_working_state();
    group.models = &model;
    group.model_count = 1;
    FitBatch batch;
    batch.y = y;
    batch.biasmult = settings.biasmult;
    batch.start_step = settings.start_step;
    batch.monitor = settings.monitor;
    fit_batch_variant(X, d, batch, &group, 1);
    sampler_rewind(model.sampler_state);
    return model.result;
}

// One model through one batch function, on double or float examples.
struct OneModelFit {
    bool (*batch_double)(const double*, int32_t, const FitBatch&, FitGroup*, int32_t);
    bool (*batch_single)(const float*, int32_t, const FitBatch&, FitGroup*, int32_t);

    FitResult operator()(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                         double* W) const
    {
        return fit_one(batch_double, X, y, d, N, settings, W);
    }
    FitResult operator()(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                         double* W) const
    {
        return fit_one(batch_single, X, y, d, N, settings, W);
    }
};

inline OneModelFit one_model_fit(const FitVariant& variant)
{
    return {variant.batch_double, variant.batch_single};
}

// The plain loops, the reference of the vector variants; and fit_batch,
// which runs the variant chosen for this processor.
const OneModelFit plain_fit{fit_batch_plain, fit_batch_plain};
const OneModelFit dispatch_fit{fit_batch, fit_batch};

inline FitResult fit_weights(const double* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                             double* W)
{
    return dispatch_fit(X, y, d, N, settings, W);
}
inline FitResult fit_weights(const float* X, const double* y, int32_t d, int32_t N, const FitSettings& settings,
                             double* W)
{
    return dispatch_fit(X, y, d, N, settings, W);
}
inline FitResult fit_weights_plain(const double* X, const double* y, int32_t d, int32_t N,
                                   const FitSettings& settings, double* W)
{
    return plain_fit(X, y, d, N, settings, W);
}
inline FitResult fit_weights_plain(const float* X, const double* y, int32_t d, int32_t N,
                                   const FitSettings& settings, double* W)
{
    return plain_fit(X, y, d, N, settings, W);
}
inline FitResult fit_weights(const SparseExamples<double>& X, const double* y, int32_t d, int32_t N,
                             const FitSettings& settings, double* W)
{
    return fit_one([](auto... args) { return fit_batch(args...); }, X, y, d, N, settings, W);
}

struct TrainingObjective {
    double regularizer = 0.0;  // lambda/2 times the squared norm of W, the bias weight included
    double loss = 0.0;         // mean over the examples of weight * max(0, 1 - label * score)
    double objective = 0.0;    // their sum
    bool stopped = false;      // the monitor stopped the pass; the figures are then not set
};

// The objective the solver minimises, for weights W on the N examples of X
// (doubles or floats), scored as linsvm_fit scores its models
// (score_models), with settings.lambda, biasmult, weights and monitor. The
// loss of no examples is 0.
template <class Element>
TrainingObjective training_objective(const Element* X, const double* y, int32_t d, int32_t N,
                                     const FitSettings& settings, const double* W)
{
    FitBatch batch;
    batch.y = y;
    batch.biasmult = settings.biasmult;
    batch.monitor = settings.monitor;
    FitModel model;
    model.W = const_cast<double*>(W);  // only read
    model.lambda = settings.lambda;
    model.weights = settings.weights;
    TrainingObjective result;
    double loss_sum = 0.0;
    int64_t errors = 0;
    if (!score_models(X, d, batch, nullptr, N, &model, 1, &loss_sum, &errors)) {
        result.stopped = true;
        return result;
    }
    const size_t length = weight_count(d, settings.biasmult);
    double squares = 0.0;
    for (size_t k = 0; k < length; ++k) squares += W[k] * W[k];
    result.regularizer = settings.lambda / 2.0 * squares;
    result.loss = N > 0 ? loss_sum / N : 0.0;
    result.objective = result.regularizer + result.loss;
    return result;
}
