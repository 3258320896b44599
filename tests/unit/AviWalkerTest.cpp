// The chunk walk as the user sees it: the tree, the records, the refusal lines,
// and the walk's behaviour on cut, odd, huge and crafted files.

#include <gtest/gtest.h>

#include "AviFixtures.h"
#include "common/Formatters.h"
#include "common/Limits.h"

namespace kestrova::test {
namespace {

struct Expected {
    std::uint64_t offset;
    std::uint32_t size;
    std::string id;
    std::string listType;  // "" for leaf chunks
    std::int32_t stream;
    std::string caption;
    std::int32_t parent;
};

void ExpectRecords(const OpenedAvi& avi, const std::vector<Expected>& expected) {
    const auto& records = avi.Parse().records;
    const auto& nodes = avi.Doc().Tree().Nodes();
    ASSERT_EQ(records.size(), expected.size());
    ASSERT_EQ(nodes.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const ChunkRecord& r = records[i];
        EXPECT_EQ(r.index, static_cast<std::int32_t>(i));
        EXPECT_EQ(r.offset, expected[i].offset);
        EXPECT_EQ(r.size, expected[i].size);
        EXPECT_EQ(FourccText(r.id), expected[i].id);
        EXPECT_EQ(r.listType == 0 ? "" : FourccText(r.listType), expected[i].listType);
        EXPECT_EQ(r.stream, expected[i].stream);
        EXPECT_EQ(nodes[i + 1].caption, expected[i].caption);
        EXPECT_EQ(nodes[i + 1].parent, expected[i].parent);
    }
}

Bytes Riff(const std::string& form, std::initializer_list<Bytes> children) { return List("RIFF", form, children); }

TEST(AviWalker, ElevenRecordLayoutWithCaptionsParentsAndStreams) {
    StreamHeaderFields video;
    video.length = 1;
    const Bytes file = Riff("AVI ", {
        List("LIST", "hdrl", {Avih(), VideoStreamList(video)}),
        List("LIST", "INFO", {Chunk("ISFT", Cat({Text("Lavf59.27.100"), Zeros(1)}))}),
        Chunk("JUNK", Zeros(4)),
        List("LIST", "movi", {Chunk("00dc", Zeros(10))}),
        Idx1({IndexEntry("00dc", 0x10, 4, 10)}),
    });
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Doc().FileKind(), 4u);
    EXPECT_EQ(avi.Doc().RecordCount(), 11u);
    EXPECT_EQ(avi.Doc().StatusText(), "test.avi Open");
    ExpectRecords(avi, {
        {0, 304, "RIFF", "AVI ", 0, "RIFF AVI ", 0},
        {12, 192, "LIST", "hdrl", 0, "LIST hdrl", 1},
        {24, 56, "avih", "", 0, "avih", 2},
        {88, 116, "LIST", "strl", 0, "LIST strl", 2},
        {100, 56, "strh", "", 0, "strh", 4},
        {164, 40, "strf", "", 0, "strf", 4},
        {212, 26, "LIST", "INFO", 0, "LIST INFO", 1},
        {224, 14, "ISFT", "", 0, "ISFT", 7},
        {246, 4, "JUNK", "", 0, "JUNK", 1},
        {258, 22, "LIST", "movi", 0, "LIST movi", 1},
        {288, 16, "idx1", "", 0, "idx1", 1},
    });
    EXPECT_EQ(avi.Parse().summary.toolName, "Lavf59.27.100");
    EXPECT_EQ(avi.Parse().summary.keyFrameCount, 1u);
    EXPECT_TRUE(avi.Description().empty());
    EXPECT_FALSE(avi.FileInfo().empty());
}

TEST(AviWalker, StreamListsAreNumberedInOrderBeyondTenStreams) {
    std::vector<Bytes> lists;
    Bytes hdrlBody = Cat({Text("hdrl"), Avih()});
    for (int i = 0; i < 12; ++i) {
        StreamHeaderFields h;
        h.type = i == 11 ? "auds" : "vids";
        h.rate = 100 + static_cast<std::uint32_t>(i);
        hdrlBody = Cat({hdrlBody, List("LIST", "strl", {Strh(h), Chunk("strn", Text("name")), Chunk("JUNK")})});
    }
    OpenedAvi avi(List("RIFF", "AVI ", {Chunk("LIST", hdrlBody)}));
    const AviParse& p = avi.Parse();
    EXPECT_EQ(p.streamCounter, 12u);
    ASSERT_EQ(p.streams.size(), 12u);
    EXPECT_EQ(p.streams[11].dwRate, 111u);
    EXPECT_EQ(p.streams[11].fccType, Fourcc("auds"));
    // The last video header sets the rate: stream 10.
    EXPECT_EQ(p.summary.videoRate, 110u);
    std::vector<std::int32_t> strlStreams, strnStreams, junkStreams;
    for (const ChunkRecord& r : p.records) {
        if (r.listType == Fourcc("strl")) strlStreams.push_back(r.stream);
        if (r.id == Fourcc("strn")) strnStreams.push_back(r.stream);
        if (r.id == Fourcc("JUNK")) junkStreams.push_back(r.stream);
    }
    const std::vector<std::int32_t> numbers = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(strlStreams, numbers);
    EXPECT_EQ(strnStreams, numbers);
    EXPECT_EQ(junkStreams, std::vector<std::int32_t>(12, 0));
    // The twelfth header describes itself from its own slot.
    const auto& lines = avi.Click(static_cast<std::int64_t>(p.records.size()) - 2);  // strh of stream 11
    EXPECT_EQ(LinesStartingWith(lines, "Type             : "), std::vector<std::string>{"Type             : audio (auds)"});
    EXPECT_EQ(LinesStartingWith(lines, "Rate             : "), std::vector<std::string>{"Rate             : 111 (0X0000006F)"});
}

TEST(AviWalker, RefusesFilesThatAreNotRiffAvi) {
    {
        OpenedAvi avi(Cat({Text("This is a text file, not a movie.\n")}));
        EXPECT_EQ(avi.Doc().FileKind(), 0u);
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not RIFF Format!!!"});
        EXPECT_TRUE(avi.FileInfo().empty());
        EXPECT_EQ(avi.Captions().size(), 1u);
    }
    {
        OpenedAvi avi(Text("abc"));  // shorter than a header
        EXPECT_EQ(avi.Doc().FileKind(), 0u);
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not RIFF Format!!!"});
    }
    {
        OpenedAvi avi(List("RIFF", "WAVE", {Chunk("fmt ", Zeros(16))}));
        EXPECT_EQ(avi.Doc().FileKind(), 0u);
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not AVI File!!!"});
        EXPECT_EQ(avi.Captions().size(), 1u);  // no node for the refused RIFF
    }
    {
        // Nodes added before the refusal stay; clicks then describe nothing.
        OpenedAvi avi(Cat({Chunk("JUNK", Zeros(2)), List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih()})}),
                           List("RIFF", "WAVE")}));
        EXPECT_EQ(avi.Doc().FileKind(), 0u);
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not AVI File!!!"});
        EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "JUNK", "RIFF AVI ", "LIST hdrl", "avih"}));
        EXPECT_TRUE(avi.FileInfo().empty());
        avi.Click(2);
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not AVI File!!!"});
    }
    {
        OpenedAvi avi(Cat({Chunk("JUNK", Zeros(4)), Chunk("LIST", Text("hdrl"))}));
        EXPECT_EQ(avi.Description(), std::vector<std::string>{"This is not RIFF Format!!!"});
        EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "JUNK"}));
    }
}

