// What a click on an AVI chunk shows: the common lines, the description of
// each kind of chunk, the hex entries and the dump, and the summary on the root.

#include <gtest/gtest.h>

#include "AviFixtures.h"
#include "common/Formatters.h"
#include "shell/HexView.h"

namespace kestrova::test {
namespace {

const std::string kSep(40, '-');

// Absolute node index of the k-th node (from 0) with this caption.
std::int64_t NodeOf(const OpenedAvi& avi, const std::string& caption, int k = 0) {
    const auto captions = avi.Captions();
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (captions[i] == caption && k-- == 0) return static_cast<std::int64_t>(i);
    ADD_FAILURE() << "no node " << caption;
    return 0;
}

// Lines after the common lines and the separator.
std::vector<std::string> Body(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == kSep) return {lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end()};
    return {};
}

StreamHeaderFields Header(const std::string& type, std::uint32_t quality) {
    StreamHeaderFields h;
    h.type = type;
    h.handler = type == "vids" ? "XVID" : "";
    h.quality = quality;
    h.length = 3;
    return h;
}

Bytes FullFile() {
    MainHeaderFields main;
    main.flags = 0x110;
    main.totalFrames = 3;
    main.streams = 5;
    main.width = 640;
    main.height = 480;
    return List("RIFF", "AVI ", {
        List("LIST", "hdrl", {
            Avih(main),
            List("LIST", "strl", {Strh(Header("vids", 10000)), StrfVideo(640, -480, LE32(0))}),
            List("LIST", "strl", {Strh(Header("auds", 10001)), StrfAudio(0x55, 2, 44100, 16000)}),
            List("LIST", "strl", {Strh(Header("auds", 0xFFFFFFFF)), StrfAudio(0x2000, 6, 48000, 48000)}),
            List("LIST", "strl", {Strh(Header("txts", 0)), Chunk("strd", Zeros(4)), Chunk("strn", Text("sub"))}),
            List("LIST", "strl", {Strh(Header("mids", 0)), Chunk("strf", Zeros(4))}),
        }),
        List("LIST", "INFO", {Chunk("ISFT", Text("Lavf59.27.100"))}),
        Chunk("JUNK", Zeros(4)),
        List("LIST", "movi", {Chunk("00dc", Zeros(100))}),
        Idx1({IndexEntry("00dc", 0x10, 4, 100), IndexEntry("01wb", 0x10, 112, 10), IndexEntry("00dc", 0x11, 130, 20),
              IndexEntry("ix00", 0x10, 0, 0), IndexEntry("00db", 0x10, 158, 30), IndexEntry("rec ", 0x10, 0, 0),
              IndexEntry("0xdc", 0x10, 0, 0)}),
    });
}

TEST(AviDescription, MainHeaderLinesWithTheCommonLines) {
    OpenedAvi avi(FullFile());
    EXPECT_EQ(avi.Click(NodeOf(avi, "avih")),
              (std::vector<std::string>{"Start offset : 24 (0X00000018)", "Chunk ID     : avih (0X61766968)",
                                        "Chunk Size   : 56 (0X00000038)", kSep, "[ Main AVI Header ]", kSep,
                                        "MicorSecPerFrmae  : 40,000 (0X00009C40)", "Max Transfer Rate : 0 (0000000000)",
                                        "Reserved          : 0 (0000000000)", "Flags             : 272 (0X00000110)",
                                        "Total Frames      : 3 (0X00000003)", "Initial Frames    : 0 (0000000000)",
                                        "Streams           : 5 (0X00000005)", "Buffer Size       : 0 (0000000000)",
                                        "Width             : 640 (0X00000280)", "Height            : 480 (0X000001E0)",
                                        "Reserved(Sacle)   : 0 (0000000000)", "Reserved(Rate )   : 0 (0000000000)",
                                        "Reserved(Start)   : 0 (0000000000)", "Reserved(Length)  : 0 (0000000000)"}));
    EXPECT_EQ(avi.Doc().OffsetEditText(), "18");
    EXPECT_EQ(avi.Doc().SizeEditText(), "40");
    EXPECT_EQ(avi.FileInfo().front(), kHexDumpHeader);
}

TEST(AviDescription, StreamHeaderKindsAndTheQualityLine) {
    OpenedAvi avi(FullFile());
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strh"))),
              (std::vector<std::string>{"[ Stream Header Chunk ]", kSep, "Type             : video (vids)",
                                        "Codec            : XVID", "Flags            : 0 (0000000000)",
                                        "Priority         : 0 (000000)", "Language         : 0 (000000)",
                                        "Initial Frames   : 0 (0000000000)", "Scale            : 1 (0X00000001)",
                                        "Rate             : 25 (0X00000019)", "Start of stream  : 0 (0000000000)",
                                        "Length           : 3 (0X00000003)", "Buffer Size      : 0 (0000000000)",
                                        "Quality(-1~10000): 10,000 (0X00002710)", "Sample Size      : 0 (0000000000)"}));
    const std::vector<std::pair<std::string, std::string>> others = {
        {"Type             : audio (auds)", "Quality(-1~10000): Invalid Value(0X00002711)"},
        {"Type             : audio (auds)", "Quality(-1~10000): deafult(-1)"},
        {"Type             : subtitle (txts)", "Quality(-1~10000): 0 (0000000000)"},
        {"Type             : UnKnown (mids)", "Quality(-1~10000): 0 (0000000000)"},
    };
    for (std::size_t k = 0; k < others.size(); ++k) {
        const auto body = Body(avi.Click(NodeOf(avi, "strh", static_cast<int>(k) + 1)));
        ASSERT_EQ(body.size(), 15u);
        EXPECT_EQ(body[2], others[k].first);
        EXPECT_EQ(body[3], "Codec            : 0000000000");
        EXPECT_EQ(body[13], others[k].second);
    }
}

