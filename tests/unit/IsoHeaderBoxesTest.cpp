// The header boxes and sample tables: fixture bytes in, description lines out.

#include <gtest/gtest.h>

#include "IsoFixtures.h"
#include "iso/DisplayParseIso.h"

namespace kestrova {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

struct DescriptionCase {
    const char* name;
    Bytes file;
    const char* caption;
    int occurrence;
    Lines expected;
};

void ExpectDescriptions(const std::vector<DescriptionCase>& cases) {
    for (const DescriptionCase& c : cases) {
        OpenedIso iso(c.file);
        EXPECT_EQ(iso.Lines(c.caption, c.occurrence), c.expected) << c.name;
    }
}

Bytes Mvhd1() {
    Bytes reserved, matrix, preDefined;
    for (std::uint8_t i = 1; i <= 10; ++i) reserved = Cat({reserved, U8(i)});
    for (std::uint32_t i = 1; i <= 9; ++i) matrix = Cat({matrix, U32(i)});
    for (std::uint32_t i = 11; i <= 16; ++i) preDefined = Cat({preDefined, U32(i)});
    return FullBox("mvhd", 1, 0,
                   Cat({U64(0x100000000), U64(0x100000001), U32(600), U64(0x200000000), U32(0x10000), U16(0x100),
                        reserved, matrix, preDefined, U32(7)}));
}

TEST(IsoHeaderDescriptions, MovieHeaderInBothLayouts) {
    const Lines v1 = {
        "version  : 1 (0X01)", "flags    : 0 (00000000)",
        "Creation Time : ", "   2040-02-06 06:28:16", "   4,294,967,296 (0X100000000)",
        "Modification Time: ", "   2040-02-06 06:28:17", "   4,294,967,297 (0X100000001)",
        "Timescale     : 600 (0X00000258)", "Duration Time : 8,589,934,592 (0X200000000)",
        "Playback speed: 65,536 (0X00010000)", "Volume        : 256 (0X0100)",
        "   Reserved[0]: 1 (0X01)", "   Reserved[1]: 2 (0X02)", "   Reserved[2]: 3 (0X03)", "   Reserved[3]: 4 (0X04)",
        "   Reserved[4]: 5 (0X05)", "   Reserved[5]: 6 (0X06)", "   Reserved[6]: 7 (0X07)", "   Reserved[7]: 8 (0X08)",
        "   Reserved[8]: 9 (0X09)", "   Reserved[9]: 10 (0X0A)",
        "   Matrix[0]: 1 (0X00000001)", "   Matrix[1]: 2 (0X00000002)", "   Matrix[2]: 3 (0X00000003)",
        "   Matrix[3]: 4 (0X00000004)", "   Matrix[4]: 5 (0X00000005)", "   Matrix[5]: 6 (0X00000006)",
        "   Matrix[6]: 7 (0X00000007)", "   Matrix[7]: 8 (0X00000008)", "   Matrix[8]: 9 (0X00000009)",
        "Preview Time  : 11 (0X0000000B)", "Preview Duration : 12 (0X0000000C)", "Still Poster  : 13 (0X0000000D)",
        "Preview Time  : 14 (0X0000000E)", "Preview Duration : 15 (0X0000000F)", "Current Time  : 16 (0X00000010)",
        "Next Track ID : 7 (0X00000007)"};
    OpenedIso iso(Movie({Mvhd1()}));
    EXPECT_EQ(iso.Lines("mvhd"), v1);

    // Version 0: 32-bit times, the rest 12 bytes earlier; a zero time shows the date alone.
    const Bytes mvhd0 = FullBox("mvhd", 0, 0, Cat({U32(0), U32(3000000000u), U32(1000), U32(5000), U32(0x10000),
                                                    U16(0x100), Zeros(10), Zeros(36), Zeros(24), U32(2)}));
    OpenedIso iso0(Movie({mvhd0}));
    const Lines lines = iso0.Lines("mvhd");
    ASSERT_EQ(lines.size(), v1.size());
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 10),
              (Lines{"version  : 0 (0000)", "flags    : 0 (00000000)", "Creation Time : ", "   1904-01-01",
                     "   0 (0000000000)", "Modification Time: ", "   1999-01-24 05:20:00",
                     "   3,000,000,000 (0XB2D05E00)", "Timescale     : 1,000 (0X000003E8)",
                     "Duration Time : 5,000 (0X00001388)"}));
    EXPECT_EQ(lines.back(), "Next Track ID : 2 (0X00000002)");
}

