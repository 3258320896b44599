// The items of a meta box (HEIF, AVIF and other image files) in the full
// view: the primary item, item information, item locations with each
// extent's bytes in the file, references, item data, the item properties
// with their associations, and grpl's entity groups.

#include <algorithm>
#include <string>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"
#include "iso/full/ImageItems.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// No click lists more lines than this of one box.
constexpr std::uint64_t kMaxLines = 1'000'000;

void DescribePitm(Fields& f, const BoxContext&) {
    f.U("item_ID", f.VersionFlags().first == 0 ? 2 : 4);
    f.Trailing();
}

void DescribeIinf(Fields& f, const BoxContext&) {
    f.U("entry_count", f.VersionFlags().first == 0 ? 2 : 4);
}

const char* ItemTypeMeaning(std::uint32_t type) {
    switch (type) {
    case F("hvc1"): return "(an HEVC image)";
    case F("av01"): return "(an AV1 image)";
    case F("avc1"): return "(an H.264 image)";
    case F("jpeg"): return "(a JPEG image)";
    case F("grid"): return "(a grid of images)";
    case F("iovl"): return "(an overlay of images)";
    case F("iden"): return "(an identity-derived image)";
    case F("tmap"): return "(a tone-mapped image)";
    case F("Exif"): return "(Exif metadata)";
    case F("mime"): return "(a MIME-typed item)";
    case F("uri "): return "(a URI-typed item)";
    case F("hvt1"): return "(an HEVC tile)";
    case F("unci"): return "(an uncompressed image)";
    default: return "";
    }
}

// An item's data is read this far for its infe; XMP beyond it is not shown.
constexpr std::uint64_t kMaxItemDataRead = 1u << 20;

// Where bytes [at, at + n) of an item lie in the file: the part in the piece they start in.
ByteRange ItemRange(const ItemBytes& data, std::uint64_t at, std::uint64_t n) {
    for (const ItemBytes::Piece& p : data.pieces)
        if (at >= p.at && at < p.at + p.length) return {p.offset + (at - p.at), std::min(n, p.at + p.length - at)};
    return {};
}

// XMP and other XML: one line of the pane per line of the text.
void ItemTextLines(Fields& f, const ItemBytes& data) {
    constexpr std::uint64_t kMaxTextLines = 100'000;
    const std::vector<std::uint8_t>& b = data.bytes;
    std::uint64_t lines = 0;
    for (std::uint64_t pos = 0; pos < b.size();) {
        if (lines++ == kMaxTextLines) return f.Heading("(only the first 100,000 lines are shown)");
        std::uint64_t end = pos;
        while (end < b.size() && b[end] != '\n' && b[end] != 0) ++end;
        std::uint64_t textEnd = end;
        if (textEnd > pos && b[textEnd - 1] == '\r') --textEnd;
        const std::uint64_t next = end < b.size() ? end + 1 : end;
        f.Raw("   " + TextFromFileBytes(b.data() + pos, static_cast<std::size_t>(textEnd - pos)), ItemRange(data, pos, next - pos));
        pos = next;
    }
}

// ImageGrid: the rows and columns of tiles and the size of the picture they make.
void GridFields(Fields& f, const ItemBytes& data) {
    const ByteReader r({data.bytes.data(), data.bytes.size()});
    const bool wide = (r.U8(1) & 1) != 0;
    if (data.bytes.size() < (wide ? 12u : 8u)) return f.Heading("(the grid's data is shorter than its fields)");
    const unsigned w = wide ? 4 : 2;
    f.Value("version", f.Number(r.U8(0), 1), ItemRange(data, 0, 1));
    f.Value("flags", f.Number(r.U8(1), 1), ItemRange(data, 1, 1));
    f.Value("rows_minus_one", f.Number(r.U8(2), 1), ItemRange(data, 2, 1));
    f.Value("columns_minus_one", f.Number(r.U8(3), 1), ItemRange(data, 3, 1));
    f.Value("output_width", f.Number(wide ? r.U32BE(4) : r.U16BE(4), w), ItemRange(data, 4, w));
    f.Value("output_height", f.Number(wide ? r.U32BE(8) : r.U16BE(6), w), ItemRange(data, 4 + w, w));
    f.Derived("tiles", std::to_string(r.U8(2) + 1) + " x " + std::to_string(r.U8(3) + 1) + " (rows x columns)",
              ItemRange(data, 2, 2));
}

