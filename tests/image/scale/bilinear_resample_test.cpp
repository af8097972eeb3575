#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <vector>

#include "image/scale/bilinear_resample.h"
#include "tests/image/guarded_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An image written row by row, stored column-major.
struct Image {
    int64_t rows;
    int64_t columns;
    Bytes pixels;
};

Image from_rows(std::initializer_list<std::initializer_list<int>> rows)
{
    Image image{static_cast<int64_t>(rows.size()), static_cast<int64_t>(rows.begin()->size()), {}};
    image.pixels.resize(static_cast<size_t>(image.rows * image.columns));
    size_t r = 0;
    for (const auto& row : rows) {
        size_t c = 0;
        for (int value : row) image.pixels[r + c++ * static_cast<size_t>(image.rows)] = static_cast<uint8_t>(value);
        ++r;
    }
    return image;
}

Image constant(int64_t rows, int64_t columns, uint8_t value)
{
    return {rows, columns, Bytes(static_cast<size_t>(rows * columns), value)};
}

Image column_vector(std::initializer_list<int> values)
{
    Image image{static_cast<int64_t>(values.size()), 1, {}};
    for (int value : values) image.pixels.push_back(static_cast<uint8_t>(value));
    return image;
}

// Runs the kernel with input and output fenced by guard pages, once with
// each array ending at a guard and once with each starting right after one,
// so any read or write outside them crashes. The output starts as a pattern
// that the expected results avoid, to show that every element was written.
template <class E>
std::vector<E> resample_guarded(const std::vector<E>& X, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx)
{
    const size_t in_bytes = X.size() * sizeof(E);
    const size_t out_count = static_cast<size_t>(ny * nx);
    std::vector<E> results[2];
    int k = 0;
    for (GuardedBytes::Tight tight : {GuardedBytes::Tight::end, GuardedBytes::Tight::start}) {
        GuardedBytes in(in_bytes, tight);
        GuardedBytes out(out_count * sizeof(E), tight);
        if (in_bytes != 0) std::memcpy(in.data(), X.data(), in_bytes);
        for (size_t i = 0; i < out_count * sizeof(E); ++i) out[i] = 0xA5;
        bilinear_resample(reinterpret_cast<const E*>(in.data()), Ny, Nx, 1, reinterpret_cast<E*>(out.data()), ny, nx);
        results[k].resize(out_count);
        if (out_count != 0) std::memcpy(results[k].data(), out.data(), out_count * sizeof(E));
        ++k;
    }
    EXPECT_TRUE(out_count == 0 || std::memcmp(results[0].data(), results[1].data(), out_count * sizeof(E)) == 0);
    return results[0];
}

Image resample(const Image& X, int64_t ny, int64_t nx)
{
    return {ny, nx, resample_guarded(X.pixels, X.rows, X.columns, ny, nx)};
}

// The documented arithmetic written out directly, with the neighbour below
// (to the right) taken no further than the last row (column): the values
// before their conversion to the image's type.
template <class E>
std::vector<double> reference_values(const E* X, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx)
{
    std::vector<double> Y(static_cast<size_t>(ny * nx));
    const double sy = static_cast<double>(Ny - 1) / (static_cast<double>(ny - 1) + 1e-7);
    const double sx = static_cast<double>(Nx - 1) / (static_cast<double>(nx - 1) + 1e-7);
    auto at = [&](int64_t r, int64_t c) {
        return static_cast<double>(X[static_cast<size_t>(std::min(r, Ny - 1) + std::min(c, Nx - 1) * Ny)]);
    };
    double px = 0.0;
    for (int64_t i = 0; i < nx; ++i) {
        const int64_t c = static_cast<int64_t>(std::floor(px));
        const double fx = px - static_cast<double>(c);
        double py = 0.0;
        for (int64_t j = 0; j < ny; ++j) {
            const int64_t r = static_cast<int64_t>(std::floor(py));
            const double fy = py - static_cast<double>(r);
            Y[static_cast<size_t>(j + i * ny)] = (at(r, c) * (1 - fy) + at(r + 1, c) * fy) * (1 - fx) +
                                                 (at(r, c + 1) * (1 - fy) + at(r + 1, c + 1) * fy) * fx;
            py += sy;
        }
        px += sx;
    }
    return Y;
}

