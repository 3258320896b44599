#pragma once
// The cases the full view's box tests run: a file, the box clicked, and each
// line it must show with the bytes (or bits) that line lights.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FullFixtures.h"

namespace kestrova::test {

struct ClickLine {
    std::string text;
    ByteRange range;
};

struct ClickCase {
    const char* name;
    Bytes file;
    const char* type;  // the box clicked: the first of this type in tree order
    std::vector<ClickLine> lines;
};

inline ByteRange R(std::uint64_t offset, std::uint64_t length) { return {offset, length}; }

// A line and its range in one text, so a mismatch shows both side by side.
inline std::string Shown(const std::string& text, const ByteRange& r) {
    std::string out = text + "  @" + std::to_string(r.offset) + "+" + std::to_string(r.length);
    if (r.HasBits()) out += " bits " + std::to_string(r.firstBit) + "+" + std::to_string(r.bitCount);
    return out;
}

// The lines of a click from the first one on.
inline std::vector<std::string> Shown(const FullLines& got, std::size_t first = 0) {
    std::vector<std::string> out;
    for (std::size_t i = first; i < got.lines.size(); ++i) out.push_back(Shown(got.lines[i], got.ranges[i]));
    return out;
}

inline std::vector<std::string> Shown(const std::vector<ClickLine>& lines) {
    std::vector<std::string> out;
    for (const ClickLine& l : lines) out.push_back(Shown(l.text, l.range));
    return out;
}

inline void ExpectClicks(const std::vector<ClickCase>& cases) {
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(DescribeInFullView(c.file, c.type)), Shown(c.lines));
    }
}

}  // namespace kestrova::test
