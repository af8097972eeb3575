// Many models in one call: every model of a batch against its one-model call,
// to the bit, on every path and at several thread counts; fold models against
// the call on the fold's complement; a stopped batch; the class and fold
// helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "svm/fit_weights.h"
#include "svm/classes_and_folds.h"
#include "svm/sampler.h"
#include "tests/svm/fit_testing.h"

namespace {

struct Data {
    int32_t d;
    int32_t N;
    std::vector<double> X;
    std::vector<double> y;        // classes 0, 1, 2
    std::vector<int32_t> class_of;
    std::vector<double> weights;  // N x 3, a column per class
};

Data make_data(int32_t d, int32_t N, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    Data data{d, N, std::vector<double>(static_cast<size_t>(d) * N), std::vector<double>(N), std::vector<int32_t>(N),
              std::vector<double>(3 * static_cast<size_t>(N))};
    for (int32_t j = 0; j < N; ++j) {
        const int32_t k = static_cast<int32_t>(generator() % 3);
        data.y[j] = k;
        data.class_of[j] = k;
        for (int32_t i = 0; i < d; ++i) data.X[i + static_cast<size_t>(j) * d] = normal(generator) + 0.5 * k * (i % 3 == k);
        for (int32_t c = 0; c < 3; ++c) data.weights[j + static_cast<size_t>(c) * N] = 0.5 + (generator() % 4 == 0);
    }
    return data;
}

struct Path {
    const char* name;
    BatchDouble batch;
    OneModelFit one;
};

std::vector<Path> every_path()
{
    std::vector<Path> paths{{"plain", fit_batch_plain, plain_fit}};
    for (const FitVariant& v : fit_weights_variants()) paths.push_back({v.name, v.batch_double, one_model_fit(v)});
    return paths;
}

const double lambdas[] = {0.1, 0.003, 1e-4};

// One model alone: class k against the rest, on the examples `columns` (all
// when empty), from its own copy of the starting weights.
std::vector<double> train_alone(const OneModelFit& one, const Data& data, const std::vector<int32_t>& columns, int32_t k,
                                double lambda, int32_t T, const std::vector<double>& start, uint32_t* state)
{
    const std::vector<int32_t> all = [&] {
        std::vector<int32_t> c(data.N);
        for (int32_t j = 0; j < data.N; ++j) c[j] = j;
        return c;
    }();
    const std::vector<int32_t>& use = columns.empty() ? all : columns;
    std::vector<double> X, y, weights;
    for (int32_t c : use) {
        X.insert(X.end(), data.X.begin() + static_cast<ptrdiff_t>(c) * data.d,
                 data.X.begin() + static_cast<ptrdiff_t>(c + 1) * data.d);
        y.push_back(data.class_of[c] == k ? 1.0 : -1.0);
        weights.push_back(data.weights[c + static_cast<size_t>(k) * data.N]);
    }
    FitSettings settings = fit_settings(lambda, 1.0, T);
    settings.weights = weights.data();
    settings.start_step = 3;
    std::vector<double> W = start;
    sampler_seed(77);
    one(X.data(), y.data(), data.d, static_cast<int32_t>(use.size()), settings, W.data());
    *state = sampler_working_state();
    return W;
}

}  // namespace

TEST(FitBatch, EveryModelIsItsOneModelCallOnEveryPathAndThreadCount)
{
    // Three classes times three lambdas, on all examples and on the
    // complement of one fold; every path, at 1, 2 and 3 threads (the batch
    // takes threads from a few milliseconds of work on: d = 70).
    for (int32_t d : {1, 7, 70}) {
        const int32_t T = d == 70 ? 40000 : 900;
        const Data data = make_data(d, 50, static_cast<uint32_t>(d));
        std::vector<int32_t> complement;
        for (int32_t j = 0; j < data.N; ++j) {
            if (j % 4 != 1) complement.push_back(j);
        }
        const size_t length = static_cast<size_t>(d) + 1;
        std::vector<double> start(length * 9);
        for (size_t i = 0; i < start.size(); ++i) start[i] = std::sin(1.0 + static_cast<double>(i));
        for (const Path& path : every_path()) {
            for (int threads : {1, 2, 3}) {
                SCOPED_TRACE(testing::Message() << path.name << " d=" << d << " threads=" << threads);
                std::vector<double> weights_all = start, weights_fold = start;
                std::vector<FitModel> models(18);
                FitGroup groups[2];
                for (int g = 0; g < 2; ++g) {
                    groups[g].count = g == 0 ? data.N : static_cast<int32_t>(complement.size());
                    groups[g].columns = g == 0 ? nullptr : complement.data();
                    groups[g].steps = T;
                    groups[g].start_state = 77;
                    groups[g].models = models.data() + 9 * g;
                    groups[g].model_count = 9;
                    for (int32_t m = 0; m < 9; ++m) {
                        FitModel& model = groups[g].models[m];
                        model.W = (g == 0 ? weights_all : weights_fold).data() + m * length;
                        model.lambda = lambdas[m / 3];
                        model.positive_class = m % 3;
                        model.weights = data.weights.data() + static_cast<size_t>(m % 3) * data.N;
                    }
                }
                FitBatch batch;
                batch.y = data.y.data();
                batch.class_of = data.class_of.data();
                batch.start_step = 3;
                batch.threads = threads;
                EXPECT_FALSE(path.batch(data.X.data(), d, batch, groups, 2));
                for (int g = 0; g < 2; ++g) {
                    for (int32_t m = 0; m < 9; ++m) {
                        uint32_t state = 0;
                        const std::vector<double> part(start.begin() + m * length, start.begin() + (m + 1) * length);
                        const std::vector<double> alone = train_alone(path.one, data, g == 0 ? std::vector<int32_t>{}
                                                                                            : complement,
                                                                      m % 3, lambdas[m / 3], T, part, &state);
                        const FitModel& model = groups[g].models[m];
                        EXPECT_EQ(std::vector<double>(model.W, model.W + length), alone) << "group " << g << " model " << m;
                        EXPECT_EQ(model.sampler_state, state);
                        EXPECT_EQ(model.result.steps_made, T);
                    }
                }
            }
        }
    }
}

