// The movie, track and media boxes of the full view, and the containers of
// ISO/IEC 14496-12 and QuickTime that hold them.

#include <algorithm>
#include <cstdio>

#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// Whatever a box of fixed fields holds after them, so no byte goes unshown.
void ExtraBytes(Fields& f) {
    if (!f.Cut() && f.Left() > 0) f.Rest("extra bytes");
}

bool IsPrintableCode(std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (v >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::string UuidText(std::span<const std::uint8_t> b) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < b.size() && i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[b[i] >> 4];
        out += kHex[b[i] & 15];
    }
    return out;
}

// ---- File type ----

void DescribeFtyp(Fields& f, const BoxContext&) {
    f.Type("major_brand");
    f.U("minor_version", 4);
    std::string& s = f.Scratch();
    for (std::int64_t i = 0; f.Has(4); ++i) {
        const std::uint64_t pos = f.Pos();
        s.assign("   compatible_brands ");
        AppendEntryNumber(s, i);
        s += FourccHexText(static_cast<std::uint32_t>(f.Peek(pos, 4)));
        f.Raw(std::string(s), f.Range(pos, 4));
        f.Seek(pos + 4);
    }
    ExtraBytes(f);
}

// ---- Movie and track headers ----

// The nine numbers of a transformation matrix; returns the body position of the first.
std::uint64_t Matrix(Fields& f) {
    static constexpr const char* kNames[9] = {"matrix a", "matrix b", "matrix u", "matrix c", "matrix d",
                                              "matrix v", "matrix x", "matrix y", "matrix w"};
    const std::uint64_t start = f.Pos();
    for (int i = 0; i < 9; ++i) f.Fixed(kNames[i], 4, i % 3 == 2 ? 30 : 16, true);
    return start;
}

// The turn the matrix makes, in degrees clockwise on screen; "" when it is not one.
std::string RotationText(const Fields& f, std::uint64_t pos) {
    const auto at = [&](int i) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(f.Peek(pos + 4 * i, 4))); };
    const std::int32_t a = at(0), b = at(1), u = at(2), c = at(3), d = at(4), v = at(5), w = at(8);
    constexpr std::int32_t one = 0x10000;
    if (u != 0 || v != 0 || w != 0x40000000) return "not a pure rotation";
    if (a == one && b == 0 && c == 0 && d == one) return "0 degrees";
    if (a == 0 && b == one && c == -one && d == 0) return "90 degrees clockwise";
    if (a == -one && b == 0 && c == 0 && d == -one) return "180 degrees clockwise";
    if (a == 0 && b == -one && c == one && d == 0) return "270 degrees clockwise";
    return "not a pure rotation";
}

void DescribeMvhd(Fields& f, const BoxContext&) {
    const unsigned w = f.VersionFlags().first == 1 ? 8 : 4;
    f.Time1904("creation_time", w);
    f.Time1904("modification_time", w);
    f.U("timescale", 4);
    f.U("duration", w);
    f.Fixed("rate", 4, 16, true);
    f.Fixed("volume", 2, 8, true);
    f.U("reserved", 2);
    f.U("reserved", 4);
    f.U("reserved", 4);
    Matrix(f);
    for (int i = 0; i < 6; ++i) f.U("pre_defined", 4);
    f.U("next_track_ID", 4);
    ExtraBytes(f);
}

std::string TrackFlagsText(std::uint32_t flags) {
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {0x1, "track_enabled"}, {0x2, "track_in_movie"}, {0x4, "track_in_preview"}, {0x8, "track_size_is_aspect_ratio"}};
    std::string out;
    for (const auto& [bit, name] : kNames) {
        if ((flags & bit) == 0) continue;
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out;
}

