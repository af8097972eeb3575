// The solver's steps over vector registers, shared by the per-instruction-set
// files (fit_weights_sse2.cpp, _avx2.cpp, _neon.cpp). Each includes this
// header once, after defining its Isa type:
//
//   struct Isa {
//       using V = ...;                      // vector of `lanes` doubles
//       static constexpr size_t lanes;
//       static V zero(); static V set1(double);
//       static V load(const double*); static void store(double*, V);
//       static V load(const float*);        // `lanes` floats, each widened to double
//       static V add(V, V); static V mul(V, V);
//       static double sum(V);               // lane 0 + lane 1 + ..., in lane order
//   };
//
// Examples are doubles or floats (Element); a float is widened exactly, so
// both give the same doubles in the same operations.
//
// Everything here has internal linkage, so the copies, compiled with
// different instruction sets, never meet at link time.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/prefetch.h"
#include "svm/batch_rounds.h"
#include "svm/fit_weights.h"
#include "svm/sampler.h"
#include "svm/step_rule.h"

namespace {

// How far ahead examples are prefetched: about this many bytes of examples in
// flight, to cover memory latency for short examples as well as long ones.
constexpr size_t prefetch_bytes = 16384;
constexpr int32_t max_lookahead = 24;


// Elements of one 64-byte cache line.
template <class Element>
constexpr size_t line_elements = 64 / sizeof(Element);

// Example indices drawn ahead of the steps that use them, from a sampler
// state of the caller's. The draws do not depend on the weights, so taking
// them early changes nothing: exactly the draws of the steps are taken, in
// the same order; state_after_made gives the state after the last draw whose
// step was made.
class DrawAhead {
public:
    DrawAhead(int32_t N, int64_t T, uint32_t state) : N_(N), undrawn_(T), stream_(state), last_state_(state) {}

    // The next step's example index; only called T times.
    int32_t take()
    {
        if (size_ == 0) refill();
        const int32_t j = ring_[head_];
        before_last_state_ = last_state_;
        last_state_ = states_[head_];
        head_ = (head_ + 1) % capacity;
        --size_;
        return j;
    }

    // The index `ahead` steps after the last one taken (1 = the next), or -1
    // when the call has fewer steps left.
    int32_t peek(int32_t ahead)
    {
        if (size_ < ahead) refill();
        if (size_ < ahead) return -1;
        return ring_[(head_ + static_cast<uint32_t>(ahead) - 1) % capacity];
    }

    // The state after the last draw whose step was made: the last taken, or
    // the one before it when that belongs to a step not made.
    uint32_t state_after_made(bool last_taken_made) const { return last_taken_made ? last_state_ : before_last_state_; }

private:
    static constexpr uint32_t capacity = 64;
    static constexpr int32_t chunk = 32;

    void refill()
    {
        if (undrawn_ == 0 || size_ > static_cast<int32_t>(capacity) - chunk) return;
        const int32_t count = undrawn_ < chunk ? static_cast<int32_t>(undrawn_) : chunk;
        int32_t batch[chunk];
        uint32_t batch_states[chunk];
        sampler_draw_many_from(stream_, N_, count, batch, batch_states);
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t at = (head_ + static_cast<uint32_t>(size_ + i)) % capacity;
            ring_[at] = batch[i];
            states_[at] = batch_states[i];
        }
        size_ += count;
        undrawn_ -= count;
    }

    int32_t N_;
    int64_t undrawn_;
    uint32_t stream_;
    int32_t ring_[capacity] = {};
    uint32_t states_[capacity] = {};  // the sampler's working state after each draw
    uint32_t last_state_;
    uint32_t before_last_state_ = 0;
    uint32_t head_ = 0;
    int32_t size_ = 0;
};

