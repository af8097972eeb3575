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
#include <type_traits>
#include <vector>

#include "bench/photo_like.h"
#include "common/cpu_features.h"
#include "common/parallel.h"
#include "image/gray/weighted_luma.h"
#include "image/scale/bilinear_resample.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/model_scores.h"
#include "tests/svm/fit_settings.h"

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

// ---------------------------------------------------------------- gray

struct GrayCase {
    int rows;
    int cols;
};

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

// OpenCV on one thread, or on its default number of threads.
void set_opencv_threads(bool one) { cv::setNumThreads(one ? 1 : -1); }

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

// ---------------------------------------------------------------- scale

const int scale_rows = 1080;
const int scale_cols = 1920;
const double scale_factors[] = {0.5, 0.8, 1.0, 1.25, 2.0};
// The other element types at the factors where the bilinear arithmetic, not
// a copy or a halving path, decides the speed of both sides.
const double wide_scale_factors[] = {0.8, 1.25, 2.0};

std::string factor_tag(double factor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", factor);
    return text;
}

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

// ------------------------------------------------------- thread crossover

// One thread against two on growing inputs, the work forced apart (minimum 1),
// to find the size below which starting a thread does not pay.
const int64_t crossover_sizes[] = {int64_t{1} << 13, int64_t{1} << 14, int64_t{1} << 15, int64_t{1} << 16,
                                   int64_t{1} << 17, int64_t{1} << 18, int64_t{1} << 19, int64_t{1} << 20};

void register_crossover()
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

// ---------------------------------------------------------------- trainer

// Two classes around a random direction, with 5% of the labels flipped: the
// examples one column each, labels +1 and -1.
struct Dataset {
    int32_t d = 0;
    int32_t N = 0;
    std::vector<double> X;
    std::vector<float> X_single;  // X rounded to single precision
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
    data.X_single.assign(data.X.begin(), data.X.end());
    return data;
}

using Solver = FitResult (*)(const double*, const double*, int32_t, int32_t, const FitSettings&, double*);

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

// Times whole training runs: each from zero weights and the same seed, as a
// call of the module makes them; fit(W) runs the solver into W.
template <class Fit>
void time_training(benchmark::State& state, const Dataset* set, const Fit& fit)
{
    std::vector<double> W(static_cast<size_t>(set->d) + 1);
    for (auto _ : state) {
        std::fill(W.begin(), W.end(), 0.0);
        sampler_seed(12345);
        fit(W.data());
        sampler_store();
        benchmark::DoNotOptimize(W.data());
    }
}

void register_trainer(const TrainerCase& c, const std::vector<const Dataset*>& data)
{
    const Dataset* set = data[c.d == 1024 ? 0 : 1];
    const FitSettings settings = fit_settings(trainer_lambda, 1.0, c.T);
    // Examples as doubles (the dispatched variant and the plain loop) and as singles.
    const std::pair<const char*, Solver> solvers[] = {{"double", fit_weights}, {"plain", fit_weights_plain}};
    for (const auto& [who, solver] : solvers) {
        benchmark::RegisterBenchmark((std::string("fit/") + who + "/" + trainer_tag(c)).c_str(),
                                     [=](benchmark::State& state) {
                                         time_training(state, set, [&](double* W) {
                                             solver(set->X.data(), set->y.data(), set->d, set->N, settings, W);
                                         });
                                     });
    }
    // Class weights (the positives' weight 3, the negatives' 1), which scale
    // every update and the projection radius.
    benchmark::RegisterBenchmark(("fit/weighted/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        std::vector<double> weights(static_cast<size_t>(set->N));
        for (size_t j = 0; j < weights.size(); ++j) weights[j] = set->y[j] > 0 ? 3.0 : 1.0;
        FitSettings weighted = settings;
        weighted.weights = weights.data();
        time_training(state, set, [&](double* W) {
            fit_weights(set->X.data(), set->y.data(), set->d, set->N, weighted, W);
        });
    });
    // The objective pass of [w, info] = linsvm_fit(...): one pass over X.
    benchmark::RegisterBenchmark(("objective/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        std::vector<double> W(static_cast<size_t>(set->d) + 1, 0.01);
        for (auto _ : state) {
            const TrainingObjective result = training_objective(set->X.data(), set->y.data(), set->d, set->N,
                                                                fit_settings(trainer_lambda, 1.0, 0), W.data());
            benchmark::DoNotOptimize(result.objective);
        }
    });
    benchmark::RegisterBenchmark(("fit/single/" + trainer_tag(c)).c_str(), [=](benchmark::State& state) {
        time_training(state, set, [&](double* W) {
            fit_weights(set->X_single.data(), set->y.data(), set->d, set->N, settings, W);
        });
    });
}

