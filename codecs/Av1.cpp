#include "codecs/Av1.h"

#include <cstdio>

#include "codecs/ColourNames.h"

namespace kestrova::codecs {
namespace {

constexpr unsigned kObuSequenceHeader = 1;
constexpr unsigned kSelectScreenContentTools = 2;

// What seq_level_idx means, for the line that shows it.
std::string LevelMeaning(std::uint64_t idx) {
    const std::string text = Av1LevelText(static_cast<unsigned>(idx));
    return idx <= 23 ? "level " + text : text;
}

std::string Indexed(const char* name, unsigned i) { return std::string(name) + "[" + std::to_string(i) + "]"; }

std::string LayerList(unsigned bits, unsigned count) {
    std::string out;
    for (unsigned i = 0; i < count; ++i) {
        if ((bits >> i & 1) == 0) continue;
        if (!out.empty()) out += ", ";
        out += std::to_string(i);
    }
    return out;
}

// Which layers an operating point decodes: 0 means every layer.
std::string OperatingPointText(unsigned idc) {
    if (idc == 0) return "all layers";
    const unsigned temporal = idc & 0xFF, spatial = idc >> 8 & 0xF;
    return "temporal layers " + (temporal ? LayerList(temporal, 8) : std::string("none")) + ", spatial layers " +
           (spatial ? LayerList(spatial, 4) : std::string("none"));
}

const char* ChromaSamplePositionName(unsigned v) {
    switch (v) {
    case 0: return "unknown";
    case 1: return "vertical (between two luma rows, at the left)";
    case 2: return "colocated with luma (0, 0)";
    default: return "reserved";
    }
}

void ShouldBe(SyntaxReader& r, std::optional<std::uint64_t> v, std::uint64_t want) {
    if (v && *v != want) r.Meaning("(should be " + std::to_string(want) + ")");
}

// color_config(): fills depth, chroma and colour of h.
void ReadColorConfig(SyntaxReader& r, Av1SequenceHeader& h) {
    BitSource& src = r.Source();
    const std::uint64_t first = src.BitPos();
    const auto highBitdepth = r.flag("high_bitdepth");
    if (!highBitdepth) return;
    if (h.profile > 2) return r.Fail("color_config() of seq_profile " + std::to_string(h.profile) + " is not defined");
    if (h.profile == 2 && *highBitdepth) {
        const auto twelve = r.flag("twelve_bit");
        if (!twelve) return;
        h.bitDepth = *twelve ? 12 : 10;
    } else {
        h.bitDepth = *highBitdepth ? 10 : 8;
    }
    r.Derived("BitDepth", std::to_string(h.bitDepth), first, src.BitPos());
    if (h.profile != 1) {
        const auto mono = r.flag("mono_chrome");
        if (!mono) return;
        h.monochrome = *mono;
    }
    const auto described = r.flag("color_description_present_flag");
    if (!described) return;
    if (*described) {
        const auto cp = r.u("color_primaries", 8);
        if (cp) r.Meaning(ColourPrimariesName(*cp));
        const auto tc = r.u("transfer_characteristics", 8);
        if (tc) r.Meaning(TransferCharacteristicsName(*tc));
        const auto mc = r.u("matrix_coefficients", 8);
        if (mc) r.Meaning(MatrixCoefficientsName(*mc));
        if (!mc) return;
        h.colourPrimaries = static_cast<unsigned>(*cp);
        h.transferCharacteristics = static_cast<unsigned>(*tc);
        h.matrixCoefficients = static_cast<unsigned>(*mc);
    }
    const std::uint64_t chromaFirst = src.BitPos();
    if (h.monochrome) {
        const auto range = r.flag("color_range");
        if (!range) return;
        r.Meaning(FullRangeName(*range));
        h.fullRange = *range;
        h.subsamplingX = h.subsamplingY = 1;
        r.Derived("subsampling", Av1SubsamplingText(true, 1, 1), chromaFirst, src.BitPos());
        return;
    }
    if (h.colourPrimaries == 1 && h.transferCharacteristics == 13 && h.matrixCoefficients == 0) {
        // sRGB: full range 4:4:4 without a bit for either.
        h.fullRange = true;
        h.subsamplingX = h.subsamplingY = 0;
    } else {
        const auto range = r.flag("color_range");
        if (!range) return;
        r.Meaning(FullRangeName(*range));
        h.fullRange = *range;
        if (h.profile == 0) {
            h.subsamplingX = h.subsamplingY = 1;
        } else if (h.profile == 1) {
            h.subsamplingX = h.subsamplingY = 0;
        } else if (h.bitDepth == 12) {
            const auto x = r.u("subsampling_x", 1);
            if (!x) return;
            h.subsamplingX = static_cast<unsigned>(*x);
            h.subsamplingY = 0;
            if (*x) {
                const auto y = r.u("subsampling_y", 1);
                if (!y) return;
                h.subsamplingY = static_cast<unsigned>(*y);
            }
        } else {
            h.subsamplingX = 1;
            h.subsamplingY = 0;
        }
        if (h.subsamplingX && h.subsamplingY) {
            const auto pos = r.u("chroma_sample_position", 2);
            if (!pos) return;
            r.Meaning(ChromaSamplePositionName(static_cast<unsigned>(*pos)));
            h.chromaSamplePosition = static_cast<unsigned>(*pos);
        }
    }
    r.Derived("subsampling", Av1SubsamplingText(false, h.subsamplingX, h.subsamplingY), first, src.BitPos());
    r.flag("separate_uv_delta_q");
}

void ReadTimingInfo(SyntaxReader& r, Av1SequenceHeader& h) {
    const std::uint64_t first = r.Source().BitPos();
    const auto units = r.u("num_units_in_display_tick", 32);
    const auto scale = r.u("time_scale", 32);
    const auto equal = r.flag("equal_picture_interval");
    if (!equal) return;
    h.numUnitsInDisplayTick = static_cast<std::uint32_t>(*units);
    h.timeScale = static_cast<std::uint32_t>(*scale);
    h.equalPictureInterval = *equal;
    if (*equal) {
        const auto ticks = r.uvlc("num_ticks_per_picture_minus_1");
        if (!ticks) return;
        h.numTicksPerPictureMinus1 = *ticks;
        if (h.FrameRate() > 0)
            r.Derived("frame rate", RateText(h.FrameRate()) + " frames/s", first, r.Source().BitPos());
    }
}

void ReadOperatingPoints(SyntaxReader& r, Av1SequenceHeader& h, unsigned bufferDelayBits, bool initialDisplayDelay) {
    const auto countMinus1 = r.u("operating_points_cnt_minus_1", 5);
    if (!countMinus1) return;
    for (unsigned i = 0; i <= *countMinus1 && r.Ok(); ++i) {
        Av1OperatingPoint& op = h.operatingPoints[i];
        const auto idc = r.u(Indexed("operating_point_idc", i), 12);
        if (idc) r.Meaning(OperatingPointText(static_cast<unsigned>(*idc)));
        const auto level = r.u(Indexed("seq_level_idx", i), 5);
        if (!level) return;
        r.Meaning(LevelMeaning(*level));
        op.idc = static_cast<std::uint16_t>(*idc);
        op.levelIdx = static_cast<std::uint8_t>(*level);
        if (*level > 7) {
            const auto tier = r.u(Indexed("seq_tier", i), 1);
            if (!tier) return;
            r.Meaning(Av1TierText(static_cast<unsigned>(*tier)));
            op.tier = static_cast<std::uint8_t>(*tier);
        }
        if (h.decoderModelInfo) {
            const auto present = r.flag(Indexed("decoder_model_present_for_this_op", i));
            if (!present) return;
            op.decoderModel = *present;
            if (*present) {
                r.u(Indexed("decoder_buffer_delay", i), bufferDelayBits);
                r.u(Indexed("encoder_buffer_delay", i), bufferDelayBits);
                r.flag(Indexed("low_delay_mode_flag", i));
            }
        }
        if (initialDisplayDelay) {
            const auto present = r.flag(Indexed("initial_display_delay_present_for_this_op", i));
            if (present && *present) r.u(Indexed("initial_display_delay_minus_1", i), 4);
        }
        if (r.Ok()) h.operatingPointCount = i + 1;
    }
}

// The tool flags between the frame size and color_config().
void ReadToolFlags(SyntaxReader& r, const Av1SequenceHeader& h) {
    r.flag("use_128x128_superblock");
    r.flag("enable_filter_intra");
    r.flag("enable_intra_edge_filter");
    if (!h.reducedStillPictureHeader) {
        r.flag("enable_interintra_compound");
        r.flag("enable_masked_compound");
        r.flag("enable_warped_motion");
        r.flag("enable_dual_filter");
        const auto orderHint = r.flag("enable_order_hint");
        if (!orderHint) return;
        if (*orderHint) {
            r.flag("enable_jnt_comp");
            r.flag("enable_ref_frame_mvs");
        }
        const auto choose = r.flag("seq_choose_screen_content_tools");
        if (!choose) return;
        std::uint64_t force = kSelectScreenContentTools;
        if (!*choose) {
            const auto v = r.u("seq_force_screen_content_tools", 1);
            if (!v) return;
            force = *v;
        }
        if (force > 0) {
            const auto chooseMv = r.flag("seq_choose_integer_mv");
            if (chooseMv && !*chooseMv) r.u("seq_force_integer_mv", 1);
        }
        if (*orderHint) r.u("order_hint_bits_minus_1", 3);
    }
    r.flag("enable_superres");
    r.flag("enable_cdef");
    r.flag("enable_restoration");
}

// trailing_bits() after an OBU's payload: a one bit, then zeros.
void ReadTrailingBits(BitSource& src, FieldSink* sink) {
    if (src.BitsLeft() == 0) return;
    SyntaxReader r(src, sink, "trailing_bits()");
    ShouldBe(r, r.u("trailing_one_bit", 1), 1);
    const unsigned align = static_cast<unsigned>((8 - src.BitPos() % 8) % 8);
    if (align > 0) ShouldBe(r, r.u("trailing_zero_bit", align), 0);
    if (r.Ok() && src.BitsLeft() >= 8) r.Bytes("trailing bytes", src.BitsLeft() / 8);
}

}  // namespace

double Av1SequenceHeader::FrameRate() const {
    if (!equalPictureInterval || numUnitsInDisplayTick == 0 || timeScale == 0) return 0;
    return static_cast<double>(timeScale) /
           (static_cast<double>(numUnitsInDisplayTick) * (static_cast<double>(numTicksPerPictureMinus1) + 1));
}

std::string Av1ProfileName(unsigned seqProfile) {
    switch (seqProfile) {
    case 0: return "Main";
    case 1: return "High";
    case 2: return "Professional";
    default: return "reserved";
    }
}

std::string Av1LevelText(unsigned seqLevelIdx) {
    if (seqLevelIdx == 31) return "maximum parameters";
    if (seqLevelIdx > 23) return "reserved";
    return std::to_string(2 + (seqLevelIdx >> 2)) + "." + std::to_string(seqLevelIdx & 3);
}

std::string Av1TierText(unsigned seqTier) { return seqTier ? "High tier" : "Main tier"; }

std::string Av1ObuTypeName(unsigned obuType) {
    switch (obuType) {
    case 1: return "OBU_SEQUENCE_HEADER";
    case 2: return "OBU_TEMPORAL_DELIMITER";
    case 3: return "OBU_FRAME_HEADER";
    case 4: return "OBU_TILE_GROUP";
    case 5: return "OBU_METADATA";
    case 6: return "OBU_FRAME";
    case 7: return "OBU_REDUNDANT_FRAME_HEADER";
    case 8: return "OBU_TILE_LIST";
    case 15: return "OBU_PADDING";
    default: return "reserved";
    }
}

std::string Av1SubsamplingText(bool monochrome, unsigned subsamplingX, unsigned subsamplingY) {
    if (monochrome) return "4:0:0 (monochrome)";
    if (subsamplingX && subsamplingY) return "4:2:0";
    if (subsamplingX) return "4:2:2";
    if (subsamplingY) return "4:4:0";
    return "4:4:4";
}

Av1SequenceHeader ReadAv1SequenceHeader(BitSource& source, FieldSink* sink) {
    Av1SequenceHeader h;
    SyntaxReader r(source, sink, "sequence_header_obu()");
    r.Heading("sequence_header_obu()");
    const auto profile = r.u("seq_profile", 3);
    if (!profile) return h;
    r.Meaning(Av1ProfileName(static_cast<unsigned>(*profile)));
    h.profile = static_cast<unsigned>(*profile);
    const auto still = r.flag("still_picture");
    const auto reduced = r.flag("reduced_still_picture_header");
    if (!reduced) return h;
    h.stillPicture = *still;
    h.reducedStillPictureHeader = *reduced;
    if (*reduced) {
        const auto level = r.u("seq_level_idx[0]", 5);
        if (!level) return h;
        r.Meaning(LevelMeaning(*level));
        h.operatingPoints[0].levelIdx = static_cast<std::uint8_t>(*level);
        h.operatingPointCount = 1;
    } else {
        const auto timing = r.flag("timing_info_present_flag");
        if (!timing) return h;
        h.timingInfo = *timing;
        unsigned bufferDelayBits = 0;
        if (*timing) {
            ReadTimingInfo(r, h);
            const auto model = r.flag("decoder_model_info_present_flag");
            if (!model) return h;
            h.decoderModelInfo = *model;
            if (*model) {
                const auto delay = r.u("buffer_delay_length_minus_1", 5);
                r.u("num_units_in_decoding_tick", 32);
                r.u("buffer_removal_time_length_minus_1", 5);
                r.u("frame_presentation_time_length_minus_1", 5);
                if (!r.Ok()) return h;
                bufferDelayBits = static_cast<unsigned>(*delay) + 1;
            }
        }
        const auto initialDelay = r.flag("initial_display_delay_present_flag");
        if (!initialDelay) return h;
        ReadOperatingPoints(r, h, bufferDelayBits, *initialDelay);
    }
    const auto widthBits = r.u("frame_width_bits_minus_1", 4);
    const auto heightBits = r.u("frame_height_bits_minus_1", 4);
    if (!heightBits) return h;
    const std::uint64_t sizeFirst = source.BitPos();
    const auto width = r.u("max_frame_width_minus_1", static_cast<unsigned>(*widthBits) + 1);
    const auto height = r.u("max_frame_height_minus_1", static_cast<unsigned>(*heightBits) + 1);
    if (!height) return h;
    h.maxFrameWidth = static_cast<std::uint32_t>(*width + 1);
    h.maxFrameHeight = static_cast<std::uint32_t>(*height + 1);
    r.Derived("maximum frame size", std::to_string(h.maxFrameWidth) + "x" + std::to_string(h.maxFrameHeight), sizeFirst,
              source.BitPos());
    if (!*reduced) {
        const auto frameIds = r.flag("frame_id_numbers_present_flag");
        if (frameIds && *frameIds) {
            r.u("delta_frame_id_length_minus_2", 4);
            r.u("additional_frame_id_length_minus_1", 3);
        }
    }
    ReadToolFlags(r, h);
    if (!r.Ok()) return h;
    ReadColorConfig(r, h);
    const auto grain = r.flag("film_grain_params_present");
    if (!grain) return h;
    h.filmGrain = *grain;
    h.read = true;
    return h;
}

Av1SequenceHeader ReadAv1Obus(BitSource& source, FieldSink* sink, unsigned* obuCount) {
    Av1SequenceHeader last;
    unsigned count = 0;
    while (source.BitsLeft() >= 8) {
        ++count;
        const unsigned peekType = static_cast<unsigned>(source.Peek(8).value_or(0) >> 3 & 0xF);
        SyntaxReader r(source, sink, "open_bitstream_unit()");
        r.Heading("open_bitstream_unit() #" + std::to_string(count) + " (" + Av1ObuTypeName(peekType) + ")");
        ShouldBe(r, r.u("obu_forbidden_bit", 1), 0);
        const auto type = r.u("obu_type", 4);
        if (type) r.Meaning(Av1ObuTypeName(static_cast<unsigned>(*type)));
        const auto extension = r.flag("obu_extension_flag");
        const auto hasSize = r.flag("obu_has_size_field");
        ShouldBe(r, r.u("obu_reserved_1bit", 1), 0);
        if (extension && *extension) {
            r.u("temporal_id", 3);
            r.u("spatial_id", 2);
            ShouldBe(r, r.u("extension_header_reserved_3bits", 3), 0);
        }
        if (!r.Ok()) break;
        std::uint64_t size = source.BitsLeft() / 8;
        if (*hasSize) {
            const auto declared = r.leb128("obu_size");
            if (!declared) break;
            if (*declared > source.BitsLeft() / 8) {
                const std::uint64_t left = source.BitsLeft() / 8;
                r.Fail("obu_size is " + std::to_string(*declared) + " bytes, " + std::to_string(left) +
                       (left == 1 ? " is left" : " are left"));
                break;
            }
            size = *declared;
        } else {
            r.Derived("obu_size", std::to_string(size) + " bytes, the rest of the data", source.BitPos(),
                      source.BitPos() + 8 * size);
        }
        const std::uint64_t start = source.BitPos() / 8;
        if (*type == kObuSequenceHeader) {
            const ByteRange at = source.FileRange(8 * start, 8 * start + 8);
            BitSource payload = BitSource::Plain(source.Data().subspan(start, size), at.offset);
            Av1SequenceHeader h = ReadAv1SequenceHeader(payload, sink);
            if (h.read) {
                ReadTrailingBits(payload, sink);
                last = h;
            }
        } else if (size > 0) {
            r.Bytes("payload", size);
        }
        source.SeekBit(8 * (start + size));
    }
    if (obuCount) *obuCount = count;
    return last;
}

Av1Config ReadAv1Config(BitSource& source, FieldSink* sink) {
    Av1Config c;
    SyntaxReader r(source, sink, "AV1CodecConfigurationRecord");
    const auto marker = r.u("marker", 1);
    ShouldBe(r, marker, 1);
    const auto version = r.u("version", 7);
    ShouldBe(r, version, 1);
    const auto profile = r.u("seq_profile", 3);
    if (profile) r.Meaning(Av1ProfileName(static_cast<unsigned>(*profile)));
    const auto level = r.u("seq_level_idx_0", 5);
    if (level) r.Meaning(LevelMeaning(*level));
    const auto tier = r.u("seq_tier_0", 1);
    if (tier) r.Meaning(Av1TierText(static_cast<unsigned>(*tier)));
    const std::uint64_t depthFirst = source.BitPos();
    const auto high = r.flag("high_bitdepth");
    const auto twelve = r.flag("twelve_bit");
    if (twelve) r.Derived("BitDepth", *twelve ? "12" : *high ? "10" : "8", depthFirst, source.BitPos());
    const std::uint64_t chromaFirst = source.BitPos();
    const auto mono = r.flag("monochrome");
    const auto x = r.u("chroma_subsampling_x", 1);
    const auto y = r.u("chroma_subsampling_y", 1);
    if (y)
        r.Derived("subsampling", Av1SubsamplingText(*mono, static_cast<unsigned>(*x), static_cast<unsigned>(*y)),
                  chromaFirst, source.BitPos());
    const auto position = r.u("chroma_sample_position", 2);
    if (position) r.Meaning(ChromaSamplePositionName(static_cast<unsigned>(*position)));
    ShouldBe(r, r.u("reserved", 3), 0);
    const auto delayPresent = r.flag("initial_presentation_delay_present");
    std::optional<std::uint64_t> delay;
    if (delayPresent && *delayPresent)
        delay = r.u("initial_presentation_delay_minus_one", 4);
    else
        ShouldBe(r, r.u("reserved", 4), 0);
    if (!r.Ok()) return c;
    c.read = true;
    c.marker = static_cast<unsigned>(*marker);
    c.version = static_cast<unsigned>(*version);
    c.seqProfile = static_cast<unsigned>(*profile);
    c.seqLevelIdx0 = static_cast<unsigned>(*level);
    c.seqTier0 = static_cast<unsigned>(*tier);
    c.highBitdepth = *high;
    c.twelveBit = *twelve;
    c.monochrome = *mono;
    c.chromaSubsamplingX = static_cast<unsigned>(*x);
    c.chromaSubsamplingY = static_cast<unsigned>(*y);
    c.chromaSamplePosition = static_cast<unsigned>(*position);
    c.initialPresentationDelayPresent = *delayPresent;
    c.initialPresentationDelayMinusOne = static_cast<unsigned>(delay.value_or(0));

    if (source.BitsLeft() < 8) return c;
    r.Heading("configOBUs");
    c.sequenceHeader = ReadAv1Obus(source, sink, &c.obuCount);
    c.hasSequenceHeader = c.sequenceHeader.read;
    if (!c.hasSequenceHeader || sink == nullptr) return c;

    // The record repeats the sequence header; where the two differ, say so.
    const Av1SequenceHeader& h = c.sequenceHeader;
    const auto differs = [&](const char* field, unsigned record, unsigned header) {
        if (record != header)
            sink->Heading("(" + std::string(field) + " is " + std::to_string(record) +
                          " in the record, the sequence header says " + std::to_string(header) + ")");
    };
    differs("seq_profile", c.seqProfile, h.profile);
    differs("seq_level_idx_0", c.seqLevelIdx0, h.operatingPoints[0].levelIdx);
    differs("seq_tier_0", c.seqTier0, h.operatingPoints[0].tier);
    differs("high_bitdepth", c.highBitdepth, h.bitDepth > 8);
    differs("twelve_bit", c.twelveBit, h.bitDepth == 12);
    differs("monochrome", c.monochrome, h.monochrome);
    differs("chroma_subsampling_x", c.chromaSubsamplingX, h.subsamplingX);
    differs("chroma_subsampling_y", c.chromaSubsamplingY, h.subsamplingY);
    differs("chroma_sample_position", c.chromaSamplePosition, h.chromaSamplePosition);
    return c;
}

}  // namespace kestrova::codecs
