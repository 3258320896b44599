#include "codecs/H264.h"

#include <array>
#include <iterator>
#include <cstdio>

#include "codecs/ColourNames.h"

namespace kestrova::codecs {
namespace {

std::string Idx(std::string_view name, std::uint64_t i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
}

std::uint64_t U(SyntaxReader& r, std::string_view label, unsigned n) {
    return r.u(label, n).value_or(0);
}
bool Flag(SyntaxReader& r, std::string_view label) {
    return r.flag(label).value_or(false);
}
std::uint32_t Ue(SyntaxReader& r, std::string_view label) {
    return r.ue(label).value_or(0);
}
std::int32_t Se(SyntaxReader& r, std::string_view label) {
    return r.se(label).value_or(0);
}

// A ue(v) past its maximum makes what follows unreadable: the structure stops.
std::optional<std::uint32_t> UeAtMost(SyntaxReader& r, std::string_view label, std::uint32_t max) {
    const auto v = r.ue(label);
    if (v && *v > max) {
        r.Fail(std::string(label) + " is " + std::to_string(*v) + ", at most " + std::to_string(max));
        return std::nullopt;
    }
    return v;
}

// A value past its maximum that leaves the syntax readable: said, and read on.
void NoteMax(SyntaxReader& r, std::uint64_t v, std::uint64_t max) {
    if (v > max) r.Meaning("(out of range: at most " + std::to_string(max) + ")");
}

void Derive(SyntaxReader& r, std::string_view label, std::string text, std::uint64_t firstBit) {
    if (r.Ok()) r.Derived(label, std::move(text), firstBit, r.Source().BitPos());
}

// The sample aspect ratios of aspect_ratio_idc 1 to 16.
constexpr std::uint16_t kSar[17][2] = {{0, 0},   {1, 1},    {12, 11}, {10, 11}, {16, 11}, {40, 33},
                                       {24, 11}, {20, 11},  {32, 11}, {80, 33}, {18, 11}, {15, 11},
                                       {64, 33}, {160, 99}, {4, 3},   {3, 2},   {2, 1}};

bool IsHighFamily(std::uint32_t profileIdc) {
    switch (profileIdc) {
        case 100:
        case 110:
        case 122:
        case 244:
        case 44:
        case 83:
        case 86:
        case 118:
        case 128:
        case 138:
        case 139:
        case 134:
        case 135:
        case 144:
            return true;
        default:
            return false;
    }
}

// scaling_list(): delta_scale until nextScale reaches 0.
void ScalingList(SyntaxReader& r, std::string heading, unsigned size) {
    r.Heading(std::move(heading));
    int lastScale = 8, nextScale = 8;
    for (unsigned j = 0; j < size && r.Ok(); ++j) {
        if (nextScale != 0) {
            const std::uint64_t first = r.Source().BitPos();
            const auto delta = r.se(Idx("delta_scale", j));
            if (!delta) return;
            if (*delta < -128 || *delta > 127) {
                r.Fail("delta_scale is " + std::to_string(*delta) + ", from -128 to 127");
                return;
            }
            nextScale = (lastScale + *delta + 256) % 256;
            if (j == 0 && nextScale == 0) {
                Derive(r, "useDefaultScalingMatrixFlag", "1 (the default list)", first);
                return;
            }
        }
        lastScale = nextScale == 0 ? lastScale : nextScale;
    }
}

void Hrd(SyntaxReader& r, H264Hrd& hrd, const char* which) {
    r.Heading(std::string("hrd_parameters() of the ") + which + " HRD");
    const auto cpbCntMinus1 = UeAtMost(r, "cpb_cnt_minus1", 31);
    if (!cpbCntMinus1) return;
    hrd.cpbCnt = *cpbCntMinus1 + 1;
    const std::uint64_t bitRateScale = U(r, "bit_rate_scale", 4);
    const std::uint64_t cpbSizeScale = U(r, "cpb_size_scale", 4);
    for (std::uint32_t i = 0; i <= *cpbCntMinus1 && r.Ok(); ++i) {
        const std::uint64_t first = r.Source().BitPos();
        const std::uint64_t rate = (std::uint64_t{Ue(r, Idx("bit_rate_value_minus1", i))} + 1) << (6 + bitRateScale);
        Derive(r, Idx("BitRate", i), std::to_string(rate) + " bits/s", first);
        const std::uint64_t sizeFirst = r.Source().BitPos();
        const std::uint64_t size = (std::uint64_t{Ue(r, Idx("cpb_size_value_minus1", i))} + 1) << (4 + cpbSizeScale);
        Derive(r, Idx("CpbSize", i), std::to_string(size) + " bits", sizeFirst);
        const bool cbr = Flag(r, Idx("cbr_flag", i));
        r.Meaning(cbr ? "constant bit rate" : "variable bit rate");
        if (i == 0) {
            hrd.bitRate = rate;
            hrd.cpbSize = size;
            hrd.cbr = cbr;
        }
    }
    U(r, "initial_cpb_removal_delay_length_minus1", 5);
    U(r, "cpb_removal_delay_length_minus1", 5);
    U(r, "dpb_output_delay_length_minus1", 5);
    U(r, "time_offset_length", 5);
}

void Vui(SyntaxReader& r, H264Vui& vui) {
    r.Heading("vui_parameters()");
    vui.aspectRatioInfo = Flag(r, "aspect_ratio_info_present_flag");
    if (vui.aspectRatioInfo) {
        const std::uint64_t first = r.Source().BitPos();
        vui.aspectRatioIdc = static_cast<std::uint32_t>(U(r, "aspect_ratio_idc", 8));
        if (vui.aspectRatioIdc == 255) {
            r.Meaning("Extended_SAR");
            vui.sarWidth = static_cast<std::uint32_t>(U(r, "sar_width", 16));
            vui.sarHeight = static_cast<std::uint32_t>(U(r, "sar_height", 16));
            if (vui.sarWidth == 0 || vui.sarHeight == 0) {
                Derive(r, "sample aspect ratio", "unspecified (a zero term)", first);
                vui.sarWidth = vui.sarHeight = 0;
            } else {
                Derive(r, "sample aspect ratio", std::to_string(vui.sarWidth) + ":" + std::to_string(vui.sarHeight),
                       first);
            }
        } else if (TableSampleAspectRatio(vui.aspectRatioIdc, vui.sarWidth, vui.sarHeight)) {
            r.Meaning(std::to_string(vui.sarWidth) + ":" + std::to_string(vui.sarHeight));
        } else {
            r.Meaning(vui.aspectRatioIdc == 0 ? "unspecified" : "reserved");
        }
    }
    if (Flag(r, "overscan_info_present_flag")) Flag(r, "overscan_appropriate_flag");
    vui.videoSignalType = Flag(r, "video_signal_type_present_flag");
    if (vui.videoSignalType) {
        vui.videoFormat = static_cast<std::uint32_t>(U(r, "video_format", 3));
        r.Meaning(VideoFormatName(vui.videoFormat));
        vui.fullRange = Flag(r, "video_full_range_flag");
        r.Meaning(FullRangeName(vui.fullRange));
        vui.colourDescription = Flag(r, "colour_description_present_flag");
        if (vui.colourDescription) {
            vui.colourPrimaries = static_cast<std::uint32_t>(U(r, "colour_primaries", 8));
            r.Meaning(ColourPrimariesName(vui.colourPrimaries));
            vui.transferCharacteristics = static_cast<std::uint32_t>(U(r, "transfer_characteristics", 8));
            r.Meaning(TransferCharacteristicsName(vui.transferCharacteristics));
            vui.matrixCoefficients = static_cast<std::uint32_t>(U(r, "matrix_coefficients", 8));
            r.Meaning(MatrixCoefficientsName(vui.matrixCoefficients));
        }
    }
    vui.chromaLocInfo = Flag(r, "chroma_loc_info_present_flag");
    if (vui.chromaLocInfo) {
        vui.chromaSampleLocTypeTop = Ue(r, "chroma_sample_loc_type_top_field");
        NoteMax(r, vui.chromaSampleLocTypeTop, 5);
        vui.chromaSampleLocTypeBottom = Ue(r, "chroma_sample_loc_type_bottom_field");
        NoteMax(r, vui.chromaSampleLocTypeBottom, 5);
    }
    vui.timingInfo = Flag(r, "timing_info_present_flag");
    if (vui.timingInfo) {
        const std::uint64_t first = r.Source().BitPos();
        vui.numUnitsInTick = static_cast<std::uint32_t>(U(r, "num_units_in_tick", 32));
        vui.timeScale = static_cast<std::uint32_t>(U(r, "time_scale", 32));
        if (vui.numUnitsInTick != 0 && vui.timeScale != 0) {
            Derive(r, "nominal frame rate",
                   RateText(vui.timeScale / (2.0 * vui.numUnitsInTick)) + " fps (time_scale / (2 x num_units_in_tick))",
                   first);
        }
        vui.fixedFrameRate = Flag(r, "fixed_frame_rate_flag");
    }
    vui.nalHrd = Flag(r, "nal_hrd_parameters_present_flag");
    if (vui.nalHrd) Hrd(r, vui.nal, "NAL");
    vui.vclHrd = Flag(r, "vcl_hrd_parameters_present_flag");
    if (vui.vclHrd) Hrd(r, vui.vcl, "VCL");
    if (vui.nalHrd || vui.vclHrd) Flag(r, "low_delay_hrd_flag");
    vui.picStruct = Flag(r, "pic_struct_present_flag");
    vui.bitstreamRestriction = Flag(r, "bitstream_restriction_flag");
    if (vui.bitstreamRestriction) {
        Flag(r, "motion_vectors_over_pic_boundaries_flag");
        Ue(r, "max_bytes_per_pic_denom");
        Ue(r, "max_bits_per_mb_denom");
        Ue(r, "log2_max_mv_length_horizontal");
        Ue(r, "log2_max_mv_length_vertical");
        vui.maxNumReorderFrames = Ue(r, "max_num_reorder_frames");
        vui.maxDecFrameBuffering = Ue(r, "max_dec_frame_buffering");
    }
}

void SpsData(SyntaxReader& r, H264Sps& sps) {
    r.Heading("seq_parameter_set_data()");
    const std::uint64_t profileFirst = r.Source().BitPos();
    sps.profileIdc = static_cast<std::uint32_t>(U(r, "profile_idc", 8));
    for (int i = 0; i < 6; ++i)
        sps.constraintFlags |= static_cast<std::uint32_t>(U(r, "constraint_set" + std::to_string(i) + "_flag", 1))
                               << (7 - i);
    sps.constraintFlags |= static_cast<std::uint32_t>(U(r, "reserved_zero_2bits", 2));
    Derive(r, "profile", H264ProfileName(sps.profileIdc, sps.constraintFlags), profileFirst);
    const std::uint64_t levelFirst = r.Source().BitPos();
    sps.levelIdc = static_cast<std::uint32_t>(U(r, "level_idc", 8));
    if (r.Ok()) {
        // Level 1b may hang on constraint_set3_flag: the span runs from profile_idc.
        const bool viaFlag = sps.levelIdc == 11 && (sps.constraintFlags & 0x10) != 0;
        Derive(r, "level", H264LevelText(sps.profileIdc, sps.constraintFlags, sps.levelIdc),
               viaFlag ? profileFirst : levelFirst);
    }
    sps.spsId = Ue(r, "seq_parameter_set_id");
    NoteMax(r, sps.spsId, 31);
    if (IsHighFamily(sps.profileIdc)) {
        const std::uint64_t chromaFirst = r.Source().BitPos();
        const auto chroma = UeAtMost(r, "chroma_format_idc", 3);
        if (!chroma) return;
        sps.chromaFormatIdc = *chroma;
        r.Meaning(ChromaFormatName(*chroma));
        if (*chroma == 3) sps.separateColourPlane = Flag(r, "separate_colour_plane_flag");
        Derive(r, "chroma format",
               ChromaFormatName(sps.chromaFormatIdc) + (sps.separateColourPlane ? ", colour planes coded apart" : ""),
               chromaFirst);
        const std::uint64_t lumaFirst = r.Source().BitPos();
        const std::uint32_t lumaMinus8 = Ue(r, "bit_depth_luma_minus8");
        NoteMax(r, lumaMinus8, 6);
        sps.bitDepthLuma = lumaMinus8 + 8;
        Derive(r, "luma bit depth", std::to_string(sps.bitDepthLuma), lumaFirst);
        const std::uint64_t chromaDepthFirst = r.Source().BitPos();
        const std::uint32_t chromaMinus8 = Ue(r, "bit_depth_chroma_minus8");
        NoteMax(r, chromaMinus8, 6);
        sps.bitDepthChroma = chromaMinus8 + 8;
        if (sps.chromaFormatIdc != 0)
            Derive(r, "chroma bit depth", std::to_string(sps.bitDepthChroma), chromaDepthFirst);
        Flag(r, "qpprime_y_zero_transform_bypass_flag");
        if (Flag(r, "seq_scaling_matrix_present_flag")) {
            const unsigned lists = sps.chromaFormatIdc != 3 ? 8 : 12;
            for (unsigned i = 0; i < lists && r.Ok(); ++i) {
                if (!Flag(r, Idx("seq_scaling_list_present_flag", i))) continue;
                if (i < 6)
                    ScalingList(r, "scaling_list() of ScalingList4x4[" + std::to_string(i) + "]", 16);
                else
                    ScalingList(r, "scaling_list() of ScalingList8x8[" + std::to_string(i - 6) + "]", 64);
            }
        }
    } else if (r.Ok()) {
        r.Derived("chroma format", "4:2:0 (no chroma_format_idc in this profile)", profileFirst, profileFirst + 8);
        r.Derived("luma bit depth", "8", profileFirst, profileFirst + 8);
        r.Derived("chroma bit depth", "8", profileFirst, profileFirst + 8);
    }
    const std::uint32_t log2MaxFrameNumMinus4 = Ue(r, "log2_max_frame_num_minus4");
    NoteMax(r, log2MaxFrameNumMinus4, 12);
    const auto pocType = UeAtMost(r, "pic_order_cnt_type", 2);
    if (!pocType) return;
    sps.picOrderCntType = *pocType;
    if (*pocType == 0) {
        const std::uint32_t lsb = Ue(r, "log2_max_pic_order_cnt_lsb_minus4");
        NoteMax(r, lsb, 12);
    } else if (*pocType == 1) {
        Flag(r, "delta_pic_order_always_zero_flag");
        Se(r, "offset_for_non_ref_pic");
        Se(r, "offset_for_top_to_bottom_field");
        const auto cycle = UeAtMost(r, "num_ref_frames_in_pic_order_cnt_cycle", 255);
        if (!cycle) return;
        for (std::uint32_t i = 0; i < *cycle && r.Ok(); ++i) Se(r, Idx("offset_for_ref_frame", i));
    }
    sps.maxNumRefFrames = Ue(r, "max_num_ref_frames");
    Flag(r, "gaps_in_frame_num_value_allowed_flag");
    const std::uint64_t sizeFirst = r.Source().BitPos();
    const std::uint64_t widthMbs = std::uint64_t{Ue(r, "pic_width_in_mbs_minus1")} + 1;
    const std::uint64_t heightMapUnits = std::uint64_t{Ue(r, "pic_height_in_map_units_minus1")} + 1;
    sps.frameMbsOnly = Flag(r, "frame_mbs_only_flag");
    r.Meaning(sps.frameMbsOnly ? "frames only" : "fields or frames");
    if (!sps.frameMbsOnly) sps.mbAdaptiveFrameField = Flag(r, "mb_adaptive_frame_field_flag");
    Flag(r, "direct_8x8_inference_flag");
    sps.codedWidth = widthMbs * 16;
    sps.codedHeight = heightMapUnits * (sps.frameMbsOnly ? 1 : 2) * 16;
    std::uint64_t cropUnitX = 1, cropUnitY = sps.frameMbsOnly ? 1 : 2;
    const std::uint32_t chromaArrayType = sps.separateColourPlane ? 0 : sps.chromaFormatIdc;
    if (chromaArrayType != 0) {
        cropUnitX = chromaArrayType == 3 ? 1 : 2;
        cropUnitY *= chromaArrayType == 1 ? 2 : 1;
    }
    if (Flag(r, "frame_cropping_flag")) {
        sps.cropLeft = cropUnitX * Ue(r, "frame_crop_left_offset");
        sps.cropRight = cropUnitX * Ue(r, "frame_crop_right_offset");
        sps.cropTop = cropUnitY * Ue(r, "frame_crop_top_offset");
        sps.cropBottom = cropUnitY * Ue(r, "frame_crop_bottom_offset");
    }
    const auto cropped = [](std::uint64_t coded, std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
        if (a + b >= coded) {
            out = 0;
            return "cropping by " + std::to_string(a + b) + " leaves nothing of the coded " + std::to_string(coded);
        }
        out = coded - a - b;
        if (a + b == 0) return std::to_string(out);
        return std::to_string(out) + " (coded " + std::to_string(coded) + ", " + std::to_string(a + b) + " cropped)";
    };
    Derive(r, "width", cropped(sps.codedWidth, sps.cropLeft, sps.cropRight, sps.width), sizeFirst);
    Derive(r, "height", cropped(sps.codedHeight, sps.cropTop, sps.cropBottom, sps.height), sizeFirst);
    sps.vuiPresent = Flag(r, "vui_parameters_present_flag");
    if (sps.vuiPresent) Vui(r, sps.vui);
}

H264SpsExtension ReadSpsExtension(BitSource& src, FieldSink* sink) {
    H264SpsExtension ext;
    SyntaxReader r(src, sink, "seq_parameter_set_extension_rbsp()");
    r.Heading("seq_parameter_set_extension_rbsp()");
    ext.spsId = Ue(r, "seq_parameter_set_id");
    NoteMax(r, ext.spsId, 31);
    const auto aux = UeAtMost(r, "aux_format_idc", 3);
    if (!aux) return ext;
    ext.auxFormatIdc = *aux;
    if (*aux != 0) {
        const auto depthMinus8 = UeAtMost(r, "bit_depth_aux_minus8", 4);
        if (!depthMinus8) return ext;
        ext.bitDepthAux = *depthMinus8 + 8;
        Flag(r, "alpha_incr_flag");
        U(r, "alpha_opaque_value", *depthMinus8 + 9);
        U(r, "alpha_transparent_value", *depthMinus8 + 9);
    }
    Flag(r, "additional_extension_flag");
    ext.complete = ReadRbspTrailingBits(r);
    return ext;
}

H264NalUnit ReadNal(BitSource& src, FieldSink* sink, std::span<const H264Sps> known, int expected) {
    H264NalUnit out;
    SyntaxReader h(src, sink, "nal_unit_header");
    const auto forbidden = h.u("forbidden_zero_bit", 1);
    if (forbidden && *forbidden != 0) h.Meaning("(must be 0)");
    out.nalRefIdc = static_cast<std::uint32_t>(U(h, "nal_ref_idc", 2));
    out.nalUnitType = static_cast<std::uint32_t>(U(h, "nal_unit_type", 5));
    h.Meaning(H264NalUnitTypeName(out.nalUnitType));
    if (!h.Ok()) return out;
    out.headerRead = true;
    if (expected >= 0 && out.nalUnitType != static_cast<std::uint32_t>(expected)) {
        h.Fail("nal_unit_type is " + std::to_string(out.nalUnitType) + ", not " + std::to_string(expected));
        return out;
    }
    switch (out.nalUnitType) {
        case 7:
        case 15: {
            const bool subset = out.nalUnitType == 15;
            SyntaxReader r(src, sink, subset ? "subset_seq_parameter_set_rbsp()" : "seq_parameter_set_rbsp()");
            out.isSps = true;
            SpsData(r, out.sps);
            if (subset) {
                // The SVC and MVC extensions that follow are shown, not read.
                ReadRestAsData(r, "subset_seq_parameter_set_rbsp() extension");
                out.sps.complete = r.Ok();
            } else {
                out.sps.complete = ReadRbspTrailingBits(r);
            }
            break;
        }
        case 8: {
            SyntaxReader r(src, sink, "pic_parameter_set_rbsp()");
            out.isPps = true;
            H264Pps& pps = out.pps;
            r.Heading("pic_parameter_set_rbsp()");
            pps.ppsId = Ue(r, "pic_parameter_set_id");
            NoteMax(r, pps.ppsId, 255);
            pps.spsId = Ue(r, "seq_parameter_set_id");
            NoteMax(r, pps.spsId, 31);
            std::uint32_t chromaFormatIdc = 1;
            for (const H264Sps& s : known)
                if (s.spsId == pps.spsId) chromaFormatIdc = s.chromaFormatIdc;
            pps.entropyCodingMode = Flag(r, "entropy_coding_mode_flag");
            r.Meaning(pps.entropyCodingMode ? "CABAC" : "CAVLC");
            Flag(r, "bottom_field_pic_order_in_frame_present_flag");
            const auto groupsMinus1 = UeAtMost(r, "num_slice_groups_minus1", 7);
            if (!groupsMinus1) return out;
            pps.numSliceGroups = *groupsMinus1 + 1;
            if (*groupsMinus1 > 0) {
                const auto mapType = UeAtMost(r, "slice_group_map_type", 6);
                if (!mapType) return out;
                if (*mapType == 0) {
                    for (std::uint32_t i = 0; i <= *groupsMinus1 && r.Ok(); ++i) Ue(r, Idx("run_length_minus1", i));
                } else if (*mapType == 2) {
                    for (std::uint32_t i = 0; i < *groupsMinus1 && r.Ok(); ++i) {
                        Ue(r, Idx("top_left", i));
                        Ue(r, Idx("bottom_right", i));
                    }
                } else if (*mapType >= 3 && *mapType <= 5) {
                    Flag(r, "slice_group_change_direction_flag");
                    Ue(r, "slice_group_change_rate_minus1");
                } else if (*mapType == 6) {
                    const std::uint64_t units = std::uint64_t{Ue(r, "pic_size_in_map_units_minus1")} + 1;
                    unsigned bits = 0;
                    while ((1u << bits) < pps.numSliceGroups) ++bits;
                    if (r.Ok() && units * bits > src.BitsLeft()) {
                        r.Fail("pic_size_in_map_units_minus1 + 1 is " + std::to_string(units) + ", " +
                               std::to_string(units * bits) + " bits of slice_group_id, " +
                               std::to_string(src.BitsLeft()) + " are left");
                        return out;
                    }
                    for (std::uint64_t i = 0; i < units && r.Ok(); ++i) U(r, Idx("slice_group_id", i), bits);
                }
            }
            NoteMax(r, Ue(r, "num_ref_idx_l0_default_active_minus1"), 31);
            NoteMax(r, Ue(r, "num_ref_idx_l1_default_active_minus1"), 31);
            Flag(r, "weighted_pred_flag");
            if (U(r, "weighted_bipred_idc", 2) == 3) r.Meaning("(reserved)");
            Se(r, "pic_init_qp_minus26");
            Se(r, "pic_init_qs_minus26");
            Se(r, "chroma_qp_index_offset");
            Flag(r, "deblocking_filter_control_present_flag");
            Flag(r, "constrained_intra_pred_flag");
            Flag(r, "redundant_pic_cnt_present_flag");
            if (r.Ok() && src.MoreRbspData()) {
                pps.transform8x8Mode = Flag(r, "transform_8x8_mode_flag");
                pps.picScalingMatrix = Flag(r, "pic_scaling_matrix_present_flag");
                if (pps.picScalingMatrix) {
                    const unsigned lists = 6 + (pps.transform8x8Mode ? (chromaFormatIdc != 3 ? 2 : 6) : 0);
                    for (unsigned i = 0; i < lists && r.Ok(); ++i) {
                        if (!Flag(r, Idx("pic_scaling_list_present_flag", i))) continue;
                        if (i < 6)
                            ScalingList(r, "scaling_list() of ScalingList4x4[" + std::to_string(i) + "]", 16);
                        else
                            ScalingList(r, "scaling_list() of ScalingList8x8[" + std::to_string(i - 6) + "]", 64);
                    }
                }
                Se(r, "second_chroma_qp_index_offset");
            }
            pps.complete = ReadRbspTrailingBits(r);
            break;
        }
        case 13:
            out.isSpsExtension = true;
            out.spsExtension = ReadSpsExtension(src, sink);
            break;
        default: {
            SyntaxReader r(src, sink, "nal_unit()");
            ReadRestAsData(r, "rbsp_byte");
            break;
        }
    }
    return out;
}

}  // namespace

H264Sps ReadH264Sps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, {}, 7).sps;
}

