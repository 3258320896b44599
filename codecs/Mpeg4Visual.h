#pragma once
// MPEG-4 Visual (ISO/IEC 14496-2) configuration: the start-code structures an
// mp4v decoder-specific info or the start of a stream holds — the visual
// object sequence with its profile and level, the visual object with its
// video signal type, and the video object layer header with the picture size,
// aspect ratio, time base and coding tools.

#include <cstdint>
#include <string>

#include "codecs/Syntax.h"

namespace kestrova::codecs {

struct Mpeg4VisualConfig {
    bool hasSequence = false;      // a visual_object_sequence_start_code was read
    unsigned profileAndLevel = 0;  // profile_and_level_indication
    bool hasVisualObject = false;
    unsigned visualObjectType = 0;
    bool colourDescription = false;
    unsigned colourPrimaries = 0, transferCharacteristics = 0, matrixCoefficients = 0;
    bool videoRange = false;  // video_range: full range

    bool hasLayer = false;  // a video object layer was read through its size
    unsigned videoObjectTypeIndication = 0;
    unsigned verid = 1;  // video_object_layer_verid in force
    unsigned aspectRatioInfo = 0;
    unsigned parWidth = 0, parHeight = 0;  // the ratio aspect_ratio_info stands for, or par_width/par_height
    unsigned chromaFormat = 1;
    bool lowDelay = false;
    std::uint64_t bitRate = 0;  // bits a second from the VBV parameters; 0 without them
    unsigned shape = 0;
    unsigned vopTimeIncrementResolution = 0;
    bool fixedVopRate = false;
    unsigned fixedVopTimeIncrement = 0;
    unsigned width = 0, height = 0;
    bool interlaced = false;
    unsigned spriteEnable = 0;
    bool quarterSample = false;
    unsigned userDataCount = 0;
    // Frames a second from a fixed VOP rate; 0 otherwise.
    double FrameRate() const;
};

// Reads the start-code structures one after another to the end of the source.
Mpeg4VisualConfig ReadMpeg4VisualConfig(BitSource& source, FieldSink* sink);

// "Simple Profile Level 1", "Advanced Simple Profile Level 5", ... or "reserved".
std::string Mpeg4ProfileAndLevelName(unsigned profileAndLevelIndication);
// video_object_type_indication: "Simple Object Type", ... or "reserved".
std::string Mpeg4VideoObjectTypeName(unsigned videoObjectTypeIndication);
// The start code's name after 00 00 01: "video_object_layer_start_code", ...
std::string Mpeg4StartCodeName(unsigned code);

}  // namespace kestrova::codecs
