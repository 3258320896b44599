// A sparse file past 4 GiB: movie samples through co64, a largesize mdat, and
// a movie fragment whose base data offset and run data lie past 4 GiB. The
// holes read as zeros and take no disk space.

#include <gtest/gtest.h>

#include <cstdio>

#include "FullFixtures.h"
#include "shell/HexView.h"
#include "shell/StreamSamples.h"
#include "support/BoxWriter.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

constexpr std::uint64_t k4G = 0x100000000ull;
constexpr std::uint64_t kMoof = k4G + 0x1000;         // the moof
constexpr std::uint64_t kFragmentMdat = k4G + 0x2000;  // the fragment's largesize mdat

struct Piece {
    std::uint64_t at;
    Bytes bytes;
};

class SparseFile {
public:
    explicit SparseFile(const std::vector<Piece>& pieces) : file_(Bytes{}, "large.mp4") {
        std::FILE* f = std::fopen(file_.Path().c_str(), "r+b");
        for (const Piece& p : pieces) {
            fseeko(f, static_cast<off_t>(p.at), SEEK_SET);
            std::fwrite(p.bytes.data(), 1, p.bytes.size(), f);
        }
        std::fclose(f);
    }
    const std::string& Path() const { return file_.Path(); }

private:
    TempFile file_;
};

