// The fast scaler against the plain one: bit-identical over random sizes and
// scale factors, one-row and one-column images, and very long outputs, on one
// thread and with the columns split across several (the threshold lowered so
// that even small images are split).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/scale/bilinear_resample.h"
#include "tests/image/guarded_bytes.h"

namespace {

// One way of resampling a plane: a variant on some number of threads.
struct Path {
    std::string name;
    ResampleColumns variant;
    int threads;
};

// Every vector variant on one thread and on three; the plain loop on three;
// and the dispatching entry, which picks its own variant and threads.
std::vector<Path> fast_paths()
{
    std::vector<Path> paths{{"plain split", bilinear_resample_columns_plain, 3}, {"dispatch", nullptr, 0}};
    for (const ResampleVariant& v : bilinear_resample_variants()) {
        paths.push_back({v.name, v.resample, 1});
        paths.push_back({std::string(v.name) + " split", v.resample, 3});
    }
    return paths;
}

void run(const Path& path, const uint8_t* X, int64_t Ny, int64_t Nx, int64_t planes, uint8_t* Y, int64_t ny,
         int64_t nx)
{
    if (path.variant == nullptr) {
        bilinear_resample(X, Ny, Nx, planes, Y, ny, nx);
    } else {
        bilinear_resample_split(path.variant, X, Ny, Nx, planes, Y, ny, nx, path.threads, 1);
    }
}

// Compares every path with the plain one on one random image. The image ends
// at a guard page (a read past it crashes); the output is fenced by a byte on
// each side that nothing may write.
void expect_same(int64_t Ny, int64_t Nx, int64_t ny, int64_t nx, uint32_t seed)
{
    std::mt19937 generator(seed);
    GuardedBytes X(static_cast<size_t>(Ny * Nx));
    for (size_t k = 0; k < X.size(); ++k) X[k] = static_cast<uint8_t>(generator() >> 24);
    const size_t out = static_cast<size_t>(ny > 0 && nx > 0 ? ny * nx : 0);
    std::vector<uint8_t> plain(out + 2, 0x5A);
    bilinear_resample_plain(X.data(), Ny, Nx, plain.data() + 1, ny, nx);
    for (const Path& path : fast_paths()) {
        std::vector<uint8_t> fast(out + 2, 0x5A);
        run(path, X.data(), Ny, Nx, 1, fast.data() + 1, ny, nx);
        EXPECT_EQ(fast, plain) << path.name << " " << Ny << "x" << Nx << " to " << ny << "x" << nx;
    }
}

}  // namespace

TEST(BilinearResampleFast, RandomSizesAndFactors)
{
    std::mt19937 generator(17);
    for (int trial = 0; trial < 300; ++trial) {
        const int64_t Ny = 1 + generator() % 70;
        const int64_t Nx = 1 + generator() % 70;
        const int64_t ny = generator() % 600;
        const int64_t nx = generator() % 90;
        expect_same(Ny, Nx, ny, nx, static_cast<uint32_t>(trial));
    }
    // Factors well above and below 2, where the row windows do not fit.
    for (int trial = 0; trial < 200; ++trial) {
        const int64_t Ny = 1 + generator() % 400;
        const int64_t Nx = 1 + generator() % 40;
        const int64_t ny = generator() % 120;
        const int64_t nx = generator() % 40;
        expect_same(Ny, Nx, ny, nx, static_cast<uint32_t>(1000 + trial));
    }
}

TEST(BilinearResampleFast, CommonFactorsAndTileEdges)
{
    for (double factor : {0.5, 0.8, 1.0, 1.25, 2.0, 3.3}) {
        expect_same(108, 192, static_cast<int64_t>(108 * factor), static_cast<int64_t>(192 * factor), 1);
    }
    for (int64_t ny : {255, 256, 257, 511, 512, 513, 1000}) expect_same(40, 9, ny, 13, 2);
}

