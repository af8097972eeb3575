// The vectorised solvers against the plain loop: same draws, same stored
// sampler state, weights equal to a few units in the last place. Examples as
// floats give, on every path, exactly what the same values as doubles give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "tests/svm/fit_testing.h"

namespace {

// One model trained alone on one path.
using Solver = OneModelFit;

struct Trained {
    std::vector<double> W;
    uint32_t stored_state;
};

struct Problem {
    std::vector<double> X;
    std::vector<double> y;
    int32_t d;
    int32_t N;
};

Problem random_problem(int32_t d, int32_t N, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    Problem p{std::vector<double>(static_cast<size_t>(d) * N), std::vector<double>(static_cast<size_t>(N)), d, N};
    for (int32_t j = 0; j < N; ++j) {
        // Two overlapping classes, so that many steps violate the margin and many do not.
        const double label = (generator() & 1) ? 1.0 : -1.0;
        p.y[static_cast<size_t>(j)] = label;
        for (int32_t k = 0; k < d; ++k) {
            p.X[static_cast<size_t>(k) + static_cast<size_t>(j) * d] = normal(generator) + 0.3 * label;
        }
    }
    return p;
}

Trained train(Solver solver, const Problem& p, double lambda, double biasmult, int32_t T, uint32_t seed)
{
    Trained run{std::vector<double>(static_cast<size_t>(p.d) + (biasmult > 0 ? 1 : 0), 0.0), 0};
    sampler_seed(seed);
    solver(p.X.data(), p.y.data(), p.d, p.N, fit_settings(lambda, biasmult, T), run.W.data());
    sampler_store();
    run.stored_state = sampler_stored_state();
    return run;
}

std::vector<std::pair<const char*, Solver>> fast_solvers()
{
    std::vector<std::pair<const char*, Solver>> solvers{{"dispatch", dispatch_fit}};
    for (const FitVariant& v : fit_weights_variants()) solvers.emplace_back(v.name, one_model_fit(v));
    return solvers;
}

// Every path, each on float examples and on doubles.
std::vector<std::pair<const char*, Solver>> single_and_double_solvers()
{
    std::vector<std::pair<const char*, Solver>> solvers{{"plain", plain_fit},
                                                        {"dispatch", dispatch_fit}};
    for (const FitVariant& v : fit_weights_variants()) solvers.emplace_back(v.name, one_model_fit(v));
    return solvers;
}

// Differences are judged against the size of the whole vector: a weight near
// zero is the sum of terms of the vector's size, and so are its rounding errors.
void expect_close(const Trained& fast, const Trained& plain, const char* name)
{
    ASSERT_EQ(fast.W.size(), plain.W.size()) << name;
    EXPECT_EQ(fast.stored_state, plain.stored_state) << name;
    double norm = 0.0;
    for (double w : plain.W) norm = std::fmax(norm, std::fabs(w));
    const double tolerance = 8.0 * norm * 2.220446049250313e-16;
    for (size_t k = 0; k < plain.W.size(); ++k) {
        EXPECT_NEAR(fast.W[k], plain.W[k], tolerance) << name << " at " << k;
    }
}

}  // namespace

TEST(SamplerDrawMany, EqualsRepeatedSingleDraws)
{
    for (int32_t N : {1, 7, 1000, 2147483647}) {
        sampler_seed(99);
        std::vector<int32_t> single(77);
        for (int32_t& j : single) j = sampler_draw(N);
        sampler_store();
        const uint32_t after_single = sampler_stored_state();

        sampler_seed(99);
        std::vector<int32_t> many(77);
        sampler_draw_many(N, 30, many.data());
        sampler_draw_many(N, 0, many.data() + 30);
        sampler_draw_many(N, 47, many.data() + 30);
        sampler_store();
        EXPECT_EQ(many, single);
        EXPECT_EQ(sampler_stored_state(), after_single);
    }
}

TEST(FitWeightsFast, WorkedExamplesToTheLastBit)
{
    const Problem ten_ones{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, std::vector<double>(10, 1.0), 1, 10};
    const Problem two{{1, 0, 0, 1}, {1, -1}, 2, 2};
    for (const auto& [name, solver] : fast_solvers()) {
        const Trained a = train(solver, ten_ones, 0.01, 1.0, 10, 1);
        EXPECT_EQ(a.W, (std::vector<double>{0.9863939238321435, 0.16439898730535726})) << name;
        EXPECT_EQ(a.stored_state, 3865031728u) << name;
        EXPECT_EQ(train(solver, two, 0.1, 1.0, 4, 7).W,
                  (std::vector<double>{1.2298768828510729, -0.2750088314010544, 0.9548680514500184}))
            << name;
    }
}