Bytes reference_resample(const uint8_t* X, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx)
{
    const std::vector<double> values = reference_values(X, Ny, Nx, ny, nx);
    Bytes Y(values.size());
    for (size_t k = 0; k < values.size(); ++k) Y[k] = static_cast<uint8_t>(std::trunc(values[k]));
    return Y;
}

// The last position of n samples stepped from 0 as the kernel steps them.
double last_position(int64_t N, int64_t n)
{
    const double step = static_cast<double>(N - 1) / (static_cast<double>(n - 1) + 1e-7);
    double position = 0.0;
    for (int64_t k = 1; k < n; ++k) position += step;
    return position;
}

const Image two_by_two = from_rows({{0, 50}, {100, 150}});

}  // namespace

TEST(BilinearResample, TwoByTwoToThreeByThreeTruncatesTheMiddleSamples)
{
    // Also shows that the row position restarts at 0 in every column.
    EXPECT_EQ(resample(two_by_two, 3, 3).pixels, from_rows({{0, 24, 49}, {49, 74, 99}, {99, 124, 149}}).pixels);
}

TEST(BilinearResample, SameSizeIsNotAnExactCopy)
{
    EXPECT_EQ(resample(from_rows({{0, 0}, {10, 10}, {20, 20}}), 3, 2).pixels,
              from_rows({{0, 0}, {9, 9}, {19, 19}}).pixels);
    const Image falling = from_rows({{30, 30}, {20, 20}, {10, 10}});
    EXPECT_EQ(resample(falling, 3, 2).pixels, falling.pixels);
    const Image flat = constant(4, 5, 200);
    EXPECT_EQ(resample(flat, 4, 5).pixels, flat.pixels);
    // The second column takes a weight of about 5e-8 from the zero column.
    EXPECT_EQ(resample(from_rows({{0, 30}, {0, 20}, {0, 10}}), 3, 2).pixels,
              from_rows({{0, 29}, {0, 19}, {0, 9}}).pixels);
}

TEST(BilinearResample, ConstantImageLosesOneLevelWithoutFusedMultiplyAdd)
{
    // Fusing multiply and add changes the third sample.
    const Bytes expected{100, 100, 99, 100, 100, 100, 100};
    EXPECT_EQ(resample(constant(2, 2, 100), 7, 1).pixels, expected);
    EXPECT_EQ(resample(constant(2, 2, 100), 1, 7).pixels, expected);
}

TEST(BilinearResample, PositionsAreSummedNotMultiplied)
{
    // Here the summed position and index times step truncate differently at
    // sample 7: 100 summed (99 multiplied) for 29 samples, 99 summed (100
    // multiplied) for 31.
    Bytes expected29(29, 100);
    Bytes expected31(31, 100);
    expected31[7] = 99;
    EXPECT_EQ(resample(constant(2, 2, 100), 29, 1).pixels, expected29);
    EXPECT_EQ(resample(constant(2, 2, 100), 1, 29).pixels, expected29);
    EXPECT_EQ(resample(constant(2, 2, 100), 31, 1).pixels, expected31);
    EXPECT_EQ(resample(constant(2, 2, 100), 1, 31).pixels, expected31);
}

TEST(BilinearResample, OneSampleInADirectionUsesPositionZero)
{
    EXPECT_EQ(resample(two_by_two, 1, 4).pixels, (Bytes{0, 16, 33, 49}));
    EXPECT_EQ(resample(two_by_two, 4, 1).pixels, (Bytes{0, 33, 66, 99}));
    EXPECT_EQ(resample(two_by_two, 1, 1).pixels, (Bytes{0}));
}

TEST(BilinearResample, ZeroSizedOutputsReadAndWriteNothing)
{
    // Null arrays would crash on any access.
    bilinear_resample<uint8_t>(nullptr, 2, 2, 1, nullptr, 0, 5);
    bilinear_resample<uint8_t>(nullptr, 2, 2, 1, nullptr, 5, 0);
    bilinear_resample<uint8_t>(nullptr, 2, 2, 1, nullptr, 0, 0);
    EXPECT_TRUE(resample(two_by_two, 0, 3).pixels.empty());
}

