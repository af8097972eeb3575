// The solver's scalar arithmetic, one place for the plain loop
// (fit_weights.cpp) and the vector variants (fit_weights_vector.h): they may
// sum the two inner sums in other orders, but every other operation must
// round alike. Internal linkage: files built for wider instruction sets
// include it too, and their copies must never stand in for the baseline's.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "svm/fit_weights.h"
#include "svm/label_reading.h"

namespace {

class StepRule {
public:
    // The rule of one model of a batch, whose sqrt_lambda and radius the
    // batch has set.
    StepRule(int32_t d, const FitBatch& batch, const FitModel& model)
        : features(d > 0 ? static_cast<size_t>(d) : 0),
          has_bias(has_bias_weight(batch.biasmult)),
          biasmult(batch.biasmult),
          lambda_(model.lambda),
          sqrt_lambda_(model.sqrt_lambda),
          radius_(model.radius),
          weights_(model.weights),
          y_(batch.y),
          class_of_(batch.class_of),
          positive_class_(model.positive_class),
          start_step_(batch.start_step),
          averages_(model.average != nullptr),
          average_after_(model.average_after)
    {
    }

    const size_t features;  // d
    const bool has_bias;    // W[features] is the bias weight
    const double biasmult;

    // The label of the example in column c, as every part of the solver reads it.
    double label_of(int32_t c) const { return example_label(y_, class_of_, positive_class_, c); }

    // The step size of step `step` (1, 2, ... within the call): 1/(t*lambda)
    // with t counted on from start_step, converted to double, the product first.
    double eta(int64_t step) const { return 1.0 / (static_cast<double>(start_step_ + step) * lambda_); }

    // The scale after a step: a * (1 - lambda * eta), in this form rather than
    // 1 - 1/t, which is exactly 0 at t = 1 only when lambda * (1/lambda)
    // rounds to 1.
    double decayed(double a, double eta) const { return a * (1.0 - lambda_ * eta); }

    // The factor of the example in column c in a violating step's update:
    // eta * label, times the example's weight when there are weights.
    double update_factor(double eta, double label, int32_t c) const
    {
        return weights_ == nullptr ? eta * label : (eta * label) * weights_[c];
    }

    // The bias weight's part of a violating step's update: the new bias
    // weight, stored, and its square for q (0 without a bias weight).
    double update_bias(double* W, double a_dec, double factor) const
    {
        if (!has_bias) return 0.0;
        const double w = W[features] * a_dec + factor * biasmult;
        W[features] = w;
        return w * w;
    }

    // Whether the weights after step `step` (1, 2, ... within the call) join
    // the model's average.
    bool averaged(int64_t step) const { return averages_ && start_step_ + step > average_after_; }

    // After step `step`: its weights (the model's scale times W) join the
    // average when they are averaged, through the pending sum of scales.
    void add_to_average(FitModel& model, int64_t step) const
    {
        if (!averaged(step)) return;
        model.scale_sum += model.scale;
        ++model.result.averaged;
    }

    // The scale after a violating step whose new W has squared norm q: the
    // projection onto the ball of radius r/sqrt(lambda); NaN falls back to 1.
    double projected(double q) const
    {
        const double eps = 2.220446049250313e-16;
        const double a = radius_ / (std::sqrt(q + eps) * sqrt_lambda_);
        return a <= 1.0 ? a : 1.0;
    }

private:
    double lambda_;
    double sqrt_lambda_;
    double radius_;
    const double* weights_;
    const double* y_;
    const int32_t* class_of_;
    int32_t positive_class_;
    int64_t start_step_;
    bool averages_;
    int64_t average_after_;
};

}  // namespace
