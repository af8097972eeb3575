#include "svm/trainer_options.h"

#include "common/truncation.h"

bool correct_lambda(LambdaValue& value)
{
    if (!(value.per_example == 0.0 && value.lambda < 0.0)) return false;
    value.per_example = 1.0;
    return true;
}

bool set_nbite(TrainerOptions& options, double value, int32_t N)
{
    options.nbite = truncate_to_int32(value);
    if (options.nbite > 0) return false;
    // 20*N no longer fits 32 bits for N above 107374182: saturate instead of wrapping.
    const int64_t corrected = 20 * static_cast<int64_t>(N);
    options.nbite = corrected > INT32_MAX ? INT32_MAX : static_cast<int32_t>(corrected);
    return true;
}

int32_t steps_for_group(int32_t nbite, bool nbite_corrected, int32_t n)
{
    if (!nbite_corrected) return nbite;
    TrainerOptions corrected;
    set_nbite(corrected, 0.0, n);
    return corrected.nbite;
}

bool set_seed(TrainerOptions& options, double value)
{
    options.seed = static_cast<uint32_t>(static_cast<uint64_t>(truncate_to_int64(value)));
    return options.seed == 0;
}

bool set_startstep(TrainerOptions& options, double value)
{
    if (!(value >= 0.0 && value <= 9007199254740992.0) || value != static_cast<double>(static_cast<int64_t>(value))) {
        return false;
    }
    options.startstep = static_cast<int64_t>(value);
    return true;
}

bool set_verbose(TrainerOptions& options, double value)
{
    if (!(value >= 0.0)) return false;
    options.verbose = value > 0.0;
    return true;
}
