// Stochastic sub-gradient solver for the L2-regularised hinge loss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "svm/sparse_examples.h"

// Whether the weight vector has a bias weight (after the d feature weights):
// exactly when biasmult > 0. A negative or NaN biasmult is treated as 0: no
// bias anywhere. The one rule that the caller sizing W and the solver filling
// it both read.
inline bool has_bias_weight(double biasmult)
{
    return biasmult > 0.0;
}

// The length of W for d features: d, plus 1 for the bias weight.
inline size_t weight_count(int32_t d, double biasmult)
{
    return (d > 0 ? static_cast<size_t>(d) : 0) + (has_bias_weight(biasmult) ? 1 : 0);
}

// Lets a long call be watched and stopped: poll(context, steps_made) is called
// between steps, about every few milliseconds of work (not at every step, and
// never after the last); when it returns true the solver stops there. It runs
// on the solver's thread.
struct FitMonitor {
    bool (*poll)(void* context, int64_t steps_made) = nullptr;
    void* context = nullptr;
};

struct FitResult {
    int64_t steps_made = 0;
    int64_t violations = 0;  // steps that took the margin-violating branch
    // Steps whose score was NaN or infinite: an example holding NaN or Inf
    // (which never trains as meant), or weights that overflowed.
    int64_t nonfinite_scores = 0;
    bool stopped = false;    // the monitor stopped the call before its last step
    int64_t averaged = 0;    // iterates averaged (FitModel::average)
};

// Many models in one call. Models that draw the same examples from the same
// sampler state form a group and step together: each drawn example is read
// once for all of them. A model of a batch gets, bit for bit, the weights
// and sampler state that it gets in a batch of its own, on every variant and
// at every thread count.

// One model: its weights, regularisation, labels and example weights. The
// caller sets the first four fields; fit_batch fills the rest.
struct FitModel {
    double* W = nullptr;  // weight_count(d, biasmult) doubles: starting weights in, result out
    double lambda = 0.01;
    // Example weights by column of X (finite, >= 0), or null for weights of
    // 1. A weight scales its example's update, and the projection radius
    // becomes sqrt(mean of the group's weights) / sqrt(lambda).
    const double* weights = nullptr;
    // >= 0: one-vs-rest, the label is +1 where FitBatch::class_of[column] is
    // this class and -1 elsewhere; < 0: the label is y[column], truncated.
    int32_t positive_class = -1;
    // Averaged iterates: when not null, weight_count(d, biasmult) doubles
    // that receive the mean of the weight vectors after each step t >
    // average_after (t counted as the step size counts it, start_step + 1,
    // start_step + 2, ...), or the last iterate when no step was averaged; W
    // still ends as the last iterate. The sum is kept as the steps go: the
    // scales of the averaged steps are summed while W stays as it is, and
    // that sum times W is added to the stored sum, element by element,
    // before W next changes and at the end; the mean is the stored sum
    // divided by the count. (On sparse examples the stored sum takes, at
    // every changed element, the opposite of the pending sum times the
    // change instead, so the mean is the same to rounding.)
    double* average = nullptr;
    int64_t average_after = 0;

    FitResult result;
    // The run's state from one round of steps to the next.
    double sqrt_lambda = 0.0;
    double radius = 1.0;          // sqrt(mean of the group's example weights)
    double scale = 1.0;           // the weights the steps describe are scale * W
    double score = 0.0;           // vector paths: W times the next step's example
    uint32_t sampler_state = 0;   // after the last draw of a step made
    // Sparse examples: the squared norm of W kept up to date by the steps,
    // and the elements changed since it was last summed in full.
    double squared_norm = 0.0;
    int64_t changed = 0;
    double scale_sum = 0.0;  // averaging: the scales summed and not yet added to the stored sum
};