TEST(AviDescription, EachStreamFormatShowsItsOwnStream) {
    OpenedAvi avi(FullFile());
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strf"))),
              (std::vector<std::string>{"[ Stream Format Chunk ]", kSep, "Size             : 40 (0X00000028)",
                                        "Width            : 640 (0X00000280)",
                                        "Height           : 4,294,966,816 (0XFFFFFE20)",
                                        "Number of Planes : 1 (0X0001)", "Bits per pixel   : 24 (0X0018)",
                                        "Compression Type : BI_RGB", "Size Image       : 4,660 (0X00001234)",
                                        "X pixel/Meter    : 0 (0000000000)", "Y pixel/Meter    : 0 (0000000000)",
                                        "Color Used(0=ALL): 0 (0000000000)", "Color Indexes    : 0 (0000000000)"}));
    // Two audio streams: each format shows its own values; the summary the last ones.
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strf", 1))),
              (std::vector<std::string>{"[ Stream Format Chunk ]", kSep,
                                        "FormatTag         : MPEGLAYER3 (ISO/MPEG Layer3 Format Tag)(0X0055)",
                                        "Channels          : 2 (0X0002)", "Sample Rate       : 44,100 (0X0000AC44)",
                                        "Avg.Transfer Rate : 16,000 (0X00003E80)", "Block Alignent    : 4 (0X0004)",
                                        "Bits Per Sample   : 16 (0X0010)", "Size              : 0 (000000)"}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strf", 2))),
              (std::vector<std::string>{"[ Stream Format Chunk ]", kSep,
                                        "FormatTag         : AC3 (DVM - FAST Multimedia AG)(0X2000)",
                                        "Channels          : 6 (0X0006)", "Sample Rate       : 48,000 (0X0000BB80)",
                                        "Avg.Transfer Rate : 48,000 (0X0000BB80)", "Block Alignent    : 4 (0X0004)",
                                        "Bits Per Sample   : 16 (0X0010)", "Size              : 0 (000000)"}));
    EXPECT_EQ(avi.Parse().summary.audioFormat.wFormatTag, 0x2000);
    // A format of another stream type has its heading only.
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strf", 3))), (std::vector<std::string>{"[ Stream Format Chunk ]", kSep}));
    avi.Click(0);
    EXPECT_EQ(avi.FileInfoLine("  BITMAP"), "  BITMAP 크기        : 640 x -480");
}

