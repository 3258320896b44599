// AV1 syntax: OBU headers, sequence headers and av1C records written bit by
// bit, each field with the line it must give and the bits it must light.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "codecs/Av1.h"

namespace kestrova {
namespace {

using codecs::BitSource;
using namespace test;

// ---- Pieces of the streams the cases share ----

Stream ObuHeader(unsigned type, const char* name, bool hasSize = true, int index = 1) {
    Stream s;
    s.Heading("open_bitstream_unit() #" + std::to_string(index) + " (" + name + ")");
    s.F("obu_forbidden_bit", 0, 1).F("obu_type", type, 4, name).F("obu_extension_flag", 0, 1);
    s.F("obu_has_size_field", hasSize, 1).F("obu_reserved_1bit", 0, 1);
    return s;
}

// An OBU of a sequence header, its size in one leb128 byte.
Stream SequenceHeaderObu(const Stream& payload, const char* heading = "open_bitstream_unit() #1 (OBU_SEQUENCE_HEADER)") {
    Stream s;
    s.Heading(heading);
    s.F("obu_forbidden_bit", 0, 1).F("obu_type", 1, 4, "OBU_SEQUENCE_HEADER").F("obu_extension_flag", 0, 1);
    s.F("obu_has_size_field", 1, 1).F("obu_reserved_1bit", 0, 1);
    s.Leb("obu_size", payload.bytes().size());
    return s.Append(payload);
}

// The flags every full (not reduced) header of these cases has, after the frame size.
void PlainToolFlags(Stream& s) {
    s.F("frame_id_numbers_present_flag", 0, 1).F("use_128x128_superblock", 0, 1).F("enable_filter_intra", 0, 1);
    s.F("enable_intra_edge_filter", 0, 1).F("enable_interintra_compound", 0, 1).F("enable_masked_compound", 0, 1);
    s.F("enable_warped_motion", 0, 1).F("enable_dual_filter", 0, 1).F("enable_order_hint", 0, 1);
    s.F("seq_choose_screen_content_tools", 0, 1).F("seq_force_screen_content_tools", 0, 1);
    s.F("enable_superres", 0, 1).F("enable_cdef", 0, 1).F("enable_restoration", 0, 1);
}

void Trailing(Stream& s) {
    s.F("trailing_one_bit", 1, 1);
    if (s.Pos() % 8) s.F("trailing_zero_bit", 0, static_cast<unsigned>(8 - s.Pos() % 8));
}

// 64x48: six bits a dimension.
void Size64x48(Stream& s) {
    s.F("frame_width_bits_minus_1", 5, 4).F("frame_height_bits_minus_1", 5, 4);
    const std::uint64_t at = s.Pos();
    s.F("max_frame_width_minus_1", 63, 6)
        .F("max_frame_height_minus_1", 47, 6)
        .Derived("maximum frame size", "64x48", at);
}

// libaom's sequence header of the 8-bit 64x48 file.
Stream LibaomSequenceHeader() {
    Stream s;
    s.Heading("sequence_header_obu()");
    s.F("seq_profile", 0, 3, "Main").F("still_picture", 0, 1).F("reduced_still_picture_header", 0, 1);
    s.F("timing_info_present_flag", 0, 1).F("initial_display_delay_present_flag", 0, 1);
    s.F("operating_points_cnt_minus_1", 0, 5).F("operating_point_idc[0]", 0, 12, "all layers");
    s.F("seq_level_idx[0]", 0, 5, "level 2.0");
    Size64x48(s);
    s.F("frame_id_numbers_present_flag", 0, 1).F("use_128x128_superblock", 0, 1).F("enable_filter_intra", 1, 1);
    s.F("enable_intra_edge_filter", 1, 1).F("enable_interintra_compound", 0, 1).F("enable_masked_compound", 1, 1);
    s.F("enable_warped_motion", 1, 1).F("enable_dual_filter", 0, 1).F("enable_order_hint", 1, 1);
    s.F("enable_jnt_comp", 0, 1).F("enable_ref_frame_mvs", 1, 1).F("seq_choose_screen_content_tools", 1, 1);
    s.F("seq_choose_integer_mv", 1, 1).F("order_hint_bits_minus_1", 6, 3);
    s.F("enable_superres", 0, 1).F("enable_cdef", 1, 1).F("enable_restoration", 0, 1);
    const std::uint64_t colour = s.Pos();
    s.F("high_bitdepth", 0, 1).Derived("BitDepth", "8", colour);
    s.F("mono_chrome", 0, 1).F("color_description_present_flag", 0, 1).F("color_range", 0, 1, "limited range");
    s.F("chroma_sample_position", 0, 2, "unknown").Derived("subsampling", "4:2:0", colour);
    s.F("separate_uv_delta_q", 0, 1).F("film_grain_params_present", 0, 1);
    Trailing(s);
    return s;
}

// The four fixed bytes of an av1C record.
Stream RecordHead(unsigned profile, unsigned level, unsigned tier, bool high, bool twelve, bool mono, unsigned x,
                  unsigned y, const char* profileName, const char* levelText, const char* depth, const char* chroma) {
    Stream s;
    s.F("marker", 1, 1).F("version", 1, 7).F("seq_profile", profile, 3, profileName);
    s.F("seq_level_idx_0", level, 5, levelText).F("seq_tier_0", tier, 1, tier ? "High tier" : "Main tier");
    const std::uint64_t depthAt = s.Pos();
    s.F("high_bitdepth", high, 1).F("twelve_bit", twelve, 1).Derived("BitDepth", depth, depthAt);
    const std::uint64_t chromaAt = s.Pos();
    s.F("monochrome", mono, 1).F("chroma_subsampling_x", x, 1).F("chroma_subsampling_y", y, 1);
    s.Derived("subsampling", chroma, chromaAt);
    s.F("chroma_sample_position", 0, 2, "unknown").F("reserved", 0, 3).F("initial_presentation_delay_present", 0, 1);
    s.F("reserved", 0, 4);
    return s;
}

enum class Reader { Config, Obus, SequenceHeader };

struct Case {
    const char* name;
    Reader reader;
    std::function<Stream()> build;
};

std::vector<std::string> Read(Reader reader, const Bytes& bytes) {
    Recorder sink;
    BitSource src = BitSource::Plain(bytes, kOffset);
    if (reader == Reader::Config)
        codecs::ReadAv1Config(src, &sink);
    else if (reader == Reader::Obus)
        codecs::ReadAv1Obus(src, &sink);
    else
        codecs::ReadAv1SequenceHeader(src, &sink);
    return sink.Joined();
}

TEST(Av1Syntax, EveryFieldShowsItsValueAndBits) {
    const Case cases[] = {
        {"libaom's av1C, 8-bit 4:2:0", Reader::Config,
         [] {
             Stream s = RecordHead(0, 0, 0, false, false, false, 1, 1, "Main", "level 2.0", "8", "4:2:0");
             s.Heading("configOBUs");
             return s.Append(SequenceHeaderObu(LibaomSequenceHeader()));
         }},
        {"three operating points with timing, a decoder model and display delays", Reader::SequenceHeader,
         [] {
             Stream s;
             s.Heading("sequence_header_obu()");
             s.F("seq_profile", 0, 3, "Main").F("still_picture", 0, 1).F("reduced_still_picture_header", 0, 1);
             s.F("timing_info_present_flag", 1, 1);
             const std::uint64_t timing = s.Pos();
             s.F("num_units_in_display_tick", 1001, 32).F("time_scale", 60000, 32).F("equal_picture_interval", 1, 1);
             s.Uvlc("num_ticks_per_picture_minus_1", 1).Derived("frame rate", "29.97 frames/s", timing);
             s.F("decoder_model_info_present_flag", 1, 1).F("buffer_delay_length_minus_1", 9, 5);
             s.F("num_units_in_decoding_tick", 1001, 32).F("buffer_removal_time_length_minus_1", 15, 5);
             s.F("frame_presentation_time_length_minus_1", 7, 5).F("initial_display_delay_present_flag", 1, 1);
             s.F("operating_points_cnt_minus_1", 2, 5);
             // A high-tier level 4.0 point of three temporal layers, with a decoder model.
             s.F("operating_point_idc[0]", 0x107, 12, "temporal layers 0, 1, 2, spatial layers 0");
             s.F("seq_level_idx[0]", 8, 5, "level 4.0").F("seq_tier[0]", 1, 1, "High tier");
             s.F("decoder_model_present_for_this_op[0]", 1, 1).F("decoder_buffer_delay[0]", 500, 10);
             s.F("encoder_buffer_delay[0]", 300, 10).F("low_delay_mode_flag[0]", 0, 1);
             s.F("initial_display_delay_present_for_this_op[0]", 1, 1).F("initial_display_delay_minus_1[0]", 9, 4);
             // Level 3.1 is below 4.0: no tier bit.
             s.F("operating_point_idc[1]", 0x103, 12, "temporal layers 0, 1, spatial layers 0");
             s.F("seq_level_idx[1]", 5, 5, "level 3.1").F("decoder_model_present_for_this_op[1]", 0, 1);
             s.F("initial_display_delay_present_for_this_op[1]", 0, 1);
             s.F("operating_point_idc[2]", 0x101, 12, "temporal layers 0, spatial layers 0");
             s.F("seq_level_idx[2]", 9, 5, "level 4.1").F("seq_tier[2]", 0, 1, "Main tier");
             s.F("decoder_model_present_for_this_op[2]", 0, 1).F("initial_display_delay_present_for_this_op[2]", 0, 1);
             Size64x48(s);
             PlainToolFlags(s);
             const std::uint64_t colour = s.Pos();
             s.F("high_bitdepth", 1, 1).Derived("BitDepth", "10", colour);
             s.F("mono_chrome", 0, 1).F("color_description_present_flag", 1, 1);
             s.F("color_primaries", 9, 8, "BT.2020, BT.2100")
                 .F("transfer_characteristics", 16, 8, "SMPTE ST 2084 (PQ), BT.2100 PQ");
             s.F("matrix_coefficients", 9, 8, "BT.2020 non-constant luminance").F("color_range", 1, 1, "full range");
             s.F("chroma_sample_position", 2, 2, "colocated with luma (0, 0)").Derived("subsampling", "4:2:0", colour);
             s.F("separate_uv_delta_q", 0, 1).F("film_grain_params_present", 1, 1);
             return s;
         }},
        {"a reduced still picture header, monochrome", Reader::SequenceHeader,
         [] {
             Stream s;
             s.Heading("sequence_header_obu()");
             s.F("seq_profile", 0, 3, "Main").F("still_picture", 1, 1).F("reduced_still_picture_header", 1, 1);
             s.F("seq_level_idx[0]", 31, 5, "maximum parameters");
             Size64x48(s);
             // No frame ids, and none of the inter tools.
             s.F("use_128x128_superblock", 1, 1).F("enable_filter_intra", 1, 1).F("enable_intra_edge_filter", 1, 1);
             s.F("enable_superres", 0, 1).F("enable_cdef", 1, 1).F("enable_restoration", 1, 1);
             const std::uint64_t colour = s.Pos();
             s.F("high_bitdepth", 0, 1).Derived("BitDepth", "8", colour);
             s.F("mono_chrome", 1, 1).F("color_description_present_flag", 0, 1);
             const std::uint64_t range = s.Pos();
             s.F("color_range", 1, 1, "full range").Derived("subsampling", "4:0:0 (monochrome)", range);
             s.F("film_grain_params_present", 0, 1);
             return s;
         }},
        {"profile 1 in sRGB: 4:4:4 full range without their bits", Reader::SequenceHeader,
         [] {
             Stream s;
             s.Heading("sequence_header_obu()");
             s.F("seq_profile", 1, 3, "High").F("still_picture", 0, 1).F("reduced_still_picture_header", 0, 1);
             s.F("timing_info_present_flag", 0, 1).F("initial_display_delay_present_flag", 0, 1);
             s.F("operating_points_cnt_minus_1", 0, 5).F("operating_point_idc[0]", 0, 12, "all layers");
             s.F("seq_level_idx[0]", 12, 5, "level 5.0").F("seq_tier[0]", 0, 1, "Main tier");
             Size64x48(s);
             PlainToolFlags(s);
             const std::uint64_t colour = s.Pos();
             s.F("high_bitdepth", 0, 1).Derived("BitDepth", "8", colour);
             s.F("color_description_present_flag", 1, 1).F("color_primaries", 1, 8, "BT.709");
             s.F("transfer_characteristics", 13, 8, "IEC 61966-2-1 (sRGB, sYCC)")
                 .F("matrix_coefficients", 0, 8, "identity (GBR, RGB)");
             s.Derived("subsampling", "4:4:4", colour);
             s.F("separate_uv_delta_q", 0, 1).F("film_grain_params_present", 0, 1);
             return s;
         }},
        {"profile 2 at 12 bits, 4:2:2", Reader::SequenceHeader,
         [] {
             Stream s;
             s.Heading("sequence_header_obu()");
             s.F("seq_profile", 2, 3, "Professional").F("still_picture", 0, 1).F("reduced_still_picture_header", 0, 1);
             s.F("timing_info_present_flag", 0, 1).F("initial_display_delay_present_flag", 0, 1);
             s.F("operating_points_cnt_minus_1", 0, 5).F("operating_point_idc[0]", 0, 12, "all layers");
             s.F("seq_level_idx[0]", 25, 5, "reserved").F("seq_tier[0]", 0, 1, "Main tier");
             Size64x48(s);
             PlainToolFlags(s);
             const std::uint64_t colour = s.Pos();
             s.F("high_bitdepth", 1, 1).F("twelve_bit", 1, 1).Derived("BitDepth", "12", colour);
             s.F("mono_chrome", 0, 1).F("color_description_present_flag", 0, 1).F("color_range", 0, 1, "limited range");
             s.F("subsampling_x", 1, 1).F("subsampling_y", 0, 1).Derived("subsampling", "4:2:2", colour);
             s.F("separate_uv_delta_q", 1, 1).F("film_grain_params_present", 0, 1);
             return s;
         }},
        {"a reserved profile stops at color_config()", Reader::SequenceHeader,
         [] {
             Stream s;
             s.Heading("sequence_header_obu()");
             s.F("seq_profile", 5, 3, "reserved").F("still_picture", 0, 1).F("reduced_still_picture_header", 1, 1);
             s.F("seq_level_idx[0]", 0, 5, "level 2.0");
             Size64x48(s);
             s.F("use_128x128_superblock", 0, 1).F("enable_filter_intra", 0, 1).F("enable_intra_edge_filter", 0, 1);
             s.F("enable_superres", 0, 1).F("enable_cdef", 0, 1).F("enable_restoration", 0, 1);
             s.F("high_bitdepth", 0, 1);
             s.Heading(Stop("sequence_header_obu()", s.Pos(), "color_config() of seq_profile 5 is not defined"));
             s.Put(0, 8);
             return s;
         }},
        {"obu_size past the end of the data", Reader::Obus,
         [] {
             Stream s = ObuHeader(1, "OBU_SEQUENCE_HEADER");
             s.Leb("obu_size", 10);
             s.Heading(Stop("open_bitstream_unit()", s.Pos(), "obu_size is 10 bytes, 6 are left"));
             s.Put(0, 48);
             return s;
         }},
        {"a sequence header cut inside its OBU", Reader::Obus,
         [] {
             Stream payload;
             payload.Heading("sequence_header_obu()");
             payload.F("seq_profile", 0, 3, "Main").F("still_picture", 0, 1).F("reduced_still_picture_header", 1, 1);
             payload.F("seq_level_idx[0]", 4, 5, "level 3.0").F("frame_width_bits_minus_1", 15, 4);
             payload.F("frame_height_bits_minus_1", 15, 4);
             payload.Heading(
                 Stop("sequence_header_obu()", payload.Pos(), "max_frame_width_minus_1 needs 16 bits, 6 are left", 2));
             payload.Put(0, 6);
             // A second OBU after it is still read.
             Stream s = SequenceHeaderObu(payload);
             Stream delimiter = ObuHeader(2, "OBU_TEMPORAL_DELIMITER", true, 2);
             delimiter.Leb("obu_size", 0);
             return s.Append(delimiter);
         }},
        {"reserved values: the forbidden bit, a reserved type with an extension, padding without a size", Reader::Obus,
         [] {
             Stream s;
             s.Heading("open_bitstream_unit() #1 (reserved)");
             s.F("obu_forbidden_bit", 1, 1, "(should be 0)").F("obu_type", 10, 4, "reserved");
             s.F("obu_extension_flag", 1, 1)
                 .F("obu_has_size_field", 1, 1)
                 .F("obu_reserved_1bit", 1, 1, "(should be 0)");
             s.F("temporal_id", 2, 3).F("spatial_id", 1, 2).F("extension_header_reserved_3bits", 5, 3, "(should be 0)");
             s.Leb("obu_size", 2).Hex("payload", {0xAB, 0xCD});
             return s;
         }},
    };
    for (const Case& c : cases) {
        const Stream s = c.build();
        ExpectLines(Read(c.reader, s.bytes()), s.expected(), c.name);
    }
}

// The lines the writer cannot make by itself: an OBU after another, a size
// taken from the rest of the data, and the record contradicting its header.
TEST(Av1Syntax, ObuSequencesAndRecordChecks) {
    // libaom's own bytes, not the writer's: the writer must agree with them.
    const Bytes libaom = {0x81, 0x00, 0x0C, 0x00, 0x0A, 0x0A, 0x00, 0x00,
                          0x00, 0x02, 0xAF, 0xF7, 0x9B, 0x5F, 0x20, 0x08};
    Stream real = RecordHead(0, 0, 0, false, false, false, 1, 1, "Main", "level 2.0", "8", "4:2:0");
    real.Append(SequenceHeaderObu(LibaomSequenceHeader()));
    EXPECT_EQ(real.bytes(), libaom);

    const struct {
        const char* name;
        Reader reader;
        Bytes bytes;
        std::vector<std::string> tail;  // the last lines
    } cases[] = {
        {"padding OBU without a size runs to the end",
         Reader::Obus,
         {0x12, 0x00, 0x78, 0x01, 0x02, 0x03},
         {"open_bitstream_unit() #2 (OBU_PADDING)", "obu_forbidden_bit : 0 @8016+1", "obu_type : 15 OBU_PADDING @8017+4",
          "obu_extension_flag : 0 @8021+1", "obu_has_size_field : 0 @8022+1", "obu_reserved_1bit : 0 @8023+1",
          "obu_size = 3 bytes, the rest of the data @8024+24", "payload : 01 02 03 @8024+24"}},
        // The record says profile 1 at level 5.0 and 10 bits; the header it carries says otherwise.
        {"a record that contradicts its sequence header",
         Reader::Config,
         [&] {
             Bytes b = libaom;
             b[1] = 0x2C;  // seq_profile 1, seq_level_idx_0 12
             b[2] = 0x4C;  // high_bitdepth
             return b;
         }(),
         {"trailing_zero_bit : 0 @8125+3", "(seq_profile is 1 in the record, the sequence header says 0)",
          "(seq_level_idx_0 is 12 in the record, the sequence header says 0)",
          "(high_bitdepth is 1 in the record, the sequence header says 0)"}},
        {"a record without configOBUs",
         Reader::Config,
         {0x81, 0x49, 0x0C, 0x14},
         {"initial_presentation_delay_present : 1 @8027+1", "initial_presentation_delay_minus_one : 4 @8028+4"}},
        {"a record cut in its fixed fields",
         Reader::Config,
         {0x81, 0x00, 0x0C},
         {"seq_tier_0 : 0 Main tier @8016+1", "high_bitdepth : 0 @8017+1", "twelve_bit : 0 @8018+1",
          "BitDepth = 8 @8017+2", "monochrome : 0 @8019+1", "chroma_subsampling_x : 1 @8020+1",
          "chroma_subsampling_y : 1 @8021+1", "subsampling = 4:2:0 @8019+3",
          "chroma_sample_position : 0 unknown @8022+2",
          "(AV1CodecConfigurationRecord stops at bit 24: reserved needs 3 bits, 0 are left)"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> got = Read(c.reader, c.bytes);
        ASSERT_GE(got.size(), c.tail.size()) << c.name;
        EXPECT_EQ(std::vector<std::string>(got.end() - static_cast<std::ptrdiff_t>(c.tail.size()), got.end()), c.tail)
            << c.name;
    }
}

// What a summary takes from the readers without a sink.
TEST(Av1Syntax, ValuesWithoutASink) {
    const Bytes rav1e10 = {0x81, 0x1F, 0x4C, 0x00, 0x0A, 0x0D, 0x00, 0x00, 0x00, 0xF9,
                           0x57, 0xFB, 0xC4, 0x21, 0x55, 0x02, 0x02, 0x02, 0x14};
    BitSource src = BitSource::Plain(rav1e10, 0);
    const codecs::Av1Config c = codecs::ReadAv1Config(src, nullptr);
    ASSERT_TRUE(c.read);
    ASSERT_TRUE(c.hasSequenceHeader);
    const codecs::Av1SequenceHeader& h = c.sequenceHeader;
    EXPECT_EQ(c.seqLevelIdx0, 31u);
    EXPECT_EQ(c.obuCount, 1u);
    EXPECT_EQ(h.profile, 0u);
    EXPECT_EQ(h.bitDepth, 10u);
    EXPECT_EQ(h.maxFrameWidth, 64u);
    EXPECT_EQ(h.maxFrameHeight, 48u);
    EXPECT_EQ(h.operatingPointCount, 1u);
    EXPECT_EQ(h.operatingPoints[0].levelIdx, 31u);
    EXPECT_EQ(h.colourPrimaries, 2u);
    EXPECT_FALSE(h.fullRange);
    EXPECT_EQ(codecs::Av1SubsamplingText(h.monochrome, h.subsamplingX, h.subsamplingY), "4:2:0");

    const struct {
        unsigned idx;
        const char* text;
    } levels[] = {{0, "2.0"}, {1, "2.1"}, {13, "5.1"}, {23, "7.3"}, {24, "reserved"}, {31, "maximum parameters"}};
    for (const auto& l : levels) EXPECT_EQ(codecs::Av1LevelText(l.idx), l.text) << l.idx;
}

}  // namespace
}  // namespace kestrova
