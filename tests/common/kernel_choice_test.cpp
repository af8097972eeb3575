// The run-time choice of kernels: MEX_KERNELS_BASELINE forces the x86-64
// baseline paths for any non-empty value other than "0", and every
// dispatching kernel then gives the plain kernel's result; MEX_KERNELS_THREADS
// sets the threads, and small jobs stay on one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/cpu_features.h"
#include "common/parallel.h"
#include "image/gray/weighted_luma.h"
#include "image/scale/bilinear_resample.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "tests/svm/fit_testing.h"

namespace {

bool processor_has_avx2()
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

// Sets or removes (nullptr) an environment variable of this process. The
// C runtime of Windows cannot hold an empty value: _putenv_s with "" removes
// the variable, so there the empty value is tested as an unset one.
void set_variable(const char* name, const char* value)
{
#if defined(_WIN32)
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
#endif
}

// Sets MEX_KERNELS_BASELINE (or unsets it for nullptr) for one scope.
class BaselineSetting {
public:
    explicit BaselineSetting(const char* value)
    {
        const char* old = std::getenv("MEX_KERNELS_BASELINE");
        had_value_ = old != nullptr;
        if (had_value_) old_ = old;
        set_variable("MEX_KERNELS_BASELINE", value);
    }
    ~BaselineSetting() { set_variable("MEX_KERNELS_BASELINE", had_value_ ? old_.c_str() : nullptr); }

private:
    bool had_value_ = false;
    std::string old_;
};

}  // namespace

TEST(KernelChoice, BaselineForcedByAnyNonEmptyValueButZero)
{
    const bool avx2 = processor_has_avx2();
    {
        const BaselineSetting unset(nullptr);
        EXPECT_EQ(cpu_has_avx2(), avx2);
    }
    for (const char* keeps : {"", "0"}) {
        const BaselineSetting setting(keeps);
        EXPECT_EQ(cpu_has_avx2(), avx2) << "MEX_KERNELS_BASELINE='" << keeps << "'";
    }
    for (const char* forces : {"1", "00", "01", "yes", "0x"}) {
        const BaselineSetting setting(forces);
        EXPECT_FALSE(cpu_has_avx2()) << "MEX_KERNELS_BASELINE='" << forces << "'";
        EXPECT_FALSE(cpu_has_avx512f()) << "MEX_KERNELS_BASELINE='" << forces << "'";
    }
}

// Each test runs in a process of its own (ctest), so the kernels choose their
// variants here, at their first call, as a module does when it is loaded.
TEST(KernelChoice, ForcedBaselineGivesThePlainResultsAndTheChoiceIsMadeOnce)
{
    {
        const BaselineSetting setting("1");

        std::vector<uint8_t> image(37 * 23);
        for (size_t k = 0; k < image.size(); ++k) image[k] = static_cast<uint8_t>(k * 131 + 7);
        std::vector<uint8_t> scaled(50 * 41), plain_scaled(50 * 41);
        bilinear_resample(image.data(), 37, 23, 1, scaled.data(), 50, 41);
        bilinear_resample_plain(image.data(), 37, 23, plain_scaled.data(), 50, 41);
        EXPECT_EQ(scaled, plain_scaled);
        // Each element type makes its own choice at its first call.
        const std::vector<float> single_image(image.begin(), image.end());
        std::vector<float> single_scaled(50 * 41), plain_single_scaled(50 * 41);
        bilinear_resample(single_image.data(), 37, 23, 1, single_scaled.data(), 50, 41);
        bilinear_resample_plain(single_image.data(), 37, 23, plain_single_scaled.data(), 50, 41);
        EXPECT_EQ(single_scaled, plain_single_scaled);

        std::vector<uint8_t> gray(image.size() / 3), plain_gray(image.size() / 3);
        weighted_luma(image.data(), static_cast<int64_t>(gray.size()), gray.data());
        weighted_luma_plain(image.data(), static_cast<int64_t>(gray.size()), plain_gray.data());
        EXPECT_EQ(gray, plain_gray);

        // The baseline trainer is the SSE2 pass: same draws, weights to the last few bits.
        std::vector<double> X(5 * 30), y(30);
        for (size_t k = 0; k < X.size(); ++k) X[k] = static_cast<double>(static_cast<int>(k * 37 % 19) - 9) / 7.0;
        for (size_t j = 0; j < y.size(); ++j) y[j] = (j * 7 % 3 == 0) ? 1.0 : -1.0;
        std::vector<double> W(6, 0.0), plain_W(6, 0.0);
        sampler_seed(5);
        fit_weights(X.data(), y.data(), 5, 30, fit_settings(0.05, 1.0, 300), W.data());
        sampler_store();
        const uint32_t state = sampler_stored_state();
        sampler_seed(5);
        fit_weights_plain(X.data(), y.data(), 5, 30, fit_settings(0.05, 1.0, 300), plain_W.data());
        sampler_store();
        EXPECT_EQ(state, sampler_stored_state());
        for (size_t k = 0; k < W.size(); ++k) EXPECT_NEAR(W[k], plain_W[k], 1e-12) << "weight " << k;
    }
#if defined(KERNELS_HAVE_X86_64)
    const std::string baseline_trainer = "sse2";
#elif defined(KERNELS_HAVE_NEON)
    const std::string baseline_trainer = "neon";
#else
    const std::string baseline_trainer = "plain";
#endif
#if defined(KERNELS_HAVE_NEON)
    const std::string baseline_image = "neon";
#else
    const std::string baseline_image = "plain";
#endif
    // The setting is gone, but the choice stays as it was made.
    EXPECT_EQ(bilinear_resample_chosen<uint8_t>().name, baseline_image);
    EXPECT_EQ(bilinear_resample_chosen<float>().name, baseline_image);
    EXPECT_EQ(weighted_luma_chosen().name, baseline_image);
    EXPECT_EQ(fit_weights_chosen().name, baseline_trainer);
}

