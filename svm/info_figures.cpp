#include "svm/info_figures.h"

#include <cmath>

const char* const info_field_names[info_field_count] = {
    "seed",       "state",     "lambda",  "biasmult",    "nbite",   "startstep",
    "steps",      "violations", "objective", "loss",      "regularizer", "seconds",
    "interrupted", "classes",  "cv",        "averaged",  "last"};

void model_figures(const FitModel* models, int32_t model_count, int64_t length, const double* loss_sums, int32_t N,
                   bool scored, const ModelFigures& figures)
{
    const double not_evaluated = std::nan("");
    for (int32_t m = 0; m < model_count; ++m) {
        const FitModel& model = models[m];
        double squares = 0.0;
        for (int64_t k = 0; k < length; ++k) squares += model.W[k] * model.W[k];
        figures.violations[m] = static_cast<double>(model.result.violations);
        figures.regularizer[m] = scored ? model.lambda / 2.0 * squares : not_evaluated;
        figures.loss[m] = !scored ? not_evaluated : N > 0 ? loss_sums[m] / N : 0.0;
        figures.objective[m] = figures.regularizer[m] + figures.loss[m];
    }
}
