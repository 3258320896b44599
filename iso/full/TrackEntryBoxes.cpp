// The boxes of the full view that say more about a track or a sample entry:
// track references, language and kind, and the colour, aperture, bitrate and
// channel boxes that follow a sample entry's own fields.

#include <bit>
#include <cstring>
#include <numeric>

#include "common/Formatters.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

void ExtraBytes(Fields& f) {
    if (!f.Cut() && f.Left() > 0) f.Rest("extra bytes");
}

// ---- Track references ----

void DescribeTrackReference(Fields& f, const BoxContext&) {
    std::string& s = f.Scratch();
    for (std::int64_t i = 0; f.Has(4); ++i) {
        const std::uint64_t pos = f.Pos();
        s.assign("   track_IDs ");
        AppendEntryNumber(s, i);
        f.AppendNumber(s, f.Peek(pos, 4), 4);
        f.Raw(std::string(s), f.Range(pos, 4));
        f.Seek(pos + 4);
    }
    ExtraBytes(f);
}

// ---- Track and entry texts ----

void DescribeElng(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.CString("extended_language");
    ExtraBytes(f);
}

void DescribeKind(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.CString("schemeURI");
    f.CString("value");
    ExtraBytes(f);
}

void DescribeBtrt(Fields& f, const BoxContext&) {
    f.U("bufferSizeDB", 4);
    f.U("maxBitrate", 4);
    f.U("avgBitrate", 4);
    ExtraBytes(f);
}

// ---- Pixels and fields ----

void DescribePasp(Fields& f, const BoxContext&) {
    const std::uint64_t pos = f.Pos();
    const auto h = f.U("hSpacing", 4);
    const auto v = f.U("vSpacing", 4);
    if (h && v) {
        std::string text;
        if (*h == 0 || *v == 0) {
            text = "undefined (a spacing of 0)";
        } else {
            const std::uint64_t g = std::gcd(*h, *v);
            text = std::to_string(*h / g) + ":" + std::to_string(*v / g);
            if (*h != *v) text += " (" + FixedText(static_cast<double>(*h) / static_cast<double>(*v)) + ")";
        }
        f.Derived("pixel aspect ratio", text, f.Range(pos, 8));
    }
    ExtraBytes(f);
}

void DescribeClap(Fields& f, const BoxContext&) {
    f.AsSigned("cleanApertureWidthN", 4);
    f.U("cleanApertureWidthD", 4);
    f.AsSigned("cleanApertureHeightN", 4);
    f.U("cleanApertureHeightD", 4);
    f.AsSigned("horizOffN", 4);
    f.U("horizOffD", 4);
    f.AsSigned("vertOffN", 4);
    f.U("vertOffD", 4);
    ExtraBytes(f);
}

void DescribeFiel(Fields& f, const BoxContext&) {
    if (const auto fields = f.U("fields", 1)) {
        if (*fields == 1) f.Meaning("progressive");
        if (*fields == 2) f.Meaning("interlaced");
    }
    if (const auto detail = f.U("detail", 1)) {
        switch (*detail) {
        case 1: f.Meaning("top field displayed first, stored first"); break;
        case 6: f.Meaning("bottom field displayed first, stored first"); break;
        case 9: f.Meaning("bottom field displayed first, top stored first"); break;
        case 14: f.Meaning("top field displayed first, bottom stored first"); break;
        default: break;
        }
    }
    ExtraBytes(f);
}

// ---- QuickTime channel layout ----

// Core Audio channel labels 1 to 18; bit n of a channel bitmap is label n + 1.
constexpr const char* kChannelLabels[] = {
    "Left", "Right", "Center", "LFEScreen", "LeftSurround", "RightSurround", "LeftCenter", "RightCenter",
    "CenterSurround", "LeftSurroundDirect", "RightSurroundDirect", "TopCenterSurround", "VerticalHeightLeft",
    "VerticalHeightCenter", "VerticalHeightRight", "TopBackLeft", "TopBackCenter", "TopBackRight"};

std::string ChannelLabelText(std::uint64_t label) {
    if (label >= 1 && label <= std::size(kChannelLabels)) return kChannelLabels[label - 1];
    if (label == 0) return "Unused";
    if (label == 100) return "UseCoordinates";
    if (label == 0xFFFFFFFF) return "Unknown";
    return "";
}