TEST(FitWeightsFast, MatchesThePlainLoopOverSizesAndStepCounts)
{
    uint32_t seed = 1;
    for (int32_t d : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 100, 129, 1024}) {
        for (int32_t N : {1, 3, 50}) {
            const Problem p = random_problem(d, N, seed);
            for (int32_t T : {0, 1, 2, 3, 37, 1000}) {
                for (double biasmult : {1.0, 0.0, 2.5}) {
                    const double lambda = 0.01 * (1 + seed % 5);
                    const Trained plain = train(plain_fit, p, lambda, biasmult, T, seed);
                    for (const auto& [name, solver] : fast_solvers()) {
                        SCOPED_TRACE(testing::Message() << "d=" << d << " N=" << N << " T=" << T
                                                        << " biasmult=" << biasmult);
                        expect_close(train(solver, p, lambda, biasmult, T, seed), plain, name);
                    }
                    ++seed;
                }
            }
        }
    }
}

TEST(FitWeightsFast, LongRunsOnLargeExamples)
{
    // Many steps, lookahead past the draw batches, and lengths around the vector blocks.
    for (int32_t d : {128, 1000, 1031}) {
        const Problem p = random_problem(d, 400, static_cast<uint32_t>(d));
        const Trained plain = train(plain_fit, p, 0.001, 1.0, 5000, 4242);
        for (const auto& [name, solver] : fast_solvers()) {
            SCOPED_TRACE(testing::Message() << "d=" << d);
            expect_close(train(solver, p, 0.001, 1.0, 5000, 4242), plain, name);
        }
    }
}

TEST(FitWeightsFast, NonFiniteDataGiveTheSameNaNsAndInfinities)
{
    Problem p = random_problem(20, 5, 3);
    p.X[7] = std::nan("");
    p.X[20 * 3 + 2] = std::numeric_limits<double>::infinity();
    p.y[4] = 0.5;
    const Trained plain = train(plain_fit, p, 0.05, 1.0, 200, 8);
    for (const auto& [name, solver] : fast_solvers()) {
        const Trained fast = train(solver, p, 0.05, 1.0, 200, 8);
        EXPECT_EQ(fast.stored_state, plain.stored_state) << name;
        for (size_t k = 0; k < plain.W.size(); ++k) {
            EXPECT_EQ(std::isnan(fast.W[k]), std::isnan(plain.W[k])) << name << " at " << k;
            if (!std::isnan(plain.W[k])) {
                EXPECT_NEAR(fast.W[k], plain.W[k], 1e-12) << name << " at " << k;
            }
        }
    }
    // lambda = 0: every path ends all NaN.
    for (const auto& [name, solver] : fast_solvers()) {
        for (double w : train(solver, p, 0.0, 1.0, 5, 1).W) EXPECT_TRUE(std::isnan(w)) << name;
    }
}

TEST(FitWeightsSingle, FloatExamplesGiveExactlyTheirDoubleResults)
{
    for (int32_t d : {0, 1, 3, 8, 17, 129}) {
        for (int32_t N : {1, 40}) {
            Problem p = random_problem(d, N, static_cast<uint32_t>(d * 100 + N));
            std::vector<float> single(p.X.size());
            for (size_t k = 0; k < single.size(); ++k) {
                single[k] = static_cast<float>(p.X[k]);
                p.X[k] = static_cast<double>(single[k]);  // the double copy of the float data
            }
            for (const auto& [name, solver] : single_and_double_solvers()) {
                SCOPED_TRACE(testing::Message() << name << " d=" << d << " N=" << N);
                const Trained as_double = train(solver, p, 0.02, 1.0, 500, 77);
                std::vector<double> W(as_double.W.size(), 0.0);
                sampler_seed(77);
                solver(single.data(), p.y.data(), p.d, p.N, fit_settings(0.02, 1.0, 500), W.data());
                sampler_store();
                EXPECT_EQ(W, as_double.W);
                EXPECT_EQ(sampler_stored_state(), as_double.stored_state);
            }
        }
    }
}

namespace {

// Every way of training on double examples: the plain loop, the dispatch
// and each vector variant.
std::vector<std::pair<const char*, Solver>> all_solvers()
{
    std::vector<std::pair<const char*, Solver>> solvers{{"plain", plain_fit}};
    for (const auto& solver : fast_solvers()) solvers.push_back(solver);
    return solvers;
}

Trained train_with(Solver solver, const Problem& p, const FitSettings& settings, std::vector<double> W, uint32_t seed)
{
    sampler_seed(seed);
    solver(p.X.data(), p.y.data(), p.d, p.N, settings, W.data());
    sampler_store();
    return Trained{W, sampler_stored_state()};
}

}  // namespace

