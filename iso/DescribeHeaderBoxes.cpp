// Descriptions of the movie, track, media and user-data header boxes.

#include "iso/DescribeBoxes.h"
#include "iso/DescribeLines.h"

namespace kestrova {
namespace {

constexpr const char* kCreation = "Creation Time : \n   ";
constexpr const char* kModification = "Modification Time: \n   ";

// Pad bit and the three letter codes of a packed language at body position pos.
void LanguageLines(LineWriter& w, std::uint16_t language, std::uint64_t pos, bool read) {
    const auto range = [&](std::uint64_t at, std::uint64_t len) { return read ? w.Field(at, len) : ByteRange{}; };
    w.Dec8("Pad           : ", language & 1, range(pos, 1));
    w.Dec8("   Language0  : ", (language >> 1) & 31, range(pos, 1));
    w.Dec8("   Language1  : ", (language >> 6) & 31, range(pos, 2));
    w.Dec8("   Language2  : ", (language >> 11) & 31, range(pos + 1, 1));
}

// The version and flags, the two time lines, the time scale and the duration
// of mvhd and mdhd; returns where the fields after them begin.
template <typename Row>
std::uint64_t TimeLines(LineWriter& w, const Row& row) {
    const bool v1 = row.Version() == 1;
    const std::uint64_t timeLength = v1 ? 8 : 4;
    w.VersionFlags(row.versionFlags);
    w.Time(kCreation, row.creationTime, 4, timeLength);
    w.Time(kModification, row.modificationTime, v1 ? 12 : 8, timeLength);
    w.Dec32("Timescale     : ", row.timescale, v1 ? 20 : 12);
    w.Dec32("Duration Time : ", row.duration, v1 ? 24 : 16, timeLength);
    return v1 ? 32 : 20;
}

void QuotedText(LineWriter& w, const char* label, const BoxText& text) {
    w.Line(std::string(label) + "\"" + text.text + "\"", text.len == 0 ? ByteRange{} : w.Field(text.pos, text.len));
}

}  // namespace

std::string HandlerTypeName(std::uint32_t handlerType) {
    const char* name = "UnKnown Type";
    switch (handlerType) {
    case Fourcc("vide"): name = "Visual Media"; break;
    case Fourcc("soun"): name = "Audio Media"; break;
    case Fourcc("hint"): name = "Hint"; break;
    case Fourcc("odsm"): name = "Object Descriptor"; break;
    case Fourcc("crsm"): name = "Clock Reference"; break;
    case Fourcc("sdsm"): name = "Scene Description"; break;
    case Fourcc("m7sm"): name = "MPEG-7 Stream"; break;
    case Fourcc("ocsm"): name = "Object Content Info"; break;
    case Fourcc("ipsm"): name = "IPMP"; break;
    case Fourcc("mjsm"): name = "MPEG-J"; break;
    case Fourcc("mp7t"): name = "MPEG-7 XML"; break;
    case Fourcc("mp7b"): name = "MPEG-7 binary XML"; break;
    default: break;
    }
    return std::string(name) + " (" + FourccText(handlerType) + ")";
}

void DescribeMvhd(DocumentView& view, const MvhdRow& row) {
    LineWriter w(view, row.body);
    const std::uint64_t p = TimeLines(w, row);
    w.Dec32("Playback speed: ", row.rate, p);
    w.Dec16("Volume        : ", row.volume, p + 4);
    for (std::size_t i = 0; i < row.reserved.size(); ++i)
        w.Dec8("   Reserved" + IndexText(static_cast<std::int64_t>(i)), row.reserved[i], p + 6 + i);
    for (std::size_t i = 0; i < row.matrix.size(); ++i)
        w.Dec32("   Matrix" + IndexText(static_cast<std::int64_t>(i)), row.matrix[i], p + 16 + 4 * i);
    // The selection time and duration carry the preview labels again.
    static constexpr const char* kPreDefined[] = {"Preview Time  : ", "Preview Duration : ", "Still Poster  : ",
                                                  "Preview Time  : ", "Preview Duration : ", "Current Time  : "};
    for (std::size_t i = 0; i < row.preDefined.size(); ++i) w.Dec32(kPreDefined[i], row.preDefined[i], p + 52 + 4 * i);
    w.Dec32("Next Track ID : ", row.nextTrackId, p + 76);
}

void DescribeIods(DocumentView& view, const IodsRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec8("IOD Type Tag  : ", row.descriptorTag, 4);
    const bool read = row.initialDescriptor;
    const auto field = [&](std::uint64_t pos, std::uint64_t len) { return read ? w.Field(pos, len) : ByteRange{}; };
    w.Dec8("sizeOfInstance:", row.descriptorLength.value, LengthRange(w, row.descriptorLength));
    const std::uint64_t p = row.fieldsPos;
    w.Dec16("OD ID         : ", row.objectDescriptorWord, field(p, 2));
    w.Dec8("OD Profile Level      : ", row.odProfileLevel, field(p + 2, 1));
    w.Dec8("Scen Profile Level    : ", row.sceneProfileLevel, field(p + 3, 1));
    w.Dec8("Audio Profile Level   : ", row.audioProfileLevel, field(p + 4, 1));
    w.Dec8("Video Profile Level   : ", row.visualProfileLevel, field(p + 5, 1));
    w.Dec8("Graphics Profile Level: ", row.graphicsProfileLevel, field(p + 6, 1));
    for (const EsIdIncEntry& e : row.esIdInc) {
        w.Plain("--- ES ID Tag --------------------------");
        w.Dec8("   ES ID         : ", e.tag, e.tagPos);
        w.Dec8("   sizeOfInstance: ", e.length.value, LengthRange(w, e.length));
        w.Dec32("   Track ID      : ", e.trackId, e.trackIdPos);
    }
}

void DescribeMetaText(DocumentView& view, const MetaTextRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    LanguageLines(w, row.language, 4, row.hasLanguage);
    QuotedText(w, "Annotation    : ", row.text);
}

void DescribeTkhd(DocumentView& view, const TkhdRow& row, std::uint32_t trackWidth, std::uint32_t trackHeight) {
    LineWriter w(view, row.body);
    const bool v1 = row.Version() == 1;
    const std::uint64_t timeLength = v1 ? 8 : 4;
    w.VersionFlags(row.versionFlags);
    w.Time(kCreation, row.creationTime, 4, timeLength);
    w.Time(kModification, row.modificationTime, v1 ? 12 : 8, timeLength);
    w.Dec32("Track ID      : ", row.trackId, v1 ? 20 : 12);
    w.Dec32("Reserved      : ", row.reserved1, v1 ? 24 : 16);
    w.Dec32("Duration      : ", row.duration, v1 ? 28 : 20, timeLength);
    const std::uint64_t p = v1 ? 36 : 24;
    // Two 32-bit words, shown in the 8-bit form.
    w.Dec8("   Reserved" + IndexText(0), row.reserved2, p, 4);
    w.Dec8("   Reserved" + IndexText(1), row.reserved3, p + 4, 4);
    w.Dec16("Video Layer   : ", row.layer, p + 8);
    w.Dec16("Alternate     : ", row.alternateGroup, p + 10);
    w.Dec16("Audio volume  : ", row.volume, p + 12);
    w.Dec16("Reserved      : ", row.reserved4, p + 14);
    for (std::size_t i = 0; i < row.matrix.size(); ++i)
        w.Dec32("   Matrix" + IndexText(static_cast<std::int64_t>(i)), row.matrix[i], p + 16 + 4 * i);
    w.Line(VideoWidthText(trackWidth, row.width), p + 52, 4);
    w.Line(VideoHeightText(trackHeight, row.height), p + 56, 4);
}

void DescribeMpod(DocumentView& view, const MpodRow& row) {
    LineWriter w(view, row.body);
    for (std::size_t i = 0; i < row.trackIds.size(); ++i) w.Dec32("   Track ID : ", row.trackIds[i], 4 * i);
}

void DescribeMdhd(DocumentView& view, const MdhdRow& row) {
    LineWriter w(view, row.body);
    const std::uint64_t p = TimeLines(w, row);
    LanguageLines(w, row.language, p, true);
    w.Dec16("Quality       : ", row.preDefined, p + 2);
}

void DescribeHdlr(DocumentView& view, const HdlrRow& row) {
    LineWriter w(view, row.body);
    const auto field = [&](std::uint64_t pos, std::uint64_t len) { return row.decoded ? w.Field(pos, len) : ByteRange{}; };
    w.VersionFlags(row.versionFlags);
    w.Dec32("Type          : ", row.preDefined, field(4, 4));
    w.Line("Sub Type      : " + HandlerTypeName(row.handlerType), field(8, 4));
    w.Dec32("Manufacturer  : ", row.reserved[0], field(12, 4));
    w.Dec32("Component Flags      : ", row.reserved[1], field(16, 4));
    w.Dec32("Component Flags Mask : ", row.reserved[2], field(20, 4));
    QuotedText(w, "Name          : ", row.name);
}

void DescribeVmhd(DocumentView& view, const VmhdRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec16("Graphic Mode  : ", row.graphicsMode, 4);
    for (std::size_t i = 0; i < row.opcolor.size(); ++i)
        w.Dec16("   Color " + EntryNumberText(static_cast<std::int64_t>(i)), row.opcolor[i], 6 + 2 * i);
}

void DescribeSmhd(DocumentView& view, const SmhdRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec16("Blance        : ", row.balance, 4);
    w.Dec16("Reserved      : ", row.reserved, 6);
}

void DescribeHmhd(DocumentView& view, const HmhdRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec16("Max  Packet delivery unint: ", row.maxPduSize, 4);
    w.Dec16("Avg. Packet delivery unint: ", row.avgPduSize, 6);
    w.Dec32("Max  Bit Rate : ", row.maxBitrate, 8);
    w.Dec32("Avg. Bit Rate:  ", row.avgBitrate, 12);
    w.Dec32("Reserved      : ", row.slidingAvgBitrate, 16);
}

void DescribeDref(DocumentView& view, const DrefRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("entry-count   : ", row.entryCount, 4);
}

void DescribeUrl(DocumentView& view, const UrlRow& row) { LineWriter(view, row.body).VersionFlags(row.versionFlags); }

void DescribeStsd(DocumentView& view, const StsdRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Entry Count: ", row.entryCount, 4);
}

}  // namespace kestrova
