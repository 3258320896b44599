// The H.264 parameter set readers: NAL units in, the lines they show and the
// bits each line lights out, on x264's own parameter sets and on crafted ones.

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "codecs/H264.h"

namespace kestrova::test {
namespace {

constexpr std::uint64_t kAt = 0x100;  // the file offset every NAL unit is read at
ByteRange BitsAt(std::uint64_t bit, std::uint64_t count) {
    return ByteRange::Bits(8 * kAt + bit, count);
}

// x264's SPS of a 64x48 constrained baseline stream at 10 fps: the 0x03 at byte
// 11 falls inside num_units_in_tick. ffmpeg's trace_headers reads the same values.
const char* const kX264Baseline = "6742c00ada11ec0440000003004000000503c489a8";
// x264's main profile SPS of 62x46 at 30000/1001 fps with a NAL HRD (vbv 500 kbit/s, 1000 kbit).
const char* const kX264MainHrd = "674d400deca23f55808800001f480007530302000f420003d094d8600f142996";

BitWriter SpsStart(unsigned profile, unsigned constraints = 0, unsigned level = 30) {
    BitWriter w;
    w.u(8, 0x67).u(8, profile).u(8, constraints).u(8, level).ue(0);
    return w;
}

// 4 by 3 macroblocks (map units), cropped by 1, 2, 1 and 2 units, no VUI.
Bytes CropSps(unsigned chroma, bool separate, bool frameMbsOnly) {
    BitWriter w = SpsStart(chroma == 2 ? 122 : chroma == 3 ? 244 : 100);
    w.ue(chroma);
    if (chroma == 3) w.u(1, separate);
    w.ue(0).ue(0).u(1, 0).u(1, 0);
    w.ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(2).u(1, frameMbsOnly);
    if (!frameMbsOnly) w.u(1, 0);
    w.u(1, 1).u(1, 1).ue(1).ue(2).ue(1).ue(2).u(1, 0).Trailing();
    return w.Nal();
}

// A baseline SPS of 64x48 whose VUI holds an Extended_SAR of 64:45 and BT.709 colour.
Bytes SarSps() {
    BitWriter w = SpsStart(66);
    w.ue(0).ue(0).ue(0).ue(1).u(1, 0).ue(3).ue(2).u(1, 1).u(1, 1).u(1, 0).u(1, 1);
    w.u(1, 1).u(8, 255).u(16, 64).u(16, 45).u(1, 0);
    w.u(1, 1).u(3, 5).u(1, 0).u(1, 1).u(8, 1).u(8, 1).u(8, 1);
    w.u(1, 0).u(1, 0).u(1, 0).u(1, 0).u(1, 0).u(1, 0).Trailing();
    return w.Nal();
}

// A high profile SPS with scaling lists: 4x4 list 0 falls back to the default, list 1 is flat.
Bytes ScalingSps() {
    BitWriter w = SpsStart(100);
    w.ue(1).ue(0).ue(0).u(1, 0).u(1, 1);
    w.u(1, 1).se(-8).u(1, 1);
    for (int j = 0; j < 16; ++j) w.se(0);
    for (int i = 2; i < 8; ++i) w.u(1, 0);
    w.ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(2).u(1, 1).u(1, 1).u(1, 0).u(1, 0).Trailing();
    return w.Nal();
}

// A PPS with the 8x8 transform and scaling lists; list 11 (8x8 Cr of 4:4:4) is present.
Bytes ScalingPps() {
    BitWriter w;
    w.u(8, 0x68).ue(0).ue(0).u(1, 1).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0);
    w.u(1, 1).u(1, 0).u(1, 0).u(1, 1).u(1, 1);
    for (int i = 0; i < 11; ++i) w.u(1, 0);
    w.u(1, 1).se(-8).se(-2).Trailing();
    return w.Nal();
}

// A PPS of three slice groups mapped explicitly (slice_group_id of 2 bits each).
Bytes SliceGroupPps() {
    BitWriter w;
    w.u(8, 0x68).ue(1).ue(0).u(1, 0).u(1, 0).ue(2).ue(6).ue(3).u(2, 0).u(2, 1).u(2, 2).u(2, 2);
    w.ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0).u(1, 1).u(1, 0).u(1, 0).Trailing();
    return w.Nal();
}

