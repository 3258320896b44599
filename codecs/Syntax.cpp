#include "codecs/Syntax.h"

#include <algorithm>
#include <cstdio>

#include "common/Formatters.h"

namespace kestrova::codecs {

std::string RateText(double rate) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", rate);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

BitSource BitSource::Plain(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset) {
    BitSource s;
    s.data_.assign(bytes.begin(), bytes.end());
    s.fileOffset_ = fileOffset;
    return s;
}

BitSource BitSource::Nal(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset) {
    BitSource s;
    s.fileOffset_ = fileOffset;
    s.data_.reserve(bytes.size());
    int zeros = 0;
    for (const std::uint8_t b : bytes) {
        if (zeros >= 2 && b == 0x03) {
            s.removed_.push_back(s.data_.size());
            zeros = 0;
            continue;
        }
        s.data_.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return s;
}

std::optional<std::uint64_t> BitSource::Peek(unsigned n) const {
    if (n > 64 || n > BitsLeft()) return std::nullopt;
    std::uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) {
        const std::uint64_t b = bit_ + i;
        v = v << 1 | ((data_[b / 8] >> (7 - b % 8)) & 1);
    }
    return v;
}

std::optional<std::uint64_t> BitSource::Read(unsigned n) {
    const auto v = Peek(n);
    if (v) bit_ += n;
    return v;
}

bool BitSource::MoreRbspData() const {
    if (BitsLeft() == 0) return false;
    // The last 1 bit of the payload is rbsp_stop_one_bit; data remains before it.
    std::size_t last = data_.size();
    while (last > 0 && data_[last - 1] == 0) --last;
    if (last == 0) return false;
    const std::uint8_t byte = data_[last - 1];
    int trailing = 0;
    while (((byte >> trailing) & 1) == 0) ++trailing;
    const std::uint64_t stopBit = 8 * (last - 1) + static_cast<std::uint64_t>(7 - trailing);
    return bit_ < stopBit;
}

std::uint64_t BitSource::FileByteOf(std::uint64_t payloadByte) const {
    const auto before = std::upper_bound(removed_.begin(), removed_.end(), payloadByte) - removed_.begin();
    return fileOffset_ + payloadByte + static_cast<std::uint64_t>(before);
}

ByteRange BitSource::FileRange(std::uint64_t firstBit, std::uint64_t endBit) const {
    if (endBit <= firstBit || data_.empty()) return {};
    const std::uint64_t total = 8 * data_.size();
    endBit = std::min(endBit, total);
    if (firstBit >= endBit) return {};
    const std::uint64_t last = endBit - 1;
    const std::uint64_t first = FileByteOf(firstBit / 8) * 8 + firstBit % 8;
    const std::uint64_t lastFile = FileByteOf(last / 8) * 8 + last % 8;
    return ByteRange::Bits(first, lastFile - first + 1);
}

void SyntaxReader::Fail(std::string_view why) {
    if (!ok_) return;
    ok_ = false;
    if (!sink_) return;
    const ByteRange at = src_.FileRange(src_.BitPos(), src_.BitPos() + 1);
    std::string text = "(" + structure_ + " stops at bit " + std::to_string(src_.BitPos());
    if (!at.Empty()) text += ", byte 0x" + UpperHexText(at.offset);
    text += ": " + std::string(why) + ")";
    sink_->Stop(std::move(text));
}

std::optional<std::uint64_t> SyntaxReader::u(std::string_view label, unsigned n) {
    if (!ok_) return std::nullopt;
    const std::uint64_t first = src_.BitPos();
    const auto v = src_.Read(n);
    if (!v) {
        Fail(std::string(label) + " needs " + std::to_string(n) + " bits, " + std::to_string(src_.BitsLeft()) +
             " are left");
        return std::nullopt;
    }
    if (sink_) sink_->Field(label, *v, n, src_.FileRange(first, src_.BitPos()));
    return v;
}

std::optional<std::int64_t> SyntaxReader::s(std::string_view label, unsigned n) {
    if (!ok_) return std::nullopt;
    const std::uint64_t first = src_.BitPos();
    const auto v = src_.Read(n);
    if (!v) {
        Fail(std::string(label) + " needs " + std::to_string(n) + " bits");
        return std::nullopt;
    }
    std::int64_t value = static_cast<std::int64_t>(*v);
    if (n > 0 && n < 64 && (*v >> (n - 1)) != 0) value = static_cast<std::int64_t>(*v) - (std::int64_t{1} << n);
    if (sink_) sink_->SignedField(label, value, n, src_.FileRange(first, src_.BitPos()));
    return value;
}

std::optional<std::uint32_t> SyntaxReader::ExpGolomb(std::string_view label) {
    if (!ok_) return std::nullopt;
    const std::uint64_t first = src_.BitPos();
    const auto fail = [&](const char* why) -> std::optional<std::uint32_t> {
        src_.SeekBit(first);
        Fail(std::string(label) + why);
        return std::nullopt;
    };
    unsigned zeros = 0;
    while (true) {
        const auto b = src_.Read(1);
        if (!b) return fail(" runs past the end");
        if (*b) break;
        if (++zeros > 31) return fail(": an exp-Golomb code longer than 32 bits");
    }
    const auto info = src_.Read(zeros);
    if (!info) return fail(" runs past the end");
    const std::uint64_t value = (std::uint64_t{1} << zeros) - 1 + *info;
    if (value > 0xFFFFFFFEull) return fail(": an exp-Golomb value past 2^32 - 2");
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> SyntaxReader::ue(std::string_view label) {
    const std::uint64_t first = src_.BitPos();
    const auto v = ExpGolomb(label);
    if (v && sink_) sink_->Field(label, *v, 0, src_.FileRange(first, src_.BitPos()));
    return v;
}

std::optional<std::int32_t> SyntaxReader::se(std::string_view label) {
    const std::uint64_t first = src_.BitPos();
    const auto k = ExpGolomb(label);
    if (!k) return std::nullopt;
    const std::int64_t mag = (std::int64_t{*k} + 1) / 2;
    const auto value = static_cast<std::int32_t>((*k % 2 == 1) ? mag : -mag);
    if (sink_) sink_->SignedField(label, value, 0, src_.FileRange(first, src_.BitPos()));
    return value;
}

std::optional<std::uint64_t> SyntaxReader::leb128(std::string_view label) {
    if (!ok_) return std::nullopt;
    const std::uint64_t first = src_.BitPos();
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        const auto byte = src_.Read(8);
        if (!byte) {
            src_.SeekBit(first);
            Fail(std::string(label) + " runs past the end");
            return std::nullopt;
        }
        value |= (*byte & 0x7F) << (7 * i);
        if ((*byte & 0x80) == 0) {
            if (sink_) sink_->Field(label, value, 0, src_.FileRange(first, src_.BitPos()));
            return value;
        }
    }
    src_.SeekBit(first);
    Fail(std::string(label) + ": a leb128 longer than 8 bytes");
    return std::nullopt;
}

std::optional<std::uint32_t> SyntaxReader::uvlc(std::string_view label) {
    if (!ok_) return std::nullopt;
    const std::uint64_t first = src_.BitPos();
    unsigned zeros = 0;
    while (true) {
        const auto b = src_.Read(1);
        if (!b) {
            src_.SeekBit(first);
            Fail(std::string(label) + " runs past the end");
            return std::nullopt;
        }
        if (*b) break;
        ++zeros;
    }
    std::uint64_t value = 0xFFFFFFFFull;
    if (zeros < 32) {
        const auto info = src_.Read(zeros);
        if (!info) {
            src_.SeekBit(first);
            Fail(std::string(label) + " runs past the end");
            return std::nullopt;
        }
        value = *info + (std::uint64_t{1} << zeros) - 1;
    }
    if (sink_) sink_->Field(label, value, 0, src_.FileRange(first, src_.BitPos()));
    return static_cast<std::uint32_t>(value);
}

bool SyntaxReader::Skip(unsigned n) {
    if (!ok_) return false;
    if (n > src_.BitsLeft()) {
        Fail(std::to_string(n) + " bits to skip, " + std::to_string(src_.BitsLeft()) + " are left");
        return false;
    }
    src_.SkipBits(n);
    return true;
}

bool SyntaxReader::Bytes(std::string_view label, std::uint64_t n) {
    if (!ok_) return false;
    if (!src_.ByteAligned() || n * 8 > src_.BitsLeft()) {
        Fail(std::string(label) + " needs " + std::to_string(n) + " bytes");
        return false;
    }
    const std::uint64_t first = src_.BitPos();
    std::string text;
    static const char* const kHex = "0123456789ABCDEF";
    const auto data = src_.Data();
    for (std::uint64_t i = 0; i < n && i < 32; ++i) {
        const std::uint8_t b = data[first / 8 + i];
        if (i != 0) text += ' ';
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    if (n > 32) text += " ... (" + std::to_string(n) + " bytes)";
    src_.SkipBits(8 * n);
    if (sink_) sink_->TextField(label, std::move(text), src_.FileRange(first, src_.BitPos()));
    return true;
}

}  // namespace kestrova::codecs
