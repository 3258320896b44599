// Sample entries in the full view: a one-track file in, the entry's lines and
// ranges out, and the children the walk finds after the entry's own fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

#include "FullFixtures.h"

namespace kestrova {
namespace {

using namespace test;

// The entry's body: after ftyp, five box headers, hdlr, stsd's own 16 bytes and the entry header.
constexpr std::uint64_t kBody = 16 + 5 * 8 + 33 + 16 + 8;

Bytes VisualFields() {
    return Cat({Zeros(6), U16(1), Zeros(4), Text("appl"), Zeros(8), U16(64), U16(48), U32(0x480000), U32(0x480000),
                U32(0), U16(1), U8(4), Text("Test"), Zeros(27), U16(0x18), U16(0xFFFF)});
}
// Version 1 and 2 mean QuickTime's layouts under an stsd of version 0.
Bytes AudioFields(std::uint16_t version, std::uint16_t compressionId = 0) {
    return Cat({Zeros(6), U16(1), U16(version), Zeros(6), U16(2), U16(16), U16(compressionId), U16(0), U32(48000u << 16)});
}
Bytes QuickTimeV2Fields() {
    return Cat({Zeros(6), U16(1), U16(2), U16(0), Text("appl"), U16(3), U16(16), U16(0xFFFE), U16(0), U32(65536),
                U32(72), U64(std::bit_cast<std::uint64_t>(96000.0)), U32(2), U32(0x7F000000), U32(32), U32(9), U32(8),
                U32(1)});
}
Bytes Tx3gFields() {
    return Cat({Zeros(6), U16(1), U32(0x20060), U8(1), U8(0xFF), U32(0xFF), Zeros(4), U16(48), U16(0xFFC0), Zeros(4),
                U16(1), U8(3), U8(18), U32(0xFFFFFFFF)});
}
Bytes Prefix(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }
const Bytes kChild = Box("kids", Bytes{1, 2, 3, 4});

struct Line {
    std::string text;
    std::int64_t pos = -1;  // in the entry's body; -1: no range
    std::uint64_t length = 0;
};

TEST(FullSampleEntries, FieldsStopWhereTheChildrenStart) {
    const auto cut = [](std::uint64_t pos, const std::string& what) {
        return "(the box ends at offset " + std::to_string(kBody + pos) + ": " + what + ")";
    };
    const struct {
        const char* name;
        Bytes file;
        const char* type;
        std::vector<Line> expected;  // the last lines
    } cases[] = {
        {"visual", TrackFile("vide", Box("avc1", Cat({VisualFields(), Box("avcC", Bytes{1})}))), "avc1",
         {{"width                : 64 (0X0040)", 24, 2},
          {"height               : 48 (0X0030)", 26, 2}, {"horizresolution      : 72.0 (0X00480000) dpi", 28, 4},
          {"vertresolution       : 72.0 (0X00480000) dpi", 32, 4}, {"reserved             : 0 (0000000000)", 36, 4},
          {"frame_count          : 1 (0X0001)", 40, 2}, {"compressorname       : \"Test\"", 42, 32},
          {"depth                : 24 (0X0018) colour, no alpha", 74, 2}, {"pre_defined          : -1 (0XFFFF)", 76, 2}}},
        {"ISO audio", TrackFile("soun", Box("mp4a", Cat({AudioFields(0), kChild}))), "mp4a",
         {{"reserved             : 0 (0000000000)", 8, 4}, {"reserved             : 0 (0000000000)", 12, 4},
          {"channelcount         : 2 (0X0002)", 16, 2}, {"samplesize           : 16 (0X0010)", 18, 2},
          {"pre_defined          : 0 (000000)", 20, 2}, {"reserved             : 0 (000000)", 22, 2},
          {"samplerate           : 48000.0 (0XBB800000) 48000 Hz", 24, 4}}},
        {"QuickTime version 1", TrackFile("soun", Box("twos", Cat({AudioFields(1, 0xFFFE), U32(1), U32(2), U32(4), U32(2),
                                                                   kChild}))), "twos",
         {{"version              : 1 (0X0001)", 8, 2}, {"revision_level       : 0 (000000)", 10, 2},
          {"vendor               : 0 (0000000000)", 12, 4}, {"channelcount         : 2 (0X0002)", 16, 2},
          {"samplesize           : 16 (0X0010)", 18, 2}, {"compression_ID       : -2 (0XFFFE)", 20, 2},
          {"packet_size          : 0 (000000)", 22, 2}, {"samplerate           : 48000.0 (0XBB800000) 48000 Hz", 24, 4},
          {"samplesPerPacket     : 1 (0X00000001)", 28, 4}, {"bytesPerPacket       : 2 (0X00000002)", 32, 4},
          {"bytesPerFrame        : 4 (0X00000004)", 36, 4}, {"bytesPerSample       : 2 (0X00000002)", 40, 4}}},
        {"QuickTime version 2", TrackFile("soun", Box("lpcm", Cat({QuickTimeV2Fields(), kChild}))), "lpcm",
         {{"sizeOfStructOnly              : 72 (0X00000048)", 28, 4},
          {"audioSampleRate               : 96000.0 (0X40F7700000000000)", 32, 8},
          {"numAudioChannels              : 2 (0X00000002)", 40, 4},
          {"always7F000000                : 2,130,706,432 (0X7F000000)", 44, 4},
          {"constBitsPerChannel           : 32 (0X00000020)", 48, 4},
          {"formatSpecificFlags           : 9 (0X00000009) float, packed", 52, 4},
          {"constBytesPerAudioPacket      : 8 (0X00000008)", 56, 4},
          {"constLPCMFramesPerAudioPacket : 1 (0X00000001)", 60, 4}}},
        {"tx3g", TrackFile("text", Box("tx3g", Cat({Tx3gFields(), kChild}))), "tx3g",
         {{"displayFlags             : 131,168 (0X00020060) scroll in, scroll out, scrolling bottom to top, write text "
           "vertically", 8, 4},
          {"horizontal-justification : 1 (0X01) centre", 12, 1}, {"vertical-justification   : -1 (0XFF) bottom", 13, 1},
          {"background-color-rgba    : 255 (0X000000FF) rgba(0, 0, 0, 255)", 14, 4}, {"default-text-box (BoxRecord)"},
          {"top                      : 0 (0X0000)", 18, 2}, {"left                     : 0 (0X0000)", 20, 2},
          {"bottom                   : 48 (0X0030)", 22, 2}, {"right                    : -64 (0XFFC0)", 24, 2},
          {"default-style (StyleRecord)"}, {"startChar                : 0 (000000)", 26, 2},
          {"endChar                  : 0 (000000)", 28, 2}, {"font-ID                  : 1 (0X0001)", 30, 2},
          {"face-style-flags         : 3 (0X03) bold, italic", 32, 1}, {"font-size                : 18 (0X12)", 33, 1},
          {"text-color-rgba          : 4,294,967,295 (0XFFFFFFFF) rgba(255, 255, 255, 255)", 34, 4}}},
        {"stpp without its third string", TrackFile("subt", Box("stpp", Cat({Zeros(6), U16(1), Text("urn:a"), U16(0)}))),
         "stpp", {{"namespace            : \"urn:a\"", 8, 6}, {"schema_location      : \"\"", 14, 1}}},
        {"mp4s", TrackFile("odsm", Box("mp4s", Cat({Zeros(6), U16(1), kChild}))), "mp4s",
         {{"reserved             : 00 00 00 00 00 00", 0, 6}, {"data_reference_index : 1 (0X0001)", 6, 2}}},
        {"rtp", TrackFile("hint", Box("rtp ", Cat({Zeros(6), U16(1), U16(1), U16(1), U32(1450), kChild}))), "rtp ",
         {{"hinttrackversion         : 1 (0X0001)", 8, 2}, {"highestcompatibleversion : 1 (0X0001)", 10, 2},
          {"maxpacketsize            : 1,450 (0X000005AA)", 12, 4}}},
        {"bytes after the last child", TrackFile("vide", Box("SVQ3", Cat({VisualFields(), kChild, Zeros(4)}))), "SVQ3",
         {{"pre_defined          : -1 (0XFFFF)", 76, 2}, {"trailing bytes       : 00 00 00 00", 90, 4}}},
        {"timecode", TrackFile("tmcd", Box("tmcd", Cat({Zeros(6), U16(1), U32(0), U32(3), U32(30000), U32(1001), U8(30),
                                                        U8(0)}))), "tmcd",
         {{"flags                : 3 (0X00000003) drop frame, 24 hour max", 12, 4},
          {"timescale            : 30,000 (0X00007530)", 16, 4}, {"frameDuration        : 1,001 (0X000003E9)", 20, 4},
          {"numberOfFrames       : 30 (0X1E)", 24, 1}, {"reserved             : 0 (0000)", 25, 1}}},
        {"QuickTime text", TrackFile("text", Box("text", Cat({Zeros(6), U16(1), Zeros(39), U16(0x100), U16(0x200), U8(5),
                                                              Text("Arial")}))), "text",
         {{"foreColor.green       : 256 (0X0100)", 47, 2}, {"foreColor.blue        : 512 (0X0200)", 49, 2},
          {"textName              : \"Arial\"", 51, 6}}},
        {"QuickTime text as ffmpeg writes it", TrackFile("text", Box("text", Cat({Tx3gFields(), Box("ftab", U16(0))}))),
         "text", {{"text-color-rgba          : 4,294,967,295 (0XFFFFFFFF) rgba(255, 255, 255, 255)", 34, 4},
                  {"extensions               : 00 00 00 0A 66 74 61 62 00 00", 38, 10}}},
        {"cut visual entry", TrackFile("vide", BoxWithSize(86, "avc1", Prefix(VisualFields(), 30))), "avc1",
         {{"height               : 48 (0X0030)", 26, 2}, {cut(30, "horizresolution needs 4 bytes, 2 are left")}}},
        {"ISO entry of version 1, cut", TrackFile("soun", BoxWithSize(44, "mp4a", Prefix(AudioFields(1), 16)), 1), "mp4a",
         {{"entry_version        : 1 (0X0001)", 8, 2}, {"reserved             : 0 (000000)", 10, 2},
          {"reserved             : 0 (000000)", 12, 2}, {"reserved             : 0 (000000)", 14, 2},
          {cut(16, "channelcount needs 2 bytes, 0 are left")}}},
        {"cut in QuickTime's sample rate", TrackFile("soun", BoxWithSize(80, "lpcm", Prefix(QuickTimeV2Fields(), 36))),
         "lpcm", {{"sizeOfStructOnly     : 72 (0X00000048)", 28, 4},
                  {cut(36, "audioSampleRate needs 8 bytes, 4 are left")}}},
    };
    for (const auto& c : cases) {
        const FullLines got = DescribeInFullView(c.file, c.type);
        ASSERT_GE(got.lines.size(), c.expected.size()) << c.name;
        const std::size_t skip = got.lines.size() - c.expected.size();
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const Line& l = c.expected[i];
            EXPECT_EQ(got.lines[skip + i], l.text) << c.name;
            const ByteRange want = l.pos < 0 ? ByteRange{} : ByteRange{kBody + l.pos, l.length};
            EXPECT_EQ(got.ranges[skip + i], want) << c.name;
        }
    }
}

// Protected entries and types the table does not know show the fields of the layout they stand for.
TEST(FullSampleEntries, ProtectedAndUnknownEntriesShowTheOriginalsFields) {
    const Bytes visual = Cat({VisualFields(), kChild}), audio = Cat({AudioFields(0), kChild});
    const struct {
        const char *handler, *type, *original;
        Bytes body;
    } cases[] = {{"vide", "encv", "avc1", visual}, {"soun", "enca", "mp4a", audio},  {"vide", "zzz1", "avc1", visual},
                 {"soun", "zzz1", "mp4a", audio},  {"text", "enct", "tx3g", Tx3gFields()}};
    for (const auto& c : cases) {
        const FullLines got = DescribeInFullView(TrackFile(c.handler, Box(c.type, c.body)), c.type);
        const FullLines want = DescribeInFullView(TrackFile(c.handler, Box(c.original, c.body)), c.original);
        EXPECT_GT(got.lines.size(), 2u) << c.type;
        EXPECT_EQ(got.lines, want.lines) << c.type;
        EXPECT_EQ(got.ranges, want.ranges) << c.type;
    }
}

// Type and offset from the entry's start of each child of the first sample entry.
std::vector<std::pair<std::string, std::uint64_t>> EntryChildren(const Bytes& file) {
    TempFile temp(file, "entry.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    const auto& records = doc.Full()->records;
    const auto entry = std::find_if(records.begin(), records.end(), [&](const full::FullRecord& r) {
        return r.parent >= 0 && records[static_cast<std::size_t>(r.parent)].type == Fourcc("stsd");
    });
    if (entry == records.end()) return {{"(no entry)", 0}};
    std::vector<std::pair<std::string, std::uint64_t>> out;
    for (const full::FullRecord& r : records)
        if (r.parent == entry->index) out.emplace_back(FourccText(r.type), r.offset - entry->offset);
    return out;
}

TEST(FullSampleEntries, ChildrenStartAfterTheLayoutsFields) {
    const Bytes visual = Cat({VisualFields(), kChild}), audio = Cat({AudioFields(0), kChild});
    const struct {
        const char* name;
        Bytes file;
        std::vector<std::pair<std::string, std::uint64_t>> children;
    } cases[] = {
        {"visual", TrackFile("vide", Box("avc1", visual)), {{"kids", 86}}},
        {"ISO audio", TrackFile("soun", Box("mp4a", audio)), {{"kids", 36}}},
        {"ISO audio of version 1", TrackFile("soun", Box("mp4a", Cat({AudioFields(1), kChild})), 1), {{"kids", 36}}},
        {"QuickTime version 1", TrackFile("soun", Box("twos", Cat({AudioFields(1), Zeros(16), kChild}))), {{"kids", 52}}},
        {"QuickTime version 2", TrackFile("soun", Box("lpcm", Cat({QuickTimeV2Fields(), kChild}))), {{"kids", 72}}},
        {"tx3g", TrackFile("text", Box("tx3g", Cat({Tx3gFields(), kChild}))), {{"kids", 46}}},
        {"stpp after its strings", TrackFile("subt", Box("stpp", Cat({Zeros(6), U16(1), Text("a"), U16(0), Text("b"),
                                                                       U8(0), kChild}))), {{"kids", 21}}},
        {"mp4s", TrackFile("odsm", Box("mp4s", Cat({Zeros(8), kChild, kChild}))), {{"kids", 16}, {"kids", 28}}},
        {"rtp", TrackFile("hint", Box("rtp ", Cat({Zeros(16), kChild}))), {{"kids", 24}}},
        {"raw video", TrackFile("vide", Box("raw ", visual)), {{"kids", 86}}},
        {"raw audio", TrackFile("soun", Box("raw ", audio)), {{"kids", 36}}},
        {"unknown under vide", TrackFile("vide", Box("zzz1", visual)), {{"kids", 86}}},
        {"unknown under soun", TrackFile("soun", Box("zzz1", audio)), {{"kids", 36}}},
        {"unknown under another handler", TrackFile("meta", Box("zzz1", Cat({Zeros(8), kChild}))), {}},
        {"tmcd", TrackFile("tmcd", Box("tmcd", Cat({Zeros(26), kChild}))), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(EntryChildren(c.file), c.children) << c.name;
}

}  // namespace
}  // namespace kestrova
