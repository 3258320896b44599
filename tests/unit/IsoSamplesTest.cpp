#include <gtest/gtest.h>

#include <optional>

#include "common/Formatters.h"
#include "iso/IsoSamples.h"
#include "shell/StreamSamples.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

using namespace test;

// The sample tables of one track; an empty optional leaves the box out.
struct Tables {
    std::optional<Bytes> stsz, stz2, stts, stsc, stco, co64, stss;
};

Bytes Stsz(std::uint32_t constant, std::uint32_t count, const std::vector<std::uint32_t>& sizes = {}) {
    Bytes p = Cat({U32(constant), U32(count)});
    for (const auto s : sizes) p = Cat({p, U32(s)});
    return FullBox("stsz", 0, 0, p);
}
Bytes Stts(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs, std::optional<std::uint32_t> count = {}) {
    Bytes p = U32(count.value_or(static_cast<std::uint32_t>(runs.size())));
    for (const auto& [n, d] : runs) p = Cat({p, U32(n), U32(d)});
    return FullBox("stts", 0, 0, p);
}
Bytes Stsc(const std::vector<std::array<std::uint32_t, 2>>& runs) {
    Bytes p = U32(static_cast<std::uint32_t>(runs.size()));
    for (const auto& r : runs) p = Cat({p, U32(r[0]), U32(r[1]), U32(1)});
    return FullBox("stsc", 0, 0, p);
}
Bytes Stco(const std::vector<std::uint32_t>& offsets) {
    Bytes p = U32(static_cast<std::uint32_t>(offsets.size()));
    for (const auto o : offsets) p = Cat({p, U32(o)});
    return FullBox("stco", 0, 0, p);
}
Bytes Co64(const std::vector<std::uint64_t>& offsets) {
    Bytes p = U32(static_cast<std::uint32_t>(offsets.size()));
    for (const auto o : offsets) p = Cat({p, U64(o)});
    return FullBox("co64", 0, 0, p);
}
Bytes Stss(const std::vector<std::uint32_t>& numbers) {
    Bytes p = U32(static_cast<std::uint32_t>(numbers.size()));
    for (const auto n : numbers) p = Cat({p, U32(n)});
    return FullBox("stss", 0, 0, p);
}

Bytes Trak(std::uint32_t trackId, std::uint32_t timescale, const std::string& handler, const std::string& entry,
           const Tables& t) {
    const Bytes tkhd = FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(trackId), Zeros(68)}));
    const Bytes mdhd = FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(timescale), U32(0), U16(0x55C4), U16(0)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text(handler), Zeros(12), Text("h"), U8(0)}));
    const Bytes stsd = FullBox("stsd", 0, 0, Cat({U32(1), Box(entry, Zeros(78))}));
    Bytes stbl = Text("stbl");
    for (const auto& box : {std::optional<Bytes>(stsd), t.stts, t.stss, t.stsc, t.stsz, t.stz2, t.stco, t.co64})
        if (box) stbl = Cat({stbl, *box});
    const Bytes stblBox = Cat({U32(static_cast<std::uint32_t>(stbl.size() + 4)), stbl});
    return Box("trak", {tkhd, Box("mdia", {mdhd, hdlr, Box("minf", {stblBox})})});
}

// ftyp (24 bytes), then mdat whose data begins at kData: byte kData + i holds i % 251 + 1,
// so a sample's offset shows in the byte it starts with.
constexpr std::uint32_t kData = 24 + 8;
Bytes Movie(const std::vector<Bytes>& traks, std::size_t dataBytes = 400, const Bytes& after = {}) {
    Bytes data(dataBytes);
    for (std::size_t i = 0; i < dataBytes; ++i) data[i] = static_cast<std::uint8_t>(i % 251 + 1);
    Bytes moov = Text("moov");
    for (const Bytes& t : traks) moov = Cat({moov, t});
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0), Text("isom"), Text("avc1")})), Box("mdat", data),
                U32(static_cast<std::uint32_t>(moov.size() + 4)), moov, after});
}

struct Listed {
    std::optional<SampleList> list;
    Document doc;
    std::unique_ptr<TempFile> file;
};

