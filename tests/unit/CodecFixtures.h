#pragma once
// What the codec readers' tests share: writers of the bits a reader is given,
// a sink that records the lines it reports, and the matchers for those lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "codecs/Syntax.h"
#include "support/BoxWriter.h"

namespace kestrova::test {

constexpr std::uint64_t kOffset = 1000;  // where the bytes lie in the file: "byte 0x3E8"

// Writes syntax elements MSB first; Nal() adds the emulation-prevention bytes.
class BitWriter {
public:
    BitWriter& u(unsigned n, std::uint64_t v) {
        for (unsigned i = n; i-- > 0;) bits_.push_back(static_cast<std::uint8_t>((v >> i) & 1));
        return *this;
    }
    BitWriter& ue(std::uint64_t v) {
        unsigned len = 0;
        while (((v + 1) >> len) != 0) ++len;
        return u(len - 1, 0).u(len, v + 1);
    }
    BitWriter& se(std::int64_t v) {
        return ue(v > 0 ? 2 * static_cast<std::uint64_t>(v) - 1 : 2 * static_cast<std::uint64_t>(-v));
    }
    BitWriter& Trailing() {
        u(1, 1);
        while (bits_.size() % 8 != 0) bits_.push_back(0);
        return *this;
    }
    Bytes Raw() const {
        Bytes out((bits_.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits_.size(); ++i) out[i / 8] |= static_cast<std::uint8_t>(bits_[i] << (7 - i % 8));
        return out;
    }
    Bytes Nal() const {
        Bytes out;
        int zeros = 0;
        for (const std::uint8_t b : Raw()) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    std::vector<std::uint8_t> bits_;
};

// Fields of the given widths, most significant bit first, the last byte padded with zeros.
inline Bytes Pack(std::initializer_list<std::pair<std::uint64_t, unsigned>> fields) {
    Bytes out;
    std::uint64_t bit = 0;
    for (const auto& [value, width] : fields) {
        for (unsigned i = 0; i < width; ++i, ++bit) {
            if (bit % 8 == 0) out.push_back(0);
            if ((value >> (width - 1 - i)) & 1) out.back() |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        }
    }
    return out;
}

inline Bytes Hex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline Bytes Cut(Bytes b, std::size_t n) {
    b.resize(n);
    return b;
}

// x265's Main 10 parameter sets of 64x48 at 25 fps with a NAL HRD (vbv 500 kbit/s,
// 1000 kbit); ffmpeg's trace_headers reads the same values.
inline constexpr const char* kX265Vps = "40010c01ffff02200000030090000003000003003c959409";
inline constexpr const char* kX265Sps =
    "42010102200000030090000003000003003ca02083136595952930bc05a0200000030020000003032c029acbc003d08000f42440";
inline constexpr const char* kX265Pps = "4401c073c089";

// One line as "text @ range"; the range in absolute bits of the file.
inline std::string LineText(const std::string& text, const ByteRange& r) {
    if (r.Empty()) return text;
    const std::uint64_t bit = 8 * r.offset + r.firstBit;
    return text + " @" + std::to_string(bit) + "+" + std::to_string(r.HasBits() ? r.bitCount : 8 * r.length);
}

// Lines as "label : value meaning", "label = derived", headings and stops as they come.
class Recorder final : public codecs::FieldSink {
public:
    std::vector<std::string> lines;
    std::vector<ByteRange> ranges;

    void Field(std::string_view label, std::uint64_t value, unsigned, ByteRange range) override {
        Add(std::string(label) + " : " + std::to_string(value), range);
    }
    void SignedField(std::string_view label, std::int64_t value, unsigned, ByteRange range) override {
        Add(std::string(label) + " : " + std::to_string(value), range);
    }
    void TextField(std::string_view label, std::string text, ByteRange range) override {
        Add(std::string(label) + " : " + text, range);
    }
    void Meaning(std::string_view text) override {
        if (!lines.empty()) lines.back() += " " + std::string(text);
    }
    void Heading(std::string text) override { Add(std::move(text), {}); }
    void Derived(std::string_view label, std::string text, ByteRange span) override {
        Add(std::string(label) + " = " + text, span);
    }
    void Stop(std::string text) override { Add(std::move(text), {}); }

    std::vector<std::string> Joined() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < lines.size(); ++i) out.push_back(LineText(lines[i], ranges[i]));
        return out;
    }

private:
    void Add(std::string text, ByteRange range) {
        lines.push_back(std::move(text));
        ranges.push_back(range);
    }
};

// ---- Every line, in order, with the bits it covers ----

// A line and the bits it covers, counted from the first byte given to the reader.
struct BitLine {
    std::string text;
    std::uint64_t bit = 0;
    std::uint64_t bits = 0;  // 0: no range
};

// The reader was given its bytes at kOffset.
inline void ExpectLines(const Recorder& got, const std::vector<BitLine>& want) {
    std::string actual;
    for (std::size_t i = 0; i < got.lines.size(); ++i) {
        const ByteRange& r = got.ranges[i];
        actual += "{\"" + got.lines[i] + "\", " +
                  (r.Empty() ? std::string("0, 0") : std::to_string(8 * (r.offset - kOffset) + r.firstBit) + ", " +
                                                         std::to_string(r.HasBits() ? r.bitCount : 8 * r.length)) +
                  "},\n";
    }
    ASSERT_EQ(got.lines.size(), want.size()) << actual;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got.lines[i], want[i].text) << "line " << i;
        const ByteRange expected = want[i].bits ? ByteRange::Bits(8 * kOffset + want[i].bit, want[i].bits) : ByteRange{};
        EXPECT_EQ(got.ranges[i], expected) << "line " << i << ": " << want[i].text;
    }
}