std::string LayoutTagText(std::uint64_t tag) {
    if (tag == 0) return "use channel descriptions";
    if (tag == 0x10000) return "use channel bitmap";
    std::string text;
    switch (tag >> 16) {
    case 100: text = "Mono, "; break;
    case 101: text = "Stereo, "; break;
    case 102: text = "StereoHeadphones, "; break;
    case 103: text = "MatrixStereo, "; break;
    case 104: text = "MidSide, "; break;
    case 108: text = "Quadraphonic, "; break;
    case 121: text = "MPEG_5_1_A, "; break;
    case 147: text = "DiscreteInOrder, "; break;
    default: break;
    }
    const std::uint64_t channels = tag & 0xFFFF;
    return text + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

std::string ChannelBitmapText(std::uint64_t bitmap) {
    std::string out;
    for (std::size_t bit = 0; bit < std::size(kChannelLabels); ++bit) {
        if ((bitmap >> bit & 1) == 0) continue;
        if (!out.empty()) out += ", ";
        out += kChannelLabels[bit];
    }
    return out;
}

void DescribeChan(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto tag = f.U("mChannelLayoutTag", 4);
    if (tag) f.Meaning(LayoutTagText(*tag));
    if (const auto bitmap = f.U("mChannelBitmap", 4)) f.Meaning(ChannelBitmapText(*bitmap));
    const auto count = f.U("mNumberChannelDescriptions", 4);
    if (!count) return;
    std::string& s = f.Scratch();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!f.Has(20)) {
            f.MarkCut("mChannelDescriptions", 20);
            return;
        }
        const std::uint64_t pos = f.Pos();
        const std::uint64_t label = f.Peek(pos, 4);
        s.assign("   entry ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += "mChannelLabel ";
        f.AppendNumber(s, label, 4);
        if (const std::string name = ChannelLabelText(label); !name.empty()) s += ' ' + name;
        s += ", mChannelFlags ";
        f.AppendNumber(s, f.Peek(pos + 4, 4), 4);
        s += ", mCoordinates";
        for (int k = 0; k < 3; ++k) {
            s += ' ';
            s += FixedText(std::bit_cast<float>(static_cast<std::uint32_t>(f.Peek(pos + 8 + 4 * k, 4))));
        }
        f.Raw(std::string(s), f.Range(pos, 20));
        f.Seek(pos + 20);
    }
    ExtraBytes(f);
}

// ---- Colour ----

const char* PrimariesName(std::uint64_t v) {
    switch (v) {
    case 1: return "BT.709";
    case 2: return "unspecified";
    case 4: return "BT.470 System M";
    case 5: return "BT.470 System B, G / BT.601 625";
    case 6: return "BT.601 525 / SMPTE 170M";
    case 7: return "SMPTE 240M";
    case 8: return "generic film";
    case 9: return "BT.2020";
    case 10: return "SMPTE ST 428-1 (XYZ)";
    case 11: return "SMPTE RP 431-2 (DCI-P3)";
    case 12: return "SMPTE EG 432-1 (Display P3)";
    case 22: return "EBU Tech 3213-E";
    default: return "";
    }
}

const char* TransferName(std::uint64_t v) {
    switch (v) {
    case 1: return "BT.709";
    case 2: return "unspecified";
    case 4: return "BT.470 System M (gamma 2.2)";
    case 5: return "BT.470 System B, G (gamma 2.8)";
    case 6: return "BT.601";
    case 7: return "SMPTE 240M";
    case 8: return "linear";
    case 9: return "logarithmic 100:1";
    case 10: return "logarithmic 316:1";
    case 11: return "IEC 61966-2-4 (xvYCC)";
    case 12: return "BT.1361";
    case 13: return "IEC 61966-2-1 (sRGB)";
    case 14: return "BT.2020 10-bit";
    case 15: return "BT.2020 12-bit";
    case 16: return "PQ / SMPTE ST 2084";
    case 17: return "SMPTE ST 428-1";
    case 18: return "HLG / ARIB STD-B67";
    default: return "";
    }
}

const char* MatrixName(std::uint64_t v) {
    switch (v) {
    case 0: return "identity (RGB)";
    case 1: return "BT.709";
    case 2: return "unspecified";
    case 4: return "FCC";
    case 5: return "BT.470 System B, G / BT.601 625";
    case 6: return "BT.601 525 / SMPTE 170M";
    case 7: return "SMPTE 240M";
    case 8: return "YCgCo";
    case 9: return "BT.2020 non-constant luminance";
    case 10: return "BT.2020 constant luminance";
    case 11: return "SMPTE ST 2085";
    case 12: return "chromaticity-derived non-constant luminance";
    case 13: return "chromaticity-derived constant luminance";
    case 14: return "ICtCp";
    default: return "";
    }
}