TEST(FitWeightsOptions, WeightsOfOneAreTheDefaultToTheBit)
{
    for (int32_t d : {1, 5, 64, 129}) {
        const Problem p = random_problem(d, 30, static_cast<uint32_t>(d));
        const std::vector<double> ones(30, 1.0);
        const std::vector<double> zeros(weight_count(d, 1.0), 0.0);
        for (const auto& [name, solver] : all_solvers()) {
            FitSettings settings = fit_settings(0.02, 1.0, 700);
            const Trained plain = train_with(solver, p, settings, zeros, 5);
            settings.weights = ones.data();
            const Trained weighted = train_with(solver, p, settings, zeros, 5);
            EXPECT_EQ(weighted.W, plain.W) << name << " d=" << d;
            EXPECT_EQ(weighted.stored_state, plain.stored_state) << name;
        }
    }
}

TEST(FitWeightsOptions, WeightedStepsGiveTheValuesWorkedByHand)
{
    // Two examples, x = 2 (label 1, weight 1) and x = 3 (label -1, weight 4),
    // lambda 0.01, seed 1: step 1 draws example 1, step 2 example 0. The
    // projection radius is sqrt(mean(weights)) / sqrt(lambda) = sqrt(2.5) / 0.1.
    const Problem p{{2, 3}, {1, -1}, 1, 2};
    const std::vector<double> weights{1.0, 4.0};
    const double eps = 2.220446049250313e-16;
    const double radius = std::sqrt(2.5);
    // Step 1: eta = 100, the shrink is 0, c = 100 * -1 * 4 = -400: W = (-1200, -400),
    // |W|^2 = 1600000, a = radius / (sqrt(1600000) * 0.1) = 1/80.
    const double a1 = radius / (std::sqrt(1600000.0 + eps) * 0.1);
    // Step 2: eta = 50, score (-2400 - 400) * a1 < 1, shrink a1 * 0.5,
    // c = 50: W = (-1200 * a1/2 + 100, -400 * a1/2 + 50) = (92.5, 47.5).
    const double a2 = radius / (std::sqrt(92.5 * 92.5 + 47.5 * 47.5 + eps) * 0.1);
    for (const auto& [name, solver] : all_solvers()) {
        FitSettings settings = fit_settings(0.01, 1.0, 1);
        settings.weights = weights.data();
        const Trained one = train_with(solver, p, settings, {0.0, 0.0}, 1);
        EXPECT_NEAR(one.W[0], -1200.0 * a1, 1e-12) << name;
        EXPECT_NEAR(one.W[1], -400.0 * a1, 1e-12) << name;
        EXPECT_NEAR(a1, 0.0125, 1e-17);
        settings.steps = 2;
        const Trained two = train_with(solver, p, settings, {0.0, 0.0}, 1);
        EXPECT_NEAR(two.W[0], 92.5 * a2, 1e-12) << name;
        EXPECT_NEAR(two.W[1], 47.5 * a2, 1e-12) << name;
        // On the ball: the norm is the radius.
        EXPECT_NEAR(std::hypot(two.W[0], two.W[1]), radius / 0.1, 1e-12) << name;
    }
}

TEST(FitWeightsOptions, StepsWithNonFiniteScoresAreCounted)
{
    Problem p = random_problem(9, 6, 21);
    const std::vector<double> zeros(weight_count(9, 1.0), 0.0);
    for (const auto& [name, solver] : all_solvers()) {
        std::vector<double> W = zeros;
        sampler_seed(4);
        EXPECT_EQ(solver(p.X.data(), p.y.data(), p.d, p.N, fit_settings(0.05, 1.0, 300), W.data()).nonfinite_scores, 0)
            << name;
    }
    // A NaN in example 2: once W is non-zero in that feature, each draw of
    // that example scores NaN; the count is the same on every path.
    p.X[2 * 9 + 4] = std::nan("");
    int64_t expected = -1;
    for (const auto& [name, solver] : all_solvers()) {
        std::vector<double> W = zeros;
        sampler_seed(4);
        const FitResult result = solver(p.X.data(), p.y.data(), p.d, p.N, fit_settings(0.05, 1.0, 300), W.data());
        if (expected < 0) expected = result.nonfinite_scores;
        EXPECT_EQ(result.nonfinite_scores, expected) << name;
    }
    EXPECT_GT(expected, 10);
    EXPECT_LT(expected, 300);
}

