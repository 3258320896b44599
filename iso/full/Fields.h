#pragma once
// The field writer of the full view: reads one box body field by field from a
// cursor and emits one description line per field, labelled with the syntax
// element name, with the bytes (or bits) it came from. Field labels of one
// box are padded to the longest before the lines reach the pane.
//
// A read that runs past the end of what the box holds emits one line saying
// where the box ends; every later read returns nothing and shows nothing, so
// a describer can read straight through a cut box.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/DocumentView.h"

namespace kestrova::full {

// The bytes of one box as read for its description.
struct BoxBytes {
    std::uint64_t bodyOffset = 0;          // absolute offset of the first body byte
    std::span<const std::uint8_t> body;    // what was read of the body
    std::uint64_t declaredBodyLength = 0;  // what the header says the body holds
};

class Fields {
public:
    Fields(DocumentView& view, const BoxBytes& box);
    ~Fields() { Flush(); }
    Fields(const Fields&) = delete;
    Fields& operator=(const Fields&) = delete;

    const RegionalSettings& Settings() const { return rs_; }
    // RIFF stores numbers little-endian; four-character codes stay in file order.
    void SetLittleEndian(bool on) { littleEndian_ = on; }

    // ---- The cursor, in body bytes (bit reads move it by bits) ----
    std::uint64_t Pos() const { return bit_ / 8; }
    std::uint64_t BitPos() const { return bit_; }
    void Seek(std::uint64_t pos) { bit_ = pos * 8; }
    void SkipBits(std::uint64_t n) { bit_ += n; }
    void AlignToByte() { bit_ = (bit_ + 7) / 8 * 8; }
    std::uint64_t Size() const { return body_.size(); }
    std::uint64_t Left() const { return Pos() < body_.size() ? body_.size() - Pos() : 0; }
    bool Has(std::uint64_t bytes) const { return bytes <= Left(); }
    bool Cut() const { return cut_; }
    std::span<const std::uint8_t> Body() const { return body_; }
    // A big-endian number of bytes at body position pos without a line; 0 past the end.
    std::uint64_t Peek(std::uint64_t pos, unsigned bytes) const;

    // ---- Whole-byte fields at the cursor: read, advance, one line ----
    // Unsigned big-endian, "1,234 (0X04D2)"; nothing once the box is cut.
    std::optional<std::uint64_t> U(std::string_view label, unsigned bytes);
    // Signed big-endian: "-1 (0XFFFFFFFF)".
    std::optional<std::int64_t> S(std::string_view label, unsigned bytes);
    // Unsigned read, shown as the signed number it means (ctts version 0).
    std::optional<std::int64_t> AsSigned(std::string_view label, unsigned bytes);
    // A four-character code: "avc1 (0X61766331)".
    std::optional<std::uint32_t> Type(std::string_view label);
    // Fixed point with fracBits fraction bits (16.16, 2.30, 8.8): "1.5 (0X00018000)".
    std::optional<double> Fixed(std::string_view label, unsigned bytes, unsigned fracBits, bool isSigned);
    // Seconds since 1904-01-01 in UTC after the number (0 shows no date).
    std::optional<std::uint64_t> Time1904(std::string_view label, unsigned bytes);
    // A packed ISO 639-2/T language (pad bit and three 5-bit letters): "5,575 (0X15C7) und".
    // Values below 0x400 are QuickTime's Macintosh language codes and named as such.
    std::optional<std::uint16_t> Language(std::string_view label);
    // A text up to its terminating zero (or the end of the box), shown quoted;
    // the zero is consumed and included in the range.
    std::optional<std::string> CString(std::string_view label);
    // A text of n bytes, shown quoted up to its first zero.
    std::optional<std::string> FixedString(std::string_view label, std::uint64_t n);
    // A Pascal string of a fixed field width: a length byte then the characters.
    std::optional<std::string> PascalString(std::string_view label, std::uint64_t fieldBytes);
    // n bytes shown as hexadecimal pairs (the first 32, then how many more).
    void Bytes(std::string_view label, std::uint64_t n);
    // The rest of the body as bytes (nothing when none is left).
    void Rest(std::string_view label);
    // Bytes a box holds past its last field, as "data" (nothing once cut).
    void Trailing() {
        if (!cut_ && Left() > 0) Rest("data");
    }
    // version (8 bits) and flags (24 bits) of a full box.
    std::pair<std::uint8_t, std::uint32_t> VersionFlags();

