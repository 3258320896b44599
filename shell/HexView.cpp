#include "shell/HexView.h"

#include <cstdio>

namespace kestrova {

const char* const kHexDumpHeader =
    "          00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ; 0123456789ABCDEF";
const char* const kHexDumpSeparator =
    "--------------------------------------------------------- ; ----------------";

std::string HexDumpRow(std::span<const std::uint8_t> bytes, std::uint64_t rowAddress, std::size_t first,
                       std::size_t count, unsigned firstColumn) {
    static const char digits[] = "0123456789ABCDEF";
    char address[24];
    const int n = std::snprintf(address, sizeof address, "%08llX:", static_cast<unsigned long long>(rowAddress));
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
    out.emplace_back(kHexDumpHeader);
    out.emplace_back(kHexDumpSeparator);
    std::size_t done = 0;
    while (done < length) {
        const std::uint64_t address = start + done;
        const std::uint64_t rowAddress = address & ~std::uint64_t{15};
        const unsigned column = static_cast<unsigned>(address - rowAddress);
        std::size_t count = 16 - column;
        if (count > length - done) count = length - done;
        out.push_back(HexDumpRow(bytes, rowAddress, done, count, column));
        done += count;
    }
}

}  // namespace kestrova
