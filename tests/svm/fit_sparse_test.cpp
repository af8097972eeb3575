// Sparse examples: the solver against the dense solver on the same values,
// over sparsity from 0.1% to full, empty columns and d up to 2^20; the norm it
// keeps against the norm summed; the fold of a tiny scale; logical values;
// many models and a stopped batch; the structure check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/sparse_examples.h"
#include "svm/model_scores.h"
#include "tests/svm/fit_testing.h"

namespace {

// A d x N sparse matrix and the same values dense.
struct SparseData {
    int32_t d = 0;
    int32_t N = 0;
    std::vector<double> values;
    std::vector<int64_t> rows;
    std::vector<int64_t> starts;
    std::vector<double> dense;
    std::vector<double> y;

    SparseExamples<double> examples() const { return {values.data(), rows.data(), starts.data()}; }
};

// Each element non-zero with probability `density`; column 0 empty and
// column 1 with one non-zero when N > 2.
SparseData make_sparse(int32_t d, int32_t N, double density, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::normal_distribution<double> normal(0.0, 1.0);
    SparseData data;
    data.d = d;
    data.N = N;
    data.dense.assign(static_cast<size_t>(d) * N, 0.0);
    data.starts.push_back(0);
    for (int32_t j = 0; j < N; ++j) {
        const double label = generator() % 2 ? 1.0 : -1.0;
        data.y.push_back(label);
        for (int32_t i = 0; i < d; ++i) {
            const bool present = N > 2 && j == 0 ? false : N > 2 && j == 1 ? i == d / 2 : uniform(generator) < density;
            if (!present) continue;
            const double v = normal(generator) + 0.3 * label * (i % 5 == 0);
            data.values.push_back(v);
            data.rows.push_back(i);
            data.dense[i + static_cast<size_t>(j) * d] = v;
        }
        data.starts.push_back(static_cast<int64_t>(data.rows.size()));
    }
    return data;
}

double relative_difference(const std::vector<double>& a, const std::vector<double>& b)
{
    double largest = 0.0, difference = 0.0;
    for (size_t k = 0; k < a.size(); ++k) {
        largest = std::fmax(largest, std::fabs(b[k]));
        difference = std::fmax(difference, std::fabs(a[k] - b[k]));
    }
    return largest > 0.0 ? difference / largest : difference;
}

struct Trained {
    std::vector<double> W;
    FitResult result;
    uint32_t state;
};

template <class Examples>
Trained train(const Examples& X, const SparseData& data, const FitSettings& settings, std::vector<double> W)
{
    sampler_seed(5);
    Trained trained;
    trained.result = fit_weights(X, data.y.data(), data.d, data.N, settings, W.data());
    trained.state = sampler_working_state();
    trained.W = std::move(W);
    return trained;
}

}  // namespace

TEST(FitSparse, AgreesWithTheDenseSolverOnTheSameValues)
{
    struct Case {
        int32_t d, N;
        double density, lambda, biasmult;
        int32_t T;
        int64_t start_step;
        bool weights, w0;
    };
    const Case cases[] = {
        {1, 40, 1.0, 0.01, 1.0, 3000, 0, false, false},      {2, 40, 0.5, 0.01, 0.0, 3000, 0, false, false},
        {57, 300, 0.001, 0.001, 1.0, 20000, 0, false, false}, {57, 300, 0.01, 0.001, 1.0, 20000, 0, true, false},
        {57, 300, 0.3, 1e-4, 2.0, 20000, 10, false, true},    {57, 300, 1.0, 0.01, 1.0, 20000, 0, true, true},
        {500, 200, 0.05, 1e-5, 1.0, 50000, 0, false, false},  {1 << 20, 6, 0.0001, 0.001, 1.0, 60, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "d=" << c.d << " density=" << c.density << " lambda=" << c.lambda);
        const SparseData data = make_sparse(c.d, c.N, c.density, static_cast<uint32_t>(c.d + c.N));
        std::vector<double> weights(c.N);
        for (int32_t j = 0; j < c.N; ++j) weights[j] = 0.25 + (j % 3);
        std::vector<double> start(weight_count(c.d, c.biasmult), 0.0);
        if (c.w0) {
            for (size_t k = 0; k < start.size(); ++k) start[k] = 0.1 * std::cos(static_cast<double>(k));
        }
        FitSettings settings = fit_settings(c.lambda, c.biasmult, c.T);
        settings.start_step = c.start_step;
        if (c.weights) settings.weights = weights.data();

        const Trained sparse = train(data.examples(), data, settings, start);
        sampler_seed(5);
        std::vector<double> W = start;
        const FitResult dense = fit_weights_plain(data.dense.data(), data.y.data(), c.d, c.N, settings, W.data());
        EXPECT_LE(relative_difference(sparse.W, W), 1e-9);
        EXPECT_EQ(sparse.state, sampler_working_state());
        EXPECT_EQ(sparse.result.steps_made, dense.steps_made);
        EXPECT_EQ(sparse.result.violations, dense.violations);
    }
}

