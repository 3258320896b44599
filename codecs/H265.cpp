#include "codecs/H265.h"

#include <algorithm>
#include <array>

#include "codecs/ColourNames.h"
#include "codecs/H264.h"

namespace kestrova::codecs {
namespace {

std::string Idx(std::string_view name, std::uint64_t i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
}
std::string Idx2(std::string_view name, std::uint64_t i, std::uint64_t j) {
    return Idx(name, i) + "[" + std::to_string(j) + "]";
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

std::optional<std::uint32_t> UeAtMost(SyntaxReader& r, std::string_view label, std::uint32_t max) {
    const auto v = r.ue(label);
    if (v && *v > max) {
        r.Fail(std::string(label) + " is " + std::to_string(*v) + ", at most " + std::to_string(max));
        return std::nullopt;
    }
    return v;
}

void NoteMax(SyntaxReader& r, std::uint64_t v, std::uint64_t max) {
    if (v > max) r.Meaning("(out of range: at most " + std::to_string(max) + ")");
}

void Derive(SyntaxReader& r, std::string_view label, std::string text, std::uint64_t firstBit) {
    if (r.Ok()) r.Derived(label, std::move(text), firstBit, r.Source().BitPos());
}

// A loop of count entries of at least bitsEach bits each must fit the bits that remain.
bool Fits(SyntaxReader& r, std::string_view what, std::uint64_t count, std::uint64_t bitsEach) {
    if (!r.Ok()) return false;
    const std::uint64_t left = r.Source().BitsLeft();
    if (count > 0 && bitsEach > 0 && count > left / bitsEach) {
        r.Fail(std::string(what) + " is " + std::to_string(count) + ": " + std::to_string(count * bitsEach) +
               " bits or more, " + std::to_string(left) + " are left");
        return false;
    }
    return true;
}

// The constraint flags as they sit in the 48 bits from progressive_source_flag (bit 47) on.
struct Constraints {
    explicit Constraints(std::uint64_t c) : c_(c) {}
    bool Bit(int pos) const { return ((c_ >> pos) & 1) != 0; }
    bool Max12() const { return Bit(43); }
    bool Max10() const { return Bit(42); }
    bool Max8() const { return Bit(41); }
    bool Max422() const { return Bit(40); }
    bool Max420() const { return Bit(39); }
    bool Monochrome() const { return Bit(38); }
    bool Intra() const { return Bit(37); }
    bool OnePicture() const { return Bit(36); }
    bool Max14() const { return Bit(34); }
    std::uint64_t c_;
};

bool HasProfile(std::uint32_t profileIdc, std::uint32_t compat, int p) {
    return profileIdc == static_cast<std::uint32_t>(p) || ((compat >> (31 - p)) & 1) != 0;
}

// One layer's 88 bits of profile: general_ or sub_layer_ elements.
void ProfileBits(SyntaxReader& r, const std::string& prefix, const std::string& index, H265ProfileTierLevel& p) {
    const auto name = [&](const char* element) { return prefix + element + index; };
    const std::uint64_t first = r.Source().BitPos();
    p.profileSpace = static_cast<std::uint32_t>(U(r, name("profile_space"), 2));
    if (p.profileSpace != 0) r.Meaning("(reserved)");
    const std::uint64_t tierBit = r.Source().BitPos();
    p.tierFlag = Flag(r, name("tier_flag"));
    p.profileIdc = static_cast<std::uint32_t>(U(r, name("profile_idc"), 5));
    p.compatibilityFlags = static_cast<std::uint32_t>(U(r, name("profile_compatibility_flag") + "[j]", 32));
    if (r.Ok() && p.compatibilityFlags != 0) {
        std::string set = "j =";
        for (int j = 0; j < 32; ++j)
            if ((p.compatibilityFlags >> (31 - j)) & 1) set += " " + std::to_string(j);
        r.Meaning(set);
    }
    std::uint64_t c = 0;
    const auto bits = [&](const std::string& label, unsigned n) { c = c << n | U(r, label, n); };
    bits(name("progressive_source_flag"), 1);
    bits(name("interlaced_source_flag"), 1);
    bits(name("non_packed_constraint_flag"), 1);
    bits(name("frame_only_constraint_flag"), 1);
    const auto has = [&](int q) { return HasProfile(p.profileIdc, p.compatibilityFlags, q); };
    if (has(4) || has(5) || has(6) || has(7) || has(8) || has(9) || has(10) || has(11)) {
        for (const char* f :
             {"max_12bit_constraint_flag", "max_10bit_constraint_flag", "max_8bit_constraint_flag",
              "max_422chroma_constraint_flag", "max_420chroma_constraint_flag", "max_monochrome_constraint_flag",
              "intra_constraint_flag", "one_picture_only_constraint_flag", "lower_bit_rate_constraint_flag"})
            bits(name(f), 1);
        if (has(5) || has(9) || has(10) || has(11)) {
            bits(name("max_14bit_constraint_flag"), 1);
            bits(name("reserved_zero_33bits"), 33);
        } else {
            bits(name("reserved_zero_34bits"), 34);
        }
    } else if (has(2)) {
        bits(name("reserved_zero_7bits"), 7);
        bits(name("one_picture_only_constraint_flag"), 1);
        bits(name("reserved_zero_35bits"), 35);
    } else {
        bits(name("reserved_zero_43bits"), 43);
    }
    if (has(1) || has(2) || has(3) || has(4) || has(5) || has(9) || has(11))
        bits(name("inbld_flag"), 1);
    else
        bits(name("reserved_zero_bit"), 1);
    p.constraintFlags = c;
    if (!r.Ok()) return;
    Derive(r, prefix == "general_" ? "profile" : "sub-layer profile" + index,
           H265ProfileName(p.profileIdc, p.compatibilityFlags, c), first);
    r.Derived(prefix == "general_" ? "tier" : "sub-layer tier" + index, p.tierFlag ? "High" : "Main", tierBit,
              tierBit + 1);
}

void ProfileTierLevel(SyntaxReader& r, bool profilePresent, std::uint32_t maxSubLayersMinus1, H265ProfileTierLevel& p) {
    r.Heading("profile_tier_level()");
    if (profilePresent) ProfileBits(r, "general_", "", p);
    const std::uint64_t levelFirst = r.Source().BitPos();
    p.levelIdc = static_cast<std::uint32_t>(U(r, "general_level_idc", 8));
    Derive(r, "level", H265LevelText(p.levelIdc), levelFirst);
    const std::uint32_t n = std::min<std::uint32_t>(maxSubLayersMinus1, 7);
    std::array<bool, 8> profileFlag{}, levelFlag{};
    for (std::uint32_t i = 0; i < n; ++i) {
        profileFlag[i] = Flag(r, Idx("sub_layer_profile_present_flag", i));
        levelFlag[i] = Flag(r, Idx("sub_layer_level_present_flag", i));
    }
    if (n > 0)
        for (std::uint32_t i = n; i < 8; ++i) U(r, Idx("reserved_zero_2bits", i), 2);
    for (std::uint32_t i = 0; i < n && r.Ok(); ++i) {
        H265ProfileTierLevel sub;
        if (profileFlag[i]) ProfileBits(r, "sub_layer_", "[" + std::to_string(i) + "]", sub);
        if (levelFlag[i]) {
            const std::uint64_t level = U(r, Idx("sub_layer_level_idc", i), 8);
            r.Meaning("level " + H265LevelText(static_cast<std::uint32_t>(level)));
        }
    }
}

void SubLayerHrd(SyntaxReader& r, std::uint32_t subLayer, std::uint32_t cpbCnt, bool subPic, std::uint64_t bitRateScale,
                 std::uint64_t cpbSizeScale, const char* which) {
    r.Heading("sub_layer_hrd_parameters(" + std::to_string(subLayer) + ") of the " + which + " HRD");
    for (std::uint32_t i = 0; i < cpbCnt && r.Ok(); ++i) {
        const std::uint64_t rateFirst = r.Source().BitPos();
        const std::uint64_t rate = (std::uint64_t{Ue(r, Idx("bit_rate_value_minus1", i))} + 1) << (6 + bitRateScale);
        Derive(r, Idx("BitRate", i), std::to_string(rate) + " bits/s", rateFirst);
        const std::uint64_t sizeFirst = r.Source().BitPos();
        const std::uint64_t size = (std::uint64_t{Ue(r, Idx("cpb_size_value_minus1", i))} + 1) << (4 + cpbSizeScale);
        Derive(r, Idx("CpbSize", i), std::to_string(size) + " bits", sizeFirst);
        if (subPic) {
            Ue(r, Idx("cpb_size_du_value_minus1", i));
            Ue(r, Idx("bit_rate_du_value_minus1", i));
        }
        const bool cbr = Flag(r, Idx("cbr_flag", i));
        r.Meaning(cbr ? "constant bit rate" : "variable bit rate");
    }
}

void Hrd(SyntaxReader& r, bool commonInfPresent, std::uint32_t maxSubLayersMinus1) {
    r.Heading("hrd_parameters()");
    bool nal = false, vcl = false, subPic = false;
    std::uint64_t bitRateScale = 0, cpbSizeScale = 0;
    if (commonInfPresent) {
        nal = Flag(r, "nal_hrd_parameters_present_flag");
        vcl = Flag(r, "vcl_hrd_parameters_present_flag");
        if (nal || vcl) {
            subPic = Flag(r, "sub_pic_hrd_params_present_flag");
            if (subPic) {
                U(r, "tick_divisor_minus2", 8);
                U(r, "du_cpb_removal_delay_increment_length_minus1", 5);
                Flag(r, "sub_pic_cpb_params_in_pic_timing_sei_flag");
                U(r, "dpb_output_delay_du_length_minus1", 5);
            }
            bitRateScale = U(r, "bit_rate_scale", 4);
            cpbSizeScale = U(r, "cpb_size_scale", 4);
            if (subPic) U(r, "cpb_size_du_scale", 4);
            U(r, "initial_cpb_removal_delay_length_minus1", 5);
            U(r, "au_cpb_removal_delay_length_minus1", 5);
            U(r, "dpb_output_delay_length_minus1", 5);
        }
    }
    for (std::uint32_t i = 0; i <= std::min<std::uint32_t>(maxSubLayersMinus1, 7) && r.Ok(); ++i) {
        const bool general = Flag(r, Idx("fixed_pic_rate_general_flag", i));
        bool withinCvs = true;
        if (!general) withinCvs = Flag(r, Idx("fixed_pic_rate_within_cvs_flag", i));
        bool lowDelay = false;
        if (withinCvs)
            Ue(r, Idx("elemental_duration_in_tc_minus1", i));
        else
            lowDelay = Flag(r, Idx("low_delay_hrd_flag", i));
        std::uint32_t cpbCnt = 1;
        if (!lowDelay) {
            const auto minus1 = UeAtMost(r, Idx("cpb_cnt_minus1", i), 31);
            if (!minus1) return;
            cpbCnt = *minus1 + 1;
        }
        if (nal) SubLayerHrd(r, i, cpbCnt, subPic, bitRateScale, cpbSizeScale, "NAL");
        if (vcl) SubLayerHrd(r, i, cpbCnt, subPic, bitRateScale, cpbSizeScale, "VCL");
    }
}

void Vui(SyntaxReader& r, H265Vui& vui, std::uint32_t maxSubLayersMinus1) {
    r.Heading("vui_parameters()");
    vui.aspectRatioInfo = Flag(r, "aspect_ratio_info_present_flag");
    if (vui.aspectRatioInfo) {
        const std::uint64_t first = r.Source().BitPos();
        vui.aspectRatioIdc = static_cast<std::uint32_t>(U(r, "aspect_ratio_idc", 8));
        if (vui.aspectRatioIdc == 255) {
            r.Meaning("EXTENDED_SAR");
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
            vui.matrixCoeffs = static_cast<std::uint32_t>(U(r, "matrix_coeffs", 8));
            r.Meaning(MatrixCoefficientsName(vui.matrixCoeffs));
        }
    }
    if (Flag(r, "chroma_loc_info_present_flag")) {
        NoteMax(r, Ue(r, "chroma_sample_loc_type_top_field"), 5);
        NoteMax(r, Ue(r, "chroma_sample_loc_type_bottom_field"), 5);
    }
    Flag(r, "neutral_chroma_indication_flag");
    vui.fieldSeq = Flag(r, "field_seq_flag");
    if (vui.fieldSeq) r.Meaning("each picture a field");
    Flag(r, "frame_field_info_present_flag");
    vui.defaultDisplayWindow = Flag(r, "default_display_window_flag");
    if (vui.defaultDisplayWindow) {
        Ue(r, "def_disp_win_left_offset");
        Ue(r, "def_disp_win_right_offset");
        Ue(r, "def_disp_win_top_offset");
        Ue(r, "def_disp_win_bottom_offset");
    }
    vui.timingInfo = Flag(r, "vui_timing_info_present_flag");
    if (vui.timingInfo) {
        const std::uint64_t first = r.Source().BitPos();
        vui.numUnitsInTick = static_cast<std::uint32_t>(U(r, "vui_num_units_in_tick", 32));
        vui.timeScale = static_cast<std::uint32_t>(U(r, "vui_time_scale", 32));
        if (vui.numUnitsInTick != 0 && vui.timeScale != 0)
            Derive(r, "frame rate",
                   RateText(static_cast<double>(vui.timeScale) / vui.numUnitsInTick) +
                       " fps (vui_time_scale / vui_num_units_in_tick)",
                   first);
        if (Flag(r, "vui_poc_proportional_to_timing_flag")) Ue(r, "vui_num_ticks_poc_diff_one_minus1");
        vui.hrd = Flag(r, "vui_hrd_parameters_present_flag");
        if (vui.hrd) Hrd(r, true, maxSubLayersMinus1);
    }
    if (Flag(r, "bitstream_restriction_flag")) {
        Flag(r, "tiles_fixed_structure_flag");
        Flag(r, "motion_vectors_over_pic_boundaries_flag");
        Flag(r, "restricted_ref_pic_lists_flag");
        NoteMax(r, Ue(r, "min_spatial_segmentation_idc"), 4095);
        Ue(r, "max_bytes_per_pic_denom");
        Ue(r, "max_bits_per_min_cu_denom");
        Ue(r, "log2_max_mv_length_horizontal");
        Ue(r, "log2_max_mv_length_vertical");
    }
}

void ScalingListData(SyntaxReader& r) {
    r.Heading("scaling_list_data()");
    for (unsigned sizeId = 0; sizeId < 4 && r.Ok(); ++sizeId) {
        for (unsigned matrixId = 0; matrixId < 6 && r.Ok(); matrixId += sizeId == 3 ? 3 : 1) {
            if (!Flag(r, Idx2("scaling_list_pred_mode_flag", sizeId, matrixId))) {
                const std::uint32_t delta = Ue(r, Idx2("scaling_list_pred_matrix_id_delta", sizeId, matrixId));
                NoteMax(r, delta, sizeId == 3 ? matrixId / 3 : matrixId);
                continue;
            }
            const unsigned coefNum = std::min(64u, 1u << (4 + (sizeId << 1)));
            if (sizeId > 1) {
                const std::int32_t dc = Se(r, Idx2("scaling_list_dc_coef_minus8", sizeId - 2, matrixId));
                if (dc < -7 || dc > 247) r.Meaning("(out of range: -7 to 247)");
            }
            for (unsigned i = 0; i < coefNum && r.Ok(); ++i) {
                const auto delta = r.se(Idx("scaling_list_delta_coef", i));
                if (delta && (*delta < -128 || *delta > 127)) {
                    r.Fail("scaling_list_delta_coef is " + std::to_string(*delta) + ", from -128 to 127");
                    return;
                }
            }
        }
    }
}

// The delta POCs of one short-term reference picture set, for sets predicted from it.
struct Rps {
    std::uint32_t numNegative = 0, numPositive = 0;
    std::array<std::int64_t, 16> s0{}, s1{};
};

bool StRefPicSet(SyntaxReader& r, std::uint32_t idx, std::span<Rps> sets) {
    r.Heading("st_ref_pic_set(" + std::to_string(idx) + ")");
    Rps& out = sets[idx];
    const bool inter = idx != 0 && Flag(r, "inter_ref_pic_set_prediction_flag");
    if (inter) {
        // In an SPS the set predicts from the one before it (delta_idx_minus1 is 0).
        const Rps& ref = sets[idx - 1];
        const bool sign = Flag(r, "delta_rps_sign");
        const auto absMinus1 = r.ue("abs_delta_rps_minus1");
        if (!absMinus1) return false;
        if (*absMinus1 > 32767) {
            r.Fail("abs_delta_rps_minus1 is " + std::to_string(*absMinus1) + ", at most 32767");
            return false;
        }
        const std::int64_t deltaRps = (sign ? -1 : 1) * (std::int64_t{*absMinus1} + 1);
        const std::uint32_t numDelta = ref.numNegative + ref.numPositive;
        std::array<bool, 33> useDelta{};
        for (std::uint32_t j = 0; j <= numDelta && r.Ok(); ++j) {
            const bool used = Flag(r, Idx("used_by_curr_pic_flag", j));
            useDelta[j] = used || Flag(r, Idx("use_delta_flag", j));
        }
        if (!r.Ok()) return false;
        std::array<std::int64_t, 33> s0{}, s1{};
        std::uint32_t i = 0;
        for (std::int64_t j = static_cast<std::int64_t>(ref.numPositive) - 1; j >= 0; --j) {
            const std::int64_t d = ref.s1[static_cast<std::size_t>(j)] + deltaRps;
            if (d < 0 && useDelta[ref.numNegative + static_cast<std::size_t>(j)]) s0[i++] = d;
        }
        if (deltaRps < 0 && useDelta[numDelta]) s0[i++] = deltaRps;
        for (std::uint32_t j = 0; j < ref.numNegative; ++j) {
            const std::int64_t d = ref.s0[j] + deltaRps;
            if (d < 0 && useDelta[j]) s0[i++] = d;
        }
        const std::uint32_t negatives = i;
        i = 0;
        for (std::int64_t j = static_cast<std::int64_t>(ref.numNegative) - 1; j >= 0; --j) {
            const std::int64_t d = ref.s0[static_cast<std::size_t>(j)] + deltaRps;
            if (d > 0 && useDelta[static_cast<std::size_t>(j)]) s1[i++] = d;
        }
        if (deltaRps > 0 && useDelta[numDelta]) s1[i++] = deltaRps;
        for (std::uint32_t j = 0; j < ref.numPositive; ++j) {
            const std::int64_t d = ref.s1[j] + deltaRps;
            if (d > 0 && useDelta[ref.numNegative + j]) s1[i++] = d;
        }
        if (negatives + i > 16) {
            r.Fail("the predicted set holds " + std::to_string(negatives + i) + " pictures, at most 16");
            return false;
        }
        out.numNegative = negatives;
        out.numPositive = i;
        std::copy_n(s0.begin(), negatives, out.s0.begin());
        std::copy_n(s1.begin(), i, out.s1.begin());
        return true;
    }
    const auto negatives = UeAtMost(r, "num_negative_pics", 16);
    if (!negatives) return false;
    const auto positives = UeAtMost(r, "num_positive_pics", 16 - *negatives);
    if (!positives) return false;
    std::int64_t poc = 0;
    for (std::uint32_t i = 0; i < *negatives && r.Ok(); ++i) {
        poc -= std::int64_t{Ue(r, Idx("delta_poc_s0_minus1", i))} + 1;
        out.s0[i] = poc;
        Flag(r, Idx("used_by_curr_pic_s0_flag", i));
    }
    poc = 0;
    for (std::uint32_t i = 0; i < *positives && r.Ok(); ++i) {
        poc += std::int64_t{Ue(r, Idx("delta_poc_s1_minus1", i))} + 1;
        out.s1[i] = poc;
        Flag(r, Idx("used_by_curr_pic_s1_flag", i));
    }
    out.numNegative = *negatives;
    out.numPositive = *positives;
    return r.Ok();
}

void SubLayerOrdering(SyntaxReader& r, const char* prefix, std::uint32_t maxSubLayersMinus1) {
    const std::string p = prefix;
    const bool all = Flag(r, p + "_sub_layer_ordering_info_present_flag");
    for (std::uint32_t i = all ? 0 : maxSubLayersMinus1; i <= maxSubLayersMinus1 && r.Ok(); ++i) {
        Ue(r, Idx(p + "_max_dec_pic_buffering_minus1", i));
        Ue(r, Idx(p + "_max_num_reorder_pics", i));
        Ue(r, Idx(p + "_max_latency_increase_plus1", i));
    }
}

std::string Cropped(std::uint64_t coded, std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
    if (a + b >= coded) {
        out = 0;
        return "a window of " + std::to_string(a + b) + " leaves nothing of the coded " + std::to_string(coded);
    }
    out = coded - a - b;
    if (a + b == 0) return std::to_string(out);
    return std::to_string(out) + " (coded " + std::to_string(coded) + ", " + std::to_string(a + b) +
           " outside the window)";
}

void Vps(SyntaxReader& r, H265Vps& vps) {
    r.Heading("video_parameter_set_rbsp()");
    vps.vpsId = static_cast<std::uint32_t>(U(r, "vps_video_parameter_set_id", 4));
    Flag(r, "vps_base_layer_internal_flag");
    Flag(r, "vps_base_layer_available_flag");
    U(r, "vps_max_layers_minus1", 6);
    vps.maxSubLayersMinus1 = static_cast<std::uint32_t>(U(r, "vps_max_sub_layers_minus1", 3));
    NoteMax(r, vps.maxSubLayersMinus1, 6);
    Flag(r, "vps_temporal_id_nesting_flag");
    if (U(r, "vps_reserved_0xffff_16bits", 16) != 0xFFFF && r.Ok()) r.Meaning("(should be 0xFFFF)");
    ProfileTierLevel(r, true, vps.maxSubLayersMinus1, vps.ptl);
    SubLayerOrdering(r, "vps", vps.maxSubLayersMinus1);
    const std::uint32_t maxLayerId = static_cast<std::uint32_t>(U(r, "vps_max_layer_id", 6));
    const auto layerSetsMinus1 = UeAtMost(r, "vps_num_layer_sets_minus1", 1023);
    if (!layerSetsMinus1) return;
    if (!Fits(r, "vps_num_layer_sets_minus1", *layerSetsMinus1, maxLayerId + 1)) return;
    for (std::uint32_t i = 1; i <= *layerSetsMinus1 && r.Ok(); ++i)
        for (std::uint32_t j = 0; j <= maxLayerId && r.Ok(); ++j) Flag(r, Idx2("layer_id_included_flag", i, j));
    vps.timingInfo = Flag(r, "vps_timing_info_present_flag");
    if (vps.timingInfo) {
        const std::uint64_t first = r.Source().BitPos();
        vps.numUnitsInTick = static_cast<std::uint32_t>(U(r, "vps_num_units_in_tick", 32));
        vps.timeScale = static_cast<std::uint32_t>(U(r, "vps_time_scale", 32));
        if (vps.numUnitsInTick != 0 && vps.timeScale != 0)
            Derive(r, "frame rate",
                   RateText(static_cast<double>(vps.timeScale) / vps.numUnitsInTick) +
                       " fps (vps_time_scale / vps_num_units_in_tick)",
                   first);
        if (Flag(r, "vps_poc_proportional_to_timing_flag")) Ue(r, "vps_num_ticks_poc_diff_one_minus1");
        const auto hrds = UeAtMost(r, "vps_num_hrd_parameters", *layerSetsMinus1 + 1);
        if (!hrds) return;
        for (std::uint32_t i = 0; i < *hrds && r.Ok(); ++i) {
            Ue(r, Idx("hrd_layer_set_idx", i));
            const bool common = i == 0 || Flag(r, Idx("cprms_present_flag", i));
            Hrd(r, common, vps.maxSubLayersMinus1);
        }
    }
    if (Flag(r, "vps_extension_flag")) {
        ReadRestAsData(r, "vps_extension()");
        vps.complete = r.Ok();
        return;
    }
    vps.complete = ReadRbspTrailingBits(r);
}

void Sps(SyntaxReader& r, H265Sps& sps) {
    r.Heading("seq_parameter_set_rbsp()");
    sps.vpsId = static_cast<std::uint32_t>(U(r, "sps_video_parameter_set_id", 4));
    sps.maxSubLayersMinus1 = static_cast<std::uint32_t>(
        U(r, sps.nuhLayerId == 0 ? "sps_max_sub_layers_minus1" : "sps_ext_or_max_sub_layers_minus1", 3));
    if (sps.nuhLayerId != 0 && sps.maxSubLayersMinus1 == 7) {
        r.Fail("MultiLayerExtSpsFlag is 1: this layer's SPS takes its format from the VPS extension");
        return;
    }
    NoteMax(r, sps.maxSubLayersMinus1, 6);
    Flag(r, "sps_temporal_id_nesting_flag");
    ProfileTierLevel(r, true, sps.maxSubLayersMinus1, sps.ptl);
    const auto spsId = UeAtMost(r, "sps_seq_parameter_set_id", 15);
    if (!spsId) return;
    sps.spsId = *spsId;
    const std::uint64_t chromaFirst = r.Source().BitPos();
    const auto chroma = UeAtMost(r, "chroma_format_idc", 3);
    if (!chroma) return;
    sps.chromaFormatIdc = *chroma;
    r.Meaning(ChromaFormatName(*chroma));
    if (*chroma == 3) sps.separateColourPlane = Flag(r, "separate_colour_plane_flag");
    Derive(r, "chroma format",
           ChromaFormatName(sps.chromaFormatIdc) + (sps.separateColourPlane ? ", colour planes coded apart" : ""),
           chromaFirst);
    const std::uint64_t sizeFirst = r.Source().BitPos();
    sps.codedWidth = Ue(r, "pic_width_in_luma_samples");
    sps.codedHeight = Ue(r, "pic_height_in_luma_samples");
    const std::uint32_t chromaArrayType = sps.separateColourPlane ? 0 : sps.chromaFormatIdc;
    const std::uint64_t subWidthC = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
    const std::uint64_t subHeightC = chromaArrayType == 1 ? 2 : 1;
    if (Flag(r, "conformance_window_flag")) {
        sps.confLeft = subWidthC * Ue(r, "conf_win_left_offset");
        sps.confRight = subWidthC * Ue(r, "conf_win_right_offset");
        sps.confTop = subHeightC * Ue(r, "conf_win_top_offset");
        sps.confBottom = subHeightC * Ue(r, "conf_win_bottom_offset");
    }
    Derive(r, "width", Cropped(sps.codedWidth, sps.confLeft, sps.confRight, sps.width), sizeFirst);
    Derive(r, "height", Cropped(sps.codedHeight, sps.confTop, sps.confBottom, sps.height), sizeFirst);
    const std::uint64_t lumaFirst = r.Source().BitPos();
    const std::uint32_t lumaMinus8 = Ue(r, "bit_depth_luma_minus8");
    NoteMax(r, lumaMinus8, 8);
    sps.bitDepthLuma = lumaMinus8 + 8;
    Derive(r, "luma bit depth", std::to_string(sps.bitDepthLuma), lumaFirst);
    const std::uint64_t chromaDepthFirst = r.Source().BitPos();
    const std::uint32_t chromaMinus8 = Ue(r, "bit_depth_chroma_minus8");
    NoteMax(r, chromaMinus8, 8);
    sps.bitDepthChroma = chromaMinus8 + 8;
    if (chromaArrayType != 0 || sps.separateColourPlane)
        Derive(r, "chroma bit depth", std::to_string(sps.bitDepthChroma), chromaDepthFirst);
    const auto pocLsbMinus4 = UeAtMost(r, "log2_max_pic_order_cnt_lsb_minus4", 12);
    if (!pocLsbMinus4) return;
    SubLayerOrdering(r, "sps", std::min<std::uint32_t>(sps.maxSubLayersMinus1, 7));
    const std::uint32_t minCbMinus3 = Ue(r, "log2_min_luma_coding_block_size_minus3");
    const std::uint32_t diffCb = Ue(r, "log2_diff_max_min_luma_coding_block_size");
    sps.log2MinCbSize = std::min<std::uint32_t>(minCbMinus3, 60) + 3;
    sps.log2CtbSize = std::min<std::uint32_t>(sps.log2MinCbSize + std::min<std::uint32_t>(diffCb, 60), 63);
    Ue(r, "log2_min_luma_transform_block_size_minus2");
    Ue(r, "log2_diff_max_min_luma_transform_block_size");
    Ue(r, "max_transform_hierarchy_depth_inter");
    Ue(r, "max_transform_hierarchy_depth_intra");
    if (Flag(r, "scaling_list_enabled_flag"))
        if (Flag(r, "sps_scaling_list_data_present_flag")) ScalingListData(r);
    Flag(r, "amp_enabled_flag");
    Flag(r, "sample_adaptive_offset_enabled_flag");
    if (Flag(r, "pcm_enabled_flag")) {
        U(r, "pcm_sample_bit_depth_luma_minus1", 4);
        U(r, "pcm_sample_bit_depth_chroma_minus1", 4);
        Ue(r, "log2_min_pcm_luma_coding_block_size_minus3");
        Ue(r, "log2_diff_max_min_pcm_luma_coding_block_size");
        Flag(r, "pcm_loop_filter_disabled_flag");
    }
    const auto numSets = UeAtMost(r, "num_short_term_ref_pic_sets", 64);
    if (!numSets) return;
    std::array<Rps, 64> sets{};
    for (std::uint32_t i = 0; i < *numSets && r.Ok(); ++i)
        if (!StRefPicSet(r, i, sets)) return;
    if (Flag(r, "long_term_ref_pics_present_flag")) {
        const auto numLt = UeAtMost(r, "num_long_term_ref_pics_sps", 32);
        if (!numLt) return;
        for (std::uint32_t i = 0; i < *numLt && r.Ok(); ++i) {
            U(r, Idx("lt_ref_pic_poc_lsb_sps", i), *pocLsbMinus4 + 4);
            Flag(r, Idx("used_by_curr_pic_lt_sps_flag", i));
        }
    }
    Flag(r, "sps_temporal_mvp_enabled_flag");
    Flag(r, "strong_intra_smoothing_enabled_flag");
    sps.vuiPresent = Flag(r, "vui_parameters_present_flag");
    if (sps.vuiPresent) Vui(r, sps.vui, std::min<std::uint32_t>(sps.maxSubLayersMinus1, 7));
    std::uint64_t extension4 = 0;
    if (Flag(r, "sps_extension_present_flag")) {
        sps.rangeExtension = Flag(r, "sps_range_extension_flag");
        sps.multilayerExtension = Flag(r, "sps_multilayer_extension_flag");
        sps.extension3d = Flag(r, "sps_3d_extension_flag");
        sps.sccExtension = Flag(r, "sps_scc_extension_flag");
        extension4 = U(r, "sps_extension_4bits", 4);
    }
    if (sps.rangeExtension) {
        r.Heading("sps_range_extension()");
        for (const char* f :
             {"transform_skip_rotation_enabled_flag", "transform_skip_context_enabled_flag",
              "implicit_rdpcm_enabled_flag", "explicit_rdpcm_enabled_flag", "extended_precision_processing_flag",
              "intra_smoothing_disabled_flag", "high_precision_offsets_enabled_flag",
              "persistent_rice_adaptation_enabled_flag", "cabac_bypass_alignment_enabled_flag"})
            Flag(r, f);
    }
    if (sps.multilayerExtension) {
        r.Heading("sps_multilayer_extension()");
        Flag(r, "inter_view_mv_vert_constraint_flag");
    }
    if (sps.extension3d) {
        // The 3D extension and whatever follows it are shown, not read.
        ReadRestAsData(r, "sps_3d_extension()");
        sps.complete = r.Ok();
        return;
    }
    if (sps.sccExtension) {
        r.Heading("sps_scc_extension()");
        Flag(r, "sps_curr_pic_ref_enabled_flag");
        if (Flag(r, "palette_mode_enabled_flag")) {
            Ue(r, "palette_max_size");
            Ue(r, "delta_palette_max_predictor_size");
            if (Flag(r, "sps_palette_predictor_initializers_present_flag")) {
                const auto minus1 = UeAtMost(r, "sps_num_palette_predictor_initializers_minus1", 127);
                if (!minus1) return;
                const unsigned comps = sps.chromaFormatIdc == 0 ? 1 : 3;
                if (!Fits(r, "sps_num_palette_predictor_initializers_minus1 + 1", std::uint64_t{*minus1 + 1} * comps,
                          std::min(sps.bitDepthLuma, sps.bitDepthChroma)))
                    return;
                for (unsigned comp = 0; comp < comps && r.Ok(); ++comp)
                    for (std::uint32_t i = 0; i <= *minus1 && r.Ok(); ++i)
                        U(r, Idx2("sps_palette_predictor_initializer", comp, i),
                          std::min(comp == 0 ? sps.bitDepthLuma : sps.bitDepthChroma, 64u));
            }
        }
        if (U(r, "motion_vector_resolution_control_idc", 2) == 3) r.Meaning("(reserved)");
        Flag(r, "intra_boundary_filtering_disabled_flag");
    }
    if (extension4 != 0) {
        ReadRestAsData(r, "sps_extension_data_flag");
        sps.complete = r.Ok();
        return;
    }
    sps.complete = ReadRbspTrailingBits(r);
}

void Pps(SyntaxReader& r, H265Pps& pps, std::span<const H265Sps> known) {
    r.Heading("pic_parameter_set_rbsp()");
    const auto ppsId = UeAtMost(r, "pps_pic_parameter_set_id", 63);
    if (!ppsId) return;
    pps.ppsId = *ppsId;
    const auto spsId = UeAtMost(r, "pps_seq_parameter_set_id", 15);
    if (!spsId) return;
    pps.spsId = *spsId;
    const H265Sps* sps = nullptr;
    for (const H265Sps& s : known)
        if (s.spsId == pps.spsId) sps = &s;
    Flag(r, "dependent_slice_segments_enabled_flag");
    Flag(r, "output_flag_present_flag");
    U(r, "num_extra_slice_header_bits", 3);
    Flag(r, "sign_data_hiding_enabled_flag");
    Flag(r, "cabac_init_present_flag");
    NoteMax(r, Ue(r, "num_ref_idx_l0_default_active_minus1"), 14);
    NoteMax(r, Ue(r, "num_ref_idx_l1_default_active_minus1"), 14);
    Se(r, "init_qp_minus26");
    Flag(r, "constrained_intra_pred_flag");
    const bool transformSkip = Flag(r, "transform_skip_enabled_flag");
    if (Flag(r, "cu_qp_delta_enabled_flag")) Ue(r, "diff_cu_qp_delta_depth");
    Se(r, "pps_cb_qp_offset");
    Se(r, "pps_cr_qp_offset");
    Flag(r, "pps_slice_chroma_qp_offsets_present_flag");
    Flag(r, "weighted_pred_flag");
    Flag(r, "weighted_bipred_flag");
    Flag(r, "transquant_bypass_enabled_flag");
    pps.tilesEnabled = Flag(r, "tiles_enabled_flag");
    pps.entropyCodingSync = Flag(r, "entropy_coding_sync_enabled_flag");
    if (pps.tilesEnabled) {
        // Without the SPS only the bits that remain bound the tile counts.
        const std::uint64_t ctb = sps ? (std::uint64_t{1} << std::min<std::uint32_t>(sps->log2CtbSize, 16)) : 0;
        const std::uint64_t widthCtbs = sps ? (sps->codedWidth + ctb - 1) / ctb : 0;
        const std::uint64_t heightCtbs = sps ? (sps->codedHeight + ctb - 1) / ctb : 0;
        const auto columnsMinus1 = r.ue("num_tile_columns_minus1");
        const auto rowsMinus1 = r.ue("num_tile_rows_minus1");
        if (!columnsMinus1 || !rowsMinus1) return;
        if (sps && (*columnsMinus1 >= std::max<std::uint64_t>(widthCtbs, 1) ||
                    *rowsMinus1 >= std::max<std::uint64_t>(heightCtbs, 1))) {
            r.Fail("tiles of " + std::to_string(*columnsMinus1 + 1ull) + " columns and " +
                   std::to_string(*rowsMinus1 + 1ull) + " rows, the picture has " + std::to_string(widthCtbs) + " by " +
                   std::to_string(heightCtbs) + " CTBs");
            return;
        }
        if (!Flag(r, "uniform_spacing_flag")) {
            if (!Fits(r, "num_tile_columns_minus1 + num_tile_rows_minus1", std::uint64_t{*columnsMinus1} + *rowsMinus1,
                      1))
                return;
            for (std::uint32_t i = 0; i < *columnsMinus1 && r.Ok(); ++i) Ue(r, Idx("column_width_minus1", i));
            for (std::uint32_t i = 0; i < *rowsMinus1 && r.Ok(); ++i) Ue(r, Idx("row_height_minus1", i));
        }
        Flag(r, "loop_filter_across_tiles_enabled_flag");
    }
    Flag(r, "pps_loop_filter_across_slices_enabled_flag");
    if (Flag(r, "deblocking_filter_control_present_flag")) {
        Flag(r, "deblocking_filter_override_enabled_flag");
        if (!Flag(r, "pps_deblocking_filter_disabled_flag")) {
            Se(r, "pps_beta_offset_div2");
            Se(r, "pps_tc_offset_div2");
        }
    }
    if (Flag(r, "pps_scaling_list_data_present_flag")) ScalingListData(r);
    Flag(r, "lists_modification_present_flag");
    Ue(r, "log2_parallel_merge_level_minus2");
    Flag(r, "slice_segment_header_extension_present_flag");
    bool multilayer = false, ext3d = false;
    std::uint64_t extension4 = 0;
    if (Flag(r, "pps_extension_present_flag")) {
        pps.rangeExtension = Flag(r, "pps_range_extension_flag");
        multilayer = Flag(r, "pps_multilayer_extension_flag");
        ext3d = Flag(r, "pps_3d_extension_flag");
        pps.sccExtension = Flag(r, "pps_scc_extension_flag");
        extension4 = U(r, "pps_extension_4bits", 4);
    }
    if (pps.rangeExtension) {
        r.Heading("pps_range_extension()");
        if (transformSkip) Ue(r, "log2_max_transform_skip_block_size_minus2");
        Flag(r, "cross_component_prediction_enabled_flag");
        if (Flag(r, "chroma_qp_offset_list_enabled_flag")) {
            Ue(r, "diff_cu_chroma_qp_offset_depth");
            const auto lenMinus1 = UeAtMost(r, "chroma_qp_offset_list_len_minus1", 5);
            if (!lenMinus1) return;
            for (std::uint32_t i = 0; i <= *lenMinus1 && r.Ok(); ++i) {
                Se(r, Idx("cb_qp_offset_list", i));
                Se(r, Idx("cr_qp_offset_list", i));
            }
        }
        Ue(r, "log2_sao_offset_scale_luma");
        Ue(r, "log2_sao_offset_scale_chroma");
    }
    if (multilayer || ext3d) {
        // The multilayer and 3D extensions and whatever follows them are shown, not read.
        ReadRestAsData(r, multilayer ? "pps_multilayer_extension()" : "pps_3d_extension()");
        pps.complete = r.Ok();
        return;
    }
    if (pps.sccExtension) {
        r.Heading("pps_scc_extension()");
        Flag(r, "pps_curr_pic_ref_enabled_flag");
        if (Flag(r, "residual_adaptive_colour_transform_enabled_flag")) {
            Flag(r, "pps_slice_act_qp_offsets_present_flag");
            Se(r, "pps_act_y_qp_offset_plus5");
            Se(r, "pps_act_cb_qp_offset_plus5");
            Se(r, "pps_act_cr_qp_offset_plus3");
        }
        if (Flag(r, "pps_palette_predictor_initializers_present_flag")) {
            const auto count = UeAtMost(r, "pps_num_palette_predictor_initializers", 128);
            if (!count) return;
            if (*count > 0) {
                const bool mono = Flag(r, "monochrome_palette_flag");
                const auto lumaMinus8 = UeAtMost(r, "luma_bit_depth_entry_minus8", 8);
                if (!lumaMinus8) return;
                std::uint32_t chromaMinus8 = 0;
                if (!mono) {
                    const auto c = UeAtMost(r, "chroma_bit_depth_entry_minus8", 8);
                    if (!c) return;
                    chromaMinus8 = *c;
                }
                const unsigned comps = mono ? 1 : 3;
                for (unsigned comp = 0; comp < comps && r.Ok(); ++comp)
                    for (std::uint32_t i = 0; i < *count && r.Ok(); ++i)
                        U(r, Idx2("pps_palette_predictor_initializer", comp, i),
                          (comp == 0 ? *lumaMinus8 : chromaMinus8) + 8);
            }
        }
    }
    if (extension4 != 0) {
        ReadRestAsData(r, "pps_extension_data_flag");
        pps.complete = r.Ok();
        return;
    }
    pps.complete = ReadRbspTrailingBits(r);
}

// A payloadType or payloadSize: 0xFF bytes that each add 255, then the last byte.
std::optional<std::uint64_t> SeiNumber(SyntaxReader& r, const char* lastLabel) {
    std::uint64_t value = 0;
    while (r.Ok() && r.Source().BitsLeft() >= 8 && r.Source().Peek(8) == 0xFF) {
        U(r, "ff_byte", 8);
        value += 255;
    }
    const auto last = r.u(lastLabel, 8);
    if (!last) return std::nullopt;
    return value + *last;
}

std::string SeiPayloadName(std::uint64_t type) {
    switch (type) {
        case 0:
            return "buffering period";
        case 1:
            return "picture timing";
        case 4:
            return "registered user data";
        case 5:
            return "unregistered user data";
        case 6:
            return "recovery point";
        case 129:
            return "active parameter sets";
        case 130:
            return "decoding unit info";
        case 132:
            return "decoded picture hash";
        case 137:
            return "mastering display colour volume";
        case 144:
            return "content light level information";
        case 147:
            return "alternative transfer characteristics";
        default:
            return "";
    }
}

// Units of 0.0001 cd/m2.
std::string Luminance(std::uint64_t v) {
    std::string frac = std::to_string(v % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    return std::to_string(v / 10000) + (frac.empty() ? "" : "." + frac) + " cd/m2";
}

// The SEI messages: the mastering display, content light level and user data
// payloads decoded, others as bytes.
void Sei(SyntaxReader& r) {
    r.Heading("sei_rbsp()");
    BitSource& s = r.Source();
    for (int n = 0; r.Ok() && s.BitsLeft() >= 16 && s.MoreRbspData(); ++n) {
        r.Heading("sei_message() #" + std::to_string(n + 1));
        const auto type = SeiNumber(r, "last_payload_type_byte");
        if (!type) return;
        const std::string name = SeiPayloadName(*type);
        r.Meaning(name.empty() ? "payloadType " + std::to_string(*type)
                               : "payloadType " + std::to_string(*type) + ", " + name);
        const auto size = SeiNumber(r, "last_payload_size_byte");
        if (!size) return;
        if (*size * 8 > s.BitsLeft()) {
            r.Fail("payloadSize is " + std::to_string(*size) + ", " + std::to_string(s.BitsLeft() / 8) +
                   " bytes are left");
            return;
        }
        const std::uint64_t end = s.BitPos() + *size * 8;
        if (*type == 137 && *size == 24) {
            for (int c = 0; c < 3; ++c) {
                U(r, Idx("display_primaries_x", c), 16);
                U(r, Idx("display_primaries_y", c), 16);
            }
            U(r, "white_point_x", 16);
            U(r, "white_point_y", 16);
            r.Meaning(Luminance(U(r, "max_display_mastering_luminance", 32)));
            r.Meaning(Luminance(U(r, "min_display_mastering_luminance", 32)));
        } else if (*type == 144 && *size == 4) {
            const std::uint64_t cll = U(r, "max_content_light_level", 16);
            r.Meaning(std::to_string(cll) + " cd/m2");
            const std::uint64_t fall = U(r, "max_pic_average_light_level", 16);
            r.Meaning(std::to_string(fall) + " cd/m2");
        } else if (*type == 5 && *size >= 16) {
            r.Bytes("uuid_iso_iec_11578", 16);
            const std::uint64_t rest = *size - 16;
            const auto data = s.Data();
            const std::uint64_t at = s.BitPos() / 8;
            bool text = rest > 0;
            for (std::uint64_t i = 0; i < rest && text; ++i) {
                const std::uint8_t c = data[at + i];
                text = (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t' || (c == 0 && i + 1 == rest);
            }
            if (text) {
                // Encoders leave their settings here as text.
                std::string shown(reinterpret_cast<const char*>(data.data() + at), rest);
                if (!shown.empty() && shown.back() == '\0') shown.pop_back();
                for (char& c : shown)
                    if (c == '\n' || c == '\t') c = ' ';
                if (r.Sink() && r.Ok())
                    r.Sink()->TextField("user_data_payload_byte", "\"" + shown + "\"", s.FileRange(s.BitPos(), end));
                s.SeekBit(end);
            } else if (rest > 0) {
                r.Bytes("user_data_payload_byte", rest);
            }
        } else if (*size > 0) {
            r.Bytes("sei_payload()", *size);
        }
        if (!r.Ok()) return;
        s.SeekBit(end);
    }
    ReadRbspTrailingBits(r);
}

H265NalUnit ReadNal(BitSource& src, FieldSink* sink, std::span<const H265Sps> known, int expected) {
    H265NalUnit out;
    SyntaxReader h(src, sink, "nal_unit_header()");
    const auto forbidden = h.u("forbidden_zero_bit", 1);
    if (forbidden && *forbidden != 0) h.Meaning("(must be 0)");
    out.nalUnitType = static_cast<std::uint32_t>(U(h, "nal_unit_type", 6));
    h.Meaning(H265NalUnitTypeName(out.nalUnitType));
    out.nuhLayerId = static_cast<std::uint32_t>(U(h, "nuh_layer_id", 6));
    out.nuhTemporalIdPlus1 = static_cast<std::uint32_t>(U(h, "nuh_temporal_id_plus1", 3));
    if (h.Ok() && out.nuhTemporalIdPlus1 == 0) h.Meaning("(must not be 0)");
    if (!h.Ok()) return out;
    out.headerRead = true;
    if (expected >= 0 && out.nalUnitType != static_cast<std::uint32_t>(expected)) {
        h.Fail("nal_unit_type is " + std::to_string(out.nalUnitType) + ", not " + std::to_string(expected));
        return out;
    }
    switch (out.nalUnitType) {
        case 32: {
            SyntaxReader r(src, sink, "video_parameter_set_rbsp()");
            out.isVps = true;
            Vps(r, out.vps);
            break;
        }
        case 33: {
            SyntaxReader r(src, sink, "seq_parameter_set_rbsp()");
            out.isSps = true;
            out.sps.nuhLayerId = out.nuhLayerId;
            Sps(r, out.sps);
            break;
        }
        case 34: {
            SyntaxReader r(src, sink, "pic_parameter_set_rbsp()");
            out.isPps = true;
            Pps(r, out.pps, known);
            break;
        }
        case 39:
        case 40: {
            SyntaxReader r(src, sink, "sei_rbsp()");
            Sei(r);
            break;
        }
        default: {
            SyntaxReader r(src, sink, "nal_unit()");
            ReadRestAsData(r, "rbsp_byte");
            break;
        }
    }
    return out;
}

std::string RangeExtensionsName(const Constraints& c) {
    const unsigned depth = c.Max8() ? 8 : c.Max10() ? 10 : c.Max12() ? 12 : 16;
    std::string name;
    if (c.Monochrome()) {
        name = "Monochrome";
    } else {
        name = "Main";
        if (!c.Max420()) name += c.Max422() ? " 4:2:2" : " 4:4:4";
    }
    if (depth != 8) name += " " + std::to_string(depth);
    if (c.OnePicture())
        name += " Still Picture";
    else if (c.Intra())
        name += " Intra";
    return name;
}

}  // namespace

H265Vps ReadH265Vps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, {}, 32).vps;
}

H265Sps ReadH265Sps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, {}, 33).sps;
}

