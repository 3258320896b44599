#pragma once
// The text forms every value is shown in: grouped decimal with its hexadecimal
// form, four-character codes, 1904-based times and numbered entries. Numbers
// follow printf exactly; wider than 32-bit values print all their digits.

#include <cstdint>
#include <string>

#include "RegionalSettings.h"

namespace kestrova {

std::string Hex32Text(std::uint64_t v);  // "%#010X"
std::string Hex16Text(std::uint64_t v);  // "%#06X"
std::string UpperHexText(std::uint64_t v);  // "%X"

// "###,##0": at least one digit, the regional thousands separator between groups.
std::string GroupedText(std::uint64_t v, const RegionalSettings& rs);
std::string GroupedSignedText(std::int64_t v, const RegionalSettings& rs);

// Appends DecHex32Text and its narrower forms (hexWidth 10, 8, 6 or 4), and
// EntryNumberText, to out: the long tables build each line in one string.
void AppendDecHex(std::string& out, std::uint64_t v, int hexWidth, const RegionalSettings& rs);
void AppendEntryNumber(std::string& out, std::int64_t i);

std::string DecHex32Text(std::uint64_t v, const RegionalSettings& rs);
std::string DecHex24Text(std::uint64_t v, const RegionalSettings& rs);
std::string DecHex16Text(std::uint64_t v, const RegionalSettings& rs);
std::string DecHex8Text(std::uint64_t v, const RegionalSettings& rs);

// The code as text when every shown byte is an ASCII letter, digit or white
// space (a leading 0xA9 shows as "."), otherwise Hex32Text of the code.
std::string FourccText(std::uint32_t v);
std::string FourccHexText(std::uint32_t v);
std::uint32_t FourccLower(std::uint32_t v);
constexpr std::uint32_t Fourcc(const char (&s)[5]) {
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// Seconds since 1904-01-01 00:00:00 as regional date (and time unless midnight),
// then a line feed and three blanks.
std::string Time1904Text(std::uint64_t seconds, const RegionalSettings& rs);
// Date and time text of a calendar moment in the given Qt-style pattern.
std::string FormatDateTimePattern(const std::string& pattern, std::int64_t year, int month,
                                  int day, int hour, int minute, int second,
                                  const RegionalSettings& rs);

std::string VideoWidthText(std::int64_t trackWidth, std::uint32_t v);
std::string VideoHeightText(std::int64_t trackHeight, std::uint32_t v);
std::string EntryNumberText(std::int64_t i);  // "#%-4d: " of i + 1
std::string IndexText(std::int64_t i);        // "[%d]: "

}  // namespace kestrova
