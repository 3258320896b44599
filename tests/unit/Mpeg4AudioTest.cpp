// MPEG-4 audio configurations and the ES descriptor: bytes in, the lines a
// reader reports (with their bit ranges in the file) and its values out.

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "codecs/Mpeg4Audio.h"

namespace kestrova {
namespace {

using namespace test;

struct AscCase {
    const char* name;
    Bytes bytes;
    std::vector<BitLine> lines;
    std::string profile;
    std::uint32_t outputRate;
    std::uint32_t outputChannels;
};

TEST(Mpeg4Audio, AudioSpecificConfigs) {
    const std::vector<AscCase> cases = {
        {"AAC LC with SBR and PS signalled after it", Pack({{2, 5}, {6, 4}, {1, 4}, {0, 3}, {0x2B7, 11}, {5, 5}, {1, 1}, {3, 4}, {0x548, 11}, {1, 1}}),
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 2 AAC LC", 0, 5},
          {"samplingFrequencyIndex : 6 24000 Hz", 5, 4},
          {"channelConfiguration : 1 1 channel: C", 9, 4},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 13, 1},
          {"dependsOnCoreCoder : 0", 14, 1},
          {"extensionFlag : 0", 15, 1},
          {"syncExtensionType : 695 extension signalled after the core configuration", 16, 11},
          {"extensionAudioObjectType : 5 SBR", 27, 5},
          {"sbrPresentFlag : 1", 32, 1},
          {"extensionSamplingFrequencyIndex : 3 48000 Hz", 33, 4},
          {"syncExtensionType : 1352 parametric stereo signalled", 37, 11},
          {"psPresentFlag : 1", 48, 1},
          {"object type = HE-AAC v2 (PS)", 0, 49},
          {"sample rate = 48000 Hz (the core at 24000 Hz)", 5, 32},
          {"channels = 1 (2 with parametric stereo)", 9, 4}},
         "HE-AAC v2 (PS)", 48000, 2},
        // ffmpeg's AAC encoder says no SBR in the same way.
        {"sbrPresentFlag 0 after the core", Bytes{0x12, 0x10, 0x56, 0xE5, 0x00},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 2 AAC LC", 0, 5},
          {"samplingFrequencyIndex : 4 44100 Hz", 5, 4},
          {"channelConfiguration : 2 2 channels: L R", 9, 4},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 13, 1},
          {"dependsOnCoreCoder : 0", 14, 1},
          {"extensionFlag : 0", 15, 1},
          {"syncExtensionType : 695 extension signalled after the core configuration", 16, 11},
          {"extensionAudioObjectType : 5 SBR", 27, 5},
          {"sbrPresentFlag : 0", 32, 1},
          {"object type = AAC LC", 0, 33},
          {"sample rate = 44100 Hz", 5, 4},
          {"channels = 2", 9, 4}},
         "AAC LC", 44100, 2},
        // libfdk's HE-AAC: the extension first, then the core's own type.
        {"explicit SBR", Bytes{0x2D, 0x0B, 0x88, 0x00},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 5 SBR", 0, 5},
          {"samplingFrequencyIndex : 10 11025 Hz", 5, 4},
          {"channelConfiguration : 1 1 channel: C", 9, 4},
          {"extensionSamplingFrequencyIndex : 7 22050 Hz", 13, 4},
          {"audioObjectType : 2 AAC LC", 17, 5},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 22, 1},
          {"dependsOnCoreCoder : 0", 23, 1},
          {"extensionFlag : 0", 24, 1},
          {"object type = HE-AAC (SBR)", 0, 25},
          {"sample rate = 22050 Hz (the core at 11025 Hz)", 5, 12},
          {"channels = 1", 9, 4}},
         "HE-AAC (SBR)", 22050, 1},
        {"explicit PS", Bytes{0xED, 0x0B, 0x88, 0x00},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 29 PS", 0, 5},
          {"samplingFrequencyIndex : 10 11025 Hz", 5, 4},
          {"channelConfiguration : 1 1 channel: C", 9, 4},
          {"extensionSamplingFrequencyIndex : 7 22050 Hz", 13, 4},
          {"audioObjectType : 2 AAC LC", 17, 5},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 22, 1},
          {"dependsOnCoreCoder : 0", 23, 1},
          {"extensionFlag : 0", 24, 1},
          {"object type = HE-AAC v2 (PS)", 0, 25},
          {"sample rate = 22050 Hz (the core at 11025 Hz)", 5, 12},
          {"channels = 1 (2 with parametric stereo)", 9, 4}},
         "HE-AAC v2 (PS)", 22050, 2},
        // An xHE-AAC file's configuration: object type 42 through the escape.
        {"escape to USAC", Bytes{0xF9, 0x48, 0x24, 0x21, 0x1C, 0xC0, 0x18, 0x50, 0x00, 0x20, 0x00, 0x97, 0x08, 0x47, 0x30, 0xB0},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 31 escape: audioObjectTypeExt follows", 0, 5},
          {"audioObjectTypeExt : 10 object type 42: USAC", 5, 6},
          {"samplingFrequencyIndex : 4 44100 Hz", 11, 4},
          {"channelConfiguration : 1 1 channel: C", 15, 4},
          {"UsacConfig()"},
          {"usacSamplingFrequencyIndex : 4 44100 Hz", 19, 5},
          {"coreSbrFrameLengthIndex : 1 1024 samples a frame, no SBR", 24, 3},
          {"channelConfigurationIndex : 1 1 channel: C", 27, 5},
          {"UsacDecoderConfig() and the rest : 1C C0 18 50 00 20 00 97 08 47 30 B0", 32, 96},
          {"object type = xHE-AAC (USAC)", 0, 128},
          {"sample rate = 44100 Hz", 11, 4},
          {"channels = 1", 15, 4}},
         "xHE-AAC (USAC)", 44100, 1},
        {"explicit frequency", Pack({{2, 5}, {15, 4}, {50000, 24}, {2, 4}, {1, 1}, {0, 1}, {0, 1}}),
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 2 AAC LC", 0, 5},
          {"samplingFrequencyIndex : 15 escape: the frequency follows", 5, 4},
          {"samplingFrequency : 50000 50000 Hz", 9, 24},
          {"channelConfiguration : 2 2 channels: L R", 33, 4},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 1 960 samples a frame", 37, 1},
          {"dependsOnCoreCoder : 0", 38, 1},
          {"extensionFlag : 0", 39, 1},
          {"object type = AAC LC", 0, 40},
          {"sample rate = 50000 Hz", 5, 28},
          {"channels = 2", 33, 4}},
         "AAC LC", 50000, 2},
        // Channels come from the elements: a single, a pair, a pair at the back and an LFE.
        {"program_config_element", Pack({{2, 5}, {4, 4}, {0, 4}, {0, 1}, {0, 1}, {0, 1},
                                         {0, 4}, {1, 2}, {4, 4}, {2, 4}, {0, 4}, {1, 4}, {1, 2}, {0, 3}, {0, 4},
                                         {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 4}, {1, 1}, {1, 4}, {1, 1}, {2, 4}, {3, 4},
                                         {0, 3}, {2, 8}, {'h', 8}, {'i', 8}}),
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 2 AAC LC", 0, 5},
          {"samplingFrequencyIndex : 4 44100 Hz", 5, 4},
          {"channelConfiguration : 0 defined in the configuration that follows", 9, 4},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 13, 1},
          {"dependsOnCoreCoder : 0", 14, 1},
          {"extensionFlag : 0", 15, 1},
          {"program_config_element()"},
          {"element_instance_tag : 0", 16, 4},
          {"object_type : 1 AAC LC", 20, 2},
          {"sampling_frequency_index : 4 44100 Hz", 22, 4},
          {"num_front_channel_elements : 2", 26, 4},
          {"num_side_channel_elements : 0", 30, 4},
          {"num_back_channel_elements : 1", 34, 4},
          {"num_lfe_channel_elements : 1", 38, 2},
          {"num_assoc_data_elements : 0", 40, 3},
          {"num_valid_cc_elements : 0", 43, 4},
          {"mono_mixdown_present : 0", 47, 1},
          {"stereo_mixdown_present : 0", 48, 1},
          {"matrix_mixdown_idx_present : 0", 49, 1},
          {"front_element_is_cpe[0] : 0 single channel", 50, 1},
          {"front_element_tag_select[0] : 0", 51, 4},
          {"front_element_is_cpe[1] : 1 channel pair", 55, 1},
          {"front_element_tag_select[1] : 1", 56, 4},
          {"back_element_is_cpe[0] : 1 channel pair", 60, 1},
          {"back_element_tag_select[0] : 2", 61, 4},
          {"lfe_element_tag_select[0] : 3", 65, 4},
          {"comment_field_bytes : 2", 72, 8},
          {"comment_field_data : \"hi\"", 80, 16},
          {"channels = 6", 16, 80},
          {"object type = AAC LC", 0, 96},
          {"sample rate = 44100 Hz", 5, 4},
          {"channels = 6", 9, 87}},
         "AAC LC", 44100, 6},
        // ELD through the escape, an extension of one byte off the byte boundary, then its end.
        {"ELD", Pack({{31, 5}, {7, 6}, {3, 4}, {1, 4}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 4}, {1, 4}, {0xAB, 8}, {0, 4}, {0, 2}}),
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 31 escape: audioObjectTypeExt follows", 0, 5},
          {"audioObjectTypeExt : 7 object type 39: ER AAC ELD", 5, 6},
          {"samplingFrequencyIndex : 3 48000 Hz", 11, 4},
          {"channelConfiguration : 1 1 channel: C", 15, 4},
          {"ELDSpecificConfig()"},
          {"frameLengthFlag : 1 480 samples a frame", 19, 1},
          {"ldSbrPresentFlag : 0", 20, 1},
          {"ldSbrSamplingRate : 0 single rate", 21, 1},
          {"ldSbrCrcFlag : 0", 22, 1},
          {"eldExtType : 1", 23, 4},
          {"eldExtLen : 1", 27, 4},
          {"other_byte : AB", 31, 8},
          {"eldExtType : 0 ELDEXT_TERM", 39, 4},
          {"epConfig : 0", 43, 2},
          {"object type = ER AAC ELD", 0, 45},
          {"sample rate = 48000 Hz", 11, 4},
          {"channels = 1", 15, 4}},
         "ER AAC ELD", 48000, 1},
        {"cut in the sampling frequency", Bytes{0x12},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 2 AAC LC", 0, 5},
          {"(AudioSpecificConfig stops at bit 5, byte 0x3E8: samplingFrequencyIndex needs 4 bits, 3 are left)"}},
         "", 0, 0},
        // What was read before the cut still says what the stream is.
        {"cut in GASpecificConfig", Bytes{0x2D, 0x0B, 0x88},
         {{"AudioSpecificConfig()"},
          {"audioObjectType : 5 SBR", 0, 5},
          {"samplingFrequencyIndex : 10 11025 Hz", 5, 4},
          {"channelConfiguration : 1 1 channel: C", 9, 4},
          {"extensionSamplingFrequencyIndex : 7 22050 Hz", 13, 4},
          {"audioObjectType : 2 AAC LC", 17, 5},
          {"GASpecificConfig()"},
          {"frameLengthFlag : 0 1024 samples a frame", 22, 1},
          {"dependsOnCoreCoder : 0", 23, 1},
          {"(AudioSpecificConfig stops at bit 24: extensionFlag needs 1 bits, 0 are left)"},
          {"object type = HE-AAC (SBR)", 0, 24},
          {"sample rate = 22050 Hz (the core at 11025 Hz)", 5, 12},
          {"channels = 1", 9, 4}},
         "HE-AAC (SBR)", 22050, 1},
    };
    for (const AscCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        const codecs::Mpeg4AudioConfig cfg = codecs::ReadAudioSpecificConfig(c.bytes, kOffset, &rec);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(cfg.profile, c.profile);
        EXPECT_EQ(cfg.OutputSampleRate(), c.outputRate);
        EXPECT_EQ(cfg.OutputChannels(), c.outputChannels);
        // Without a sink the values are the same.
        const codecs::Mpeg4AudioConfig quiet = codecs::ReadAudioSpecificConfig(c.bytes, kOffset, nullptr);
        EXPECT_EQ(quiet.profile, cfg.profile);
        EXPECT_EQ(quiet.OutputChannels(), cfg.OutputChannels());
    }
}

