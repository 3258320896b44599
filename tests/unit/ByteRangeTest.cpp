// The bytes behind every description line: the ranges of the AVI families,
// a click on a line and a click on a byte, the dump made when the bytes are
// not in sight, and entry texts longer than what the user may type.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "AviFixtures.h"
#include "common/Formatters.h"
#include "shell/HexView.h"
#include "support/RangeChecker.h"

namespace kestrova::test {
namespace {

std::int64_t NodeOf(const OpenedAvi& avi, const std::string& caption, int k = 0) {
    const auto captions = avi.Captions();
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (captions[i] == caption && k-- == 0) return static_cast<std::int64_t>(i);
    ADD_FAILURE() << "no node " << caption;
    return 0;
}

const ChunkRecord& RecordOf(const OpenedAvi& avi, std::int64_t node) {
    return avi.Parse().records.at(static_cast<std::size_t>(node - 1));
}

// The pane line that starts with prefix, clicked on node first.
std::int64_t LineOf(const Document& doc, const std::string& prefix, int k = 0) {
    const auto& lines = doc.BoxDescriptionPane().Lines();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0 && k-- == 0) return static_cast<std::int64_t>(i);
    ADD_FAILURE() << "no line " << prefix;
    return -1;
}

ByteRange RangeOfLine(const Document& doc, const std::string& prefix, int k = 0) {
    const std::int64_t line = LineOf(doc, prefix, k);
    return line < 0 ? ByteRange{} : doc.BoxDescriptionPane().RangeOf(static_cast<std::size_t>(line));
}

Bytes RangeFile() {
    StreamHeaderFields audio;
    audio.type = "auds";
    audio.handler = "";
    return List("RIFF", "AVI ", {
        List("LIST", "hdrl", {
            Avih(),
            List("LIST", "strl", {Strh(), StrfVideo(320, 240)}),
            // The format first: it is read as the stream header after it says.
            List("LIST", "strl", {StrfAudio(0x55, 2, 44100, 16000), Strh(audio)}),
            List("LIST", "strl", {Strh(audio), ChunkWithSize("strf", 6, Cat({LE16(1), LE16(2), LE16(3)}))}),
        }),
        List("LIST", "INFO", {Chunk("ISFT", Cat({Text("Lavf"), Zeros(2)}))}),
        List("LIST", "JUNK"),
        List("LIST", "movi"),
        Idx1({IndexEntry("01wb", 0x10, 0, 1), IndexEntry("00dc", 0x10, 4, 100), IndexEntry("00dc", 0x10, 8, 9)}),
    });
}

TEST(AviRanges, EachFamilyPointsAtTheBytesItWasReadFrom) {
    OpenedAvi avi(RangeFile());
    const Document& doc = avi.Doc();
    struct Case {
        std::string node;
        int k;
        std::string line;
        std::uint64_t at;      // from the chunk's header
        std::uint64_t length;  // 0: no range
    };
    const std::vector<Case> cases = {
        {"RIFF AVI ", 0, "Start offset", 0, 0},
        {"RIFF AVI ", 0, "Group ID", 0, 4},
        {"RIFF AVI ", 0, "Group Size", 4, 4},
        {"RIFF AVI ", 0, "Type ", 8, 4},
        {"RIFF AVI ", 0, "Data Size", 0, 0},  // the file's size, not read
        {"avih", 0, "Chunk ID", 0, 4},
        {"avih", 0, "Chunk Size", 4, 4},
        {"avih", 0, "[ Main AVI Header ]", 0, 0},
        {"avih", 0, "MicorSecPerFrmae", 8, 4},
        {"avih", 0, "Height ", 8 + 36, 4},
        {"avih", 0, "Reserved(Length)", 8 + 52, 4},
        {"strh", 0, "Type ", 8, 4},
        {"strh", 0, "Codec", 12, 4},
        {"strh", 0, "Priority", 8 + 12, 2},
        {"strh", 0, "Language", 8 + 14, 2},
        {"strh", 0, "Quality", 8 + 40, 4},
        {"strh", 0, "Sample Size", 8 + 44, 4},
        {"strf", 0, "Width ", 8 + 4, 4},
        {"strf", 0, "Number of Planes", 8 + 12, 2},
        {"strf", 0, "Compression Type", 8 + 16, 4},
        {"strf", 0, "Color Indexes", 8 + 36, 4},
        {"strf", 1, "FormatTag", 8, 2},
        {"strf", 1, "Sample Rate", 8 + 4, 4},
        {"strf", 1, "Size ", 8 + 16, 2},
        // Six bytes of a WAVEFORMATEX: the fields past them read as 0 and have no
        // range; the one they end in is made of what was read.
        {"strf", 2, "Block Alignent", 0, 0},
        {"strf", 2, "Channels", 8 + 2, 2},
        {"strf", 2, "Sample Rate", 8 + 4, 2},
        {"ISFT", 0, "Tool Name", 8, 4},  // up to the zero
        {"JUNK", 0, "Chunk ID", 0, 4},   // a list of type JUNK: its type is the id
        {"JUNK", 0, "Chunk Size", 0, 0},
        {"idx1", 0, "   Audio Sample Count", 0, 0},
        {"idx1", 0, "Sample #1 ", 8 + 16, 16},
        {"idx1", 0, "   CkID", 8 + 16, 4},
        {"idx1", 0, "   Flags", 8 + 20, 4},
        {"idx1", 0, "   Chunk Offset", 8 + 24, 4},
        {"idx1", 0, "   Chunk Length", 8 + 28, 4},
        {"idx1", 0, "Sample #2 ", 8 + 32, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node + ": " + c.line);
        const std::int64_t node = NodeOf(avi, c.node, c.k);
        avi.Click(node);
        const ByteRange expected = c.length ? ByteRange{RecordOf(avi, node).offset + c.at, c.length} : ByteRange{};
        EXPECT_EQ(RangeOfLine(doc, c.line), expected);
    }
    avi.Click(NodeOf(avi, "ISFT"));
    EXPECT_EQ(avi.Description().back(), "Tool Name    : Lavf");
    // A format before its stream header still shows its own stream.
    avi.Click(NodeOf(avi, "strf", 1));
    EXPECT_EQ(avi.Description()[LineOf(doc, "Channels")], "Channels          : 2 (0X0002)");
    EXPECT_EQ(CheckDescriptionRanges(avi.Doc()), std::vector<std::string>{});
}

TEST(AviRanges, TruncatedHeaderAndTheCheckerCatchesAWrongRange) {
    // An avih of 12 bytes: three words were read, the rest show 0 without a range.
    OpenedAvi avi(List("RIFF", "AVI ", {List("LIST", "hdrl", {Chunk("avih", Cat({LE32(1), LE32(2), LE32(3)}))})}));
    avi.Click(3);
    EXPECT_FALSE(RangeOfLine(avi.Doc(), "Reserved ").Empty());
    EXPECT_TRUE(RangeOfLine(avi.Doc(), "Flags").Empty());
    EXPECT_EQ(CheckDescriptionRanges(avi.Doc()), std::vector<std::string>{});

    // The checker itself: values whose range holds other bytes, a range past
    // the end, a value without a range; a computed value and a zero need none.
    Document& doc = avi.Doc();
    doc.ClearDescriptionBuffer();
    doc.AddDescriptionLine("Chunk Size   : 13 (0X0000000D)", {4, 4});
    doc.AddDescriptionLine("   Flags    : 0X00000010", {4, 4});
    doc.AddDescriptionLine("Chunk ID     : RIFF (0X52494646)", {0, 4});
    doc.AddDescriptionLine("Chunk ID     : RIFF (0X52494646)", {doc.FileSize() - 2, 4});
    doc.AddDescriptionLine("Rate             : 25 (0X00000019)");
    doc.AddDescriptionLine("Start offset : 12 (0X0000000C)");
    doc.AddDescriptionLine("Flags             : 0 (0000000000)");
    doc.ShowDescription();
    const auto failures = CheckPaneRanges(doc, "test");
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_NE(failures[0].find("line 0: shows 13"), std::string::npos) << failures[0];
    EXPECT_NE(failures[1].find("line 1: shows 16"), std::string::npos) << failures[1];
    EXPECT_NE(failures[2].find("line 3: range past the end"), std::string::npos) << failures[2];
    EXPECT_NE(failures[3].find("line 4: no range"), std::string::npos) << failures[3];
}

// A document whose description holds lines set by the test, after a click on
// the avih chunk of a small file (so that its dump is in FILEInfo).
class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() : avi_(List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih()}), Chunk("JUNK", Zeros(0x30))})) {
        avi_.Click(3);
        avih_ = RecordOf(avi_, 3).offset;
    }
    void Describe(const std::vector<std::pair<std::string, ByteRange>>& lines) {
        Document& doc = avi_.Doc();
        doc.ClearDescriptionBuffer();
        for (const auto& [text, range] : lines) doc.AddDescriptionLine(text, range);
        doc.ShowDescription();
    }
    Document& Doc() { return avi_.Doc(); }

    OpenedAvi avi_;
    std::uint64_t avih_ = 0;
};