TEST(IsoHeaderDescriptions, TrackAndMediaBoxes) {
    const Bytes vmhd = FullBox("vmhd", 0, 1, Cat({U16(0), U16(1), U16(2), U16(0xFFFF)}));
    const Bytes tracks = Movie({Box("trak", {Tkhd(1, 9, 320, 240, 0x100000000, 0x123456789),
                                             Box("mdia", {Mdhd(1, 90000, 0x100000000), Hdlr("vide"),
                                                          Box("minf", {vmhd})})}),
                                Box("trak", {Tkhd(0, 2, 0, 0), Box("mdia", {Mdhd(0, 48000, 96000, 0x15, 0xC7),
                                                                             Hdlr("text", Text("Subs")),
                                                                             Box("minf", {FullBox("smhd", 0, 0, Cat({U16(0x0180), U16(0)}))})})})});
    const Lines tkhd1 = {
        "version  : 1 (0X01)", "flags    : 3 (0X000003)",
        "Creation Time : ", "   2040-02-06 06:28:16", "   4,294,967,296 (0X100000000)",
        "Modification Time: ", "   2040-02-06 06:28:17", "   4,294,967,297 (0X100000001)",
        "Track ID      : 9 (0X00000009)", "Reserved      : 0 (0000000000)",
        "Duration      : 4,886,718,345 (0X123456789)", "   Reserved[0]: 0 (0000)", "   Reserved[1]: 0 (0000)",
        "Video Layer   : 0 (000000)", "Alternate     : 0 (000000)", "Audio volume  : 256 (0X0100)",
        "Reserved      : 0 (000000)", "   Matrix[0]: 65,536 (0X00010000)", "   Matrix[1]: 0 (0000000000)",
        "   Matrix[2]: 0 (0000000000)", "   Matrix[3]: 0 (0000000000)", "   Matrix[4]: 65,536 (0X00010000)",
        "   Matrix[5]: 0 (0000000000)", "   Matrix[6]: 0 (0000000000)", "   Matrix[7]: 0 (0000000000)",
        "   Matrix[8]: 1,073,741,824 (0X40000000)", "Video Width (320): 320 (0X01400000>>16)",
        "Video Height(240): 240 (0X00F00000>>16)"};
    ExpectDescriptions({
        {"tkhd version 1", tracks, "tkhd", 0, tkhd1},
        {"mdhd version 1, language eng", tracks, "mdhd", 0,
         {"version  : 1 (0X01)", "flags    : 0 (00000000)", "Creation Time : ", "   1904-01-01", "   0 (0000000000)",
          "Modification Time: ", "   1904-01-01", "   0 (0000000000)", "Timescale     : 90,000 (0X00015F90)",
          "Duration Time : 4,294,967,296 (0X100000000)", "Pad           : 0 (0000)", "   Language0  : 5 (0X05)",
          "   Language1  : 14 (0X0E)", "   Language2  : 7 (0X07)", "Quality       : 0 (000000)"}},
        {"hdlr of a known and an unknown handler", tracks, "hdlr", 1,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Type          : 0 (0000000000)",
          "Sub Type      : UnKnown Type (text)", "Manufacturer  : 0 (0000000000)",
          "Component Flags      : 0 (0000000000)", "Component Flags Mask : 0 (0000000000)",
          "Name          : \"Subs\""}},
        {"vmhd colours numbered from 1", tracks, "vmhd", 0,
         {"version  : 0 (0000)", "flags    : 1 (0X000001)", "Graphic Mode  : 0 (000000)",
          "   Color #1   : 1 (0X0001)", "   Color #2   : 2 (0X0002)", "   Color #3   : 65,535 (0XFFFF)"}},
        {"smhd", tracks, "smhd", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Blance        : 384 (0X0180)",
          "Reserved      : 0 (000000)"}},
    });
    OpenedIso iso(tracks);
    EXPECT_EQ(iso.Lines("hdlr", 0)[3], "Sub Type      : Visual Media (vide)");
}

