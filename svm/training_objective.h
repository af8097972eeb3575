// The objective the solver minimises, evaluated for given weights.
#pragma once

#include <cstdint>

#include "svm/fit_weights.h"

struct TrainingObjective {
    double regularizer = 0.0;  // lambda/2 times the squared norm of W, the bias weight included
    double loss = 0.0;         // mean over the examples of weight * max(0, 1 - label * score)
    double objective = 0.0;    // their sum
    bool stopped = false;      // the monitor stopped the pass; the figures are then not set
};

// Evaluates W (weight_count(d, settings.biasmult) elements) on the N examples
// of X (d x N, column-major, doubles or floats) with labels y, in one pass
// over X. A label is read as the solver reads it (truncated toward zero), an
// example's score is its dot product with the feature weights plus biasmult
// times the bias weight, and its weight is settings.weights[j] (1 without
// weights). Uses settings.lambda, biasmult, weights and monitor, whose poll
// gets the examples done so far. The loss of no examples is 0.
TrainingObjective training_objective(const double* X, const double* y, int32_t d, int32_t N,
                                     const FitSettings& settings, const double* W) noexcept;
TrainingObjective training_objective(const float* X, const double* y, int32_t d, int32_t N,
                                     const FitSettings& settings, const double* W) noexcept;

// The models of a batch on the examples columns[0 .. count-1] of X (the
// first count columns when columns is null), in one pass over them: for
// model m, loss_sums[m] is the sum of weight * max(0, 1 - label * score)
// (NaN when a score is NaN), errors[m] the number of examples whose
// label * score is not above 0, each summed over the examples in order, with
// the labels and weights the model trains with. Score and sum as
// training_objective forms them, so a model's loss_sums[m] / N over all N
// examples is its training_objective loss. Polls batch.monitor with the
// examples done; returns false when it stopped the pass.
bool score_models(const double* X, int32_t d, const FitBatch& batch, const int32_t* columns, int32_t count,
                  const FitModel* models, int32_t model_count, double* loss_sums, int64_t* errors) noexcept;
bool score_models(const float* X, int32_t d, const FitBatch& batch, const int32_t* columns, int32_t count,
                  const FitModel* models, int32_t model_count, double* loss_sums, int64_t* errors) noexcept;
// The same on sparse examples, in one pass over their non-zeros (each
// example's feature part summed in storage order).
bool score_models(const SparseExamples<double>& X, int32_t d, const FitBatch& batch, const int32_t* columns,
                  int32_t count, const FitModel* models, int32_t model_count, double* loss_sums,
                  int64_t* errors) noexcept;
bool score_models(const SparseExamples<bool>& X, int32_t d, const FitBatch& batch, const int32_t* columns,
                  int32_t count, const FitModel* models, int32_t model_count, double* loss_sums,
                  int64_t* errors) noexcept;
