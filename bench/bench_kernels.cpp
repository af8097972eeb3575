// Our kernels side by side with the libraries users would otherwise pick, on
// one thread and the same inputs. Google Benchmark times every case with
// repetitions interleaved at random; the table compares the fastest
// repetition of each case with that of its peer from the same run.
//
// Usage: bench_kernels [--quick] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <linear.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/cpu_features.h"
#include "image/gray/weighted_luma.h"
#include "image/scale/bilinear_resample.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"

namespace {

// ---------------------------------------------------------------- results

struct Timing {
    std::vector<double> seconds;  // per iteration, one entry per repetition
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
};

std::map<std::string, Timing> timings;

class CollectingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
            timings[run.run_name.function_name].seconds.push_back(run.real_accumulated_time /
                                                                  static_cast<double>(run.iterations));
            std::fputc('.', stderr);
        }
    }
};

double best_seconds(const std::string& name)
{
    const auto found = timings.find(name);
    return found == timings.end() || found->second.seconds.empty() ? NAN : found->second.best();
}

// ---------------------------------------------------------------- inputs

std::vector<uint8_t> random_bytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator() >> 24);
    return bytes;
}

// A photograph-like image: smooth gradients with noise, so that runs of equal
// and of neighbouring values occur as they do in real pictures.
std::vector<uint8_t> photo_like_plane(int rows, int cols, uint32_t seed, int phase)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> plane(static_cast<size_t>(rows) * cols);
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            const double base = 127.5 + 100.0 * std::sin(0.004 * (r + 2 * c) + phase) * std::cos(0.003 * (c - r));
            const double noise = static_cast<double>(generator() % 17) - 8.0;
            plane[static_cast<size_t>(r) + static_cast<size_t>(c) * rows] =
                static_cast<uint8_t>(std::clamp(base + noise, 0.0, 255.0));
        }
    }
    return plane;
}

// ---------------------------------------------------------------- gray

struct GrayCase {
    int rows;
    int cols;
};

