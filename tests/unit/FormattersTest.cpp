#include <gtest/gtest.h>

#include "common/Formatters.h"

namespace kestrova {
namespace {

const RegionalSettings kDefault;

TEST(Formatters, HexFormsFollowPrintfWithZeroWithoutPrefix) {
    EXPECT_EQ(Hex32Text(0x4D2), "0X000004D2");
    EXPECT_EQ(Hex32Text(0), "0000000000");
    EXPECT_EQ(Hex16Text(0x1F), "0X001F");
    EXPECT_EQ(Hex16Text(0), "000000");
    EXPECT_EQ(Hex32Text(0x123456789ULL), "0X123456789");
}

TEST(Formatters, GroupedDecimalWithHex) {
    EXPECT_EQ(DecHex32Text(1234, kDefault), "1,234 (0X000004D2)");
    EXPECT_EQ(DecHex32Text(4294967295u, kDefault), "4,294,967,295 (0XFFFFFFFF)");
    EXPECT_EQ(DecHex24Text(1234, kDefault), "1,234 (0X0004D2)");
    EXPECT_EQ(DecHex16Text(1234, kDefault), "1,234 (0X04D2)");
    EXPECT_EQ(DecHex16Text(0, kDefault), "0 (000000)");
    EXPECT_EQ(DecHex16Text(0x12345, kDefault), "74,565 (0X12345)");
    EXPECT_EQ(DecHex8Text(200, kDefault), "200 (0XC8)");
    EXPECT_EQ(DecHex8Text(0, kDefault), "0 (0000)");
    EXPECT_EQ(DecHex32Text(999, kDefault), "999 (0X000003E7)");
    EXPECT_EQ(DecHex32Text(1000000, kDefault), "1,000,000 (0X000F4240)");
    EXPECT_EQ(DecHex32Text(0x100000000ULL, kDefault), "4,294,967,296 (0X100000000)");
    RegionalSettings dots;
    dots.thousandsSeparator = ".";
    EXPECT_EQ(DecHex32Text(1234567, dots), "1.234.567 (0X0012D687)");
    EXPECT_EQ(GroupedSignedText(-1234, kDefault), "-1,234");
}

TEST(Formatters, FourccTextShowsPrintableCodesAndFallsBackToHex) {
    EXPECT_EQ(FourccText(0x66747970), "ftyp");
    EXPECT_EQ(FourccText(0x6D703461), "mp4a");
    EXPECT_EQ(FourccText(0x6D703420), "mp4 ");
    EXPECT_EQ(FourccText(0x2D2D2D2D), "0X2D2D2D2D");
    EXPECT_EQ(FourccText(0xA96E616D), ".nam");
    EXPECT_EQ(FourccText(0xA9000000), "0XA9000000");
    EXPECT_EQ(FourccText(0x00000001), "0X00000001");
    EXPECT_EQ(FourccText(Fourcc("AVI ")), "AVI ");
    // High bytes are never letters, whatever the machine's locale.
    EXPECT_EQ(FourccText(0xE9746573), "0XE9746573");
    EXPECT_EQ(FourccHexText(0x66747970), "ftyp (0X66747970)");
}

TEST(Formatters, FourccLowerLowersEachByteInPlace) {
    EXPECT_EQ(FourccLower(Fourcc("XVID")), Fourcc("xvid"));
    EXPECT_EQ(FourccLower(Fourcc("DivX")), Fourcc("divx"));
    EXPECT_EQ(FourccLower(0xC1DA5A40), 0xC1DA7A40u);  // only A to Z change
}

TEST(Formatters, Time1904IsExactAndLeavesOutMidnight) {
    EXPECT_EQ(Time1904Text(0, kDefault), "1904-01-01\n   ");
    EXPECT_EQ(Time1904Text(86399, kDefault), "1904-01-01 23:59:59\n   ");
    EXPECT_EQ(Time1904Text(86400, kDefault), "1904-01-02\n   ");
    // 1904 is a leap year: day 59 is 29 February.
    EXPECT_EQ(Time1904Text(59ULL * 86400 + 3661, kDefault), "1904-02-29 01:01:01\n   ");
    // 2008-04-18 12:34:56 (a time a float conversion gets wrong by a second).
    EXPECT_EQ(Time1904Text(3291366896u, kDefault), "2008-04-18 12:34:56\n   ");
    EXPECT_EQ(Time1904Text(0xFFFFFFFFu, kDefault), "2040-02-06 06:28:15\n   ");
    RegionalSettings us;
    us.shortDatePattern = "M/d/yy";
    us.longTimePattern = "h:mm:ss AP";
    EXPECT_EQ(Time1904Text(3291366896u + 3600, us), "4/18/08 1:34:56 PM\n   ");
    us.longTimePattern = "'at' HH.mm";
    EXPECT_EQ(Time1904Text(3291366896u, us), "4/18/08 at 12.34\n   ");
}

TEST(Formatters, VideoSizesAndEntryNumbers) {
    EXPECT_EQ(VideoWidthText(176, 176u << 16), "Video Width (176): 176 (0X00B00000>>16)");
    EXPECT_EQ(VideoHeightText(144, 144u << 16), "Video Height(144): 144 (0X00900000>>16)");
    EXPECT_EQ(EntryNumberText(0), "#1   : ");
    EXPECT_EQ(EntryNumberText(0).size(), 7u);
    EXPECT_EQ(EntryNumberText(9999), "#10000: ");
    EXPECT_EQ(IndexText(3), "[3]: ");
}

}  // namespace
}  // namespace kestrova
