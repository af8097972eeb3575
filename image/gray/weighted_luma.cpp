#include "image/gray/weighted_luma.h"

#include <cstddef>

#include "common/cpu_features.h"
#include "common/parallel.h"
#include "common/variant_choice.h"

namespace {

// Below this many pixels per thread, starting a thread costs more than it
// saves. Measured with make bench on a 2-core virtual machine (starting and
// joining a thread about 30 us, about 0.1 ns a pixel on one thread): two
// threads lose at 1 Mpixel (0.85x) and win at 2 Mpixel (1.15x).
constexpr int64_t min_pixels_per_thread = int64_t{3} << 18;

}  // namespace

LumaVariant weighted_luma_chosen()
{
    static const LumaVariant chosen =
        fastest_or_plain(weighted_luma_variants(), LumaVariant{"plain", weighted_luma_pixels_plain});
    return chosen;
}

void weighted_luma(const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (P <= 0) return;
    const int threads = threads_for(P, min_pixels_per_thread);
    weighted_luma_split(weighted_luma_chosen().convert, rgb, P, gray, threads, min_pixels_per_thread);
}

void weighted_luma_split(LumaPixels variant, const uint8_t* rgb, int64_t P, uint8_t* gray, int threads,
                         int64_t min_pixels)
{
    if (P <= 0) return;
    // Offsets in size_t: planes of 2^30 pixels or more are addressed correctly.
    const size_t plane = static_cast<size_t>(P);
    const uint8_t* red = rgb;
    const uint8_t* green = rgb + plane;
    const uint8_t* blue = rgb + 2 * plane;
    run_parts(P, split_parts(P, 1, min_pixels, threads), [&](int, int64_t begin, int64_t end) noexcept {
        const size_t k = static_cast<size_t>(begin);
        variant(red + k, green + k, blue + k, gray + k, end - begin);
    });
}

void weighted_luma_plain(const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (P <= 0) return;
    const size_t plane = static_cast<size_t>(P);
    weighted_luma_pixels_plain(rgb, rgb + plane, rgb + 2 * plane, gray, P);
}

void weighted_luma_pixels_plain(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* gray,
                                int64_t count) noexcept
{
    for (int64_t k = 0; k < count; ++k) gray[k] = luma_level(red[k], green[k], blue[k]);
}

std::vector<LumaVariant> weighted_luma_variants()
{
    std::vector<LumaVariant> variants;
#if defined(KERNELS_HAVE_X86_64)
    if (cpu_has_avx512f()) variants.push_back({"avx512", weighted_luma_pixels_avx512});
    if (cpu_has_avx2()) variants.push_back({"avx2", weighted_luma_pixels_avx2});
#elif defined(KERNELS_HAVE_NEON)
    variants.push_back({"neon", weighted_luma_pixels_neon});
#endif
    return variants;
}
