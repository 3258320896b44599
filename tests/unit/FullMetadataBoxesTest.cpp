// Tags in the full view: ilst items and their data boxes decoded by type
// indicator, freeform items, keys with the items that index them, QuickTime
// udta texts (©xyz as a place), chapter lists and XMP. Every line is compared
// with its bytes, then checked against the file.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"
#include "support/RangeChecker.h"

namespace kestrova::test {
namespace {

Bytes Top(const Bytes& box) { return Cat({Box("ftyp", Text("isom")), box}); }

// A type whose first character is the copyright sign.
std::string Copyright(const char* rest) { return std::string("\xA9") + rest; }

Bytes Data(std::uint32_t indicator, const Bytes& value) { return Box("data", Cat({U32(indicator), U32(0), value})); }

// moov/udta/meta (mdir) holding one ilst item.
Bytes Tagged(const std::string& item, const Bytes& data) {
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("mdir"), Text("appl"), Zeros(8), U8(0)}));
    return Top(Box("moov", {Box("udta", {FullBox("meta", 0, 0, Cat({hdlr, Box("ilst", {Box(item, data)})}))})}));
}

std::vector<std::string> RangeFailures(const Bytes& file, const char* type, int nth) {
    TempFile temp(file, "tagged.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    FullClick(doc, FullNodeOf(doc, type, nth));
    return CheckPaneRanges(doc, type);
}

struct TagCase {
    ClickCase click;
    int nth = 0;
};

void Expect(const std::vector<TagCase>& cases) {
    for (const TagCase& c : cases) {
        SCOPED_TRACE(c.click.name);
        EXPECT_EQ(Shown(DescribeInFullView(c.click.file, c.click.type, c.nth)), Shown(c.click.lines));
        EXPECT_EQ(RangeFailures(c.click.file, c.click.type, c.nth), std::vector<std::string>{});
    }
}

TEST(FullMetadataBoxes, EveryTypeIndicator) {
    Expect({
        {{"UTF-8 title", Tagged(Copyright("nam"), Data(1, Text("Hi"))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 1 (0X000001) UTF-8", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : \"Hi\"", R(105, 2)},
         }}},
        {{"the item names itself", Tagged(Copyright("nam"), Data(1, Text("Hi"))), Copyright("nam").c_str(), {
             {"(title)", {}},
         }}},
        {{"UTF-8 that is not valid", Tagged(Copyright("ART"), Data(1, {0x41, 0xFF, 0x42})), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 1 (0X000001) UTF-8", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : \"A\xEF\xBF\xBD" "B\"", R(105, 3)},
         }}},
        {{"UTF-16", Tagged("desc", Data(2, Cat({U16('o'), U16('k')}))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 2 (0X000002) UTF-16", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : \"ok\"", R(105, 4)},
         }}},
        {{"trkn 3 of 12", Tagged("trkn", Data(0, Cat({U16(0), U16(3), U16(12), U16(0)}))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 0 (00000000) implicit (by the item)", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"reserved       : 0 (000000)", R(105, 2)},
             {"number         : 3 (0X0003)", R(107, 2)},
             {"total          : 12 (0X000C)", R(109, 2)},
             {"reads          : = 3 of 12", R(107, 4)},
             {"data           : 00 00", R(111, 2)},
         }}},
        {{"disk shorter than 6 bytes", Tagged("disk", Data(0, Cat({U16(0), U16(1)}))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 0 (00000000) implicit (by the item)", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"reserved       : 0 (000000)", R(105, 2)},
             {"number         : 1 (0X0001)", R(107, 2)},
             {"(the box ends at offset 109: total needs 2 bytes, 0 are left)", {}},
         }}},
        {{"gnre is the ID3v1 genre plus one", Tagged("gnre", Data(0, U16(18))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 0 (00000000) implicit (by the item)", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"genre          : 18 (0X0012) Rock", R(105, 2)},
         }}},
        {{"signed 1-byte integer (cpil)", Tagged("cpil", Data(21, U8(1))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 21 (0X000015) signed big-endian integer", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : 1 (0X01)", R(105, 1)},
         }}},
        {{"unsigned 3-byte integer", Tagged("tmpo", Data(22, U24(120))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 22 (0X000016) unsigned big-endian integer", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : 120 (0X000078)", R(105, 3)},
         }}},
        {{"signed 8-byte integer", Tagged("plID", Data(21, U64(0xFFFFFFFFFFFFFFFE))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 21 (0X000015) signed big-endian integer", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : -2 (0XFFFFFFFFFFFFFFFE)", R(105, 8)},
         }}},
        {{"an integer of 5 bytes", Tagged("cnID", Data(21, Zeros(5))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 21 (0X000015) signed big-endian integer", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : 00 00 00 00 00 (an integer is 1, 2, 3, 4 or 8 bytes)", R(105, 5)},
         }}},
        {{"float32", Tagged("rate", Data(23, U32(0x3FC00000))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 23 (0X000017) big-endian float32", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : 1.5", R(105, 4)},
         }}},
        {{"float64", Tagged("rate", Data(24, U64(0xC004000000000000))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 24 (0X000018) big-endian float64", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"value          : -2.5", R(105, 8)},
         }}},
        {{"JPEG cover", Tagged("covr", Data(13, {0xFF, 0xD8, 0xFF, 0xD9})), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 13 (0X00000D) JPEG", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"picture        : = JPEG, 4 bytes", R(105, 4)},
         }}},
        {{"PNG cover", Tagged("covr", Data(14, Text("\x89PNG"))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 14 (0X00000E) PNG", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"picture        : = PNG, 4 bytes", R(105, 4)},
         }}},
        {{"BMP cover", Tagged("covr", Data(27, Text("BM"))), "data", {
             {"type_set       : 0 (0000)", R(97, 1)},
             {"type_indicator : 27 (0X00001B) BMP", R(98, 3)},
             {"country        : 0 (000000)", R(101, 2)},
             {"language       : 0 (000000) (any locale)", R(103, 2)},
             {"picture        : = BMP, 2 bytes", R(105, 2)},
         }}},
    });
}

