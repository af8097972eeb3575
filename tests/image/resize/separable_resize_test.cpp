// The separable loop of resize_image: every variant, on one thread and split
// across several (the threshold lowered so that small images split too), and
// the dispatching entry, against the reference loop byte for byte, for every
// element type, method and a spread of sizes and factors; images fenced by
// guard pages; worked values; constant images; NaN and rounding rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "image/resize/resize_element.h"
#include "image/resize/separable_resize.h"
#include "tests/image/guarded_bytes.h"

namespace {

template <class E>
struct Path {
    std::string name;
    ResizeBand<E> variant;  // null: the dispatching entry
    int threads;
};

template <class E>
std::vector<Path<E>> paths()
{
    std::vector<Path<E>> list{{"plain", separable_resize_band_plain<E>, 1},
                              {"plain split 3", separable_resize_band_plain<E>, 3},
                              {"plain split 7", separable_resize_band_plain<E>, 7},
                              {"dispatch", nullptr, 0}};
    for (const ResizeVariant<E>& v : separable_resize_variants<E>()) {
        list.push_back({v.name, v.resize, 1});
        list.push_back({std::string(v.name) + " split 3", v.resize, 3});
    }
    return list;
}

template <class E>
E random_element(std::mt19937& generator)
{
    if constexpr (std::is_same_v<E, bool>) {
        return (generator() & 1) != 0;
    } else if constexpr (std::is_integral_v<E>) {
        return static_cast<E>(generator() >> (32 - 8 * sizeof(E)));
    } else {
        const uint32_t kind = generator() % 16;
        if (kind == 0) {
            const E specials[] = {std::numeric_limits<E>::infinity(), -std::numeric_limits<E>::infinity(),
                                  std::numeric_limits<E>::denorm_min(), E(-0.0)};
            return specials[generator() % 4];
        }
        if (kind == 1) {
            // A NaN with a payload: the result must hold the one canonical NaN.
            using Bits = std::conditional_t<sizeof(E) == 8, uint64_t, uint32_t>;
            Bits bits;
            const E nan = std::numeric_limits<E>::quiet_NaN();
            std::memcpy(&bits, &nan, sizeof bits);
            bits |= static_cast<Bits>(generator() & 0xFFFF) | (static_cast<Bits>(generator() & 1u) << (8 * sizeof(E) - 1));
            E value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        return static_cast<E>(std::ldexp(static_cast<double>(generator()) / 4294967296.0 - 0.5,
                                         static_cast<int>(generator() % 40) - 10));
    }
}

template <class E>
void expect_same_bytes_on_every_path(std::mt19937& generator, int64_t Ny, int64_t Nx, int64_t planes, int64_t ny,
                                     int64_t nx, double scale_rows, double scale_columns, ResizeMethod method,
                                     bool antialias)
{
    const size_t in_count = static_cast<size_t>(Ny * Nx * planes);
    const size_t out_count = static_cast<size_t>(ny * nx * planes);
    GuardedBytes input(in_count * sizeof(E));
    E* X = reinterpret_cast<E*>(input.data());
    for (size_t k = 0; k < in_count; ++k) X[k] = random_element<E>(generator);

    const ResizeTaps rows = resize_taps(Ny, ny, scale_rows, method, antialias);
    const ResizeTaps columns = resize_taps(Nx, nx, scale_columns, method, antialias);
    // (A plain array: std::vector<bool> has no data.)
    const std::unique_ptr<E[]> expected(new E[out_count]());
    for (int64_t p = 0; p < planes; ++p) {
        separable_resize_reference(X + p * Ny * Nx, Ny, Nx, expected.get() + p * ny * nx, rows, columns);
    }
    for (const Path<E>& path : paths<E>()) {
        GuardedBytes output(out_count * sizeof(E));
        E* Y = reinterpret_cast<E*>(output.data());
        if (path.variant == nullptr) {
            separable_resize(X, Ny, Nx, planes, Y, rows, columns);
        } else {
            separable_resize_split(path.variant, X, Ny, Nx, planes, Y, rows, columns, path.threads, 1);
        }
        ASSERT_EQ(std::memcmp(Y, expected.get(), out_count * sizeof(E)), 0)
            << path.name << ": " << Ny << "x" << Nx << "x" << planes << " -> " << ny << "x" << nx << " "
            << resize_method_name(method) << (antialias ? " antialiased" : "");
        if constexpr (std::is_floating_point_v<E>) {
            for (size_t k = 0; k < out_count; ++k) {
                if (!std::isnan(Y[k])) continue;
                using Bits = std::conditional_t<sizeof(E) == 8, uint64_t, uint32_t>;
                Bits bits;
                std::memcpy(&bits, &Y[k], sizeof bits);
                ASSERT_EQ(bits, sizeof(E) == 8 ? Bits(0x7FF8000000000000ULL) : Bits(0x7FC00000U));
            }
        }
    }
}

template <class E>
void every_path_equals_the_reference()
{
    std::mt19937 generator(20261208);
    // Sizes of one row or column, bands of several rows, and widths that
    // make bands of one row (the band budget is 32768 doubles).
    const int64_t shapes[][5] = {{1, 1, 1, 3, 4},   {1, 9, 2, 1, 4},   {9, 1, 1, 20, 1},  {17, 23, 3, 8, 11},
                                 {40, 30, 1, 97, 70}, {64, 64, 2, 32, 32}, {50, 41, 1, 39, 33}, {3, 40000, 1, 5, 3}};
    for (const auto& s : shapes) {
        for (const ResizeMethodName& m : resize_method_names) {
            for (bool antialias : {true, false}) {
                const double scale_rows = static_cast<double>(s[3]) / static_cast<double>(s[0]);
                const double scale_columns = static_cast<double>(s[4]) / static_cast<double>(s[1]);
                expect_same_bytes_on_every_path<E>(generator, s[0], s[1], s[2], s[3], s[4], scale_rows,
                                                   scale_columns, m.method, antialias);
            }
        }
    }
    // Random sizes and factors.
    for (int trial = 0; trial < 40; ++trial) {
        const int64_t Ny = 1 + generator() % 60;
        const int64_t Nx = 1 + generator() % 60;
        const double scale = 0.15 + static_cast<double>(generator() % 1000) / 300.0;
        const int64_t ny = static_cast<int64_t>(std::ceil(scale * static_cast<double>(Ny)));
        const int64_t nx = static_cast<int64_t>(std::ceil(scale * static_cast<double>(Nx)));
        expect_same_bytes_on_every_path<E>(generator, Ny, Nx, 1 + generator() % 3, ny, nx, scale, scale,
                                           resize_method_names[generator() % std::size(resize_method_names)].method,
                                           generator() % 2 == 0);
    }
}

TEST(SeparableResize, EveryPathEqualsTheReferenceUint8) { every_path_equals_the_reference<uint8_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceUint16) { every_path_equals_the_reference<uint16_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceInt16) { every_path_equals_the_reference<int16_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceInt8) { every_path_equals_the_reference<int8_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceInt32) { every_path_equals_the_reference<int32_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceUint32) { every_path_equals_the_reference<uint32_t>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceSingle) { every_path_equals_the_reference<float>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceDouble) { every_path_equals_the_reference<double>(); }
TEST(SeparableResize, EveryPathEqualsTheReferenceLogical) { every_path_equals_the_reference<bool>(); }

template <class E>
std::vector<E> resized(const std::vector<E>& X, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx, ResizeMethod method,
                       bool antialias = true)
{
    const ResizeTaps rows = resize_taps(Ny, ny, static_cast<double>(ny) / static_cast<double>(Ny), method, antialias);
    const ResizeTaps columns =
        resize_taps(Nx, nx, static_cast<double>(nx) / static_cast<double>(Nx), method, antialias);
    const size_t in_count = static_cast<size_t>(Ny * Nx);
    const size_t out_count = static_cast<size_t>(ny * nx);
    const std::unique_ptr<E[]> in(new E[in_count]);
    const std::unique_ptr<E[]> out(new E[out_count]());
    std::copy(X.begin(), X.end(), in.get());
    separable_resize(in.get(), Ny, Nx, 1, out.get(), rows, columns);
    return std::vector<E>(out.get(), out.get() + out_count);
}

TEST(SeparableResize, WorkedValues)
{
    // Bilinear doubling of [10 20; 30 40] (column-major), by hand: rows
    // 10 15 25 30 in the first column, 20 25 35 40 in the second, then the
    // same weights (1, .75/.25, .25/.75, 1) across.
    const std::vector<uint8_t> X = {10, 30, 20, 40};
    const std::vector<uint8_t> Y = resized(X, 2, 2, 4, 4, ResizeMethod::bilinear);
    const std::vector<uint8_t> expected = {10, 15, 25, 30, 13, 18, 28, 33, 18, 23, 33, 38, 20, 25, 35, 40};
    EXPECT_EQ(Y, expected);
    // Halves round away from zero: 0.5 -> 1, -0.5 -> -1, 1.5 -> 2.
    EXPECT_EQ(resized<uint8_t>({0, 2}, 1, 2, 1, 4, ResizeMethod::bilinear), (std::vector<uint8_t>{0, 1, 2, 2}));
    EXPECT_EQ(resized<int16_t>({0, -2}, 1, 2, 1, 4, ResizeMethod::bilinear), (std::vector<int16_t>{0, -1, -2, -2}));
    // Overshoot of the negative lobes saturates.
    const std::vector<uint8_t> step = resized<uint8_t>({0, 0, 255, 255, 0, 0}, 1, 6, 1, 12, ResizeMethod::lanczos3);
    const std::vector<double> exact = resized<double>({0, 0, 255, 255, 0, 0}, 1, 6, 1, 12, ResizeMethod::lanczos3);
    for (size_t k = 0; k < step.size(); ++k) {
        const double rounded = std::round(exact[k]);
        EXPECT_EQ(step[k], rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
    }
    // Logical: true above one half; a half exactly is false.
    EXPECT_EQ(resized<bool>({false, true}, 1, 2, 1, 4, ResizeMethod::bilinear),
              (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(resized<bool>({false, true, true, false}, 1, 4, 1, 2, ResizeMethod::box),
              (std::vector<bool>{false, false}));
}

// The conversion at halves, just below them, at the ends of each range and
// beyond, against values worked by hand (not std::round: MinGW-w64's gives
// 1 for the largest double below one half).
TEST(SeparableResize, IntegerConversionRoundsHalvesAwayFromZeroAndSaturates)
{
    const double below_half = std::nextafter(0.5, 0.0);
    const struct {
        double value;
        int64_t rounded;  // before saturation
    } cases[] = {{0.0, 0},           {-0.0, 0},
                 {below_half, 0},    {-below_half, 0},
                 {0.5, 1},           {-0.5, -1},
                 {1.5, 2},           {-1.5, -2},
                 {2.5, 3},           {-2.5, -3},
                 {-0.51, -1},        {127.49999999999999, 127},
                 {254.5, 255},       {std::nextafter(254.5, 0.0), 254},
                 {255.49, 255},      {255.5, 256},
                 {256.0, 256},       {32767.5, 32768},
                 {-32767.5, -32768}, {-32768.5, -32769},
                 {65534.5, 65535},   {65535.5, 65536},
                 {-127.5, -128},     {-128.5, -129},
                 {126.5, 127},       {127.5, 128},
                 {2147483646.5, 2147483647}, {2147483647.5, 2147483648},
                 {std::nextafter(2147483647.5, 0.0), 2147483647},
                 {-2147483647.5, -2147483648}, {-2147483648.5, -2147483649},
                 {4294967294.5, 4294967295}, {4294967295.5, 4294967296},
                 {1e10, 10000000000}, {-1e10, -10000000000},
                 {1e300, int64_t{1} << 62}, {-1e300, -(int64_t{1} << 62)}};
    auto saturated = [](int64_t v, int64_t low, int64_t high) { return std::min(std::max(v, low), high); };
    for (const auto& c : cases) {
        EXPECT_EQ(resize_element<uint8_t>(c.value), saturated(c.rounded, 0, 255)) << c.value;
        EXPECT_EQ(resize_element<uint16_t>(c.value), saturated(c.rounded, 0, 65535)) << c.value;
        EXPECT_EQ(resize_element<int16_t>(c.value), saturated(c.rounded, -32768, 32767)) << c.value;
        EXPECT_EQ(resize_element<int8_t>(c.value), saturated(c.rounded, -128, 127)) << c.value;
        EXPECT_EQ(resize_element<int32_t>(c.value), saturated(c.rounded, INT32_MIN, INT32_MAX)) << c.value;
        EXPECT_EQ(resize_element<uint32_t>(c.value), saturated(c.rounded, 0, UINT32_MAX)) << c.value;
        EXPECT_EQ(resize_element<bool>(c.value), c.value > 0.5) << c.value;
        // The vectorizable loop gives the same.
        uint8_t converted = 1;
        resize_elements<uint8_t>(&c.value, &converted, 1);
        EXPECT_EQ(converted, resize_element<uint8_t>(c.value)) << c.value;
        int32_t wide = 1;
        resize_elements<int32_t>(&c.value, &wide, 1);
        EXPECT_EQ(wide, resize_element<int32_t>(c.value)) << c.value;
    }
    EXPECT_EQ(resize_element<float>(0.1), 0.1f);
    EXPECT_EQ(resize_element<uint8_t>(std::nan("")), 0);
}

TEST(SeparableResize, ConstantImagesStayConstant)
{
    for (const ResizeMethodName& m : resize_method_names) {
        const ResizeMethod method = m.method;
        for (const auto& size : {std::pair<int64_t, int64_t>{7, 3}, {3, 11}, {16, 5}, {1, 9}}) {
            const std::vector<uint8_t> Y =
                resized(std::vector<uint8_t>(35, 201), 5, 7, size.first, size.second, method);
            for (uint8_t v : Y) ASSERT_EQ(v, 201);
            const std::vector<int16_t> Z =
                resized(std::vector<int16_t>(35, -3000), 5, 7, size.first, size.second, method);
            for (int16_t v : Z) ASSERT_EQ(v, -3000);
            const std::vector<double> D = resized(std::vector<double>(35, 0.3), 5, 7, size.first, size.second, method);
            for (double v : D) ASSERT_NEAR(v, 0.3, 1e-15);
        }
    }
}

TEST(SeparableResize, ScaleOneCopiesEveryClass)
{
    std::mt19937 generator(7);
    std::vector<double> X(6 * 5);
    for (double& v : X) v = random_element<double>(generator);
    for (const ResizeMethodName& m : resize_method_names) {
        const ResizeMethod method = m.method;
        const std::vector<double> Y = resized(X, 6, 5, 6, 5, method);
        for (size_t k = 0; k < X.size(); ++k) {
            if (std::isnan(X[k])) {
                EXPECT_TRUE(std::isnan(Y[k]));
            } else {
                EXPECT_EQ(std::memcmp(&X[k], &Y[k], sizeof(double)), 0);  // -0 stays -0
            }
        }
    }
}

}  // namespace
