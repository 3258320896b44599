// Box paths, the node holding a byte, find, text search and history on small files.

#include <gtest/gtest.h>

#include <atomic>

#include "AviFixtures.h"
#include "common/Formatters.h"
#include "common/SampleList.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "shell/Navigation.h"
#include "support/BoxWriter.h"

namespace kestrova::test {
namespace {

// ftyp at 0 (20 bytes); moov at 20 with two traks and a free box; a box whose
// type needs escapes; two free boxes; mdat of 2 MB, more than one dump shows.
Bytes IsoFile() {
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0), Text("isom")})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)),
                             Box("trak", {FullBox("tkhd", 0, 3, Zeros(80))}),
                             Box("trak", {FullBox("tkhd", 0, 3, Zeros(80)), Box("udta", {Box("\xA9nam", Text("hi"))})}),
                             Box("free", Zeros(4))}),
                Box("a/[]", Zeros(2)), Box("free"), Box("free", Text("padding text")),
                Box("mdat", Zeros(0x200000))});
}

struct OpenedFile {
    explicit OpenedFile(const Bytes& bytes, const std::string& name, ViewKind view = ViewKind::Full) : file(bytes, name) {
        document.SetView(view);
        document.OpenFile(file.Path());
        index = NodeIndex(document);
    }
    TempFile file;
    Document document;
    NodeIndex index;
};

TEST(NodeTypeText, WritesAndReadsEveryKindOfByte) {
    const struct {
        NodeType type;
        const char* text;
    } cases[] = {
        {{Fourcc("moov"), 0}, "moov"},
        {{Fourcc("ac-3"), 0}, "ac-3"},
        {{0xA96E616D, 0}, "\\xA9nam"},
        {{Fourcc("a/[]"), 0}, "a\\/\\[\\]"},
        {{0x5C000A7F, 0}, "\\\\\\x00\\x0A\\x7F"},
        {{Fourcc("LIST"), Fourcc("strl")}, "LIST strl"},
        {{Fourcc("RIFF"), Fourcc("AVI ")}, "RIFF AVI "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NodeTypeText(c.type), c.text);
        EXPECT_EQ(ParseNodeType(c.text), c.type) << c.text;
    }
    EXPECT_EQ(ParseNodeType("\xC2\xA9nam"), (NodeType{0xA96E616D, 0})) << "© typed as UTF-8";
    EXPECT_EQ(ParseNodeType("\\x41\\x42CD"), (NodeType{Fourcc("ABCD"), 0}));
    const char* const bad[] = {"", "moo", "moovv", "\\qabc", "\\x4", "LISTxstrl", "LIST strl2", "ab\tc", "\xE2\x82\xAC" "abc"};
    for (const char* text : bad) EXPECT_FALSE(ParseNodeType(text)) << text;
}

TEST(NodeIndex, PathsNumberSameTypeSiblingsAndRoundTrip) {
    OpenedFile f(IsoFile(), "paths.mp4");
    const NodeIndex& index = f.index;
    ASSERT_GT(index.Count(), 12u);
    const struct {
        const char* path;
        std::uint32_t type;
    } expected[] = {
        {"ftyp", Fourcc("ftyp")},     {"moov/mvhd", Fourcc("mvhd")}, {"moov/trak[1]/tkhd", Fourcc("tkhd")},
        {"moov/trak[2]/udta/\\xA9nam", 0xA96E616D},                {"moov/free", Fourcc("free")},
        {"a\\/\\[\\]", Fourcc("a/[]")}, {"free[1]", Fourcc("free")},   {"free[2]", Fourcc("free")},
        {"mdat", Fourcc("mdat")},
    };
    for (const auto& e : expected) {
        const PathResult found = index.FindPath(e.path);
        ASSERT_TRUE(found.Found()) << e.path << ": " << found.error;
        EXPECT_EQ(index.TypeOf(found.node).type, e.type) << e.path;
        EXPECT_EQ(index.PathOf(found.node), e.path);
    }
    EXPECT_EQ(index.PathOf(0), "");
    for (std::size_t n = 1; n < index.Count(); ++n) {
        const auto node = static_cast<std::int32_t>(n);
        EXPECT_EQ(index.FindPath(index.PathOf(node)).node, node) << index.PathOf(node);
    }
    // [1] may be written for a type its parent holds once; © may be typed as itself.
    EXPECT_EQ(index.FindPath("moov[1]/trak[2]/udta[1]/\xC2\xA9nam").node, index.FindPath("moov/trak[2]/udta/\\xA9nam").node);
}

