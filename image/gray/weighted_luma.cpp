#include "image/gray/weighted_luma.h"

#include <cstddef>

#include "common/cpu_features.h"

void weighted_luma(const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (cpu_has_avx2()) {
        weighted_luma_avx2(rgb, P, gray);
    } else {
        weighted_luma_plain(rgb, P, gray);
    }
}

void weighted_luma_plain(const uint8_t* rgb, int64_t P, uint8_t* gray)
{
    if (P <= 0) return;

    // Offsets in size_t: planes of 2^30 pixels or more are addressed correctly.
    const size_t plane = static_cast<size_t>(P);
    const uint8_t* red = rgb;
    const uint8_t* green = rgb + plane;
    const uint8_t* blue = rgb + 2 * plane;

    for (size_t k = 0; k < plane; ++k) gray[k] = luma_level(red[k], green[k], blue[k]);
}
