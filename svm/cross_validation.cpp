#include "svm/cross_validation.h"

#include <cmath>

const char* const fold_field_names[fold_field_count] = {"loss", "error", "count", "meanloss", "meanerror"};

int64_t fold_figures_length(int32_t fold_count, int32_t model_count)
{
    return 2 * static_cast<int64_t>(fold_count) * model_count + fold_count + 2 * model_count;
}

FoldFigures fold_figures_in(double* figures, int32_t fold_count, int32_t model_count)
{
    const int64_t per_fold = static_cast<int64_t>(fold_count) * model_count;
    FoldFigures in;
    in.loss = figures;
    in.error = figures + per_fold;
    in.count = figures + 2 * per_fold;
    in.mean_loss = in.count + fold_count;
    in.mean_error = in.mean_loss + model_count;
    return in;
}

void summarise_folds(const double* loss_sums, const int64_t* errors, const int64_t* validation_begin,
                     int32_t fold_count, int32_t model_count, bool scored, const FoldFigures& figures)
{
    const double not_evaluated = std::nan("");
    for (int32_t f = 0; f < fold_count; ++f) {
        figures.count[f] = static_cast<double>(validation_begin[f + 1] - validation_begin[f]);
    }
    for (int32_t m = 0; m < model_count; ++m) {
        double loss_sum = 0.0;
        double error_sum = 0.0;
        for (int32_t f = 0; f < fold_count; ++f) {
            const int64_t at = static_cast<int64_t>(f + 1) * model_count + m;
            const double fold_loss = scored ? loss_sums[at] / figures.count[f] : not_evaluated;
            const double fold_error = scored ? static_cast<double>(errors[at]) / figures.count[f] : not_evaluated;
            figures.loss[f + static_cast<int64_t>(fold_count) * m] = fold_loss;
            figures.error[f + static_cast<int64_t>(fold_count) * m] = fold_error;
            loss_sum += fold_loss;
            error_sum += fold_error;
        }
        figures.mean_loss[m] = loss_sum / fold_count;
        figures.mean_error[m] = error_sum / fold_count;
    }
}
