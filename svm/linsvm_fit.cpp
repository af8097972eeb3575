// w = linsvm_fit(X, y[, options]): the host entry of the trainer.
//
// options is a structure with any of the fields lambda, biasmult, nbite and
// seed, or, when the third argument is text, name/value pairs from the third
// argument on (names case-insensitive, a later pair overriding an earlier).

#include <cstdint>
#include <cstdio>

#include "host/mex_host.h"
#include "svm/fit_weights.h"
#include "svm/labels.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const y_message = "y must be (1 x N) in double format\n";
const char* const option_names[] = {"lambda", "biasmult", "nbite", "seed"};

// Option messages quote at most this many characters of a name.
constexpr int name_length = 63;

// Formats an option error (no heap: the host's error may unwind without
// running destructors) and raises it.
template <class... Args>
[[noreturn]] void fail_option(const char* format, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    host::fail("linsvm_fit:invalidOption", text);
}

// Where the options come from: the fields of element 0 of a structure, or
// name/value pairs. Either way each option is a value or null (absent).
class OptionSource {
public:
    OptionSource(int nrhs, const mxArray* prhs[])
    {
        if (nrhs < 3 || host::is_empty(prhs[2])) return;
        if (!host::is_text(prhs[2])) {
            // Not a structure either: struct_field finds nothing, the defaults hold.
            for (int k = 0; k < 4; ++k) values_[k] = host::struct_field(prhs[2], option_names[k]);
            return;
        }
        for (int i = 2; i < nrhs; i += 2) {
            if (!host::is_text(prhs[i])) fail_option("option name at argument %d must be text\n", i + 1);
            char name[name_length + 1];
            host::copy_text(prhs[i], name, sizeof name);
            const int k = option_index(name);
            if (k < 0) fail_option("unknown option '%s' (lambda, biasmult, nbite or seed)\n", name);
            if (i + 1 >= nrhs) fail_option("option '%s' has no value\n", name);
            values_[k] = prhs[i + 1];
        }
    }

    const mxArray* value(int k) const { return values_[k]; }

private:
    // The option a name means, ignoring case; -1 for none.
    static int option_index(const char* name)
    {
        for (int k = 0; k < 4; ++k) {
            const char* option = option_names[k];
            size_t c = 0;
            for (; name[c] != '\0' && option[c] != '\0'; ++c) {
                const char lower = name[c] >= 'A' && name[c] <= 'Z' ? static_cast<char>(name[c] - 'A' + 'a') : name[c];
                if (lower != option[c]) break;
            }
            if (name[c] == '\0' && option[c] == '\0') return k;
        }
        return -1;
    }

    const mxArray* values_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// Reads option k; false when it is absent or empty (the default stays).
bool read_option(const OptionSource& source, int k, double* value)
{
    switch (host::read_scalar(source.value(k), value)) {
    case host::ScalarValue::present:
        return true;
    case host::ScalarValue::unreadable:
        fail_option("%s must be a real number\n", option_names[k]);
    default:
        return false;
    }
}

// Every value is checked before anything is printed; then the options are
// applied in this order, so corrections are reported lambda, nbite, seed.
TrainerOptions read_options(const OptionSource& source, int32_t N)
{
    double values[4];
    bool given[4];
    for (int k = 0; k < 4; ++k) given[k] = read_option(source, k, &values[k]);

    TrainerOptions result;
    if (given[0] && set_lambda(result, values[0], N)) host::print("lambda >= 0, force to 1/N\n");
    if (given[1]) result.biasmult = values[1];
    if (given[2] && set_nbite(result, values[2], N)) host::print("nbite > 0 , force to 20*N\n");
    if (given[3] && set_seed(result, values[3])) host::print("seed >= 1 , force to NULL (random seed)\n");
    return result;
}

}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    if (nrhs < 1 || !(host::is_real_dense_double(prhs[0]) || host::is_real_dense_single(prhs[0]))) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    const mxArray* X = prhs[0];
    if (host::rows(X) > INT32_MAX || host::columns(X) > INT32_MAX) host::fail("linsvm_fit:invalidX", x_message);
    const int32_t d = static_cast<int32_t>(host::rows(X));
    const int32_t N = static_cast<int32_t>(host::columns(X));

    if (nrhs < 2 || !host::is_real_dense_double(prhs[1])) host::fail("linsvm_fit:invalidY", y_message);
    const mxArray* y = prhs[1];
    // Only the column count is compared, but the labels are read as the first
    // N elements, so y must hold that many.
    if (host::columns(y) != N || host::element_count(y) < N) host::fail("linsvm_fit:invalidY", y_message);

    const TrainerOptions options = read_options(OptionSource(nrhs, prhs), N);

    // Labels other than -1 and +1 (0/1 labels, say) train a worse model without
    // failing: say so, through a warning the caller can turn off.
    const int64_t unusual = count_unusual_labels(host::double_data(y), N);
    if (unusual > 0) {
        char text[160];
        std::snprintf(text, sizeof text, "%lld of the %lld labels are not -1 or +1 after truncation toward zero\n",
                      static_cast<long long>(unusual), static_cast<long long>(N));
        host::warn("linsvm_fit:unusualLabels", text);
    }

    const bool has_bias = options.biasmult > 0.0;
    plhs[0] = host::create_double_column(static_cast<int64_t>(d) + (has_bias ? 1 : 0));

    sampler_seed(options.seed);
    // Without examples there is nothing to draw from: no steps, and the
    // zero-filled result is the answer (not touched, so a huge d costs nothing).
    if (N > 0) {
        double* W = host::double_data(plhs[0]);
        const double* labels = host::double_data(y);
        if (host::is_real_dense_single(X)) {
            fit_weights(host::single_data(X), labels, d, N, options.lambda, options.biasmult, options.nbite, W);
        } else {
            fit_weights(host::double_data(X), labels, d, N, options.lambda, options.biasmult, options.nbite, W);
        }
    }
    sampler_store();
}
