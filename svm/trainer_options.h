// The trainer's options, their defaults and their corrections, apart from the
// host so that the rules can be exercised on their own.
#pragma once

#include <cstdint>

struct TrainerOptions {
    double lambda = 0.01;
    double biasmult = 1.0;  // > 0 adds the bias weight
    int32_t nbite = 100;
    uint32_t seed = 0;  // 0: seed from the clock
};

// Each setter stores the value as the option's rule reads it and returns true
// when the value was out of range and has been replaced (the caller reports it).

// A negative lambda becomes 1/N; 0 and NaN are kept as they are.
bool set_lambda(TrainerOptions& options, double value, int32_t N);

// Truncated toward zero; a count of 0 or less (NaN, infinities and 2^31 or
// more included) becomes 20*N, saturated at INT32_MAX.
bool set_nbite(TrainerOptions& options, double value, int32_t N);

// Truncated toward zero to 64 bits, of which the low 32 bits are the seed
// (-1 gives 4294967295); low bits of 0 mean no seed.
bool set_seed(TrainerOptions& options, double value);
