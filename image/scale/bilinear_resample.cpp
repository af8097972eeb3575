#include "image/scale/bilinear_resample.h"

#include <algorithm>
#include <cstddef>
#include <memory>

#include "common/cpu_features.h"
#include "common/parallel.h"
#include "common/variant_choice.h"
#include "image/scale/resample_element.h"

namespace {

// Below this many output samples per thread, starting a thread costs more
// than it saves. Measured with make bench on a 2-core virtual machine
// (starting and joining a thread about 30 us, about 0.2 ns a sample on one
// thread): two threads lose at 0.5 M samples (0.92x) and win at 1 M (1.22x).
// The wider element types take longer per sample, so the 8-bit threshold
// splits none of them too early.
constexpr int64_t min_samples_per_thread = int64_t{3} << 17;

}  // namespace

template <class E>
ResampleVariant<E> bilinear_resample_chosen()
{
    static const ResampleVariant<E> chosen =
        fastest_or_plain(bilinear_resample_variants<E>(), ResampleVariant<E>{"plain", bilinear_resample_columns_plain<E>});
    return chosen;
}

template <class E>
void bilinear_resample(const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y, int64_t ny, int64_t nx)
{
    if (ny <= 0 || nx <= 0 || planes <= 0) return;
    const int threads = threads_for(ny * nx * planes, min_samples_per_thread);
    bilinear_resample_split(bilinear_resample_chosen<E>().resample, X, Ny, Nx, planes, Y, ny, nx, threads,
                            min_samples_per_thread);
}

template <class E>
void bilinear_resample_split(ResampleColumns<E> variant, const E* X, int64_t Ny, int64_t Nx, int64_t planes, E* Y,
                             int64_t ny, int64_t nx, int threads, int64_t min_samples)
{
    if (ny <= 0 || nx <= 0 || planes <= 0) return;
    const int64_t columns = planes * nx;  // the output columns of all planes, plane after plane
    const int parts = split_parts(columns, ny, min_samples, threads);

    // Each part starts at some column of some plane; its position is the sum
    // of the steps before it, formed here by the same repeated addition as in
    // the loops (never as index times step), in one pass up the columns.
    double start_px[max_threads];
    start_px[0] = 0.0;
    if (parts > 1) {
        int64_t start_column[max_threads];
        int by_column[max_threads];
        for (int k = 0; k < parts; ++k) {
            start_column[k] = part_begin(columns, parts, k) % nx;
            by_column[k] = k;
        }
        std::sort(by_column, by_column + parts, [&](int a, int b) { return start_column[a] < start_column[b]; });
        const double sx = resample_step(Nx, nx);
        double px = 0.0;
        int64_t at = 0;
        for (int k = 0; k < parts; ++k) {
            for (; at < start_column[by_column[k]]; ++at) px += sx;
            start_px[by_column[k]] = px;
        }
    }

    // Every part's working memory, taken here: a failure is reported before
    // any thread starts, and the parts themselves never allocate.
    const std::unique_ptr<ResampleScratch[]> scratch(new ResampleScratch[static_cast<size_t>(parts)]);

    const size_t in_plane = static_cast<size_t>(Ny) * static_cast<size_t>(Nx);
    const size_t out_plane = static_cast<size_t>(ny) * static_cast<size_t>(nx);
    run_parts(columns, parts, [&](int part, int64_t begin, int64_t end) noexcept {
        for (int64_t plane = begin / nx; plane * nx < end; ++plane) {
            const int64_t first = std::max(begin - plane * nx, int64_t{0});
            const int64_t last = std::min(end - plane * nx, nx);
            const double first_px = first == 0 ? 0.0 : start_px[part];
            variant(X + static_cast<size_t>(plane) * in_plane, Ny, Nx, Y + static_cast<size_t>(plane) * out_plane, ny,
                    nx, ColumnSpan{first, last, first_px}, &scratch[static_cast<size_t>(part)]);
        }
    });
}

template <class E>
std::vector<ResampleVariant<E>> bilinear_resample_variants()
{
    std::vector<ResampleVariant<E>> variants;
#if defined(KERNELS_HAVE_X86_64)
    if (cpu_has_avx512bw()) variants.push_back({"avx512bw", bilinear_resample_columns_avx512bw<E>});
    if (cpu_has_avx2()) variants.push_back({"avx2", bilinear_resample_columns_avx2<E>});
#elif defined(KERNELS_HAVE_NEON)
    variants.push_back({"neon", bilinear_resample_columns_neon<E>});
#endif
    return variants;
}

template <class E>
void bilinear_resample_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx)
{
    bilinear_resample_columns_plain(X, Ny, Nx, Y, ny, nx, ColumnSpan{0, nx, 0.0}, nullptr);
}

template <class E>
void bilinear_resample_columns_plain(const E* X, int64_t Ny, int64_t Nx, E* Y, int64_t ny, int64_t nx,
                                     ColumnSpan span, ResampleScratch*) noexcept
{
    if (ny <= 0 || nx <= 0) return;

    const double sy = resample_step(Ny, ny);
    const double sx = resample_step(Nx, nx);

    // Offsets in size_t: images of 2^31 elements or more are addressed correctly.
    const size_t in_rows = static_cast<size_t>(Ny);
    const size_t last_row = static_cast<size_t>(Ny - 1);
    const size_t last_column = static_cast<size_t>(Nx - 1);
    const size_t out_rows = static_cast<size_t>(ny);

    // Positions are summed step by step, never formed as index times step:
    // the sum's rounding decides where truncation lands.
    double px = span.px;
    for (size_t i = static_cast<size_t>(span.first); i < static_cast<size_t>(span.end); ++i) {
        // Positions are never negative, so truncation is floor.
        const size_t c = static_cast<size_t>(px);
        const double fx = px - static_cast<double>(c);
        const double gx = 1.0 - fx;
        const E* left = X + std::min(c, last_column) * in_rows;
        const E* right = X + std::min(c + 1, last_column) * in_rows;
        E* out = Y + i * out_rows;

        double py = 0.0;
        for (size_t j = 0; j < out_rows; ++j) {
            const size_t r = static_cast<size_t>(py);
            const double fy = py - static_cast<double>(r);
            const double gy = 1.0 - fy;
            const size_t top = std::min(r, last_row);
            const size_t below = std::min(r + 1, last_row);

            const double tl = static_cast<double>(left[top]);
            const double bl = static_cast<double>(left[below]);
            const double tr = static_cast<double>(right[top]);
            const double br = static_cast<double>(right[below]);
            // This grouping, without fused multiply-add, defines the result.
            const double v = (tl * gy + bl * fy) * gx + (tr * gy + br * fy) * fx;
            out[j] = resample_element<E>(v);

            py += sy;
        }
        px += sx;
    }
}

#define INSTANTIATE(E)                                                                                              \
    template ResampleVariant<E> bilinear_resample_chosen<E>();                                                      \
    template void bilinear_resample<E>(const E*, int64_t, int64_t, int64_t, E*, int64_t, int64_t);                 \
    template void bilinear_resample_split<E>(ResampleColumns<E>, const E*, int64_t, int64_t, int64_t, E*, int64_t, \
                                             int64_t, int, int64_t);                                                \
    template std::vector<ResampleVariant<E>> bilinear_resample_variants<E>();                                       \
    template void bilinear_resample_plain<E>(const E*, int64_t, int64_t, E*, int64_t, int64_t);                     \
    template void bilinear_resample_columns_plain<E>(const E*, int64_t, int64_t, E*, int64_t, int64_t, ColumnSpan,  \
                                                     ResampleScratch*) noexcept;
BILINEAR_RESAMPLE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
