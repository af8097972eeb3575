#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "svm/label_reading.h"
#include "svm/trainer_options.h"

namespace {
const double infinity = std::numeric_limits<double>::infinity();
const double not_a_number = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(TrainerOptions, LambdaBelowZeroBecomesOneOverN)
{
    LambdaValue value{-0.5};
    EXPECT_TRUE(correct_lambda(value));
    EXPECT_EQ(value.for_examples(8), 0.125);
    EXPECT_EQ(value.for_examples(5), 0.2);  // a fold of 5 examples
    value = LambdaValue{0.0};
    EXPECT_FALSE(correct_lambda(value));
    EXPECT_EQ(value.for_examples(8), 0.0);
    value = LambdaValue{not_a_number};
    EXPECT_FALSE(correct_lambda(value));
    EXPECT_TRUE(std::isnan(value.for_examples(8)));
    // From C: 1/(C n), never corrected.
    value = LambdaValue{0.01, 4.0};
    EXPECT_FALSE(correct_lambda(value));
    EXPECT_EQ(value.for_examples(8), 1.0 / 32.0);
}

TEST(TrainerOptions, NbiteTruncatesAndCorrectsToTwentyN)
{
    TrainerOptions options;
    EXPECT_FALSE(set_nbite(options, 2.9, 10));
    EXPECT_EQ(options.nbite, 2);
    EXPECT_FALSE(set_nbite(options, 2147483647.5, 10));
    EXPECT_EQ(options.nbite, INT32_MAX);
    for (double bad : {0.5, 0.0, -3.0, not_a_number, infinity, -infinity, 2147483648.0, 1e300}) {
        options.nbite = 1;
        EXPECT_TRUE(set_nbite(options, bad, 10)) << bad;
        EXPECT_EQ(options.nbite, 200) << bad;
    }
}

TEST(TrainerOptions, CorrectedNbiteSaturatesForLargeN)
{
    TrainerOptions options;
    EXPECT_TRUE(set_nbite(options, 0.0, 107374182));
    EXPECT_EQ(options.nbite, 2147483640);
    EXPECT_TRUE(set_nbite(options, 0.0, 107374183));
    EXPECT_EQ(options.nbite, INT32_MAX);
    EXPECT_TRUE(set_nbite(options, 0.0, INT32_MAX));
    EXPECT_EQ(options.nbite, INT32_MAX);
    EXPECT_TRUE(set_nbite(options, 0.0, 0));
    EXPECT_EQ(options.nbite, 0);
}

TEST(TrainerOptions, CorrectedNbiteIsTwentyStepsPerExampleOfEachGroup)
{
    EXPECT_EQ(steps_for_group(7, false, 30), 7);
    EXPECT_EQ(steps_for_group(600, true, 24), 480);
    EXPECT_EQ(steps_for_group(600, true, 107374183), INT32_MAX);
}

TEST(TrainerOptions, SeedKeepsTheLowThirtyTwoBits)
{
    TrainerOptions options;
    EXPECT_FALSE(set_seed(options, 3.7));
    EXPECT_EQ(options.seed, 3u);
    EXPECT_FALSE(set_seed(options, -1.0));
    EXPECT_EQ(options.seed, 4294967295u);
    EXPECT_FALSE(set_seed(options, 4294967296.0 + 5.0));
    EXPECT_EQ(options.seed, 5u);
    EXPECT_FALSE(set_seed(options, -9223372036854775808.0 + 4096.0));
    EXPECT_EQ(options.seed, 4096u);
    for (double bad : {0.0, 0.5, -0.9, not_a_number, infinity, -infinity, 4294967296.0, 9223372036854775808.0, -1e300}) {
        options.seed = 1;
        EXPECT_TRUE(set_seed(options, bad)) << bad;
        EXPECT_EQ(options.seed, 0u) << bad;
    }
}

TEST(UnusualLabels, CountsLabelsThatDoNotTruncateToPlusOrMinusOne)
{
    const double largest_below_two = std::nextafter(2.0, 0.0);
    const std::vector<double> usual{1.0, -1.0, 1.5, -1.5, largest_below_two, -largest_below_two};
    const std::vector<double> unusual{0.0,    -0.0,   0.5,       -0.999, std::nextafter(1.0, 0.0), 2.0, -2.0, 3.0,
                                      1e300,  -1e300, 4.9e-324, infinity, -infinity,               not_a_number};
    EXPECT_EQ(count_unusual_labels(usual.data(), static_cast<int32_t>(usual.size())), 0);
    EXPECT_EQ(count_unusual_labels(unusual.data(), static_cast<int32_t>(unusual.size())),
              static_cast<int64_t>(unusual.size()));
    // Across the scan's blocks: every 7th of 5000 labels is 0.
    std::vector<double> mixed(5000, -1.0);
    for (size_t j = 0; j < mixed.size(); j += 7) mixed[j] = 0.0;
    EXPECT_EQ(count_unusual_labels(mixed.data(), 5000), 715);
    EXPECT_EQ(count_unusual_labels(nullptr, 0), 0);
}
