// MPEG-4 Visual configurations: the start-code structures of ffmpeg's and
// Xvid's decoder-specific info and of made-up ones, each field with its line
// and its bits.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "codecs/Mpeg4Visual.h"

namespace kestrova {
namespace {

using codecs::BitSource;
using namespace test;

// ffmpeg's mpeg4 encoder: sequence, object, layer and its name in user data.
Stream FfmpegConfig() {
    Stream s;
    s.Heading("VisualObjectSequence()").Start("visual_object_sequence_start_code", 0xB0);
    s.F("profile_and_level_indication", 1, 8, "Simple Profile Level 1");
    s.Heading("VisualObject()").Start("visual_object_start_code", 0xB5).F("is_visual_object_identifier", 1, 1);
    s.F("visual_object_verid", 1, 4).F("visual_object_priority", 1, 3).F("visual_object_type", 1, 4, "video ID");
    s.F("video_signal_type", 0, 1).F("zero_bit", 0, 1).F("one_bit", 3, 2);
    s.Start("video_object_start_code", 0x00);
    s.Heading("VideoObjectLayer()").Start("video_object_layer_start_code", 0x20).F("random_accessible_vol", 0, 1);
    s.F("video_object_type_indication", 1, 8, "Simple Object Type").F("is_object_layer_identifier", 1, 1);
    s.F("video_object_layer_verid", 1, 4).F("video_object_layer_priority", 1, 3);
    s.F("aspect_ratio_info", 1, 4, "1:1 (square)").F("vol_control_parameters", 1, 1);
    s.F("chroma_format", 1, 2, "4:2:0").F("low_delay", 1, 1).F("vbv_parameters", 0, 1);
    s.F("video_object_layer_shape", 0, 2, "rectangular").F("marker_bit", 1, 1);
    s.F("vop_time_increment_resolution", 10, 16).F("marker_bit", 1, 1).F("fixed_vop_rate", 0, 1);
    s.F("marker_bit", 1, 1).F("video_object_layer_width", 64, 13).F("marker_bit", 1, 1);
    s.F("video_object_layer_height", 48, 13).F("marker_bit", 1, 1).F("interlaced", 0, 1).F("obmc_disable", 1, 1);
    s.F("sprite_enable", 0, 1, "sprite not used").F("not_8_bit", 0, 1).F("quant_type", 0, 1);
    s.F("complexity_estimation_disable", 1, 1).F("resync_marker_disable", 0, 1).F("data_partitioned", 0, 1);
    s.F("scalability", 0, 1).F("zero_bit", 0, 1).F("one_bit", 3, 2);
    s.Start("user_data_start_code", 0xB2).Text("user_data", "Lavc59.37.100");
    return s;
}

// Xvid: no object identifier, an extended pixel aspect ratio and a fixed VOP rate.
Stream XvidConfig() {
    Stream s;
    s.Heading("VisualObjectSequence()").Start("visual_object_sequence_start_code", 0xB0);
    s.F("profile_and_level_indication", 3, 8, "Simple Profile Level 3");
    s.Heading("VisualObject()").Start("visual_object_start_code", 0xB5).F("is_visual_object_identifier", 0, 1);
    s.F("visual_object_type", 1, 4, "video ID").F("video_signal_type", 0, 1).F("zero_bit", 0, 1).F("one_bit", 1, 1);
    s.Start("video_object_start_code", 0x00);
    s.Heading("VideoObjectLayer()").Start("video_object_layer_start_code", 0x20).F("random_accessible_vol", 0, 1);
    s.F("video_object_type_indication", 1, 8, "Simple Object Type").F("is_object_layer_identifier", 0, 1);
    s.F("aspect_ratio_info", 15, 4, "extended_PAR");
    const std::uint64_t par = s.Pos();
    s.F("par_width", 1, 8).F("par_height", 1, 8).Derived("pixel aspect ratio", "1:1", par);
    s.F("vol_control_parameters", 1, 1).F("chroma_format", 1, 2, "4:2:0").F("low_delay", 1, 1);
    s.F("vbv_parameters", 0, 1).F("video_object_layer_shape", 0, 2, "rectangular").F("marker_bit", 1, 1);
    s.F("vop_time_increment_resolution", 10, 16).F("marker_bit", 1, 1).F("fixed_vop_rate", 1, 1);
    const std::uint64_t increment = s.Pos();
    s.F("fixed_vop_time_increment", 1, 4).Derived("frame rate", "10 frames/s", increment);
    s.F("marker_bit", 1, 1).F("video_object_layer_width", 64, 13).F("marker_bit", 1, 1);
    s.F("video_object_layer_height", 48, 13).F("marker_bit", 1, 1).F("interlaced", 0, 1).F("obmc_disable", 1, 1);
    s.F("sprite_enable", 0, 1, "sprite not used").F("not_8_bit", 0, 1).F("quant_type", 0, 1);
    s.F("complexity_estimation_disable", 1, 1).F("resync_marker_disable", 1, 1).F("data_partitioned", 0, 1);
    s.F("scalability", 0, 1).F("zero_bit", 0, 1).F("one_bit", 31, 5);
    s.Start("user_data_start_code", 0xB2).Text("user_data", "XviD0069");
    return s;
}

// The start of a version-2 layer, up to its shape, with the VBV parameters.
void Version2LayerHead(Stream& s) {
    s.Heading("VideoObjectLayer()").Start("video_object_layer_start_code", 0x21).F("random_accessible_vol", 1, 1);
    s.F("video_object_type_indication", 17, 8, "Advanced Simple").F("is_object_layer_identifier", 1, 1);
    s.F("video_object_layer_verid", 2, 4).F("video_object_layer_priority", 0, 3);
    s.F("aspect_ratio_info", 2, 4, "12:11 (625-type for 4:3 picture)").F("vol_control_parameters", 1, 1);
    s.F("chroma_format", 1, 2, "4:2:0").F("low_delay", 0, 1).F("vbv_parameters", 1, 1);
    std::uint64_t at = s.Pos();
    s.F("first_half_bit_rate", 0, 15).F("marker_bit", 1, 1).F("latter_half_bit_rate", 2500, 15);
    s.Derived("bit_rate", "1000000 bits/s", at).F("marker_bit", 1, 1);
    at = s.Pos();
    s.F("first_half_vbv_buffer_size", 2, 15).F("marker_bit", 1, 1).F("latter_half_vbv_buffer_size", 1, 3);
    s.Derived("vbv_buffer_size", "278528 bits", at);
    at = s.Pos();
    s.F("first_half_vbv_occupancy", 0, 11).F("marker_bit", 1, 1).F("latter_half_vbv_occupancy", 100, 15);
    s.Derived("vbv_occupancy", "6400 bits", at).F("marker_bit", 1, 1);
    s.F("video_object_layer_shape", 0, 2, "rectangular").F("marker_bit", 1, 1);
    s.F("vop_time_increment_resolution", 30000, 16).F("marker_bit", 1, 1).F("fixed_vop_rate", 1, 1);
    at = s.Pos();
    s.F("fixed_vop_time_increment", 1001, 15).Derived("frame rate", "29.97 frames/s", at);
    s.F("marker_bit", 1, 1).F("video_object_layer_width", 720, 13).F("marker_bit", 1, 1);
    s.F("video_object_layer_height", 576, 13).F("marker_bit", 1, 1);
}

void Pad(Stream& s) {
    s.F("zero_bit", 0, 1);
    if (s.Pos() % 8) s.F("one_bit", (1u << (8 - s.Pos() % 8)) - 1, static_cast<unsigned>(8 - s.Pos() % 8));
}

TEST(Mpeg4Visual, EveryFieldShowsItsValueAndBits) {
    const Bytes ffmpeg = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x89, 0x13, 0x00,
                          0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xC4, 0x8D, 0x88, 0x00,
                          0x55, 0x02, 0x04, 0x06, 0x14, 0x43, 0x00, 0x00, 0x01, 0xB2, 0x4C, 0x61,
                          0x76, 0x63, 0x35, 0x39, 0x2E, 0x33, 0x37, 0x2E, 0x31, 0x30, 0x30};
    const Bytes xvid = {0x00, 0x00, 0x01, 0xB0, 0x03, 0x00, 0x00, 0x01, 0xB5, 0x09, 0x00, 0x00, 0x01, 0x00, 0x00,
                        0x00, 0x01, 0x20, 0x00, 0xBC, 0x04, 0x06, 0xC4, 0x00, 0x2B, 0x18, 0x10, 0x20, 0x30, 0xA3,
                        0x1F, 0x00, 0x00, 0x01, 0xB2, 0x58, 0x76, 0x69, 0x44, 0x30, 0x30, 0x36, 0x39};
    // The encoders' own bytes, not the writer's: the writer must agree with them.
    EXPECT_EQ(FfmpegConfig().bytes(), ffmpeg);
    EXPECT_EQ(XvidConfig().bytes(), xvid);