// What an item holds, read through iloc: a grid's fields, Exif's TIFF header
// offset, the text of XMP or another XML item.
void ItemData(Fields& f, const BoxContext& c, std::uint32_t id, std::uint32_t type, const std::string& contentType,
              const std::string& encoding) {
    const bool xml = contentType.find("xml") != std::string::npos;
    if (c.file == nullptr || (type != F("grid") && type != F("Exif") && !xml)) return;
    const MetaItems items = ReadMetaItems(*c.file, c.parse, EnclosingMeta(c.parse, c.record.index));
    const MetaItem* item = items.Find(id);
    if (item == nullptr || !item->located) return f.Heading("(the item data: iloc does not list this item)");
    const ItemBytes data = ReadItemBytes(*c.file, c.parse, items, *item, kMaxItemDataRead);
    const RegionalSettings& rs = f.Settings();
    f.Derived("item data", GroupedText(data.total, rs) + " bytes through iloc",
              data.pieces.empty() ? ByteRange{} : ByteRange{data.pieces[0].offset, data.pieces[0].length});
    if (data.outside) f.Heading("(an extent lies outside the file or its idat, or is not a file or idat offset: it is not read)");
    if (type == F("grid")) return GridFields(f, data);
    if (type == F("Exif")) {
        const ByteReader r({data.bytes.data(), data.bytes.size()});
        if (data.bytes.size() >= 4) f.Value("exif_tiff_header_offset", f.Number(r.U32BE(0), 4), ItemRange(data, 0, 4));
        return;
    }
    if (!encoding.empty()) return f.Heading("(the text is encoded as " + encoding + ": not shown)");
    ItemTextLines(f, data);
    if (data.total > data.bytes.size())
        f.Heading("(only the first " + GroupedText(data.bytes.size(), rs) + " bytes are shown)");
}

void DescribeInfe(Fields& f, const BoxContext& c) {
    const std::uint8_t version = f.VersionFlags().first;
    if (version < 2) {
        const auto id = f.U("item_ID", 2);
        f.U("item_protection_index", 2);
        f.CString("item_name");
        const auto contentType = f.CString("content_type");
        const auto encoding = f.Left() > 0 ? f.CString("content_encoding") : std::nullopt;
        f.Trailing();
        if (id && contentType) ItemData(f, c, static_cast<std::uint32_t>(*id), 0, *contentType, encoding.value_or(""));
        return;
    }
    const auto id = f.U("item_ID", version == 2 ? 2 : 4);
    f.U("item_protection_index", 2);
    const auto type = f.Type("item_type");
    if (type) f.Meaning(ItemTypeMeaning(*type));
    f.CString("item_name");
    std::optional<std::string> contentType, encoding;
    if (type && *type == F("mime")) {
        contentType = f.CString("content_type");
        if (f.Left() > 0) encoding = f.CString("content_encoding");
    } else if (type && *type == F("uri ")) {
        f.CString("item_uri_type");
    }
    f.Trailing();
    if (id && type && !f.Cut())
        ItemData(f, c, static_cast<std::uint32_t>(*id), *type, contentType.value_or(""), encoding.value_or(""));
}

