// [w, info] = linsvm_fit(X, y[, options]): the host entry of the trainer.
//
// options is a structure with any of the option fields, or, when the third
// argument is text, name/value pairs from the third argument on (names
// case-insensitive, a later pair overriding an earlier).

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/host.h"
#include "svm/fit_weights.h"
#include "common/parallel.h"
#include "svm/label_reading.h"
#include "svm/classes_and_folds.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"
#include "svm/model_scores.h"

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const complex_x_message =
    "X must be real: complex X (dense or sparse) is not accepted; pass real(X), or split real and imaginary parts "
    "into features\n";
const char* const damaged_x_message =
    "X is a sparse matrix whose structure is damaged (row indices out of range or column offsets out of order)\n";

// X as the kernels read it: dense doubles or singles, or sparse doubles or
// logicals.
struct Examples {
    enum Kind { dense_double, dense_single, sparse_double, sparse_logical } kind = dense_double;
    host::Value array;

    // Calls kernel(X) with X in the kernel's form.
    template <class Kernel>
    auto run(const Kernel& kernel) const
    {
        switch (kind) {
        case dense_single:
            return kernel(host::single_data(array));
        case sparse_double:
            return kernel(SparseExamples<double>{host::double_data(array), host::sparse_rows(array),
                                                 host::sparse_starts(array)});
        case sparse_logical:
            return kernel(SparseExamples<bool>{host::element_data<bool>(array), host::sparse_rows(array),
                                               host::sparse_starts(array)});
        default:
            return kernel(host::double_data(array));
        }
    }
};

