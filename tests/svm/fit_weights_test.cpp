#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "tests/svm/fit_testing.h"

namespace {

struct Problem {
    std::vector<double> X;
    std::vector<double> y;
    int32_t d;
    int32_t N;
};

// Runs one seeded training call the way the entry does.
std::vector<double> train(const Problem& p, double lambda, double biasmult, int32_t T, uint32_t seed)
{
    std::vector<double> W(static_cast<size_t>(p.d) + (biasmult > 0 ? 1 : 0), 0.0);
    sampler_seed(seed);
    fit_weights(p.X.data(), p.y.data(), p.d, p.N, fit_settings(lambda, biasmult, T), W.data());
    sampler_store();
    return W;
}

const Problem ten_ones{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, std::vector<double>(10, 1.0), 1, 10};

}  // namespace

TEST(FitWeights, WorkedExamplesToTheLastBit)
{
    EXPECT_EQ(train(ten_ones, 0.01, 1.0, 10, 1), (std::vector<double>{0.9863939238321435, 0.16439898730535726}));
    EXPECT_EQ(sampler_stored_state(), 3865031728u);

    const Problem two{{1, 0, 0, 1}, {1, -1}, 2, 2};
    EXPECT_EQ(train(two, 0.1, 1.0, 4, 7),
              (std::vector<double>{1.2298768828510729, -0.2750088314010544, 0.9548680514500184}));
}

TEST(FitWeights, FirstStepProjectsOntoTheBall)
{
    const Problem one{{2}, {1}, 1, 1};
    const std::vector<double> w = train(one, 0.01, 1.0, 1, 9);
    const double a = 1.0 / (std::sqrt(50000.0 + 2.220446049250313e-16) * 0.1);
    EXPECT_EQ(w, (std::vector<double>{200.0 * a, 100.0 * a}));
    EXPECT_NEAR(w[0], 8.94427190999916, 1e-13);
    EXPECT_NEAR(w[1], 4.47213595499958, 1e-13);
    EXPECT_NEAR(std::hypot(w[0], w[1]), 10.0, 1e-12);
}

TEST(FitWeights, LabelsAreTruncatedTowardZero)
{
    const Problem minus_one{{1, 2, 3}, {-1, -1, -1}, 1, 3};
    const Problem minus_one_nine{{1, 2, 3}, {-1.9, -1.5, -1.0000001}, 1, 3};
    EXPECT_EQ(train(minus_one_nine, 0.05, 1.0, 30, 11), train(minus_one, 0.05, 1.0, 30, 11));

    // A label of 0 still takes the violating branch, with no step towards the example.
    const Problem zero_label{{5, 6}, {0.7, -0.3}, 1, 2};
    EXPECT_EQ(train(zero_label, 0.01, 1.0, 20, 3), (std::vector<double>{0.0, 0.0}));

    // A label of 2 steps twice as far as a label of 1 on the first step.
    const Problem two_label{{1}, {2.0}, 1, 1};
    const Problem one_label{{1}, {1.0}, 1, 1};
    const std::vector<double> w2 = train(two_label, 1.0, 0.0, 1, 5);
    const std::vector<double> w1 = train(one_label, 1.0, 0.0, 1, 5);
    EXPECT_EQ(w2[0], 1.0);  // projected back onto the unit ball
    EXPECT_EQ(w1[0], 1.0);
    EXPECT_EQ(train(two_label, 100.0, 0.0, 1, 5)[0], 0.02);
    EXPECT_EQ(train(one_label, 100.0, 0.0, 1, 5)[0], 0.01);

    // NaN and out-of-range labels truncate to the most negative 32-bit integer.
    const Problem most_negative{{1, 2}, {-2147483648.0, -2147483648.0}, 1, 2};
    const Problem unrepresentable{{1, 2}, {std::nan(""), 3e9}, 1, 2};
    EXPECT_EQ(train(unrepresentable, 0.01, 1.0, 5, 5), train(most_negative, 0.01, 1.0, 5, 5));
}

TEST(FitWeights, NoStepsGiveTheZeroVectorAndLeaveTheSamplerAlone)
{
    for (int32_t T : {0, -5}) {
        EXPECT_EQ(train(ten_ones, 0.01, 1.0, T, 77), (std::vector<double>{0.0, 0.0}));
        EXPECT_EQ(sampler_stored_state(), 77u);
    }
}

TEST(FitWeights, ZeroLambdaGivesNaN)
{
    for (double w : train(ten_ones, 0.0, 1.0, 5, 1)) EXPECT_TRUE(std::isnan(w));
}

TEST(FitWeights, NonPositiveBiasmultMeansNoBiasCoordinate)
{
    const Problem two{{1, 0, 0, 1}, {1, -1}, 2, 2};
    for (double biasmult : {0.0, -1.0, std::nan("")}) {
        // A sentinel past the d weights must survive: nothing reads or writes it.
        std::vector<double> W{0.0, 0.0, 12345.0};
        sampler_seed(7);
        fit_weights(two.X.data(), two.y.data(), 2, 2, fit_settings(0.1, biasmult, 4), W.data());
        EXPECT_EQ(W[2], 12345.0);
        EXPECT_NE(W[0], 0.0);
        EXPECT_NE(W[1], 0.0);
    }
}

