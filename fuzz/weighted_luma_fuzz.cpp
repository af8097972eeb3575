// weighted_luma on any bytes, any plane size: every variant equals the plain
// loop bit for bit, writes every output byte and reads only the 3P bytes given
// (AddressSanitizer guards the exact-size buffers).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "image/gray/weighted_luma.h"

namespace {

using Converter = void (*)(const uint8_t*, int64_t, uint8_t*);

std::vector<uint8_t> convert(Converter converter, const std::vector<uint8_t>& rgb, int64_t P, uint8_t canary)
{
    std::vector<uint8_t> gray(static_cast<size_t>(P), canary);
    converter(rgb.data(), P, gray.data());
    return gray;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int64_t P = static_cast<int64_t>(size / 3);
    const std::vector<uint8_t> rgb(data, data + 3 * P);

    // Two canaries: a byte the plain loop left unwritten would show as a difference.
    const std::vector<uint8_t> plain = convert(weighted_luma_plain, rgb, P, 0x00);
    if (!same(convert(weighted_luma_plain, rgb, P, 0xff), plain)) std::abort();

    if (!same(convert(weighted_luma, rgb, P, 0xa5), plain)) std::abort();
    for (const LumaVariant& v : weighted_luma_variants()) {
        std::vector<uint8_t> gray(static_cast<size_t>(P), 0x5a);
        weighted_luma_split(v.convert, rgb.data(), P, gray.data(), 1, 1);
        if (!same(gray, plain)) std::abort();
    }

    // Nothing is read or written without pixels.
    weighted_luma(nullptr, 0, nullptr);
    weighted_luma_plain(nullptr, -1, nullptr);
    return 0;
}
