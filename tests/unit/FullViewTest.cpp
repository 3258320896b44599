// The full view's walk, its switch and its bit ranges, on byte-exact files.

#include <gtest/gtest.h>

#include "FullFixtures.h"
#include "iso/full/Fields.h"
#include "shell/Pane.h"
#include "tools/DumpState.h"

namespace kestrova::test {
namespace {

std::vector<std::string> TreeText(const Document& doc) {
    std::vector<std::string> out;
    const auto& nodes = doc.Tree().Nodes();
    std::vector<int> depth(nodes.size(), 0);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        depth[i] = depth[static_cast<std::size_t>(nodes[i].parent)] + 1;
        out.push_back(std::string(static_cast<std::size_t>(depth[i] - 1) * 2, ' ') + nodes[i].caption);
    }
    return out;
}

struct WalkCase {
    const char* name;
    Bytes file;
    std::vector<std::string> tree;
    std::string status;  // what follows "full.mp4 Open"
};

TEST(FullViewWalk, TreesOfTheBoxKinds) {
    // A QuickTime meta holds its children straight after the header; an ISO one after version and flags.
    const Bytes qtMeta = Box("meta", {Box("hdlr", Zeros(25)), Box("keys", Zeros(8))});
    const Bytes isoMeta = FullBox("meta", 0, 0, Cat({Box("hdlr", Zeros(25)), Box("ilst")}));
    Bytes deep = Box("free", Zeros(4));
    for (int i = 0; i < 70; ++i) deep = Box("moov", deep);
    const std::vector<WalkCase> cases = {
        {"quicktime and iso meta", Cat({Box("ftyp", Text("isom")), Box("udta", {qtMeta, isoMeta})}),
         {"ftyp", "udta", "  meta", "    hdlr", "    keys", "  meta", "    hdlr", "    ilst"}, ""},
        {"size 0 runs to the end, 64-bit sizes", Cat({LargeBox("ftyp", Text("isom")), LargeBox("moov", Box("mvhd", Zeros(4))),
                                                       BoxWithSize(0, "mdat", Zeros(40))}),
         {"ftyp", "moov", "  mvhd", "mdat"}, ""},
        {"a child past its parent is cut and ends the level",
         Cat({Box("ftyp", Text("isom")), Box("moov", {BoxWithSize(200, "trak", Box("tkhd", Zeros(4))), Box("free")}),
              Box("skip")}),
         {"ftyp", "moov", "  trak", "    tkhd", "    free", "skip"}, ""},
        {"a size too small ends the walk", Cat({Box("ftyp", Text("isom")), BoxWithSize(5, "free", Zeros(8)), Box("skip")}),
         {"ftyp", "free"}, ""},
        {"unknown boxes are leaves", Cat({Box("ftyp", Text("isom")), Box("zzzz", Box("free"))}), {"ftyp", "zzzz"}, ""},
        {"nesting stops at depth 64", Cat({Box("ftyp", Text("isom")), deep}), {}, " - nesting stops at depth 64"},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.file, "full.mp4");
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(file.Path());
        EXPECT_EQ(doc.FileKind(), 1u);
        EXPECT_EQ(doc.StatusText(), "full.mp4 Open" + c.status);
        if (!c.tree.empty()) {
            EXPECT_EQ(TreeText(doc), c.tree);
        }
        if (c.status.empty()) continue;
        // 64 levels of moov under the root, the 65th level not walked.
        EXPECT_EQ(doc.Tree().Count(), 1u + 1 + 64);
    }
}

TEST(FullViewWalk, WhichFilesOpen) {
    struct OpenCase {
        const char* name;
        Bytes file;
        std::uint32_t fileKind;  // in the full view; the classic view refuses all but the first
    };
    const std::vector<OpenCase> cases = {
        {"a DASH segment", Cat({Box("styp", Text("msdh")), Box("sidx", Zeros(24)), Box("moof", Box("mfhd", Zeros(8)))}), 1},
        {"QuickTime starting with wide", Cat({Box("wide"), Box("mdat", Zeros(16)), Box("moov", Box("mvhd", Zeros(100)))}), 1},
        {"mdat of size 0 first", BoxWithSize(0, "mdat", Zeros(64)), 1},
        {"a 64-bit size below 16", Cat({BoxWithSize(1, "moof", U64(12)), Zeros(16)}), 4},
        {"a first box larger than the file", Cat({BoxWithSize(4096, "moof", Zeros(16))}), 4},
        {"an unknown first box", Cat({Box("abcd", Zeros(16))}), 4},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.file, "full.mp4");
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(file.Path());
        // 4 would be AVI: none of these is, so the refusal shows and nothing is walked.
        if (c.fileKind == 4) {
            EXPECT_EQ(doc.FileKind(), 0u);
            EXPECT_EQ(doc.Full(), nullptr);
        } else {
            EXPECT_EQ(doc.FileKind(), c.fileKind);
            ASSERT_NE(doc.Full(), nullptr);
            EXPECT_GE(doc.Full()->records.size(), 1u);
        }
    }
}

