// Codec and audio format names: first match, case rules, the code as stored.

#include <gtest/gtest.h>

#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

// The four bytes as they stand in the file, read as a code in file order.
std::uint32_t FileBytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return (std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) | (std::uint32_t{c} << 8) | d;
}

TEST(AviCodecTables, VideoCodecIgnoresCaseAndShowsTheStoredCode) {
    EXPECT_EQ(VideoCodecText(Fourcc("DIVX")), "MicroSoft MPEG-4 v1(DIVX)");
    EXPECT_EQ(VideoCodecText(Fourcc("divx")), "MicroSoft MPEG-4 v1(divx)");
    EXPECT_EQ(VideoCodecText(Fourcc("DivX")), "MicroSoft MPEG-4 v1(DivX)");
    EXPECT_EQ(VideoCodecText(Fourcc("XVID")), "Xvid (MPEG-4)(XVID)");
    EXPECT_EQ(VideoCodecText(Fourcc("DIV3")), "DivX MPEG-4 V3.xx Low motion codec(DIV3)");
    EXPECT_EQ(VideoCodecText(Fourcc("wmv3")), "Microsoft Windows Media Video 9(wmv3)");
    EXPECT_EQ(VideoCodecText(Fourcc("DX50")), "알수 없음(DX50)");
    EXPECT_EQ(VideoCodecText(Fourcc("MJPG")), "알수 없음(MJPG)");
    EXPECT_EQ(VideoCodecText(0), "알수 없음(0000000000)");
}

TEST(AviCodecTables, AudioFormatFirstMatchAndUnknownTags) {
    EXPECT_EQ(AudioFormatText(0x0001), "알수 없음(code:0X0001)");
    EXPECT_EQ(AudioFormatText(0x0011), "DVI_ADPCM (Intel Corporation)(0X0011)");
    EXPECT_EQ(AudioFormatText(0x0000), "UNKNOWN (Microsoft Corporation)(000000)");
    EXPECT_EQ(AudioFormatText(0x0002), "ADPCM (Microsoft Corporation)(0X0002)");
    EXPECT_EQ(AudioFormatText(0x0055), "MPEGLAYER3 (ISO/MPEG Layer3 Format Tag)(0X0055)");
    EXPECT_EQ(AudioFormatText(0x2000), "AC3 (DVM - FAST Multimedia AG)(0X2000)");
    EXPECT_EQ(AudioFormatText(0x0008), "DTS (Microsoft Corporation)(0X0008)");
    EXPECT_EQ(AudioFormatText(0x2001), "DTS (Digital Theater System)(0X2001)");
    EXPECT_EQ(AudioFormatText(0x1500), "SOUNDSPACE_MUSICOMPRESS(AT&T Labs, Inc.)(0X1500)");
    EXPECT_EQ(AudioFormatText(0x00FF), "알수 없음(code:0X00FF)");
    EXPECT_EQ(AudioFormatText(0xFFFE), "알수 없음(code:0XFFFE)");
}

TEST(AviCodecTables, CompressionNamesBitmapKindsThenCodes) {
    EXPECT_EQ(CompressionText(FileBytes(0, 0, 0, 0)), "BI_RGB");
    EXPECT_EQ(CompressionText(FileBytes(1, 0, 0, 0)), "BI_RLE8");
    EXPECT_EQ(CompressionText(FileBytes(3, 0, 0, 0)), "BI_BITFIELDS");
    EXPECT_EQ(CompressionText(FileBytes(5, 0, 0, 0)), "BI_PNG");
    EXPECT_EQ(CompressionText(FileBytes(6, 0, 0, 0)), "UnKnown Type (0X06000000)");
    EXPECT_EQ(CompressionText(FileBytes(0, 0, 0, 1)), "UnKnown Type (0X00000001)");
    EXPECT_EQ(CompressionText(Fourcc("XVID")), "XVID");
    EXPECT_EQ(CompressionText(Fourcc("xvid")), "xvid");
    EXPECT_EQ(CompressionText(Fourcc("H264")), "UnKnown Type (0X48323634)");
    EXPECT_EQ(CompressionText(Fourcc("MJPG")), "UnKnown Type (0X4D4A5047)");
}

}  // namespace
}  // namespace kestrova