void register_gray(const GrayCase& size)
{
    const std::string tag = std::to_string(size.cols) + "x" + std::to_string(size.rows);
    const size_t P = static_cast<size_t>(size.rows) * size.cols;

    benchmark::RegisterBenchmark(("luma/ours/" + tag).c_str(), [=](benchmark::State& state) {
        std::vector<uint8_t> rgb;
        for (int p = 0; p < 3; ++p) {
            const std::vector<uint8_t> plane = photo_like_plane(size.rows, size.cols, 11u + p, p);
            rgb.insert(rgb.end(), plane.begin(), plane.end());
        }
        std::vector<uint8_t> gray(P);
        for (auto _ : state) {
            weighted_luma(rgb.data(), static_cast<int64_t>(P), gray.data());
            benchmark::DoNotOptimize(gray.data());
            benchmark::ClobberMemory();
        }
    });
    benchmark::RegisterBenchmark(("luma/opencv/" + tag).c_str(), [=](benchmark::State& state) {
        cv::Mat rgb(size.rows, size.cols, CV_8UC3);
        const std::vector<uint8_t> bytes = random_bytes(3 * P, 12);
        std::memcpy(rgb.data, bytes.data(), bytes.size());
        cv::Mat gray(size.rows, size.cols, CV_8UC1);
        for (auto _ : state) {
            cv::cvtColor(rgb, gray, cv::COLOR_RGB2GRAY);
            benchmark::DoNotOptimize(gray.data);
            benchmark::ClobberMemory();
        }
    });
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

// ---------------------------------------------------------------- scale

const int scale_rows = 1080;
const int scale_cols = 1920;
const double scale_factors[] = {0.5, 0.8, 1.0, 1.25, 2.0};

std::string factor_tag(double factor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", factor);
    return text;
}

void register_scale(double factor)
{
    const int ny = static_cast<int>(std::lround(scale_rows * factor));
    const int nx = static_cast<int>(std::lround(scale_cols * factor));
    const std::string tag = factor_tag(factor);

    benchmark::RegisterBenchmark(("scale/ours/" + tag).c_str(), [=](benchmark::State& state) {
        const std::vector<uint8_t> X = photo_like_plane(scale_rows, scale_cols, 21, 0);
        std::vector<uint8_t> Y(static_cast<size_t>(ny) * nx);
        for (auto _ : state) {
            bilinear_resample(X.data(), scale_rows, scale_cols, 1, Y.data(), ny, nx);
            benchmark::DoNotOptimize(Y.data());
            benchmark::ClobberMemory();
        }
    });
    // The variant that processors without AVX-512 run (the dispatcher picks
    // the widest one), shown beside the dispatched figures.
    if (cpu_has_avx2() && cpu_has_avx512()) {
        benchmark::RegisterBenchmark(("scale/avx2/" + tag).c_str(), [=](benchmark::State& state) {
            const std::vector<uint8_t> X = photo_like_plane(scale_rows, scale_cols, 21, 0);
            std::vector<uint8_t> Y(static_cast<size_t>(ny) * nx);
            for (auto _ : state) {
                bilinear_resample_split(bilinear_resample_columns_avx2, X.data(), scale_rows, scale_cols, 1, Y.data(),
                                        ny, nx, 1, 1);
                benchmark::DoNotOptimize(Y.data());
                benchmark::ClobberMemory();
            }
        });
    }
    benchmark::RegisterBenchmark(("scale/opencv/" + tag).c_str(), [=](benchmark::State& state) {
        const std::vector<uint8_t> bytes = photo_like_plane(scale_rows, scale_cols, 21, 0);
        cv::Mat X(scale_rows, scale_cols, CV_8UC1);
        std::memcpy(X.data, bytes.data(), bytes.size());
        cv::Mat Y(ny, nx, CV_8UC1);
        for (auto _ : state) {
            cv::resize(X, Y, cv::Size(nx, ny), 0, 0, cv::INTER_LINEAR);
            benchmark::DoNotOptimize(Y.data);
            benchmark::ClobberMemory();
        }
    });
}

// ---------------------------------------------------------------- trainer

// Two classes around a random direction, with 5% of the labels flipped: the
// examples one column each, labels +1 and -1.
struct Dataset {
    int32_t d = 0;
    int32_t N = 0;
    std::vector<double> X;
    std::vector<double> y;
};

Dataset make_dataset(int32_t d, int32_t N, uint32_t seed)
{
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::mt19937_64 direction_generator(777);  // the same direction for training and test sets
    std::vector<double> direction(static_cast<size_t>(d));
    for (double& v : direction) v = normal(direction_generator) / std::sqrt(static_cast<double>(d));

    Dataset data;
    data.d = d;
    data.N = N;
    data.X.resize(static_cast<size_t>(d) * N);
    data.y.resize(static_cast<size_t>(N));
    for (int32_t j = 0; j < N; ++j) {
        double* x = data.X.data() + static_cast<size_t>(j) * d;
        double score = 0.3;
        for (int32_t k = 0; k < d; ++k) {
            x[k] = normal(generator);
            score += x[k] * direction[static_cast<size_t>(k)];
        }
        double label = score > 0 ? 1.0 : -1.0;
        if (uniform(generator) < 0.05) label = -label;
        data.y[static_cast<size_t>(j)] = label;
    }
    return data;
}

using Solver = void (*)(const double*, const double*, int32_t, int32_t, double, double, int32_t, double*);

// The module's default regularisation weight.
const double trainer_lambda = 0.01;

struct TrainerCase {
    int32_t d;
    int32_t N;
    int32_t T;
};

const TrainerCase trainer_cases[] = {{1024, 20000, 20000}, {128, 100000, 100000}};

std::string trainer_tag(const TrainerCase& c)
{
    return "d=" + std::to_string(c.d) + " N=" + std::to_string(c.N);
}

void register_trainer(const TrainerCase& c, const std::vector<const Dataset*>& data)
{
    const Dataset* set = data[c.d == 1024 ? 0 : 1];
    const std::pair<const char*, Solver> solvers[] = {{"ours", fit_weights}, {"plain", fit_weights_plain}};
    for (const auto& [who, solver] : solvers) {
        benchmark::RegisterBenchmark((std::string("fit/") + who + "/" + trainer_tag(c)).c_str(),
                                     [=](benchmark::State& state) {
                                         std::vector<double> W(static_cast<size_t>(set->d) + 1);
                                         for (auto _ : state) {
                                             std::fill(W.begin(), W.end(), 0.0);
                                             sampler_seed(12345);
                                             solver(set->X.data(), set->y.data(), set->d, set->N, trainer_lambda, 1.0,
                                                    c.T, W.data());
                                             sampler_store();
                                             benchmark::DoNotOptimize(W.data());
                                         }
                                     });
    }
}

// Copy bandwidth of memory: bytes read per second by memcpy of a buffer far
// larger than the caches.
void register_copy_bandwidth()
{
    benchmark::RegisterBenchmark("memory/copy/256MiB", [](benchmark::State& state) {
        const size_t bytes = size_t(256) << 20;
        std::vector<uint8_t> source(bytes, 1), target(bytes, 2);
        for (auto _ : state) {
            std::memcpy(target.data(), source.data(), bytes);
            benchmark::DoNotOptimize(target.data());
            benchmark::ClobberMemory();
        }
    });
}

// ---------------------------------------------------------------- LIBLINEAR

double test_accuracy(const std::vector<double>& w, const Dataset& test)
{
    int32_t correct = 0;
    for (int32_t j = 0; j < test.N; ++j) {
        const double* x = test.X.data() + static_cast<size_t>(j) * test.d;
        double s = w[static_cast<size_t>(test.d)];  // bias weight, bias feature 1
        for (int32_t k = 0; k < test.d; ++k) s += w[static_cast<size_t>(k)] * x[k];
        if ((s > 0 ? 1.0 : -1.0) == test.y[static_cast<size_t>(j)]) ++correct;
    }
    return static_cast<double>(correct) / test.N;
}

template <class F>
double best_of(int repetitions, F&& run)
{
    double best = INFINITY;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

struct LiblinearResult {
    double liblinear_seconds;
    double liblinear_accuracy;
    double target_accuracy;
    double ours_seconds;
    double ours_accuracy;
    int32_t ours_steps;
};

void quiet_print(const char*) {}

LiblinearResult compare_with_liblinear(const Dataset& train_set, const Dataset& test, int repetitions)
{
    // LIBLINEAR reads sparse rows; every feature is present, then the bias node.
    const int32_t d = train_set.d;
    std::vector<feature_node> nodes(static_cast<size_t>(train_set.N) * (d + 2));
    std::vector<feature_node*> rows(static_cast<size_t>(train_set.N));
    for (int32_t j = 0; j < train_set.N; ++j) {
        feature_node* row = nodes.data() + static_cast<size_t>(j) * (d + 2);
        rows[static_cast<size_t>(j)] = row;
        for (int32_t k = 0; k < d; ++k) row[k] = {k + 1, train_set.X[static_cast<size_t>(k) + static_cast<size_t>(j) * d]};
        row[d] = {d + 1, 1.0};
        row[d + 1] = {-1, 0.0};
    }
    std::vector<double> labels = train_set.y;
    problem prob{};
    prob.l = train_set.N;
    prob.n = d + 1;
    prob.y = labels.data();
    prob.x = rows.data();
    prob.bias = 1.0;
    parameter param{};
    param.solver_type = L2R_L1LOSS_SVC_DUAL;
    param.eps = 0.1;
    param.C = 1.0 / (trainer_lambda * train_set.N);  // the same objective, scaled
    set_print_string_function(quiet_print);

    LiblinearResult result{};
    std::vector<double> w(static_cast<size_t>(d) + 1);
    result.liblinear_seconds = best_of(repetitions, [&] {
        model* m = train(&prob, &param);
        // Decision values are for the first label LIBLINEAR met; orient them to +1.
        const double sign = m->label[0] == 1 ? 1.0 : -1.0;
        for (int32_t k = 0; k <= d; ++k) w[static_cast<size_t>(k)] = sign * m->w[k];
        free_and_destroy_model(&m);
    });
    result.liblinear_accuracy = test_accuracy(w, test);
    result.target_accuracy = result.liblinear_accuracy - 0.005;

    // Our trainer at growing step counts: the first that reaches the target.
    for (int32_t T = train_set.N / 16; T <= 64 * train_set.N; T *= 2) {
        std::fill(w.begin(), w.end(), 0.0);
        sampler_seed(2024);
        fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N, trainer_lambda, 1.0, T, w.data());
        const double accuracy = test_accuracy(w, test);
        if (accuracy >= result.target_accuracy) {
            result.ours_seconds = best_of(repetitions, [&] {
                std::fill(w.begin(), w.end(), 0.0);
                sampler_seed(2024);
                fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N, trainer_lambda, 1.0, T, w.data());
            });
            result.ours_accuracy = accuracy;
            result.ours_steps = T;
            return result;
        }
    }
    result.ours_seconds = NAN;
    return result;
}

