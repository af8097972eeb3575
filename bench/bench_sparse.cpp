// The trainer on sparse examples, on one thread: its cost per step at a small
// and a large weight vector, the time it takes to reach LIBLINEAR's test
// accuracy on text-like data, and the sparse call against the dense call on
// the same examples. Each figure is the fastest of a few whole runs, each
// from zero weights and the same seed, timed in the thread's CPU time: on a
// machine shared with other work that moves far less than the wall clock.
//
// Usage: bench_sparse [--quick] [--lambda=VALUE]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_table.h"
#include "bench/liblinear_peer.h"
#include "common/parallel.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"
#include "tests/svm/fit_testing.h"

namespace {

struct SparseSet {
    int32_t d = 0;
    int32_t N = 0;
    std::vector<double> values;
    std::vector<int64_t> rows;
    std::vector<int64_t> starts{0};
    std::vector<double> y;

    SparseExamples<double> view() const { return {values.data(), rows.data(), starts.data()}; }
    double mean_nonzeros() const { return static_cast<double>(values.size()) / N; }
};

// Scales the example just appended (from `begin`) to unit Euclidean length.
void normalise_last(SparseSet& set, size_t begin)
{
    double q = 0.0;
    for (size_t k = begin; k < set.values.size(); ++k) q += set.values[k] * set.values[k];
    const double norm = std::sqrt(q);
    for (size_t k = begin; k < set.values.size(); ++k) set.values[k] /= norm;
    set.starts.push_back(static_cast<int64_t>(set.values.size()));
}

// The label: the sign of the true score, flipped for 5% of the examples.
void append_label(SparseSet& set, double score, std::mt19937_64& generator)
{
    const double label = score >= 0.0 ? 1.0 : -1.0;
    set.y.push_back(std::uniform_real_distribution<double>(0.0, 1.0)(generator) < 0.05 ? -label : label);
}

constexpr int32_t text_features = 1 << 20;
constexpr int32_t text_words = 100;

// Words drawn by Zipf's law (exponent 1) over the ranks, each rank a fixed
// feature id at random, as the words of a vocabulary lie among its ids.
struct Vocabulary {
    std::vector<double> cumulative;
    std::vector<int32_t> id_of_rank;

