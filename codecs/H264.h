#pragma once
// H.264 parameter sets: the NAL unit header, the sequence parameter set with
// its VUI and HRD parameters, the picture parameter set and the sequence
// parameter set extension. Each reader takes one NAL unit (header included,
// emulation prevention still in) and returns the values a summary needs.
//
// Also the pieces H.265 shares: the sample aspect ratios of the VUI and the
// text of a rate.

#include <cstdint>
#include <span>
#include <string>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

struct H264Hrd {
    std::uint32_t cpbCnt = 0;   // cpb_cnt_minus1 + 1
    std::uint64_t bitRate = 0;  // of the first schedule, bits per second
    std::uint64_t cpbSize = 0;  // of the first schedule, bits
    bool cbr = false;
};

struct H264Vui {
    bool aspectRatioInfo = false;
    std::uint32_t aspectRatioIdc = 0;
    std::uint32_t sarWidth = 0, sarHeight = 0;  // 0:0 when unspecified or reserved
    bool videoSignalType = false;
    std::uint32_t videoFormat = 5;
    bool fullRange = false;
    bool colourDescription = false;
    std::uint32_t colourPrimaries = 2, transferCharacteristics = 2, matrixCoefficients = 2;
    bool chromaLocInfo = false;
    std::uint32_t chromaSampleLocTypeTop = 0, chromaSampleLocTypeBottom = 0;
    bool timingInfo = false;
    std::uint32_t numUnitsInTick = 0, timeScale = 0;
    bool fixedFrameRate = false;
    bool nalHrd = false, vclHrd = false;
    H264Hrd nal, vcl;
    bool picStruct = false;
    bool bitstreamRestriction = false;
    std::uint32_t maxNumReorderFrames = 0, maxDecFrameBuffering = 0;
};

struct H264Sps {
    bool complete = false;  // read to its trailing bits without a stop
    std::uint32_t profileIdc = 0;
    std::uint32_t constraintFlags = 0;  // the byte after profile_idc: constraint_set0_flag in its top bit
    std::uint32_t levelIdc = 0;
    std::uint32_t spsId = 0;
    std::uint32_t chromaFormatIdc = 1;  // 4:2:0 when the profile has no chroma_format_idc
    bool separateColourPlane = false;
    std::uint32_t bitDepthLuma = 8, bitDepthChroma = 8;
    std::uint32_t picOrderCntType = 0;
    std::uint32_t maxNumRefFrames = 0;
    bool frameMbsOnly = true;
    bool mbAdaptiveFrameField = false;
    std::uint64_t codedWidth = 0, codedHeight = 0;                           // in luma samples, before cropping
    std::uint64_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;  // in luma samples
    std::uint64_t width = 0, height = 0;                                     // after cropping
    bool vuiPresent = false;
    H264Vui vui;
};

struct H264Pps {
    bool complete = false;
    std::uint32_t ppsId = 0, spsId = 0;
    bool entropyCodingMode = false;  // CABAC
    std::uint32_t numSliceGroups = 1;
    bool transform8x8Mode = false;
    bool picScalingMatrix = false;
};

struct H264SpsExtension {
    bool complete = false;
    std::uint32_t spsId = 0;
    std::uint32_t auxFormatIdc = 0;
    std::uint32_t bitDepthAux = 0;
};

// Any NAL unit: its header, then a parameter set in full, another type as bytes.
struct H264NalUnit {
    bool headerRead = false;
    std::uint32_t nalRefIdc = 0;
    std::uint32_t nalUnitType = 0;
    bool isSps = false;  // sps holds the values (also for a subset SPS)
    H264Sps sps;
    bool isPps = false;
    H264Pps pps;
    bool isSpsExtension = false;
    H264SpsExtension spsExtension;
};

H264Sps ReadH264Sps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink);
// The PPS's scaling lists depend on the chroma_format_idc of its SPS: the one of
// the same seq_parameter_set_id among known, 4:2:0 when none matches.
H264Pps ReadH264Pps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                    std::span<const H264Sps> known = {});
H264SpsExtension ReadH264SpsExtension(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink);
H264NalUnit ReadH264NalUnit(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                            std::span<const H264Sps> known = {});

// "High", "Constrained Baseline", "High 10 Intra", ...; constraintFlags as in H264Sps.
std::string H264ProfileName(std::uint32_t profileIdc, std::uint32_t constraintFlags);
// "3.1", "1b", ...
std::string H264LevelText(std::uint32_t profileIdc, std::uint32_t constraintFlags, std::uint32_t levelIdc);
std::string H264NalUnitTypeName(std::uint32_t type);
// "4:2:0", "4:0:0 (monochrome)", ...
std::string ChromaFormatName(std::uint32_t chromaFormatIdc);

// aspect_ratio_idc of H.264 and H.265: the ratio, false for 0, Extended_SAR and reserved values.
bool TableSampleAspectRatio(std::uint32_t aspectRatioIdc, std::uint32_t& width, std::uint32_t& height);
// rbsp_trailing_bits(): the stop bit, the zero bits to the byte boundary and
// any zero bytes after them; false (with a line) when the RBSP does not end so.
bool ReadRbspTrailingBits(SyntaxReader& r);
// What a reader does not know, from here to the end: the bits to the byte
// boundary, then the bytes, under label.
void ReadRestAsData(SyntaxReader& r, std::string_view label);

}  // namespace kestrova::codecs
