// The ES descriptor inside "esds" and the AudioSpecificConfig it may carry.
// Descriptors are read in their usual order; a tag out of place ends the
// parse, and nothing past the box is ever decoded.

#include <algorithm>

#include "common/BitReader.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kSamplingFrequencies[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                                    16000, 12000, 11025, 8000,  0,     0,     0,     0};

std::uint32_t ReadObjectType(BitReader& bits) {
    const std::uint32_t type = bits.Read(5);
    return type == 31 ? 32 + bits.Read(6) : type;
}

std::uint32_t ReadSamplingFrequency(BitReader& bits) {
    const std::uint32_t index = bits.Read(4);
    return index == 15 ? bits.Read(24) : kSamplingFrequencies[index];
}

void SkipProgramConfigElement(BitReader& bits) {
    bits.Read(4);  // element instance tag
    bits.Read(2);  // object type
    bits.Read(4);  // sampling frequency index
    const std::uint32_t front = bits.Read(4);
    const std::uint32_t side = bits.Read(4);
    const std::uint32_t back = bits.Read(4);
    const std::uint32_t lfe = bits.Read(2);
    const std::uint32_t assoc = bits.Read(3);
    const std::uint32_t cc = bits.Read(4);
    if (bits.Read(1)) bits.Read(4);  // mono mixdown
    if (bits.Read(1)) bits.Read(4);  // stereo mixdown
    if (bits.Read(1)) bits.Read(3);  // matrix mixdown
    for (std::uint32_t i = 0; i < front + side + back; ++i) bits.Read(5);
    for (std::uint32_t i = 0; i < lfe + assoc; ++i) bits.Read(4);
    for (std::uint32_t i = 0; i < cc; ++i) bits.Read(5);
    // Byte alignment counts from the start of the decoder-specific bytes.
    const unsigned misalign = static_cast<unsigned>(bits.Consumed() % 8);
    if (misalign != 0) bits.Read(8 - misalign);
    const std::uint32_t comment = bits.Read(8);
    for (std::uint32_t i = 0; i < comment; ++i) bits.Read(8);
}

void SkipGaSpecificConfig(BitReader& bits, std::uint32_t channelConfiguration, std::uint32_t objectType) {
    bits.Read(1);                    // frame length
    if (bits.Read(1)) bits.Read(14);  // core coder delay
    const bool extension = bits.Read(1) != 0;
    if (channelConfiguration == 0) SkipProgramConfigElement(bits);
    if (objectType == 6 || objectType == 20) bits.Read(3);  // layer number
    if (extension) {
        if (objectType == 22) bits.Read(16);
        if (objectType == 17 || objectType == 19 || objectType == 20 || objectType == 23) bits.Read(3);
        bits.Read(1);
    }
}

void SkipSscSpecificConfig(BitReader& bits, std::uint32_t channelConfiguration) {
    bits.Read(2);
    bits.Read(4);
    bits.Read(2);
    if (channelConfiguration != 1) {
        const std::uint32_t mode = bits.Read(2);
        if (channelConfiguration == 2 && mode == 1) bits.Read(2);
    }
}

std::uint32_t BoundedEnd(const ByteReader& body, std::uint64_t pos, std::uint64_t length) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(pos + length, body.Size()));
}

DescriptorByte TagAt(const ByteReader& body, std::uint32_t pos) {
    DescriptorByte tag;
    tag.pos = pos;
    tag.present = pos < body.Size();
    tag.value = body.U8(pos);
    return tag;
}

}  // namespace

