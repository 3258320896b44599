#include "BitReader.h"

namespace kestrova {

std::uint32_t BitReader::Read(unsigned n) {
    if (n == 0) return 0;
    if (n > 32) n = 32;
    std::uint64_t value = 0;
    unsigned left = n;
    while (left > 0) {
        const std::uint64_t byteIndex = bit_ >> 3;
        const unsigned offset = static_cast<unsigned>(bit_ & 7);
        const unsigned take = left < 8 - offset ? left : 8 - offset;
        const std::uint8_t byte = byteIndex < block_.size() ? block_[byteIndex] : 0;
        const unsigned bits = (byte >> (8 - offset - take)) & ((1u << take) - 1);
        value = (value << take) | bits;
        bit_ += take;
        left -= take;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace kestrova