void DescribeTkhd(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    f.Meaning(TrackFlagsText(flags));
    const unsigned w = version == 1 ? 8 : 4;
    f.Time1904("creation_time", w);
    f.Time1904("modification_time", w);
    f.U("track_ID", 4);
    f.U("reserved", 4);
    f.U("duration", w);
    f.U("reserved", 4);
    f.U("reserved", 4);
    f.AsSigned("layer", 2);
    f.AsSigned("alternate_group", 2);
    f.Fixed("volume", 2, 8, true);
    f.U("reserved", 2);
    const std::uint64_t matrix = Matrix(f);
    if (!f.Cut()) f.Derived("rotation", RotationText(f, matrix), f.Range(matrix, 36));
    f.Fixed("width", 4, 16, false);
    f.Fixed("height", 4, 16, false);
    ExtraBytes(f);
}

void DescribeMdhd(Fields& f, const BoxContext&) {
    const unsigned w = f.VersionFlags().first == 1 ? 8 : 4;
    f.Time1904("creation_time", w);
    f.Time1904("modification_time", w);
    f.U("timescale", 4);
    f.U("duration", w);
    f.Language("language");
    f.U("pre_defined", 2);
    ExtraBytes(f);
}

// ---- Handler ----

const char* HandlerMeaning(std::uint32_t type) {
    switch (type) {
    case F("vide"): return "video";
    case F("soun"): return "sound";
    case F("hint"): return "hint";
    case F("meta"): return "timed metadata";
    case F("text"): return "text";
    case F("sbtl"): return "subtitles";
    case F("subt"): return "subtitles";
    case F("clcp"): return "closed captions";
    case F("tmcd"): return "timecode";
    case F("odsm"): return "object descriptor stream";
    case F("sdsm"): return "scene description stream";
    case F("auxv"): return "auxiliary video";
    case F("pict"): return "picture items";
    case F("mdir"): return "iTunes metadata";
    case F("mdta"): return "metadata by keys";
    case F("ID32"): return "ID3 tags";
    case F("alis"): return "data handler: file alias";
    case F("url "): return "data handler: URL";
    default: return "";
    }
}

// QuickTime writes the name as a Pascal string: a length byte and exactly
// that many characters to the end of the box.
bool IsPascalName(const Fields& f) {
    const std::uint64_t left = f.Left();
    if (left < 2) return false;
    const auto body = f.Body();
    const std::uint8_t first = body[f.Pos()];
    return first == left - 1 && (first < 0x20 || body[body.size() - 1] != 0);
}

void DescribeHdlr(Fields& f, const BoxContext&) {
    f.VersionFlags();
    // QuickTime's component type ('mhlr', 'dhlr') sits in this field.
    if (f.Has(4) && IsPrintableCode(static_cast<std::uint32_t>(f.Peek(f.Pos(), 4)))) f.Type("pre_defined");
    else f.U("pre_defined", 4);
    if (const auto handler = f.Type("handler_type")) f.Meaning(HandlerMeaning(*handler));
    for (int i = 0; i < 3; ++i) f.U("reserved", 4);
    if (f.Cut() || f.Left() == 0) return;
    if (IsPascalName(f)) {
        f.PascalString("name", f.Left());
        f.Meaning("(a Pascal string)");
        return;
    }
    f.CString("name");
    ExtraBytes(f);
}

// ---- Media headers ----

const char* GraphicsModeMeaning(std::uint64_t mode) {
    switch (mode) {
    case 0x0: return "copy";
    case 0x20: return "blend";
    case 0x24: return "transparent";
    case 0x40: return "dither copy";
    case 0x100: return "straight alpha";
    case 0x101: return "premul white alpha";
    case 0x102: return "premul black alpha";
    case 0x103: return "composition (dither copy)";
    case 0x104: return "straight alpha blend";
    default: return "";
    }
}

void GraphicsModeAndColour(Fields& f) {
    if (const auto mode = f.U("graphicsmode", 2)) f.Meaning(GraphicsModeMeaning(*mode));
    f.U("opcolor[0]", 2);
    f.U("opcolor[1]", 2);
    f.U("opcolor[2]", 2);
}

