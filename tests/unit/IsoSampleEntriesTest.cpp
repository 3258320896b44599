// Sample entries, ES descriptors and the file summary: fixture bytes in, lines out.

#include <gtest/gtest.h>

#include "IsoFixtures.h"
#include "common/Formatters.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

const Bytes kAacLc = {0x12, 0x10};
const Bytes kHeAac = {0x13, 0x10, 0x56, 0xE5, 0x98};  // 24 kHz core with SBR signalled

Bytes VideoTrack(const Bytes& entry, std::initializer_list<Bytes> tables, std::uint32_t width = 0, std::uint32_t height = 0) {
    return Trak(Tkhd(0, 1, width, height), "vide", Cat({Stsd(1, {entry}), Cat(tables)}));
}
Bytes AudioTrack(const Bytes& entry, std::initializer_list<Bytes> tables = {}, std::uint32_t id = 2) {
    return Trak(Tkhd(0, id, 0, 0), "soun", Cat({Stsd(1, {entry}), Cat(tables)}));
}
Bytes Mp4a(std::uint16_t channels, std::uint16_t rate, const Bytes& esdsBody) {
    return AudioEntry("mp4a", channels, rate, Esds(esdsBody));
}
Bytes AacEsds(const Bytes& config) { return Cat({DecoderConfig(0x40, 5, config), SlConfig()}); }

Lines AudioLines(const std::string& format, int channels, const std::string& rateLine, int timescale, int frames) {
    return {"   Audio Format     : " + format, "   Channel Count    : " + std::to_string(channels), rateLine,
            "   Time Scale       : " + std::to_string(timescale), "   Frame per Sample : " + std::to_string(frames)};
}

Lines VideoLines(const std::string& format, const std::string& resolution, int sync, int samples, long long total,
                 int header) {
    return {"Video Format : " + format,
            "Resolution : " + resolution,
            "   Sync Sample Count(I-Frames): " + std::to_string(sync),
            "   Sample Count(I/P-Frames) : " + std::to_string(samples),
            "   Total Sample Size(Byte)  : " + std::to_string(total),
            "   Header Size(Byte)        : " + std::to_string(header),
            std::string(40, '-'),
            "[Audio Info]"};
}

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines kNoVideo = {"   Video Sample Not FOUND!!!!", std::string(40, '-'), "[Audio Info]"};
const Lines kNoAudio = AudioLines("UnKnown Format", 0, "   Sample Rate      : 0", 0, 0);

