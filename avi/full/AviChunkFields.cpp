// A click in the full view of an AVI file: the chunk is read from the file and
// every value shown with its bytes. Numbers are little-endian, codes in file order.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "avi/full/AviFull.h"
#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/Fields.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t kRiff = Fourcc("RIFF"), kList = Fourcc("LIST"), kInfo = Fourcc("INFO"),
                        kVids = Fourcc("vids"), kAuds = Fourcc("auds");
// What a click reads of a data chunk: its first bytes show its layout.
constexpr std::uint64_t kDataChunkRead = 64;

struct Ctx {
    FileSource& file;
    const AviFullParse& parse;
    const AviFullRecord& rec;
    const RegionalSettings& rs;
};

bool IsDigit(std::uint32_t b) { return b >= '0' && b <= '9'; }

std::string Dec(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string TimeText(double seconds) {
    if (!(seconds >= 0) || seconds > 1e9) return "";
    const auto ms = static_cast<std::uint64_t>(seconds * 1000 + 0.5);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned long long>(ms / 60000 % 60), static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return buf;
}

std::string FlagNames(std::uint32_t v, std::initializer_list<std::pair<std::uint32_t, const char*>> names) {
    std::string out;
    std::uint32_t rest = v;
    for (const auto& [bit, name] : names)
        if (v & bit) {
            out += out.empty() ? "" : " | ";
            out += name;
            rest &= ~bit;
        }
    if (rest) out += (out.empty() ? "" : " | ") + Hex32Text(rest);
    return out.empty() ? "(none)" : out;
}

std::string Plural(std::uint64_t n, const char* one, const char* many, const RegionalSettings& rs) {
    return GroupedText(n, rs) + " " + (n == 1 ? one : many);
}

void MainHeader(Fields& f, const Ctx&) {
    if (const auto us = f.U("dwMicroSecPerFrame", 4); us && *us) f.Meaning("= " + Dec(1e6 / static_cast<double>(*us), 3) + " fps");
    f.U("dwMaxBytesPerSec", 4);
    f.U("dwPaddingGranularity", 4);
    if (const auto flags = f.U("dwFlags", 4))
        f.Meaning(FlagNames(static_cast<std::uint32_t>(*flags), {{0x10, "AVIF_HASINDEX"},
                                                                  {0x20, "AVIF_MUSTUSEINDEX"},
                                                                  {0x100, "AVIF_ISINTERLEAVED"},
                                                                  {0x800, "AVIF_TRUSTCKTYPE"},
                                                                  {0x10000, "AVIF_WASCAPTUREFILE"},
                                                                  {0x20000, "AVIF_COPYRIGHTED"}}));
    f.U("dwTotalFrames", 4);
    f.U("dwInitialFrames", 4);
    f.U("dwStreams", 4);
    f.U("dwSuggestedBufferSize", 4);
    f.U("dwWidth", 4);
    f.U("dwHeight", 4);
    for (int k = 0; k < 4; ++k) f.U("dwReserved[" + std::to_string(k) + "]", 4);
    f.Rest("more data");
}

void StreamHeader(Fields& f, const Ctx&) {
    const auto type = f.Type("fccType");
    if (type) {
        const char* kind = *type == kVids ? "video" : *type == kAuds ? "audio" : *type == Fourcc("txts") ? "text"
                                                     : *type == Fourcc("mids") ? "MIDI" : "";
        if (*kind) f.Meaning(kind);
    }
    if (const auto handler = f.Type("fccHandler"); handler && type && *type == kVids) {
        const std::string name = AviVideoCodecName(*handler);
        if (!name.empty()) f.Meaning(name);
    }
    if (const auto flags = f.U("dwFlags", 4))
        f.Meaning(FlagNames(static_cast<std::uint32_t>(*flags), {{0x1, "AVISF_DISABLED"}, {0x10000, "AVISF_VIDEO_PALCHANGES"}}));
    f.U("wPriority", 2);
    f.U("wLanguage", 2);
    f.U("dwInitialFrames", 4);
    const std::uint64_t scalePos = f.Pos();
    const auto scale = f.U("dwScale", 4);
    const auto rate = f.U("dwRate", 4);
    double unit = 0;  // seconds per sample
    if (scale && rate) {
        std::string text = std::to_string(*rate) + "/" + std::to_string(*scale);
        if (*scale != 0 && *rate != 0) {
            unit = static_cast<double>(*scale) / static_cast<double>(*rate);
            text += " = " + Dec(static_cast<double>(*rate) / static_cast<double>(*scale), 3) +
                    (type && *type == kAuds ? " samples per second" : " per second");
            if (type && *type == kVids) text += " (fps)";
        }
        f.Derived("rate / scale", text, f.Range(scalePos, 8));
    }
    if (const auto start = f.U("dwStart", 4); start && unit > 0) f.Meaning(TimeText(static_cast<double>(*start) * unit));
    if (const auto length = f.U("dwLength", 4); length && unit > 0) f.Meaning(TimeText(static_cast<double>(*length) * unit));
    f.U("dwSuggestedBufferSize", 4);
    if (const auto q = f.U("dwQuality", 4); q && *q == 0xFFFFFFFF) f.Meaning("default");
    f.U("dwSampleSize", 4);
    if (f.Left() >= 8) {
        f.S("rcFrame.left", 2);
        f.S("rcFrame.top", 2);
        f.S("rcFrame.right", 2);
        f.S("rcFrame.bottom", 2);
    }
    f.Rest("more data");
}

void VideoFormat(Fields& f, const Ctx& c) {
    const std::uint64_t start = f.Pos();
    const auto biSize = f.U("biSize", 4);
    f.S("biWidth", 4);
    if (const auto h = f.S("biHeight", 4)) f.Meaning(*h < 0 ? "top-down" : "bottom-up");
    f.U("biPlanes", 2);
    const auto bits = f.U("biBitCount", 2);
    if (const auto comp = f.Type("biCompression")) {
        const std::string name = AviVideoCodecName(*comp);
        f.Meaning(name.empty() ? std::string("unknown code") : name);
    }
    f.U("biSizeImage", 4);
    f.S("biXPelsPerMeter", 4);
    f.S("biYPelsPerMeter", 4);
    const auto used = f.U("biClrUsed", 4);
    f.U("biClrImportant", 4);
    if (f.Cut()) return;
    if (biSize && *biSize > 40 && f.Pos() - start == 40)
        f.Bytes("codec data", std::min<std::uint64_t>(*biSize - 40, f.Left()));
    std::uint64_t colours = used.value_or(0);
    if (colours == 0 && bits && *bits <= 8) colours = 1ull << *bits;
    colours = std::min<std::uint64_t>(colours, f.Left() / 4);
    if (colours) {
        f.Heading("(palette: " + Plural(colours, "entry", "entries", c.rs) + ", each blue, green, red, reserved)");
        std::string& line = f.Scratch();
        for (std::uint64_t k = 0; k < colours; ++k) {
            const std::uint64_t p = f.Pos();
            char buf[96];
            std::snprintf(buf, sizeof buf, "   colour #%llu: red %u, green %u, blue %u",
                          static_cast<unsigned long long>(k), static_cast<unsigned>(f.Peek(p + 2, 1)),
                          static_cast<unsigned>(f.Peek(p + 1, 1)), static_cast<unsigned>(f.Peek(p, 1)));
            line = buf;
            f.Raw(line, f.Range(p, 4));
            f.Seek(p + 4);
        }
    }
    f.Rest("more data");
}

void AudioFormat(Fields& f, const Ctx& c) {
    const auto tag = f.U("wFormatTag", 2);
    if (tag) {
        const std::string name = AviAudioFormatName(static_cast<std::uint32_t>(*tag));
        f.Meaning(name.empty() ? std::string("unknown tag") : name);
    }
    f.U("nChannels", 2);
    f.U("nSamplesPerSec", 4);
    if (const auto avg = f.U("nAvgBytesPerSec", 4)) f.Meaning("= " + GroupedText(*avg * 8, c.rs) + " bit/s");
    f.U("nBlockAlign", 2);
    f.U("wBitsPerSample", 2);
    if (f.Left() < 2) return;
    const auto cb = f.U("cbSize", 2);
    if (!cb || *cb == 0) return f.Rest("more data");
    const std::uint64_t extEnd = f.Pos() + std::min<std::uint64_t>(*cb, f.Left());
    if (*tag == 0x55 && *cb >= 12) {
        if (const auto id = f.U("wID", 2); id && *id == 1) f.Meaning("MPEGLAYER3_ID_MPEG");
        if (const auto flags = f.U("fdwFlags", 4))
            f.Meaning(*flags == 0 ? "padding ISO" : *flags == 1 ? "padding on" : *flags == 2 ? "padding off" : "");
        f.U("nBlockSize", 2);
        f.U("nFramesPerBlock", 2);
        f.U("nCodecDelay", 2);
    } else if (*tag == 0xFFFE && *cb >= 22) {
        f.U("wValidBitsPerSample", 2);
        if (const auto mask = f.U("dwChannelMask", 4)) {
            std::string names;
            for (unsigned bit = 0; bit < 32; ++bit)
                if ((*mask >> bit) & 1) {
                    const std::string n = SpeakerName(bit);
                    names += (names.empty() ? "" : ", ") + (n.empty() ? "bit " + std::to_string(bit) : n);
                }
            f.Meaning(names.empty() ? std::string("no speaker positions") : names);
        }
        if (f.Has(16)) {
            std::uint8_t guid[16];
            for (int k = 0; k < 16; ++k) guid[k] = static_cast<std::uint8_t>(f.Peek(f.Pos() + k, 1));
            f.Bytes("SubFormat", 16);
            const std::string name = SubFormatName(guid);
            f.Meaning(name.empty() ? std::string("unknown GUID") : name);
        }
    }
    if (f.Pos() < extEnd) f.Bytes("extra format bytes", extEnd - f.Pos());
    f.Rest("more data");
}

void StreamFormat(Fields& f, const Ctx& c) {
    const auto& streams = c.parse.layout.streams;
    const std::uint32_t type = c.rec.stream >= 0 && static_cast<std::size_t>(c.rec.stream) < streams.size()
                                   ? streams[static_cast<std::size_t>(c.rec.stream)].fccType
                                   : 0;
    if (type == kVids) return VideoFormat(f, c);
    if (type == kAuds) return AudioFormat(f, c);
    f.Heading("(the stream header does not say video or audio: the format is shown as bytes)");
    f.Rest("format");
}

void VideoProperties(Fields& f, const Ctx&) {
    if (const auto t = f.U("VideoFormatToken", 4)) {
        static const char* const kTokens[] = {"unknown", "PAL square", "PAL CCIR 601", "NTSC square", "NTSC CCIR 601"};
        f.Meaning(*t < 5 ? kTokens[*t] : "");
    }
    if (const auto s = f.U("VideoStandard", 4)) {
        static const char* const kStandards[] = {"unknown", "PAL", "NTSC", "SECAM"};
        f.Meaning(*s < 4 ? kStandards[*s] : "");
    }
    f.U("dwVerticalRefreshRate", 4);
    f.U("dwHTotalInT", 4);
    f.U("dwVTotalInLines", 4);
    if (const auto a = f.U("dwFrameAspectRatio", 4)) f.Meaning(std::to_string(*a >> 16) + ":" + std::to_string(*a & 0xFFFF));
    f.U("dwFrameWidthInPixels", 4);
    f.U("dwFrameHeightInLines", 4);
    const auto fields = f.U("nbFieldPerFrame", 4);
    const std::uint64_t n = std::min<std::uint64_t>(fields.value_or(0), f.Left() / 32);
    for (std::uint64_t k = 0; k < n; ++k) {
        f.Heading("field #" + std::to_string(k + 1));
        f.U("   CompressedBMHeight", 4);
        f.U("   CompressedBMWidth", 4);
        f.U("   ValidBMHeight", 4);
        f.U("   ValidBMWidth", 4);
        f.U("   ValidBMXOffset", 4);
        f.U("   ValidBMYOffset", 4);
        f.U("   VideoXOffsetInT", 4);
        f.U("   VideoYValidStartLine", 4);
    }
    f.Rest("more data");
}

// The node of the record at this offset; 0 when none.
std::int64_t NodeAt(const AviFullParse& parse, std::uint64_t offset) {
    const auto it = std::lower_bound(parse.records.begin(), parse.records.end(), offset,
                                     [](const AviFullRecord& r, std::uint64_t o) { return r.offset < o; });
    for (auto i = it; i != parse.records.end() && i->offset == offset; ++i) return std::int64_t{i->index} + 1;
    return 0;
}

void StandardIndexEntries(Fields& f, const Ctx& c, std::uint32_t longs, std::uint64_t count, std::uint64_t base) {
    const std::uint64_t stride = 4u * longs;
    count = std::min(count, f.Left() / stride);
    f.Heading("(" + Plural(count, "entry", "entries", c.rs) +
              ": where the data begins (qwBaseOffset + dwOffset), its size (dwSize & 0x7FFFFFFF), a key frame when bit 31 is clear)");
    std::string& line = f.Scratch();
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint64_t p = f.Pos() + stride * k;
        const std::uint64_t off = f.Peek(p, 1) | f.Peek(p + 1, 1) << 8 | f.Peek(p + 2, 1) << 16 | f.Peek(p + 3, 1) << 24;
        const std::uint64_t size = f.Peek(p + 4, 1) | f.Peek(p + 5, 1) << 8 | f.Peek(p + 6, 1) << 16 | f.Peek(p + 7, 1) << 24;
        line = "   #" + std::to_string(k + 1) + ": data at " + Hex32Text(base + off) + ", " +
               GroupedText(size & 0x7FFFFFFF, c.rs) + " bytes, " + ((size >> 31) ? "delta frame" : "key frame");
        if (longs == 3) {
            const std::uint64_t second = f.Peek(p + 8, 1) | f.Peek(p + 9, 1) << 8 | f.Peek(p + 10, 1) << 16 | f.Peek(p + 11, 1) << 24;
            line += ", second field at " + Hex32Text(base + second);
        }
        f.Raw(line, f.Range(p, stride));
    }
    f.Seek(f.Pos() + stride * count);
}

