// resize_image's kernels on any image of up to 48 x 48 elements of any
// element type (uint8, uint16, int16, int8, int32, uint32, single, double or
// logical, made of the
// input's bytes: NaNs of every payload, infinities and subnormals included),
// any method, antialiasing on or off, to any output of up to 2^14 samples
// with any scale the entry would accept (the fuzzer's own doubles, refused
// where resize_reach_fits says the entry refuses them): every tap lies in the
// image with a non-zero weight, and the banded loop, dispatched and split
// across three threads, equals the reference loop byte for byte, writing
// every output element and reading only inside the image (AddressSanitizer
// guards the exact-size buffers).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "image/resize/separable_resize.h"

namespace {

void check_taps(const ResizeTaps& taps, int64_t N, int64_t n)
{
    if (taps.count() != n || taps.first.front() != 0) std::abort();
    for (int64_t o = 0; o < n; ++o) {
        if (taps.first[static_cast<size_t>(o) + 1] <= taps.first[static_cast<size_t>(o)]) std::abort();
    }
    for (size_t t = 0; t < taps.index.size(); ++t) {
        if (taps.index[t] < 0 || taps.index[t] >= N || taps.weight[t] == 0.0 || !std::isfinite(taps.weight[t])) {
            std::abort();
        }
    }
}

// The output's bytes (logical as its 0/1 bytes), starting as `canary`.
template <class E>
std::vector<uint8_t> resized(ResizeBand<E> variant, int threads, const E* X, int64_t Ny, int64_t Nx, int64_t ny,
                             int64_t nx, const ResizeTaps& rows, const ResizeTaps& columns, uint8_t canary)
{
    const size_t count = static_cast<size_t>(ny * nx);
    std::vector<uint8_t> bytes(count * sizeof(E), canary);
    const std::unique_ptr<E[]> Y(new E[count > 0 ? count : 1]);
    if (count > 0) std::memcpy(static_cast<void*>(Y.get()), bytes.data(), bytes.size());
    if (variant == nullptr) {
        separable_resize_reference(X, Ny, Nx, Y.get(), rows, columns);
    } else if (threads == 0) {
        separable_resize(X, Ny, Nx, 1, Y.get(), rows, columns);
    } else {
        separable_resize_split(variant, X, Ny, Nx, 1, Y.get(), rows, columns, threads, 1);
    }
    if (count > 0) std::memcpy(bytes.data(), static_cast<const void*>(Y.get()), bytes.size());
    return bytes;
}

template <class E>
void check(const FuzzInput& input, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx, const ResizeTaps& rows,
           const ResizeTaps& columns)
{
    const size_t count = static_cast<size_t>(Ny * Nx);
    const std::unique_ptr<E[]> X(new E[count]);
    for (size_t k = 0; k < count; ++k) {
        uint8_t bytes[sizeof(E)];
        for (size_t b = 0; b < sizeof(E); ++b) {
            bytes[b] = input.remaining() > 0 ? input.rest()[(k * sizeof(E) + b) % input.remaining()] : 0;
        }
        if constexpr (sizeof(E) == 1 && !std::is_same_v<E, uint8_t>) bytes[0] &= 1;  // logical: 0 or 1
        std::memcpy(static_cast<void*>(&X[k]), bytes, sizeof(E));
    }
    const std::vector<uint8_t> reference = resized<E>(nullptr, 1, X.get(), Ny, Nx, ny, nx, rows, columns, 0x00);
    if (!same(resized<E>(nullptr, 1, X.get(), Ny, Nx, ny, nx, rows, columns, 0xff), reference)) std::abort();
    const ResizeBand<E> plain = separable_resize_band_plain<E>;
    if (!same(resized<E>(plain, 0, X.get(), Ny, Nx, ny, nx, rows, columns, 0xa5), reference)) std::abort();
    if (!same(resized<E>(plain, 3, X.get(), Ny, Nx, ny, nx, rows, columns, 0x3c), reference)) std::abort();
    for (const ResizeVariant<E>& v : separable_resize_variants<E>()) {
        if (!same(resized<E>(v.resize, 1, X.get(), Ny, Nx, ny, nx, rows, columns, 0x5a), reference)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const int64_t Ny = 1 + input.byte() % 48;
    const int64_t Nx = 1 + input.byte() % 48;
    const ResizeMethod method = resize_method_names[input.byte() % std::size(resize_method_names)].method;
    const uint8_t flags = input.byte();
    const bool antialias = (flags & 1) != 0;
    // A factor (the fuzzer's double) or an output size with scales n / N.
    int64_t ny = 0;
    int64_t nx = 0;
    double scale_rows = 0.0;
    double scale_columns = 0.0;
    if ((flags & 2) != 0) {
        const double factor = input.any_double();
        if (!(factor > 0.0) || !std::isfinite(factor)) return 0;
        const double rows_out = std::ceil(factor * static_cast<double>(Ny));
        const double columns_out = std::ceil(factor * static_cast<double>(Nx));
        if (!(rows_out * columns_out <= 16384.0)) return 0;
        ny = static_cast<int64_t>(rows_out);
        nx = static_cast<int64_t>(columns_out);
        scale_rows = factor;
        scale_columns = factor;
    } else {
        ny = input.u16() % 129;
        nx = input.u16() % 129;
        scale_rows = static_cast<double>(ny) / static_cast<double>(Ny);
        scale_columns = static_cast<double>(nx) / static_cast<double>(Nx);
    }
    if (!resize_reach_fits(Ny, ny, scale_rows, method, antialias) ||
        !resize_reach_fits(Nx, nx, scale_columns, method, antialias)) {
        return 0;
    }
    // Wide reaches on tiny images make long tap loops: keep each run short.
    if (resize_support(method, scale_rows, antialias) * static_cast<double>(ny) > 1e6 ||
        resize_support(method, scale_columns, antialias) * static_cast<double>(nx) > 1e6) {
        return 0;
    }
    const ResizeTaps rows = resize_taps(Ny, ny, scale_rows, method, antialias);
    const ResizeTaps columns = resize_taps(Nx, nx, scale_columns, method, antialias);
    check_taps(rows, Ny, ny);
    check_taps(columns, Nx, nx);
    switch ((flags >> 2) % 9) {
    case 0:
        check<uint8_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 1:
        check<uint16_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 2:
        check<int16_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 3:
        check<float>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 4:
        check<double>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 5:
        check<int8_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 6:
        check<int32_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    case 7:
        check<uint32_t>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    default:
        check<bool>(input, Ny, Nx, ny, nx, rows, columns);
        break;
    }
    return 0;
}
