#include "shell/Navigation.h"

#include <algorithm>
#include <unordered_map>

#include "avi/AviParser.h"
#include "avi/DisplayAviInfo.h"
#include "avi/full/AviFull.h"
#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "common/SampleList.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kRiff = 0x52494646;  // "RIFF"
constexpr std::uint32_t kList = 0x4C495354;  // "LIST"

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendTypeBytes(std::string& out, std::uint32_t v) {
    static const char* const kHex = "0123456789ABCDEF";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto b = static_cast<unsigned char>(v >> shift);
        if (b == '\\' || b == '/' || b == '[' || b == ']') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
}

std::uint32_t Pack(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// The parts of a path between unescaped slashes.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') {
            ++i;
        } else if (path[i] == '/') {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(path.substr(start));
    return parts;
}

std::string PartName(std::size_t i, std::string_view part) {
    return "part " + std::to_string(i + 1) + " '" + std::string(part) + "'";
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

class SearchSink final : public DocumentView {
public:
    SearchSink(const DescriptionSource& source, std::string needle) : source_(source), needle_(std::move(needle)) {}

    void AddDescriptionLine(std::string line, ByteRange) override { Check(line); }
    void AddBoxDescriptionLine(const std::string& line) override { Check(line); }
    void ClearDescriptionBuffer() override {}
    void ShowDescription() override {}
    void ClearBoxDescription() override {}
    void ClearFileInfo() override {}
    void AddFileInfoLine(const std::string&) override {}
    void SetOffsetEditText(std::string) override {}
    void SetSizeEditText(std::string) override {}
    void ShowHexRange(std::uint64_t, std::uint64_t) override {}
    const std::string& GetFilePath() const override { return source_.path; }
    std::uint32_t FileKind() const override { return source_.fileKind; }
    const RegionalSettings& Settings() const override { return source_.settings; }

private:
public:
    bool hit = false;

private:
    void Check(const std::string& line) {
        if (hit || line.size() < needle_.size()) return;
        lowered_.assign(line);
        for (char& c : lowered_) c = AsciiLower(c);
        hit = lowered_.find(needle_) != std::string::npos;
    }

    const DescriptionSource& source_;
    std::string needle_;
    std::string lowered_;
};

}  // namespace

std::string NodeTypeText(const NodeType& type) {
    std::string out;
    AppendTypeBytes(out, type.type);
    if (type.listType != 0) {
        out += ' ';
        AppendTypeBytes(out, type.listType);
    }
    return out;
}

std::optional<NodeType> ParseNodeType(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            if (i + 1 >= text.size()) return std::nullopt;
            const char next = text[++i];
            if (next == '\\' || next == '/' || next == '[' || next == ']') {
                bytes += next;
            } else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
                bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                i += 2;
            } else {
                return std::nullopt;
            }
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            // U+0080 to U+00FF: the byte of the same value, as "©nam" is written.
            bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else if (c >= 0x20 && c < 0x7F) {
            bytes += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    if (bytes.size() == 4) return NodeType{Pack(bytes, 0), 0};
    if (bytes.size() == 9 && bytes[4] == ' ') return NodeType{Pack(bytes, 0), Pack(bytes, 5)};
    return std::nullopt;
}