TEST(AviWalker, EmptyAndJunkOnlyFilesAreTakenWithTheirSummary) {
    {
        OpenedAvi avi(Bytes{});
        EXPECT_EQ(avi.Doc().FileKind(), 4u);
        EXPECT_EQ(avi.Captions().size(), 1u);
        EXPECT_EQ(avi.Parse().summary.frameRate, -1.0f);
        EXPECT_EQ(avi.FileInfoLine("  재생 시간"), "  재생 시간 (초)     : 00:00:00.000 (0초)");
    }
    {
        OpenedAvi avi(Cat({Chunk("JUNK", Zeros(3)), Chunk("JUNK")}));
        EXPECT_EQ(avi.Doc().FileKind(), 4u);
        EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "JUNK", "JUNK"}));
        // Odd size, no pad byte: the second header follows at 8 + 3.
        EXPECT_EQ(avi.Parse().records[1].offset, 11u);
    }
}

TEST(AviWalker, OddSizesAreFollowedWithoutPadByte) {
    const Bytes file = Riff("AVI ", {
        List("LIST", "INFO", {Chunk("IART", Text("abc")), Chunk("ISFT", Text("tool")), Chunk("ICMT", Text("x"))}),
        Chunk("JUNK", Zeros(5)),
        Chunk("idx1", Cat({IndexEntry("00dc", 0x10, 0, 1)})),
    });
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "LIST INFO", "ISFT", "JUNK", "idx1"}));
    const auto& r = avi.Parse().records;
    EXPECT_EQ(r[2].offset, 12u + 12 + 11);  // after "IART" with its three bytes
    EXPECT_EQ(r[3].offset, r[1].offset + 8 + r[1].size);
    EXPECT_EQ(r[4].offset, r[3].offset + 8 + 5);
    EXPECT_EQ(avi.Parse().summary.toolName, "tool");
    EXPECT_EQ(avi.Parse().summary.videoEntryCount, 1u);
}

