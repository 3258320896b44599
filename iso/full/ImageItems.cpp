// The items of a meta box, read from the boxes the walk found under it.

#include "iso/full/ImageItems.h"

#include <algorithm>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// An item box is read this far at most; items past it are not listed.
constexpr std::uint64_t kMaxItemBoxRead = 4u << 20;

std::vector<std::uint8_t> Body(FileSource& file, const FullRecord& r, std::uint64_t limit = kMaxItemBoxRead) {
    std::vector<std::uint8_t> out;
    file.ReadAt(r.BodyOffset(), std::min(r.BodyLength(), limit), out);
    return out;
}

// A null-terminated string from pos; pos moves past its zero (or to the end).
std::string CText(const std::vector<std::uint8_t>& b, std::uint64_t& pos) {
    std::string s;
    while (pos < b.size() && b[pos] != 0) s += static_cast<char>(b[pos++]);
    if (pos < b.size()) ++pos;
    return s;
}

MetaItem ReadInfe(const std::vector<std::uint8_t>& b) {
    const ByteReader r({b.data(), b.size()});
    MetaItem item;
    const std::uint8_t version = r.U8(0);
    item.hidden = (r.U24BE(1) & 1) != 0;
    std::uint64_t pos = 4;
    if (version < 2) {
        item.id = r.U16BE(4);
        pos = 8;
        item.name = CText(b, pos);
        item.contentType = CText(b, pos);
        return item;
    }
    item.id = version == 2 ? r.U16BE(4) : r.U32BE(4);
    pos = version == 2 ? 8 : 10;
    item.type = r.U32BE(pos);
    pos += 4;
    item.name = CText(b, pos);
    if (item.type == F("mime")) item.contentType = CText(b, pos);
    return item;
}

void ReadIloc(const std::vector<std::uint8_t>& b, MetaItems& out) {
    const ByteReader r({b.data(), b.size()});
    const std::uint8_t version = r.U8(0);
    const auto size = [](unsigned s) { return s == 4 || s == 8 ? s : 0u; };
    const unsigned offsetBytes = size(r.U8(4) >> 4), lengthBytes = size(r.U8(4) & 15), baseBytes = size(r.U8(5) >> 4);
    const unsigned indexBytes = version >= 1 ? size(r.U8(5) & 15) : 0;
    const std::uint64_t count = version < 2 ? r.U16BE(6) : r.U32BE(6);
    std::uint64_t pos = version < 2 ? 8 : 10;
    const auto read = [&](unsigned n) {
        const std::uint64_t v = n == 8 ? r.U64BE(pos) : n == 4 ? r.U32BE(pos) : 0;
        pos += n;
        return v;
    };
    for (std::uint64_t i = 0; i < count && pos < b.size(); ++i) {
        const std::uint32_t id = version < 2 ? r.U16BE(pos) : r.U32BE(pos);
        pos += version < 2 ? 2 : 4;
        std::uint8_t method = 0;
        if (version >= 1) {
            method = r.U8(pos + 1) & 15;
            pos += 2;
        }
        pos += 2;  // data_reference_index
        const std::uint64_t base = read(baseBytes);
        const std::uint64_t extents = r.U16BE(pos);
        pos += 2;
        MetaItem* item = &out.Add(id);
        // A second entry for an item is read past, not joined to the first.
        if (item->located) item = nullptr;
        MetaItem ignored;
        if (item == nullptr) item = &ignored;
        item->located = true;
        item->constructionMethod = method;
        item->baseOffset = base;
        // Extents of no bytes at all (every size 0) would repeat without reading: one stands for them.
        const std::uint64_t listed = indexBytes + offsetBytes + lengthBytes == 0 ? std::min<std::uint64_t>(extents, 1) : extents;
        for (std::uint64_t k = 0; k < listed && pos < b.size(); ++k) {
            pos += indexBytes;
            ItemExtent e;
            e.offset = read(offsetBytes);
            e.length = read(lengthBytes);
            if (pos <= b.size()) item->extents.push_back(e);
        }
    }
}

void ReadReference(const std::vector<std::uint8_t>& b, std::uint32_t type, bool wide, MetaItems& out) {
    const ByteReader r({b.data(), b.size()});
    const unsigned w = wide ? 4 : 2;
    const auto id = [&](std::uint64_t pos) { return wide ? r.U32BE(pos) : std::uint32_t{r.U16BE(pos)}; };
    ItemReference ref;
    ref.type = type;
    ref.from = id(0);
    const std::uint64_t count = r.U16BE(w);
    for (std::uint64_t i = 0; i < count && w + 2 + (i + 1) * w <= b.size(); ++i) ref.to.push_back(id(w + 2 + i * w));
    out.references.push_back(std::move(ref));
}

void ReadIpma(const std::vector<std::uint8_t>& b, MetaItems& out) {
    const ByteReader r({b.data(), b.size()});
    const std::uint8_t version = r.U8(0);
    const bool wideIndex = (r.U24BE(1) & 1) != 0;
    const std::uint64_t count = r.U32BE(4);
    std::uint64_t pos = 8;
    for (std::uint64_t i = 0; i < count && pos < b.size(); ++i) {
        const std::uint32_t id = version < 1 ? r.U16BE(pos) : r.U32BE(pos);
        pos += version < 1 ? 2 : 4;
        const unsigned associations = r.U8(pos++);
        std::vector<ItemProperty> properties;
        for (unsigned k = 0; k < associations && pos < b.size(); ++k) {
            const std::uint32_t v = wideIndex ? r.U16BE(pos) : r.U8(pos);
            pos += wideIndex ? 2 : 1;
            properties.push_back({wideIndex ? v & 0x7FFF : v & 0x7F, (v >> (wideIndex ? 15 : 7)) != 0});
        }
        MetaItem& item = out.Add(id);
        item.properties.insert(item.properties.end(), properties.begin(), properties.end());
    }
}

