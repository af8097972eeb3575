// The layout of a call's models, and the cross-validation means: what the
// host tests see only through w and info, checked model by model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "svm/classes_and_folds.h"
#include "svm/cross_validation.h"
#include "svm/model_layout.h"

namespace {

// A plan of 2 classes x 2 lambdas on 6 examples in 3 folds, with a column of
// example weights per class and a column of starting weights per model.
struct Planned {
    std::vector<LambdaValue> path{LambdaValue{0.5}, LambdaValue{0.01, 2.0}};  // the second from C = 2
    std::vector<double> example_weights = std::vector<double>(12);
    std::vector<double> w0 = std::vector<double>(4 * 3);
    std::vector<int32_t> fold_of{0, 1, 2, 0, 1, 2};
    std::vector<int32_t> training = std::vector<int32_t>(2 * 6);
    std::vector<int64_t> training_begin = std::vector<int64_t>(4);
    std::vector<int32_t> validation = std::vector<int32_t>(6);
    std::vector<int64_t> validation_begin = std::vector<int64_t>(4);
    ModelPlan plan;

    Planned()
    {
        for (size_t k = 0; k < example_weights.size(); ++k) example_weights[k] = static_cast<double>(k);
        for (size_t k = 0; k < w0.size(); ++k) w0[k] = static_cast<double>(k) + 0.5;
        split_folds(fold_of.data(), 6, 3, training.data(), training_begin.data(), validation.data(),
                    validation_begin.data());
        plan.N = 6;
        plan.length = 3;
        plan.class_count = 2;
        plan.path = path.data();
        plan.path_length = 2;
        plan.fold_count = 3;
        plan.example_weights = example_weights.data();
        plan.weights_per_class = true;
        plan.w0 = w0.data();
        plan.w0_per_model = true;
        plan.start_step = 10;
        plan.nbite = 7;
        plan.nbite_corrected = true;
        plan.start_state = 99;
    }
};

}  // namespace

TEST(ModelLayout, EveryModelOfEveryGroupTrainsOnItsColumnsWithItsOwnSettings)
{
    for (Averaging averaging : {Averaging::none, Averaging::second_half, Averaging::after_step}) {
        SCOPED_TRACE(static_cast<int>(averaging));
        Planned p;
        p.plan.averaging = averaging;
        p.plan.average_after = 3;
        const bool averages = averaging != Averaging::none;
        std::vector<double> result(12, 0.0), last(12, -1.0), fold_iterates(36, -1.0), fold_means(36, -1.0);
        ModelStorage storage{result.data(), averages ? last.data() : nullptr, fold_iterates.data(),
                             averages ? fold_means.data() : nullptr, p.training.data(), p.training_begin.data()};
        std::vector<FitGroup> groups(4);
        std::vector<FitModel> models(16);
        lay_out_models(p.plan, storage, groups.data(), models.data());

        struct Expected {
            int32_t count;
            const int32_t* columns;
            int32_t steps;
        };
        // All 6 examples, then each fold's 4 training examples; 20 steps per example.
        const Expected expected[] = {{6, nullptr, 120},
                                     {4, p.training.data(), 80},
                                     {4, p.training.data() + 4, 80},
                                     {4, p.training.data() + 8, 80}};
        for (int32_t g = 0; g < 4; ++g) {
            const FitGroup& group = groups[g];
            EXPECT_EQ(group.count, expected[g].count) << g;
            EXPECT_EQ(group.columns, expected[g].columns) << g;
            EXPECT_EQ(group.steps, expected[g].steps) << g;
            EXPECT_EQ(group.start_state, 99u) << g;
            EXPECT_EQ(group.model_count, 4) << g;
            ASSERT_EQ(group.models, models.data() + 4 * g) << g;
            double* iterates = g == 0 ? (averages ? last.data() : result.data()) : fold_iterates.data() + 12 * (g - 1);
            double* means = !averages ? nullptr : g == 0 ? result.data() : fold_means.data() + 12 * (g - 1);
            for (int32_t m = 0; m < 4; ++m) {
                SCOPED_TRACE(testing::Message() << "group " << g << " model " << m);
                const int32_t k = m % 2;  // class first, then the path
                const int32_t l = m / 2;
                const FitModel& model = group.models[m];
                EXPECT_EQ(model.W, iterates + 3 * m);
                EXPECT_EQ(std::vector<double>(model.W, model.W + 3),
                          std::vector<double>(p.w0.begin() + 3 * m, p.w0.begin() + 3 * m + 3));
                EXPECT_EQ(model.lambda, l == 0 ? 0.5 : 1.0 / (2.0 * expected[g].count));
                EXPECT_EQ(model.weights, p.example_weights.data() + 6 * k);
                EXPECT_EQ(model.positive_class, k);
                EXPECT_EQ(model.average, means == nullptr ? nullptr : means + 3 * m);
                if (averages) {
                    EXPECT_EQ(model.average_after,
                              averaging == Averaging::after_step ? 3 : 10 + expected[g].steps - expected[g].steps / 2);
                }
            }
        }
    }
}

