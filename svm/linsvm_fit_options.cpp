#include "svm/linsvm_fit_options.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>

#include "svm/classes_and_folds.h"
#include "svm/fit_weights.h"
#include "svm/option_table.h"

namespace {

// Option messages quote at most this many characters of a name.
constexpr int name_length = 63;

using host::Message;

template <class... Args>
[[noreturn]] void fail_option(const char* format, Args... args)
{
    host::fail("linsvm_fit:invalidOption", Message(format, args...).text);
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
        for (int k = 0; k < option_count; ++k) {
            values_[k] = host::struct_field(third, option_name(static_cast<Option>(k)));
        }
    }

    // The value of the option; absent when it is absent or empty (the default stays).
    host::Value value(Option option) const
    {
        const host::Value& given = values_[static_cast<int>(option)];
        return host::present(given) && !host::is_empty(given) ? given : host::Value();
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
            Option option;
            if (option_named_exactly(name, &option)) continue;
            if (option_named(name, &option)) {
                host::warn("linsvm_fit:unknownOption",
                           Message("field '%s' of the options structure is not an option and is ignored: fields are "
                                "matched exactly, did you mean '%s'?",
                                name, option_name(option))
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
            Option option;
            if (!option_named(name, &option)) fail_option("unknown option '%s' (%s)\n", name, option_list());
            if (i + 1 >= nrhs) fail_option("option '%s' has no value\n", name);
            values_[static_cast<int>(option)] = call.argument(i + 1);
        }
    }

    host::Value values_[option_count] = {};
    host::Value structure_ = {};
    bool ignored_argument_ = false;
};

// Reads a scalar option; false when it is absent (the default stays).
bool read_number(const OptionSource& source, Option option, double* value)
{
    switch (host::read_scalar(source.value(option), value)) {
    case host::ScalarStatus::present:
        return true;
    case host::ScalarStatus::unreadable:
        fail_option("%s must be a real number\n", option_name(option));
    default:
        return false;
    }
}

// 'error' or 'return', in any case.
bool read_interrupt(const OptionSource& source)
{
    const host::Value value = source.value(Option::interrupt);
    if (!host::present(value)) return false;
    char text[16] = {};
    if (host::is_text(value)) host::copy_text(value, text, sizeof text);
    if (host::equal_ignoring_case(text, "return")) return true;
    if (!host::equal_ignoring_case(text, "error")) fail_option("interrupt must be 'error' or 'return'\n");
    return false;
}

// True when w0 holds a non-zero element.
bool has_nonzero(const host::Value& vector)
{
    const int64_t count = host::element_count(vector);
    for (int64_t i = 0; i < count; ++i) {
        if (host::number_at(vector, i) != 0.0) return true;
    }
    return false;
}

// Reads the elements of an option, any real numeric or logical class, into
// memory of the call; null when the option is absent.
const double* read_numbers(host::Call& call, const OptionSource& source, Option option, int64_t* count)
{
    const host::Value value = source.value(option);
    if (!host::present(value)) return nullptr;
    if (!host::is_real_numbers(value)) fail_option("%s must be a real number\n", option_name(option));
    *count = host::element_count(value);
    double* numbers = call.temporary<double>(*count);
    for (int64_t i = 0; i < *count; ++i) numbers[i] = host::number_at(value, i);
    return numbers;
}

// classes: true for every distinct label, false for none, or the classes.
void read_classes(host::Call& call, const OptionSource& source, const double* labels, int32_t N,
                  EntryOptions& result)
{
    const host::Value value = source.value(Option::classes);
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
    const double* numbers = read_numbers(call, source, Option::folds, &count);
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
    const double* lambdas = read_numbers(call, source, Option::lambda, &lambda_count);
    const double* cs = read_numbers(call, source, Option::C, &c_count);
    if (lambdas != nullptr && cs != nullptr) fail_option("give lambda or C, not both (lambda = 1/(C N))\n");
    const int64_t length = lambdas != nullptr ? lambda_count : cs != nullptr ? c_count : 1;
    if (length > INT32_MAX) fail_option("lambda: too many values\n");
    LambdaValue* path = call.temporary<LambdaValue>(length);
    for (int64_t l = 0; l < length; ++l) {
        path[l] = LambdaValue();
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
host::Value read_vector(const OptionSource& source, Option option, int64_t count, int64_t columns,
                        bool (*valid)(double), const Message& message)
{
    const host::Value value = source.value(option);
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

// weights: one per example, or (with classes) a column per class.
host::Value read_example_weights(const OptionSource& source, int32_t N, int64_t class_count)
{
    return read_vector(
        source, Option::weights, N, class_count > 0 ? class_count : 1, valid_example_weight,
        class_count > 0 ? Message("weights must be %" PRId32 " finite numbers >= 0 (double or single), one per example, "
                                  "or %" PRId32 " x %" PRId64 ", a column per class\n",
                                  N, N, class_count)
                        : Message("weights must be %" PRId32 " finite numbers >= 0 (double or single), one per example\n",
                                  N));
}

// w0: as many as a model has, or a column per model.
host::Value read_starting_weights(const OptionSource& source, int64_t length, int64_t model_count)
{
    return read_vector(source, Option::w0, length, model_count, valid_starting_weight,
                       model_count > 1 ? Message("w0 must be %" PRId64 " finite numbers (double or single), as many as a "
                                                 "model has, or %" PRId64 " x %" PRId64 ", a column per model\n",
                                                 length, length, model_count)
                                       : Message("w0 must be %" PRId64
                                                 " finite numbers (double or single), as many as w has\n",
                                                 length));
}

// average: true or false (a logical value), or the step after which the
// iterates are averaged (a whole number from 0 to 2^53).
void read_average(const OptionSource& source, EntryOptions& result)
{
    double value = 0.0;
    if (!read_number(source, Option::average, &value)) return;
    const char* message = "average must be true, false or a whole number of steps from 0 to 2^53\n";
    if (host::is_logical(source.value(Option::average))) {
        result.averaging = value != 0.0 ? Averaging::second_half : Averaging::none;
        return;
    }
    if (!(value >= 0.0 && value <= 9007199254740992.0 && value == std::floor(value))) fail_option(message);
    result.averaging = Averaging::after_step;
    result.average_after = static_cast<int64_t>(value);
}

// The corrections, applied and printed in the order lambda, nbite, seed.
void correct_options(bool nbite_given, double nbite, bool seed_given, double seed, int32_t N, EntryOptions& result)
{
    TrainerOptions& options = result.trainer;
    for (int32_t l = 0; l < result.path_length; ++l) {
        if (correct_lambda(result.path[l])) host::print("lambda >= 0, force to 1/N\n");
    }
    options.lambda = result.path[0].for_examples(N);
    if (nbite_given && set_nbite(options, nbite, N)) {
        host::print("nbite > 0 , force to 20*N\n");
        result.nbite_corrected = true;
    }
    if (seed_given && set_seed(options, seed)) host::print("seed >= 1 , force to NULL (random seed)\n");
}

}  // namespace

EntryOptions read_options(host::Call& call, const double* labels, int32_t d, int32_t N)
{
    const OptionSource source(call);
    double biasmult = 0.0, nbite = 0.0, seed = 0.0, startstep = 0.0, verbose = 0.0;
    const bool biasmult_given = read_number(source, Option::biasmult, &biasmult);
    const bool nbite_given = read_number(source, Option::nbite, &nbite);
    const bool seed_given = read_number(source, Option::seed, &seed);
    const bool startstep_given = read_number(source, Option::startstep, &startstep);
    const bool verbose_given = read_number(source, Option::verbose, &verbose);

    EntryOptions result;
    TrainerOptions& options = result.trainer;
    read_path(call, source, result);
    if (biasmult_given) options.biasmult = biasmult;
    if (startstep_given && !set_startstep(options, startstep)) {
        fail_option("startstep must be a whole number from 0 to 2^53\n");
    }
    if (verbose_given && !set_verbose(options, verbose)) {
        fail_option("verbose must be true, false or a number >= 0\n");
    }
    options.return_on_interrupt = read_interrupt(source);
    read_classes(call, source, labels, N, result);
    read_folds(call, source, N, result);
    read_average(source, result);
    result.weights = read_example_weights(source, N, result.class_count);
    const int64_t length = static_cast<int64_t>(weight_count(d, options.biasmult));
    result.w0 = read_starting_weights(source, length, result.model_count());

    source.warn_ignored();
    correct_options(nbite_given, nbite, seed_given, seed, N, result);

    // Steps are counted from startstep + 1, and step 1 shrinks the weights by
    // 1 - lambda * 1/lambda, which is 0: a fresh run forgets w0 at once.
    if (host::present(result.w0) && options.startstep == 0 && options.nbite > 0 && N > 0 && has_nonzero(result.w0)) {
        host::warn("linsvm_fit:w0Ignored",
                   "w0 is forgotten at the first step when startstep is 0 (step 1 shrinks the weights by "
                   "1 - lambda/lambda = 0): to continue a run, give startstep, the steps already made");
    }
    return result;
}