TEST(AviDescription, HeadingsOfListsAndSmallChunks) {
    OpenedAvi avi(FullFile());
    const auto& riff = avi.Click(1);
    EXPECT_EQ(riff, (std::vector<std::string>{"Start offset : 0 (0000000000)", "Group ID     : RIFF (0X52494646)",
                                              "Group Size   : " + DecHex32Text(avi.Parse().records[0].size, {}),
                                              "Type         : AVI  (0X41564920)", kSep,
                                              "Data Size    : " + GroupedText(avi.Doc().FileSize(), {}) + " Byte"}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "LIST hdrl"))), (std::vector<std::string>{"[ Header LIST ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "LIST strl", 3))),
              (std::vector<std::string>{"[ Stream Header LIST [3] ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strd"))),
              (std::vector<std::string>{"[ Additional Header Data Chunk ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "strn"))), (std::vector<std::string>{"[ Stream Name Chunk ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "LIST INFO"))), (std::vector<std::string>{"[ INFO ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "ISFT"))), (std::vector<std::string>{"Tool Name    : Lavf59.27.100"}));
    const auto& movi = avi.Click(NodeOf(avi, "LIST movi"));
    ASSERT_EQ(movi.size(), 8u);
    EXPECT_EQ(movi[1], "Group ID     : LIST (0X4C495354)");
    EXPECT_EQ(movi[3], "Type         : movi (0X6D6F7669)");
    EXPECT_EQ(Body(movi), (std::vector<std::string>{"[ MOVI List ]", "- contain Video, Audio, Subtitle etc.", kSep}));
    // A JUNK chunk has the common lines and the separator only, then its dump.
    const auto& junk = avi.Click(NodeOf(avi, "JUNK"));
    EXPECT_EQ(junk.size(), 4u);
    EXPECT_EQ(junk.back(), kSep);
    // The dump header, its rule and the rows of the 12 bytes from their column on.
    const std::uint64_t column = avi.Parse().records[static_cast<std::size_t>(NodeOf(avi, "JUNK") - 1)].offset % 16;
    EXPECT_EQ(avi.FileInfo().size(), 2 + (column + 12 + 15) / 16);
    EXPECT_EQ(avi.FileInfo().front(), kHexDumpHeader);
}

TEST(AviDescription, IndexListsEveryKeyFrameWithItsEntry) {
    OpenedAvi avi(FullFile());
    const ChunkRecord& idx1 = avi.Parse().records.back();
    const auto& lines = avi.Click(NodeOf(avi, "idx1"));
    EXPECT_EQ(Body(lines), (std::vector<std::string>{
                               "[ Index Box ]", kSep, "[Audio]", "   Audio Sample Count  : 1", "[Video]",
                               "   Total Sample Count  : 3", "   KeySample Count     : 2", kSep, "Key Samples",
                               "Sample #1   : (" + Hex32Text(idx1.offset + 8) + ")", "   CkID     : 00dc",
                               "   Flags    : 0X00000010", "   Chunk Offset : 4 (0X00000004)",
                               "   Chunk Length : 100 (0X00000064)",
                               "Sample #3   : (" + Hex32Text(idx1.offset + 8 + 4 * 16) + ")", "   CkID     : 00db",
                               "   Flags    : 0X00000010", "   Chunk Offset : 158 (0X0000009E)",
                               "   Chunk Length : 30 (0X0000001E)"}));
    // Key frames at video entries 0 and 2 at 25 frames per second.
    EXPECT_EQ(avi.FileInfoLine("  키프레임"), "");  // the dump replaced the summary
    avi.Click(0);
    EXPECT_EQ(avi.FileInfoLine("  키프레임"), "  키프레임 정보      : (평균:0.1초 표준편차:0.0초 최대:0.1초)");
}

TEST(AviDescription, SeveralIndexesAppendAndAnIndexWithoutKeyFrames) {
    const Bytes file = Cat({List("RIFF", "AVI ", {Idx1({IndexEntry("00dc", 0x10, 0, 1), IndexEntry("00dc", 0, 0, 2)})}),
                            List("RIFF", "AVIX", {List("LIST", "movi"), Idx1({IndexEntry("00dc", 0x10, 0, 3)})})});
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "idx1", "RIFF AVIX", "LIST movi", "idx1"}));
    for (int k = 0; k < 2; ++k) {
        const auto samples = LinesStartingWith(avi.Click(NodeOf(avi, "idx1", k)), "Sample #");
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_EQ(samples[0].substr(0, 14), "Sample #1   : ");
        EXPECT_EQ(samples[1], "Sample #3   : (" + Hex32Text(avi.Parse().records.back().offset + 8) + ")");
        EXPECT_EQ(LinesStartingWith(Body(avi.Description()), "   Total Sample Count  : ")[0],
                  "   Total Sample Count  : 3");
    }
    // The AVIX part's RIFF also shows the size of the whole file.
    EXPECT_EQ(avi.Click(NodeOf(avi, "RIFF AVIX")).back(),
              "Data Size    : " + std::to_string(avi.Doc().FileSize()) + " Byte");

    OpenedAvi none(List("RIFF", "AVI ", {Idx1({IndexEntry("00dc", 0x11, 0, 1), IndexEntry("01wb", 0x10, 0, 1)})}));
    const auto& lines = none.Click(2);
    EXPECT_EQ(lines.back(), "Key Samples");
    EXPECT_EQ(LinesStartingWith(lines, "   KeySample Count")[0], "   KeySample Count     : 0");
}

