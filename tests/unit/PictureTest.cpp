// Which boxes of the full view hold a picture, and where: covers of each type
// indicator (and an implicit one told by its bytes), and the image items of a
// file-level meta with the roles libheif reaches them by.

#include <gtest/gtest.h>

#include <algorithm>

#include "FullFixtures.h"
#include "common/FileSource.h"
#include "shell/Picture.h"

namespace kestrova::test {
namespace {

Bytes Data(std::uint32_t indicator, const Bytes& value) { return Box("data", Cat({U32(indicator), U32(0), value})); }

Bytes Tagged(std::initializer_list<Bytes> items) {
    Bytes ilst;
    for (const Bytes& i : items) ilst = Cat({ilst, i});
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("mdir"), Text("appl"), Zeros(9)}));
    return Cat({Box("ftyp", Cat({Text("M4A "), U32(0)})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("udta", {FullBox("meta", 0, 0, Cat({hdlr, Box("ilst", ilst)}))})})});
}

Bytes Infe(std::uint8_t version, std::uint32_t id, const std::string& type) {
    return FullBox("infe", version, 0, Cat({version == 2 ? U16(static_cast<std::uint16_t>(id)) : U32(id), U16(0), Text(type), U8(0)}));
}

// An image file: item 1 the primary image, 2 its thumbnail, 3 Exif, 4 a grid
// of 5 and 6, 7 an alpha plane of 1, 8 a JPEG. The iloc places 1, 2 and 8 in
// the file (offsets 0 to 559), and 3 past its end.
Bytes Heif(std::uint8_t ilocVersion = 1) {
    const Bytes iinf = FullBox("iinf", 0, 0, Cat({U16(8), Infe(2, 1, "hvc1"), Infe(2, 2, "hvc1"), Infe(2, 3, "Exif"),
                                                  Infe(2, 4, "grid"), Infe(3, 5, "av01"), Infe(2, 6, "av01"),
                                                  Infe(2, 7, "hvc1"), Infe(2, 8, "jpeg")}));
    const Bytes iref = FullBox("iref", 0, 0, Cat({Box("thmb", Cat({U16(2), U16(1), U16(1)})),
                                                  Box("dimg", Cat({U16(4), U16(2), U16(5), U16(6)})),
                                                  Box("auxl", Cat({U16(7), U16(1), U16(1)}))}));
    // Item 1: two extents, 300 and 200 bytes; item 2: one of 40 (4-byte offsets and lengths, no base).
    const Bytes method = ilocVersion >= 1 ? U16(0) : Bytes{};
    const Bytes iloc = FullBox("iloc", ilocVersion, 0,
                               Cat({U8(0x44), U8(0x00), U16(4), U16(1), method, U16(0), U16(2), U32(0), U32(300), U32(300),
                                    U32(200), U16(2), method, U16(0), U16(1), U32(500), U32(40), U16(3), method, U16(0),
                                    U16(1), U32(5000), U32(10), U16(8), method, U16(0), U16(1), U32(540), U32(20)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("pict"), Zeros(12), U8(0)}));
    return Cat({Box("ftyp", Cat({Text("heic"), U32(0), Text("mif1")})),
                FullBox("meta", 0, 0, Cat({hdlr, FullBox("pitm", 0, 0, U16(1)), iinf, iref, iloc})), Box("mdat", Zeros(600))});
}

std::uint64_t Find(const Bytes& file, const Bytes& what) {
    return static_cast<std::uint64_t>(std::search(file.begin(), file.end(), what.begin(), what.end()) - file.begin());
}

std::string Describe(const std::optional<PictureSource>& p) {
    if (!p) return "none";
    return std::string(PictureKindName(p->kind)) + " at " + std::to_string(p->offset) + " length " +
           std::to_string(p->length) + " item " + std::to_string(p->itemId) + " " + FourccText(p->itemType) + " role " +
           std::to_string(static_cast<int>(p->role)) + " of " + std::to_string(p->ownerId);
}

PictureSource Cover(PictureKind kind, std::uint64_t offset, std::uint64_t length) {
    PictureSource p;
    p.kind = kind;
    p.offset = offset;
    p.length = length;
    return p;
}

PictureSource Item(std::uint32_t id, const char (&type)[5], std::uint64_t length, ItemRole role = ItemRole::Image,
                   std::uint32_t owner = 0) {
    PictureSource p;
    p.kind = PictureKind::HeifItem;
    p.itemId = id;
    p.itemType = Fourcc(type);
    p.length = length;
    p.role = role;
    p.ownerId = owner;
    return p;
}