// An SPS extension with 11-bit alpha values.
Bytes AlphaExtension() {
    BitWriter w;
    w.u(8, 0x6D).ue(0).ue(1).ue(2).u(1, 0).u(11, 2047).u(11, 0).u(1, 0).Trailing();
    return w.Nal();
}

struct H264Case {
    const char* name;
    Bytes nal;
    std::vector<Want> want;
    std::vector<std::string> absent = {};
};

TEST(H264Reader, SequenceParameterSets) {
    BitWriter golomb = SpsStart(66);  // log2_max_frame_num_minus4 of 40 leading zero bits
    golomb.u(40, 0).u(8, 0xFF);
    BitWriter poc3 = SpsStart(77);
    poc3.ue(0).ue(3).ue(1).Trailing();
    BitWriter cycle = SpsStart(77);
    cycle.ue(0).ue(1).u(1, 0).se(0).se(0).ue(256).Trailing();
    BitWriter chroma4 = SpsStart(100);
    chroma4.ue(4).Trailing();
    BitWriter extra = SpsStart(66);  // one field too many before the stop bit
    extra.ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(2).u(1, 1).u(1, 1).u(1, 0).u(1, 0).u(5, 0x15).Trailing();

    const std::vector<H264Case> cases = {
        {"x264 baseline, an emulation-prevention byte inside num_units_in_tick",
         Hex(kX264Baseline),
         {{"forbidden_zero_bit : 0", BitsAt(0, 1)},
          {"nal_ref_idc : 3", BitsAt(1, 2)},
          {"nal_unit_type : 7 sequence parameter set", BitsAt(3, 5)},
          {"profile_idc : 66", ByteRange{kAt + 1, 1}},
          {"constraint_set1_flag : 1", BitsAt(17, 1)},
          {"profile = Constrained Baseline", ByteRange{kAt + 1, 2}},
          {"level = 1", ByteRange{kAt + 3, 1}},
          {"chroma format = 4:2:0 (no chroma_format_idc in this profile)"},
          {"pic_order_cnt_type : 2", BitsAt(34, 3)},
          {"pic_width_in_mbs_minus1 : 3", BitsAt(41, 5)},
          {"width = 64"},
          {"height = 48"},
          {"aspect_ratio_idc : 1 1:1", BitsAt(54, 8)},
          // 32 bits of the payload, 40 of the file: the range covers the removed byte.
          {"num_units_in_tick : 1", BitsAt(66, 40)},
          {"time_scale : 20", BitsAt(106, 32)},
          {"nominal frame rate = 10 fps (time_scale / (2 x num_units_in_tick))", BitsAt(66, 72)},
          {"rbsp_stop_one_bit : 1"}}},
        {"x264 main with a NAL HRD and cropping to 62x46",
         Hex(kX264MainHrd),
         {{"profile = Main"},
          {"level = 1.3"},
          {"frame_crop_right_offset : 1", BitsAt(56, 3)},
          {"width = 62 (coded 64, 2 cropped)", BitsAt(44, 19)},
          {"height = 46 (coded 48, 2 cropped)", BitsAt(44, 19)},
          {"num_units_in_tick : 1001", BitsAt(77, 32)},
          {"time_scale : 60000", BitsAt(109, 32)},
          {"nominal frame rate = 29.97 fps (time_scale / (2 x num_units_in_tick))"},
          {"cpb_cnt_minus1 : 0", BitsAt(143, 1)},
          {"cpb_size_scale : 2", BitsAt(148, 4)},
          {"bit_rate_value_minus1[0] : 7811", BitsAt(152, 25)},
          {"BitRate[0] = 499968 bits/s", BitsAt(152, 25)},
          {"cpb_size_value_minus1[0] : 15624", BitsAt(177, 27)},
          {"cbr_flag[0] : 0 variable bit rate"},
          {"time_offset_length : 0", BitsAt(220, 5)},
          {"low_delay_hrd_flag : 0", BitsAt(226, 1)},
          {"max_dec_frame_buffering : 4", BitsAt(249, 5)},
          {"rbsp_stop_one_bit : 1", BitsAt(254, 1)},
          {"rbsp_alignment_zero_bit : 0", BitsAt(255, 1)}}},
        {"4:0:0 frames: crop units of one sample",
         CropSps(0, false, true),
         {{"chroma_format_idc : 0 4:0:0 (monochrome)"},
          {"chroma format = 4:0:0 (monochrome)"},
          {"width = 61 (coded 64, 3 cropped)"},
          {"height = 45 (coded 48, 3 cropped)"}},
         {"chroma bit depth = 8"}},
        {"4:2:0 frames: crop units of two",
         CropSps(1, false, true),
         {{"chroma_format_idc : 1 4:2:0"},
          {"pic_width_in_mbs_minus1 : 3", BitsAt(48, 5)},
          {"frame_crop_bottom_offset : 2", BitsAt(68, 3)},
          {"width = 58 (coded 64, 6 cropped)", BitsAt(48, 23)},
          {"height = 42 (coded 48, 6 cropped)", BitsAt(48, 23)}}},
        {"4:2:0 fields: crop units of two across, four down",
         CropSps(1, false, false),
         {{"frame_mbs_only_flag : 0 fields or frames"},
          {"width = 58 (coded 64, 6 cropped)"},
          {"height = 84 (coded 96, 12 cropped)"}}},
        {"4:2:2 fields: crop units of two across and down",
         CropSps(2, false, false),
         {{"chroma format = 4:2:2"}, {"width = 58 (coded 64, 6 cropped)"}, {"height = 90 (coded 96, 6 cropped)"}}},
        {"4:4:4 frames: crop units of one",
         CropSps(3, false, true),
         {{"separate_colour_plane_flag : 0"},
          {"chroma format = 4:4:4"},
          {"chroma bit depth = 8"},
          {"width = 61 (coded 64, 3 cropped)"},
          {"height = 45 (coded 48, 3 cropped)"}}},
        {"4:4:4 coded as separate planes counts as no chroma: fields crop by two down",
         CropSps(3, true, false),
         {{"separate_colour_plane_flag : 1"},
          {"chroma format = 4:4:4, colour planes coded apart"},
          {"width = 61 (coded 64, 3 cropped)"},
          {"height = 90 (coded 96, 6 cropped)"}}},
        {"an Extended_SAR and BT.709 colour",
         SarSps(),
         {{"aspect_ratio_idc : 255 Extended_SAR", BitsAt(53, 8)},
          {"sar_width : 64", BitsAt(61, 16)},
          {"sar_height : 45", BitsAt(77, 16)},
          {"sample aspect ratio = 64:45", BitsAt(53, 40)},
          {"video_full_range_flag : 0 limited range"},
          {"colour_primaries : 1 BT.709"},
          {"matrix_coefficients : 1 BT.709", BitsAt(116, 8)},
          {"rbsp_stop_one_bit : 1"}}},
        {"scaling lists: a default list and a flat one",
         ScalingSps(),
         {{"seq_scaling_matrix_present_flag : 1"},
          {"seq_scaling_list_present_flag[0] : 1"},
          {"scaling_list() of ScalingList4x4[0]"},
          {"delta_scale[0] : -8"},
          {"useDefaultScalingMatrixFlag = 1 (the default list)"},
          {"seq_scaling_list_present_flag[1] : 1"},
          {"delta_scale[15] : 0"},
          {"log2_max_frame_num_minus4 : 0"},
          {"width = 64"},
          {"rbsp_stop_one_bit : 1"}},
         {"delta_scale[1] : 0 (list 0)"}},
        {"an exp-Golomb code longer than 32 bits",
         golomb.Raw(),
         {{"level = 3"},
          {"(seq_parameter_set_rbsp() stops at bit 33, byte 0x104: log2_max_frame_num_minus4: an exp-Golomb code "
           "longer than 32 bits)"}},
         {"pic_order_cnt_type : 0"}},
        {"pic_order_cnt_type 3 leaves the rest unknown",
         poc3.Nal(),
         {{"(seq_parameter_set_rbsp() stops at bit 39, byte 0x104: pic_order_cnt_type is 3, at most 2)"}},
         {"max_num_ref_frames : 1"}},
        {"a POC cycle of 256 frames",
         cycle.Nal(),
         {{"(seq_parameter_set_rbsp() stops at bit 57, byte 0x107: num_ref_frames_in_pic_order_cnt_cycle is 256, at "
           "most 255)"}}},
        {"chroma_format_idc 4",
         chroma4.Nal(),
         {{"(seq_parameter_set_rbsp() stops at bit 38, byte 0x104: chroma_format_idc is 4, at most 3)"}}},
        {"more data than the syntax before the stop bit",
         extra.Nal(),
         {{"vui_parameters_present_flag : 0"}, {"(11 bits remain, more than rbsp_trailing_bits() before the end)"}},
         {"rbsp_stop_one_bit : 1"}},
        {"cut inside num_units_in_tick",
         Cut(Hex(kX264Baseline), 10),
         {{"timing_info_present_flag : 1"},
          {"(seq_parameter_set_rbsp() stops at bit 66, byte 0x108: num_units_in_tick needs 32 bits, 14 are left)"}},
         {"time_scale : 20"}},
        {"a PPS where an SPS is wanted",
         Hex("68ce3c80"),
         {{"nal_unit_type : 8 picture parameter set"},
          {"(nal_unit_header stops at bit 8, byte 0x101: nal_unit_type is 8, not 7)"}},
         {"pic_parameter_set_id : 0"}},
    };
    for (const H264Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        codecs::ReadH264Sps(c.nal, kAt, &rec);
        ExpectLinesInOrder(rec, c.want, c.absent);
    }
}