// The records from first on that lie inside the box of record parent (preorder).
template <typename Fn>
void EachInside(const FullParse& parse, std::int32_t parent, Fn fn) {
    const FullRecord& p = parse.records[static_cast<std::size_t>(parent)];
    for (std::size_t i = static_cast<std::size_t>(parent) + 1; i < parse.records.size(); ++i) {
        const FullRecord& r = parse.records[i];
        if (r.depth <= p.depth) break;
        fn(r);
    }
}

}  // namespace

const MetaItem* MetaItems::Find(std::uint32_t id) const {
    const auto at = byId.find(id);
    return at == byId.end() ? nullptr : &items[at->second];
}

MetaItem& MetaItems::Add(std::uint32_t id) {
    const auto [at, added] = byId.emplace(id, items.size());
    if (added) items.emplace_back().id = id;
    return items[at->second];
}

std::int32_t MetaItems::PropertyRecord(std::uint32_t index) const {
    return index >= 1 && index <= properties.size() ? properties[index - 1] : -1;
}

MetaItems ReadMetaItems(FileSource& file, const FullParse& parse, std::int32_t meta) {
    MetaItems out;
    if (meta < 0 || static_cast<std::size_t>(meta) >= parse.records.size()) return out;
    const auto parentType = [&](const FullRecord& r) {
        return r.parent >= 0 ? parse.records[static_cast<std::size_t>(r.parent)].type : 0;
    };
    // infe first, so that the iloc and ipma entries join the items in iinf's order.
    EachInside(parse, meta, [&](const FullRecord& r) {
        if (r.type != F("infe") || parentType(r) != F("iinf") || parse.records[static_cast<std::size_t>(r.parent)].parent != meta)
            return;
        MetaItem item = ReadInfe(Body(file, r, 4096));
        if (out.Find(item.id) == nullptr) out.Add(item.id) = std::move(item);
    });
    std::int32_t iref = -1;
    bool wideReferences = false;
    EachInside(parse, meta, [&](const FullRecord& r) {
        if (r.parent == meta) {
            if (r.type == F("pitm")) {
                const std::vector<std::uint8_t> b = Body(file, r, 8);
                const ByteReader br({b.data(), b.size()});
                if (b.size() >= 6) out.primary = br.U8(0) == 0 ? br.U16BE(4) : br.U32BE(4);
            } else if (r.type == F("iloc")) {
                ReadIloc(Body(file, r), out);
            } else if (r.type == F("idat") && out.idat < 0) {
                out.idat = r.index;
            } else if (r.type == F("iref")) {
                iref = r.index;
                const std::vector<std::uint8_t> b = Body(file, r, 1);
                wideReferences = !b.empty() && b[0] != 0;
            }
        } else if (iref >= 0 && r.parent == iref) {
            ReadReference(Body(file, r), r.type, wideReferences, out);
        } else if (parentType(r) == F("ipco") && parse.records[static_cast<std::size_t>(r.parent)].parent >= 0 &&
                   parse.records[static_cast<std::size_t>(parse.records[static_cast<std::size_t>(r.parent)].parent)].parent == meta) {
            out.properties.push_back(r.index);
        } else if (r.type == F("ipma") && parentType(r) == F("iprp")) {
            ReadIpma(Body(file, r), out);
        }
    });
    return out;
}

ItemBytes ReadItemBytes(FileSource& file, const FullParse& parse, const MetaItems& items, const MetaItem& item,
                        std::uint64_t limit) {
    ItemBytes out;
    std::uint64_t start = 0, end = parse.fileSize;  // where the extents may lie
    if (item.constructionMethod == 1) {
        if (items.idat < 0) {
            out.outside = !item.extents.empty();
            return out;
        }
        const FullRecord& idat = parse.records[static_cast<std::size_t>(items.idat)];
        start = idat.BodyOffset();
        end = start + idat.BodyLength();
    } else if (item.constructionMethod != 0) {
        out.outside = !item.extents.empty();
        return out;
    }
    for (const ItemExtent& e : item.extents) {
        const std::uint64_t relative = item.baseOffset + e.offset;
        if (relative < item.baseOffset || relative > end - start) {
            out.outside = true;
            continue;
        }
        const std::uint64_t at = start + relative;
        const std::uint64_t length = e.length != 0 ? e.length : end - at;
        if (length > end - at) {
            out.outside = true;
            continue;
        }
        out.total += length;
        const std::uint64_t want = std::min<std::uint64_t>(length, limit - out.bytes.size());
        if (want == 0) continue;
        std::vector<std::uint8_t> piece;
        file.ReadAt(at, want, piece);
        out.pieces.push_back({out.bytes.size(), at, piece.size()});
        out.bytes.insert(out.bytes.end(), piece.begin(), piece.end());
    }
    return out;
}

std::int32_t EnclosingMeta(const FullParse& parse, std::int32_t record) {
    for (std::int32_t r = record; r >= 0; r = parse.records[static_cast<std::size_t>(r)].parent)
        if (r != record && parse.records[static_cast<std::size_t>(r)].type == F("meta")) return r;
    return -1;
}

}  // namespace kestrova::full
