#include "shell/Picture.h"

#include <algorithm>
#include <vector>

#include "common/ByteReader.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "iso/full/ImageItems.h"
#include "shell/Document.h"

namespace kestrova {
namespace {

using full::FullParse;
using full::FullRecord;

constexpr std::uint32_t kData = Fourcc("data"), kCovr = Fourcc("covr"), kIlst = Fourcc("ilst"),
                        kMeta = Fourcc("meta"), kIinf = Fourcc("iinf"), kInfe = Fourcc("infe"),
                        kThmb = Fourcc("thmb"), kUdta = Fourcc("udta");

std::vector<std::uint8_t> ReadBody(FileSource& file, const FullRecord& rec, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    const std::uint64_t n = std::min(rec.BodyLength(), limit);
    if (n > 0) file.ReadAt(rec.BodyOffset(), n, bytes);
    return bytes;
}

std::uint32_t ParentType(const FullParse& parse, const FullRecord& rec) {
    return rec.parent >= 0 ? parse.records[static_cast<std::size_t>(rec.parent)].type : 0;
}

// Calls f on each child of record index (preorder: they follow it, deeper) until f returns true.
template <class F>
const FullRecord* FindChild(const FullParse& parse, std::int32_t index, F f) {
    const auto& records = parse.records;
    const std::uint8_t depth = records[static_cast<std::size_t>(index)].depth;
    for (std::size_t j = static_cast<std::size_t>(index) + 1; j < records.size() && records[j].depth > depth; ++j)
        if (records[j].parent == index && f(records[j])) return &records[j];
    return nullptr;
}

std::optional<PictureKind> KindOfIndicator(std::uint32_t indicator) {
    switch (indicator) {
    case 13: return PictureKind::Jpeg;
    case 14: return PictureKind::Png;
    case 27: return PictureKind::Bmp;
    default: return std::nullopt;
    }
}

// Old writers leave a cover's type implicit; its first bytes say what it is.
std::optional<PictureKind> KindOfBytes(const ByteReader& b) {
    if (b.U8(0) == 0xFF && b.U8(1) == 0xD8) return PictureKind::Jpeg;
    if (b.U32BE(0) == 0x89504E47) return PictureKind::Png;
    if (b.U8(0) == 'B' && b.U8(1) == 'M') return PictureKind::Bmp;
    return std::nullopt;
}

std::optional<PictureSource> PictureOfData(const FullParse& parse, FileSource& file, const FullRecord& rec) {
    // type_set and type_indicator, country, language, then the value.
    constexpr std::uint64_t kValueAt = 8;
    if (rec.BodyLength() < kValueAt) return std::nullopt;
    const std::vector<std::uint8_t> head = ReadBody(file, rec, kValueAt + 4);
    const ByteReader b({head.data(), head.size()});
    const std::uint32_t indicator = b.U32BE(0) & 0xFFFFFF;
    std::optional<PictureKind> kind = KindOfIndicator(indicator);
    if (!kind && indicator == 0 && ParentType(parse, rec) == kCovr)
        kind = KindOfBytes(ByteReader(b.Bytes().subspan(std::min<std::size_t>(kValueAt, head.size()))));
    if (!kind) return std::nullopt;
    PictureSource p;
    p.kind = *kind;
    p.offset = rec.BodyOffset() + kValueAt;
    p.length = rec.BodyLength() - kValueAt;
    return p;
}

// 3GPP's thumbnail in a udta: version, flags and a format, then the picture.
std::optional<PictureSource> PictureOfThmb(FileSource& file, const FullRecord& rec) {
    constexpr std::uint64_t kPictureAt = 8;
    if (rec.BodyLength() <= kPictureAt) return std::nullopt;
    const std::vector<std::uint8_t> head = ReadBody(file, rec, kPictureAt + 4);
    const std::optional<PictureKind> kind = KindOfBytes(ByteReader({head.data() + kPictureAt, head.size() - kPictureAt}));
    if (!kind) return std::nullopt;
    PictureSource p;
    p.kind = *kind;
    p.offset = rec.BodyOffset() + kPictureAt;
    p.length = rec.BodyLength() - kPictureAt;
    return p;
}

bool IsImageItemType(std::uint32_t type) {
    static constexpr std::uint32_t kImages[] = {Fourcc("hvc1"), Fourcc("av01"), Fourcc("avc1"), Fourcc("jpeg"), Fourcc("grid"),
                                                Fourcc("iden"), Fourcc("iovl"), Fourcc("unci"), Fourcc("j2k1")};
    return std::find(std::begin(kImages), std::end(kImages), type) != std::end(kImages);
}

// The item ID of an infe (16 bits before version 3).
std::uint32_t InfeItemId(FileSource& file, const FullRecord& infe) {
    const std::vector<std::uint8_t> head = ReadBody(file, infe, 8);
    const ByteReader b({head.data(), head.size()});
    return b.U8(0) < 3 ? b.U16BE(4) : b.U32BE(4);
}

// How libheif reaches the item, from the thmb, auxl and dimg references of its meta.
void TakeRole(const full::MetaItems& items, PictureSource& p) {
    for (const full::ItemReference& ref : items.references) {
        if (ref.to.empty()) continue;
        if ((ref.type == Fourcc("thmb") || ref.type == Fourcc("auxl")) && ref.from == p.itemId) {
            p.role = ref.type == Fourcc("thmb") ? ItemRole::Thumbnail : ItemRole::Auxiliary;
            p.ownerId = ref.to.front();
            return;
        }
        if (ref.type == Fourcc("dimg") && std::find(ref.to.begin(), ref.to.end(), p.itemId) != ref.to.end()) {
            p.role = ItemRole::Input;
            p.ownerId = ref.from;
            return;
        }
    }
}

// The item of a file-level meta, if it is an image; without an ID, its primary item.
std::optional<PictureSource> PictureOfItem(const FullParse& parse, FileSource& file, std::int32_t meta,
                                           std::optional<std::uint32_t> id) {
    const full::MetaItems items = full::ReadMetaItems(file, parse, meta);
    if (!id) id = items.primary;
    const full::MetaItem* item = id ? items.Find(*id) : nullptr;
    if (item == nullptr || !IsImageItemType(item->type)) return std::nullopt;
    // libheif here has no JPEG decoder; a JPEG item in one piece is a JPEG as Qt reads one.
    if (item->type == Fourcc("jpeg") && item->extents.size() == 1) {
        const full::ItemBytes bytes = full::ReadItemBytes(file, parse, items, *item, 1);
        if (!bytes.outside && bytes.pieces.size() == 1) {
            PictureSource p;
            p.offset = bytes.pieces.front().offset;
            p.length = bytes.total;
            return p;
        }
    }
    PictureSource p;
    p.kind = PictureKind::HeifItem;
    p.itemId = item->id;
    p.itemType = item->type;
    p.length = full::ReadItemBytes(file, parse, items, *item, 0).total;
    TakeRole(items, p);
    return p;
}

bool IsFileMeta(const FullParse& parse, std::int32_t index) {
    if (index < 0) return false;
    const FullRecord& r = parse.records[static_cast<std::size_t>(index)];
    return r.type == kMeta && r.parent < 0;
}

}  // namespace

std::optional<PictureSource> PictureOfNode(const FullParse& parse, FileSource& file, std::int64_t node) {
    if (node < 1 || static_cast<std::uint64_t>(node) > parse.records.size()) return std::nullopt;
    const FullRecord& rec = parse.records[static_cast<std::size_t>(node - 1)];
    if (rec.type == kData) return PictureOfData(parse, file, rec);
    if (rec.type == kCovr && ParentType(parse, rec) == kIlst) {
        std::optional<PictureSource> picture;
        FindChild(parse, rec.index, [&](const FullRecord& child) {
            if (child.type == kData) picture = PictureOfData(parse, file, child);
            return picture.has_value();
        });
        return picture;
    }
    if (rec.type == kThmb && ParentType(parse, rec) == kUdta) return PictureOfThmb(file, rec);
    // libheif reads the items of the file's own meta only.
    if (rec.type == kInfe && ParentType(parse, rec) == kIinf) {
        const std::int32_t meta = parse.records[static_cast<std::size_t>(rec.parent)].parent;
        if (!IsFileMeta(parse, meta)) return std::nullopt;
        return PictureOfItem(parse, file, meta, InfeItemId(file, rec));
    }
    // The meta stands for its primary item.
    if (IsFileMeta(parse, rec.index)) return PictureOfItem(parse, file, rec.index, std::nullopt);
    return std::nullopt;
}

std::optional<PictureSource> PictureOfSelection(const Document& doc) {
    const FullParse* parse = doc.Full();
    const std::int64_t node = doc.ClickedNode();
    if (parse == nullptr || node < 1 || static_cast<std::uint64_t>(node) > parse->records.size()) return std::nullopt;
    // Most boxes hold none, and are told without opening the file.
    const std::uint32_t type = parse->records[static_cast<std::size_t>(node - 1)].type;
    if (type != kData && type != kCovr && type != kInfe && type != kMeta && type != kThmb) return std::nullopt;
    FileSource file;
    if (!file.Open(doc.FilePath())) return std::nullopt;
    return PictureOfNode(*parse, file, node);
}

const char* PictureKindName(PictureKind kind) {
    switch (kind) {
    case PictureKind::Jpeg: return "JPEG";
    case PictureKind::Png: return "PNG";
    case PictureKind::Bmp: return "BMP";
    case PictureKind::HeifItem: return "HEIF item";
    }
    return "";
}

}  // namespace kestrova