// The integers of every length a type indicator allows, and the fixed-size kinds.
TEST(FullMetadataBoxes, EveryIntegerLength) {
    const struct {
        std::uint32_t indicator;
        Bytes value;
        const char* shown;
    } rows[] = {
        {21, U16(0xFFFE), "-2 (0XFFFE)"},
        {21, U24(0x800000), "-8,388,608 (0X800000)"},
        {21, U32(0x7FFFFFFF), "2,147,483,647 (0X7FFFFFFF)"},
        {22, U8(200), "200 (0XC8)"},
        {22, U16(65535), "65,535 (0XFFFF)"},
        {22, U32(4000000000u), "4,000,000,000 (0XEE6B2800)"},
        {22, U64(1ull << 40), "1,099,511,627,776 (0X0000010000000000)"},
        {65, U8(0x80), "-128 (0X80)"},
        {66, U16(0x8000), "-32,768 (0X8000)"},
        {67, U32(0xFFFFFFFF), "-1 (0XFFFFFFFF)"},
        {74, U64(0x8000000000000000ull), "-9,223,372,036,854,775,808 (0X8000000000000000)"},
        {75, U8(255), "255 (0XFF)"},
        {76, U16(513), "513 (0X0201)"},
        {77, U32(70000), "70,000 (0X00011170)"},
        {78, U64(5), "5 (0X0000000000000005)"},
        {22, Zeros(6), "00 00 00 00 00 00 (an integer is 1, 2, 3, 4 or 8 bytes)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        const FullLines got = DescribeInFullView(Tagged("tmpo", Data(row.indicator, row.value)), "data");
        ASSERT_EQ(got.lines.size(), 5u);
        EXPECT_EQ(Shown(got, 4), std::vector<std::string>{Shown(std::string("value          : ") + row.shown, R(105, row.value.size()))});
    }
}

TEST(FullMetadataBoxes, FreeformKeysAndQuickTimeTexts) {
    const Bytes freeform = Box("----", {FullBox("mean", 0, 0, Text("com.apple.iTunes")), FullBox("name", 0, 0, Text("iTunSMPB")),
                                        Data(1, Text("x"))});
    const Bytes keysHdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("mdta"), Zeros(12), U8(0)}));
    const Bytes keys = FullBox("keys", 0, 0, Cat({U32(2), U32(12), Text("mdta"), Text("make"), U32(13), Text("mdta"), Text("model")}));
    const Bytes indexed = Box("ilst", {Box(std::string("\0\0\0\2", 4), {Data(1, Text("X1"))}),
                                       Box(std::string("\0\0\0\7", 4), {Data(1, Text("?"))})});
    const Bytes qtMeta = Top(Box("moov", {Box("meta", {keysHdlr, keys, indexed})}));
    // ©xyz in English (packed "eng"), ©nam in Macintosh English (0).
    const Bytes place = Cat({U16(18), U16(0x15C7), Text("+37.3318-122.0312/")});
    const Bytes udta = Top(Box("moov", {Box("udta", {Box(Copyright("xyz"), place),
                                                     Box(Copyright("nam"), Cat({U16(3), U16(0), Text("A\xE9z")}))})}));
    Expect({
        {{"freeform mean", Top(Box("ilst", {freeform})), "mean", {
             {"version : 0 (0000)", R(36, 1)},
             {"flags   : 0 (00000000)", R(37, 3)},
             {"meaning : \"com.apple.iTunes\"", R(40, 16)},
         }}},
        {{"freeform name", Top(Box("ilst", {freeform})), "name", {
             {"version : 0 (0000)", R(64, 1)},
             {"flags   : 0 (00000000)", R(65, 3)},
             {"name    : \"iTunSMPB\"", R(68, 8)},
         }}},
        {{"keys", qtMeta, "keys", {
             {"version       : 0 (0000)", R(69, 1)},
             {"flags         : 0 (00000000)", R(70, 3)},
             {"entry_count   : 2 (0X00000002)", R(73, 4)},
             {"key #1", {}},
             {"key_size      : 12 (0X0000000C)", R(77, 4)},
             {"key_namespace : mdta (0X6D647461)", R(81, 4)},
             {"key_value     : \"make\"", R(85, 4)},
             {"key #2", {}},
             {"key_size      : 13 (0X0000000D)", R(89, 4)},
             {"key_namespace : mdta (0X6D647461)", R(93, 4)},
             {"key_value     : \"model\"", R(97, 5)},
         }}},
        {{"©xyz as a place", udta, Copyright("xyz").c_str(), {
             {"text_length : 18 (0X0012)", R(36, 2)},
             {"language    : 5,575 (0X15C7) eng", R(38, 2)},
             {"text        : \"+37.3318-122.0312/\"", R(40, 18)},
             {"place       : = latitude 37.3318, longitude -122.0312", R(40, 18)},
         }}},
        {{"a Macintosh-language text", udta, Copyright("nam").c_str(), {
             {"text_length : 3 (0X0003)", R(66, 2)},
             {"language    : 0 (000000) Macintosh language code 0", R(68, 2)},
             {"text        : \"A\xC3\x88z\"", R(70, 3)},
         }}},
    });
    // Items under mdta are typed by the number of their key; key 7 is not there.
    TempFile temp(qtMeta, "keys.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    EXPECT_EQ(FullClick(doc, FullNodeOf(doc, std::string("\0\0\0\2", 4))).lines, std::vector<std::string>{"(key #2: model)"});
    EXPECT_EQ(FullClick(doc, FullNodeOf(doc, "data", 0)).lines.back(), "value          : \"X1\"");
    EXPECT_EQ(FullClick(doc, FullNodeOf(doc, std::string("\0\0\0\7", 4))).lines,
              std::vector<std::string>{"(key #7: the keys box has no such key)"});
}

TEST(FullMetadataBoxes, ChaptersAndXmp) {
    const Bytes chapters = Cat({U8(2), U64(0), U8(5), Text("Intro"), U64(600000000), U8(3), Text("End")});
    Expect({
        {{"chpl version 0", Top(Box("udta", {FullBox("chpl", 0, 0, chapters)})), "chpl", {
             {"version       : 0 (0000)", R(28, 1)},
             {"flags         : 0 (00000000)", R(29, 3)},
             {"chapter_count : 2 (0X02)", R(32, 1)},
             {"   chapter #1   : start 0 (0.000 s), title \"Intro\"", R(33, 14)},
             {"   chapter #2   : start 600,000,000 (60.000 s), title \"End\"", R(47, 12)},
         }}},
        {{"chpl version 1", Top(Box("udta", {FullBox("chpl", 1, 0, Cat({U32(0), chapters}))})), "chpl", {
             {"version       : 1 (0X01)", R(28, 1)},
             {"flags         : 0 (00000000)", R(29, 3)},
             {"reserved      : 0 (0000000000)", R(32, 4)},
             {"chapter_count : 2 (0X02)", R(36, 1)},
             {"   chapter #1   : start 0 (0.000 s), title \"Intro\"", R(37, 14)},
             {"   chapter #2   : start 600,000,000 (60.000 s), title \"End\"", R(51, 12)},
         }}},
        {{"chpl counting more chapters than it holds", Top(Box("udta", {FullBox("chpl", 0, 0, Cat({U8(9), U64(1), U8(200), Text("ab")}))})), "chpl", {
             {"version       : 0 (0000)", R(28, 1)},
             {"flags         : 0 (00000000)", R(29, 3)},
             {"chapter_count : 9 (0X09)", R(32, 1)},
             {"   chapter #1   : start 1 (0.000 s), title \"ab\"", R(33, 11)},
             {"(the box ends at offset 44: chapter #2 needs 9 bytes, 0 are left)", {}},
         }}},
        {{"XMP_ line by line", Top(Box("udta", {Box("XMP_", Text("<x:xmpmeta>\n <rdf/>\r\n</x:xmpmeta>"))})), "XMP_", {
             {"   <x:xmpmeta>", R(28, 12)},
             {"    <rdf/>", R(40, 9)},
             {"   </x:xmpmeta>", R(49, 12)},
         }}},
        {{"XMP in its uuid", Top(Box("uuid", Cat({{0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8, 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC},
                                                   Text("<a/>\n<b/>")}))), "uuid", {
             {"usertype : BE 7A CF CB 97 A9 42 E8 9C 71 99 94 91 E3 AF AC BE7ACFCB-97A9-42E8-9C71-999491E3AFAC (XMP metadata)", R(20, 16)},
             {"   <a/>", R(36, 5)},
             {"   <b/>", R(41, 4)},
         }}},
        {{"xml in a meta", Top(FullBox("meta", 0, 0, Cat({FullBox("hdlr", 0, 0, Cat({U32(0), Text("mdir"), Zeros(12), U8(0)})), FullBox("xml ", 0, 0, Text("<a/>\n"))}))), "xml ", {
             {"version : 0 (0000)", R(65, 1)},
             {"flags   : 0 (00000000)", R(66, 3)},
             {"   <a/>", R(69, 5)},
         }}},
    });
}

TEST(FullMetadataBoxes, Id3TagsAndThumbnail) {
    // ID3v2.4 in an ID32 box: a title, a UTF-16 performer, a user text, a private frame and padding.
    const auto frame = [](const char* id, const Bytes& body) {
        return Cat({Text(id), U32(static_cast<std::uint32_t>(body.size())), U16(0), body});
    };
    const Bytes frames = Cat({frame("TIT2", Cat({U8(3), Text("Hello")})), frame("TPE1", {1, 0xFF, 0xFE, 'A', 0, 'B', 0}),
                              frame("TXXX", {3, 'k', 0, 'v'}), frame("PRIV", {'a', 0, 'b'}), Zeros(4)});
    const Bytes id3 = Cat({Text("ID3"), U8(4), U8(0), U8(0), U32(static_cast<std::uint32_t>(frames.size())), frames});
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("ID32"), Zeros(12), U8(0)}));
    const Bytes tagged = Top(FullBox("meta", 0, 0, Cat({hdlr, FullBox("ID32", 0, 0, Cat({U16(0x15C7), id3}))})));
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0xFF, 0xD9};
    // ID3v2.3: frame sizes are plain numbers; an ISO-8859-1 album.
    const Bytes v23 = Cat({Text("ID3"), U8(3), U8(0), U8(0), U32(15), frame("TALB", {0, 'C', 'a', 'f', 0xE9})});
    const Bytes tagged23 = Top(FullBox("meta", 0, 0, Cat({hdlr, FullBox("ID32", 0, 0, Cat({U16(0x15C7), v23}))})));
    Expect({
        {{"ID32", tagged, "ID32", {
             {"version               : 0 (0000)", R(65, 1)},
             {"flags                 : 0 (00000000)", R(66, 3)},
             {"language              : 5,575 (0X15C7) eng", R(69, 2)},
             {"ID3v2 file identifier : \"ID3\"", R(71, 3)},
             {"ID3v2 version         : 4 (0X04) (ID3v2.4)", R(74, 1)},
             {"ID3v2 revision        : 0 (0000)", R(75, 1)},
             {"ID3v2 flags           : 0 (0000)", R(76, 1)},
             {"ID3v2 size            : 64 (0X00000040)", R(77, 4)},
             {"tag size              : = 64 bytes after the header (syncsafe)", R(77, 4)},
             {"frame #1", {}},
             {"frame ID              : \"TIT2\" (title)", R(81, 4)},
             {"size                  : 6 (0X00000006)", R(85, 4)},
             {"flags                 : 0 (000000)", R(89, 2)},
             {"text encoding         : 3 (0X03) UTF-8", R(91, 1)},
             {"information           : \"Hello\"", R(92, 5)},
             {"frame #2", {}},
             {"frame ID              : \"TPE1\" (lead performer)", R(97, 4)},
             {"size                  : 7 (0X00000007)", R(101, 4)},
             {"flags                 : 0 (000000)", R(105, 2)},
             {"text encoding         : 1 (0X01) UTF-16 with a byte order mark", R(107, 1)},
             {"information           : \"AB\"", R(108, 6)},
             {"frame #3", {}},
             {"frame ID              : \"TXXX\" (user text)", R(114, 4)},
             {"size                  : 4 (0X00000004)", R(118, 4)},
             {"flags                 : 0 (000000)", R(122, 2)},
             {"text encoding         : 3 (0X03) UTF-8", R(124, 1)},
             {"description           : \"k\"", R(125, 3)},
             {"information           : \"v\"", R(125, 3)},
             {"frame #4", {}},
             {"frame ID              : \"PRIV\" (private)", R(128, 4)},
             {"size                  : 3 (0X00000003)", R(132, 4)},
             {"flags                 : 0 (000000)", R(136, 2)},
             {"frame data            : 61 00 62", R(138, 3)},
             {"padding               : = 4 bytes", R(141, 4)},
         }}},
        {{"ID32 with ID3v2.3", tagged23, "ID32", {
             {"version               : 0 (0000)", R(65, 1)},
             {"flags                 : 0 (00000000)", R(66, 3)},
             {"language              : 5,575 (0X15C7) eng", R(69, 2)},
             {"ID3v2 file identifier : \"ID3\"", R(71, 3)},
             {"ID3v2 version         : 3 (0X03) (ID3v2.3)", R(74, 1)},
             {"ID3v2 revision        : 0 (0000)", R(75, 1)},
             {"ID3v2 flags           : 0 (0000)", R(76, 1)},
             {"ID3v2 size            : 15 (0X0000000F)", R(77, 4)},
             {"tag size              : = 15 bytes after the header (syncsafe)", R(77, 4)},
             {"frame #1", {}},
             {"frame ID              : \"TALB\" (album)", R(81, 4)},
             {"size                  : 5 (0X00000005)", R(85, 4)},
             {"flags                 : 0 (000000)", R(89, 2)},
             {"text encoding         : 0 (0000) ISO-8859-1", R(91, 1)},
             {"information           : \"Caf\xC3\xA9\"", R(92, 4)},
         }}},
        {{"3GPP thumbnail", Top(Box("moov", {Box("udta", {FullBox("thmb", 0, 0, Cat({U32(1), jpeg}))})})), "thmb", {
             {"version : 0 (0000)", R(36, 1)},
             {"flags   : 0 (00000000)", R(37, 3)},
             {"format  : 1 (0X00000001)", R(40, 4)},
             {"picture : = JPEG, 8 bytes", R(44, 8)},
         }}},
    });
}

}  // namespace
}  // namespace kestrova::test

