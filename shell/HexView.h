#pragma once
// The classic sixteen-bytes-a-row dump of a byte range.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

inline constexpr std::uint64_t kHexReadLimit = 0x100000;

extern const char* const kHexDumpHeader;
extern const char* const kHexDumpSeparator;

// One row: bytes[first .. first + count) standing from column (rowAddress + first's column),
// its address written in at least addressDigits digits.
std::string HexDumpRow(std::span<const std::uint8_t> bytes, std::uint64_t rowAddress, std::size_t first,
                       std::size_t count, unsigned firstColumn, int addressDigits = 8);
// Appends the header, the separator and the rows for bytes that start at address start.
// Every row has the address width of the last; past eight digits the header
// and separator widen with it.
void HexDump(std::span<const std::uint8_t> bytes, std::uint64_t start, std::size_t length,
             std::vector<std::string>& out);

// Reading a row back. The address column is as wide as the address needs (at
// least eight digits), so the layout is taken from the row itself.
struct HexRowLayout {
    std::uint64_t address = 0;  // of column 00
    std::size_t width = 0;      // digits before the colon
    // Character positions of column c: its two hexadecimal digits and its character.
    std::size_t HexAt(unsigned c) const { return width + 2 + 3 * c; }
    std::size_t CharAt(unsigned c) const { return width + 52 + c; }
};
std::optional<HexRowLayout> ParseHexRow(std::string_view row);
// The byte shown under a character position of a row (on its digits, the blank
// before them, or its character), if a byte stands there.
std::optional<std::uint64_t> HexRowByteAt(std::string_view row, std::size_t position);
// The two digits the row shows for byte, if it shows that byte.
std::optional<std::string> HexRowByteText(std::string_view row, std::uint64_t byte);
// The character spans [first, last) of a row that show bytes of [offset, end):
// one over the hexadecimal digits, one over the characters.
std::vector<std::pair<std::size_t, std::size_t>> HexRowSpans(std::string_view row, std::uint64_t offset,
                                                             std::uint64_t end);

}  // namespace kestrova