TEST(AviWalker, SkipsIdsAndListTypesItDoesNotKnow) {
    const Bytes file = Riff("AVI ", {
        List("LIST", "hdrl", {Chunk("JUNK", Zeros(4)), Avih(),
                              List("LIST", "strl", {Strh(), Chunk("vprp", Zeros(8)), Chunk("indx", Zeros(8)),
                                                    Chunk("strd", Zeros(2))}),
                              List("LIST", "odml", {Chunk("JUNK"), Chunk("dmlh", Zeros(248))})}),
        List("LIST", "INFO", {Chunk("ISMP", Text("x")), Chunk("ISFT", Text("t"))}),
        List("LIST", "rec ", {List("LIST", "hdrl")}),
        List("LIST", "abcd", {Avih()}),
        List("LIST", "JUNK", {Chunk("JUNK", Zeros(4))}),
        Chunk("ix00", Zeros(8)),
        List("LIST", "movi", {List("LIST", "hdrl")}),
    });
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "LIST hdrl", "avih", "LIST strl", "strh",
                                                        "strd", "LIST odml", "dmlh", "LIST INFO", "ISFT", "JUNK",
                                                        "LIST movi"}));
    // A list of type "JUNK" stands as a JUNK chunk of size 0 at its type.
    const ChunkRecord& junk = avi.Parse().records[10];
    const ChunkRecord& info = avi.Parse().records[8];
    const std::uint64_t junkList = info.offset + 8 + info.size + 24 + 76;  // after "rec " and "abcd"
    EXPECT_EQ(junk.offset, junkList + 8);
    EXPECT_EQ(junk.size, 0u);
    EXPECT_EQ(junk.listType, 0u);
    // A top-level chunk after the RIFF is skipped without a word.
    OpenedAvi tail(Cat({Riff("AVI ", {Chunk("JUNK")}), Chunk("abcd", Zeros(4)), Chunk("JUNK")}));
    EXPECT_EQ(tail.Doc().FileKind(), 4u);
    EXPECT_EQ(tail.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "JUNK", "JUNK"}));
    EXPECT_TRUE(tail.Description().empty());
}

