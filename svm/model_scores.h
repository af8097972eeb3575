// The loss and errors of given weights: the figures of linsvm_fit's info and
// of its cross-validation.
#pragma once

#include <cstdint>

#include "svm/fit_weights.h"

// The models of a batch on the examples columns[0 .. count-1] of X (the
// first count columns when columns is null), in one pass over them: for
// model m, loss_sums[m] is the sum of weight * max(0, 1 - label * score)
// (NaN when a score is NaN), errors[m] the number of examples whose
// label * score is not above 0, each summed over the examples in order, with
// the labels (example_label) and weights the model trains with. An example's
// score is its dot product with the feature weights plus biasmult times the
// bias weight. Polls batch.monitor with the examples done; returns false when
// it stopped the pass.
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
