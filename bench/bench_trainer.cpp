// fit_weights' and training_objective's rows: whole training runs against
// the plain loop, on single examples, with class weights and averaging,
// against the memory's copy bandwidth; and the time to LIBLINEAR's test
// accuracy.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "bench/liblinear_peer.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/model_scores.h"
#include "tests/svm/fit_testing.h"

namespace {

using Solver = FitResult (*)(const double*, const double*, int32_t, int32_t, const FitSettings&, double*);

// Times whole training runs: each from zero weights and the same seed, as a
// call of the module makes them; fit(W) runs the solver into W.
template <class Fit>
void time_training(benchmark::State& state, const Dataset* set, const Fit& fit)
{
    std::vector<double> W(static_cast<size_t>(set->d) + 1);
    for (auto _ : state) {
        std::fill(W.begin(), W.end(), 0.0);
        sampler_seed(12345);
        fit(W.data());
        sampler_store();
        benchmark::DoNotOptimize(W.data());
    }
}

void register_trainer(const TrainerCase& c, const Dataset* set)
{
    const FitSettings settings = fit_settings(trainer_lambda, 1.0, c.T);
    // Examples as doubles (the dispatched variant and the plain loop) and as singles.
    const std::pair<const char*, Solver> solvers[] = {{"double", fit_weights}, {"plain", fit_weights_plain}};
    for (const auto& [who, solver] : solvers) {
        benchmark::RegisterBenchmark((std::string("fit/") + who + "/" + trainer_tag(c)).c_str(),
                                     [=](benchmark::State& state) {
                                         time_training(state, set, [&](double* W) {
                                             solver(set->X.data(), set->y.data(), set->d, set->N, settings, W);
                                         });
                                     });
    }
    // Class weights (the positives' weight 3, the negatives' 1), which scale
    // every update and the projection radius.
    benchmark::RegisterBenchmark(("fit/weighted/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        std::vector<double> weights(static_cast<size_t>(set->N));
        for (size_t j = 0; j < weights.size(); ++j) weights[j] = set->y[j] > 0 ? 3.0 : 1.0;
        FitSettings weighted = settings;
        weighted.weights = weights.data();
        time_training(state, set, [&](double* W) {
            fit_weights(set->X.data(), set->y.data(), set->d, set->N, weighted, W);
        });
    });
    // The objective pass of [w, info] = linsvm_fit(...): one pass over X.
    benchmark::RegisterBenchmark(("objective/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        std::vector<double> W(static_cast<size_t>(set->d) + 1, 0.01);
        for (auto _ : state) {
            const TrainingObjective result = training_objective(set->X.data(), set->y.data(), set->d, set->N,
                                                                fit_settings(trainer_lambda, 1.0, 0), W.data());
            benchmark::DoNotOptimize(result.objective);
        }
    });
    benchmark::RegisterBenchmark(("fit/single/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        time_training(state, set, [&](double* W) {
            fit_weights(set->X_single.data(), set->y.data(), set->d, set->N, settings, W);
        });
    });
}

// One default call of the trainer (100 steps) at d = 1024, for the Octave
// rows, which compare a whole call from Octave with the kernel alone.
void register_trainer_call(const Dataset* set)
{
    benchmark::RegisterBenchmark("fit/call/d=1024 100 steps", [=](benchmark::State& state) {
        time_training(state, set, [&](double* W) {
            fit_weights(set->X.data(), set->y.data(), set->d, set->N, fit_settings(trainer_lambda, 1.0, 100), W);
        });
    });
}

// One model through fit_batch on one thread, with its iterates averaged from
// the first step on (the most the average can cost) or not at all.
void register_averaging(const TrainerCase& c, const Dataset* set)
{
    for (const bool averaging : {true, false}) {
        const std::string name = std::string(averaging ? "fit/average/" : "fit/no_average/") + trainer_tag(c);
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            std::vector<double> mean(static_cast<size_t>(set->d) + 1);
            time_training(state, set, [&](double* W) {
                FitModel model;
                model.W = W;
                model.lambda = trainer_lambda;
                model.average = averaging ? mean.data() : nullptr;
                model.average_after = 0;
                FitGroup group;
                group.count = set->N;
                group.steps = c.T;
                group.start_state = 12345;
                group.models = &model;
                group.model_count = 1;
                FitBatch batch;
                batch.y = set->y.data();
                fit_batch(set->X.data(), set->d, batch, &group, 1);
                benchmark::DoNotOptimize(mean.data());
            });
        });
    }
}

