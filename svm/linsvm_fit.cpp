// [w, info] = linsvm_fit(X, y[, options]): the host entry of the trainer. It
// validates X and y, reads the options (svm/linsvm_fit_options.cpp), lays out
// the models (svm/model_layout.h), trains them (fit_batch), scores them and
// reports (svm/info_figures.h, svm/cross_validation.h).
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
#include <new>

#include "common/parallel.h"
#include "host/host.h"
#include "svm/classes_and_folds.h"
#include "svm/cross_validation.h"
#include "svm/fit_weights.h"
#include "svm/info_figures.h"
#include "svm/label_reading.h"
#include "svm/linsvm_fit_examples.h"
#include "svm/linsvm_fit_options.h"
#include "svm/model_layout.h"
#include "svm/model_scores.h"
#include "svm/sampler.h"
#include "svm/trainer_options.h"

namespace {

// Labels other than -1 and +1 (0/1 labels, say) train a worse model without
// failing: say so, through a warning the caller can turn off. One-vs-rest
// models read the labels as classes.
void warn_unusual_labels(const EntryOptions& options, const double* labels, int32_t N)
{
    const int64_t unusual = options.class_count > 0 ? 0 : count_unusual_labels(labels, N);
    if (unusual > 0) {
        host::warn("linsvm_fit:unusualLabels",
                   host::Message("%" PRId64 " of the %" PRId32 " labels are not -1 or +1 after truncation toward zero",
                                 unusual, N)
                       .text);
    }
}

using host::Message;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Watches the solver: stops it when the user asks, and with verbose on
// prints a progress line about once a second.
struct ProgressMonitor {
    bool verbose;
    int32_t steps;
    Clock::time_point started;
    Clock::time_point next_report;

