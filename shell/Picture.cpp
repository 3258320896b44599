#include "shell/Picture.h"

#include <algorithm>
#include <vector>

#include "common/ByteReader.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"

namespace kestrova {
namespace {

using full::FullParse;
using full::FullRecord;

constexpr std::uint32_t kData = Fourcc("data"), kCovr = Fourcc("covr"), kIlst = Fourcc("ilst"),
                        kMeta = Fourcc("meta"), kIinf = Fourcc("iinf"), kInfe = Fourcc("infe"),
                        kPitm = Fourcc("pitm"), kIref = Fourcc("iref"), kIloc = Fourcc("iloc");

// An iloc or iref is read this far at most; an item past it is not found.
constexpr std::uint64_t kMaxItemBoxRead = 4u << 20;

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

const FullRecord* ChildOfType(const FullParse& parse, std::int32_t index, std::uint32_t type) {
    return FindChild(parse, index, [type](const FullRecord& r) { return r.type == type; });
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

bool IsImageItemType(std::uint32_t type) {
    static constexpr std::uint32_t kImages[] = {Fourcc("hvc1"), Fourcc("av01"), Fourcc("avc1"), Fourcc("jpeg"), Fourcc("grid"),
                                                Fourcc("iden"), Fourcc("iovl"), Fourcc("unci"), Fourcc("j2k1")};
    return std::find(std::begin(kImages), std::end(kImages), type) != std::end(kImages);
}

struct ItemInfo {
    std::uint32_t id = 0;
    std::uint32_t type = 0;  // 0 before version 2, which has none
};

ItemInfo ReadInfe(FileSource& file, const FullRecord& infe) {
    const std::vector<std::uint8_t> head = ReadBody(file, infe, 16);
    const ByteReader b({head.data(), head.size()});
    const std::uint8_t version = b.U8(0);
    if (version < 2) return {b.U16BE(4), 0};
    if (version == 2) return {b.U16BE(4), b.Fourcc(8)};
    return {b.U32BE(4), b.Fourcc(10)};
}

// The sizes of iloc fields are 0, 4 or 8 bytes; anything else reads as 0.
std::uint64_t ReadSized(const ByteReader& b, std::uint64_t pos, unsigned bytes) {
    return bytes == 4 ? b.U32BE(pos) : bytes == 8 ? b.U64BE(pos) : 0;
}

// What the extents of an item add up to; 0 when the iloc does not list it.
std::uint64_t ItemLength(FileSource& file, const FullRecord& iloc, std::uint32_t item, std::uint64_t fileSize) {
    const std::vector<std::uint8_t> body = ReadBody(file, iloc, kMaxItemBoxRead);
    const ByteReader b({body.data(), body.size()});
    const std::uint8_t version = b.U8(0);
    const auto fieldSize = [](unsigned s) { return s == 4 || s == 8 ? s : 0u; };
    const unsigned offsetBytes = fieldSize(b.U8(4) >> 4), lengthBytes = fieldSize(b.U8(4) & 15),
                   baseBytes = fieldSize(b.U8(5) >> 4), indexBytes = version >= 1 ? fieldSize(b.U8(5) & 15) : 0;
    std::uint64_t pos = 6;
    const std::uint64_t count = version < 2 ? b.U16BE(pos) : b.U32BE(pos);
    pos += version < 2 ? 2 : 4;
    for (std::uint64_t i = 0; i < count && pos < b.Size(); ++i) {
        const std::uint32_t id = version < 2 ? b.U16BE(pos) : b.U32BE(pos);
        pos += version < 2 ? 2 : 4;
        const std::uint64_t method = version >= 1 ? (b.U16BE(pos) & 15) : 0;
        if (version >= 1) pos += 2;
        pos += 2;  // data_reference_index
        const std::uint64_t base = ReadSized(b, pos, baseBytes);
        pos += baseBytes;
        const std::uint64_t extents = b.U16BE(pos);
        pos += 2;
        std::uint64_t total = 0;
        for (std::uint64_t k = 0; k < extents && pos < b.Size(); ++k) {
            pos += indexBytes;
            const std::uint64_t offset = ReadSized(b, pos, offsetBytes);
            std::uint64_t length = ReadSized(b, pos + offsetBytes, lengthBytes);
            pos += offsetBytes + lengthBytes;
            // A length of 0 is the rest of the file.
            if (length == 0 && method == 0) length = fileSize - std::min(fileSize, base + offset);
            total = std::min(total + length, ~std::uint64_t{0} >> 1);
        }
        if (id == item) return total;
    }
    return 0;
}

// How libheif reaches the item, from the thmb, auxl and dimg references of the meta.
void ReadRole(const FullParse& parse, FileSource& file, std::int32_t meta, PictureSource& p) {
    const FullRecord* iref = ChildOfType(parse, meta, kIref);
    if (iref == nullptr) return;
    const std::vector<std::uint8_t> head = ReadBody(file, *iref, 1);
    const unsigned w = !head.empty() && head[0] != 0 ? 4 : 2;
    FindChild(parse, iref->index, [&](const FullRecord& ref) {
        const std::vector<std::uint8_t> body = ReadBody(file, ref, kMaxItemBoxRead);
        const ByteReader b({body.data(), body.size()});
        const auto id = [&](std::uint64_t pos) { return w == 4 ? b.U32BE(pos) : std::uint32_t{b.U16BE(pos)}; };
        const std::uint32_t from = id(0);
        const std::uint64_t count = b.U16BE(w);
        if (count == 0) return false;
        if ((ref.type == Fourcc("thmb") || ref.type == Fourcc("auxl")) && from == p.itemId) {
            p.role = ref.type == Fourcc("thmb") ? ItemRole::Thumbnail : ItemRole::Auxiliary;
            p.ownerId = id(w + 2);
            return true;
        }
        if (ref.type != Fourcc("dimg")) return false;
        for (std::uint64_t i = 0; i < count && w + 2 + (i + 1) * w <= b.Size(); ++i) {
            if (id(w + 2 + i * w) != p.itemId) continue;
            p.role = ItemRole::Input;
            p.ownerId = from;
            return true;
        }
        return false;
    });
}

// The item with this ID of a file-level meta, if it is an image.
std::optional<PictureSource> PictureOfItem(const FullParse& parse, FileSource& file, std::int32_t meta, ItemInfo info) {
    if (info.type == 0) {
        const FullRecord* iinf = ChildOfType(parse, meta, kIinf);
        if (iinf == nullptr) return std::nullopt;
        FindChild(parse, iinf->index, [&](const FullRecord& infe) {
            if (infe.type != kInfe) return false;
            const ItemInfo i = ReadInfe(file, infe);
            if (i.id != info.id) return false;
            info = i;
            return true;
        });
    }
    if (!IsImageItemType(info.type)) return std::nullopt;
    PictureSource p;
    p.kind = PictureKind::HeifItem;
    p.itemId = info.id;
    p.itemType = info.type;
    if (const FullRecord* iloc = ChildOfType(parse, meta, kIloc)) p.length = ItemLength(file, *iloc, info.id, parse.fileSize);
    ReadRole(parse, file, meta, p);
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
    // libheif reads the items of the file's own meta only.
    if (rec.type == kInfe && ParentType(parse, rec) == kIinf) {
        const std::int32_t meta = parse.records[static_cast<std::size_t>(rec.parent)].parent;
        if (!IsFileMeta(parse, meta)) return std::nullopt;
        return PictureOfItem(parse, file, meta, ReadInfe(file, rec));
    }
    // The meta stands for its primary item.
    if (IsFileMeta(parse, rec.index)) {
        const FullRecord* pitm = ChildOfType(parse, rec.index, kPitm);
        if (pitm == nullptr) return std::nullopt;
        const std::vector<std::uint8_t> body = ReadBody(file, *pitm, 8);
        const ByteReader b({body.data(), body.size()});
        const std::uint32_t id = b.U8(0) == 0 ? b.U16BE(4) : b.U32BE(4);
        return PictureOfItem(parse, file, rec.index, {id, 0});
    }
    return std::nullopt;
}

std::optional<PictureSource> PictureOfSelection(const Document& doc) {
    const FullParse* parse = doc.Full();
    const std::int64_t node = doc.ClickedNode();
    if (parse == nullptr || node < 1 || static_cast<std::uint64_t>(node) > parse->records.size()) return std::nullopt;
    // Most boxes hold none, and are told without opening the file.
    const std::uint32_t type = parse->records[static_cast<std::size_t>(node - 1)].type;
    if (type != kData && type != kCovr && type != kInfe && type != kMeta) return std::nullopt;
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
