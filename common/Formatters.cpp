#include "Formatters.h"

#include <array>
#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace kestrova {
namespace {

std::string Printf(const char* format, auto... args) {
    std::array<char, 128> buf{};
    int n = std::snprintf(buf.data(), buf.size(), format, args...);
    return std::string(buf.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

// Tables of hundreds of thousands of entries are formatted on every click, so
// the forms below append digits directly instead of going through printf.
void AppendGroupedDigits(std::string& out, std::uint64_t v, const std::string& separator) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    const std::size_t n = static_cast<std::size_t>(end - digits);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += separator;
        out += digits[i];
    }
}

std::string DecHex(std::uint64_t v, const RegionalSettings& rs, int width) {
    std::string out;
    AppendDecHex(out, v, width, rs);
    return out;
}

bool IsAsciiAlnum(unsigned c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpace(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

static void AppendHexField(std::string& out, std::uint64_t v, int width) {
    if (v == 0) {
        out.append(static_cast<std::size_t>(width), '0');
        return;
    }
    char hex[16];
    int n = 0;
    for (; v != 0; v >>= 4) hex[n++] = "0123456789ABCDEF"[v & 15];
    out += "0X";
    for (int i = n; i < width - 2; ++i) out += '0';
    while (n > 0) out += hex[--n];
}

void AppendDecHex(std::string& out, std::uint64_t v, int hexWidth, const RegionalSettings& rs) {
    AppendGroupedDigits(out, v, rs.thousandsSeparator);
    out += " (";
    AppendHexField(out, v, hexWidth);
    out += ')';
}

void AppendEntryNumber(std::string& out, std::int64_t i) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, i + 1).ptr;
    const std::size_t n = static_cast<std::size_t>(end - digits);
    out += '#';
    out.append(digits, n);
    if (n < 4) out.append(4 - n, ' ');
    out += ": ";
}

std::string Hex32Text(std::uint64_t v) {
    std::string out;
    AppendHexField(out, v, 10);
    return out;
}
std::string Hex16Text(std::uint64_t v) {
    std::string out;
    AppendHexField(out, v, 6);
    return out;
}
std::string UpperHexText(std::uint64_t v) { return Printf("%llX", static_cast<unsigned long long>(v)); }

std::string GroupedText(std::uint64_t v, const RegionalSettings& rs) {
    std::string out;
    AppendGroupedDigits(out, v, rs.thousandsSeparator);
    return out;
}

std::string GroupedSignedText(std::int64_t v, const RegionalSettings& rs) {
    if (v >= 0) return GroupedText(static_cast<std::uint64_t>(v), rs);
    std::string text = GroupedText(0 - static_cast<std::uint64_t>(v), rs);
    text.insert(text.begin(), '-');
    return text;
}

std::string DecHex32Text(std::uint64_t v, const RegionalSettings& rs) { return DecHex(v, rs, 10); }
std::string DecHex24Text(std::uint64_t v, const RegionalSettings& rs) { return DecHex(v, rs, 8); }
std::string DecHex16Text(std::uint64_t v, const RegionalSettings& rs) { return DecHex(v, rs, 6); }
std::string DecHex8Text(std::uint64_t v, const RegionalSettings& rs) { return DecHex(v, rs, 4); }

std::string FourccText(std::uint32_t v) {
    std::string text;
    int first = 3;
    if ((v >> 24) == 0xA9) {
        text = ".";
        first = 2;
    }
    for (int i = first; i >= 0; --i) {
        unsigned b = (v >> (8 * i)) & 0xFF;
        // Only ASCII counts: bytes from 0x80 up are never letters, whatever the locale.
        if (!IsAsciiAlnum(b) && !IsSpace(b)) return Hex32Text(v);
        text += static_cast<char>(b);
    }
    return text;
}

std::string FourccHexText(std::uint32_t v) { return FourccText(v) + Printf(" (%#010X)", v); }

std::uint32_t FourccLower(std::uint32_t v) {
    std::uint32_t out = 0;
    for (int i = 3; i >= 0; --i) {
        std::uint32_t b = (v >> (8 * i)) & 0xFF;
        if (b >= 'A' && b <= 'Z') b += 'a' - 'A';
        out |= b << (8 * i);
    }
    return out;
}

namespace {

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

// Days since 1970-01-01 to the proleptic Gregorian date (exact integer arithmetic).
CivilDate CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr std::int64_t kDays1904To1970 = 24107;

const char* const kMonthShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
const char* const kDayShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayLong[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

int WeekDay(std::int64_t year, int month, int day) {
    // Sakamoto's method; 0 is Sunday.
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    std::int64_t y = month < 3 ? year - 1 : year;
    std::int64_t w = (y + y / 4 - y / 100 + y / 400 + t[month - 1] + day) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

std::string Padded(std::int64_t v, int width) {
    std::string s = std::to_string(v);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

}  // namespace

std::string FormatDateTimePattern(const std::string& pattern, std::int64_t year, int month, int day,
                                  int hour, int minute, int second, const RegionalSettings& rs) {
    const bool twelveHour = pattern.find("AP") != std::string::npos ||
                            pattern.find("ap") != std::string::npos ||
                            pattern.find("Ap") != std::string::npos ||
                            pattern.find("aP") != std::string::npos;
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        if (c == '\'') {
            // Quoted literal text; '' stands for one quote.
            if (run >= 2 && run % 2 == 0) {
                out.append(run / 2, '\'');
                i += run;
                continue;
            }
            std::size_t end = pattern.find('\'', i + 1);
            if (end == std::string::npos) end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        switch (c) {
        case 'y':
            if (run >= 4) {
                out += Padded(year, 4);
                run = 4;
            } else if (run >= 2) {
                out += Padded(((year % 100) + 100) % 100, 2);
                run = 2;
            } else {
                out += 'y';
            }
            break;
        case 'M':
            run = std::min<std::size_t>(run, 4);
            if (run == 1) out += std::to_string(month);
            else if (run == 2) out += Padded(month, 2);
            else if (run == 3) out += kMonthShort[month - 1];
            else out += kMonthLong[month - 1];
            break;
        case 'd':
            run = std::min<std::size_t>(run, 4);
            if (run == 1) out += std::to_string(day);
            else if (run == 2) out += Padded(day, 2);
            else if (run == 3) out += kDayShort[WeekDay(year, month, day)];
            else out += kDayLong[WeekDay(year, month, day)];
            break;
        case 'H':
        case 'h': {
            run = std::min<std::size_t>(run, 2);
            int h = hour;
            if (c == 'h' && twelveHour) h = hour % 12 == 0 ? 12 : hour % 12;
            out += run == 2 ? Padded(h, 2) : std::to_string(h);
            break;
        }
        case 'm':
            run = std::min<std::size_t>(run, 2);
            out += run == 2 ? Padded(minute, 2) : std::to_string(minute);
            break;
        case 's':
            run = std::min<std::size_t>(run, 2);
            out += run == 2 ? Padded(second, 2) : std::to_string(second);
            break;
        case 'A':
        case 'a':
            if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
                out += hour < 12 ? rs.amText : rs.pmText;
                run = 2;
            } else {
                out += hour < 12 ? rs.amText : rs.pmText;
                run = 1;
            }
            break;
        case 'z':
            out += run >= 3 ? std::string("000") : std::string("0");
            break;
        case 't':
            // The moment carries no time zone; drop the zone token and a blank before it.
            if (!out.empty() && out.back() == ' ') out.pop_back();
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

std::string Time1904Text(std::uint64_t seconds, const RegionalSettings& rs) {
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400);
    const std::int64_t secondOfDay = static_cast<std::int64_t>(seconds % 86400);
    const CivilDate date = CivilFromDays(days - kDays1904To1970);
    const int hour = static_cast<int>(secondOfDay / 3600);
    const int minute = static_cast<int>(secondOfDay / 60 % 60);
    const int second = static_cast<int>(secondOfDay % 60);
    std::string text =
        FormatDateTimePattern(rs.shortDatePattern, date.year, date.month, date.day, hour, minute, second, rs);
    if (secondOfDay != 0) {
        text += ' ';
        text += FormatDateTimePattern(rs.longTimePattern, date.year, date.month, date.day, hour, minute,
                                      second, rs);
    }
    return text + "\n   ";
}

std::string VideoWidthText(std::int64_t trackWidth, std::uint32_t v) {
    return Printf("Video Width (%lld): %-u (%#010X>>16)", static_cast<long long>(trackWidth), v >> 16, v);
}

std::string VideoHeightText(std::int64_t trackHeight, std::uint32_t v) {
    return Printf("Video Height(%lld): %-u (%#010X>>16)", static_cast<long long>(trackHeight), v >> 16, v);
}

std::string EntryNumberText(std::int64_t i) {
    std::string out;
    AppendEntryNumber(out, i);
    return out;
}
std::string IndexText(std::int64_t i) { return Printf("[%lld]: ", static_cast<long long>(i)); }

}  // namespace kestrova
