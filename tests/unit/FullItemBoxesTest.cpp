// The items of an image file's meta box in the full view: iloc versions 0 to
// 2 with each extent's bytes in the file, item information, a hand-built
// grid (heif-enc makes none) with its dimg references and its ImageGrid read
// through iloc, an XMP item's text, the properties with their associations,
// and the summary they make. Every line is compared with its bytes, then
// checked against the file.

#include <gtest/gtest.h>

#include <algorithm>

#include "FullCaseFixtures.h"
#include "iso/DisplayParseIso.h"
#include "tools/DumpState.h"
#include "support/RangeChecker.h"

namespace kestrova::test {
namespace {

Bytes Meta(std::initializer_list<Bytes> children) {
    Bytes body = U32(0);
    body = Cat({body, FullBox("hdlr", 0, 0, Cat({U32(0), Text("pict"), Zeros(12), U8(0)}))});
    for (const Bytes& c : children) body = Cat({body, c});
    return Cat({Box("ftyp", Cat({Text("heic"), U32(0), Text("mif1")})), Box("meta", body)});
}

std::vector<std::string> RangeFailures(const Bytes& file, const char* type) {
    TempFile temp(file, "items.heic");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    FullClick(doc, FullNodeOf(doc, type));
    return CheckPaneRanges(doc, type);
}

void Expect(const std::vector<ClickCase>& cases) {
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(DescribeInFullView(c.file, c.type)), Shown(c.lines));
        EXPECT_EQ(RangeFailures(c.file, c.type), std::vector<std::string>{});
    }
}

