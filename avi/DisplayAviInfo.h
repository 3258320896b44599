#pragma once
// Presentation of the AVI parse: chunk descriptions, the file summary and the
// names of codecs and audio formats.

#include <cstdint>
#include <string>

#include "avi/AviParser.h"
#include "common/DocumentView.h"

namespace kestrova {

// Describes the chunk of the node with this absolute index; node 0 rewrites the summary.
void ShowChunkDescription(DocumentView& view, AviParse& parse, std::int64_t nodeIndex);
// Clears FILEInfo and, for an AVI file kind, writes the summary; it also
// derives the playing time and the bit rates into parse.summary.
void ShowAviSummary(DocumentView& view, AviParse& parse, std::uint32_t fileKind);

// The names of the header flags that are set, each after a blank.
std::string AviFlagsText(std::uint32_t flags);
// "hh:mm:ss.mmm (N초)" of frames at rate frames per second; sets info.durationSeconds.
// A rate that is not positive gives a playing time of 0.
std::string DurationText(std::uint32_t frames, float rate, AviSummaryInfo& info, const RegionalSettings& rs);

// Codec names: a video FOURCC (file order), a WAVE format tag, a biCompression value.
std::string VideoCodecText(std::uint32_t code);
std::string AudioFormatText(std::uint32_t tag);
std::string CompressionText(std::uint32_t value);

}  // namespace kestrova