void ColourCodes(Fields& f) {
    if (const auto v = f.U("colour_primaries", 2)) f.Meaning(PrimariesName(*v));
    if (const auto v = f.U("transfer_characteristics", 2)) f.Meaning(TransferName(*v));
    if (const auto v = f.U("matrix_coefficients", 2)) f.Meaning(MatrixName(*v));
}

void DescribeColr(Fields& f, const BoxContext&) {
    const auto type = f.Type("colour_type");
    if (!type) return;
    if (*type == F("nclx")) {
        ColourCodes(f);
        if (const auto full = f.Flag("full_range_flag")) f.Meaning(*full ? "full range" : "limited range");
        f.Bits("reserved", 7);
    } else if (*type == F("nclc")) {
        ColourCodes(f);
    } else if (*type == F("rICC") || *type == F("prof")) {
        const std::uint64_t n = f.Left();
        f.Bytes("ICC_profile", n);
        if (n != 0 && n <= 32) f.Meaning("(" + GroupedText(n, f.Settings()) + (n == 1 ? " byte)" : " bytes)"));
        return;
    }
    ExtraBytes(f);
}

std::string Scaled(std::uint64_t v, double unit, const char* suffix) {
    return FixedText(static_cast<double>(v) * unit) + suffix;
}

void DescribeMdcv(Fields& f, const BoxContext&) {
    static constexpr const char* kX[] = {"display_primaries_x[0]", "display_primaries_x[1]", "display_primaries_x[2]"};
    static constexpr const char* kY[] = {"display_primaries_y[0]", "display_primaries_y[1]", "display_primaries_y[2]"};
    constexpr double kChromaticity = 0.00002, kLuminance = 0.0001;
    for (int c = 0; c < 3; ++c) {
        if (const auto x = f.U(kX[c], 2)) f.Meaning(Scaled(*x, kChromaticity, ""));
        if (const auto y = f.U(kY[c], 2)) f.Meaning(Scaled(*y, kChromaticity, ""));
    }
    if (const auto x = f.U("white_point_x", 2)) f.Meaning(Scaled(*x, kChromaticity, ""));
    if (const auto y = f.U("white_point_y", 2)) f.Meaning(Scaled(*y, kChromaticity, ""));
    if (const auto v = f.U("max_display_mastering_luminance", 4)) f.Meaning(Scaled(*v, kLuminance, " cd/m²"));
    if (const auto v = f.U("min_display_mastering_luminance", 4)) f.Meaning(Scaled(*v, kLuminance, " cd/m²"));
    ExtraBytes(f);
}

void DescribeClli(Fields& f, const BoxContext&) {
    if (f.U("max_content_light_level", 2)) f.Meaning("cd/m²");
    if (f.U("max_pic_average_light_level", 2)) f.Meaning("cd/m²");
    ExtraBytes(f);
}

void DescribeCcst(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Flag("all_ref_pics_intra");
    f.Flag("intra_pred_used");
    f.Bits("max_ref_per_pic", 4);
    f.Bits("reserved", 26);
    ExtraBytes(f);
}

// ---- Audio channels and PCM ----

const char* SpeakerName(std::uint64_t v) {
    switch (v) {
    case 0: return "L";
    case 1: return "R";
    case 2: return "C";
    case 3: return "LFE";
    case 4: return "Ls";
    case 5: return "Rs";
    case 126: return "explicit position";
    case 127: return "unknown";
    default: return "";
    }
}

