// The configuration boxes of AV1, VP8/VP9, VVC and H.263 sample entries in
// the full view. av1C and vvcC go through the codec layer's readers, so their
// bit fields light the bits they came from.

#include <cstdio>

#include "codecs/Av1.h"
#include "codecs/ColourNames.h"
#include "codecs/Syntax.h"
#include "common/Formatters.h"
#include "iso/full/CodecSink.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

using codecs::BitSource;
using codecs::SyntaxReader;

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

void ExtraBytes(Fields& f) {
    if (!f.Cut() && f.Left() > 0) f.Rest("extra bytes");
}

// The body from the cursor on as a bit source that maps back to the file.
BitSource SourceFromCursor(const Fields& f, const BoxContext& c) {
    const std::uint64_t pos = f.Pos();
    return BitSource::Plain(f.Body().subspan(static_cast<std::size_t>(pos), static_cast<std::size_t>(f.Left())),
                            c.record.BodyOffset() + pos);
}

void ShouldBe(SyntaxReader& r, std::optional<std::uint64_t> v, std::uint64_t want) {
    if (v && *v != want) r.Meaning("(should be " + std::to_string(want) + ")");
}

// ---- AV1 ----

void DescribeAv1C(Fields& f, const BoxContext& c) {
    CodecSink sink(f);
    BitSource src = SourceFromCursor(f, c);
    codecs::ReadAv1Config(src, &sink);
}

// ---- VP8 and VP9 ----

const char* VpChromaSubsamplingName(std::uint64_t v) {
    switch (v) {
    case 0: return "4:2:0, vertical (between two luma rows, at the left)";
    case 1: return "4:2:0, chroma colocated with luma (0, 0)";
    case 2: return "4:2:2";
    case 3: return "4:4:4";
    default: return "reserved";
    }
}

const char* Vp9ProfileName(std::uint64_t v) {
    switch (v) {
    case 0: return "8 bits, 4:2:0";
    case 1: return "8 bits, 4:2:2, 4:4:0 or 4:4:4";
    case 2: return "10 or 12 bits, 4:2:0";
    case 3: return "10 or 12 bits, 4:2:2, 4:4:0 or 4:4:4";
    default: return "";
    }
}

std::string Vp9LevelText(std::uint64_t v) {
    static constexpr unsigned kLevels[] = {10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 52, 60, 61, 62};
    for (const unsigned l : kLevels)
        if (l == v) return "level " + std::to_string(v / 10) + "." + std::to_string(v % 10);
    return "";
}

void DescribeVpcC(Fields& f, const BoxContext& c) {
    const auto [version, flags] = f.VersionFlags();
    if (f.Cut()) return;
    if (version > 1) {
        f.Heading("(version " + std::to_string(version) + " of this box is not known)");
        return ExtraBytes(f);
    }
    const bool vp9 = c.ParentType() == F("vp09");
    if (const auto profile = f.U("profile", 1); profile && vp9) f.Meaning(Vp9ProfileName(*profile));
    if (const auto level = f.U("level", 1); level && vp9) f.Meaning(Vp9LevelText(*level));
    f.Bits("bitDepth", 4);
    if (version == 0) {
        // The first published layout, before the H.273 code points.
        f.Bits("colorSpace", 4);
        if (const auto s = f.Bits("chromaSubsampling", 4)) f.Meaning(VpChromaSubsamplingName(*s));
        f.Bits("transferFunction", 3);
        if (const auto full = f.Flag("videoFullRangeFlag")) f.Meaning(codecs::FullRangeName(*full));
    } else {
        if (const auto s = f.Bits("chromaSubsampling", 3)) f.Meaning(VpChromaSubsamplingName(*s));
        if (const auto full = f.Flag("videoFullRangeFlag")) f.Meaning(codecs::FullRangeName(*full));
        if (const auto v = f.U("colourPrimaries", 1)) f.Meaning(codecs::ColourPrimariesName(*v));
        if (const auto v = f.U("transferCharacteristics", 1)) f.Meaning(codecs::TransferCharacteristicsName(*v));
        if (const auto v = f.U("matrixCoefficients", 1)) f.Meaning(codecs::MatrixCoefficientsName(*v));
    }
    const auto size = f.U("codecIntializationDataSize", 2);
    if (size && *size > 0) f.Bytes("codecIntializationData", *size);
    ExtraBytes(f);
}

// ---- VVC ----

std::string VvcProfileName(std::uint64_t idc) {
    constexpr std::uint64_t kIntra = 8, kStill = 64;
    std::string name;
    switch (idc & ~(kIntra | kStill)) {
    case 1: name = "Main 10"; break;
    case 33: name = "Main 10 4:4:4"; break;
    case 17: name = "Multilayer Main 10"; break;
    case 49: name = "Multilayer Main 10 4:4:4"; break;
    case 2: name = "Main 12"; break;
    case 34: name = "Main 12 4:4:4"; break;
    case 35: name = "Main 16 4:4:4"; break;
    default: return idc == 0 ? "none" : "";
    }
    if (idc & kIntra) name += " Intra";
    if (idc & kStill) name += " Still Picture";
    return name;
}