// Line by line, so a failure names the first line that differs.
inline void ExpectLines(const std::vector<std::string>& got, const std::vector<std::string>& want,
                        const std::string& name) {
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        if (got[i] != want[i]) {
            ADD_FAILURE() << name << ": line " << i << "\n   got: " << got[i] << "\n  want: " << want[i];
            return;
        }
    EXPECT_EQ(got.size(), want.size()) << name << (got.size() > want.size() ? ": more: " + got[want.size()] : "");
}

// ---- Some lines, in order, and some that must not show ----

struct Want {
    std::string text;
    std::optional<ByteRange> range;
};

inline std::string Dump(const std::vector<std::string>& lines, const std::vector<ByteRange>& ranges) {
    std::ostringstream out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        out << lines[i] << "  [" << ranges[i].offset << "+" << ranges[i].length << " bit " << int(ranges[i].firstBit)
            << "+" << ranges[i].bitCount << "]\n";
    return out.str();
}

// Each wanted line shows, in this order (others may come between); no unwanted one does.
inline void ExpectLinesInOrder(const std::vector<std::string>& lines, const std::vector<ByteRange>& ranges,
                               const std::vector<Want>& want, const std::vector<std::string>& absent) {
    std::size_t at = 0;
    for (const Want& w : want) {
        std::size_t i = at;
        while (i < lines.size() && lines[i] != w.text) ++i;
        if (i == lines.size()) {
            ADD_FAILURE() << "missing after line " << at << ": " << w.text << "\n" << Dump(lines, ranges);
            return;
        }
        if (w.range) {
            EXPECT_EQ(ranges[i], *w.range) << w.text << "\n" << Dump(lines, ranges);
        }
        at = i + 1;
    }
    for (const std::string& a : absent)
        for (const std::string& l : lines) EXPECT_NE(l, a) << Dump(lines, ranges);
}

inline void ExpectLinesInOrder(const Recorder& got, const std::vector<Want>& want,
                               const std::vector<std::string>& absent) {
    ExpectLinesInOrder(got.lines, got.ranges, want, absent);
}

// ---- A bitstream written beside the lines a reader must show for it ----