TEST_F(SelectionTest, LineToBytesAndBackWithTies) {
    const ByteRange word{avih_ + 8, 4}, half{avih_ + 10, 2}, chunk{avih_, 64};
    // A time-like entry splits into two pane lines that share one range.
    Describe({{"heading", {}}, {"whole : 1", chunk}, {"time : day\n   1 (0X01)", word}, {"same : 1", word},
              {"half : 1", half}});
    const Pane& pane = Doc().BoxDescriptionPane();
    ASSERT_EQ(pane.Lines().size(), 6u);
    EXPECT_EQ(pane.RangeOf(2), word);
    EXPECT_EQ(pane.RangeOf(3), word);
    const std::string status = Doc().StatusText();
    const auto dump = Doc().FileInfoPane().Lines();

    Doc().SelectLine(3);
    EXPECT_EQ(Doc().SelectedLine(), 3);
    EXPECT_EQ(Doc().Highlight(), word);
    EXPECT_EQ(Doc().FileInfoPane().Lines(), dump);  // in sight already: no new dump
    EXPECT_EQ(Doc().StatusText(), status);
    EXPECT_EQ(Doc().HighlightedBytesText(), "40 9C 00 00");  // 40000 microseconds a frame

    // A line without a range, or no such line: nothing selected, nothing else changes.
    for (const std::int64_t line : {0, 6, -1}) {
        Doc().SelectLine(line);
        EXPECT_FALSE(Doc().SelectedLine().has_value()) << line;
        EXPECT_FALSE(Doc().Highlight().has_value()) << line;
        EXPECT_EQ(Doc().FileInfoPane().Lines(), dump);
    }

    // A byte selects the narrowest range that holds it, the first line of equal ones.
    const std::vector<std::pair<std::uint64_t, std::optional<std::int64_t>>> bytes = {
        {avih_ + 8, 2}, {avih_ + 11, 5}, {avih_ + 12, 1}, {avih_, 1}, {avih_ + 64, std::nullopt}};
    for (const auto& [byte, line] : bytes) {
        Doc().SelectByte(byte);
        EXPECT_EQ(Doc().SelectedLine(), line) << byte;
        if (line) EXPECT_EQ(Doc().Highlight(), pane.RangeOf(static_cast<std::size_t>(*line)));
        else EXPECT_FALSE(Doc().Highlight().has_value());
    }
    // Only a byte the dump shows can be selected.
    Doc().Button1Click("0", "4");
    Doc().SelectByte(avih_ + 8);
    EXPECT_FALSE(Doc().SelectedLine().has_value());
}

