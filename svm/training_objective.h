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