TEST(IsoSampleEntryDescriptions, EntriesAndConfigurationBoxes) {
    const Bytes samr = AudioEntry("samr", 2, 8000, Damr(0x81FF, 5));
    const Bytes sevc = AudioEntry("sevc", 2, 8000, Box("devc", Cat({Text("QCOM"), U8(1), U8(3)})));
    OpenedIso iso(Movie({AudioTrack(Mp4a(2, 44100, AacEsds(kAacLc))), AudioTrack(samr), AudioTrack(sevc),
                         VideoTrack(VisualEntry("s263", 176, 144), {}),
                         Trak(Tkhd(0, 5, 0, 0), "odsm", Stsd(1, {Box("mp4s", Cat({Zeros(6), U16(1)}))}))}));
    const Lines reserved6 = {"   Reserved [0]: 0 (0000)", "   Reserved [1]: 0 (0000)", "   Reserved [2]: 0 (0000)",
                             "   Reserved [3]: 0 (0000)", "   Reserved [4]: 0 (0000)", "   Reserved [5]: 0 (0000)",
                             "data-reference-index: 1 (0X0001)"};
    EXPECT_EQ(iso.Lines("mp4a"), Join(reserved6, {"Reserved     : 0 (0000000000)", "Reserved     : 0 (0000000000)",
                                                  "Channel count: 2 (0X0002)", "Sample Size  : 16 (0X0010)",
                                                  "Pre-defined  : 0 (000000)", "Reserved     : 0 (000000)",
                                                  "Time Scale   : 44,100 (0XAC44)", "Reserved     : 0 (000000)"}));
    const Lines samrSevc = Join(reserved6, {"   Reserved    : 0 (0000000000)", "   Reserved    : 0 (0000000000)",
                                            "   Reserved    : 2 (0X0002)", "   Reserved    : 16 (0X0010)",
                                            "   Reserved    : 0 (0000000000)", "Timescale      : 8,000 (0X1F40)",
                                            "   Reserved    : 0 (000000)"});
    EXPECT_EQ(iso.Lines("samr"), samrSevc);
    EXPECT_EQ(iso.Lines("sevc"), samrSevc);
    EXPECT_EQ(iso.Lines("damr"), (Lines{"Vendor : KSTR (0X4B535452)", "Decoder version   : 0 (0000)",
                                        "Mode Set          : 33,279 (0X81FF)", "Mode Cange Period : 0 (0000)",
                                        "Frames per sample : 5 (0X05)"}));
    EXPECT_EQ(iso.Lines("devc"), (Lines{"Vendor         : QCOM (0X51434F4D)", "Decoder Version: 1 (0X01)",
                                        "Frame / Sample : 3 (0X03)"}));
    EXPECT_EQ(iso.Lines("mp4s"), (Lines{"   Reserved[0]: 0 (0000)", "   Reserved[1]: 0 (0000)", "   Reserved[2]: 0 (0000)",
                                        "   Reserved[3]: 0 (0000)", "   Reserved[4]: 0 (0000)", "   Reserved[5]: 0 (0000)",
                                        "data-reference-index: 1 (0X0001)"}));
    const Lines s263 = iso.Lines("s263");
    ASSERT_EQ(s263.size(), 63u);
    EXPECT_EQ(s263[22], "   Reserved [15]: 0 (0000)");
    EXPECT_EQ(s263[23], "Width        : 176 (0X00B0)");
    EXPECT_EQ(s263[25], "Horiz-resol. : 4,718,592 (0X00480000)");
    EXPECT_EQ(s263[28], "Pre-defined1 : 1 (0X0001)");
    EXPECT_EQ(s263[29], "   Compressor Name [0]: 4 (0X04)");  // byte by byte, never as text
    EXPECT_EQ(s263[30], "   Compressor Name [1]: 84 (0X54)");
    EXPECT_EQ(s263[60], "   Compressor Name [31]: 0 (0000)");
    EXPECT_EQ(s263[61], "Depth        : 24 (0X0018)");
    EXPECT_EQ(s263[62], "Pre-defined2 : 65,535 (0XFFFF)");
}