namespace kestrova::test {
namespace {

// A track of this ID and handler; its stbl holds the given tables.
Bytes Trak(std::uint32_t id, const std::string& handler, std::uint32_t timescale, const Bytes& stbl, const Bytes& tref = {}) {
    const Bytes tkhd = FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(id), Zeros(68)}));
    const Bytes mdhd = FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(timescale), U32(0), U16(0x55C4), U16(0)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text(handler), Zeros(12), U8(0)}));
    return Box("trak", Cat({tkhd, tref, Box("mdia", {mdhd, hdlr, Box("minf", {Box("stbl", stbl)})})}));
}

TEST(FullMetadataBoxes, ChapterNamesFromTextSamples) {
    // Two text samples in one chunk at offset 20 (the mdat's body): "Intro" at 0 s, "End" at 1.5 s.
    const Bytes samples = Cat({U16(5), Text("Intro"), U16(3), Text("End")});
    const Bytes stbl = Cat({FullBox("stts", 0, 0, Cat({U32(1), U32(2), U32(1500)})),
                            FullBox("stsc", 0, 0, Cat({U32(1), U32(1), U32(2), U32(1)})),
                            FullBox("stsz", 0, 0, Cat({U32(0), U32(2), U32(7), U32(5)})),
                            FullBox("stco", 0, 0, Cat({U32(1), U32(20)}))});
    const Bytes file = Cat({Box("ftyp", Text("isom")), Box("mdat", samples),
                            Box("moov", {Trak(1, "soun", 8000, {}, Box("tref", {Box("chap", U32(2))})), Trak(2, "text", 1000, stbl)})});
    TempFile temp(file, "chapters.m4a");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    std::vector<std::string> chapters;
    bool in = false;
    for (const std::string& line : doc.FileInfoPane().Lines()) {
        if (line.rfind("Chapters", 0) == 0) in = true;
        else if (line.rfind("  ", 0) != 0) in = false;
        if (in) chapters.push_back(line);
    }
    EXPECT_EQ(chapters, (std::vector<std::string>{"Chapters            : 2 from the text of track 2",
                                                  "  0.000 s           : \"Intro\"",
                                                  "  1.500 s           : \"End\""}));
}

}  // namespace
}  // namespace kestrova::test
