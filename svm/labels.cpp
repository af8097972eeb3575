#include "svm/labels.h"

#include <cmath>

int64_t count_unusual_labels(const double* y, int32_t N)
{
    // A label truncates to -1 or +1 exactly when its magnitude lies in [1, 2);
    // NaN fails both comparisons. Branch-free, so the compiler can vectorise.
    int64_t unusual = 0;
    for (int32_t j = 0; j < N; ++j) {
        const double magnitude = std::fabs(y[j]);
        unusual += !(magnitude >= 1.0 && magnitude < 2.0);
    }
    return unusual;
}