TEST_F(SelectionTest, CommandsClearTheSelection) {
    Describe({{"word : 1", {avih_ + 8, 4}}});
    const std::vector<std::function<void()>> commands = {
        [&] { Doc().TreeView1Click(2); }, [&] { Doc().TreeView1Click(99); }, [&] { Doc().Button1Click("0", "4"); },
        [&] { Doc().Reload(); }};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        Describe({{"word : 1", {avih_ + 8, 4}}});
        Doc().SelectLine(0);
        ASSERT_TRUE(Doc().SelectedLine().has_value());
        commands[i]();
        EXPECT_FALSE(Doc().SelectedLine().has_value()) << i;
        EXPECT_FALSE(Doc().Highlight().has_value()) << i;
    }
}

TEST_F(SelectionTest, BytesOutOfSightAreDumpedFromTheirRowToTheNodesEnd) {
    const std::uint64_t junk = RecordOf(avi_, 4).offset;
    Describe({{"word : 1", {avih_ + 0x2A, 4}}, {"elsewhere : 1", {junk + 0x11, 2}}});
    Doc().Button1Click("0", "8");
    Doc().SelectLine(0);
    const std::uint64_t row = (avih_ + 0x2A) & ~std::uint64_t{15};
    const std::uint64_t end = avih_ + 64;
    EXPECT_EQ(Doc().OffsetEditText(), UpperHexText(row));
    EXPECT_EQ(Doc().SizeEditText(), UpperHexText(end - row));
    EXPECT_EQ(Doc().StatusText(), "Memory Read Range (" + Hex32Text(row) + " ~ " + Hex32Text(end) + ")");
    ASSERT_TRUE(Doc().Dump().has_value());
    EXPECT_EQ(Doc().Dump()->offset, row);
    EXPECT_EQ(Doc().Highlight(), (ByteRange{avih_ + 0x2A, 4}));
    EXPECT_EQ(Doc().HighlightedBytesText(), "00 00 F0 00");  // the last half of the width, then the height
    // A range in another chunk is dumped to that chunk's end.
    Doc().SelectLine(1);
    const std::uint64_t junkRow = (junk + 0x11) & ~std::uint64_t{15};
    EXPECT_EQ(Doc().Dump()->offset, junkRow);
    EXPECT_EQ(Doc().Dump()->offset + Doc().Dump()->length, junk + 8 + 0x30);
    EXPECT_EQ(Doc().SelectedLine(), 1);
}

