// The sample entries under stsd in the full view: each describer shows the
// entry's own fields and stops where the walk starts its children, so the
// children stay nodes of their own.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/Formatters.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }
constexpr std::uint32_t kStsd = F("stsd");

bool IsPrintableCode(std::uint32_t code) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (code >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

void Join(std::string& out, std::string_view part) {
    if (!out.empty()) out += ", ";
    out += part;
}

// A 32-bit field QuickTime fills with a vendor code and ISO leaves zero.
void VendorField(Fields& f, std::string_view label) {
    const auto code = static_cast<std::uint32_t>(f.Peek(f.Pos(), 4));
    if (f.Has(4) && code != 0 && FourccText(code) != Hex32Text(code)) f.Type(label);
    else f.U(label, 4);
}

void EntryHeader(Fields& f) {
    f.Bytes("reserved", 6);
    f.U("data_reference_index", 2);
}

// Bytes after the own fields that the walk leaves out of every child: fewer
// than a box header at the end (QuickTime's zero terminator, most often).
void TrailingBytes(Fields& f, const BoxContext& c) {
    if (f.Cut() || f.Size() < c.record.BodyLength()) return;
    std::uint64_t pos = f.Pos();
    const std::uint64_t size = f.Size();
    while (pos < size && size - pos >= 8) {
        std::uint64_t length = f.Peek(pos, 4);
        std::uint64_t header = 8;
        if (length == 1) {
            header = 16;
            length = size - pos >= 16 ? f.Peek(pos + 8, 8) : 0;
        }
        // A box to the end, too small or too long takes all that is left.
        if (length < header || length >= size - pos) return;
        pos += length;
    }
    if (pos >= size) return;
    f.Seek(pos);
    f.Rest("trailing bytes");
}

std::string DepthText(std::uint64_t depth) {
    switch (depth) {
    case 0x18: return "colour, no alpha";
    case 0x20: return "colour with alpha";
    case 34: return "2-bit greyscale";
    case 36: return "4-bit greyscale";
    case 40: return "8-bit greyscale";
    default: return depth >= 1 && depth <= 16 ? "colour" : "";
    }
}

void DescribeVisual(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    f.U("pre_defined", 2);
    f.U("reserved", 2);
    VendorField(f, "pre_defined");
    f.U("pre_defined", 4);
    f.U("pre_defined", 4);
    f.U("width", 2);
    f.U("height", 2);
    if (f.Fixed("horizresolution", 4, 16, false)) f.Meaning("dpi");
    if (f.Fixed("vertresolution", 4, 16, false)) f.Meaning("dpi");
    f.U("reserved", 4);
    f.U("frame_count", 2);
    f.PascalString("compressorname", 32);
    if (const auto depth = f.U("depth", 2)) f.Meaning(DepthText(*depth));
    f.AsSigned("pre_defined", 2);
    TrailingBytes(f, c);
}

// A 64-bit IEEE double, shown as a decimal with its bytes in hexadecimal.
void Float64(Fields& f, std::string_view label) {
    if (f.Cut() || !f.Has(8) || f.BitPos() % 8 != 0) {
        f.U(label, 8);  // says where the box ends
        return;
    }
    const std::uint64_t pos = f.Pos();
    const std::uint64_t raw = f.Peek(pos, 8);
    const double v = std::bit_cast<double>(raw);
    std::string text;
    if (std::isfinite(v) && std::fabs(v) < 1e15) {
        text = FixedText(v);
    } else {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%g", v);
        text = buf;
    }
    std::string number;
    f.AppendNumber(number, raw, 8);
    text += " (";
    text += number.substr(number.find('(') + 1);
    f.Value(label, std::move(text), f.Range(pos, 8));
    f.Seek(pos + 8);
}

std::string LpcmFlagsText(std::uint64_t flags) {
    static constexpr struct {
        std::uint32_t bit;
        const char* name;
    } kNames[] = {{0x1, "float"},         {0x2, "big-endian"},      {0x4, "signed integer"}, {0x8, "packed"},
                  {0x10, "aligned high"}, {0x20, "non-interleaved"}, {0x40, "non-mixable"}};
    std::string text;
    for (const auto& n : kNames)
        if (flags & n.bit) Join(text, n.name);
    return text;
}

void DescribeAudio(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    const EntryLayout layout = c.record.layout;
    const bool quickTime = layout == EntryLayout::AudioQtV1 || layout == EntryLayout::AudioQtV2;
    if (quickTime) {
        f.U("version", 2);
        f.U("revision_level", 2);
        VendorField(f, "vendor");
    } else if (f.Peek(8, 2) == 1) {
        // Only an stsd of version 1 leaves an entry of version 1 in the ISO layout.
        f.U("entry_version", 2);
        for (int i = 0; i < 3; ++i) f.U("reserved", 2);
    } else {
        f.U("reserved", 4);
        VendorField(f, "reserved");
    }
    if (layout == EntryLayout::AudioQtV2) {
        f.U("always3", 2);
        f.U("always16", 2);
        f.AsSigned("alwaysMinus2", 2);
        f.U("always0", 2);
        f.U("always65536", 4);
        f.U("sizeOfStructOnly", 4);
        Float64(f, "audioSampleRate");
        f.U("numAudioChannels", 4);
        f.U("always7F000000", 4);
        f.U("constBitsPerChannel", 4);
        const auto flags = f.U("formatSpecificFlags", 4);
        if (flags && c.record.type == F("lpcm")) f.Meaning(LpcmFlagsText(*flags));
        f.U("constBytesPerAudioPacket", 4);
        f.U("constLPCMFramesPerAudioPacket", 4);
    } else {
        f.U("channelcount", 2);
        f.U("samplesize", 2);
        if (quickTime) f.AsSigned("compression_ID", 2);
        else f.U("pre_defined", 2);
        f.U(quickTime ? "packet_size" : "reserved", 2);
        if (const auto rate = f.Fixed("samplerate", 4, 16, false); rate && *rate >= 1)
            f.Meaning(std::to_string(static_cast<std::uint32_t>(*rate)) + " Hz");
        if (layout == EntryLayout::AudioQtV1) {
            f.U("samplesPerPacket", 4);
            f.U("bytesPerPacket", 4);
            f.U("bytesPerFrame", 4);
            f.U("bytesPerSample", 4);
        }
    }
    TrailingBytes(f, c);
}

std::string TextDisplayFlagsText(std::uint64_t flags) {
    std::string text;
    if (flags & 0x20) Join(text, "scroll in");
    if (flags & 0x40) Join(text, "scroll out");
    if (flags & 0x60) {
        static const char* const kDirection[] = {"bottom to top", "right to left", "top to bottom", "left to right"};
        Join(text, std::string("scrolling ") + kDirection[(flags >> 7) & 3]);
    }
    if (flags & 0x800) Join(text, "continuous karaoke");
    if (flags & 0x20000) Join(text, "write text vertically");
    if (flags & 0x40000) Join(text, "fill text region");
    if (flags & 0x40000000) Join(text, "forced subtitles present");
    if (flags & 0x80000000) Join(text, "all subtitles forced");
    return text;
}

void Rgba(Fields& f, std::string_view label) {
    const auto v = f.U(label, 4);
    if (!v) return;
    f.Meaning("rgba(" + std::to_string(*v >> 24) + ", " + std::to_string(*v >> 16 & 0xFF) + ", " +
              std::to_string(*v >> 8 & 0xFF) + ", " + std::to_string(*v & 0xFF) + ")");
}

void Justification(Fields& f, std::string_view label, const char* zero, const char* minusOne) {
    const auto v = f.AsSigned(label, 1);
    if (!v) return;
    if (*v == 0) f.Meaning(zero);
    else if (*v == 1) f.Meaning("centre");
    else if (*v == -1) f.Meaning(minusOne);
}

// The 30 bytes tx3g and ffmpeg's QuickTime chapter entries share.
void TimedTextFields(Fields& f) {
    if (const auto flags = f.U("displayFlags", 4)) f.Meaning(TextDisplayFlagsText(*flags));
    Justification(f, "horizontal-justification", "left", "right");
    Justification(f, "vertical-justification", "top", "bottom");
    Rgba(f, "background-color-rgba");
    if (!f.Cut()) f.Heading("default-text-box (BoxRecord)");
    f.AsSigned("top", 2);
    f.AsSigned("left", 2);
    f.AsSigned("bottom", 2);
    f.AsSigned("right", 2);
    if (!f.Cut()) f.Heading("default-style (StyleRecord)");
    f.U("startChar", 2);
    f.U("endChar", 2);
    f.U("font-ID", 2);
    if (const auto face = f.U("face-style-flags", 1)) {
        std::string text;
        if (*face & 1) Join(text, "bold");
        if (*face & 2) Join(text, "italic");
        if (*face & 4) Join(text, "underline");
        f.Meaning(text);
    }
    f.U("font-size", 1);
    Rgba(f, "text-color-rgba");
}

void DescribeTimedText(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    TimedTextFields(f);
    TrailingBytes(f, c);
}

// A box of 8 bytes or more that ends inside the body starts at pos.
bool BoxFitsAt(const Fields& f, std::uint64_t pos) {
    if (pos + 8 > f.Size()) return false;
    const std::uint64_t size = f.Peek(pos, 4);
    return size >= 8 && size <= f.Size() - pos && IsPrintableCode(static_cast<std::uint32_t>(f.Peek(pos + 4, 4)));
}

// QuickTime's text entry. ffmpeg writes its chapter entries with the tx3g
// fields and a ftab box after them, which tells the two apart.
void DescribeQuickTimeText(Fields& f, const BoxContext&) {
    EntryHeader(f);
    if (BoxFitsAt(f, 38) && f.Peek(42, 4) == F("ftab")) {
        TimedTextFields(f);
        f.Rest("extensions");
        return;
    }
    f.U("displayFlags", 4);
    f.AsSigned("textJustification", 4);
    for (const char* colour : {"bgColor.red", "bgColor.green", "bgColor.blue"}) f.U(colour, 2);
    for (const char* side :
         {"defaultTextBox.top", "defaultTextBox.left", "defaultTextBox.bottom", "defaultTextBox.right"})
        f.AsSigned(side, 2);
    f.U("reserved", 8);
    f.U("fontNumber", 2);
    f.U("fontFace", 2);
    f.U("reserved", 1);
    f.U("reserved", 2);
    for (const char* colour : {"foreColor.red", "foreColor.green", "foreColor.blue"}) f.U(colour, 2);
    if (!f.Cut() && f.Left() > 0) f.PascalString("textName", 1 + f.Peek(f.Pos(), 1));
    f.Rest("extensions");
}

void DescribeTimecode(Fields& f, const BoxContext&) {
    EntryHeader(f);
    f.U("reserved", 4);
    if (const auto flags = f.U("flags", 4)) {
        std::string text;
        if (*flags & 1) Join(text, "drop frame");
        if (*flags & 2) Join(text, "24 hour max");
        if (*flags & 4) Join(text, "negative times OK");
        if (*flags & 8) Join(text, "counter");
        f.Meaning(text);
    }
    f.U("timescale", 4);
    f.U("frameDuration", 4);
    f.U("numberOfFrames", 1);
    f.U("reserved", 1);
    f.Rest("extensions");
}

void DescribeXmlMeta(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    static constexpr const char* kStpp[] = {"namespace", "schema_location", "auxiliary_mime_types"};
    static constexpr const char* kMetx[] = {"content_encoding", "namespace", "schema_location"};
    static constexpr const char* kMett[] = {"content_encoding", "mime_format"};
    std::span<const char* const> names = kMetx;
    if (c.record.type == F("stpp")) names = kStpp;
    if (c.record.type == F("mett")) names = kMett;
    // The walk takes as many strings as the body holds, so a missing one is no cut.
    for (const char* name : names)
        if (!f.Cut() && f.Left() > 0) f.CString(name);
    TrailingBytes(f, c);
}

void DescribeSystem(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    TrailingBytes(f, c);
}

void DescribeHint(Fields& f, const BoxContext& c) {
    EntryHeader(f);
    f.U("hinttrackversion", 2);
    f.U("highestcompatibleversion", 2);
    f.U("maxpacketsize", 4);
    TrailingBytes(f, c);
}

constexpr BoxRule Entry(const char (&type)[5], EntryLayout layout, DescribeFn describe) {
    return {kStsd, F(type), BoxKind::SampleEntry, layout, describe};
}
constexpr BoxRule V(const char (&type)[5]) { return Entry(type, EntryLayout::Visual, DescribeVisual); }
constexpr BoxRule A(const char (&type)[5]) { return Entry(type, EntryLayout::Audio, DescribeAudio); }
constexpr BoxRule S(const char (&type)[5]) { return Entry(type, EntryLayout::System, DescribeSystem); }

// "raw " has no row: it is raw video under a vide handler and 8-bit PCM
// under soun, and the walk gives an unknown entry the resv or enca row by
// the handler, which is the right layout in both cases.
constexpr BoxRule kRules[] = {
    // Visual: resv and encv also stand for unknown and protected video.
    V("resv"), V("encv"), V("avc1"), V("avc2"), V("avc3"), V("avc4"), V("hvc1"), V("hev1"), V("hvc2"), V("hev2"),
    V("lhv1"), V("lhe1"), V("dvh1"), V("dvhe"), V("dvav"), V("dva1"), V("dav1"), V("vvc1"), V("vvi1"), V("av01"),
    V("vp08"), V("vp09"), V("avs3"), V("mp4v"), V("s263"), V("h263"), V("jpeg"), V("mjpa"), V("mjpb"), V("mjp2"),
    V("j2ki"), V("uncv"), V("ap4h"), V("ap4x"), V("apch"), V("apcn"), V("apcs"), V("apco"), V("aprh"), V("aprn"),
    V("AVdn"), V("AVdh"), V("icod"), V("2vuy"), V("yuv2"), V("yuvs"), V("v210"), V("v410"), V("r210"), V("b64a"),
    V("SVQ1"), V("SVQ3"), V("svq1"), V("png "), V("rle "), V("rpza"), V("cvid"), V("smc "), V("tiff"), V("gif "),
    V("dvc "), V("dvcp"), V("dvpp"), V("dv5n"), V("dv5p"), V("dvh5"), V("dvh6"), V("dvhp"), V("drmi"),
    // Audio: enca also stands for unknown and protected audio; the walk picks
    // QuickTime's version 1 and 2 layouts from the entry's version field.
    A("enca"), A("mp4a"), A("ac-3"), A("ec-3"), A("ac-4"), A("Opus"), A("fLaC"), A("alac"), A("samr"), A("sawb"),
    A("sawp"), A("sevc"), A("secb"), A("secw"), A("sqcp"), A("ssmv"), A("mha1"), A("mha2"), A("mhm1"), A("mhm2"),
    A("dtsc"), A("dtse"), A("dtsh"), A("dtsl"), A("dtsx"), A("dtsy"), A("mlpa"), A("iamf"), A(".mp3"), A("twos"),
    A("sowt"), A("lpcm"), A("in24"), A("in32"), A("fl32"), A("fl64"), A("ipcm"), A("fpcm"), A("ulaw"), A("alaw"),
    A("ima4"), A("QDM2"), A("QDMC"), A("MAC3"), A("MAC6"), A("NONE"), A("agsm"), A("drms"),
    // Timed text and metadata.
    Entry("tx3g", EntryLayout::Text, DescribeTimedText), Entry("enct", EntryLayout::Text, DescribeTimedText),
    Entry("stpp", EntryLayout::XmlMeta, DescribeXmlMeta), Entry("metx", EntryLayout::XmlMeta, DescribeXmlMeta),
    Entry("mett", EntryLayout::XmlMeta, DescribeXmlMeta),
    // Nothing but reserved and index before the children.
    S("mp4s"), S("encs"), S("wvtt"), S("urim"), S("mebx"), S("c608"), S("c708"),
    Entry("rtp ", EntryLayout::Hint, DescribeHint), Entry("srtp", EntryLayout::Hint, DescribeHint),
    Entry("rrtp", EntryLayout::Hint, DescribeHint),
    // QuickTime entries whose fields end in something other than boxes: no children.
    Entry("text", EntryLayout::Plain, DescribeQuickTimeText), Entry("tmcd", EntryLayout::Plain, DescribeTimecode),
};

}  // namespace

std::span<const BoxRule> SampleEntryRules() { return kRules; }

}  // namespace kestrova::full