TEST(FullItemBoxes, ItemLocations) {
    // Version 0: 4-byte offsets and lengths, no base; the extent lies in the mdat after the meta.
    const Bytes mdat = Box("mdat", Text("0123456789"));
    const Bytes v0 = FullBox("iloc", 0, 0, Cat({U8(0x44), U8(0x00), U16(1), U16(1), U16(0), U16(1), U32(0), U32(10)}));
    // The extent offset is patched once the file's layout is known.
    Bytes file0 = Cat({Meta({v0}), mdat});
    const std::size_t extentAt = file0.size() - mdat.size() - 8;  // iloc ends the meta with the extent's offset and length
    const std::uint32_t dataAt = static_cast<std::uint32_t>(file0.size() - 10);
    for (int k = 0; k < 4; ++k) file0[extentAt + k] = static_cast<std::uint8_t>(dataAt >> (24 - 8 * k));
    // Version 1: idat offsets (construction method 1), an 8-byte base and 4-byte index.
    const Bytes v1 = FullBox("iloc", 1, 0, Cat({U8(0x44), U8(0x84), U16(1), U16(2), U16(1), U16(0), U64(0), U16(1), U32(7), U32(0), U32(4)}));
    // Version 2: 32-bit item IDs, an extent past the end of the file.
    const Bytes v2 = FullBox("iloc", 2, 0, Cat({U8(0x44), U8(0x00), U32(1), U32(70000), U16(0), U16(0), U16(1), U32(0x7FFFFFF0), U32(100)}));
    // Counts no bytes hold.
    const Bytes cut = FullBox("iloc", 0, 0, Cat({U8(0x44), U8(0x00), U16(0xFFFF), U16(1), U16(0), U16(0xFFFF)}));
    Expect({
        {"iloc version 0", file0, "iloc", {
             {"version              : 0 (0000)", R(73, 1)},
             {"flags                : 0 (00000000)", R(74, 3)},
             {"offset_size          : 4 (0X04)", ByteRange::Bits(616, 4)},
             {"length_size          : 4 (0X04)", ByteRange::Bits(620, 4)},
             {"base_offset_size     : 0 (0000)", ByteRange::Bits(624, 4)},
             {"reserved             : 0 (0000)", ByteRange::Bits(628, 4)},
             {"item_count           : 1 (0X0001)", R(79, 2)},
             {"item #1", {}},
             {"item_ID              : 1 (0X0001)", R(81, 2)},
             {"data_reference_index : 0 (000000)", R(83, 2)},
             {"extent_count         : 1 (0X0001)", R(85, 2)},
             {"   extent #1   : extent_offset 103, extent_length 10", R(87, 8)},
             {"data : = 10 bytes from offset 103 to 112", R(103, 10)},
         }},
        {"iloc version 1, an idat offset", Meta({v1, Box("idat", Text("abcd"))}), "iloc", {
             {"version              : 1 (0X01)", R(73, 1)},
             {"flags                : 0 (00000000)", R(74, 3)},
             {"offset_size          : 4 (0X04)", ByteRange::Bits(616, 4)},
             {"length_size          : 4 (0X04)", ByteRange::Bits(620, 4)},
             {"base_offset_size     : 8 (0X08)", ByteRange::Bits(624, 4)},
             {"index_size           : 4 (0X04)", ByteRange::Bits(628, 4)},
             {"item_count           : 1 (0X0001)", R(79, 2)},
             {"item #1", {}},
             {"item_ID              : 2 (0X0002)", R(81, 2)},
             {"reserved             : 0 (000000)", ByteRange::Bits(664, 12)},
             {"construction_method  : 1 (0X01) (idat offset)", ByteRange::Bits(676, 4)},
             {"data_reference_index : 0 (000000)", R(85, 2)},
             {"base_offset          : 0 (000000000000000000)", R(87, 8)},
             {"extent_count         : 1 (0X0001)", R(95, 2)},
             {"   extent #1   : extent_index 7, extent_offset 0, extent_length 4", R(97, 12)},
         }},
        {"iloc version 2, past the end of the file", Meta({v2}), "iloc", {
             {"version              : 2 (0X02)", R(73, 1)},
             {"flags                : 0 (00000000)", R(74, 3)},
             {"offset_size          : 4 (0X04)", ByteRange::Bits(616, 4)},
             {"length_size          : 4 (0X04)", ByteRange::Bits(620, 4)},
             {"base_offset_size     : 0 (0000)", ByteRange::Bits(624, 4)},
             {"index_size           : 0 (0000)", ByteRange::Bits(628, 4)},
             {"item_count           : 1 (0X00000001)", R(79, 4)},
             {"item #1", {}},
             {"item_ID              : 70,000 (0X00011170)", R(83, 4)},
             {"reserved             : 0 (000000)", ByteRange::Bits(696, 12)},
             {"construction_method  : 0 (0000) (file offset)", ByteRange::Bits(708, 4)},
             {"data_reference_index : 0 (000000)", R(89, 2)},
             {"extent_count         : 1 (0X0001)", R(91, 2)},
             {"   extent #1   : extent_offset 2,147,483,632, extent_length 100", R(93, 8)},
             {"data : = bytes 2,147,483,632 to 2,147,483,732: past the end of the file (101 bytes)", {}},
         }},
        {"iloc counting more than it holds", Meta({cut}), "iloc", {
             {"version              : 0 (0000)", R(73, 1)},
             {"flags                : 0 (00000000)", R(74, 3)},
             {"offset_size          : 4 (0X04)", ByteRange::Bits(616, 4)},
             {"length_size          : 4 (0X04)", ByteRange::Bits(620, 4)},
             {"base_offset_size     : 0 (0000)", ByteRange::Bits(624, 4)},
             {"reserved             : 0 (0000)", ByteRange::Bits(628, 4)},
             {"item_count           : 65,535 (0XFFFF)", R(79, 2)},
             {"item #1", {}},
             {"item_ID              : 1 (0X0001)", R(81, 2)},
             {"data_reference_index : 0 (000000)", R(83, 2)},
             {"extent_count         : 65,535 (0XFFFF)", R(85, 2)},
             {"(the box ends at offset 87: extent #1 needs 8 bytes, 0 are left)", {}},
         }},
    });
}