TEST(AviRanges, IndexListingThatRunsIntoALaterIndexPointsThere) {
    const Bytes file = Cat({List("RIFF", "AVI ", {Idx1({IndexEntry("00dc", 0x10, 0, 1)})}),
                            List("RIFF", "AVIX", {List("LIST", "movi"), Idx1({IndexEntry("00dc", 0x10, 0, 2)})})});
    OpenedAvi avi(file);
    avi.Click(2);  // the first idx1 lists both key frames
    const ChunkRecord& later = RecordOf(avi, 5);
    const std::int64_t line = LineOf(avi.Doc(), "   Chunk Length", 1);
    EXPECT_EQ(avi.Doc().BoxDescriptionPane().RangeOf(static_cast<std::size_t>(line)),
              (ByteRange{later.offset + 8 + 12, 4}));
    avi.Doc().SelectLine(line);
    EXPECT_EQ(avi.Doc().OffsetEditText(), UpperHexText((later.offset + 20) & ~15ull));
    EXPECT_EQ(avi.Doc().Dump()->offset + avi.Doc().Dump()->length, later.offset + 8 + later.size);
    EXPECT_EQ(avi.Doc().HighlightedBytesText(), "02 00 00 00");
    EXPECT_EQ(CheckDescriptionRanges(avi.Doc()), std::vector<std::string>{});
}

TEST(AviRanges, LongIndexIsDumpedAgainPastItsFirstMebibyte) {
    constexpr std::uint32_t kEntries = 70'000;  // 1,120,000 bytes
    Bytes data;
    data.reserve(kEntries * 16);
    for (std::uint32_t i = 0; i < kEntries; ++i) {
        const Bytes e = IndexEntry("00dc", 0x10, i, i * 3);
        data.insert(data.end(), e.begin(), e.end());
    }
    OpenedAvi avi(List("RIFF", "AVI ", {Chunk("idx1", data)}));
    avi.Click(2);
    EXPECT_EQ(avi.Doc().SizeEditText(), "100000");
    const std::int64_t line = LineOf(avi.Doc(), "   Chunk Length", kEntries - 1);
    const std::uint64_t at = RecordOf(avi, 2).offset + 8 + (kEntries - 1) * 16 + 12;
    avi.Doc().SelectLine(line);
    EXPECT_EQ(avi.Doc().OffsetEditText(), UpperHexText(at & ~15ull));
    EXPECT_EQ(avi.Doc().HighlightedBytesText(), "4D 34 03 00");  // 69,999 x 3
    // And back: the byte selects the line.
    avi.Doc().SelectByte(at + 2);
    EXPECT_EQ(avi.Doc().SelectedLine(), line);
}

