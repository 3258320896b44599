#pragma once
// The names of the colour code points that H.264, H.265, AV1, VP9 and the
// colr box share (ITU-T H.273): what a colour_primaries, transfer_characteristics
// or matrix_coefficients number means, for the line that shows it.

#include <cstdint>
#include <string_view>

namespace kestrova::codecs {

// "reserved" for a value H.273 does not assign.
std::string_view ColourPrimariesName(std::uint64_t v);
std::string_view TransferCharacteristicsName(std::uint64_t v);
std::string_view MatrixCoefficientsName(std::uint64_t v);
// video_full_range_flag and its kin: "full range" or "limited range".
std::string_view FullRangeName(bool full);
// video_format of the H.264 and H.265 VUI.
std::string_view VideoFormatName(std::uint64_t v);

}  // namespace kestrova::codecs
