#pragma once
// Moving through an open file without the window: box paths, the node that
// holds a byte, find by type, text search over descriptions, and the history
// of selected nodes. Both front ends use it; nothing here knows Qt.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/RegionalSettings.h"

namespace kestrova {

class Document;
struct SampleList;
struct IsoParse;
struct AviParse;
namespace full {
struct FullParse;
struct AviFullParse;
}

// A node's type as paths and type searches compare it: four bytes and, for an
// AVI list, its list type.
struct NodeType {
    std::uint32_t type = 0;
    std::uint32_t listType = 0;
    friend bool operator==(const NodeType&, const NodeType&) = default;
};

// "moov", "LIST strl", "\xA9nam": bytes outside printable ASCII as \xNN, and
// the four characters a path uses as syntax behind a backslash.
std::string NodeTypeText(const NodeType& type);
// Reads a type as NodeTypeText writes it, also taking U+0080 to U+00FF typed
// as UTF-8 for the byte of that value ("©nam"). Four bytes, or "XXXX yyyy".
std::optional<NodeType> ParseNodeType(std::string_view text);

// Where a path or a lookup went wrong, as the bar and kestrova-dump say it.
struct PathResult {
    std::int32_t node = -1;
    std::string error;  // empty when node is set
    bool Found() const { return node >= 0; }
};

// The facts of every node that moving around needs, taken once after an open.
class NodeIndex {
public:
    NodeIndex() = default;
    explicit NodeIndex(const Document& document);

    std::size_t Count() const { return parent_.size(); }
    std::uint64_t FileSize() const { return fileSize_; }
    NodeType TypeOf(std::int32_t node) const { return type_[static_cast<std::size_t>(node)]; }
    std::int32_t ParentOf(std::int32_t node) const { return parent_[static_cast<std::size_t>(node)]; }
    // The bytes the node spans, cut to its parent's: [first, end).
    std::pair<std::uint64_t, std::uint64_t> ExtentOf(std::int32_t node) const {
        return {begin_[static_cast<std::size_t>(node)], end_[static_cast<std::size_t>(node)]};
    }

    // "moov/trak[2]/mdia"; "" for the root. [n] counts same-type siblings from 1
    // and is left out for a type its parent holds once.
    std::string PathOf(std::int32_t node) const;
    std::int32_t FindPath(std::string_view path, std::string* error) const;
    PathResult FindPath(std::string_view path) const {
        PathResult r;
        r.node = FindPath(path, &r.error);
        return r;
    }
    // The innermost node whose extent holds byte (the root between top-level
    // boxes); -1 past the end of the file.
    std::int32_t NodeAt(std::uint64_t byte) const;
    // The nodes of this type in tree order; a type without list type matches
    // every list of that id.
    std::vector<std::int32_t> FindType(const NodeType& type) const;

private:
    std::uint64_t fileSize_ = 0;
    std::vector<std::int32_t> parent_;
    std::vector<NodeType> type_;
    std::vector<std::uint64_t> begin_;  // extent of each node; the root spans the file
    std::vector<std::uint64_t> end_;
    std::vector<std::int32_t> firstChild_;  // into children_, Count() + 1 entries
    std::vector<std::int32_t> children_;    // each node's children in tree order
    std::vector<std::int32_t> ordinal_;     // 1-based among same-type siblings; 0: the only one
};

// What the find bar makes of what was typed, tried in this order: a path, an
// offset, a type, text.
struct FindQuery {
    enum class Kind { Empty, Path, Offset, Type, Text, Invalid };
    Kind kind = Kind::Empty;
    std::string text;  // the path, or the text to look for
    std::uint64_t offset = 0;
    NodeType type;
    std::string error;  // for Invalid
};
FindQuery ClassifyFind(std::string_view typed, bool inDescriptions = false);

// The offset arguments of --goto and Ctrl+L: hexadecimal, with or without 0x or @.
std::optional<std::uint64_t> ParseOffsetText(std::string_view text);

// What a text search reads, taken on the thread that owns the document; the
// parse it points to must stay as it is until the search returns.
struct DescriptionSource {
    explicit DescriptionSource(const Document& document);
    const IsoParse* iso = nullptr;
    const AviParse* avi = nullptr;
    const full::FullParse* full = nullptr;
    const full::AviFullParse* aviFull = nullptr;
    std::string path;
    std::uint32_t fileKind = 0;
    RegionalSettings settings;
    std::size_t nodeCount = 0;
};

// Calls onHit for every node whose description holds needle, case-insensitive
// (ASCII), in tree order. progress gets the nodes done and the total now and
// then. Returns false when cancel stopped it. Safe off the document's thread.
bool SearchDescriptions(const DescriptionSource& source, std::string_view needle, const std::atomic<bool>& cancel,
                        const std::function<void(std::int32_t)>& onHit,
                        const std::function<void(std::size_t, std::size_t)>& progress = {});

// "track 1, sample 1,234, key frame": the sample whose bytes hold byte; ""
// when none does.
std::string SampleAtByteText(const SampleList& list, std::uint64_t byte, const RegionalSettings& settings);

// The nodes selected before and after the current one, for back and forward.
class NodeHistory {
public:
    // A node was selected: it becomes current and the forward list is dropped.
    void Visit(std::int32_t node);
    std::optional<std::int32_t> Back();
    std::optional<std::int32_t> Forward();
    bool CanGoBack() const { return current_ > 0; }
    bool CanGoForward() const { return current_ + 1 < entries_.size(); }
    void Clear() {
        entries_.clear();
        current_ = 0;
    }

    static constexpr std::size_t kLimit = 10'000;

private:
    std::vector<std::int32_t> entries_;
    std::size_t current_ = 0;  // meaningful when entries_ is not empty
};

}  // namespace kestrova