void IndexHeader(Fields& f, const Ctx& c) {
    const auto longs = f.U("wLongsPerEntry", 2);
    const auto sub = f.U("bIndexSubType", 1);
    if (sub && *sub == 1) f.Meaning("AVI_INDEX_2FIELD");
    const auto type = f.U("bIndexType", 1);
    if (type) f.Meaning(*type == 0 ? "AVI_INDEX_OF_INDEXES" : *type == 1 ? "AVI_INDEX_OF_CHUNKS" : *type == 0x80 ? "AVI_INDEX_IS_DATA" : "");
    const auto count = f.U("nEntriesInUse", 4);
    f.Type("dwChunkId");
    if (!type || !count || !longs) return;
    if (*type == 0) {
        f.U("dwReserved[0]", 4);
        f.U("dwReserved[1]", 4);
        f.U("dwReserved[2]", 4);
        if (*longs != 4) return f.Rest("entries (wLongsPerEntry is not 4)");
        const std::uint64_t n = std::min<std::uint64_t>(*count, f.Left() / 16);
        for (std::uint64_t k = 0; k < n; ++k) {
            f.Heading("entry #" + std::to_string(k + 1));
            const auto offset = f.U("   qwOffset", 8);
            if (offset) {
                std::uint8_t b[8];
                c.file.ReadSmall(*offset, b, sizeof b);
                const std::uint32_t id = ByteReader({b, 8}).Fourcc(0);
                const int stream = c.rec.stream;
                const bool own = (id >> 16) == ('i' << 8 | 'x') && IsDigit((id >> 8) & 0xFF) && IsDigit(id & 0xFF) &&
                                 static_cast<int>((((id >> 8) & 0xFF) - '0') * 10 + ((id & 0xFF) - '0')) == stream;
                const std::int64_t node = NodeAt(c.parse, *offset);
                if (own) f.Meaning("-> " + FourccText(id) + (node ? " (node " + std::to_string(node) + ")" : std::string()));
                else f.Meaning("not an ix## chunk of stream " + std::to_string(stream) + ": not followed");
            }
            f.U("   dwSize", 4);
            f.U("   dwDuration", 4);
        }
        return f.Rest("unused entries");
    } else if (*type == 1 && (*longs == 2 || *longs == 3)) {
        const auto base = f.U("qwBaseOffset", 8);
        f.U("dwReserved3", 4);
        if (base) StandardIndexEntries(f, c, static_cast<std::uint32_t>(*longs), *count, *base);
    }
    f.Rest("more data");
}

