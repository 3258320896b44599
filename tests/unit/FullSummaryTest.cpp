// The full view's summary and codec strings: configuration bytes in, the
// summary's values and the streams JSON out.

#include <gtest/gtest.h>

#include "IsoFixtures.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "tools/DumpState.h"

namespace kestrova::test {
namespace {

struct Opened {
    explicit Opened(const Bytes& bytes) : file(bytes, "summary.mp4") {
        doc.SetView(ViewKind::Full);
        doc.OpenFile(file.Path());
    }
    const full::FileSummary& Summary() const { return doc.Full()->summary; }
    TempFile file;
    Document doc;
};

Bytes OneTrack(const std::string& handler, const Bytes& entry, std::uint32_t timescale = 1000,
               std::initializer_list<std::uint32_t> sizes = {100, 200, 300}) {
    const Bytes trak = Box("trak", {Tkhd(0, 1, 64, 48), Box("mdia", {Mdhd(0, timescale, 3000), Hdlr(handler),
                                                                     Box("minf", {Box("stbl", {Stsd(1, {entry}), Table("stts", 1, {3, 1000}),
                                                                                               Stsz(0, 3, sizes)})})})});
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0), Text("isomavc1")})),
                Movie({FullBox("mvhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(3000), Zeros(80)})), trak})});
}

Bytes AudioWithAsc(const Bytes& asc) {
    return AudioEntry("mp4a", 2, 44100, Esds(Cat({DecoderConfig(0x40, 5, asc), SlConfig()})));
}

TEST(FullSummary, CodecStringsFromConfigurationBytes) {
    struct Case {
        const char* name;
        std::string handler;
        Bytes entry;
        std::string codecString, codecName, profile, level;
    };
    const Bytes av1 = U8(0x81);  // marker and version 1
    const std::vector<Case> cases = {
        {"avc3 keeps its own type", "vide", VisualEntry("avc3", 64, 48, Box("avcC", {U8(1), U8(100), U8(0), U8(31), U8(0xFF), U8(0xE0), U8(0)})),
         "avc3.64001F", "H.264/AVC", "High", "3.1"},
        {"constrained baseline", "vide", VisualEntry("avc1", 64, 48, Box("avcC", {U8(1), U8(66), U8(0xC0), U8(30), U8(0xFF), U8(0xE0), U8(0)})),
         "avc1.42C01E", "H.264/AVC", "Constrained Baseline", "3"},
        {"AV1 profile 0, 8 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x08), U8(0x0C), U8(0)})),
         "av01.0.08M.08", "AV1", "Main", "4.0"},
        {"AV1 profile 0, 10 bits, high tier", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x0D), U8(0xCC), U8(0)})),
         "av01.0.13H.10", "AV1", "Main", "5.1"},
        {"AV1 profile 1, 8 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x28), U8(0x00), U8(0)})),
         "av01.1.08M.08", "AV1", "High", "4.0"},
        {"AV1 profile 1, 10 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x28), U8(0x40), U8(0)})),
         "av01.1.08M.10", "AV1", "High", "4.0"},
        {"AV1 profile 2, 8 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x48), U8(0x08), U8(0)})),
         "av01.2.08M.08", "AV1", "Professional", "4.0"},
        {"AV1 profile 2, 10 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x48), U8(0x48), U8(0)})),
         "av01.2.08M.10", "AV1", "Professional", "4.0"},
        {"AV1 profile 2, 12 bits", "vide", VisualEntry("av01", 64, 48, Box("av1C", {av1, U8(0x5F), U8(0x60), U8(0)})),
         "av01.2.31M.12", "AV1", "Professional", "maximum parameters"},
        {"VP8 from its vpcC", "vide", VisualEntry("vp08", 64, 48, FullBox("vpcC", 1, 0, Cat({U8(0), U8(10), U8(0x82), U8(1), U8(1), U8(1), U16(0)}))),
         "vp08.00.10.08", "VP8", "Profile 0", "1"},
        {"AAC LC", "soun", AudioWithAsc({0x12, 0x10}), "mp4a.40.2", "AAC LC", "", ""},
        {"the object type's escape", "soun", AudioWithAsc({0xF9, 0x44, 0x40}), "mp4a.40.42", "xHE-AAC", "", ""},
        {"explicit SBR keeps its object type", "soun", AudioWithAsc({0x2B, 0x8A, 0x08, 0x00}), "mp4a.40.5", "HE-AAC", "", ""},
        {"another object type", "soun", AudioEntry("mp4a", 2, 44100, Esds(Cat({DecoderConfig(0x6B, 5, {}, false), SlConfig()}))),
         "mp4a.6B", "MP3", "", ""},
        {"Opus", "soun", AudioEntry("Opus", 2, 48000, Box("dOps", Cat({U8(0), U8(2), U16(312), U32(48000), U16(0), U8(0)}))),
         "Opus", "Opus", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Opened o(OneTrack(c.handler, c.entry));
        ASSERT_EQ(o.Summary().tracks.size(), 1u);
        const full::TrackSummary& t = o.Summary().tracks[0];
        EXPECT_EQ(t.codecString, c.codecString);
        EXPECT_EQ(t.codecName, c.codecName);
        EXPECT_EQ(t.profile, c.profile);
        EXPECT_EQ(t.level, c.level);
    }
}

