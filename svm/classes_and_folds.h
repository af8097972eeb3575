// The pieces of a batch of models that come from the labels and the folds:
// one-vs-rest classes and cross-validation splits, apart from the host so
// that they can be exercised on their own. Nothing here allocates: the caller
// hands every array over.
#pragma once

#include <cstdint>

// The distinct values of y[0 .. N-1], ascending, into classes (room for N);
// their count, or -1 when y holds NaN.
int32_t distinct_labels(const double* y, int32_t N, double* classes);

// For one-vs-rest models of the class_count classes: class_of[c] = k where
// y[c] equals classes[k], -1 where it equals none. sorted (class_count
// doubles) and order (class_count ints) are working room. Returns the first k
// whose class no example has, or -1 when every class has one; -2 when two
// classes are equal.
int32_t class_index_of(const double* y, int32_t N, const double* classes, int32_t class_count, int32_t* class_of,
                       double* sorted, int32_t* order);

// Cross-validation folds from fold numbers fold_of[j] in 0 .. fold_count-1:
// for fold f, the training columns (every other fold's, ascending) are
// training[training_begin[f] .. training_begin[f + 1]) and the validation
// columns (its own, ascending) validation[validation_begin[f] ..
// validation_begin[f + 1]). training holds (fold_count - 1) * N columns in
// all, validation N; the begin arrays fold_count + 1 entries each.
void split_folds(const int32_t* fold_of, int32_t N, int32_t fold_count, int32_t* training, int64_t* training_begin,
                 int32_t* validation, int64_t* validation_begin);