TEST(NodeIndex, MalformedPathsSayWhichPartIsWrong) {
    OpenedFile f(IsoFile(), "paths.mp4");
    const struct {
        const char* path;
        const char* message;
    } cases[] = {
        {"moov/trak[0]", "part 2 'trak[0]': the index counts from 1"},
        {"moov//tkhd", "part 2 of the path is empty"},
        {"/moov", "part 1 of the path is empty"},
        {"moov/trak[3]", "part 2 'trak[3]': 'moov' holds 2 trak"},
        {"moov/trak[1]/udta", "part 3 'udta': no udta in 'moov/trak[1]'"},
        {"moof", "part 1 'moof': no moof in the top of the file"},
        {"moov/trak[2", "part 2 'trak[2': no closing ']'"},
        {"moov/trak[x]", "part 2 'trak[x]': the index is not a number"},
        {"moov/trak[1]x", "part 2 'trak[1]x': no closing ']'"},
        {"moo/trak", "part 1 'moo': a type is four characters, or LIST xxxx / RIFF xxxx"},
        {"", "the path is empty"},
    };
    for (const auto& c : cases) {
        const PathResult r = f.index.FindPath(c.path);
        EXPECT_FALSE(r.Found()) << c.path;
        EXPECT_EQ(r.error, c.message) << c.path;
    }
}

TEST(NodeIndex, AviPathsNameListsByTheirType) {
    // The first strl holds an odd JUNK chunk and its pad byte.
    const Bytes strl = List("LIST", "strl", {Strh(), StrfVideo(320, 240), Chunk("JUNK", Zeros(3)), Zeros(1)});
    const Bytes file = List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(), strl, AudioStreamList(1, 2, 44100, 176400)}),
                                             List("LIST", "movi", {Chunk("00dc", Zeros(4))})});
    for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
        OpenedFile f(file, "paths.avi", view);
        const PathResult strf = f.index.FindPath("RIFF AVI /LIST hdrl/LIST strl[2]/strf");
        ASSERT_TRUE(strf.Found()) << strf.error;
        EXPECT_EQ(FourccText(f.index.TypeOf(strf.node).type), "strf");
        EXPECT_EQ(f.index.PathOf(f.index.ParentOf(strf.node)), "RIFF AVI /LIST hdrl/LIST strl[2]");
        EXPECT_EQ(f.index.PathOf(f.index.FindPath("RIFF AVI /LIST movi").node), "RIFF AVI /LIST movi");
        for (std::size_t n = 1; n < f.index.Count(); ++n)
            EXPECT_EQ(f.index.FindPath(f.index.PathOf(static_cast<std::int32_t>(n))).node, static_cast<std::int32_t>(n));
        // The odd chunk's pad byte lies between two chunks: the list holds it.
        const std::int32_t junk = f.index.FindPath("RIFF AVI /LIST hdrl/LIST strl[1]/JUNK").node;
        const std::int32_t next = f.index.FindPath("RIFF AVI /LIST hdrl/LIST strl[2]").node;
        ASSERT_GT(junk, 0);
        const std::uint64_t pad = f.index.ExtentOf(junk).first + 8 + 3;
        EXPECT_EQ(f.index.NodeAt(pad - 1), junk);
        EXPECT_EQ(f.index.NodeAt(pad), f.index.ParentOf(junk));
        EXPECT_EQ(f.index.NodeAt(pad + 1), next);
        EXPECT_EQ(f.index.FindType({Fourcc("LIST"), Fourcc("strl")}).size(), 2u);
        EXPECT_EQ(f.index.FindType({Fourcc("LIST"), 0}).size(), 4u);
    }
}

