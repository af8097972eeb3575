// Stochastic sub-gradient solver for the L2-regularised hinge loss.
#pragma once

#include <cstdint>

// Trains in place. X holds N examples of d features, one per column
// (element k of example j at X[k + j*d]); y holds N labels. W is zero-filled
// by the caller and has d elements, plus the bias weight at index d when
// biasmult > 0 (a negative or NaN biasmult is treated as 0: no bias anywhere).
// Runs T steps (none when T <= 0), each drawing one example with
// sampler_draw(N); the caller seeds the sampler before and stores it after.
// N must be at least 1 whenever T >= 1.
void fit_weights(const double* X, const double* y, int32_t d, int32_t N, double lambda,
                 double biasmult, int32_t T, double* W);
