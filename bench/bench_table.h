// What the benchmark programs share: the fastest time of a case (collected
// from Google Benchmark, or timed here), the Markdown rows of their tables
// and the machine they ran on.
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

// Keeps every repetition's time per iteration of every case run, for
// best_seconds; a dot on stderr for each.
class CollectingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override;
};

// The fastest repetition of the case so named, in seconds per iteration;
// NaN when it did not run.
double best_seconds(const std::string& name);

// The fastest of `repetitions` calls of run(), in seconds of the wall clock.
template <class Run>
double fastest_wall_seconds(int repetitions, Run&& run)
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

// The same in this thread's CPU time, which other work on a shared machine
// moves far less than the wall clock.
template <class Run>
double fastest_thread_seconds(int repetitions, Run&& run)
{
    double best = INFINITY;
    for (int r = 0; r < repetitions; ++r) {
        timespec start{};
        timespec stop{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        run();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &stop);
        best = std::min(best, static_cast<double>(stop.tv_sec - start.tv_sec) +
                                  1e-9 * static_cast<double>(stop.tv_nsec - start.tv_nsec));
    }
    return best;
}

// The table's header and its rule.
void print_table_header();

// One row, written out at once (a long run shows its rows as they come).
void print_row(const std::string& kernel, const std::string& case_, const std::string& ours, const std::string& peer,
               double ratio);

// "1.234 Gpx/s" for units_per_second = 1.234 and unit "Gpx/s".
std::string rate(double units_per_second, const char* unit);

// A scale factor as the cases name it: "0.50".
std::string factor_tag(double factor);

// The processor's model name, as /proc/cpuinfo gives it; "unknown" without.
std::string cpu_model();

// The names of a kernel's variants, widest first.
template <class Variants>
std::string variant_names(const Variants& variants)
{
    std::string names;
    for (const auto& v : variants) names += (names.empty() ? "" : ", ") + std::string(v.name);
    return names.empty() ? "plain loops only" : names;
}
