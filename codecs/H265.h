#pragma once
// H.265 parameter sets: the NAL unit header, the video, sequence and picture
// parameter sets with profile_tier_level, the VUI, the HRD parameters and the
// range and screen content extensions. Each reader takes one NAL unit (header
// included, emulation prevention still in) and returns the values a summary needs.

#include <cstdint>
#include <span>
#include <string>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

struct H265ProfileTierLevel {
    std::uint32_t profileSpace = 0;
    bool tierFlag = false;
    std::uint32_t profileIdc = 0;
    std::uint32_t compatibilityFlags = 0;  // general_profile_compatibility_flag[0] in the top bit
    std::uint64_t constraintFlags = 0;     // the 48 bits from general_progressive_source_flag on, as in hvcC
    std::uint32_t levelIdc = 0;
};

struct H265Vui {
    bool aspectRatioInfo = false;
    std::uint32_t aspectRatioIdc = 0;
    std::uint32_t sarWidth = 0, sarHeight = 0;  // 0:0 when unspecified or reserved
    bool videoSignalType = false;
    std::uint32_t videoFormat = 5;
    bool fullRange = false;
    bool colourDescription = false;
    std::uint32_t colourPrimaries = 2, transferCharacteristics = 2, matrixCoeffs = 2;
    bool fieldSeq = false;
    bool defaultDisplayWindow = false;
    bool timingInfo = false;
    std::uint32_t numUnitsInTick = 0, timeScale = 0;
    bool hrd = false;
};

struct H265Vps {
    bool complete = false;
    std::uint32_t vpsId = 0;
    std::uint32_t maxSubLayersMinus1 = 0;
    H265ProfileTierLevel ptl;
    bool timingInfo = false;
    std::uint32_t numUnitsInTick = 0, timeScale = 0;
};

struct H265Sps {
    bool complete = false;
    std::uint32_t nuhLayerId = 0;
    std::uint32_t vpsId = 0;
    std::uint32_t maxSubLayersMinus1 = 0;
    H265ProfileTierLevel ptl;
    std::uint32_t spsId = 0;
    std::uint32_t chromaFormatIdc = 1;
    bool separateColourPlane = false;
    std::uint64_t codedWidth = 0, codedHeight = 0;                           // pic_width/height_in_luma_samples
    std::uint64_t confLeft = 0, confRight = 0, confTop = 0, confBottom = 0;  // in luma samples
    std::uint64_t width = 0, height = 0;                                     // after the conformance window
    std::uint32_t bitDepthLuma = 8, bitDepthChroma = 8;
    std::uint32_t log2MinCbSize = 3, log2CtbSize = 4;
    bool vuiPresent = false;
    H265Vui vui;
    bool rangeExtension = false, multilayerExtension = false, extension3d = false, sccExtension = false;
};

struct H265Pps {
    bool complete = false;
    std::uint32_t ppsId = 0, spsId = 0;
    bool tilesEnabled = false;
    bool entropyCodingSync = false;
    bool rangeExtension = false, sccExtension = false;
};

struct H265NalUnit {
    bool headerRead = false;
    std::uint32_t nalUnitType = 0;
    std::uint32_t nuhLayerId = 0;
    std::uint32_t nuhTemporalIdPlus1 = 0;
    bool isVps = false, isSps = false, isPps = false;
    H265Vps vps;
    H265Sps sps;
    H265Pps pps;
};

H265Vps ReadH265Vps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink);
H265Sps ReadH265Sps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink);
// Tile counts are bounded by the picture of the SPS of the same id among known, when there is one.
H265Pps ReadH265Pps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                    std::span<const H265Sps> known = {});
// Any NAL unit: its header, then a parameter set in full, another type as bytes.
H265NalUnit ReadH265NalUnit(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                            std::span<const H265Sps> known = {});

// "Main", "Main 10", "Main 4:2:2 10 Intra", "Screen-Extended Main 4:4:4", ...
std::string H265ProfileName(std::uint32_t profileIdc, std::uint32_t compatibilityFlags, std::uint64_t constraintFlags);
// general_level_idc / 30: "3.1", "4".
std::string H265LevelText(std::uint32_t levelIdc);
std::string H265NalUnitTypeName(std::uint32_t type);

}  // namespace kestrova::codecs
