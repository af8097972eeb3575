#include "image/resize/separable_resize.h"

#include <cstddef>
#include <memory>

#include "common/cpu_features.h"
#include "common/parallel.h"
#include "common/variant_choice.h"
#include "image/resize/resize_element.h"
#include "image/resize/separable_resize_band.h"

namespace {

// Below this many output samples per thread, starting a thread costs more
// than it saves: the scaler's measured crossover (about 30 us to start and
// join a thread; bench/RESULTS.md) lowered by the more work a sample takes
// here. Not yet measured for this loop on an idle machine.
constexpr int64_t min_samples_per_thread = int64_t{1} << 17;

constexpr int64_t band_budget_doubles = 65536;  // 512 KiB: about 1.1x faster than 256 KiB here, 1 MiB about the same
constexpr int64_t max_band_rows = 64;  // resize_elements converts up to 64 at once

// One output value along a dimension: the taps of output o over `source`
// (a column of the input or of the intermediate, read at stride 1).
template <class S>
inline double tap_sum(const ResizeTaps& taps, int64_t o, const S* source)
{
    const int64_t* index = taps.index.data();
    const double* weight = taps.weight.data();
    int64_t t = taps.first[static_cast<size_t>(o)];
    const int64_t end = taps.first[static_cast<size_t>(o) + 1];
    double v = weight[t] * static_cast<double>(source[index[t]]);
    for (++t; t < end; ++t) v = v + weight[t] * static_cast<double>(source[index[t]]);
    return v;
}

}  // namespace

int64_t resize_band_rows(int64_t Nx)
{
    const int64_t rows = band_budget_doubles / (Nx > 0 ? Nx : 1);
    return rows < 1 ? 1 : (rows > max_band_rows ? max_band_rows : rows);
}

int64_t resize_band_doubles(int64_t Nx)
{
    return resize_band_rows(Nx) * (Nx + 1);
}

template <class E>
void separable_resize_reference(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                const ResizeTaps& columns)
{
    const int64_t ny = rows.count();
    const int64_t nx = columns.count();
    if (ny <= 0 || nx <= 0) return;
    std::vector<double> middle(static_cast<size_t>(ny) * static_cast<size_t>(Nx));
    for (int64_t c = 0; c < Nx; ++c) {
        for (int64_t j = 0; j < ny; ++j) {
            middle[static_cast<size_t>(j + c * ny)] = tap_sum(rows, j, X + static_cast<size_t>(c) * Ny);
        }
    }
    // Along the columns: the taps of output column i over row j of the
    // intermediate, whose elements lie ny apart.
    std::vector<double> row(static_cast<size_t>(Nx));
    for (int64_t j = 0; j < ny; ++j) {
        for (int64_t c = 0; c < Nx; ++c) row[static_cast<size_t>(c)] = middle[static_cast<size_t>(j + c * ny)];
        for (int64_t i = 0; i < nx; ++i) {
            Y[static_cast<size_t>(j + i * ny)] = resize_element<E>(tap_sum(columns, i, row.data()));
        }
    }
}

template <class E>
void separable_resize_band_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                 const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept
{
    resize_band(X, Ny, Nx, Y, rows, columns, first, end, band);
}

template <class E>
std::vector<ResizeVariant<E>> separable_resize_variants()
{
    std::vector<ResizeVariant<E>> variants;
#if defined(KERNELS_HAVE_X86_64)
    if (cpu_has_avx512f()) variants.push_back({"avx512", separable_resize_band_avx512<E>});
    if (cpu_has_avx2()) variants.push_back({"avx2", separable_resize_band_avx2<E>});
#endif
    return variants;
}

template <class E>
ResizeVariant<E> separable_resize_chosen()
{
    static const ResizeVariant<E> chosen =
        fastest_or_plain(separable_resize_variants<E>(), ResizeVariant<E>{"plain", separable_resize_band_plain<E>});
    return chosen;
}

template <class E>
void separable_resize(const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y, const ResizeTaps& rows,
                      const ResizeTaps& columns)
{
    const int64_t samples = rows.count() * columns.count() * planes;
    if (samples <= 0) return;
    const int threads = threads_for(samples, min_samples_per_thread);
    separable_resize_split(separable_resize_chosen<E>().resize, X, Ny, Nx, planes, Y, rows, columns, threads,
                           min_samples_per_thread);
}

template <class E>
void separable_resize_split(ResizeBand<E> variant, const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y,
                            const ResizeTaps& rows, const ResizeTaps& columns, int threads, int64_t min_samples)
{
    const int64_t ny = rows.count();
    const int64_t nx = columns.count();
    if (ny <= 0 || nx <= 0 || planes <= 0 || Ny <= 0 || Nx <= 0) return;
    const int64_t band_rows = resize_band_rows(Nx);
    const int64_t bands_per_plane = (ny + band_rows - 1) / band_rows;
    const int64_t bands = bands_per_plane * planes;
    const int parts = split_parts(bands, band_rows * nx, min_samples, threads);

    // Every part's band, taken here: a failure is reported before any thread
    // starts, and the parts themselves never allocate.
    const size_t band_doubles = static_cast<size_t>(resize_band_doubles(Nx));
    const std::unique_ptr<double[]> memory(new double[band_doubles * static_cast<size_t>(parts)]);

    const size_t in_plane = static_cast<size_t>(Ny) * static_cast<size_t>(Nx);
    const size_t out_plane = static_cast<size_t>(ny) * static_cast<size_t>(nx);
    run_parts(bands, parts, [&](int part, int64_t begin, int64_t end) noexcept {
        double* band = memory.get() + band_doubles * static_cast<size_t>(part);
        for (int64_t b = begin; b < end; ++b) {
            const int64_t plane = b / bands_per_plane;
            const int64_t first = b % bands_per_plane * band_rows;
            const int64_t last = first + band_rows < ny ? first + band_rows : ny;
            variant(X + static_cast<size_t>(plane) * in_plane, Ny, Nx, Y + static_cast<size_t>(plane) * out_plane,
                    rows, columns, first, last, band);
        }
    });
}

#define INSTANTIATE(E)                                                                                               \
    template void separable_resize<E>(const E*, int64_t, int64_t, int64_t, E*, const ResizeTaps&, const ResizeTaps&); \
    template void separable_resize_reference<E>(const E*, int64_t, int64_t, E*, const ResizeTaps&,                   \
                                                const ResizeTaps&);                                                  \
    template void separable_resize_band_plain<E>(const E*, int64_t, int64_t, E*, const ResizeTaps&,                  \
                                                 const ResizeTaps&, int64_t, int64_t, double*) noexcept;             \
    template std::vector<ResizeVariant<E>> separable_resize_variants<E>();                                           \
    template ResizeVariant<E> separable_resize_chosen<E>();                                                          \
    template void separable_resize_split<E>(ResizeBand<E>, const E*, int64_t, int64_t, int64_t, E*,                  \
                                            const ResizeTaps&, const ResizeTaps&, int, int64_t);
RESIZE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