// Reads X (argument 0): which form it has, refused with the module's error
// when it has none the kernels read.
Examples read_examples(host::Call& call)
{
    if (call.argument_count() < 1) host::fail("linsvm_fit:invalidX", x_message);
    Examples x;
    x.array = call.argument(0);
    if (host::is_complex(x.array)) host::fail("linsvm_fit:invalidX", complex_x_message);
    if (host::is_sparse(x.array)) {
        x.kind = host::is_logical(x.array) ? Examples::sparse_logical : Examples::sparse_double;
    } else if (host::is_real_dense_single(x.array)) {
        x.kind = Examples::dense_single;
    } else if (!host::is_real_dense_double(x.array)) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    if (host::rows(x.array) > INT32_MAX || host::columns(x.array) > INT32_MAX) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    if (x.kind == Examples::sparse_double || x.kind == Examples::sparse_logical) {
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
const char* const y_message = "y must be (1 x N) in double format\n";

enum Option {
    lambda,
    C,
    biasmult,
    nbite,
    seed,
    weights,
    w0,
    startstep,
    verbose,
    interrupt,
    classes,
    folds,
    average,
    option_count
};
const char* const option_names[option_count] = {"lambda",    "C",       "biasmult", "nbite",  "seed",
                                                "weights",   "w0",      "startstep", "verbose", "interrupt",
                                                "classes",   "folds",   "average"};

// Option messages quote at most this many characters of a name.
constexpr int name_length = 63;

using host::Message;

// "lambda, biasmult, ... or interrupt", for the messages that list the options.
const char* option_list()
{
    static const struct List {
        char text[200] = {};
        List()
        {
            size_t at = 0;
            for (int k = 0; k < option_count; ++k) {
                const char* separator = k == 0 ? "" : k + 1 == option_count ? " or " : ", ";
                at += static_cast<size_t>(
                    std::snprintf(text + at, sizeof text - at, "%s%s", separator, option_names[k]));
            }
        }
    } list;
    return list.text;
}

template <class... Args>
[[noreturn]] void fail_option(const char* format, Args... args)
{
    host::fail("linsvm_fit:invalidOption", Message(format, args...).text);
}

// The option a name means, ignoring case; -1 for none.
int option_index(const char* name)
{
    for (int k = 0; k < option_count; ++k) {
        if (host::equal_ignoring_case(name, option_names[k])) return k;
    }
    return -1;
}

// Where the options come from: the fields of element 0 of a structure, or
// name/value pairs. Either way each option is a value or null (absent).
// Structure fields are matched exactly, pair names ignoring case.
class OptionSource {
public:
    explicit OptionSource(const host::Call& call)
    {
        const int nrhs = call.argument_count();
        if (nrhs < 3) return;
        const host::Value third = call.argument(2);
        // An empty options argument keeps the defaults.
        if (nrhs == 3 && host::is_empty(third)) return;
        if (host::is_text(third)) {
            read_pairs(call);
            return;
        }
        if (nrhs > 3) {
            host::fail("linsvm_fit:tooManyArguments",
                       Message("too many arguments (%d): options are one structure, or name/value pairs from the third "
                            "argument on\n",
                            nrhs)
                           .text);
        }
        if (!host::is_structure(third)) {
            ignored_argument_ = true;
            return;
        }
        structure_ = third;
        for (int k = 0; k < option_count; ++k) values_[k] = host::struct_field(third, option_names[k]);
    }

    // The value of option k; absent when it is absent or empty (the default stays).
    host::Value value(int k) const
    {
        return host::present(values_[k]) && !host::is_empty(values_[k]) ? values_[k] : host::Value();
    }

    // Warns of what the options argument holds that no option reads: a third
    // argument that is neither a structure nor text, and structure fields
    // that are not options. Called once the options have been checked.
    void warn_ignored() const
    {
        if (ignored_argument_) {
            host::warn("linsvm_fit:ignoredArgument",
                       "the third argument is neither an options structure nor an option name, and is ignored: "
                       "the defaults apply");
        }
        if (!host::present(structure_)) return;
        for (int f = 0; f < host::field_count(structure_); ++f) {
            char name[name_length + 1];
            host::copy_field_name(structure_, f, name, sizeof name);
            bool exact = false;
            for (int k = 0; k < option_count; ++k) exact = exact || std::strcmp(name, option_names[k]) == 0;
            if (exact) continue;
            const int k = option_index(name);
            if (k >= 0) {
                host::warn("linsvm_fit:unknownOption",
                           Message("field '%s' of the options structure is not an option and is ignored: fields are "
                                "matched exactly, did you mean '%s'?",
                                name, option_names[k])
                               .text);
            } else {
                host::warn("linsvm_fit:unknownOption",
                           Message("field '%s' of the options structure is not an option and is ignored (%s)", name,
                                option_list())
                               .text);
            }
        }
    }

private:
    void read_pairs(const host::Call& call)
    {
        const int nrhs = call.argument_count();
        for (int i = 2; i < nrhs; i += 2) {
            if (!host::is_text(call.argument(i))) fail_option("option name at argument %d must be text\n", i + 1);
            char name[name_length + 1];
            host::copy_text_for_message(call.argument(i), name, sizeof name);
            const int k = option_index(name);
            if (k < 0) fail_option("unknown option '%s' (%s)\n", name, option_list());
            if (i + 1 >= nrhs) fail_option("option '%s' has no value\n", name);
            values_[k] = call.argument(i + 1);
        }
    }

    host::Value values_[option_count] = {};
    host::Value structure_ = {};
    bool ignored_argument_ = false;
};

// Reads scalar option k; false when it is absent (the default stays).
bool read_number(const OptionSource& source, int k, double* value)
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

// 'error' or 'return', in any case.
bool read_interrupt(const OptionSource& source)
{
    const host::Value value = source.value(interrupt);
    if (!host::present(value)) return false;
    char text[16] = {};
    if (host::is_text(value)) host::copy_text(value, text, sizeof text);
    if (host::equal_ignoring_case(text, "return")) return true;
    if (!host::equal_ignoring_case(text, "error")) fail_option("interrupt must be 'error' or 'return'\n");
    return false;
}

// The value of `lambda` (or of `C`) for one column of the path: lambda as
// given, or, for a group of n examples, 1/(per_example * n): 1/n for a
// corrected lambda, 1/(C n) for C. Folds train on fewer examples than N, and
// each fold model gets what a call on its examples alone would get.
struct PathValue {
    double lambda = 0.01;
    double per_example = 0.0;  // 0: lambda as given

    double for_examples(int32_t n) const
    {
        return per_example == 0.0 ? lambda : 1.0 / (per_example * static_cast<double>(n));
    }
};

struct EntryOptions {
    TrainerOptions trainer;
    bool nbite_corrected = false;  // nbite is 20 times each group's examples
    PathValue* path = nullptr;
    int32_t path_length = 1;
    bool by_c = false;
    host::Value weights;
    host::Value w0;
    // One-vs-rest: the classes, in the order of the models; class_of by column.
    const double* classes = nullptr;
    int32_t class_count = 0;
    const int32_t* class_of = nullptr;
    // Cross-validation: fold numbers (0 .. folds - 1) by column.
    int32_t fold_count = 0;
    const int32_t* fold_of = nullptr;
    // Averaged iterates: none, those of the second half of the steps, or
    // those after step average_after.
    enum Average { no_average, second_half, after_step } average = no_average;
    int64_t average_after = 0;

    int32_t model_count() const { return (class_count > 0 ? class_count : 1) * path_length; }
};

// True when w0 holds a non-zero element.
bool has_nonzero(const host::Value& vector)
{
    const int64_t count = host::element_count(vector);
    for (int64_t i = 0; i < count; ++i) {
        if (host::number_at(vector, i) != 0.0) return true;
    }
    return false;
}

// Reads the elements of option k, any real numeric or logical class, into
// memory of the call; null when the option is absent.
const double* read_numbers(host::Call& call, const OptionSource& source, int k, int64_t* count)
{
    const host::Value value = source.value(k);
    if (!host::present(value)) return nullptr;
    if (!host::is_real_numbers(value)) fail_option("%s must be a real number\n", option_names[k]);
    *count = host::element_count(value);
    double* numbers = call.temporary<double>(*count);
    for (int64_t i = 0; i < *count; ++i) numbers[i] = host::number_at(value, i);
    return numbers;
}

// classes: true for every distinct label, false for none, or the classes.
void read_classes(host::Call& call, const OptionSource& source, const double* labels, int32_t N,
                  EntryOptions& result)
{
    const host::Value value = source.value(classes);
    if (!host::present(value)) return;
    if (!host::is_real_numbers(value)) {
        fail_option("classes must be true, false or the class labels to train, as numbers\n");
    }
    const int64_t count = host::element_count(value);
    double* listed = nullptr;
    int64_t class_count = 0;
    if (host::is_logical(value)) {
        if (count != 1) fail_option("classes must be true, false or the class labels to train, as numbers\n");
        if (host::number_at(value, 0) == 0.0) return;
        listed = call.temporary<double>(N > 0 ? N : 1);
        class_count = distinct_labels(labels, N, listed);
        if (class_count < 0) fail_option("classes: y holds NaN, which is no class\n");
    } else {
        if (count > INT32_MAX) fail_option("classes: too many classes\n");
        listed = call.temporary<double>(count);
        for (int64_t k = 0; k < count; ++k) {
            listed[k] = host::number_at(value, k);
            if (std::isnan(listed[k])) fail_option("classes: NaN is no class\n");
        }
        class_count = count;
    }
    if (class_count == 0) fail_option("classes: y holds no labels\n");
    int32_t* class_of = call.temporary<int32_t>(N > 0 ? N : 1);
    const int32_t missing = class_index_of(labels, N, listed, static_cast<int32_t>(class_count), class_of,
                                           call.temporary<double>(class_count), call.temporary<int32_t>(class_count));
    if (missing == -2) fail_option("classes must be distinct\n");
    if (missing >= 0) fail_option("classes: %.17g is no label of y (no example of that class)\n", listed[missing]);
    result.classes = listed;
    result.class_count = static_cast<int32_t>(class_count);
    result.class_of = class_of;
}

// folds: a whole number F from 2 to N (example j, counted from 1, in fold
// mod(j - 1, F) + 1), or N fold numbers from 1 to F, each fold holding an example.
void read_folds(host::Call& call, const OptionSource& source, int32_t N, EntryOptions& result)
{
    int64_t count = 0;
    const double* numbers = read_numbers(call, source, folds, &count);
    if (numbers == nullptr) return;
    const char* message = "folds must be a whole number F from 2 to N (%" PRId32
                          "), or N fold numbers from 1 to F, each fold holding an example\n";
    int32_t* fold_of = call.temporary<int32_t>(N > 0 ? N : 1);
    int64_t fold_count = 0;
    if (count == 1) {
        const double F = numbers[0];
        if (!(F >= 2.0 && F <= N) || F != std::floor(F)) fail_option(message, N);
        fold_count = static_cast<int64_t>(F);
        for (int32_t j = 0; j < N; ++j) fold_of[j] = static_cast<int32_t>(j % fold_count);
    } else {
        if (count != N) fail_option(message, N);
        for (int32_t j = 0; j < N; ++j) {
            const double f = numbers[j];
            if (!(f >= 1.0 && f <= N) || f != std::floor(f)) fail_option(message, N);
            fold_of[j] = static_cast<int32_t>(f) - 1;
            if (fold_of[j] >= fold_count) fold_count = fold_of[j] + 1;
        }
        if (fold_count < 2) fail_option(message, N);
        // Every fold from 1 to F must hold an example.
        int32_t* held = call.temporary<int32_t>(fold_count);
        for (int64_t f = 0; f < fold_count; ++f) held[f] = 0;
        for (int32_t j = 0; j < N; ++j) held[fold_of[j]] = 1;
        for (int64_t f = 0; f < fold_count; ++f) {
            if (held[f] == 0) fail_option(message, N);
        }
    }
    result.fold_count = static_cast<int32_t>(fold_count);
    result.fold_of = fold_of;
}

// The lambda path, from lambda or from C; the corrections are printed later.
void read_path(host::Call& call, const OptionSource& source, EntryOptions& result)
{
    int64_t lambda_count = 0;
    int64_t c_count = 0;
    const double* lambdas = read_numbers(call, source, lambda, &lambda_count);
    const double* cs = read_numbers(call, source, C, &c_count);
    if (lambdas != nullptr && cs != nullptr) fail_option("give lambda or C, not both (lambda = 1/(C N))\n");
    const int64_t length = lambdas != nullptr ? lambda_count : cs != nullptr ? c_count : 1;
    if (length > INT32_MAX) fail_option("lambda: too many values\n");
    PathValue* path = call.temporary<PathValue>(length);
    for (int64_t l = 0; l < length; ++l) {
        path[l] = PathValue();
        if (lambdas != nullptr) path[l].lambda = lambdas[l];
        if (cs != nullptr) {
            if (!(cs[l] > 0.0 && cs[l] <= 1.7976931348623157e308)) fail_option("C must be finite numbers > 0\n");
            path[l].per_example = cs[l];
        }
    }
    result.path = path;
    result.path_length = static_cast<int32_t>(length);
    result.by_c = cs != nullptr;
}

// A vector option (weights, w0): real dense double or single, `count`
// finite elements that pass `valid`, or `count` times `columns` of them (a
// column each); absent when not given.
host::Value read_vector(const OptionSource& source, int k, int64_t count, int64_t columns, bool (*valid)(double),
                        const Message& message)
{
    const host::Value value = source.value(k);
    if (!host::present(value)) return value;
    const bool is_double = host::is_real_dense_double(value);
    const int64_t elements = host::element_count(value);
    if ((!is_double && !host::is_real_dense_single(value)) || (elements != count && elements != count * columns)) {
        host::fail("linsvm_fit:invalidOption", message.text);
    }
    for (int64_t i = 0; i < elements; ++i) {
        const double element = is_double ? host::double_data(value)[i] : host::single_data(value)[i];
        if (!valid(element)) host::fail("linsvm_fit:invalidOption", message.text);
    }
    return value;
}

// average: true or false (a logical value), or the step after which the
// iterates are averaged (a whole number from 0 to 2^53).
void read_average(const OptionSource& source, EntryOptions& result)
{
    double value = 0.0;
    if (!read_number(source, average, &value)) return;
    const char* message = "average must be true, false or a whole number of steps from 0 to 2^53\n";
    if (host::is_logical(source.value(average))) {
        result.average = value != 0.0 ? EntryOptions::second_half : EntryOptions::no_average;
        return;
    }
    if (!(value >= 0.0 && value <= 9007199254740992.0 && value == std::floor(value))) fail_option(message);
    result.average = EntryOptions::after_step;
    result.average_after = static_cast<int64_t>(value);
}

// Every value is checked before anything is printed; then the ignored parts
// of the options are warned of, and the corrections are applied in this
// order, so they are reported lambda, nbite, seed.
EntryOptions read_options(host::Call& call, const OptionSource& source, const double* labels, int32_t d, int32_t N)
{
    double values[option_count];
    bool given[option_count];
    for (int k : {biasmult, nbite, seed, startstep, verbose}) given[k] = read_number(source, k, &values[k]);

    EntryOptions result;
    TrainerOptions& options = result.trainer;
    read_path(call, source, result);
    if (given[biasmult]) options.biasmult = values[biasmult];
    if (given[startstep] && !set_startstep(options, values[startstep])) {
        fail_option("startstep must be a whole number from 0 to 2^53\n");
    }
    if (given[verbose] && !set_verbose(options, values[verbose])) {
        fail_option("verbose must be true, false or a number >= 0\n");
    }
    options.return_on_interrupt = read_interrupt(source);
    read_classes(call, source, labels, N, result);
    read_folds(call, source, N, result);
    read_average(source, result);

    const int64_t K = result.class_count;
    const int64_t M = result.model_count();
    result.weights =
        read_vector(source, weights, N, K > 0 ? K : 1, valid_example_weight,
                    K > 0 ? Message("weights must be %" PRId32 " finite numbers >= 0 (double or single), one per example, "
                                 "or %" PRId32 " x %" PRId64 ", a column per class\n",
                                 N, N, K)
                          : Message("weights must be %" PRId32
                                 " finite numbers >= 0 (double or single), one per example\n",
                                 N));
    const int64_t length = static_cast<int64_t>(weight_count(d, options.biasmult));
    result.w0 = read_vector(source, w0, length, M, valid_starting_weight,
                            M > 1 ? Message("w0 must be %" PRId64 " finite numbers (double or single), as many as a "
                                         "model has, or %" PRId64 " x %" PRId64 ", a column per model\n",
                                         length, length, M)
                                  : Message("w0 must be %" PRId64
                                         " finite numbers (double or single), as many as w has\n",
                                         length));

    source.warn_ignored();
    for (int32_t l = 0; l < result.path_length; ++l) {
        PathValue& value = result.path[l];
        if (!result.by_c && value.lambda < 0.0) {
            host::print("lambda >= 0, force to 1/N\n");
            value.per_example = 1.0;
        }
    }
    options.lambda = result.path[0].for_examples(N);
    if (given[nbite] && set_nbite(options, values[nbite], N)) {
        host::print("nbite > 0 , force to 20*N\n");
        result.nbite_corrected = true;
    }
    if (given[seed] && set_seed(options, values[seed])) host::print("seed >= 1 , force to NULL (random seed)\n");

    // Steps are counted from startstep + 1, and step 1 shrinks the weights by
    // 1 - lambda * 1/lambda, which is 0: a fresh run forgets w0 at once.
    if (host::present(result.w0) && options.startstep == 0 && options.nbite > 0 && N > 0 && has_nonzero(result.w0)) {
        host::warn("linsvm_fit:w0Ignored",
                   "w0 is forgotten at the first step when startstep is 0 (step 1 shrinks the weights by "
                   "1 - lambda/lambda = 0): to continue a run, give startstep, the steps already made");
    }
    return result;
}

// Copies a double or single host vector of count elements into doubles.
void copy_doubles(const host::Value& value, int64_t count, double* out)
{
    if (host::is_real_dense_double(value)) {
        std::memcpy(out, host::double_data(value), static_cast<size_t>(count) * sizeof(double));
    } else {
        const float* data = host::single_data(value);
        for (int64_t i = 0; i < count; ++i) out[i] = data[i];
    }
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Watches the solver: stops it when the user asks, and with verbose on
// prints a progress line about once a second.
struct Watch {
    bool verbose;
    int32_t steps;
    Clock::time_point started;
    Clock::time_point next_report;

    static bool poll(void* context, int64_t steps_made) noexcept
    {
        if (host::stop_requested()) return true;
        Watch& watch = *static_cast<Watch*>(context);
        if (!watch.verbose) return false;
        const Clock::time_point now = Clock::now();
        if (now < watch.next_report) return false;
        watch.next_report = now + std::chrono::seconds(1);
        const double elapsed = std::chrono::duration<double>(now - watch.started).count();
        const double rate = elapsed > 0.0 ? static_cast<double>(steps_made) / elapsed : 0.0;
        const double left = rate > 0.0 ? static_cast<double>(watch.steps - steps_made) / rate : 0.0;
        // A host error raised while printing (an interrupt just then) stops the call.
        return !host::print_now(Message("linsvm_fit: %" PRId64 " of %" PRId32 " steps (%.1f%%), %.3g steps/s, about %.*f s left\n",
                                     steps_made, watch.steps, 100.0 * static_cast<double>(steps_made) / watch.steps,
                                     rate, left < 10.0 ? 1 : 0, left)
                                    .text);
    }
};

// The user stopped the call: the host's own response to a signal is raised
// if it had one, else the module's error.
[[noreturn]] void fail_interrupted(const char* during, int64_t steps_made, int32_t steps)
{
    host::raise_deferred();
    host::fail("linsvm_fit:interrupted",
               Message("interrupted by the user %s, after %" PRId64 " of %" PRId32 " steps\n", during, steps_made, steps)
                   .text);
}

// The user stopped the call: with 'interrupt', 'return' the call goes on to
// return what it has (the host's own response to a signal other than an
// interrupt is still raised); otherwise the module's error.
void stop_interrupted(const TrainerOptions& trainer, const char* during, int64_t steps_made)
{
    if (!trainer.return_on_interrupt) fail_interrupted(during, steps_made, trainer.nbite);
    host::raise_deferred();
}

// Whether a call of this module is running. The progress output flushes the
// console, and MATLAB runs timer callbacks then: one that called linsvm_fit
// would overwrite the sampler state and the held host exception of the call
// it interrupted.
bool& call_running()
{
    static bool running = false;
    return running;
}

// Marks the part of a call during which the host may run other code. Cleared
// by its destructor, which runs also when a C++ exception leaves that part
// (nothing in it raises a host error).
struct RunningCall {
    RunningCall() { call_running() = true; }
    ~RunningCall() { call_running() = false; }
    RunningCall(const RunningCall&) = delete;
    RunningCall& operator=(const RunningCall&) = delete;
};

const char* const info_fields[] = {"seed",       "state",     "lambda",  "biasmult",    "nbite",   "startstep",
                                   "steps",      "violations", "objective", "loss",      "regularizer", "seconds",
                                   "interrupted", "classes",  "cv",        "averaged",  "last"};
constexpr int info_field_count = sizeof info_fields / sizeof info_fields[0];
const char* const cv_fields[] = {"loss", "error", "count", "meanloss", "meanerror"};

// The steps of a group of n examples: nbite, or 20 n when nbite was corrected
// (as a call on those examples alone would correct it).
int32_t steps_for(const EntryOptions& options, int32_t n)
{
    if (!options.nbite_corrected) return options.trainer.nbite;
    TrainerOptions corrected;
    set_nbite(corrected, 0.0, n);
    return corrected.nbite;
}

template <class T>
T* construct(host::Call& call, int64_t count)
{
    T* items = call.temporary<T>(count > 0 ? count : 1);
    for (int64_t i = 0; i < count; ++i) new (items + i) T();
    return items;
}

void linsvm_fit_entry(host::Call& call)
{
    const Clock::time_point started = Clock::now();
    if (call_running()) {
        host::fail("linsvm_fit:busy",
                   "linsvm_fit was called while a call of it is running (from a callback run during its progress "
                   "output): call it again when that call has returned\n");
    }

    const int nrhs = call.argument_count();
    const Examples X = read_examples(call);
    const int32_t d = static_cast<int32_t>(host::rows(X.array));
    const int32_t N = static_cast<int32_t>(host::columns(X.array));

    if (nrhs < 2 || !host::is_real_dense_double(call.argument(1))) host::fail("linsvm_fit:invalidY", y_message);
    const host::Value y = call.argument(1);
    // Only the column count is compared, but the labels are read as the first
    // N elements, so y must hold that many.
    if (host::columns(y) != N || host::element_count(y) < N) host::fail("linsvm_fit:invalidY", y_message);
    const double* labels = host::double_data(y);

    const EntryOptions options = read_options(call, OptionSource(call), labels, d, N);
    const TrainerOptions& trainer = options.trainer;
    const bool one_vs_rest = options.class_count > 0;

    // Labels other than -1 and +1 (0/1 labels, say) train a worse model without
    // failing: say so, through a warning the caller can turn off. One-vs-rest
    // models read the labels as classes.
    const int64_t unusual = one_vs_rest ? 0 : count_unusual_labels(labels, N);
    if (unusual > 0) {
        host::warn("linsvm_fit:unusualLabels",
                   Message("%" PRId64 " of the %" PRId32 " labels are not -1 or +1 after truncation toward zero", unusual, N)
                       .text);
    }

    // The models: one per class (or one) and per value of the path, class
    // first; each trained on all examples and, with folds, on every fold's
    // training examples.
    const int32_t K = one_vs_rest ? options.class_count : 1;
    const int32_t L = options.path_length;
    const int32_t M = K * L;
    const int32_t F = options.fold_count;
    const int64_t length = static_cast<int64_t>(weight_count(d, trainer.biasmult));

    host::ensure_memory(8.0 * static_cast<double>(length) * M, "linsvm_fit:outOfMemory",
                        "out of memory for the result\n");
    host::Result w = one_vs_rest ? host::create_double_array(length, K, L)
                     : M == 1    ? host::create_double_column(length)
                                 : host::create_double_array(length, L, 1);
    double* const W = host::double_data(w);
    // Averaging: w gets the means, and the last iterates go to info.last.
    const bool averaging = options.average != EntryOptions::no_average;
    double* last_W = nullptr;
    if (averaging) {
        host::ensure_memory(8.0 * static_cast<double>(length) * M, "linsvm_fit:outOfMemory", "out of memory\n");
        last_W = call.temporary<double>(length * M > 0 ? length * M : 1);
    }
    double* fold_W = nullptr;
    double* fold_means = nullptr;
    int32_t* training = nullptr;
    int64_t* training_begin = nullptr;
    int32_t* validation = nullptr;
    int64_t* validation_begin = nullptr;
    if (F > 0) {
        const double bytes = (8.0 * static_cast<double>(length) * M + 4.0 * N) * F;
        host::ensure_memory(bytes, "linsvm_fit:outOfMemory", "out of memory\n");
        fold_W = call.temporary<double>(length * M * F > 0 ? length * M * F : 1);
        if (averaging) {
            host::ensure_memory(8.0 * static_cast<double>(length) * M * F, "linsvm_fit:outOfMemory", "out of memory\n");
            fold_means = call.temporary<double>(length * M * F > 0 ? length * M * F : 1);
        }
        training = call.temporary<int32_t>(static_cast<int64_t>(F - 1) * N);
        training_begin = call.temporary<int64_t>(F + 1);
        validation = call.temporary<int32_t>(N);
        validation_begin = call.temporary<int64_t>(F + 1);
        split_folds(options.fold_of, N, F, training, training_begin, validation, validation_begin);
    }

    // Example weights as doubles: one per example, or a column per class.
    const double* example_weights = nullptr;
    bool weights_per_class = false;
    if (host::present(options.weights) && N > 0) {
        const int64_t count = host::element_count(options.weights);
        double* copy = call.temporary<double>(count);
        copy_doubles(options.weights, count, copy);
        example_weights = copy;
        weights_per_class = count > N;
    }
    const bool w0_per_model = host::present(options.w0) && host::element_count(options.w0) > length;
    double* w0_values = nullptr;
    if (host::present(options.w0) && length > 0) {
        w0_values = call.temporary<double>(host::element_count(options.w0));
        copy_doubles(options.w0, host::element_count(options.w0), w0_values);
    }

    sampler_seed(trainer.seed);
    const uint32_t start_state = sampler_working_state();

    FitGroup* groups = construct<FitGroup>(call, F + 1);
    FitModel* models = construct<FitModel>(call, static_cast<int64_t>(M) * (F + 1));
    // iterates: where the models' weights run (the last iterates at the end);
    // means: where their averages go, or null.
    auto set_up = [&](int32_t g, int32_t count, const int32_t* columns, double* iterates, double* means) {
        FitGroup& group = groups[g];
        group.count = count;
        group.columns = columns;
        group.steps = count > 0 ? steps_for(options, count) : 0;
        group.start_state = start_state;
        group.models = models + static_cast<int64_t>(g) * M;
        group.model_count = M;
        for (int32_t l = 0; l < L; ++l) {
            for (int32_t k = 0; k < K; ++k) {
                const int32_t m = k + K * l;
                FitModel& model = group.models[m];
                model.W = iterates + static_cast<int64_t>(m) * length;
                // The result comes zero-filled; the other storage does not.
                if (w0_values != nullptr) {
                    std::memcpy(model.W, w0_values + (w0_per_model ? m * length : 0),
                                static_cast<size_t>(length) * sizeof(double));
                } else if (g > 0 || means != nullptr) {
                    std::fill(model.W, model.W + length, 0.0);
                }
                if (means != nullptr) {
                    model.average = means + static_cast<int64_t>(m) * length;
                    model.average_after = options.average == EntryOptions::after_step
                                              ? options.average_after
                                              : trainer.startstep + group.steps - group.steps / 2;
                }
                model.lambda = options.path[l].for_examples(count);
                model.weights = example_weights == nullptr ? nullptr
                                : weights_per_class        ? example_weights + static_cast<int64_t>(k) * N
                                                           : example_weights;
                model.positive_class = one_vs_rest ? k : -1;
            }
        }
    };
    set_up(0, N, nullptr, averaging ? last_W : W, averaging ? W : nullptr);
    for (int32_t f = 0; f < F; ++f) {
        const int64_t at = static_cast<int64_t>(f) * M * length;
        set_up(f + 1, static_cast<int32_t>(training_begin[f + 1] - training_begin[f]), training + training_begin[f],
               fold_W + at, averaging ? fold_means + at : nullptr);
    }

    FitBatch batch;
    batch.y = labels;
    batch.class_of = options.class_of;
    batch.biasmult = trainer.biasmult;
    batch.start_step = trainer.startstep;
    batch.threads = kernel_threads();
    const int32_t steps = groups[0].steps;
    Watch watch{trainer.verbose, steps, started, started + std::chrono::seconds(1)};
    batch.monitor = FitMonitor{Watch::poll, &watch};
    host::watch_for_interrupts();
    const bool batch_of_one = M == 1 && F == 0;
    bool stopped = false;
    host::run_kernel("linsvm_fit:outOfMemory", "out of memory\n", [&] {
        const RunningCall running;
        char folds_part[96] = "";
        if (F > 0) {
            std::snprintf(folds_part, sizeof folds_part, " (%" PRId32 " on all examples, %" PRId64 " on %" PRId32 " folds)",
                          M, static_cast<int64_t>(M) * F, F);
        }
        const Message start_line =
            batch_of_one
                ? Message("linsvm_fit: training on %" PRId32 " examples of %" PRId32 " features: %" PRId32
                       " steps from step %" PRId64 ", lambda %g, biasmult %g, seed %" PRIu32 "\n",
                       N, d, trainer.nbite, trainer.startstep + 1, trainer.lambda, trainer.biasmult, start_state)
                : Message("linsvm_fit: training %" PRId64 " models%s on %" PRId32 " examples of %" PRId32
                       " features: %" PRId32 " steps each from step %" PRId64 ", biasmult %g, seed %" PRIu32
                       ", up to %d threads\n",
                       static_cast<int64_t>(M) * (F + 1), folds_part, N, d, steps, trainer.startstep + 1, trainer.biasmult, start_state, batch.threads);
        if (trainer.verbose && !host::print_now(start_line.text)) {
            // Stopped, or the host raised something, while the line was printed.
            stopped = true;
            return;
        }
        // Without examples every group has 0 steps: the results are the
        // starting vectors (and so are their averages).
        stopped = X.run([&](const auto& examples) { return fit_batch(examples, d, batch, groups, F + 1); });
        // The sampler goes on from the draws of the models on all examples.
        sampler_rewind(models[0].sampler_state);
    });
    // The state as advanced by the steps made, also when the user stopped them.
    sampler_store();
    const FitResult& fit = models[0].result;
    if (stopped) stop_interrupted(trainer, "while training", fit.steps_made);

    // Non-finite scores come from NaN or Inf in X (or overflowing values);
    // lambda = 0 or NaN makes every weight NaN by design and is not reported.
    int64_t nonfinite = 0;
    for (int32_t m = 0; m < M; ++m) {
        if (models[m].lambda > 0.0 && models[m].result.nonfinite_scores > nonfinite) {
            nonfinite = models[m].result.nonfinite_scores;
        }
    }
    if (nonfinite > 0) {
        host::warn("linsvm_fit:nonFiniteX",
                   Message("%" PRId64 " of the %" PRId64 " steps drew an example whose score is NaN or infinite (NaN or "
                        "Inf in X, or values too large): those steps did not train as intended",
                        nonfinite, fit.steps_made)
                       .text);
    }

    call.set_result(0, w);
    if (call.results_requested() >= 2) {
        // The figures describe the weights returned: with averaging, the means.
        if (averaging) {
            for (int64_t m = 0; m < static_cast<int64_t>(M) * (F + 1); ++m) models[m].W = models[m].average;
        }
        batch.monitor = FitMonitor{[](void*, int64_t) noexcept { return host::stop_requested(); }, nullptr};
        // Per model: the loss and errors on all examples, then, per fold, on
        // the fold's own examples.
        double* loss = call.temporary<double>(static_cast<int64_t>(M) * (F + 1));
        int64_t* errors = call.temporary<int64_t>(static_cast<int64_t>(M) * (F + 1));
        auto score = [&](const int32_t* columns, int32_t count, const FitModel* scored_models, double* loss_sums,
                         int64_t* error_counts) {
            return X.run([&](const auto& examples) {
                return score_models(examples, d, batch, columns, count, scored_models, M, loss_sums, error_counts);
            });
        };
        bool scored = score(nullptr, N, models, loss, errors);
        for (int32_t f = 0; f < F && scored; ++f) {
            scored = score(validation + validation_begin[f],
                           static_cast<int32_t>(validation_begin[f + 1] - validation_begin[f]), groups[f + 1].models,
                           loss + static_cast<int64_t>(f + 1) * M, errors + static_cast<int64_t>(f + 1) * M);
        }
        if (!scored) stop_interrupted(trainer, "while evaluating the objective", fit.steps_made);
        // With 'return', a Ctrl-C after the last poll still stops this call
        // rather than the statement after it.
        if (trainer.return_on_interrupt && !stopped && scored && host::stop_requested()) {
            host::raise_deferred();
            stopped = true;
        }
        const double not_evaluated = std::nan("");

        double* per_model = call.temporary<double>(4 * static_cast<int64_t>(M));
        double* violations = per_model;
        double* objective = per_model + M;
        double* mean_loss = per_model + 2 * M;
        double* regularizer = per_model + 3 * M;
        for (int32_t m = 0; m < M; ++m) {
            const FitModel& model = models[m];
            double squares = 0.0;
            for (int64_t k = 0; k < length; ++k) squares += model.W[k] * model.W[k];
            violations[m] = static_cast<double>(model.result.violations);
            regularizer[m] = scored ? model.lambda / 2.0 * squares : not_evaluated;
            mean_loss[m] = !scored ? not_evaluated : N > 0 ? loss[m] / N : 0.0;
            objective[m] = regularizer[m] + mean_loss[m];
        }
        double* path = call.temporary<double>(L);
        for (int32_t l = 0; l < L; ++l) path[l] = options.path[l].for_examples(N);

        host::Result info = host::create_structure(info_fields, info_field_count);
        host::set_uint32_field(info, "seed", start_state);
        host::set_uint32_field(info, "state", sampler_stored_state());
        host::set_matrix_field(info, "lambda", path, 1, L);
        host::set_scalar_field(info, "biasmult", trainer.biasmult);
        host::set_scalar_field(info, "nbite", steps);
        host::set_scalar_field(info, "startstep", static_cast<double>(trainer.startstep));
        host::set_scalar_field(info, "steps", static_cast<double>(fit.steps_made));
        host::set_matrix_field(info, "violations", violations, 1, M);
        host::set_matrix_field(info, "objective", objective, 1, M);
        host::set_matrix_field(info, "loss", mean_loss, 1, M);
        host::set_matrix_field(info, "regularizer", regularizer, 1, M);
        host::set_scalar_field(info, "seconds", seconds_since(started));
        host::set_logical_field(info, "interrupted", stopped || !scored);
        host::set_matrix_field(info, "classes", options.classes, one_vs_rest ? 1 : 0, one_vs_rest ? K : 0);
        host::set_scalar_field(info, "averaged", static_cast<double>(fit.averaged));
        host::set_matrix_field(info, "last", last_W, averaging ? length : 0, averaging ? M : 0);
        if (F > 0) {
            // loss and error: F x M; count: F x 1; their means over the folds: 1 x M.
            double* cv = call.temporary<double>(2 * static_cast<int64_t>(F) * M + F + 2 * M);
            double* cv_loss = cv;
            double* cv_error = cv + static_cast<int64_t>(F) * M;
            double* cv_count = cv + 2 * static_cast<int64_t>(F) * M;
            double* cv_mean_loss = cv_count + F;
            double* cv_mean_error = cv_mean_loss + M;
            for (int32_t f = 0; f < F; ++f) cv_count[f] = static_cast<double>(validation_begin[f + 1] - validation_begin[f]);
            for (int32_t m = 0; m < M; ++m) {
                double loss_sum = 0.0;
                double error_sum = 0.0;
                for (int32_t f = 0; f < F; ++f) {
                    const int64_t at = static_cast<int64_t>(f + 1) * M + m;
                    const double fold_loss = scored ? loss[at] / cv_count[f] : not_evaluated;
                    const double fold_error = scored ? static_cast<double>(errors[at]) / cv_count[f] : not_evaluated;
                    cv_loss[f + static_cast<int64_t>(F) * m] = fold_loss;
                    cv_error[f + static_cast<int64_t>(F) * m] = fold_error;
                    loss_sum += fold_loss;
                    error_sum += fold_error;
                }
                cv_mean_loss[m] = loss_sum / F;
                cv_mean_error[m] = error_sum / F;
            }
            host::Result cv_info = host::create_structure(cv_fields, 5);
            host::set_matrix_field(cv_info, "loss", cv_loss, F, M);
            host::set_matrix_field(cv_info, "error", cv_error, F, M);
            host::set_matrix_field(cv_info, "count", cv_count, F, 1);
            host::set_matrix_field(cv_info, "meanloss", cv_mean_loss, 1, M);
            host::set_matrix_field(cv_info, "meanerror", cv_mean_error, 1, M);
            host::set_structure_field(info, "cv", cv_info);
        }
        call.set_result(1, info);
    }

    if (trainer.verbose) {
        bool printed = false;
        {
            const RunningCall running;
            printed = host::print_now(Message("linsvm_fit: %" PRId64 " steps in %.3f s, %" PRId64
                                           " of them violated the margin%s\n",
                                           fit.steps_made, seconds_since(started), fit.violations,
                                           stopped ? " (stopped by the user)" : "")
                                          .text);
        }
        // A Ctrl-C during the last line: with 'return' the call still returns
        // what it has; otherwise the interrupt stays pending for the host.
        if (!printed && trainer.return_on_interrupt) host::raise_deferred();
        if (!printed) host::raise_deferred_if_any();
    }
    if (trainer.return_on_interrupt && host::stop_requested()) host::raise_deferred();
}

}  // namespace

HOST_ENTRY(linsvm_fit, linsvm_fit_entry)
