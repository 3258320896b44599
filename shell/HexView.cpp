#include "shell/HexView.h"

#include <algorithm>
#include <cstdio>

namespace kestrova {

const char* const kHexDumpHeader =
    "          00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ; 0123456789ABCDEF";
const char* const kHexDumpSeparator =
    "--------------------------------------------------------- ; ----------------";

std::string HexDumpRow(std::span<const std::uint8_t> bytes, std::uint64_t rowAddress, std::size_t first,
                       std::size_t count, unsigned firstColumn, int addressDigits) {
    static const char digits[] = "0123456789ABCDEF";
    char address[24];
    const int n = std::snprintf(address, sizeof address, "%0*llX:", addressDigits,
                                static_cast<unsigned long long>(rowAddress));
    std::string row(address, static_cast<std::size_t>(n));
    row.reserve(row.size() + 48 + 3 + 16);
    for (unsigned col = 0; col < 16; ++col) {
        if (col < firstColumn || col >= firstColumn + count) {
            row += "   ";
        } else {
            const std::uint8_t b = bytes[first + (col - firstColumn)];
            row += ' ';
            row += digits[b >> 4];
            row += digits[b & 15];
        }
    }
    row += " ; ";
    row.append(firstColumn, ' ');
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[first + i];
        row += (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
    }
    return row;
}

void HexDump(std::span<const std::uint8_t> bytes, std::uint64_t start, std::size_t length,
             std::vector<std::string>& out) {
    if (length > bytes.size()) length = bytes.size();
    out.reserve(out.size() + length / 16 + 4);
    // One address width for the whole dump: the last row's, at least eight digits.
    int addressDigits = 8;
    if (length > 0)
        for (std::uint64_t last = (start + length - 1) >> 32; last != 0; last >>= 4) ++addressDigits;
    const std::string widen(static_cast<std::size_t>(addressDigits - 8), addressDigits > 8 ? ' ' : '-');
    out.emplace_back(widen + kHexDumpHeader);
    out.emplace_back(std::string(widen.size(), '-') + kHexDumpSeparator);
    std::size_t done = 0;
    while (done < length) {
        const std::uint64_t address = start + done;
        const std::uint64_t rowAddress = address & ~std::uint64_t{15};
        const unsigned column = static_cast<unsigned>(address - rowAddress);
        std::size_t count = 16 - column;
        if (count > length - done) count = length - done;
        out.push_back(HexDumpRow(bytes, rowAddress, done, count, column, addressDigits));
        done += count;
    }
}

std::optional<HexRowLayout> ParseHexRow(std::string_view row) {
    const std::size_t colon = row.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 16) return std::nullopt;
    std::uint64_t address = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = row[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        address = address << 4 | static_cast<unsigned>(digit);
    }
    return HexRowLayout{address, colon};
}

namespace {

bool ShowsColumn(std::string_view row, const HexRowLayout& layout, unsigned c) {
    const std::size_t at = layout.HexAt(c);
    return at + 1 < row.size() && row[at] != ' ';
}

}  // namespace

std::optional<std::uint64_t> HexRowByteAt(std::string_view row, std::size_t position) {
    const std::optional<HexRowLayout> layout = ParseHexRow(row);
    if (!layout) return std::nullopt;
    const std::size_t hexStart = layout->width + 1;
    unsigned column = 16;
    if (position >= hexStart && position < hexStart + 48) column = static_cast<unsigned>((position - hexStart) / 3);
    else if (position >= layout->CharAt(0) && position < layout->CharAt(16))
        column = static_cast<unsigned>(position - layout->CharAt(0));
    if (column >= 16 || !ShowsColumn(row, *layout, column)) return std::nullopt;
    return layout->address + column;
}

std::optional<std::string> HexRowByteText(std::string_view row, std::uint64_t byte) {
    const std::optional<HexRowLayout> layout = ParseHexRow(row);
    if (!layout || byte < layout->address || byte - layout->address >= 16) return std::nullopt;
    const unsigned column = static_cast<unsigned>(byte - layout->address);
    if (!ShowsColumn(row, *layout, column)) return std::nullopt;
    return std::string(row.substr(layout->HexAt(column), 2));
}

std::vector<std::pair<std::size_t, std::size_t>> HexRowSpans(std::string_view row, std::uint64_t offset,
                                                             std::uint64_t end) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const std::optional<HexRowLayout> layout = ParseHexRow(row);
    if (!layout || end <= offset || end <= layout->address || offset >= layout->address + 16) return spans;
    unsigned first = offset > layout->address ? static_cast<unsigned>(offset - layout->address) : 0;
    unsigned last = end - layout->address >= 16 ? 15 : static_cast<unsigned>(end - layout->address - 1);
    // The bytes of a row stand in adjacent columns; the range may begin or end in blanks.
    while (first <= last && !ShowsColumn(row, *layout, first)) ++first;
    while (last > first && !ShowsColumn(row, *layout, last)) --last;
    if (first > last || !ShowsColumn(row, *layout, first)) return spans;
    spans.emplace_back(layout->HexAt(first), layout->HexAt(last) + 2);
    spans.emplace_back(layout->CharAt(first), std::min(layout->CharAt(last) + 1, row.size()));
    return spans;
}

}  // namespace kestrova
