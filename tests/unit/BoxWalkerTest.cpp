#include <gtest/gtest.h>

#include "common/Formatters.h"
#include "iso/Mp4ParseIso.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

using namespace test;

struct Walked {
    std::uint8_t kind = 0;
    NodeList tree;
    IsoParse parse;
    // "caption@parent" per node after the root, to compare layouts in one line.
    std::vector<std::string> Layout() const {
        std::vector<std::string> out;
        for (std::size_t i = 1; i < tree.Nodes().size(); ++i)
            out.push_back(tree.Nodes()[i].caption + "@" + std::to_string(tree.Nodes()[i].parent));
        return out;
    }
};

Walked Walk(const Bytes& contents) {
    TempFile f(contents);
    FileSource source(f.Path());
    Walked w;
    w.tree.Reset("root");
    w.kind = ParseIsoFile(source, source.Size(), w.tree, w.parse);
    return w;
}

const Bytes kFtyp = Box("ftyp", Cat({Text("isom"), U32(0x200), Text("isomiso2")}));

TEST(IsoRecognition, HopsFromSizeToSizeToAMovieBox) {
    EXPECT_EQ(Walk({}).kind, 0);
    EXPECT_EQ(Walk(Box("moov")).kind, 1);                                    // no ftyp needed
    EXPECT_EQ(Walk(Cat({kFtyp, Box("mdat", Zeros(20)), Box("moov")})).kind, 1);  // media data first
    EXPECT_EQ(Walk(Cat({U32(0), Text("moov")})).kind, 0);                    // first size is 0
    EXPECT_EQ(Walk(Cat({kFtyp, Box("mdat", Zeros(4)), U32(0), Text("free")})).kind, 2);
    EXPECT_EQ(Walk(Cat({kFtyp, Box("mdat", Zeros(4))})).kind, 0);
    EXPECT_EQ(Walk(Cat({Text("RIFF"), LE32(4), Text("AVI ")})).kind, 0);
    EXPECT_TRUE(Walk(Cat({kFtyp, Box("mdat"), U32(0), Text("free")})).parse.records.empty());
}

TEST(IsoRecognition, LargeSizesAreFollowed) {
    // A 64-bit size hops over the media data straight to the movie box.
    const Bytes file = Cat({kFtyp, LargeBox("mdat", Zeros(40)), Box("moov", {Box("free")})});
    const Walked w = Walk(file);
    EXPECT_EQ(w.kind, 1);
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"ftyp@0", "mdat@0", "moov@0", "free@3"}));
    EXPECT_EQ(w.parse.records[1].size, 1u);
    EXPECT_EQ(w.parse.records[1].largeSize, 56u);
    EXPECT_EQ(w.parse.records[2].offset, kFtyp.size() + 56);
}

