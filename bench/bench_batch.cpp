// fit_batch's rows: many models per call against as many one-model calls,
// on one thread and the default threads: 8 lambdas; 10 one-vs-rest classes;
// 5-fold cross-validation of 8 lambdas (48 models). The calls a user would
// make otherwise train the fold models on copies of the other folds'
// examples, made before the timing.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "common/parallel.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "tests/svm/fit_testing.h"

namespace {

struct BatchSetup {
    std::vector<double> lambdas;
    std::vector<int32_t> class_of;       // 10 classes, for the one-vs-rest rows
    std::vector<std::vector<double>> relabelled;
    std::vector<int32_t> training;       // the 5 folds' training columns, one after another
    std::vector<size_t> training_begin;  // where each fold's begin, and the end
    std::vector<Dataset> fold_sets;      // the same as copies
};

constexpr int batch_folds = 5;

BatchSetup make_batch_setup(const Dataset& set)
{
    BatchSetup setup;
    for (int l = 0; l < 8; ++l) setup.lambdas.push_back(1e-2 * std::pow(10.0, -3.0 * l / 7.0));
    setup.class_of.resize(static_cast<size_t>(set.N));
    for (int32_t j = 0; j < set.N; ++j) setup.class_of[static_cast<size_t>(j)] = static_cast<int32_t>((j * 7919) % 10);
    for (int32_t k = 0; k < 10; ++k) {
        std::vector<double> y(static_cast<size_t>(set.N));
        for (int32_t j = 0; j < set.N; ++j)
            y[static_cast<size_t>(j)] = setup.class_of[static_cast<size_t>(j)] == k ? 1.0 : -1.0;
        setup.relabelled.push_back(y);
    }
    for (int f = 0; f < batch_folds; ++f) {
        setup.training_begin.push_back(setup.training.size());
        Dataset fold;
        fold.d = set.d;
        for (int32_t j = 0; j < set.N; ++j) {
            if (j % batch_folds == f) continue;
            setup.training.push_back(j);
            fold.X.insert(fold.X.end(), set.X.begin() + static_cast<ptrdiff_t>(j) * set.d,
                          set.X.begin() + static_cast<ptrdiff_t>(j + 1) * set.d);
            fold.y.push_back(set.y[static_cast<size_t>(j)]);
        }
        fold.N = static_cast<int32_t>(fold.y.size());
        setup.fold_sets.push_back(std::move(fold));
    }
    setup.training_begin.push_back(setup.training.size());
    return setup;
}

// The batch kinds: "lambdas" (8 models), "classes" (10), "cv" (8 on all
// examples and 8 on each fold's training examples).
void run_batch(const Dataset& set, const BatchSetup& setup, const std::string& kind, int32_t T, int threads,
               std::vector<double>& weights)
{
    const size_t length = static_cast<size_t>(set.d) + 1;
    const bool classes = kind == "classes";
    const int32_t per_group = classes ? 10 : 8;
    const int32_t group_count = kind == "cv" ? 1 + batch_folds : 1;
    std::vector<FitModel> models(static_cast<size_t>(per_group) * group_count);
    std::vector<FitGroup> groups(static_cast<size_t>(group_count));
    weights.assign(length * models.size(), 0.0);
    for (int32_t g = 0; g < group_count; ++g) {
        FitGroup& group = groups[static_cast<size_t>(g)];
        const size_t begin = g == 0 ? 0 : setup.training_begin[static_cast<size_t>(g - 1)];
        group.count = g == 0 ? set.N : static_cast<int32_t>(setup.training_begin[static_cast<size_t>(g)] - begin);
        group.columns = g == 0 ? nullptr : setup.training.data() + begin;
        group.steps = T;
        group.start_state = 12345;
        group.models = models.data() + static_cast<size_t>(g) * per_group;
        group.model_count = per_group;
        for (int32_t m = 0; m < per_group; ++m) {
            FitModel& model = group.models[m];
            model.W = weights.data() + (static_cast<size_t>(g) * per_group + m) * length;
            model.lambda = classes ? trainer_lambda : setup.lambdas[static_cast<size_t>(m)];
            model.positive_class = classes ? m : -1;
        }
    }
    FitBatch batch;
    batch.y = set.y.data();
    batch.class_of = setup.class_of.data();
    batch.threads = threads;
    fit_batch(set.X.data(), set.d, batch, groups.data(), group_count);
}

// The same models as one-model calls.
void run_separately(const Dataset& set, const BatchSetup& setup, const std::string& kind, int32_t T,
                    std::vector<double>& W)
{
    W.assign(static_cast<size_t>(set.d) + 1, 0.0);
    auto one = [&](const Dataset& on, const double* y, double lambda) {
        std::fill(W.begin(), W.end(), 0.0);
        sampler_seed(12345);
        fit_weights(on.X.data(), y, on.d, on.N, fit_settings(lambda, 1.0, T), W.data());
    };
    if (kind == "classes") {
        for (const std::vector<double>& y : setup.relabelled) one(set, y.data(), trainer_lambda);
        return;
    }
    for (double lambda : setup.lambdas) one(set, set.y.data(), lambda);
    if (kind != "cv") return;
    for (const Dataset& fold : setup.fold_sets) {
        for (double lambda : setup.lambdas) one(fold, fold.y.data(), lambda);
    }
}

const char* const batch_kinds[] = {"lambdas", "classes", "cv"};

// The setup lives as long as the benchmarks that read it.
void register_batches(const TrainerCase& c, const Dataset* set, std::shared_ptr<const BatchSetup> setup)
{
    for (const char* kind : batch_kinds) {
        const std::string tag = std::string(kind) + "/" + trainer_tag(c);
        benchmark::RegisterBenchmark(("batch/1t/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> weights;
            for (auto _ : state) run_batch(*set, *setup, kind, c.T, 1, weights);
        });
        benchmark::RegisterBenchmark(("batch/threads/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> weights;
            for (auto _ : state) run_batch(*set, *setup, kind, c.T, kernel_threads(), weights);
        });
        benchmark::RegisterBenchmark(("batch/separate/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> W;
            for (auto _ : state) run_separately(*set, *setup, kind, c.T, W);
        })->Iterations(1);
    }
}

}  // namespace

