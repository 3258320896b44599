// The movie, track and media boxes of the full view: fixture bytes in, the
// lines after the header and the bytes each one lights out.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"

namespace kestrova::test {
namespace {

const Bytes kFtyp = Box("ftyp", Text("isom"));  // 12 bytes: the next box starts at 12

Bytes Matrix(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (const std::uint32_t v : values) out = Cat({out, U32(v)});
    return out;
}

const Bytes kIdentity = Matrix({0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000});

TEST(FullMovieBoxes, FileAndMovieHeaders) {
    const Bytes mvhd0 = FullBox("mvhd", 0, 0, Cat({U32(31622400), U32(0), U32(1000), U32(5000), U32(0x10000), U16(0x100),
                                                   Zeros(10), kIdentity, Zeros(24), U32(2)}));
    // 64-bit times and duration; a negative volume and a 2.30 term of the matrix.
    const Bytes mvhd1 = FullBox("mvhd", 1, 0,
                                Cat({U64(0x100000000), U64(0x100000001), U32(600), U64(0x200000000), U32(0x18000), U16(0xFF00),
                                     Zeros(10), Matrix({0x10000, 0, 0xC0000000, 0, 0x10000, 0, 0, 0, 0x40000000}), Zeros(24),
                                     U32(7)}));
    ExpectClicks({
        {"ftyp with two compatible brands", Box("ftyp", Cat({Text("mp42"), U32(1), Text("isom"), Text("mp42")})), "ftyp",
         {
             {"major_brand   : mp42 (0X6D703432)", R(8, 4)},
             {"minor_version : 1 (0X00000001)", R(12, 4)},
             {"   compatible_brands #1   : isom (0X69736F6D)", R(16, 4)},
             {"   compatible_brands #2   : mp42 (0X6D703432)", R(20, 4)},
         }},
        {"mvhd version 0", Cat({kFtyp, Box("moov", {mvhd0})}), "mvhd",
         {
             {"version           : 0 (0000)", R(28, 1)},
             {"flags             : 0 (00000000)", R(29, 3)},
             {"creation_time     : 31,622,400 (0X01E28500) 1905-01-01 00:00:00 UTC", R(32, 4)},
             {"modification_time : 0 (0000000000)", R(36, 4)},
             {"timescale         : 1,000 (0X000003E8)", R(40, 4)},
             {"duration          : 5,000 (0X00001388)", R(44, 4)},
             {"rate              : 1.0 (0X00010000)", R(48, 4)},
             {"volume            : 1.0 (0X0100)", R(52, 2)},
             {"reserved          : 0 (000000)", R(54, 2)},
             {"reserved          : 0 (0000000000)", R(56, 4)},
             {"reserved          : 0 (0000000000)", R(60, 4)},
             {"matrix a          : 1.0 (0X00010000)", R(64, 4)},
             {"matrix b          : 0.0 (0000000000)", R(68, 4)},
             {"matrix u          : 0.0 (0000000000)", R(72, 4)},
             {"matrix c          : 0.0 (0000000000)", R(76, 4)},
             {"matrix d          : 1.0 (0X00010000)", R(80, 4)},
             {"matrix v          : 0.0 (0000000000)", R(84, 4)},
             {"matrix x          : 0.0 (0000000000)", R(88, 4)},
             {"matrix y          : 0.0 (0000000000)", R(92, 4)},
             {"matrix w          : 1.0 (0X40000000)", R(96, 4)},
             {"pre_defined       : 0 (0000000000)", R(100, 4)},
             {"pre_defined       : 0 (0000000000)", R(104, 4)},
             {"pre_defined       : 0 (0000000000)", R(108, 4)},
             {"pre_defined       : 0 (0000000000)", R(112, 4)},
             {"pre_defined       : 0 (0000000000)", R(116, 4)},
             {"pre_defined       : 0 (0000000000)", R(120, 4)},
             {"next_track_ID     : 2 (0X00000002)", R(124, 4)},
         }},
        {"mvhd version 1", Cat({kFtyp, Box("moov", {mvhd1})}), "mvhd",
         {
             {"version           : 1 (0X01)", R(28, 1)},
             {"flags             : 0 (00000000)", R(29, 3)},
             {"creation_time     : 4,294,967,296 (0X0000000100000000) 2040-02-06 06:28:16 UTC", R(32, 8)},
             {"modification_time : 4,294,967,297 (0X0000000100000001) 2040-02-06 06:28:17 UTC", R(40, 8)},
             {"timescale         : 600 (0X00000258)", R(48, 4)},
             {"duration          : 8,589,934,592 (0X0000000200000000)", R(52, 8)},
             {"rate              : 1.5 (0X00018000)", R(60, 4)},
             {"volume            : -1.0 (0XFF00)", R(64, 2)},
             {"reserved          : 0 (000000)", R(66, 2)},
             {"reserved          : 0 (0000000000)", R(68, 4)},
             {"reserved          : 0 (0000000000)", R(72, 4)},
             {"matrix a          : 1.0 (0X00010000)", R(76, 4)},
             {"matrix b          : 0.0 (0000000000)", R(80, 4)},
             {"matrix u          : -1.0 (0XC0000000)", R(84, 4)},
             {"matrix c          : 0.0 (0000000000)", R(88, 4)},
             {"matrix d          : 1.0 (0X00010000)", R(92, 4)},
             {"matrix v          : 0.0 (0000000000)", R(96, 4)},
             {"matrix x          : 0.0 (0000000000)", R(100, 4)},
             {"matrix y          : 0.0 (0000000000)", R(104, 4)},
             {"matrix w          : 1.0 (0X40000000)", R(108, 4)},
             {"pre_defined       : 0 (0000000000)", R(112, 4)},
             {"pre_defined       : 0 (0000000000)", R(116, 4)},
             {"pre_defined       : 0 (0000000000)", R(120, 4)},
             {"pre_defined       : 0 (0000000000)", R(124, 4)},
             {"pre_defined       : 0 (0000000000)", R(128, 4)},
             {"pre_defined       : 0 (0000000000)", R(132, 4)},
             {"next_track_ID     : 7 (0X00000007)", R(136, 4)},
         }},
    });
}

TEST(FullMovieBoxes, TrackAndMediaHeaders) {
    // Turned a quarter clockwise: x' = -y + 240, y' = x.
    const Bytes tkhd90 = FullBox("tkhd", 0, 3,
                                 Cat({U32(0), U32(0), U32(1), U32(0), U32(1000), Zeros(8), U16(0), U16(0xFFFF), U16(0), U16(0),
                                      Matrix({0, 0x10000, 0, 0xFFFF0000, 0, 0, 0x00F00000, 0, 0x40000000}), U32(320 << 16),
                                      U32(240 << 16)}));
    ExpectClicks({
        {"tkhd with a 90-degree matrix and two flags", Cat({kFtyp, Box("moov", {tkhd90})}), "tkhd",
         {
             {"version           : 0 (0000)", R(28, 1)},
             {"flags             : 3 (0X000003) track_enabled, track_in_movie", R(29, 3)},
             {"creation_time     : 0 (0000000000)", R(32, 4)},
             {"modification_time : 0 (0000000000)", R(36, 4)},
             {"track_ID          : 1 (0X00000001)", R(40, 4)},
             {"reserved          : 0 (0000000000)", R(44, 4)},
             {"duration          : 1,000 (0X000003E8)", R(48, 4)},
             {"reserved          : 0 (0000000000)", R(52, 4)},
             {"reserved          : 0 (0000000000)", R(56, 4)},
             {"layer             : 0 (0X0000)", R(60, 2)},
             {"alternate_group   : -1 (0XFFFF)", R(62, 2)},
             {"volume            : 0.0 (000000)", R(64, 2)},
             {"reserved          : 0 (000000)", R(66, 2)},
             {"matrix a          : 0.0 (0000000000)", R(68, 4)},
             {"matrix b          : 1.0 (0X00010000)", R(72, 4)},
             {"matrix u          : 0.0 (0000000000)", R(76, 4)},
             {"matrix c          : -1.0 (0XFFFF0000)", R(80, 4)},
             {"matrix d          : 0.0 (0000000000)", R(84, 4)},
             {"matrix v          : 0.0 (0000000000)", R(88, 4)},
             {"matrix x          : 240.0 (0X00F00000)", R(92, 4)},
             {"matrix y          : 0.0 (0000000000)", R(96, 4)},
             {"matrix w          : 1.0 (0X40000000)", R(100, 4)},
             {"rotation          : = 90 degrees clockwise", R(68, 36)},
             {"width             : 320.0 (0X01400000)", R(104, 4)},
             {"height            : 240.0 (0X00F00000)", R(108, 4)},
         }},
        {"tkhd cut after track_ID", Cat({kFtyp, Box("moov", {FullBox("tkhd", 0, 1, Cat({U32(0), U32(0), U32(5)}))})}), "tkhd",
         {
             {"version           : 0 (0000)", R(28, 1)},
             {"flags             : 1 (0X000001) track_enabled", R(29, 3)},
             {"creation_time     : 0 (0000000000)", R(32, 4)},
             {"modification_time : 0 (0000000000)", R(36, 4)},
             {"track_ID          : 5 (0X00000005)", R(40, 4)},
             {"(the box ends at offset 44: reserved needs 4 bytes, 0 are left)", ByteRange{}},
         }},
        {"mdhd with a packed language",
         Cat({kFtyp, Box("moov", {FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(48000), U32(96000), U16(0x15C7), U16(0)}))})}),
         "mdhd",
         {
             {"version           : 0 (0000)", R(28, 1)},
             {"flags             : 0 (00000000)", R(29, 3)},
             {"creation_time     : 0 (0000000000)", R(32, 4)},
             {"modification_time : 0 (0000000000)", R(36, 4)},
             {"timescale         : 48,000 (0X0000BB80)", R(40, 4)},
             {"duration          : 96,000 (0X00017700)", R(44, 4)},
             {"language          : 5,575 (0X15C7) eng", R(48, 2)},
             {"pre_defined       : 0 (000000)", R(50, 2)},
         }},
        {"QuickTime hdlr: component type and a Pascal name",
         Cat({kFtyp, Box("moov", {FullBox("hdlr", 0, 0, Cat({Text("mhlr"), Text("vide"), Text("appl"), U32(0x40000000),
                                                                U32(0x0001001F), U8(12), Text("VideoHandler")}))})}),
         "hdlr",
         {
             {"version      : 0 (0000)", R(28, 1)},
             {"flags        : 0 (00000000)", R(29, 3)},
             {"pre_defined  : mhlr (0X6D686C72)", R(32, 4)},
             {"handler_type : vide (0X76696465) video", R(36, 4)},
             {"reserved     : 1,634,758,764 (0X6170706C)", R(40, 4)},
             {"reserved     : 1,073,741,824 (0X40000000)", R(44, 4)},
             {"reserved     : 65,567 (0X0001001F)", R(48, 4)},
             {"name         : \"VideoHandler\" (a Pascal string)", R(52, 13)},
         }},
        {"ISO hdlr with a C-string name",
         Cat({kFtyp, Box("moov", {FullBox("hdlr", 0, 0, Cat({U32(0), Text("soun"), Zeros(12), Text("SoundHandler"), U8(0)}))})}),
         "hdlr",
         {
             {"version      : 0 (0000)", R(28, 1)},
             {"flags        : 0 (00000000)", R(29, 3)},
             {"pre_defined  : 0 (0000000000)", R(32, 4)},
             {"handler_type : soun (0X736F756E) sound", R(36, 4)},
             {"reserved     : 0 (0000000000)", R(40, 4)},
             {"reserved     : 0 (0000000000)", R(44, 4)},
             {"reserved     : 0 (0000000000)", R(48, 4)},
             {"name         : \"SoundHandler\"", R(52, 13)},
         }},
        {"smhd with a signed balance", Cat({kFtyp, Box("moov", {FullBox("smhd", 0, 0, Cat({U16(0xFF80), U16(0)}))})}), "smhd",
         {
             {"version  : 0 (0000)", R(28, 1)},
             {"flags    : 0 (00000000)", R(29, 3)},
             {"balance  : -0.5 (0XFF80)", R(32, 2)},
             {"reserved : 0 (000000)", R(34, 2)},
         }},
    });
}