// Models that draw from the same examples (columns of X) with the same
// sampler state.
struct FitGroup {
    int32_t count = 0;                  // the examples drawn from (>= 1 when steps >= 1)
    const int32_t* columns = nullptr;   // their columns of X, or null for columns 0 .. count-1
    int32_t steps = 0;                  // T; nothing is trained when T <= 0
    uint32_t start_state = 0;           // the sampler's working state before the first draw
    FitModel* models = nullptr;
    int32_t model_count = 0;
};

// What the models of a batch share.
struct FitBatch {
    const double* y = nullptr;          // labels by column of X
    const int32_t* class_of = nullptr;  // class numbers by column, for one-vs-rest models
    double biasmult = 1.0;
    int64_t start_step = 0;
    // Polled on the calling thread between rounds of steps, with the steps
    // made by the longest group so far; when it returns true every group
    // stops there (or at its own end), so all models of a group stop at the
    // same step.
    FitMonitor monitor;
    int threads = 1;  // the models are split across up to this many threads
};

// Trains every model of every group in place. X holds the examples, d
// features each, one per column (element k of column c at X[k + c*d]), as
// doubles or as floats. Each step of a group draws one of its examples with
// the sampler, from the group's start_state on; each model ends with the
// state after its group's last draw (sampler_state), also when the monitor
// stopped the batch. Returns true when it did.
//
// Float examples are widened to double element by element, which is exact:
// training on float X gives, bit for bit, what training on the same values
// as doubles gives, with half the bytes read per step.
//
// Runs the variant chosen for this processor (fit_weights_chosen). The
// variants sum the two inner sums in a different order from
// fit_batch_plain, so results agree with it to a few units in the last
// place; draws and sampler state are equal. Starts its threads itself and
// allocates nothing, but for the variant list at the first call, which may
// throw std::bad_alloc.
bool fit_batch(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count);
bool fit_batch(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count);

using BatchDouble = bool (*)(const double*, int32_t, const FitBatch&, FitGroup*, int32_t) noexcept;
using BatchSingle = bool (*)(const float*, int32_t, const FitBatch&, FitGroup*, int32_t) noexcept;

// Sparse examples (svm/sparse_examples.h), one implementation on every
// processor: a step reads and writes only the drawn example's non-zeros and
// the bias weight, keeping the squared norm of W as it goes rather than
// summing it, so that the projection costs no pass over W. The draws are the
// dense call's; the weights agree with the dense call on the same values up
// to the rounding of the reordered operations. The structure must be valid
// (sparse_structure_valid).
bool fit_batch(const SparseExamples<double>& X, int32_t d, const FitBatch& batch, FitGroup* groups,
               int32_t group_count) noexcept;
bool fit_batch(const SparseExamples<bool>& X, int32_t d, const FitBatch& batch, FitGroup* groups,
               int32_t group_count) noexcept;

// The same steps as plain loops, each sum accumulated in index order: the
// reference that the vector variants are tested against.
bool fit_batch_plain(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_plain(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;

// The vectorised variants: SSE2 (any x86-64) and AVX2 (x86-64, call only
// when cpu_has_avx2() is true); Advanced SIMD (arm64).
bool fit_batch_sse2(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_sse2(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_avx2(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_avx2(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_neon(const double* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;
bool fit_batch_neon(const float* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept;

struct FitVariant {
    const char* name;
    BatchDouble batch_double;
    BatchSingle batch_single;
};

// The vectorised variants this processor runs, widest first (none where the
// build has only the plain loops). For tests and benchmarks.
std::vector<FitVariant> fit_weights_variants();

// The variant fit_batch runs: the first of fit_weights_variants, or the
// plain loops, chosen once when the module is loaded (at its first call).
FitVariant fit_weights_chosen();

// sqrt(mean of the weights of the N examples columns[0 .. N-1], summed in
// that order; columns 0 .. N-1 when columns is null), the factor of the
// projection radius: exactly 1 without weights (null) and for weights that
// are all 1.
double projection_radius(const double* weights, const int32_t* columns, int32_t N);

// How many steps make about a millisecond of work when a step reads about
// `elements` elements (d for dense examples): how often the solver polls its
// monitor.
int64_t steps_between_polls(int64_t elements);