H264Pps ReadH264Pps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                    std::span<const H264Sps> known) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, known, 8).pps;
}

H264SpsExtension ReadH264SpsExtension(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, {}, 13).spsExtension;
}

H264NalUnit ReadH264NalUnit(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                            std::span<const H264Sps> known) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, known, -1);
}

std::string H264ProfileName(std::uint32_t profileIdc, std::uint32_t constraintFlags) {
    const auto set = [&](int i) { return ((constraintFlags >> (7 - i)) & 1) != 0; };
    switch (profileIdc) {
        case 66:
            return set(1) ? "Constrained Baseline" : "Baseline";
        case 77:
            return "Main";
        case 88:
            return "Extended";
        case 100:
            if (set(4) && set(5)) return "Constrained High";
            return set(4) ? "Progressive High" : "High";
        case 110:
            if (set(3)) return "High 10 Intra";
            return set(4) ? "Progressive High 10" : "High 10";
        case 122:
            return set(3) ? "High 4:2:2 Intra" : "High 4:2:2";
        case 244:
            return set(3) ? "High 4:4:4 Intra" : "High 4:4:4 Predictive";
        case 44:
            return "CAVLC 4:4:4 Intra";
        case 144:
            return "High 4:4:4 (withdrawn)";
        case 83:
            return set(5) ? "Scalable Constrained Baseline" : "Scalable Baseline";
        case 86:
            if (set(3)) return "Scalable High Intra";
            return set(5) ? "Scalable Constrained High" : "Scalable High";
        case 118:
            return "Multiview High";
        case 128:
            return "Stereo High";
        case 134:
            return "MFC High";
        case 135:
            return "MFC Depth High";
        case 138:
            return "Multiview Depth High";
        case 139:
            return "Enhanced Multiview Depth High";
        default:
            return "unknown profile " + std::to_string(profileIdc);
    }
}

