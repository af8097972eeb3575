// Averaged iterates: the mean kept as the steps go against the mean of every
// iterate stored one by one (each the result of a run stopped after that
// step), on every path, dense and sparse, from step 0 and continuing a run,
// for a batch of models on several threads; nothing to average gives the last
// iterate.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"

namespace {

struct Problem {
    int32_t d = 9;
    int32_t N = 30;
    std::vector<double> X, y;
    std::vector<double> values;
    std::vector<int64_t> rows, starts;
};

// A problem with about a third of its elements zero, dense and sparse.
Problem make_problem()
{
    Problem p;
    std::mt19937 generator(12);
    std::normal_distribution<double> normal(0.0, 1.0);
    p.X.assign(static_cast<size_t>(p.d) * p.N, 0.0);
    p.starts.push_back(0);
    for (int32_t j = 0; j < p.N; ++j) {
        p.y.push_back(j % 3 == 0 ? 1.0 : -1.0);
        for (int32_t i = 0; i < p.d; ++i) {
            if (generator() % 3 == 0) continue;
            const double v = normal(generator) + (j % 3 == 0 ? 0.7 : -0.2);
            p.X[i + static_cast<size_t>(j) * p.d] = v;
            p.values.push_back(v);
            p.rows.push_back(i);
        }
        p.starts.push_back(static_cast<int64_t>(p.rows.size()));
    }
    return p;
}

using Batch = std::function<bool(const Problem&, int32_t, const FitBatch&, FitGroup*, int32_t)>;

// One model from `start`, T steps from start_step, averaging after step k
// (or not at all for k < 0): the returned weights and, through the
// pointers, the last iterate and the count averaged.
std::vector<double> run(Batch batch_of, const Problem& p, double lambda, int32_t T, int64_t start_step, int64_t k,
                        const std::vector<double>& start, std::vector<double>* last = nullptr,
                        int64_t* averaged = nullptr)
{
    std::vector<double> W = start, A(start.size(), -1.0);
    FitModel model;
    model.W = W.data();
    model.lambda = lambda;
    model.average = k >= 0 ? A.data() : nullptr;
    model.average_after = k;
    FitGroup group;
    group.count = p.N;
    group.steps = T;
    group.start_state = 31;
    group.models = &model;
    group.model_count = 1;
    FitBatch batch;
    batch.y = p.y.data();
    batch.start_step = start_step;
    batch_of(p, p.d, batch, &group, 1);
    if (last != nullptr) *last = W;
    if (averaged != nullptr) *averaged = model.result.averaged;
    return k >= 0 ? A : W;
}

double relative_difference(const std::vector<double>& a, const std::vector<double>& b)
{
    double largest = 0.0, difference = 0.0;
    for (size_t k = 0; k < a.size(); ++k) {
        largest = std::fmax(largest, std::fabs(b[k]));
        difference = std::fmax(difference, std::fabs(a[k] - b[k]));
    }
    return difference / largest;
}

struct Path {
    std::string name;
    Batch batch;
};

std::vector<Path> every_path()
{
    std::vector<Path> paths{
        {"plain", [](const Problem& p, int32_t d, const FitBatch& b, FitGroup* g, int32_t n) {
             return fit_batch_plain(p.X.data(), d, b, g, n);
         }},
        {"sparse", [](const Problem& p, int32_t d, const FitBatch& b, FitGroup* g, int32_t n) {
             return fit_batch(SparseExamples<double>{p.values.data(), p.rows.data(), p.starts.data()}, d, b, g, n);
         }},
    };
    for (const FitVariant& v : fit_weights_variants()) {
        const BatchDouble variant = v.batch_double;
        paths.push_back({v.name, [variant](const Problem& p, int32_t d, const FitBatch& b, FitGroup* g, int32_t n) {
                             return variant(p.X.data(), d, b, g, n);
                         }});
    }
    return paths;
}

}  // namespace

