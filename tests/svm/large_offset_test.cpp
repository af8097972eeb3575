// Training on X with more than 2^31 elements: the example offset j*d must not
// wrap in 32 bits. The matrix is a lazily mapped region of zero pages, so only
// the one example that the test writes takes real memory. On Windows the
// region is reserved and only the pages of that example are committed: a
// wrapped offset reads reserved, uncommitted memory and crashes the test.
#include <gtest/gtest.h>

#include <vector>

#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "tests/common/system_memory.h"
#include "tests/svm/fit_testing.h"

TEST(FitWeights, ExamplesBeyondTwoToTheThirtyOneElements)
{
    const int32_t d = 65536;
    const int32_t N = 32769;  // example N-1 starts at element 2^31
    const size_t bytes = static_cast<size_t>(d) * N * sizeof(double);
    const size_t last_offset = static_cast<size_t>(N - 1) * d;
#if defined(_WIN32)
    void* region = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
    if (region == nullptr) GTEST_SKIP() << "cannot reserve " << bytes << " bytes";
    double* X = static_cast<double*>(region);
    ASSERT_NE(VirtualAlloc(X + last_offset, static_cast<size_t>(d) * sizeof(double), MEM_COMMIT, PAGE_READWRITE),
              nullptr)
        << "cannot commit the last example";
#else
    void* region = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) GTEST_SKIP() << "cannot map " << bytes << " bytes";
    double* X = static_cast<double*>(region);
#endif

    // Find a seed whose first draw is the last example.
    uint32_t seed = 1;
    for (;; ++seed) {
        sampler_seed(seed);
        if (sampler_draw(N) == N - 1) break;
    }

    std::vector<double> last(static_cast<size_t>(d));
    for (size_t k = 0; k < last.size(); ++k) last[k] = static_cast<double>(k % 7) - 3.0;
    std::copy(last.begin(), last.end(), X + last_offset);
    std::vector<double> y(static_cast<size_t>(N), 1.0);

    std::vector<double> W(static_cast<size_t>(d) + 1, 0.0);
    sampler_seed(seed);
    fit_weights(X, y.data(), d, N, fit_settings(0.01, 1.0, 1), W.data());

    // The same step on that example alone.
    std::vector<double> expected(static_cast<size_t>(d) + 1, 0.0);
    sampler_seed(seed);
    fit_weights(last.data(), y.data(), d, 1, fit_settings(0.01, 1.0, 1), expected.data());

#if defined(_WIN32)
    VirtualFree(region, 0, MEM_RELEASE);
#else
    munmap(region, bytes);
#endif
    EXPECT_EQ(W, expected);
    EXPECT_NE(W[1], 0.0);
}