TEST(FullItemBoxes, GridItemAndProperties) {
    // A 2x1 grid (item 1) of two HEVC tiles (2 and 3), its dimg reference and the properties.
    const Bytes iinf = FullBox("iinf", 0, 0, Cat({U16(3),
                                                  FullBox("infe", 2, 0, Cat({U16(1), U16(0), Text("grid"), U8(0)})),
                                                  FullBox("infe", 2, 1, Cat({U16(2), U16(0), Text("hvc1"), U8(0)})),
                                                  FullBox("infe", 3, 0, Cat({U32(3), U16(0), Text("mime"), Text("XMP"), U8(0), Text("application/rdf+xml"), U8(0)}))}));
    const Bytes iref = FullBox("iref", 0, 0, Box("dimg", Cat({U16(1), U16(2), U16(2), U16(3)})));
    const Bytes ipco = Box("ipco", {FullBox("ispe", 0, 0, Cat({U32(128), U32(64)})), Box("irot", U8(1)), Box("imir", U8(1)),
                                    FullBox("pixi", 0, 0, Cat({U8(3), U8(8), U8(8), U8(8)})),
                                    FullBox("auxC", 0, 0, Cat({Text("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha"), U8(0)}))});
    const Bytes ipma = FullBox("ipma", 0, 1, Cat({U32(2), U16(1), U8(2), U16(0x8001), U16(0x0002), U16(2), U8(1), U16(0x8003)}));
    // The grid's ImageGrid (1 row, 2 columns, 128 x 64) and the XMP text lie in the idat, at 419 and 427.
    const std::string xmp = "<x:xmpmeta>\n<dc:title>Hi</dc:title>\n</x:xmpmeta>";
    const Bytes iloc = FullBox("iloc", 1, 0, Cat({U8(0x44), U8(0x00), U16(2), U16(1), U16(1), U16(0), U16(1), U32(0), U32(8),
                                                  U16(3), U16(1), U16(0), U16(1), U32(8), U32(static_cast<std::uint32_t>(xmp.size()))}));
    const Bytes idat = Box("idat", Cat({U8(0), U8(0), U8(0), U8(1), U16(128), U16(64), Text(xmp)}));
    const Bytes file = Meta({FullBox("pitm", 0, 0, U16(1)), iinf, iref, Box("iprp", {ipco, ipma}), iloc, idat});
    Expect({
        {"pitm", file, "pitm", {
             {"version : 0 (0000)", R(73, 1)},
             {"flags   : 0 (00000000)", R(74, 3)},
             {"item_ID : 1 (0X0001)", R(77, 2)},
         }},
        {"iinf version 0", file, "iinf", {
             {"version     : 0 (0000)", R(87, 1)},
             {"flags       : 0 (00000000)", R(88, 3)},
             {"entry_count : 3 (0X0003)", R(91, 2)},
         }},
        {"infe version 2 of the grid", file, "infe", {
             {"version               : 2 (0X02)", R(101, 1)},
             {"flags                 : 0 (00000000)", R(102, 3)},
             {"item_ID               : 1 (0X0001)", R(105, 2)},
             {"item_protection_index : 0 (000000)", R(107, 2)},
             {"item_type             : grid (0X67726964) (a grid of images)", R(109, 4)},
             {"item_name             : \"\"", R(113, 1)},
             {"item data             : = 8 bytes through iloc", R(419, 8)},
             {"version               : 0 (0000)", R(419, 1)},
             {"flags                 : 0 (0000)", R(420, 1)},
             {"rows_minus_one        : 0 (0000)", R(421, 1)},
             {"columns_minus_one     : 1 (0X01)", R(422, 1)},
             {"output_width          : 128 (0X0080)", R(423, 2)},
             {"output_height         : 64 (0X0040)", R(425, 2)},
             {"tiles                 : = 1 x 2 (rows x columns)", R(421, 2)},
         }},
        {"dimg: the grid's tiles", file, "dimg", {
             {"from_item_ID    : 1 (0X0001)", R(201, 2)},
             {"reference_count : 2 (0X0002)", R(203, 2)},
             {"to_item_ID #1   : 2 (0X0002)", R(205, 2)},
             {"to_item_ID #2   : 3 (0X0003)", R(207, 2)},
         }},
        {"ispe", file, "ispe", {
             {"version      : 0 (0000)", R(233, 1)},
             {"flags        : 0 (00000000)", R(234, 3)},
             {"image_width  : 128 (0X00000080)", R(237, 4)},
             {"image_height : 64 (0X00000040)", R(241, 4)},
         }},
        {"irot", file, "irot", {
             {"reserved : 0 (0000)", ByteRange::Bits(2024, 6)},
             {"angle    : 1 (0X01) (90 degrees anticlockwise)", ByteRange::Bits(2030, 2)},
         }},
        {"imir", file, "imir", {
             {"reserved : 0 (0000)", ByteRange::Bits(2096, 7)},
             {"axis     : 1 (0X01) (mirrored about a horizontal axis: top and bottom swap)", ByteRange::Bits(2103, 1)},
         }},
        {"pixi", file, "pixi", {
             {"version             : 0 (0000)", R(271, 1)},
             {"flags               : 0 (00000000)", R(272, 3)},
             {"num_channels        : 3 (0X03)", R(275, 1)},
             {"bits_per_channel #1 : 8 (0X08)", R(276, 1)},
             {"bits_per_channel #2 : 8 (0X08)", R(277, 1)},
             {"bits_per_channel #3 : 8 (0X08)", R(278, 1)},
         }},
        {"auxC", file, "auxC", {
             {"version  : 0 (0000)", R(287, 1)},
             {"flags    : 0 (00000000)", R(288, 3)},
             {"aux_type : \"urn:mpeg:mpegB:cicp:systems:auxiliary:alpha\" (alpha)", R(291, 44)},
         }},
        {"ipma with 15-bit indexes", file, "ipma", {
             {"version           : 0 (0000)", R(343, 1)},
             {"flags             : 1 (0X000001)", R(344, 3)},
             {"entry_count       : 2 (0X00000002)", R(347, 4)},
             {"entry #1", {}},
             {"item_ID           : 1 (0X0001)", R(351, 2)},
             {"association_count : 2 (0X02)", R(353, 1)},
             {"essential #1      : 1 (0X01)", ByteRange::Bits(2832, 1)},
             {"property_index #1 : 1 (0X0001)", ByteRange::Bits(2833, 15)},
             {"essential #2      : 0 (0000)", ByteRange::Bits(2848, 1)},
             {"property_index #2 : 2 (0X0002)", ByteRange::Bits(2849, 15)},
             {"entry #2", {}},
             {"item_ID           : 2 (0X0002)", R(358, 2)},
             {"association_count : 1 (0X01)", R(360, 1)},
             {"essential #1      : 1 (0X01)", ByteRange::Bits(2888, 1)},
             {"property_index #1 : 3 (0X0003)", ByteRange::Bits(2889, 15)},
         }},
    });
    // The mime item (the third infe) is version 3 with a 32-bit ID.
    EXPECT_EQ(Shown(DescribeInFullView(file, "infe", 2)), Shown(std::vector<ClickLine>{
                                                             {"version               : 3 (0X03)", R(143, 1)},
                                                             {"flags                 : 0 (00000000)", R(144, 3)},
                                                             {"item_ID               : 3 (0X00000003)", R(147, 4)},
                                                             {"item_protection_index : 0 (000000)", R(151, 2)},
                                                             {"item_type             : mime (0X6D696D65) (a MIME-typed item)", R(153, 4)},
                                                             {"item_name             : \"XMP\"", R(157, 4)},
                                                             {"content_type          : \"application/rdf+xml\"", R(161, 20)},
                                                             {"item data             : = 48 bytes through iloc", R(427, 48)},
                                                             {"   <x:xmpmeta>", R(427, 12)},
                                                             {"   <dc:title>Hi</dc:title>", R(439, 24)},
                                                             {"   </x:xmpmeta>", R(463, 12)},
                                                         }));
    // The summary: the primary grid with its tiles and properties, the hidden tile, the XMP.
    TempFile temp(file, "grid.heic");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    const std::vector<std::string>& info = doc.FileInfoPane().Lines();
    const auto from = std::find(info.begin(), info.end(), "Primary item        : 1");
    ASSERT_NE(from, info.end());
    EXPECT_EQ(std::vector<std::string>(from, info.end()), (std::vector<std::string>{
                                                              "Primary item        : 1",
                                                              "Items               : 3",
                                                              kDescriptionSeparator,
                                                              "[Item 1: grid, primary]",
                                                              "Type                : grid of images",
                                                              "Size                : 128 x 64",
                                                              "Grid                : 1 row, 2 columns, output 128 x 64",
                                                              "Tiles               : items 2, 3",
                                                              "Rotation            : 90 degrees anticlockwise",
                                                              "Bytes               : 8",
                                                              kDescriptionSeparator,
                                                              "[Item 2: hvc1, hidden]",
                                                              "Type                : H.265/HEVC image",
                                                              "Mirror              : about a horizontal axis (top and bottom swap)",
                                                              "Bytes               : not located (no iloc entry, or outside the file)",
                                                              kDescriptionSeparator,
                                                              "[Item 3: mime \"XMP\"]",
                                                              "Type                : MIME-typed item",
                                                              "Content type        : application/rdf+xml (XMP)",
                                                              "Bytes               : 48",
                                                          }));
    // kestrova-dump's items hold the same, every key present.
    const nlohmann::ordered_json items = ItemsJson(doc);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].dump(), R"({"item_id":1,"item_type":"grid","item_name":null,"content_type":null,"primary":true,)"
                               R"("hidden":false,"width":128,"height":64,"rotation":90,"mirror_axis":null,"bit_depths":null,)"
                               R"("color_primaries":null,"transfer":null,"matrix":null,"full_range":null,"grid_rows":1,)"
                               R"("grid_columns":2,"tiles":[2,3],"thumbnails":[],"auxiliary_images":[],"thumbnail_of":null,)"
                               R"("auxiliary_of":null,"aux_type":null,"describes":[],"bytes":8})");
    EXPECT_EQ(items[2]["content_type"], "application/rdf+xml");
}