Bytes Head() {
    const Bytes tkhd = FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(1), Zeros(68)}));
    const Bytes mdhd = FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(80), U16(0x55C4), U16(0)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("vide"), Zeros(12), U8(0)}));
    const Bytes stbl = Box("stbl", {FullBox("stsd", 0, 0, Cat({U32(1), Box("avc1", Zeros(78))})),
                                    FullBox("stts", 0, 0, Cat({U32(1), U32(2), U32(40)})),
                                    FullBox("stss", 0, 0, Cat({U32(1), U32(1)})),
                                    FullBox("stsc", 0, 0, Cat({U32(1), U32(1), U32(1), U32(1)})),
                                    FullBox("stsz", 0, 0, Cat({U32(0), U32(2), U32(16), U32(32)})),
                                    FullBox("co64", 0, 0, Cat({U32(2), U64(k4G + 0x100), U64(k4G + 0x200)}))});
    const Bytes trak = Box("trak", {tkhd, Box("mdia", {mdhd, hdlr, Box("minf", {stbl})})});
    const Bytes mvex = Box("mvex", {FullBox("trex", 0, 0, Cat({U32(1), U32(1), U32(40), U32(0), U32(0x10000)}))});
    const Bytes moov =
        Box("moov", {FullBox("mvhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(0), Zeros(80)})), trak, mvex});
    const Bytes head = Cat({Box("ftyp", Cat({Text("iso6"), U32(0)})), moov});
    // The movie's mdat runs from here up to the moof, with a 64-bit size.
    return Cat({head, U32(1), Text("mdat"), U64(kMoof - head.size())});
}

// A moof with an explicit 64-bit base past 4 GiB: three samples of 16 bytes, the first a sync sample.
Bytes Moof() {
    const Bytes tfhd = FullBox("tfhd", 0, 0x1, Cat({U32(1), U64(kFragmentMdat + 16)}));
    const Bytes trun =
        FullBox("trun", 0, 0x204, Cat({U32(3), U32(0x02000000), U32(16), U32(16), U32(16)}));
    return Box("moof", {FullBox("mfhd", 0, 0, U32(1)), Box("traf", {tfhd, FullBox("tfdt", 1, 0, U64(80)), trun})});
}

std::vector<Piece> Pieces() {
    Bytes data(48);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
    return {{0, Head()},
            {k4G + 0x100, Bytes(16, 0x11)},
            {k4G + 0x200, Bytes(32, 0x22)},
            {kMoof, Moof()},
            {kFragmentMdat, Cat({U32(1), Text("mdat"), U64(16 + data.size())})},
            {kFragmentMdat + 16, data}};
}

TEST(LargeFile, TreeSamplesDumpAndDoubleClickPast4GiB) {
    const SparseFile file(Pieces());
    for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
        SCOPED_TRACE(view == ViewKind::Full ? "full view" : "classic view");
        Document doc;
        doc.SetView(view);
        doc.OpenFile(file.Path());
        ASSERT_EQ(doc.FileSize(), kFragmentMdat + 64);
        // The tree reaches the boxes past 4 GiB.
        bool moofFound = false;
        for (const TreeNode& node : doc.Tree().Nodes()) moofFound = moofFound || node.caption.find("moof") != std::string::npos;
        EXPECT_TRUE(moofFound);

        // Sixteen digits can be typed, and a Read Offset past 4 GiB dumps there.
        EXPECT_EQ(doc.OffsetEditMaxLength(), 16u);
        doc.Button1Click(TypeIntoEntry("", "1000000FC", doc.OffsetEditMaxLength()), "8");
        ASSERT_EQ(doc.FileInfoPane().Lines().size(), 4u);
        EXPECT_EQ(doc.FileInfoPane().Lines()[2], "1000000F0:" + std::string(36, ' ') + " 00 00 00 00 ; " + std::string(12, ' ') + "....");
        EXPECT_EQ(doc.FileInfoPane().Lines()[3], "100000100: 11 11 11 11" + std::string(36, ' ') + " ; ....");
        EXPECT_EQ(doc.StatusText(), "Memory Read Range (0X1000000FC ~ 0X100000104)");

        // Movie samples through co64, then the fragment's through its 64-bit base.
        const std::optional<SampleList> list = BuildDocumentSampleList(doc);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->tracks.size(), 1u);
        const SampleTrack& track = list->tracks[0];
        std::vector<std::string> got;
        for (const Sample& s : track.samples)
            got.push_back(std::to_string(s.number) + " " + UpperHexText(s.offset) + " " + std::to_string(s.dts) + " " +
                          std::to_string(s.size) + (s.key ? " K" : ""));
        EXPECT_EQ(got, (std::vector<std::string>{"1 100000100 0 16 K", "2 100000200 40 32", "3 100002010 80 16 K",
                                                 "4 100002020 120 16", "5 100002030 160 16"}));
        EXPECT_TRUE(list->notes.empty()) << list->notes.front();

        // A double-click on a fragment sample: its trun line in the full view, its moof in the classic view.
        const std::int64_t line = ClickSampleSource(doc, track, track.samples[3]);
        const std::string clicked = doc.Tree().Nodes()[static_cast<std::size_t>(doc.ClickedNode())].caption;
        if (view == ViewKind::Full) {
            EXPECT_NE(clicked.find("trun"), std::string::npos) << clicked;
            ASSERT_GE(line, 0);
            const std::string& text = doc.BoxDescriptionPane().Lines()[static_cast<std::size_t>(line)];
            EXPECT_EQ(text.rfind("   sample #2", 0), 0u) << text;
            EXPECT_NE(text.find("offset 4,294,975,520"), std::string::npos) << text;  // 0x100002020
            EXPECT_EQ(doc.HighlightedBytesText(), "00 00 00 10");
            EXPECT_EQ(CheckPaneRanges(doc, "trun"), std::vector<std::string>{});
        } else {
            EXPECT_NE(clicked.find("moof"), std::string::npos) << clicked;
            EXPECT_EQ(line, -1);
        }
    }
}

TEST(LargeFile, OneAddressWidthPerDump) {
    const SparseFile file({{0, Head()}, {k4G + 0x10, Bytes(16, 0x33)}});
    Document doc;
    doc.OpenFile(file.Path());
    doc.Button1Click("FFFFFFF0", "30");
    const std::vector<std::string>& rows = doc.FileInfoPane().Lines();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].size(), rows[2].size());  // the header widens with the addresses
    EXPECT_EQ(rows[1].size(), rows[2].size());
    EXPECT_EQ(rows[2].substr(0, 10), "0FFFFFFF0:");
    EXPECT_EQ(rows[3].substr(0, 10), "100000000:");
    EXPECT_EQ(rows[4].substr(0, 10), "100000010:");
    // Under 4 GiB a dump keeps eight digits.
    doc.Button1Click("10", "10");
    EXPECT_EQ(doc.FileInfoPane().Lines()[2].substr(0, 9), "00000010:");
    EXPECT_EQ(doc.FileInfoPane().Lines()[0], kHexDumpHeader);
}

}  // namespace
}  // namespace kestrova
