#include "svm/linsvm_fit_examples.h"

#include <cstdint>

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const complex_x_message =
    "X must be real: complex X (dense or sparse) is not accepted; pass real(X), or split real and imaginary parts "
    "into features\n";
const char* const damaged_x_message =
    "X is a sparse matrix whose structure is damaged (row indices out of range or column offsets out of order)\n";

const char* const y_message = "y must be (1 x N) in double format\n";

}  // namespace

Examples read_examples(host::Call& call)
{
    if (call.argument_count() < 1) host::fail("linsvm_fit:invalidX", x_message);
    Examples x;
    x.array = call.argument(0);
    if (host::is_complex(x.array)) host::fail("linsvm_fit:invalidX", complex_x_message);
    if (host::is_sparse(x.array)) {
        x.kind = host::is_logical(x.array) ? Examples::Kind::sparse_logical : Examples::Kind::sparse_double;
    } else if (host::is_real_dense_single(x.array)) {
        x.kind = Examples::Kind::dense_single;
    } else if (!host::is_real_dense_double(x.array)) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    if (host::rows(x.array) > INT32_MAX || host::columns(x.array) > INT32_MAX) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    if (x.kind == Examples::Kind::sparse_double || x.kind == Examples::Kind::sparse_logical) {
        const int32_t d = static_cast<int32_t>(host::rows(x.array));
        const int32_t N = static_cast<int32_t>(host::columns(x.array));
        const int64_t* starts = host::sparse_starts(x.array);
        if (starts == nullptr || starts[N] > host::sparse_capacity(x.array) ||
            !sparse_structure_valid(host::sparse_rows(x.array), starts, d, N)) {
            host::fail("linsvm_fit:invalidX", damaged_x_message);
        }
    }
    return x;
}

const double* read_labels(host::Call& call, int32_t N)
{
    if (call.argument_count() < 2 || !host::is_real_dense_double(call.argument(1))) {
        host::fail("linsvm_fit:invalidY", y_message);
    }
    const host::Value y = call.argument(1);
    // Only the column count is compared, but the labels are read as the first
    // N elements, so y must hold that many.
    if (host::columns(y) != N || host::element_count(y) < N) host::fail("linsvm_fit:invalidY", y_message);
    return host::double_data(y);
}
