#pragma once
// AV1: the OBU header, the sequence header OBU and the configuration record
// of an av1C box. The sequence header says what a decoder needs before the
// first frame: profile, levels of each operating point, the largest frame,
// bit depth, chroma layout and colour.

#include <cstdint>
#include <string>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

inline constexpr unsigned kAv1MaxOperatingPoints = 32;  // operating_points_cnt_minus_1 is 5 bits

struct Av1OperatingPoint {
    std::uint16_t idc = 0;      // operating_point_idc: temporal layers in bits 0-7, spatial in 8-11
    std::uint8_t levelIdx = 0;  // seq_level_idx
    std::uint8_t tier = 0;      // seq_tier
    bool decoderModel = false;  // decoder_model_present_for_this_op
};

struct Av1SequenceHeader {
    bool read = false;  // every field up to film_grain_params_present was there
    unsigned profile = 0;
    bool stillPicture = false;
    bool reducedStillPictureHeader = false;
    bool timingInfo = false;
    std::uint32_t numUnitsInDisplayTick = 0;
    std::uint32_t timeScale = 0;
    bool equalPictureInterval = false;
    std::uint32_t numTicksPerPictureMinus1 = 0;
    bool decoderModelInfo = false;
    unsigned operatingPointCount = 0;
    Av1OperatingPoint operatingPoints[kAv1MaxOperatingPoints];
    std::uint32_t maxFrameWidth = 0;  // max_frame_width_minus_1 + 1
    std::uint32_t maxFrameHeight = 0;
    unsigned bitDepth = 8;
    bool monochrome = false;
    unsigned subsamplingX = 1, subsamplingY = 1;
    unsigned chromaSamplePosition = 0;
    unsigned colourPrimaries = 2, transferCharacteristics = 2, matrixCoefficients = 2;
    bool fullRange = false;
    bool filmGrain = false;
    // Frames a second from the timing info; 0 without an equal picture interval.
    double FrameRate() const;
};

// The fields of an av1C box's record, with the sequence header of its configOBUs.
struct Av1Config {
    bool read = false;  // the four fixed bytes were there
    unsigned marker = 0, version = 0;
    unsigned seqProfile = 0, seqLevelIdx0 = 0, seqTier0 = 0;
    bool highBitdepth = false, twelveBit = false, monochrome = false;
    unsigned chromaSubsamplingX = 0, chromaSubsamplingY = 0, chromaSamplePosition = 0;
    bool initialPresentationDelayPresent = false;
    unsigned initialPresentationDelayMinusOne = 0;
    unsigned obuCount = 0;
    bool hasSequenceHeader = false;
    Av1SequenceHeader sequenceHeader;
};

// sequence_header_obu(): the OBU's payload, without its header.
Av1SequenceHeader ReadAv1SequenceHeader(BitSource& source, FieldSink* sink);
// OBUs one after another to the end of the source: each header, the
// sequence header decoded, any other payload as bytes. Returns the last
// sequence header read (read is false when none was).
Av1SequenceHeader ReadAv1Obus(BitSource& source, FieldSink* sink, unsigned* obuCount = nullptr);
// AV1CodecConfigurationRecord: the fixed fields, then configOBUs.
Av1Config ReadAv1Config(BitSource& source, FieldSink* sink);

// "Main", "High", "Professional", or "reserved".
std::string Av1ProfileName(unsigned seqProfile);
// seq_level_idx as a level: "5.1"; 31 "maximum parameters"; 24 to 30 "reserved".
std::string Av1LevelText(unsigned seqLevelIdx);
// "Main tier" or "High tier".
std::string Av1TierText(unsigned seqTier);
// obu_type's name: "OBU_SEQUENCE_HEADER", ... or "reserved".
std::string Av1ObuTypeName(unsigned obuType);
// The chroma layout in words: "4:2:0", "4:2:2", "4:4:4", "4:0:0 (monochrome)".
std::string Av1SubsamplingText(bool monochrome, unsigned subsamplingX, unsigned subsamplingY);

}  // namespace kestrova::codecs
