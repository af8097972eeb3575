#include "svm/label_reading.h"

#include <cstring>

int64_t count_unusual_labels(const double* y, int32_t N)
{
    // A label truncates to -1 or +1 exactly when its magnitude lies in [1, 2),
    // that is when its biased exponent is that of 1.0 (NaN and infinities have
    // another). Integer tests on the bits, a block at a time and without
    // branches, so the compiler vectorises them: a million labels take well
    // under a millisecond.
    // The exponent lies in the high 32-bit word, so 32-bit lanes serve.
    constexpr int32_t block = 512;
    uint64_t bits[block];
    int64_t unusual = 0;
    for (int32_t j = 0; j < N; j += block) {
        const int32_t count = N - j < block ? N - j : block;
        std::memcpy(bits, y + j, static_cast<size_t>(count) * sizeof(double));
        int32_t in_block = 0;
        for (int32_t k = 0; k < count; ++k) {
            const uint32_t high = static_cast<uint32_t>(bits[k] >> 32);
            in_block += ((high >> 20) & 0x7FF) != 0x3FF;
        }
        unusual += in_block;
    }
    return unusual;
}