NodeIndex::NodeIndex(const Document& document) : fileSize_(document.FileSize()) {
    const auto& nodes = document.Tree().Nodes();
    const std::size_t n = nodes.size();
    parent_.resize(n);
    type_.resize(n);
    begin_.assign(n, 0);
    end_.assign(n, fileSize_);
    for (std::size_t i = 0; i < n; ++i) parent_[i] = nodes[i].parent;

    const auto set = [&](std::size_t node, std::uint64_t offset, std::uint64_t extent, NodeType type) {
        if (node >= n) return;
        type_[node] = type;
        begin_[node] = offset;
        // A size of 0 runs to the end of what holds the box.
        end_[node] = extent == 0 ? fileSize_ : (offset + extent < offset ? ~std::uint64_t{0} : offset + extent);
    };
    if (const full::FullParse* parse = document.Full()) {
        for (std::size_t i = 0; i < parse->records.size(); ++i) {
            const full::FullRecord& r = parse->records[i];
            set(i + 1, r.offset, r.extent, {r.type, 0});
        }
    } else if (const IsoParse* iso = document.Iso()) {
        for (std::size_t i = 0; i < iso->records.size(); ++i) {
            const BoxRecord& r = iso->records[i];
            set(i + 1, r.offset, r.Extent(), {r.type, 0});
        }
    } else if (const full::AviFullParse* aviFull = document.AviFull()) {
        for (std::size_t i = 0; i < aviFull->records.size(); ++i) {
            const full::AviFullRecord& r = aviFull->records[i];
            set(i + 1, r.offset, r.extent, {r.id, r.listType});
        }
    } else if (const AviParse* avi = document.Avi()) {
        for (std::size_t i = 0; i < avi->records.size(); ++i) {
            const ChunkRecord& r = avi->records[i];
            set(i + 1, r.offset, std::uint64_t{r.size} + 8, {r.id, r.listType});
        }
    }

    // A child never reaches past its parent: a box that says more is cut where
    // its parent ends, as the walk cuts it.
    for (std::size_t i = 1; i < n; ++i) {
        const auto p = static_cast<std::size_t>(std::max(parent_[i], 0));
        if (end_[i] > end_[p]) end_[i] = end_[p];
        if (begin_[i] < begin_[p]) begin_[i] = begin_[p];
        if (end_[i] < begin_[i]) end_[i] = begin_[i];
    }

    firstChild_.assign(n + 1, 0);
    for (std::size_t i = 1; i < n; ++i) ++firstChild_[static_cast<std::size_t>(parent_[i]) + 1];
    for (std::size_t i = 0; i < n; ++i) firstChild_[i + 1] += firstChild_[i];
    children_.resize(n > 0 ? n - 1 : 0);
    std::vector<std::int32_t> fill(firstChild_.begin(), firstChild_.end() - 1);
    for (std::size_t i = 1; i < n; ++i) children_[static_cast<std::size_t>(fill[static_cast<std::size_t>(parent_[i])]++)] = static_cast<std::int32_t>(i);

    ordinal_.assign(n, 0);
    std::unordered_map<std::uint64_t, std::int32_t> counts;
    for (std::size_t p = 0; p < n; ++p) {
        const std::int32_t first = firstChild_[p], last = firstChild_[p + 1];
        if (last - first < 2) continue;
        counts.clear();
        const auto key = [this](std::int32_t c) {
            const NodeType& t = type_[static_cast<std::size_t>(c)];
            return (std::uint64_t{t.type} << 32) | t.listType;
        };
        for (std::int32_t k = first; k < last; ++k) ++counts[key(children_[static_cast<std::size_t>(k)])];
        for (auto& [type, count] : counts) count = count > 1 ? 0 : -1;
        for (std::int32_t k = first; k < last; ++k) {
            const std::int32_t c = children_[static_cast<std::size_t>(k)];
            std::int32_t& seen = counts[key(c)];
            if (seen >= 0) ordinal_[static_cast<std::size_t>(c)] = ++seen;
        }
    }
}

std::string NodeIndex::PathOf(std::int32_t node) const {
    std::vector<std::int32_t> chain;
    for (std::int32_t at = node; at > 0; at = parent_[static_cast<std::size_t>(at)]) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += '/';
        path += NodeTypeText(type_[static_cast<std::size_t>(*it)]);
        if (const std::int32_t n = ordinal_[static_cast<std::size_t>(*it)]; n > 0) path += "[" + std::to_string(n) + "]";
    }
    return path;
}