TEST(IsoSampleEntryDescriptions, EsDescriptorGroups) {
    const Lines es = {"version       : 0 (0000)", "flags         : 0 (00000000)",
                      "------ ES Descriptor -------------------", "   Tag        : 3 (0X03)"};
    const Lines dcd = {"-------- Decoder Config Descriptor -----", "      Tag         : 4 (0X04)",
                       "      Tag Size    : 17 (0X11)", "      objectTypeIndication : MPEG-4 audio",
                       "      Stream Type : 5 (0X05)", "      UpStream    : 0 (0000)", "      Reserved    : 1 (0X01)",
                       "      Buffer Size : 6,144 (0X001800)", "      Max BitRate : 128,000 (0X0001F400)",
                       "      Avg. BitRate: 96,000 (0X00017700)"};
    const Lines dsi = {"----------- Dec-Specific Info Descriptor", "         Tag          : 5 (0X05)",
                       "         Tag Size     : 2 (0X02)"};
    const Lines sl = {"----------- Sync Layer Config Descriptor", "         Tag         : 6 (0X06)",
                      "         Tag Size    : 1 (0X01)", "         PreDefined  : 2 (0X02)"};
    const auto esHeader = [](const std::string& size) {
        return Lines{"   Tag Size   : " + size, "   ES_ID      : 1 (0X0001)", "   StreamDependFlag: 0 (0000)",
                     "   URL Flag   : 0 (0000)", "   Reserved   : 0 (0000)", "   StreamPriority  : 0 (0000)"};
    };
    OpenedIso full(Movie({AudioTrack(Mp4a(2, 44100, AacEsds(kAacLc)))}));
    EXPECT_EQ(full.Lines("esds"), Join(Join(Join(Join(es, esHeader("25 (0X19)")), dcd), dsi), sl));

    // Without a DecoderConfigDescriptor, the sync layer group right after the ES header still shows.
    OpenedIso noDcd(Movie({VideoTrack(VisualEntry("mp4v", 8, 8, Esds(SlConfig())), {})}));
    Lines zeroDcd = {"-------- Decoder Config Descriptor -----", "      Tag         : 0 (0000)",
                     "      Tag Size    : 0 (0000)", "      objectTypeIndication : UnKnown Format",
                     "      Stream Type : 0 (0000)", "      UpStream    : 0 (0000)", "      Reserved    : 0 (0000)",
                     "      Buffer Size : 0 (00000000)", "      Max BitRate : 0 (0000000000)",
                     "      Avg. BitRate: 0 (0000000000)"};
    EXPECT_EQ(noDcd.Lines("esds"), Join(Join(Join(es, esHeader("6 (0X06)")), zeroDcd), sl));
    // Without decoder-specific information or sync layer, those groups are left out.
    OpenedIso bare(Movie({VideoTrack(VisualEntry("mp4v", 8, 8, Esds(DecoderConfig(0x40, 5, {}, false))), {})}));
    Lines dcd13 = dcd;
    dcd13[2] = "      Tag Size    : 13 (0X0D)";
    EXPECT_EQ(bare.Lines("esds"), Join(Join(es, esHeader("18 (0X12)")), dcd13));
    // The audio form stops at a missing piece; what came before stays.
    OpenedIso noDsi(Movie({AudioTrack(Mp4a(2, 44100, Cat({DecoderConfig(0x40, 5, {}, false), SlConfig()})))}));
    EXPECT_EQ(noDsi.Lines("esds"), Join(Join(es, esHeader("21 (0X15)")), dcd13));
    // An object type outside the table.
    OpenedIso odd(Movie({AudioTrack(Mp4a(2, 44100, DecoderConfig(0x05, 5, kAacLc)))}));
    EXPECT_EQ(odd.Lines("esds")[13], "      objectTypeIndication : UnKnown Format");
}

TEST(IsoSampleEntryWalk, EntriesStayInsideTheirStsd) {
    // sawb and an unknown type are leaves; avc1 is recorded without children.
    OpenedIso iso(Movie({Trak(Tkhd(0, 1, 0, 0), "soun",
                              Cat({Stsd(3, {AudioEntry("sawb", 1, 16000, Damr(0x81FF)), VisualEntry("avc1", 64, 48, Box("avcC", Zeros(8))),
                                            Box("zzzz", Zeros(4))}),
                                   Stsz(0, 1, {10})}))}));
    const auto& nodes = iso.Doc().Tree().Nodes();
    const std::int64_t stsd = iso.Node("stsd");
    for (const char* entry : {"sawb", "avc1", "zzzz"}) EXPECT_EQ(nodes[iso.Node(entry)].parent, stsd) << entry;
    EXPECT_EQ(iso.Node("damr"), -1);
    EXPECT_EQ(iso.Node("avcC"), -1);
    EXPECT_EQ(iso.Parse().trackInfo.sampleEntryType, Fourcc("zzzz"));
    EXPECT_EQ(iso.Lines("avc1"), Lines{});

    // An entry count past the entries present never takes the boxes after the stsd as entries.
    OpenedIso over(Movie({Trak(Tkhd(0, 1, 0, 0), "soun",
                               Cat({Stsd(5, {AudioEntry("samr", 1, 8000, Damr(1))}), Stsz(0, 1, {10}), Box("stts", Zeros(8))}))}));
    const auto& overNodes = over.Doc().Tree().Nodes();
    EXPECT_EQ(overNodes[over.Node("stsz")].parent, overNodes[over.Node("stsd")].parent);
    EXPECT_EQ(overNodes[over.Node("stts")].parent, overNodes[over.Node("stsd")].parent);
    EXPECT_EQ(over.Parse().tables.counters.samr, 1);
    // An entry reaching past its stsd is recorded and described, then the walk ends.
    const Bytes longEntry = Cat({U32(200), Text("mp4a"), Zeros(6), U16(1), Zeros(8), U16(2), U16(16), Zeros(4), U16(32000), U16(0)});
    OpenedIso past(Movie({Trak(Tkhd(0, 1, 0, 0), "soun", Cat({Stsd(2, {longEntry}), Box("free")}))}));
    EXPECT_EQ(past.Lines("mp4a")[13], "Time Scale   : 32,000 (0X7D00)");
}

