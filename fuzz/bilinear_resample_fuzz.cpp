// bilinear_resample on any image of up to 64 x 64 elements of any element
// type (uint8, uint16, int16, single or double, made of the input's bytes:
// NaNs of every payload, infinities and subnormals included), to any output
// of up to 2^14 samples, or to very long outputs of one or two rows or
// columns (where the summed position reaches the last input row or column):
// every variant equals the plain loop byte for byte, also with the columns
// split across three threads, writes every output element and reads only
// inside the image (AddressSanitizer guards the exact-size buffers).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "image/scale/bilinear_resample.h"

namespace {

// The bytes of Y, for exact comparison (NaNs included).
template <class E>
std::vector<uint8_t> bytes_of(const std::vector<E>& Y)
{
    std::vector<uint8_t> bytes(Y.size() * sizeof(E));
    if (!bytes.empty()) std::memcpy(bytes.data(), Y.data(), bytes.size());
    return bytes;
}

// variant on `threads` threads; null: the plain reference. The output starts
// as `canary` bytes.
template <class E>
std::vector<uint8_t> resample(ResampleColumns<E> variant, int threads, const std::vector<E>& X, int64_t Ny, int64_t Nx,
                              int64_t ny, int64_t nx, uint8_t canary)
{
    std::vector<E> Y(static_cast<size_t>(ny * nx));
    if (!Y.empty()) std::memset(Y.data(), canary, Y.size() * sizeof(E));
    if (variant == nullptr) {
        bilinear_resample_plain(X.data(), Ny, Nx, Y.data(), ny, nx);
    } else {
        bilinear_resample_split(variant, X.data(), Ny, Nx, 1, Y.data(), ny, nx, threads, 1);
    }
    return bytes_of(Y);
}

template <class E>
void check(const FuzzInput& input, int64_t Ny, int64_t Nx, int64_t ny, int64_t nx)
{
    // The image: the remaining bytes, repeated as needed.
    std::vector<E> X(static_cast<size_t>(Ny * Nx));
    std::vector<uint8_t> bytes(X.size() * sizeof(E));
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = input.remaining() > 0 ? input.rest()[k % input.remaining()] : 0;
    std::memcpy(X.data(), bytes.data(), bytes.size());

    const std::vector<uint8_t> plain = resample<E>(nullptr, 1, X, Ny, Nx, ny, nx, 0x00);
    if (!same(resample<E>(nullptr, 1, X, Ny, Nx, ny, nx, 0xff), plain)) std::abort();

    std::vector<E> dispatched(static_cast<size_t>(ny * nx));
    if (!dispatched.empty()) std::memset(dispatched.data(), 0xa5, dispatched.size() * sizeof(E));
    bilinear_resample(X.data(), Ny, Nx, 1, dispatched.data(), ny, nx);
    if (!same(bytes_of(dispatched), plain)) std::abort();
    // The split does not depend on the variant: one run on three threads.
    if (!same(resample<E>(bilinear_resample_columns_plain<E>, 3, X, Ny, Nx, ny, nx, 0x3c), plain)) std::abort();
    for (const ResampleVariant<E>& v : bilinear_resample_variants<E>()) {
        if (!same(resample<E>(v.resample, 1, X, Ny, Nx, ny, nx, 0x5a), plain)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t shape = input.byte();
    const int64_t Ny = 1 + input.byte() % 64;
    const int64_t Nx = 1 + input.byte() % 64;
    int64_t ny = input.u16() % 2113;  // more than two tiles of 1024 rows
    int64_t nx = input.u16() % 513;
    while (ny * nx > (int64_t{1} << 14)) (ny > nx ? ny : nx) /= 2;
    if (shape % 32 == 1) {
        // A long output in one direction: 100000 samples and more.
        const int64_t longer = 100000 + input.u16() % 1024;
        const int64_t across = 1 + (shape >> 6) % 2;
        ny = (shape & 32) ? longer : across;
        nx = (shape & 32) ? across : longer;
    }
    // The element type (eight choices, four of them uint8).
    switch (input.remaining() > 0 ? input.byte() % 8 : 0) {
    case 1:
        check<uint16_t>(input, Ny, Nx, ny, nx);
        break;
    case 2:
        check<int16_t>(input, Ny, Nx, ny, nx);
        break;
    case 3:
        check<float>(input, Ny, Nx, ny, nx);
        break;
    case 4:
        check<double>(input, Ny, Nx, ny, nx);
        break;
    default:
        check<uint8_t>(input, Ny, Nx, ny, nx);
        break;
    }
    return 0;
}
