// The H.265 parameter set readers: NAL units in, the lines they show and the
// bits each line lights out, on x265's own parameter sets and on crafted ones
// for the range and screen content extensions, predicted reference picture
// sets, tiles and broken input.

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "codecs/H265.h"

namespace kestrova::test {
namespace {

constexpr std::uint64_t kAt = 0x200;  // the file offset every NAL unit is read at
ByteRange BitsAt(std::uint64_t bit, std::uint64_t count) {
    return ByteRange::Bits(8 * kAt + bit, count);
}

// The nine format range extension constraint flags, max_12bit first.
constexpr unsigned kMain422_10 = 0b110100001;
constexpr unsigned kMonochrome12 = 0b100111001;
constexpr unsigned kMain444_10 = 0b110000001;

void Header(BitWriter& w, unsigned type, unsigned layer = 0) {
    w.u(1, 0).u(6, type).u(6, layer).u(3, 1);
}

// profile_tier_level(1, 0): the profile's compatibility flag, progressive frames, level 3.1.
void Ptl(BitWriter& w, unsigned profile, unsigned flags9 = 0, bool max14 = false) {
    w.u(2, 0).u(1, 0).u(5, profile).u(32, 1ull << (31 - profile)).u(1, 1).u(1, 0).u(1, 0).u(1, 1);
    if (profile >= 4) {
        w.u(9, flags9);
        if (profile == 5 || profile >= 9)
            w.u(1, max14).u(33, 0);
        else
            w.u(34, 0);
    } else if (profile == 2) {
        w.u(7, 0).u(1, 0).u(35, 0);
    } else {
        w.u(43, 0);
    }
    w.u(1, 0).u(8, 93);
}

struct SpsSpec {
    unsigned profile = 1;
    unsigned flags9 = 0;
    bool max14 = false;
    unsigned chroma = 1;
    bool separate = false;
    unsigned bitDepth = 8;
    bool rps = false;    // three sets, the last two predicted, then a long-term picture
    bool range = false;  // sps_range_extension
    bool scc = false;    // sps_scc_extension with two palette entries
    bool vui = false;    // an Extended_SAR, PQ colour, fields, timing and a VCL HRD of decoding units
};

// 64x48 with a conformance window of 1, 2, 1 and 2 units.
Bytes Sps(const SpsSpec& s) {
    BitWriter w;
    Header(w, 33);
    w.u(4, 0).u(3, 0).u(1, 1);
    Ptl(w, s.profile, s.flags9, s.max14);
    w.ue(0).ue(s.chroma);
    if (s.chroma == 3) w.u(1, s.separate);
    w.ue(64).ue(48).u(1, 1).ue(1).ue(2).ue(1).ue(2);
    w.ue(s.bitDepth - 8).ue(s.bitDepth - 8).ue(4).u(1, 1).ue(4).ue(2).ue(0);
    w.ue(0).ue(1).ue(0).ue(1).ue(0).ue(0).u(1, 0).u(1, 0).u(1, 0).u(1, 0);
    if (s.rps) {
        w.ue(3);
        w.ue(2).ue(1).ue(0).u(1, 1).ue(1).u(1, 1).ue(0).u(1, 1);          // -1, -3, +1
        w.u(1, 1).u(1, 1).ue(0).u(1, 1).u(1, 0).u(1, 0).u(1, 1).u(1, 1);  // deltaRps -1: -1, -2
        w.u(1, 1).u(1, 0).ue(1).u(1, 1).u(1, 1).u(1, 1);                  // deltaRps +2 over two pictures
        w.u(1, 1).ue(1).u(8, 0xA5).u(1, 1);
    } else {
        w.ue(0).u(1, 0);
    }
    w.u(1, 1).u(1, 0).u(1, s.vui);
    if (s.vui) {
        w.u(1, 1).u(8, 255).u(16, 4).u(16, 3).u(1, 0);
        w.u(1, 1).u(3, 5).u(1, 1).u(1, 1).u(8, 9).u(8, 16).u(8, 9);
        w.u(1, 1).ue(2).ue(2).u(1, 0).u(1, 1).u(1, 1);
        w.u(1, 1).ue(1).ue(2).ue(3).ue(4);
        w.u(1, 1).u(32, 1001).u(32, 30000).u(1, 1).ue(0).u(1, 1);
        w.u(1, 0).u(1, 1).u(1, 1).u(8, 23).u(5, 7).u(1, 1).u(5, 7).u(4, 2).u(4, 3).u(4, 4).u(5, 23).u(5, 23).u(5, 23);
        w.u(1, 0).u(1, 0).u(1, 1).ue(99).ue(199).ue(9).ue(19).u(1, 0);
        w.u(1, 1).u(1, 0).u(1, 1).u(1, 1).ue(0).ue(2).ue(1).ue(15).ue(15);
    }
    const bool ext = s.range || s.scc;
    w.u(1, ext);
    if (ext) w.u(1, s.range).u(1, 0).u(1, 0).u(1, s.scc).u(4, 0);
    if (s.range) w.u(9, 0b101010101);
    if (s.scc) {
        w.u(1, 1).u(1, 1).ue(63).ue(0).u(1, 1).ue(1);
        for (int comp = 0; comp < 3; ++comp) w.u(s.bitDepth, 1000 + comp).u(s.bitDepth, 2 * comp);
        w.u(2, 2).u(1, 1);
    }
    w.Trailing();
    return w.Nal();
}

struct H265Case {
    const char* name;
    Bytes nal;
    std::vector<Want> want;
    std::vector<std::string> absent = {};
};

TEST(H265Reader, SequenceParameterSets) {
    BitWriter golomb;
    Header(golomb, 33);
    golomb.u(4, 0).u(3, 0).u(1, 1);
    Ptl(golomb, 1);
    golomb.u(40, 0).u(8, 0xFF);
    BitWriter chroma5;
    Header(chroma5, 33);
    chroma5.u(4, 0).u(3, 0).u(1, 1);
    Ptl(chroma5, 1);
    chroma5.ue(0).ue(5).Trailing();
    BitWriter sets65;
    Header(sets65, 33);
    sets65.u(4, 0).u(3, 0).u(1, 1);
    Ptl(sets65, 1);
    sets65.ue(0).ue(1).ue(64).ue(48).u(1, 0).ue(0).ue(0).ue(4).u(1, 1).ue(0).ue(0).ue(0);
    sets65.ue(0).ue(1).ue(0).ue(1).ue(0).ue(0).u(1, 0).u(1, 0).u(1, 0).u(1, 0).ue(65).Trailing();
    BitWriter layer;
    Header(layer, 33, 1);
    layer.u(4, 0).u(3, 7).u(1, 1).Trailing();

    const std::vector<H265Case> cases = {
        {"x265 Main 10 with a NAL HRD",
         Hex(kX265Sps),
         {{"forbidden_zero_bit : 0", BitsAt(0, 1)},
          {"nal_unit_type : 33 SPS_NUT sequence parameter set", BitsAt(1, 6)},
          {"nuh_temporal_id_plus1 : 1", BitsAt(13, 3)},
          {"sps_temporal_id_nesting_flag : 1", BitsAt(23, 1)},
          {"profile_tier_level()"},
          {"general_profile_idc : 2", BitsAt(27, 5)},
          // 32 payload bits, 40 in the file: the 0x03 after 20 00 00 lies inside.
          {"general_profile_compatibility_flag[j] : 536870912 j = 2", ByteRange{kAt + 4, 5}},
          {"profile = Main 10"},
          {"tier = Main", BitsAt(26, 1)},
          {"level = 2"},
          {"chroma format = 4:2:0"},
          {"width = 64"},
          {"height = 48"},
          {"luma bit depth = 10"},
          {"num_short_term_ref_pic_sets : 0"},
          {"frame rate = 25 fps (vui_time_scale / vui_num_units_in_tick)"},
          {"cpb_size_scale : 2"},
          {"fixed_pic_rate_general_flag[0] : 1"},
          {"cpb_cnt_minus1[0] : 0"},
          {"sub_layer_hrd_parameters(0) of the NAL HRD"},
          {"BitRate[0] = 499968 bits/s"},
          {"CpbSize[0] = 1000000 bits"},
          {"cbr_flag[0] : 0 variable bit rate"},
          {"rbsp_stop_one_bit : 1"}},
         {"fixed_pic_rate_within_cvs_flag[0] : 0", "low_delay_hrd_flag[0] : 0"}},
        {"format range extensions: 4:2:2 10-bit, a window of 2 across and 1 down, the range extension flags",
         Sps({.profile = 4, .flags9 = kMain422_10, .chroma = 2, .bitDepth = 10, .range = true}),
         {{"general_profile_compatibility_flag[j] : 134217728 j = 4", ByteRange{kAt + 4, 5}},
          {"general_max_12bit_constraint_flag : 1"},
          {"general_max_422chroma_constraint_flag : 1"},
          {"general_reserved_zero_34bits : 0"},
          {"profile = Main 4:2:2 10 (range extensions)"},
          {"level = 3.1"},
          {"chroma format = 4:2:2"},
          {"width = 58 (coded 64, 6 outside the window)"},
          {"height = 45 (coded 48, 3 outside the window)"},
          {"luma bit depth = 10"},
          {"sps_range_extension_flag : 1"},
          {"sps_range_extension()"},
          {"transform_skip_rotation_enabled_flag : 1"},
          {"implicit_rdpcm_enabled_flag : 1"},
          {"cabac_bypass_alignment_enabled_flag : 1"},
          {"rbsp_stop_one_bit : 1"}},
         {"sps_scc_extension()"}},
        {"monochrome 12-bit: a window of single samples",
         Sps({.profile = 4, .flags9 = kMonochrome12, .chroma = 0, .bitDepth = 12}),
         {{"profile = Monochrome 12 (range extensions)"},
          {"chroma format = 4:0:0 (monochrome)"},
          {"width = 61 (coded 64, 3 outside the window)"},
          {"height = 45 (coded 48, 3 outside the window)"},
          {"luma bit depth = 12"},
          {"rbsp_stop_one_bit : 1"}},
         {"chroma bit depth = 12"}},
        {"Main 4:2:0: a window of 2 across and down",
         Sps({}),
         {{"general_reserved_zero_43bits : 0"},
          {"profile = Main"},
          {"width = 58 (coded 64, 6 outside the window)"},
          {"height = 42 (coded 48, 6 outside the window)"}}},
        {"4:4:4 as separate planes: a window of single samples",
         Sps({.profile = 4, .flags9 = kMain444_10, .chroma = 3, .separate = true, .bitDepth = 10}),
         {{"separate_colour_plane_flag : 1"},
          {"chroma format = 4:4:4, colour planes coded apart"},
          {"width = 61 (coded 64, 3 outside the window)"},
          {"height = 45 (coded 48, 3 outside the window)"},
          {"chroma bit depth = 10"}}},
        {"screen content coding: the SCC flags and palette initializers",
         Sps({.profile = 9, .flags9 = kMain444_10, .max14 = true, .chroma = 3, .bitDepth = 10, .scc = true}),
         {{"general_max_14bit_constraint_flag : 1"},
          {"profile = Screen-Extended Main 4:4:4 10 (screen content coding)"},
          {"sps_scc_extension()"},
          {"sps_curr_pic_ref_enabled_flag : 1"},
          {"palette_max_size : 63"},
          {"sps_num_palette_predictor_initializers_minus1 : 1"},
          {"sps_palette_predictor_initializer[0][0] : 1000"},
          {"sps_palette_predictor_initializer[2][1] : 4"},
          {"motion_vector_resolution_control_idc : 2"},
          {"intra_boundary_filtering_disabled_flag : 1"},
          {"rbsp_stop_one_bit : 1"}}},
        {"reference picture sets predicted from the one before",
         Sps({.rps = true}),
         {{"num_short_term_ref_pic_sets : 3"},
          {"st_ref_pic_set(0)"},
          {"num_negative_pics : 2"},
          {"num_positive_pics : 1"},
          {"delta_poc_s0_minus1[1] : 1"},
          {"delta_poc_s1_minus1[0] : 0"},
          {"st_ref_pic_set(1)"},
          {"inter_ref_pic_set_prediction_flag : 1"},
          {"delta_rps_sign : 1"},
          {"used_by_curr_pic_flag[1] : 0"},
          {"use_delta_flag[1] : 0"},
          {"used_by_curr_pic_flag[3] : 1"},
          {"st_ref_pic_set(2)"},
          {"abs_delta_rps_minus1 : 1"},
          {"used_by_curr_pic_flag[2] : 1"},
          // Set 1 holds two pictures, so set 2 has three flags and the long-term fields come next.
          {"long_term_ref_pics_present_flag : 1"},
          {"num_long_term_ref_pics_sps : 1"},
          {"lt_ref_pic_poc_lsb_sps[0] : 165"},
          {"used_by_curr_pic_lt_sps_flag[0] : 1"},
          {"rbsp_stop_one_bit : 1"}}},
        {"a VUI of an Extended_SAR, PQ colour, fields, timing and a VCL HRD of decoding units",
         Sps({.vui = true}),
         {{"vui_parameters()"},
          {"aspect_ratio_idc : 255 EXTENDED_SAR"},
          {"sample aspect ratio = 4:3"},
          {"video_full_range_flag : 1 full range"},
          {"colour_primaries : 9 BT.2020, BT.2100"},
          {"transfer_characteristics : 16 SMPTE ST 2084 (PQ), BT.2100 PQ"},
          {"matrix_coeffs : 9 BT.2020 non-constant luminance"},
          {"field_seq_flag : 1 each picture a field"},
          {"def_disp_win_bottom_offset : 4"},
          {"frame rate = 29.97 fps (vui_time_scale / vui_num_units_in_tick)"},
          {"sub_pic_hrd_params_present_flag : 1"},
          {"tick_divisor_minus2 : 23"},
          {"cpb_size_du_scale : 4"},
          {"low_delay_hrd_flag[0] : 1"},
          {"sub_layer_hrd_parameters(0) of the VCL HRD"},
          {"BitRate[0] = 25600 bits/s"},
          {"CpbSize[0] = 25600 bits"},
          {"cpb_size_du_value_minus1[0] : 9"},
          {"bit_rate_du_value_minus1[0] : 19"},
          {"cbr_flag[0] : 0 variable bit rate"},
          {"log2_max_mv_length_vertical : 15"},
          {"sps_extension_present_flag : 0"},
          {"rbsp_stop_one_bit : 1"}},
         {"cpb_cnt_minus1[0] : 0", "elemental_duration_in_tc_minus1[0] : 0"}},
        {"an exp-Golomb code longer than 32 bits",
         golomb.Nal(),
         {{"level = 3.1"},
          {"(seq_parameter_set_rbsp() stops at bit 120, byte 0x212: sps_seq_parameter_set_id: an exp-Golomb code "
           "longer than 32 bits)"}}},
        {"chroma_format_idc 5",
         chroma5.Nal(),
         {{"(seq_parameter_set_rbsp() stops at bit 126, byte 0x212: chroma_format_idc is 5, at most 3)"}}},
        {"65 reference picture sets",
         sets65.Nal(),
         {{"pcm_enabled_flag : 0"}, {"num_short_term_ref_pic_sets : 65"}},
         {"long_term_ref_pics_present_flag : 0"}},
        {"a layer's SPS that takes its format from the VPS",
         layer.Nal(),
         {{"nuh_layer_id : 1"},
          {"sps_ext_or_max_sub_layers_minus1 : 7"},
          {"(seq_parameter_set_rbsp() stops at bit 23, byte 0x202: MultiLayerExtSpsFlag is 1: this layer's SPS takes "
           "its format from the VPS extension)"}}},
        {"cut in the VUI",
         Cut(Hex(kX265Sps), 32),
         {{"width = 64"}, {"vui_timing_info_present_flag : 1"}},
         {"rbsp_stop_one_bit : 1", "vui_time_scale : 25"}},
    };
    for (const H265Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        codecs::ReadH265Sps(c.nal, kAt, &rec);
        ExpectLinesInOrder(rec, c.want, c.absent);
    }
}

TEST(H265Reader, VideoAndPictureParameterSets) {
    BitWriter vps;  // two sub-layers, timing at 60000/1001 and a NAL HRD for each sub-layer
    Header(vps, 32);
    vps.u(4, 0).u(1, 1).u(1, 1).u(6, 0).u(3, 1).u(1, 1).u(16, 0xFFFF);
    Ptl(vps, 1);
    vps.u(1, 0).u(1, 1);
    for (int i = 1; i < 8; ++i) vps.u(2, 0);
    vps.u(8, 90);
    vps.u(1, 0).ue(4).ue(2).ue(0).u(6, 0).ue(0);
    vps.u(1, 1).u(32, 1001).u(32, 60000).u(1, 0).ue(1).ue(0);
    vps.u(1, 1).u(1, 0).u(1, 0).u(4, 1).u(4, 3).u(5, 23).u(5, 23).u(5, 23);
    for (int i = 0; i < 2; ++i) vps.u(1, 0).u(1, 0).u(1, 0).ue(0).ue(999).ue(1999).u(1, 1);
    vps.u(1, 0).Trailing();

    BitWriter tiles;  // three by two tiles of explicit sizes, the range and SCC extensions
    Header(tiles, 34);
    tiles.ue(0).ue(0).u(1, 0).u(1, 0).u(3, 0).u(1, 0).u(1, 0).ue(0).ue(0).se(0).u(1, 0).u(1, 1).u(1, 0);
    tiles.se(0).se(0).u(1, 0).u(1, 0).u(1, 0).u(1, 0).u(1, 1).u(1, 0);
    tiles.ue(2).ue(1).u(1, 0).ue(0).ue(1).ue(0).u(1, 1);
    tiles.u(1, 1).u(1, 0).u(1, 0).u(1, 0).ue(0).u(1, 0);
    tiles.u(1, 1).u(1, 1).u(1, 0).u(1, 0).u(1, 1).u(4, 0);
    tiles.ue(1).u(1, 1).u(1, 1).ue(0).ue(1).se(-3).se(3).se(2).se(-2).ue(0).ue(1);
    tiles.u(1, 1).u(1, 1).u(1, 1).se(-5).se(0).se(2).u(1, 0);
    tiles.Trailing();
    BitWriter wide;  // five tile columns where the SPS has four CTBs across
    Header(wide, 34);
    wide.ue(0).ue(0).u(1, 0).u(1, 0).u(3, 0).u(1, 0).u(1, 0).ue(0).ue(0).se(0).u(1, 0).u(1, 0).u(1, 0);
    wide.se(0).se(0).u(1, 0).u(1, 0).u(1, 0).u(1, 0).u(1, 1).u(1, 0).ue(4).ue(0).u(1, 1).u(1, 1);
    wide.u(1, 1).u(1, 0).u(1, 0).u(1, 0).ue(0).u(1, 0).u(1, 0).Trailing();

    codecs::H265Sps sps64x48;
    sps64x48.codedWidth = 64;
    sps64x48.codedHeight = 48;
    sps64x48.log2CtbSize = 4;
    struct Case {
        const char* name;
        Bytes nal;
        std::vector<codecs::H265Sps> known;
        std::vector<Want> want;
        std::vector<std::string> absent = {};
    };
    const std::vector<Case> cases = {
        {"x265's VPS",
         Hex(kX265Vps),
         {},
         {{"nal_unit_type : 32 VPS_NUT video parameter set"},
          {"video_parameter_set_rbsp()"},
          {"vps_reserved_0xffff_16bits : 65535", BitsAt(32, 16)},
          {"profile = Main 10"},
          {"general_level_idc : 60"},
          {"vps_max_dec_pic_buffering_minus1[0] : 4"},
          {"vps_num_layer_sets_minus1 : 0"},
          {"vps_timing_info_present_flag : 0"},
          {"vps_extension_flag : 0"},
          {"rbsp_stop_one_bit : 1"}}},
        {"a VPS with sub-layers, timing and HRD",
         vps.Nal(),
         {},
         {{"vps_max_sub_layers_minus1 : 1"},
          {"sub_layer_level_present_flag[0] : 1"},
          {"reserved_zero_2bits[7] : 0"},
          {"sub_layer_level_idc[0] : 90 level 3"},
          {"vps_max_dec_pic_buffering_minus1[1] : 4"},
          {"frame rate = 59.94 fps (vps_time_scale / vps_num_units_in_tick)"},
          {"vps_num_hrd_parameters : 1"},
          {"hrd_parameters()"},
          {"bit_rate_scale : 1"},
          {"fixed_pic_rate_within_cvs_flag[0] : 0"},
          {"low_delay_hrd_flag[0] : 0"},
          {"BitRate[0] = 128000 bits/s"},
          {"CpbSize[0] = 256000 bits"},
          {"cbr_flag[0] : 1 constant bit rate"},
          {"sub_layer_hrd_parameters(1) of the NAL HRD"},
          {"vps_extension_flag : 0"},
          {"rbsp_stop_one_bit : 1"}},
         {"vps_max_dec_pic_buffering_minus1[0] : 4"}},
        {"x265's PPS",
         Hex(kX265Pps),
         {},
         {{"cu_qp_delta_enabled_flag : 1", BitsAt(30, 1)},
          {"pps_extension_present_flag : 0", BitsAt(46, 1)},
          {"rbsp_stop_one_bit : 1", BitsAt(47, 1)}}},
        {"tiles and the range and SCC extensions",
         tiles.Nal(),
         {sps64x48},
         {{"tiles_enabled_flag : 1"},
          {"num_tile_columns_minus1 : 2"},
          {"column_width_minus1[1] : 1"},
          {"row_height_minus1[0] : 0"},
          {"pps_range_extension_flag : 1"},
          {"pps_range_extension()"},
          {"log2_max_transform_skip_block_size_minus2 : 1"},
          {"chroma_qp_offset_list_len_minus1 : 1"},
          {"cb_qp_offset_list[0] : -3"},
          {"cr_qp_offset_list[1] : -2"},
          {"pps_scc_extension()"},
          {"pps_act_y_qp_offset_plus5 : -5"},
          {"pps_act_cr_qp_offset_plus3 : 2"},
          {"pps_palette_predictor_initializers_present_flag : 0"},
          {"rbsp_stop_one_bit : 1"}}},
        {"more tile columns than the SPS's picture has CTBs",
         wide.Nal(),
         {sps64x48},
         {{"(pic_parameter_set_rbsp() stops at bit 45, byte 0x205: tiles of 5 columns and 1 rows, the picture has 4 by "
           "3 CTBs)"}},
         {"uniform_spacing_flag : 1"}},
        {"without the SPS the bits bound the tiles",
         wide.Nal(),
         {},
         {{"uniform_spacing_flag : 1"}, {"rbsp_stop_one_bit : 1"}}},
        {"a prefix SEI of a payload shown as bytes",
         Hex("4e0181010f80"),
         {},
         {{"nal_unit_type : 39 PREFIX_SEI_NUT"},
          {"sei_message() #1"},
          {"last_payload_type_byte : 129 payloadType 129, active parameter sets", ByteRange{kAt + 2, 1}},
          {"last_payload_size_byte : 1", ByteRange{kAt + 3, 1}},
          {"sei_payload() : 0F", ByteRange{kAt + 4, 1}},
          {"rbsp_stop_one_bit : 1", BitsAt(40, 1)}}},
        {"x265's mastering display and content light level",
         Hex("4e01891833c286c41d4c0bb884d03e803d13404200989680000003000180"),
         {},
         {{"last_payload_type_byte : 137 payloadType 137, mastering display colour volume"},
          {"last_payload_size_byte : 24"},
          {"display_primaries_x[0] : 13250", ByteRange{kAt + 4, 2}},
          {"display_primaries_y[0] : 34500"},
          {"display_primaries_x[2] : 34000"},
          {"white_point_y : 16450"},
          {"max_display_mastering_luminance : 10000000 1000 cd/m2"},
          // The 0x03 after 00 00 lies inside the field.
          {"min_display_mastering_luminance : 1 0.0001 cd/m2", ByteRange{kAt + 24, 5}},
          {"rbsp_stop_one_bit : 1"}}},
        {"a SEI of two messages: content light level and user data as text",
         Hex("4e01900403e8019005192ca2de09b51747dbbb55a4fe7fc2fc4e7832363520332e350080"),
         {},
         {{"max_content_light_level : 1000 1000 cd/m2", ByteRange{kAt + 4, 2}},
          {"max_pic_average_light_level : 400 400 cd/m2"},
          {"sei_message() #2"},
          {"last_payload_size_byte : 25"},
          {"uuid_iso_iec_11578 : 2C A2 DE 09 B5 17 47 DB BB 55 A4 FE 7F C2 FC 4E", ByteRange{kAt + 10, 16}},
          {"user_data_payload_byte : \"x265 3.5\"", ByteRange{kAt + 26, 9}},
          {"rbsp_stop_one_bit : 1"}}},
        {"a payload larger than the NAL unit",
         Hex("4e01052080"),
         {},
         {{"(sei_rbsp() stops at bit 32, byte 0x204: payloadSize is 32, 1 bytes are left)"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        codecs::ReadH265NalUnit(c.nal, kAt, &rec, c.known);
        ExpectLinesInOrder(rec, c.want, c.absent);
    }
}

TEST(H265Reader, ValuesForTheSummary) {
    const codecs::H265Sps x265 = codecs::ReadH265Sps(Hex(kX265Sps), 0, nullptr);
    EXPECT_TRUE(x265.complete);
    EXPECT_EQ(x265.ptl.profileIdc, 2u);
    EXPECT_EQ(x265.ptl.levelIdc, 60u);
    EXPECT_EQ(x265.width, 64u);
    EXPECT_EQ(x265.height, 48u);
    EXPECT_EQ(x265.bitDepthLuma, 10u);
    EXPECT_EQ(x265.vui.timeScale, 25u);
    EXPECT_EQ(x265.log2CtbSize, 5u);  // coding blocks of 16 and one more level: CTBs of 32
    const codecs::H265Sps scc = codecs::ReadH265Sps(
        Sps({.profile = 9, .flags9 = kMain444_10, .max14 = true, .chroma = 3, .bitDepth = 10, .scc = true}), 0,
        nullptr);
    EXPECT_TRUE(scc.complete);
    EXPECT_TRUE(scc.sccExtension);
    EXPECT_EQ(scc.width, 61u);
    const codecs::H265Sps cut = codecs::ReadH265Sps(Cut(Hex(kX265Sps), 32), 0, nullptr);
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(cut.width, 64u);
}

TEST(H265Reader, ProfileAndLevelNames) {
    struct NameCase {
        std::uint32_t profile, compat;
        std::uint64_t constraints;  // the 48 bits of hvcC's general_constraint_indicator_flags
        const char* name;
    };
    const auto rext = [](unsigned flags9) { return std::uint64_t{0x9} << 44 | std::uint64_t{flags9} << 35; };
    const std::vector<NameCase> cases = {
        {1, 0x60000000, 0x900000000000, "Main"},
        {2, 0x20000000, 0x900000000000, "Main 10"},
        {2, 0x20000000, 0x901000000000, "Main 10 Still Picture"},
        {3, 0x10000000, 0, "Main Still Picture"},
        {0, 0x40000000, 0, "Main"},  // no profile_idc: the first compatible one
        {4, 0x08000000, rext(kMain422_10), "Main 4:2:2 10 (range extensions)"},
        {4, 0x08000000, rext(0b111000001), "Main 4:4:4 (range extensions)"},
        {4, 0x08000000, rext(0b000000100), "Main 4:4:4 16 Intra (range extensions)"},
        {4, 0x08000000, rext(0b111000110), "Main 4:4:4 Still Picture (range extensions)"},
        {4, 0x08000000, rext(0b111110100), "Main Intra (range extensions)"},
        {4, 0x08000000, rext(0b111111001), "Monochrome (range extensions)"},
        {9, 0x00400000, rext(0b111110001) | std::uint64_t{1} << 34, "Screen-Extended Main (screen content coding)"},
        {30, 0, 0, "unknown profile 30"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(codecs::H265ProfileName(c.profile, c.compat, c.constraints), c.name) << c.profile;
    EXPECT_EQ(codecs::H265LevelText(93), "3.1");
    EXPECT_EQ(codecs::H265LevelText(120), "4");
    EXPECT_EQ(codecs::H265LevelText(186), "6.2");
    EXPECT_EQ(codecs::H265LevelText(100), "100 / 30 (not a multiple of 3)");
}

}  // namespace
}  // namespace kestrova::test