TEST(BilinearResample, OneRowOrOneColumnImagesStayInside)
{
    // The missing neighbour has weight 0: results are the one-dimensional
    // interpolation, and the guard pages show nothing outside was read.
    const Bytes interpolated{10, 14, 19, 24, 29};
    const Image row = from_rows({{10, 20, 30}});
    const Image row_result = resample(row, 3, 5);
    for (int64_t j = 0; j < 3; ++j) {
        for (int64_t i = 0; i < 5; ++i) EXPECT_EQ(row_result.pixels[static_cast<size_t>(j + i * 3)], interpolated[i]);
    }
    const Image column = column_vector({10, 20, 30});
    const Image column_result = resample(column, 5, 3);
    for (int64_t i = 0; i < 3; ++i) {
        const Bytes samples(column_result.pixels.begin() + i * 5, column_result.pixels.begin() + (i + 1) * 5);
        EXPECT_EQ(samples, interpolated);
    }
    EXPECT_EQ(resample(from_rows({{77}}), 3, 4).pixels, Bytes(12, 77));
}

TEST(BilinearResample, LongOutputsStayInsideTheImage)
{
    // Ny = 10, ny = 100000: the summed last position passes 9, so its lower
    // corner is the last row and the row below does not exist.
    ASSERT_GE(last_position(10, 100000), 9.0);
    ASSERT_LT(last_position(10, 100000), 9.0 + 1e-9);

    const Image ramp = column_vector({0, 25, 50, 75, 100, 125, 150, 175, 200, 225});
    const Image down = resample(ramp, 100000, 1);
    EXPECT_EQ(down.pixels, reference_resample(ramp.pixels.data(), 10, 1, 100000, 1));
    EXPECT_EQ(down.pixels.front(), 0);
    EXPECT_EQ(down.pixels.back(), 225);
    EXPECT_TRUE(std::is_sorted(down.pixels.begin(), down.pixels.end()));

    // The same along the columns: the column to the right of the last is
    // past the end of the image.
    const Image across_ramp{1, 10, ramp.pixels};
    EXPECT_EQ(resample(across_ramp, 1, 100000).pixels, down.pixels);

    // Both at once, with two columns: the missing corner lies past the end.
    Image two_columns{10, 2, Bytes(20)};
    for (size_t k = 0; k < 20; ++k) two_columns.pixels[k] = static_cast<uint8_t>(k * 12);
    EXPECT_EQ(resample(two_columns, 100000, 2).pixels,
              reference_resample(two_columns.pixels.data(), 10, 2, 100000, 2));
}

TEST(BilinearResample, MatchesTheDocumentedArithmeticOnOtherShapes)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    const int64_t shapes[][4] = {{3, 4, 5, 7}, {7, 5, 3, 2}, {16, 9, 40, 23}, {5, 11, 5, 11}, {2, 13, 9, 1}};
    for (const auto& shape : shapes) {
        Image X{shape[0], shape[1], Bytes(static_cast<size_t>(shape[0] * shape[1]))};
        for (uint8_t& pixel : X.pixels) pixel = static_cast<uint8_t>(byte(random));
        EXPECT_EQ(resample(X, shape[2], shape[3]).pixels,
                  reference_resample(X.pixels.data(), shape[0], shape[1], shape[2], shape[3]))
            << shape[0] << " x " << shape[1] << " to " << shape[2] << " x " << shape[3];
    }
}