// Copy bandwidth of memory: bytes read per second by memcpy of a buffer far
// larger than the caches.
void register_copy_bandwidth()
{
    benchmark::RegisterBenchmark("memory/copy/256MiB", [](benchmark::State& state) {
        const size_t bytes = size_t(256) << 20;
        std::vector<uint8_t> source(bytes, 1), target(bytes, 2);
        for (auto _ : state) {
            std::memcpy(target.data(), source.data(), bytes);
            benchmark::DoNotOptimize(target.data());
            benchmark::ClobberMemory();
        }
    });
}

double test_accuracy(const std::vector<double>& w, const Dataset& test)
{
    int32_t correct = 0;
    for (int32_t j = 0; j < test.N; ++j) {
        const double* x = test.X.data() + static_cast<size_t>(j) * test.d;
        double s = w[static_cast<size_t>(test.d)];  // bias weight, bias feature 1
        for (int32_t k = 0; k < test.d; ++k) s += w[static_cast<size_t>(k)] * x[k];
        if ((s > 0 ? 1.0 : -1.0) == test.y[static_cast<size_t>(j)]) ++correct;
    }
    return static_cast<double>(correct) / test.N;
}

// The rows of one trainer case.
void print_trainer_case_rows(const TrainerCase& c, double copy_bandwidth)
{
    const double ours = best_seconds("fit/double/" + trainer_tag(c));
    const double single = best_seconds("fit/single/" + trainer_tag(c));
    const double plain = best_seconds("fit/plain/" + trainer_tag(c));
    auto per_step = [&](double seconds) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f us/step", seconds / c.T * 1e6);
        return std::string(text);
    };
    print_row("fit_weights", "double X vs plain scalar loop, " + trainer_tag(c), per_step(ours), per_step(plain),
              plain / ours);
    const double read = static_cast<double>(c.T) * c.d * sizeof(double) / ours;
    print_row("fit_weights", "double X, example bytes read vs memcpy read bandwidth, " + trainer_tag(c),
              rate(read / 1e9, "GB/s"), rate(copy_bandwidth / 1e9, "GB/s"), read / copy_bandwidth);
    print_row("fit_weights", "single X vs double X, " + trainer_tag(c), per_step(single), per_step(ours),
              ours / single);
    const double weighted = best_seconds("fit/weighted/" + trainer_tag(c));
    print_row("fit_weights", "class weights (3 and 1) vs none, " + trainer_tag(c), per_step(weighted),
              per_step(ours), ours / weighted);
    auto ns_per_step = [&](double seconds) {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f ns/step", seconds / c.T * 1e9);
        return std::string(text);
    };
    const double averaged = best_seconds("fit/average/" + trainer_tag(c));
    const double unaveraged = best_seconds("fit/no_average/" + trainer_tag(c));
    print_row("fit_weights", "averaging vs none (every step averaged, fit_batch, 1 model, 1 thread), " + trainer_tag(c),
              ns_per_step(averaged), ns_per_step(unaveraged), unaveraged / averaged);
    const double objective = best_seconds("objective/" + trainer_tag(c));
    const double objective_read = static_cast<double>(c.N) * c.d * sizeof(double) / objective;
    char objective_time[64];
    std::snprintf(objective_time, sizeof objective_time, "%.2f ms (%.1f GB/s)", objective * 1e3,
                  objective_read / 1e9);
    print_row("training_objective", "one pass over X vs memcpy read bandwidth, " + trainer_tag(c), objective_time,
              rate(copy_bandwidth / 1e9, "GB/s"), objective_read / copy_bandwidth);
    const double read_single = static_cast<double>(c.T) * c.d * sizeof(float) / single;
    print_row("fit_weights", "single X, example bytes read vs memcpy read bandwidth, " + trainer_tag(c),
              rate(read_single / 1e9, "GB/s"), rate(copy_bandwidth / 1e9, "GB/s"), read_single / copy_bandwidth);
}

}  // namespace

