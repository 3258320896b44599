#include "codecs/Mpeg4Visual.h"

#include <algorithm>
#include <cstdio>

#include "codecs/ColourNames.h"

namespace kestrova::codecs {
namespace {

constexpr unsigned kVisualObjectSequence = 0xB0;
constexpr unsigned kVisualObjectSequenceEnd = 0xB1;
constexpr unsigned kUserData = 0xB2;
constexpr unsigned kGroupOfVop = 0xB3;
constexpr unsigned kVisualObject = 0xB5;
constexpr unsigned kVop = 0xB6;

constexpr unsigned kRectangular = 0, kBinary = 1, kBinaryOnly = 2, kGrayscale = 3;
constexpr unsigned kFineGranularityScalable = 18;
constexpr std::size_t kMaxUserDataText = 200;

struct ProfileRow {
    unsigned code;
    const char* profile;
    const char* level;
};

constexpr ProfileRow kProfiles[] = {
    {0x01, "Simple", "1"},
    {0x02, "Simple", "2"},
    {0x03, "Simple", "3"},
    {0x04, "Simple", "4a"},
    {0x05, "Simple", "5"},
    {0x06, "Simple", "6"},
    {0x08, "Simple", "0"},
    {0x09, "Simple", "0b"},
    {0x10, "Simple Scalable", "0"},
    {0x11, "Simple Scalable", "1"},
    {0x12, "Simple Scalable", "2"},
    {0x21, "Core", "1"},
    {0x22, "Core", "2"},
    {0x32, "Main", "2"},
    {0x33, "Main", "3"},
    {0x34, "Main", "4"},
    {0x42, "N-bit", "2"},
    {0x51, "Scalable Texture", "1"},
    {0x61, "Simple Face Animation", "1"},
    {0x62, "Simple Face Animation", "2"},
    {0x63, "Simple FBA", "1"},
    {0x64, "Simple FBA", "2"},
    {0x71, "Basic Animated Texture", "1"},
    {0x72, "Basic Animated Texture", "2"},
    {0x81, "Hybrid", "1"},
    {0x82, "Hybrid", "2"},
    {0x91, "Advanced Real Time Simple", "1"},
    {0x92, "Advanced Real Time Simple", "2"},
    {0x93, "Advanced Real Time Simple", "3"},
    {0x94, "Advanced Real Time Simple", "4"},
    {0xA1, "Core Scalable", "1"},
    {0xA2, "Core Scalable", "2"},
    {0xA3, "Core Scalable", "3"},
    {0xB1, "Advanced Coding Efficiency", "1"},
    {0xB2, "Advanced Coding Efficiency", "2"},
    {0xB3, "Advanced Coding Efficiency", "3"},
    {0xB4, "Advanced Coding Efficiency", "4"},
    {0xC1, "Advanced Core", "1"},
    {0xC2, "Advanced Core", "2"},
    {0xD1, "Advanced Scalable Texture", "1"},
    {0xD2, "Advanced Scalable Texture", "2"},
    {0xD3, "Advanced Scalable Texture", "3"},
    {0xE1, "Simple Studio", "1"},
    {0xE2, "Simple Studio", "2"},
    {0xE3, "Simple Studio", "3"},
    {0xE4, "Simple Studio", "4"},
    {0xE5, "Core Studio", "1"},
    {0xE6, "Core Studio", "2"},
    {0xE7, "Core Studio", "3"},
    {0xE8, "Core Studio", "4"},
    {0xF0, "Advanced Simple", "0"},
    {0xF1, "Advanced Simple", "1"},
    {0xF2, "Advanced Simple", "2"},
    {0xF3, "Advanced Simple", "3"},
    {0xF4, "Advanced Simple", "4"},
    {0xF5, "Advanced Simple", "5"},
    {0xF7, "Advanced Simple", "3b"},
    {0xF8, "Fine Granularity Scalable", "0"},
    {0xF9, "Fine Granularity Scalable", "1"},
    {0xFA, "Fine Granularity Scalable", "2"},
    {0xFB, "Fine Granularity Scalable", "3"},
    {0xFC, "Fine Granularity Scalable", "4"},
    {0xFD, "Fine Granularity Scalable", "5"},
};

const char* VisualObjectTypeName(std::uint64_t v) {
    switch (v) {
    case 1: return "video ID";
    case 2: return "still texture ID";
    case 3: return "mesh ID";
    case 4: return "FBA ID";
    case 5: return "3D mesh ID";
    default: return "reserved";
    }
}

const char* AspectRatioName(std::uint64_t v) {
    switch (v) {
    case 0: return "forbidden";
    case 1: return "1:1 (square)";
    case 2: return "12:11 (625-type for 4:3 picture)";
    case 3: return "10:11 (525-type for 4:3 picture)";
    case 4: return "16:11 (625-type stretched for 16:9 picture)";
    case 5: return "40:33 (525-type stretched for 16:9 picture)";
    case 15: return "extended_PAR";
    default: return "reserved";
    }
}

const char* ShapeName(std::uint64_t v) {
    switch (v) {
    case kRectangular: return "rectangular";
    case kBinary: return "binary";
    case kBinaryOnly: return "binary only";
    default: return "grayscale";
    }
}

const char* SpriteName(std::uint64_t v) {
    switch (v) {
    case 0: return "sprite not used";
    case 1: return "static";
    case 2: return "GMC";
    default: return "reserved";
    }
}

const char* VopCodingTypeName(std::uint64_t v) {
    switch (v) {
    case 0: return "I";
    case 1: return "P";
    case 2: return "B";
    default: return "S";
    }
}

void ShouldBe(SyntaxReader& r, std::optional<std::uint64_t> v, std::uint64_t want) {
    if (v && *v != want) r.Meaning("(should be " + std::to_string(want) + ")");
}

void Marker(SyntaxReader& r) { ShouldBe(r, r.u("marker_bit", 1), 1); }

// Byte index of the next 00 00 01 at or after byte `from`; the size when none.
std::uint64_t NextStartCode(const BitSource& src, std::uint64_t from) {
    const auto data = src.Data();
    for (std::uint64_t i = from; i + 3 <= data.size(); ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i;
    return data.size();
}

bool AtStartCode(const BitSource& src) { return src.ByteAligned() && src.Peek(24) == 1u; }

// next_start_code(): a zero bit, then one bits up to the byte boundary.
void ReadNextStartCode(SyntaxReader& r) {
    BitSource& src = r.Source();
    if (!r.Ok() || src.BitsLeft() == 0 || AtStartCode(src)) return;
    ShouldBe(r, r.u("zero_bit", 1), 0);
    const unsigned ones = static_cast<unsigned>((8 - src.BitPos() % 8) % 8);
    if (ones > 0) ShouldBe(r, r.u("one_bit", ones), (1u << ones) - 1);
}

// The bytes from here to the next start code, as one field.
void BytesToNextStartCode(SyntaxReader& r, std::string_view label) {
    BitSource& src = r.Source();
    if (!r.Ok()) return;
    if (!src.ByteAligned()) src.SeekBit((src.BitPos() + 7) / 8 * 8);
    const std::uint64_t at = src.BitPos() / 8;
    const std::uint64_t next = NextStartCode(src, at);
    if (next > at) r.Bytes(label, next - at);
}

// user_data(): text when every byte is printable, else bytes.
void ReadUserData(SyntaxReader& r, Mpeg4VisualConfig& c) {
    BitSource& src = r.Source();
    r.u("user_data_start_code", 32);
    if (!r.Ok()) return;
    const std::uint64_t at = src.BitPos() / 8, next = NextStartCode(src, at);
    if (next == at) return;
    ++c.userDataCount;
    const auto data = src.Data();
    bool printable = true;
    for (std::uint64_t i = at; i < next && printable; ++i) printable = data[i] >= 0x20 && data[i] < 0x7F;
    if (!printable) {
        r.Bytes("user_data", next - at);
        return;
    }
    const std::uint64_t shown = std::min<std::uint64_t>(next - at, kMaxUserDataText);
    std::string text = "\"";
    for (std::uint64_t i = at; i < at + shown; ++i) text += static_cast<char>(data[i]);
    text += next - at > shown ? "...\"" : "\"";
    src.SeekBit(8 * next);
    if (r.Sink()) r.Sink()->TextField("user_data", std::move(text), src.FileRange(8 * at, 8 * next));
}

void ReadVisualObjectSequence(SyntaxReader& r, Mpeg4VisualConfig& c) {
    r.Heading("VisualObjectSequence()");
    r.u("visual_object_sequence_start_code", 32);
    const auto pl = r.u("profile_and_level_indication", 8);
    if (!pl) return;
    r.Meaning(Mpeg4ProfileAndLevelName(static_cast<unsigned>(*pl)));
    c.hasSequence = true;
    c.profileAndLevel = static_cast<unsigned>(*pl);
}

void ReadVideoSignalType(SyntaxReader& r, Mpeg4VisualConfig& c) {
    const auto present = r.flag("video_signal_type");
    if (!present || !*present) return;
    if (const auto format = r.u("video_format", 3)) r.Meaning(VideoFormatName(*format));
    if (const auto range = r.flag("video_range")) {
        r.Meaning(FullRangeName(*range));
        c.videoRange = *range;
    }
    const auto described = r.flag("colour_description");
    if (!described || !*described) return;
    const auto cp = r.u("colour_primaries", 8);
    if (cp) r.Meaning(ColourPrimariesName(*cp));
    const auto tc = r.u("transfer_characteristics", 8);
    if (tc) r.Meaning(TransferCharacteristicsName(*tc));
    const auto mc = r.u("matrix_coefficients", 8);
    if (!mc) return;
    r.Meaning(MatrixCoefficientsName(*mc));
    c.colourDescription = true;
    c.colourPrimaries = static_cast<unsigned>(*cp);
    c.transferCharacteristics = static_cast<unsigned>(*tc);
    c.matrixCoefficients = static_cast<unsigned>(*mc);
}

void ReadVisualObject(SyntaxReader& r, Mpeg4VisualConfig& c, unsigned& verid) {
    r.Heading("VisualObject()");
    r.u("visual_object_start_code", 32);
    const auto identified = r.flag("is_visual_object_identifier");
    if (identified && *identified) {
        if (const auto v = r.u("visual_object_verid", 4)) verid = static_cast<unsigned>(*v);
        r.u("visual_object_priority", 3);
    }
    const auto type = r.u("visual_object_type", 4);
    if (!type) return;
    r.Meaning(VisualObjectTypeName(*type));
    c.hasVisualObject = true;
    c.visualObjectType = static_cast<unsigned>(*type);
    if (*type == 1 || *type == 2) ReadVideoSignalType(r, c);
    ReadNextStartCode(r);
}

// intra_quant_mat() and its kin: up to 64 values in zigzag order, a 0 ending them early.
void ReadQuantMatrix(SyntaxReader& r, const char* label) {
    BitSource& src = r.Source();
    if (!r.Ok()) return;
    const std::uint64_t first = src.BitPos();
    std::string values;
    for (int i = 0; i < 64; ++i) {
        const auto v = src.Read(8);
        if (!v) {
            src.SeekBit(first);
            return r.Fail(std::string(label) + " runs past the end");
        }
        if (!values.empty()) values += ' ';
        values += std::to_string(*v);
        if (*v == 0) break;
    }
    if (r.Sink()) r.Sink()->TextField(label, std::move(values), src.FileRange(first, src.BitPos()));
}

void ReadVbvParameters(SyntaxReader& r, Mpeg4VisualConfig& c) {
    BitSource& src = r.Source();
    std::uint64_t first = src.BitPos();
    const auto rateHigh = r.u("first_half_bit_rate", 15);
    Marker(r);
    const auto rateLow = r.u("latter_half_bit_rate", 15);
    if (!rateLow) return;
    c.bitRate = (*rateHigh << 15 | *rateLow) * 400;
    r.Derived("bit_rate", std::to_string(c.bitRate) + " bits/s", first, src.BitPos());
    Marker(r);
    first = src.BitPos();
    const auto bufferHigh = r.u("first_half_vbv_buffer_size", 15);
    Marker(r);
    const auto bufferLow = r.u("latter_half_vbv_buffer_size", 3);
    if (!bufferLow) return;
    r.Derived("vbv_buffer_size", std::to_string((*bufferHigh << 3 | *bufferLow) * 16384) + " bits", first,
              src.BitPos());
    first = src.BitPos();
    const auto occupancyHigh = r.u("first_half_vbv_occupancy", 11);
    Marker(r);
    const auto occupancyLow = r.u("latter_half_vbv_occupancy", 15);
    if (!occupancyLow) return;
    r.Derived("vbv_occupancy", std::to_string((*occupancyHigh << 15 | *occupancyLow) * 64) + " bits", first,
              src.BitPos());
    Marker(r);
}

void ReadSprite(SyntaxReader& r, unsigned sprite) {
    if (sprite != 2) {
        r.u("sprite_width", 13);
        Marker(r);
        r.u("sprite_height", 13);
        Marker(r);
        r.s("sprite_left_coordinate", 13);
        Marker(r);
        r.s("sprite_top_coordinate", 13);
        Marker(r);
    }
    r.u("no_of_sprite_warping_points", 6);
    r.u("sprite_warping_accuracy", 2);
    r.flag("sprite_brightness_change");
    if (sprite != 2) r.flag("low_latency_sprite_enable");
}

void ReadScalability(SyntaxReader& r, unsigned shape) {
    const auto hierarchy = r.u("hierarchy_type", 1);
    r.u("ref_layer_id", 4);
    r.flag("ref_layer_sampling_direc");
    r.u("hor_sampling_factor_n", 5);
    r.u("hor_sampling_factor_m", 5);
    r.u("vert_sampling_factor_n", 5);
    r.u("vert_sampling_factor_m", 5);
    r.flag("enhancement_type");
    if (shape == kBinary && hierarchy && *hierarchy == 0) {
        r.flag("use_ref_shape");
        r.flag("use_ref_texture");
        r.u("shape_hor_sampling_factor_n", 5);
        r.u("shape_hor_sampling_factor_m", 5);
        r.u("shape_vert_sampling_factor_n", 5);
        r.u("shape_vert_sampling_factor_m", 5);
    }
}

// The coding tools after the size of a layer that is not binary only. False
// when fields follow that are not read here.
bool ReadCodingTools(SyntaxReader& r, Mpeg4VisualConfig& c) {
    const unsigned shape = c.shape, verid = c.verid;
    const auto interlaced = r.flag("interlaced");
    if (!interlaced) return true;
    c.interlaced = *interlaced;
    r.flag("obmc_disable");
    const auto sprite = r.u("sprite_enable", verid == 1 ? 1 : 2);
    if (!sprite) return true;
    r.Meaning(SpriteName(*sprite));
    c.spriteEnable = static_cast<unsigned>(*sprite);
    if (*sprite == 1 || *sprite == 2) ReadSprite(r, static_cast<unsigned>(*sprite));
    if (verid != 1 && shape != kRectangular) r.flag("sadct_disable");
    const auto not8 = r.flag("not_8_bit");
    if (not8 && *not8) {
        r.u("quant_precision", 4);
        r.u("bits_per_pixel", 4);
    }
    if (shape == kGrayscale) {
        r.flag("no_gray_quant_update");
        r.flag("composition_method");
        r.flag("linear_composition");
    }
    const auto quantType = r.u("quant_type", 1);
    if (!quantType) return true;
    if (*quantType) {
        const auto intra = r.flag("load_intra_quant_mat");
        if (intra && *intra) ReadQuantMatrix(r, "intra_quant_mat");
        const auto inter = r.flag("load_nonintra_quant_mat");
        if (inter && *inter) ReadQuantMatrix(r, "nonintra_quant_mat");
        if (shape == kGrayscale) {
            r.Heading("(the grayscale quantiser matrices are not read here)");
            return false;
        }
    }
    if (verid != 1) {
        if (const auto q = r.flag("quarter_sample")) c.quarterSample = *q;
    }
    const auto noComplexity = r.flag("complexity_estimation_disable");
    if (!noComplexity) return true;
    if (!*noComplexity) {
        r.Heading("(define_vop_complexity_estimation_header() is not read here)");
        return false;
    }
    r.flag("resync_marker_disable");
    const auto partitioned = r.flag("data_partitioned");
    if (partitioned && *partitioned) r.flag("reversible_vlc");
    if (verid != 1) {
        const auto newpred = r.flag("newpred_enable");
        if (newpred && *newpred) {
            r.u("requested_upstream_message_type", 2);
            r.flag("newpred_segment_type");
        }
        r.flag("reduced_resolution_vop_enable");
    }
    const auto scalable = r.flag("scalability");
    if (scalable && *scalable) ReadScalability(r, shape);
    return true;
}

void ReadVideoObjectLayer(SyntaxReader& r, Mpeg4VisualConfig& c, unsigned objectVerid) {
    BitSource& src = r.Source();
    r.Heading("VideoObjectLayer()");
    r.u("video_object_layer_start_code", 32);
    r.flag("random_accessible_vol");
    const auto type = r.u("video_object_type_indication", 8);
    if (!type) return;
    r.Meaning(Mpeg4VideoObjectTypeName(static_cast<unsigned>(*type)));
    c.videoObjectTypeIndication = static_cast<unsigned>(*type);
    if (*type == kFineGranularityScalable) {
        r.Heading("(a fine granularity scalable layer: its fields are not read here)");
        return;
    }
    c.verid = objectVerid;
    const auto identified = r.flag("is_object_layer_identifier");
    if (identified && *identified) {
        if (const auto v = r.u("video_object_layer_verid", 4)) c.verid = static_cast<unsigned>(*v);
        r.u("video_object_layer_priority", 3);
    }
    const auto aspect = r.u("aspect_ratio_info", 4);
    if (!aspect) return;
    r.Meaning(AspectRatioName(*aspect));
    c.aspectRatioInfo = static_cast<unsigned>(*aspect);
    static constexpr unsigned kPar[][2] = {{0, 0}, {1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}};
    if (*aspect < 6) {
        c.parWidth = kPar[*aspect][0];
        c.parHeight = kPar[*aspect][1];
    }
    if (*aspect == 15) {
        const std::uint64_t first = src.BitPos();
        const auto w = r.u("par_width", 8);
        const auto h = r.u("par_height", 8);
        if (!h) return;
        c.parWidth = static_cast<unsigned>(*w);
        c.parHeight = static_cast<unsigned>(*h);
        r.Derived("pixel aspect ratio", std::to_string(*w) + ":" + std::to_string(*h), first, src.BitPos());
    }
    const auto control = r.flag("vol_control_parameters");
    if (control && *control) {
        const auto chroma = r.u("chroma_format", 2);
        if (chroma) {
            r.Meaning(*chroma == 1 ? "4:2:0" : "reserved");
            c.chromaFormat = static_cast<unsigned>(*chroma);
        }
        if (const auto low = r.flag("low_delay")) c.lowDelay = *low;
        const auto vbv = r.flag("vbv_parameters");
        if (vbv && *vbv) ReadVbvParameters(r, c);
    }
    const auto shape = r.u("video_object_layer_shape", 2);
    if (!shape) return;
    r.Meaning(ShapeName(*shape));
    c.shape = static_cast<unsigned>(*shape);
    if (c.shape == kGrayscale && c.verid != 1) r.u("video_object_layer_shape_extension", 4);
    Marker(r);
    const auto resolution = r.u("vop_time_increment_resolution", 16);
    if (!resolution) return;
    if (*resolution == 0) r.Meaning("(must not be 0)");
    c.vopTimeIncrementResolution = static_cast<unsigned>(*resolution);
    Marker(r);
    const auto fixed = r.flag("fixed_vop_rate");
    if (!fixed) return;
    c.fixedVopRate = *fixed;
    if (*fixed) {
        // As many bits as the largest increment, resolution - 1, needs; at least one.
        unsigned bits = 1;
        while (bits < 16 && (1u << bits) < *resolution) ++bits;
        const std::uint64_t first = src.BitPos();
        const auto increment = r.u("fixed_vop_time_increment", bits);
        if (!increment) return;
        c.fixedVopTimeIncrement = static_cast<unsigned>(*increment);
        if (c.FrameRate() > 0) r.Derived("frame rate", RateText(c.FrameRate()) + " frames/s", first, src.BitPos());
    }
    if (c.shape != kBinaryOnly) {
        if (c.shape == kRectangular) {
            Marker(r);
            const auto w = r.u("video_object_layer_width", 13);
            Marker(r);
            const auto h = r.u("video_object_layer_height", 13);
            Marker(r);
            if (!h) return;
            c.width = static_cast<unsigned>(*w);
            c.height = static_cast<unsigned>(*h);
        }
        if (!r.Ok()) return;
        c.hasLayer = true;
        if (!ReadCodingTools(r, c)) return;
    } else {
        c.hasLayer = true;
        if (c.verid != 1) {
            const auto scalable = r.flag("scalability");
            if (scalable && *scalable) {
                r.u("ref_layer_id", 4);
                r.u("shape_hor_sampling_factor_n", 5);
                r.u("shape_hor_sampling_factor_m", 5);
                r.u("shape_vert_sampling_factor_n", 5);
                r.u("shape_vert_sampling_factor_m", 5);
            }
        }
        r.flag("resync_marker_disable");
    }
    ReadNextStartCode(r);
}

void ReadGroupOfVop(SyntaxReader& r) {
    r.Heading("Group_of_VideoObjectPlane()");
    r.u("group_of_vop_start_code", 32);
    r.u("time_code", 18);
    r.flag("closed_gov");
    r.flag("broken_link");
    ReadNextStartCode(r);
}

}  // namespace

double Mpeg4VisualConfig::FrameRate() const {
    if (!fixedVopRate || fixedVopTimeIncrement == 0 || vopTimeIncrementResolution == 0) return 0;
    return static_cast<double>(vopTimeIncrementResolution) / fixedVopTimeIncrement;
}

std::string Mpeg4ProfileAndLevelName(unsigned code) {
    for (const ProfileRow& row : kProfiles)
        if (row.code == code) return std::string(row.profile) + " Profile Level " + row.level;
    if (code == 0xFF) return "reserved for escape";
    return "reserved";
}

std::string Mpeg4VideoObjectTypeName(unsigned v) {
    static constexpr const char* kNames[] = {"reserved",
                                             "Simple Object Type",
                                             "Simple Scalable Object Type",
                                             "Core Object Type",
                                             "Main Object Type",
                                             "N-bit Object Type",
                                             "Basic Anim. 2D Texture",
                                             "Anim. 2D Mesh",
                                             "Simple Face",
                                             "Still Scalable Texture",
                                             "Advanced Real Time Simple",
                                             "Core Scalable",
                                             "Advanced Coding Efficiency",
                                             "Advanced Scalable Texture",
                                             "Simple FBA",
                                             "Simple Studio",
                                             "Core Studio",
                                             "Advanced Simple",
                                             "Fine Granularity Scalable"};
    return v < std::size(kNames) ? kNames[v] : "reserved";
}

std::string Mpeg4StartCodeName(unsigned code) {
    if (code <= 0x1F) return "video_object_start_code";
    if (code <= 0x2F) return "video_object_layer_start_code";
    switch (code) {
    case kVisualObjectSequence: return "visual_object_sequence_start_code";
    case kVisualObjectSequenceEnd: return "visual_object_sequence_end_code";
    case kUserData: return "user_data_start_code";
    case kGroupOfVop: return "group_of_vop_start_code";
    case 0xB4: return "video_session_error_code";
    case kVisualObject: return "visual_object_start_code";
    case kVop: return "vop_start_code";
    case 0xBA: return "fba_object_start_code";
    case 0xBB: return "fba_object_plane_start_code";
    case 0xBC: return "mesh_object_start_code";
    case 0xBD: return "mesh_object_plane_start_code";
    case 0xBE: return "still_texture_object_start_code";
    case 0xBF: return "texture_spatial_layer_start_code";
    case 0xC0: return "texture_snr_layer_start_code";
    case 0xC1: return "texture_tile_start_code";
    case 0xC2: return "texture_shape_layer_start_code";
    case 0xC3: return "stuffing_start_code";
    default: return code >= 0xC6 ? "system start code" : "reserved start code";
    }
}

Mpeg4VisualConfig ReadMpeg4VisualConfig(BitSource& source, FieldSink* sink) {
    Mpeg4VisualConfig c;
    unsigned objectVerid = 1;
    while (source.BitsLeft() >= 8) {
        // Each structure starts on a byte boundary at a start code; what is
        // not at one is shown up to the next.
        if (!source.ByteAligned()) source.SeekBit((source.BitPos() + 7) / 8 * 8);
        if (source.BitsLeft() < 32 || !AtStartCode(source)) {
            SyntaxReader r(source, sink, "start code");
            const std::uint64_t at = source.BitPos() / 8;
            const std::uint64_t next = NextStartCode(source, at);
            if (next + 4 > source.SizeBytes()) {
                r.Bytes(at == 0 ? "data without a start code" : "trailing bytes", source.BitsLeft() / 8);
                break;
            }
            r.Bytes("bytes before the next start code", next - at);
            continue;
        }
        const unsigned code = static_cast<unsigned>(*source.Peek(32) & 0xFF);
        const bool layer = code >= 0x20 && code <= 0x2F;
        std::string structure = code == kVisualObjectSequence ? "VisualObjectSequence()"
                                : code == kUserData           ? "user_data()"
                                : code == kVisualObject       ? "VisualObject()"
                                : layer                       ? "VideoObjectLayer()"
                                : code == kGroupOfVop         ? "Group_of_VideoObjectPlane()"
                                : code == kVop                ? "VideoObjectPlane()"
                                                              : Mpeg4StartCodeName(code);
        SyntaxReader r(source, sink, std::move(structure));
        if (code == kVisualObjectSequence) {
            ReadVisualObjectSequence(r, c);
        } else if (code == kUserData) {
            ReadUserData(r, c);
        } else if (code == kVisualObject) {
            ReadVisualObject(r, c, objectVerid);
        } else if (layer) {
            ReadVideoObjectLayer(r, c, objectVerid);
            BytesToNextStartCode(r, "rest of the video object layer");
        } else if (code == kGroupOfVop) {
            ReadGroupOfVop(r);
        } else if (code == kVop) {
            r.Heading("VideoObjectPlane()");
            r.u("vop_start_code", 32);
            if (const auto type = r.u("vop_coding_type", 2)) r.Meaning(VopCodingTypeName(*type));
            BytesToNextStartCode(r, "vop data");
        } else {
            r.u(Mpeg4StartCodeName(code), 32);
            BytesToNextStartCode(r, "data");
        }
        // A structure cut short has said where; what follows it is not read.
        if (!r.Ok()) break;
    }
    return c;
}

}  // namespace kestrova::codecs
