#pragma once
// The codec syntax layer's reading tools: a bit source over bytes taken from
// the file (a NAL unit loses its emulation-prevention bytes first, and every
// bit still maps back to its place in the file), a sink that receives each
// syntax element with its file range, and a reader that ties the two together
// with the descriptors of the standards (u(n), ue(v), se(v), f(n), leb128).
//
// Readers know nothing of boxes: ISO, AVI and the summary hand them bytes and
// a file offset, and get fields (when they pass a sink) and a struct back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/DocumentView.h"

namespace kestrova::codecs {

// A rate with at most three decimals and no trailing zeros: "10", "29.97".
std::string RateText(double rate);

class BitSource {
public:
    BitSource() = default;
    // Bytes read as they are (configuration records, OBUs, audio headers).
    static BitSource Plain(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset);
    // A NAL unit (header included): each 0x03 that follows two zero bytes is
    // removed before reading, and remembered so ranges still point at the file.
    static BitSource Nal(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset);

    std::uint64_t BitPos() const { return bit_; }
    std::uint64_t BitsLeft() const { return bit_ < 8 * data_.size() ? 8 * data_.size() - bit_ : 0; }
    std::uint64_t SizeBytes() const { return data_.size(); }
    bool ByteAligned() const { return bit_ % 8 == 0; }
    void SeekBit(std::uint64_t bit) { bit_ = bit; }
    void SkipBits(std::uint64_t n) { bit_ += n; }

    // n (0 to 64) bits, most significant first; nullopt past the end, the position unchanged.
    std::optional<std::uint64_t> Read(unsigned n);
    std::optional<std::uint64_t> Peek(unsigned n) const;
    // Whether more RBSP data follows before the rbsp_trailing_bits (H.264/H.265 more_rbsp_data()).
    bool MoreRbspData() const;
    // The file range of the payload bits [firstBit, endBit): the span from the
    // first file bit to the last, covering any removed byte between them.
    ByteRange FileRange(std::uint64_t firstBit, std::uint64_t endBit) const;
    // The payload bytes (after emulation prevention).
    std::span<const std::uint8_t> Data() const { return data_; }
    // Emulation-prevention bytes removed.
    std::size_t RemovedBytes() const { return removed_.size(); }

private:
    std::uint64_t FileByteOf(std::uint64_t payloadByte) const;

    std::vector<std::uint8_t> data_;
    std::vector<std::uint64_t> removed_;  // payload byte indices before which one byte was removed, ascending
    std::uint64_t fileOffset_ = 0;
    std::uint64_t bit_ = 0;
};

// Receives what a reader reads. Values arrive as numbers with their width in
// bits; the sink formats them (decimal and hexadecimal in the full view).
class FieldSink {
public:
    virtual ~FieldSink() = default;
    // An unsigned element of bits bits, or a coded one (ue(v): bits 0).
    virtual void Field(std::string_view label, std::uint64_t value, unsigned bits, ByteRange range) = 0;
    virtual void SignedField(std::string_view label, std::int64_t value, unsigned bits, ByteRange range) = 0;
    // An element shown as text (a string, a fourcc, a run of bytes).
    virtual void TextField(std::string_view label, std::string text, ByteRange range) = 0;
    // Appends " text" to the last line.
    virtual void Meaning(std::string_view text) = 0;
    // A structure's heading, such as "seq_parameter_set_rbsp()".
    virtual void Heading(std::string text) = 0;
    // A value computed from others; span runs from its first source bit to its last.
    virtual void Derived(std::string_view label, std::string text, ByteRange span) = 0;
    // The structure stops here: where and why.
    virtual void Stop(std::string text) = 0;
};

// Reads syntax elements from a source and reports each to the sink (which may
// be null: the summary only wants the values). After the first failure every
// read returns nullopt and reports nothing; Stop has said where and why.
class SyntaxReader {
public:
    SyntaxReader(BitSource& source, FieldSink* sink, std::string structure)
        : src_(source), sink_(sink), structure_(std::move(structure)) {}

    bool Ok() const { return ok_; }
    BitSource& Source() { return src_; }
    FieldSink* Sink() { return sink_; }

    std::optional<std::uint64_t> u(std::string_view label, unsigned n);
    std::optional<bool> flag(std::string_view label) {
        const auto v = u(label, 1);
        return v ? std::optional<bool>(*v != 0) : std::nullopt;
    }
    // ue(v): at most 31 leading zero bits (values up to 2^32 - 2).
    std::optional<std::uint32_t> ue(std::string_view label);
    std::optional<std::int32_t> se(std::string_view label);
    // Signed two's complement of n bits (su(n) of AV1, i(n) of H.26x).
    std::optional<std::int64_t> s(std::string_view label, unsigned n);
    // AV1's leb128() and uvlc().
    std::optional<std::uint64_t> leb128(std::string_view label);
    std::optional<std::uint32_t> uvlc(std::string_view label);
    // n bits skipped without a line (reserved bits already checked elsewhere).
    bool Skip(unsigned n);
    // n whole bytes as a text field of hexadecimal pairs.
    bool Bytes(std::string_view label, std::uint64_t n);

    void Meaning(std::string_view text) {
        if (sink_ && ok_) sink_->Meaning(text);
    }
    void Heading(std::string text) {
        if (sink_ && ok_) sink_->Heading(std::move(text));
    }
    void Derived(std::string_view label, std::string text, std::uint64_t firstBit, std::uint64_t endBit) {
        if (sink_) sink_->Derived(label, std::move(text), src_.FileRange(firstBit, endBit));
    }
    // Stops the structure with a line: "<structure> stops at bit N (of byte 0x...): why".
    void Fail(std::string_view why);

private:
    std::optional<std::uint32_t> ExpGolomb(std::string_view label);

    BitSource& src_;
    FieldSink* sink_;
    std::string structure_;
    bool ok_ = true;
};

}  // namespace kestrova::codecs