Dataset make_dataset(int32_t d, int32_t N, uint32_t seed)
{
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::mt19937_64 direction_generator(777);  // the same direction for training and test sets
    std::vector<double> direction(static_cast<size_t>(d));
    for (double& v : direction) v = normal(direction_generator) / std::sqrt(static_cast<double>(d));

    Dataset data;
    data.d = d;
    data.N = N;
    data.X.resize(static_cast<size_t>(d) * N);
    data.y.resize(static_cast<size_t>(N));
    for (int32_t j = 0; j < N; ++j) {
        double* x = data.X.data() + static_cast<size_t>(j) * d;
        double score = 0.3;
        for (int32_t k = 0; k < d; ++k) {
            x[k] = normal(generator);
            score += x[k] * direction[static_cast<size_t>(k)];
        }
        double label = score > 0 ? 1.0 : -1.0;
        if (uniform(generator) < 0.05) label = -label;
        data.y[static_cast<size_t>(j)] = label;
    }
    data.X_single.assign(data.X.begin(), data.X.end());
    return data;
}

std::string trainer_tag(const TrainerCase& c)
{
    return "d=" + std::to_string(c.d) + " N=" + std::to_string(c.N);
}

void register_trainer_benchmarks(const TrainerSets& sets)
{
    for (const TrainerCase& c : trainer_cases) register_trainer(c, &sets.of(c));
    register_trainer_call(&sets.large_d);
    for (const TrainerCase& c : trainer_cases) register_averaging(c, &sets.of(c));
    register_copy_bandwidth();
}

LiblinearResult compare_with_liblinear(const TrainerSets& sets, int repetitions)
{
    std::fprintf(stderr, "\ncomparing with LIBLINEAR...\n");
    const Dataset& train_set = sets.small_d;
    const Dataset test = make_dataset(128, 20000, 3);
    // Every feature is present.
    const int32_t d = train_set.d;
    LiblinearExamples examples(d, static_cast<size_t>(train_set.N), static_cast<size_t>(train_set.N) * d);
    for (int32_t j = 0; j < train_set.N; ++j) {
        for (int32_t k = 0; k < d; ++k)
            examples.add(k, train_set.X[static_cast<size_t>(k) + static_cast<size_t>(j) * d]);
        examples.end_example();
    }
    LiblinearPeer liblinear(std::move(examples), train_set.y, trainer_lambda);

    LiblinearResult result{};
    std::vector<double> w(static_cast<size_t>(d) + 1);
    result.liblinear_seconds = fastest_wall_seconds(repetitions, [&] { liblinear.train(w); });
    result.liblinear_accuracy = test_accuracy(w, test);
    result.target_accuracy = result.liblinear_accuracy - 0.005;

    // Our trainer at growing step counts: the first that reaches the target.
    for (int32_t T = train_set.N / 16; T <= 64 * train_set.N; T *= 2) {
        std::fill(w.begin(), w.end(), 0.0);
        sampler_seed(2024);
        fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N, fit_settings(trainer_lambda, 1.0, T),
                    w.data());
        const double accuracy = test_accuracy(w, test);
        if (accuracy >= result.target_accuracy) {
            result.ours_seconds = fastest_wall_seconds(repetitions, [&] {
                std::fill(w.begin(), w.end(), 0.0);
                sampler_seed(2024);
                fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N,
                            fit_settings(trainer_lambda, 1.0, T), w.data());
            });
            result.ours_accuracy = accuracy;
            result.ours_steps = T;
            return result;
        }
    }
    result.ours_seconds = NAN;
    return result;
}

void print_trainer_rows()
{
    const double copy_bandwidth = static_cast<double>(size_t(256) << 20) / best_seconds("memory/copy/256MiB");
    for (const TrainerCase& c : trainer_cases) print_trainer_case_rows(c, copy_bandwidth);
}

void print_liblinear_row(const LiblinearResult& result)
{
    char ours[96];
    std::snprintf(ours, sizeof ours, "%.1f ms (%d steps, %.2f%%)", result.ours_seconds * 1e3, result.ours_steps,
                  100 * result.ours_accuracy);
    char peer[96];
    std::snprintf(peer, sizeof peer, "%.1f ms (%.2f%%)", result.liblinear_seconds * 1e3,
                  100 * result.liblinear_accuracy);
    char case_[160];
    std::snprintf(case_, sizeof case_, "time to %.2f%% test accuracy vs LIBLINEAR dual L1-loss SVC, d=128 N=100000",
                  100 * result.target_accuracy);
    print_row("fit_weights", case_, ours, peer, result.liblinear_seconds / result.ours_seconds);
}

void write_trainer_kernel_times(std::FILE* out)
{
    std::fprintf(out, "fit_1024 %.9g\n", best_seconds("fit/call/d=1024 100 steps"));
}
