// The one separable loop of resize_image: every method is a table of taps
// per dimension (resize_weights.h) fed to it.
//
// Order of the arithmetic, which defines the result: first along the rows
// (the first dimension, down each column: for column-major images both
// passes then read and write contiguous columns), into an intermediate of
// ny x Nx doubles that is never rounded; then along the columns. Each output
// value is the taps' sum in the table's order, v = w0*x0, then v = v + wk*xk,
// every product and sum rounded to double as written (no fused
// multiply-add), then converted by resize_element (resize_element.h).
#pragma once

#include <cstdint>
#include <vector>

#include "image/resize/resize_weights.h"

// The element types every function below takes, listed once.
#define RESIZE_ELEMENTS(apply)                                                                                \
    apply(uint8_t) apply(uint16_t) apply(int16_t) apply(int8_t) apply(int32_t) apply(uint32_t) apply(float) \
        apply(double) apply(bool)

// Fills Y (ny x nx elements per plane, column-major) from X (Ny x Nx per
// plane), for `planes` planes laid one after another in X and in Y, each
// resized on its own; rows holds ny output samples' taps over Ny, columns nx
// over Nx. Runs the fastest variant the processor supports, on as many
// threads as MEX_KERNELS_THREADS allows for outputs large enough to gain;
// the bytes are the same on every variant and at every thread count.
// Throws std::bad_alloc on the calling thread, before any thread starts and
// before any output is written, when the working memory (a band of the
// intermediate per thread) cannot be had.
template <class E>
void separable_resize(const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y, const ResizeTaps& rows,
                      const ResizeTaps& columns);

// One plane, with the whole intermediate at once, on the calling thread: the
// reference every variant equals byte for byte. Allocates (may throw).
template <class E>
void separable_resize_reference(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                const ResizeTaps& columns);

// A variant resizes output rows first .. end - 1 (one band, at most
// resize_band_rows(Nx) rows) of one plane, working in `band`, which holds
// resize_band_doubles(Nx) doubles taken by the caller.
template <class E>
using ResizeBand = void (*)(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                            const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept;

// Output rows per band (at most 64, at least 1): the band's intermediate
// (rows x Nx doubles) is kept near 512 KiB, so that the second pass finds it
// in cache.
int64_t resize_band_rows(int64_t Nx);
int64_t resize_band_doubles(int64_t Nx);

template <class E>
void separable_resize_band_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                 const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept;

// The same loop built for AVX2 and for AVX-512 Foundation (x86-64 only:
// call only when cpu_has_avx2() or cpu_has_avx512f() is true).
template <class E>
void separable_resize_band_avx2(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept;
template <class E>
void separable_resize_band_avx512(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                  const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept;

template <class E>
struct ResizeVariant {
    const char* name;
    ResizeBand<E> resize;
};

// The vector variants this processor runs, widest first (none where the
// build has only the plain loop). For tests and benchmarks.
template <class E>
std::vector<ResizeVariant<E>> separable_resize_variants();

// The variant separable_resize runs, chosen once per load.
template <class E>
ResizeVariant<E> separable_resize_chosen();

// separable_resize with a given variant, its bands (of all planes together)
// split on up to `threads` threads, none with fewer than
// min_samples_per_thread output samples. Tests lower the threshold.
template <class E>
void separable_resize_split(ResizeBand<E> variant, const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y,
                            const ResizeTaps& rows, const ResizeTaps& columns, int threads,
                            int64_t min_samples_per_thread);
