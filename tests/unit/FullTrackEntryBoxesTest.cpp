// Track references and the boxes that follow a sample entry's own fields, in
// the full view: fixture bytes in, the lines and the bytes (or bits) each lights out.
// The describers do not look at the parent, so most fixtures put the box at
// the top level after ftyp: its body starts at offset 20.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"

namespace kestrova::test {
namespace {

Bytes Top(const Bytes& box) { return Cat({Box("ftyp", Text("isom")), box}); }

TEST(FullTrackEntryBoxes, TrackReferencesAndTexts) {
    ExpectClicks({
        {"hint reference with a stray byte", Top(Box("moov", {Box("tref", {Box("hint", Cat({U32(1), U32(3), U8(0xFF)}))})})),
         "hint",
         {
             {"   track_IDs #1   : 1 (0X00000001)", R(36, 4)},
             {"   track_IDs #2   : 3 (0X00000003)", R(40, 4)},
             {"extra bytes : FF", R(44, 1)},
         }},
        {"ulst under uinf", Top(Box("uinf", {Box("ulst", Cat({U16(1), U32(0x00112233), U32(0x44556677), U32(0x8899AABB),
                                                                 U32(0xCCDDEEFF)})),
                                              FullBox("url ", 0, 0, Cat({Text("http://a/"), U8(0)}))})),
         "ulst",
         {
             {"entry_count : 1 (0X0001)", R(28, 2)},
             {"   uuid #1   : 00112233-4455-6677-8899-AABBCCDDEEFF", R(30, 16)},
         }},
        {"url under uinf", Top(Box("uinf", {Box("ulst", Cat({U16(1), Zeros(16)})),
                                             FullBox("url ", 0, 0, Cat({Text("http://a/"), U8(0)}))})),
         "url ",
         {
             {"version  : 0 (0000)", R(54, 1)},
             {"flags    : 0 (00000000)", R(55, 3)},
             {"location : \"http://a/\"", R(58, 10)},
         }},
    });
}

TEST(FullTrackEntryBoxes, PictureBoxes) {
    ExpectClicks({
        {"colr nclx", Top(Box("colr", Cat({Text("nclx"), U16(9), U16(16), U16(9), U8(0x80)}))), "colr",
         {
             {"colour_type              : nclx (0X6E636C78)", R(20, 4)},
             {"colour_primaries         : 9 (0X0009) BT.2020", R(24, 2)},
             {"transfer_characteristics : 16 (0X0010) PQ / SMPTE ST 2084", R(26, 2)},
             {"matrix_coefficients      : 9 (0X0009) BT.2020 non-constant luminance", R(28, 2)},
             {"full_range_flag          : 1 (0X01) full range", ByteRange::Bits(240, 1)},
             {"reserved                 : 0 (0000)", ByteRange::Bits(241, 7)},
         }},
        {"colr nclc has no range flag", Top(Box("colr", Cat({Text("nclc"), U16(1), U16(1), U16(6)}))), "colr",
         {
             {"colour_type              : nclc (0X6E636C63)", R(20, 4)},
             {"colour_primaries         : 1 (0X0001) BT.709", R(24, 2)},
             {"transfer_characteristics : 1 (0X0001) BT.709", R(26, 2)},
             {"matrix_coefficients      : 6 (0X0006) BT.601 525 / SMPTE 170M", R(28, 2)},
         }},
        {"colr with an ICC profile", Top(Box("colr", Cat({Text("prof"), U32(0x20C)}))), "colr",
         {
             {"colour_type : prof (0X70726F66)", R(20, 4)},
             {"ICC_profile : 00 00 02 0C (4 bytes)", R(24, 4)},
         }},
        {"pasp", Top(Box("pasp", Cat({U32(4), U32(3)}))), "pasp",
         {
             {"hSpacing           : 4 (0X00000004)", R(20, 4)},
             {"vSpacing           : 3 (0X00000003)", R(24, 4)},
             {"pixel aspect ratio : = 4:3 (1.333333)", R(20, 8)},
         }},
        {"clap with a negative offset",
         Top(Box("clap", Cat({U32(640), U32(1), U32(480), U32(1), U32(0xFFFFFFFF), U32(2), U32(0), U32(1)}))), "clap",
         {
             {"cleanApertureWidthN  : 640 (0X00000280)", R(20, 4)},
             {"cleanApertureWidthD  : 1 (0X00000001)", R(24, 4)},
             {"cleanApertureHeightN : 480 (0X000001E0)", R(28, 4)},
             {"cleanApertureHeightD : 1 (0X00000001)", R(32, 4)},
             {"horizOffN            : -1 (0XFFFFFFFF)", R(36, 4)},
             {"horizOffD            : 2 (0X00000002)", R(40, 4)},
             {"vertOffN             : 0 (0X00000000)", R(44, 4)},
             {"vertOffD             : 1 (0X00000001)", R(48, 4)},
         }},
        {"mdcv", Top(Box("mdcv", Cat({U16(13250), U16(34500), U16(7500), U16(3000), U16(34000), U16(16000), U16(15635),
                                       U16(16450), U32(10000000), U32(50)}))),
         "mdcv",
         {
             {"display_primaries_x[0]          : 13,250 (0X33C2) 0.265", R(20, 2)},
             {"display_primaries_y[0]          : 34,500 (0X86C4) 0.69", R(22, 2)},
             {"display_primaries_x[1]          : 7,500 (0X1D4C) 0.15", R(24, 2)},
             {"display_primaries_y[1]          : 3,000 (0X0BB8) 0.06", R(26, 2)},
             {"display_primaries_x[2]          : 34,000 (0X84D0) 0.68", R(28, 2)},
             {"display_primaries_y[2]          : 16,000 (0X3E80) 0.32", R(30, 2)},
             {"white_point_x                   : 15,635 (0X3D13) 0.3127", R(32, 2)},
             {"white_point_y                   : 16,450 (0X4042) 0.329", R(34, 2)},
             {"max_display_mastering_luminance : 10,000,000 (0X00989680) 1000.0 cd/m²", R(36, 4)},
             {"min_display_mastering_luminance : 50 (0X00000032) 0.005 cd/m²", R(40, 4)},
         }},
        {"ccst", Top(FullBox("ccst", 0, 0, U32(0xB0000000))), "ccst",
         {
             {"version            : 0 (0000)", R(20, 1)},
             {"flags              : 0 (00000000)", R(21, 3)},
             {"all_ref_pics_intra : 1 (0X01)", ByteRange::Bits(192, 1)},
             {"intra_pred_used    : 0 (0000)", ByteRange::Bits(193, 1)},
             {"max_ref_per_pic    : 12 (0X0C)", ByteRange::Bits(194, 4)},
             {"reserved           : 0 (0000000000)", ByteRange::Bits(198, 26)},
         }},
    });
}

TEST(FullTrackEntryBoxes, AudioBoxes) {
    ExpectClicks({
        {"chan with one of two descriptions",
         Top(FullBox("chan", 0, 0, Cat({U32(0), U32(0), U32(2), U32(3), U32(0), U32(0x3F800000), U32(0xC0200000), U32(0)}))),
         "chan",
         {
             {"version                    : 0 (0000)", R(20, 1)},
             {"flags                      : 0 (00000000)", R(21, 3)},
             {"mChannelLayoutTag          : 0 (0000000000) use channel descriptions", R(24, 4)},
             {"mChannelBitmap             : 0 (0000000000)", R(28, 4)},
             {"mNumberChannelDescriptions : 2 (0X00000002)", R(32, 4)},
             {"   entry #1   : mChannelLabel 3 (0X00000003) Center, mChannelFlags 0 (0000000000), mCoordinates 1.0 -2.5 0.0", R(36, 20)},
             {"(the box ends at offset 56: mChannelDescriptions needs 20 bytes, 0 are left)", ByteRange{}},
         }},
        {"chan by bitmap", Top(FullBox("chan", 0, 0, Cat({U32(0x10000), U32(0xB), U32(0)}))), "chan",
         {
             {"version                    : 0 (0000)", R(20, 1)},
             {"flags                      : 0 (00000000)", R(21, 3)},
             {"mChannelLayoutTag          : 65,536 (0X00010000) use channel bitmap", R(24, 4)},
             {"mChannelBitmap             : 11 (0X0000000B) Left, Right, LFEScreen", R(28, 4)},
             {"mNumberChannelDescriptions : 0 (0000000000)", R(32, 4)},
         }},
        {"chnl with positions, one explicit, and objects",
         Top(FullBox("chnl", 0, 0, Cat({U8(3), U8(0), U8(0), U8(1), U8(126), U16(0xFFE2), U8(0), U8(2)}))), "chnl",
         {
             {"version          : 0 (0000)", R(20, 1)},
             {"flags            : 0 (00000000)", R(21, 3)},
             {"stream_structure : 3 (0X03)", R(24, 1)},
             {"definedLayout    : 0 (0000)", R(25, 1)},
             {"   speaker_position #1   : 0 (0000) L", R(26, 1)},
             {"   speaker_position #2   : 1 (0X01) R", R(27, 1)},
             {"   entry #3   : speaker_position 126 (0X7E) explicit position, azimuth -30 (0XFFE2), elevation 0 (0X00)", R(28, 4)},
             {"object_count : 2 (0X02)", R(32, 1)},
         }},
        {"chnl with a defined layout", Top(FullBox("chnl", 0, 0, Cat({U8(1), U8(6), U64(8)}))), "chnl",
         {
             {"version            : 0 (0000)", R(20, 1)},
             {"flags              : 0 (00000000)", R(21, 3)},
             {"stream_structure   : 1 (0X01)", R(24, 1)},
             {"definedLayout      : 6 (0X06)", R(25, 1)},
             {"omittedChannelsMap : 8 (0X0000000000000008)", R(26, 8)},
         }},
    });
}

}  // namespace
}  // namespace kestrova::test
