#include <gtest/gtest.h>

#include "shell/Document.h"
#include "shell/HexView.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

using test::Bytes;

std::vector<std::string> Dump(const Bytes& bytes, std::uint64_t start) {
    std::vector<std::string> out;
    HexDump(bytes, start, bytes.size(), out);
    return out;
}

TEST(HexDump, HeaderAndSeparatorAreSeventySixCharacters) {
    const auto lines = Dump({}, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "          00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ; 0123456789ABCDEF");
    EXPECT_EQ(lines[1], "--------------------------------------------------------- ; ----------------");
    EXPECT_EQ(lines[0].size(), 76u);
    EXPECT_EQ(lines[1].size(), 76u);
}

TEST(HexDump, RowsStartAtTheColumnOfTheirAddress) {
    // Four bytes from offset 0: one short row.
    auto lines = Dump({0x00, 0x41, 0x7E, 0x7F}, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "00000000: 00 41 7E 7F" + std::string(36, ' ') + " ; .A~.");

    // Offset 0x0F, two bytes: one in column 0F, then one in column 00 of the next row.
    lines = Dump({0x61, 0x62}, 0x0F);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "00000000:" + std::string(45, ' ') + " 61 ; " + std::string(15, ' ') + "a");
    EXPECT_EQ(lines[3], "00000010: 62" + std::string(45, ' ') + " ; b");

    // Offset 0x13, two bytes: columns 03 and 04 of one row.
    lines = Dump({0x20, 0x1F}, 0x13);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "00000010:" + std::string(9, ' ') + " 20 1F" + std::string(33, ' ') + " ;     .");

    // A full row is 76 characters, like the header.
    lines = Dump(Bytes(16, 0x30), 0x20);
    EXPECT_EQ(lines[2], "00000020: 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 ; 0000000000000000");
    EXPECT_EQ(lines[2].size(), 76u);
}

TEST(HexDump, TwentyBytesFromOffset1C) {
    const Bytes bytes = test::Cat({test::U32(0x14), test::Text("ftypisom"), test::Zeros(8)});
    const auto lines = Dump(bytes, 0x1C);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "00000010:" + std::string(36, ' ') + " 00 00 00 14 ; " + std::string(12, ' ') + "....");
    EXPECT_EQ(lines[3].substr(0, 21), "00000020: 66 74 79 70");
}

class ShowHexRangeTest : public ::testing::Test {
protected:
    void Open(const Bytes& contents) {
        file_ = std::make_unique<test::TempFile>(contents, "data.bin");
        doc_.OpenFile(file_->Path());
    }
    std::unique_ptr<test::TempFile> file_;
    Document doc_;
};

TEST_F(ShowHexRangeTest, RangeMessagesAndShownLength) {
    Open(Bytes(0x40, 0xAB));
    doc_.Button1Click("40", "0");
    EXPECT_EQ(doc_.StatusText(), "Memory Read Range (0X00000040 ~ 0X00000040)");
    EXPECT_EQ(doc_.FileInfoPane().Lines().size(), 2u);
    EXPECT_EQ(doc_.SizeEditText(), "0");

    doc_.Button1Click("40", "1");
    EXPECT_EQ(doc_.StatusText(), "Offset+Size is out of FileSize. (0X41 > 0X40)");
    EXPECT_EQ(doc_.FileInfoPane().Lines().size(), 2u);
    EXPECT_EQ(doc_.SizeEditText(), "0");

    doc_.Button1Click("41", "1");
    EXPECT_EQ(doc_.StatusText(), "Offset is out of FileSize. (0X00000041>0X00000040)");
    EXPECT_EQ(doc_.SizeEditText(), "0");

    doc_.Button1Click("38", "10");
    EXPECT_EQ(doc_.StatusText(), "Offset+Size is out of FileSize. (0X48 > 0X40)");
    EXPECT_EQ(doc_.SizeEditText(), "8");
    ASSERT_EQ(doc_.FileInfoPane().Lines().size(), 3u);
    EXPECT_EQ(doc_.FileInfoPane().Lines()[2].substr(0, 9), "00000030:");

    doc_.Button1Click("0", "4");
    EXPECT_EQ(doc_.StatusText(), "Memory Read Range (0000000000 ~ 0X00000004)");
    EXPECT_EQ(doc_.FileInfoPane().Lines()[2], "00000000: AB AB AB AB" + std::string(36, ' ') + " ; ....");
}

