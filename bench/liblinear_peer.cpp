#include "bench/liblinear_peer.h"

#include <utility>

namespace {

void quiet_print(const char*) {}

}  // namespace

LiblinearExamples::LiblinearExamples(int32_t d, size_t N, size_t nonzeros) : d_(d)
{
    nodes_.reserve(nonzeros + 2 * N);
    row_begin_.reserve(N);
    row_begin_.push_back(0);
}

void LiblinearExamples::end_example()
{
    nodes_.push_back({d_ + 1, 1.0});
    nodes_.push_back({-1, 0.0});
    row_begin_.push_back(nodes_.size());
}

LiblinearPeer::LiblinearPeer(LiblinearExamples examples, const std::vector<double>& y, double lambda)
    : examples_(std::move(examples)), labels_(y)
{
    const size_t N = examples_.row_begin_.size() - 1;
    rows_.resize(N);
    for (size_t j = 0; j < N; ++j) rows_[j] = examples_.nodes_.data() + examples_.row_begin_[j];
    problem_.l = static_cast<int>(N);
    problem_.n = examples_.d_ + 1;
    problem_.y = labels_.data();
    problem_.x = rows_.data();
    problem_.bias = 1.0;
    parameter_.solver_type = L2R_L1LOSS_SVC_DUAL;
    parameter_.eps = 0.1;
    parameter_.C = 1.0 / (lambda * static_cast<double>(N));  // the same objective, scaled
    set_print_string_function(quiet_print);
}

void LiblinearPeer::train(std::vector<double>& w)
{
    model* m = ::train(&problem_, &parameter_);
    // Decision values are for the first label LIBLINEAR met; orient them to +1.
    const double sign = m->label[0] == 1 ? 1.0 : -1.0;
    for (int32_t k = 0; k <= examples_.d_; ++k) w[static_cast<size_t>(k)] = sign * m->w[k];
    free_and_destroy_model(&m);
}