TEST(BilinearResample, ImagesOfTwoToTheThirtyOneBytesAndMore)
{
    // 65536 x 32769 bytes = 2^31 + 2^16: the last column starts at offset
    // 2^31. The mapping is lazy, so only the pixels set here take memory.
    const int64_t Ny = 65536;
    const int64_t Nx = 32769;
    GuardedBytes X(static_cast<size_t>(Ny * Nx));
    auto pixel = [&](int64_t r, int64_t c) -> uint8_t& { return X[static_cast<size_t>(r + c * Ny)]; };
    pixel(0, 0) = 7;
    pixel(Ny - 2, 0) = 60;
    pixel(Ny - 1, 0) = 90;
    pixel(0, Nx - 2) = 30;
    pixel(0, Nx - 1) = 250;
    pixel(Ny - 2, Nx - 2) = 40;
    pixel(Ny - 1, Nx - 2) = 80;
    pixel(Ny - 2, Nx - 1) = 120;
    pixel(Ny - 1, Nx - 1) = 200;

    uint8_t Y[4] = {0, 0, 0, 0};
    bilinear_resample(X.data(), Ny, Nx, 1, Y, 2, 2);

    // Second positions: one step each, lower corners Ny - 2 and Nx - 2.
    const double fy = 65535.0 / (1.0 + 1e-7) - 65534.0;
    const double fx = 32768.0 / (1.0 + 1e-7) - 32767.0;
    const auto truncated = [](double v) { return static_cast<uint8_t>(v); };
    EXPECT_EQ(Y[0], 7);
    EXPECT_EQ(Y[1], truncated((60 * (1 - fy) + 90 * fy) * 1.0 + (0 * (1 - fy) + 0 * fy) * 0.0));
    EXPECT_EQ(Y[2], truncated((30 * 1.0 + 0 * 0.0) * (1 - fx) + (250 * 1.0 + 0 * 0.0) * fx));
    EXPECT_EQ(Y[3], truncated((40 * (1 - fy) + 80 * fy) * (1 - fx) + (120 * (1 - fy) + 200 * fy) * fx));
    EXPECT_EQ(Y[1], 89);
    EXPECT_EQ(Y[2], 249);
    EXPECT_EQ(Y[3], 199);
}

// ------------------------------------------------- the other element types

