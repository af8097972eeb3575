// Settings of a plain training call, as the tests write them.
#pragma once

#include <cstdint>

#include "svm/fit_weights.h"

inline FitSettings fit_settings(double lambda, double biasmult, int32_t T)
{
    FitSettings settings;
    settings.lambda = lambda;
    settings.biasmult = biasmult;
    settings.steps = T;
    return settings;
}