TEST(FullItemBoxes, EntityGroups) {
    // Two alternatives of one picture, and a stereo pair counting more entities than it holds.
    const Bytes grpl = Box("grpl", {FullBox("altr", 0, 0, Cat({U32(10), U32(2), U32(1), U32(2)})),
                                    FullBox("ster", 0, 0, Cat({U32(11), U32(3), U32(1)}))});
    const Bytes file = Meta({grpl});
    Expect({
        {"altr", file, "altr", {
             {"version               : 0 (0000)", R(81, 1)},
             {"flags                 : 0 (00000000)", R(82, 3)},
             {"group_id              : 10 (0X0000000A)", R(85, 4)},
             {"num_entities_in_group : 2 (0X00000002)", R(89, 4)},
             {"entity_id #1          : 1 (0X00000001)", R(93, 4)},
             {"entity_id #2          : 2 (0X00000002)", R(97, 4)},
         }},
        {"ster cut short", file, "ster", {
             {"version               : 0 (0000)", R(109, 1)},
             {"flags                 : 0 (00000000)", R(110, 3)},
             {"group_id              : 11 (0X0000000B)", R(113, 4)},
             {"num_entities_in_group : 3 (0X00000003)", R(117, 4)},
             {"entity_id #1          : 1 (0X00000001)", R(121, 4)},
             {"(the box ends at offset 125: entity_id #2 needs 4 bytes, 0 are left)", {}},
         }},
    });
}

