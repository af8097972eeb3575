#include "svm/classes_and_folds.h"

#include <algorithm>
#include <cmath>

int32_t distinct_labels(const double* y, int32_t N, double* classes)
{
    for (int32_t j = 0; j < N; ++j) {
        if (std::isnan(y[j])) return -1;
        classes[j] = y[j];
    }
    std::sort(classes, classes + N);
    // -0 and 0 are one class, as == compares them.
    return static_cast<int32_t>(std::unique(classes, classes + N) - classes);
}

int32_t class_index_of(const double* y, int32_t N, const double* classes, int32_t class_count, int32_t* class_of,
                       double* sorted, int32_t* order)
{
    for (int32_t k = 0; k < class_count; ++k) order[k] = k;
    std::sort(order, order + class_count, [&](int32_t a, int32_t b) { return classes[a] < classes[b]; });
    for (int32_t k = 0; k < class_count; ++k) sorted[k] = classes[order[k]];
    for (int32_t k = 1; k < class_count; ++k) {
        if (sorted[k] == sorted[k - 1]) return -2;
    }
    // Each class is counted by marking it found, through its place in sorted.
    for (int32_t j = 0; j < N; ++j) {
        const double* at = std::lower_bound(sorted, sorted + class_count, y[j]);
        const bool found = at != sorted + class_count && *at == y[j];
        class_of[j] = found ? order[at - sorted] : -1;
    }
    for (int32_t k = 0; k < class_count; ++k) sorted[k] = 0.0;
    for (int32_t j = 0; j < N; ++j) {
        if (class_of[j] >= 0) sorted[class_of[j]] = 1.0;
    }
    for (int32_t k = 0; k < class_count; ++k) {
        if (sorted[k] == 0.0) return k;
    }
    return -1;
}

void split_folds(const int32_t* fold_of, int32_t N, int32_t fold_count, int32_t* training, int64_t* training_begin,
                 int32_t* validation, int64_t* validation_begin)
{
    // Counts first, then the columns in ascending order.
    for (int32_t f = 0; f <= fold_count; ++f) validation_begin[f] = 0;
    for (int32_t j = 0; j < N; ++j) ++validation_begin[fold_of[j] + 1];
    for (int32_t f = 0; f < fold_count; ++f) validation_begin[f + 1] += validation_begin[f];
    training_begin[0] = 0;
    for (int32_t f = 0; f < fold_count; ++f) {
        const int64_t own = validation_begin[f + 1] - validation_begin[f];
        training_begin[f + 1] = training_begin[f] + (N - own);
    }
    for (int32_t f = 0; f < fold_count; ++f) {
        int64_t at_training = training_begin[f];
        int64_t at_validation = validation_begin[f];
        for (int32_t j = 0; j < N; ++j) {
            if (fold_of[j] == f) {
                validation[at_validation++] = j;
            } else {
                training[at_training++] = j;
            }
        }
    }
}
