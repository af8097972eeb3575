// The separable loop shared by the vector variants of bilinear_resample,
// included by each instruction-set file (avx2, avx512bw, neon; internal
// linkage, so every file keeps its own copy built for its own target).
//
// Every output row of a column uses the same two input columns, so the
// vertical terms tl*(1-fy) + bl*fy of an input column are computed once per
// tile of output rows and shared by every output column that falls between it
// and its neighbour; the horizontal step V_left*(1-fx) + V_right*fx then
// finishes each output column. Same operations and grouping as the plain
// loop, so the same doubles.
//
// Row positions restart at 0 for every column, so one table of them per tile
// serves all columns; it is built by continuing the same repeated addition.
// Rows come in groups of eight: where the eight top and below rows of a group
// lie within a window of elements from its first top row (its width set by
// the instruction set and the element type), one load and lane shuffles fetch
// all sixteen values of an input column at once.
//
// The loop is written once, over the element type and the instruction set;
// each instruction-set file supplies a trait (Kernels below) with the pieces
// that differ: how a group's elements become doubles, and how sixteen doubles
// become elements.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "image/scale/bilinear_resample.h"

namespace {

constexpr size_t row_group = 8;
// Tiles are padded to whole pairs of groups: the levels are finished sixteen
// output rows at a time.
constexpr size_t row_pair = 2 * row_group;
// Output rows per tile, a multiple of row_pair: the longer the tile, the
// rarer the per-column costs (the loops' ends, the branch mispredictions
// there); the tables that the loops touch (about 48 bytes per row) should
// stay in L1. The whole state is about 60 KiB (Scratch below).
constexpr size_t row_tile = 1024;
constexpr size_t row_groups = row_tile / row_group;
// window_end of a group whose rows do not fit one window.
constexpr size_t no_window = static_cast<size_t>(-1);
// Bytes of a group's selection table (the largest any trait needs).
constexpr size_t select_bytes = 128;

struct RowTile {
    size_t n;          // output rows in the tile
    size_t groups;     // 2 * ceil(n / 16); rows past n repeat the tile's last row
    bool all_windows;  // every group fits a window
    size_t last_row;   // of the input
    alignas(64) double fy[row_tile];
    alignas(64) double gy[row_tile];
    size_t top[row_tile];            // the row below is min(top + 1, last_row)
    size_t first[row_groups];       // top row of the group's first output row
    size_t window_end[row_groups];  // first + the trait's window, or no_window
    // Per group, how the trait picks the eight top and eight below elements
    // out of the window at first (its own format, made by its plan_select).
    alignas(64) uint8_t select[row_groups][select_bytes];
};

// What one call works in besides its arrays: the row plan of a tile and the
// vertical terms of two input columns.
struct Scratch {
    RowTile rows;
    alignas(64) double terms[2][row_tile];
};
static_assert(sizeof(Scratch) <= sizeof(ResampleScratch), "ResampleScratch must hold a variant's Scratch");
static_assert(alignof(Scratch) <= alignof(ResampleScratch), "ResampleScratch must align a variant's Scratch");

// Kernels, one per instruction set and element type E, supplies:
//   Element                                  E
//   Vector, broadcast(double)                a vector of doubles, all lanes one value
//   Group, load(double*), store(double*, g)  eight doubles (a group's terms or levels)
//   window                                   elements a group's fetch reads from its
//                                            first top row; 0: it reads its rows alone
//   plan_select(offsets, select)             the group's selection table, from the
//                                            offsets of its eight top rows
//                                            (offsets[0]) and eight below rows
//                                            (offsets[1]) from the first, each < window
//   terms(column, rows, g)                   group g's terms top*gy + below*fy, from
//                                            its window
//   blend(left, right, gx, fx)               left*gx + right*fx
//   store_levels(out, first, second)         sixteen levels (two groups) as elements

// The next n (1 to row_tile) output rows, py continuing from the previous tile.
template <class Kernels>
void plan_rows(RowTile& rows, size_t n, double& py, double sy, size_t last_row)
{
    rows.n = n;
    rows.groups = (n + row_pair - 1) / row_pair * 2;
    rows.last_row = last_row;
    for (size_t t = 0; t < n; ++t) {
        const size_t r = static_cast<size_t>(py);
        rows.fy[t] = py - static_cast<double>(r);
        rows.gy[t] = 1.0 - rows.fy[t];
        rows.top[t] = std::min(r, last_row);
        py += sy;
    }
    for (size_t t = n; t < rows.groups * row_group; ++t) {
        rows.fy[t] = rows.fy[n - 1];
        rows.gy[t] = rows.gy[n - 1];
        rows.top[t] = rows.top[n - 1];
    }
    rows.all_windows = true;
    for (size_t g = 0; g < rows.groups; ++g) {
        const size_t t0 = g * row_group;
        // Positions never decrease, so the group's rows lie between these two.
        const size_t first = rows.top[t0];
        rows.first[g] = first;
        rows.window_end[g] = first + Kernels::window;
        if (Kernels::window == 0) continue;  // the trait reads each row's elements itself
        if (std::min(rows.top[t0 + row_group - 1] + 1, last_row) - first >= Kernels::window) {
            rows.window_end[g] = no_window;
            rows.all_windows = false;
            continue;
        }
        uint8_t offsets[2][row_group];
        for (size_t k = 0; k < row_group; ++k) {
            const size_t top = rows.top[t0 + k];
            offsets[0][k] = static_cast<uint8_t>(top - first);
            offsets[1][k] = static_cast<uint8_t>(std::min(top + 1, last_row) - first);
        }
        Kernels::plan_select(offsets, rows.select[g]);
    }
}

// One group's terms from single elements: for groups too spread out for one
// window, and near the end of the image, where a window would leave it.
template <class E>
void group_terms_scalar(const E* column, const RowTile& rows, size_t g, double* out)
{
    for (size_t t = g * row_group; t < (g + 1) * row_group; ++t) {
        const size_t top = rows.top[t];
        const size_t below = std::min(top + 1, rows.last_row);
        out[t] = static_cast<double>(column[top]) * rows.gy[t] + static_cast<double>(column[below]) * rows.fy[t];
    }
}

// Whether every group of the tile can take its window from a column with
// `available` readable elements. Windows start no earlier than those before
// them: when the last one is inside the image, all are.
inline bool windows_inside(const RowTile& rows, size_t available)
{
    return rows.all_windows && rows.window_end[rows.groups - 1] <= available;
}

// A column's terms, group by group: from its window where the window is
// inside the image, else from single elements.
template <class Kernels>
void vertical_checked(const typename Kernels::Element* column, size_t available, const RowTile& rows, double* out)
{
    for (size_t g = 0; g < rows.groups; ++g) {
        if (rows.window_end[g] > available) {
            group_terms_scalar(column, rows, g, out);
        } else {
            Kernels::store(out + g * row_group, Kernels::terms(column, rows, g));
        }
    }
}

// The terms of group g: computed from the column (and, with keep, kept) when
// it is new, else loaded.
template <class Kernels, bool fresh, bool keep>
inline typename Kernels::Group terms_of(const typename Kernels::Element* column, const RowTile& rows, size_t g, double* terms)
{
    double* at = terms + g * row_group;
    if (!fresh) return Kernels::load(at);
    const typename Kernels::Group v = Kernels::terms(column, rows, g);
    if (keep) Kernels::store(at, v);
    return v;
}

// The levels of rows 16*pair .. 16*pair+15 of one output column, into out
// (all sixteen) or, for the tile's last rows, its first `count`.
template <class Kernels, bool new_left, bool new_right, bool same, bool store>
inline void sixteen_levels(const RowTile& rows, const typename Kernels::Element* left, double* left_terms,
                    const typename Kernels::Element* right, double* right_terms, typename Kernels::Vector gx,
                    typename Kernels::Vector fx, size_t pair, typename Kernels::Element* out, size_t count)
{
    using Group = typename Kernels::Group;
    const size_t g = 2 * pair;
    const Group l0 = terms_of<Kernels, new_left, store>(left, rows, g, left_terms);
    const Group l1 = terms_of<Kernels, new_left, store>(left, rows, g + 1, left_terms);
    const Group r0 = same ? l0 : terms_of<Kernels, new_right, store>(right, rows, g, right_terms);
    const Group r1 = same ? l1 : terms_of<Kernels, new_right, store>(right, rows, g + 1, right_terms);
    const Group first = Kernels::blend(l0, r0, gx, fx);
    const Group second = Kernels::blend(l1, r1, gx, fx);
    if (count == row_pair) {
        Kernels::store_levels(out, first, second);
    } else {
        // Unaligned stores only: Windows aligns the stack to 16 bytes.
        typename Kernels::Element all[row_pair];
        Kernels::store_levels(all, first, second);
        std::memcpy(out, all, count * sizeof all[0]);
    }
}

// The levels of one output column of the tile. store: keep new terms for the
// next output columns.
template <class Kernels, bool new_left, bool new_right, bool same, bool store>
void levels(const RowTile& rows, const typename Kernels::Element* left, double* left_terms,
            const typename Kernels::Element* right, double* right_terms, double gx, double fx,
            typename Kernels::Element* out)
{
    const typename Kernels::Vector vgx = Kernels::broadcast(gx);
    const typename Kernels::Vector vfx = Kernels::broadcast(fx);
    const size_t whole = rows.n / row_pair;
    for (size_t pair = 0; pair < whole; ++pair) {
        sixteen_levels<Kernels, new_left, new_right, same, store>(rows, left, left_terms, right, right_terms, vgx,
                                                                  vfx, pair, out + pair * row_pair, row_pair);
    }
    const size_t rest = rows.n - whole * row_pair;
    if (rest != 0) {
        // The tile's rows are padded to whole pairs; only the column's rows are written.
        sixteen_levels<Kernels, new_left, new_right, same, store>(rows, left, left_terms, right, right_terms, vgx,
                                                                  vfx, whole, out + whole * row_pair, rest);
    }
}

// One output column of the tile, its terms and levels in one pass: the terms
// of a new input column are kept (for the next output columns) and used at
// once, so one loop, with one mispredicted exit, runs per column and tile.
// left (right) is the input column whose terms are to be computed into
// left_terms (right_terms), or null when those already hold them; each has
// the given number of readable elements. same: both neighbours are one column
// (the right terms are the left ones). keep: some new terms are needed by the
// next output column; when false, they need not be stored.
template <class Kernels>
void resample_column(const RowTile& rows, const typename Kernels::Element* left, size_t left_available,
                     double* left_terms, const typename Kernels::Element* right, size_t right_available,
                     double* right_terms, bool same, bool keep, double gx, double fx, typename Kernels::Element* out)
{
    if (left != nullptr && !windows_inside(rows, left_available)) {
        vertical_checked<Kernels>(left, left_available, rows, left_terms);
        left = nullptr;
    }
    if (right != nullptr && !windows_inside(rows, right_available)) {
        vertical_checked<Kernels>(right, right_available, rows, right_terms);
        right = nullptr;
    }
    if (same) {
        if (left != nullptr) {
            levels<Kernels, true, false, true, true>(rows, left, left_terms, nullptr, left_terms, gx, fx, out);
        } else {
            levels<Kernels, false, false, true, true>(rows, nullptr, left_terms, nullptr, left_terms, gx, fx, out);
        }
    } else if (left != nullptr) {
        if (right != nullptr && !keep) {
            levels<Kernels, true, true, false, false>(rows, left, left_terms, right, right_terms, gx, fx, out);
        } else if (right != nullptr) {
            levels<Kernels, true, true, false, true>(rows, left, left_terms, right, right_terms, gx, fx, out);
        } else {
            levels<Kernels, true, false, false, true>(rows, left, left_terms, nullptr, right_terms, gx, fx, out);
        }
    } else if (right != nullptr) {
        levels<Kernels, false, true, false, true>(rows, nullptr, left_terms, right, right_terms, gx, fx, out);
    } else {
        levels<Kernels, false, false, false, true>(rows, nullptr, left_terms, nullptr, right_terms, gx, fx, out);
    }
}

// Output columns span.first .. span.end - 1 of one plane, in the caller's
// working memory.
template <class Kernels>
void resample_tiled(const typename Kernels::Element* X, int64_t Ny, int64_t Nx, typename Kernels::Element* Y,
                    int64_t ny, int64_t nx, ColumnSpan span, ResampleScratch* working) noexcept
{
    using E = typename Kernels::Element;
    if (ny <= 0 || nx <= 0 || span.first >= span.end) return;

    const double sy = resample_step(Ny, ny);
    const double sx = resample_step(Nx, nx);
    const size_t in_rows = static_cast<size_t>(Ny);
    const size_t in_elements = in_rows * static_cast<size_t>(Nx);
    const size_t last_row = static_cast<size_t>(Ny - 1);
    const size_t last_column = static_cast<size_t>(Nx - 1);
    const size_t out_rows = static_cast<size_t>(ny);
    const size_t first_column = static_cast<size_t>(span.first);
    const size_t end_column = static_cast<size_t>(span.end);
    const size_t none = static_cast<size_t>(-1);

    // The caller's memory, not the stack: a thread started for one part of a
    // call gets stack pages the system hands out afresh, and faulting in some
    // 60 KiB of them can cost more than a small part's work.
    Scratch* scratch = new (working->bytes) Scratch;
    RowTile& rows = scratch->rows;
    double(&terms)[2][row_tile] = scratch->terms;

    // Tiles of nearly equal height (multiples of 16), so no short last tile
    // pays the per-column costs for a few rows.
    const size_t tiles = (out_rows + row_tile - 1) / row_tile;
    const size_t height = ((out_rows + tiles - 1) / tiles + row_pair - 1) / row_pair * row_pair;

    double py = 0.0;
    for (size_t j0 = 0; j0 < out_rows; j0 += height) {
        const size_t n = std::min(height, out_rows - j0);
        plan_rows<Kernels>(rows, n, py, sy, last_row);

        double* left_terms = terms[0];
        double* right_terms = terms[1];
        size_t left_column = none;
        size_t right_column = none;
        double px = span.px;
        for (size_t i = first_column; i < end_column; ++i) {
            const size_t c = static_cast<size_t>(px);
            const double fx = px - static_cast<double>(c);
            const double gx = 1.0 - fx;
            const size_t cl = std::min(c, last_column);
            const size_t cr = std::min(c + 1, last_column);
            const E* new_left = nullptr;
            const E* new_right = nullptr;
            if (cl != left_column) {
                if (cl == right_column) {
                    std::swap(left_terms, right_terms);
                    std::swap(left_column, right_column);
                } else {
                    new_left = X + cl * in_rows;
                    left_column = cl;
                }
            }
            const bool same = cr == cl;
            if (!same && cr != right_column) {
                new_right = X + cr * in_rows;
                right_column = cr;
            }
            // The next output column's neighbours (the same sum as below).
            const size_t next = static_cast<size_t>(px + sx);
            const size_t next_left = std::min(next, last_column);
            const size_t next_right = std::min(next + 1, last_column);
            const bool more = i + 1 < end_column;
            const bool keep_left = more && (next_left == cl || next_right == cl);
            const bool keep_right = more && (next_left == cr || next_right == cr);
            const bool keep = (new_left != nullptr && keep_left) || (new_right != nullptr && keep_right);
            resample_column<Kernels>(rows, new_left, in_elements - cl * in_rows, left_terms, new_right,
                                     in_elements - cr * in_rows, right_terms, same, keep, gx, fx,
                                     Y + i * out_rows + j0);
            if (!keep) {
                // Unstored terms are not at hand (downscaling skips columns).
                if (new_left != nullptr) left_column = none;
                if (new_right != nullptr) right_column = none;
            }
            px += sx;
        }
    }
}

}  // namespace

// Explicit instantiation of a variant's function for element type E; each
// instruction-set file applies it to BILINEAR_RESAMPLE_ELEMENTS.
#define BILINEAR_RESAMPLE_COLUMNS_INSTANCE(function, E)                                                       \
    template void function<E>(const E*, int64_t, int64_t, E*, int64_t, int64_t, ColumnSpan, ResampleScratch*) \
        noexcept;