TEST(ModelLayout, WithoutStartingWeightsOnlyTheResultIsLeftAsItCame)
{
    Planned p;
    p.plan.w0 = nullptr;
    p.plan.class_count = 0;
    p.plan.example_weights = nullptr;
    p.plan.nbite_corrected = false;
    for (Averaging averaging : {Averaging::none, Averaging::second_half}) {
        p.plan.averaging = averaging;
        const bool averages = averaging != Averaging::none;
        // The result comes zero-filled from the host; any other storage does not.
        std::vector<double> result(6, 0.0), last(6, -1.0), fold_iterates(18, -1.0), fold_means(18, -1.0);
        ModelStorage storage{result.data(), averages ? last.data() : nullptr, fold_iterates.data(),
                             averages ? fold_means.data() : nullptr, p.training.data(), p.training_begin.data()};
        std::vector<FitGroup> groups(4);
        std::vector<FitModel> models(8);
        lay_out_models(p.plan, storage, groups.data(), models.data());
        EXPECT_EQ(groups[1].steps, 7);
        EXPECT_EQ(groups[0].model_count, 2);
        for (const FitModel& model : models) {
            EXPECT_EQ(model.positive_class, -1);
            EXPECT_EQ(model.weights, nullptr);
            EXPECT_EQ(std::vector<double>(model.W, model.W + 3), std::vector<double>(3, 0.0));
        }
    }
}

TEST(CrossValidation, FoldFiguresAndTheirMeans)
{
    const double nan = std::nan("");
    // 2 models on 3 folds of 2, 1 and 3 examples: the scores of the models on
    // all examples first, then each fold's.
    const int64_t validation_begin[] = {0, 2, 3, 6};
    struct Case {
        std::vector<double> loss_sums;
        std::vector<int64_t> errors;
        bool scored;
        std::vector<double> loss, error, mean_loss, mean_error;
    };
    const Case cases[] = {
        {{9, 9, 1, 2, 0.5, 0, 3, 6}, {9, 9, 1, 0, 1, 1, 0, 3}, true,
         {0.5, 0.5, 1, 1, 0, 2}, {0.5, 1, 0, 0, 1, 1}, {2.0 / 3, 1}, {0.5, 2.0 / 3}},
        // A NaN fold loss makes its model's mean loss NaN, and only that.
        {{9, 9, nan, 2, 0.5, 0, 3, 6}, {9, 9, 1, 0, 1, 1, 0, 3}, true,
         {nan, 0.5, 1, 1, 0, 2}, {0.5, 1, 0, 0, 1, 1}, {nan, 1}, {0.5, 2.0 / 3}},
        // Not scored (the user stopped the scoring): every figure NaN but the counts.
        {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, false,
         {nan, nan, nan, nan, nan, nan}, {nan, nan, nan, nan, nan, nan}, {nan, nan}, {nan, nan}},
    };
    auto expect_same = [](const double* got, const std::vector<double>& expected, const char* what) {
        for (size_t k = 0; k < expected.size(); ++k) {
            if (std::isnan(expected[k])) {
                EXPECT_TRUE(std::isnan(got[k])) << what << " " << k;
            } else {
                EXPECT_DOUBLE_EQ(got[k], expected[k]) << what << " " << k;
            }
        }
    };
    for (const Case& c : cases) {
        std::vector<double> memory(fold_figures_length(3, 2));
        ASSERT_EQ(memory.size(), 2u * 6 + 3 + 2 * 2);
        const FoldFigures figures = fold_figures_in(memory.data(), 3, 2);
        summarise_folds(c.loss_sums.data(), c.errors.data(), validation_begin, 3, 2, c.scored, figures);
        expect_same(figures.count, {2, 1, 3}, "count");
        // A column per model: folds down, models across.
        expect_same(figures.loss, c.loss, "loss");
        expect_same(figures.error, c.error, "error");
        expect_same(figures.mean_loss, c.mean_loss, "mean loss");
        expect_same(figures.mean_error, c.mean_error, "mean error");
    }
}