TEST(FullMovieBoxes, DataReferencesAndPlainData) {
    const auto inDref = [](const Bytes& entry) {
        return Cat({kFtyp, Box("moov", {Box("dinf", {FullBox("dref", 0, 0, Cat({U32(1), entry}))})})});
    };
    Bytes usertype;
    for (std::uint8_t i = 0; i < 16; ++i) usertype = Cat({usertype, U8(i)});
    ExpectClicks({
        {"self-contained url", inDref(FullBox("url ", 0, 1)), "url ",
         {
             {"version : 0 (0000)", R(52, 1)},
             {"flags   : 1 (0X000001) self-contained: media data in the same file", R(53, 3)},
         }},
        {"urn with name and location", inDref(FullBox("urn ", 0, 0, Cat({Text("urn:x"), U8(0), Text("f.mp4"), U8(0)}))), "urn ",
         {
             {"version  : 0 (0000)", R(52, 1)},
             {"flags    : 0 (00000000)", R(53, 3)},
             {"name     : \"urn:x\"", R(56, 6)},
             {"location : \"f.mp4\"", R(62, 6)},
         }},
        {"mdat with a 64-bit size", Cat({kFtyp, LargeBox("mdat", Text("abcd"))}), "mdat",
         {
             {"data : = 4 bytes from offset 28 to 31", R(28, 4)},
         }},
        {"mdat of size 0 at the top level", Cat({kFtyp, BoxWithSize(0, "mdat", Zeros(10))}), "mdat",
         {
             {"extent : = 18 bytes, to the end of the file", ByteRange{}},
             {"data   : = 10 bytes from offset 20 to 29", R(20, 10)},
         }},
        {"a large free box is read in part", Cat({kFtyp, Box("free", Zeros(5000))}), "free",
         {
             {"data : 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ... (4,096 bytes)", R(20, 4096)},
             {"(only the first 4,096 of 5,000 bytes are read)", ByteRange{}},
         }},
        {"uuid", Cat({kFtyp, Box("uuid", Cat({usertype, Text("xy")}))}), "uuid",
         {
             {"usertype : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 00010203-0405-0607-0809-0A0B0C0D0E0F", R(20, 16)},
             {"data     : 78 79", R(36, 2)},
         }},
        {"sdp text split at line ends", Cat({kFtyp, Box("udta", {Box("hnti", {Box("sdp ", Text("v=0\r\nb=AS:1\n"))})})}), "sdp ",
         {
             {"   sdptext #1   : \"v=0\"", R(36, 5)},
             {"   sdptext #2   : \"b=AS:1\"", R(41, 7)},
         }},
    });
}

