// w = linsvm_fit(X, y[, options]): the host entry of the trainer.

#include <cstdint>

#include "common/truncation.h"
#include "host/mex_host.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const y_message = "y must be (1 x N) in double format\n";

struct Options {
    double lambda = 0.01;
    double biasmult = 1.0;
    int32_t nbite = 100;
    uint32_t seed = 0;  // 0: seed from the clock
};

// Reads one option field; false when it is absent or empty (the default stays).
bool read_option(const mxArray* options, const char* name, const char* error_text, double* value)
{
    switch (host::read_scalar(host::struct_field(options, name), value)) {
    case host::ScalarValue::present:
        return true;
    case host::ScalarValue::unreadable:
        host::fail("linsvm_fit:invalidOption", error_text);
    default:
        return false;
    }
}

Options read_options(const mxArray* options, int32_t N)
{
    Options result;
    double value = 0.0;
    if (read_option(options, "lambda", "lambda must be a real number\n", &value)) {
        result.lambda = value;
        if (result.lambda < 0.0) {
            host::print("lambda >= 0, force to 1/N\n");
            result.lambda = 1.0 / N;
        }
    }
    if (read_option(options, "biasmult", "biasmult must be a real number\n", &value)) {
        result.biasmult = value;
    }
    if (read_option(options, "nbite", "nbite must be a real number\n", &value)) {
        result.nbite = truncate_to_int32(value);
        if (result.nbite <= 0) {
            host::print("nbite > 0 , force to 20*N\n");
            // 20*N saturates rather than wrapping for N above 107374182.
            const int64_t corrected = 20 * static_cast<int64_t>(N);
            result.nbite = corrected > INT32_MAX ? INT32_MAX : static_cast<int32_t>(corrected);
        }
    }
    if (read_option(options, "seed", "seed must be a real number\n", &value)) {
        result.seed = static_cast<uint32_t>(static_cast<uint64_t>(truncate_to_int64(value)));
        if (result.seed == 0) host::print("seed >= 1 , force to NULL (random seed)\n");
    }
    return result;
}

}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    if (nrhs < 1 || !host::is_real_dense_double(prhs[0])) host::fail("linsvm_fit:invalidX", x_message);
    const mxArray* X = prhs[0];
    if (host::rows(X) > INT32_MAX || host::columns(X) > INT32_MAX) host::fail("linsvm_fit:invalidX", x_message);
    const int32_t d = static_cast<int32_t>(host::rows(X));
    const int32_t N = static_cast<int32_t>(host::columns(X));

    if (nrhs < 2 || !host::is_real_dense_double(prhs[1])) host::fail("linsvm_fit:invalidY", y_message);
    const mxArray* y = prhs[1];
    // Only the column count is compared, but the labels are read as the first
    // N elements, so y must hold that many.
    if (host::columns(y) != N || host::element_count(y) < N) host::fail("linsvm_fit:invalidY", y_message);

    const Options options = (nrhs >= 3 && !host::is_empty(prhs[2])) ? read_options(prhs[2], N) : Options();

    const bool has_bias = options.biasmult > 0.0;
    plhs[0] = host::create_double_column(static_cast<int64_t>(d) + (has_bias ? 1 : 0));

    // Without examples there is nothing to draw from: no steps, the zero vector.
    const int32_t steps = N > 0 ? options.nbite : 0;

    sampler_seed(options.seed);
    fit_weights(host::double_data(X), host::double_data(y), d, N, options.lambda, options.biasmult, steps,
                host::double_data(plhs[0]));
    sampler_store();
}