void Idx1(Fields& f, const Ctx& c) {
    std::uint64_t moviOffset = 0;
    for (const AviIdx1Layout& i : c.parse.layout.idx1)
        if (i.offset == c.rec.offset) moviOffset = i.moviOffset;
    const std::uint64_t count = f.Left() / 16;
    std::uint64_t base = moviOffset + 8;
    if (count > 0 && moviOffset != 0) {
        const std::uint64_t p = f.Pos();
        const auto ckid = static_cast<std::uint32_t>(f.Peek(p, 4));
        const std::uint32_t off = static_cast<std::uint32_t>(f.Peek(p + 8, 1) | f.Peek(p + 9, 1) << 8 |
                                                             f.Peek(p + 10, 1) << 16 | f.Peek(p + 11, 1) << 24);
        std::uint8_t b[4];
        c.file.ReadSmall(base + off, b, 4);
        const bool relative = ByteReader({b, 4}).Fourcc(0) == ckid;
        c.file.ReadSmall(off, b, 4);
        const bool absolute = ByteReader({b, 4}).Fourcc(0) == ckid;
        if (!relative && absolute) base = 0;
    }
    if (moviOffset == 0) f.Heading("(no movi list comes before this index: its offsets have no base)");
    else if (base == 0) f.Heading("(offsets are absolute: from the start of the file)");
    else f.Heading("(offsets are relative to the movi list's type at " + Hex32Text(moviOffset + 8) + ")");
    f.Heading("(" + Plural(count, "entry", "entries", c.rs) + ": ckid, dwFlags, where the chunk lies, dwChunkLength)");
    std::string& line = f.Scratch();
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint64_t p = f.Pos() + 16 * k;
        const auto le = [&](std::uint64_t q) {
            return static_cast<std::uint32_t>(f.Peek(q, 1) | f.Peek(q + 1, 1) << 8 | f.Peek(q + 2, 1) << 16 | f.Peek(q + 3, 1) << 24);
        };
        const std::uint32_t flags = le(p + 4), off = le(p + 8), length = le(p + 12);
        line = "   #" + std::to_string(k + 1) + ": " + FourccText(static_cast<std::uint32_t>(f.Peek(p, 4))) + ", flags " +
               Hex32Text(flags);
        if (flags & 0x10) line += " (key frame)";
        if (flags & 0x100) line += " (no time)";
        line += ", chunk at " + Hex32Text(base + off) + ", " + GroupedText(length, c.rs) + " bytes";
        f.Raw(line, f.Range(p, 16));
    }
    f.Seek(f.Pos() + 16 * count);
    f.Rest("more data");
}

