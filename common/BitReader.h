#pragma once
// Reads fields of 1 to 32 bits, most significant bit first, from one block of
// bytes. Bits past the end of the block read as 0, so a short or lying
// configuration can never make it read outside the block.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrova {

class BitReader {
public:
    BitReader() = default;
    explicit BitReader(std::span<const std::uint8_t> block) { Start(block); }

    void Start(std::span<const std::uint8_t> block) {
        block_ = block;
        bit_ = 0;
    }
    // The next n bits (n from 1 to 32) as an unsigned number.
    std::uint32_t Read(unsigned n);
    // Bits returned by Read since Start.
    std::uint64_t Consumed() const { return bit_; }
    // Bits of the block not read yet (0 once reads went past its end).
    std::uint64_t Remaining() const {
        const std::uint64_t total = std::uint64_t{block_.size()} * 8;
        return bit_ < total ? total - bit_ : 0;
    }

private:
    std::span<const std::uint8_t> block_;
    std::uint64_t bit_ = 0;
};

}  // namespace kestrova