TEST(AviWalker, FormatBeforeItsStreamHeaderCapturesNothingForTheSummary) {
    StreamHeaderFields h;
    const Bytes file = Riff("AVI ", {List("LIST", "hdrl", {Avih(), List("LIST", "strl", {StrfVideo(640, 480), Strh(h)})})});
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Parse().summary.videoFormat.biWidth, 0);
    EXPECT_EQ(avi.Parse().summary.aspectBase, 0.0f);
    EXPECT_EQ(avi.FileInfoLine("  BITMAP"), "  BITMAP 크기        : 0 x 0");
    // The strf node still shows its own format, read as the later strh says.
    const auto& lines = avi.Click(5);
    EXPECT_EQ(lines[3], "----------------------------------------");
    EXPECT_EQ(lines[4], "[ Stream Format Chunk ]");
    EXPECT_EQ(LinesStartingWith(lines, "Width            : "), std::vector<std::string>{"Width            : 640 (0X00000280)"});
}

TEST(AviWalker, LaterVideoStreamOverwritesTheFormatValues) {
    StreamHeaderFields first, second;
    first.rate = 25;
    first.handler = "DIV3";
    first.length = 100;
    second.rate = 30000;
    second.scale = 1001;
    second.handler = "XVID";
    const Bytes file = Riff("AVI ", {List("LIST", "hdrl", {Avih(), VideoStreamList(first, 320, 240),
                                                           VideoStreamList(second, 640, 360)})});
    OpenedAvi avi(file);
    const AviSummaryInfo& s = avi.Parse().summary;
    EXPECT_EQ(s.videoRate, 30000u);
    EXPECT_EQ(s.videoScale, 1001u);
    EXPECT_EQ(s.videoFormat.biWidth, 640);
    EXPECT_FLOAT_EQ(s.aspectRatio, 640.0f / 360.0f);
    EXPECT_EQ(avi.FileInfoLine("  프레임 속도"), "  프레임 속도        : 29.97 Frame/초");
    EXPECT_EQ(avi.FileInfoLine("  크기 (비율)"), "  크기 (비율)        : 320 x 240 (1.78 : 1)");
    // The codec and the length come from the first video stream header.
    EXPECT_EQ(avi.FileInfoLine("  압축 코덱 (FourCC)"), "  압축 코덱 (FourCC) : DivX MPEG-4 V3.xx Low motion codec(DIV3)");
    EXPECT_EQ(avi.FileInfoLine("  Stream Length"), "  Stream Length      : 100");
}

TEST(AviWalker, CutFileEndsTheLevelAndKeepsWhatWasRecorded) {
    StreamHeaderFields h;
    h.rate = 30;
    Bytes full = Riff("AVI ", {List("LIST", "hdrl", {Avih(), VideoStreamList(h)}),
                               List("LIST", "movi", {Chunk("00dc", Zeros(100))}), Idx1({IndexEntry("00dc", 0x10, 4, 100)})});
    // Cut inside the strh body: its fields up to the cut are kept, the rest read as zeros.
    Bytes cut(full.begin(), full.begin() + 100 + 8 + 24);
    OpenedAvi avi(cut);
    EXPECT_EQ(avi.Doc().FileKind(), 4u);
    EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "LIST hdrl", "avih", "LIST strl", "strh"}));
    const AviStreamRecord& s = avi.Parse().streams.at(0);
    EXPECT_EQ(s.fccType, Fourcc("vids"));
    EXPECT_EQ(s.dwScale, 1u);
    EXPECT_EQ(s.dwRate, 0u);  // bytes 24..27 of the body are past the end

    // Cut inside movi: the list is recorded, nothing after it is looked for.
    const std::size_t movi = full.size() - 24 - 120;
    Bytes inMovi(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(movi) + 50);
    OpenedAvi avi2(inMovi);
    EXPECT_EQ(avi2.Captions().back(), "LIST movi");
    EXPECT_EQ(avi2.Parse().records.back().offset, movi);

    // Cut inside the index: the whole entries that are there are read.
    Bytes inIndex = Cat({full, IndexEntry("00dc", 0x10, 8, 1)});
    const std::uint32_t indexSize = 32;
    inIndex[full.size() - 24 + 4] = indexSize;  // the index now claims two entries
    inIndex.resize(inIndex.size() - 1);         // the second one is cut short
    OpenedAvi avi3(inIndex);
    EXPECT_EQ(avi3.Parse().summary.videoEntryCount, 1u);
}

