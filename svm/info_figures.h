// info of linsvm_fit: its fields, in order, and the figures of each model.
// Host-free.
#pragma once

#include <cstdint>

#include "svm/fit_weights.h"

enum class InfoField {
    seed,
    state,
    lambda,
    biasmult,
    nbite,
    startstep,
    steps,
    violations,
    objective,
    loss,
    regularizer,
    seconds,
    interrupted,
    classes,
    cv,
    averaged,
    last,
};
constexpr int info_field_count = static_cast<int>(InfoField::last) + 1;
extern const char* const info_field_names[info_field_count];
inline const char* info_field_name(InfoField field)
{
    return info_field_names[static_cast<int>(field)];
}

// The figures of model_count models, one array each.
struct ModelFigures {
    double* violations;   // steps that violated the margin
    double* objective;    // regularizer + loss
    double* loss;         // loss_sums[m] / N, 0 without examples
    double* regularizer;  // lambda/2 times the squared norm of the weights
};

// From the models (their W, length doubles each, and lambda) and their loss
// sums on all N examples (score_models). Unscored models (scored false) get
// NaN but for violations.
void model_figures(const FitModel* models, int32_t model_count, int64_t length, const double* loss_sums, int32_t N,
                   bool scored, const ModelFigures& figures);
