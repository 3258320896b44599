// The AVC and HEVC decoder configuration records of the full view: the
// record's own fields, and each parameter set it carries decoded in full by
// the codec layer, with lines where the record and its parameter sets disagree.

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/H264.h"
#include "codecs/H265.h"
#include "common/Formatters.h"
#include "iso/full/CodecSink.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) {
    return Fourcc(s);
}

// Reserved bits that should all be ones.
void ReservedOnes(Fields& f, unsigned bits) {
    const auto v = f.Bits("reserved", bits);
    if (v && *v != (1ull << bits) - 1) f.Meaning("(should be all ones)");
}

void LengthSize(Fields& f) {
    const auto v = f.Bits("lengthSizeMinusOne", 2);
    if (!v) return;
    if (*v == 2)
        f.Meaning("(3-byte lengths are not allowed)");
    else
        f.Meaning(std::to_string(*v + 1) + "-byte NAL unit lengths");
}

// One length-prefixed NAL unit at the cursor, read by read(bytes, fileOffset,
// sink) over what the box holds of it; the cursor moves past it.
template <class Read>
void NalUnit(Fields& f, const BoxContext& c, std::string heading, std::string_view label, std::uint64_t length,
             Read read) {
    if (length == 0) {
        f.Meaning("(an empty NAL unit)");
        return;
    }
    const std::uint64_t pos = f.Pos();
    const std::uint64_t held = std::min(length, f.Left());
    f.Heading(std::move(heading));
    CodecSink sink(f);
    read(f.Body().subspan(pos, held), c.record.BodyOffset() + pos, &sink);
    if (held < length) {
        f.MarkCut(label, length);
        return;
    }
    f.Seek(pos + length);
}

// The latest parameter set of each id (there are at most 32), for the picture
// parameter sets that name them.
template <class Sps>
void Remember(std::vector<Sps>& known, const Sps& sps) {
    for (Sps& s : known)
        if (s.spsId == sps.spsId) {
            s = sps;
            return;
        }
    if (known.size() < 32) known.push_back(sps);
}

std::string Disagree(std::string_view field, std::uint64_t value, std::string_view element, std::uint64_t spsValue) {
    return "(" + std::string(field) + " is " + std::to_string(value) + ", the SPS's " + std::string(element) + " " +
           std::to_string(spsValue) + ")";
}