TEST(FitWeights, NonFiniteFeaturesOnlyDecayTheScale)
{
    // Zero times infinity makes the margin NaN, which counts as no violation:
    // had the update run, W would hold infinities.
    const Problem bad{{std::numeric_limits<double>::infinity()}, {1}, 1, 1};
    EXPECT_EQ(train(bad, 0.01, 1.0, 3, 1), (std::vector<double>{0.0, 0.0}));
}

TEST(FitWeights, SameSeedSameWeights)
{
    const Problem p{{0.5, -1, 2, 0.25, -3, 1, 4, -0.5}, {1, -1, 1, -1}, 2, 4};
    EXPECT_EQ(train(p, 0.02, 1.0, 200, 123), train(p, 0.02, 1.0, 200, 123));
    EXPECT_NE(train(p, 0.02, 1.0, 200, 123), train(p, 0.02, 1.0, 200, 124));
}

TEST(FitWeights, StepNumbersCountOnPastTwoToTheThirtyOne)
{
    // Step number 2^31 (start_step 2^31 - 1): eta = 1/(2^31 * 0.5) = 2^-30,
    // so one step from zero on x = 2, label 1 gives W = [2^-29, 2^-30], well
    // inside the ball. A 32-bit count would have wrapped to -2^31.
    const Problem one{{2}, {1}, 1, 1};
    FitSettings settings = fit_settings(0.5, 1.0, 1);
    settings.start_step = INT32_MAX;
    std::vector<double> W(2, 0.0);
    sampler_seed(3);
    const FitResult result = fit_weights(one.X.data(), one.y.data(), 1, 1, settings, W.data());
    EXPECT_EQ(result.steps_made, 1);
    EXPECT_EQ(result.violations, 1);
    EXPECT_EQ(W, (std::vector<double>{std::ldexp(1.0, -29), std::ldexp(1.0, -30)}));
}

TEST(FitWeights, OneRuleForTheBiasWeight)
{
    // The entry sizes W by weight_count and the solver fills exactly that many:
    // a sentinel past them survives whatever biasmult is.
    const Problem two{{1, 0, 0, 1}, {1, -1}, 2, 2};
    for (double biasmult : {1.0, 5e-324, 0.0, -0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        const size_t length = weight_count(2, biasmult);
        EXPECT_EQ(length, has_bias_weight(biasmult) ? 3u : 2u) << biasmult;
        std::vector<double> W(length + 1, 0.0);
        W[length] = 12345.0;
        sampler_seed(7);
        fit_weights(two.X.data(), two.y.data(), 2, 2, fit_settings(0.1, biasmult, 4), W.data());
        EXPECT_EQ(W[length], 12345.0) << biasmult;
    }
}

TEST(TrainingObjective, HingeLossAndRegularizerOfGivenWeights)
{
    // Examples [1 3] and [2 -1], labels 1 and -1, W = [0.5 -0.25 0.1] with a
    // bias feature of 2: scores -0.05 and 1.45, hinge terms 1.05 and 2.45.
    const std::vector<double> X{1, 3, 2, -1};
    const std::vector<float> X_single{1, 3, 2, -1};
    const std::vector<double> y{1, -1.5};
    const std::vector<double> W{0.5, -0.25, 0.1};
    FitSettings settings = fit_settings(0.1, 2.0, 0);
    for (const TrainingObjective& result : {training_objective(X.data(), y.data(), 2, 2, settings, W.data()),
                                            training_objective(X_single.data(), y.data(), 2, 2, settings, W.data())}) {
        EXPECT_DOUBLE_EQ(result.loss, (1.05 + 2.45) / 2);
        EXPECT_DOUBLE_EQ(result.regularizer, 0.05 * (0.25 + 0.0625 + 0.01));
        EXPECT_EQ(result.objective, result.loss + result.regularizer);
        EXPECT_FALSE(result.stopped);
    }
    const std::vector<double> weights{2.0, 0.0};
    settings.weights = weights.data();
    EXPECT_DOUBLE_EQ(training_objective(X.data(), y.data(), 2, 2, settings, W.data()).loss, 1.05);

    // Without a bias weight the last element is not read; no examples, no loss.
    settings = fit_settings(0.1, 0.0, 0);
    EXPECT_DOUBLE_EQ(training_objective(X.data(), y.data(), 2, 2, settings, W.data()).loss, (1.25 + 2.25) / 2);
    EXPECT_EQ(training_objective(X.data(), y.data(), 2, 0, settings, W.data()).loss, 0.0);
    // NaN weights give a NaN loss, not a hinge of 0.
    const std::vector<double> nan_W{std::nan(""), 0.0};
    EXPECT_TRUE(std::isnan(training_objective(X.data(), y.data(), 2, 2, settings, nan_W.data()).loss));
}

TEST(TrainingObjective, MonitorStopsThePass)
{
    const int32_t N = 3000;
    const std::vector<double> X(static_cast<size_t>(N) * 1000, 0.5);
    const std::vector<double> y(N, 1.0);
    const std::vector<double> W(1001, 0.0);
    FitSettings settings = fit_settings(0.1, 1.0, 0);
    int64_t examples_done = -1;
    settings.monitor.context = &examples_done;
    settings.monitor.poll = [](void* context, int64_t done) noexcept {
        *static_cast<int64_t*>(context) = done;
        return true;
    };
    EXPECT_TRUE(training_objective(X.data(), y.data(), 1000, N, settings, W.data()).stopped);
    EXPECT_EQ(examples_done, steps_between_polls(1000) - 1);
}
