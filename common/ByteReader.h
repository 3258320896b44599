#pragma once
// Bounds-checked reads over bytes taken from the file. Every byte past the end
// of what was read is 0, so no parser can see stale or foreign memory.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrova {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    std::uint8_t U8(std::uint64_t pos) const { return pos < bytes_.size() ? bytes_[pos] : 0; }

    std::uint16_t U16BE(std::uint64_t pos) const {
        return static_cast<std::uint16_t>((U8(pos) << 8) | U8(pos + 1));
    }
    std::uint32_t U24BE(std::uint64_t pos) const {
        return (std::uint32_t{U8(pos)} << 16) | (std::uint32_t{U8(pos + 1)} << 8) | U8(pos + 2);
    }
    std::uint32_t U32BE(std::uint64_t pos) const {
        // One bounds check for the usual whole read: a run of half a million samples reads millions.
        if (pos < bytes_.size() && bytes_.size() - pos >= 4) {
            const std::uint8_t* p = bytes_.data() + pos;
            return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
        }
        return (std::uint32_t{U8(pos)} << 24) | (std::uint32_t{U8(pos + 1)} << 16) |
               (std::uint32_t{U8(pos + 2)} << 8) | U8(pos + 3);
    }
    std::uint64_t U64BE(std::uint64_t pos) const {
        return (std::uint64_t{U32BE(pos)} << 32) | U32BE(pos + 4);
    }
    std::uint16_t U16LE(std::uint64_t pos) const {
        return static_cast<std::uint16_t>(U8(pos) | (U8(pos + 1) << 8));
    }
    std::uint32_t U32LE(std::uint64_t pos) const {
        return U8(pos) | (std::uint32_t{U8(pos + 1)} << 8) | (std::uint32_t{U8(pos + 2)} << 16) |
               (std::uint32_t{U8(pos + 3)} << 24);
    }
    // Four-character codes keep file order: the first byte is the most significant.
    std::uint32_t Fourcc(std::uint64_t pos) const { return U32BE(pos); }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace kestrova
