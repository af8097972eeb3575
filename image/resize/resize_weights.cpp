#include "image/resize/resize_weights.h"

#include <cmath>
#include <new>

namespace {

constexpr double pi = 3.14159265358979323846;

double lanczos(double x, double lobes)
{
    if (x == 0.0) return 1.0;
    if (!(std::fabs(x) < lobes)) return 0.0;
    const double px = pi * x;
    return lobes * std::sin(px) * std::sin(px / lobes) / (px * px);
}

double radius(ResizeMethod method)
{
    switch (method) {
    case ResizeMethod::bilinear:
    case ResizeMethod::triangle:
        return 1.0;
    case ResizeMethod::bicubic:
    case ResizeMethod::lanczos2:
        return 2.0;
    case ResizeMethod::lanczos3:
        return 3.0;
    case ResizeMethod::nearest:
    case ResizeMethod::box:
        break;
    }
    return 0.5;
}

// imresize's reflection: the image repeated as 0 .. N-1, N-1 .. 0, period 2N.
int64_t reflect(int64_t i, int64_t N)
{
    const int64_t period = 2 * N;
    int64_t k = i % period;
    if (k < 0) k += period;
    return k < N ? k : period - 1 - k;
}

}  // namespace

double resize_kernel(ResizeMethod method, double x)
{
    const double a = std::fabs(x);
    switch (method) {
    case ResizeMethod::bilinear:
    case ResizeMethod::triangle:
        return a < 1.0 ? 1.0 - a : 0.0;
    case ResizeMethod::bicubic: {
        const double a2 = a * a;
        const double a3 = a2 * a;
        if (a <= 1.0) return 1.5 * a3 - 2.5 * a2 + 1.0;
        if (a < 2.0) return -0.5 * a3 + 2.5 * a2 - 4.0 * a + 2.0;
        return 0.0;
    }
    case ResizeMethod::box:
        return x >= -0.5 && x < 0.5 ? 1.0 : 0.0;
    case ResizeMethod::lanczos2:
        return lanczos(x, 2.0);
    case ResizeMethod::lanczos3:
        return lanczos(x, 3.0);
    case ResizeMethod::nearest:
        break;
    }
    return 0.0;
}

double resize_support(ResizeMethod method, double scale, bool antialias)
{
    const double r = radius(method);
    return antialias && scale < 1.0 ? r / scale : r;
}

bool resize_reach_fits(int64_t N, int64_t n, double scale, ResizeMethod method, bool antialias)
{
    if (n <= 0 || (n == N && scale == 1.0)) return true;
    const double last_centre = (static_cast<double>(n) - 0.5) / scale - 0.5;
    return resize_support(method, scale, antialias) <= resize_max_reach &&
           last_centre <= static_cast<double>(N) + resize_max_reach;
}

ResizeTaps resize_taps(int64_t N, int64_t n, double scale, ResizeMethod method, bool antialias)
{
    ResizeTaps taps;
    if (n < 0) n = 0;
    taps.first.reserve(static_cast<size_t>(n) + 1);
    taps.first.push_back(0);
    if (n == 0) return taps;
    const bool identity = n == N && scale == 1.0;
    const bool widened = antialias && scale < 1.0;
    // Widened, the nearest sample is the box over the input samples an
    // output sample covers (the same taps unwidened: the box at u - i is 1
    // just for i = floor(u + 0.5)).
    if (method == ResizeMethod::nearest && widened) method = ResizeMethod::box;
    if (identity || method == ResizeMethod::nearest) {
        taps.index.reserve(static_cast<size_t>(n));
        taps.weight.assign(static_cast<size_t>(n), 1.0);
        for (int64_t o = 0; o < n; ++o) {
            int64_t i = o;
            if (!identity) {
                // Positions are never negative, so truncation is floor.
                const double centre = (static_cast<double>(o) + 0.5) / scale;
                i = centre < static_cast<double>(N - 1) ? static_cast<int64_t>(centre) : N - 1;
            }
            taps.index.push_back(i);
            taps.first.push_back(o + 1);
        }
        return taps;
    }

    const double support = resize_support(method, scale, antialias);
    // Taps per output sample, at most: the span of floor .. ceil below.
    const double per_output = std::floor(2.0 * support) + 3.0;
    if (!(per_output * static_cast<double>(n) < 1099511627776.0)) throw std::bad_alloc();
    const size_t span = static_cast<size_t>(per_output);
    taps.index.reserve(span * static_cast<size_t>(n));
    taps.weight.reserve(span * static_cast<size_t>(n));
    std::vector<double> raw(span + 2);  // room for rounding in u +- support
    for (int64_t o = 0; o < n; ++o) {
        const double u = (static_cast<double>(o) + 0.5) / scale - 0.5;
        const int64_t lo = static_cast<int64_t>(std::floor(u - support));
        const int64_t hi = static_cast<int64_t>(std::ceil(u + support));
        double sum = 0.0;
        for (int64_t i = lo; i <= hi; ++i) {
            const double x = u - static_cast<double>(i);
            const double value = resize_kernel(method, widened ? x * scale : x);
            raw[static_cast<size_t>(i - lo)] = value;
            sum += value;
        }
        for (int64_t i = lo; i <= hi; ++i) {
            const double value = raw[static_cast<size_t>(i - lo)];
            if (value == 0.0) continue;
            taps.index.push_back(reflect(i, N));
            taps.weight.push_back(value / sum);
        }
        taps.first.push_back(static_cast<int64_t>(taps.index.size()));
    }
    return taps;
}