TEST_F(ShowHexRangeTest, ReadsAreLimitedToOneMebibyte) {
    Open(Bytes(0x200010, 0x55));
    doc_.Button1Click("10", "FFFFFF");  // runs past the end first, then hits the limit
    EXPECT_EQ(doc_.StatusText(), "Memory Read Size limited. Size is changed (0X00200000) -> (0X00100000)");
    doc_.ShowHexRange(0x10, 0x1FFFF0);
    EXPECT_EQ(doc_.StatusText(), "Memory Read Size limited. Size is changed (0X001FFFF0) -> (0X00100000)");
    EXPECT_EQ(doc_.SizeEditText(), "100000");
    EXPECT_EQ(doc_.FileInfoPane().Lines().size(), 65536u + 2);
    // Not a multiple of 16: one more row.
    doc_.ShowHexRange(0x11, 0x200000);
    EXPECT_EQ(doc_.FileInfoPane().Lines().size(), 65537u + 2);
}

TEST_F(ShowHexRangeTest, OffsetPlusSizeDoesNotWrapAround) {
    Open(Bytes(0x40, 0));
    // In 32 bits 0x10 + 0xFFFFFFF8 would wrap to 8 and pass as inside the file.
    doc_.ShowHexRange(0x10, 0xFFFFFFF8u);
    EXPECT_EQ(doc_.StatusText(), "Offset+Size is out of FileSize. (0X100000008 > 0X40)");
    EXPECT_EQ(doc_.SizeEditText(), "30");
}

TEST_F(ShowHexRangeTest, ErrorWithoutFileOrWhenItIsGone) {
    doc_.Button1Click("0", "10");
    EXPECT_EQ(doc_.StatusText(), "Error");
    Open(Bytes(0x20, 1));
    const auto before = doc_.FileInfoPane().Lines();
    file_.reset();  // removes the file
    doc_.Button1Click("0", "10");
    EXPECT_EQ(doc_.StatusText(), "Error");
    EXPECT_EQ(doc_.FileInfoPane().Lines(), before);
    EXPECT_EQ(doc_.SizeEditText(), "0");
}

TEST_F(ShowHexRangeTest, EntryTextThatIsNoNumberRaisesTheMessage) {
    Open(Bytes(0x20, 1));
    doc_.Button1Click("", "10");
    ASSERT_TRUE(doc_.MessageBox().has_value());
    EXPECT_EQ(*doc_.MessageBox(), "'0x' is not a valid integer value");
    EXPECT_EQ(doc_.StatusText(), "data.bin Open");
    doc_.Button1Click("10", "1 G");
    EXPECT_EQ(*doc_.MessageBox(), "'0x1 G' is not a valid integer value");
    doc_.Button1Click("10", "4");
    EXPECT_FALSE(doc_.MessageBox().has_value());
    EXPECT_EQ(ParseHexEntry("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexEntry("abc"), 0xABCu);
    // The program may put more digits there than the user can type.
    EXPECT_EQ(ParseHexEntry("123456789"), 0x123456789u);
    EXPECT_EQ(ParseHexEntry("FFFFFFFFFFFFFFFF"), UINT64_MAX);
    EXPECT_FALSE(ParseHexEntry("10000000000000000").has_value());
}

TEST(EntryKeys, FilterAndLengthLimits) {
    EXPECT_EQ(FilterEntryKey('7'), '7');
    EXPECT_EQ(FilterEntryKey('c'), 'C');
    EXPECT_EQ(FilterEntryKey('F'), 'F');
    EXPECT_EQ(FilterEntryKey('\b'), '\b');
    for (char c : {'g', 'G', 'x', ' ', '-', '\n'}) EXPECT_FALSE(FilterEntryKey(c).has_value()) << c;
    EXPECT_EQ(TypeIntoEntry("", "1a2bxg3c4d5e", kOffsetEditMaxLength), "1A2B3C4D");
    EXPECT_EQ(TypeIntoEntry("", "1234567", kSizeEditMaxLength), "123456");
    EXPECT_EQ(TypeIntoEntry("12", "\b\b\bf", kSizeEditMaxLength), "F");
}

}  // namespace
}  // namespace kestrova
