// The audio configuration boxes of the full view: esds with its ES descriptor,
// the Opus, FLAC, Dolby, ALAC and 3GPP speech configurations, and the
// children of QuickTime's wave box. The box gives the bytes; the codec layer
// reads them.

#include "codecs/AudioConfigs.h"
#include "codecs/Mpeg4Audio.h"
#include "common/Formatters.h"
#include "iso/full/CodecSink.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

void ExtraBytes(Fields& f) {
    if (!f.Cut() && f.Left() > 0) f.Rest("extra bytes");
}

// Hands the rest of the body to a reader that shows its own fields and what it leaves.
template <typename Read>
void RunReader(Fields& f, const BoxContext& c, Read read) {
    if (f.Cut() || f.Left() == 0) return;
    const std::uint64_t pos = f.Pos();
    const auto bytes = f.Body().subspan(pos, f.Left());
    CodecSink sink(f);
    read(bytes, c.record.BodyOffset() + pos, &sink);
    f.Seek(pos + bytes.size());
}

void DescribeEsds(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    if (f.Cut() || f.Left() == 0) return;
    const std::uint64_t pos = f.Pos();
    CodecSink sink(f);
    const codecs::EsDescriptorInfo info =
        codecs::ReadEsDescriptor(f.Body().subspan(pos, f.Left()), c.record.BodyOffset() + pos, &sink);
    f.Seek(pos + info.consumed);
    ExtraBytes(f);
}

void DescribeDops(Fields& f, const BoxContext& c) { RunReader(f, c, codecs::ReadOpusConfig); }

void DescribeDfla(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    if (f.Cut() || f.Left() == 0) return;
    const std::uint64_t pos = f.Pos();
    CodecSink sink(f);
    std::uint64_t consumed = 0;
    codecs::ReadFlacMetadata(f.Body().subspan(pos, f.Left()), c.record.BodyOffset() + pos, &sink, &consumed);
    f.Seek(pos + consumed);
    ExtraBytes(f);
}

void DescribeDac3(Fields& f, const BoxContext& c) { RunReader(f, c, codecs::ReadAc3Config); }
void DescribeDec3(Fields& f, const BoxContext& c) { RunReader(f, c, codecs::ReadEac3Config); }
void DescribeDac4(Fields& f, const BoxContext& c) { RunReader(f, c, codecs::ReadAc4Config); }

void DescribeAlac(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    RunReader(f, c, codecs::ReadAlacConfig);
}

void DescribeDamr(Fields& f, const BoxContext& c) {
    const bool wideband = c.ParentType() == F("sawb");
    RunReader(f, c, [wideband](std::span<const std::uint8_t> bytes, std::uint64_t offset, codecs::FieldSink* sink) {
        return codecs::ReadAmrConfig(bytes, offset, sink, wideband);
    });
}

// EVRC, QCELP and SMV say no more than who made them and how many frames a sample holds.
void DescribeSpeechConfig(Fields& f, const BoxContext&) {
    f.Type("vendor");
    f.U("decoder_version", 1);
    f.U("frames_per_sample", 1);
    ExtraBytes(f);
}

// ---- Inside QuickTime's wave ----

void DescribeFrma(Fields& f, const BoxContext&) {
    f.Type("data_format");
    ExtraBytes(f);
}

void DescribeWaveFormat(Fields& f, const BoxContext&) {
    if (f.Left() == 0) return;
    f.Rest("data");
    f.Meaning("(left over from the sound description of old QuickTime: no meaning)");
}

void DescribeEnda(Fields& f, const BoxContext&) {
    const auto v = f.U("littleEndian", 2);
    if (v) f.Meaning(*v ? "little-endian samples" : "big-endian samples");
    ExtraBytes(f);
}

void DescribeTerminator(Fields& f, const BoxContext&) {
    f.Heading("(terminator: the end of the wave box's list)");
    ExtraBytes(f);
}

constexpr BoxRule Leaf(std::uint32_t parent, std::uint32_t type, DescribeFn describe) {
    return {parent, type, BoxKind::Leaf, EntryLayout::None, describe};
}

constexpr BoxRule kRules[] = {
    Leaf(0, F("esds"), DescribeEsds),
    Leaf(0, F("dOps"), DescribeDops),
    Leaf(0, F("dfLa"), DescribeDfla),
    Leaf(0, F("dac3"), DescribeDac3),
    Leaf(0, F("dec3"), DescribeDec3),
    Leaf(0, F("dac4"), DescribeDac4),
    // The configuration inside the alac sample entry shares its type.
    Leaf(F("alac"), F("alac"), DescribeAlac),
    Leaf(F("wave"), F("alac"), DescribeAlac),
    Leaf(0, F("damr"), DescribeDamr),
    Leaf(0, F("devc"), DescribeSpeechConfig),
    Leaf(0, F("dqcp"), DescribeSpeechConfig),
    Leaf(0, F("dsmv"), DescribeSpeechConfig),
    Leaf(F("wave"), F("frma"), DescribeFrma),
    Leaf(F("wave"), F("mp4a"), DescribeWaveFormat),
    Leaf(F("wave"), F("enda"), DescribeEnda),
    Leaf(F("wave"), 0, DescribeTerminator),
};

}  // namespace

std::span<const BoxRule> AudioConfigBoxRules() { return kRules; }

}  // namespace kestrova::full