class Stream {
public:
    // A field: written, and expected as "label : value[ meaning]".
    Stream& F(const std::string& label, std::uint64_t v, unsigned n, const std::string& meaning = "") {
        Expect(label + " : " + std::to_string(v) + (meaning.empty() ? "" : " " + meaning), Pos(), n);
        return Put(v, n);
    }
    Stream& Leb(const std::string& label, std::uint64_t v) {
        const std::uint64_t first = Pos(), value = v;
        do {
            const std::uint64_t byte = v & 0x7F;
            v >>= 7;
            Put(byte | (v ? 0x80 : 0), 8);
        } while (v);
        Expect(label + " : " + std::to_string(value), first, Pos() - first);
        return *this;
    }
    Stream& Uvlc(const std::string& label, std::uint64_t v) {
        const std::uint64_t first = Pos();
        unsigned zeros = 0;
        while ((v + 1) >> (zeros + 1)) ++zeros;
        Put(0, zeros).Put(1, 1).Put(v + 1 - (1ull << zeros), zeros);
        Expect(label + " : " + std::to_string(v), first, Pos() - first);
        return *this;
    }
    Stream& Put(std::uint64_t v, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if (v >> i & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (bits_ % 8));
            ++bits_;
        }
        return *this;
    }
    // Whole bytes shown as hexadecimal pairs.
    Stream& Hex(const std::string& label, const Bytes& bytes) {
        std::string text;
        static const char* const kHex = "0123456789ABCDEF";
        for (const std::uint8_t b : bytes) text += std::string(text.empty() ? "" : " ") + kHex[b >> 4] + kHex[b & 15];
        Expect(label + " : " + text, Pos(), 8 * bytes.size());
        for (const std::uint8_t b : bytes) Put(b, 8);
        return *this;
    }
    // Bytes shown as a quoted text.
    Stream& Text(const std::string& label, const std::string& text) {
        Expect(label + " : \"" + text + "\"", Pos(), 8 * text.size());
        for (const char c : text) Put(static_cast<std::uint8_t>(c), 8);
        return *this;
    }
    // A start code: 00 00 01 and the code, shown as one 32-bit field.
    Stream& Start(const std::string& label, unsigned code) { return F(label, 0x100 | code, 32); }
    Stream& Heading(const std::string& text) {
        expected_.push_back(text);
        return *this;
    }
    // A line of this text spanning from first to here.
    Stream& Span(const std::string& text, std::uint64_t first) {
        Expect(text, first, Pos() - first);
        return *this;
    }
    // A derived line spanning from first to here.
    Stream& Derived(const std::string& label, const std::string& text, std::uint64_t first) {
        Expect(label + " = " + text, first, Pos() - first);
        return *this;
    }
    // Appends a byte-aligned stream, its lines moved to where it lands.
    Stream& Append(const Stream& other) {
        const std::uint64_t shift = Pos();
        for (const std::uint8_t b : other.bytes_) Put(b, 8);
        for (const std::string& line : other.expected_) expected_.push_back(Shifted(line, shift));
        return *this;
    }
    std::uint64_t Pos() const { return bits_; }
    const Bytes& bytes() const { return bytes_; }
    const std::vector<std::string>& expected() const { return expected_; }

private:
    static ByteRange Range(std::uint64_t bit, std::uint64_t n) { return ByteRange::Bits(8 * kOffset + bit, n); }
    void Expect(const std::string& text, std::uint64_t bit, std::uint64_t n) {
        // The bits are not written yet: the range is all that is needed.
        expected_.push_back(LineText(text, Range(bit, n)));
    }
    // Lines of an appended stream carry ranges from bit 0 of their own; move them.
    static std::string Shifted(const std::string& line, std::uint64_t shift) {
        const std::size_t at = line.rfind(" @");
        if (at == std::string::npos) return line;
        const std::size_t plus = line.find('+', at);
        const std::uint64_t bit = std::stoull(line.substr(at + 2, plus - at - 2)) + shift;
        return line.substr(0, at) + " @" + std::to_string(bit) + line.substr(plus);
    }

    Bytes bytes_;
    std::uint64_t bits_ = 0;
    std::vector<std::string> expected_;
};

// The line a structure stops with; bit counts from the start of the structure's
// data, which lies `shift` bytes into the stream.
inline std::string Stop(const std::string& structure, std::uint64_t bit, const std::string& why,
                        std::uint64_t shift = 0) {
    char byte[32];
    std::snprintf(byte, sizeof byte, "%llX", static_cast<unsigned long long>(kOffset + shift + bit / 8));
    return "(" + structure + " stops at bit " + std::to_string(bit) + ", byte 0x" + byte + ": " + why + ")";
}

}  // namespace kestrova::test