TEST(AviWalker, SizesNearTwoToTheThirtyTwoEndEveryWalk) {
    {
        // The RIFF and the list inside it claim nearly 4 GiB of a small file.
        const Bytes file = Cat({Text("RIFF"), LE32(0xFFFFFFFF), Text("AVI "), Text("LIST"), LE32(0xFFFFFFF8),
                                Text("hdrl"), Avih(), Chunk("JUNK")});
        OpenedAvi avi(file);
        EXPECT_EQ(avi.Doc().FileKind(), 4u);
        EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "LIST hdrl", "avih"}));
        EXPECT_EQ(avi.Parse().summary.riffAviSize, 0xFFFFFFFFu);
        // The click asks the hex viewer for the whole claimed extent: it shows what there is.
        const auto& lines = avi.Click(1);
        EXPECT_EQ(lines[2], "Group Size   : 4,294,967,295 (0XFFFFFFFF)");
        EXPECT_EQ(avi.Doc().OffsetEditText(), "0");
        EXPECT_EQ(avi.Doc().SizeEditText(), "60");  // the file's size in hexadecimal, as dumped
    }
    {
        OpenedAvi avi(Cat({Chunk("JUNK"), Text("JUNK"), LE32(0xFFFFFFFF), Zeros(3)}));
        EXPECT_EQ(avi.Doc().FileKind(), 4u);
        EXPECT_EQ(avi.Captions().size(), 3u);
    }
    {
        // An index that claims 4 GiB reads only the entries in the file.
        const Bytes file = Riff("AVI ", {Cat({Text("idx1"), LE32(0xFFFFFFF0), IndexEntry("00dc", 0x10, 0, 0),
                                              IndexEntry("01wb", 0x10, 0, 0)})});
        OpenedAvi avi(file);
        EXPECT_EQ(avi.Parse().summary.videoEntryCount, 1u);
        EXPECT_EQ(avi.Parse().summary.audioEntryCount, 1u);
    }
}

TEST(AviWalker, StopsAtTheRecordLimitWithTheStatusNote) {
    const std::size_t chunks = kMaxRecords + 5;
    Bytes file;
    file.reserve(chunks * 8);
    const Bytes junk = Chunk("JUNK");
    for (std::size_t i = 0; i < chunks; ++i) file.insert(file.end(), junk.begin(), junk.end());
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Doc().FileKind(), 4u);
    EXPECT_TRUE(avi.Parse().recordLimitReached);
    EXPECT_EQ(avi.Parse().records.size(), kMaxRecords);
    EXPECT_EQ(avi.Doc().Tree().Count(), kMaxRecords + 1);
    EXPECT_EQ(avi.Doc().StatusText(), "test.avi Open - only the first 1,000,000 chunks are shown");
    EXPECT_FALSE(avi.FileInfo().empty());
}

TEST(AviWalker, DeeplyNestedListsNeitherOverflowNorLoseStreamNumbers) {
    // RIFF AVI { LIST strl { LIST strl { ... } } }, written flat.
    Bytes file;
    const std::size_t depth = 100000;
    {
        Bytes head = Cat({Text("RIFF"), LE32(static_cast<std::uint32_t>(4 + 12 * depth)), Text("AVI ")});
        file.reserve(head.size() + 12 * depth);
        file = head;
        for (std::size_t i = 0; i < depth; ++i) {
            const Bytes list = Cat({Text("LIST"), LE32(static_cast<std::uint32_t>(4 + 12 * (depth - 1 - i))), Text("strl")});
            file.insert(file.end(), list.begin(), list.end());
        }
    }
    OpenedAvi avi(file);
    ASSERT_EQ(avi.Parse().records.size(), depth + 1);
    // Every list is walked inside the one before, so all carry stream 0; each adds one stream when done.
    EXPECT_EQ(avi.Parse().records.back().stream, 0);
    EXPECT_EQ(avi.Parse().streamCounter, depth);
    EXPECT_EQ(avi.Doc().Tree().Nodes().back().parent, static_cast<std::int32_t>(depth));
}

