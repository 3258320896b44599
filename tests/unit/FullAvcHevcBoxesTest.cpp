// avcC and hvcC in the full view: a configuration record in, the record's own
// fields and the decoded parameter sets out, with where the record and its
// parameter sets disagree and where the box cuts them short.

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "FullFixtures.h"

namespace kestrova {
namespace {

using namespace test;

// The record as the only box after ftyp: its body starts at 20.
constexpr std::uint64_t kBody = 20;
Bytes RecordFile(const std::string& type, const Bytes& record) {
    return Cat({Box("ftyp", Text("isom")), Box(type, record)});
}
ByteRange At(std::uint64_t pos, std::uint64_t length) {
    return {kBody + pos, length};
}
ByteRange BitsAt(std::uint64_t pos, std::uint64_t bit, std::uint64_t count) {
    return ByteRange::Bits(8 * (kBody + pos) + bit, count);
}

// "label    : value" with the padding of its box taken out.
std::string Unpadded(const std::string& line) {
    const std::size_t colon = line.find(" : ");
    if (colon == std::string::npos) return line;
    std::size_t end = colon;
    while (end > 0 && line[end - 1] == ' ') --end;
    return line.substr(0, end) + line.substr(colon);
}

void ExpectLines(const FullLines& got, const std::vector<Want>& want, const std::vector<std::string>& absent) {
    std::vector<std::string> lines;
    for (const std::string& l : got.lines) lines.push_back(Unpadded(l));
    ExpectLinesInOrder(lines, got.ranges, want, absent);
}

// x264's parameter sets: constrained baseline (an emulation-prevention byte in
// its VUI) and high profile, both 64x48.
const char* const kBaselineSps = "6742c00ada11ec0440000003004000000503c489a8";
const char* const kBaselinePps = "68ce0fc8";
const char* const kHighSps = "6764000aacd9447b011000000300100000030320f1225960";
const char* const kHighPps = "68ebe3cb22c0";
// An SPS extension with 11-bit alpha values.
const char* const kSpsExtension = "6da6ffe001";

Bytes First(const std::string& hex, std::size_t n) {
    Bytes b = Hex(hex);
    b.resize(n);
    return b;
}

Bytes Nal(const std::string& hex) {
    const Bytes nal = Hex(hex);
    return Cat({U16(static_cast<std::uint16_t>(nal.size())), nal});
}

Bytes AvcC(std::uint8_t profile, std::uint8_t compat, std::uint8_t level, std::initializer_list<Bytes> rest) {
    return Cat({U8(1), U8(profile), U8(compat), U8(level), U8(0xFF), Cat(rest)});
}

TEST(FullAvcHevcBoxes, AvcConfigurations) {
    const struct {
        const char* name;
        Bytes record;
        std::vector<Want> want;
        std::vector<std::string> absent = {};
    } cases[] = {
        {"x264 constrained baseline",
         AvcC(0x42, 0xC0, 0x0A, {U8(0xE1), Nal(kBaselineSps), U8(1), Nal(kBaselinePps)}),
         {{"configurationVersion : 1 (0X01)", At(0, 1)},
          {"AVCProfileIndication : 66 (0X42) Constrained Baseline", At(1, 1)},
          {"profile_compatibility : 192 (0XC0)", At(2, 1)},
          {"AVCLevelIndication : 10 (0X0A) level 1", At(3, 1)},
          {"reserved : 63 (0X3F)", BitsAt(4, 0, 6)},
          {"lengthSizeMinusOne : 3 (0X03) 4-byte NAL unit lengths", BitsAt(4, 6, 2)},
          {"reserved : 7 (0X07)", BitsAt(5, 0, 3)},
          {"numOfSequenceParameterSets : 1 (0X01)", BitsAt(5, 3, 5)},
          {"sequenceParameterSetLength : 21 (0X0015)", At(6, 2)},
          {"sequenceParameterSetNALUnit #1"},
          {"nal_unit_type : 7 (0X07) sequence parameter set", BitsAt(8, 3, 5)},
          {"profile : = Constrained Baseline"},
          {"num_units_in_tick : 1 (0X00000001)", BitsAt(16, 2, 40)},
          {"rbsp_stop_one_bit : 1 (0X01)"},
          {"numOfPictureParameterSets : 1 (0X01)", At(29, 1)},
          {"pictureParameterSetLength : 4 (0X0004)", At(30, 2)},
          {"pictureParameterSetNALUnit #1"},
          {"nal_unit_type : 8 (0X08) picture parameter set", BitsAt(32, 3, 5)},
          {"rbsp_stop_one_bit : 1 (0X01)"}},
         {"chroma_format : 1 (0X01) 4:2:0"}},
        {"x264 high with the chroma and bit depth fields and an SPS extension",
         AvcC(0x64, 0x00, 0x0A,
              {U8(0xE1), Nal(kHighSps), U8(1), Nal(kHighPps), U8(0xFD), U8(0xF8), U8(0xF8), U8(1), Nal(kSpsExtension)}),
         {{"AVCProfileIndication : 100 (0X64) High"},
          {"chroma_format_idc : 1 (0X01) 4:2:0"},
          {"pictureParameterSetNALUnit #1"},
          {"transform_8x8_mode_flag : 1 (0X01)"},
          {"second_chroma_qp_index_offset : -2 (0XFE)"},
          {"reserved : 63 (0X3F)", BitsAt(41, 0, 6)},
          {"chroma_format : 1 (0X01) 4:2:0", BitsAt(41, 6, 2)},
          {"bit_depth_luma_minus8 : 0 (0000)", BitsAt(42, 5, 3)},
          {"bit_depth_chroma_minus8 : 0 (0000)", BitsAt(43, 5, 3)},
          {"numOfSequenceParameterSetExt : 1 (0X01)", At(44, 1)},
          {"sequenceParameterSetExtLength : 5 (0X0005)", At(45, 2)},
          {"sequenceParameterSetExtNALUnit #1"},
          {"nal_unit_type : 13 (0X0D) sequence parameter set extension"},
          {"alpha_opaque_value : 2,047 (0X07FF)", BitsAt(49, 0, 11)},
          {"rbsp_stop_one_bit : 1 (0X01)"}},
         {"data : 00"}},
        {"the record and its SPS disagree",
         AvcC(0x6E, 0x40, 0x1F, {U8(0xE1), Nal(kHighSps), U8(0), U8(0xFE), U8(0xF9), U8(0xF8), U8(0)}),
         {{"AVCProfileIndication : 110 (0X6E) High 10"},
          {"sequenceParameterSetNALUnit #1"},
          {"rbsp_stop_one_bit : 1 (0X01)"},
          {"(AVCProfileIndication is 110, the SPS's profile_idc 100)"},
          {"(profile_compatibility is 64, the SPS's constraint flags byte 0)"},
          {"(AVCLevelIndication is 31, the SPS's level_idc 10)"},
          {"numOfPictureParameterSets : 0 (0000)"},
          {"chroma_format : 2 (0X02) 4:2:2"},
          {"(chroma_format is 2, the SPS's chroma_format_idc 1)"},
          {"(bit_depth_luma_minus8 is 1, the SPS's bit_depth_luma_minus8 0)"},
          {"numOfSequenceParameterSetExt : 0 (0000)"}},
         {"(bit_depth_chroma_minus8 is 0, the SPS's bit_depth_chroma_minus8 0)"}},
        {"a broken SPS stops alone: the next one decodes",
         AvcC(0x64, 0x00, 0x0A, {U8(0xE2), Nal("6764000a94") /* chroma_format_idc 4 */, Nal(kHighSps), U8(0)}),
         {{"sequenceParameterSetNALUnit #1"},
          {"(seq_parameter_set_rbsp() stops at bit 38, byte 0x20: chroma_format_idc is 4, at most 3)"},
          {"sequenceParameterSetNALUnit #2"},
          {"profile : = High"},
          {"width : = 64"},
          {"numOfPictureParameterSets : 0 (0000)"}}},
        {"an empty NAL unit",
         AvcC(0x42, 0xC0, 0x0A, {U8(0xE1), U16(0), U8(0)}),
         {{"sequenceParameterSetLength : 0 (000000) (an empty NAL unit)"}, {"numOfPictureParameterSets : 0 (0000)"}}},
        {"an SPS longer than the box",
         AvcC(0x42, 0xC0, 0x0A, {U8(0xE1), U16(30), First(kBaselineSps, 10)}),
         {{"sequenceParameterSetLength : 30 (0X001E)"},
          {"(seq_parameter_set_rbsp() stops at bit 66, byte 0x24: num_units_in_tick needs 32 bits, 14 are left)"},
          {"(the box ends at offset 38: sequenceParameterSetNALUnit needs 30 bytes, 10 are left)"}},
         {"numOfPictureParameterSets : 0 (0000)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectLines(DescribeInFullView(RecordFile("avcC", c.record), "avcC"), c.want, c.absent);
    }
}

Bytes HvcC(std::uint8_t chromaFormat, std::uint8_t lumaMinus8, std::uint16_t avgFrameRate, std::uint8_t arrays) {
    return Cat({U8(1), U8(0x02), U32(0x20000000), U32(0x90000000), U16(0), U8(60), U16(0xF000), U8(0xFC),
                U8(static_cast<std::uint8_t>(0xFC | chromaFormat)), U8(static_cast<std::uint8_t>(0xF8 | lumaMinus8)),
                U8(0xFA), U16(avgFrameRate), U8(0x0F), U8(arrays)});
}
Bytes Array(std::uint8_t typeByte, std::initializer_list<Bytes> nalus) {
    return Cat({U8(typeByte), U16(static_cast<std::uint16_t>(nalus.size())), Cat(nalus)});
}

TEST(FullAvcHevcBoxes, HevcConfigurations) {
    const Bytes parameterSets =
        Cat({Array(0xA0, {Nal(kX265Vps)}), Array(0xA1, {Nal(kX265Sps)}), Array(0xA2, {Nal(kX265Pps)})});
    const struct {
        const char* name;
        Bytes record;
        std::vector<Want> want;
        std::vector<std::string> absent = {};
    } cases[] = {
        {"x265 Main 10",
         Cat({HvcC(1, 2, 0, 3), parameterSets}),
         {{"configurationVersion : 1 (0X01)", At(0, 1)},
          {"general_profile_space : 0 (0000)", BitsAt(1, 0, 2)},
          {"general_tier_flag : 0 (0000) Main tier", BitsAt(1, 2, 1)},
          {"general_profile_idc : 2 (0X02)", BitsAt(1, 3, 5)},
          {"general_profile_compatibility_flags : 536,870,912 (0X20000000) j = 2", At(2, 4)},
          {"general_constraint_indicator_flags : 158,329,674,399,744 (0X900000000000)", At(6, 6)},
          {"profile : = Main 10", At(1, 11)},
          {"general_level_idc : 60 (0X3C) level 2", At(12, 1)},
          {"min_spatial_segmentation_idc : 0 (000000)", BitsAt(13, 4, 12)},
          {"parallelismType : 0 (0000) mixed or unknown", BitsAt(15, 6, 2)},
          {"chromaFormat : 1 (0X01) 4:2:0", BitsAt(16, 6, 2)},
          {"bitDepthLumaMinus8 : 2 (0X02) 10 bits", BitsAt(17, 5, 3)},
          {"bitDepthChromaMinus8 : 2 (0X02) 10 bits", BitsAt(18, 5, 3)},
          {"avgFrameRate : 0 (000000) unspecified", At(19, 2)},
          {"constantFrameRate : 0 (0000) not known to be constant", BitsAt(21, 0, 2)},
          {"numTemporalLayers : 1 (0X01) not temporally scalable", BitsAt(21, 2, 3)},
          {"temporalIdNested : 1 (0X01)", BitsAt(21, 5, 1)},
          {"lengthSizeMinusOne : 3 (0X03) 4-byte NAL unit lengths", BitsAt(21, 6, 2)},
          {"numOfArrays : 3 (0X03)", At(22, 1)},
          {"array #1"},
          {"array_completeness : 1 (0X01)", BitsAt(23, 0, 1)},
          {"NAL_unit_type : 32 (0X20) VPS_NUT video parameter set", BitsAt(23, 2, 6)},
          {"numNalus : 1 (0X0001)", At(24, 2)},
          {"nalUnitLength : 24 (0X0018)", At(26, 2)},
          {"nalUnit #1 of array #1"},
          {"nal_unit_type : 32 (0X20) VPS_NUT video parameter set", BitsAt(28, 1, 6)},
          {"vps_reserved_0xffff_16bits : 65,535 (0XFFFF)", At(32, 2)},
          {"array #2"},
          {"nalUnit #1 of array #2"},
          {"general_profile_compatibility_flag[j] : 536,870,912 (0X20000000) j = 2", At(61, 5)},
          {"width : = 64"},
          {"frame rate : = 25 fps (vui_time_scale / vui_num_units_in_tick)"},
          {"BitRate[0] : = 499968 bits/s"},
          {"array #3"},
          {"pps_pic_parameter_set_id : 0 (0000)"},
          {"rbsp_stop_one_bit : 1 (0X01)"}},
         {"data : 00"}},
        {"an average frame rate, a SEI array and a record that disagrees with its SPS",
         Cat({HvcC(2, 0, 6400, 2), Array(0x21, {Nal(kX265Sps)}), Array(0x27, {Nal("4e0181010f80")})}),
         {{"avgFrameRate : 6,400 (0X1900)"},
          {"average frame rate : = 25 fps (avgFrameRate / 256)", At(19, 2)},
          {"array_completeness : 0 (0000)"},
          {"rbsp_stop_one_bit : 1 (0X01)"},
          {"(chromaFormat is 2, the SPS's chroma_format_idc 1)"},
          {"(bitDepthLumaMinus8 is 0, the SPS's bit_depth_luma_minus8 2)"},
          {"NAL_unit_type : 39 (0X27) PREFIX_SEI_NUT"},
          {"nal_unit_type : 39 (0X27) PREFIX_SEI_NUT"},
          {"last_payload_type_byte : 129 (0X81) payloadType 129, active parameter sets"},
          {"sei_payload() : 0F"}},
         {"(bitDepthChromaMinus8 is 2, the SPS's bit_depth_chroma_minus8 2)"}},
        {"more arrays than the box holds",
         Cat({HvcC(1, 2, 0, 5), Array(0xA2, {Nal(kX265Pps)})}),
         {{"numOfArrays : 5 (0X05)"},
          {"pps_extension_present_flag : 0 (0000)"},
          {"array #2"},
          {"(the box ends at offset 54: array_completeness needs 1 byte, 0 are left)"}},
         {"array #3"}},
        {"a NAL unit longer than the box",
         Cat({HvcC(1, 2, 0, 1), U8(0xA1), U16(1), U16(80), First(kX265Sps, 18)}),
         {{"nalUnitLength : 80 (0X0050)"},
          {"general_level_idc : 60 (0X3C)"},
          {"(the box ends at offset 66: nalUnit needs 80 bytes, 18 are left)"}},
         {"sps_seq_parameter_set_id : 0 (0000)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectLines(DescribeInFullView(RecordFile("hvcC", c.record), "hvcC"), c.want, c.absent);
    }
}

}  // namespace
}  // namespace kestrova
