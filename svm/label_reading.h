// How the solver reads a label: the one rule that the steps (step_rule.h),
// the scores (model_scores.cpp) and the entry's check of y follow.
//
// Internal linkage for the inline rule: files built for wider instruction
// sets include it too, and their copies must never stand in for the
// baseline's at link time.
#pragma once

#include <cstdint>

#include "common/truncation.h"

// The label of the example in column c: y[c] truncated toward zero, or, for a
// one-vs-rest model (positive_class >= 0), +1 where class_of[c] is its class
// and -1 elsewhere (what y relabelled to +1 / -1 would give).
static inline double example_label(const double* y, const int32_t* class_of, int32_t positive_class, int32_t c)
{
    if (positive_class >= 0) return class_of[c] == positive_class ? 1.0 : -1.0;
    return static_cast<double>(truncate_to_int32(y[c]));
}

// How many of y[0 .. N-1] are not -1 or +1 as example_label reads them
// without classes: 0/1 labels, say, or NaN.
int64_t count_unusual_labels(const double* y, int32_t N);