void DescribeVmhd(Fields& f, const BoxContext&) {
    f.VersionFlags();
    GraphicsModeAndColour(f);
    ExtraBytes(f);
}

void DescribeSmhd(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Fixed("balance", 2, 8, true);
    f.U("reserved", 2);
    ExtraBytes(f);
}

void DescribeHmhd(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("maxPDUsize", 2);
    f.U("avgPDUsize", 2);
    f.U("maxbitrate", 4);
    f.U("avgbitrate", 4);
    f.U("reserved", 4);
    ExtraBytes(f);
}

void DescribeFullBoxOnly(Fields& f, const BoxContext&) {
    f.VersionFlags();
    ExtraBytes(f);
}

void DescribeGmin(Fields& f, const BoxContext&) {
    f.VersionFlags();
    GraphicsModeAndColour(f);
    f.Fixed("balance", 2, 8, true);
    f.U("reserved", 2);
    ExtraBytes(f);
}

// clef, prof and enof: the clean, production and encoded aperture dimensions.
void DescribeApertureDimensions(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Fixed("width", 4, 16, false);
    f.Fixed("height", 4, 16, false);
    ExtraBytes(f);
}

// ---- Data references ----

void DescribeDataEntry(Fields& f, const BoxContext& c) {
    if (f.VersionFlags().second & 1) f.Meaning("self-contained: media data in the same file");
    if (c.record.type == F("urn ")) {
        f.CString("name");
        if (!f.Cut() && f.Left() > 0) f.CString("location");
    } else if (!f.Cut() && f.Left() > 0) {
        f.CString("location");
    }
    ExtraBytes(f);
}

// ---- Free space, media data and user extensions ----

void DescribeFree(Fields& f, const BoxContext& c) {
    f.Rest("data");
    if (c.record.BodyLength() > f.Size())
        f.Heading("(only the first " + GroupedText(f.Size(), f.Settings()) + " of " +
                  GroupedText(c.record.BodyLength(), f.Settings()) + " bytes are read)");
}

void DescribeMdat(Fields& f, const BoxContext& c) {
    const FullRecord& r = c.record;
    const RegionalSettings& rs = f.Settings();
    const std::uint64_t begin = r.BodyOffset(), length = r.BodyLength();
    std::string text = GroupedText(length, rs) + (length == 1 ? " byte" : " bytes");
    text += length == 0 ? " at offset " + GroupedText(begin, rs)
                        : " from offset " + GroupedText(begin, rs) + " to " + GroupedText(begin + length - 1, rs);
    f.Derived("data", text, {begin, length});
}

void DescribeUuid(Fields& f, const BoxContext& c) {
    const std::uint64_t pos = f.Pos();
    f.Bytes("usertype", 16);
    if (f.Cut()) return;
    const auto usertype = f.Body().subspan(pos, 16);
    f.Meaning(UuidText(usertype));
    if (DescribeUuidBody(f, c, usertype)) return;
    DescribeFree(f, c);
}

// ---- 3GPP annotations ----

// A UTF-8 text up to its zero, or UTF-16 up to a zero unit when it starts with a byte-order mark.
void Utf8Or16(Fields& f, std::string_view label) {
    if (f.Cut()) return;
    const std::uint64_t pos = f.Pos();
    const std::uint64_t bom = f.Has(2) ? f.Peek(pos, 2) : 0;
    if (bom != 0xFEFF && bom != 0xFFFE) {
        f.CString(label);
        return;
    }
    const auto body = f.Body();
    std::uint64_t end = pos + 2;
    while (end + 1 < body.size() && (body[end] != 0 || body[end + 1] != 0)) end += 2;
    const std::uint64_t textEnd = std::min<std::uint64_t>(end, body.size());
    const std::uint64_t taken = (end + 1 < body.size() ? end + 2 : body.size()) - pos;
    const bool bigEndian = bom == 0xFEFF;
    f.Value(label, "\"" + TextFromUtf16(body.data() + pos + 2, textEnd - pos - 2, bigEndian) + "\"", f.Range(pos, taken));
    f.Meaning(bigEndian ? "UTF-16 big-endian" : "UTF-16 little-endian");
    f.Seek(pos + taken);
}

