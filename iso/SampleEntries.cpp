// Decoders of the sample entries under "stsd" and of the AMR and EVRC
// configuration boxes inside them.

#include <bit>

#include "iso/BoxParsers.h"

namespace kestrova {

void DecodeVisualEntry(const ByteReader& body, bool s263, VisualEntryRow& row) {
    for (std::uint32_t i = 0; i < row.reservedBytes.size(); ++i) row.reservedBytes[i] = body.U8(i);
    row.dataReferenceIndex = body.U16BE(6);
    for (std::uint32_t i = 0; i < row.preDefinedBytes.size(); ++i) row.preDefinedBytes[i] = body.U8(8 + i);
    row.width = body.U16BE(24);
    row.height = body.U16BE(26);
    row.horizResolution = body.U32BE(28);
    row.vertResolution = body.U32BE(32);
    row.reserved = body.U32BE(36);
    row.frameCount = body.U16BE(40);
    for (std::uint32_t i = 0; i < row.compressorName.size(); ++i) row.compressorName[i] = body.U8(42 + i);
    row.depth = body.U16BE(74);
    row.preDefined = body.U16BE(76);
    if (!s263) return;
    row.d263Size = body.U32BE(78);
    row.d263Type = body.Fourcc(82);
    row.vendor = body.Fourcc(86);
    row.decoderVersion = body.U8(90);
    row.h263Level = body.U8(91);
    row.h263Profile = body.U8(92);
}

void DecodeAudioEntry(const ByteReader& body, bool mp4a, AudioEntryRow& row) {
    for (std::uint32_t i = 0; i < row.reservedBytes.size(); ++i) row.reservedBytes[i] = body.U8(i);
    row.dataReferenceIndex = body.U16BE(6);
    row.reserved1 = body.U32BE(8);
    row.reserved2 = body.U32BE(12);
    row.channelCount = body.U16BE(16);
    row.sampleSize = body.U16BE(18);
    if (mp4a) {
        row.preDefined16 = body.U16BE(20);
        row.reserved16 = body.U16BE(22);
    } else {
        row.preDefined32 = body.U32BE(20);
    }
    row.sampleRateHigh = body.U16BE(24);
    row.sampleRateLow = body.U16BE(26);
}

void DecodeMp4s(const ByteReader& body, Mp4sRow& row) {
    for (std::uint32_t i = 0; i < row.reservedBytes.size(); ++i) row.reservedBytes[i] = body.U8(i);
    row.dataReferenceIndex = body.U16BE(6);
}

void DecodeDamrFields(const ByteReader& body, std::uint32_t base, DecoderConfigFields& config) {
    config.vendor = body.Fourcc(base);
    config.decoderVersion = body.U8(base + 4);
    config.modeSet = body.U16BE(base + 5);
    config.modeChangePeriod = body.U8(base + 7);
    config.framesPerSample = body.U8(base + 8);
}

void DecodeDevcFields(const ByteReader& body, std::uint32_t base, DecoderConfigFields& config) {
    config.vendor = body.Fourcc(base);
    config.decoderVersion = body.U8(base + 4);
    config.framesPerSample = body.U8(base + 5);
}

void DecodeSamrConfig(const ByteReader& entryBody, AudioEntryRow& row) {
    row.config.boxSize = entryBody.U32BE(28);
    row.config.boxType = entryBody.Fourcc(32);
    if (row.config.boxSize == 0) return;
    row.hasConfig = true;
    DecodeDamrFields(entryBody, 36, row.config);
}

std::uint32_t AmrModeOf(std::uint16_t modeSet) {
    if (modeSet == 0x81FF || modeSet >= 129 || modeSet == 0) return 8;
    if (modeSet == 1) return 1;
    // Every AMR track reads as AMR: an odd mode set (lowest bit 0) counts as mode 1.
    const int zeros = std::countr_zero(modeSet);
    return zeros == 0 ? 1 : static_cast<std::uint32_t>(zeros);
}

}  // namespace kestrova
