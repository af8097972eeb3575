// info.cv of linsvm_fit: every fold model scored on its fold's own examples,
// and the means over the folds. Host-free.
#pragma once

#include <cstdint>

// The fields of info.cv, in order.
enum class FoldField { loss, error, count, meanloss, meanerror };
constexpr int fold_field_count = static_cast<int>(FoldField::meanerror) + 1;
extern const char* const fold_field_names[fold_field_count];
inline const char* fold_field_name(FoldField field)
{
    return fold_field_names[static_cast<int>(field)];
}

// The figures of model_count models on fold_count folds, in one array of
// fold_figures_length doubles: loss and error, fold_count x model_count
// each (a column per model); count, fold_count x 1; meanloss and meanerror,
// 1 x model_count each.
struct FoldFigures {
    double* loss;
    double* error;
    double* count;
    double* mean_loss;
    double* mean_error;
};
int64_t fold_figures_length(int32_t fold_count, int32_t model_count);
FoldFigures fold_figures_in(double* figures, int32_t fold_count, int32_t model_count);

// From the scores of the models of every group (group g's model m at
// g * model_count + m; group f + 1 is fold f's, scored on the fold's own
// examples validation_begin[f] .. validation_begin[f + 1]), fills the
// figures: per fold the mean loss and the fraction of errors, and their
// means over the folds, summed in fold order (a NaN fold makes its model's
// mean NaN). Unscored models (scored false) give NaN figures.
void summarise_folds(const double* loss_sums, const int64_t* errors, const int64_t* validation_begin,
                     int32_t fold_count, int32_t model_count, bool scored, const FoldFigures& figures);
