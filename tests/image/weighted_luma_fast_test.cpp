// The fast gray conversion against the plain one: bit-identical on every
// colour, at every length and alignment.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/cpu_features.h"
#include "image/gray/weighted_luma.h"

namespace {

using Convert = void (*)(const uint8_t*, int64_t, uint8_t*);

std::vector<std::pair<const char*, Convert>> fast_paths()
{
    std::vector<std::pair<const char*, Convert>> paths{{"dispatch", weighted_luma}};
    if (cpu_has_avx2()) paths.emplace_back("avx2", weighted_luma_avx2);
    return paths;
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
    for (const auto& [name, convert] : fast_paths()) {
        std::vector<uint8_t> fast(P, 0xA5);
        convert(rgb.data(), static_cast<int64_t>(P), fast.data());
        size_t mismatches = 0;
        for (size_t k = 0; k < P; ++k) mismatches += fast[k] != plain[k];
        EXPECT_EQ(mismatches, 0u) << name;
    }
}

TEST(WeightedLumaFast, EveryLengthAndOffsetWritesExactlyThePixels)
{
    std::mt19937 generator(5);
    for (int64_t P = 0; P < 70; ++P) {
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
            for (const auto& [name, convert] : fast_paths()) {
                std::vector<uint8_t> fast(static_cast<size_t>(P) + 2, 0x5A);
                convert(rgb.data() + offset, P, fast.data() + 1);
                EXPECT_EQ(fast, plain) << name << " P=" << P << " offset=" << offset;
            }
        }
    }
}