void DescribeChnl(Fields& f, const BoxContext&) {
    const std::uint8_t version = f.VersionFlags().first;
    if (f.Cut()) return;
    if (version != 0) {
        f.Rest("data");
        return;
    }
    const auto structure = f.U("stream_structure", 1);
    if (!structure) return;
    const bool channels = (*structure & 1) != 0, objects = (*structure & 2) != 0;
    if (channels) {
        const auto layout = f.U("definedLayout", 1);
        if (!layout) return;
        if (*layout != 0) {
            f.U("omittedChannelsMap", 8);
        } else {
            // The count of channels is the sample entry's; here the bytes tell it.
            std::string& s = f.Scratch();
            const std::uint64_t tail = objects ? 1 : 0;
            for (std::int64_t i = 0; f.Left() > tail; ++i) {
                const std::uint64_t pos = f.Pos();
                const std::uint64_t position = f.Peek(pos, 1);
                if (position != 126) {
                    s.assign("   speaker_position ");
                    AppendEntryNumber(s, i);
                    f.AppendNumber(s, position, 1);
                    if (*SpeakerName(position) != '\0') (s += ' ') += SpeakerName(position);
                    f.Raw(std::string(s), f.Range(pos, 1));
                    f.Seek(pos + 1);
                    continue;
                }
                if (!f.Has(4)) {
                    f.MarkCut("azimuth", 4);
                    return;
                }
                const std::uint64_t azimuth = f.Peek(pos + 1, 2), elevation = f.Peek(pos + 3, 1);
                s.assign("   entry ");
                AppendEntryNumber(s, i);
                s += "speaker_position ";
                f.AppendNumber(s, position, 1);
                s += " explicit position, azimuth ";
                s += f.SignedNumber(static_cast<std::int16_t>(azimuth), azimuth, 2);
                s += ", elevation ";
                s += f.SignedNumber(static_cast<std::int8_t>(elevation), elevation, 1);
                f.Raw(std::string(s), f.Range(pos, 4));
                f.Seek(pos + 4);
            }
        }
    }
    if (objects) f.U("object_count", 1);
    ExtraBytes(f);
}

void DescribePcmC(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto flags = f.U("format_flags", 1)) f.Meaning(*flags & 1 ? "little-endian" : "big-endian");
    f.U("PCM_sample_size", 1);
    ExtraBytes(f);
}

void DescribeEnda(Fields& f, const BoxContext&) {
    if (const auto little = f.U("littleEndian", 2)) f.Meaning(*little ? "little-endian" : "big-endian");
    ExtraBytes(f);
}

// ---- UUID lists ----

void DescribeUlst(Fields& f, const BoxContext&) {
    static const char* const kHex = "0123456789ABCDEF";
    const auto count = f.U("entry_count", 2);
    if (!count) return;
    std::string& s = f.Scratch();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!f.Has(16)) {
            f.MarkCut("uuid", 16);
            return;
        }
        const std::uint64_t pos = f.Pos();
        s.assign("   uuid ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        for (std::uint64_t k = 0; k < 16; ++k) {
            if (k == 4 || k == 6 || k == 8 || k == 10) s += '-';
            const std::uint8_t b = f.Body()[pos + k];
            s += kHex[b >> 4];
            s += kHex[b & 15];
        }
        f.Raw(std::string(s), f.Range(pos, 16));
        f.Seek(pos + 16);
    }
    ExtraBytes(f);
}

constexpr BoxRule Leaf(std::uint32_t parent, const char (&type)[5], DescribeFn describe) {
    return {parent, F(type), BoxKind::Leaf, EntryLayout::None, describe};
}
constexpr BoxRule Reference(const char (&type)[5]) { return Leaf(F("tref"), type, DescribeTrackReference); }

constexpr BoxRule kRules[] = {
    Reference("hint"), Reference("cdsc"), Reference("font"), Reference("hind"), Reference("vdep"),
    Reference("vplx"), Reference("subt"), Reference("chap"), Reference("sync"), Reference("scpt"),
    Reference("ssrc"), Reference("tmcd"), Reference("cdep"), Reference("mpod"), Reference("dpnd"),
    Reference("ipir"), Reference("thmb"), Reference("auxl"), Reference("sbas"), Reference("oref"),
    Reference("adda"), Reference("base"), Reference("swto"), Reference("swfr"), Reference("folw"),
    Reference("forc"), Reference("clcp"),

    Leaf(0, "elng", DescribeElng), Leaf(0, "kind", DescribeKind), Leaf(0, "btrt", DescribeBtrt),
    Leaf(0, "pasp", DescribePasp), Leaf(0, "clap", DescribeClap), Leaf(0, "fiel", DescribeFiel),
    Leaf(0, "chan", DescribeChan), Leaf(0, "colr", DescribeColr), Leaf(0, "mdcv", DescribeMdcv),
    Leaf(0, "clli", DescribeClli), Leaf(0, "ccst", DescribeCcst), Leaf(0, "chnl", DescribeChnl),
    Leaf(0, "pcmC", DescribePcmC), Leaf(0, "enda", DescribeEnda),
    {0, F("uinf"), BoxKind::Container},
    Leaf(0, "ulst", DescribeUlst),
};

}  // namespace

std::span<const BoxRule> TrackEntryBoxRules() { return kRules; }

}  // namespace kestrova::full
