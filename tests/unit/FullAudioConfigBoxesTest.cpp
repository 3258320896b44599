// The audio configuration boxes in the full view: a one-track file in, the
// box's lines in the view's own forms and their ranges in the file out.

#include <gtest/gtest.h>

#include <algorithm>

#include "FullFixtures.h"

namespace kestrova {
namespace {

using namespace test;

// Every file here has one sound track.
Bytes TrackFile(const Bytes& entry) { return test::TrackFile("soun", entry); }

// An audio sample entry: version 0 has 28 bytes of fields, QuickTime's version 1 has 16 more.
Bytes AudioEntry(const std::string& type, const Bytes& children, std::uint16_t version = 0) {
    Bytes fields = Cat({Zeros(6), U16(1), U16(version), U16(0), U32(0), U16(2), U16(16), U16(0), U16(0), U32(48000u << 16)});
    if (version == 1) fields = Cat({fields, U32(1024), U32(0), U32(8), U32(2)});
    return Box(type, Cat({fields, children}));
}

// Absolute offset of the body of the box whose bytes are box.
std::uint64_t BodyOf(const Bytes& file, const Bytes& box) {
    return static_cast<std::uint64_t>(std::search(file.begin(), file.end(), box.begin(), box.end()) - file.begin()) + 8;
}

// A line: label and value padded like the view pads them, or a heading (empty label).
struct Line {
    std::string label;
    std::string value;
    std::uint64_t bit = 0;   // from the first body byte
    std::uint64_t bits = 0;  // 0: no range
};

struct BoxCase {
    const char* name;
    Bytes file;
    std::string type;
    int nth;
    Bytes box;  // the clicked box's bytes, to find its body
    std::size_t width;
    std::vector<Line> lines;
};

// As ffmpeg writes it: every size in four bytes.
const Bytes kEsds = FullBox("esds", 0, 0,
                            Bytes{0x03, 0x80, 0x80, 0x80, 0x22, 0x00, 0x01, 0x00, 0x04, 0x80, 0x80, 0x80, 0x14, 0x40,
                                  0x15, 0x00, 0x00, 0x00, 0x00, 0x01, 0xF4, 0x00, 0x00, 0x01, 0xE5, 0x61, 0x05, 0x80,
                                  0x80, 0x80, 0x02, 0x12, 0x10, 0x06, 0x80, 0x80, 0x80, 0x01, 0x02});
const std::vector<Line> kEsdsLines = {
    {"version", "0 (0000)", 0, 8},
    {"flags", "0 (00000000)", 8, 24},
    {"", "ES_Descriptor"},
    {"tag", "3 (0X03) ES_DescrTag", 32, 8},
    {"sizeOfInstance", "34 (80 80 80 22)", 40, 32},
    {"ES_ID", "1 (0X0001)", 72, 16},
    {"streamDependenceFlag", "0 (0000)", 88, 1},
    {"URL_Flag", "0 (0000)", 89, 1},
    {"OCRstreamFlag", "0 (0000)", 90, 1},
    {"streamPriority", "0 (0000)", 91, 5},
    {"", "DecoderConfigDescriptor"},
    {"tag", "4 (0X04) DecoderConfigDescrTag", 96, 8},
    {"sizeOfInstance", "20 (80 80 80 14)", 104, 32},
    {"objectTypeIndication", "64 (0X40) MPEG-4 Audio", 136, 8},
    {"streamType", "5 (0X05) AudioStream", 144, 6},
    {"upStream", "0 (0000)", 150, 1},
    {"reserved", "1 (0X01)", 151, 1},
    {"bufferSizeDB", "0 (00000000)", 152, 24},
    {"maxBitrate", "128,000 (0X0001F400)", 176, 32},
    {"avgBitrate", "124,257 (0X0001E561)", 208, 32},
    {"", "DecoderSpecificInfo"},
    {"tag", "5 (0X05) DecSpecificInfoTag", 240, 8},
    {"sizeOfInstance", "2 (80 80 80 02)", 248, 32},
    {"", "AudioSpecificConfig()"},
    {"audioObjectType", "2 (0X02) AAC LC", 280, 5},
    {"samplingFrequencyIndex", "4 (0X04) 44100 Hz", 285, 4},
    {"channelConfiguration", "2 (0X02) 2 channels: L R", 289, 4},
    {"", "GASpecificConfig()"},
    {"frameLengthFlag", "0 (0000) 1024 samples a frame", 293, 1},
    {"dependsOnCoreCoder", "0 (0000)", 294, 1},
    {"extensionFlag", "0 (0000)", 295, 1},
    {"object type", "= AAC LC", 280, 16},
    {"sample rate", "= 44100 Hz", 285, 4},
    {"channels", "= 2", 289, 4},
    {"", "SLConfigDescriptor"},
    {"tag", "6 (0X06) SLConfigDescrTag", 296, 8},
    {"sizeOfInstance", "1 (80 80 80 01)", 304, 32},
    {"predefined", "2 (0X02) reserved for use in MP4 files", 336, 8}};

const Bytes kDops = Box("dOps", Bytes{0x00, 0x02, 0x01, 0x38, 0x00, 0x00, 0xBB, 0x80, 0xFF, 0x00, 0x00});
const Bytes kAlac = FullBox("alac", 0, 0,
                            Bytes{0x00, 0x00, 0x10, 0x00, 0x00, 0x18, 0x28, 0x0A, 0x0E, 0x06, 0x00, 0xFF,
                                  0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x0A, 0xCC, 0x00, 0x00, 0xAC, 0x44});
const Bytes kDamr = Box("damr", Bytes{'F', 'F', 'M', 'P', 0x00, 0x03, 0x00, 0x00, 0x01});
const Bytes kDevc = Box("devc", Bytes{'a', 'b', 'c', 'd', 0x01, 0x02});
// A STREAMINFO block that says 34 bytes in a box that holds 6 of them.
const Bytes kDfla = FullBox("dfLa", 0, 0, Bytes{0x80, 0x00, 0x00, 0x22, 0x10, 0x00, 0x10, 0x00, 0x00, 0x00});
const Bytes kFrma = Box("frma", Text("mp4a"));
const Bytes kWaveMp4a = Box("mp4a", Zeros(4));
const Bytes kEnda = Box("enda", U16(1));
const Bytes kTerminator = BoxWithSize(8, std::string("\0\0\0\0", 4));
const Bytes kWaveFile =
    TrackFile(AudioEntry("mp4a", Box("wave", {kFrma, kWaveMp4a, kEnda, kEsds, kTerminator}), 1));

TEST(FullAudioConfigBoxes, LinesAndRanges) {
    const std::vector<BoxCase> cases = {
        {"esds with an AAC configuration", TrackFile(AudioEntry("mp4a", kEsds)), "esds", 0, kEsds, 22, kEsdsLines},
        // QuickTime's wave holds the same esds among its own boxes.
        {"esds inside wave", kWaveFile, "esds", 0, kEsds, 22, kEsdsLines},
        {"frma inside wave", kWaveFile, "frma", 0, kFrma, 11, {{"data_format", "mp4a (0X6D703461)", 0, 32}}},
        {"mp4a inside wave", kWaveFile, "mp4a", 1, kWaveMp4a, 4,
         {{"data", "00 00 00 00 (left over from the sound description of old QuickTime: no meaning)", 0, 32}}},
        {"enda inside wave", kWaveFile, "enda", 0, kEnda, 12, {{"littleEndian", "1 (0X0001) little-endian samples", 0, 16}}},
        {"the terminator of wave", kWaveFile, std::string("\0\0\0\0", 4), 0, kTerminator, 0,
         {{"", "(terminator: the end of the wave box's list)"}}},
        {"dOps with a gain of -1 dB", TrackFile(AudioEntry("Opus", kDops)), "dOps", 0, kDops, 20,
         {{"Version", "0 (0000)", 0, 8},
          {"OutputChannelCount", "2 (0X02)", 8, 8},
          {"PreSkip", "312 (0X0138) samples at 48000 Hz", 16, 16},
          {"InputSampleRate", "48,000 (0X0000BB80) 48000 Hz", 32, 32},
          {"OutputGain", "-1.0 (0XFF00) dB", 64, 16},
          {"ChannelMappingFamily", "0 (0000) mono or stereo, no mapping table", 80, 8},
          {"channels", "= 2: stereo (L R)", 8, 8},
          {"sample rate", "= 48000 Hz (Opus always decodes at 48000 Hz)"}}},
        // The configuration box shares its type with the sample entry it lies in.
        {"alac inside alac", TrackFile(AudioEntry("alac", kAlac)), "alac", 1, kAlac, 17,
         {{"version", "0 (0000)", 0, 8},
          {"flags", "0 (00000000)", 8, 24},
          {"frameLength", "4,096 (0X00001000) samples a frame", 32, 32},
          {"compatibleVersion", "0 (0000)", 64, 8},
          {"bitDepth", "24 (0X18)", 72, 8},
          {"pb", "40 (0X28)", 80, 8},
          {"mb", "10 (0X0A)", 88, 8},
          {"kb", "14 (0X0E)", 96, 8},
          {"numChannels", "6 (0X06)", 104, 8},
          {"maxRun", "255 (0X00FF)", 112, 16},
          {"maxFrameBytes", "36 (0X00000024)", 128, 32},
          {"avgBitRate", "2,764 (0X00000ACC) bit/s", 160, 32},
          {"sampleRate", "44,100 (0X0000AC44) 44100 Hz", 192, 32}}},
        // Under sawb the same bits name the modes of AMR-WB.
        {"damr of AMR-WB", TrackFile(AudioEntry("sawb", kDamr)), "damr", 0, kDamr, 18,
         {{"vendor", "FFMP (0X46464D50)", 0, 32},
          {"decoder_version", "0 (0000)", 32, 8},
          {"mode_set", "768 (0X0300) modes 23.85 kbit/s, SID", 40, 16},
          {"mode_change_period", "0 (0000) no restriction", 56, 8},
          {"frames_per_sample", "1 (0X01)", 64, 8}}},
        {"devc", TrackFile(AudioEntry("sevc", kDevc)), "devc", 0, kDevc, 17,
         {{"vendor", "abcd (0X61626364)", 0, 32}, {"decoder_version", "1 (0X01)", 32, 8}, {"frames_per_sample", "2 (0X02)", 40, 8}}},
        {"dfLa whose block is longer than the box", TrackFile(AudioEntry("fLaC", kDfla)), "dfLa", 0, kDfla, 21,
         {{"version", "0 (0000)", 0, 8},
          {"flags", "0 (00000000)", 8, 24},
          {"", "FLACMetadataBlock #1"},
          {"LastMetadataBlockFlag", "1 (0X01) the last block", 32, 1},
          {"BlockType", "0 (0000) STREAMINFO", 33, 7},
          {"Length", "34 (0X000022)", 40, 24},
          {"", "(the block says 34 bytes, 6 are left)"},
          {"minimum block size", "4,096 (0X1000)", 64, 16},
          {"maximum block size", "4,096 (0X1000)", 80, 16},
          {"", "(STREAMINFO stops at bit 32, byte 0x" + UpperHexText(BodyOf(TrackFile(AudioEntry("fLaC", kDfla)), kDfla) + 12) +
                   ": minimum frame size needs 24 bits, 16 are left)"}}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FullLines got = DescribeInFullView(c.file, c.type, c.nth);
        const std::uint64_t body = BodyOf(c.file, c.box);
        std::vector<std::string> want;
        for (const Line& l : c.lines)
            want.push_back(l.label.empty() ? l.value : l.label + std::string(c.width - l.label.size(), ' ') + " : " + l.value);
        ASSERT_EQ(got.lines, want);
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const Line& l = c.lines[i];
            const ByteRange expected = l.bits ? ByteRange::Bits(8 * body + l.bit, l.bits) : ByteRange{};
            EXPECT_EQ(got.ranges[i], expected) << want[i];
        }
    }
}

// A cut box still shows every whole field before the cut and says where it stops.
TEST(FullAudioConfigBoxes, EsdsCutByItsBox) {
    const Bytes esds = FullBox("esds", 0, 0, Bytes{0x03, 0x19, 0x00, 0x01, 0x00, 0x04, 0x11, 0x40, 0x15});
    const FullLines got = DescribeInFullView(TrackFile(AudioEntry("mp4a", esds)), "esds");
    ASSERT_FALSE(got.lines.empty());
    EXPECT_EQ(got.lines[5], "(ES_Descriptor says 25 bytes, 7 are left)");
    EXPECT_EQ(got.lines.back(), "(DecoderConfigDescriptor stops at bit 16: bufferSizeDB needs 24 bits, 0 are left)");
    EXPECT_EQ(got.lines[got.lines.size() - 2], "reserved             : 1 (0X01)");
}

}  // namespace
}  // namespace kestrova