void DescribeIloc(Fields& f, const BoxContext& c) {
    const std::uint8_t version = f.VersionFlags().first;
    const auto offsetSize = f.Bits("offset_size", 4);
    const auto lengthSize = f.Bits("length_size", 4);
    const auto baseSize = f.Bits("base_offset_size", 4);
    const auto indexSize = f.Bits(version >= 1 ? "index_size" : "reserved", 4);
    const auto count = f.U("item_count", version < 2 ? 2 : 4);
    if (!offsetSize || !lengthSize || !baseSize || !indexSize || !count) return;
    const auto size = [](std::uint64_t s) { return s == 4 || s == 8 ? static_cast<unsigned>(s) : 0u; };
    const unsigned offsetBytes = size(*offsetSize), lengthBytes = size(*lengthSize), baseBytes = size(*baseSize);
    const unsigned indexBytes = version >= 1 ? size(*indexSize) : 0;
    const RegionalSettings& rs = f.Settings();
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; i < *count && !f.Cut(); ++i) {
        if (f.Left() == 0) {
            f.MarkCut("item #" + std::to_string(i + 1), 4);
            break;
        }
        if (lines++ >= kMaxLines) return f.Heading("(only the first 1,000,000 lines are shown)");
        f.Heading("item #" + std::to_string(i + 1));
        f.U("item_ID", version < 2 ? 2 : 4);
        std::uint64_t method = 0;
        if (version >= 1) {
            f.Bits("reserved", 12);
            method = f.Bits("construction_method", 4).value_or(0);
            f.Meaning(method == 0 ? "(file offset)" : method == 1 ? "(idat offset)" : method == 2 ? "(item offset)" : "");
        }
        f.U("data_reference_index", 2);
        const std::uint64_t base = baseBytes != 0 ? f.U("base_offset", baseBytes).value_or(0) : 0;
        const auto extents = f.U("extent_count", 2);
        if (!extents) break;
        for (std::uint64_t k = 0; k < *extents && !f.Cut(); ++k) {
            if (lines++ >= kMaxLines) return f.Heading("(only the first 1,000,000 lines are shown)");
            const std::uint64_t need = indexBytes + offsetBytes + lengthBytes;
            if (!f.Has(need)) {
                f.MarkCut("extent #" + std::to_string(k + 1), need);
                break;
            }
            const std::uint64_t pos = f.Pos();
            std::string& s = f.Scratch();
            s.assign("   extent ");
            AppendEntryNumber(s, static_cast<std::int64_t>(k));
            if (indexBytes) s += "extent_index " + GroupedText(f.Peek(pos, indexBytes), rs) + ", ";
            const std::uint64_t offset = offsetBytes ? f.Peek(pos + indexBytes, offsetBytes) : 0;
            const std::uint64_t length = lengthBytes ? f.Peek(pos + indexBytes + offsetBytes, lengthBytes) : 0;
            s += "extent_offset " + GroupedText(offset, rs) + ", extent_length " + GroupedText(length, rs);
            f.Raw(std::string(s), f.Range(pos, need));
            f.Seek(pos + need);
            if (method != 0) continue;
            // A length of 0 means the rest of the file.
            const std::uint64_t start = base + offset;
            const std::uint64_t fileSize = c.parse.fileSize;
            if (start < base || start > fileSize || (length != 0 && length > fileSize - start)) {
                f.Derived("data", "bytes " + GroupedText(start, rs) + " to " + GroupedText(start + length, rs) +
                                      ": past the end of the file (" + GroupedText(fileSize, rs) + " bytes)",
                          {});
                continue;
            }
            const std::uint64_t n = length != 0 ? length : fileSize - start;
            if (n == 0) continue;
            f.Derived("data", GroupedText(n, rs) + " bytes from offset " + GroupedText(start, rs) + " to " +
                                  GroupedText(start + n - 1, rs),
                      {start, n});
        }
    }
    f.Trailing();
}

// A reference of one item to others; the iref's version sets the ID width,
// told here by which of the two fills the box exactly.
void DescribeItemReference(Fields& f, const BoxContext&) {
    const std::uint64_t n = f.Left();
    const bool wide = !(n >= 4 && 4 + 2 * f.Peek(2, 2) == n);
    const unsigned w = wide ? 4 : 2;
    f.U("from_item_ID", w);
    const auto count = f.U("reference_count", 2);
    for (std::uint64_t i = 0; count && i < *count && !f.Cut(); ++i) f.U("to_item_ID #" + std::to_string(i + 1), w);
    f.Trailing();
}

void DescribeIdat(Fields& f, const BoxContext&) { f.Rest("data"); }

void DescribeIspe(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("image_width", 4);
    f.U("image_height", 4);
    f.Trailing();
}

void DescribeIrot(Fields& f, const BoxContext&) {
    f.Bits("reserved", 6);
    if (const auto angle = f.Bits("angle", 2)) f.Meaning("(" + std::to_string(*angle * 90) + " degrees anticlockwise)");
    f.Trailing();
}

void DescribeImir(Fields& f, const BoxContext&) {
    f.Bits("reserved", 7);
    if (const auto axis = f.Bits("axis", 1)) f.Meaning(*axis == 0 ? "(mirrored about a vertical axis: left and right swap)" : "(mirrored about a horizontal axis: top and bottom swap)");
    f.Trailing();
}

void DescribePixi(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto channels = f.U("num_channels", 1);
    for (std::uint64_t i = 0; channels && i < *channels && !f.Cut(); ++i) f.U("bits_per_channel #" + std::to_string(i + 1), 1);
    f.Trailing();
}

void DescribeAuxC(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto type = f.CString("aux_type")) {
        if (type->find(":alpha") != std::string::npos) f.Meaning("(alpha)");
        else if (type->find(":depth") != std::string::npos) f.Meaning("(depth)");
    }
    if (!f.Cut() && f.Left() > 0) f.Rest("aux_subtype");
}

