// One model of the batch kernels on any sizes (d up to 24, N up to 40), any
// options after the entry's corrections, through the functions the entry
// calls (correct_lambda, set_nbite, set_seed, steps_for_group; steps capped
// at 600 to keep runs short), with or without example weights, starting
// weights and a starting step, and either any doubles at all or
// well-conditioned data. Every variant draws the same examples (equal stored
// sampler state) as the plain loop, writes only the d (+1) weights
// (AddressSanitizer guards the exact-size buffers), and on well-conditioned
// data ends close to it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"
#include "tests/svm/fit_testing.h"

namespace {

using Solver = OneModelFit;

struct Trained {
    std::vector<double> W;
    uint32_t stored_state;
};

Trained train(Solver solver, const std::vector<double>& X, const std::vector<double>& y, int32_t d, int32_t N,
              const FitSettings& settings, const std::vector<double>& start, uint32_t seed)
{
    Trained run{start, 0};
    // The same stored state and a fixed clock before every run, so that an
    // unseeded run is as reproducible as a seeded one.
    sampler_seed_at(0x9e3779b9u, 0);
    sampler_store();
    sampler_seed_at(seed, 1700000000);
    solver(X.data(), y.data(), d, N, settings, run.W.data());
    sampler_store();
    run.stored_state = sampler_stored_state();
    return run;
}

// On well-conditioned data the variants differ from the plain loop only by the
// order of the two inner sums, so by rounding relative to the whole vector.
bool close(const Trained& fast, const Trained& plain)
{
    double norm = 0.0;
    for (double w : plain.W) norm = std::fmax(norm, std::fabs(w));
    for (size_t k = 0; k < plain.W.size(); ++k) {
        if (!(std::fabs(fast.W[k] - plain.W[k]) <= 1e-9 * norm)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t mode = input.byte();
    const bool well_conditioned = (mode & 1) != 0;
    const int32_t d = input.byte() % 25;
    const int32_t N = input.byte() % 41;

    // Options as the entry reads and corrects them.
    TrainerOptions options;
    if (mode & 2) {
        LambdaValue lambda{input.any_double()};
        correct_lambda(lambda);
        options.lambda = lambda.for_examples(N);
    }
    if (mode & 4) options.biasmult = input.any_double();
    bool nbite_corrected = false;
    if (mode & 8) nbite_corrected = set_nbite(options, input.any_double(), N);
    if (mode & 16) set_seed(options, input.any_double());
    if (well_conditioned) {
        // Regularisation between 1e-4 and 1, bias feature 0, 1 or 2.5.
        options.lambda = std::pow(10.0, -static_cast<double>(input.byte() % 5)) * (1.0 + input.byte() / 256.0);
        const double biasmults[] = {0.0, 1.0, 2.5};
        options.biasmult = biasmults[input.byte() % 3];
    }
    // The entry makes no step without examples.
    const int32_t group_steps = N > 0 ? steps_for_group(options.nbite, nbite_corrected, N) : 0;
    const int32_t steps = group_steps < 600 ? group_steps : 600;

    std::vector<double> X(static_cast<size_t>(d) * N);
    std::vector<double> y(static_cast<size_t>(N));
    for (size_t k = 0; k < X.size(); ++k) {
        // Well-conditioned: values of about unit size, irrational parts keeping sums off ties.
        X[k] = well_conditioned ? (static_cast<int8_t>(input.byte()) + 0.5) / 37.0 + 1e-3 * std::sin(k + 1.0)
                                : input.any_double();
    }
    for (double& label : y) {
        label = well_conditioned ? ((input.byte() & 1) ? 1.0 : -1.0) : input.any_double();
    }

    // Example weights (finite, >= 0), starting weights (finite) and a starting
    // step, as the entry accepts them.
    FitSettings settings = fit_settings(options.lambda, options.biasmult, steps);
    std::vector<double> weights(static_cast<size_t>(N));
    std::vector<double> start(weight_count(d, options.biasmult), 0.0);
    if (mode & 32) {
        for (double& w : weights) w = input.byte() / 64.0;
        settings.weights = weights.data();
    }
    if (mode & 64) {
        for (double& w : start) w = (static_cast<int8_t>(input.byte()) + 0.25) / 16.0;
    }
    if (mode & 128) settings.start_step = static_cast<int64_t>(input.u16()) << (input.byte() % 40);
    const Trained plain = train(plain_fit, X, y, d, N, settings, start, options.seed);
    std::vector<Solver> fast{dispatch_fit};
    for (const FitVariant& v : fit_weights_variants()) fast.push_back(one_model_fit(v));
    for (Solver solver : fast) {
        const Trained run = train(solver, X, y, d, N, settings, start, options.seed);
        if (run.stored_state != plain.stored_state) std::abort();
        if (well_conditioned && !close(run, plain)) std::abort();
    }
    return 0;
}
