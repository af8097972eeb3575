#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "svm/trainer_options.h"

namespace {
const double infinity = std::numeric_limits<double>::infinity();
const double not_a_number = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(TrainerOptions, LambdaBelowZeroBecomesOneOverN)
{
    TrainerOptions options;
    EXPECT_TRUE(set_lambda(options, -0.5, 8));
    EXPECT_EQ(options.lambda, 0.125);
    EXPECT_FALSE(set_lambda(options, 0.0, 8));
    EXPECT_EQ(options.lambda, 0.0);
    EXPECT_FALSE(set_lambda(options, not_a_number, 8));
    EXPECT_TRUE(std::isnan(options.lambda));
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