TEST(NodeIndex, InnermostNodeAtEveryBoundary) {
    OpenedFile f(IsoFile(), "bounds.mp4");
    const NodeIndex& index = f.index;
    const auto at = [&](const char* path) { return index.FindPath(path).node; };
    // ftyp 0..19, moov from 20: header 20..27, mvhd 28..135, trak[1] from 136 (header 136..143, tkhd 144..235).
    const struct {
        std::uint64_t byte;
        std::int32_t node;
    } cases[] = {
        {0, at("ftyp")},       {19, at("ftyp")},         {20, at("moov")},         {27, at("moov")},
        {28, at("moov/mvhd")}, {135, at("moov/mvhd")},   {136, at("moov/trak[1]")}, {143, at("moov/trak[1]")},
        {144, at("moov/trak[1]/tkhd")},                  {235, at("moov/trak[1]/tkhd")},
        {236, at("moov/trak[2]")},
    };
    for (const auto& c : cases) EXPECT_EQ(index.NodeAt(c.byte), c.node) << c.byte;
    // The empty free box shares its offset with the next one, which holds the byte.
    const std::int32_t empty = at("free[1]"), padding = at("free[2]");
    const std::uint64_t freeAt = f.document.Full()->records[static_cast<std::size_t>(empty - 1)].offset;
    EXPECT_EQ(index.NodeAt(freeAt), empty);
    EXPECT_EQ(index.NodeAt(freeAt + 8), padding);
    EXPECT_EQ(index.NodeAt(index.FileSize() - 1), at("mdat"));
    EXPECT_EQ(index.NodeAt(index.FileSize()), -1);
    EXPECT_EQ(index.NodeAt(~std::uint64_t{0}), -1);
    // Every node holds its own first byte unless it is empty; then a later sibling may.
    for (std::size_t n = 1; n < index.Count(); ++n) {
        const auto node = static_cast<std::int32_t>(n);
        const full::FullParse& parse = *f.document.Full();
        if (parse.records[n - 1].extent < 9) continue;
        std::int32_t found = index.NodeAt(parse.records[n - 1].offset);
        while (found > node) found = index.ParentOf(found);
        EXPECT_EQ(found, node) << index.PathOf(node);
    }
}

TEST(Find, WhatIsTypedChoosesTheSearch) {
    using K = FindQuery::Kind;
    const struct {
        const char* typed;
        bool inDescriptions;
        K kind;
    } cases[] = {
        {"", false, K::Empty},           {"moov/trak[2]", false, K::Path}, {"trak[2]", false, K::Path},
        {"0x1A2B3C", false, K::Offset},  {"@1a2b3c", false, K::Offset},    {"0X10", false, K::Offset},
        {"0x12345678901234567", false, K::Invalid},
        {"stsz", false, K::Type},        {"ac-3", false, K::Type},          {"----", false, K::Type},
        {"\xC2\xA9nam", false, K::Type}, {"\\xA9nam", false, K::Type},      {"LIST strl", false, K::Type},
        {"0x1G2", false, K::Text},        {"sample", false, K::Text},        {"stsz", true, K::Text},
        {"moov/trak", true, K::Text},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyFind(c.typed, c.inDescriptions).kind, c.kind) << c.typed;
    EXPECT_EQ(ClassifyFind("@1A2B3C").offset, 0x1A2B3Cu);
    EXPECT_EQ(ClassifyFind("LIST strl").type, (NodeType{Fourcc("LIST"), Fourcc("strl")}));
    EXPECT_EQ(ParseOffsetText("1a2B"), 0x1A2Bu);
    EXPECT_FALSE(ParseOffsetText("0x"));
    EXPECT_FALSE(ParseOffsetText("12345678901234567"));

    OpenedFile f(IsoFile(), "find.mp4");
    const std::vector<std::int32_t> free = f.index.FindType({Fourcc("free"), 0});
    ASSERT_EQ(free.size(), 3u);
    EXPECT_EQ(f.index.PathOf(free[0]), "moov/free");
    EXPECT_EQ(f.index.PathOf(free[2]), "free[2]");
}

TEST(Find, TextSearchGoesThroughDescriptionsInTreeOrder) {
    for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
        TempFile file(Cat({Box("ftyp", Cat({Text("3gp4"), U32(0), Text("isom")})), Box("moov", {FullBox("mvhd", 0, 0, Zeros(96))}),
                           Box("mdat", Zeros(16))}),
                      "text.3gp");
        Document document;
        document.SetView(view);
        document.OpenFile(file.Path());
        ASSERT_EQ(document.Tree().Count(), 5u);
        const DescriptionSource source(document);
        const std::atomic<bool> go{false};
        std::vector<std::int32_t> hits;
        std::size_t lastDone = 0;
        EXPECT_TRUE(SearchDescriptions(source, "3GP4", go, [&](std::int32_t n) { hits.push_back(n); },
                                       [&](std::size_t done, std::size_t total) {
                                           EXPECT_EQ(total, 5u);
                                           lastDone = done;
                                       }));
        EXPECT_EQ(hits, std::vector<std::int32_t>{1});
        EXPECT_EQ(lastDone, 5u);
        // Words of every box's header lines, in another case: each node once, in order; the root has no box.
        hits.clear();
        SearchDescriptions(source, "BOX TYPE", go, [&](std::int32_t n) { hits.push_back(n); });
        EXPECT_EQ(hits, (std::vector<std::int32_t>{1, 2, 3, 4}));
        hits.clear();
        const std::atomic<bool> stop{true};
        EXPECT_FALSE(SearchDescriptions(source, "3gp4", stop, [&](std::int32_t n) { hits.push_back(n); }));
        EXPECT_TRUE(hits.empty());
    }
}