std::unique_ptr<Listed> List(const Bytes& contents) {
    auto l = std::make_unique<Listed>();
    l->file = std::make_unique<TempFile>(contents, "samples.mp4");
    l->doc.OpenFile(l->file->Path());
    l->list = BuildDocumentSampleList(l->doc);
    return l;
}

// "#n dts size +data-offset K/-" per sample, to compare a track in one line.
std::vector<std::string> Shown(const SampleTrack& t) {
    std::vector<std::string> out;
    for (const Sample& s : t.samples)
        out.push_back("#" + std::to_string(s.number) + " " + std::to_string(s.dts) + " " + std::to_string(s.size) +
                      " +" + std::to_string(s.offset - kData) + (s.key ? " K" : " -"));
    return out;
}

TEST(IsoSamples, TablesExpandIntoSamples) {
    struct Case {
        const char* name;
        Tables tables;
        std::vector<std::string> samples;
        std::vector<std::string> notes;
    };
    const std::vector<std::uint32_t> sizes = {10, 20, 30, 40, 50, 60};
    const std::vector<Case> cases = {
        {"runs across chunks, per-sample sizes, stss",
         {Stsz(0, 6, sizes), {}, Stts({{2, 100}, {4, 200}}), Stsc({{1, 2}, {3, 1}}),
          Stco({kData, kData + 100, kData + 200, kData + 300}), {}, Stss({5, 1})},
         {"#1 0 10 +0 K", "#2 100 20 +10 -", "#3 200 30 +100 -", "#4 400 40 +130 -", "#5 600 50 +200 K",
          "#6 800 60 +300 -"},
         {}},
        {"constant size, no stss: every sample is a key frame",
         {Stsz(8, 4), {}, Stts({{4, 512}}), Stsc({{1, 3}}), Stco({kData, kData + 64}), {}, {}},
         {"#1 0 8 +0 K", "#2 512 8 +8 K", "#3 1024 8 +16 K", "#4 1536 8 +64 K"},
         {}},
        {"an empty stss: no key frame",
         {Stsz(8, 2), {}, Stts({{2, 1}}), Stsc({{1, 2}}), Stco({kData}), {}, Stss({})},
         {"#1 0 8 +0 -", "#2 1 8 +8 -"},
         {}},
        {"64-bit chunk offsets and compact sizes",
         {{}, FullBox("stz2", 0, 0, Cat({Zeros(3), U8(8), U32(3), U8(5), U8(6), U8(7)})), Stts({{3, 1}}),
          Stsc({{1, 1}}), {}, Co64({kData + 3, kData + 9, kData + 20}), {}},
         {"#1 0 5 +3 K", "#2 1 6 +9 K", "#3 2 7 +20 K"},
         {}},
        {"stts times fewer samples than stsz lists",
         {Stsz(0, 4, {1, 2, 3, 4}), {}, Stts({{1, 5}, {2, 7}}), Stsc({{1, 4}}), Stco({kData}), {}, {}},
         {"#1 0 1 +0 K", "#2 5 2 +1 K", "#3 12 3 +3 K"},
         {"stts gives decoding times to 3 samples, stsz lists 4: the last 1 are left out"}},
        {"stts counts more samples than stsz lists",
         {Stsz(0, 2, {1, 2}), {}, Stts({{1000000000, 1}}), Stsc({{1, 2}}), Stco({kData}), {}, {}},
         {"#1 0 1 +0 K", "#2 1 2 +1 K"},
         {"stts counts 1,000,000,000 samples, stsz lists 2: the times past sample 2 are not used"}},
        {"stsc points past the last chunk",
         {Stsz(4, 4), {}, Stts({{4, 1}}), Stsc({{1, 1}, {5, 1}}), Stco({kData, kData + 40}), {}, {}},
         {"#1 0 4 +0 K", "#2 1 4 +40 K"},
         {"stsc points to chunk 5, past the last chunk of stco (2)",
          "the chunks of stsc and stco hold 2 samples, stsz lists 4: the last 2 are left out"}},
        {"chunks hold fewer samples than stsz lists",
         {Stsz(4, 5), {}, Stts({{5, 1}}), Stsc({{1, 2}}), Stco({kData}), {}, {}},
         {"#1 0 4 +0 K", "#2 1 4 +4 K"},
         {"the chunks of stsc and stco hold 2 samples, stsz lists 5: the last 3 are left out"}},
        {"stsz box shorter than its count, stss naming a sample that is not there",
         {Stsz(0, 9, {3, 3}), {}, Stts({{9, 1}}), Stsc({{1, 9}}), Stco({kData}), {}, Stss({2, 40})},
         {"#1 0 3 +0 -", "#2 1 3 +3 K"},
         {"stsz counts 9 samples but its box holds the sizes of 2: the other 7 are left out",
          "stts counts 9 samples, stsz lists 2: the times past sample 2 are not used",
          "stss names 1 sample number that the track does not have; they are ignored"}},
        {"samples past the end of the file",
         {Stsz(0, 3, {8, 8, 8}), {}, Stts({{3, 1}}), Stsc({{1, 1}}), Stco({kData, 0x7FFFFFF0, kData + 16}), {}, {}},
         {"#1 0 8 +0 K", "#3 2 8 +16 K"},
         {"1 sample begins past the end of the file and is left out"}},
        {"no sample-to-chunk table",
         {Stsz(4, 2), {}, Stts({{2, 1}}), {}, Stco({kData}), {}, {}},
         {},
         {"no sample-to-chunk table (stsc): its 2 samples are left out"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto l = List(Movie({Trak(7, 1000, "vide", "avc1", c.tables)}));
        ASSERT_TRUE(l->list);
        ASSERT_EQ(l->list->tracks.size(), 1u);
        const SampleTrack& t = l->list->tracks[0];
        EXPECT_EQ(Shown(t), c.samples);
        EXPECT_EQ(t.notes, c.notes);
        EXPECT_EQ(t.id, 7u);
        EXPECT_EQ(t.timescale, 1000u);
        EXPECT_EQ(t.kind, Fourcc("vide"));
        EXPECT_EQ(t.codec, Fourcc("avc1"));
        // Each duration is the step to the next decoding time.
        for (std::size_t i = 0; i + 1 < t.samples.size(); ++i)
            if (t.samples[i + 1].number == t.samples[i].number + 1) {
                EXPECT_EQ(t.samples[i].duration, t.samples[i + 1].dts - t.samples[i].dts);
            }
    }
}

TEST(IsoSamples, TracksKeepTheirOwnTablesAndTheStszNodeLeadsBack) {
    const auto l = List(Movie({Trak(1, 90000, "vide", "avc1",
                                    {Stsz(0, 3, {100, 200, 300}), {}, Stts({{3, 3600}}), Stsc({{1, 3}}), Stco({kData}),
                                     {}, Stss({1})}),
                               Trak(2, 48000, "soun", "mp4a",
                                    {Stsz(0, 2, {7, 9}), {}, Stts({{2, 1024}}), Stsc({{1, 2}}), Stco({kData + 600}),
                                     {}, {}})},
                              1000));
    ASSERT_TRUE(l->list);
    ASSERT_EQ(l->list->tracks.size(), 2u);
    const SampleTrack& video = l->list->tracks[0];
    const SampleTrack& audio = l->list->tracks[1];
    EXPECT_EQ(Shown(video), (std::vector<std::string>{"#1 0 100 +0 K", "#2 3600 200 +100 -", "#3 7200 300 +300 -"}));
    EXPECT_EQ(Shown(audio), (std::vector<std::string>{"#1 0 7 +600 K", "#2 1024 9 +607 K"}));
    EXPECT_EQ(audio.kind, Fourcc("soun"));
    EXPECT_EQ(audio.samples[1].duration, 1024u);

    // A double-click selects the track's own stsz and the sample's line in it.
    const std::int64_t line = ClickSampleSource(l->doc, audio, audio.samples[1]);
    ASSERT_GE(line, 0);
    EXPECT_EQ(l->doc.BoxDescriptionPane().Lines()[static_cast<std::size_t>(line)], "   Sample #2   : 9 (0X00000009)");
    EXPECT_EQ(l->doc.SelectedLine(), line);
    ASSERT_TRUE(l->doc.Highlight());
    EXPECT_EQ(l->doc.HighlightedBytesText(), "00 00 00 09");  // the entry's own bytes are lit
    EXPECT_EQ(l->doc.Tree().Nodes()[static_cast<std::size_t>(audio.tableNode)].caption, "stsz");
    EXPECT_NE(audio.tableNode, video.tableNode);
    EXPECT_EQ(ClickSampleSource(l->doc, video, video.samples[2]), line + 1);
}

TEST(IsoSamples, ASampleCutShortByTheEndOfTheFileIsKept) {
    // moov first, then an mdat of 16 bytes; the chunk begins 8 bytes into them.
    auto file = [](std::uint32_t chunk) {
        const Tables t{Stsz(0, 3, {4, 8, 1}), {}, Stts({{3, 1}}), Stsc({{1, 3}}), Stco({chunk}), {}, {}};
        Bytes moov = Text("moov");
        moov = Cat({moov, Trak(1, 1000, "vide", "avc1", t)});
        return Cat({U32(static_cast<std::uint32_t>(moov.size() + 4)), moov, Box("mdat", Zeros(16))});
    };
    const Bytes bytes = file(static_cast<std::uint32_t>(file(0).size() - 8));
    const auto l = List(bytes);
    ASSERT_TRUE(l->list);
    ASSERT_EQ(l->list->tracks.size(), 1u);
    const SampleTrack& t = l->list->tracks[0];
    ASSERT_EQ(t.samples.size(), 2u);  // the third begins where the file ends
    EXPECT_EQ(t.samples[1].offset + 4, bytes.size());
    EXPECT_EQ(t.notes, (std::vector<std::string>{"1 sample begins past the end of the file and is left out",
                                                 "1 sample is cut short by the end of the file"}));
}

TEST(IsoSamples, ClaimsOfBillionsOfSamplesStayBounded) {
    // One chunk near the end of the file, four billion one-byte samples claimed by every table.
    const Tables claims{Stsz(1, 0xFFFFFFFF), {}, Stts({{0xFFFFFFFF, 1}}), Stsc({{1, 0xFFFFFFFF}}), Stco({kData + 398}),
                        {}, {}};
    const Bytes file = Movie({Trak(1, 1000, "vide", "avc1", claims)});
    const auto l = List(file);
    ASSERT_TRUE(l->list);
    ASSERT_EQ(l->list->tracks.size(), 1u);
    const SampleTrack& t = l->list->tracks[0];
    // The samples that lie in the file are listed, the rest are not, and the walk stops at the limit.
    const std::uint64_t inFile = file.size() - (kData + 398);
    EXPECT_EQ(t.samples.size(), inFile);
    EXPECT_EQ(std::uint64_t{t.samples.back().offset}, file.size() - 1);
    EXPECT_EQ(t.notes, (std::vector<std::string>{
                           "only the first 12,582,912 samples are listed (the limit of a list is 12,582,912)",
                           GroupedText(kMaxListedSamples - inFile, {}) +
                               " samples begin past the end of the file and are left out"}));
}

TEST(IsoSamples, FragmentsWithoutRunsAddNothing) {
    const Tables one{Stsz(4, 1), {}, Stts({{1, 1}}), Stsc({{1, 1}}), Stco({kData}), {}, {}};
    const Bytes moof = Box("moof", {FullBox("mfhd", 0, 0, U32(1))});
    auto l = List(Movie({Trak(1, 1000, "vide", "avc1", one)}, 16, Cat({moof, moof})));
    ASSERT_EQ(l->list->tracks.size(), 1u);
    EXPECT_EQ(l->list->tracks[0].samples.size(), 1u);
    EXPECT_EQ(l->list->tracks[0].movieSamples, 1u);
    EXPECT_TRUE(l->list->notes.empty());
}

}  // namespace
}  // namespace kestrova
