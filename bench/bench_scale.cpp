// bilinear_resample's rows: every variant of every element type on one
// thread, and uint8 on the default threads, against cv::resize INTER_LINEAR
// on a 1920x1080 photograph-like image.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "bench/photo_like.h"
#include "image/scale/bilinear_resample.h"

namespace {

const int scale_rows = 1080;
const int scale_cols = 1920;
const double scale_factors[] = {0.5, 0.8, 1.0, 1.25, 2.0};
// The other element types at the factors where the bilinear arithmetic, not
// a copy or a halving path, decides the speed of both sides.
const double wide_scale_factors[] = {0.8, 1.25, 2.0};

// The element types of the scaler, as the rows name them, with OpenCV's
// depth for each.
struct ScaleClassInfo {
    const char* name;
    const char* depth_name;
    int depth;
};

template <class E>
constexpr ScaleClassInfo scale_class()
{
    if constexpr (std::is_same_v<E, uint8_t>) return {"uint8", "CV_8U", CV_8U};
    if constexpr (std::is_same_v<E, uint16_t>) return {"uint16", "CV_16U", CV_16U};
    if constexpr (std::is_same_v<E, int16_t>) return {"int16", "CV_16S", CV_16S};
    if constexpr (std::is_same_v<E, float>) return {"single", "CV_32F", CV_32F};
    if constexpr (std::is_same_v<E, double>) return {"double", "CV_64F", CV_64F};
}

// The photograph-like plane in the element type's range: 16-bit integers
// over their whole range, floats in [0, 1] (as im2single gives them).
template <class E>
std::vector<E> photo_like_image(int rows, int cols)
{
    const std::vector<uint8_t> bytes = photo_like_plane(rows, cols, 21, 0);
    std::vector<E> image(bytes.size());
    for (size_t k = 0; k < bytes.size(); ++k) {
        const int b = bytes[k];
        if constexpr (std::is_same_v<E, uint8_t>) {
            image[k] = static_cast<E>(b);
        } else if constexpr (std::is_same_v<E, uint16_t>) {
            image[k] = static_cast<E>(b * 257);
        } else if constexpr (std::is_same_v<E, int16_t>) {
            image[k] = static_cast<E>(b * 257 - 32768);
        } else {
            image[k] = static_cast<E>(b) / static_cast<E>(255);
        }
    }
    return image;
}

template <class E>
std::string scale_name(const std::string& who, const std::string& tag)
{
    return std::string("scale/") + scale_class<E>().name + "/" + who + "/" + tag;
}

double scale_pixels(double factor)
{
    return static_cast<double>(std::lround(scale_rows * factor)) *
           static_cast<double>(std::lround(scale_cols * factor));
}

// Every variant on one thread and cv::resize on one thread; with
// `with_threads`, both on their default threads too.
template <class E>
void register_scale(double factor, bool with_threads)
{
    const int ny = static_cast<int>(std::lround(scale_rows * factor));
    const int nx = static_cast<int>(std::lround(scale_cols * factor));
    const std::string tag = factor_tag(factor);

    for (const ResampleVariant<E>& v : bilinear_resample_variants<E>()) {
        benchmark::RegisterBenchmark(scale_name<E>(v.name, tag).c_str(), [=](benchmark::State& state) {
            const std::vector<E> X = photo_like_image<E>(scale_rows, scale_cols);
            std::vector<E> Y(static_cast<size_t>(ny) * nx);
            for (auto _ : state) {
                bilinear_resample_split(v.resample, X.data(), scale_rows, scale_cols, 1, Y.data(), ny, nx, 1, 1);
                benchmark::DoNotOptimize(Y.data());
                benchmark::ClobberMemory();
            }
        });
    }
    if (with_threads) {
        benchmark::RegisterBenchmark(scale_name<E>("threads", tag).c_str(), [=](benchmark::State& state) {
            const std::vector<E> X = photo_like_image<E>(scale_rows, scale_cols);
            std::vector<E> Y(static_cast<size_t>(ny) * nx);
            for (auto _ : state) {
                bilinear_resample(X.data(), scale_rows, scale_cols, 1, Y.data(), ny, nx);
                benchmark::DoNotOptimize(Y.data());
                benchmark::ClobberMemory();
            }
        });
    }
    for (bool one : {true, false}) {
        if (!one && !with_threads) continue;
        benchmark::RegisterBenchmark(scale_name<E>(one ? "opencv/1t" : "opencv/threads", tag).c_str(),
                                     [=](benchmark::State& state) {
            // OpenCV is row-major: the same image, transposed into its layout.
            const std::vector<E> values = photo_like_image<E>(scale_rows, scale_cols);
            cv::Mat X(scale_rows, scale_cols, CV_MAKETYPE(scale_class<E>().depth, 1));
            for (int r = 0; r < scale_rows; ++r) {
                for (int c = 0; c < scale_cols; ++c) X.at<E>(r, c) = values[static_cast<size_t>(r + c * scale_rows)];
            }
            cv::Mat Y(ny, nx, CV_MAKETYPE(scale_class<E>().depth, 1));
            set_opencv_threads(one);
            for (auto _ : state) {
                cv::resize(X, Y, cv::Size(nx, ny), 0, 0, cv::INTER_LINEAR);
                benchmark::DoNotOptimize(Y.data);
                benchmark::ClobberMemory();
            }
        });
    }
}

// The rows of one element type besides uint8: every variant on one thread
// against cv::resize on the same depth, then the fastest against the uint8
// path in bytes written per second.
template <class E>
void print_scale_classes()
{
    const std::string name = scale_class<E>().name;
    const std::vector<ResampleVariant<E>> variants = bilinear_resample_variants<E>();
    for (const ResampleVariant<E>& v : variants) {
        for (double factor : wide_scale_factors) {
            const std::string tag = factor_tag(factor);
            const double ours = best_seconds(scale_name<E>(v.name, tag));
            const double opencv1 = best_seconds(scale_name<E>("opencv/1t", tag));
            const double pixels = scale_pixels(factor);
            print_row("bilinear_resample",
                      "1 thread, " + std::string(v.name) + ", " + name + " vs cv::resize INTER_LINEAR " +
                          scale_class<E>().depth_name + " 1 thread, 1920x1080 x " + tag,
                      rate(pixels / ours / 1e9, "Gpx/s out"), rate(pixels / opencv1 / 1e9, "Gpx/s out"),
                      opencv1 / ours);
        }
    }
    if (variants.empty()) return;
    for (double factor : wide_scale_factors) {
        const std::string tag = factor_tag(factor);
        const double ours = best_seconds(scale_name<E>(variants.front().name, tag));
        const double bytes = best_seconds(scale_name<uint8_t>(variants.front().name, tag));
        const double pixels = scale_pixels(factor);
        print_row("bilinear_resample",
                  "1 thread, " + std::string(variants.front().name) + ", " + name +
                      " vs uint8, bytes written per second, 1920x1080 x " + tag,
                  rate(pixels * sizeof(E) / ours / 1e9, "GB/s out"), rate(pixels / bytes / 1e9, "GB/s out"),
                  bytes * sizeof(E) / ours);
    }
}

// uint8 on one thread, the fastest variant: against cv::resize on one
// thread, each factor and their geometric mean.
void print_single_thread_rows(const std::string& fastest)
{
    double log_sum = 0.0;
    double worst = INFINITY;
    for (double factor : scale_factors) {
        const std::string tag = factor_tag(factor);
        const double one = best_seconds(scale_name<uint8_t>(fastest, tag));
        const double opencv1 = best_seconds(scale_name<uint8_t>("opencv/1t", tag));
        const double pixels = scale_pixels(factor);
        print_row("bilinear_resample",
                  "1 thread, " + fastest + " vs cv::resize INTER_LINEAR 1 thread, 1920x1080 x " + tag,
                  rate(pixels / one / 1e9, "Gpx/s out"), rate(pixels / opencv1 / 1e9, "Gpx/s out"), opencv1 / one);
        log_sum += std::log(opencv1 / one);
        worst = std::min(worst, opencv1 / one);
    }
    print_row("bilinear_resample", "1 thread, geometric mean over the 5 factors (worst " + factor_tag(worst) + ")", "",
              "", std::exp(log_sum / 5));
}

// uint8 on the default threads, against itself on one thread and against
// cv::resize on its default threads.
void print_thread_rows(const std::string& fastest, const std::string& threads, const std::string& opencv_threads)
{
    for (double factor : scale_factors) {
        const std::string tag = factor_tag(factor);
        const double one = best_seconds(scale_name<uint8_t>(fastest, tag));
        const double many = best_seconds(scale_name<uint8_t>("threads", tag));
        const double opencv_many = best_seconds(scale_name<uint8_t>("opencv/threads", tag));
        const double pixels = scale_pixels(factor);
        print_row("bilinear_resample", threads + " vs itself on 1 thread, 1920x1080 x " + tag,
                  rate(pixels / many / 1e9, "Gpx/s out"), rate(pixels / one / 1e9, "Gpx/s out"), one / many);
        print_row(
            "bilinear_resample", threads + " vs cv::resize INTER_LINEAR " + opencv_threads + ", 1920x1080 x " + tag,
            rate(pixels / many / 1e9, "Gpx/s out"), rate(pixels / opencv_many / 1e9, "Gpx/s out"), opencv_many / many);
    }
}

}  // namespace

