#include "shell/Pane.h"

#include <limits>

namespace kestrova {

Pane::Packed Pane::Pack(const ByteRange& r) {
    // No shown value is 4 GiB long; a longer range keeps its start and is cut.
    constexpr std::uint64_t kMaxLength = std::numeric_limits<std::uint32_t>::max();
    // Offsets past 2^48 and bit counts past 8191 do not occur in a file one can open;
    // a longer bit span falls back to its whole bytes.
    const std::uint32_t bits = r.bitCount < 8192 ? (std::uint32_t{r.firstBit} & 7) | (r.bitCount << 3) : 0;
    return {static_cast<std::uint32_t>(r.offset),
            static_cast<std::uint32_t>((r.offset >> 32) & 0xFFFF) | (bits << 16),
            static_cast<std::uint32_t>(r.length < kMaxLength ? r.length : kMaxLength)};
}

void Pane::Append(const std::string& text) {
    const std::size_t added = AppendSplit(text);
    if (!ranges_.empty()) ranges_.resize(ranges_.size() + added);
    ++revision_;
}

namespace {

// A plain loop: find_first_of with a set of two runs a memchr per character,
// which dominated the click on a table of 340,000 lines.
std::size_t FindBreak(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == '\n' || text[i] == '\r') return i;
    return std::string::npos;
}

}  // namespace

void Pane::Replace(const std::vector<std::string>& entries, const std::vector<ByteRange>& ranges) {
    std::vector<std::string> copy = entries;
    Replace(std::move(copy), ranges);
}

void Pane::Replace(std::vector<std::string>&& entries, const std::vector<ByteRange>& ranges) {
    lines_.clear();
    ranges_.clear();
    lines_.reserve(entries.size());
    const bool withRanges = ranges.size() == entries.size() && !entries.empty();
    if (withRanges) ranges_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::size_t added = 1;
        if (FindBreak(entries[i], 0) == std::string::npos) lines_.push_back(std::move(entries[i]));
        else added = AppendSplit(entries[i]);
        if (withRanges) ranges_.insert(ranges_.end(), added, Pack(ranges[i]));
    }
    entries.clear();
    ++revision_;
}

std::size_t Pane::AppendSplit(const std::string& text) {
    const std::size_t before = lines_.size();
    std::size_t start = 0;
    while (true) {
        const std::size_t brk = FindBreak(text, start);
        if (brk == std::string::npos) {
            // A break at the very end starts no further line.
            if (start < text.size() || start == 0) lines_.emplace_back(text, start);
            return lines_.size() - before;
        }
        lines_.emplace_back(text, start, brk - start);
        start = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
    }
}

std::size_t Pane::MemoryBytes() const {
    std::size_t bytes = lines_.capacity() * sizeof(std::string) + ranges_.capacity() * sizeof(Packed);
    for (const std::string& line : lines_)
        if (line.capacity() > std::string().capacity()) bytes += line.capacity() + 1;
    return bytes;
}

}  // namespace kestrova