void register_batch_benchmarks(const TrainerSets& sets)
{
    for (const TrainerCase& c : trainer_cases) {
        const Dataset& set = sets.of(c);
        register_batches(c, &set, std::make_shared<const BatchSetup>(make_batch_setup(set)));
    }
}

void print_batch_rows(const std::string& threads)
{
    for (const TrainerCase& c : trainer_cases) {
        for (const char* kind : batch_kinds) {
            const std::string tag = std::string(kind) + "/" + trainer_tag(c);
            const double separate = best_seconds("batch/separate/" + tag);
            const char* what = std::strcmp(kind, "lambdas") == 0 ? "8 lambdas in one call"
                               : std::strcmp(kind, "classes") == 0
                                   ? "10 one-vs-rest classes in one call"
                                   : "5-fold cross-validation of 8 lambdas (48 models) in one call";
            const char* peer = std::strcmp(kind, "cv") == 0 ? "48" : std::strcmp(kind, "classes") == 0 ? "10" : "8";
            for (const char* run : {"1t", "threads"}) {
                const double ours = best_seconds("batch/" + std::string(run) + "/" + tag);
                char ours_text[64];
                char peer_text[64];
                std::snprintf(ours_text, sizeof ours_text, "%.3f s", ours);
                std::snprintf(peer_text, sizeof peer_text, "%.3f s", separate);
                print_row("fit_batch",
                          std::string(what) + (std::strcmp(run, "1t") == 0 ? ", 1 thread" : (", " + threads)) +
                              " vs " + peer + " one-model calls on 1 thread, " + trainer_tag(c),
                          ours_text, peer_text, separate / ours);
            }
        }
    }
}