// general_level_idc is sixteen times the major level plus three times the minor one.
std::string VvcLevelText(std::uint64_t idc) {
    if (idc % 16 % 3 != 0) return "";
    return "level " + std::to_string(idc / 16) + "." + std::to_string(idc % 16 / 3);
}

const char* VvcNalUnitTypeName(std::uint64_t t) {
    static constexpr const char* kNames[] = {
        "TRAIL_NUT",  "STSA_NUT",  "RADL_NUT",       "RASL_NUT",       "RSV_VCL_4",      "RSV_VCL_5",   "RSV_VCL_6",
        "IDR_W_RADL", "IDR_N_LP",  "CRA_NUT",        "GDR_NUT",        "RSV_IRAP_11",    "OPI_NUT",     "DCI_NUT",
        "VPS_NUT",    "SPS_NUT",   "PPS_NUT",        "PREFIX_APS_NUT", "SUFFIX_APS_NUT", "PH_NUT",      "AUD_NUT",
        "EOS_NUT",    "EOB_NUT",   "PREFIX_SEI_NUT", "SUFFIX_SEI_NUT", "FD_NUT",         "RSV_NVCL_26", "RSV_NVCL_27",
        "UNSPEC_28",  "UNSPEC_29", "UNSPEC_30",      "UNSPEC_31"};
    return t < std::size(kNames) ? kNames[t] : "";
}

constexpr std::uint64_t kOpiNut = 12, kDciNut = 13;

// A field wider than 64 bits as hexadecimal digits, the first digit holding the odd bits.
void WideField(SyntaxReader& r, std::string_view label, unsigned bits) {
    BitSource& src = r.Source();
    if (!r.Ok()) return;
    if (bits > src.BitsLeft()) {
        r.Fail(std::string(label) + " needs " + std::to_string(bits) + " bits, " + std::to_string(src.BitsLeft()) +
               " are left");
        return;
    }
    static const char* const kHex = "0123456789ABCDEF";
    const std::uint64_t first = src.BitPos();
    std::string text = "0X";
    unsigned left = bits;
    while (left > 0) {
        const unsigned n = left % 4 != 0 ? left % 4 : 4;
        text += kHex[*src.Read(n)];
        left -= n;
    }
    if (r.Sink()) r.Sink()->TextField(label, std::move(text), src.FileRange(first, src.BitPos()));
}

void ReadVvcPtlRecord(SyntaxReader& r, unsigned numSublayers) {
    r.Heading("VvcPTLRecord");
    ShouldBe(r, r.u("reserved", 2), 0);
    const auto constraintBytes = r.u("num_bytes_constraint_info", 6);
    if (const auto profile = r.u("general_profile_idc", 7)) r.Meaning(VvcProfileName(*profile));
    if (const auto tier = r.u("general_tier_flag", 1)) r.Meaning(*tier ? "High tier" : "Main tier");
    if (const auto level = r.u("general_level_idc", 8)) r.Meaning(VvcLevelText(*level));
    r.flag("ptl_frame_only_constraint_flag");
    r.flag("ptl_multilayer_enabled_flag");
    if (!r.Ok()) return;
    if (*constraintBytes == 0) return r.Fail("num_bytes_constraint_info is 0, at least 1");
    const unsigned constraintBits = 8 * static_cast<unsigned>(*constraintBytes) - 2;
    if (constraintBits <= 64)
        r.u("general_constraint_info", constraintBits);
    else
        WideField(r, "general_constraint_info", constraintBits);
    bool levelPresent[8] = {};
    if (numSublayers > 1) {
        for (int i = static_cast<int>(numSublayers) - 2; i >= 0; --i) {
            const auto present = r.flag("ptl_sublayer_level_present_flag[" + std::to_string(i) + "]");
            levelPresent[i] = present.value_or(false);
        }
        ShouldBe(r, r.u("ptl_reserved_zero_bit", 9 - numSublayers), 0);
        for (int i = static_cast<int>(numSublayers) - 2; i >= 0; --i) {
            if (!levelPresent[i]) continue;
            if (const auto level = r.u("sublayer_level_idc[" + std::to_string(i) + "]", 8))
                r.Meaning(VvcLevelText(*level));
        }
    }
    const auto subProfiles = r.u("ptl_num_sub_profiles", 8);
    if (!subProfiles) return;
    if (*subProfiles * 32 > r.Source().BitsLeft())
        return r.Fail("ptl_num_sub_profiles is " + std::to_string(*subProfiles) + ", the record holds fewer");
    for (std::uint64_t j = 0; j < *subProfiles && r.Ok(); ++j)
        r.u("general_sub_profile_idc[" + std::to_string(j) + "]", 32);
}