TEST(FullSummary, HevcCodecStrings) {
    struct Case {
        const char* name;
        std::uint8_t space;
        bool high;
        std::uint8_t profile;
        std::uint32_t compatibility;
        std::uint8_t constraints[6];
        std::uint8_t level;
        const char* expected;
    };
    const Case cases[] = {
        {"main", 0, false, 1, 0x60000000, {0xB0, 0, 0, 0, 0, 0}, 93, "hvc1.1.6.L93.B0"},
        {"RExt: byte 2 set, later ones zero", 0, false, 4, 0x08000000, {0x98, 0x08, 0x00, 0, 0, 0}, 120, "hvc1.4.10.L120.98.8"},
        {"all constraint bytes zero", 0, true, 2, 0x20000000, {0, 0, 0, 0, 0, 0}, 153, "hvc1.2.4.H153"},
        {"profile space A", 1, false, 1, 0x40000000, {0x90, 0, 0, 0, 0, 1}, 90, "hvc1.A1.2.L90.90.0.0.0.0.1"},
        {"profile space C", 3, true, 1, 0x80000000, {0, 0, 0, 0, 0, 0}, 60, "hvc1.C1.1.H60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(full::HevcCodecString(Fourcc("hvc1"), c.space, c.high, c.profile, c.compatibility, c.constraints, c.level),
                  c.expected);
    }
}

TEST(FullSummary, ValuesOfATrackAndItsJson) {
    const Opened o(OneTrack("vide", VisualEntry("avc1", 64, 48, Cat({Box("avcC", {U8(1), U8(77), U8(0x40), U8(30), U8(0xFF), U8(0xE0), U8(0)}),
                                                                      Box("pasp", Cat({U32(4), U32(3)}))}))));
    const nlohmann::ordered_json streams = StreamsJson(o.doc);
    ASSERT_EQ(streams.size(), 1u);
    const auto& s = streams[0];
    EXPECT_EQ(s["track_id"], 1);
    EXPECT_EQ(s["handler"], "vide");
    EXPECT_EQ(s["width"], 64);
    EXPECT_EQ(s["display_width"], 85);  // 64 x 4/3
    EXPECT_EQ(s["sar"], "4:3");
    EXPECT_EQ(s["rotation"], 0);
    EXPECT_EQ(s["frame_rate"], "1/1");
    EXPECT_EQ(s["frame_rate_mode"], "constant");
    EXPECT_EQ(s["sample_count"], 3);
    EXPECT_EQ(s["sync_sample_count"], 3);  // no stss: every sample
    EXPECT_EQ(s["bit_rate"], 1600);        // 600 bytes over 3 s
    EXPECT_EQ(s["duration_s"], 3.0);
    EXPECT_TRUE(s["channels"].is_null());
    EXPECT_TRUE(s["encrypted"].is_null());
    EXPECT_EQ(s.size(), 31u);  // every key, always
}

TEST(FullSummary, ATrackMissingWhatItNeedsSaysSoAndNeverDividesByZero) {
    const Bytes bare = Cat({Box("ftyp", Text("isom")),
                            Movie({Box("trak", {Tkhd(0, 7, 0, 0), Box("mdia", {Mdhd(0, 0, 0), Hdlr("soun"), Box("minf", {Box("stbl", {Stsd(0, {}), Stsz(0, 0)})})})})})});
    const Opened o(bare);
    ASSERT_EQ(o.Summary().tracks.size(), 1u);
    const full::TrackSummary& t = o.Summary().tracks[0];
    EXPECT_EQ(t.missing, (std::vector<std::string>{"no sample entry (stsd)", "a zero timescale", "no samples"}));
    EXPECT_FALSE(t.MediaSeconds());
    EXPECT_FALSE(t.BitRate());
    const auto s = StreamsJson(o.doc)[0];
    EXPECT_TRUE(s["duration_s"].is_null());
    EXPECT_TRUE(s["bit_rate"].is_null());
    const auto& lines = o.doc.FileInfoPane().Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Missing             : no sample entry (stsd)"), lines.end());
}

}  // namespace
}  // namespace kestrova::test