namespace {

template <class E, class From>
std::vector<E> converted(const std::vector<From>& values)
{
    return std::vector<E>(values.begin(), values.end());
}

template <class E>
uint64_t bits_of(E value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

// A 37 x 23 image of all 256 levels in a scattered order, and the sizes it
// is resampled to: smaller, larger, one row, one column, and the same size.
const int64_t level_rows = 37;
const int64_t level_columns = 23;
const int64_t level_outputs[][2] = {{11, 7}, {80, 51}, {1, 40}, {50, 1}, {37, 23}};

Bytes all_levels()
{
    Bytes levels(static_cast<size_t>(level_rows * level_columns));
    for (size_t k = 0; k < levels.size(); ++k) levels[k] = static_cast<uint8_t>(k * 167 % 256);
    return levels;
}

}  // namespace

TEST(BilinearResampleClasses, EightBitValuesGiveTheUint8LevelsInEveryIntegerClass)
{
    // The same doubles, truncated the same way: a 16-bit image of 8-bit
    // values gives the uint8 result, and so does truncating the double one.
    const Bytes levels = all_levels();
    for (const auto& out : level_outputs) {
        const Bytes expected = resample_guarded(levels, level_rows, level_columns, out[0], out[1]);
        EXPECT_EQ(converted<uint8_t>(resample_guarded(converted<uint16_t>(levels), level_rows, level_columns, out[0],
                                                      out[1])),
                  expected);
        EXPECT_EQ(converted<uint8_t>(resample_guarded(converted<int16_t>(levels), level_rows, level_columns, out[0],
                                                      out[1])),
                  expected);
        const std::vector<double> doubles =
            resample_guarded(converted<double>(levels), level_rows, level_columns, out[0], out[1]);
        Bytes truncated(doubles.size());
        for (size_t k = 0; k < doubles.size(); ++k) truncated[k] = static_cast<uint8_t>(doubles[k]);
        EXPECT_EQ(truncated, expected) << out[0] << " x " << out[1];
    }
}

TEST(BilinearResampleClasses, DoubleIsTheInterpolatedValueAndSingleItsRounding)
{
    // Scattered values over many magnitudes, of both signs.
    std::mt19937 random(99);
    std::vector<float> X(static_cast<size_t>(level_rows * level_columns));
    for (float& value : X) {
        value = std::ldexp(static_cast<float>(random() % 100000) - 50000.0f, static_cast<int>(random() % 40) - 30);
    }
    for (const auto& out : level_outputs) {
        const std::vector<double> values =
            reference_values(X.data(), level_rows, level_columns, out[0], out[1]);
        const std::vector<double> doubles =
            resample_guarded(converted<double>(X), level_rows, level_columns, out[0], out[1]);
        const std::vector<float> singles = resample_guarded(X, level_rows, level_columns, out[0], out[1]);
        for (size_t k = 0; k < values.size(); ++k) {
            EXPECT_EQ(bits_of(doubles[k]), bits_of(values[k])) << k;
            EXPECT_EQ(bits_of(singles[k]), bits_of(static_cast<float>(values[k]))) << k;
        }
    }
}

TEST(BilinearResampleClasses, SixteenBitValuesTruncateTowardZero)
{
    // Negative values go up to the next integer: -10 and -21 give
    // -15.4999997 and, just short of the last row, -20.9999995; floor would
    // give -16 and -21. Half-way between the extremes of int16 lies
    // -0.50164, which becomes 0; the range holds at both ends.
    EXPECT_EQ(resample_guarded(std::vector<int16_t>{-10, -21}, 2, 1, 3, 1), (std::vector<int16_t>{-10, -15, -20}));
    EXPECT_EQ(resample_guarded(std::vector<int16_t>{-32768, 32767, -32768, 32767}, 2, 2, 3, 3),
              (std::vector<int16_t>{-32768, 0, 32766, -32768, 0, 32766, -32768, 0, 32766}));
    EXPECT_EQ(resample_guarded(std::vector<uint16_t>{1000, 3001}, 1, 2, 1, 3), (std::vector<uint16_t>{1000, 2000, 3000}));
}

TEST(BilinearResampleClasses, NanAndInfinityFlowThroughTheArithmetic)
{
    const double inf = std::numeric_limits<double>::infinity();
    const uint64_t nan_bits = 0x7FF8000000000000ULL;
    // Every sample of a 2 x 2 image reads all four pixels, with weight 0 or
    // not: one NaN makes every sample NaN, and every NaN is the one NaN
    // whatever the payload and sign it came from.
    double payload_nan;
    const uint64_t payload_bits = 0xFFF4000000000123ULL;
    std::memcpy(&payload_nan, &payload_bits, sizeof payload_nan);
    for (const double& v : resample_guarded(std::vector<double>{1, 3, payload_nan, 4}, 2, 2, 3, 3)) {
        EXPECT_EQ(bits_of(v), nan_bits);
    }
    for (const float& v : resample_guarded(std::vector<float>{1, 3, std::nanf("7"), 4}, 2, 2, 3, 3)) {
        EXPECT_EQ(bits_of(v), 0x7FC00000U);
    }
    // Infinity times a weight of 0 is NaN; with any other weight, infinity.
    const std::vector<double> with_infinity = resample_guarded(std::vector<double>{1, 3, inf, 4}, 2, 2, 1, 3);
    EXPECT_EQ(bits_of(with_infinity[0]), nan_bits);
    EXPECT_EQ(with_infinity[1], inf);
    EXPECT_EQ(with_infinity[2], inf);
    // Opposite infinities meet as NaN; far from a NaN, values stay finite.
    EXPECT_EQ(bits_of(resample_guarded(std::vector<double>{inf, -inf}, 2, 1, 3, 1)[1]), nan_bits);
    // (Not named far: windows.h defines that as nothing.)
    std::vector<float> corner_nan(100, 2.0f);
    corner_nan[0] = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> far_result = resample_guarded(corner_nan, 10, 10, 19, 19);
    EXPECT_TRUE(std::isnan(far_result[0]));
    EXPECT_EQ(far_result.back(), 2.0f);
    // Only the 3 x 3 samples whose neighbours include the NaN pixel are NaN.
    EXPECT_EQ(std::count_if(far_result.begin(), far_result.end(), [](float v) { return std::isnan(v); }), 9);
}
