#pragma once
// The lines a read-only pane shows. An appended text that holds line breaks
// shows as several lines, so the pane keeps them already split. A pane of
// description lines also keeps, per line, the bytes its value was read from.

#include <cstdint>
#include <string>
#include <vector>

#include "common/DocumentView.h"

namespace kestrova {

class Pane {
public:
    void Clear() {
        lines_.clear();
        ranges_.clear();
        ++revision_;
    }
    void Append(const std::string& text);
    void Replace(const std::vector<std::string>& entries) { Replace(entries, {}); }
    // ranges is empty (no line has one) or holds one range per entry; every
    // pane line an entry splits into takes the entry's range.
    void Replace(const std::vector<std::string>& entries, const std::vector<ByteRange>& ranges);
    // The same, taking the entries' texts over instead of copying them; entries ends up empty.
    void Replace(std::vector<std::string>&& entries, const std::vector<ByteRange>& ranges);
    const std::vector<std::string>& Lines() const { return lines_; }
    // The range of a pane line; empty for lines without one and past the end.
    ByteRange RangeOf(std::size_t line) const {
        if (line >= ranges_.size()) return {};
        const Packed& p = ranges_[line];
        ByteRange r{std::uint64_t{p.high & 0xFFFF} << 32 | p.low, p.length};
        r.firstBit = static_cast<std::uint8_t>((p.high >> 16) & 7);
        r.bitCount = p.high >> 19;
        return r;
    }
    bool HasRanges() const { return !ranges_.empty(); }
    // Bytes the lines and their ranges hold, for the benchmark.
    std::size_t MemoryBytes() const;
    // Changes whenever the content changes, so a front end can skip a redraw.
    std::uint64_t Revision() const { return revision_; }

private:
    // A table of 340,000 sample sizes keeps one range per line: 12 bytes, not 16.
    // high holds the offset's bits 32-47, then the first bit (3 bits) and the
    // bit count (13 bits) of a bit field.
    struct Packed {
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        std::uint32_t length = 0;
    };
    static Packed Pack(const ByteRange& r);
    // Appends the lines of text; returns how many.
    std::size_t AppendSplit(const std::string& text);
    std::vector<std::string> lines_;
    std::vector<Packed> ranges_;  // empty, or one per line
    std::uint64_t revision_ = 0;
};

}  // namespace kestrova