const char* AnnotationLabel(std::uint32_t type) {
    switch (type) {
    case F("titl"): return "title";
    case F("auth"): return "author";
    case F("perf"): return "performer";
    case F("gnre"): return "genre";
    case F("dscp"): return "description";
    case F("cprt"): return "notice";
    case F("coll"): return "collectionName";
    default: return "data";
    }
}

// titl, auth, perf, gnre, dscp, cprt, coll: a language and one text.
void DescribeAnnotation(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    f.Language("language");
    Utf8Or16(f, AnnotationLabel(c.record.type));
    ExtraBytes(f);
}

void DescribeAlbm(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Language("language");
    Utf8Or16(f, "albumtitle");
    if (!f.Cut() && f.Left() > 0) f.U("trackNumber", 1);
    ExtraBytes(f);
}

void DescribeYrrc(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("recordingYear", 2);
    ExtraBytes(f);
}

void DescribeRtng(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Type("ratingEntity");
    f.Type("ratingCriteria");
    f.Language("language");
    Utf8Or16(f, "ratingInfo");
    ExtraBytes(f);
}

void DescribeClsf(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Type("classificationEntity");
    f.U("classificationTable", 2);
    f.Language("language");
    Utf8Or16(f, "classificationInfo");
    ExtraBytes(f);
}

void DescribeKywd(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Language("language");
    const auto count = f.U("keywordCnt", 1);
    if (!count) return;
    std::string& s = f.Scratch();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!f.Has(1)) {
            f.MarkCut("keywordSize", 1);
            return;
        }
        const std::uint64_t pos = f.Pos();
        const std::uint64_t size = f.Peek(pos, 1);
        if (!f.Has(1 + size)) {
            f.MarkCut("keyword", 1 + size);
            return;
        }
        const std::uint8_t* text = f.Body().data() + pos + 1;
        const bool utf16 = size >= 2 && ((text[0] == 0xFE && text[1] == 0xFF) || (text[0] == 0xFF && text[1] == 0xFE));
        std::size_t n = static_cast<std::size_t>(size);
        if (utf16)
            while (n >= 4 && text[n - 1] == 0 && text[n - 2] == 0) n -= 2;
        else
            while (n > 0 && text[n - 1] == 0) --n;
        s.assign("   keyword ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += '"';
        s += utf16 ? TextFromUtf16(text + 2, n - 2, text[0] == 0xFE) : TextFromFileBytes(text, n);
        s += '"';
        f.Raw(std::string(s), f.Range(pos, 1 + size));
        f.Seek(pos + 1 + size);
    }
    ExtraBytes(f);
}

void DescribeLoci(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Language("language");
    Utf8Or16(f, "name");
    if (const auto role = f.U("role", 1)) {
        static constexpr const char* kRoles[] = {"shooting location", "real location", "fictional location"};
        if (*role < 3) f.Meaning(kRoles[*role]);
    }
    f.Fixed("longitude", 4, 16, true);
    f.Fixed("latitude", 4, 16, true);
    f.Fixed("altitude", 4, 16, true);
    Utf8Or16(f, "astronomical_body");
    Utf8Or16(f, "additional_notes");
    ExtraBytes(f);
}

// ---- Hint track information ----