TEST(H264Reader, ValuesForTheSummary) {
    struct ValueCase {
        const char* name;
        Bytes nal;
        bool complete;
        std::uint64_t width, height;
        std::uint32_t chroma, sarWidth, sarHeight, timeScale;
    };
    const std::vector<ValueCase> cases = {
        {"x264 baseline", Hex(kX264Baseline), true, 64, 48, 1, 1, 1, 20},
        {"x264 main with HRD", Hex(kX264MainHrd), true, 62, 46, 1, 1, 1, 60000},
        {"4:2:2 fields", CropSps(2, false, false), true, 58, 90, 2, 0, 0, 0},
        {"extended SAR", SarSps(), true, 64, 48, 1, 64, 45, 0},
        {"cut in the VUI keeps the size", Cut(Hex(kX264Baseline), 10), false, 64, 48, 1, 1, 1, 0},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        const codecs::H264Sps sps = codecs::ReadH264Sps(c.nal, 0, nullptr);
        EXPECT_EQ(sps.complete, c.complete);
        EXPECT_EQ(sps.width, c.width);
        EXPECT_EQ(sps.height, c.height);
        EXPECT_EQ(sps.chromaFormatIdc, c.chroma);
        EXPECT_EQ(sps.vui.sarWidth, c.sarWidth);
        EXPECT_EQ(sps.vui.sarHeight, c.sarHeight);
        EXPECT_EQ(sps.vui.timeScale, c.timeScale);
    }
}