void DescribeClap(Fields& f, const BoxContext&) {
    for (const char* name : {"cleanApertureWidthN", "cleanApertureWidthD", "cleanApertureHeightN", "cleanApertureHeightD",
                             "horizOffN", "horizOffD", "vertOffN", "vertOffD"})
        f.U(name, 4);
    f.Trailing();
}

void DescribeLsel(Fields& f, const BoxContext&) {
    f.U("layer_id", 2);
    f.Trailing();
}

void DescribeA1op(Fields& f, const BoxContext&) {
    f.U("op_index", 1);
    f.Trailing();
}

void DescribeIpma(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    const auto count = f.U("entry_count", 4);
    const unsigned indexBits = (flags & 1) ? 15 : 7;
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; count && i < *count && !f.Cut(); ++i) {
        if (f.Left() == 0) {
            f.MarkCut("entry #" + std::to_string(i + 1), 3);
            break;
        }
        if (lines++ >= kMaxLines) return f.Heading("(only the first 1,000,000 lines are shown)");
        f.Heading("entry #" + std::to_string(i + 1));
        f.U("item_ID", version < 1 ? 2 : 4);
        const auto associations = f.U("association_count", 1);
        for (std::uint64_t k = 0; associations && k < *associations && !f.Cut(); ++k) {
            f.Flag("essential #" + std::to_string(k + 1));
            if (const auto index = f.Bits("property_index #" + std::to_string(k + 1), indexBits); index && *index == 0)
                f.Meaning("(no property)");
        }
    }
    f.Trailing();
}

// An entity group of grpl (alternatives, a stereo pair, a burst, ...): its items or tracks.
void DescribeEntityGroup(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("group_id", 4);
    const auto count = f.U("num_entities_in_group", 4);
    for (std::uint64_t i = 0; count && i < *count && !f.Cut() && i < kMaxLines; ++i) {
        if (f.Left() == 0) {
            f.MarkCut("entity_id #" + std::to_string(i + 1), 4);
            break;
        }
        f.U("entity_id #" + std::to_string(i + 1), 4);
    }
    f.Trailing();
}

constexpr BoxRule Leaf(std::uint32_t parent, const char (&type)[5], DescribeFn describe) {
    return {parent, F(type), BoxKind::Leaf, EntryLayout::None, describe};
}

constexpr BoxRule kRules[] = {
    {0, F("iinf"), BoxKind::FullContainer, EntryLayout::None, DescribeIinf, 8},
    {0, F("iref"), BoxKind::FullContainer},
    Leaf(0, "pitm", DescribePitm), Leaf(F("iinf"), "infe", DescribeInfe), Leaf(0, "iloc", DescribeIloc),
    Leaf(0, "idat", DescribeIdat),
    Leaf(F("iref"), "dimg", DescribeItemReference), Leaf(F("iref"), "thmb", DescribeItemReference),
    Leaf(F("iref"), "auxl", DescribeItemReference), Leaf(F("iref"), "cdsc", DescribeItemReference),
    Leaf(F("iref"), "base", DescribeItemReference), Leaf(F("iref"), "prem", DescribeItemReference),
    Leaf(F("iref"), "exbl", DescribeItemReference),
    Leaf(F("ipco"), "ispe", DescribeIspe), Leaf(F("ipco"), "irot", DescribeIrot), Leaf(F("ipco"), "imir", DescribeImir),
    Leaf(F("ipco"), "pixi", DescribePixi), Leaf(F("ipco"), "auxC", DescribeAuxC), Leaf(F("ipco"), "clap", DescribeClap),
    Leaf(F("ipco"), "lsel", DescribeLsel), Leaf(F("ipco"), "a1op", DescribeA1op),
    Leaf(F("iprp"), "ipma", DescribeIpma),
    Leaf(F("grpl"), "altr", DescribeEntityGroup), Leaf(F("grpl"), "ster", DescribeEntityGroup),
    Leaf(F("grpl"), "brst", DescribeEntityGroup), Leaf(F("grpl"), "pano", DescribeEntityGroup),
    Leaf(F("grpl"), "slid", DescribeEntityGroup), Leaf(F("grpl"), "eqiv", DescribeEntityGroup),
};

}  // namespace

std::span<const BoxRule> ItemBoxRules() { return kRules; }

}  // namespace kestrova::full
