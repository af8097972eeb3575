// The band loop of separable_resize, written once and included by each file
// that builds it for an instruction set: separable_resize.cpp (the baseline),
// separable_resize_avx2.cpp (-mavx2, no FMA) and separable_resize_avx512.cpp
// (-mavx512f). The compiler vectorizes the loops over the rows of a band for
// each target; every element's operations and their order are the same as
// in separable_resize_reference, so every build gives the same bytes (the
// tests compare them). Internal linkage: each file keeps its own copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "image/resize/resize_element.h"
#include "image/resize/separable_resize.h"

namespace {

// Input columns the first pass works on at once: each tap's index and weight
// are then read once for all of them, and their sums are independent chains.
constexpr int64_t columns_at_once = 4;

// A dimension where every output takes one input with weight 1 (nearest, or
// the same size at scale 1).
inline bool unit_taps(const ResizeTaps& taps)
{
    return taps.index.size() == static_cast<size_t>(taps.count()) &&
           taps.first.back() == static_cast<int64_t>(taps.index.size());
}

// resize_element(double(x)) when every weight is 1: 1 * x is x, so integers
// and logical values pass unchanged and floats only lose their NaN payloads.
template <class E>
inline E unit_element(E x)
{
    if constexpr (std::is_floating_point_v<E>) {
        return x != x ? resample_nan<E>() : x;
    } else {
        return x;
    }
}

template <class E>
void resize_band(const E* X, int64_t Ny, int64_t Nx, E* Y, const ResizeTaps& rows, const ResizeTaps& columns,
                 int64_t first, int64_t end, double* band) noexcept
{
    const int64_t ny = rows.count();
    const int64_t nx = columns.count();
    const int64_t height = end - first;
    const size_t in_rows = static_cast<size_t>(Ny);
    const int64_t* row_index = rows.index.data();
    const double* row_weight = rows.weight.data();
    const int64_t* row_first = rows.first.data();
    const int64_t* column_index = columns.index.data();
    const double* column_weight = columns.weight.data();
    const int64_t* column_first = columns.first.data();

    // Both dimensions of one tap of weight 1: the value is the input element.
    if (unit_taps(rows) && unit_taps(columns)) {
        for (int64_t i = 0; i < nx; ++i) {
            const E* column = X + static_cast<size_t>(column_index[i]) * in_rows;
            E* out = Y + static_cast<size_t>(i) * static_cast<size_t>(ny) + static_cast<size_t>(first);
            for (int64_t j = 0; j < height; ++j) out[j] = unit_element(column[row_index[first + j]]);
        }
        return;
    }

    // The band's intermediate, column-major (height x Nx), then one output
    // column's sums.
    double* middle = band;
    double* sums = band + static_cast<size_t>(height) * static_cast<size_t>(Nx);
    int64_t c = 0;
    for (; c + columns_at_once <= Nx; c += columns_at_once) {
        const E* in0 = X + static_cast<size_t>(c) * in_rows;
        const E* in1 = in0 + in_rows;
        const E* in2 = in1 + in_rows;
        const E* in3 = in2 + in_rows;
        double* out = middle + static_cast<size_t>(c) * static_cast<size_t>(height);
        for (int64_t j = 0; j < height; ++j) {
            int64_t t = row_first[first + j];
            const int64_t last = row_first[first + j + 1];
            const double w = row_weight[t];
            const int64_t r = row_index[t];
            double v0 = w * static_cast<double>(in0[r]);
            double v1 = w * static_cast<double>(in1[r]);
            double v2 = w * static_cast<double>(in2[r]);
            double v3 = w * static_cast<double>(in3[r]);
            for (++t; t < last; ++t) {
                const double wt = row_weight[t];
                const int64_t rt = row_index[t];
                v0 = v0 + wt * static_cast<double>(in0[rt]);
                v1 = v1 + wt * static_cast<double>(in1[rt]);
                v2 = v2 + wt * static_cast<double>(in2[rt]);
                v3 = v3 + wt * static_cast<double>(in3[rt]);
            }
            out[j] = v0;
            out[j + height] = v1;
            out[j + 2 * height] = v2;
            out[j + 3 * height] = v3;
        }
    }
    for (; c < Nx; ++c) {
        const E* in = X + static_cast<size_t>(c) * in_rows;
        double* out = middle + static_cast<size_t>(c) * static_cast<size_t>(height);
        for (int64_t j = 0; j < height; ++j) {
            int64_t t = row_first[first + j];
            const int64_t last = row_first[first + j + 1];
            double v = row_weight[t] * static_cast<double>(in[row_index[t]]);
            for (++t; t < last; ++t) v = v + row_weight[t] * static_cast<double>(in[row_index[t]]);
            out[j] = v;
        }
    }

    for (int64_t i = 0; i < nx; ++i) {
        int64_t t = column_first[i];
        const int64_t last = column_first[i + 1];
        // The same sum as the reference's, a whole column of the band at a time.
        const double* source = middle + static_cast<size_t>(column_index[t]) * static_cast<size_t>(height);
        const double w0 = column_weight[t];
        for (int64_t j = 0; j < height; ++j) sums[j] = w0 * source[j];
        for (++t; t < last; ++t) {
            source = middle + static_cast<size_t>(column_index[t]) * static_cast<size_t>(height);
            const double w = column_weight[t];
            for (int64_t j = 0; j < height; ++j) sums[j] = sums[j] + w * source[j];
        }
        E* out = Y + static_cast<size_t>(i) * static_cast<size_t>(ny) + static_cast<size_t>(first);
        resize_elements(sums, out, height);
    }
}

}  // namespace