    Vocabulary() : cumulative(text_features), id_of_rank(text_features)
    {
        double sum = 0.0;
        for (int32_t r = 0; r < text_features; ++r) cumulative[static_cast<size_t>(r)] = sum += 1.0 / (r + 1);
        std::iota(id_of_rank.begin(), id_of_rank.end(), 0);
        std::mt19937_64 generator(99);
        std::shuffle(id_of_rank.begin(), id_of_rank.end(), generator);
    }
    int32_t draw(std::mt19937_64& generator) const
    {
        const double u = std::uniform_real_distribution<double>(0.0, cumulative.back())(generator);
        const size_t r = std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin();
        return id_of_rank[std::min(r, cumulative.size() - 1)];
    }
};

// The true weights: 1% of the features, drawn as words are (frequent words
// carry the label more often than rare ones), normal values.
std::vector<double> true_weights(const Vocabulary& words)
{
    std::mt19937_64 generator(7);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> truth(text_features, 0.0);
    for (int32_t chosen = 0; chosen < text_features / 100;) {
        double& w = truth[static_cast<size_t>(words.draw(generator))];
        if (w == 0.0) w = normal(generator), ++chosen;
    }
    return truth;
}

// N documents of text_words distinct words each, a word's value 1 + log of
// its count, at unit length; the label is the sign of the true score, 5% of
// them flipped.
SparseSet make_text_set(const Vocabulary& words, const std::vector<double>& truth, int32_t N, uint32_t seed)
{
    std::mt19937_64 generator(seed);
    SparseSet set;
    set.d = text_features;
    set.N = N;
    std::vector<int32_t> seen_in(text_features, -1);  // the last document a word was seen in
    std::vector<int32_t> count(text_features, 0);
    std::vector<int32_t> ids;
    for (int32_t j = 0; j < N; ++j) {
        ids.clear();
        while (ids.size() < static_cast<size_t>(text_words)) {
            const int32_t id = words.draw(generator);
            if (seen_in[static_cast<size_t>(id)] != j) {
                seen_in[static_cast<size_t>(id)] = j;
                count[static_cast<size_t>(id)] = 0;
                ids.push_back(id);
            }
            ++count[static_cast<size_t>(id)];
        }
        std::sort(ids.begin(), ids.end());
        const size_t begin = set.values.size();
        double score = 0.0;
        for (int32_t id : ids) {
            const double v = 1.0 + std::log(static_cast<double>(count[static_cast<size_t>(id)]));
            set.rows.push_back(id);
            set.values.push_back(v);
            score += truth[static_cast<size_t>(id)] * v;
        }
        normalise_last(set, begin);
        append_label(set, score, generator);
    }
    return set;
}

// The same documents on d features, each id renumbered by new_id: ids that
// meet are summed (as hashed features are), each example again at unit
// length.
template <class NewId>
SparseSet renumbered(const SparseSet& set, int32_t d, const NewId& new_id)
{
    SparseSet folded;
    folded.d = d;
    folded.N = set.N;
    folded.y = set.y;
    std::vector<std::pair<int64_t, double>> entries;
    for (int32_t j = 0; j < set.N; ++j) {
        entries.clear();
        for (int64_t k = set.starts[j]; k < set.starts[j + 1]; ++k) {
            entries.push_back({new_id(set.rows[k]), set.values[k]});
        }
        std::sort(entries.begin(), entries.end());
        const size_t begin = folded.values.size();
        for (const auto& [row, value] : entries) {
            if (folded.values.size() > begin && folded.rows.back() == row) {
                folded.values.back() += value;
            } else {
                folded.rows.push_back(row);
                folded.values.push_back(value);
            }
        }
        normalise_last(folded, begin);
    }
    return folded;
}

// Trains from zero weights and one seed: W gets d + 1 weights (the bias last).
FitResult train_sparse(const SparseSet& set, double lambda, int32_t T, std::vector<double>& W)
{
    W.assign(static_cast<size_t>(set.d) + 1, 0.0);
    sampler_seed(2024);
    const FitResult result =
        fit_weights(set.view(), set.y.data(), set.d, set.N, fit_settings(lambda, 1.0, T), W.data());
    benchmark::DoNotOptimize(W.data());
    return result;
}

double test_accuracy(const std::vector<double>& W, const SparseSet& test)
{
    int32_t correct = 0;
    for (int32_t j = 0; j < test.N; ++j) {
        double s = W[static_cast<size_t>(test.d)];  // bias weight, bias feature 1
        for (int64_t k = test.starts[j]; k < test.starts[j + 1]; ++k) {
            s += W[static_cast<size_t>(test.rows[k])] * test.values[k];
        }
        if ((s > 0 ? 1.0 : -1.0) == test.y[static_cast<size_t>(j)]) ++correct;
    }
    return static_cast<double>(correct) / test.N;
}

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// Cost per step with about text_words non-zeros per example: on 2^20
// features, against 2^10 (the same draws; folded, the classes overlap more,
// so more steps violate the margin and update W, the share printed with
// each) and against the words numbered by frequency (what cache misses on W
// cost).
void per_step_rows(const SparseSet& train, const Vocabulary& words, double lambda, int32_t T, int repetitions)
{
    std::vector<double> W;
    struct Cost {
        double seconds;
        std::string text;
    };
    auto run = [&](const SparseSet& set) {
        FitResult result;
        const double seconds = fastest_thread_seconds(repetitions, [&] { result = train_sparse(set, lambda, T, W); });
        const double updates = static_cast<double>(result.violations) / T;
        return Cost{seconds, format("%.1f ns/step (%.0f%% updates)", seconds / T * 1e9, 100 * updates)};
    };
    const Cost large = run(train);
    const std::string steps = format("N=%.0f, %.0f steps, lambda=%g", train.N, T, lambda);
    {
        const SparseSet small = renumbered(train, 1 << 10, [](int64_t id) { return id % (1 << 10); });
        const Cost folded = run(small);
        print_row("fit_weights sparse",
                  format("per step, d=2^20 (%.1f non-zeros) vs d=2^10 (%.1f non-zeros, ids modulo 2^10), ",
                         train.mean_nonzeros(), small.mean_nonzeros()) + steps,
                  large.text, folded.text, folded.seconds / large.seconds);
    }
    // The words numbered by frequency, the most frequent first: the weights a
    // step touches crowd into fewer cache lines and pages.
    std::vector<int64_t> rank_of(text_features);
    for (int32_t r = 0; r < text_features; ++r) rank_of[words.id_of_rank[static_cast<size_t>(r)]] = r;
    const Cost ranked = run(renumbered(train, train.d, [&](int64_t id) { return rank_of[static_cast<size_t>(id)]; }));
    print_row("fit_weights sparse", "per step, d=2^20, words at random ids vs numbered by frequency, " + steps,
              large.text, ranked.text, ranked.seconds / large.seconds);
}

// LIBLINEAR's dual L1-loss SVC against our trainer at growing step counts:
// the first count whose test accuracy is within 0.5 points of LIBLINEAR's.
void liblinear_row(const SparseSet& train_set, const SparseSet& test, double lambda, int repetitions)
{
    const int32_t d = train_set.d;
    LiblinearExamples examples(d, static_cast<size_t>(train_set.N), train_set.values.size());
    for (int32_t j = 0; j < train_set.N; ++j) {
        for (int64_t k = train_set.starts[j]; k < train_set.starts[j + 1]; ++k) {
            examples.add(static_cast<int32_t>(train_set.rows[k]), train_set.values[k]);
        }
        examples.end_example();
    }
    LiblinearPeer liblinear(std::move(examples), train_set.y, lambda);

    std::vector<double> w(static_cast<size_t>(d) + 1);
    const double liblinear_seconds = fastest_thread_seconds(repetitions, [&] { liblinear.train(w); });
    const double liblinear_accuracy = test_accuracy(w, test);
    const double target = liblinear_accuracy - 0.005;

    double ours = NAN;
    double ours_accuracy = 0.0;
    int32_t T = train_set.N / 16;
    for (; T <= 64 * train_set.N; T *= 2) {
        train_sparse(train_set, lambda, T, w);
        ours_accuracy = test_accuracy(w, test);
        std::fprintf(stderr, "  %d steps: %.2f%% (target %.2f%%)\n", T, 100 * ours_accuracy, 100 * target);
        if (ours_accuracy >= target) {
            ours = fastest_thread_seconds(repetitions, [&] { train_sparse(train_set, lambda, T, w); });
            break;
        }
    }
    print_row("fit_weights sparse",
              format("time to %.2f%% test accuracy vs LIBLINEAR dual L1-loss SVC (eps 0.1, C = 1/(lambda N)), ",
                     100 * target) +
                  format("text-like d=2^20 N=%.0f, %.0f test examples, lambda=%g", train_set.N, test.N, lambda),
              std::isnan(ours) ? format("not reached (%.2f%% at %.0f steps)", 100 * ours_accuracy, T / 2)
                               : format("%.1f ms (%.0f steps, %.2f%%)", ours * 1e3, T, 100 * ours_accuracy),
              format("%.1f ms (%.2f%%)", liblinear_seconds * 1e3, 100 * liblinear_accuracy), liblinear_seconds / ours);
}

// N examples of d features with `nonzeros` of them at random (normal values,
// unit length), labels by a random direction with 5% flipped.
SparseSet make_uniform_set(int32_t d, int32_t N, int32_t nonzeros, uint32_t seed)
{
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> direction(static_cast<size_t>(d));
    for (double& v : direction) v = normal(generator);
    SparseSet set;
    set.d = d;
    set.N = N;
    std::vector<int32_t> ids(static_cast<size_t>(d));
    std::iota(ids.begin(), ids.end(), 0);
    for (int32_t j = 0; j < N; ++j) {
        // The first `nonzeros` of a partial shuffle: distinct ids, then sorted.
        for (int32_t k = 0; k < nonzeros; ++k) {
            const uint64_t pick = static_cast<uint64_t>(k) + generator() % static_cast<uint64_t>(d - k);
            std::swap(ids[static_cast<size_t>(k)], ids[pick]);
        }
        std::vector<int32_t> chosen(ids.begin(), ids.begin() + nonzeros);
        std::sort(chosen.begin(), chosen.end());
        const size_t begin = set.values.size();
        double score = 0.0;
        for (int32_t id : chosen) {
            set.rows.push_back(id);
            set.values.push_back(normal(generator));
            score += direction[static_cast<size_t>(id)] * set.values.back();
        }
        normalise_last(set, begin);
        append_label(set, score, generator);
    }
    return set;
}

// The dense call against the sparse call on the same examples, by density.
void dense_rows(double lambda, int32_t T, int repetitions)
{
    const int32_t d = 1 << 12;
    const int32_t N = 20000;
    for (double density : {0.001, 0.01, 0.1, 0.3}) {
        const int32_t nonzeros = std::max<int32_t>(1, static_cast<int32_t>(std::lround(density * d)));
        const SparseSet set = make_uniform_set(d, N, nonzeros, 31);
        std::vector<double> X(static_cast<size_t>(d) * N, 0.0);
        for (int32_t j = 0; j < N; ++j) {
            for (int64_t k = set.starts[j]; k < set.starts[j + 1]; ++k) {
                X[static_cast<size_t>(set.rows[k]) + static_cast<size_t>(j) * d] = set.values[k];
            }
        }
        std::vector<double> W;
        const double sparse = fastest_thread_seconds(repetitions, [&] { train_sparse(set, lambda, T, W); });
        const double dense = fastest_thread_seconds(repetitions, [&] {
            W.assign(static_cast<size_t>(d) + 1, 0.0);
            sampler_seed(2024);
            fit_weights(X.data(), set.y.data(), d, N, fit_settings(lambda, 1.0, T), W.data());
            benchmark::DoNotOptimize(W.data());
        });
        print_row("fit_weights sparse",
                  format("sparse X vs dense X, d=4096 N=20000, density %g%% (%.0f non-zeros), ", 100 * density,
                         nonzeros) +
                      fit_weights_chosen().name + " dense variant, " +
                      format("%.0f steps, lambda=%g", T, lambda),
                  format("%.1f ns/step", sparse / T * 1e9), format("%.1f ns/step", dense / T * 1e9), dense / sparse);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    // Of 1e-4, 1e-5 and 1e-6, the lambda at which LIBLINEAR's test accuracy
    // on these examples is best.
    double lambda = 1e-5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        if (std::strncmp(argv[i], "--lambda=", 9) == 0) lambda = std::atof(argv[i] + 9);
    }
    const int repetitions = quick ? 2 : 3;
    const int32_t N = quick ? 50000 : 200000;

    std::fprintf(stderr, "preparing text-like examples...\n");
    const Vocabulary words;
    const std::vector<double> truth = true_weights(words);
    const SparseSet train_set = make_text_set(words, truth, N, 1);
    const SparseSet test_set = make_text_set(words, truth, N / 4, 2);

    std::printf("Machine: %s; %d processors this process may run on; every row on 1 thread\n", cpu_model().c_str(),
                available_processors());
    std::printf("Compiler: %s\n\n", __VERSION__);
    print_table_header();
    per_step_rows(train_set, words, lambda, quick ? 500000 : 4000000, repetitions);
    liblinear_row(train_set, test_set, lambda, repetitions);
    dense_rows(lambda, quick ? 50000 : 300000, repetitions);
    return 0;
}