TEST(KernelChoice, TheChoiceIsTheWidestVariant)
{
    auto first_name = [](const auto& variants) {
        return variants.empty() ? std::string("plain") : std::string(variants.front().name);
    };
    EXPECT_EQ(bilinear_resample_chosen<uint8_t>().name, first_name(bilinear_resample_variants<uint8_t>()));
    EXPECT_EQ(bilinear_resample_chosen<uint16_t>().name, first_name(bilinear_resample_variants<uint16_t>()));
    EXPECT_EQ(weighted_luma_chosen().name, first_name(weighted_luma_variants()));
    EXPECT_EQ(fit_weights_chosen().name, first_name(fit_weights_variants()));
}

// The processor test written with CPUID and XGETBV, which Visual C++ builds
// use, answers as GCC's and Clang's own does (natively and under wine).
TEST(KernelChoice, ProcessorTestOfOtherCompilersAgrees)
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    __builtin_cpu_init();
    const X86Features features = x86_features();
    EXPECT_EQ(features.avx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(features.avx512f, features.avx2 && __builtin_cpu_supports("avx512f") != 0);
    EXPECT_EQ(features.avx512bw, features.avx512f && __builtin_cpu_supports("avx512bw") != 0);
#else
    GTEST_SKIP() << "x86-64 builds by GCC or Clang only";
#endif
}

TEST(KernelChoice, ThreadCountFromTheEnvironment)
{
    const char* old = std::getenv("MEX_KERNELS_THREADS");
    const std::string kept = old != nullptr ? old : "";
    const int processors = std::min(available_processors(), max_threads);
    ASSERT_GE(processors, 1);
    const std::pair<const char*, int> settings[] = {
        {"1", 1}, {"3", 3}, {"+4", 4}, {"256", 256}, {"100000", max_threads}, {"0", processors}, {"-3", processors},
        {"text", processors}, {"2x", processors}, {"", processors}, {"99999999999999999999", processors}};
    for (const auto& [text, threads] : settings) {
        set_variable("MEX_KERNELS_THREADS", text);
        EXPECT_EQ(kernel_threads(), threads) << "MEX_KERNELS_THREADS='" << text << "'";
    }
    set_variable("MEX_KERNELS_THREADS", nullptr);
    EXPECT_EQ(kernel_threads(), processors);
    set_variable("MEX_KERNELS_THREADS", old != nullptr ? kept.c_str() : nullptr);
}

TEST(KernelChoice, SmallJobsStayOnOneThread)
{
    // Parts never fall below the minimum cost, never exceed the items or the
    // threads, and cover the items in order.
    EXPECT_EQ(split_parts(1000, 1, 1 << 20, 8), 1);
    EXPECT_EQ(split_parts(1 << 22, 1, 1 << 20, 8), 4);
    EXPECT_EQ(split_parts(1 << 22, 1, 1 << 20, 2), 2);
    EXPECT_EQ(split_parts(3, 1 << 20, 1, 8), 3);
    EXPECT_EQ(split_parts(1 << 22, 1, 1 << 20, 1), 1);
    EXPECT_EQ(split_parts(0, 1, 1, 4), 1);
    for (int parts : {1, 2, 3, 7}) {
        EXPECT_EQ(part_begin(10, parts, 0), 0);
        EXPECT_EQ(part_begin(10, parts, parts), 10);
        for (int k = 0; k < parts; ++k) EXPECT_LE(part_begin(10, parts, k + 1) - part_begin(10, parts, k), 10 / parts + 1);
    }
}