// Four independent accumulators keep several additions in flight; the lanes
// are combined once at the end, and the elements past the last full vector are
// added one by one in index order. For d below the vector width that is the
// plain loop's order exactly.
template <class Isa, class Element>
double dot_pass(const double* w, const Element* x, size_t n, const Element* ahead)
{
    using V = typename Isa::V;
    constexpr size_t L = Isa::lanes;
    V s0 = Isa::zero(), s1 = Isa::zero(), s2 = Isa::zero(), s3 = Isa::zero();
    size_t k = 0;
    for (; k + 4 * L <= n; k += 4 * L) {
        for (size_t b = 0; b < 4 * L; b += line_elements<Element>) prefetch(ahead + k + b);
        s0 = Isa::add(s0, Isa::mul(Isa::load(w + k), Isa::load(x + k)));
        s1 = Isa::add(s1, Isa::mul(Isa::load(w + k + L), Isa::load(x + k + L)));
        s2 = Isa::add(s2, Isa::mul(Isa::load(w + k + 2 * L), Isa::load(x + k + 2 * L)));
        s3 = Isa::add(s3, Isa::mul(Isa::load(w + k + 3 * L), Isa::load(x + k + 3 * L)));
    }
    for (; k + L <= n; k += L) s0 = Isa::add(s0, Isa::mul(Isa::load(w + k), Isa::load(x + k)));
    double s = Isa::sum(Isa::add(Isa::add(s0, s1), Isa::add(s2, s3)));
    for (; k < n; ++k) s += w[k] * x[k];
    return s;
}

// One update step, w = w * a_dec + x * c, with q the sum of the squares of the
// new w. When next is not null the same pass also returns the dot product of
// the new w with next, the following step's example: every step then costs one
// pass over w. With an average, the same pass first adds S times the old w
// to the stored sum A, element by element.
template <class Isa, bool with_next, bool with_average, class Element>
double update_pass(double* w, const Element* x, const Element* next, size_t n, const Element* ahead, double a_dec,
                   double c, double* q_out, double* A, double S)
{
    using V = typename Isa::V;
    constexpr size_t L = Isa::lanes;
    const V va = Isa::set1(a_dec);
    const V vc = Isa::set1(c);
    const V vS = Isa::set1(S);
    V q0 = Isa::zero(), q1 = Isa::zero();
    V s0 = Isa::zero(), s1 = Isa::zero();
    size_t k = 0;
    for (; k + 2 * L <= n; k += 2 * L) {
        for (size_t b = 0; b < 2 * L; b += line_elements<Element>) prefetch(ahead + k + b);
        if (with_average) {
            Isa::store(A + k, Isa::add(Isa::load(A + k), Isa::mul(vS, Isa::load(w + k))));
            Isa::store(A + k + L, Isa::add(Isa::load(A + k + L), Isa::mul(vS, Isa::load(w + k + L))));
        }
        const V w0 = Isa::add(Isa::mul(Isa::load(w + k), va), Isa::mul(Isa::load(x + k), vc));
        const V w1 = Isa::add(Isa::mul(Isa::load(w + k + L), va), Isa::mul(Isa::load(x + k + L), vc));
        Isa::store(w + k, w0);
        Isa::store(w + k + L, w1);
        q0 = Isa::add(q0, Isa::mul(w0, w0));
        q1 = Isa::add(q1, Isa::mul(w1, w1));
        if (with_next) {
            s0 = Isa::add(s0, Isa::mul(w0, Isa::load(next + k)));
            s1 = Isa::add(s1, Isa::mul(w1, Isa::load(next + k + L)));
        }
    }
    for (; k + L <= n; k += L) {
        if (with_average) Isa::store(A + k, Isa::add(Isa::load(A + k), Isa::mul(vS, Isa::load(w + k))));
        const V w0 = Isa::add(Isa::mul(Isa::load(w + k), va), Isa::mul(Isa::load(x + k), vc));
        Isa::store(w + k, w0);
        q0 = Isa::add(q0, Isa::mul(w0, w0));
        if (with_next) s0 = Isa::add(s0, Isa::mul(w0, Isa::load(next + k)));
    }
    double q = Isa::sum(Isa::add(q0, q1));
    double s = Isa::sum(Isa::add(s0, s1));
    for (; k < n; ++k) {
        if (with_average) A[k] += S * w[k];
        const double wk = w[k] * a_dec + x[k] * c;
        w[k] = wk;
        q += wk * wk;
        if (with_next) s += wk * next[k];
    }
    *q_out = q;
    return s;
}