TEST(AviDescription, KeyFrameListingStopsAtItsLimitButTheCountsGoOn) {
    const std::size_t keys = kMaxListedKeyFrames + 3;
    Bytes data;
    data.reserve(keys * 16);
    for (std::size_t i = 0; i < keys; ++i) {
        const Bytes e = IndexEntry("00dc", 0x10, static_cast<std::uint32_t>(i), 1);
        data.insert(data.end(), e.begin(), e.end());
    }
    OpenedAvi avi(List("RIFF", "AVI ", {Chunk("idx1", data)}));
    EXPECT_EQ(avi.Parse().summary.keyFrameCount, keys);
    EXPECT_EQ(avi.FileInfoLine("  인덱스 정보"), "  인덱스 정보        : 전체프레임-0/키프레임-" + std::to_string(keys));
    const auto& lines = avi.Click(2);
    EXPECT_EQ(LinesStartingWith(lines, "Sample #").size(), kMaxListedKeyFrames);
    EXPECT_EQ(lines.back(), "(only the first 200,000 of 200,003 key samples are listed)");
    EXPECT_EQ(lines[lines.size() - 2], "   Chunk Length : 1 (0X00000001)");
}

TEST(AviDescription, OpenDmlListsAndTheirHeadings) {
    const Bytes file = List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(), List("LIST", "odml", {Chunk("dmlh", Zeros(248))})})});
    OpenedAvi avi(file);
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "LIST odml"))), (std::vector<std::string>{"[ Open DML List ]", kSep}));
    EXPECT_EQ(Body(avi.Click(NodeOf(avi, "dmlh"))),
              (std::vector<std::string>{"[ Open DML Extended AVI Header ]", kSep}));
}

TEST(AviDescription, SizeEntryIsCappedAndTheRootBringsTheSummaryBack) {
    const Bytes file = Cat({Chunk("JUNK", Zeros(0xFFF0)), Chunk("JUNK", Zeros(0x100000)), Chunk("JUNK", Zeros(0x100001))});
    OpenedAvi avi(file);
    const std::vector<std::string> summary = avi.FileInfo();
    avi.Click(1);
    EXPECT_EQ(avi.Doc().OffsetEditText(), "0");
    EXPECT_EQ(avi.Doc().SizeEditText(), "FFF8");
    avi.Click(2);
    EXPECT_EQ(avi.Doc().OffsetEditText(), "FFF8");
    // 100008 bytes are asked for; the hex viewer shows 100000 of them and says so.
    EXPECT_EQ(avi.Doc().SizeEditText(), "100000");
    EXPECT_EQ(avi.FileInfo().size(), 2u + (8 + 0x100000 + 15) / 16);  // from column 8 on
    avi.Click(3);
    EXPECT_EQ(avi.Doc().SizeEditText(), "100000");
    avi.Click(0);
    EXPECT_TRUE(avi.Description().empty());
    EXPECT_EQ(avi.FileInfo(), summary);
    EXPECT_EQ(avi.Doc().OffsetEditText(), "110000");  // the root leaves the entries as they were
    EXPECT_EQ(avi.Doc().SizeEditText(), "100000");
}

}  // namespace
}  // namespace kestrova::test