std::int32_t NodeIndex::FindPath(std::string_view path, std::string* error) const {
    const auto fail = [error](std::string message) {
        if (error) *error = std::move(message);
        return -1;
    };
    if (Count() == 0) return fail("no file is open");
    if (path.empty()) return fail("the path is empty");
    const std::vector<std::string_view> parts = SplitPath(path);
    std::int32_t at = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        if (part.empty()) return fail("part " + std::to_string(i + 1) + " of the path is empty");
        std::size_t bracket = std::string_view::npos;
        for (std::size_t k = 0; k < part.size(); ++k) {
            if (part[k] == '\\') ++k;
            else if (part[k] == '[') {
                bracket = k;
                break;
            }
        }
        std::int64_t wanted = 1;
        if (bracket != std::string_view::npos) {
            const std::string_view index = part.substr(bracket + 1);
            if (index.empty() || index.back() != ']') return fail(PartName(i, part) + ": no closing ']'");
            const std::string_view digits = index.substr(0, index.size() - 1);
            if (digits.empty() || digits.size() > 9 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return fail(PartName(i, part) + ": the index is not a number");
            wanted = std::stoll(std::string(digits));
            if (wanted == 0) return fail(PartName(i, part) + ": the index counts from 1");
        }
        const std::optional<NodeType> type = ParseNodeType(part.substr(0, bracket));
        if (!type) return fail(PartName(i, part) + ": a type is four characters, or LIST xxxx / RIFF xxxx");
        std::int64_t seen = 0;
        std::int32_t match = -1;
        for (std::int32_t k = firstChild_[static_cast<std::size_t>(at)]; k < firstChild_[static_cast<std::size_t>(at) + 1]; ++k) {
            const std::int32_t c = children_[static_cast<std::size_t>(k)];
            if (type_[static_cast<std::size_t>(c)] == *type && ++seen == wanted) {
                match = c;
                break;
            }
        }
        if (match < 0) {
            const std::string where = at == 0 ? std::string("the top of the file") : "'" + PathOf(at) + "'";
            if (seen == 0) return fail(PartName(i, part) + ": no " + NodeTypeText(*type) + " in " + where);
            return fail(PartName(i, part) + ": " + where + " holds " + std::to_string(seen) + " " + NodeTypeText(*type));
        }
        at = match;
    }
    return at;
}

std::int32_t NodeIndex::NodeAt(std::uint64_t byte) const {
    if (Count() == 0 || byte >= fileSize_) return -1;
    std::int32_t at = 0;
    for (;;) {
        const auto first = children_.begin() + firstChild_[static_cast<std::size_t>(at)];
        const auto last = children_.begin() + firstChild_[static_cast<std::size_t>(at) + 1];
        // Siblings lie in file order: the candidate is the last one starting at or before the byte.
        auto it = std::upper_bound(first, last, byte, [this](std::uint64_t b, std::int32_t c) {
            return b < begin_[static_cast<std::size_t>(c)];
        });
        std::int32_t next = -1;
        // Empty boxes share their offset with the next one; look past a few of them.
        for (int tries = 0; it != first && tries < 8; ++tries) {
            --it;
            const auto c = static_cast<std::size_t>(*it);
            if (byte >= begin_[c] && byte < end_[c]) {
                next = *it;
                break;
            }
            if (end_[c] > begin_[c]) break;
        }
        if (next < 0) return at;
        at = next;
    }
}

std::vector<std::int32_t> NodeIndex::FindType(const NodeType& type) const {
    std::vector<std::int32_t> hits;
    for (std::size_t i = 1; i < type_.size(); ++i) {
        if (type_[i].type == type.type && (type.listType == 0 || type_[i].listType == type.listType))
            hits.push_back(static_cast<std::int32_t>(i));
    }
    return hits;
}

std::optional<std::uint64_t> ParseOffsetText(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    else if (text.starts_with("@")) text.remove_prefix(1);
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(d);
    }
    return value;
}