void ReadVvcRecord(SyntaxReader& r) {
    BitSource& src = r.Source();
    ShouldBe(r, r.u("reserved", 5), 31);
    if (const auto size = r.u("LengthSizeMinusOne", 2)) r.Meaning("(" + std::to_string(*size + 1) + "-byte lengths)");
    const auto ptl = r.flag("ptl_present_flag");
    if (!ptl) return;
    if (*ptl) {
        r.u("ols_idx", 9);
        const auto sublayers = r.u("num_sublayers", 3);
        if (const auto rate = r.u("constant_frame_rate", 2)) {
            static constexpr const char* kRates[] = {"may not be constant", "constant", "each temporal layer constant",
                                                     "reserved"};
            r.Meaning(kRates[*rate]);
        }
        if (const auto chroma = r.u("chroma_format_idc", 2)) {
            static constexpr const char* kChroma[] = {"4:0:0 (monochrome)", "4:2:0", "4:2:2", "4:4:4"};
            r.Meaning(kChroma[*chroma]);
        }
        if (const auto depth = r.u("bit_depth_minus8", 3)) r.Meaning("(" + std::to_string(*depth + 8) + " bits)");
        ShouldBe(r, r.u("reserved", 5), 31);
        if (!r.Ok()) return;
        ReadVvcPtlRecord(r, static_cast<unsigned>(*sublayers));
        r.u("max_picture_width", 16);
        r.u("max_picture_height", 16);
        if (const auto rate = r.u("avg_frame_rate", 16))
            r.Meaning(*rate == 0 ? std::string("unspecified") : "(" + codecs::RateText(*rate / 256.0) + " frames/s)");
    }
    const auto arrays = r.u("num_of_arrays", 8);
    if (!arrays) return;
    for (std::uint64_t j = 0; j < *arrays && r.Ok(); ++j) {
        const std::uint64_t type = src.Peek(8).value_or(0) & 0x1F;
        r.Heading("array #" + std::to_string(j + 1) + " (" + VvcNalUnitTypeName(type) + ")");
        r.flag("array_completeness");
        ShouldBe(r, r.u("reserved", 2), 0);
        if (const auto t = r.u("NAL_unit_type", 5)) r.Meaning(VvcNalUnitTypeName(*t));
        std::uint64_t count = 1;
        if (type != kDciNut && type != kOpiNut) {
            const auto n = r.u("num_nalus", 16);
            if (!n) return;
            count = *n;
        }
        for (std::uint64_t i = 0; i < count && r.Ok(); ++i) {
            const auto length = r.u("nal_unit_length", 16);
            if (!length) return;
            const std::uint64_t left = src.BitsLeft() / 8;
            if (*length > left)
                return r.Fail("nal_unit_length is " + std::to_string(*length) + " bytes, " + std::to_string(left) +
                              (left == 1 ? " is left" : " are left"));
            r.Bytes("nal_unit", *length);
        }
    }
}

void DescribeVvcC(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    if (f.Cut()) return;
    const std::uint64_t pos = f.Pos();
    CodecSink sink(f);
    BitSource src = SourceFromCursor(f, c);
    SyntaxReader r(src, &sink, "VvcDecoderConfigurationRecord");
    ReadVvcRecord(r);
    if (!r.Ok()) return;
    f.Seek(pos + src.BitPos() / 8);
    ExtraBytes(f);
}

// ---- H.263 ----

const char* H263ProfileName(std::uint64_t v) {
    switch (v) {
    case 0: return "Baseline";
    case 1: return "H.320 Coding Efficiency Version 2 Backward-Compatibility";
    case 2: return "Version 1 Backward-Compatibility";
    case 3: return "Version 2 Interactive and Streaming Wireless";
    case 4: return "Version 3 Interactive and Streaming Wireless";
    case 5: return "Conversational High Compression";
    case 6: return "Conversational Internet";
    case 7: return "Conversational Interlace";
    case 8: return "High Latency";
    default: return "";
    }
}

void DescribeD263(Fields& f, const BoxContext&) {
    f.Type("vendor");
    f.U("decoder_version", 1);
    f.U("H263_Level", 1);
    if (const auto profile = f.U("H263_Profile", 1)) f.Meaning(H263ProfileName(*profile));
    // The optional bitrate box inside: the walk does not look for children
    // after these seven bytes, so it is read here.
    if (!f.Cut() && f.Left() >= 16 && f.Peek(f.Pos(), 4) == 16 && f.Peek(f.Pos() + 4, 4) == F("bitr")) {
        f.Heading("BitrateBox");
        f.U("size", 4);
        f.Type("type");
        f.U("Avg_Bitrate", 4);
        f.U("Max_Bitrate", 4);
    }
    ExtraBytes(f);
}

constexpr BoxRule kRules[] = {
    {0, F("av1C"), BoxKind::Leaf, EntryLayout::None, DescribeAv1C},
    {0, F("vpcC"), BoxKind::Leaf, EntryLayout::None, DescribeVpcC},
    {0, F("vvcC"), BoxKind::Leaf, EntryLayout::None, DescribeVvcC},
    {0, F("d263"), BoxKind::Leaf, EntryLayout::None, DescribeD263},
};

}  // namespace

std::span<const BoxRule> OtherVideoBoxRules() { return kRules; }

}  // namespace kestrova::full
