// [w, info] = linsvm_fit(X, y[, options]): the host entry of the trainer.
//
// options is a structure with any of the option fields, or, when the third
// argument is text, name/value pairs from the third argument on (names
// case-insensitive, a later pair overriding an earlier).

#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "svm/fit_weights.h"
#include "svm/labels.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"
#include "svm/training_objective.h"

namespace {

const char* const x_message = "X must be (d x N) in double format\n";
const char* const y_message = "y must be (1 x N) in double format\n";

enum Option { lambda, biasmult, nbite, seed, weights, w0, startstep, verbose, interrupt, option_count };
const char* const option_names[option_count] = {"lambda",  "biasmult", "nbite",     "seed",     "weights",
                                                "w0",      "startstep", "verbose",  "interrupt"};

// Option messages quote at most this many characters of a name.
constexpr int name_length = 63;

// Formats a message into a fixed buffer: no heap, since the host's error may
// unwind without running destructors.
struct Text {
    char text[400];
    template <class... Args>
    explicit Text(const char* format, Args... args)
    {
        if constexpr (sizeof...(Args) == 0) {
            std::snprintf(text, sizeof text, "%s", format);
        } else {
            std::snprintf(text, sizeof text, format, args...);
        }
    }
};

// "lambda, biasmult, ... or interrupt", for the messages that list the options.
const char* option_list()
{
    static const struct List {
        char text[160] = {};
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
    host::fail("linsvm_fit:invalidOption", Text(format, args...).text);
}

bool equal_ignoring_case(const char* text, const char* lower_case)
{
    size_t c = 0;
    for (; text[c] != '\0' && lower_case[c] != '\0'; ++c) {
        const char lower = text[c] >= 'A' && text[c] <= 'Z' ? static_cast<char>(text[c] - 'A' + 'a') : text[c];
        if (lower != lower_case[c]) return false;
    }
    return text[c] == '\0' && lower_case[c] == '\0';
}

// The option a name means, ignoring case; -1 for none.
int option_index(const char* name)
{
    for (int k = 0; k < option_count; ++k) {
        if (equal_ignoring_case(name, option_names[k])) return k;
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
                       Text("too many arguments (%d): options are one structure, or name/value pairs from the third "
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
                           Text("field '%s' of the options structure is not an option and is ignored: fields are "
                                "matched exactly, did you mean '%s'?",
                                name, option_names[k])
                               .text);
            } else {
                host::warn("linsvm_fit:unknownOption",
                           Text("field '%s' of the options structure is not an option and is ignored (%s)", name,
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
            host::copy_text(call.argument(i), name, sizeof name);
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

// A vector option (weights, w0): real dense double or single, `count` finite
// elements that pass `valid`; absent when not given.
host::Value read_vector(const OptionSource& source, int k, int64_t count, bool (*valid)(double), const char* message)
{
    const host::Value value = source.value(k);
    if (!host::present(value)) return value;
    const bool is_double = host::is_real_dense_double(value);
    if ((!is_double && !host::is_real_dense_single(value)) || host::element_count(value) != count) {
        fail_option(message, count);
    }
    for (int64_t i = 0; i < count; ++i) {
        const double element = is_double ? host::double_data(value)[i] : host::single_data(value)[i];
        if (!valid(element)) fail_option(message, count);
    }
    return value;
}

// 'error' or 'return', in any case.
bool read_interrupt(const OptionSource& source)
{
    const host::Value value = source.value(interrupt);
    if (!host::present(value)) return false;
    char text[16] = {};
    if (host::is_text(value)) host::copy_text(value, text, sizeof text);
    if (equal_ignoring_case(text, "return")) return true;
    if (!equal_ignoring_case(text, "error")) fail_option("interrupt must be 'error' or 'return'\n");
    return false;
}

struct EntryOptions {
    TrainerOptions trainer;
    host::Value weights;
    host::Value w0;
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

// Every value is checked before anything is printed; then the ignored parts
// of the options are warned of, and the corrections are applied in this
// order, so they are reported lambda, nbite, seed.
EntryOptions read_options(const OptionSource& source, int32_t d, int32_t N)
{
    double values[option_count];
    bool given[option_count];
    for (int k : {lambda, biasmult, nbite, seed, startstep, verbose}) given[k] = read_number(source, k, &values[k]);

    EntryOptions result;
    TrainerOptions& options = result.trainer;
    if (given[biasmult]) options.biasmult = values[biasmult];
    if (given[startstep] && !set_startstep(options, values[startstep])) {
        fail_option("startstep must be a whole number from 0 to 2^53\n");
    }
    if (given[verbose] && !set_verbose(options, values[verbose])) {
        fail_option("verbose must be true, false or a number >= 0\n");
    }
    options.return_on_interrupt = read_interrupt(source);
    result.weights = read_vector(source, weights, N, valid_example_weight,
                                 "weights must be %" PRId64 " finite numbers >= 0 (double or single), one per example\n");
    result.w0 = read_vector(source, w0, static_cast<int64_t>(weight_count(d, options.biasmult)), valid_starting_weight,
                            "w0 must be %" PRId64 " finite numbers (double or single), as many as w has\n");

    source.warn_ignored();
    if (given[lambda] && set_lambda(options, values[lambda], N)) host::print("lambda >= 0, force to 1/N\n");
    if (given[nbite] && set_nbite(options, values[nbite], N)) host::print("nbite > 0 , force to 20*N\n");
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
        return !host::print_now(Text("linsvm_fit: %" PRId64 " of %" PRId32 " steps (%.1f%%), %.3g steps/s, about %.*f s left\n",
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
               Text("interrupted by the user %s, after %" PRId64 " of %" PRId32 " steps\n", during, steps_made, steps)
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

const char* const info_fields[] = {"seed",       "state",     "lambda",      "biasmult", "nbite",
                                   "startstep",  "steps",     "violations",  "objective", "loss",
                                   "regularizer", "seconds",  "interrupted"};
constexpr int info_field_count = sizeof info_fields / sizeof info_fields[0];

void linsvm_fit_entry(host::Call& call)
{
    const Clock::time_point started = Clock::now();
    if (call_running()) {
        host::fail("linsvm_fit:busy",
                   "linsvm_fit was called while a call of it is running (from a callback run during its progress "
                   "output): call it again when that call has returned\n");
    }

    const int nrhs = call.argument_count();
    if (nrhs < 1 || !(host::is_real_dense_double(call.argument(0)) || host::is_real_dense_single(call.argument(0)))) {
        host::fail("linsvm_fit:invalidX", x_message);
    }
    const host::Value X = call.argument(0);
    if (host::rows(X) > INT32_MAX || host::columns(X) > INT32_MAX) host::fail("linsvm_fit:invalidX", x_message);
    const int32_t d = static_cast<int32_t>(host::rows(X));
    const int32_t N = static_cast<int32_t>(host::columns(X));

    if (nrhs < 2 || !host::is_real_dense_double(call.argument(1))) host::fail("linsvm_fit:invalidY", y_message);
    const host::Value y = call.argument(1);
    // Only the column count is compared, but the labels are read as the first
    // N elements, so y must hold that many.
    if (host::columns(y) != N || host::element_count(y) < N) host::fail("linsvm_fit:invalidY", y_message);
    const double* labels = host::double_data(y);

    const EntryOptions options = read_options(OptionSource(call), d, N);
    const TrainerOptions& trainer = options.trainer;

    // Labels other than -1 and +1 (0/1 labels, say) train a worse model without
    // failing: say so, through a warning the caller can turn off.
    const int64_t unusual = count_unusual_labels(labels, N);
    if (unusual > 0) {
        host::warn("linsvm_fit:unusualLabels",
                   Text("%" PRId64 " of the %" PRId32 " labels are not -1 or +1 after truncation toward zero", unusual, N)
                       .text);
    }

    const int64_t length = static_cast<int64_t>(weight_count(d, trainer.biasmult));
    host::ensure_memory(8.0 * static_cast<double>(length), "linsvm_fit:outOfMemory", "out of memory for the result\n");
    host::Result w = host::create_double_column(length);
    double* W = host::double_data(w);
    if (host::present(options.w0)) copy_doubles(options.w0, length, W);

    FitSettings settings;
    settings.lambda = trainer.lambda;
    settings.biasmult = trainer.biasmult;
    settings.steps = trainer.nbite;
    settings.start_step = trainer.startstep;
    if (host::present(options.weights) && N > 0) {
        double* example_weights = call.temporary_doubles(N);
        copy_doubles(options.weights, N, example_weights);
        settings.weights = example_weights;
    }

    sampler_seed(trainer.seed);
    const uint32_t start_state = sampler_working_state();
    Watch watch{trainer.verbose, trainer.nbite, started, started + std::chrono::seconds(1)};
    settings.monitor = FitMonitor{Watch::poll, &watch};
    host::watch_for_interrupts();
    FitResult fit;
    host::run_kernel("linsvm_fit:outOfMemory", "out of memory\n", [&] {
        const RunningCall running;
        if (trainer.verbose &&
            !host::print_now(Text("linsvm_fit: training on %" PRId32 " examples of %" PRId32 " features: %" PRId32
                                  " steps from step %" PRId64 ", lambda %g, biasmult %g, seed %" PRIu32 "\n",
                                  N, d, trainer.nbite, trainer.startstep + 1, trainer.lambda, trainer.biasmult,
                                  start_state)
                                 .text)) {
            // Stopped, or the host raised something, while the line was printed.
            fit.stopped = true;
            return;
        }
        // Without examples there is nothing to draw from: no steps, and the
        // result is the starting vector (not touched, so a huge d costs nothing).
        if (N == 0) return;
        fit = host::is_real_dense_single(X) ? fit_weights(host::single_data(X), labels, d, N, settings, W)
                                            : fit_weights(host::double_data(X), labels, d, N, settings, W);
    });
    // The state as advanced by the steps made, also when the user stopped them.
    sampler_store();
    if (fit.stopped) stop_interrupted(trainer, "while training", fit.steps_made);

    // Non-finite scores come from NaN or Inf in X (or overflowing values);
    // lambda = 0 or NaN makes every weight NaN by design and is not reported.
    if (fit.nonfinite_scores > 0 && trainer.lambda > 0.0) {
        host::warn("linsvm_fit:nonFiniteX",
                   Text("%" PRId64 " of the %" PRId64 " steps drew an example whose score is NaN or infinite (NaN or "
                        "Inf in X, or values too large): those steps did not train as intended",
                        fit.nonfinite_scores, fit.steps_made)
                       .text);
    }

    call.set_result(0, w);
    if (call.results_requested() >= 2) {
        settings.monitor = FitMonitor{[](void*, int64_t) noexcept { return host::stop_requested(); }, nullptr};
        TrainingObjective objective = host::is_real_dense_single(X)
                                          ? training_objective(host::single_data(X), labels, d, N, settings, W)
                                          : training_objective(host::double_data(X), labels, d, N, settings, W);
        if (objective.stopped) {
            stop_interrupted(trainer, "while evaluating the objective", fit.steps_made);
            const double not_evaluated = std::nan("");
            objective.regularizer = objective.loss = objective.objective = not_evaluated;
        }
        host::Result info = host::create_structure(info_fields, info_field_count);
        host::set_uint32_field(info, "seed", start_state);
        host::set_uint32_field(info, "state", sampler_stored_state());
        host::set_scalar_field(info, "lambda", trainer.lambda);
        host::set_scalar_field(info, "biasmult", trainer.biasmult);
        host::set_scalar_field(info, "nbite", trainer.nbite);
        host::set_scalar_field(info, "startstep", static_cast<double>(trainer.startstep));
        host::set_scalar_field(info, "steps", static_cast<double>(fit.steps_made));
        host::set_scalar_field(info, "violations", static_cast<double>(fit.violations));
        host::set_scalar_field(info, "objective", objective.objective);
        host::set_scalar_field(info, "loss", objective.loss);
        host::set_scalar_field(info, "regularizer", objective.regularizer);
        host::set_scalar_field(info, "seconds", seconds_since(started));
        host::set_logical_field(info, "interrupted", fit.stopped || objective.stopped);
        call.set_result(1, info);
    }

    if (trainer.verbose) {
        bool printed = false;
        {
            const RunningCall running;
            printed = host::print_now(Text("linsvm_fit: %" PRId64 " steps in %.3f s, %" PRId64
                                           " of them violated the margin%s\n",
                                           fit.steps_made, seconds_since(started), fit.violations,
                                           fit.stopped ? " (stopped by the user)" : "")
                                          .text);
        }
        if (!printed) host::raise_deferred_if_any();
    }
}

}  // namespace

HOST_ENTRY(linsvm_fit, linsvm_fit_entry)
