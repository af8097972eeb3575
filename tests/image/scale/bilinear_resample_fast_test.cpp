// The fast scaler against the plain one, for every element type: bit-identical
// over random sizes and scale factors, one-row and one-column images, and very
// long outputs, on one thread and with the columns split across several (the
// threshold lowered so that even small images are split). Float images hold
// NaNs of any payload, infinities, signed zeros and subnormals among their
// values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "image/scale/bilinear_resample.h"
#include "tests/image/guarded_bytes.h"

namespace {

// One way of resampling a plane: a variant on some number of threads.
template <class E>
struct Path {
    std::string name;
    ResampleColumns<E> variant;
    int threads;
};

// Every vector variant on one thread and on three; the plain loop on three;
// and the dispatching entry, which picks its own variant and threads.
template <class E>
std::vector<Path<E>> fast_paths()
{
    std::vector<Path<E>> paths{{"plain split", bilinear_resample_columns_plain<E>, 3}, {"dispatch", nullptr, 0}};
    for (const ResampleVariant<E>& v : bilinear_resample_variants<E>()) {
        paths.push_back({v.name, v.resample, 1});
        paths.push_back({std::string(v.name) + " split", v.resample, 3});
    }
    return paths;
}

template <class E>
void run(const Path<E>& path, const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y, int64_t ny, int64_t nx)
{
    if (path.variant == nullptr) {
        bilinear_resample(X, Ny, Nx, planes, Y, ny, nx);
    } else {
        bilinear_resample_split(path.variant, X, Ny, Nx, planes, Y, ny, nx, path.threads, 1);
    }
}

// A random element: integers over their whole range; floats mostly of a
// wide range of magnitudes, one in sixteen a special value.
template <class E>
E random_element(std::mt19937& generator)
{
    if constexpr (std::is_integral_v<E>) {
        return static_cast<E>(generator() >> (32 - 8 * sizeof(E)));
    } else {
        const uint32_t kind = generator() % 64;
        if (kind < 60) {
            const double magnitude = std::ldexp(static_cast<double>(generator()) / 4294967296.0, static_cast<int>(kind % 24) - 8);
            return static_cast<E>(kind % 2 == 0 ? magnitude : -magnitude);
        }
        if (kind == 60) return std::numeric_limits<E>::infinity();
        if (kind == 61) return -std::numeric_limits<E>::infinity();
        if (kind == 62) return generator() % 2 == 0 ? E(-0.0) : std::numeric_limits<E>::denorm_min() * E(3);
        // A NaN of either sign and a random payload.
        using Bits = std::conditional_t<sizeof(E) == 8, uint64_t, uint32_t>;
        Bits bits;
        const E nan = std::numeric_limits<E>::quiet_NaN();
        std::memcpy(&bits, &nan, sizeof bits);
        bits |= static_cast<Bits>(generator()) & (std::numeric_limits<Bits>::max() >> 12);
        if (generator() % 2 == 0) bits |= Bits{1} << (8 * sizeof(Bits) - 1);
        E value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
}

// Exact comparison, NaNs included: the bytes.
template <class E>
std::vector<uint8_t> bytes_of(const std::vector<E>& values)
{
    std::vector<uint8_t> bytes(values.size() * sizeof(E));
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Compares every path with the plain one on one random image. The image ends
// at a guard page (a read past it crashes); the output is fenced by an
// element on each side that nothing may write.
template <class E>
void expect_same(int64_t Ny, int64_t Nx, int64_t ny, int64_t nx, uint32_t seed)
{
    std::mt19937 generator(seed);
    const size_t count = static_cast<size_t>(Ny * Nx);
    GuardedBytes memory(count * sizeof(E));
    E* X = reinterpret_cast<E*>(memory.data());
    for (size_t k = 0; k < count; ++k) X[k] = random_element<E>(generator);
    const size_t out = static_cast<size_t>(ny > 0 && nx > 0 ? ny * nx : 0);
    const E fence = static_cast<E>(90);
    std::vector<E> plain(out + 2, fence);
    bilinear_resample_plain(X, Ny, Nx, plain.data() + 1, ny, nx);
    for (const Path<E>& path : fast_paths<E>()) {
        std::vector<E> fast(out + 2, fence);
        run(path, X, Ny, Nx, 1, fast.data() + 1, ny, nx);
        EXPECT_EQ(bytes_of(fast), bytes_of(plain)) << path.name << " " << Ny << "x" << Nx << " to " << ny << "x" << nx;
    }
}

template <class E>
class BilinearResampleFast : public ::testing::Test {};

using ElementTypes = ::testing::Types<uint8_t, uint16_t, int16_t, float, double>;
TYPED_TEST_SUITE(BilinearResampleFast, ElementTypes);

}  // namespace

TYPED_TEST(BilinearResampleFast, RandomSizesAndFactors)
{
    std::mt19937 generator(17);
    for (int trial = 0; trial < 300; ++trial) {
        const int64_t Ny = 1 + generator() % 70;
        const int64_t Nx = 1 + generator() % 70;
        const int64_t ny = generator() % 600;
        const int64_t nx = generator() % 90;
        expect_same<TypeParam>(Ny, Nx, ny, nx, static_cast<uint32_t>(trial));
    }
    // Factors well above and below 2, where the row windows do not fit.
    for (int trial = 0; trial < 200; ++trial) {
        const int64_t Ny = 1 + generator() % 400;
        const int64_t Nx = 1 + generator() % 40;
        const int64_t ny = generator() % 120;
        const int64_t nx = generator() % 40;
        expect_same<TypeParam>(Ny, Nx, ny, nx, static_cast<uint32_t>(1000 + trial));
    }
}

TYPED_TEST(BilinearResampleFast, CommonFactorsAndTileEdges)
{
    for (double factor : {0.5, 0.8, 1.0, 1.25, 2.0, 3.3}) {
        expect_same<TypeParam>(108, 192, static_cast<int64_t>(108 * factor), static_cast<int64_t>(192 * factor), 1);
    }
    for (int64_t ny : {255, 256, 257, 511, 512, 513, 1000}) expect_same<TypeParam>(40, 9, ny, 13, 2);
}

TYPED_TEST(BilinearResampleFast, FullHdAtCommonFactors)
{
    // Several tiles of rows, and every pattern of shared, new and skipped
    // input columns that these factors give.
    for (double factor : {0.3, 0.5, 0.8, 1.0, 1.25, 2.0}) {
        expect_same<TypeParam>(1080, 1920, static_cast<int64_t>(1080 * factor), static_cast<int64_t>(1920 * factor), 9);
    }
}

TYPED_TEST(BilinearResampleFast, RowGroupsAndTiles)
{
    // Outputs of every height around the group of 8 and the tiles of up to
    // 1024 rows (split evenly), from inputs of every height around the
    // windows (8 to 32 elements).
    for (int64_t ny = 1; ny <= 40; ++ny) {
        for (int64_t Ny : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33}) {
            expect_same<TypeParam>(Ny, 5, ny, 4, static_cast<uint32_t>(ny));
        }
    }
    for (int64_t ny : {504, 505, 511, 512, 513, 520, 1023, 1024, 1025, 1031, 1536, 1537, 2049}) {
        expect_same<TypeParam>(300, 4, ny, 3, static_cast<uint32_t>(ny));
        expect_same<TypeParam>(3000, 4, ny, 3, static_cast<uint32_t>(ny));
    }
}

TYPED_TEST(BilinearResampleFast, StepsAroundTheWindowWidths)
{
    // A group of 8 rows spans about 7 steps plus the row below: it fits a
    // window of w elements up to a step of about (w - 1) / 7 and falls back
    // beyond (w = 8, 16 or 32, by type and instruction set).
    for (double step : {0.9, 1.0, 1.1, 1.9, 2.0, 2.1, 2.14, 2.15, 2.2, 2.5, 3.0, 4.3, 4.5, 4.7, 17.0}) {
        const int64_t ny = 97;
        const int64_t Ny = static_cast<int64_t>(step * (ny - 1)) + 1;
        expect_same<TypeParam>(Ny, 6, ny, 5, 11);
        expect_same<TypeParam>(Ny, 6, ny + 400, 5, 12);
    }
}

TYPED_TEST(BilinearResampleFast, LastElementsOfTheImage)
{
    // The window loads stop short of the image's end (a guard page): the
    // last column's last rows come from single elements.
    for (int64_t Ny : {1, 2, 5, 15, 16, 17, 31, 33, 40, 70}) {
        for (int64_t Nx : {1, 2, 3}) {
            for (int64_t ny : {1, 8, 9, 16, 33, 100}) {
                expect_same<TypeParam>(Ny, Nx, ny, 3 * Nx + 1, static_cast<uint32_t>(Ny + ny));
            }
        }
    }
}

TYPED_TEST(BilinearResampleFast, OneRowOrColumnAndVeryLongOutputs)
{
    expect_same<TypeParam>(1, 1, 5, 7, 3);
    expect_same<TypeParam>(1, 50, 3, 200, 4);
    expect_same<TypeParam>(50, 1, 200, 3, 5);
    // Summed positions that reach the last row or column.
    expect_same<TypeParam>(10, 3, 100000, 2, 6);
    expect_same<TypeParam>(3, 10, 2, 100000, 7);
    expect_same<TypeParam>(7, 2, 250007, 1, 8);
}

TYPED_TEST(BilinearResampleFast, PlanesEachAsTheirOwnImage)
{
    // Parts of a split may start and end inside any plane; each plane must
    // come out as the one-plane reference gives it. 60 planes have 300 output
    // columns, enough for more parts than max_threads: a count of 1000 is
    // capped where the split's arrays are sized.
    using E = TypeParam;
    std::mt19937 generator(23);
    const int64_t Ny = 13, Nx = 7, ny = 9, nx = 5;
    for (int64_t planes : {1, 2, 3, 12, 60}) {
        std::vector<E> X(static_cast<size_t>(Ny * Nx * planes));
        for (E& value : X) value = random_element<E>(generator);
        std::vector<E> expected(static_cast<size_t>(ny * nx * planes));
        for (int64_t p = 0; p < planes; ++p) {
            bilinear_resample_plain(X.data() + p * Ny * Nx, Ny, Nx, expected.data() + p * ny * nx, ny, nx);
        }
        for (const Path<E>& path : fast_paths<E>()) {
            for (int threads : {1, 2, 3, 4, 7, 64, 1000}) {
                Path<E> with = path;
                if (with.variant != nullptr) with.threads = threads;
                std::vector<E> out(expected.size(), E(90));
                run(with, X.data(), Ny, Nx, planes, out.data(), ny, nx);
                EXPECT_EQ(bytes_of(out), bytes_of(expected))
                    << path.name << " planes=" << planes << " threads=" << threads;
            }
        }
    }
}
