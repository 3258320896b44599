// The configuration boxes of AV1, VP9, VVC and H.263 in the full view: box
// bytes in, each line with the bytes or bits it lights out. The describers
// need no parent, so most fixtures put the box at the top level after ftyp:
// its body starts at offset 24.

#include <gtest/gtest.h>

#include <algorithm>

#include "FullFixtures.h"

namespace kestrova::test {
namespace {

constexpr std::uint64_t kBody = 24;

struct Line {
    std::string text;
    std::int64_t bit = -1;  // from the start of the body; -1: no range
    std::uint64_t bits = 0;
};

struct ClickCase {
    const char* name;
    Bytes file;
    const char* type;
    std::vector<Line> lines;
    std::uint64_t body = kBody;
};

Bytes TopLevel(const Bytes& box) { return Cat({Box("ftyp", Cat({Text("isom"), U32(0)})), box}); }

std::string Shown(const std::string& text, const ByteRange& r) {
    if (r.Empty()) return text;
    return text + "  @" + std::to_string(8 * r.offset + r.firstBit) + "+" +
           std::to_string(r.HasBits() ? r.bitCount : 8 * r.length);
}

void ExpectClicks(const std::vector<ClickCase>& cases) {
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FullLines got = DescribeInFullView(c.file, c.type);
        std::vector<std::string> actual, expected;
        for (std::size_t i = 0; i < got.lines.size(); ++i) actual.push_back(Shown(got.lines[i], got.ranges[i]));
        for (const Line& l : c.lines)
            expected.push_back(
                Shown(l.text, l.bit < 0 ? ByteRange{}
                                        : ByteRange::Bits(8 * c.body + static_cast<std::uint64_t>(l.bit), l.bits)));
        EXPECT_EQ(actual, expected);
    }
}

std::uint64_t BodyOf(const Bytes& file, const std::string& type) {
    return static_cast<std::uint64_t>(std::search(file.begin(), file.end(), type.begin(), type.end()) - file.begin()) +
           4;
}

const Bytes kVp09File =
    TrackFile("vide",
              Box("vp09", Cat({Zeros(78), FullBox("vpcC", 1, 0, {0x02, 0x1F, 0xA2, 0x02, 0x02, 0x02, 0x00, 0x00})})));

// libaom's av1C of a 64x48 8-bit stream; the reader's own tests show all of it.
const Bytes kLibaomAv1C = {0x81, 0x00, 0x0C, 0x00, 0x0A, 0x0A, 0x00, 0x00,
                           0x00, 0x02, 0xAF, 0xF7, 0x9B, 0x5F, 0x20, 0x08};

TEST(FullOtherVideoBoxes, Av1C) {
    ExpectClicks({
        // Cut by the end of the file in its first OBU: the fields before it still light their bits.
        {"cut in its sequence header",
         TopLevel(BoxWithSize(24, "av1C", Bytes(kLibaomAv1C.begin(), kLibaomAv1C.begin() + 9))),
         "av1C",
         {
             {"extent                             : = 17 bytes: the header says 24, past the end of the file"},
             {"marker                             : 1 (0X01)", 0, 1},
             {"version                            : 1 (0X01)", 1, 7},
             {"seq_profile                        : 0 (0000) Main", 8, 3},
             {"seq_level_idx_0                    : 0 (0000) level 2.0", 11, 5},
             {"seq_tier_0                         : 0 (0000) Main tier", 16, 1},
             {"high_bitdepth                      : 0 (0000)", 17, 1},
             {"twelve_bit                         : 0 (0000)", 18, 1},
             {"BitDepth                           : = 8", 17, 2},
             {"monochrome                         : 0 (0000)", 19, 1},
             {"chroma_subsampling_x               : 1 (0X01)", 20, 1},
             {"chroma_subsampling_y               : 1 (0X01)", 21, 1},
             {"subsampling                        : = 4:2:0", 19, 3},
             {"chroma_sample_position             : 0 (0000) unknown", 22, 2},
             {"reserved                           : 0 (0000)", 24, 3},
             {"initial_presentation_delay_present : 0 (0000)", 27, 1},
             {"reserved                           : 0 (0000)", 28, 4},
             {"configOBUs"},
             {"open_bitstream_unit() #1 (OBU_SEQUENCE_HEADER)"},
             {"obu_forbidden_bit                  : 0 (0000)", 32, 1},
             {"obu_type                           : 1 (0X01) OBU_SEQUENCE_HEADER", 33, 4},
             {"obu_extension_flag                 : 0 (0000)", 37, 1},
             {"obu_has_size_field                 : 1 (0X01)", 38, 1},
             {"obu_reserved_1bit                  : 0 (0000)", 39, 1},
             {"obu_size                           : 10 (0X0A)", 40, 8},
             {"(open_bitstream_unit() stops at bit 48, byte 0x1E: obu_size is 10 bytes, 3 are left)"},
         }},
    });
}

TEST(FullOtherVideoBoxes, VpcC) {
    ExpectClicks({
        {"version 1",
         TopLevel(FullBox("vpcC", 1, 0, {0x02, 0x0A, 0xA2, 0x09, 0x10, 0x09, 0x00, 0x00})),
         "vpcC",
         {
             {"version                    : 1 (0X01)", 0, 8},
             {"flags                      : 0 (00000000)", 8, 24},
             {"profile                    : 2 (0X02)", 32, 8},
             {"level                      : 10 (0X0A)", 40, 8},
             {"bitDepth                   : 10 (0X0A)", 48, 4},
             {"chromaSubsampling          : 1 (0X01) 4:2:0, chroma colocated with luma (0, 0)", 52, 3},
             {"videoFullRangeFlag         : 0 (0000) limited range", 55, 1},
             {"colourPrimaries            : 9 (0X09) BT.2020, BT.2100", 56, 8},
             {"transferCharacteristics    : 16 (0X10) SMPTE ST 2084 (PQ), BT.2100 PQ", 64, 8},
             {"matrixCoefficients         : 9 (0X09) BT.2020 non-constant luminance", 72, 8},
             {"codecIntializationDataSize : 0 (000000)", 80, 16},
         }},
        {"version 0",
         TopLevel(FullBox("vpcC", 0, 0, {0x00, 0x1F, 0x82, 0x33, 0x00, 0x02, 0xAB, 0xCD})),
         "vpcC",
         {
             {"version                    : 0 (0000)", 0, 8},
             {"flags                      : 0 (00000000)", 8, 24},
             {"profile                    : 0 (0000)", 32, 8},
             {"level                      : 31 (0X1F)", 40, 8},
             {"bitDepth                   : 8 (0X08)", 48, 4},
             {"colorSpace                 : 2 (0X02)", 52, 4},
             {"chromaSubsampling          : 3 (0X03) 4:4:4", 56, 4},
             {"transferFunction           : 1 (0X01)", 60, 3},
             {"videoFullRangeFlag         : 1 (0X01) full range", 63, 1},
             {"codecIntializationDataSize : 2 (0X0002)", 64, 16},
             {"codecIntializationData     : AB CD", 80, 16},
         }},
        {"initialization data cut",
         TopLevel(FullBox("vpcC", 1, 0, {0x00, 0x0A, 0x80, 0x01, 0x01, 0x01, 0x00, 0x04, 0xAA, 0xBB})),
         "vpcC",
         {
             {"version                    : 1 (0X01)", 0, 8},
             {"flags                      : 0 (00000000)", 8, 24},
             {"profile                    : 0 (0000)", 32, 8},
             {"level                      : 10 (0X0A)", 40, 8},
             {"bitDepth                   : 8 (0X08)", 48, 4},
             {"chromaSubsampling          : 0 (0000) 4:2:0, vertical (between two luma rows, at the left)", 52, 3},
             {"videoFullRangeFlag         : 0 (0000) limited range", 55, 1},
             {"colourPrimaries            : 1 (0X01) BT.709", 56, 8},
             {"transferCharacteristics    : 1 (0X01) BT.709", 64, 8},
             {"matrixCoefficients         : 1 (0X01) BT.709", 72, 8},
             {"codecIntializationDataSize : 4 (0X0004)", 80, 16},
             {"(the box ends at offset 38: codecIntializationData needs 4 bytes, 2 are left)"},
         }},
        {"unknown version",
         TopLevel(FullBox("vpcC", 2, 0, {0x01, 0x02})),
         "vpcC",
         {
             {"version     : 2 (0X02)", 0, 8},
             {"flags       : 0 (00000000)", 8, 24},
             {"(version 2 of this box is not known)"},
             {"extra bytes : 01 02", 32, 16},
         }},
        // Under vp09 the profile and level have their meanings.
        {"in a vp09 entry",
         kVp09File,
         "vpcC",
         {
             {"version                    : 1 (0X01)", 0, 8},
             {"flags                      : 0 (00000000)", 8, 24},
             {"profile                    : 2 (0X02) 10 or 12 bits, 4:2:0", 32, 8},
             {"level                      : 31 (0X1F) level 3.1", 40, 8},
             {"bitDepth                   : 10 (0X0A)", 48, 4},
             {"chromaSubsampling          : 1 (0X01) 4:2:0, chroma colocated with luma (0, 0)", 52, 3},
             {"videoFullRangeFlag         : 0 (0000) limited range", 55, 1},
             {"colourPrimaries            : 2 (0X02) unspecified", 56, 8},
             {"transferCharacteristics    : 2 (0X02) unspecified", 64, 8},
             {"matrixCoefficients         : 2 (0X02) unspecified", 72, 8},
             {"codecIntializationDataSize : 0 (000000)", 80, 16},
         },
         BodyOf(kVp09File, "vpcC")},
    });
}

// A VvcDecoderConfigurationRecord of three sublayers, one SPS of 4 bytes and a DCI.
Bytes VvcRecord() {
    return Cat({U8(0xFF),                           // reserved, LengthSizeMinusOne 3, ptl_present_flag
                U16(0x0000 | 3 << 4 | 1 << 2 | 1),  // ols_idx 0, num_sublayers 3, constant_frame_rate 1, chroma 1
                U8(0x02 << 5 | 0x1F),               // bit_depth_minus8 2, reserved
                U8(0x01),                           // reserved 0, num_bytes_constraint_info 1
                U8(1 << 1 | 0),
                U8(51),           // general_profile_idc 1, tier 0, general_level_idc 51
                U8(0x80 | 0x15),  // frame only 1, multilayer 0, constraint info 0x15
                U8(0x40),         // sublayer flags [1] 0, [0] 1, reserved zeros
                U8(35),           // sublayer_level_idc[0]
                U8(1),
                U32(0x12345678),  // one sub-profile
                U16(64),
                U16(48),
                U16(25 * 256),  // size and frame rate
                U8(2),          // two arrays
                U8(0x80 | 15),
                U16(1),
                U16(4),
                U32(0x42010101),  // SPS
                U8(13),
                U16(2),
                U16(0xABCD)});  // DCI: no num_nalus
}

TEST(FullOtherVideoBoxes, VvcC) {
    ExpectClicks({
        {"three sublayers, an SPS and a DCI",
         TopLevel(FullBox("vvcC", 0, 0, VvcRecord())),
         "vvcC",
         {
             {"version                            : 0 (0000)", 0, 8},
             {"flags                              : 0 (00000000)", 8, 24},
             {"reserved                           : 31 (0X1F)", 32, 5},
             {"LengthSizeMinusOne                 : 3 (0X03) (4-byte lengths)", 37, 2},
             {"ptl_present_flag                   : 1 (0X01)", 39, 1},
             {"ols_idx                            : 0 (000000)", 40, 9},
             {"num_sublayers                      : 3 (0X03)", 49, 3},
             {"constant_frame_rate                : 1 (0X01) constant", 52, 2},
             {"chroma_format_idc                  : 1 (0X01) 4:2:0", 54, 2},
             {"bit_depth_minus8                   : 2 (0X02) (10 bits)", 56, 3},
             {"reserved                           : 31 (0X1F)", 59, 5},
             {"VvcPTLRecord"},
             {"reserved                           : 0 (0000)", 64, 2},
             {"num_bytes_constraint_info          : 1 (0X01)", 66, 6},
             {"general_profile_idc                : 1 (0X01) Main 10", 72, 7},
             {"general_tier_flag                  : 0 (0000) Main tier", 79, 1},
             {"general_level_idc                  : 51 (0X33) level 3.1", 80, 8},
             {"ptl_frame_only_constraint_flag     : 1 (0X01)", 88, 1},
             {"ptl_multilayer_enabled_flag        : 0 (0000)", 89, 1},
             {"general_constraint_info            : 21 (0X15)", 90, 6},
             {"ptl_sublayer_level_present_flag[1] : 0 (0000)", 96, 1},
             {"ptl_sublayer_level_present_flag[0] : 1 (0X01)", 97, 1},
             {"ptl_reserved_zero_bit              : 0 (0000)", 98, 6},
             {"sublayer_level_idc[0]              : 35 (0X23) level 2.1", 104, 8},
             {"ptl_num_sub_profiles               : 1 (0X01)", 112, 8},
             {"general_sub_profile_idc[0]         : 305,419,896 (0X12345678)", 120, 32},
             {"max_picture_width                  : 64 (0X0040)", 152, 16},
             {"max_picture_height                 : 48 (0X0030)", 168, 16},
             {"avg_frame_rate                     : 6,400 (0X1900) (25 frames/s)", 184, 16},
             {"num_of_arrays                      : 2 (0X02)", 200, 8},
             {"array #1 (SPS_NUT)"},
             {"array_completeness                 : 1 (0X01)", 208, 1},
             {"reserved                           : 0 (0000)", 209, 2},
             {"NAL_unit_type                      : 15 (0X0F) SPS_NUT", 211, 5},
             {"num_nalus                          : 1 (0X0001)", 216, 16},
             {"nal_unit_length                    : 4 (0X0004)", 232, 16},
             {"nal_unit                           : 42 01 01 01", 248, 32},
             {"array #2 (DCI_NUT)"},
             {"array_completeness                 : 0 (0000)", 280, 1},
             {"reserved                           : 0 (0000)", 281, 2},
             {"NAL_unit_type                      : 13 (0X0D) DCI_NUT", 283, 5},
             {"nal_unit_length                    : 2 (0X0002)", 288, 16},
             {"nal_unit                           : AB CD", 304, 16},
         }},
        {"a NAL unit longer than the box",
         TopLevel(FullBox("vvcC", 0, 0, {0xFE, 0x01, 0x80 | 16, 0x00, 0x01, 0x00, 0x09, 0x01})),
         "vvcC",
         {
             {"version            : 0 (0000)", 0, 8},
             {"flags              : 0 (00000000)", 8, 24},
             {"reserved           : 31 (0X1F)", 32, 5},
             {"LengthSizeMinusOne : 3 (0X03) (4-byte lengths)", 37, 2},
             {"ptl_present_flag   : 0 (0000)", 39, 1},
             {"num_of_arrays      : 1 (0X01)", 40, 8},
             {"array #1 (PPS_NUT)"},
             {"array_completeness : 1 (0X01)", 48, 1},
             {"reserved           : 0 (0000)", 49, 2},
             {"NAL_unit_type      : 16 (0X10) PPS_NUT", 51, 5},
             {"num_nalus          : 1 (0X0001)", 56, 16},
             {"nal_unit_length    : 9 (0X0009)", 72, 16},
             {"(VvcDecoderConfigurationRecord stops at bit 56, byte 0x23: nal_unit_length is 9 bytes, 1 is left)"},
         }},
    });
}

TEST(FullOtherVideoBoxes, D263) {
    ExpectClicks({
        {"with a bitrate box",
         TopLevel(Box("d263", Cat({Text("FFMP"), U8(0), U8(45), U8(3), Box("bitr", Cat({U32(64000), U32(128000)}))}))),
         "d263",
         {
             {"vendor          : FFMP (0X46464D50)", 0, 32},
             {"decoder_version : 0 (0000)", 32, 8},
             {"H263_Level      : 45 (0X2D)", 40, 8},
             {"H263_Profile    : 3 (0X03) Version 2 Interactive and Streaming Wireless", 48, 8},
             {"BitrateBox"},
             {"size            : 16 (0X00000010)", 56, 32},
             {"type            : bitr (0X62697472)", 88, 32},
             {"Avg_Bitrate     : 64,000 (0X0000FA00)", 120, 32},
             {"Max_Bitrate     : 128,000 (0X0001F400)", 152, 32},
         }},
        {"cut",
         TopLevel(Box("d263", Cat({Text("FFMP"), U8(0)}))),
         "d263",
         {
             {"vendor          : FFMP (0X46464D50)", 0, 32},
             {"decoder_version : 0 (0000)", 32, 8},
             {"(the box ends at offset 29: H263_Level needs 1 byte, 0 are left)"},
         }},
    });
}

}  // namespace
}  // namespace kestrova::test
