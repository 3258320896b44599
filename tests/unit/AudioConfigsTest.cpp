// The audio configurations beside MPEG-4 audio: Opus, FLAC, AC-3, E-AC-3,
// AC-4, ALAC and AMR. Bytes in, the lines a reader reports with their bit
// ranges, and the values a summary takes, out.

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "codecs/AudioConfigs.h"

namespace kestrova {
namespace {

using namespace test;

struct OpusCase {
    const char* name;
    Bytes bytes;
    std::vector<BitLine> lines;
    bool read;
    unsigned family, streams, coupled;
    int gain;
};

TEST(AudioConfigs, Opus) {
    const std::vector<OpusCase> cases = {
        {"family 1, six channels, a negative gain",
         Bytes{0x00, 0x06, 0x01, 0x38, 0x00, 0x00, 0xBB, 0x80, 0xFE, 0x80, 0x01, 0x04, 0x02, 0x00, 0x04, 0x01, 0x02, 0x03, 0x05},
         {{"Version : 0", 0, 8},
          {"OutputChannelCount : 6", 8, 8},
          {"PreSkip : 312 samples at 48000 Hz", 16, 16},
          {"InputSampleRate : 48000 48000 Hz", 32, 32},
          {"OutputGain : -1.5 (0XFE80) dB", 64, 16},
          {"ChannelMappingFamily : 1 Vorbis channel order", 80, 8},
          {"StreamCount : 4", 88, 8},
          {"CoupledCount : 2", 96, 8},
          {"ChannelMapping[0] : 0 coupled stream 0, left", 104, 8},
          {"ChannelMapping[1] : 4 mono stream 2", 112, 8},
          {"ChannelMapping[2] : 1 coupled stream 0, right", 120, 8},
          {"ChannelMapping[3] : 2 coupled stream 1, left", 128, 8},
          {"ChannelMapping[4] : 3 coupled stream 1, right", 136, 8},
          {"ChannelMapping[5] : 5 mono stream 3", 144, 8},
          {"channels = 6: 5.1 (FL FC FR RL RR LFE)", 8, 8},
          {"sample rate = 48000 Hz (Opus always decodes at 48000 Hz)"}},
         true, 1, 4, 2, -384},
        {"family 0 and a byte too many", Bytes{0x00, 0x02, 0x01, 0x38, 0x00, 0x00, 0xAC, 0x44, 0x00, 0x00, 0x00, 0xFF},
         {{"Version : 0", 0, 8},
          {"OutputChannelCount : 2", 8, 8},
          {"PreSkip : 312 samples at 48000 Hz", 16, 16},
          {"InputSampleRate : 44100 44100 Hz", 32, 32},
          {"OutputGain : 0.0 (000000) dB", 64, 16},
          {"ChannelMappingFamily : 0 mono or stereo, no mapping table", 80, 8},
          {"channels = 2: stereo (L R)", 8, 8},
          {"sample rate = 48000 Hz (Opus always decodes at 48000 Hz)"},
          {"extra bytes : FF", 88, 8}},
         true, 0, 0, 0, 0},
        {"cut in OutputGain", Bytes{0x00, 0x02, 0x01, 0x38, 0x00, 0x00, 0xBB, 0x80, 0x00},
         {{"Version : 0", 0, 8},
          {"OutputChannelCount : 2", 8, 8},
          {"PreSkip : 312 samples at 48000 Hz", 16, 16},
          {"InputSampleRate : 48000 48000 Hz", 32, 32},
          {"(OpusSpecificBox stops at bit 64, byte 0x3F0: OutputGain needs 16 bits, 8 are left)"}},
         false, 0, 0, 0, 0},
    };
    for (const OpusCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        const codecs::OpusConfig cfg = codecs::ReadOpusConfig(c.bytes, kOffset, &rec);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(cfg.read, c.read);
        EXPECT_EQ(cfg.channelMappingFamily, c.family);
        EXPECT_EQ(cfg.streamCount, c.streams);
        EXPECT_EQ(cfg.coupledCount, c.coupled);
        EXPECT_EQ(cfg.outputGain, c.gain);
    }
}

// STREAMINFO of ffmpeg's 24-bit stereo FLAC at 48 kHz, 14,400 samples.
const Bytes kStreamInfo = {0x12, 0x00, 0x12, 0x00, 0x00, 0x03, 0x08, 0x00, 0x14, 0x31, 0x0B, 0xB8,
                           0x03, 0x70, 0x00, 0x00, 0x38, 0x40, 0xF3, 0x5F, 0x04, 0x47, 0x47, 0x08,
                           0xE7, 0xCA, 0x90, 0x7B, 0xC8, 0x46, 0x7D, 0x48, 0xD8, 0x75};

struct FlacCase {
    const char* name;
    Bytes bytes;
    std::vector<BitLine> lines;
    std::uint64_t consumed;
    std::uint32_t blocks, sampleRate, channels, bitsPerSample;
};

TEST(AudioConfigs, Flac) {
    const std::vector<FlacCase> cases = {
        {"STREAMINFO, PADDING last, bytes after it",
         test::Cat({Bytes{0x00, 0x00, 0x00, 0x22}, kStreamInfo, Bytes{0x81, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xAA, 0xBB}}),
         {{"FLACMetadataBlock #1"},
          {"LastMetadataBlockFlag : 0", 0, 1},
          {"BlockType : 0 STREAMINFO", 1, 7},
          {"Length : 34", 8, 24},
          {"minimum block size : 4608", 32, 16},
          {"maximum block size : 4608", 48, 16},
          {"minimum frame size : 776", 64, 24},
          {"maximum frame size : 5169", 88, 24},
          {"sample rate : 48000 48000 Hz", 112, 20},
          {"channels - 1 : 1", 132, 3},
          {"bits per sample - 1 : 23", 135, 5},
          {"total samples : 14400", 140, 36},
          {"MD5 signature : F3 5F 04 47 47 08 E7 CA 90 7B C8 46 7D 48 D8 75", 176, 128},
          {"channels = 2", 132, 3},
          {"bits per sample = 24", 135, 5},
          {"duration = 0.300 s", 112, 64},
          {"FLACMetadataBlock #2"},
          {"LastMetadataBlockFlag : 1 the last block", 304, 1},
          {"BlockType : 1 PADDING", 305, 7},
          {"Length : 3", 312, 24},
          {"BlockData : 00 00 00", 336, 24}},
         45, 2, 48000, 2, 24},
        {"a block longer than the bytes", test::Cat({Bytes{0x80, 0x00, 0x00, 0x22}, Bytes(kStreamInfo.begin(), kStreamInfo.begin() + 10)}),
         {{"FLACMetadataBlock #1"},
          {"LastMetadataBlockFlag : 1 the last block", 0, 1},
          {"BlockType : 0 STREAMINFO", 1, 7},
          {"Length : 34", 8, 24},
          {"(the block says 34 bytes, 10 are left)"},
          {"minimum block size : 4608", 32, 16},
          {"maximum block size : 4608", 48, 16},
          {"minimum frame size : 776", 64, 24},
          {"maximum frame size : 5169", 88, 24},
          {"(STREAMINFO stops at bit 80: sample rate needs 20 bits, 0 are left)"}},
         14, 1, 0, 0, 0},
        {"a header cut", Bytes{0x84, 0x00},
         {{"FLACMetadataBlock #1"},
          {"LastMetadataBlockFlag : 1 the last block", 0, 1},
          {"BlockType : 4 VORBIS_COMMENT", 1, 7},
          {"(FLACMetadataBlock stops at bit 8, byte 0x3E9: Length needs 24 bits, 8 are left)"}},
         2, 0, 0, 0, 0},
    };
    for (const FlacCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        std::uint64_t consumed = 0;
        const codecs::FlacConfig cfg = codecs::ReadFlacMetadata(c.bytes, kOffset, &rec, &consumed);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(consumed, c.consumed);
        EXPECT_EQ(cfg.blocks, c.blocks);
        EXPECT_EQ(cfg.sampleRate, c.sampleRate);
        EXPECT_EQ(cfg.channels, c.channels);
        EXPECT_EQ(cfg.bitsPerSample, c.bitsPerSample);
    }
}

// dac3 and dec3: the values a summary takes from them.
struct DolbyCase {
    const char* name;
    bool enhanced;
    Bytes bytes;
    std::vector<BitLine> lines;
    bool read;
    std::uint32_t sampleRate, channels;
};

TEST(AudioConfigs, Ac3AndEac3) {
    const std::vector<DolbyCase> cases = {
        {"ffmpeg's 5.1 AC-3", false, Bytes{0x10, 0x3D, 0xE0},
         {{"fscod : 0 48000 Hz", 0, 2},
          {"bsid : 8", 2, 5},
          {"bsmod : 0 main audio service: complete main (CM)", 7, 3},
          {"acmod : 7 3/2 (L C R Ls Rs)", 10, 3},
          {"lfeon : 1 LFE on", 13, 1},
          {"bit_rate_code : 15 448 kbit/s", 14, 5},
          {"reserved : 0", 19, 5},
          {"sample rate = 48000 Hz", 0, 2},
          {"channels = 6: 3/2 (L C R Ls Rs) + LFE", 10, 4},
          {"bit rate = 448 kbit/s", 14, 5}},
         true, 48000, 6},
        // bsmod 7 means a voice over only with one channel; its meaning looks ahead at acmod.
        {"a voice over", false, Pack({{1, 2}, {6, 5}, {7, 3}, {1, 3}, {0, 1}, {2, 5}, {0, 5}}),
         {{"fscod : 1 44100 Hz", 0, 2},
          {"bsid : 6", 2, 5},
          {"bsmod : 7 associated service: voice over (VO)", 7, 3},
          {"acmod : 1 1/0 (C)", 10, 3},
          {"lfeon : 0 no LFE", 13, 1},
          {"bit_rate_code : 2 48 kbit/s", 14, 5},
          {"reserved : 0", 19, 5},
          {"sample rate = 44100 Hz", 0, 2},
          {"channels = 1: 1/0 (C)", 10, 4},
          {"bit rate = 48 kbit/s", 14, 5}},
         true, 44100, 1},
        {"AC-3 cut", false, Bytes{0x10, 0x3D},
         {{"fscod : 0 48000 Hz", 0, 2},
          {"bsid : 8", 2, 5},
          {"bsmod : 0 main audio service: complete main (CM)", 7, 3},
          {"acmod : 7 3/2 (L C R Ls Rs)", 10, 3},
          {"lfeon : 1 LFE on", 13, 1},
          {"(AC3SpecificBox stops at bit 14, byte 0x3E9: bit_rate_code needs 5 bits, 2 are left)"}},
         false, 0, 0},
        // 5.1 and a dependent substream with the rear pair make 7.1; then the object-audio flags.
        {"E-AC-3 with a dependent substream", true,
         Pack({{640, 13}, {0, 3}, {0, 2}, {16, 5}, {0, 1}, {0, 1}, {0, 3}, {7, 3}, {1, 1}, {0, 3}, {1, 4}, {0x80, 9}, {0, 7}, {1, 1}, {16, 8}}),
         {{"data_rate : 640 kbit/s", 0, 13},
          {"num_ind_sub : 0 1 independent substream", 13, 3},
          {"independent substream #1"},
          {"fscod : 0 48000 Hz", 16, 2},
          {"bsid : 16", 18, 5},
          {"reserved : 0", 23, 1},
          {"asvc : 0", 24, 1},
          {"bsmod : 0 main audio service: complete main (CM)", 25, 3},
          {"acmod : 7 3/2 (L C R Ls Rs)", 28, 3},
          {"lfeon : 1 LFE on", 31, 1},
          {"reserved : 0", 32, 3},
          {"num_dep_sub : 1", 35, 4},
          {"chan_loc : 128 Lrs/Rrs", 39, 9},
          {"reserved : 0", 48, 7},
          {"flag_ec3_extension_type_a : 1 Dolby Atmos (joint object coding)", 55, 1},
          {"complexity_index_type_a : 16", 56, 8},
          {"sample rate = 48000 Hz", 16, 2},
          {"channels = 8: 3/2 (L C R Ls Rs) + LFE + Lrs/Rrs", 16, 32}},
         true, 48000, 8},
        {"E-AC-3 cut in its second substream", true,
         Pack({{96, 13}, {1, 3}, {1, 2}, {16, 5}, {0, 1}, {1, 1}, {2, 3}, {2, 3}, {0, 1}, {0, 3}, {0, 4}, {0, 1}, {0, 2}, {16, 5}, {0, 1}}),
         {{"data_rate : 96 kbit/s", 0, 13},
          {"num_ind_sub : 1 2 independent substreams", 13, 3},
          {"independent substream #1"},
          {"fscod : 1 44100 Hz", 16, 2},
          {"bsid : 16", 18, 5},
          {"reserved : 0", 23, 1},
          {"asvc : 1 an associated service", 24, 1},
          {"bsmod : 2 associated service: visually impaired (VI)", 25, 3},
          {"acmod : 2 2/0 (L R)", 28, 3},
          {"lfeon : 0 no LFE", 31, 1},
          {"reserved : 0", 32, 3},
          {"num_dep_sub : 0", 35, 4},
          {"reserved : 0", 39, 1},
          {"independent substream #2"},
          {"fscod : 0 48000 Hz", 40, 2},
          {"bsid : 16", 42, 5},
          {"reserved : 0", 47, 1},
          {"(EC3SpecificBox stops at bit 48: asvc needs 1 bits, 0 are left)"},
          {"sample rate = 44100 Hz", 16, 2},
          {"channels = 2: 2/0 (L R)", 16, 24}},
         true, 44100, 2},
    };
    for (const DolbyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        if (c.enhanced) {
            const codecs::Eac3Config cfg = codecs::ReadEac3Config(c.bytes, kOffset, &rec);
            EXPECT_EQ(cfg.read, c.read);
            EXPECT_EQ(cfg.sampleRate, c.sampleRate);
            EXPECT_EQ(cfg.channels, c.channels);
        } else {
            const codecs::Ac3Config cfg = codecs::ReadAc3Config(c.bytes, kOffset, &rec);
            EXPECT_EQ(cfg.read, c.read);
            EXPECT_EQ(cfg.sampleRate, c.sampleRate);
            EXPECT_EQ(cfg.channels, c.channels);
        }
        ExpectLines(rec, c.lines);
    }
}

struct SimpleCase {
    const char* name;
    Bytes bytes;
    std::vector<BitLine> lines;
    bool read;
};

const std::vector<BitLine> kAc4Head = {{"ac4_dsi_v1()"},
                                    {"ac4_dsi_version : 1", 0, 3},
                                    {"bitstream_version : 2", 3, 7},
                                    {"fs_index : 1 48000 Hz", 10, 1},
                                    {"frame_rate_index : 2 25 fps", 11, 4},
                                    {"n_presentations : 1", 15, 9},
                                    {"b_program_id : 0", 24, 1},
                                    {"ac4_bitrate_dsi()"},
                                    {"bit_rate_mode : 1 constant", 25, 2},
                                    {"bit_rate : 256000", 27, 32},
                                    {"bit_rate_precision : 4294967295", 59, 32},
                                    {"presentation #1"}};

std::vector<BitLine> With(std::vector<BitLine> a, const std::vector<BitLine>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(AudioConfigs, Ac4AlacAndAmr) {
    const std::vector<SimpleCase> ac4 = {
        {"one presentation", Pack({{1, 3}, {2, 7}, {1, 1}, {2, 4}, {1, 9}, {0, 1}, {1, 2}, {256000, 32}, {0xFFFFFFFF, 32}, {0, 5},
                                   {1, 8}, {3, 8}, {0xABCDEF, 24}}),
         With(kAc4Head, {{"presentation_version : 1", 96, 8}, {"pres_bytes : 3", 104, 8}, {"ac4_presentation_v1_dsi : AB CD EF", 112, 24}}),
         true},
        {"a presentation longer than the bytes", Pack({{1, 3}, {2, 7}, {1, 1}, {2, 4}, {1, 9}, {0, 1}, {1, 2}, {256000, 32},
                                                       {0xFFFFFFFF, 32}, {0, 5}, {0, 8}, {255, 8}, {45, 16}, {0x1234, 16}}),
         With(kAc4Head, {{"presentation_version : 0", 96, 8},
                         {"pres_bytes : 255", 104, 8},
                         {"add_pres_bytes : 45", 112, 16},
                         {"(AC4SpecificBox stops at bit 128, byte 0x3F8: ac4_presentation_v0_dsi needs 300 bytes)"}}),
         true},
    };
    for (const SimpleCase& c : ac4) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        const codecs::Ac4Config cfg = codecs::ReadAc4Config(c.bytes, kOffset, &rec);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(cfg.read, c.read);
        EXPECT_EQ(cfg.sampleRate, 48000u);
        EXPECT_EQ(cfg.presentations, 1u);
    }

    const Bytes alac = {0x00, 0x00, 0x10, 0x00, 0x00, 0x10, 0x28, 0x0A, 0x0E, 0x02, 0x00, 0x00,
                        0x00, 0x00, 0x40, 0x04, 0x00, 0x17, 0x70, 0x00, 0x00, 0x00, 0xBB, 0x80};
    const std::vector<SimpleCase> alacs = {
        {"ffmpeg's ALAC", alac,
         {{"frameLength : 4096 samples a frame", 0, 32},
          {"compatibleVersion : 0", 32, 8},
          {"bitDepth : 16", 40, 8},
          {"pb : 40", 48, 8},
          {"mb : 10", 56, 8},
          {"kb : 14", 64, 8},
          {"numChannels : 2", 72, 8},
          {"maxRun : 0", 80, 16},
          {"maxFrameBytes : 16388", 96, 32},
          {"avgBitRate : 1536000 bit/s", 128, 32},
          {"sampleRate : 48000 48000 Hz", 160, 32}},
         true},
        {"ALAC cut", Bytes(alac.begin(), alac.begin() + 8),
         {{"frameLength : 4096 samples a frame", 0, 32},
          {"compatibleVersion : 0", 32, 8},
          {"bitDepth : 16", 40, 8},
          {"pb : 40", 48, 8},
          {"mb : 10", 56, 8},
          {"(ALACSpecificConfig stops at bit 64: kb needs 8 bits, 0 are left)"}},
         false},
    };
    for (const SimpleCase& c : alacs) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        const codecs::AlacConfig cfg = codecs::ReadAlacConfig(c.bytes, kOffset, &rec);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(cfg.read, c.read);
        EXPECT_EQ(cfg.sampleRate, c.read ? 48000u : 0u);
    }