TEST(H264Reader, PictureParameterSetsAndExtensions) {
    codecs::H264Sps sps444;
    sps444.chromaFormatIdc = 3;
    struct PpsCase {
        const char* name;
        Bytes nal;
        std::vector<codecs::H264Sps> known;
        std::vector<Want> want;
        std::vector<std::string> absent = {};
    };
    const std::vector<PpsCase> cases = {
        {"x264's PPS",
         Hex("68ebecb2"),
         {},
         {{"nal_unit_type : 8 picture parameter set"},
          {"entropy_coding_mode_flag : 1 CABAC", BitsAt(10, 1)},
          {"num_ref_idx_l0_default_active_minus1 : 2", BitsAt(13, 3)},
          {"weighted_bipred_idc : 2", BitsAt(18, 2)},
          {"chroma_qp_index_offset : -2", BitsAt(22, 5)},
          {"redundant_pic_cnt_present_flag : 0", BitsAt(29, 1)},
          {"rbsp_stop_one_bit : 1", BitsAt(30, 1)}},
         {"transform_8x8_mode_flag : 0"}},
        {"4:4:4: six 8x8 lists after the 4x4 ones",
         ScalingPps(),
         {sps444},
         {{"transform_8x8_mode_flag : 1"},
          {"pic_scaling_matrix_present_flag : 1"},
          {"pic_scaling_list_present_flag[10] : 0"},
          {"pic_scaling_list_present_flag[11] : 1"},
          {"scaling_list() of ScalingList8x8[5]"},
          {"useDefaultScalingMatrixFlag = 1 (the default list)"},
          {"second_chroma_qp_index_offset : -2"},
          {"rbsp_stop_one_bit : 1"}}},
        {"the same PPS under a 4:2:0 SPS has two 8x8 lists",
         ScalingPps(),
         {},
         {{"pic_scaling_list_present_flag[7] : 0"}},
         {"pic_scaling_list_present_flag[8] : 0", "rbsp_stop_one_bit : 1"}},
        {"explicit slice groups",
         SliceGroupPps(),
         {},
         {{"num_slice_groups_minus1 : 2"},
          {"slice_group_map_type : 6"},
          {"pic_size_in_map_units_minus1 : 3"},
          {"slice_group_id[0] : 0", BitsAt(27, 2)},
          {"slice_group_id[3] : 2", BitsAt(33, 2)},
          {"deblocking_filter_control_present_flag : 1"},
          {"rbsp_stop_one_bit : 1"}}},
        {"an SPS extension with alpha",
         AlphaExtension(),
         {},
         {{"nal_unit_type : 13 sequence parameter set extension"},
          {"aux_format_idc : 1"},
          {"bit_depth_aux_minus8 : 2"},
          {"alpha_opaque_value : 2047", BitsAt(16, 11)},
          {"alpha_transparent_value : 0", BitsAt(27, 11)},
          {"rbsp_stop_one_bit : 1"}}},
        {"an SEI shows its bytes",
         Hex("0605ff00"),
         {},
         {{"nal_unit_type : 6 SEI"}, {"rbsp_byte : 05 FF 00", ByteRange{kAt + 1, 3}}}},
        {"an empty NAL unit",
         Bytes{},
         {},
         {{"(nal_unit_header stops at bit 0: forbidden_zero_bit needs 1 bits, 0 are left)"}}},
    };
    for (const PpsCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        codecs::ReadH264NalUnit(c.nal, kAt, &rec, c.known);
        ExpectLinesInOrder(rec, c.want, c.absent);
    }
}