void Describe(Fields& f, const Ctx& c) {
    const AviFullRecord& r = c.rec;
    const AviFullRecord* parent = r.parent >= 0 ? &c.parse.records[static_cast<std::size_t>(r.parent)] : nullptr;
    if (parent && parent->listType == kInfo) {
        const std::string name = InfoItemName(r.id);
        f.CString(name.empty() ? std::string("text") : name);
        return f.Rest("more data");
    }
    const std::uint32_t id = r.id;
    if (id == Fourcc("avih")) return MainHeader(f, c);
    if (id == Fourcc("strh")) return StreamHeader(f, c);
    if (id == Fourcc("strf")) return StreamFormat(f, c);
    if (id == Fourcc("vprp")) return VideoProperties(f, c);
    if (id == Fourcc("dmlh")) {
        f.U("dwTotalFrames", 4);
        return f.Rest("reserved");
    }
    if (id == Fourcc("strn")) {
        f.CString("name");
        return f.Rest("more data");
    }
    if (id == Fourcc("strd")) {
        f.Derived("size", Plural(r.size, "byte", "bytes", c.rs), {});
        return f.Rest("codec driver data");
    }
    if (id == Fourcc("indx")) return IndexHeader(f, c);
    if ((id >> 16) == ('i' << 8 | 'x')) return IndexHeader(f, c);
    if (id == Fourcc("idx1")) return Idx1(f, c);
    if (id == Fourcc("JUNK")) return f.Rest("padding");
    f.Rest("data");
}

}  // namespace