TEST(IsoHeaderDescriptions, IodsMpodHmhdDrefAndStsd) {
    // ES ID entries may have stray bytes between them; every one found is listed.
    Bytes esIds;
    for (std::uint32_t id = 1; id <= 5; ++id) esIds = Cat({esIds, U8(0x0E), U8(4), U32(id), id == 2 ? U8(0x7F) : Bytes{}});
    const auto iods = [](const Bytes& body) { return FullBox("iods", 0, 0, body); };
    const Bytes od = Cat({U8(0x10), U8(0x80), U8(0x80), U8(0x10), U16(0x004F), U8(0xFF), U8(0xFE), U8(0x29), U8(0x15), U8(0xFF)});
    const Lines odLines = {"version  : 0 (0000)", "flags    : 0 (00000000)", "IOD Type Tag  : 16 (0X10)",
                           "sizeOfInstance:16 (0X10)", "OD ID         : 79 (0X004F)",
                           "OD Profile Level      : 255 (0XFF)", "Scen Profile Level    : 254 (0XFE)",
                           "Audio Profile Level   : 41 (0X29)", "Video Profile Level   : 21 (0X15)",
                           "Graphics Profile Level: 255 (0XFF)"};
    Lines fiveEntries = odLines;
    for (int id = 1; id <= 5; ++id) {
        fiveEntries.push_back("--- ES ID Tag --------------------------");
        fiveEntries.push_back("   ES ID         : 14 (0X0E)");
        fiveEntries.push_back("   sizeOfInstance: 4 (0X04)");
        fiveEntries.push_back("   Track ID      : " + std::to_string(id) + " (0X0000000" + std::to_string(id) + ")");
    }
    const Bytes hmhd = FullBox("hmhd", 0, 0, Cat({U16(1400), U16(900), U32(64000), U32(32000), U32(0)}));
    const Bytes dinf = Box("dinf", {FullBox("dref", 0, 0, Cat({U32(1), FullBox("url ", 0, 1)}))});
    const Bytes minf = Box("trak", {Box("mdia", {Box("minf", {hmhd, dinf, Box("stbl", {Stsd(0, {})})})})});
    ExpectDescriptions({
        {"iods, no ES ID entry", Movie({iods(od)}), "iods", 0, odLines},
        {"iods, five entries and a stray byte", Movie({iods(Cat({od, esIds}))}), "iods", 0, fiveEntries},
        {"iods whose descriptor is not an initial object descriptor", Movie({iods(Cat({U8(0x11), U8(7), Zeros(7)}))}),
         "iods", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "IOD Type Tag  : 17 (0X11)", "sizeOfInstance:0 (0000)",
          "OD ID         : 0 (000000)", "OD Profile Level      : 0 (0000)", "Scen Profile Level    : 0 (0000)",
          "Audio Profile Level   : 0 (0000)", "Video Profile Level   : 0 (0000)",
          "Graphics Profile Level: 0 (0000)"}},
        {"mpod of size 16", Movie({Box("trak", {Box("tref", {Box("mpod", Cat({U32(3), U32(4)}))})})}), "mpod", 0,
         {"   Track ID : 3 (0X00000003)", "   Track ID : 4 (0X00000004)"}},
        {"mpod of size 8", Movie({Box("trak", {Box("tref", {Box("mpod")})})}), "mpod", 0, {}},
        {"hmhd", Movie({minf}), "hmhd", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Max  Packet delivery unint: 1,400 (0X0578)",
          "Avg. Packet delivery unint: 900 (0X0384)", "Max  Bit Rate : 64,000 (0X0000FA00)",
          "Avg. Bit Rate:  32,000 (0X00007D00)", "Reserved      : 0 (0000000000)"}},
        {"dref", Movie({minf}), "dref", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "entry-count   : 1 (0X00000001)"}},
        {"url", Movie({minf}), "url ", 0, {"version  : 0 (0000)", "flags    : 1 (0X000001)"}},
        {"stsd header", Movie({minf}), "stsd", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count: 0 (0000000000)"}},
    });
}