    struct AmrCase {
        SimpleCase c;
        bool wideband;
    };
    const auto amrBytes = [](std::uint16_t modeSet) {
        return Bytes{'F', 'F', 'M', 'P', 0x00, static_cast<std::uint8_t>(modeSet >> 8), static_cast<std::uint8_t>(modeSet), 0x00, 0x01};
    };
    const std::vector<BitLine> amrHead = {{"vendor : FFMP (0X46464D50)", 0, 32}, {"decoder_version : 0", 32, 8}};
    const std::vector<BitLine> amrTail = {{"mode_change_period : 0 no restriction", 56, 8}, {"frames_per_sample : 1", 64, 8}};
    const std::vector<AmrCase> amrs = {
        {{"AMR-NB as ffmpeg writes it", amrBytes(0x81FF),
          With(With(amrHead, {{"mode_set : 33279 modes 4.75 5.15 5.90 6.70 7.40 7.95 10.2 12.2 kbit/s, SID NO_DATA", 40, 16}}), amrTail), true},
         false},
        {{"AMR-WB names other modes", amrBytes(0x0303),
          With(With(amrHead, {{"mode_set : 771 modes 6.60 8.85 23.85 kbit/s, SID", 40, 16}}), amrTail), true},
         true},
        {{"reserved frame types", amrBytes(0x1000),
          With(With(amrHead, {{"mode_set : 4096 reserved frame types", 40, 16}}), amrTail), true},
         false},
        {{"AMR cut", Bytes{'F', 'F', 'M'}, {{"(AMRSpecificBox stops at bit 0, byte 0x3E8: vendor needs 32 bits, 24 are left)"}}, false},
         false},
    };
    for (const AmrCase& a : amrs) {
        SCOPED_TRACE(a.c.name);
        Recorder rec;
        const codecs::AmrConfig cfg = codecs::ReadAmrConfig(a.c.bytes, kOffset, &rec, a.wideband);
        ExpectLines(rec, a.c.lines);
        EXPECT_EQ(cfg.read, a.c.read);
    }
}

}  // namespace
}  // namespace kestrova