struct EsCase {
    const char* name;
    Bytes bytes;
    std::vector<BitLine> lines;
    std::uint8_t objectTypeIndication;
    std::uint32_t avgBitrate;
    std::uint64_t consumed;
};

TEST(Mpeg4Audio, EsDescriptors) {
    const std::vector<EsCase> cases = {
        // Every optional field of the ES_Descriptor, a custom SL configuration and an unknown descriptor.
        {"optional fields",
         test::Cat({Bytes{0x03, 0x30, 0x00, 0x02, 0xE3, 0x00, 0x01, 0x03, 'a', '/', 'b', 0x00, 0x05},
              Bytes{0x04, 0x0D, 0x6B, 0x15, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
              Bytes{0x06, 0x10, 0x00, 0x3B, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x03},
              Bytes{0x42, 0x02, 0xAA, 0xBB}}),
         {{"ES_Descriptor"},
          {"tag : 3 ES_DescrTag", 0, 8},
          {"sizeOfInstance : 48", 8, 8},
          {"ES_ID : 2", 16, 16},
          {"streamDependenceFlag : 1", 32, 1},
          {"URL_Flag : 1", 33, 1},
          {"OCRstreamFlag : 1", 34, 1},
          {"streamPriority : 3", 35, 5},
          {"dependsOn_ES_ID : 1", 40, 16},
          {"URLlength : 3", 56, 8},
          {"URLstring : \"a/b\"", 64, 24},
          {"OCR_ES_Id : 5", 88, 16},
          {"DecoderConfigDescriptor"},
          {"tag : 4 DecoderConfigDescrTag", 104, 8},
          {"sizeOfInstance : 13", 112, 8},
          {"objectTypeIndication : 107 MPEG-1 Audio", 120, 8},
          {"streamType : 5 AudioStream", 128, 6},
          {"upStream : 0", 134, 1},
          {"reserved : 1", 135, 1},
          {"bufferSizeDB : 4096", 136, 24},
          {"maxBitrate : 0", 160, 32},
          {"avgBitrate : 0", 192, 32},
          {"SLConfigDescriptor"},
          {"tag : 6 SLConfigDescrTag", 224, 8},
          {"sizeOfInstance : 16", 232, 8},
          {"predefined : 0 custom", 240, 8},
          {"useAccessUnitStartFlag : 0", 248, 1},
          {"useAccessUnitEndFlag : 0", 249, 1},
          {"useRandomAccessPointFlag : 1", 250, 1},
          {"hasRandomAccessUnitsOnlyFlag : 1", 251, 1},
          {"usePaddingFlag : 1", 252, 1},
          {"useTimeStampsFlag : 0", 253, 1},
          {"useIdleFlag : 1", 254, 1},
          {"durationFlag : 1", 255, 1},
          {"timeStampResolution : 1000", 256, 32},
          {"OCRResolution : 0", 288, 32},
          {"timeStampLength : 32", 320, 8},
          {"OCRLength : 0", 328, 8},
          {"AU_Length : 0", 336, 8},
          {"instantBitrateLength : 0", 344, 8},
          {"degradationPriorityLength : 0", 352, 4},
          {"AU_seqNumLength : 0", 356, 5},
          {"packetSeqNumLength : 0", 361, 5},
          {"reserved : 3", 366, 2},
          {"(SLConfigDescriptor stops at bit 128: timeScale needs 32 bits, 0 are left)"},
          {"RatingDescriptor"},
          {"tag : 66 RatingDescrTag", 368, 8},
          {"sizeOfInstance : 2", 376, 8},
          {"data : AA BB", 384, 16}},
         0x6B, 0, 50},
        {"a size past the bytes, then a field cut",
         Bytes{0x03, 0x0F, 0x00, 0x01, 0x00, 0x04, 0x14, 0x40, 0x15, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {{"ES_Descriptor"},
          {"tag : 3 ES_DescrTag", 0, 8},
          {"sizeOfInstance : 15", 8, 8},
          {"ES_ID : 1", 16, 16},
          {"streamDependenceFlag : 0", 32, 1},
          {"URL_Flag : 0", 33, 1},
          {"OCRstreamFlag : 0", 34, 1},
          {"streamPriority : 0", 35, 5},
          {"DecoderConfigDescriptor"},
          {"tag : 4 DecoderConfigDescrTag", 40, 8},
          {"sizeOfInstance : 20", 48, 8},
          {"(DecoderConfigDescriptor says 20 bytes, 10 are left)"},
          {"objectTypeIndication : 64 MPEG-4 Audio", 56, 8},
          {"streamType : 5 AudioStream", 64, 6},
          {"upStream : 0", 70, 1},
          {"reserved : 1", 71, 1},
          {"bufferSizeDB : 0", 72, 24},
          {"maxBitrate : 0", 96, 32},
          {"(DecoderConfigDescriptor stops at bit 72, byte 0x3F8: avgBitrate needs 32 bits, 8 are left)"}},
         0x40, 0, 17},
        {"a size of five bytes", Bytes{0x03, 0x80, 0x80, 0x80, 0x80, 0x01},
         {{"ES_Descriptor"},
          {"tag : 3 ES_DescrTag", 0, 8},
          {"(ES_Descriptor stops at bit 40: sizeOfInstance is longer than 4 bytes)"}},
         0, 0, 6},
    };
    for (const EsCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        const codecs::EsDescriptorInfo info = codecs::ReadEsDescriptor(c.bytes, kOffset, &rec);
        ExpectLines(rec, c.lines);
        EXPECT_EQ(info.objectTypeIndication, c.objectTypeIndication);
        EXPECT_EQ(info.avgBitrate, c.avgBitrate);
        EXPECT_EQ(info.consumed, c.consumed);
    }
}

}  // namespace
}  // namespace kestrova
