// LIBLINEAR as the trainer's peer, set up one way for bench_kernels (dense
// examples) and bench_sparse: its dual L1-loss SVC (eps 0.1) with
// C = 1 / (lambda N), whose objective is ours divided by lambda, and a bias
// feature of value 1 on every example.
#pragma once

#include <linear.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The examples as LIBLINEAR reads them: one row of (feature, value) nodes per
// example, ending with the bias feature and the end marker.
class LiblinearExamples {
public:
    // Room for N examples of d features with `nonzeros` values in all.
    LiblinearExamples(int32_t d, size_t N, size_t nonzeros);
    // Feature k (0 .. d - 1) of the example being written.
    void add(int32_t k, double value) { nodes_.push_back({k + 1, value}); }
    void end_example();

private:
    friend class LiblinearPeer;
    int32_t d_;
    std::vector<feature_node> nodes_;
    std::vector<size_t> row_begin_;  // where each example's row begins in nodes_
};

class LiblinearPeer {
public:
    // The labels y (+1 or -1), one per example.
    LiblinearPeer(LiblinearExamples examples, const std::vector<double>& y, double lambda);
    LiblinearPeer(const LiblinearPeer&) = delete;
    LiblinearPeer& operator=(const LiblinearPeer&) = delete;

    // Trains into w (d + 1 weights, the bias last), signed so that a positive
    // score means +1.
    void train(std::vector<double>& w);

private:
    LiblinearExamples examples_;
    std::vector<feature_node*> rows_;
    std::vector<double> labels_;
    problem problem_{};
    parameter parameter_{};
};