AudioConfig DecodeAudioSpecificConfig(std::span<const std::uint8_t> block) {
    BitReader bits(block);
    AudioConfig config;
    config.decoded = true;
    std::uint32_t objectType = ReadObjectType(bits);
    config.sampleRate = ReadSamplingFrequency(bits);
    config.channelConfiguration = bits.Read(4);
    config.channelCount = config.channelConfiguration;
    bool explicitSbr = false;
    if (objectType == 5 || objectType == 29) {
        explicitSbr = true;
        config.sbr = 1;
        // Parametric stereo makes a stereo signal of a mono core.
        if (objectType == 29 && config.channelConfiguration == 1) config.channelCount = 2;
        ReadSamplingFrequency(bits);  // the extension rate
        objectType = ReadObjectType(bits);
    }
    switch (objectType) {
    case 1: case 2: case 3: case 4: case 6: case 7:
        SkipGaSpecificConfig(bits, config.channelConfiguration, objectType);
        break;
    case 28:
        SkipSscSpecificConfig(bits, config.channelConfiguration);
        break;
    default:
        break;
    }
    // Backward-compatible signalling: a sync extension after the core configuration.
    if (!explicitSbr && bits.Remaining() >= 16 && bits.Read(11) == 0x2B7) {
        if (ReadObjectType(bits) == 5) {
            config.sbr = static_cast<std::int32_t>(bits.Read(1));
            if (config.sbr == 1) ReadSamplingFrequency(bits);
        }
    }
    config.objectType = objectType;
    return config;
}

void DecodeEsds(const ByteReader& body, bool audioForm, EsdsRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.esTag = TagAt(body, 4);
    if (row.esTag.value != 3) return;
    row.hasEsHeader = true;
    row.esLength = ReadDescriptorLength(body, 5);
    std::uint32_t p = 5 + row.esLength.bytes;
    row.esIdPos = p;
    row.esId = body.U16BE(p);
    row.esFlagsPos = p + 2;
    const std::uint8_t flags = body.U8(p + 2);
    row.esFlags = static_cast<std::uint8_t>((flags >> 7) | (((flags >> 6) & 1) << 1) | (((flags >> 5) & 1) << 2) |
                                            ((flags & 31) << 3));
    p += 3;
    if (row.esFlags & 1) {
        row.dependsOnEsId = body.U16BE(p);
        p += 2;
    }
    if (row.esFlags & 2) {
        row.urlLength = body.U8(p);
        p = BoundedEnd(body, p + 1, row.urlLength);
    }
    if (row.esFlags & 4) p += 2;  // OCR ES ID

    DescriptorByte tag = TagAt(body, p);
    if (tag.value != 4 && audioForm) return;
    if (tag.value == 4) {
        row.dcdTag = tag;
        row.dcdLength = ReadDescriptorLength(body, p + 1);
        const std::uint32_t q = p + 1 + row.dcdLength.bytes;
        row.hasDecoderConfig = true;
        row.decoderConfigPos = q;
        row.objectTypeIndication = body.U8(q);
        const std::uint8_t s = body.U8(q + 1);
        row.streamTypeWord = (s >> 2) | (((s >> 1) & 1u) << 6) | ((s & 1u) << 7) | (body.U24BE(q + 2) << 8);
        row.maxBitrate = body.U32BE(q + 5);
        row.avgBitrate = body.U32BE(q + 9);
        p = q + 13;
        tag = TagAt(body, p);
        if (tag.value != 5 && audioForm) return;
        if (tag.value == 5) {
            row.dsiTag = tag;
            row.dsiLength = ReadDescriptorLength(body, p + 1);
            row.dsiPos = p + 1 + row.dsiLength.bytes;
            const std::uint32_t end = BoundedEnd(body, row.dsiPos, row.dsiLength.value);
            row.dsiBytes = end > row.dsiPos ? end - row.dsiPos : 0;
            const std::uint8_t oti = row.objectTypeIndication;
            if (audioForm && (oti == 0x40 || oti == 0x66 || oti == 0x67 || oti == 0x68))
                row.audio = DecodeAudioSpecificConfig(body.Bytes().subspan(std::min<std::size_t>(row.dsiPos, body.Size()), row.dsiBytes));
            p = BoundedEnd(body, row.dsiPos, row.dsiLength.value);
            tag = TagAt(body, p);
        }
    }
    if (tag.value == 6) {
        row.slTag = tag;
        row.slLength = ReadDescriptorLength(body, p + 1);
        row.slPredefined = TagAt(body, p + 1 + row.slLength.bytes);
    }
}

}  // namespace kestrova
