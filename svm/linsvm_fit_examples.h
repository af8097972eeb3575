// X and y of linsvm_fit as the entry reads them from the host, checked.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "svm/sparse_examples.h"

// X as the kernels read it: dense doubles or singles, or sparse doubles or
// logicals.
struct Examples {
    enum class Kind { dense_double, dense_single, sparse_double, sparse_logical } kind = Kind::dense_double;
    host::Value array;

    // Calls kernel(X) with X in the kernel's form.
    template <class Kernel>
    auto run(const Kernel& kernel) const
    {
        switch (kind) {
        case Kind::dense_single:
            return kernel(host::single_data(array));
        case Kind::sparse_double:
            return kernel(SparseExamples<double>{host::double_data(array), host::sparse_rows(array),
                                                 host::sparse_starts(array)});
        case Kind::sparse_logical:
            return kernel(SparseExamples<bool>{host::element_data<bool>(array), host::sparse_rows(array),
                                               host::sparse_starts(array)});
        default:
            return kernel(host::double_data(array));
        }
    }
};

// Reads X (argument 0): which form it has, refused with the module's error
// when it has none the kernels read.
Examples read_examples(host::Call& call);

// Reads y (argument 1): the labels of the N examples.
const double* read_labels(host::Call& call, int32_t N);
