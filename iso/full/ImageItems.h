#pragma once
// The items of one meta box read together (pitm, iinf, iloc, iref, ipco and
// ipma, idat), for the summary and for the descriptions that show an item's
// own bytes. Every count is bounded by the bytes of its box.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/FileSource.h"

namespace kestrova::full {

struct FullParse;

struct ItemExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;  // 0: to the end of the file (or of the idat)
};

struct ItemProperty {
    std::uint32_t index = 0;  // in ipco, from 1
    bool essential = false;
};

struct MetaItem {
    std::uint32_t id = 0;
    std::uint32_t type = 0;  // infe version 2 and later; 0 before
    bool hidden = false;     // infe flags bit 0
    std::string name;
    std::string contentType;  // a mime item's, or an infe before version 2
    bool located = false;     // iloc lists it
    std::uint8_t constructionMethod = 0;
    std::uint64_t baseOffset = 0;
    std::vector<ItemExtent> extents;
    std::vector<ItemProperty> properties;
};

struct ItemReference {
    std::uint32_t type = 0;  // dimg, thmb, auxl, cdsc, ...
    std::uint32_t from = 0;
    std::vector<std::uint32_t> to;
};

struct MetaItems {
    std::optional<std::uint32_t> primary;
    std::vector<MetaItem> items;
    std::unordered_map<std::uint32_t, std::size_t> byId;  // index into items
    std::vector<ItemReference> references;
    std::vector<std::int32_t> properties;  // ipco's children, in order (index 1 is the first)
    std::int32_t idat = -1;
    const MetaItem* Find(std::uint32_t id) const;
    // The item of this ID, added after the others when iinf does not list it.
    MetaItem& Add(std::uint32_t id);
    // The record of the property an association points at; -1 when there is none.
    std::int32_t PropertyRecord(std::uint32_t index) const;
};

// The items of the meta box of this record.
MetaItems ReadMetaItems(FileSource& file, const FullParse& parse, std::int32_t meta);

// An item's bytes, its extents joined, with where each piece lies in the file.
struct ItemBytes {
    struct Piece {
        std::uint64_t at = 0;      // in bytes
        std::uint64_t offset = 0;  // in the file
        std::uint64_t length = 0;
    };
    std::vector<std::uint8_t> bytes;
    std::vector<Piece> pieces;
    std::uint64_t total = 0;  // what the extents add up to
    bool outside = false;     // an extent lies past the file, its idat or is not a file or idat offset
};
// Reads at most limit bytes of the item; extents past the file are not read.
ItemBytes ReadItemBytes(FileSource& file, const FullParse& parse, const MetaItems& items, const MetaItem& item,
                        std::uint64_t limit);

// The meta box that holds this record (an infe, iloc, ...); -1 when none.
std::int32_t EnclosingMeta(const FullParse& parse, std::int32_t record);

}  // namespace kestrova::full
