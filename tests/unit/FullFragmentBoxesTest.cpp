// The boxes of movie fragments and segments in the full view: one box at the
// top level after a 12-byte ftyp (so its body starts at offset 20), clicked,
// and every line compared with its bytes, then checked against the file.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

const Bytes kFtyp = Box("ftyp", Text("isom"));

TEST(FullFragmentBoxes, EveryFragmentBox) {
    const std::vector<ClickCase> cases = {
        {"tfhd with every optional field", FullBox("tfhd", 0, 0x3003B, Cat({U32(1), U64(0x100000000), U32(2), U32(1024), U32(500), U32(0x01010000)})), "tfhd",
         {
             {"version                  : 0 (0000)", R(20, 1)},
             {"flags                    : 196,667 (0X03003B) base-data-offset-present, sample-description-index-present, default-sample-duration-present, default-sample-size-present, default-sample-flags-present, duration-is-empty, default-base-is-moof", R(21, 3)},
             {"track_ID                 : 1 (0X00000001)", R(24, 4)},
             {"base_data_offset         : 4,294,967,296 (0X0000000100000000)", R(28, 8)},
             {"sample_description_index : 2 (0X00000002)", R(36, 4)},
             {"default_sample_duration  : 1,024 (0X00000400)", R(40, 4)},
             {"default_sample_size      : 500 (0X000001F4)", R(44, 4)},
             {"default_sample_flags     : 16,842,752 (0X01010000) is_leading 0, sample_depends_on 1, sample_is_depended_on 0, sample_has_redundancy 0, sample_padding_value 0, sample_is_non_sync_sample 1, sample_degradation_priority 0", R(48, 4)},
         }},
        {"tfhd without optional fields", FullBox("tfhd", 0, 0, U32(7)), "tfhd",
         {
             {"version  : 0 (0000)", R(20, 1)},
             {"flags    : 0 (00000000)", R(21, 3)},
             {"track_ID : 7 (0X00000007)", R(24, 4)},
         }},
        {"trun version 0 with every field, a negative offset", FullBox("trun", 0, 0xF05, Cat({U32(2), U32(0xFFFFFFF8), U32(0x02000000), U32(1024), U32(300), U32(0x02000000), U32(0xFFFFFC00), U32(1024), U32(200), U32(0x01010000), U32(512)})), "trun",
         {
             {"version            : 0 (0000)", R(20, 1)},
             {"flags              : 3,845 (0X000F05) data-offset-present, first-sample-flags-present, sample-duration-present, sample-size-present, sample-flags-present, sample-composition-time-offsets-present", R(21, 3)},
             {"sample_count       : 2 (0X00000002)", R(24, 4)},
             {"data_offset        : -8 (0XFFFFFFF8)", R(28, 4)},
             {"first_sample_flags : 33,554,432 (0X02000000) is_leading 0, sample_depends_on 2, sample_is_depended_on 0, sample_has_redundancy 0, sample_padding_value 0, sample_is_non_sync_sample 0, sample_degradation_priority 0", R(32, 4)},
             {"(this run is not placed in the file: it has no traf with a tfhd of a track the file knows)", {}},
             {"   sample #1   : sample_duration 1,024 (0X00000400), sample_size 300 (0X0000012C), sample_flags 33,554,432 (0X02000000), sample_composition_time_offset -1,024 (0XFFFFFC00)", R(36, 16)},
             {"   sample #2   : sample_duration 1,024 (0X00000400), sample_size 200 (0X000000C8), sample_flags 16,842,752 (0X01010000) non-sync, sample_composition_time_offset 512 (0X00000200)", R(52, 16)},
         }},
        {"trun without optional fields", FullBox("trun", 0, 0, U32(3)), "trun",
         {
             {"version      : 0 (0000)", R(20, 1)},
             {"flags        : 0 (00000000)", R(21, 3)},
             {"sample_count : 3 (0X00000003)", R(24, 4)},
             {"(this run is not placed in the file: it has no traf with a tfhd of a track the file knows)", {}},
         }},
        {"trun version 1 offsets only", FullBox("trun", 1, 0x800, Cat({U32(1), U32(0xFFFFFFFE)})), "trun",
         {
             {"version      : 1 (0X01)", R(20, 1)},
             {"flags        : 2,048 (0X000800) sample-composition-time-offsets-present", R(21, 3)},
             {"sample_count : 1 (0X00000001)", R(24, 4)},
             {"(this run is not placed in the file: it has no traf with a tfhd of a track the file knows)", {}},
             {"   sample #1   : sample_composition_time_offset -2 (0XFFFFFFFE)", R(28, 4)},
         }},
        {"trun counting more samples than its bytes", FullBox("trun", 0, 0x300, Cat({U32(0xFFFFFFFF), U32(10), U32(20), Zeros(3)})), "trun",
         {
             {"version      : 0 (0000)", R(20, 1)},
             {"flags        : 768 (0X000300) sample-duration-present, sample-size-present", R(21, 3)},
             {"sample_count : 4,294,967,295 (0XFFFFFFFF)", R(24, 4)},
             {"(this run is not placed in the file: it has no traf with a tfhd of a track the file knows)", {}},
             {"   sample #1   : sample_duration 10 (0X0000000A), sample_size 20 (0X00000014)", R(28, 8)},
             {"(the box ends at offset 39: sample #2 needs 8 bytes, 3 are left)", {}},
         }},
        {"tfdt version 0", FullBox("tfdt", 0, 0, U32(90000)), "tfdt",
         {
             {"version             : 0 (0000)", R(20, 1)},
             {"flags               : 0 (00000000)", R(21, 3)},
             {"baseMediaDecodeTime : 90,000 (0X00015F90)", R(24, 4)},
         }},
        {"tfdt version 1", FullBox("tfdt", 1, 0, U64(0x123456789)), "tfdt",
         {
             {"version             : 1 (0X01)", R(20, 1)},
             {"flags               : 0 (00000000)", R(21, 3)},
             {"baseMediaDecodeTime : 4,886,718,345 (0X0000000123456789)", R(24, 8)},
         }},
        // 56 bytes from 12: the references start at 68 + first_offset 100.
        {"sidx version 0 with two references", FullBox("sidx", 0, 0, Cat({U32(1), U32(90000), U32(0), U32(100), U16(0), U16(2), U32(1000), U32(180000), U32(0x90000000), U32(0x80000010), U32(90000), U32(0x0000000A)})), "sidx",
         {
             {"version                    : 0 (0000)", R(20, 1)},
             {"flags                      : 0 (00000000)", R(21, 3)},
             {"reference_ID               : 1 (0X00000001)", R(24, 4)},
             {"timescale                  : 90,000 (0X00015F90)", R(28, 4)},
             {"earliest_presentation_time : 0 (0000000000)", R(32, 4)},
             {"first_offset               : 100 (0X00000064)", R(36, 4)},
             {"reserved                   : 0 (000000)", R(40, 2)},
             {"reference_count            : 2 (0X0002)", R(42, 2)},
             {"   reference #1   : reference_type 0 (media), referenced_size 1,000 (0X000003E8), subsegment_duration 180,000 (0X0002BF20), starts_with_SAP 1, SAP_type 1, SAP_delta_time 0, bytes 168 to 1,167, starts at 0 (0.000 s)", R(44, 12)},
             {"   reference #2   : reference_type 1 (an index), referenced_size 16 (0X00000010), subsegment_duration 90,000 (0X00015F90), starts_with_SAP 0, SAP_type 0, SAP_delta_time 10, bytes 1,168 to 1,183, starts at 180,000 (2.000 s)", R(56, 12)},
         }},
        // 52 bytes from 12: the references start at 64.
        {"sidx version 1 with two references", FullBox("sidx", 1, 0, Cat({U32(2), U32(1000), U64(0x100000000), U64(0), U16(0), U16(2), U32(50), U32(2000), U32(0xA0000000), U32(70), U32(2000), U32(0x90000000)})), "sidx",
         {
             {"version                    : 1 (0X01)", R(20, 1)},
             {"flags                      : 0 (00000000)", R(21, 3)},
             {"reference_ID               : 2 (0X00000002)", R(24, 4)},
             {"timescale                  : 1,000 (0X000003E8)", R(28, 4)},
             {"earliest_presentation_time : 4,294,967,296 (0X0000000100000000)", R(32, 8)},
             {"first_offset               : 0 (000000000000000000)", R(40, 8)},
             {"reserved                   : 0 (000000)", R(48, 2)},
             {"reference_count            : 2 (0X0002)", R(50, 2)},
             {"   reference #1   : reference_type 0 (media), referenced_size 50 (0X00000032), subsegment_duration 2,000 (0X000007D0), starts_with_SAP 1, SAP_type 2, SAP_delta_time 0, bytes 76 to 125, starts at 4,294,967,296 (4294967.296 s)", R(52, 12)},
             {"   reference #2   : reference_type 0 (media), referenced_size 70 (0X00000046), subsegment_duration 2,000 (0X000007D0), starts_with_SAP 1, SAP_type 1, SAP_delta_time 0, bytes 126 to 195, starts at 4,294,969,296 (4294969.296 s)", R(64, 12)},
         }},
        {"emsg version 0 with a text", FullBox("emsg", 0, 0, Cat({Text("urn:x"), U8(0), Text("1"), U8(0), U32(1000), U32(0), U32(500), U32(7), Text("hello")})), "emsg",
         {
             {"version                 : 0 (0000)", R(20, 1)},
             {"flags                   : 0 (00000000)", R(21, 3)},
             {"scheme_id_uri           : \"urn:x\"", R(24, 6)},
             {"value                   : \"1\"", R(30, 2)},
             {"timescale               : 1,000 (0X000003E8)", R(32, 4)},
             {"presentation_time_delta : 0 (0000000000)", R(36, 4)},
             {"event_duration          : 500 (0X000001F4)", R(40, 4)},
             {"id                      : 7 (0X00000007)", R(44, 4)},
             {"message_data            : \"hello\"", R(48, 5)},
         }},
        {"emsg version 1 with bytes", FullBox("emsg", 1, 0, Cat({U32(90000), U64(0x100000000), U32(0xFFFFFFFF), U32(1), Text("u"), U8(0), U8(0), U8(0xFF), U8(0x00), U8(0x10)})), "emsg",
         {
             {"version           : 1 (0X01)", R(20, 1)},
             {"flags             : 0 (00000000)", R(21, 3)},
             {"timescale         : 90,000 (0X00015F90)", R(24, 4)},
             {"presentation_time : 4,294,967,296 (0X0000000100000000)", R(28, 8)},
             {"event_duration    : 4,294,967,295 (0XFFFFFFFF)", R(36, 4)},
             {"id                : 1 (0X00000001)", R(40, 4)},
             {"scheme_id_uri     : \"u\"", R(44, 2)},
             {"value             : \"\"", R(46, 1)},
             {"message_data      : FF 00 10", R(47, 3)},
         }},
        {"trex", FullBox("trex", 0, 0, Cat({U32(1), U32(1), U32(1024), U32(0), U32(0x0C6A0000)})), "trex",
         {
             {"version                          : 0 (0000)", R(20, 1)},
             {"flags                            : 0 (00000000)", R(21, 3)},
             {"track_ID                         : 1 (0X00000001)", R(24, 4)},
             {"default_sample_description_index : 1 (0X00000001)", R(28, 4)},
             {"default_sample_duration          : 1,024 (0X00000400)", R(32, 4)},
             {"default_sample_size              : 0 (0000000000)", R(36, 4)},
             {"default_sample_flags             : 208,273,408 (0X0C6A0000) is_leading 3, sample_depends_on 0, sample_is_depended_on 1, sample_has_redundancy 2, sample_padding_value 5, sample_is_non_sync_sample 0, sample_degradation_priority 0", R(40, 4)},
         }},
        {"mehd version 1", FullBox("mehd", 1, 0, U64(0x100000000)), "mehd",
         {
             {"version           : 1 (0X01)", R(20, 1)},
             {"flags             : 0 (00000000)", R(21, 3)},
             {"fragment_duration : 4,294,967,296 (0X0000000100000000)", R(24, 8)},
         }},
        {"mfhd", FullBox("mfhd", 0, 0, U32(5)), "mfhd",
         {
             {"version         : 0 (0000)", R(20, 1)},
             {"flags           : 0 (00000000)", R(21, 3)},
             {"sequence_number : 5 (0X00000005)", R(24, 4)},
         }},
        {"ssix", FullBox("ssix", 0, 0, Cat({U32(1), U32(2), U32(0x01000064), U32(0x020000C8)})), "ssix",
         {
             {"version          : 0 (0000)", R(20, 1)},
             {"flags            : 0 (00000000)", R(21, 3)},
             {"subsegment_count : 1 (0X00000001)", R(24, 4)},
             {"   subsegment #1   : range_count 2 (0X00000002)", R(28, 4)},
             {"        range #1   : level 1 (0X01), range_size 100 (0X000064)", R(32, 4)},
             {"        range #2   : level 2 (0X02), range_size 200 (0X0000C8)", R(36, 4)},
         }},
        {"tfra version 0 of 1, 2 and 4-byte numbers", FullBox("tfra", 0, 0, Cat({U32(1), U32(0x07), U32(1), U32(0), U32(1234), U8(1), U16(2), U32(3)})), "tfra",
         {
             {"version                   : 0 (0000)", R(20, 1)},
             {"flags                     : 0 (00000000)", R(21, 3)},
             {"track_ID                  : 1 (0X00000001)", R(24, 4)},
             {"reserved                  : 0 (0000000000)", ByteRange::Bits(224, 26)},
             {"length_size_of_traf_num   : 0 (0000)", ByteRange::Bits(250, 2)},
             {"length_size_of_trun_num   : 1 (0X01)", ByteRange::Bits(252, 2)},
             {"length_size_of_sample_num : 3 (0X03)", ByteRange::Bits(254, 2)},
             {"number_of_entry           : 1 (0X00000001)", R(32, 4)},
             {"   entry #1   : time 0 (0000000000), moof_offset 1,234 (0X000004D2), traf_number 1 (0X01), trun_number 2 (0X0002), sample_number 3 (0X00000003), no moof starts there", R(36, 15)},
         }},
        {"mfro", FullBox("mfro", 0, 0, U32(16)), "mfro",
         {
             {"version : 0 (0000)", R(20, 1)},
             {"flags   : 0 (00000000)", R(21, 3)},
             {"size    : 16 (0X00000010)", R(24, 4)},
         }},
        {"prft version 1", FullBox("prft", 1, 0, Cat({U32(1), U64(0xE93C7F0080000000), U64(90000)})), "prft",
         {
             {"version            : 1 (0X01)", R(20, 1)},
             {"flags              : 0 (00000000)", R(21, 3)},
             {"reference_track_ID : 1 (0X00000001)", R(24, 4)},
             {"ntp_timestamp      : 16,806,447,549,564,059,648 (0XE93C7F0080000000) 2024-01-01 00:00:00.500 UTC", R(28, 8)},
             {"media_time         : 90,000 (0X0000000000015F90)", R(36, 8)},
         }},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Cat({kFtyp, c.file});
        EXPECT_EQ(Shown(DescribeInFullView(file, c.type)), Shown(c.lines));
        TempFile temp(file, "fragment.mp4");
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(temp.Path());
        FullClick(doc, FullNodeOf(doc, c.type));
        EXPECT_EQ(CheckPaneRanges(doc, c.name), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace kestrova