// The steps of the models [first, end) of a group up to step `until`, with
// the two inner sums reordered (see dot_pass): each drawn example serves
// every model of the bunch in turn, so it is read from memory once.
template <class Isa, class Element>
void vector_bunch(const Element* X, int32_t d, const FitBatch& batch, FitGroup& group, int32_t first, int32_t end,
                  int64_t until) noexcept
{
    FitModel* const models = group.models;
    const int64_t T = group.steps;
    const int64_t made = models[first].result.steps_made;
    const int64_t last_step = until < T ? until : T;
    if (made >= last_step) return;
    const size_t features = d > 0 ? static_cast<size_t>(d) : 0;
    const bool has_bias = has_bias_weight(batch.biasmult);

    const size_t example_bytes = features * sizeof(Element);
    int32_t lookahead = max_lookahead;
    if (example_bytes > 0 && prefetch_bytes / example_bytes < static_cast<size_t>(max_lookahead)) {
        lookahead = static_cast<int32_t>(prefetch_bytes / example_bytes);
        if (lookahead < 1) lookahead = 1;
    }
    auto column = [&](int32_t j) { return group.columns != nullptr ? group.columns[j] : j; };
    auto example = [&](int32_t c) { return X + static_cast<size_t>(c) * features; };

    DrawAhead draws(group.count, T - made, models[first].sampler_state);
    int32_t c = column(draws.take());
    const Element* x = example(c);
    // The example lookahead steps after the current pass's last one; the
    // current example when the call ends sooner.
    auto ahead_of = [&](const Element* fallback) {
        const int32_t ja = draws.peek(lookahead);
        if (ja < 0) return fallback;
        const int32_t ca = column(ja);
        prefetch(batch.y + ca);
        if (models[first].weights != nullptr) prefetch(models[first].weights + ca);
        return example(ca);
    };
    // The first step's scores; later rounds start from the scores the step
    // before them left.
    if (made == 0) {
        const Element* ahead = ahead_of(x);
        for (int32_t m = first; m < end; ++m) models[m].score = dot_pass<Isa>(models[m].W, x, features, ahead);
    }

    // Steps counted in 64 bits: T may be INT32_MAX.
    int64_t step = made + 1;
    for (;; ++step) {
        const bool last = step == T;
        const int32_t c_next = last ? c : column(draws.take());
        const Element* x_next = example(c_next);
        const Element* ahead = last ? x : ahead_of(x_next);
        for (int32_t m = first; m < end; ++m) {
            FitModel& model = models[m];
            const StepRule rule(d, batch, model);
            double* W = model.W;
            double s = model.score;
            if (has_bias) s += rule.biasmult * W[features];
            if (!std::isfinite(s)) ++model.result.nonfinite_scores;
            const double label = rule.label_of(c);
            const double margin = (s * model.scale) * label;
            const double eta = rule.eta(step);
            const double a_dec = rule.decayed(model.scale, eta);

            double s_next = 0.0;
            if (margin < 1.0) {
                const double factor = rule.update_factor(eta, label, c);
                // W is about to change: the pending part of the average is
                // added to its stored sum in the same pass.
                double* const A = model.average;
                const double S = model.scale_sum;
                const bool flush = A != nullptr && S != 0.0;
                double q = 0.0;
                if (last) {
                    if (flush) {
                        update_pass<Isa, false, true, Element>(W, x, nullptr, features, x, a_dec, factor, &q, A, S);
                    } else {
                        update_pass<Isa, false, false, Element>(W, x, nullptr, features, x, a_dec, factor, &q, A, S);
                    }
                } else if (flush) {
                    s_next = update_pass<Isa, true, true>(W, x, x_next, features, ahead, a_dec, factor, &q, A, S);
                } else {
                    s_next = update_pass<Isa, true, false>(W, x, x_next, features, ahead, a_dec, factor, &q, A, S);
                }
                if (flush && has_bias) A[features] += S * W[features];
                model.scale_sum = 0.0;
                q += rule.update_bias(W, a_dec, factor);
                model.scale = rule.projected(q);
                ++model.result.violations;
            } else {
                model.scale = a_dec;
                if (!last) s_next = dot_pass<Isa>(W, x_next, features, ahead);
            }
            rule.add_to_average(model, step);
            model.score = s_next;
        }
        if (last || step == last_step) break;
        c = c_next;
        x = x_next;
    }
    // The draw of the next step, taken for its example, is given back.
    const uint32_t state = draws.state_after_made(step == T);
    for (int32_t m = first; m < end; ++m) {
        models[m].result.steps_made = step;
        models[m].sampler_state = state;
    }
}

template <class Isa, class Element>
bool vector_batch(const Element* X, int32_t d, const FitBatch& batch, FitGroup* groups, int32_t group_count) noexcept
{
    return run_batch_rounds(d, d, batch, groups, group_count,
                            [&](FitGroup& group, int32_t first, int32_t end, int64_t until) noexcept {
                                vector_bunch<Isa>(X, d, batch, group, first, end, until);
                            });
}

}  // namespace
