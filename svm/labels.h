// Checks on the labels the solver reads.
#pragma once

#include <cstdint>

// How many of y[0 .. N-1] are not -1 or +1 after truncation toward zero (the
// solver's reading of a label): 0/1 labels, say, or NaN.
int64_t count_unusual_labels(const double* y, int32_t N);