TEST(FitWeightsOptions, WeightsStartingWeightsAndStepsMatchThePlainLoop)
{
    std::mt19937 generator(3);
    std::uniform_real_distribution<double> uniform(0.0, 3.0);
    for (int32_t d : {0, 1, 3, 8, 33, 1000}) {
        const Problem p = random_problem(d, 40, static_cast<uint32_t>(d) + 100);
        std::vector<double> weights(40);
        for (double& w : weights) w = generator() % 4 == 0 ? 0.0 : uniform(generator);
        std::vector<double> start(weight_count(d, 1.0));
        for (double& w : start) w = uniform(generator) - 1.5;
        for (int64_t start_step : {int64_t{0}, int64_t{7}, int64_t{100000}, int64_t{INT32_MAX} - 2}) {
            FitSettings settings = fit_settings(0.01, 1.0, 1500);
            settings.weights = weights.data();
            settings.start_step = start_step;
            const Trained plain = train_with(plain_fit, p, settings, start, 9);
            for (const auto& [name, solver] : fast_solvers()) {
                SCOPED_TRACE(testing::Message() << "d=" << d << " start_step=" << start_step);
                expect_close(train_with(solver, p, settings, start, 9), plain, name);
            }
        }
    }
}

TEST(FitWeightsOptions, ResumingInChunksMakesTheSameDrawsAndWeights)
{
    // Ten chunks of 2000 steps, each starting from the weights, step number and
    // sampler state the previous one ended with, against one run of 20000.
    const Problem p = random_problem(50, 300, 11);
    for (const auto& [name, solver] : all_solvers()) {
        const Trained whole = train_with(solver, p, fit_settings(0.001, 1.0, 20000), std::vector<double>(51, 0.0), 21);
        Trained chunk{std::vector<double>(51, 0.0), 21};
        for (int k = 0; k < 10; ++k) {
            FitSettings settings = fit_settings(0.001, 1.0, 2000);
            settings.start_step = 2000 * k;
            chunk = train_with(solver, p, settings, chunk.W, chunk.stored_state);
        }
        EXPECT_EQ(chunk.stored_state, whole.stored_state) << name;
        // The scale factor is folded into the weights at every chunk's end:
        // the two differ by rounding alone.
        double norm = 0.0, difference = 0.0;
        for (size_t k = 0; k < whole.W.size(); ++k) {
            norm = std::fmax(norm, std::fabs(whole.W[k]));
            difference = std::fmax(difference, std::fabs(chunk.W[k] - whole.W[k]));
        }
        EXPECT_LE(difference, 1e-12 * norm) << name;
        char relative[32];
        std::snprintf(relative, sizeof relative, "%.3g", difference / norm);
        RecordProperty(std::string(name) + "_relative_difference", relative);
    }
}

TEST(FitWeightsOptions, MonitorStopsWithinOnePollingInterval)
{
    for (int32_t d : {1, 300, 5000}) {
        const Problem p = random_problem(d, 20, static_cast<uint32_t>(d));
        const int64_t interval = steps_between_polls(d);
        for (const auto& [name, solver] : all_solvers()) {
            SCOPED_TRACE(testing::Message() << name << " d=" << d);
            // Asked to stop at its first poll, a call of INT32_MAX steps makes
            // one interval's steps but one, and ends as a call of that many.
            std::vector<int64_t> polled;
            FitSettings settings = fit_settings(0.01, 1.0, INT32_MAX);
            settings.monitor.context = &polled;
            settings.monitor.poll = [](void* context, int64_t steps_made) noexcept {
                static_cast<std::vector<int64_t>*>(context)->push_back(steps_made);
                return true;
            };
            std::vector<double> W(weight_count(d, 1.0), 0.0);
            sampler_seed(4);
            const FitResult result = solver(p.X.data(), p.y.data(), d, 20, settings, W.data());
            sampler_store();
            EXPECT_TRUE(result.stopped);
            EXPECT_EQ(result.steps_made, interval - 1);
            EXPECT_EQ(polled, std::vector<int64_t>{interval - 1});
            const Trained short_run = train_with(solver, p, fit_settings(0.01, 1.0, static_cast<int32_t>(interval - 1)),
                                                 std::vector<double>(W.size(), 0.0), 4);
            EXPECT_EQ(W, short_run.W);
            EXPECT_EQ(sampler_stored_state(), short_run.stored_state);

            // A monitor that never stops is polled once an interval, and the
            // call runs to its end.
            polled.clear();
            settings.steps = static_cast<int32_t>(3 * interval + 5);
            settings.monitor.poll = [](void* context, int64_t steps_made) noexcept {
                static_cast<std::vector<int64_t>*>(context)->push_back(steps_made);
                return false;
            };
            std::fill(W.begin(), W.end(), 0.0);
            const FitResult full = solver(p.X.data(), p.y.data(), d, 20, settings, W.data());
            EXPECT_FALSE(full.stopped);
            EXPECT_EQ(full.steps_made, settings.steps);
            EXPECT_EQ(polled, (std::vector<int64_t>{interval - 1, 2 * interval - 1, 3 * interval - 1}));
        }
    }
}