TEST(FullItemBoxes, SummaryOfColourAndAlpha) {
    // Item 1 with an nclx colour; item 2 its alpha plane (auxl), with an ICC profile.
    const Bytes iinf = FullBox("iinf", 0, 0, Cat({U16(2), FullBox("infe", 2, 0, Cat({U16(1), U16(0), Text("av01"), U8(0)})),
                                                  FullBox("infe", 2, 1, Cat({U16(2), U16(0), Text("av01"), U8(0)}))}));
    const Bytes ipco = Box("ipco", {Box("colr", Cat({Text("nclx"), U16(1), U16(13), U16(6), U8(0x80)})),
                                    FullBox("auxC", 0, 0, Cat({Text("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha"), U8(0)})),
                                    Box("colr", Cat({Text("prof"), Zeros(10)}))});
    const Bytes ipma = FullBox("ipma", 0, 0, Cat({U32(2), U16(1), U8(1), U8(0x81), U16(2), U8(2), U8(0x82), U8(0x03)}));
    const Bytes file = Meta({FullBox("pitm", 0, 0, U16(1)), iinf, FullBox("iref", 0, 0, Box("auxl", Cat({U16(2), U16(1), U16(1)}))),
                             Box("iprp", {ipco, ipma})});
    TempFile temp(file, "alpha.avif");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    const std::vector<std::string>& info = doc.FileInfoPane().Lines();
    const auto from = std::find(info.begin(), info.end(), "[Item 1: av01, primary]");
    ASSERT_NE(from, info.end());
    EXPECT_EQ(std::vector<std::string>(from, info.end()), (std::vector<std::string>{
                                                              "[Item 1: av01, primary]",
                                                              "Type                : AV1 image",
                                                              "Colour primaries    : BT.709 (1)",
                                                              "Transfer            : IEC 61966-2-1 (sRGB, sYCC) (13)",
                                                              "Matrix              : BT.601 525 (SMPTE ST 170) (6)",
                                                              "Range               : full",
                                                              "Auxiliary images    : item 2",
                                                              "Bytes               : not located (no iloc entry, or outside the file)",
                                                              kDescriptionSeparator,
                                                              "[Item 2: av01, hidden]",
                                                              "Type                : AV1 image",
                                                              "Colour              : ICC profile (prof), 10 bytes",
                                                              "Auxiliary image of  : item 1 (alpha)",
                                                              "Bytes               : not located (no iloc entry, or outside the file)",
                                                          }));
}