TEST(BilinearResampleFast, FullHdAtCommonFactors)
{
    // Several tiles of rows, and every pattern of shared, new and skipped
    // input columns that these factors give.
    for (double factor : {0.3, 0.5, 0.8, 1.0, 1.25, 2.0}) {
        expect_same(1080, 1920, static_cast<int64_t>(1080 * factor), static_cast<int64_t>(1920 * factor), 9);
    }
}

TEST(BilinearResampleFast, RowGroupsAndTiles)
{
    // Outputs of every height around the group of 8 and the tiles of up to
    // 512 rows (split evenly), from inputs of every height around the 16-byte
    // window.
    for (int64_t ny = 1; ny <= 40; ++ny) {
        for (int64_t Ny : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33}) expect_same(Ny, 5, ny, 4, static_cast<uint32_t>(ny));
    }
    for (int64_t ny : {504, 505, 511, 512, 513, 520, 1023, 1024, 1025, 1031, 1536, 1537, 2049}) {
        expect_same(300, 4, ny, 3, static_cast<uint32_t>(ny));
        expect_same(3000, 4, ny, 3, static_cast<uint32_t>(ny));
    }
}

TEST(BilinearResampleFast, StepsAroundTheWindowWidth)
{
    // A group of 8 rows spans about 7 steps plus the row below: it fits one
    // 16-byte load up to a step of about 2.1 and falls back beyond.
    for (double step : {1.9, 2.0, 2.1, 2.14, 2.15, 2.2, 2.5, 3.0, 4.7, 17.0}) {
        const int64_t ny = 97;
        const int64_t Ny = static_cast<int64_t>(step * (ny - 1)) + 1;
        expect_same(Ny, 6, ny, 5, 11);
        expect_same(Ny, 6, ny + 400, 5, 12);
    }
}

TEST(BilinearResampleFast, LastBytesOfTheImage)
{
    // The 16-byte loads stop short of the image's end (a guard page): the
    // last column's last rows come from single bytes.
    for (int64_t Ny : {1, 2, 5, 15, 16, 17, 40}) {
        for (int64_t Nx : {1, 2, 3}) {
            for (int64_t ny : {1, 8, 9, 16, 33, 100}) {
                expect_same(Ny, Nx, ny, 3 * Nx + 1, static_cast<uint32_t>(Ny + ny));
            }
        }
    }
}

TEST(BilinearResampleFast, OneRowOrColumnAndVeryLongOutputs)
{
    expect_same(1, 1, 5, 7, 3);
    expect_same(1, 50, 3, 200, 4);
    expect_same(50, 1, 200, 3, 5);
    // Summed positions that reach the last row or column.
    expect_same(10, 3, 100000, 2, 6);
    expect_same(3, 10, 2, 100000, 7);
    expect_same(7, 2, 250007, 1, 8);
}

TEST(BilinearResampleFast, PlanesEachAsTheirOwnImage)
{
    // Parts of a split may start and end inside any plane; each plane must
    // come out as the one-plane reference gives it. 60 planes have 300 output
    // columns, enough for more parts than max_threads: a count of 1000 is
    // capped where the split's arrays are sized.
    std::mt19937 generator(23);
    const int64_t Ny = 13, Nx = 7, ny = 9, nx = 5;
    for (int64_t planes : {1, 2, 3, 12, 60}) {
        std::vector<uint8_t> X(static_cast<size_t>(Ny * Nx * planes));
        for (uint8_t& b : X) b = static_cast<uint8_t>(generator() >> 24);
        std::vector<uint8_t> expected(static_cast<size_t>(ny * nx * planes));
        for (int64_t p = 0; p < planes; ++p) {
            bilinear_resample_plain(X.data() + p * Ny * Nx, Ny, Nx, expected.data() + p * ny * nx, ny, nx);
        }
        for (const Path& path : fast_paths()) {
            for (int threads : {1, 2, 3, 4, 7, 64, 1000}) {
                Path with = path;
                if (with.variant != nullptr) with.threads = threads;
                std::vector<uint8_t> out(expected.size(), 0x5A);
                run(with, X.data(), Ny, Nx, planes, out.data(), ny, nx);
                EXPECT_EQ(out, expected) << path.name << " planes=" << planes << " threads=" << threads;
            }
        }
    }
}