// Many models per call against as many one-model calls, one thread and the
// default threads: 8 lambdas; 10 one-vs-rest classes; 5-fold
// cross-validation of 8 lambdas (48 models). The calls a user would make
// otherwise train the fold models on copies of the other folds' examples,
// made before the timing.
struct BatchSetup {
    std::vector<double> lambdas;
    std::vector<int32_t> class_of;       // 10 classes, for the one-vs-rest rows
    std::vector<std::vector<double>> relabelled;
    std::vector<int32_t> training;       // the 5 folds' training columns, one after another
    std::vector<size_t> training_begin;  // where each fold's begin, and the end
    std::vector<Dataset> fold_sets;      // the same as copies
};

constexpr int batch_folds = 5;

BatchSetup make_batch_setup(const Dataset& set)
{
    BatchSetup setup;
    for (int l = 0; l < 8; ++l) setup.lambdas.push_back(1e-2 * std::pow(10.0, -3.0 * l / 7.0));
    setup.class_of.resize(static_cast<size_t>(set.N));
    for (int32_t j = 0; j < set.N; ++j) setup.class_of[static_cast<size_t>(j)] = static_cast<int32_t>((j * 7919) % 10);
    for (int32_t k = 0; k < 10; ++k) {
        std::vector<double> y(static_cast<size_t>(set.N));
        for (int32_t j = 0; j < set.N; ++j) y[static_cast<size_t>(j)] = setup.class_of[static_cast<size_t>(j)] == k ? 1.0 : -1.0;
        setup.relabelled.push_back(y);
    }
    for (int f = 0; f < batch_folds; ++f) {
        setup.training_begin.push_back(setup.training.size());
        Dataset fold;
        fold.d = set.d;
        for (int32_t j = 0; j < set.N; ++j) {
            if (j % batch_folds == f) continue;
            setup.training.push_back(j);
            fold.X.insert(fold.X.end(), set.X.begin() + static_cast<ptrdiff_t>(j) * set.d,
                          set.X.begin() + static_cast<ptrdiff_t>(j + 1) * set.d);
            fold.y.push_back(set.y[static_cast<size_t>(j)]);
        }
        fold.N = static_cast<int32_t>(fold.y.size());
        setup.fold_sets.push_back(std::move(fold));
    }
    setup.training_begin.push_back(setup.training.size());
    return setup;
}

