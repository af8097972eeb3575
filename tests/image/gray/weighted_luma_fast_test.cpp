// The fast gray conversion against the plain one: bit-identical on every
// colour, at every length and alignment, on one thread and with the pixels
// split across several (the threshold lowered so that short images split).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/gray/weighted_luma.h"

namespace {

// One way of converting: a variant on some number of threads.
struct Path {
    std::string name;
    LumaPixels variant;
    int threads;
};

// Every vector variant on one thread and on three; the plain loop on three;
// and the dispatching entry, which picks its own variant and threads.
std::vector<Path> fast_paths()
{
    std::vector<Path> paths{{"plain split", weighted_luma_pixels_plain, 3}, {"dispatch", nullptr, 0}};
    for (const LumaVariant& v : weighted_luma_variants()) {
        paths.push_back({v.name, v.convert, 1});
        paths.push_back({std::string(v.name) + " split", v.convert, 3});
    }
    return paths;
}

void convert(const Path& path, const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (path.variant == nullptr) {
        weighted_luma(rgb, P, gray);
    } else {
        weighted_luma_split(path.variant, rgb, P, gray, path.threads, 1);
    }
}

}  // namespace

TEST(WeightedLumaFast, AllColoursEqualThePlainPath)
{
    const size_t P = size_t(1) << 24;
    std::vector<uint8_t> rgb(3 * P);
    for (size_t k = 0; k < P; ++k) {
        rgb[k] = static_cast<uint8_t>(k >> 16);
        rgb[k + P] = static_cast<uint8_t>(k >> 8);
        rgb[k + 2 * P] = static_cast<uint8_t>(k);
    }
    std::vector<uint8_t> plain(P);
    weighted_luma_plain(rgb.data(), static_cast<int64_t>(P), plain.data());
    for (const Path& path : fast_paths()) {
        std::vector<uint8_t> fast(P, 0xA5);
        convert(path, rgb.data(), static_cast<int64_t>(P), fast.data());
        size_t mismatches = 0;
        for (size_t k = 0; k < P; ++k) mismatches += fast[k] != plain[k];
        EXPECT_EQ(mismatches, 0u) << path.name;
    }
}

TEST(WeightedLumaFast, EveryLengthAndOffsetWritesExactlyThePixels)
{
    std::mt19937 generator(5);
    for (int64_t P = 0; P < 100; ++P) {
        for (size_t offset : {0, 1, 7}) {
            std::vector<uint8_t> rgb(offset + 3 * static_cast<size_t>(P));
            for (uint8_t& b : rgb) b = static_cast<uint8_t>(generator() >> 24);
            // Some neutral grays and some of the six that come out one lower.
            for (int64_t k = 0; k < P; k += 5) {
                const uint8_t level = (k % 10 == 0) ? 252 : static_cast<uint8_t>(k);
                for (int plane = 0; plane < 3; ++plane) rgb[offset + static_cast<size_t>(k + plane * P)] = level;
            }
            std::vector<uint8_t> plain(static_cast<size_t>(P) + 2, 0x5A);
            weighted_luma_plain(rgb.data() + offset, P, plain.data() + 1);
            for (const Path& path : fast_paths()) {
                std::vector<uint8_t> fast(static_cast<size_t>(P) + 2, 0x5A);
                convert(path, rgb.data() + offset, P, fast.data() + 1);
                EXPECT_EQ(fast, plain) << path.name << " P=" << P << " offset=" << offset;
            }
        }
    }
}