TEST(FitAverage, MeanOfTheStoredIteratesOnEveryPath)
{
    const Problem p = make_problem();
    const int32_t T = 240;
    std::vector<double> w0(p.d + 1);
    for (size_t k = 0; k < w0.size(); ++k) w0[k] = 0.3 * std::sin(k + 1.0);
    struct Case {
        int64_t start_step, k;
        double lambda;
    };
    // From step 0 averaging all or the second half; a continued run averaging
    // from a step before it and within it.
    const Case cases[] = {{0, 0, 0.05}, {0, T / 2, 0.05}, {0, T / 2, 1e-3}, {500, 100, 0.01}, {500, 500 + 200, 0.01}};
    for (const Path& path : every_path()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << path.name << " start_step=" << c.start_step << " k=" << c.k);
            const std::vector<double>& start = c.start_step > 0 ? w0 : std::vector<double>(w0.size(), 0.0);
            // The iterate after step t is what a run of t steps returns.
            std::vector<double> sum(start.size(), 0.0);
            int64_t count = 0;
            for (int32_t t = 1; t <= T; ++t) {
                if (c.start_step + t <= c.k) continue;
                const std::vector<double> iterate = run(path.batch, p, c.lambda, t, c.start_step, -1, start);
                for (size_t i = 0; i < sum.size(); ++i) sum[i] += iterate[i];
                ++count;
            }
            for (double& s : sum) s /= static_cast<double>(count);
            std::vector<double> last;
            int64_t averaged = 0;
            const std::vector<double> mean = run(path.batch, p, c.lambda, T, c.start_step, c.k, start, &last, &averaged);
            EXPECT_EQ(averaged, count);
            EXPECT_LE(relative_difference(mean, sum), 1e-10);
            EXPECT_EQ(last, run(path.batch, p, c.lambda, T, c.start_step, -1, start));
        }
        // Nothing to average (k at or past the last step): the last iterate.
        int64_t averaged = -1;
        const std::vector<double> zeros(p.d + 1, 0.0);
        EXPECT_EQ(run(path.batch, p, 0.05, T, 0, T, zeros, nullptr, &averaged), run(path.batch, p, 0.05, T, 0, -1, zeros));
        EXPECT_EQ(averaged, 0);
    }
}

TEST(FitAverage, BatchModelsAverageAsAloneAtEveryThreadCount)
{
    const Problem p = make_problem();
    const double lambdas[] = {0.1, 0.01, 1e-3, 1e-4};
    for (int threads : {1, 2, 3}) {
        for (bool sparse : {false, true}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, sparse " << sparse);
            std::vector<double> W(4 * 10, 0.0), A(4 * 10, 0.0);
            std::vector<FitModel> models(4);
            FitGroup group;
            group.count = p.N;
            group.steps = 100000;
            group.start_state = 31;
            group.models = models.data();
            group.model_count = 4;
            for (int m = 0; m < 4; ++m) {
                models[m].W = W.data() + 10 * m;
                models[m].average = A.data() + 10 * m;
                models[m].average_after = 50000;
                models[m].lambda = lambdas[m];
            }
            FitBatch batch;
            batch.y = p.y.data();
            batch.threads = threads;
            if (sparse) {
                fit_batch(SparseExamples<double>{p.values.data(), p.rows.data(), p.starts.data()}, p.d, batch, &group, 1);
            } else {
                fit_batch(p.X.data(), p.d, batch, &group, 1);
            }
            for (int m = 0; m < 4; ++m) {
                const Batch alone = sparse ? every_path()[1].batch
                                           : Batch([](const Problem& q, int32_t d, const FitBatch& b, FitGroup* g,
                                                      int32_t n) { return fit_batch(q.X.data(), d, b, g, n); });
                const std::vector<double> zeros(10, 0.0);
                EXPECT_EQ(std::vector<double>(A.begin() + 10 * m, A.begin() + 10 * (m + 1)),
                          run(alone, p, lambdas[m], 100000, 0, 50000, zeros))
                    << m;
            }
        }
    }
}