TEST(H264Reader, ProfileAndLevelNames) {
    struct NameCase {
        std::uint32_t profile, constraints, level;
        const char* profileName;
        const char* levelText;
    };
    const std::vector<NameCase> cases = {
        {66, 0x40, 30, "Constrained Baseline", "3"},
        {66, 0x00, 11, "Baseline", "1.1"},
        {77, 0x10, 11, "Main", "1b"},
        {100, 0x10, 11, "High", "1.1"},
        {100, 0x0C, 40, "Constrained High", "4"},
        {100, 0x08, 41, "Progressive High", "4.1"},
        {110, 0x10, 9, "High 10 Intra", "1b"},
        {110, 0x00, 51, "High 10", "5.1"},
        {122, 0x00, 31, "High 4:2:2", "3.1"},
        {244, 0x00, 62, "High 4:4:4 Predictive", "6.2"},
        {44, 0x00, 30, "CAVLC 4:4:4 Intra", "3"},
        {118, 0x00, 40, "Multiview High", "4"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(codecs::H264ProfileName(c.profile, c.constraints), c.profileName) << c.profile;
        EXPECT_EQ(codecs::H264LevelText(c.profile, c.constraints, c.level), c.levelText) << c.level;
    }
}

}  // namespace
}  // namespace kestrova::test