void register_scale_benchmarks()
{
    for (double factor : scale_factors) register_scale<uint8_t>(factor, true);
    for (double factor : wide_scale_factors) {
        register_scale<uint16_t>(factor, false);
        register_scale<int16_t>(factor, false);
        register_scale<float>(factor, false);
        register_scale<double>(factor, false);
    }
}

void print_scale_rows(const std::string& threads, const std::string& opencv_threads)
{
    const std::vector<ResampleVariant<uint8_t>> variants = bilinear_resample_variants<uint8_t>();
    const std::string fastest = variants.empty() ? "plain" : variants.front().name;
    print_single_thread_rows(fastest);
    print_thread_rows(fastest, threads, opencv_threads);
    // The variant that processors without AVX-512 run, beside the dispatched one.
    if (variants.size() > 1) {
        for (double factor : scale_factors) {
            const std::string tag = factor_tag(factor);
            const std::string name = variants[1].name;
            const double ours = best_seconds(scale_name<uint8_t>(name, tag));
            const double opencv1 = best_seconds(scale_name<uint8_t>("opencv/1t", tag));
            const double pixels = scale_pixels(factor);
            print_row(
                "bilinear_resample", "1 thread, " + name + " vs cv::resize INTER_LINEAR 1 thread, 1920x1080 x " + tag,
                rate(pixels / ours / 1e9, "Gpx/s out"), rate(pixels / opencv1 / 1e9, "Gpx/s out"), opencv1 / ours);
        }
    }
    print_scale_classes<uint16_t>();
    print_scale_classes<int16_t>();
    print_scale_classes<float>();
    print_scale_classes<double>();
}

void write_scale_kernel_times(std::FILE* out)
{
    for (const char* tag : {"0.50", "1.25", "2.00"}) {
        std::fprintf(out, "scale_%s %.9g\n", tag, best_seconds(scale_name<uint8_t>("threads", tag)));
    }
}
