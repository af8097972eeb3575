#include "image/gray/weighted_luma.h"

#include <cstddef>

#include "common/cpu_features.h"

namespace {

// They sum to exactly 1.0 in double, so white stays 255.
const double red_weight = 0.298936021293776;
const double green_weight = 0.587043074451121;
const double blue_weight = 0.114020904255103;

}  // namespace

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

    for (size_t k = 0; k < plane; ++k) {
        // Summed in this order, without fused multiply-add: it decides the truncation.
        const double v = (static_cast<double>(red[k]) * red_weight + static_cast<double>(green[k]) * green_weight) +
                         static_cast<double>(blue[k]) * blue_weight;
        gray[k] = static_cast<uint8_t>(static_cast<int32_t>(v));  // v lies in [0, 256)
    }
}