TEST(IsoHeaderDescriptions, AnnotationTexts) {
    const auto titl = [](std::uint32_t flags, const Bytes& rest) { return FullBox("titl", 0, flags, rest); };
    const Bytes eng = Cat({U8(0x15), U8(0xC7)});
    const auto file = [](const Bytes& item) { return Movie({Box("udta", {item})}); };
    const auto lines = [](const std::string& language, const std::string& annotation) {
        Lines out = {"version  : 0 (0000)"};
        out.push_back(language.empty() ? "flags    : 1 (0X000001)" : "flags    : 0 (00000000)");
        if (language.empty()) {
            out.insert(out.end(), {"Pad           : 0 (0000)", "   Language0  : 0 (0000)", "   Language1  : 0 (0000)",
                                   "   Language2  : 0 (0000)"});
        } else {
            out.insert(out.end(), {"Pad           : 0 (0000)", "   Language0  : 5 (0X05)", "   Language1  : 14 (0X0E)",
                                   "   Language2  : 7 (0X07)"});
        }
        out.push_back("Annotation    : \"" + annotation + "\"");
        return out;
    };
    ExpectDescriptions({
        {"size 14: no text", file(titl(0, eng)), "titl", 0, lines("eng", "")},
        {"flags 1: neither language nor text", file(titl(1, Cat({eng, Text("ignored")}))), "titl", 0, lines("", "")},
        {"UTF-8 up to the zero", file(titl(0, Cat({eng, Text("Caf\xC3\xA9"), U8(0), Text("junk")}))), "titl", 0,
         lines("eng", "Caf\xC3\xA9")},
        {"no zero: every stored byte", file(titl(0, Cat({eng, Text("Walk")}))), "titl", 0, lines("eng", "Walk")},
        {"Latin-1 where not UTF-8", file(titl(0, Cat({eng, Text("Caf\xE9"), U8(0)}))), "titl", 0,
         lines("eng", "Caf\xC3\xA9")},
        {"UTF-16 big-endian", file(titl(0, Cat({eng, U16(0xFEFF), U16('H'), U16(0xAC00), U16(0), U16('x')}))), "titl", 0,
         lines("eng", "H\xEA\xB0\x80")},
        {"UTF-16 little-endian", file(titl(0, Cat({eng, U8(0xFF), U8(0xFE), U8('O'), U8(0), U8('K'), U8(0)}))), "titl", 0,
         lines("eng", "OK")},
    });
    // An hdlr name shorter than its box says shows what is there and nothing beyond.
    const Bytes cut = Cat({U32(33 + 100), Text("hdlr"), Zeros(4), U32(0), Text("soun"), Zeros(12), Text("Snd")});
    OpenedIso shortName(Movie({Box("trak", {Box("mdia", {cut})})}));
    const Lines hdlr = shortName.Lines("hdlr");
    ASSERT_FALSE(hdlr.empty());
    EXPECT_EQ(hdlr.back(), "Name          : \"Snd\"");
}