TEST(BoxWalk, GrammarGivesTheTreeAndTypeIndexes) {
    auto trak = [](const Bytes& extra) {
        return Box("trak", {FullBox("tkhd", 0, 1, Zeros(80)),
                            Box("mdia", {FullBox("mdhd", 0, 0, Zeros(20)), FullBox("hdlr", 0, 0, Zeros(20)),
                                         Box("minf", {FullBox("vmhd", 0, 1, Zeros(8)),
                                                      Box("dinf", {FullBox("dref", 0, 0,
                                                                           Cat({U32(1), FullBox("url ", 0, 1)}))}),
                                                      Box("stbl", {FullBox("stsd", 0, 0, U32(0)),
                                                                   FullBox("stts", 0, 0, U32(0)),
                                                                   FullBox("stsz", 0, 0, Zeros(8))})})}),
                            extra});
    };
    const Bytes udta = Box("udta", {FullBox("titl", 0, 0, Zeros(6)), Box("\xA9nam", Text("x"))});
    const Bytes file = Cat({kFtyp,
                            Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("free"), trak({}), trak(udta),
                                         Box("mvex")}),
                            Box("mdat", Zeros(8))});
    const Walked w = Walk(file);
    ASSERT_EQ(w.kind, 1);
    const auto& r = w.parse.records;
    auto find = [&](const std::string& type, int nth) {
        int seen = 0;
        for (const auto& rec : r)
            if (FourccText(rec.type) == type && seen++ == nth) return rec;
        ADD_FAILURE() << "no " << nth << "th " << type;
        return BoxRecord{};
    };
    EXPECT_EQ(find("tkhd", 0).typeIndex, 0);
    EXPECT_EQ(find("tkhd", 1).typeIndex, 1);
    EXPECT_EQ(find("trak", 1).typeIndex, 1);
    EXPECT_EQ(find("stsd", 1).typeIndex, 1);
    EXPECT_EQ(find("url ", 1).typeIndex, 1);
    EXPECT_EQ(find("udta", 0).typeIndex, 0);
    EXPECT_EQ(find("titl", 0).typeIndex, 0);  // the row of its udta
    EXPECT_EQ(find("free", 0).typeIndex, 0);
    EXPECT_EQ(find("mdat", 0).typeIndex, 0);
    // 0xA9 item codes show as a full stop and three letters.
    EXPECT_EQ(w.tree.Nodes()[find(".nam", 0).index + 1].caption, ".nam");
    // Records and nodes go together in preorder, each child under its container.
    for (std::size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].index, static_cast<int>(i));
        EXPECT_EQ(w.tree.Nodes()[i + 1].caption, FourccText(r[i].type));
    }
    const auto& nodes = w.tree.Nodes();
    EXPECT_EQ(nodes[find("free", 0).index + 1].parent, find("moov", 0).index + 1);
    EXPECT_EQ(nodes[find("url ", 0).index + 1].parent, find("dref", 0).index + 1);
    EXPECT_EQ(nodes[find("mdat", 0).index + 1].parent, 0);
    EXPECT_EQ(r.size(), 2u + 1 + 1 + 2 * 14 + 3 + 1 + 1);
}

TEST(BoxWalk, SecondUdtaGetsTheNextRow) {
    const Bytes file = Box("moov", {Box("udta", {Box("cprt", Zeros(6))}),
                                    Box("trak", {Box("udta", {Box("titl", Zeros(6)), Box("auth", Zeros(6))})})});
    const Walked w = Walk(file);
    std::vector<int> indexes;
    for (const auto& rec : w.parse.records) indexes.push_back(rec.typeIndex);
    // moov udta cprt trak udta titl auth
    EXPECT_EQ(indexes, (std::vector<int>{0, 0, 0, 0, 1, 1, 1}));
}

TEST(BoxWalk, ZeroSizeEndsOnlyItsOwnLevel) {
    const Bytes file = Cat({Box("moov", {Box("trak", {Box("tkhd", Zeros(4)), U32(0), Text("edts"), Box("mdia")}),
                                         Box("free")}),
                            Box("skip")});
    const Walked w = Walk(file);
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "trak@1", "tkhd@2", "free@1", "skip@0"}));
}

TEST(BoxWalk, SmallSizesMoveOnByThatManyBytes) {
    // Inside moov a size of 4 moves on by 4 bytes: the next header starts at 12.
    Walked w = Walk(Box("moov", {U32(4), Text("ab"), U32(8), Text("free")}));
    ASSERT_EQ(w.parse.records.size(), 3u);
    EXPECT_EQ(w.parse.records[1].offset, 8u);
    EXPECT_EQ(FourccText(w.parse.records[1].type), "0X61620000");
    EXPECT_EQ(w.parse.records[2].offset, 12u);
    // A size of 1 whose 64-bit size cannot hold its own header moves on by one byte.
    w = Walk(Cat({Box("moov"), U32(1), Text("wide"), U64(3)}));
    ASSERT_EQ(w.parse.records.size(), 3u);
    const BoxRecord& wide = w.parse.records[1];
    EXPECT_EQ(wide.size, 1u);
    EXPECT_EQ(wide.largeSize, 3u);
    EXPECT_EQ(wide.Extent(), 1u);
    EXPECT_EQ(w.parse.records[2].offset, 9u);
}