// The batch kinds: "lambdas" (8 models), "classes" (10), "cv" (8 on all
// examples and 8 on each fold's training examples).
void run_batch(const Dataset& set, const BatchSetup& setup, const std::string& kind, int32_t T, int threads,
               std::vector<double>& weights)
{
    const size_t length = static_cast<size_t>(set.d) + 1;
    const bool classes = kind == "classes";
    const int32_t per_group = classes ? 10 : 8;
    const int32_t group_count = kind == "cv" ? 1 + batch_folds : 1;
    std::vector<FitModel> models(static_cast<size_t>(per_group) * group_count);
    std::vector<FitGroup> groups(static_cast<size_t>(group_count));
    weights.assign(length * models.size(), 0.0);
    for (int32_t g = 0; g < group_count; ++g) {
        FitGroup& group = groups[static_cast<size_t>(g)];
        const size_t begin = g == 0 ? 0 : setup.training_begin[static_cast<size_t>(g - 1)];
        group.count = g == 0 ? set.N : static_cast<int32_t>(setup.training_begin[static_cast<size_t>(g)] - begin);
        group.columns = g == 0 ? nullptr : setup.training.data() + begin;
        group.steps = T;
        group.start_state = 12345;
        group.models = models.data() + static_cast<size_t>(g) * per_group;
        group.model_count = per_group;
        for (int32_t m = 0; m < per_group; ++m) {
            FitModel& model = group.models[m];
            model.W = weights.data() + (static_cast<size_t>(g) * per_group + m) * length;
            model.lambda = classes ? trainer_lambda : setup.lambdas[static_cast<size_t>(m)];
            model.positive_class = classes ? m : -1;
        }
    }
    FitBatch batch;
    batch.y = set.y.data();
    batch.class_of = setup.class_of.data();
    batch.threads = threads;
    fit_batch(set.X.data(), set.d, batch, groups.data(), group_count);
}

// The same models as one-model calls.
void run_separately(const Dataset& set, const BatchSetup& setup, const std::string& kind, int32_t T,
                    std::vector<double>& W)
{
    W.assign(static_cast<size_t>(set.d) + 1, 0.0);
    auto one = [&](const Dataset& on, const double* y, double lambda) {
        std::fill(W.begin(), W.end(), 0.0);
        sampler_seed(12345);
        fit_weights(on.X.data(), y, on.d, on.N, fit_settings(lambda, 1.0, T), W.data());
    };
    if (kind == "classes") {
        for (const std::vector<double>& y : setup.relabelled) one(set, y.data(), trainer_lambda);
        return;
    }
    for (double lambda : setup.lambdas) one(set, set.y.data(), lambda);
    if (kind != "cv") return;
    for (const Dataset& fold : setup.fold_sets) {
        for (double lambda : setup.lambdas) one(fold, fold.y.data(), lambda);
    }
}

const char* const batch_kinds[] = {"lambdas", "classes", "cv"};

void register_batches(const TrainerCase& c, const Dataset* set, const BatchSetup* setup)
{
    for (const char* kind : batch_kinds) {
        const std::string tag = std::string(kind) + "/" + trainer_tag(c);
        benchmark::RegisterBenchmark(("batch/1t/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> weights;
            for (auto _ : state) run_batch(*set, *setup, kind, c.T, 1, weights);
        });
        benchmark::RegisterBenchmark(("batch/threads/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> weights;
            for (auto _ : state) run_batch(*set, *setup, kind, c.T, kernel_threads(), weights);
        });
        benchmark::RegisterBenchmark(("batch/separate/" + tag).c_str(), [=](benchmark::State& state) {
            std::vector<double> W;
            for (auto _ : state) run_separately(*set, *setup, kind, c.T, W);
        })->Iterations(1);
    }
}

// One default call of the trainer (100 steps) at d = 1024, for the Octave
// rows, which compare a whole call from Octave with the kernel alone.
void register_trainer_call(const Dataset* set)
{
    benchmark::RegisterBenchmark("fit/call/d=1024 100 steps", [=](benchmark::State& state) {
        time_training(state, set, [&](double* W) {
            fit_weights(set->X.data(), set->y.data(), set->d, set->N, fit_settings(trainer_lambda, 1.0, 100), W);
        });
    });
}

// One model through fit_batch on one thread, with its iterates averaged from
// the first step on (the most the average can cost) or not at all.
void register_averaging(const TrainerCase& c, const Dataset* set)
{
    for (const bool averaging : {true, false}) {
        const std::string name = std::string(averaging ? "fit/average/" : "fit/no_average/") + trainer_tag(c);
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            std::vector<double> mean(static_cast<size_t>(set->d) + 1);
            time_training(state, set, [&](double* W) {
                FitModel model;
                model.W = W;
                model.lambda = trainer_lambda;
                model.average = averaging ? mean.data() : nullptr;
                model.average_after = 0;
                FitGroup group;
                group.count = set->N;
                group.steps = c.T;
                group.start_state = 12345;
                group.models = &model;
                group.model_count = 1;
                FitBatch batch;
                batch.y = set->y.data();
                fit_batch(set->X.data(), set->d, batch, &group, 1);
                benchmark::DoNotOptimize(mean.data());
            });
        });
    }
}

