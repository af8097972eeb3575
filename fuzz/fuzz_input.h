// Shared by the fuzz targets. FuzzInput reads a fuzzer's bytes as the
// numbers a target needs: whatever is missing at the end reads as zeros, so
// every input, even an empty one, is usable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

    uint32_t u16()
    {
        const uint32_t low = byte();
        return low | static_cast<uint32_t>(byte()) << 8;
    }

    // Eight bytes taken as they are: NaNs, infinities and subnormals included.
    double any_double()
    {
        uint8_t bytes[8] = {};
        for (uint8_t& b : bytes) b = byte();
        double value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    size_t remaining() const { return position_ < size_ ? size_ - position_ : 0; }
    const uint8_t* rest() const { return data_ + (position_ < size_ ? position_ : size_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Exact comparison without memcmp: libFuzzer's comparison hooks make memcmp
// over long outputs cost seconds.
inline bool same(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size()) return false;
    uint8_t difference = 0;
    for (size_t k = 0; k < a.size(); ++k) difference |= static_cast<uint8_t>(a[k] ^ b[k]);
    return difference == 0;
}
