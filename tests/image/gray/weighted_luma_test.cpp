#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/gray/weighted_luma.h"
#include "tests/image/guarded_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Colour {
    int red;
    int green;
    int blue;
};

// The conversion as documented, one pixel at a time.
uint8_t formula(int red, int green, int blue)
{
    const double v = (red * 0.298936021293776 + green * 0.587043074451121) + blue * 0.114020904255103;
    return static_cast<uint8_t>(v);
}

// Converts a list of colours as one plane of pixels, with the planes and the
// result fenced by guard pages (reads or writes outside them crash).
Bytes convert(const std::vector<Colour>& colours)
{
    const size_t P = colours.size();
    GuardedBytes rgb(3 * P);
    GuardedBytes gray(P);
    for (size_t k = 0; k < P; ++k) {
        rgb[k] = static_cast<uint8_t>(colours[k].red);
        rgb[k + P] = static_cast<uint8_t>(colours[k].green);
        rgb[k + 2 * P] = static_cast<uint8_t>(colours[k].blue);
        gray[k] = 0xA5;
    }
    weighted_luma(rgb.data(), static_cast<int64_t>(P), gray.data());
    return Bytes(gray.data(), gray.data() + P);
}

}  // namespace

TEST(WeightedLuma, PrimaryColoursWhiteAndBlack)
{
    // White sums to 255.00000000000003 and stays 255.
    EXPECT_EQ(convert({{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}}),
              (Bytes{255, 0, 76, 149, 29, 18}));
}

TEST(WeightedLuma, SixNeutralGraysComeOutOneLower)
{
    std::vector<Colour> grays;
    Bytes expected;
    for (int k = 0; k < 256; ++k) {
        grays.push_back({k, k, k});
        const bool one_lower = k == 63 || k == 85 || k == 126 || k == 170 || k == 239 || k == 252;
        expected.push_back(static_cast<uint8_t>(one_lower ? k - 1 : k));
    }
    EXPECT_EQ(convert(grays), expected);
}

TEST(WeightedLuma, EveryColourMatchesTheFormula)
{
    // One plane of all 2^24 colours: pixel k has red k % 256, green
    // (k / 256) % 256 and blue k / 65536.
    const size_t P = size_t{1} << 24;
    Bytes rgb(3 * P);
    for (size_t k = 0; k < P; ++k) {
        rgb[k] = static_cast<uint8_t>(k);
        rgb[k + P] = static_cast<uint8_t>(k >> 8);
        rgb[k + 2 * P] = static_cast<uint8_t>(k >> 16);
    }
    Bytes gray(P, 0xA5);
    weighted_luma(rgb.data(), static_cast<int64_t>(P), gray.data());

    size_t mismatches = 0;
    for (size_t k = 0; k < P; ++k) {
        const int red = static_cast<int>(k & 255);
        const int green = static_cast<int>((k >> 8) & 255);
        const int blue = static_cast<int>(k >> 16);
        if (gray[k] != formula(red, green, blue)) {
            if (++mismatches <= 10) ADD_FAILURE() << "colour (" << red << ", " << green << ", " << blue << ")";
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(WeightedLuma, EmptyPlanesReadAndWriteNothing)
{
    // Null arrays would crash on any access.
    weighted_luma(nullptr, 0, nullptr);
    weighted_luma(nullptr, -5, nullptr);
}

TEST(WeightedLuma, PlanesOfTwoToTheThirtyPixelsAndMore)
{
    // Blue starts at 2P > 2^31. The input mapping is lazy: unset bytes read
    // as 0 and take no memory; the result takes 1 GiB while the test runs.
    const size_t P = (size_t{1} << 30) + 3;
    GuardedBytes rgb(3 * P);
    GuardedBytes gray(P);
    const Colour first{10, 20, 30};
    const Colour last{255, 255, 255};
    const Colour middle{0, 0, 255};
    const size_t middle_pixel = P / 2;
    for (auto [k, colour] : {std::pair{size_t{0}, first}, std::pair{P - 1, last}, std::pair{middle_pixel, middle}}) {
        rgb[k] = static_cast<uint8_t>(colour.red);
        rgb[k + P] = static_cast<uint8_t>(colour.green);
        rgb[k + 2 * P] = static_cast<uint8_t>(colour.blue);
    }
    weighted_luma(rgb.data(), static_cast<int64_t>(P), gray.data());
    EXPECT_EQ(gray[0], 18);
    EXPECT_EQ(gray[middle_pixel], 29);
    EXPECT_EQ(gray[P - 1], 255);
    EXPECT_EQ(gray[1], 0);
    EXPECT_EQ(gray[P - 2], 0);
}
