// separable_resize's band loop (separable_resize_band.h) built for
// AVX-512 Foundation (-mavx512f; -ffp-contract=off keeps fused operations out): the compiler
// vectorizes its loops over the rows of a band eight doubles at a time.
// The same bytes as the reference (the tests compare).
#include "image/resize/separable_resize_band.h"

template <class E>
void separable_resize_band_avx512(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows,
                                  const ResizeTaps& columns, int64_t first, int64_t end, double* band) noexcept
{
    resize_band(X, Ny, Nx, Y, rows, columns, first, end, band);
}

#define INSTANTIATE(E)                                                                                \
    template void separable_resize_band_avx512<E>(const E*, int64_t, int64_t, E*, const ResizeTaps&,  \
                                                  const ResizeTaps&, int64_t, int64_t, double*) noexcept;
RESIZE_ELEMENTS(INSTANTIATE)
#undef INSTANTIATE
