#pragma once
// What the parsers and the presentation may do with the main window: the
// description buffer, the two panes, the two hex entries and the hex viewer.
// The Document implements it; tests may implement it too.

#include <cstdint>
#include <string>

#include "RegionalSettings.h"

namespace kestrova {

// Where a shown value was read from: an absolute file offset and a length.
// A line that shows no file bytes has the empty range (length 0). A field
// narrower than a byte or not byte-aligned also knows its bits: firstBit
// counts from the most significant bit (0) of the byte at offset, and
// bitCount spans the file's bits from the field's first to its last; length
// is then the whole bytes those bits touch.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint8_t firstBit = 0;
    std::uint32_t bitCount = 0;  // 0: whole bytes
    bool Empty() const { return length == 0; }
    bool HasBits() const { return bitCount != 0; }
    std::uint64_t End() const { return offset + length; }
    // The width that decides which of two ranges holding a byte is narrower.
    std::uint64_t BitWidth() const { return bitCount != 0 ? bitCount : length * 8; }
    // The range of count bits from absolute bit position bit (bit 0: the most
    // significant bit of byte 0); a whole-byte run comes back as plain bytes.
    static ByteRange Bits(std::uint64_t bit, std::uint64_t count) {
        if (count == 0) return {};
        ByteRange r;
        r.offset = bit / 8;
        r.firstBit = static_cast<std::uint8_t>(bit % 8);
        r.length = (r.firstBit + count + 7) / 8;
        if (r.firstBit != 0 || count % 8 != 0) r.bitCount = static_cast<std::uint32_t>(count);
        return r;
    }
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

enum FileKindBits : std::uint32_t {
    kFileKindIso = 1,
    kFileKindIsoWithoutMovie = 2,
    kFileKindAvi = 4,
};

class DocumentView {
public:
    virtual ~DocumentView() = default;

    // A line and the bytes its value was read from (none for labels and headings).
    virtual void AddDescriptionLine(std::string line, ByteRange range) = 0;
    void AddDescriptionLine(std::string line) { AddDescriptionLine(std::move(line), ByteRange{}); }
    virtual void ClearDescriptionBuffer() = 0;
    // Replaces BOX_Description by the buffer's lines; the buffer stays.
    virtual void ShowDescription() = 0;
    virtual void ClearBoxDescription() = 0;
    // Appends one line straight to BOX_Description (the AVI refusal lines).
    virtual void AddBoxDescriptionLine(const std::string& line) = 0;

    virtual void ClearFileInfo() = 0;
    virtual void AddFileInfoLine(const std::string& line) = 0;

    virtual void SetOffsetEditText(std::string text) = 0;
    virtual void SetSizeEditText(std::string text) = 0;
    virtual void ShowHexRange(std::uint64_t offset, std::uint64_t size) = 0;

    virtual const std::string& GetFilePath() const = 0;
    virtual std::uint32_t FileKind() const = 0;
    virtual const RegionalSettings& Settings() const = 0;
};

}  // namespace kestrova