TEST(BoxWalk, LargeContainerChildrenStartAfterTheLongHeader) {
    const Bytes file = Cat({kFtyp, LargeBox("moov", Cat({Box("mvhd", Zeros(4)), Box("trak")}))});
    const Walked w = Walk(file);
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"ftyp@0", "moov@0", "mvhd@2", "trak@2"}));
    EXPECT_EQ(w.parse.records[2].offset, kFtyp.size() + 16);
}

TEST(BoxWalk, SizesPastTheEndAndNearTwoToThe64End) {
    // A container whose size reaches past the file is walked to the end of the file.
    Walked w = Walk(Cat({BoxWithSize(1000, "moov", Box("mvhd", Zeros(4))), Box("free")}));
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "mvhd@1", "free@1"}));
    // A child header cut by the end of the file is not recorded.
    w = Walk(Cat({BoxWithSize(1000, "moov", Box("mvhd")), U32(8), Text("fr")}));
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "mvhd@1"}));
    // 64-bit sizes that would wrap a position around end the walk.
    w = Walk(Cat({Box("moov"), LargeBox("free", {}, ~0ULL), Box("skip")}));
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "free@0"}));
    w = Walk(Cat({Box("moov", {LargeBox("free", {}, ~0ULL - 4), Box("skip")})}));
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "free@1"}));
    // 32-bit sizes near 2^32 do not wrap either.
    w = Walk(Cat({Box("moov", {BoxWithSize(0xFFFFFFF8u, "free"), Box("skip")}), Box("skip")}));
    EXPECT_EQ(w.Layout(), (std::vector<std::string>{"moov@0", "free@1", "skip@0"}));
}

TEST(BoxWalk, StopsAtAMillionRecords) {
    Bytes many;
    many.reserve(8 * 1'000'010);
    const Bytes free = Box("free");
    for (int i = 0; i < 1'000'010; ++i) many.insert(many.end(), free.begin(), free.end());
    TempFile f(Cat({Box("moov"), many}), "many.mp4");
    Document doc;
    doc.OpenFile(f.Path());
    EXPECT_EQ(doc.Iso()->records.size(), 1'000'000u);
    EXPECT_EQ(doc.Tree().Count(), 1'000'001u);
    EXPECT_EQ(doc.RecordCount(), 1'000'000u);
    EXPECT_EQ(doc.StatusText(), "many.mp4 Open - only the first 1,000,000 boxes are shown");
}

TEST(FtypParse, BrandsAndSizes) {
    Walked w = Walk(Cat({Box("ftyp", Cat({Text("3gp4"), U16(1), U16(512), Text("isom3gp4")})), Box("moov")}));
    const FtypRow& row = w.parse.tables.ftyp.at(0);
    EXPECT_EQ(row.majorBrand, Fourcc("3gp4"));
    EXPECT_EQ(row.minorVersionHigh, 1);
    EXPECT_EQ(row.minorVersionLow, 512);
    EXPECT_EQ(row.compatibleBrands, (std::vector<std::uint32_t>{Fourcc("isom"), Fourcc("3gp4")}));
    w = Walk(Cat({Box("ftyp", Cat({Text("3gp4"), U32(0)})), Box("moov")}));
    EXPECT_TRUE(w.parse.tables.ftyp.at(0).compatibleBrands.empty());
    // An ftyp that claims far more than the file holds lists only what is there.
    w = Walk(Cat({Box("moov"), BoxWithSize(0x7FFFFFF0, "ftyp", Cat({Text("mp42"), U32(0), Text("mp41")}))}));
    EXPECT_EQ(w.parse.tables.ftyp.at(0).compatibleBrands, (std::vector<std::uint32_t>{Fourcc("mp41")}));
}

}  // namespace
}  // namespace kestrova