    // ---- Bit fields at the cursor, most significant bit first ----
    std::optional<std::uint64_t> Bits(std::string_view label, unsigned n);
    // A flag bit named by the label: "1 (0X01)" followed by nothing; use Meaning to explain.
    std::optional<bool> Flag(std::string_view label) {
        const auto v = Bits(label, 1);
        return v ? std::optional<bool>(*v != 0) : std::nullopt;
    }

    // ---- Lines not read at the cursor ----
    // Appends " text" to the value of the last line written.
    void Meaning(std::string_view text);
    // A value computed from other fields: "= text", with the span of its source bits.
    void Derived(std::string_view label, std::string_view text, ByteRange span);
    // A labelled value with an explicit range (a default taken from another box, ...).
    void Value(std::string_view label, std::string text, ByteRange range);
    // A line outside the label padding, without bytes: a heading such as "entry #1".
    void Heading(std::string text);
    // A line outside the label padding with its range: one entry of a long table.
    void Raw(std::string text, ByteRange range);
    // A reusable buffer for building Raw lines of long tables without allocating.
    std::string& Scratch() { return scratch_; }

    // ---- Ranges ----
    // Body position and length to the absolute range, cut to what was read.
    ByteRange Range(std::uint64_t pos, std::uint64_t len) const;
    ByteRange BitRange(std::uint64_t bitPos, std::uint64_t bits) const;

    // ---- Value texts ----
    // "1,234 (0X04D2)": the hexadecimal as wide as bytes.
    std::string Number(std::uint64_t v, unsigned bytes) const;
    void AppendNumber(std::string& out, std::uint64_t v, unsigned bytes) const;
    std::string SignedNumber(std::int64_t v, std::uint64_t raw, unsigned bytes) const;

    // Says the box ends before label (once); later reads show nothing.
    void MarkCut(std::string_view label, std::uint64_t needBytes);
    // Writes what is buffered to the view; called by the destructor.
    void Flush();

private:
    struct Item {
        std::string label;  // empty: a line outside the padding
        std::string text;
        ByteRange range;
    };
    bool Take(std::string_view label, std::uint64_t bytes);
    void Add(std::string_view label, std::string text, ByteRange range);
    std::uint64_t PeekNumber(std::uint64_t pos, unsigned bytes) const;

    DocumentView& view_;
    const RegionalSettings& rs_;
    std::span<const std::uint8_t> body_;
    std::uint64_t bodyOffset_ = 0;
    std::uint64_t declared_ = 0;
    std::uint64_t bit_ = 0;
    bool cut_ = false;
    bool littleEndian_ = false;
    std::vector<Item> items_;
    std::string scratch_;
};

// A signed field of this many bytes as Fields::SignedNumber writes it, "-1 (0XFFFFFFFF)",
// appended without temporaries for the lines of long tables.
void AppendSigned(std::string& out, std::uint64_t raw, unsigned bytes, const RegionalSettings& rs);
// UTC date and time of seconds since 1904-01-01: "2013-07-21 10:00:00 UTC".
std::string UtcText1904(std::uint64_t seconds);
// A fixed-point value as a decimal with up to six fraction digits: "1.5", "-0.25", "1.0".
std::string FixedText(double v);
// An ISO 639-2/T code from the three packed 5-bit letters, "" when one is out of range.
std::string PackedLanguageText(std::uint16_t packed);

}  // namespace kestrova::full