// SDP text: one line of the pane per line of the text.
void SdpLines(Fields& f, const BoxContext& c) {
    const auto body = f.Body();
    std::string& s = f.Scratch();
    std::int64_t line = 0;
    for (std::uint64_t pos = f.Pos(); pos < body.size(); ++line) {
        std::uint64_t end = pos;
        while (end < body.size() && body[end] != '\n' && body[end] != 0) ++end;
        std::uint64_t textEnd = end;
        if (textEnd > pos && body[textEnd - 1] == '\r') --textEnd;
        const std::uint64_t next = end < body.size() ? end + 1 : end;
        s.assign("   sdptext ");
        AppendEntryNumber(s, line);
        s += '"';
        s += TextFromFileBytes(body.data() + pos, static_cast<std::size_t>(textEnd - pos));
        s += '"';
        f.Raw(std::string(s), f.Range(pos, next - pos));
        pos = next;
    }
    f.Seek(body.size());
    if (c.record.BodyLength() > body.size())
        f.Heading("(only the first " + GroupedText(body.size(), f.Settings()) + " of " +
                  GroupedText(c.record.BodyLength(), f.Settings()) + " bytes are read)");
}

void DescribeMovieSdp(Fields& f, const BoxContext& c) {
    f.Type("descriptionformat");
    SdpLines(f, c);
}

void DescribeTrackSdp(Fields& f, const BoxContext& c) { SdpLines(f, c); }

// The hint statistics boxes: a few numbers each, payt a Pascal string at the end.
void DescribeHintStatistic(Fields& f, const BoxContext& c) {
    switch (c.record.type) {
    case F("trpy"):
    case F("tpyl"):
    case F("dmed"):
    case F("dimm"):
    case F("drep"): f.U("bytessent", 8); break;
    case F("nump"): f.U("packetssent", 8); break;
    case F("totl"):
    case F("tpay"): f.U("bytessent", 4); break;
    case F("npck"): f.U("packetssent", 4); break;
    case F("maxr"):
        f.U("period", 4);
        f.U("bytes", 4);
        break;
    case F("tmin"):
    case F("tmax"): f.AsSigned("time", 4); break;
    case F("pmax"): f.U("bytes", 4); break;
    case F("dmax"): f.U("time", 4); break;
    case F("payt"): {
        f.U("payloadID", 4);
        const auto count = f.U("count", 1);
        if (count) f.FixedString("rtpmap_string", *count);
        break;
    }
    default: break;
    }
    ExtraBytes(f);
}

constexpr std::uint32_t kFreeRead = 4096;
// A known uuid (a PIFF sample encryption, XMP) is read whole up to this.
constexpr std::uint32_t kUuidRead = 1u << 20;
// One pane line per text line: a box of line feeds must not become millions of lines.
constexpr std::uint32_t kSdpRead = 65536;

constexpr BoxRule Leaf(std::uint32_t parent, const char (&type)[5], DescribeFn describe, std::uint32_t readLimit = 0) {
    return {parent, F(type), BoxKind::Leaf, EntryLayout::None, describe, readLimit};
}
constexpr BoxRule Annotation(const char (&type)[5], DescribeFn describe = DescribeAnnotation) {
    return Leaf(F("udta"), type, describe);
}
constexpr BoxRule HintStatistic(const char (&type)[5]) { return Leaf(F("hinf"), type, DescribeHintStatistic); }

