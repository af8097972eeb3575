// The weights of resize_image against a reference written here from the
// definition (the kernels' formulas, the pixel-centre mapping, the
// reflection), as dense matrices; and the identities: scale 1, nearest's
// pick, weights that sum to 1.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "image/resize/resize_weights.h"

namespace {

const double pi = std::acos(-1.0);

struct Case {
    ResizeMethod method;
    double reach;  // the kernel's radius
};

const Case methods[] = {{ResizeMethod::bilinear, 1.0}, {ResizeMethod::triangle, 1.0}, {ResizeMethod::bicubic, 2.0},
                        {ResizeMethod::box, 0.5},      {ResizeMethod::lanczos2, 2.0}, {ResizeMethod::lanczos3, 3.0}};

// The kernels as the help text writes them.
double kernel(ResizeMethod method, double x)
{
    const double a = std::fabs(x);
    switch (method) {
    case ResizeMethod::bilinear:
    case ResizeMethod::triangle:
        return std::max(0.0, 1.0 - a);
    case ResizeMethod::bicubic:
        if (a <= 1.0) return 1.5 * a * a * a - 2.5 * a * a + 1.0;
        if (a < 2.0) return -0.5 * a * a * a + 2.5 * a * a - 4.0 * a + 2.0;
        return 0.0;
    case ResizeMethod::box:
        return -0.5 <= x && x < 0.5 ? 1.0 : 0.0;
    case ResizeMethod::lanczos2:
    case ResizeMethod::lanczos3: {
        const double lobes = method == ResizeMethod::lanczos2 ? 2.0 : 3.0;
        if (x == 0.0) return 1.0;
        if (a >= lobes) return 0.0;
        return std::sin(pi * x) / (pi * x) * std::sin(pi * x / lobes) / (pi * x / lobes);
    }
    case ResizeMethod::nearest:
        break;
    }
    return 0.0;
}

// Reflection by walking: step back inside one edge at a time.
int64_t mirror(int64_t i, int64_t N)
{
    while (i < 0 || i >= N) i = i < 0 ? -1 - i : 2 * N - 1 - i;
    return i;
}

// The n x N weight matrix from the definition: every integer i within the
// kernel's reach of the mapped centre, normalised, reflected and summed.
std::vector<double> reference_matrix(int64_t N, int64_t n, double scale, const Case& c, bool antialias)
{
    std::vector<double> W(static_cast<size_t>(n * N), 0.0);
    const bool widen = antialias && scale < 1.0;
    const double reach = widen ? c.reach / scale : c.reach;
    for (int64_t o = 0; o < n; ++o) {
        const double u = (static_cast<double>(o) + 0.5) / scale - 0.5;
        std::vector<std::pair<int64_t, double>> raw;
        double sum = 0.0;
        const int64_t last = static_cast<int64_t>(std::ceil(u + reach)) + 1;
        for (int64_t i = static_cast<int64_t>(std::floor(u - reach)) - 1; i <= last; ++i) {
            const double x = u - static_cast<double>(i);
            const double value = kernel(c.method, widen ? x * scale : x);
            raw.push_back({i, value});
            sum += value;
        }
        for (const auto& [i, value] : raw) W[static_cast<size_t>(o * N + mirror(i, N))] += value / sum;
    }
    return W;
}

std::vector<double> taps_matrix(const ResizeTaps& taps, int64_t N)
{
    std::vector<double> W(static_cast<size_t>(taps.count() * N), 0.0);
    for (int64_t o = 0; o < taps.count(); ++o) {
        for (int64_t t = taps.first[o]; t < taps.first[o + 1]; ++t) {
            EXPECT_GE(taps.index[t], 0);
            EXPECT_LT(taps.index[t], N);
            EXPECT_NE(taps.weight[t], 0.0);
            W[static_cast<size_t>(o * N + taps.index[t])] += taps.weight[t];
        }
    }
    return W;
}

TEST(ResizeWeights, EqualTheDefinitionForEveryMethodScaleAndEdge)
{
    // Sizes with one and two pixels (every tap reflected), shrinking and
    // enlarging by integer and other factors, with and without antialiasing.
    const int64_t sizes[][2] = {{1, 1}, {1, 5}, {2, 1}, {2, 7}, {5, 3}, {10, 8}, {10, 5}, {7, 20}, {9, 3}, {100, 37}};
    for (const Case& c : methods) {
        for (const auto& size : sizes) {
            for (bool antialias : {true, false}) {
                const int64_t N = size[0];
                const int64_t n = size[1];
                const double scale = static_cast<double>(n) / static_cast<double>(N);
                const ResizeTaps taps = resize_taps(N, n, scale, c.method, antialias);
                ASSERT_EQ(taps.count(), n);
                const std::vector<double> expected = reference_matrix(N, n, scale, c, antialias);
                const std::vector<double> actual = taps_matrix(taps, N);
                for (size_t k = 0; k < expected.size(); ++k) {
                    EXPECT_NEAR(actual[k], expected[k], 1e-13)
                        << resize_method_name(c.method) << " " << N << " -> " << n
                        << (antialias ? " antialiased" : "") << " at " << k;
                }
                for (int64_t o = 0; o < n; ++o) {
                    double sum = 0.0;
                    for (int64_t i = 0; i < N; ++i) sum += actual[static_cast<size_t>(o * N + i)];
                    EXPECT_NEAR(sum, 1.0, 1e-14) << resize_method_name(c.method);
                }
            }
        }
    }
}

TEST(ResizeWeights, KernelValuesAtWorkedPoints)
{
    const struct {
        ResizeMethod method;
        double x;
        double value;
    } points[] = {{ResizeMethod::bilinear, 0.25, 0.75}, {ResizeMethod::bilinear, -1.0, 0.0},
                  {ResizeMethod::bicubic, 0.0, 1.0},     {ResizeMethod::bicubic, 0.5, 0.5625},
                  {ResizeMethod::bicubic, 1.5, -0.0625}, {ResizeMethod::bicubic, 2.0, 0.0},
                  {ResizeMethod::box, -0.5, 1.0},        {ResizeMethod::box, 0.5, 0.0},
                  {ResizeMethod::lanczos2, 0.0, 1.0},    {ResizeMethod::lanczos3, 3.0, 0.0}};
    for (const auto& p : points) EXPECT_EQ(resize_kernel(p.method, p.x), p.value) << p.x;
    // lanczos2 at 0.5: 2 sin(pi/2) sin(pi/4) / (pi/2)^2 = 4 sqrt(2) / pi^2.
    EXPECT_NEAR(resize_kernel(ResizeMethod::lanczos2, 0.5), 4.0 * std::sqrt(2.0) / (pi * pi), 1e-15);
}

TEST(ResizeWeights, ScaleOneIsOneTapOfWeightOneForEveryMethod)
{
    for (const ResizeMethodName& m : resize_method_names) {
        for (int64_t N : {1, 2, 9}) {
            const ResizeTaps taps = resize_taps(N, N, 1.0, m.method, true);
            for (int64_t o = 0; o < N; ++o) {
                ASSERT_EQ(taps.first[o + 1] - taps.first[o], 1);
                EXPECT_EQ(taps.index[taps.first[o]], o);
                EXPECT_EQ(taps.weight[taps.first[o]], 1.0);
            }
        }
    }
}

TEST(ResizeWeights, NearestPicksThePixelUnderTheMappedCentre)
{
    const struct {
        int64_t N, n;
        double scale;
        std::vector<int64_t> picks;
    } cases[] = {{4, 2, 0.5, {1, 3}},  {5, 2, 0.4, {1, 3}},          {2, 5, 2.5, {0, 0, 1, 1, 1}},
                 {3, 1, 0.25, {2}},     {10, 3, 0.3, {1, 5, 8}},       {3, 3, 1.5, {0, 1, 1}},
                 {1, 4, 4.0, {0, 0, 0, 0}}};
    for (const auto& c : cases) {
        const ResizeTaps taps = resize_taps(c.N, c.n, c.scale, ResizeMethod::nearest, false);
        ASSERT_EQ(taps.count(), c.n);
        for (int64_t o = 0; o < c.n; ++o) {
            ASSERT_EQ(taps.first[o + 1] - taps.first[o], 1);
            EXPECT_EQ(taps.index[taps.first[o]], c.picks[o]) << c.N << " -> " << c.n << " at " << o;
        }
    }
}

TEST(ResizeWeights, AntialiasingWidensOnlyWhenShrinking)
{
    EXPECT_EQ(resize_support(ResizeMethod::bicubic, 0.25, true), 8.0);
    EXPECT_EQ(resize_support(ResizeMethod::bicubic, 0.25, false), 2.0);
    EXPECT_EQ(resize_support(ResizeMethod::bicubic, 4.0, true), 2.0);
    EXPECT_EQ(resize_support(ResizeMethod::nearest, 0.25, false), 0.5);
    EXPECT_EQ(resize_support(ResizeMethod::nearest, 0.25, true), 2.0);
    EXPECT_EQ(resize_support(ResizeMethod::nearest, 4.0, true), 0.5);
    // Antialiased, nearest is the box when shrinking and itself otherwise.
    for (const double scale : {0.5, 0.3, 1.0, 2.5}) {
        const int64_t n = static_cast<int64_t>(std::ceil(7 * scale));
        const ResizeTaps nearest = resize_taps(7, n, scale, ResizeMethod::nearest, true);
        const ResizeTaps same =
            resize_taps(7, n, scale, scale < 1.0 ? ResizeMethod::box : ResizeMethod::nearest, scale < 1.0);
        EXPECT_EQ(nearest.first, same.first) << scale;
        EXPECT_EQ(nearest.index, same.index) << scale;
        EXPECT_EQ(nearest.weight, same.weight) << scale;
    }
    // Box at one half: the mean of two pixels, as in an area average.
    const ResizeTaps taps = resize_taps(6, 3, 0.5, ResizeMethod::box, true);
    for (int64_t o = 0; o < 3; ++o) {
        ASSERT_EQ(taps.first[o + 1] - taps.first[o], 2);
        EXPECT_EQ(taps.index[taps.first[o]], 2 * o);
        EXPECT_EQ(taps.weight[taps.first[o]], 0.5);
    }
}

TEST(ResizeWeights, MethodNames)
{
    // Every method once, named in lower case in the order the help text and
    // the messages give them (the entry matches names ignoring case).
    const char* const documented[] = {"nearest", "bilinear", "bicubic", "box", "triangle", "lanczos2", "lanczos3"};
    ASSERT_EQ(std::size(resize_method_names), std::size(documented));
    for (size_t k = 0; k < std::size(documented); ++k) {
        EXPECT_STREQ(resize_method_names[k].name, documented[k]);
        EXPECT_STREQ(resize_method_name(resize_method_names[k].method), documented[k]);
    }
}

}  // namespace
