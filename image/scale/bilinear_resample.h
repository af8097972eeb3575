// Bilinear resampling of images of 8- and 16-bit integers and of single and
// double floats.
#pragma once

#include <cstdint>
#include <vector>

// The element types every function below takes, listed once: each file that
// defines them instantiates them with this list.
#define BILINEAR_RESAMPLE_ELEMENTS(apply) apply(uint8_t) apply(uint16_t) apply(int16_t) apply(float) apply(double)

// The distance between neighbouring output samples, in input rows (columns):
// (N - 1) / ((n - 1) + 1e-7), so the first output sample is the first input
// sample and the last lands just short of the last input sample. Every loop
// and the thread split take their step from here: positions summed from
// different steps would not meet. Internal linkage, as in common/truncation.h.
static inline double resample_step(int64_t N, int64_t n)
{
    return static_cast<double>(N - 1) / (static_cast<double>(n - 1) + 1e-7);
}

// Fills Y (ny x nx elements per plane, column-major: Y[j + i*ny]) from X (Ny x
// Nx elements per plane, column-major: X[r + c*Ny]), for `planes` planes laid
// one after another in X and in Y, each resampled on its own. Every output
// element is written; nothing is read or written when ny, nx or planes is 0 or
// less. Otherwise Ny and Nx must be at least 1.
//
// Sample positions step by resample_step from 0, summed sample by sample.
// Each value is the bilinear interpolation of the four neighbours in double
// precision, then converted as resample_element.h says: integers truncated
// toward zero, single rounded to nearest, double as it is, and any NaN
// written as the one quiet NaN.
//
// Reads stay inside each plane for every size: the neighbour below (resp. to
// the right) is taken no further than the last row (resp. column). It only
// differs from the unclamped neighbour where its weight is 0 (images of one
// row or one column) or where a very long output's summed position reaches
// the last row or column.
//
// Runs the fastest variant the processor supports, on as many threads as
// MEX_KERNELS_THREADS allows for outputs large enough to gain from them; the
// bytes are the same on every variant and at every thread count.
//
// Throws std::bad_alloc when the working memory of the vector variants cannot
// be had; that happens on the calling thread, before any thread starts and
// before any output element is written.
template <class E>
void bilinear_resample(const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y, int64_t ny, int64_t nx);

// One plane, output sample by output sample as described above, on the
// calling thread: the reference that the faster variants equal bit for bit.
template <class E>
void bilinear_resample_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx);

// Output columns first .. end - 1 of one plane; px is the column position of
// the first, summed step by step from 0 as the whole plane's loop would.
struct ColumnSpan {
    int64_t first;
    int64_t end;
    double px;
};

// The working memory of one part of a call for the vector variants (the row
// plan of a tile and the terms of two input columns); the plain loop needs
// none. Taken by the caller before any thread starts, so that a variant never
// allocates, and may run on any thread.
struct alignas(64) ResampleScratch {
    unsigned char bytes[64 * 1024];
};

// A variant resamples the given columns of one plane; the plain loop is one,
// each instruction-set file adds one, for every element type.
template <class E>
using ResampleColumns = void (*)(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx, ColumnSpan span,
                                 ResampleScratch* scratch) noexcept;

template <class E>
void bilinear_resample_columns_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                     ColumnSpan span, ResampleScratch* scratch) noexcept;
// x86-64 only: call only when cpu_has_avx2() (cpu_has_avx512bw()) is true.
template <class E>
void bilinear_resample_columns_avx2(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept;
template <class E>
void bilinear_resample_columns_avx512bw(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                        ColumnSpan span, ResampleScratch* scratch) noexcept;
// arm64 only.
template <class E>
void bilinear_resample_columns_neon(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                    ColumnSpan span, ResampleScratch* scratch) noexcept;

template <class E>
struct ResampleVariant {
    const char* name;
    ResampleColumns<E> resample;
};

// The vector variants this processor runs, widest first (none where the
// build has only the plain loop). For tests and benchmarks.
template <class E>
std::vector<ResampleVariant<E>> bilinear_resample_variants();

// The variant bilinear_resample runs: the first of bilinear_resample_variants,
// or the plain loop, chosen once when the module is loaded (at its first call).
template <class E>
ResampleVariant<E> bilinear_resample_chosen();

// bilinear_resample with a given variant, split into ranges of output
// columns (of all planes together) on up to `threads` threads (at most
// max_threads), none with fewer than min_samples_per_thread output samples.
// bilinear_resample is this with the chosen variant, MEX_KERNELS_THREADS and
// the measured threshold; tests lower the threshold to split small images.
// Throws std::bad_alloc as bilinear_resample does.
template <class E>
void bilinear_resample_split(ResampleColumns<E> variant, const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y,
                             int64_t ny, int64_t nx, int threads, int64_t min_samples_per_thread);
