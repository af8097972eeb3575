// w = linsvm_fit(X, y[, options]): the host entry of the trainer.

#include <cstdint>

#include "host/mex_host.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const y_message = "y must be (1 x N) in double format\n";

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

// Fields are read in this order, so corrections are reported lambda, nbite, seed.
TrainerOptions read_options(const mxArray* options, int32_t N)
{
    TrainerOptions result;
    double value = 0.0;
    if (read_option(options, "lambda", "lambda must be a real number\n", &value) && set_lambda(result, value, N)) {
        host::print("lambda >= 0, force to 1/N\n");
    }
    if (read_option(options, "biasmult", "biasmult must be a real number\n", &value)) {
        result.biasmult = value;
    }
    if (read_option(options, "nbite", "nbite must be a real number\n", &value) && set_nbite(result, value, N)) {
        host::print("nbite > 0 , force to 20*N\n");
    }
    if (read_option(options, "seed", "seed must be a real number\n", &value) && set_seed(result, value)) {
        host::print("seed >= 1 , force to NULL (random seed)\n");
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

    const TrainerOptions options =
        (nrhs >= 3 && !host::is_empty(prhs[2])) ? read_options(prhs[2], N) : TrainerOptions();

    const bool has_bias = options.biasmult > 0.0;
    plhs[0] = host::create_double_column(static_cast<int64_t>(d) + (has_bias ? 1 : 0));

    sampler_seed(options.seed);
    // Without examples there is nothing to draw from: no steps, and the
    // zero-filled result is the answer (not touched, so a huge d costs nothing).
    if (N > 0) {
        fit_weights(host::double_data(X), host::double_data(y), d, N, options.lambda, options.biasmult, options.nbite,
                    host::double_data(plhs[0]));
    }
    sampler_store();
}
