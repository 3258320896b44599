#pragma once
// The classic sixteen-bytes-a-row dump of a byte range.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

inline constexpr std::uint64_t kHexReadLimit = 0x100000;

extern const char* const kHexDumpHeader;
extern const char* const kHexDumpSeparator;

// One row: bytes[first .. first + count) standing from column (rowAddress + first's column).
std::string HexDumpRow(std::span<const std::uint8_t> bytes, std::uint64_t rowAddress, std::size_t first,
                       std::size_t count, unsigned firstColumn);
// Appends the header, the separator and the rows for bytes that start at address start.
void HexDump(std::span<const std::uint8_t> bytes, std::uint64_t start, std::size_t length,
             std::vector<std::string>& out);

}  // namespace kestrova
