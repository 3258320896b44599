// The full view of AVI: each chunk family's description (lines and the bytes
// they light), the OpenDML indexes across RIFF parts, and the movi scan.

#include <gtest/gtest.h>

#include <algorithm>

#include "AviFixtures.h"
#include "avi/full/AviFull.h"
#include "common/Formatters.h"
#include "shell/StreamSamples.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

Bytes LE64(std::uint64_t v) { return Cat({LE32(static_cast<std::uint32_t>(v)), LE32(static_cast<std::uint32_t>(v >> 32))}); }

// The offset of the n-th (from 0) occurrence of the four characters.
std::uint64_t Find(const Bytes& file, const std::string& id, int n = 0) {
    for (std::size_t i = 0; i + 4 <= file.size(); ++i)
        if (std::equal(id.begin(), id.end(), file.begin() + static_cast<std::ptrdiff_t>(i)) && n-- == 0) return i;
    ADD_FAILURE() << id << " not found";
    return 0;
}

void Patch(Bytes& file, std::uint64_t at, const Bytes& value) {
    std::copy(value.begin(), value.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
}

class FullAvi {
public:
    explicit FullAvi(const Bytes& contents) : file_(contents, "full.avi") {
        doc_.SetView(ViewKind::Full);
        doc_.OpenFile(file_.Path());
    }
    Document& Doc() { return doc_; }
    // The node of the chunk at this offset; 0 when none.
    std::int64_t NodeAt(std::uint64_t offset) const {
        for (const full::AviFullRecord& r : doc_.AviFull()->records)
            if (r.offset == offset) return std::int64_t{r.index} + 1;
        return 0;
    }
    std::vector<std::string> Click(std::uint64_t offset) {
        doc_.TreeView1Click(NodeAt(offset));
        return doc_.BoxDescriptionPane().Lines();
    }
    // The range of the first line that starts with prefix.
    ByteRange RangeOf(const std::string& prefix) const {
        const Pane& p = doc_.BoxDescriptionPane();
        for (std::size_t i = 0; i < p.Lines().size(); ++i)
            if (p.Lines()[i].rfind(prefix, 0) == 0) return p.RangeOf(i);
        ADD_FAILURE() << "no line " << prefix;
        return {};
    }

private:
    TempFile file_;
    Document doc_;
};

// A one-stream file around the header chunks and movi chunks given.
Bytes OneStream(const std::vector<Bytes>& strlExtra, const Bytes& movi, const Bytes& tail = {}, const Bytes& info = {}) {
    Bytes strl = Text("strl");
    for (const Bytes& b : {Strh(), StrfVideo(320, 240, Text("H264"))}) strl.insert(strl.end(), b.begin(), b.end());
    for (const Bytes& b : strlExtra) strl.insert(strl.end(), b.begin(), b.end());
    const Bytes hdrl = List("LIST", "hdrl", {Avih(), Chunk("LIST", strl)});
    return Chunk("RIFF", Cat({Text("AVI "), hdrl, info, Chunk("LIST", Cat({Text("movi"), movi})), tail}));
}

struct Line {
    std::string text;
    std::uint64_t offset;  // from the chunk's first byte; ~0: no range expected
    std::uint64_t length;
};

// Each family: the file, the chunk clicked, the lines it must show with their bytes.
TEST(AviFull, ChunkFamiliesShowEveryValueWithItsBytes) {
    const Bytes extensible = Chunk(
        "strf", Cat({LE16(0xFFFE), LE16(6), LE32(48000), LE32(48000 * 12), LE16(12), LE16(16), LE16(22), LE16(16),
                     LE32(0x3F), Bytes{0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}}));
    StreamHeaderFields audio;
    audio.type = "auds";
    const Bytes audioFile = Chunk("RIFF", Cat({Text("AVI "), List("LIST", "hdrl", {Avih(), List("LIST", "strl", {Strh(audio), extensible})}),
                                               List("LIST", "movi", {})}));
    Bytes fields = Cat({LE32(2), LE32(1), LE32(50), LE32(864), LE32(625), LE32(16 << 16 | 9), LE32(720), LE32(576), LE32(2)});
    for (std::uint32_t k = 0; k < 2; ++k)
        fields = Cat({fields, LE32(288), LE32(720), LE32(288), LE32(704), LE32(8), LE32(k), LE32(132), LE32(23 + k)});
    const Bytes vprpFile = OneStream({Chunk("vprp", fields)}, {});
    const Bytes infoFile = OneStream({}, {}, {},
                                     List("LIST", "INFO", {Chunk("IART", Cat({Text("Someone"), Bytes{0}})),
                                                           Chunk("ICMT", Cat({Text("odd"), Bytes{0}}))}));
    const Bytes mp3 = Chunk("strf", Cat({LE16(0x55), LE16(2), LE32(44100), LE32(16000), LE16(1152), LE16(0), LE16(12),
                                         LE16(1), LE32(2), LE16(1152), LE16(1), LE16(1393)}));
    const Bytes mp3File = Chunk("RIFF", Cat({Text("AVI "), List("LIST", "hdrl", {Avih(), List("LIST", "strl", {Strh(audio), mp3})}),
                                             List("LIST", "movi", {})}));
    struct Case {
        const char* name;
        Bytes file;
        std::string chunk;
        std::vector<Line> lines;
    };
    const std::vector<Case> cases = {
        {"WAVE_FORMAT_EXTENSIBLE", audioFile, "strf",
         {{"wFormatTag          : 65,534 (0XFFFE) WAVE_FORMAT_EXTENSIBLE", 8, 2},
          {"nChannels           : 6 (0X0006)", 10, 2},
          {"cbSize              : 22 (0X0016)", 24, 2},
          {"wValidBitsPerSample : 16 (0X0010)", 26, 2},
          {"dwChannelMask       : 63 (0X0000003F) front left, front right, front center, low frequency, back left, back right", 28, 4},
          {"SubFormat           : 01 00 00 00 00 00 10 00 80 00 00 AA 00 38 9B 71 PCM (KSDATAFORMAT_SUBTYPE, tag 0X0001)", 32, 16}}},
        {"MP3 extension", mp3File, "strf",
         {{"wID             : 1 (0X0001) MPEGLAYER3_ID_MPEG", 26, 2},
          {"fdwFlags        : 2 (0X00000002) padding off", 28, 4},
          {"nBlockSize      : 1,152 (0X0480)", 32, 2},
          {"nCodecDelay     : 1,393 (0X0571)", 36, 2}}},
        {"vprp with two fields", vprpFile, "vprp",
         {{"VideoFormatToken        : 2 (0X00000002) PAL CCIR 601", 8, 4},
          {"dwFrameAspectRatio      : 1,048,585 (0X00100009) 16:9", 28, 4},
          {"nbFieldPerFrame         : 2 (0X00000002)", 40, 4},
          {"field #2", ~0ull, 0},
          {"   VideoYValidStartLine : 24 (0X00000018)", 44 + 32 + 28, 4}}},
        {"INFO items", infoFile, "IART", {{"artist : \"Someone\"", 8, 8}}},
        {"INFO comment", infoFile, "ICMT", {{"comment : \"odd\"", 8, 4}}},
        {"stream header", vprpFile, "strh",
         {{"fccHandler            : XVID (0X58564944) Xvid (MPEG-4)", 12, 4},
          {"rate / scale          : = 25/1 = 25.000 per second (fps)", 28, 8},
          {"dwQuality             : 4,294,967,295 (0XFFFFFFFF) default", 48, 4}}},
        {"main header", vprpFile, "avih",
         {{"dwMicroSecPerFrame    : 40,000 (0X00009C40) = 25.000 fps", 8, 4},
          {"dwFlags               : 16 (0X00000010) AVIF_HASINDEX", 20, 4}}},
        {"video format", vprpFile, "strf", {{"biCompression   : H264 (0X48323634) H.264/AVC", 24, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FullAvi avi(c.file);
        const std::uint64_t at = Find(c.file, c.chunk);
        const std::vector<std::string> lines = avi.Click(at);
        for (const Line& l : c.lines) {
            ASSERT_NE(std::find(lines.begin(), lines.end(), l.text), lines.end()) << l.text;
            const ByteRange r = avi.RangeOf(l.text);
            if (l.offset == ~0ull) EXPECT_TRUE(r.Empty());
            else EXPECT_EQ(r, (ByteRange{at + l.offset, l.length})) << l.text;
        }
        EXPECT_EQ(CheckDescriptionRanges(avi.Doc()), std::vector<std::string>{});
    }
}

// Two RIFF parts, each with its movi and an ix00 the super index points at.
struct OpenDmlFile {
    Bytes bytes;
    std::uint64_t data[3];  // the data of the three frames
};

OpenDmlFile MakeOpenDml(std::uint16_t longsPerEntry = 2) {
    const Bytes indx = Chunk("indx", Cat({LE16(4), U8(0), U8(0), LE32(2), Text("00dc"), Zeros(12), Zeros(32)}));
    const auto ix = [&](std::uint32_t entries) {
        return Chunk("ix00", Cat({LE16(longsPerEntry), U8(longsPerEntry == 3 ? 1 : 0), U8(1), LE32(entries), Text("00dc"),
                                  LE64(0), LE32(0), Zeros(entries * 4u * longsPerEntry)}));
    };
    Bytes strl = Text("strl");
    for (const Bytes& b : {Strh(), StrfVideo(320, 240), indx}) strl.insert(strl.end(), b.begin(), b.end());
    const Bytes part1 = Chunk("RIFF", Cat({Text("AVI "), List("LIST", "hdrl", {Avih(), Chunk("LIST", strl)}),
                                           List("LIST", "movi", {Chunk("00dc", Bytes(10, 0xA1)), Chunk("00dc", Bytes(3, 0xA2)),
                                                                 Bytes{0}, ix(2)})}));
    const Bytes part2 = Chunk("RIFF", Cat({Text("AVIX"), List("LIST", "movi", {Chunk("00dc", Bytes(6, 0xA3)), ix(1)})}));
    OpenDmlFile f{Cat({part1, part2}), {}};
    Bytes& b = f.bytes;
    const std::uint64_t movi1 = Find(b, "movi"), movi2 = Find(b, "movi", 1);
    f.data[0] = Find(b, "00dc", 1) + 8;  // the first "00dc" is indx's dwChunkId
    f.data[1] = f.data[0] + 10 + 8;
    f.data[2] = movi2 + 4 + 8;
    const std::uint64_t ix1 = Find(b, "ix00"), ix2 = Find(b, "ix00", 1);
    const std::uint64_t stride = 4u * longsPerEntry;
    Patch(b, ix1 + 8 + 12, LE64(movi1 - 8));
    Patch(b, ix1 + 32, Cat({LE32(static_cast<std::uint32_t>(f.data[0] - (movi1 - 8))), LE32(10)}));
    Patch(b, ix1 + 32 + stride, Cat({LE32(static_cast<std::uint32_t>(f.data[1] - (movi1 - 8))), LE32(0x80000003)}));
    if (longsPerEntry == 3) Patch(b, ix1 + 32 + stride + 8, LE32(static_cast<std::uint32_t>(f.data[1] + 1 - (movi1 - 8))));
    Patch(b, ix2 + 8 + 12, LE64(movi2 - 8));
    Patch(b, ix2 + 32, Cat({LE32(static_cast<std::uint32_t>(f.data[2] - (movi2 - 8))), LE32(6)}));
    const std::uint64_t entries = Find(b, "indx") + 8 + 24;
    Patch(b, entries, Cat({LE64(ix1), LE32(8 + 24 + 2 * static_cast<std::uint32_t>(stride)), LE32(2)}));
    Patch(b, entries + 16, Cat({LE64(ix2), LE32(8 + 24 + static_cast<std::uint32_t>(stride)), LE32(1)}));
    return f;
}

TEST(AviFull, OpenDmlIndexesAcrossRiffParts) {
    for (const std::uint16_t longs : {std::uint16_t{2}, std::uint16_t{3}}) {
        SCOPED_TRACE(longs == 3 ? "field index" : "standard index");
        const OpenDmlFile f = MakeOpenDml(longs);
        FullAvi avi(f.bytes);
        // Samples in both views: from the ix00 chunks of both parts.
        for (const bool full : {true, false}) {
            if (!full) avi.Doc().SetView(ViewKind::Classic);
            const auto list = BuildDocumentSampleList(avi.Doc());
            ASSERT_TRUE(list);
            ASSERT_EQ(list->tracks.size(), 1u);
            const auto& s = list->tracks[0].samples;
            ASSERT_EQ(s.size(), 3u);
            EXPECT_EQ((std::vector<std::uint64_t>{s[0].offset, s[1].offset, s[2].offset}),
                      (std::vector<std::uint64_t>{f.data[0], f.data[1], f.data[2]}));
            EXPECT_EQ((std::vector<std::uint32_t>{s[0].size, s[1].size, s[2].size}), (std::vector<std::uint32_t>{10, 3, 6}));
            EXPECT_EQ((std::vector<bool>{s[0].key != 0, s[1].key != 0, s[2].key != 0}), (std::vector<bool>{true, false, true}));
            EXPECT_TRUE(list->notes.empty()) << list->notes.front();
        }
        avi.Doc().SetView(ViewKind::Full);
        const std::uint64_t ix1 = Find(f.bytes, "ix00"), ix2 = Find(f.bytes, "ix00", 1);
        const std::vector<std::string> indx = avi.Click(Find(f.bytes, "indx"));
        const std::string pointer = ") -> ix00 (node " + std::to_string(avi.NodeAt(ix2)) + ")";
        EXPECT_NE(std::find_if(indx.begin(), indx.end(),
                               [&](const std::string& l) {
                                   return l.rfind("   qwOffset    : " + GroupedText(ix2, {}) + " (", 0) == 0 &&
                                          l.size() > pointer.size() && l.compare(l.size() - pointer.size(), pointer.size(), pointer) == 0;
                               }),
                  indx.end());
        const std::vector<std::string> lines = avi.Click(ix1);
        std::string second = "   #2: data at " + Hex32Text(f.data[1]) + ", 3 bytes, delta frame";
        if (longs == 3) second += ", second field at " + Hex32Text(f.data[1] + 1);
        ASSERT_NE(std::find(lines.begin(), lines.end(), second), lines.end()) << second;
        EXPECT_EQ(avi.RangeOf("   #2:"), (ByteRange{ix1 + 32 + 4u * longs, 4u * longs}));
        EXPECT_EQ(CheckDescriptionRanges(avi.Doc()), std::vector<std::string>{});

        // A double-click on the third frame lights its entry in the second part's ix00.
        const auto list = BuildDocumentSampleList(avi.Doc());
        const std::int64_t line = ClickSampleSource(avi.Doc(), list->tracks[0], list->tracks[0].samples[2]);
        ASSERT_GE(line, 0);
        EXPECT_EQ(avi.Doc().ClickedNode(), avi.NodeAt(ix2));
        EXPECT_EQ(avi.Doc().Highlight(), (ByteRange{ix2 + 32, 4u * longs}));
    }
}

TEST(AviFull, SuperIndexPointingElsewhereIsSaidNotFollowed) {
    OpenDmlFile f = MakeOpenDml();
    Patch(f.bytes, Find(f.bytes, "indx") + 8 + 24, LE64(Find(f.bytes, "avih")));
    FullAvi avi(f.bytes);
    const auto list = BuildDocumentSampleList(avi.Doc());
    ASSERT_TRUE(list);
    // The second part's ix00 is read; what precedes its chunk is not scanned.
    EXPECT_EQ(list->tracks[0].samples.size(), 1u);
    EXPECT_NE(std::find_if(list->notes.begin(), list->notes.end(),
                           [](const std::string& n) { return n.find("not an ix## chunk of the stream") != std::string::npos; }),
              list->notes.end());
    const std::vector<std::string> indx = avi.Click(Find(f.bytes, "indx"));
    EXPECT_NE(std::find_if(indx.begin(), indx.end(),
                           [](const std::string& l) { return l.find("not an ix## chunk of stream 0: not followed") != std::string::npos; }),
              indx.end());
}

TEST(AviFull, MoviScanFollowsRecListsAndPadBytesAndStopsAtACutChunk) {
    StreamHeaderFields audio;
    audio.type = "auds";
    const Bytes movi = Cat({Chunk("00dc", Bytes(5, 0xB1)), Bytes{0},
                            List("LIST", "rec ", {Chunk("01wb", Bytes(4, 0xB2)), Chunk("00dc", Bytes(2, 0xB3))}),
                            Chunk("JUNK", Bytes(3, 0)), Bytes{0}, Chunk("01wb", Bytes(2, 0xB4)),
                            ChunkWithSize("00dc", 100, Bytes(20, 0xB5))});
    const Bytes file = Chunk("RIFF", Cat({Text("AVI "),
                                          List("LIST", "hdrl", {Avih(), VideoStreamList({}),
                                                                List("LIST", "strl", {Strh(audio), StrfAudio(1, 2, 8000, 32000)})}),
                                          Chunk("LIST", Cat({Text("movi"), movi}))}));
    for (const ViewKind view : {ViewKind::Full, ViewKind::Classic}) {
        SCOPED_TRACE(view == ViewKind::Full ? "full" : "classic");
        Document doc;
        doc.SetView(view);
        TempFile temp(file, "scan.avi");
        doc.OpenFile(temp.Path());
        const auto list = BuildDocumentSampleList(doc);
        ASSERT_TRUE(list);
        std::vector<std::pair<std::uint8_t, std::uint32_t>> seen;  // first byte, size
        for (const SampleTrack& t : list->tracks)
            for (const Sample& s : t.samples) seen.emplace_back(file[s.offset], s.size);
        EXPECT_EQ(seen, (std::vector<std::pair<std::uint8_t, std::uint32_t>>{{0xB1, 5}, {0xB3, 2}, {0xB2, 4}, {0xB4, 2}}));
        EXPECT_EQ(list->notes, (std::vector<std::string>{
                                   "no index: samples found by scanning movi",
                                   "the scan has no key-frame information: scanned samples are not marked as key",
                                   "the scan of movi stopped at " + Hex32Text(file.size() - 28) +
                                       ": its chunk runs past the end of the file"}));
    }
    // The full tree shows each stream's first data chunk and the rec list; a
    // scanned sample's double-click selects its chunk, or the list that holds it.
    FullAvi avi(file);
    std::vector<std::string> movis;
    for (const full::AviFullRecord& r : avi.Doc().AviFull()->records)
        if (r.parent >= 0 && avi.Doc().AviFull()->records[static_cast<std::size_t>(r.parent)].listType != 0 &&
            r.offset > Find(file, "movi"))
            movis.push_back(FourccText(r.id) + (r.listType ? " " + FourccText(r.listType) : ""));
    EXPECT_EQ(movis, (std::vector<std::string>{"00dc", "LIST rec ", "01wb"}));
    const auto list = BuildDocumentSampleList(avi.Doc());
    ClickSampleSource(avi.Doc(), list->tracks[1], list->tracks[1].samples[0]);
    EXPECT_EQ(avi.Doc().ClickedNode(), avi.NodeAt(Find(file, "01wb")));
    ClickSampleSource(avi.Doc(), list->tracks[1], list->tracks[1].samples[1]);
    EXPECT_EQ(avi.Doc().ClickedNode(), avi.NodeAt(Find(file, "movi") - 8));
}

TEST(AviFull, Idx1ListsEveryEntryWithItsAbsoluteOffset) {
    const Bytes movi = Cat({Chunk("00dc", Bytes(4, 1)), Chunk("00dc", Bytes(2, 2))});
    const Bytes body = Cat({Text("AVI "), List("LIST", "hdrl", {Avih(), VideoStreamList({})}), Chunk("LIST", Cat({Text("movi"), movi}))});
    const Bytes file = Chunk("RIFF", Cat({body, Idx1({IndexEntry("00dc", 0x10, 4, 4), IndexEntry("00dc", 0, 16, 2)})}));
    FullAvi avi(file);
    const std::uint64_t moviType = Find(file, "movi");
    const std::uint64_t idx1 = Find(file, "idx1");
    const std::vector<std::string> lines = avi.Click(idx1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "(offsets are relative to the movi list's type at " + Hex32Text(moviType) + ")"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "   #2: 00dc, flags 0000000000, chunk at " + Hex32Text(moviType + 16) + ", 2 bytes"),
              lines.end());
    EXPECT_EQ(avi.RangeOf("   #2:"), (ByteRange{idx1 + 8 + 16, 16}));
    const auto list = BuildDocumentSampleList(avi.Doc());
    ASSERT_EQ(list->tracks[0].samples.size(), 2u);
    EXPECT_GE(ClickSampleSource(avi.Doc(), list->tracks[0], list->tracks[0].samples[1]), 0);
    EXPECT_EQ(avi.Doc().Highlight(), (ByteRange{idx1 + 8 + 16, 16}));
}

TEST(AviFull, CodecTablesNameTodaysCodesAndKeepTheClassicNames) {
    const std::vector<std::pair<std::string, std::string>> video = {
        {"H264", "H.264/AVC"}, {"avc1", "H.264/AVC"}, {"HEVC", "H.265/HEVC"}, {"H265", "H.265/HEVC"},
        {"FMP4", "MPEG-4 Visual"}, {"DX50", "MPEG-4 Visual (DivX 5)"}, {"MJPG", "Motion JPEG"}, {"FFV1", "FFV1"},
        {"VP80", "VP8"}, {"VP90", "VP9"}, {"AV01", "AV1"}, {"MPG2", "MPEG-2 Video"},
        // The classic table's own codes keep its names.
        {"XVID", "Xvid (MPEG-4)"}, {"X264", "x264 - H.264/AVC encoder"}, {"HFYU", "Huffyuv v2.1.1 - CCESP Patch v0.2.5"},
        {"DVSD", "Cedocida DV codec (SD format) v0.1.6"}, {"DIVX", "MicroSoft MPEG-4 v1"}};
    const auto code4 = [](const std::string& c) {
        return static_cast<std::uint32_t>(std::uint8_t(c[0]) << 24 | std::uint8_t(c[1]) << 16 | std::uint8_t(c[2]) << 8 | std::uint8_t(c[3]));
    };
    for (const auto& [code, name] : video) EXPECT_EQ(full::AviVideoCodecName(code4(code)), name) << code;
    EXPECT_EQ(full::AviVideoCodecName(0), "uncompressed RGB (BI_RGB)");
    EXPECT_EQ(full::AviVideoCodecName(Fourcc("QQQQ")), "");
    const std::vector<std::pair<std::uint32_t, std::string>> audio = {
        {0x0001, "PCM"}, {0x0003, "IEEE float"}, {0x0006, "A-law"}, {0x0007, "\xC2\xB5-law"}, {0x0055, "MPEG-1 Layer 3 (MP3)"},
        {0x00FF, "AAC"}, {0x1610, "AAC (ADTS)"}, {0x706D, "AAC"}, {0x2000, "AC-3"}, {0x2001, "DTS"},
        {0x0161, "Windows Media Audio 2"}, {0x0162, "Windows Media Audio Pro"}, {0x674F, "Vorbis"}, {0xF1AC, "FLAC"},
        {0x704F, "Opus"}};
    for (const auto& [tag, name] : audio) EXPECT_EQ(full::AviAudioFormatName(tag), name) << tag;
    EXPECT_EQ(full::AviAudioFormatName(0x4321), "");
}

TEST(AviFull, SwitchingViewsKeepsTheSelectedChunk) {
    const OpenDmlFile f = MakeOpenDml();
    TempFile temp(f.bytes, "switch.avi");
    Document doc;
    doc.OpenFile(temp.Path());
    const std::uint64_t strf = Find(f.bytes, "strf");
    std::int64_t classicNode = 0;
    for (const ChunkRecord& r : doc.Avi()->records)
        if (r.offset == strf) classicNode = std::int64_t{r.index} + 1;
    doc.TreeView1Click(classicNode);
    doc.SetView(ViewKind::Full);
    ASSERT_TRUE(doc.AviFull());
    ASSERT_GE(doc.ClickedNode(), 1);
    EXPECT_EQ(doc.AviFull()->records[static_cast<std::size_t>(doc.ClickedNode() - 1)].offset, strf);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines()[0], "ckid            : strf (0X73747266)");
    doc.SetView(ViewKind::Classic);
    EXPECT_EQ(doc.ClickedNode(), classicNode);
}

}  // namespace
}  // namespace kestrova
