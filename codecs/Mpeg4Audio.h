#pragma once
// MPEG-4 audio's AudioSpecificConfig, and the ES descriptor of MPEG-4 systems
// that carries it (and the configurations of the other MPEG-4 streams) in
// an esds box.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

struct Mpeg4AudioConfig {
    bool read = false;                     // the object type, rate and channel configuration were read
    std::uint32_t audioObjectType = 0;     // as signalled first: 5 or 29 for explicit SBR or PS
    std::uint32_t coreObjectType = 0;      // the codec under SBR and PS (2 for HE-AAC), else the same
    std::uint32_t samplingFrequency = 0;   // of the core; 0 when reserved
    std::uint32_t extensionSamplingFrequency = 0;  // SBR's output rate; 0 without SBR
    std::uint8_t channelConfiguration = 0;
    std::uint32_t channels = 0;            // of the configuration or the program_config_element; 0 unknown
    int sbr = -1;                          // -1 not signalled, 0 absent, 1 present
    int ps = -1;
    std::uint32_t frameLength = 0;         // samples of a core frame, 0 unknown
    std::string profile;                   // "AAC LC", "HE-AAC (SBR)", "HE-AAC v2 (PS)", "xHE-AAC (USAC)", ...

    // What a player outputs: SBR doubles the rate, PS makes mono stereo.
    std::uint32_t OutputSampleRate() const { return extensionSamplingFrequency ? extensionSamplingFrequency : samplingFrequency; }
    std::uint32_t OutputChannels() const { return ps == 1 && channels == 1 ? 2 : channels; }
};

Mpeg4AudioConfig ReadAudioSpecificConfig(BitSource& source, FieldSink* sink);
Mpeg4AudioConfig ReadAudioSpecificConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

// "AAC LC", "SBR", "ER AAC ELD", ...; "reserved" for the others.
std::string AudioObjectTypeName(std::uint32_t audioObjectType);
// The rate of a 4-bit samplingFrequencyIndex; 0 for reserved and the escape.
std::uint32_t SamplingFrequencyOfIndex(std::uint32_t index);
// Channels of a channelConfiguration; 0 when none is defined (0 and the reserved values).
std::uint32_t ChannelsOfConfiguration(std::uint32_t configuration);

struct EsDescriptorInfo {
    bool read = false;                     // an ES_Descriptor was found
    std::uint16_t esId = 0;
    bool hasDecoderConfig = false;
    std::uint8_t objectTypeIndication = 0;
    std::uint8_t streamType = 0;
    std::uint32_t bufferSizeDB = 0;
    std::uint32_t maxBitrate = 0;
    std::uint32_t avgBitrate = 0;
    std::uint64_t decoderSpecificInfoOffset = 0;  // file offset of the DecoderSpecificInfo's bytes
    std::uint64_t decoderSpecificInfoLength = 0;  // 0 without one
    bool hasAudioConfig = false;
    Mpeg4AudioConfig audio;                // when hasAudioConfig
    std::uint64_t consumed = 0;            // bytes of the ES_Descriptor (cut to the bytes given)
};

// An ES_Descriptor with what it holds, from the first byte of bytes.
EsDescriptorInfo ReadEsDescriptor(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

// "MPEG-4 Audio", "H.264", "AC-3", ...; "" when the value has no name.
std::string_view ObjectTypeIndicationName(std::uint8_t objectTypeIndication);
std::string_view StreamTypeName(std::uint8_t streamType);
std::string_view DescriptorTagName(std::uint8_t tag);

// For the audio readers: n bytes from any bit position as hexadecimal pairs;
// and what is left of the source, the bits up to a byte boundary first.
bool ReadByteRun(SyntaxReader& r, std::string_view label, std::uint64_t n);
void ReadRest(SyntaxReader& r, std::string_view label);
std::string HexPairs(std::span<const std::uint8_t> bytes, std::uint64_t total);

}  // namespace kestrova::codecs
