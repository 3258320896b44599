#pragma once
// The configurations of the audio codecs that ISO files carry beside MPEG-4
// audio: Opus, FLAC, AC-3, E-AC-3, AC-4, ALAC and AMR. Each reader takes the
// configuration's bytes (what follows the box header, and the version and
// flags of a full box) and returns what a summary needs.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

struct OpusConfig {
    bool read = false;  // through ChannelMappingFamily
    std::uint8_t version = 0;
    std::uint8_t outputChannelCount = 0;
    std::uint16_t preSkip = 0;
    std::uint32_t inputSampleRate = 0;
    std::int16_t outputGain = 0;  // 8.8 fixed point in dB
    std::uint8_t channelMappingFamily = 0;
    std::uint8_t streamCount = 0;
    std::uint8_t coupledCount = 0;
};
OpusConfig ReadOpusConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);
// Vorbis order of family 1 for 1 to 8 channels: "5.1 (FL FC FR RL RR LFE)"; "" otherwise.
std::string OpusChannelLayout(unsigned family, unsigned channels);

struct FlacConfig {
    bool hasStreamInfo = false;
    std::uint32_t minimumBlockSize = 0, maximumBlockSize = 0;
    std::uint32_t minimumFrameSize = 0, maximumFrameSize = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;       // the field plus one
    std::uint32_t bitsPerSample = 0;  // the field plus one
    std::uint64_t totalSamples = 0;
    std::uint32_t blocks = 0;         // metadata blocks read
};
// The metadata blocks of a dfLa box, after its version and flags.
FlacConfig ReadFlacMetadata(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink,
                            std::uint64_t* consumed = nullptr);
std::string FlacBlockTypeName(unsigned type);

struct Ac3Config {
    bool read = false;
    std::uint8_t fscod = 0, bsid = 0, bsmod = 0, acmod = 0, bitRateCode = 0;
    bool lfeon = false;
    std::uint32_t sampleRate = 0;  // 0 for the reserved fscod
    std::uint32_t channels = 0;    // acmod's and the LFE
    std::uint32_t bitRate = 0;     // kbit/s; 0 for a reserved code
};
Ac3Config ReadAc3Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

struct Eac3Substream {
    std::uint8_t fscod = 0, bsid = 0, bsmod = 0, acmod = 0, numDepSub = 0;
    bool asvc = false, lfeon = false;
    std::uint16_t chanLoc = 0;
};
struct Eac3Config {
    bool read = false;  // the first independent substream was read
    std::uint16_t dataRate = 0;  // kbit/s
    std::uint8_t numIndSub = 0;  // independent substreams less one
    std::array<Eac3Substream, 8> substreams{};
    unsigned substreamsRead = 0;
    bool hasAtmos = false;       // flag_ec3_extension_type_a
    std::uint8_t complexityIndex = 0;
    std::uint32_t sampleRate = 0;  // of the first independent substream
    std::uint32_t channels = 0;    // of the first independent substream and its dependents
};
Eac3Config ReadEac3Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

// acmod in words ("3/2 (L C R Ls Rs)") and its full-bandwidth channels.
std::string Ac3AcmodText(unsigned acmod);
unsigned Ac3AcmodChannels(unsigned acmod);

struct Ac4Config {
    bool read = false;
    std::uint8_t dsiVersion = 0, bitstreamVersion = 0, frameRateIndex = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t presentations = 0;
};
Ac4Config ReadAc4Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

struct AlacConfig {
    bool read = false;
    std::uint32_t frameLength = 0;
    std::uint8_t bitDepth = 0, numChannels = 0;
    std::uint32_t maxFrameBytes = 0, avgBitRate = 0, sampleRate = 0;
};
// ALACSpecificConfig, the magic cookie after the alac box's version and flags.
AlacConfig ReadAlacConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink);

struct AmrConfig {
    bool read = false;
    std::uint32_t vendor = 0;
    std::uint8_t decoderVersion = 0, modeChangePeriod = 0, framesPerSample = 0;
    std::uint16_t modeSet = 0;
};
// AMRSpecificBox; wideband names the modes of AMR-WB.
AmrConfig ReadAmrConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink, bool wideband);
// The modes of a mode_set in kbit/s: "4.75 5.15 12.2".
std::string AmrModeSetText(std::uint16_t modeSet, bool wideband);

}  // namespace kestrova::codecs