void DescribeAvcC(Fields& f, const BoxContext& c) {
    const auto version = f.U("configurationVersion", 1);
    if (version && *version != 1) f.Meaning("(1 expected)");
    const auto profile = f.U("AVCProfileIndication", 1);
    if (profile)
        f.Meaning(codecs::H264ProfileName(static_cast<std::uint32_t>(*profile),
                                          static_cast<std::uint32_t>(f.Peek(f.Pos(), 1))));
    const auto compat = f.U("profile_compatibility", 1);
    const auto level = f.U("AVCLevelIndication", 1);
    if (level)
        f.Meaning("level " + codecs::H264LevelText(static_cast<std::uint32_t>(profile.value_or(0)),
                                                   static_cast<std::uint32_t>(compat.value_or(0)),
                                                   static_cast<std::uint32_t>(*level)));
    ReservedOnes(f, 6);
    LengthSize(f);
    ReservedOnes(f, 3);
    const auto numSps = f.Bits("numOfSequenceParameterSets", 5);
    std::vector<codecs::H264Sps> known;
    for (std::uint64_t i = 0; numSps && i < *numSps && !f.Cut(); ++i) {
        const auto length = f.U("sequenceParameterSetLength", 2);
        if (!length) break;
        NalUnit(
            f, c, "sequenceParameterSetNALUnit #" + std::to_string(i + 1), "sequenceParameterSetNALUnit", *length,
            [&](std::span<const std::uint8_t> nal, std::uint64_t at, codecs::FieldSink* sink) {
                const codecs::H264NalUnit unit = codecs::ReadH264NalUnit(nal, at, sink, known);
                if (!unit.isSps) return;
                const codecs::H264Sps& sps = unit.sps;
                Remember(known, sps);
                if (profile && *profile != sps.profileIdc)
                    f.Heading(Disagree("AVCProfileIndication", *profile, "profile_idc", sps.profileIdc));
                if (compat && *compat != sps.constraintFlags)
                    f.Heading(Disagree("profile_compatibility", *compat, "constraint flags byte", sps.constraintFlags));
                if (level && *level != sps.levelIdc)
                    f.Heading(Disagree("AVCLevelIndication", *level, "level_idc", sps.levelIdc));
            });
    }
    const auto numPps = f.U("numOfPictureParameterSets", 1);
    for (std::uint64_t i = 0; numPps && i < *numPps && !f.Cut(); ++i) {
        const auto length = f.U("pictureParameterSetLength", 2);
        if (!length) break;
        NalUnit(f, c, "pictureParameterSetNALUnit #" + std::to_string(i + 1), "pictureParameterSetNALUnit", *length,
                [&](std::span<const std::uint8_t> nal, std::uint64_t at, codecs::FieldSink* sink) {
                    codecs::ReadH264NalUnit(nal, at, sink, known);
                });
    }
    // Writers add these for every profile whose SPS has chroma_format_idc (244
    // too), not only 100, 110, 122 and 144.
    const bool highProfile = profile && *profile != 66 && *profile != 77 && *profile != 88;
    if (highProfile && !f.Cut() && f.Left() >= 4) {
        ReservedOnes(f, 6);
        const auto chroma = f.Bits("chroma_format", 2);
        if (chroma) f.Meaning(codecs::ChromaFormatName(static_cast<std::uint32_t>(*chroma)));
        ReservedOnes(f, 5);
        const auto luma = f.Bits("bit_depth_luma_minus8", 3);
        ReservedOnes(f, 5);
        const auto chromaDepth = f.Bits("bit_depth_chroma_minus8", 3);
        if (!known.empty() && chroma && luma && chromaDepth) {
            const codecs::H264Sps& sps = known.front();
            if (*chroma != sps.chromaFormatIdc)
                f.Heading(Disagree("chroma_format", *chroma, "chroma_format_idc", sps.chromaFormatIdc));
            if (*luma + 8 != sps.bitDepthLuma)
                f.Heading(Disagree("bit_depth_luma_minus8", *luma, "bit_depth_luma_minus8", sps.bitDepthLuma - 8));
            if (*chromaDepth + 8 != sps.bitDepthChroma)
                f.Heading(Disagree("bit_depth_chroma_minus8", *chromaDepth, "bit_depth_chroma_minus8",
                                   sps.bitDepthChroma - 8));
        }
        const auto numExt = f.U("numOfSequenceParameterSetExt", 1);
        for (std::uint64_t i = 0; numExt && i < *numExt && !f.Cut(); ++i) {
            const auto length = f.U("sequenceParameterSetExtLength", 2);
            if (!length) break;
            NalUnit(f, c, "sequenceParameterSetExtNALUnit #" + std::to_string(i + 1), "sequenceParameterSetExtNALUnit",
                    *length, [&](std::span<const std::uint8_t> nal, std::uint64_t at, codecs::FieldSink* sink) {
                        codecs::ReadH264NalUnit(nal, at, sink, known);
                    });
        }
    }
    if (!f.Cut() && f.Left() > 0) f.Rest("data");
}

const char* ParallelismName(std::uint64_t v) {
    switch (v) {
        case 0:
            return "mixed or unknown";
        case 1:
            return "slice-based";
        case 2:
            return "tile-based";
        default:
            return "wavefront-based";
    }
}

const char* ConstantFrameRateName(std::uint64_t v) {
    switch (v) {
        case 0:
            return "not known to be constant";
        case 1:
            return "constant";
        case 2:
            return "each temporal layer constant";
        default:
            return "(reserved)";
    }
}