TEST(FitBatch, StoppedBatchLeavesEveryModelAtTheSameStep)
{
    const Data data = make_data(300, 40, 5);
    for (const Path& path : every_path()) {
        SCOPED_TRACE(path.name);
        std::vector<double> stopped_W(301 * 4, 0.0), short_W(301 * 4, 0.0);
        std::vector<FitModel> stopped_models(4), short_models(4);
        auto group_of = [&](std::vector<FitModel>& models, std::vector<double>& W, int32_t T) {
            FitGroup group;
            group.count = data.N;
            group.steps = T;
            group.start_state = 9;
            group.models = models.data();
            group.model_count = 4;
            for (int32_t m = 0; m < 4; ++m) {
                models[m].W = W.data() + 301 * m;
                models[m].lambda = 0.01 * (m + 1);
            }
            return group;
        };
        FitBatch batch;
        batch.y = data.y.data();
        batch.class_of = data.class_of.data();
        for (int32_t m = 0; m < 4; ++m) stopped_models[m].positive_class = short_models[m].positive_class = m % 3;
        batch.threads = 2;
        int64_t polled_at = -1;
        batch.monitor.context = &polled_at;
        batch.monitor.poll = [](void* context, int64_t steps_made) noexcept {
            *static_cast<int64_t*>(context) = steps_made;
            return true;
        };
        FitGroup stopped = group_of(stopped_models, stopped_W, INT32_MAX);
        EXPECT_TRUE(path.batch(data.X.data(), 300, batch, &stopped, 1));
        ASSERT_GT(polled_at, 0);
        batch.monitor = FitMonitor();
        FitGroup complete = group_of(short_models, short_W, static_cast<int32_t>(polled_at));
        EXPECT_FALSE(path.batch(data.X.data(), 300, batch, &complete, 1));
        for (int32_t m = 0; m < 4; ++m) {
            EXPECT_EQ(stopped_models[m].result.steps_made, polled_at);
            EXPECT_TRUE(stopped_models[m].result.stopped);
            EXPECT_EQ(stopped_models[m].sampler_state, short_models[m].sampler_state);
        }
        EXPECT_EQ(stopped_W, short_W);
    }
}

TEST(ClassesAndFolds, DistinctLabelsClassIndicesAndSplits)
{
    const double y[] = {3, -0.0, 7, 3, 0, 7, 3};
    double classes[7];
    EXPECT_EQ(distinct_labels(y, 7, classes), 3);
    EXPECT_EQ(std::vector<double>(classes, classes + 3), (std::vector<double>{0, 3, 7}));
    const double with_nan[] = {1, std::nan("")};
    EXPECT_EQ(distinct_labels(with_nan, 2, classes), -1);

    // Classes in the caller's order; labels of no listed class are -1.
    int32_t class_of[7];
    double sorted[3];
    int32_t order[3];
    const double listed[] = {7, 3};
    EXPECT_EQ(class_index_of(y, 7, listed, 2, class_of, sorted, order), -1);
    EXPECT_EQ(std::vector<int32_t>(class_of, class_of + 7), (std::vector<int32_t>{1, -1, 0, 1, -1, 0, 1}));
    const double absent[] = {3, 5};
    EXPECT_EQ(class_index_of(y, 7, absent, 2, class_of, sorted, order), 1);
    const double twice[] = {3, 7, 3};
    EXPECT_EQ(class_index_of(y, 7, twice, 3, class_of, sorted, order), -2);

    // Three folds of seven examples, the third fold given first.
    const int32_t fold_of[] = {2, 0, 1, 2, 0, 1, 0};
    int32_t training[14];
    int32_t validation[7];
    int64_t training_begin[4];
    int64_t validation_begin[4];
    split_folds(fold_of, 7, 3, training, training_begin, validation, validation_begin);
    EXPECT_EQ(std::vector<int64_t>(validation_begin, validation_begin + 4), (std::vector<int64_t>{0, 3, 5, 7}));
    EXPECT_EQ(std::vector<int32_t>(validation, validation + 7), (std::vector<int32_t>{1, 4, 6, 2, 5, 0, 3}));
    EXPECT_EQ(std::vector<int64_t>(training_begin, training_begin + 4), (std::vector<int64_t>{0, 4, 9, 14}));
    EXPECT_EQ(std::vector<int32_t>(training, training + 14),
              (std::vector<int32_t>{0, 2, 3, 5, 0, 1, 3, 4, 6, 1, 2, 4, 5, 6}));
}
