// Damaged files: seeded mutations of well-formed fixtures must open, describe
// and dump without a crash, and keep the tree and the records consistent.

#include <gtest/gtest.h>

#include <random>

#include "iso/Mp4ParseIso.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "shell/StreamSamples.h"
#include "AviFixtures.h"
#include "IsoFixtures.h"
#include "avi/full/AviFull.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

// One entry of every kind, with the descriptors and configurations inside them.
Bytes SampleEntries() {
    const Bytes es = Esds(Cat({DecoderConfig(0x40, 5, {0x13, 0x10, 0x56, 0xE5, 0x98}), SlConfig()}));
    return Stsd(6, {VisualEntry("mp4v", 176, 144, Esds(Cat({DecoderConfig(0x20, 4, Zeros(8)), SlConfig()}))),
                    VisualEntry("s263", 176, 144, Box("d263", Zeros(7))), AudioEntry("mp4a", 2, 24000, es),
                    AudioEntry("samr", 1, 8000, Damr(0x81FF, 1)),
                    AudioEntry("sevc", 1, 8000, Box("devc", Cat({Text("QCOM"), U8(1), U8(2)}))),
                    Box("mp4s", Cat({Zeros(6), U16(1), es}))});
}

Bytes WellFormedMp4() {
    auto trak = Box("trak", {FullBox("tkhd", 0, 1, Zeros(80)),
                             Box("tref", {Box("mpod", U32(1))}),
                             Box("mdia", {FullBox("mdhd", 0, 0, Zeros(20)), FullBox("hdlr", 0, 0, Zeros(25)),
                                          Box("minf", {FullBox("smhd", 0, 0, Zeros(4)),
                                                       Box("dinf", {FullBox("dref", 0, 0, Cat({U32(1), FullBox("url ", 0, 1)}))}),
                                                       Box("stbl", {SampleEntries(), Table("stts", 1, {3, 40}),
                                                                    Table("stsc", 1, {1, 3, 1}), Stsz(0, 3, {5, 6, 7}),
                                                                    Table("stco", 1, {0}), Table("stss", 1, {1})})})}),
                             Box("udta", {FullBox("titl", 0, 0, Cat({U16(0x15C7), Text("title")}))})});
    return Cat({Box("ftyp", Cat({Text("3gp4"), U32(0x200), Text("isom3gp4")})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), FullBox("iods", 0, 0, Zeros(16)), trak, trak}),
                LargeBox("mdat", Zeros(64))});
}

void Mutate(Bytes& bytes, std::mt19937& rng) {
    std::uniform_int_distribution<std::size_t> pos(0, bytes.size() - 1);
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = pos(rng) & ~std::size_t{3};
        static const std::uint32_t sizes[] = {0, 1, 2, 7, 8, 9, 16, 0x7FFFFFFF, 0xFFFFFFF8, 0xFFFFFFFF};
        switch (rng() % 4) {
        case 0: bytes[pos(rng)] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
        case 1:
            if (at + 4 <= bytes.size()) {
                const Bytes v = U32(sizes[rng() % std::size(sizes)]);
                std::copy(v.begin(), v.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
            }
            break;
        case 2: bytes.resize(pos(rng) + 1); break;  // truncate
        default: bytes[pos(rng)] = static_cast<std::uint8_t>(rng()); break;
        }
        if (bytes.empty()) bytes.push_back(0);
    }
}

void CheckConsistent(const Document& doc) {
    const auto& nodes = doc.Tree().Nodes();
    ASSERT_GE(nodes.size(), 1u);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        ASSERT_GE(nodes[i].parent, 0);
        ASSERT_LT(static_cast<std::size_t>(nodes[i].parent), i);  // parents come first
    }
    if (const IsoParse* iso = doc.Iso()) {
        ASSERT_EQ(iso->records.size() + 1, nodes.size());
        for (const BoxRecord& r : iso->records) ASSERT_LE(r.offset + 8, doc.FileSize());
    }
    if (const full::FullParse* parse = doc.Full()) {
        ASSERT_EQ(parse->records.size() + 1, nodes.size());
        // Every box lies inside its parent, and the parent's node is the node's parent.
        for (const full::FullRecord& r : parse->records) {
            ASSERT_LE(r.offset + r.extent, doc.FileSize());
            ASSERT_EQ(nodes[static_cast<std::size_t>(r.index) + 1].parent, r.parent + 1);
            if (r.parent < 0) continue;
            const full::FullRecord& p = parse->records[static_cast<std::size_t>(r.parent)];
            ASSERT_GE(r.offset, p.offset + p.headerSize);
            ASSERT_LE(r.offset + r.extent, p.offset + p.extent);
        }
    }
}

TEST(Robustness, MutatedIsoFilesOpenAndDescribe) {
    std::mt19937 rng(20260812);
    const Bytes base = WellFormedMp4();
    for (int round = 0; round < 300; ++round) {
        Bytes bytes = base;
        Mutate(bytes, rng);
        TempFile f(bytes, "mutated.mp4");
        // Both views of the same damaged file.
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            Document doc;
            doc.SetView(view);
            doc.OpenFile(f.Path());
            CheckConsistent(doc);
            // Clicks every node; damaged fields still point only at bytes they were read from.
            const std::vector<std::string> ranges = CheckDescriptionRanges(doc);
            EXPECT_TRUE(ranges.empty()) << "round " << round << ": " << ranges.front();
            doc.Button1Click("0", "FFFFFF");
            EXPECT_LE(doc.FileInfoPane().Lines().size(), 65536u + 3);
            // Whatever the tables say, the samples listed are in decode order and begin in the file.
            if (const std::optional<SampleList> list = BuildDocumentSampleList(doc)) {
                for (const SampleTrack& t : list->tracks)
                    for (std::size_t i = 0; i < t.samples.size(); ++i) {
                        ASSERT_LE(t.samples[i].offset, doc.FileSize());
                        if (i == 0) continue;
                        ASSERT_GT(t.samples[i].number, t.samples[i - 1].number);
                        ASSERT_GE(t.samples[i].dts, t.samples[i - 1].dts);
                    }
            }
            if (HasFatalFailure()) FAIL() << "round " << round;
        }
    }
}