TEST(Picture, BoxesThatHoldOne) {
    const Bytes jpeg = Cat({U8(0xFF), U8(0xD8), U8(0xFF), U8(0xE0), Text("JFIF-cover")});
    const Bytes png = Cat({U8(0x89), Text("PNG\r\n"), U8(0x1A), Text("\nrest")});
    const Bytes bmp = Text("BM-bitmap");
    const Bytes title = Box("\xA9nam", {Data(1, Text("Title"))});
    const Bytes covers = Tagged({title, Box("covr", {Data(13, jpeg), Data(14, png)})});
    const Bytes bmpCover = Tagged({Box("covr", {Data(27, bmp)})});
    const Bytes implicitPng = Tagged({Box("covr", {Data(0, png)})});
    const Bytes implicitText = Tagged({Box("covr", {Data(0, Text("not a picture"))})});
    const Bytes cutData = Tagged({Box("covr", {Box("data", U32(13))})});
    // 3GPP's thumbnail: version and flags, a format, the picture.
    const Bytes thmb = Cat({Box("ftyp", Cat({Text("3gp6"), U32(0)})),
                            Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("udta", {FullBox("thmb", 0, 0, Cat({Text("jpeg"), jpeg}))})})});
    const Bytes heif = Heif(), heifV0 = Heif(0);

    struct Case {
        const char* name;
        const Bytes& file;
        const char* type;
        int nth;
        std::optional<PictureSource> expected;
    };
    const std::vector<Case> cases = {
        {"a JPEG data box", covers, "data", 1, Cover(PictureKind::Jpeg, Find(covers, jpeg), jpeg.size())},
        {"a PNG data box", covers, "data", 2, Cover(PictureKind::Png, Find(covers, png), png.size())},
        {"the covr item: its first picture", covers, "covr", 0, Cover(PictureKind::Jpeg, Find(covers, jpeg), jpeg.size())},
        {"a text data box", covers, "data", 0, std::nullopt},
        {"the text's item", covers, "\xA9nam", 0, std::nullopt},
        {"the ilst", covers, "ilst", 0, std::nullopt},
        {"a moov's meta holds no items", covers, "meta", 0, std::nullopt},
        {"a BMP data box", bmpCover, "data", 0, Cover(PictureKind::Bmp, Find(bmpCover, bmp), bmp.size())},
        {"an implicit cover told by its bytes", implicitPng, "covr", 0,
         Cover(PictureKind::Png, Find(implicitPng, png), png.size())},
        {"an implicit cover of other bytes", implicitText, "data", 0, std::nullopt},
        {"a data box too short for its value", cutData, "data", 0, std::nullopt},
        {"a 3GPP thumbnail", thmb, "thmb", 0, Cover(PictureKind::Jpeg, Find(thmb, jpeg), jpeg.size())},
        {"the primary image's infe", heif, "infe", 0, Item(1, "hvc1", 500)},
        {"a thumbnail", heif, "infe", 1, Item(2, "hvc1", 40, ItemRole::Thumbnail, 1)},
        {"an Exif item is no picture", heif, "infe", 2, std::nullopt},
        {"a grid, not in the iloc", heif, "infe", 3, Item(4, "grid", 0)},
        {"a grid's tile, infe version 3", heif, "infe", 4, Item(5, "av01", 0, ItemRole::Input, 4)},
        {"an alpha plane", heif, "infe", 6, Item(7, "hvc1", 0, ItemRole::Auxiliary, 1)},
        {"a JPEG item is read as a JPEG", heif, "infe", 7, Cover(PictureKind::Jpeg, 540, 20)},
        {"the file's meta stands for its primary item", heif, "meta", 0, Item(1, "hvc1", 500)},
        {"iloc version 0", heifV0, "infe", 1, Item(2, "hvc1", 40, ItemRole::Thumbnail, 1)},
        {"the iloc itself", heif, "iloc", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile temp(c.file, "picture.mp4");
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(temp.Path());
        const std::int64_t node = FullNodeOf(doc, c.type, c.nth);
        ASSERT_GT(node, 0);
        doc.TreeView1Click(node);
        EXPECT_EQ(Describe(PictureOfSelection(doc)), Describe(c.expected));
    }
}

}  // namespace
}  // namespace kestrova::test