    static bool poll(void* context, int64_t steps_made) noexcept
    {
        if (host::stop_requested()) return true;
        ProgressMonitor& monitor = *static_cast<ProgressMonitor*>(context);
        if (!monitor.verbose) return false;
        const Clock::time_point now = Clock::now();
        if (now < monitor.next_report) return false;
        monitor.next_report = now + std::chrono::seconds(1);
        const double elapsed = std::chrono::duration<double>(now - monitor.started).count();
        const double rate = elapsed > 0.0 ? static_cast<double>(steps_made) / elapsed : 0.0;
        const double left = rate > 0.0 ? static_cast<double>(monitor.steps - steps_made) / rate : 0.0;
        // A host error raised while printing (an interrupt just then) stops the call.
        return !host::print_now(Message("linsvm_fit: %" PRId64 " of %" PRId32 " steps (%.1f%%), %.3g steps/s, about %.*f s left\n",
                                     steps_made, monitor.steps, 100.0 * static_cast<double>(steps_made) / monitor.steps,
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

template <class T>
T* construct(host::Call& call, int64_t count)
{
    T* items = call.temporary<T>(count > 0 ? count : 1);
    for (int64_t i = 0; i < count; ++i) new (items + i) T();
    return items;
}

// Copies a double or single host vector into doubles of the call; null when
// it is absent or when `needed` is false.
const double* doubles_of(host::Call& call, const host::Value& value, bool needed)
{
    if (!host::present(value) || !needed) return nullptr;
    const int64_t count = host::element_count(value);
    double* out = call.temporary<double>(count);
    if (host::is_real_dense_double(value)) {
        std::memcpy(out, host::double_data(value), static_cast<size_t>(count) * sizeof(double));
    } else {
        const float* data = host::single_data(value);
        for (int64_t i = 0; i < count; ++i) out[i] = data[i];
    }
    return out;
}

// The models of the call, laid out in memory of the call.
struct Layout {
    ModelPlan plan;
    int32_t model_count = 0;
    int32_t fold_count = 0;
    double* last = nullptr;  // averaging: the last iterates, for info.last
    FitGroup* groups = nullptr;
    FitModel* models = nullptr;
    // Fold f's own examples: validation[validation_begin[f] .. validation_begin[f + 1]).
    const int32_t* validation = nullptr;
    const int64_t* validation_begin = nullptr;
};

// The plan of the models as the options give it.
ModelPlan plan_models(const EntryOptions& options, int32_t d, int32_t N)
{
    ModelPlan plan;
    plan.N = N;
    plan.length = static_cast<int64_t>(weight_count(d, options.trainer.biasmult));
    plan.class_count = options.class_count;
    plan.path = options.path;
    plan.path_length = options.path_length;
    plan.fold_count = options.fold_count;
    plan.averaging = options.averaging;
    plan.average_after = options.average_after;
    plan.start_step = options.trainer.startstep;
    plan.nbite = options.trainer.nbite;
    plan.nbite_corrected = options.nbite_corrected;
    return plan;
}

// w: a column per model, length x class_count x path_length with classes,
// else length x path_length.
host::Result create_weights_result(const ModelPlan& plan)
{
    const int64_t length = plan.length;
    host::ensure_memory(8.0 * static_cast<double>(length) * plan.model_count(), "linsvm_fit:outOfMemory",
                        "out of memory for the result\n");
    return plan.class_count > 0       ? host::create_double_array(length, plan.class_count, plan.path_length)
           : plan.model_count() == 1 ? host::create_double_column(length)
                                     : host::create_double_array(length, plan.path_length, 1);
}

// Lays the models out, their results in `result` (w): the storage of every
// group's models, the folds' columns, the starting weights; seeds the sampler.
void lay_out(host::Call& call, const EntryOptions& options, int32_t N, double* result, Layout& layout)
{
    ModelPlan& plan = layout.plan;
    const int32_t model_count = layout.model_count = plan.model_count();
    const int32_t fold_count = layout.fold_count = plan.fold_count;
    const int64_t length = plan.length;
    const double weights_bytes = 8.0 * static_cast<double>(length) * model_count;
    ModelStorage storage;
    storage.result = result;
    // Averaging: w gets the means, and the last iterates go to info.last.
    const bool averaging = plan.averaging != Averaging::none;
    const int64_t per_group = length * model_count;
    if (averaging) {
        host::ensure_memory(weights_bytes, "linsvm_fit:outOfMemory", "out of memory\n");
        storage.last = layout.last = call.temporary<double>(per_group > 0 ? per_group : 1);
    }
    if (fold_count > 0) {
        host::ensure_memory((weights_bytes + 4.0 * N) * fold_count, "linsvm_fit:outOfMemory", "out of memory\n");
        const int64_t all_folds = per_group * fold_count;
        storage.fold_iterates = call.temporary<double>(all_folds > 0 ? all_folds : 1);
        if (averaging) {
            host::ensure_memory(weights_bytes * fold_count, "linsvm_fit:outOfMemory", "out of memory\n");
            storage.fold_means = call.temporary<double>(all_folds > 0 ? all_folds : 1);
        }
        int32_t* training = call.temporary<int32_t>(static_cast<int64_t>(fold_count - 1) * N);
        int64_t* training_begin = call.temporary<int64_t>(fold_count + 1);
        int32_t* validation = call.temporary<int32_t>(N);
        int64_t* validation_begin = call.temporary<int64_t>(fold_count + 1);
        split_folds(options.fold_of, N, fold_count, training, training_begin, validation, validation_begin);
        storage.training = training;
        storage.training_begin = training_begin;
        layout.validation = validation;
        layout.validation_begin = validation_begin;
    }
    // Example weights: one per example, or a column per class.
    plan.example_weights = doubles_of(call, options.weights, N > 0);
    plan.weights_per_class = plan.example_weights != nullptr && host::element_count(options.weights) > N;
    plan.w0 = doubles_of(call, options.w0, length > 0);
    plan.w0_per_model = host::present(options.w0) && host::element_count(options.w0) > length;

    sampler_seed(options.trainer.seed);
    plan.start_state = sampler_working_state();
    layout.groups = construct<FitGroup>(call, layout.fold_count + 1);
    layout.models = construct<FitModel>(call, static_cast<int64_t>(model_count) * (fold_count + 1));
    lay_out_models(plan, storage, layout.groups, layout.models);
}

// The first progress line.
Message start_line(const TrainerOptions& trainer, const Layout& layout, int32_t d, int32_t N, int32_t steps,
                   int threads)
{
    const int32_t model_count = layout.model_count;
    const int32_t fold_count = layout.fold_count;
    const uint32_t start_state = layout.plan.start_state;
    if (model_count == 1 && fold_count == 0) {
        return Message("linsvm_fit: training on %" PRId32 " examples of %" PRId32 " features: %" PRId32
                       " steps from step %" PRId64 ", lambda %g, biasmult %g, seed %" PRIu32 "\n",
                       N, d, trainer.nbite, trainer.startstep + 1, trainer.lambda, trainer.biasmult, start_state);
    }
    char folds_part[96] = "";
    if (fold_count > 0) {
        std::snprintf(folds_part, sizeof folds_part, " (%" PRId32 " on all examples, %" PRId64 " on %" PRId32 " folds)",
                      model_count, static_cast<int64_t>(model_count) * fold_count, fold_count);
    }
    return Message("linsvm_fit: training %" PRId64 " models%s on %" PRId32 " examples of %" PRId32
                   " features: %" PRId32 " steps each from step %" PRId64 ", biasmult %g, seed %" PRIu32
                   ", up to %d threads\n",
                   static_cast<int64_t>(model_count) * (fold_count + 1), folds_part, N, d, steps,
                   trainer.startstep + 1, trainer.biasmult, start_state, threads);
}

// Trains every model; true when the user stopped it. The sampler goes on
// from the draws of the models on all examples, also when they were stopped.
bool train(const Examples& X, int32_t d, int32_t N, const TrainerOptions& trainer, const Layout& layout,
           FitBatch& batch, Clock::time_point started)
{
    const int32_t steps = layout.groups[0].steps;
    ProgressMonitor progress{trainer.verbose, steps, started, started + std::chrono::seconds(1)};
    batch.monitor = FitMonitor{ProgressMonitor::poll, &progress};
    host::watch_for_interrupts();
    bool stopped = false;
    host::run_kernel("linsvm_fit:outOfMemory", "out of memory\n", [&] {
        const RunningCall running;
        if (trainer.verbose && !host::print_now(start_line(trainer, layout, d, N, steps, batch.threads).text)) {
            // Stopped, or the host raised something, while the line was printed.
            stopped = true;
            return;
        }
        // Without examples every group has 0 steps: the results are the
        // starting vectors (and so are their averages).
        stopped = X.run([&](const auto& examples) {
            return fit_batch(examples, d, batch, layout.groups, layout.fold_count + 1);
        });
        sampler_rewind(layout.models[0].sampler_state);
    });
    batch.monitor = FitMonitor{};
    // The state as advanced by the steps made, also when the user stopped them.
    sampler_store();
    return stopped;
}

// Non-finite scores come from NaN or Inf in X (or overflowing values);
// lambda = 0 or NaN makes every weight NaN by design and is not reported.
void warn_nonfinite_scores(const Layout& layout, int64_t steps_made)
{
    int64_t nonfinite = 0;
    for (int32_t m = 0; m < layout.model_count; ++m) {
        const FitModel& model = layout.models[m];
        if (model.lambda > 0.0 && model.result.nonfinite_scores > nonfinite) nonfinite = model.result.nonfinite_scores;
    }
    if (nonfinite > 0) {
        host::warn("linsvm_fit:nonFiniteX",
                   Message("%" PRId64 " of the %" PRId64 " steps drew an example whose score is NaN or infinite (NaN or "
                        "Inf in X, or values too large): those steps did not train as intended",
                        nonfinite, steps_made)
                       .text);
    }
}

// Scores the models returned: per model the loss and errors on all examples
// (at m), then, per fold, on the fold's own examples (at (f + 1) *
// model_count + m). False when the user stopped it.
bool score(const Examples& X, int32_t d, int32_t N, const FitBatch& batch, const Layout& layout, double* loss,
           int64_t* errors)
{
    const int32_t model_count = layout.model_count;
    auto score_group = [&](const int32_t* columns, int32_t count, const FitModel* models, int64_t at) {
        return X.run([&](const auto& examples) {
            return score_models(examples, d, batch, columns, count, models, model_count, loss + at, errors + at);
        });
    };
    bool scored = score_group(nullptr, N, layout.models, 0);
    for (int32_t f = 0; f < layout.fold_count && scored; ++f) {
        scored = score_group(layout.validation + layout.validation_begin[f],
                             static_cast<int32_t>(layout.validation_begin[f + 1] - layout.validation_begin[f]),
                             layout.groups[f + 1].models, static_cast<int64_t>(f + 1) * model_count);
    }
    return scored;
}

// info.cv from the scores of the fold models.
host::Result cross_validation_info(host::Call& call, const Layout& layout, const double* loss, const int64_t* errors,
                                   bool scored)
{
    const int32_t fold_count = layout.fold_count;
    const int32_t model_count = layout.model_count;
    const FoldFigures figures = fold_figures_in(
        call.temporary<double>(fold_figures_length(fold_count, model_count)), fold_count, model_count);
    summarise_folds(loss, errors, layout.validation_begin, fold_count, model_count, scored, figures);
    host::Result cv = host::create_structure(fold_field_names, fold_field_count);
    host::set_matrix_field(cv, fold_field_name(FoldField::loss), figures.loss, fold_count, model_count);
    host::set_matrix_field(cv, fold_field_name(FoldField::error), figures.error, fold_count, model_count);
    host::set_matrix_field(cv, fold_field_name(FoldField::count), figures.count, fold_count, 1);
    host::set_matrix_field(cv, fold_field_name(FoldField::meanloss), figures.mean_loss, 1, model_count);
    host::set_matrix_field(cv, fold_field_name(FoldField::meanerror), figures.mean_error, 1, model_count);
    return cv;
}

// What info reports of the training.
struct TrainingFigures {
    uint32_t start_state;
    int32_t steps;  // of each model on all examples
    const FitResult* fit;
    double seconds;
    bool interrupted;
};

// info: the figures describe the weights returned (with averaging, the means).
host::Result info_of(host::Call& call, const EntryOptions& options, const Layout& layout, int32_t N,
                     const TrainingFigures& training, const double* loss, const int64_t* errors, bool scored)
{
    const int32_t model_count = layout.model_count;
    const int64_t length = layout.plan.length;
    const int32_t path_length = options.path_length;
    const bool one_vs_rest = options.class_count > 0;
    const bool averaging = layout.plan.averaging != Averaging::none;
    double* per_model = call.temporary<double>(4 * static_cast<int64_t>(model_count));
    const ModelFigures figures{per_model, per_model + model_count, per_model + 2 * model_count,
                               per_model + 3 * model_count};
    model_figures(layout.models, model_count, length, loss, N, scored, figures);
    double* path = call.temporary<double>(path_length);
    for (int32_t l = 0; l < path_length; ++l) path[l] = options.path[l].for_examples(N);

    auto field = info_field_name;
    host::Result info = host::create_structure(info_field_names, info_field_count);
    host::set_uint32_field(info, field(InfoField::seed), training.start_state);
    host::set_uint32_field(info, field(InfoField::state), sampler_stored_state());
    host::set_matrix_field(info, field(InfoField::lambda), path, 1, path_length);
    host::set_scalar_field(info, field(InfoField::biasmult), options.trainer.biasmult);
    host::set_scalar_field(info, field(InfoField::nbite), training.steps);
    host::set_scalar_field(info, field(InfoField::startstep), static_cast<double>(options.trainer.startstep));
    host::set_scalar_field(info, field(InfoField::steps), static_cast<double>(training.fit->steps_made));
    host::set_matrix_field(info, field(InfoField::violations), figures.violations, 1, model_count);
    host::set_matrix_field(info, field(InfoField::objective), figures.objective, 1, model_count);
    host::set_matrix_field(info, field(InfoField::loss), figures.loss, 1, model_count);
    host::set_matrix_field(info, field(InfoField::regularizer), figures.regularizer, 1, model_count);
    host::set_scalar_field(info, field(InfoField::seconds), training.seconds);
    host::set_logical_field(info, field(InfoField::interrupted), training.interrupted);
    host::set_matrix_field(info, field(InfoField::classes), options.classes, one_vs_rest ? 1 : 0,
                           one_vs_rest ? options.class_count : 0);
    host::set_scalar_field(info, field(InfoField::averaged), static_cast<double>(training.fit->averaged));
    host::set_matrix_field(info, field(InfoField::last), layout.last, averaging ? length : 0,
                           averaging ? model_count : 0);
    if (layout.fold_count > 0) {
        host::set_structure_field(info, field(InfoField::cv), cross_validation_info(call, layout, loss, errors, scored));
    }
    return info;
}

// Scores the models and hands info over; *stopped becomes true when a
// Ctrl-C taken as this call's stops it.
void report_info(host::Call& call, const Examples& X, int32_t d, int32_t N, const EntryOptions& options,
                 Layout& layout, FitBatch& batch, Clock::time_point started, bool* stopped)
{
    const TrainerOptions& trainer = options.trainer;
    const FitResult& fit = layout.models[0].result;
    const int32_t model_count = layout.model_count;
    const int64_t all_models = static_cast<int64_t>(model_count) * (layout.fold_count + 1);
    if (layout.plan.averaging != Averaging::none) {
        for (int64_t m = 0; m < all_models; ++m) layout.models[m].W = layout.models[m].average;
    }
    batch.monitor = FitMonitor{[](void*, int64_t) noexcept { return host::stop_requested(); }, nullptr};
    double* loss = call.temporary<double>(all_models);
    int64_t* errors = call.temporary<int64_t>(all_models);
    const bool scored = score(X, d, N, batch, layout, loss, errors);
    if (!scored) stop_interrupted(trainer, "while evaluating the objective", fit.steps_made);
    // With 'return', a Ctrl-C after the last poll still stops this call
    // rather than the statement after it.
    if (trainer.return_on_interrupt && !*stopped && scored && host::stop_requested()) {
        host::raise_deferred();
        *stopped = true;
    }
    const TrainingFigures training{layout.plan.start_state, layout.groups[0].steps, &fit, seconds_since(started),
                                   *stopped || !scored};
    call.set_result(1, info_of(call, options, layout, N, training, loss, errors, scored));
}

// The last progress line. A Ctrl-C during it: with 'return' the call still
// returns what it has; otherwise the interrupt stays pending for the host.
void print_summary(const TrainerOptions& trainer, const FitResult& fit, Clock::time_point started, bool stopped)
{
    bool printed = false;
    {
        const RunningCall running;
        printed = host::print_now(Message("linsvm_fit: %" PRId64 " steps in %.3f s, %" PRId64
                                       " of them violated the margin%s\n",
                                       fit.steps_made, seconds_since(started), fit.violations,
                                       stopped ? " (stopped by the user)" : "")
                                      .text);
    }
    if (!printed && trainer.return_on_interrupt) host::raise_deferred();
    if (!printed) host::raise_deferred_if_any();
}

void linsvm_fit_entry(host::Call& call)
{
    const Clock::time_point started = Clock::now();
    if (call_running()) {
        host::fail("linsvm_fit:busy",
                   "linsvm_fit was called while a call of it is running (from a callback run during its progress "
                   "output): call it again when that call has returned\n");
    }

    const Examples X = read_examples(call);
    const int32_t d = static_cast<int32_t>(host::rows(X.array));
    const int32_t N = static_cast<int32_t>(host::columns(X.array));
    const double* labels = read_labels(call, N);
    const EntryOptions options = read_options(call, labels, d, N);
    const TrainerOptions& trainer = options.trainer;
    warn_unusual_labels(options, labels, N);

    Layout layout;
    layout.plan = plan_models(options, d, N);
    host::Result w = create_weights_result(layout.plan);
    lay_out(call, options, N, host::double_data(w), layout);

    FitBatch batch;
    batch.y = labels;
    batch.class_of = options.class_of;
    batch.biasmult = trainer.biasmult;
    batch.start_step = trainer.startstep;
    batch.threads = kernel_threads();
    bool stopped = train(X, d, N, trainer, layout, batch, started);
    const FitResult& fit = layout.models[0].result;
    if (stopped) stop_interrupted(trainer, "while training", fit.steps_made);
    warn_nonfinite_scores(layout, fit.steps_made);

    call.set_result(0, w);
    if (call.results_requested() >= 2) report_info(call, X, d, N, options, layout, batch, started, &stopped);
    if (trainer.verbose) print_summary(trainer, fit, started, stopped);
    if (trainer.return_on_interrupt && host::stop_requested()) host::raise_deferred();
}

}  // namespace

HOST_ENTRY(linsvm_fit, linsvm_fit_entry)
