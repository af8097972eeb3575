// Splitting one kernel call across threads. The threads are started and
// joined inside the call, so nothing outlives it (the host may unload a module
// between calls), and they run kernel code only, never the host's API.
//
// The number of threads comes from MEX_KERNELS_THREADS, read at every call: a
// positive integer (at most max_threads), 1 for one thread; anything else, or
// unset, means the processors this process may run on.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <type_traits>

#if defined(__linux__)
#include <sched.h>
#endif

constexpr int max_threads = 256;

// The processors this process may run on (its affinity mask where the system
// has one), at least 1.
inline int available_processors()
{
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
#endif
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

// Reads MEX_KERNELS_THREADS as described above.
inline int kernel_threads()
{
    const char* text = std::getenv("MEX_KERNELS_THREADS");
    if (text != nullptr && *text != '\0') {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno == 0 && *end == '\0' && value >= 1) return value < max_threads ? static_cast<int>(value) : max_threads;
    }
    const int processors = available_processors();
    return processors < max_threads ? processors : max_threads;
}

// The threads for a job of `work` units (samples, pixels) of which a thread
// should have at least `min_per_thread`: one for a job too small for two, so
// that small jobs do not even read the environment or the processor count;
// otherwise kernel_threads().
inline int threads_for(int64_t work, int64_t min_per_thread)
{
    return work >= 2 * min_per_thread ? kernel_threads() : 1;
}

// How many parts to split `count` items of `item_cost` each into: as many as
// `threads` (at most max_threads), but no part below `min_cost` (so small jobs
// stay on the calling thread, where starting a thread would cost more than it
// saves), at least 1.
inline int split_parts(int64_t count, int64_t item_cost, int64_t min_cost, int threads)
{
    if (threads <= 1 || count <= 1) return 1;
    const int64_t total = count * (item_cost > 0 ? item_cost : 1);
    const int64_t by_cost = min_cost > 0 ? total / min_cost : count;
    int64_t parts = threads < max_threads ? threads : max_threads;
    if (by_cost < parts) parts = by_cost;
    if (count < parts) parts = count;
    return parts > 1 ? static_cast<int>(parts) : 1;
}

// The first item of part k when `count` items are split into `parts`
// contiguous parts, nearly equal in length and in order.
inline int64_t part_begin(int64_t count, int parts, int k)
{
    return count / parts * k + (k < count % parts ? k : count % parts);
}

// Calls part(index, begin, end) for `parts` (at most max_threads) contiguous
// ranges covering [0, count), nearly equal in length and in order of index.
// Part 0 runs on the calling thread, the others each on a thread of their
// own; all have ended on return. A thread the system refuses to start (for
// want of threads or of memory) has its part run on the calling thread
// instead, so the result never depends on how many started.
//
// Parts must be noexcept: an exception leaving a worker thread ends the
// process. Anything a part needs that could fail (memory) is therefore
// obtained by the caller before run_parts, on the calling thread, where a
// failure can still be reported. Nothing here allocates once a thread runs.
template <class Part>
void run_parts(int64_t count, int parts, const Part& part) noexcept
{
    static_assert(std::is_nothrow_invocable_v<const Part&, int, int64_t, int64_t>,
                  "a part of run_parts must be noexcept");
    if (parts > max_threads) parts = max_threads;
    auto begin_of = [&](int k) { return part_begin(count, parts, k); };
    if (parts <= 1) {
        part(0, int64_t{0}, count);
        return;
    }
    std::thread workers[max_threads];
    for (int k = 1; k < parts; ++k) {
        try {
            workers[k] = std::thread([&part, k, b = begin_of(k), e = begin_of(k + 1)]() noexcept { part(k, b, e); });
        } catch (...) {
            // std::system_error (no thread to be had) or std::bad_alloc (no
            // memory for its start-up): workers[k] stays empty.
        }
    }
    part(0, begin_of(0), begin_of(1));
    for (int k = 1; k < parts; ++k) {
        if (!workers[k].joinable()) part(k, begin_of(k), begin_of(k + 1));
    }
    for (int k = 1; k < parts; ++k) {
        if (workers[k].joinable()) workers[k].join();
    }
}
