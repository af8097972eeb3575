// The rows of bench_kernels, one file per kernel: each registers its
// benchmarks, then prints its rows from their times (bench_table.h) and
// writes the times that the Octave rows compare whole calls with.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

// OpenCV on one thread, or on its default number of threads.
void set_opencv_threads(bool one);

inline std::vector<uint8_t> random_bytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator() >> 24);
    return bytes;
}

// `threads` and `opencv_threads` name the default threads of ours and of
// OpenCV in the rows ("2 threads").

// weighted_luma (bench_gray.cpp)
void register_gray_benchmarks();
void print_gray_rows(const std::string& threads, const std::string& opencv_threads);
void write_gray_kernel_times(std::FILE* out);

// bilinear_resample (bench_scale.cpp)
void register_scale_benchmarks();
void print_scale_rows(const std::string& threads, const std::string& opencv_threads);
void write_scale_kernel_times(std::FILE* out);

// Both on one thread against two, on growing inputs (bench_crossover.cpp)
void register_crossover_benchmarks();
void print_crossover_rows();

// The trainer's examples: two classes around a random direction, with 5% of
// the labels flipped; the examples one column each, labels +1 and -1.
struct Dataset {
    int32_t d = 0;
    int32_t N = 0;
    std::vector<double> X;
    std::vector<float> X_single;  // X rounded to single precision
    std::vector<double> y;
};

Dataset make_dataset(int32_t d, int32_t N, uint32_t seed);

// The module's default regularisation weight.
constexpr double trainer_lambda = 0.01;

struct TrainerCase {
    int32_t d;
    int32_t N;
    int32_t T;
};

constexpr TrainerCase trainer_cases[] = {{1024, 20000, 20000}, {128, 100000, 100000}};

std::string trainer_tag(const TrainerCase& c);

// The examples of each trainer case, made once for every benchmark.
struct TrainerSets {
    Dataset large_d = make_dataset(1024, 20000, 1);
    Dataset small_d = make_dataset(128, 100000, 2);
    const Dataset& of(const TrainerCase& c) const { return c.d == 1024 ? large_d : small_d; }
};

// LIBLINEAR against our trainer at growing step counts (after the
// benchmarks: timed alone).
struct LiblinearResult {
    double liblinear_seconds;
    double liblinear_accuracy;
    double target_accuracy;
    double ours_seconds;
    double ours_accuracy;
    int32_t ours_steps;
};

// fit_weights and training_objective (bench_trainer.cpp)
void register_trainer_benchmarks(const TrainerSets& sets);
LiblinearResult compare_with_liblinear(const TrainerSets& sets, int repetitions);
void print_trainer_rows();
void print_liblinear_row(const LiblinearResult& result);
void write_trainer_kernel_times(std::FILE* out);

// fit_batch: many models per call (bench_batch.cpp)
void register_batch_benchmarks(const TrainerSets& sets);
void print_batch_rows(const std::string& threads);