// Every chunk the full view of AVI decodes: OpenDML indexes, the format
// extensions, vprp, a palette, rec lists, odd sizes, idx1 and INFO.
Bytes WellFormedAvi() {
    StreamHeaderFields audio;
    audio.type = "auds";
    const Bytes extensible = Chunk("strf", Cat({LE16(0xFFFE), LE16(2), LE32(48000), LE32(192000), LE16(4), LE16(16), LE16(22),
                                                LE16(16), LE32(3), Bytes{1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}}));
    const Bytes palette = Chunk("strf", Cat({LE32(40), LE32(8), LE32(8), LE16(1), LE16(2), LE32(0), LE32(0), LE32(0), LE32(0),
                                             LE32(4), LE32(0), Zeros(16)}));
    const Bytes superIndex = Chunk("indx", Cat({LE16(4), U8(0), U8(0), LE32(1), Text("00dc"), Zeros(12),
                                                LE32(0), LE32(0), LE32(40), LE32(2)}));
    const Bytes vprp = Chunk("vprp", Cat({LE32(1), LE32(1), LE32(25), LE32(8), LE32(8), LE32(0x00040003), LE32(8), LE32(8),
                                          LE32(2), Zeros(64)}));
    const Bytes hdrl = List("LIST", "hdrl", {Avih(), List("LIST", "strl", {Strh(), palette, superIndex, vprp,
                                                                           Chunk("strn", Cat({Text("video"), Bytes{0}}))}),
                                             List("LIST", "strl", {Strh(audio), extensible, Chunk("strd", Zeros(5)), Bytes{0}}),
                                             List("LIST", "odml", {Chunk("dmlh", LE32(2))})});
    const Bytes ix = Chunk("ix00", Cat({LE16(3), U8(1), U8(1), LE32(2), Text("00dc"), LE32(0), LE32(0), LE32(0),
                                        LE32(0), LE32(3), LE32(1), LE32(0), LE32(0x80000002), LE32(0)}));
    const Bytes movi = List("LIST", "movi", {Chunk("00dc", Bytes(3, 1)), Bytes{0},
                                             List("LIST", "rec ", {Chunk("01wb", Bytes(4, 2)), Chunk("00dc", Bytes(2, 3))}), ix});
    Bytes file = Chunk("RIFF", Cat({Text("AVI "), hdrl, List("LIST", "INFO", {Chunk("INAM", Cat({Text("t"), Bytes{0}}))}), movi,
                                    Idx1({IndexEntry("00dc", 0x10, 4, 3), IndexEntry("01wb", 0x10, 24, 4)})}));
    // The super index points at ix00, whose base is the movi list.
    const auto at = [&](const std::string& id) {
        return static_cast<std::uint32_t>(std::search(file.begin(), file.end(), id.begin(), id.end()) - file.begin());
    };
    const std::uint32_t ixAt = at("ix00"), moviAt = at("movi") - 8;
    const std::uint32_t indxEntry = at("indx") + 8 + 24;
    std::copy_n(LE32(ixAt).begin(), 4, file.begin() + indxEntry);
    std::copy_n(LE32(moviAt).begin(), 4, file.begin() + ixAt + 20);
    std::copy_n(LE32(moviAt + 20).begin(), 4, file.begin() + ixAt + 32);
    return file;
}

TEST(Robustness, MutatedAviFilesOpenAndDescribe) {
    std::mt19937 rng(20261209);
    const Bytes base = WellFormedAvi();
    for (int round = 0; round < 300; ++round) {
        Bytes bytes = base;
        if (round != 0) Mutate(bytes, rng);
        TempFile f(bytes, "mutated.avi");
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            Document doc;
            doc.SetView(view);
            doc.OpenFile(f.Path());
            CheckConsistent(doc);
            if (const full::AviFullParse* parse = doc.AviFull()) {
                ASSERT_EQ(parse->records.size() + 1, doc.Tree().Count());
                for (const full::AviFullRecord& r : parse->records) {
                    ASSERT_LE(r.offset + r.extent, doc.FileSize());
                    if (r.parent < 0) continue;
                    const full::AviFullRecord& p = parse->records[static_cast<std::size_t>(r.parent)];
                    ASSERT_GE(r.offset, p.offset + 12);
                    ASSERT_LE(r.offset, p.offset + p.extent);
                }
            }
            const std::vector<std::string> ranges = CheckDescriptionRanges(doc);
            EXPECT_TRUE(ranges.empty()) << "round " << round << ": " << ranges.front();
            if (const std::optional<SampleList> list = BuildDocumentSampleList(doc)) {
                for (const SampleTrack& t : list->tracks) {
                    for (std::size_t i = 0; i < t.samples.size(); ++i) {
                        ASSERT_LE(t.samples[i].offset, doc.FileSize());
                        if (i > 0) {
                            ASSERT_GT(t.samples[i].number, t.samples[i - 1].number);
                        }
                    }
                    if (!t.samples.empty()) {
                        ClickSampleSource(doc, t, t.samples.front());
                        ClickSampleSource(doc, t, t.samples.back());
                    }
                }
                if (round == 0) {
                    EXPECT_EQ(list->tracks.size(), 2u);
                }
            }
            if (HasFatalFailure()) FAIL() << "round " << round;
        }
    }
}

}  // namespace
}  // namespace kestrova