TEST(IsoHeaderDescriptions, EachBoxShowsItsOwnValues) {
    const auto ftyp = [](const char* brand) { return Box("ftyp", Cat({Text(brand), U32(1), Text("isom")})); };
    const auto mvhd = [](std::uint32_t timescale) {
        return FullBox("mvhd", 0, 0, Cat({U32(0), U32(0), U32(timescale), U32(0), Zeros(80)}));
    };
    OpenedIso iso(Cat({ftyp("3gp4"), Movie({mvhd(600)}), ftyp("mp42"), Movie({mvhd(1000)})}));
    EXPECT_EQ(iso.Lines("ftyp", 0)[0], "Major brand : 3gp4 (0X33677034)");
    EXPECT_EQ(iso.Lines("ftyp", 1)[0], "Major brand : mp42 (0X6D703432)");
    EXPECT_EQ(iso.Lines("mvhd", 0)[8], "Timescale     : 600 (0X00000258)");
    EXPECT_EQ(iso.Lines("mvhd", 1)[8], "Timescale     : 1,000 (0X000003E8)");
    // A box met where the walk keeps it as a leaf is still described from its own bytes.
    OpenedIso leaf(Movie({Box("trak", {Box("mdia", {Box("minf", {Hdlr("alis", Text("DataHandler"))})})}),
                          Box("udta", {Box("meta")}), Box("trak", {mvhd(25)})}));
    EXPECT_EQ(leaf.Lines("hdlr").back(), "Name          : \"DataHandler\"");
    EXPECT_EQ(leaf.Lines("mvhd")[8], "Timescale     : 25 (0X00000019)");
    EXPECT_EQ(leaf.Parse().tracks[0].hdlr, -1);  // nothing of it reached its track
}

TEST(IsoHeaderDescriptions, TrackWidthFollowsTheFirstTrackWithAWidth) {
    // Audio (no width), then video 176x144, then a 320-wide track that changes nothing.
    OpenedIso iso(Movie({Box("trak", {Tkhd(0, 1, 0, 0)}), Box("trak", {Tkhd(0, 2, 176, 144)}),
                         Box("trak", {Tkhd(0, 3, 320, 240)})}));
    EXPECT_EQ(iso.Parse().trackInfo.width, 176u);
    EXPECT_EQ(iso.Parse().trackInfo.height, 144u);
    EXPECT_EQ(iso.Parse().trackInfo.trackId, 3u);
    EXPECT_EQ(iso.Lines("tkhd", 0).back(), "Video Height(144): 0 (0000000000>>16)");
    EXPECT_EQ(iso.Lines("tkhd", 2).end()[-2], "Video Width (176): 320 (0X01400000>>16)");
    // An mdhd of version 1 still feeds the track values.
    OpenedIso mdhd(Movie({Box("trak", {Box("mdia", {Mdhd(1, 44100, 0x100000001)})})}));
    EXPECT_EQ(mdhd.Parse().trackInfo.timescale, 44100u);
    EXPECT_EQ(mdhd.Parse().trackInfo.duration, 0x100000001u);
}

