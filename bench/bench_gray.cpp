// weighted_luma's rows: every variant on one thread and the default threads
// against cv::cvtColor, and against a copy of the three planes.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "bench/photo_like.h"
#include "image/gray/weighted_luma.h"

namespace {

struct GrayCase {
    int rows;
    int cols;
};

const GrayCase gray_cases[] = {{1080, 1920}, {2160, 3840}};

std::string gray_tag(const GrayCase& size) { return std::to_string(size.cols) + "x" + std::to_string(size.rows); }

// Three photograph-like planes one after another, as luma_u8 receives them.
std::vector<uint8_t> photo_like_rgb(int rows, int cols)
{
    std::vector<uint8_t> rgb;
    for (int p = 0; p < 3; ++p) {
        const std::vector<uint8_t> plane = photo_like_plane(rows, cols, 11u + static_cast<uint32_t>(p), p);
        rgb.insert(rgb.end(), plane.begin(), plane.end());
    }
    return rgb;
}

void register_gray(const GrayCase& size)
{
    const std::string tag = gray_tag(size);
    const size_t P = static_cast<size_t>(size.rows) * size.cols;

    for (const LumaVariant& v : weighted_luma_variants()) {
        benchmark::RegisterBenchmark(("luma/" + std::string(v.name) + "/" + tag).c_str(), [=](benchmark::State& state) {
            const std::vector<uint8_t> rgb = photo_like_rgb(size.rows, size.cols);
            std::vector<uint8_t> gray(P);
            for (auto _ : state) {
                weighted_luma_split(v.convert, rgb.data(), static_cast<int64_t>(P), gray.data(), 1, 1);
                benchmark::DoNotOptimize(gray.data());
                benchmark::ClobberMemory();
            }
        });
    }
    benchmark::RegisterBenchmark(("luma/threads/" + tag).c_str(), [=](benchmark::State& state) {
        const std::vector<uint8_t> rgb = photo_like_rgb(size.rows, size.cols);
        std::vector<uint8_t> gray(P);
        for (auto _ : state) {
            weighted_luma(rgb.data(), static_cast<int64_t>(P), gray.data());
            benchmark::DoNotOptimize(gray.data());
            benchmark::ClobberMemory();
        }
    });
    for (bool one : {true, false}) {
        const std::string name = std::string("luma/opencv/") + (one ? "1t/" : "threads/") + tag;
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            // The same pixels, interleaved as OpenCV stores them.
            const std::vector<uint8_t> planes = photo_like_rgb(size.rows, size.cols);
            cv::Mat rgb(size.rows, size.cols, CV_8UC3);
            for (size_t k = 0; k < P; ++k) {
                for (size_t c = 0; c < 3; ++c) rgb.data[3 * k + c] = planes[c * P + k];
            }
            cv::Mat gray(size.rows, size.cols, CV_8UC1);
            set_opencv_threads(one);
            for (auto _ : state) {
                cv::cvtColor(rgb, gray, cv::COLOR_RGB2GRAY);
                benchmark::DoNotOptimize(gray.data);
                benchmark::ClobberMemory();
            }
        });
    }
    benchmark::RegisterBenchmark(("luma/copy/" + tag).c_str(), [=](benchmark::State& state) {
        const std::vector<uint8_t> source = random_bytes(3 * P, 13);
        std::vector<uint8_t> target(3 * P);
        for (auto _ : state) {
            std::memcpy(target.data(), source.data(), source.size());
            benchmark::DoNotOptimize(target.data());
            benchmark::ClobberMemory();
        }
    });
}

}  // namespace

void register_gray_benchmarks()
{
    for (const GrayCase& size : gray_cases) register_gray(size);
}

void print_gray_rows(const std::string& threads, const std::string& opencv_threads)
{
    const std::vector<LumaVariant> luma_variants = weighted_luma_variants();
    const std::string luma_fastest = luma_variants.empty() ? "plain" : luma_variants.front().name;
    for (const GrayCase& size : gray_cases) {
        const std::string tag = gray_tag(size);
        const double pixels = static_cast<double>(size.cols) * size.rows;
        const double opencv1 = best_seconds("luma/opencv/1t/" + tag);
        for (const LumaVariant& v : luma_variants) {
            const double ours = best_seconds("luma/" + std::string(v.name) + "/" + tag);
            print_row("weighted_luma",
                      std::string("1 thread, ") + v.name + " vs cv::cvtColor RGB2GRAY 1 thread, " + tag,
                      rate(pixels / ours / 1e9, "Gpx/s"), rate(pixels / opencv1 / 1e9, "Gpx/s"), opencv1 / ours);
        }
        const double one = best_seconds("luma/" + luma_fastest + "/" + tag);
        const double many = best_seconds("luma/threads/" + tag);
        const double opencv_many = best_seconds("luma/opencv/threads/" + tag);
        const double copy = best_seconds("luma/copy/" + tag);
        print_row("weighted_luma", threads + " vs itself on 1 thread, " + tag, rate(pixels / many / 1e9, "Gpx/s"),
                  rate(pixels / one / 1e9, "Gpx/s"), one / many);
        print_row("weighted_luma", threads + " vs cv::cvtColor RGB2GRAY " + opencv_threads + ", " + tag,
                  rate(pixels / many / 1e9, "Gpx/s"), rate(pixels / opencv_many / 1e9, "Gpx/s"), opencv_many / many);
        print_row("weighted_luma", std::string("1 thread vs memcpy of the 3 planes, ") + tag,
                  rate(pixels / one / 1e9, "Gpx/s"), rate(3 * pixels / copy / 1e9, "GB/s copied"), copy / one);
    }
}

void write_gray_kernel_times(std::FILE* out)
{
    for (const GrayCase& size : gray_cases) {
        const std::string tag = gray_tag(size);
        std::fprintf(out, "luma_%s %.9g\n", tag.c_str(), best_seconds("luma/threads/" + tag));
    }
}