void DescribeHvcC(Fields& f, const BoxContext& c) {
    const auto version = f.U("configurationVersion", 1);
    if (version && *version != 1) f.Meaning("(1 expected)");
    const std::uint64_t profileFirst = f.BitPos();
    const auto space = f.Bits("general_profile_space", 2);
    if (space && *space != 0) f.Meaning("(reserved)");
    const auto tier = f.Bits("general_tier_flag", 1);
    if (tier) f.Meaning(*tier ? "High tier" : "Main tier");
    const auto profile = f.Bits("general_profile_idc", 5);
    const auto compat = f.U("general_profile_compatibility_flags", 4);
    if (compat && *compat != 0) {
        std::string set = "j =";
        for (int j = 0; j < 32; ++j)
            if ((*compat >> (31 - j)) & 1) set += " " + std::to_string(j);
        f.Meaning(set);
    }
    const auto constraints = f.U("general_constraint_indicator_flags", 6);
    if (profile && compat && constraints)
        f.Derived("profile",
                  codecs::H265ProfileName(static_cast<std::uint32_t>(*profile), static_cast<std::uint32_t>(*compat),
                                          *constraints),
                  f.BitRange(profileFirst, f.BitPos() - profileFirst));
    const auto level = f.U("general_level_idc", 1);
    if (level) f.Meaning("level " + codecs::H265LevelText(static_cast<std::uint32_t>(*level)));
    ReservedOnes(f, 4);
    f.Bits("min_spatial_segmentation_idc", 12);
    ReservedOnes(f, 6);
    if (const auto v = f.Bits("parallelismType", 2)) f.Meaning(ParallelismName(*v));
    ReservedOnes(f, 6);
    const auto chroma = f.Bits("chromaFormat", 2);
    if (chroma) f.Meaning(codecs::ChromaFormatName(static_cast<std::uint32_t>(*chroma)));
    ReservedOnes(f, 5);
    const auto luma = f.Bits("bitDepthLumaMinus8", 3);
    if (luma) f.Meaning(std::to_string(*luma + 8) + " bits");
    ReservedOnes(f, 5);
    const auto chromaDepth = f.Bits("bitDepthChromaMinus8", 3);
    if (chromaDepth) f.Meaning(std::to_string(*chromaDepth + 8) + " bits");
    const std::uint64_t rateFirst = f.BitPos();
    const auto rate = f.U("avgFrameRate", 2);
    if (rate && *rate == 0) f.Meaning("unspecified");
    if (rate && *rate != 0)
        f.Derived("average frame rate", codecs::RateText(*rate / 256.0) + " fps (avgFrameRate / 256)",
                  f.BitRange(rateFirst, 16));
    if (const auto v = f.Bits("constantFrameRate", 2)) f.Meaning(ConstantFrameRateName(*v));
    if (const auto v = f.Bits("numTemporalLayers", 3)) {
        if (*v == 0)
            f.Meaning("unknown");
        else if (*v == 1)
            f.Meaning("not temporally scalable");
    }
    f.Bits("temporalIdNested", 1);
    LengthSize(f);
    const auto numArrays = f.U("numOfArrays", 1);
    std::vector<codecs::H265Sps> known;
    bool compared = false;
    for (std::uint64_t j = 0; numArrays && j < *numArrays && !f.Cut(); ++j) {
        f.Heading("array #" + std::to_string(j + 1));
        f.Bits("array_completeness", 1);
        f.Bits("reserved", 1);
        const auto type = f.Bits("NAL_unit_type", 6);
        if (type) f.Meaning(codecs::H265NalUnitTypeName(static_cast<std::uint32_t>(*type)));
        const auto numNalus = f.U("numNalus", 2);
        for (std::uint64_t i = 0; numNalus && i < *numNalus && !f.Cut(); ++i) {
            const auto length = f.U("nalUnitLength", 2);
            if (!length) break;
            NalUnit(
                f, c, "nalUnit #" + std::to_string(i + 1) + " of array #" + std::to_string(j + 1), "nalUnit", *length,
                [&](std::span<const std::uint8_t> nal, std::uint64_t at, codecs::FieldSink* sink) {
                    const codecs::H265NalUnit unit = codecs::ReadH265NalUnit(nal, at, sink, known);
                    if (!unit.isSps) return;
                    const codecs::H265Sps& sps = unit.sps;
                    Remember(known, sps);
                    if (compared) return;
                    compared = true;
                    const codecs::H265ProfileTierLevel& ptl = sps.ptl;
                    if (profile && *profile != ptl.profileIdc)
                        f.Heading(Disagree("general_profile_idc", *profile, "general_profile_idc", ptl.profileIdc));
                    if (tier && *tier != (ptl.tierFlag ? 1u : 0u))
                        f.Heading(Disagree("general_tier_flag", *tier, "general_tier_flag", ptl.tierFlag));
                    if (level && *level != ptl.levelIdc)
                        f.Heading(Disagree("general_level_idc", *level, "general_level_idc", ptl.levelIdc));
                    if (chroma && *chroma != sps.chromaFormatIdc)
                        f.Heading(Disagree("chromaFormat", *chroma, "chroma_format_idc", sps.chromaFormatIdc));
                    if (luma && *luma + 8 != sps.bitDepthLuma)
                        f.Heading(Disagree("bitDepthLumaMinus8", *luma, "bit_depth_luma_minus8", sps.bitDepthLuma - 8));
                    if (chromaDepth && *chromaDepth + 8 != sps.bitDepthChroma)
                        f.Heading(Disagree("bitDepthChromaMinus8", *chromaDepth, "bit_depth_chroma_minus8",
                                           sps.bitDepthChroma - 8));
                });
        }
    }
    if (!f.Cut() && f.Left() > 0) f.Rest("data");
}

constexpr BoxRule kRules[] = {
    {0, F("avcC"), BoxKind::Leaf, EntryLayout::None, DescribeAvcC},
    {0, F("hvcC"), BoxKind::Leaf, EntryLayout::None, DescribeHvcC},
};

}  // namespace

std::span<const BoxRule> AvcHevcBoxRules() {
    return kRules;
}

}  // namespace kestrova::full