// ---------------------------------------------------------------- table

void print_row(const std::string& kernel, const std::string& case_, const std::string& ours, const std::string& peer,
               double ratio)
{
    std::printf("| %s | %s | %s | %s | **%.2f** |\n", kernel.c_str(), case_.c_str(), ours.c_str(), peer.c_str(), ratio);
}

std::string rate(double units_per_second, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f %s", units_per_second, unit);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    cv::setNumThreads(1);
    bool quick = false;
    std::vector<char*> args{argv[0]};
    std::string repetitions = "--benchmark_repetitions=7";
    std::string min_time = "--benchmark_min_time=0.2";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
            repetitions = "--benchmark_repetitions=3";
            min_time = "--benchmark_min_time=0.05";
        }
    }
    args.push_back(repetitions.data());
    args.push_back(min_time.data());
    args.push_back(interleave.data());
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") != 0) args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    std::fprintf(stderr, "preparing data sets...\n");
    const Dataset large_d = make_dataset(1024, 20000, 1);
    const Dataset small_d = make_dataset(128, 100000, 2);
    const std::vector<const Dataset*> data{&large_d, &small_d};

    for (const GrayCase& size : {GrayCase{1080, 1920}, GrayCase{2160, 3840}}) register_gray(size);
    for (double factor : scale_factors) register_scale(factor);
    for (const TrainerCase& c : trainer_cases) register_trainer(c, data);
    register_copy_bandwidth();

    std::fprintf(stderr, "running benchmarks");
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fprintf(stderr, "\ncomparing with LIBLINEAR...\n");
    const Dataset test_set = make_dataset(128, 20000, 3);
    const LiblinearResult liblinear = compare_with_liblinear(small_d, test_set, quick ? 1 : 3);

    std::printf("| Kernel | Case | Ours | Peer | Ratio (ours faster when > 1) |\n");
    std::printf("|---|---|---|---|---|\n");

    for (const char* tag : {"1920x1080", "3840x2160"}) {
        const double ours = best_seconds(std::string("luma/ours/") + tag);
        const double opencv = best_seconds(std::string("luma/opencv/") + tag);
        const double copy = best_seconds(std::string("luma/copy/") + tag);
        const double pixels = std::strcmp(tag, "1920x1080") == 0 ? 1920.0 * 1080 : 3840.0 * 2160;
        print_row("weighted_luma", std::string("vs cv::cvtColor RGB2GRAY, ") + tag, rate(pixels / ours / 1e9, "Gpx/s"),
                  rate(pixels / opencv / 1e9, "Gpx/s"), opencv / ours);
        print_row("weighted_luma", std::string("vs memcpy of the 3 planes, ") + tag, rate(pixels / ours / 1e9, "Gpx/s"),
                  rate(3 * pixels / copy / 1e9, "GB/s copied"), copy / ours);
    }

    double log_sum = 0.0;
    double worst = INFINITY;
    for (double factor : scale_factors) {
        const std::string tag = factor_tag(factor);
        const double ours = best_seconds("scale/ours/" + tag);
        const double opencv = best_seconds("scale/opencv/" + tag);
        const double pixels = static_cast<double>(std::lround(scale_rows * factor)) *
                              static_cast<double>(std::lround(scale_cols * factor));
        print_row("bilinear_resample", "vs cv::resize INTER_LINEAR, 1920x1080 x " + tag,
                  rate(pixels / ours / 1e9, "Gpx/s out"), rate(pixels / opencv / 1e9, "Gpx/s out"), opencv / ours);
        log_sum += std::log(opencv / ours);
        worst = std::min(worst, opencv / ours);
    }
    print_row("bilinear_resample", "geometric mean over the 5 factors (worst " + factor_tag(worst) + ")", "", "",
              std::exp(log_sum / 5));
    if (timings.count("scale/avx2/" + factor_tag(scale_factors[0])) != 0) {
        for (double factor : scale_factors) {
            const std::string tag = factor_tag(factor);
            const double avx2 = best_seconds("scale/avx2/" + tag);
            const double opencv = best_seconds("scale/opencv/" + tag);
            const double pixels = static_cast<double>(std::lround(scale_rows * factor)) *
                                  static_cast<double>(std::lround(scale_cols * factor));
            print_row("bilinear_resample (AVX2 variant)", "vs cv::resize INTER_LINEAR, 1920x1080 x " + tag,
                      rate(pixels / avx2 / 1e9, "Gpx/s out"), rate(pixels / opencv / 1e9, "Gpx/s out"), opencv / avx2);
        }
    }

    const double copy_bandwidth = static_cast<double>(size_t(256) << 20) / best_seconds("memory/copy/256MiB");
    for (const TrainerCase& c : trainer_cases) {
        const double ours = best_seconds("fit/ours/" + trainer_tag(c));
        const double plain = best_seconds("fit/plain/" + trainer_tag(c));
        char step[64];
        std::snprintf(step, sizeof step, "%.3f us/step", ours / c.T * 1e6);
        char plain_step[64];
        std::snprintf(plain_step, sizeof plain_step, "%.3f us/step", plain / c.T * 1e6);
        print_row("fit_weights", "vs plain scalar loop, " + trainer_tag(c), step, plain_step, plain / ours);
        const double read = static_cast<double>(c.T) * c.d * sizeof(double) / ours;
        print_row("fit_weights", "example bytes read vs memcpy read bandwidth, " + trainer_tag(c),
                  rate(read / 1e9, "GB/s"), rate(copy_bandwidth / 1e9, "GB/s"), read / copy_bandwidth);
    }
    {
        char ours[96];
        std::snprintf(ours, sizeof ours, "%.1f ms (%d steps, %.2f%%)", liblinear.ours_seconds * 1e3,
                      liblinear.ours_steps, 100 * liblinear.ours_accuracy);
        char peer[96];
        std::snprintf(peer, sizeof peer, "%.1f ms (%.2f%%)", liblinear.liblinear_seconds * 1e3,
                      100 * liblinear.liblinear_accuracy);
        char case_[160];
        std::snprintf(case_, sizeof case_,
                      "time to %.2f%% test accuracy vs LIBLINEAR dual L1-loss SVC, d=128 N=100000", 100 *
                      liblinear.target_accuracy);
        print_row("fit_weights", case_, ours, peer, liblinear.liblinear_seconds / liblinear.ours_seconds);
    }
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
