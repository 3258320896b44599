// Descriptions of the sample entries, their AMR and EVRC configurations and
// the ES descriptor.

#include "iso/DescribeBoxes.h"
#include "iso/DescribeLines.h"

namespace kestrova {
namespace {

void ReservedBytes(LineWriter& w, const char* label, const std::uint8_t* bytes, std::size_t n, std::uint64_t pos) {
    for (std::size_t i = 0; i < n; ++i) w.Dec8(label + IndexText(static_cast<std::int64_t>(i)), bytes[i], pos + i);
}

// A descriptor byte's line: its bytes only where it was met.
ByteRange TagRange(const LineWriter& w, const DescriptorByte& b) { return b.present ? w.Field(b.pos, 1) : ByteRange{}; }

}  // namespace

std::string ObjectTypeName(std::uint32_t oti) {
    switch (oti) {
    case 0x01: return "system v1";
    case 0x02: return "system v2";
    case 0x20: return "MPEG-4 video";
    case 0x21: return "MPEG-4 AVC SPS";
    case 0x22: return "MPEG-4 AVC PPS";
    case 0x40: return "MPEG-4 audio";
    case 0x60: return "MPEG-2 simple video";
    case 0x61: return "MPEG-2 main video";
    case 0x62: return "MPEG-2 SNR video";
    case 0x63: return "MPEG-2 spatial video";
    case 0x64: return "MPEG-2 high video";
    case 0x65: return "MPEG-2 4:2:2 video";
    case 0x66: return "MPEG-4 ADTS main";
    case 0x67: return "MPEG-4 ADTS Low Complexity";
    case 0x68: return "MPEG-4 ADTS Scalable Sampling Rate";
    case 0x69: return "MPEG-2 ADTS";
    case 0x6A: return "MPEG-1 video";
    case 0x6B: return "MPEG-1 ADTS";
    case 0x6C: return "JPEG video";
    case 0xC0: return "private audio";
    case 0xD0: return "private video";
    case 0xE0: return "16-bit PCM LE audio";
    case 0xE1: return "vorbis audio";
    case 0xE2: return "dolby v3 (AC3) audio";
    case 0xE3: return "alaw audio";
    case 0xE4: return "mulaw audio";
    case 0xE5: return "G723 ADPCM audio";
    case 0xE6: return "16-bit PCM Big Endian audio";
    case 0xF0: return "Y'CbCr 4:2:0 (YV12) video";
    case 0xF1: return "H264 video";
    case 0xF2: return "H263 video";
    case 0xF3: return "H261 video";
    default: return "UnKnown Format";
    }
}

void DescribeVisualEntry(DocumentView& view, const VisualEntryRow& row) {
    LineWriter w(view, row.body);
    ReservedBytes(w, "   Reserved ", row.reservedBytes.data(), row.reservedBytes.size(), 0);
    w.Dec16("data-reference-index: ", row.dataReferenceIndex, 6);
    ReservedBytes(w, "   Reserved ", row.preDefinedBytes.data(), row.preDefinedBytes.size(), 8);
    w.Dec16("Width        : ", row.width, 24);
    w.Dec16("Height       : ", row.height, 26);
    w.Dec32("Horiz-resol. : ", row.horizResolution, 28);
    w.Dec32("Verti-resol. : ", row.vertResolution, 32);
    w.Dec32("Reserved     : ", row.reserved, 36);
    w.Dec16("Pre-defined1 : ", row.frameCount, 40);
    ReservedBytes(w, "   Compressor Name ", row.compressorName.data(), row.compressorName.size(), 42);
    w.Dec16("Depth        : ", row.depth, 74);
    w.Dec16("Pre-defined2 : ", row.preDefined, 76);
}

void DescribeMp4a(DocumentView& view, const AudioEntryRow& row) {
    LineWriter w(view, row.body);
    ReservedBytes(w, "   Reserved ", row.reservedBytes.data(), row.reservedBytes.size(), 0);
    w.Dec16("data-reference-index: ", row.dataReferenceIndex, 6);
    w.Dec32("Reserved     : ", row.reserved1, 8);
    w.Dec32("Reserved     : ", row.reserved2, 12);
    w.Dec16("Channel count: ", row.channelCount, 16);
    w.Dec16("Sample Size  : ", row.sampleSize, 18);
    w.Dec16("Pre-defined  : ", row.preDefined16, 20);
    w.Dec16("Reserved     : ", row.reserved16, 22);
    w.Dec16("Time Scale   : ", row.sampleRateHigh, 24);
    w.Dec16("Reserved     : ", row.sampleRateLow, 26);
}

void DescribeSamrOrSevc(DocumentView& view, const AudioEntryRow& row) {
    LineWriter w(view, row.body);
    ReservedBytes(w, "   Reserved ", row.reservedBytes.data(), row.reservedBytes.size(), 0);
    w.Dec16("data-reference-index: ", row.dataReferenceIndex, 6);
    w.Dec32("   Reserved    : ", row.reserved1, 8);
    w.Dec32("   Reserved    : ", row.reserved2, 12);
    w.Dec16("   Reserved    : ", row.channelCount, 16);
    w.Dec16("   Reserved    : ", row.sampleSize, 18);
    w.Dec32("   Reserved    : ", row.preDefined32, 20);
    w.Dec16("Timescale      : ", row.sampleRateHigh, 24);
    w.Dec16("   Reserved    : ", row.sampleRateLow, 26);
}

void DescribeDamr(DocumentView& view, const DecoderConfigFields& c) {
    LineWriter w(view, c.body);
    w.Line("Vendor : " + FourccHexText(c.vendor), c.base, 4);
    w.Dec8("Decoder version   : ", c.decoderVersion, c.base + 4);
    w.Dec16("Mode Set          : ", c.modeSet, c.base + 5);
    w.Dec8("Mode Cange Period : ", c.modeChangePeriod, c.base + 7);
    w.Dec8("Frames per sample : ", c.framesPerSample, c.base + 8);
}

void DescribeDevc(DocumentView& view, const DecoderConfigFields& c) {
    LineWriter w(view, c.body);
    w.Line("Vendor         : " + FourccHexText(c.vendor), c.base, 4);
    w.Dec8("Decoder Version: ", c.decoderVersion, c.base + 4);
    w.Dec8("Frame / Sample : ", c.framesPerSample, c.base + 5);
}

void DescribeMp4s(DocumentView& view, const Mp4sRow& row) {
    LineWriter w(view, row.body);
    ReservedBytes(w, "   Reserved", row.reservedBytes.data(), row.reservedBytes.size(), 0);
    w.Dec16("data-reference-index: ", row.dataReferenceIndex, 6);
}

void DescribeEsds(DocumentView& view, const EsdsRow& row) {
    LineWriter w(view, row.body);
    w.Dec8("version       : ", row.versionFlags & 0xFF, 0);
    w.Dec24("flags         : ", row.versionFlags >> 8, 1);
    w.Plain("------ ES Descriptor -------------------");
    w.Dec8("   Tag        : ", row.esTag.value, TagRange(w, row.esTag));
    w.Dec8("   Tag Size   : ", row.esLength.value, LengthRange(w, row.esLength));
    const auto es = [&](std::uint64_t pos, std::uint64_t len) { return row.hasEsHeader ? w.Field(pos, len) : ByteRange{}; };
    w.Dec16("   ES_ID      : ", row.esId, es(row.esIdPos, 2));
    const ByteRange flags = es(row.esFlagsPos, 1);
    w.Dec8("   StreamDependFlag: ", row.esFlags & 1, flags);
    w.Dec8("   URL Flag   : ", (row.esFlags >> 1) & 1, flags);
    w.Dec8("   Reserved   : ", (row.esFlags >> 2) & 1, flags);
    w.Dec8("   StreamPriority  : ", row.esFlags >> 3, flags);

    w.Plain("-------- Decoder Config Descriptor -----");
    w.Dec8("      Tag         : ", row.dcdTag.value, TagRange(w, row.dcdTag));
    w.Dec8("      Tag Size    : ", row.dcdLength.value, LengthRange(w, row.dcdLength));
    const std::uint64_t q = row.decoderConfigPos;
    const auto dcd = [&](std::uint64_t pos, std::uint64_t len) { return row.hasDecoderConfig ? w.Field(pos, len) : ByteRange{}; };
    w.Line("      objectTypeIndication : " + ObjectTypeName(row.objectTypeIndication), dcd(q, 1));
    w.Dec8("      Stream Type : ", row.streamTypeWord & 63, dcd(q + 1, 1));
    w.Dec8("      UpStream    : ", (row.streamTypeWord >> 6) & 1, dcd(q + 1, 1));
    w.Dec8("      Reserved    : ", (row.streamTypeWord >> 7) & 1, dcd(q + 1, 1));
    w.Line("      Buffer Size : " + DecHex24Text(row.streamTypeWord >> 8, w.Settings()), dcd(q + 2, 3));
    w.Dec32("      Max BitRate : ", row.maxBitrate, dcd(q + 5, 4));
    w.Dec32("      Avg. BitRate: ", row.avgBitrate, dcd(q + 9, 4));

    if (row.dsiTag.value != 0) {
        w.Plain("----------- Dec-Specific Info Descriptor");
        w.Dec8("         Tag          : ", row.dsiTag.value, TagRange(w, row.dsiTag));
        w.Dec8("         Tag Size     : ", row.dsiLength.value, LengthRange(w, row.dsiLength));
    }
    if (row.slTag.value != 0) {
        w.Plain("----------- Sync Layer Config Descriptor");
        w.Dec8("         Tag         : ", row.slTag.value, TagRange(w, row.slTag));
        w.Dec8("         Tag Size    : ", row.slLength.value, LengthRange(w, row.slLength));
        w.Dec8("         PreDefined  : ", row.slPredefined.value, TagRange(w, row.slPredefined));
    }
}

}  // namespace kestrova