constexpr BoxRule kRules[] = {
    // Containers: children straight after the header.
    {0, F("moov"), BoxKind::Container}, {0, F("trak"), BoxKind::Container}, {0, F("edts"), BoxKind::Container},
    {0, F("mdia"), BoxKind::Container}, {0, F("minf"), BoxKind::Container}, {0, F("dinf"), BoxKind::Container},
    {0, F("stbl"), BoxKind::Container}, {0, F("mvex"), BoxKind::Container}, {0, F("moof"), BoxKind::Container},
    {0, F("traf"), BoxKind::Container}, {0, F("mfra"), BoxKind::Container}, {0, F("udta"), BoxKind::Container},
    {0, F("tref"), BoxKind::Container}, {0, F("iprp"), BoxKind::Container}, {0, F("ipco"), BoxKind::Container},
    {0, F("sinf"), BoxKind::Container}, {0, F("schi"), BoxKind::Container}, {0, F("rinf"), BoxKind::Container},
    {0, F("strk"), BoxKind::Container}, {0, F("strd"), BoxKind::Container}, {0, F("meco"), BoxKind::Container},
    {0, F("grpl"), BoxKind::Container}, {0, F("trgr"), BoxKind::Container}, {0, F("cinf"), BoxKind::Container},
    {0, F("ilst"), BoxKind::Container}, {0, F("wave"), BoxKind::Container}, {0, F("gmhd"), BoxKind::Container},
    {0, F("tapt"), BoxKind::Container}, {0, F("sv3d"), BoxKind::Container}, {0, F("proj"), BoxKind::Container},
    {0, F("hnti"), BoxKind::Container}, {0, F("hinf"), BoxKind::Container}, {0, F("paen"), BoxKind::Container},
    // QuickTime's timecode media information holds tcmi.
    {F("gmhd"), F("tmcd"), BoxKind::Container},
    // A full box and then children.
    {0, F("meta"), BoxKind::Meta},
    {0, F("dref"), BoxKind::CountedContainer},
    {0, F("stsd"), BoxKind::CountedContainer},

    Leaf(0, "ftyp", DescribeFtyp), Leaf(0, "styp", DescribeFtyp),
    Leaf(0, "mvhd", DescribeMvhd), Leaf(0, "tkhd", DescribeTkhd), Leaf(0, "mdhd", DescribeMdhd),
    Leaf(0, "hdlr", DescribeHdlr),
    Leaf(0, "vmhd", DescribeVmhd), Leaf(0, "smhd", DescribeSmhd), Leaf(0, "hmhd", DescribeHmhd),
    Leaf(0, "nmhd", DescribeFullBoxOnly), Leaf(0, "sthd", DescribeFullBoxOnly),
    Leaf(F("gmhd"), "gmin", DescribeGmin),
    Leaf(F("tapt"), "clef", DescribeApertureDimensions), Leaf(F("tapt"), "prof", DescribeApertureDimensions),
    Leaf(F("tapt"), "enof", DescribeApertureDimensions),
    // Under dref, and under uinf for url.
    Leaf(0, "url ", DescribeDataEntry), Leaf(0, "urn ", DescribeDataEntry),
    Leaf(0, "free", DescribeFree, kFreeRead), Leaf(0, "skip", DescribeFree, kFreeRead),
    Leaf(0, "wide", DescribeFree, kFreeRead),
    Leaf(0, "mdat", DescribeMdat, 1),
    Leaf(0, "uuid", DescribeUuid, kUuidRead),

    Annotation("titl"), Annotation("auth"), Annotation("perf"), Annotation("gnre"), Annotation("dscp"),
    Annotation("cprt"), Annotation("coll"), Annotation("albm", DescribeAlbm), Annotation("yrrc", DescribeYrrc),
    Annotation("kywd", DescribeKywd), Annotation("rtng", DescribeRtng), Annotation("clsf", DescribeClsf),
    Annotation("loci", DescribeLoci),

    Leaf(F("hnti"), "rtp ", DescribeMovieSdp, kSdpRead), Leaf(F("hnti"), "sdp ", DescribeTrackSdp, kSdpRead),
    HintStatistic("trpy"), HintStatistic("nump"), HintStatistic("tpyl"), HintStatistic("totl"),
    HintStatistic("npck"), HintStatistic("tpay"), HintStatistic("maxr"), HintStatistic("dmed"),
    HintStatistic("dimm"), HintStatistic("drep"), HintStatistic("tmin"), HintStatistic("tmax"),
    HintStatistic("pmax"), HintStatistic("dmax"), HintStatistic("payt"),
};

}  // namespace

std::span<const BoxRule> MovieBoxRules() { return kRules; }

}  // namespace kestrova::full