H265Pps ReadH265Pps(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                    std::span<const H265Sps> known) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, known, 34).pps;
}

H265NalUnit ReadH265NalUnit(std::span<const std::uint8_t> nal, std::uint64_t fileOffset, FieldSink* sink,
                            std::span<const H265Sps> known) {
    BitSource src = BitSource::Nal(nal, fileOffset);
    return ReadNal(src, sink, known, -1);
}

std::string H265ProfileName(std::uint32_t profileIdc, std::uint32_t compatibilityFlags, std::uint64_t constraintFlags) {
    std::uint32_t p = profileIdc;
    for (std::uint32_t j = 1; p == 0 && j < 32; ++j)
        if ((compatibilityFlags >> (31 - j)) & 1) p = j;
    const Constraints c(constraintFlags);
    switch (p) {
        case 1:
            return "Main";
        case 2:
            return c.OnePicture() ? "Main 10 Still Picture" : "Main 10";
        case 3:
            return "Main Still Picture";
        case 4:
            return RangeExtensionsName(c) + " (range extensions)";
        case 5: {
            if (c.Max8()) return "High Throughput 4:4:4";
            if (c.Max10()) return "High Throughput 4:4:4 10";
            if (c.Max14()) return "High Throughput 4:4:4 14";
            return "High Throughput 4:4:4 16 Intra";
        }
        case 6:
            return "Multiview Main";
        case 7:
            return c.Max8() ? "Scalable Main" : "Scalable Main 10";
        case 8:
            return "3D Main";
        case 9: {
            if (!c.Max12()) return "Screen-Extended High Throughput 4:4:4 14";
            std::string name = "Screen-Extended Main";
            if (!c.Max420()) name += " 4:4:4";
            if (!c.Max8()) name += " 10";
            return name + " (screen content coding)";
        }
        case 10:
            return "Scalable " + RangeExtensionsName(c);
        case 11: {
            std::string name = "Screen-Extended High Throughput 4:4:4";
            if (!c.Max8()) name += c.Max10() ? " 10" : " 14";
            return name + " (screen content coding)";
        }
        default:
            return "unknown profile " + std::to_string(profileIdc);
    }
}

