#include "bench/bench_table.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct Timing {
    std::vector<double> seconds;  // per iteration, one entry per repetition
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
};

std::map<std::string, Timing> timings;

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
        timings[run.run_name.function_name].seconds.push_back(run.real_accumulated_time /
                                                              static_cast<double>(run.iterations));
        std::fputc('.', stderr);
    }
}

double best_seconds(const std::string& name)
{
    const auto found = timings.find(name);
    return found == timings.end() || found->second.seconds.empty() ? NAN : found->second.best();
}

void print_table_header()
{
    std::printf("| Kernel | Case | Ours | Peer | Ratio (ours faster when > 1) |\n");
    std::printf("|---|---|---|---|---|\n");
}

void print_row(const std::string& kernel, const std::string& case_, const std::string& ours, const std::string& peer,
               double ratio)
{
    std::printf("| %s | %s | %s | %s | **%.2f** |\n", kernel.c_str(), case_.c_str(), ours.c_str(), peer.c_str(), ratio);
    std::fflush(stdout);
}

std::string rate(double units_per_second, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f %s", units_per_second, unit);
    return text;
}

std::string factor_tag(double factor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", factor);
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