TEST(IsoSampleEntryWalk, BoxesOutOfPlaceAreDescribedButTouchNothing) {
    const Bytes esds = Esds(AacEsds({0x11, 0x90}));  // 48 kHz stereo
    OpenedIso iso(Movie({Box("udta", {esds, Damr(0x0004, 9), Box("devc", Cat({Text("QCOM"), U8(2), U8(7)}))}),
                         AudioTrack(Mp4a(2, 44100, AacEsds(kAacLc)))}));
    EXPECT_EQ(iso.Lines("esds", 0)[13], "      objectTypeIndication : MPEG-4 audio");
    EXPECT_EQ(iso.Lines("damr"), (Lines{"Vendor : KSTR (0X4B535452)", "Decoder version   : 0 (0000)",
                                        "Mode Set          : 4 (0X0004)", "Mode Cange Period : 0 (0000)",
                                        "Frames per sample : 9 (0X09)"}));
    EXPECT_EQ(iso.Lines("devc")[2], "Frame / Sample : 7 (0X07)");
    EXPECT_EQ(iso.Summary(), Join(kNoVideo, AudioLines("MPEG-4 audio", 2, "   Sample Rate      : 44100", 44100, 1)));
    EXPECT_EQ(iso.Parse().tables.counters.esds, 1);
}

TEST(IsoSummary, AmrModes) {
    EXPECT_EQ(AmrModeOf(0x81FF), 8u);
    EXPECT_EQ(AmrModeOf(0x0001), 1u);
    EXPECT_EQ(AmrModeOf(0x0003), 1u);  // would be 0: it still reads as AMR
    EXPECT_EQ(AmrModeOf(0x0004), 2u);
    EXPECT_EQ(AmrModeOf(0x0080), 7u);
    EXPECT_EQ(AmrModeOf(0x0000), 8u);
}

struct SummaryCase {
    const char* name;
    Bytes file;
    Lines expected;
};

