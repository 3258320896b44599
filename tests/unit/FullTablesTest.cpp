// The sample tables in the full view: one box at the top level after a small
// ftyp (so its body starts at offset 24), clicked, and every line after the
// version and flags compared with its bytes or bits.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

struct TableCase {
    const char* name;
    Bytes box;
    const char* type;
    std::vector<ClickLine> expected;  // after version and flags
    bool lastLinesOnly = false;  // a long table: only its last lines are compared
};

ByteRange Bits(std::uint64_t bit, std::uint64_t count) { return ByteRange::Bits(bit, count); }

Bytes Repeat(std::size_t n, std::uint8_t v) { return Bytes(n, v); }
Bytes Counting(std::uint8_t first, std::size_t n) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(first + i));
    return out;
}

TEST(FullTables, EveryTableBox) {
    const std::vector<TableCase> cases = {
        {"stsc cut short", FullBox("stsc", 0, 0, Cat({U32(2), U32(1), U32(5), U32(1), Repeat(5, 9)})), "stsc",
         {
             {"entry_count : 2 (0X00000002)", R(28, 4)},
             {"   entry #1   : first_chunk 1 (0X00000001), samples_per_chunk 5 (0X00000005), sample_description_index 1 (0X00000001)", R(32, 12)},
             {"(the box ends at offset 49: entry #2 needs 12 bytes, 5 are left)", {}},
         }},
        {"stsz table", FullBox("stsz", 0, 0, Cat({U32(0), U32(2), U32(1234), U32(70000)})), "stsz",
         {
             {"sample_size  : 0 (0000000000)", R(28, 4)},
             {"sample_count : 2 (0X00000002)", R(32, 4)},
             {"   entry_size #1   : 1,234 (0X000004D2)", R(36, 4)},
             {"   entry_size #2   : 70,000 (0X00011170)", R(40, 4)},
         }},
        {"stsz one size", FullBox("stsz", 0, 0, Cat({U32(512), U32(3000)})), "stsz",
         {
             {"sample_size  : 512 (0X00000200) the size of every sample", R(28, 4)},
             {"sample_count : 3,000 (0X00000BB8)", R(32, 4)},
         }},
        {"stz2 4 bits cut short", FullBox("stz2", 0, 0, Cat({U24(0), U8(4), U32(5), U8(0x5A), U8(0x3C)})), "stz2",
         {
             {"reserved     : 0 (00000000)", R(28, 3)},
             {"field_size   : 4 (0X04)", R(31, 1)},
             {"sample_count : 5 (0X00000005)", R(32, 4)},
             {"   entry_size #1   : 5 (0X05)", Bits(288, 4)},
             {"   entry_size #2   : 10 (0X0A)", Bits(292, 4)},
             {"   entry_size #3   : 3 (0X03)", Bits(296, 4)},
             {"   entry_size #4   : 12 (0X0C)", Bits(300, 4)},
             {"(the box ends at offset 38: entry_size #5 needs 1 byte, 0 are left)", {}},
         }},
        {"stz2 8 bits", FullBox("stz2", 0, 0, Cat({U24(0), U8(8), U32(2), U8(7), U8(255)})), "stz2",
         {
             {"reserved     : 0 (00000000)", R(28, 3)},
             {"field_size   : 8 (0X08)", R(31, 1)},
             {"sample_count : 2 (0X00000002)", R(32, 4)},
             {"   entry_size #1   : 7 (0X07)", R(36, 1)},
             {"   entry_size #2   : 255 (0XFF)", R(37, 1)},
         }},
        {"stz2 16 bits", FullBox("stz2", 0, 0, Cat({U24(0), U8(16), U32(2), U16(256), U16(0xABCD)})), "stz2",
         {
             {"reserved     : 0 (00000000)", R(28, 3)},
             {"field_size   : 16 (0X10)", R(31, 1)},
             {"sample_count : 2 (0X00000002)", R(32, 4)},
             {"   entry_size #1   : 256 (0X0100)", R(36, 2)},
             {"   entry_size #2   : 43,981 (0XABCD)", R(38, 2)},
         }},
        {"co64", FullBox("co64", 0, 0, Cat({U32(1), U64(0x100000000)})), "co64",
         {
             {"entry_count : 1 (0X00000001)", R(28, 4)},
             {"   chunk_offset #1   : 4,294,967,296 (0X0000000100000000)", R(32, 8)},
         }},
        {"ctts 0 negative", FullBox("ctts", 0, 0, Cat({U32(2), U32(2), U32(0xFFFFFC00), U32(1), U32(512)})), "ctts",
         {
             {"entry_count : 2 (0X00000002)", R(28, 4)},
             {"   entry #1   : sample_count 2 (0X00000002), sample_offset -1,024 (0XFFFFFC00)", R(32, 8)},
             {"   entry #2   : sample_count 1 (0X00000001), sample_offset 512 (0X00000200)", R(40, 8)},
         }},
        {"ctts 1", FullBox("ctts", 1, 0, Cat({U32(1), U32(3), U32(0xFFFFFFFF)})), "ctts",
         {
             {"entry_count : 1 (0X00000001)", R(28, 4)},
             {"   entry #1   : sample_count 3 (0X00000003), sample_offset -1 (0XFFFFFFFF)", R(32, 8)},
         }},
        {"cslg 0", FullBox("cslg", 0, 0, Cat({U32(0xFFFFFFFE), U32(0xFFFFFFFF), U32(5), U32(0), U32(1000)})), "cslg",
         {
             {"compositionToDTSShift        : -2 (0XFFFFFFFE)", R(28, 4)},
             {"leastDecodeToDisplayDelta    : -1 (0XFFFFFFFF)", R(32, 4)},
             {"greatestDecodeToDisplayDelta : 5 (0X00000005)", R(36, 4)},
             {"compositionStartTime         : 0 (0X00000000)", R(40, 4)},
             {"compositionEndTime           : 1,000 (0X000003E8)", R(44, 4)},
         }},
        {"cslg 1", FullBox("cslg", 1, 0, Cat({U64(~0ull), U64(0), U64(0x7FFFFFFFFFFFFFFF), U64(2), U64(0x8000000000000000)})), "cslg",
         {
             {"compositionToDTSShift        : -1 (0XFFFFFFFFFFFFFFFF)", R(28, 8)},
             {"leastDecodeToDisplayDelta    : 0 (0X0000000000000000)", R(36, 8)},
             {"greatestDecodeToDisplayDelta : 9,223,372,036,854,775,807 (0X7FFFFFFFFFFFFFFF)", R(44, 8)},
             {"compositionStartTime         : 2 (0X0000000000000002)", R(52, 8)},
             {"compositionEndTime           : -9,223,372,036,854,775,808 (0X8000000000000000)", R(60, 8)},
         }},
        {"elst 0", FullBox("elst", 0, 0, Cat({U32(2), U32(1000), U32(0xFFFFFFFF), U16(1), U16(0), U32(2000), U32(0), U16(1), U16(0x8000)})), "elst",
         {
             {"entry_count : 2 (0X00000002)", R(28, 4)},
             {"   entry #1   : segment_duration 1,000 (0X000003E8), media_time -1 (0XFFFFFFFF) empty edit, media_rate_integer 1 (0X0001), media_rate_fraction 0 (0X0000)", R(32, 12)},
             {"   entry #2   : segment_duration 2,000 (0X000007D0), media_time 0 (0X00000000), media_rate_integer 1 (0X0001), media_rate_fraction -32,768 (0X8000)", R(44, 12)},
         }},
        {"elst 1", FullBox("elst", 1, 0, Cat({U32(1), U64(0x100000000), U64(~0ull), U16(0xFFFF), U16(0)})), "elst",
         {
             {"entry_count : 1 (0X00000001)", R(28, 4)},
             {"   entry #1   : segment_duration 4,294,967,296 (0X0000000100000000), media_time -1 (0XFFFFFFFFFFFFFFFF) empty edit, media_rate_integer -1 (0XFFFF), media_rate_fraction 0 (0X0000)", R(32, 20)},
         }},
        {"sdtp", FullBox("sdtp", 0, 0, Cat({U8(0x20), U8(0x96), U8(0xFF)})), "sdtp",
         {
             {"   entry #1   : is_leading 0 (unknown), sample_depends_on 2 (does not depend on others, I-picture), sample_is_depended_on 0 (unknown), sample_has_redundancy 0 (unknown)", R(28, 1)},
             {"   entry #2   : is_leading 2 (not leading), sample_depends_on 1 (depends on others, not an I-picture), sample_is_depended_on 1 (not disposable), sample_has_redundancy 2 (no redundant coding)", R(29, 1)},
             {"   entry #3   : is_leading 3 (leading, decodable), sample_depends_on 3 (reserved), sample_is_depended_on 3 (reserved), sample_has_redundancy 3 (reserved)", R(30, 1)},
         }},
        {"padb", FullBox("padb", 0, 0, Cat({U32(3), U8(0xA5), U8(0x30)})), "padb",
         {
             {"sample_count : 3 (0X00000003)", R(28, 4)},
             {"   entry #1   : reserved 1 (0X01), pad1 2 (0X02), reserved 0 (0000), pad2 5 (0X05)", R(32, 1)},
             {"   entry #2   : reserved 0 (0000), pad1 3 (0X03), reserved 0 (0000), pad2 0 (0000)", R(33, 1)},
         }},
        {"subs 0", FullBox("subs", 0, 0, Cat({U32(1), U32(1), U16(2), U16(100), U8(1), U8(0), U32(0), U16(200), U8(255), U8(1), U32(0x12345678)})), "subs",
         {
             {"entry_count : 1 (0X00000001)", R(28, 4)},
             {"   entry #1   : sample_delta 1 (0X00000001), subsample_count 2 (0X0002)", R(32, 6)},
             {"      subsample #1   : subsample_size 100 (0X0064), subsample_priority 1 (0X01), discardable 0 (0000), codec_specific_parameters 0 (0000000000)", R(38, 8)},
             {"      subsample #2   : subsample_size 200 (0X00C8), subsample_priority 255 (0XFF), discardable 1 (0X01), codec_specific_parameters 305,419,896 (0X12345678)", R(46, 8)},
         }},
        {"subs 1 cut short", FullBox("subs", 1, 0, Cat({U32(2), U32(3), U16(1), U32(70000), U8(0), U8(0), U32(0)})), "subs",
         {
             {"entry_count : 2 (0X00000002)", R(28, 4)},
             {"   entry #1   : sample_delta 3 (0X00000003), subsample_count 1 (0X0001)", R(32, 6)},
             {"      subsample #1   : subsample_size 70,000 (0X00011170), subsample_priority 0 (0000), discardable 0 (0000), codec_specific_parameters 0 (0000000000)", R(38, 10)},
             {"(the box ends at offset 48: entry #2 needs 6 bytes, 0 are left)", {}},
         }},
        {"saiz", FullBox("saiz", 0, 1, Cat({Text("cenc"), U32(0), U8(0), U32(2), U8(16), U8(8)})), "saiz",
         {
             {"aux_info_type            : cenc (0X63656E63)", R(28, 4)},
             {"aux_info_type_parameter  : 0 (0000000000)", R(32, 4)},
             {"default_sample_info_size : 0 (0000)", R(36, 1)},
             {"sample_count             : 2 (0X00000002)", R(37, 4)},
             {"   sample_info_size #1   : 16 (0X10)", R(41, 1)},
             {"   sample_info_size #2   : 8 (0X08)", R(42, 1)},
         }},
        {"saio 1", FullBox("saio", 1, 0, Cat({U32(2), U64(0x123456789), U64(48)})), "saio",
         {
             {"entry_count : 2 (0X00000002)", R(28, 4)},
             {"   offset #1   : 4,886,718,345 (0X0000000123456789)", R(32, 8)},
             {"   offset #2   : 48 (0X0000000000000030)", R(40, 8)},
         }},
        {"sbgp 1", FullBox("sbgp", 1, 0, Cat({Text("roll"), U32(7), U32(3), U32(10), U32(1), U32(5), U32(0x10002), U32(1), U32(0)})), "sbgp",
         {
             {"grouping_type           : roll (0X726F6C6C)", R(28, 4)},
             {"grouping_type_parameter : 7 (0X00000007)", R(32, 4)},
             {"entry_count             : 3 (0X00000003)", R(36, 4)},
             {"   entry #1   : sample_count 10 (0X0000000A), group_description_index 1 (0X00000001)", R(40, 8)},
             {"   entry #2   : sample_count 5 (0X00000005), group_description_index 65,538 (0X00010002) index 2 in this fragment", R(48, 8)},
             {"   entry #3   : sample_count 1 (0X00000001), group_description_index 0 (0000000000) not in a group of this type", R(56, 8)},
         }},
        {"sgpd prol default_length", FullBox("sgpd", 1, 0, Cat({Text("prol"), U32(2), U32(2), U16(0xFFFF), U16(3)})), "sgpd",
         {
             {"grouping_type  : prol (0X70726F6C)", R(28, 4)},
             {"default_length : 2 (0X00000002)", R(32, 4)},
             {"entry_count    : 2 (0X00000002)", R(36, 4)},
             {"entry #1", {}},
             {"roll_distance  : -1 (0XFFFF)", R(40, 2)},
             {"entry #2", {}},
             {"roll_distance  : 3 (0X0003)", R(42, 2)},
         }},
        {"sgpd roll past the box", FullBox("sgpd", 1, 0, Cat({Text("roll"), U32(0), U32(1), U32(8), U16(5)})), "sgpd",
         {
             {"grouping_type      : roll (0X726F6C6C)", R(28, 4)},
             {"default_length     : 0 (0000000000)", R(32, 4)},
             {"entry_count        : 1 (0X00000001)", R(36, 4)},
             {"entry #1", {}},
             {"description_length : 8 (0X00000008)", R(40, 4)},
             {"roll_distance      : 5 (0X0005)", R(44, 2)},
             {"(the box ends at offset 46: data needs 6 bytes, 0 are left)", {}},
         }},
        {"sgpd alst description_length", FullBox("sgpd", 1, 0, Cat({Text("alst"), U32(0), U32(2), U32(16), U16(2), U16(1), U32(10), U32(20), U16(3), U16(4), U32(3), U16(0), U8(9)})), "sgpd",
         {
             {"grouping_type         : alst (0X616C7374)", R(28, 4)},
             {"default_length        : 0 (0000000000)", R(32, 4)},
             {"entry_count           : 2 (0X00000002)", R(36, 4)},
             {"entry #1", {}},
             {"description_length    : 16 (0X00000010)", R(40, 4)},
             {"roll_count            : 2 (0X0002)", R(44, 2)},
             {"first_output_sample   : 1 (0X0001)", R(46, 2)},
             {"sample_offset[1]      : 10 (0X0000000A)", R(48, 4)},
             {"sample_offset[2]      : 20 (0X00000014)", R(52, 4)},
             {"num_output_samples[1] : 3 (0X0003)", R(56, 2)},
             {"num_total_samples[1]  : 4 (0X0004)", R(58, 2)},
             {"entry #2", {}},
             {"description_length    : 3 (0X00000003)", R(60, 4)},
             {"roll_count            : 0 (000000)", R(64, 2)},
             {"(the entry ends at offset 67: first_output_sample needs 2 bytes, 1 is left)", {}},
             {"data                  : 09", R(66, 1)},
         }},
        {"sgpd rap 2", FullBox("sgpd", 2, 0, Cat({Text("rap "), U32(1), U32(1), U32(2), U8(0x85), U8(0x00)})), "sgpd",
         {
             {"grouping_type                   : rap  (0X72617020)", R(28, 4)},
             {"default_length                  : 1 (0X00000001)", R(32, 4)},
             {"default_group_description_index : 1 (0X00000001)", R(36, 4)},
             {"entry_count                     : 2 (0X00000002)", R(40, 4)},
             {"entry #1", {}},
             {"num_leading_samples_known       : 1 (0X01)", Bits(352, 1)},
             {"num_leading_samples             : 5 (0X05)", Bits(353, 7)},
             {"entry #2", {}},
             {"num_leading_samples_known       : 0 (0000)", Bits(360, 1)},
             {"num_leading_samples             : 0 (0000)", Bits(361, 7)},
         }},
        {"sgpd sync 0", FullBox("sgpd", 0, 0, Cat({Text("sync"), U32(2), U8(0x13), U8(0x55)})), "sgpd",
         {
             {"grouping_type : sync (0X73796E63)", R(28, 4)},
             {"entry_count   : 2 (0X00000002)", R(32, 4)},
             {"entry #1", {}},
             {"reserved      : 0 (0000)", Bits(288, 2)},
             {"NAL_unit_type : 19 (0X13)", Bits(290, 6)},
             {"entry #2", {}},
             {"reserved      : 1 (0X01)", Bits(296, 2)},
             {"NAL_unit_type : 21 (0X15)", Bits(298, 6)},
         }},
        {"sgpd tele 0", FullBox("sgpd", 0, 0, Cat({Text("tele"), U32(1), U8(0x80)})), "sgpd",
         {
             {"grouping_type                 : tele (0X74656C65)", R(28, 4)},
             {"entry_count                   : 1 (0X00000001)", R(32, 4)},
             {"entry #1", {}},
             {"level_independently_decodable : 1 (0X01)", Bits(288, 1)},
             {"reserved                      : 0 (0000)", Bits(289, 7)},
         }},
        {"sgpd tscl", FullBox("sgpd", 1, 0, Cat({Text("tscl"), U32(20), U32(1), U8(2), U8(0x61), U32(0x60000000), U16(0x9000), U32(0), U8(93), U16(500), U16(400), U8(1), U16(7680)})), "sgpd",
         {
             {"grouping_type                 : tscl (0X7473636C)", R(28, 4)},
             {"default_length                : 20 (0X00000014)", R(32, 4)},
             {"entry_count                   : 1 (0X00000001)", R(36, 4)},
             {"entry #1", {}},
             {"temporalLayerId               : 2 (0X02)", R(40, 1)},
             {"tlprofile_space               : 1 (0X01)", Bits(328, 2)},
             {"tltier_flag                   : 1 (0X01)", Bits(330, 1)},
             {"tlprofile_idc                 : 1 (0X01)", Bits(331, 5)},
             {"tlprofile_compatibility_flags : 1,610,612,736 (0X60000000)", R(42, 4)},
             {"tlconstraint_indicator_flags  : 158,329,674,399,744 (0X900000000000)", R(46, 6)},
             {"tllevel_idc                   : 93 (0X5D)", R(52, 1)},
             {"tlMaxBitRate                  : 500 (0X01F4)", R(53, 2)},
             {"tlAvgBitRate                  : 400 (0X0190)", R(55, 2)},
             {"tlConstantFrameRate           : 1 (0X01)", R(57, 1)},
             {"tlAvgFrameRate                : 7,680 (0X1E00)", R(58, 2)},
         }},
        {"sgpd seig constant IV", FullBox("sgpd", 1, 0, Cat({Text("seig"), U32(0), U32(1), U32(29), U8(0), U8(0x19), U8(1), U8(0), Counting(0x00, 16), U8(8), Counting(0xA0, 8)})), "sgpd",
         {
             {"grouping_type      : seig (0X73656967)", R(28, 4)},
             {"default_length     : 0 (0000000000)", R(32, 4)},
             {"entry_count        : 1 (0X00000001)", R(36, 4)},
             {"entry #1", {}},
             {"description_length : 29 (0X0000001D)", R(40, 4)},
             {"reserved           : 0 (0000)", R(44, 1)},
             {"crypt_byte_block   : 1 (0X01)", Bits(360, 4)},
             {"skip_byte_block    : 9 (0X09)", Bits(364, 4)},
             {"isProtected        : 1 (0X01) protected", R(46, 1)},
             {"Per_Sample_IV_Size : 0 (0000) a constant IV", R(47, 1)},
             {"KID                : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", R(48, 16)},
             {"constant_IV_size   : 8 (0X08)", R(64, 1)},
             {"constant_IV        : A0 A1 A2 A3 A4 A5 A6 A7", R(65, 8)},
         }},
        {"sgpd unknown 0", FullBox("sgpd", 0, 0, Cat({Text("abcd"), U32(1), U8(1), U8(2), U8(3)})), "sgpd",
         {
             {"grouping_type : abcd (0X61626364)", R(28, 4)},
             {"entry_count   : 1 (0X00000001)", R(32, 4)},
             {"(version 0 gives no entry length, and the size of an entry of abcd is not known: the entries are shown as bytes)", {}},
             {"data          : 01 02 03", R(36, 3)},
         }},
        {"sgpd unknown 1", FullBox("sgpd", 1, 0, Cat({Text("xyzw"), U32(3), U32(2), Counting(1, 6)})), "sgpd",
         {
             {"grouping_type  : xyzw (0X78797A77)", R(28, 4)},
             {"default_length : 3 (0X00000003)", R(32, 4)},
             {"entry_count    : 2 (0X00000002)", R(36, 4)},
             {"entry #1", {}},
             {"data           : 01 02 03", R(40, 3)},
             {"entry #2", {}},
             {"data           : 04 05 06", R(43, 3)},
         }},
        {"stz2 at the line limit", FullBox("stz2", 0, 0, Cat({U24(0), U8(4), U32(1000001), Repeat(500001, 0x12)})), "stz2",
         {
             {"   entry_size #1000000: 2 (0X02)", Bits(4000284, 4)},
             {"(only the first 1,000,000 entries are shown)", {}},
         },
         true},
    };
    for (const TableCase& c : cases) {
        TempFile temp(Cat({Box("ftyp", Cat({Text("isom"), U32(0)})), c.box}), "tables.mp4");
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(temp.Path());
        const FullLines got = FullClick(doc, FullNodeOf(doc, c.type));
        const std::size_t first = c.lastLinesOnly ? got.lines.size() - std::min(got.lines.size(), c.expected.size()) : 2;
        EXPECT_EQ(Shown(got, first), Shown(c.expected)) << c.name;
        // Every value shows the bytes or bits of its range (a regular expression a line: not for the long table).
        if (!c.lastLinesOnly) {
            EXPECT_EQ(CheckPaneRanges(doc, c.name), std::vector<std::string>{});
        }
    }
}

}  // namespace
}  // namespace kestrova