    const struct {
        const char* name;
        std::function<Stream()> build;
    } cases[] = {
        {"ffmpeg", FfmpegConfig},
        {"Xvid", XvidConfig},
        {"a layer alone: version 2, VBV, interlaced, a quantiser matrix, quarter samples",
         [] {
             Stream s;
             Version2LayerHead(s);
             s.F("interlaced", 1, 1).F("obmc_disable", 1, 1).F("sprite_enable", 0, 2, "sprite not used");
             s.F("not_8_bit", 0, 1).F("quant_type", 1, 1).F("load_intra_quant_mat", 1, 1);
             // Three values, the zero ending the matrix early.
             const std::uint64_t at = s.Pos();
             s.Put(8, 8).Put(17, 8).Put(0, 8).Span("intra_quant_mat : 8 17 0", at);
             s.F("load_nonintra_quant_mat", 0, 1).F("quarter_sample", 1, 1);
             s.F("complexity_estimation_disable", 1, 1).F("resync_marker_disable", 1, 1).F("data_partitioned", 1, 1);
             s.F("reversible_vlc", 0, 1).F("newpred_enable", 0, 1).F("reduced_resolution_vop_enable", 0, 1);
             s.F("scalability", 0, 1);
             Pad(s);
             return s;
         }},
        {"a visual object with its colour, then a group of VOPs and a VOP",
         [] {
             Stream s;
             s.Heading("VisualObject()").Start("visual_object_start_code", 0xB5).F("is_visual_object_identifier", 0, 1);
             s.F("visual_object_type", 1, 4, "video ID").F("video_signal_type", 1, 1).F("video_format", 2, 3, "NTSC");
             s.F("video_range", 0, 1, "limited range").F("colour_description", 1, 1);
             s.F("colour_primaries", 6, 8, "BT.601 525 (SMPTE ST 170)");
             s.F("transfer_characteristics", 6, 8, "BT.601 (SMPTE ST 170)");
             s.F("matrix_coefficients", 6, 8, "BT.601 525 (SMPTE ST 170)");
             Pad(s);
             s.Heading("Group_of_VideoObjectPlane()").Start("group_of_vop_start_code", 0xB3);
             s.F("time_code", 0x1234, 18).F("closed_gov", 1, 1).F("broken_link", 0, 1);
             Pad(s);
             s.Heading("VideoObjectPlane()").Start("vop_start_code", 0xB6).F("vop_coding_type", 1, 2, "P");
             s.Put(0x2A, 6);
             s.Hex("vop data", {0x55, 0x66});
             return s;
         }},
        {"bytes before the first start code, and a start code of another kind",
         [] {
             Stream s;
             s.Hex("bytes before the next start code", {0x12, 0x00, 0x34});
             s.Start("stuffing_start_code", 0xC3).Hex("data", {0xFF, 0xFF});
             return s;
         }},
        {"a layer whose complexity estimation header is not read",
         [] {
             Stream s;
             s.Heading("VideoObjectLayer()")
                 .Start("video_object_layer_start_code", 0x20)
                 .F("random_accessible_vol", 0, 1);
             s.F("video_object_type_indication", 3, 8, "Core Object Type").F("is_object_layer_identifier", 0, 1);
             s.F("aspect_ratio_info", 1, 4, "1:1 (square)").F("vol_control_parameters", 0, 1);
             s.F("video_object_layer_shape", 0, 2, "rectangular").F("marker_bit", 0, 1, "(should be 1)");
             s.F("vop_time_increment_resolution", 25, 16).F("marker_bit", 1, 1).F("fixed_vop_rate", 0, 1);
             s.F("marker_bit", 1, 1).F("video_object_layer_width", 176, 13).F("marker_bit", 1, 1);
             s.F("video_object_layer_height", 144, 13).F("marker_bit", 1, 1).F("interlaced", 0, 1);
             s.F("obmc_disable", 1, 1).F("sprite_enable", 0, 1, "sprite not used").F("not_8_bit", 0, 1);
             s.F("quant_type", 0, 1).F("complexity_estimation_disable", 0, 1);
             s.Heading("(define_vop_complexity_estimation_header() is not read here)");
             if (s.Pos() % 8) s.Put(0, static_cast<unsigned>(8 - s.Pos() % 8));
             s.Hex("rest of the video object layer", {0xAA, 0xBB});
             return s;
         }},
        {"a layer cut in its height",
         [] {
             Stream s;
             s.Heading("VideoObjectLayer()")
                 .Start("video_object_layer_start_code", 0x20)
                 .F("random_accessible_vol", 0, 1);
             s.F("video_object_type_indication", 1, 8, "Simple Object Type").F("is_object_layer_identifier", 0, 1);
             s.F("aspect_ratio_info", 1, 4, "1:1 (square)").F("vol_control_parameters", 0, 1);
             s.F("video_object_layer_shape", 0, 2, "rectangular").F("marker_bit", 1, 1);
             s.F("vop_time_increment_resolution", 25, 16).F("marker_bit", 1, 1).F("fixed_vop_rate", 0, 1);
             s.F("marker_bit", 1, 1).F("video_object_layer_width", 176, 13).F("marker_bit", 1, 1);
             const std::uint64_t at = s.Pos();
             const unsigned left = static_cast<unsigned>(8 - at % 8);
             s.Put(0, left);
             s.Heading(Stop("VideoObjectLayer()", at,
                            "video_object_layer_height needs 13 bits, " + std::to_string(left) + " are left"));
             return s;
         }},
    };
    for (const auto& c : cases) {
        const Stream s = c.build();
        Recorder sink;
        BitSource src = BitSource::Plain(s.bytes(), kOffset);
        codecs::ReadMpeg4VisualConfig(src, &sink);
        ExpectLines(sink.Joined(), s.expected(), c.name);
    }
}

// What the esds reader and a summary take without a sink.
TEST(Mpeg4Visual, ValuesWithoutASink) {
    const struct {
        const char* name;
        Stream stream;
        unsigned profile, type, width, height, parWidth, parHeight;
        double frameRate;
        bool interlaced;
    } cases[] = {
        {"ffmpeg", FfmpegConfig(), 1, 1, 64, 48, 1, 1, 0, false},
        {"Xvid", XvidConfig(), 3, 1, 64, 48, 1, 1, 10, false},
        {"version 2 layer",
         [] {
             Stream s;
             Version2LayerHead(s);
             s.F("interlaced", 1, 1).F("obmc_disable", 1, 1).F("sprite_enable", 0, 2, "sprite not used");
             return s;
         }(),
         0, 17, 720, 576, 12, 11, 30000.0 / 1001, true},
    };
    for (const auto& c : cases) {
        BitSource src = BitSource::Plain(c.stream.bytes(), 0);
        const codecs::Mpeg4VisualConfig v = codecs::ReadMpeg4VisualConfig(src, nullptr);
        EXPECT_EQ(v.profileAndLevel, c.profile) << c.name;
        EXPECT_EQ(v.videoObjectTypeIndication, c.type) << c.name;
        EXPECT_EQ(v.width, c.width) << c.name;
        EXPECT_EQ(v.height, c.height) << c.name;
        EXPECT_EQ(v.parWidth, c.parWidth) << c.name;
        EXPECT_EQ(v.parHeight, c.parHeight) << c.name;
        EXPECT_DOUBLE_EQ(v.FrameRate(), c.frameRate) << c.name;
        EXPECT_EQ(v.interlaced, c.interlaced) << c.name;
        EXPECT_TRUE(v.hasLayer) << c.name;
    }
    const struct {
        unsigned code;
        const char* name;
    } names[] = {{0x08, "Simple Profile Level 0"},
                 {0x04, "Simple Profile Level 4a"},
                 {0xF5, "Advanced Simple Profile Level 5"},
                 {0xF7, "Advanced Simple Profile Level 3b"},
                 {0x07, "reserved"},
                 {0xFF, "reserved for escape"}};
    for (const auto& n : names) EXPECT_EQ(codecs::Mpeg4ProfileAndLevelName(n.code), n.name) << n.code;
}
}  // namespace
}  // namespace kestrova