TEST(IsoSampleTableDescriptions, EveryEntryIsListed) {
    const auto stbl = [](std::initializer_list<Bytes> tables) { return Movie({Trak(Tkhd(0, 1, 0, 0), "vide", Cat(tables))}); };
    ExpectDescriptions({
        {"stsz with sizes", stbl({Stsz(0, 3, {100, 200, 300})}), "stsz", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Sample Size  : 0 (0000000000)",
          "Sample Count : 3 (0X00000003)", "   Sample #1   : 100 (0X00000064)", "   Sample #2   : 200 (0X000000C8)",
          "   Sample #3   : 300 (0X0000012C)"}},
        {"stsz with one size for all", stbl({Stsz(512, 100)}), "stsz", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Sample Size  : 512 (0X00000200)",
          "Sample Count : 100 (0X00000064)"}},
        {"stts", stbl({Table("stts", 1, {1000, 40})}), "stts", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 1 (0X00000001)", "Entry #1   : ",
          "   Sample   : 1,000 (0X000003E8)", "   Duration : 40 (0X00000028)"}},
        {"stsc", stbl({Table("stsc", 1, {1, 5, 1})}), "stsc", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 1 (0X00000001)", "Entry #1   : ",
          "   first-chunk      : 1 (0X00000001)", "   sample-per-chunk : 5 (0X00000005)",
          "   sample-desc-index: 1 (0X00000001)"}},
        {"stco, empty", stbl({Table("stco", 0, {})}), "stco", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 0 (0000000000)"}},
        {"stss", stbl({Table("stss", 2, {1, 26})}), "stss", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 2 (0X00000002)",
          "   Sample #1   : 1 (0X00000001)", "   Sample #2   : 26 (0X0000001A)"}},
        // A count larger than the box lists the entries present, no invented ones.
        {"count past the box", stbl({Table("stco", 1000000, {7, 8}), Box("free")}), "stco", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 1,000,000 (0X000F4240)",
          "   Chunk #1   : 7 (0X00000007)", "   Chunk #2   : 8 (0X00000008)"}},
        {"entry cut by the box end", stbl({Cat({U32(8 + 4 + 4 + 4 + 6), Text("stss"), U32(0), U32(2), U32(9), U16(1)})}),
         "stss", 0,
         {"version  : 0 (0000)", "flags    : 0 (00000000)", "Entry Count : 2 (0X00000002)",
          "   Sample #1   : 9 (0X00000009)"}},
    });
    // An entry cut by the end of the file is not listed either.
    Bytes cutFile = stbl({Table("stsz", 0, {4, 11, 12, 13})});
    cutFile.resize(cutFile.size() - 2);
    OpenedIso cut(cutFile);
    EXPECT_EQ(cut.Lines("stsz").back(), "   Sample #2   : 12 (0X0000000C)");
    EXPECT_EQ(cut.Parse().tables.stsz[0].totalBytes, 23u);

    // Five-digit entry numbers push the colon along; the total is a 64-bit sum.
    Bytes sizes;
    for (int i = 0; i < 10000; ++i) sizes = Cat({sizes, U32(0xFFFFFFFF)});
    OpenedIso many(Movie({Trak(Tkhd(0, 1, 0, 0), "vide", FullBox("stsz", 0, 0, Cat({U32(0), U32(10000), sizes})))}));
    const Lines lines = many.Lines("stsz");
    EXPECT_EQ(lines.end()[-2], "   Sample #9999: 4,294,967,295 (0XFFFFFFFF)");
    EXPECT_EQ(lines.back(), "   Sample #10000: 4,294,967,295 (0XFFFFFFFF)");
    EXPECT_EQ(many.Parse().tables.stsz[0].totalBytes, 10000ull * 0xFFFFFFFF);
    // A constant size keeps no per-sample array.
    OpenedIso constant(Movie({Trak(Tkhd(0, 1, 0, 0), "vide", Stsz(7, 4000000000u))}));
    EXPECT_TRUE(constant.Parse().tables.stsz[0].sampleSizes.empty());
    EXPECT_EQ(constant.Parse().tables.stsz[0].totalBytes, 28000000000ull);
}

// Records what a description writes, lines with their ranges.
class RecordingView : public DocumentView {
public:
    using DocumentView::AddDescriptionLine;
    void AddDescriptionLine(std::string line, ByteRange range) override {
        lines.push_back(std::move(line));
        ranges.push_back(range);
    }
    void ClearDescriptionBuffer() override {}
    void ShowDescription() override {}
    void ClearBoxDescription() override {}
    void AddBoxDescriptionLine(const std::string&) override {}
    void ClearFileInfo() override {}
    void AddFileInfoLine(const std::string&) override {}
    void SetOffsetEditText(std::string) override {}
    void SetSizeEditText(std::string) override {}
    void ShowHexRange(std::uint64_t, std::uint64_t) override {}
    const std::string& GetFilePath() const override { return path; }
    std::uint32_t FileKind() const override { return kFileKindIso; }
    const RegionalSettings& Settings() const override { return settings; }