TEST(FullItemBoxes, ManyItemsAreCountedNotAllListed) {
    // 20,000 items, each with an iloc entry and an association: the summary lists the first 10,000.
    constexpr std::uint32_t kItems = 20'000;
    Bytes infes, locations, associations;
    const auto append = [](Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); };
    for (std::uint32_t id = 1; id <= kItems; ++id) {
        const auto id16 = static_cast<std::uint16_t>(id);
        append(infes, FullBox("infe", 2, 0, Cat({U16(id16), U16(0), Text("hvc1"), U8(0)})));
        append(locations, Cat({U16(id16), U16(0), U16(1), U32(0), U32(1)}));
        append(associations, Cat({U16(id16), U8(1), U8(0x81)}));
    }
    const Bytes file = Meta({FullBox("iinf", 0, 0, Cat({U16(static_cast<std::uint16_t>(kItems)), infes})),
                             FullBox("iloc", 0, 0, Cat({U8(0x44), U8(0), U16(static_cast<std::uint16_t>(kItems)), locations})),
                             Box("iprp", {Box("ipco", {FullBox("ispe", 0, 0, Cat({U32(16), U32(16)}))}),
                                          FullBox("ipma", 0, 0, Cat({U32(kItems), associations}))})});
    TempFile temp(file, "many.heic");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    ASSERT_NE(doc.Full(), nullptr);
    EXPECT_EQ(doc.Full()->summary.items.size(), 10'000u);
    EXPECT_EQ(doc.Full()->summary.items.back().width, std::optional<std::uint32_t>(16));
    const auto& info = doc.FileInfoPane().Lines();
    EXPECT_NE(std::find(info.begin(), info.end(), "Items               : 20,000 (the first 10,000 are listed)"), info.end());
}

}  // namespace
}  // namespace kestrova::test
