// The thread crossover of weighted_luma and bilinear_resample: one thread
// against two on growing inputs, the work forced apart (minimum 1), to find
// the size below which starting a thread does not pay.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "bench/photo_like.h"
#include "image/gray/weighted_luma.h"
#include "image/scale/bilinear_resample.h"

namespace {

const int64_t crossover_sizes[] = {int64_t{1} << 13, int64_t{1} << 14, int64_t{1} << 15, int64_t{1} << 16,
                                   int64_t{1} << 17, int64_t{1} << 18, int64_t{1} << 19, int64_t{1} << 20};

// The kernels as the rows name them, with the benchmarks' names and what
// their sizes count.
const struct {
    const char* kernel;
    const char* benchmark;
    const char* unit;
} crossover_kernels[] = {{"weighted_luma", "luma", "pixels"}, {"bilinear_resample", "scale", "output samples"}};

}  // namespace

void register_crossover_benchmarks()
{
    const LumaPixels luma = weighted_luma_variants().empty() ? weighted_luma_pixels_plain
                                                              : weighted_luma_variants().front().convert;
    const ResampleColumns<uint8_t> scale = bilinear_resample_chosen<uint8_t>().resample;
    for (int64_t size : crossover_sizes) {
        for (int threads : {1, 2}) {
            const std::string suffix = "/" + std::to_string(threads) + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(("crossover/luma" + suffix).c_str(), [=](benchmark::State& state) {
                const std::vector<uint8_t> rgb = random_bytes(3 * static_cast<size_t>(size), 5);
                std::vector<uint8_t> gray(static_cast<size_t>(size));
                for (auto _ : state) {
                    weighted_luma_split(luma, rgb.data(), size, gray.data(), threads, 1);
                    benchmark::DoNotOptimize(gray.data());
                }
            });
            // An output of `size` samples, 4:3, from an image of about the same size.
            const int64_t ny = std::max<int64_t>(1, static_cast<int64_t>(std::sqrt(static_cast<double>(size) * 0.75)));
            const int64_t nx = size / ny;
            benchmark::RegisterBenchmark(("crossover/scale" + suffix).c_str(), [=](benchmark::State& state) {
                const std::vector<uint8_t> X = photo_like_plane(static_cast<int>(ny), static_cast<int>(nx), 3, 0);
                std::vector<uint8_t> Y(static_cast<size_t>(ny * nx));
                for (auto _ : state) {
                    bilinear_resample_split(scale, X.data(), ny, nx, 1, Y.data(), ny * 5 / 4, nx * 4 / 5, threads, 1);
                    benchmark::DoNotOptimize(Y.data());
                }
            });
        }
    }
}

void print_crossover_rows()
{
    for (const auto& k : crossover_kernels) {
        for (int64_t size : crossover_sizes) {
            const std::string suffix = "/" + std::to_string(size);
            const double one = best_seconds(std::string("crossover/") + k.benchmark + "/1" + suffix);
            const double two = best_seconds(std::string("crossover/") + k.benchmark + "/2" + suffix);
            char case_[96];
            std::snprintf(case_, sizeof case_, "thread crossover: 2 threads vs 1, %lld %s",
                          static_cast<long long>(size), k.unit);
            char ours[32];
            std::snprintf(ours, sizeof ours, "%.1f us", two * 1e6);
            char peer[32];
            std::snprintf(peer, sizeof peer, "%.1f us", one * 1e6);
            print_row(k.kernel, case_, ours, peer, one / two);
        }
    }
}