FindQuery ClassifyFind(std::string_view typed, bool inDescriptions) {
    FindQuery q;
    if (typed.empty()) return q;
    if (inDescriptions) {
        q.kind = FindQuery::Kind::Text;
        q.text = typed;
        return q;
    }
    if (typed.find_first_of("/[") != std::string_view::npos) {
        q.kind = FindQuery::Kind::Path;
        q.text = typed;
        return q;
    }
    const bool offsetPrefix = typed.starts_with("0x") || typed.starts_with("0X") || typed.starts_with("@");
    const std::string_view digits = typed.substr(typed[0] == '@' ? 1 : offsetPrefix ? 2 : 0);
    if (offsetPrefix && !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; })) {
        if (const std::optional<std::uint64_t> offset = ParseOffsetText(typed)) {
            q.kind = FindQuery::Kind::Offset;
            q.offset = *offset;
        } else {
            q.kind = FindQuery::Kind::Invalid;
            q.error = "an offset has at most 16 hexadecimal digits";
        }
        return q;
    }
    if (const std::optional<NodeType> type = ParseNodeType(typed)) {
        q.kind = FindQuery::Kind::Type;
        q.type = *type;
        return q;
    }
    q.kind = FindQuery::Kind::Text;
    q.text = typed;
    return q;
}

DescriptionSource::DescriptionSource(const Document& document)
    : iso(document.Iso()),
      avi(document.Avi()),
      full(document.Full()),
      aviFull(document.AviFull()),
      path(document.FilePath()),
      fileKind(document.FileKind()),
      settings(document.Settings()),
      nodeCount(document.Tree().Count()) {}

bool SearchDescriptions(const DescriptionSource& source, std::string_view needle, const std::atomic<bool>& cancel,
                        const std::function<void(std::int32_t)>& onHit,
                        const std::function<void(std::size_t, std::size_t)>& progress) {
    if (needle.empty()) return true;
    SearchSink sink(source, Lowered(needle));
    FileSource file;
    if ((source.full || source.aviFull) && !file.Open(source.path)) return true;
    const std::size_t total = source.nodeCount;
    // The root's description is the file summary in FILEInfo, not a box's.
    for (std::size_t node = 1; node < total; ++node) {
        if (cancel.load(std::memory_order_relaxed)) return false;
        const auto index = static_cast<std::int64_t>(node);
        sink.hit = false;
        if (source.full) {
            full::DescribeFullBox(sink, file, *source.full, index);
        } else if (source.aviFull) {
            full::DescribeAviChunk(sink, file, *source.aviFull, index);
        } else if (source.iso && (source.fileKind & kFileKindIso)) {
            DisplayIsoBoxInfo(sink, *source.iso, index);
        } else if (source.avi) {
            // Only the root's summary writes into the parse; a chunk's description reads it.
            ShowChunkDescription(sink, const_cast<AviParse&>(*source.avi), index);
        }
        if (sink.hit) onHit(static_cast<std::int32_t>(node));
        if (progress && (node & 255) == 0) progress(node, total);
    }
    if (progress) progress(total, total);
    return true;
}

std::string SampleAtByteText(const SampleList& list, std::uint64_t byte, const RegionalSettings& settings) {
    for (const SampleTrack& track : list.tracks) {
        for (const Sample& s : track.samples) {
            const std::uint64_t offset = s.offset;
            if (byte < offset || byte - offset >= s.size) continue;
            return "track " + std::to_string(track.id) + ", sample " + GroupedText(s.number, settings) +
                   (s.key ? ", key frame" : ", not a key frame");
        }
    }
    return {};
}

void NodeHistory::Visit(std::int32_t node) {
    if (!entries_.empty() && entries_[current_] == node) return;
    if (!entries_.empty()) entries_.resize(current_ + 1);
    entries_.push_back(node);
    if (entries_.size() > kLimit) entries_.erase(entries_.begin());
    current_ = entries_.size() - 1;
}

std::optional<std::int32_t> NodeHistory::Back() {
    if (!CanGoBack()) return std::nullopt;
    return entries_[--current_];
}

std::optional<std::int32_t> NodeHistory::Forward() {
    if (!CanGoForward()) return std::nullopt;
    return entries_[++current_];
}

}  // namespace kestrova
