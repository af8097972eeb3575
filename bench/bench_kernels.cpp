// Our kernels side by side with the libraries users would otherwise pick, on
// one thread and the same inputs. Google Benchmark times every case with
// repetitions interleaved at random; the table compares the fastest
// repetition of each case with that of its peer from the same run. The rows
// of each kernel are in its own file (bench_kernels.h).
//
// Usage: bench_kernels [--quick] [--kernel-times=FILE] [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_kernels.h"
#include "bench/bench_table.h"
#include "common/parallel.h"
#include "image/gray/weighted_luma.h"
#include "image/scale/bilinear_resample.h"
#include "svm/fit_weights.h"

void set_opencv_threads(bool one) { cv::setNumThreads(one ? 1 : -1); }

namespace {

// Writes the kernels' times that the Octave rows set a whole call from
// Octave against: "name seconds" per line.
void write_kernel_times(const char* file)
{
    std::FILE* out = std::fopen(file, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return;
    }
    write_gray_kernel_times(out);
    write_scale_kernel_times(out);
    write_trainer_kernel_times(out);
    std::fclose(out);
}

void print_machine()
{
    cv::setNumThreads(-1);
    std::printf("Machine: %s; %d processors this process may run on; kernels' default threads %d "
                "(MEX_KERNELS_THREADS); OpenCV %s, %d threads by default\n",
                cpu_model().c_str(), available_processors(), kernel_threads(), CV_VERSION, cv::getNumThreads());
    std::printf("Variants run (widest first): weighted_luma %s; bilinear_resample %s; fit_weights %s\n",
                variant_names(weighted_luma_variants()).c_str(),
                variant_names(bilinear_resample_variants<uint8_t>()).c_str(),
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
    const TrainerSets trainer_sets;
    register_gray_benchmarks();
    register_scale_benchmarks();
    register_trainer_benchmarks(trainer_sets);
    register_batch_benchmarks(trainer_sets);
    register_crossover_benchmarks();

    std::fprintf(stderr, "running benchmarks");
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const LiblinearResult liblinear = compare_with_liblinear(trainer_sets, quick ? 1 : 3);

    print_machine();
    print_table_header();
    const std::string threads = std::to_string(kernel_threads()) + " threads";
    cv::setNumThreads(-1);
    const std::string opencv_threads = std::to_string(cv::getNumThreads()) + " threads";
    print_gray_rows(threads, opencv_threads);
    print_scale_rows(threads, opencv_threads);
    print_trainer_rows();
    print_batch_rows(threads);
    print_liblinear_row(liblinear);
    print_crossover_rows();
    if (kernel_times != nullptr) write_kernel_times(kernel_times);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