std::string H264LevelText(std::uint32_t profileIdc, std::uint32_t constraintFlags, std::uint32_t levelIdc) {
    const bool set3 = ((constraintFlags >> 4) & 1) != 0;
    if (levelIdc == 9) return "1b";
    if (levelIdc == 11 && set3 && (profileIdc == 66 || profileIdc == 77 || profileIdc == 88)) return "1b";
    if (levelIdc % 10 == 0) return std::to_string(levelIdc / 10);
    return std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10);
}

std::string H264NalUnitTypeName(std::uint32_t type) {
    switch (type) {
        case 1:
            return "coded slice of a non-IDR picture";
        case 2:
            return "coded slice data partition A";
        case 3:
            return "coded slice data partition B";
        case 4:
            return "coded slice data partition C";
        case 5:
            return "coded slice of an IDR picture";
        case 6:
            return "SEI";
        case 7:
            return "sequence parameter set";
        case 8:
            return "picture parameter set";
        case 9:
            return "access unit delimiter";
        case 10:
            return "end of sequence";
        case 11:
            return "end of stream";
        case 12:
            return "filler data";
        case 13:
            return "sequence parameter set extension";
        case 14:
            return "prefix NAL unit";
        case 15:
            return "subset sequence parameter set";
        case 16:
            return "depth parameter set";
        case 19:
            return "coded slice of an auxiliary picture";
        case 20:
            return "coded slice extension";
        case 21:
            return "coded slice extension for a depth view";
        case 0:
            return "unspecified";
        default:
            return type >= 24 ? "unspecified" : "reserved";
    }
}