TEST(IsoSummary, EveryBranch) {
    const Bytes mp4v = VisualEntry("mp4v", 176, 144, Esds(Cat({DecoderConfig(0x20, 4, Zeros(28)), SlConfig()})));
    const Bytes sizes = Stsz(0, 3, {100, 200, 300});
    const Bytes amr = AudioEntry("samr", 1, 8000, Damr(0x81FF, 5));
    const Lines amrLines = AudioLines("AMR", 1, "   Sample Rate      : 8000", 8000, 5);
    const std::vector<SummaryCase> cases = {
        {"3GP: MPEG-4 video and AMR",
         Movie({Trak(Tkhd(0, 1, 176, 144), "vide", Cat({Stsd(1, {mp4v}), Table("stss", 1, {1}), sizes})), AudioTrack(amr)}),
         Join(VideoLines("MPEG-4 video", "176 * 144", 1, 3, 600, 28), amrLines)},
        {"tables before the stsd count as much as after it",
         Movie({Trak(Tkhd(0, 1, 0, 0), "vide", Cat({sizes, Table("stss", 1, {1}), Stsd(1, {mp4v})}))}),
         Join(VideoLines("MPEG-4 video", "176 * 144", 1, 3, 600, 28), kNoAudio)},
        {"s263 without esds; no stss: every sample is a sync sample",
         Movie({VideoTrack(VisualEntry("s263", 128, 96), {sizes})}),
         Join(VideoLines("UnKnown Format", "128 * 96", 3, 3, 600, 0), kNoAudio)},
        {"an audio track's stss never counts for the video",
         Movie({AudioTrack(Mp4a(2, 44100, AacEsds(kAacLc)), {Table("stss", 1, {1}), Stsz(0, 2, {5, 5})}),
                VideoTrack(VisualEntry("avc1", 320, 240), {sizes}, 320, 240)}),
         Join(VideoLines("UnKnown Format", "320 * 240", 3, 3, 600, 0),
              AudioLines("MPEG-4 audio", 2, "   Sample Rate      : 44100", 44100, 1))},
        {"an avc1 track after an mp4v track takes no object type from it",
         Movie({VideoTrack(mp4v, {sizes}), VideoTrack(VisualEntry("avc1", 640, 360), {Stsz(1000, 1000000)}, 640, 360)}),
         Join(VideoLines("UnKnown Format", "640 * 360", 1000000, 1000000, 1000000000, 0), kNoAudio)},
        {"no movie box", Cat({Box("mdat", Zeros(4)), U32(0), Text("free")}), {"   Moov_Box Not FOUND!!!!"}},
        {"HE-AAC", Movie({AudioTrack(Mp4a(2, 24000, AacEsds(kHeAac)))}),
         Join(kNoVideo, AudioLines("MPEG-4 audio", 2, "   Sample Rate(SBR) : 24000 * 2", 24000, 1))},
        {"an AMR track before an AAC track", Movie({AudioTrack(amr), AudioTrack(Mp4a(2, 44100, AacEsds(kAacLc)), {}, 3)}),
         Join(kNoVideo, AudioLines("MPEG-4 audio", 2, "   Sample Rate      : 44100", 44100, 1))},
        {"an HE-AAC track before an AMR track", Movie({AudioTrack(Mp4a(2, 24000, AacEsds(kHeAac))), AudioTrack(amr, {}, 3)}),
         Join(kNoVideo, amrLines)},
        {"AMR whose configuration box has size 0",
         Movie({AudioTrack(AudioEntry("samr", 1, 8000, Cat({U32(0), Text("damr")})))}),
         Join(kNoVideo, AudioLines("AMR", 1, "   Sample Rate      : 8000", 8000, 0))},
        {"MP3: the entry's own channels and rate",
         Movie({AudioTrack(Mp4a(2, 48000, Cat({DecoderConfig(0x6B, 5, {}, false), SlConfig()})))}),
         Join(kNoVideo, AudioLines("MPEG-1 ADTS", 2, "   Sample Rate      : 48000", 48000, 1))},
        {"EVRC in mp4a: private bytes are not an AAC configuration",
         Movie({AudioTrack(Mp4a(1, 8000, Cat({DecoderConfig(0xD1, 5, {0xFF, 0xFF, 0xFF}), SlConfig()})))}),
         Join(kNoVideo, AudioLines("UnKnown Format", 1, "   Sample Rate      : 8000", 8000, 1))},
        {"EVRC entry", Movie({AudioTrack(AudioEntry("sevc", 1, 8000, Box("devc", Cat({Text("QCOM"), U8(1), U8(2)}))))}),
         Join(kNoVideo, AudioLines("UnKnown Format", 1, "   Sample Rate      : 8000", 8000, 2))},
    };
    for (const SummaryCase& c : cases) EXPECT_EQ(OpenedIso(c.file).Summary(), c.expected) << c.name;
}

TEST(IsoSummary, TwoAudioEntriesEachShowTheirOwnValues) {
    OpenedIso iso(Movie({AudioTrack(Mp4a(1, 22050, AacEsds({0x13, 0x88}))), AudioTrack(Mp4a(2, 48000, AacEsds({0x11, 0x90})), {}, 3)}));
    EXPECT_EQ(iso.Lines("mp4a", 0)[13], "Time Scale   : 22,050 (0X5622)");
    EXPECT_EQ(iso.Lines("mp4a", 1)[13], "Time Scale   : 48,000 (0XBB80)");
    EXPECT_EQ(iso.Lines("esds", 0)[22], "         Tag Size     : 2 (0X02)");
    EXPECT_EQ(iso.Parse().tables.esds[0].audio.sampleRate, 22050u);
    EXPECT_EQ(iso.Parse().tables.esds[1].audio.sampleRate, 48000u);
    // The summary takes the last audio entry in walk order.
    EXPECT_EQ(iso.Summary(), Join(kNoVideo, AudioLines("MPEG-4 audio", 2, "   Sample Rate      : 48000", 48000, 1)));
}

}  // namespace
}  // namespace kestrova
