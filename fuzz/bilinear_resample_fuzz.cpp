// bilinear_resample on any image of up to 64 x 64 bytes, to any output of up
// to 2^14 samples, or to very long outputs of one or two rows or columns
// (where the summed position reaches the last input row or column): every
// variant equals the plain loop bit for bit, also with the columns split
// across three threads, writes every output byte and reads only inside the
// image (AddressSanitizer guards the exact-size buffers).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "image/scale/bilinear_resample.h"

namespace {

// variant on `threads` threads; null: the plain reference.
std::vector<uint8_t> resample(ResampleColumns variant, int threads, const std::vector<uint8_t>& X, int64_t Ny,
                              int64_t Nx, int64_t ny, int64_t nx, uint8_t canary)
{
    std::vector<uint8_t> Y(static_cast<size_t>(ny * nx), canary);
    if (variant == nullptr) {
        bilinear_resample_plain(X.data(), Ny, Nx, Y.data(), ny, nx);
    } else {
        bilinear_resample_split(variant, X.data(), Ny, Nx, 1, Y.data(), ny, nx, threads, 1);
    }
    return Y;
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

    // The image: the remaining bytes, repeated as needed.
    std::vector<uint8_t> X(static_cast<size_t>(Ny * Nx));
    for (size_t k = 0; k < X.size(); ++k) X[k] = input.remaining() > 0 ? input.rest()[k % input.remaining()] : 0;

    const std::vector<uint8_t> plain = resample(nullptr, 1, X, Ny, Nx, ny, nx, 0x00);
    if (!same(resample(nullptr, 1, X, Ny, Nx, ny, nx, 0xff), plain)) std::abort();

    std::vector<uint8_t> dispatched(static_cast<size_t>(ny * nx), 0xa5);
    bilinear_resample(X.data(), Ny, Nx, 1, dispatched.data(), ny, nx);
    if (!same(dispatched, plain)) std::abort();
    // The split does not depend on the variant: one run on three threads.
    if (!same(resample(bilinear_resample_columns_plain, 3, X, Ny, Nx, ny, nx, 0x3c), plain)) std::abort();
    for (const ResampleVariant& v : bilinear_resample_variants()) {
        if (!same(resample(v.resample, 1, X, Ny, Nx, ny, nx, 0x5a), plain)) std::abort();
    }
    return 0;
}