TEST(FullMovieBoxes, ThreeGppAnnotations) {
    const auto inUdta = [](const Bytes& box) { return Cat({kFtyp, Box("udta", {box})}); };
    const Bytes eng = U16(0x15C7);
    ExpectClicks({
        {"titl in UTF-16 with a byte-order mark",
         inUdta(FullBox("titl", 0, 0, Cat({eng, U8(0xFE), U8(0xFF), U16('H'), U16('i'), U16(0)}))), "titl",
         {
             {"version  : 0 (0000)", R(28, 1)},
             {"flags    : 0 (00000000)", R(29, 3)},
             {"language : 5,575 (0X15C7) eng", R(32, 2)},
             {"title    : \"Hi\" UTF-16 big-endian", R(34, 8)},
         }},
        {"kywd in UTF-8 and UTF-16",
         inUdta(FullBox("kywd", 0, 0, Cat({eng, U8(2), U8(3), Text("sea"), U8(6), U8(0xFE), U8(0xFF), U16(0xE9), U16(0)}))),
         "kywd",
         {
             {"version    : 0 (0000)", R(28, 1)},
             {"flags      : 0 (00000000)", R(29, 3)},
             {"language   : 5,575 (0X15C7) eng", R(32, 2)},
             {"keywordCnt : 2 (0X02)", R(34, 1)},
             {"   keyword #1   : \"sea\"", R(35, 4)},
             {"   keyword #2   : \"é\"", R(39, 7)},
         }},
        {"loci", inUdta(FullBox("loci", 0, 0, Cat({eng, Text("Pier"), U8(0), U8(1), U32(0xFFFF8000), U32(0x00334000), U32(0),
                                                      Text("earth"), U8(0), U8(0)}))),
         "loci",
         {
             {"version           : 0 (0000)", R(28, 1)},
             {"flags             : 0 (00000000)", R(29, 3)},
             {"language          : 5,575 (0X15C7) eng", R(32, 2)},
             {"name              : \"Pier\"", R(34, 5)},
             {"role              : 1 (0X01) real location", R(39, 1)},
             {"longitude         : -0.5 (0XFFFF8000)", R(40, 4)},
             {"latitude          : 51.25 (0X00334000)", R(44, 4)},
             {"altitude          : 0.0 (0000000000)", R(48, 4)},
             {"astronomical_body : \"earth\"", R(52, 6)},
             {"additional_notes  : \"\"", R(58, 1)},
         }},
    });
}

}  // namespace
}  // namespace kestrova::test