    std::vector<std::string> lines;
    std::vector<ByteRange> ranges;
    std::string path;
    RegionalSettings settings;
};

TEST(IsoDescriptionRanges, FieldsPointAtTheirBytes) {
    // A cut last entry has no range and is not listed; the header lines point at the header.
    Bytes file = Movie({Trak(Tkhd(0, 1, 0, 0), "vide", Cat({Stsz(0, 3, {100, 200, 300})}))});
    file.resize(file.size() - 1);
    OpenedIso iso(file);
    const std::int64_t node = iso.Node("stsz");
    const BoxRecord& stsz = GetBoxRecord(iso.Parse(), node);
    RecordingView view;
    DisplayIsoBoxInfo(view, iso.Parse(), node);
    const std::vector<ByteRange> expected = {
        {},                     // Start offset
        {stsz.offset, 4},       // Box Size
        {stsz.offset + 4, 4},   // Box Type
        {},                     // separator
        {stsz.offset + 8, 1},   // version
        {stsz.offset + 9, 3},   // flags
        {stsz.offset + 12, 4},  // Sample Size
        {stsz.offset + 16, 4},  // Sample Count
        {stsz.offset + 20, 4},  // Sample #1
        {stsz.offset + 24, 4},  // Sample #2
    };
    EXPECT_EQ(view.ranges, expected);

    // Bits point at the bytes that hold them, a descriptor length at its length bytes,
    // a text at its bytes.
    const Bytes esds = FullBox("esds", 0, 0, Cat({U8(3), U8(0x80), U8(0x80), U8(0x80), U8(20), U16(1), U8(0x1F),
                                                  DecoderConfig(0x20, 4, {}, false)}));
    OpenedIso entry(Movie({Box("udta", {FullBox("titl", 0, 0, Cat({U8(0x15), U8(0xC7), Text("Hi"), U8(0)}))}),
                           Trak(Tkhd(0, 1, 0, 0), "vide", Stsd(1, {VisualEntry("mp4v", 8, 8, esds)}))}));
    RecordingView esdsView;
    const std::int64_t esdsNode = entry.Node("esds");
    const std::uint64_t body = GetBoxRecord(entry.Parse(), esdsNode).offset + 8;
    DisplayIsoBoxInfo(esdsView, entry.Parse(), esdsNode);
    const auto rangeOf = [](const RecordingView& v, const std::string& prefix) {
        for (std::size_t i = 0; i < v.lines.size(); ++i)
            if (v.lines[i].rfind(prefix, 0) == 0) return v.ranges[i];
        return ByteRange{999, 999};
    };
    EXPECT_EQ(rangeOf(esdsView, "   Tag Size   : "), (ByteRange{body + 5, 4}));
    EXPECT_EQ(rangeOf(esdsView, "   StreamPriority  : 31 "), (ByteRange{body + 11, 1}));
    EXPECT_EQ(rangeOf(esdsView, "      Buffer Size : "), (ByteRange{body + 16, 3}));
    EXPECT_EQ(rangeOf(esdsView, "------ ES Descriptor"), ByteRange{});
    RecordingView titl;
    const std::int64_t titlNode = entry.Node("titl");
    const std::uint64_t titlBody = GetBoxRecord(entry.Parse(), titlNode).offset + 8;
    DisplayIsoBoxInfo(titl, entry.Parse(), titlNode);
    EXPECT_EQ(rangeOf(titl, "   Language1  : "), (ByteRange{titlBody + 4, 2}));
    EXPECT_EQ(rangeOf(titl, "Annotation    : "), (ByteRange{titlBody + 6, 2}));
}

}  // namespace
}  // namespace kestrova