TEST(FitSparse, KeptNormAndFoldedScaleFollowTheWeights)
{
    // Long enough that the norm is summed in full many times over; the kept
    // norm of the unscaled weights, times the scale squared, is the norm of
    // the result.
    const SparseData data = make_sparse(50, 400, 0.1, 3);
    std::vector<double> W(51, 0.0);
    FitModel model;
    model.W = W.data();
    model.lambda = 1e-4;
    FitGroup group;
    group.count = data.N;
    group.steps = 200000;
    group.start_state = 11;
    group.models = &model;
    group.model_count = 1;
    FitBatch batch;
    batch.y = data.y.data();
    EXPECT_FALSE(fit_batch(data.examples(), data.d, batch, &group, 1));
    double squares = 0.0;
    for (double w : W) squares += w * w;
    EXPECT_NEAR(model.squared_norm * model.scale * model.scale / squares, 1.0, 1e-12);

    // Huge starting weights: the first violating step projects the scale to
    // about 1e-150, and the next folds it into the weights before adding the
    // example. The dense solver on the same values agrees.
    std::vector<double> start(51);
    for (size_t k = 0; k < start.size(); ++k) start[k] = (k % 2 ? 1e150 : -1e150);
    FitSettings settings = fit_settings(0.01, 1.0, 500);
    settings.start_step = 100;
    const Trained sparse = train(data.examples(), data, settings, start);
    sampler_seed(5);
    std::vector<double> dense = start;
    fit_weights_plain(data.dense.data(), data.y.data(), data.d, data.N, settings, dense.data());
    for (double w : sparse.W) ASSERT_TRUE(std::isfinite(w));
    EXPECT_LE(relative_difference(sparse.W, dense), 1e-9);
}

TEST(FitSparse, LogicalValuesAreZeroAndOne)
{
    const SparseData data = make_sparse(80, 200, 0.05, 8);
    SparseData ones = data;
    for (double& v : ones.values) v = 1.0;
    const std::unique_ptr<bool[]> logical(new bool[ones.values.size() + 1]);
    for (size_t k = 0; k < ones.values.size(); ++k) logical[k] = true;
    std::vector<double> from_ones(81, 0.0), from_logical(81, 0.0);
    std::vector<FitModel> models(2);
    FitGroup groups[2];
    for (int g = 0; g < 2; ++g) {
        models[g].W = (g == 0 ? from_ones : from_logical).data();
        groups[g].count = data.N;
        groups[g].steps = 5000;
        groups[g].start_state = 4;
        groups[g].models = &models[g];
        groups[g].model_count = 1;
    }
    FitBatch batch;
    batch.y = data.y.data();
    fit_batch(ones.examples(), data.d, batch, &groups[0], 1);
    fit_batch(SparseExamples<bool>{logical.get(), data.rows.data(), data.starts.data()}, data.d, batch, &groups[1], 1);
    EXPECT_EQ(from_ones, from_logical);
    EXPECT_EQ(models[0].sampler_state, models[1].sampler_state);

    // Scores: the logical examples' loss is the same double examples' loss.
    double loss[2];
    int64_t errors[2];
    ASSERT_TRUE(score_models(ones.examples(), data.d, batch, nullptr, data.N, &models[0], 1, &loss[0], &errors[0]));
    ASSERT_TRUE(score_models(SparseExamples<bool>{logical.get(), data.rows.data(), data.starts.data()}, data.d, batch,
                             nullptr, data.N, &models[1], 1, &loss[1], &errors[1]));
    EXPECT_EQ(loss[0], loss[1]);
    EXPECT_EQ(errors[0], errors[1]);
}