TEST(AviWalker, OverlappingLevelsOfACraftedFileEnd) {
    // Each hdrl holds a strl whose first child jumps over the other hdrls to a
    // run of index chunks that only the RIFF level knows; walked as written,
    // every strl would revisit the whole run.
    const std::size_t pairs = 100000, indexes = 200000;
    const std::uint64_t runStart = 12 + pairs * 40;
    const std::uint64_t fileSize = runStart + indexes * 8;
    Bytes file = Cat({Text("RIFF"), LE32(static_cast<std::uint32_t>(fileSize - 8)), Text("AVI ")});
    file.reserve(fileSize);
    for (std::size_t k = 0; k < pairs; ++k) {
        const std::uint64_t at = file.size();
        const std::uint64_t strlBody = at + 12 + 8;
        const Bytes pair = Cat({Text("LIST"), LE32(32), Text("hdrl"), Text("LIST"),
                                LE32(static_cast<std::uint32_t>(fileSize - strlBody)), Text("strl"), Text("skip"),
                                LE32(static_cast<std::uint32_t>(runStart - (strlBody + 4) - 8)), Zeros(8)});
        file.insert(file.end(), pair.begin(), pair.end());
    }
    const Bytes index = Chunk("idx1");
    for (std::size_t k = 0; k < indexes; ++k) file.insert(file.end(), index.begin(), index.end());
    ASSERT_EQ(file.size(), fileSize);
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Doc().FileKind(), 4u);
    EXPECT_TRUE(avi.Parse().walkBudgetExhausted);
    const auto captions = avi.Captions();
    ASSERT_GE(captions.size(), 4u);
    EXPECT_EQ(captions[2], "LIST hdrl");
    EXPECT_EQ(captions[3], "LIST strl");
}

TEST(AviWalker, OverlappingIndexChunksCountEachEntryOnce) {
    // The first RIFF is short, its index runs on over the second RIFF and its index.
    // The JUNK puts the second index's entries on the first index's 16-byte grid.
    const Bytes second = Riff("AVI ", {Chunk("JUNK", Zeros(4)),
                                       Idx1({IndexEntry("00dc", 0x10, 0, 0), IndexEntry("01wb", 0, 0, 0)})});
    const Bytes file = Cat({Text("RIFF"), LE32(28), Text("AVI "), Text("idx1"),
                            LE32(static_cast<std::uint32_t>(second.size() + 16)), IndexEntry("00db", 0x11, 0, 0),
                            second});
    OpenedAvi avi(file);
    EXPECT_EQ(avi.Captions(), (std::vector<std::string>{"test.avi", "RIFF AVI ", "idx1", "RIFF AVI ", "JUNK", "idx1"}));
    const AviSummaryInfo& s = avi.Parse().summary;
    EXPECT_EQ(s.videoEntryCount, 2u);
    EXPECT_EQ(s.keyFrameCount, 1u);
    EXPECT_EQ(s.audioEntryCount, 1u);
}

TEST(AviWalker, ToolNameStopsAtItsZeroAndIsShownAsUtf8) {
    const Bytes latin1 = {'C', 'a', 'f', 0xE9, 0, 'x'};
    OpenedAvi avi(Riff("AVI ", {List("LIST", "INFO", {Chunk("ISFT", latin1)})}));
    EXPECT_EQ(avi.Parse().summary.toolName, "Caf\xC3\xA9");
    EXPECT_EQ(avi.FileInfoLine("  제작툴"), "  제작툴 : Caf\xC3\xA9");
    const Bytes utf8 = Cat({Text("\xEC\xA0\x9C\xEC\x9E\x91")});
    OpenedAvi korean(Riff("AVI ", {List("LIST", "INFO", {Chunk("ISFT", utf8), Chunk("ISFT", utf8)})}));
    EXPECT_EQ(korean.Parse().summary.toolName, "\xEC\xA0\x9C\xEC\x9E\x91");
}

}  // namespace
}  // namespace kestrova::test
