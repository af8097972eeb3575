#include "svm/model_scores.h"

#include <cstddef>

#include "svm/label_reading.h"

namespace {

// Four partial sums keep several additions in flight.
template <class Element>
double dot(const double* w, const Element* x, size_t n) noexcept
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        s0 += w[k] * x[k];
        s1 += w[k + 1] * x[k + 1];
        s2 += w[k + 2] * x[k + 2];
        s3 += w[k + 3] * x[k + 3];
    }
    for (; k < n; ++k) s0 += w[k] * x[k];
    return (s0 + s1) + (s2 + s3);
}

// The feature part of an example's score: W times column c of X.
template <class Element>
double example_score(const Element* X, size_t features, int32_t c, const double* W) noexcept
{
    return dot(W, X + static_cast<size_t>(c) * features, features);
}

// The same over the non-zeros of a sparse column, in storage order.
template <class Value>
double example_score(const SparseExamples<Value>& X, size_t, int32_t c, const double* W) noexcept
{
    double s = 0.0;
    for (int64_t k = X.starts[c]; k < X.starts[c + 1]; ++k) s += W[X.rows[k]] * static_cast<double>(X.values[k]);
    return s;
}

// Elements read per example.
template <class Element>
int64_t example_elements(const Element*, int32_t d, int32_t, const int32_t*) noexcept
{
    return d;
}

// The mean count of non-zeros of the examples scored, rounded up.
template <class Value>
int64_t example_elements(const SparseExamples<Value>& X, int32_t, int32_t count, const int32_t* columns) noexcept
{
    if (count <= 0) return 1;
    int64_t nonzeros = 0;
    for (int32_t j = 0; j < count; ++j) {
        const int32_t c = columns != nullptr ? columns[j] : j;
        nonzeros += X.starts[c + 1] - X.starts[c];
    }
    return (nonzeros + count - 1) / count;
}

template <class Examples>
bool score_all(const Examples& X, int32_t d, const FitBatch& batch, const int32_t* columns, int32_t count,
               const FitModel* models, int32_t model_count, double* loss_sums, int64_t* errors) noexcept
{
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    const bool has_bias = has_bias_weight(batch.biasmult);
    int64_t poll_interval =
        steps_between_polls(example_elements(X, d, count, columns)) / (model_count > 0 ? model_count : 1);
    if (poll_interval < 1) poll_interval = 1;
    int64_t until_poll = poll_interval;
    for (int32_t m = 0; m < model_count; ++m) {
        loss_sums[m] = 0.0;
        errors[m] = 0;
    }
    for (int32_t j = 0; j < count; ++j) {
        if (--until_poll == 0) {
            until_poll = poll_interval;
            if (batch.monitor.poll != nullptr && batch.monitor.poll(batch.monitor.context, j)) return false;
        }
        const int32_t c = columns != nullptr ? columns[j] : j;
        for (int32_t m = 0; m < model_count; ++m) {
            const FitModel& model = models[m];
            double score = example_score(X, features, c, model.W);
            if (has_bias) score += batch.biasmult * model.W[features];
            const double label = example_label(batch.y, batch.class_of, model.positive_class, c);
            const double hinge = 1.0 - label * score;
            if (!(hinge <= 0.0)) loss_sums[m] += model.weights == nullptr ? hinge : model.weights[c] * hinge;
            if (!(label * score > 0.0)) ++errors[m];
        }
    }
    return true;
}

}  // namespace

bool score_models(const double* X, int32_t d, const FitBatch& batch, const int32_t* columns, int32_t count,
                  const FitModel* models, int32_t model_count, double* loss_sums, int64_t* errors) noexcept
{
    return score_all(X, d, batch, columns, count, models, model_count, loss_sums, errors);
}

bool score_models(const float* X, int32_t d, const FitBatch& batch, const int32_t* columns, int32_t count,
                  const FitModel* models, int32_t model_count, double* loss_sums, int64_t* errors) noexcept
{
    return score_all(X, d, batch, columns, count, models, model_count, loss_sums, errors);
}

bool score_models(const SparseExamples<double>& X, int32_t d, const FitBatch& batch, const int32_t* columns,
                  int32_t count, const FitModel* models, int32_t model_count, double* loss_sums,
                  int64_t* errors) noexcept
{
    return score_all(X, d, batch, columns, count, models, model_count, loss_sums, errors);
}

bool score_models(const SparseExamples<bool>& X, int32_t d, const FitBatch& batch, const int32_t* columns,
                  int32_t count, const FitModel* models, int32_t model_count, double* loss_sums,
                  int64_t* errors) noexcept
{
    return score_all(X, d, batch, columns, count, models, model_count, loss_sums, errors);
}