// A sparse file: 4 GiB of JUNK, then the RIFF with its header list past 4 GiB.
TEST(AviRanges, BytesPastFourGibibytes) {
    const std::uint32_t junkSize = 0xFFFFFFF0;
    const Bytes head = Cat({Text("JUNK"), LE32(junkSize)});
    const Bytes riff = List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih()})});
    TempFile file(head, "far.avi");
    {
        std::FILE* f = std::fopen(file.Path().c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fseeko(f, 8 + std::int64_t{junkSize}, SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(riff.data(), 1, riff.size(), f), riff.size());
        std::fclose(f);
    }
    Document doc;
    doc.OpenFile(file.Path());
    ASSERT_EQ(doc.FileKind(), 4u);
    ASSERT_EQ(doc.Tree().Count(), 5u);
    doc.TreeView1Click(4);  // avih
    const std::uint64_t avih = 0xFFFFFFF8ull + 24;
    EXPECT_EQ(doc.OffsetEditText(), "100000010");  // nine digits, not cut
    EXPECT_EQ(doc.FileInfoPane().Lines()[2].substr(0, 10), "100000010:");
    EXPECT_EQ(LineOf(doc, "Width"), 14);
    doc.SelectByte(avih + 8 + 33);
    EXPECT_EQ(doc.SelectedLine(), 14);
    EXPECT_EQ(doc.HighlightedBytesText(), "40 01 00 00");

    // After a dump elsewhere the line's bytes are dumped again from their row.
    doc.Button1Click("0", "10");
    doc.SelectLine(14);
    EXPECT_EQ(doc.OffsetEditText(), UpperHexText((avih + 40) & ~15ull));
    EXPECT_EQ(doc.HighlightedBytesText(), "40 01 00 00");
    // Read Offset reads every digit the program put there.
    doc.Button1Click(doc.OffsetEditText(), "4");
    EXPECT_EQ(doc.FileInfoPane().Lines()[2].substr(0, 10), "100000030:");
    EXPECT_EQ(doc.StatusText(), "Memory Read Range (0X100000030 ~ 0X100000034)");
    EXPECT_EQ(CheckDescriptionRanges(doc), std::vector<std::string>{});
}

TEST(HexRows, ReadBackWhateverTheAddressWidth) {
    std::vector<std::string> rows;
    const Bytes bytes = {0x00, 0x41, 0x7F, 0x10};
    HexDump(bytes, 0x123456789Eull, bytes.size(), rows);  // columns E and F, then 0 and 1
    ASSERT_EQ(rows.size(), 4u);
    const std::string& first = rows[2];
    const std::optional<HexRowLayout> layout = ParseHexRow(first);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->width, 10u);
    EXPECT_EQ(layout->address, 0x1234567890ull);
    EXPECT_EQ(first.substr(layout->HexAt(14), 2), "00");
    EXPECT_EQ(HexRowByteAt(first, layout->HexAt(15) - 1), 0x123456789Full);  // the blank before the digits
    EXPECT_EQ(HexRowByteAt(first, layout->CharAt(15)), 0x123456789Full);
    EXPECT_FALSE(HexRowByteAt(first, layout->HexAt(3)).has_value());  // a blank column
    EXPECT_FALSE(HexRowByteAt(first, 3).has_value());                 // the address
    EXPECT_EQ(HexRowByteText(rows[3], 0x12345678A1ull), "10");
    EXPECT_FALSE(HexRowByteText(rows[3], 0x12345678A2ull).has_value());
    using Spans = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(HexRowSpans(first, 0x1234567890ull, 0x12345678A0ull),
              (Spans{{layout->HexAt(14), layout->HexAt(15) + 2}, {layout->CharAt(14), layout->CharAt(16)}}));
    EXPECT_EQ(HexRowSpans(rows[3], 0x12345678A1ull, 0x12345678FFull).size(), 2u);
    EXPECT_TRUE(HexRowSpans(rows[3], 0x12345678A2ull, 0x12345678FFull).empty());
    EXPECT_FALSE(ParseHexRow(kHexDumpHeader).has_value());
}

}  // namespace
}  // namespace kestrova::test