std::string ChromaFormatName(std::uint32_t chromaFormatIdc) {
    switch (chromaFormatIdc) {
        case 0:
            return "4:0:0 (monochrome)";
        case 1:
            return "4:2:0";
        case 2:
            return "4:2:2";
        case 3:
            return "4:4:4";
        default:
            return "reserved";
    }
}

bool TableSampleAspectRatio(std::uint32_t aspectRatioIdc, std::uint32_t& width, std::uint32_t& height) {
    if (aspectRatioIdc == 0 || aspectRatioIdc >= std::size(kSar)) {
        width = height = 0;
        return false;
    }
    width = kSar[aspectRatioIdc][0];
    height = kSar[aspectRatioIdc][1];
    return true;
}

bool ReadRbspTrailingBits(SyntaxReader& r) {
    if (!r.Ok()) return false;
    BitSource& s = r.Source();
    if (s.MoreRbspData()) {
        r.Heading("(" + std::to_string(s.BitsLeft()) + " bits remain, more than rbsp_trailing_bits() before the end)");
        return false;
    }
    if (s.BitsLeft() == 0) {
        r.Heading("(no rbsp_trailing_bits(): the NAL unit ends with its last field)");
        return false;
    }
    const auto stop = r.u("rbsp_stop_one_bit", 1);
    if (stop && *stop != 1) return false;  // only zero bits remain: MoreRbspData saw no stop bit
    const unsigned pad = static_cast<unsigned>((8 - s.BitPos() % 8) % 8);
    if (pad != 0) r.u("rbsp_alignment_zero_bit", pad);
    if (s.BitsLeft() >= 8) r.Bytes("trailing_zero_8bits", s.BitsLeft() / 8);
    return r.Ok();
}

void ReadRestAsData(SyntaxReader& r, std::string_view label) {
    if (!r.Ok()) return;
    BitSource& s = r.Source();
    const unsigned pad = static_cast<unsigned>((8 - s.BitPos() % 8) % 8);
    if (pad != 0 && pad <= s.BitsLeft()) r.u(label, pad);
    if (s.BitsLeft() >= 8) r.Bytes(label, s.BitsLeft() / 8);
}


}  // namespace kestrova::codecs