void DescribeAviChunk(DocumentView& view, FileSource& file, const AviFullParse& parse, std::int64_t nodeIndex) {
    view.ClearBoxDescription();
    if (nodeIndex < 1 || static_cast<std::uint64_t>(nodeIndex) > parse.records.size()) return;
    const AviFullRecord& rec = parse.records[static_cast<std::size_t>(nodeIndex - 1)];
    view.SetOffsetEditText(UpperHexText(rec.offset));
    const bool list = rec.listType != 0;
    const bool dataChunk = IsDigit(rec.id >> 24) && IsDigit((rec.id >> 16) & 0xFF);
    std::uint64_t want = list ? std::min<std::uint64_t>(rec.extent, 12)
                              : dataChunk ? std::min<std::uint64_t>(rec.extent, 8 + kDataChunkRead)
                                          : std::min<std::uint64_t>(rec.extent, kMaxBoxRead);
    std::vector<std::uint8_t> bytes;
    if (want > 0) file.ReadAt(rec.offset, want, bytes);
    {
        Fields f(view, {rec.offset, {bytes.data(), bytes.size()}, 8 + std::uint64_t{rec.size}});
        f.SetLittleEndian(true);
        const RegionalSettings& rs = view.Settings();
        f.Type(list ? "id" : "ckid");
        f.U(list ? "size" : "ckSize", 4);
        if (rec.extent < 8 + std::uint64_t{rec.size})
            f.Heading("(the file ends " + GroupedText(8 + std::uint64_t{rec.size} - rec.extent, rs) +
                      " bytes before this chunk does)");
        if (list) {
            f.Type(rec.id == kRiff ? "form type" : "list type");
        } else {
            f.Heading(kDescriptionSeparator);
            Describe(f, Ctx{file, parse, rec, rs});
            if (dataChunk && rec.size > kDataChunkRead)
                f.Heading("(only the first " + GroupedText(kDataChunkRead, rs) + " bytes of the data are read)");
            else if (!dataChunk && rec.extent > want)
                f.Heading("(only the first " + GroupedText(want, rs) + " bytes of the chunk are read)");
        }
    }
    view.ShowDescription();
    view.ShowHexRange(rec.offset, rec.extent);
}

}  // namespace kestrova::full