TEST(FitSparse, BatchModelsAreTheirOneModelCallsAndStopTogether)
{
    const SparseData data = make_sparse(3000, 500, 0.02, 21);
    const double lambdas[] = {0.1, 1e-3, 1e-5};
    for (int threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        std::vector<double> W(3 * 3001, 0.0);
        std::vector<FitModel> models(3);
        FitGroup group;
        group.count = data.N;
        group.steps = 300000;
        group.start_state = 6;
        group.models = models.data();
        group.model_count = 3;
        for (int m = 0; m < 3; ++m) {
            models[m].W = W.data() + 3001 * m;
            models[m].lambda = lambdas[m];
        }
        FitBatch batch;
        batch.y = data.y.data();
        batch.threads = threads;
        EXPECT_FALSE(fit_batch(data.examples(), data.d, batch, &group, 1));
        for (int m = 0; m < 3; ++m) {
            sampler_seed(6);
            std::vector<double> alone(3001, 0.0);
            fit_weights(data.examples(), data.y.data(), data.d, data.N, fit_settings(lambdas[m], 1.0, 300000),
                        alone.data());
            EXPECT_EQ(std::vector<double>(W.begin() + 3001 * m, W.begin() + 3001 * (m + 1)), alone) << m;
            EXPECT_EQ(models[m].sampler_state, sampler_working_state());
        }
    }

    // Stopped at the first poll: the same as a run of that many steps.
    std::vector<double> stopped(3001, 0.0), complete(3001, 0.0);
    FitSettings settings = fit_settings(1e-3, 1.0, INT32_MAX);
    int64_t polled_at = -1;
    settings.monitor.context = &polled_at;
    settings.monitor.poll = [](void* context, int64_t steps_made) noexcept {
        *static_cast<int64_t*>(context) = steps_made;
        return true;
    };
    const Trained first = train(data.examples(), data, settings, stopped);
    EXPECT_TRUE(first.result.stopped);
    ASSERT_GT(polled_at, 0);
    EXPECT_EQ(first.result.steps_made, polled_at);
    const Trained second =
        train(data.examples(), data, fit_settings(1e-3, 1.0, static_cast<int32_t>(polled_at)), complete);
    EXPECT_EQ(first.W, second.W);
    EXPECT_EQ(first.state, second.state);
}

TEST(FitSparse, StructureCheck)
{
    const int64_t rows[] = {0, 2, 1, 2, 3};
    struct Case {
        std::vector<int64_t> starts;
        int32_t d;
        bool valid;
    };
    const Case cases[] = {
        {{0, 2, 2, 5}, 4, true},   // an empty column
        {{0}, 4, true},            // no columns
        {{0, 0, 0}, 0, true},      // no rows, no non-zeros
        {{0, 2, 2, 5}, 3, false},  // row 3 of 3 rows
        {{1, 2, 2, 5}, 4, false},  // does not start at 0
        {{0, 3, 2, 5}, 4, false},  // offsets out of order
        {{0, 2, 2, 1}, 4, false},
    };
    for (const Case& c : cases) {
        const int32_t N = static_cast<int32_t>(c.starts.size()) - 1;
        EXPECT_EQ(sparse_structure_valid(rows, c.starts.data(), c.d, N), c.valid) << c.starts.size() << " " << c.d;
    }
    const int64_t negative[] = {0, -1};
    const int64_t two[] = {0, 2};
    EXPECT_FALSE(sparse_structure_valid(negative, two, 4, 1));
}
