// Sparse examples of any structure the fuzzer makes (offsets and row indices
// as they come, so mostly damaged ones), d up to 40 (or 2^16), N up to 40:
// the structure check refuses every damaged one before anything reads it, as
// the entry does. On a valid structure the solver and the scoring pass write
// only the weights and sums they own (AddressSanitizer guards exact-size
// buffers), draw what the dense solver draws on the same values, and on
// well-conditioned values end close to it; logical values train as 0 and 1.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"
#include "svm/model_scores.h"
#include "tests/svm/fit_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t mode = input.byte();
    const bool well_conditioned = (mode & 1) != 0;
    const int32_t d = (mode & 2) ? (1 << 16) : input.byte() % 41;
    const int32_t N = input.byte() % 41;

    // Offsets: increments of 0..3, or (mode & 4) any small numbers, damaged.
    std::vector<int64_t> starts(static_cast<size_t>(N) + 1);
    starts[0] = (mode & 4) ? static_cast<int8_t>(input.byte()) % 3 : 0;
    for (int32_t j = 0; j < N; ++j) {
        const int64_t step = (mode & 4) ? static_cast<int8_t>(input.byte()) % 5 : input.byte() % 4;
        starts[j + 1] = starts[j] + step;
    }
    // Room for as many elements as the last offset says, or fewer (mode & 8):
    // the entry compares the two before the check reads anything.
    const int64_t last = starts[N];
    const int64_t capacity = (mode & 8) ? input.byte() % 8 : (last > 0 ? last : 0);
    if (last > capacity) return 0;
    std::vector<int64_t> rows(static_cast<size_t>(capacity > 0 ? capacity : 1));
    std::vector<double> values(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        // Mostly in range; sometimes one past the end or negative.
        const uint8_t b = input.byte();
        rows[k] = b == 255 ? d : b == 254 ? -1 : (d > 0 ? (static_cast<int64_t>(b) * 4099) % d : b);
        // Well-conditioned: values of about unit size, irrational parts keeping margins off ties.
        values[k] = well_conditioned ? (static_cast<int8_t>(input.byte()) + 0.5) / 37.0 + 1e-3 * std::sin(k + 1.0)
                                     : input.any_double();
    }
    if (!sparse_structure_valid(rows.data(), starts.data(), d, N)) return 0;
    for (int32_t j = 0; j < N; ++j) {
        for (int64_t k = starts[j]; k < starts[j + 1]; ++k) {
            if (rows[k] < 0 || rows[k] >= d) std::abort();  // the check let a bad index through
        }
    }

    std::vector<double> y(static_cast<size_t>(N));
    for (double& label : y) label = well_conditioned ? ((input.byte() & 1) ? 1.0 : -1.0) : input.any_double();
    const double lambda = well_conditioned ? std::pow(10.0, -static_cast<double>(input.byte() % 5)) : input.any_double();
    const double biasmult = (mode & 16) ? 0.0 : 1.0;
    FitSettings settings = fit_settings(lambda, biasmult, N > 0 ? 1 + input.byte() * 2 : 0);
    if (mode & 32) settings.start_step = static_cast<int64_t>(input.u16()) << (input.byte() % 40);
    const size_t length = weight_count(d, biasmult);
    std::vector<double> start(length, 0.0);
    if (mode & 64) {
        for (double& w : start) w = (static_cast<int8_t>(input.byte()) + 0.25) / 16.0;
    }

    const SparseExamples<double> X{values.data(), rows.data(), starts.data()};
    std::vector<double> W = start;
    sampler_seed_at(7, 0);
    fit_weights(X, y.data(), d, N, settings, W.data());
    const uint32_t sparse_state = sampler_working_state();

    // The dense solver on the same values (small d only).
    if (d <= 40) {
        std::vector<double> dense(static_cast<size_t>(d) * N, 0.0);
        for (int32_t j = 0; j < N; ++j) {
            for (int64_t k = starts[j]; k < starts[j + 1]; ++k) dense[rows[k] + static_cast<size_t>(j) * d] += values[k];
        }
        std::vector<double> dense_W = start;
        sampler_seed_at(7, 0);
        fit_weights_plain(dense.data(), y.data(), d, N, settings, dense_W.data());
        if (sampler_working_state() != sparse_state) std::abort();
        // Duplicate rows in a column add up in the dense copy but not in
        // the scores' order: compare only columns of distinct rows. An
        // example without non-zeros scores its bias weight alone, whose
        // margin can hit 1 exactly (10/t with lambda 0.01), where the two
        // orders of rounding may take different branches: compare only
        // when every example has a non-zero.
        bool distinct = true;
        for (int32_t j = 0; j < N && distinct; ++j) {
            distinct = starts[j + 1] > starts[j];
            for (int64_t k = starts[j] + 1; k < starts[j + 1]; ++k) distinct = distinct && rows[k] > rows[k - 1];
        }
        if (well_conditioned && distinct) {
            double norm = 0.0;
            for (double w : dense_W) norm = std::fmax(norm, std::fabs(w));
            for (size_t k = 0; k < length; ++k) {
                if (!(std::fabs(W[k] - dense_W[k]) <= 1e-9 * norm + 1e-300)) std::abort();
            }
        }
    }

    // Logical values: the same training as values of 1.
    const std::unique_ptr<bool[]> ones(new bool[rows.size()]);
    std::vector<double> one_values(rows.size(), 1.0);
    for (size_t k = 0; k < rows.size(); ++k) ones[k] = true;
    std::vector<double> from_logical = start, from_ones = start;
    FitModel models[2];
    FitGroup groups[2];
    for (int g = 0; g < 2; ++g) {
        models[g].W = (g == 0 ? from_logical : from_ones).data();
        models[g].lambda = lambda;
        groups[g].count = N;
        groups[g].steps = settings.steps;
        groups[g].start_state = 3;
        groups[g].models = &models[g];
        groups[g].model_count = 1;
    }
    FitBatch batch;
    batch.y = y.data();
    batch.biasmult = biasmult;
    batch.threads = 2;
    fit_batch(SparseExamples<bool>{ones.get(), rows.data(), starts.data()}, d, batch, &groups[0], 1);
    fit_batch(SparseExamples<double>{one_values.data(), rows.data(), starts.data()}, d, batch, &groups[1], 1);
    for (size_t k = 0; k < length; ++k) {
        if (!(from_logical[k] == from_ones[k] || (std::isnan(from_logical[k]) && std::isnan(from_ones[k])))) std::abort();
    }
    double loss = 0.0;
    int64_t errors = 0;
    score_models(X, d, batch, nullptr, N, &models[0], 1, &loss, &errors);
    if (errors < 0 || errors > N) std::abort();
    return 0;
}
