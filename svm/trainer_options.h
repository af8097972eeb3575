// The trainer's options, their defaults and their corrections, apart from the
// host so that the rules can be exercised on their own: the entry applies
// them through these functions, and so do the tests and the fuzz target.
#pragma once

#include <cstdint>

struct TrainerOptions {
    double lambda = 0.01;  // of the first model on all examples, for the progress line
    double biasmult = 1.0;  // > 0 adds the bias weight
    int32_t nbite = 100;
    uint32_t seed = 0;  // 0: seed from the clock
    int64_t startstep = 0;
    bool verbose = false;
    // Ctrl-C ends training and returns the weights of the steps made, instead
    // of raising an error ('interrupt', 'return').
    bool return_on_interrupt = false;
};

// The value of `lambda` (or of `C`) for one column of the path: lambda as
// given, or, for a group of n examples, 1/(per_example * n): 1/n for a
// corrected lambda, 1/(C n) for C. Folds train on fewer examples than N, and
// each fold model gets what a call on its examples alone would get.
struct LambdaValue {
    double lambda = 0.01;
    double per_example = 0.0;  // 0: lambda as given

    double for_examples(int32_t n) const
    {
        return per_example == 0.0 ? lambda : 1.0 / (per_example * static_cast<double>(n));
    }
};

// The corrections: each stores the value as the option's rule reads it and
// returns true when the value was out of range and has been replaced (the
// caller reports it).

// A negative lambda becomes 1/n for a group of n examples; 0 and NaN are kept
// as they are (a value from C is never negative).
bool correct_lambda(LambdaValue& value);

// Truncated toward zero; a count of 0 or less (NaN, infinities and 2^31 or
// more included) becomes 20*N, saturated at INT32_MAX.
bool set_nbite(TrainerOptions& options, double value, int32_t N);

// The steps of a group of n examples: nbite, or, when nbite was corrected,
// 20 n as a call on those examples alone would correct it.
int32_t steps_for_group(int32_t nbite, bool nbite_corrected, int32_t n);

// Truncated toward zero to 64 bits, of which the low 32 bits are the seed
// (-1 gives 4294967295); low bits of 0 mean no seed.
bool set_seed(TrainerOptions& options, double value);

// The options without corrections: each stores a valid value and returns
// true, or returns false for a value the caller reports as an error.

// A whole number from 0 to 2^53 (beyond it, step numbers are no longer exact
// doubles).
bool set_startstep(TrainerOptions& options, double value);

// True or a positive number turns progress lines on, false or 0 leaves them
// off; negative values and NaN are errors.
bool set_verbose(TrainerOptions& options, double value);

// An example weight must be finite and >= 0; a starting weight, finite.
inline bool valid_example_weight(double value)
{
    return value >= 0.0 && value <= 1.7976931348623157e308;
}
inline bool valid_starting_weight(double value)
{
    return value >= -1.7976931348623157e308 && value <= 1.7976931348623157e308;
}