// Writes the kernels' times that the Octave rows set a whole call from
// Octave against: "name seconds" per line.
void write_kernel_times(const char* file)
{
    std::FILE* out = std::fopen(file, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return;
    }
    for (const char* tag : {"1920x1080", "3840x2160"}) {
        std::fprintf(out, "luma_%s %.9g\n", tag, best_seconds(std::string("luma/threads/") + tag));
    }
    for (const char* tag : {"0.50", "1.25", "2.00"}) {
        std::fprintf(out, "scale_%s %.9g\n", tag, best_seconds(scale_name<uint8_t>("threads", tag)));
    }
    std::fprintf(out, "fit_1024 %.9g\n", best_seconds("fit/call/d=1024 100 steps"));
    std::fclose(out);
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
        fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N, fit_settings(trainer_lambda, 1.0, T), w.data());
        const double accuracy = test_accuracy(w, test);
        if (accuracy >= result.target_accuracy) {
            result.ours_seconds = best_of(repetitions, [&] {
                std::fill(w.begin(), w.end(), 0.0);
                sampler_seed(2024);
                fit_weights(train_set.X.data(), train_set.y.data(), d, train_set.N, fit_settings(trainer_lambda, 1.0, T), w.data());
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

std::string cpu_model()
{
    std::FILE* info = std::fopen("/proc/cpuinfo", "r");
    if (info == nullptr) return "unknown";
    char line[512];
    std::string model = "unknown";
    while (std::fgets(line, sizeof line, info) != nullptr) {
        if (std::strncmp(line, "model name", 10) == 0) {
            const char* value = std::strchr(line, ':');
            if (value != nullptr) model = std::string(value + 2, std::strcspn(value + 2, "\n"));
            break;
        }
    }
    std::fclose(info);
    return model;
}

template <class Variants>
std::string variant_names(const Variants& variants)
{
    std::string names;
    for (const auto& v : variants) names += (names.empty() ? "" : ", ") + std::string(v.name);
    return names.empty() ? "plain loops only" : names;
}

double scale_pixels(double factor)
{
    return static_cast<double>(std::lround(scale_rows * factor)) * static_cast<double>(std::lround(scale_cols * factor));
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

void print_machine()
{
    cv::setNumThreads(-1);
    std::printf("Machine: %s; %d processors this process may run on; kernels' default threads %d "
                "(MEX_KERNELS_THREADS); OpenCV %s, %d threads by default\n",
                cpu_model().c_str(), available_processors(), kernel_threads(), CV_VERSION, cv::getNumThreads());
    std::printf("Variants run (widest first): weighted_luma %s; bilinear_resample %s; fit_weights %s\n",
                variant_names(weighted_luma_variants()).c_str(), variant_names(bilinear_resample_variants<uint8_t>()).c_str(),
                variant_names(fit_weights_variants()).c_str());
    std::printf("Compiler: %s; flags: %s\n\n", __VERSION__, BENCH_COMPILE_FLAGS);
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
    const char* kernel_times = nullptr;
    const char* const kernel_times_option = "--kernel-times=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kernel_times_option, std::strlen(kernel_times_option)) == 0) {
            kernel_times = argv[i] + std::strlen(kernel_times_option);
        }
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
        if (std::strcmp(argv[i], "--quick") != 0 &&
            std::strncmp(argv[i], kernel_times_option, std::strlen(kernel_times_option)) != 0) {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    std::fprintf(stderr, "preparing data sets...\n");
    const Dataset large_d = make_dataset(1024, 20000, 1);
    const Dataset small_d = make_dataset(128, 100000, 2);
    const std::vector<const Dataset*> data{&large_d, &small_d};

    for (const GrayCase& size : {GrayCase{1080, 1920}, GrayCase{2160, 3840}}) register_gray(size);
    for (double factor : scale_factors) register_scale<uint8_t>(factor, true);
    for (double factor : wide_scale_factors) {
        register_scale<uint16_t>(factor, false);
        register_scale<int16_t>(factor, false);
        register_scale<float>(factor, false);
        register_scale<double>(factor, false);
    }
    for (const TrainerCase& c : trainer_cases) register_trainer(c, data);
    const BatchSetup large_setup = make_batch_setup(large_d);
    const BatchSetup small_setup = make_batch_setup(small_d);
    for (const TrainerCase& c : trainer_cases) {
        register_batches(c, c.d == 1024 ? &large_d : &small_d, c.d == 1024 ? &large_setup : &small_setup);
    }
    register_trainer_call(&large_d);
    for (const TrainerCase& c : trainer_cases) register_averaging(c, c.d == 1024 ? &large_d : &small_d);
    register_copy_bandwidth();
    register_crossover();

    std::fprintf(stderr, "running benchmarks");
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fprintf(stderr, "\ncomparing with LIBLINEAR...\n");
    const Dataset test_set = make_dataset(128, 20000, 3);
    const LiblinearResult liblinear = compare_with_liblinear(small_d, test_set, quick ? 1 : 3);

    print_machine();
    std::printf("| Kernel | Case | Ours | Peer | Ratio (ours faster when > 1) |\n");
    std::printf("|---|---|---|---|---|\n");

    const std::vector<LumaVariant> luma_variants = weighted_luma_variants();
    const std::string luma_fastest = luma_variants.empty() ? "plain" : luma_variants.front().name;
    const std::string threads = std::to_string(kernel_threads()) + " threads";
    cv::setNumThreads(-1);
    const std::string opencv_threads = std::to_string(cv::getNumThreads()) + " threads";
    for (const char* tag : {"1920x1080", "3840x2160"}) {
        const double pixels = std::strcmp(tag, "1920x1080") == 0 ? 1920.0 * 1080 : 3840.0 * 2160;
        const double opencv1 = best_seconds(std::string("luma/opencv/1t/") + tag);
        for (const LumaVariant& v : luma_variants) {
            const double ours = best_seconds("luma/" + std::string(v.name) + "/" + tag);
            print_row("weighted_luma", std::string("1 thread, ") + v.name + " vs cv::cvtColor RGB2GRAY 1 thread, " + tag,
                      rate(pixels / ours / 1e9, "Gpx/s"), rate(pixels / opencv1 / 1e9, "Gpx/s"), opencv1 / ours);
        }
        const double one = best_seconds("luma/" + luma_fastest + "/" + tag);
        const double many = best_seconds(std::string("luma/threads/") + tag);
        const double opencv_many = best_seconds(std::string("luma/opencv/threads/") + tag);
        const double copy = best_seconds(std::string("luma/copy/") + tag);
        print_row("weighted_luma", threads + " vs itself on 1 thread, " + tag, rate(pixels / many / 1e9, "Gpx/s"),
                  rate(pixels / one / 1e9, "Gpx/s"), one / many);
        print_row("weighted_luma", threads + " vs cv::cvtColor RGB2GRAY " + opencv_threads + ", " + tag,
                  rate(pixels / many / 1e9, "Gpx/s"), rate(pixels / opencv_many / 1e9, "Gpx/s"), opencv_many / many);
        print_row("weighted_luma", std::string("1 thread vs memcpy of the 3 planes, ") + tag,
                  rate(pixels / one / 1e9, "Gpx/s"), rate(3 * pixels / copy / 1e9, "GB/s copied"), copy / one);
    }

    const std::vector<ResampleVariant<uint8_t>> scale_variants = bilinear_resample_variants<uint8_t>();
    const std::string scale_fastest = scale_variants.empty() ? "plain" : scale_variants.front().name;
    double log_sum = 0.0;
    double worst = INFINITY;
    for (double factor : scale_factors) {
        const std::string tag = factor_tag(factor);
        const double one = best_seconds(scale_name<uint8_t>(scale_fastest, tag));
        const double opencv1 = best_seconds(scale_name<uint8_t>("opencv/1t", tag));
        const double pixels = scale_pixels(factor);
        print_row("bilinear_resample", "1 thread, " + scale_fastest + " vs cv::resize INTER_LINEAR 1 thread, 1920x1080 x " + tag,
                  rate(pixels / one / 1e9, "Gpx/s out"), rate(pixels / opencv1 / 1e9, "Gpx/s out"), opencv1 / one);
        log_sum += std::log(opencv1 / one);
        worst = std::min(worst, opencv1 / one);
    }
    print_row("bilinear_resample", "1 thread, geometric mean over the 5 factors (worst " + factor_tag(worst) + ")", "",
              "", std::exp(log_sum / 5));
    for (double factor : scale_factors) {
        const std::string tag = factor_tag(factor);
        const double one = best_seconds(scale_name<uint8_t>(scale_fastest, tag));
        const double many = best_seconds(scale_name<uint8_t>("threads", tag));
        const double opencv_many = best_seconds(scale_name<uint8_t>("opencv/threads", tag));
        const double pixels = scale_pixels(factor);
        print_row("bilinear_resample", threads + " vs itself on 1 thread, 1920x1080 x " + tag,
                  rate(pixels / many / 1e9, "Gpx/s out"), rate(pixels / one / 1e9, "Gpx/s out"), one / many);
        print_row("bilinear_resample", threads + " vs cv::resize INTER_LINEAR " + opencv_threads + ", 1920x1080 x " + tag,
                  rate(pixels / many / 1e9, "Gpx/s out"), rate(pixels / opencv_many / 1e9, "Gpx/s out"),
                  opencv_many / many);
    }
    // The variant that processors without AVX-512 run, beside the dispatched one.
    if (scale_variants.size() > 1) {
        for (double factor : scale_factors) {
            const std::string tag = factor_tag(factor);
            const std::string name = scale_variants[1].name;
            const double ours = best_seconds(scale_name<uint8_t>(name, tag));
            const double opencv1 = best_seconds(scale_name<uint8_t>("opencv/1t", tag));
            const double pixels = scale_pixels(factor);
            print_row("bilinear_resample", "1 thread, " + name + " vs cv::resize INTER_LINEAR 1 thread, 1920x1080 x " + tag,
                      rate(pixels / ours / 1e9, "Gpx/s out"), rate(pixels / opencv1 / 1e9, "Gpx/s out"),
                      opencv1 / ours);
        }
    }
    print_scale_classes<uint16_t>();
    print_scale_classes<int16_t>();
    print_scale_classes<float>();
    print_scale_classes<double>();

    const double copy_bandwidth = static_cast<double>(size_t(256) << 20) / best_seconds("memory/copy/256MiB");
    for (const TrainerCase& c : trainer_cases) {
        const double ours = best_seconds("fit/double/" + trainer_tag(c));
        const double single = best_seconds("fit/single/" + trainer_tag(c));
        const double plain = best_seconds("fit/plain/" + trainer_tag(c));
        auto per_step = [&](double seconds) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f us/step", seconds / c.T * 1e6);
            return std::string(text);
        };
        print_row("fit_weights", "double X vs plain scalar loop, " + trainer_tag(c), per_step(ours), per_step(plain),
                  plain / ours);
        const double read = static_cast<double>(c.T) * c.d * sizeof(double) / ours;
        print_row("fit_weights", "double X, example bytes read vs memcpy read bandwidth, " + trainer_tag(c),
                  rate(read / 1e9, "GB/s"), rate(copy_bandwidth / 1e9, "GB/s"), read / copy_bandwidth);
        print_row("fit_weights", "single X vs double X, " + trainer_tag(c), per_step(single), per_step(ours),
                  ours / single);
        const double weighted = best_seconds("fit/weighted/" + trainer_tag(c));
        print_row("fit_weights", "class weights (3 and 1) vs none, " + trainer_tag(c), per_step(weighted),
                  per_step(ours), ours / weighted);
        auto ns_per_step = [&](double seconds) {
            char text[64];
            std::snprintf(text, sizeof text, "%.1f ns/step", seconds / c.T * 1e9);
            return std::string(text);
        };
        const double averaged = best_seconds("fit/average/" + trainer_tag(c));
        const double unaveraged = best_seconds("fit/no_average/" + trainer_tag(c));
        print_row("fit_weights", "averaging vs none (every step averaged, fit_batch, 1 model, 1 thread), " + trainer_tag(c),
                  ns_per_step(averaged), ns_per_step(unaveraged), unaveraged / averaged);
        const double objective = best_seconds("objective/" + trainer_tag(c));
        const double objective_read = static_cast<double>(c.N) * c.d * sizeof(double) / objective;
        char objective_time[64];
        std::snprintf(objective_time, sizeof objective_time, "%.2f ms (%.1f GB/s)", objective * 1e3,
                      objective_read / 1e9);
        print_row("training_objective", "one pass over X vs memcpy read bandwidth, " + trainer_tag(c), objective_time,
                  rate(copy_bandwidth / 1e9, "GB/s"), objective_read / copy_bandwidth);
        const double read_single = static_cast<double>(c.T) * c.d * sizeof(float) / single;
        print_row("fit_weights", "single X, example bytes read vs memcpy read bandwidth, " + trainer_tag(c),
                  rate(read_single / 1e9, "GB/s"), rate(copy_bandwidth / 1e9, "GB/s"), read_single / copy_bandwidth);
    }
    for (const TrainerCase& c : trainer_cases) {
        for (const char* kind : batch_kinds) {
            const std::string tag = std::string(kind) + "/" + trainer_tag(c);
            const double separate = best_seconds("batch/separate/" + tag);
            const char* what = std::strcmp(kind, "lambdas") == 0   ? "8 lambdas in one call"
                               : std::strcmp(kind, "classes") == 0 ? "10 one-vs-rest classes in one call"
                                                                   : "5-fold cross-validation of 8 lambdas (48 models) in one call";
            const char* peer = std::strcmp(kind, "cv") == 0 ? "48" : std::strcmp(kind, "classes") == 0 ? "10" : "8";
            for (const char* run : {"1t", "threads"}) {
                const double ours = best_seconds("batch/" + std::string(run) + "/" + tag);
                char ours_text[64];
                char peer_text[64];
                std::snprintf(ours_text, sizeof ours_text, "%.3f s", ours);
                std::snprintf(peer_text, sizeof peer_text, "%.3f s", separate);
                print_row("fit_batch",
                          std::string(what) + (std::strcmp(run, "1t") == 0 ? ", 1 thread" : (", " + threads)) +
                              " vs " + peer + " one-model calls on 1 thread, " + trainer_tag(c),
                          ours_text, peer_text, separate / ours);
            }
        }
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
    for (const char* kernel : {"luma", "scale"}) {
        for (int64_t size : crossover_sizes) {
            const std::string suffix = "/" + std::to_string(size);
            const double one = best_seconds(std::string("crossover/") + kernel + "/1" + suffix);
            const double two = best_seconds(std::string("crossover/") + kernel + "/2" + suffix);
            char case_[96];
            std::snprintf(case_, sizeof case_, "thread crossover: 2 threads vs 1, %lld %s", static_cast<long long>(size),
                          std::strcmp(kernel, "luma") == 0 ? "pixels" : "output samples");
            char ours[32];
            std::snprintf(ours, sizeof ours, "%.1f us", two * 1e6);
            char peer[32];
            std::snprintf(peer, sizeof peer, "%.1f us", one * 1e6);
            print_row(std::strcmp(kernel, "luma") == 0 ? "weighted_luma" : "bilinear_resample", case_, ours, peer,
                      one / two);
        }
    }
    if (kernel_times != nullptr) write_kernel_times(kernel_times);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
