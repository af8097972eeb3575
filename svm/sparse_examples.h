// Examples held sparse, column by column, as Octave and MATLAB store a sparse
// matrix: the non-zeros of example j are values[k] at feature rows[k], for k
// in starts[j] .. starts[j+1]-1. Values are doubles, or bools (a logical
// matrix) read as 0 and 1.
#pragma once

#include <cstdint>

template <class Value>
struct SparseExamples {
    const Value* values = nullptr;
    const int64_t* rows = nullptr;
    const int64_t* starts = nullptr;  // N + 1 offsets
};

// Whether the structure may be read as examples of d features: starts[0] is
// 0, the offsets never decrease, and every row index lies in 0 .. d-1 (the
// hosts keep them so; this is the check that nothing is read out of bounds
// should a caller hand over something else). Reads starts[0 .. N] and
// rows[0 .. starts[N]-1].
bool sparse_structure_valid(const int64_t* rows, const int64_t* starts, int32_t d, int32_t N) noexcept;