TEST(GoToByte, DumpsAndLightsTheByteAndItsLine) {
    OpenedFile f(IsoFile(), "goto.mp4");
    Document& d = f.document;
    // A byte of mdat past what its click dumps: dumped again from its row, lit alone.
    const std::int32_t mdat = f.index.FindPath("mdat").node;
    const std::uint64_t deep = f.index.FileSize() - 5;
    d.GoToByte(f.index.NodeAt(deep), deep);
    EXPECT_EQ(d.ClickedNode(), mdat);
    ASSERT_TRUE(d.Dump());
    EXPECT_TRUE(d.Dump()->Holds(deep));
    EXPECT_EQ(d.Dump()->offset, deep & ~std::uint64_t{15});
    ASSERT_TRUE(d.Highlight());
    EXPECT_LE(d.Highlight()->offset, deep);
    EXPECT_GT(d.Highlight()->End(), deep);
    // A byte of a field: the line holding it is selected, as a click on the byte selects it.
    const std::uint64_t inTkhd = 144 + 12;
    d.GoToByte(f.index.NodeAt(inTkhd), inTkhd);
    EXPECT_EQ(d.ClickedNode(), f.index.FindPath("moov/trak[1]/tkhd").node);
    ASSERT_TRUE(d.SelectedLine());
    const ByteRange lit = d.BoxDescriptionPane().RangeOf(static_cast<std::size_t>(*d.SelectedLine()));
    EXPECT_EQ(d.Highlight(), lit);
    EXPECT_TRUE(lit.offset <= inTkhd && inTkhd < lit.End());
}

TEST(GoToByte, NamesTheSampleThatHoldsTheByte) {
    SampleList list;
    list.tracks.push_back({1, 0, 0, 1000, {}});
    list.tracks.push_back({2, 0, 0, 1000, {}});
    Sample key{100, 0, 10, 1, 1, 1}, other{2000, 1, 5, 1, 1234, 0};
    list.tracks[1].samples = {key, other};
    const RegionalSettings settings;
    EXPECT_EQ(SampleAtByteText(list, 100, settings), "track 2, sample 1, key frame");
    EXPECT_EQ(SampleAtByteText(list, 109, settings), "track 2, sample 1, key frame");
    EXPECT_EQ(SampleAtByteText(list, 2004, settings), "track 2, sample 1,234, not a key frame");
    EXPECT_EQ(SampleAtByteText(list, 110, settings), "");
    EXPECT_EQ(SampleAtByteText(list, 99, settings), "");
}

TEST(NodeHistory, BackAndForwardWalkTheSelections) {
    NodeHistory h;
    EXPECT_FALSE(h.Back());
    EXPECT_FALSE(h.Forward());
    for (const std::int32_t n : {1, 2, 2, 3}) h.Visit(n);  // a second click on the same node is no step
    EXPECT_EQ(h.Back(), 2);
    EXPECT_EQ(h.Back(), 1);
    EXPECT_FALSE(h.Back());
    h.Visit(1);  // the click that going back makes changes nothing
    EXPECT_EQ(h.Forward(), 2);
    h.Visit(7);  // a new selection drops what lay ahead
    EXPECT_FALSE(h.CanGoForward());
    EXPECT_EQ(h.Back(), 2);
    EXPECT_EQ(h.Back(), 1);
    h.Clear();
    EXPECT_FALSE(h.CanGoBack());
    for (std::int32_t n = 0; n < static_cast<std::int32_t>(NodeHistory::kLimit) + 5; ++n) h.Visit(n);
    std::size_t steps = 0;
    while (h.Back()) ++steps;
    EXPECT_EQ(steps, NodeHistory::kLimit - 1);
}

}  // namespace
}  // namespace kestrova::test