TEST(FullViewSwitch, KeepsTheBoxOfTheSameOffsetAndType) {
    const Bytes file = Cat({Box("ftyp", Text("isom")),
                            Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("trak", Box("edts", FullBox("elst", 0, 0, U32(0))))})});
    TempFile temp(file, "full.mp4");
    Document doc;
    doc.OpenFile(temp.Path());
    EXPECT_EQ(doc.Full(), nullptr);
    doc.TreeView1Click(3);  // mvhd in the classic tree
    doc.SetView(ViewKind::Full);
    ASSERT_NE(doc.Full(), nullptr);
    EXPECT_EQ(doc.ClickedNode(), 3);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines()[2], "Box Type : mvhd (0X6D766864)");
    // elst is a node of the full view only: switching back selects the root.
    doc.TreeView1Click(6);
    EXPECT_EQ(doc.Tree().Nodes()[6].caption, "elst");
    doc.SetView(ViewKind::Classic);
    EXPECT_EQ(doc.Full(), nullptr);
    EXPECT_EQ(doc.ClickedNode(), -1);

    nlohmann::ordered_json state = StateJson(doc, {DumpCommand::Kind::Open});
    EXPECT_EQ(state["view"], "classic");
    EXPECT_TRUE(state["records"][0].contains("typeIndex"));
    doc.SetView(ViewKind::Full);
    state = StateJson(doc, {DumpCommand::Kind::Open});
    EXPECT_EQ(state["view"], "full");
    EXPECT_EQ(state["records"][1].dump(), R"({"index":1,"offset":12,"size":148,"headerSize":8,"type":"moov"})");
}

TEST(FullViewRanges, BitFieldsKeepTheirBitsThroughThePaneAndLightWholeBytes) {
    Pane pane;
    const ByteRange bits = ByteRange::Bits(8 * 0x1A2B + 3, 5);
    EXPECT_EQ(bits, (ByteRange{0x1A2B, 1, 3, 5}));
    EXPECT_EQ(ByteRange::Bits(8 * 10 + 6, 4), (ByteRange{10, 2, 6, 4}));
    EXPECT_EQ(ByteRange::Bits(8 * 10, 16), (ByteRange{10, 2}));  // whole bytes need no bits
    pane.Replace(std::vector<std::string>{"a", "b"}, {bits, ByteRange{0xFFFFFFFFFFull, 3}});
    EXPECT_EQ(pane.RangeOf(0), bits);
    EXPECT_EQ(pane.RangeOf(1), (ByteRange{0xFFFFFFFFFFull, 3}));

    // A box whose fields are bits: the narrowest range that holds a byte wins, counted in bits.
    class Recorder final : public DocumentView {
    public:
        void AddDescriptionLine(std::string line, ByteRange range) override { lines.push_back({line, range}); }
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
        std::uint32_t FileKind() const override { return 1; }
        const RegionalSettings& Settings() const override { return rs; }
        std::vector<std::pair<std::string, ByteRange>> lines;
        std::string path;
        RegionalSettings rs;
    } view;
    const std::uint8_t body[] = {0xB5, 0x0F, 0xFF};
    {
        full::Fields f(view, {100, {body, sizeof body}, 4});
        f.Bits("a", 3);
        f.Bits("b_longer", 9);
        f.U("c", 2);  // not byte-aligned: the box is cut here
    }
    ASSERT_EQ(view.lines.size(), 3u);
    EXPECT_EQ(view.lines[0].first, "a        : 5 (0X05)");
    EXPECT_EQ(view.lines[0].second, (ByteRange{100, 1, 0, 3}));
    EXPECT_EQ(view.lines[1].first, "b_longer : 336 (0X0150)");
    EXPECT_EQ(view.lines[1].second, (ByteRange{100, 2, 3, 9}));
    EXPECT_EQ(view.lines[2].first,
              "(the box ends at offset 103: c needs 2 bytes, 2 are left; the header says 4)");
}

TEST(FullViewRanges, StatusNamesTheBitsOfALitField) {
    // colr nclx: full_range_flag is the top bit of the byte after the three 16-bit codes.
    const Bytes file = Cat({Box("ftyp", Text("isom")), Box("moov", Box("colr", Cat({Text("nclx"), U16(1), U16(1), U16(1), U8(0x80)})))});
    TempFile temp(file, "full.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    doc.TreeView1Click(3);
    const Pane& pane = doc.BoxDescriptionPane();
    std::int64_t bitLine = -1;
    for (std::size_t i = 0; i < pane.Lines().size(); ++i)
        if (pane.RangeOf(i).HasBits() && bitLine < 0) bitLine = static_cast<std::int64_t>(i);
    ASSERT_GE(bitLine, 0) << "colr shows no bit field";
    const std::string before = doc.StatusText();
    doc.SelectLine(bitLine);
    const ByteRange lit = *doc.Highlight();
    EXPECT_EQ(lit.length, 1u);
    EXPECT_EQ(doc.StatusText(), "bit " + std::to_string(lit.firstBit) + " of 0x" + UpperHexText(lit.offset));
    // A click on that byte selects the narrowest line: the bit field, not a wider one.
    doc.SelectByte(lit.offset);
    EXPECT_EQ(doc.SelectedLine(), bitLine);
    // A line of whole bytes, or none, gives the status back.
    doc.SelectLine(0);
    EXPECT_EQ(doc.StatusText(), before);
}

}  // namespace
}  // namespace kestrova::test
