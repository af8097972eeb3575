// The weights of resize_image: for one dimension (N input samples, n output
// samples, a scale factor), which input samples each output sample takes and
// with which weight. Computed once per call and dimension, in double, by the
// plain code below: every variant and thread count of the separable loop
// reads the same table, so they give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

// The interpolation kernels, named as imresize names them. bilinear and
// triangle are the same kernel (imresize treats them so).
enum class ResizeMethod { nearest, bilinear, bicubic, box, triangle, lanczos2, lanczos3 };

// Every method by its name, in the order the messages list them: the one
// list that the entry matches names against and quotes.
struct ResizeMethodName {
    const char* name;
    ResizeMethod method;
};
inline constexpr ResizeMethodName resize_method_names[] = {
    {"nearest", ResizeMethod::nearest},   {"bilinear", ResizeMethod::bilinear}, {"bicubic", ResizeMethod::bicubic},
    {"box", ResizeMethod::box},           {"triangle", ResizeMethod::triangle}, {"lanczos2", ResizeMethod::lanczos2},
    {"lanczos3", ResizeMethod::lanczos3}};

// Other names imresize takes for two of the methods: MATLAB's 'cubic' (the
// kernel behind 'bicubic') and Octave's 'linear'. Matched like the names
// above, never listed or quoted.
inline constexpr ResizeMethodName resize_method_aliases[] = {{"cubic", ResizeMethod::bicubic},
                                                            {"linear", ResizeMethod::bilinear}};

// The name of a method, as resize_method_names gives it.
constexpr const char* resize_method_name(ResizeMethod method)
{
    for (const ResizeMethodName& entry : resize_method_names) {
        if (entry.method == method) return entry.name;
    }
    return "";
}

// The kernel's value at distance x (in input samples, unwidened):
//   triangle   1 - |x| for |x| < 1
//   bicubic    cubic convolution with a = -0.5:
//              1.5|x|^3 - 2.5|x|^2 + 1 for |x| <= 1,
//              -0.5|x|^3 + 2.5|x|^2 - 4|x| + 2 for 1 < |x| < 2
//   box        1 for -0.5 <= x < 0.5
//   lanczosA   1 at 0, A sin(pi x) sin(pi x / A) / (pi x)^2 for |x| < A
// and 0 elsewhere (each power and sum evaluated left to right as written).
// nearest has no kernel function: it picks one sample (resize_taps), unless
// antialiasing widens it, when it is the box.
double resize_kernel(ResizeMethod method, double x);

// How far from the mapped centre the kernel reaches, in input samples: the
// kernel's radius (triangle 1, bicubic 2, box 0.5, lanczos2 2, lanczos3 3,
// nearest 0.5), divided by the scale when antialiasing widens it (scale < 1).
double resize_support(ResizeMethod method, double scale, bool antialias);

// The largest reach resize_taps takes (the entry refuses scales that would
// need more): a support of 2^24 input samples on each side of an output
// sample, and centres no further than 2^24 samples past the image's end
// (a tiny factor without antialiasing maps the last of the ceil(scale * N)
// outputs up to 0.5 / scale samples past it).
constexpr double resize_max_reach = 16777216.0;

// True when a dimension stays within resize_max_reach (always for n == 0).
bool resize_reach_fits(int64_t N, int64_t n, double scale, ResizeMethod method, bool antialias);

// Output sample o takes input samples index[t] with weights weight[t], for t
// from first[o] to first[o + 1] - 1, in that order.
struct ResizeTaps {
    std::vector<int64_t> first;  // n + 1 entries
    std::vector<int64_t> index;  // each in 0 .. N - 1
    std::vector<double> weight;  // never 0
    int64_t count() const { return static_cast<int64_t>(first.size()) - 1; }
};

// The taps of a dimension of N >= 1 input samples resized to n >= 0 output
// samples with the given scale (> 0: output samples per input sample; the
// entry passes n / N when a size was asked for), as imresize defines them:
// - Identity (n == N and scale == 1): output sample o takes input o with
//   weight 1, for every method.
// - nearest: output o takes input floor((o + 0.5) / scale), at most N - 1;
//   antialiased when shrinking (scale < 1), it is the box widened as below,
//   so that a 2 x 2 block halved becomes its mean.
// - Otherwise the centre of output o maps to u = (o + 0.5) / scale - 0.5
//   (pixel centres onto pixel centres). Every input index i from
//   floor(u - support) to ceil(u + support) gets the kernel's value at
//   u - i (times scale when antialiasing widens the kernel); the weights are
//   these values divided by their sum (summed in order of i), those that are
//   0 are dropped, and indices outside 0 .. N - 1 are reflected back
//   (imresize's rule: -1 is 0, -2 is 1, N is N - 1, with period 2N).
// Throws std::bad_alloc when the table's memory cannot be had (or would
// exceed 2^40 entries); call it only where resize_reach_fits.
ResizeTaps resize_taps(int64_t N, int64_t n, double scale, ResizeMethod method, bool antialias);