std::string H265LevelText(std::uint32_t levelIdc) {
    if (levelIdc % 3 != 0) return std::to_string(levelIdc) + " / 30 (not a multiple of 3)";
    return RateText(levelIdc / 30.0);
}

std::string H265NalUnitTypeName(std::uint32_t type) {
    static constexpr std::array<const char*, 41> kNames = {"TRAIL_N",
                                                           "TRAIL_R",
                                                           "TSA_N",
                                                           "TSA_R",
                                                           "STSA_N",
                                                           "STSA_R",
                                                           "RADL_N",
                                                           "RADL_R",
                                                           "RASL_N",
                                                           "RASL_R",
                                                           "RSV_VCL_N10",
                                                           "RSV_VCL_R11",
                                                           "RSV_VCL_N12",
                                                           "RSV_VCL_R13",
                                                           "RSV_VCL_N14",
                                                           "RSV_VCL_R15",
                                                           "BLA_W_LP",
                                                           "BLA_W_RADL",
                                                           "BLA_N_LP",
                                                           "IDR_W_RADL",
                                                           "IDR_N_LP",
                                                           "CRA_NUT",
                                                           "RSV_IRAP_VCL22",
                                                           "RSV_IRAP_VCL23",
                                                           "RSV_VCL24",
                                                           "RSV_VCL25",
                                                           "RSV_VCL26",
                                                           "RSV_VCL27",
                                                           "RSV_VCL28",
                                                           "RSV_VCL29",
                                                           "RSV_VCL30",
                                                           "RSV_VCL31",
                                                           "VPS_NUT video parameter set",
                                                           "SPS_NUT sequence parameter set",
                                                           "PPS_NUT picture parameter set",
                                                           "AUD_NUT access unit delimiter",
                                                           "EOS_NUT end of sequence",
                                                           "EOB_NUT end of bitstream",
                                                           "FD_NUT filler data",
                                                           "PREFIX_SEI_NUT",
                                                           "SUFFIX_SEI_NUT"};
    if (type < kNames.size()) return kNames[type];
    return type < 48 ? "RSV_NVCL" + std::to_string(type) : "UNSPEC" + std::to_string(type);
}

}  // namespace kestrova::codecs
