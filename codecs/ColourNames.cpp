#include "codecs/ColourNames.h"

#include <array>

namespace kestrova::codecs {
namespace {

template <std::size_t N>
std::string_view Lookup(const std::array<std::string_view, N>& names, std::uint64_t v) {
    if (v < N && !names[v].empty()) return names[v];
    return "reserved";
}

}  // namespace

std::string_view ColourPrimariesName(std::uint64_t v) {
    static constexpr std::array<std::string_view, 23> kNames = {
        "",
        "BT.709",
        "unspecified",
        "",
        "BT.470 System M",
        "BT.470 System B, G (BT.601 625)",
        "BT.601 525 (SMPTE ST 170)",
        "SMPTE ST 240",
        "generic film (illuminant C)",
        "BT.2020, BT.2100",
        "SMPTE ST 428-1 (CIE 1931 XYZ)",
        "SMPTE RP 431-2 (DCI-P3)",
        "SMPTE EG 432-1 (Display P3)",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "EBU Tech. 3213-E",
    };
    return Lookup(kNames, v);
}

std::string_view TransferCharacteristicsName(std::uint64_t v) {
    static constexpr std::array<std::string_view, 19> kNames = {
        "",
        "BT.709",
        "unspecified",
        "",
        "BT.470 System M (gamma 2.2)",
        "BT.470 System B, G (gamma 2.8)",
        "BT.601 (SMPTE ST 170)",
        "SMPTE ST 240",
        "linear",
        "logarithmic (100:1)",
        "logarithmic (100*sqrt(10):1)",
        "IEC 61966-2-4 (xvYCC)",
        "BT.1361 extended colour gamut",
        "IEC 61966-2-1 (sRGB, sYCC)",
        "BT.2020 10-bit",
        "BT.2020 12-bit",
        "SMPTE ST 2084 (PQ), BT.2100 PQ",
        "SMPTE ST 428-1",
        "ARIB STD-B67 (HLG), BT.2100 HLG",
    };
    return Lookup(kNames, v);
}

std::string_view MatrixCoefficientsName(std::uint64_t v) {
    static constexpr std::array<std::string_view, 18> kNames = {
        "identity (GBR, RGB)",
        "BT.709",
        "unspecified",
        "",
        "FCC 73.682 (a)(20)",
        "BT.470 System B, G (BT.601 625)",
        "BT.601 525 (SMPTE ST 170)",
        "SMPTE ST 240",
        "YCgCo",
        "BT.2020 non-constant luminance",
        "BT.2020 constant luminance",
        "SMPTE ST 2085 (Y'D'zD'x)",
        "chromaticity-derived non-constant luminance",
        "chromaticity-derived constant luminance",
        "BT.2100 ICtCp",
        "IPT-C2",
        "YCgCo-Re",
        "YCgCo-Ro",
    };
    return Lookup(kNames, v);
}

std::string_view FullRangeName(bool full) {
    return full ? "full range" : "limited range";
}

std::string_view VideoFormatName(std::uint64_t v) {
    static constexpr std::array<std::string_view, 6> kNames = {"component", "PAL", "NTSC",
                                                               "SECAM",     "MAC", "unspecified"};
    return Lookup(kNames, v);
}

}  // namespace kestrova::codecs
