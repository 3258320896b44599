// Decoders of the movie, track, media and user-data header boxes.

#include <algorithm>

#include "common/TextBytes.h"
#include "iso/BoxParsers.h"

namespace kestrova {

ByteReader ReadBody(FileSource& file, const BoxRecord& box, std::vector<std::uint8_t>& buffer, std::uint64_t limit) {
    const std::uint64_t extent = box.Extent();
    const std::uint64_t length = extent > box.HeaderLength() ? extent - box.HeaderLength() : 0;
    file.ReadAt(box.BodyOffset(), std::min({length, kMaxBoxRead, limit}), buffer);
    return ByteReader(buffer);
}

RowBase MakeRowBase(const BoxRecord& box, const ByteReader& body) {
    RowBase base;
    base.header = {box.offset, box.size, box.type};
    base.body = {box.BodyOffset(), body.Size()};
    return base;
}

std::uint16_t PackedLanguageBits(std::uint8_t b0, std::uint8_t b1) {
    const unsigned pad = b0 >> 7;
    const unsigned first = (b0 >> 2) & 31;
    const unsigned second = ((b0 & 3) << 3) | (b1 >> 5);
    const unsigned third = b1 & 31;
    return static_cast<std::uint16_t>(pad | (first << 1) | (second << 6) | (third << 11));
}

DescriptorLength ReadDescriptorLength(const ByteReader& body, std::uint32_t pos) {
    DescriptorLength length;
    length.pos = pos;
    for (int i = 0; i < 4; ++i) {
        if (!BodyBytes{0, body.Size()}.Has(pos + i, 1)) break;
        const std::uint8_t b = body.U8(pos + i);
        length.value = (length.value << 7) | (b & 0x7F);
        ++length.bytes;
        if ((b & 0x80) == 0) break;
    }
    return length;
}

BoxText DecodeBoxText(const ByteReader& body, std::uint64_t pos, std::uint64_t end) {
    BoxText text;
    end = std::min<std::uint64_t>(end, body.Size());
    if (pos >= end) return text;
    const std::uint8_t* bytes = body.Bytes().data() + pos;
    const std::size_t n = static_cast<std::size_t>(end - pos);
    text.pos = static_cast<std::uint32_t>(pos);
    if (n >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
        const bool bigEndian = bytes[0] == 0xFE;
        std::size_t len = 2;
        while (len + 1 < n && (bytes[len] != 0 || bytes[len + 1] != 0)) len += 2;
        // The mark itself is not part of the text, but its bytes are what the line shows.
        text.text = TextFromUtf16(bytes + 2, len - 2, bigEndian);
        text.len = static_cast<std::uint32_t>(len);
        return text;
    }
    const std::size_t len = static_cast<std::size_t>(std::find(bytes, bytes + n, 0) - bytes);
    text.text = TextFromFileBytes(bytes, len);
    text.len = static_cast<std::uint32_t>(len);
    return text;
}

void DecodeFtyp(const ByteReader& body, FtypRow& row) {
    row.majorBrand = body.Fourcc(0);
    row.minorVersionHigh = body.U16BE(4);
    row.minorVersionLow = body.U16BE(6);
    // Only brands whose four bytes were read: a size pointing far past the end
    // of the file lists no phantom brands.
    const std::uint64_t count = body.Size() > 8 ? (body.Size() - 8) / 4 : 0;
    row.compatibleBrands.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) row.compatibleBrands.push_back(body.Fourcc(8 + 4 * i));
}

namespace {

// The times, time scale and duration that mvhd and mdhd share, 64-bit in
// version 1; returns where the fields after them begin.
template <typename Row>
std::uint32_t DecodeTimes(const ByteReader& body, Row& row) {
    if (row.Version() == 1) {
        row.creationTime = body.U64BE(4);
        row.modificationTime = body.U64BE(12);
        row.timescale = body.U32BE(20);
        row.duration = body.U64BE(24);
        return 32;
    }
    row.creationTime = body.U32BE(4);
    row.modificationTime = body.U32BE(8);
    row.timescale = body.U32BE(12);
    row.duration = body.U32BE(16);
    return 20;
}

}  // namespace

void DecodeMvhd(const ByteReader& body, MvhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    const std::uint32_t p = DecodeTimes(body, row);
    row.rate = body.U32BE(p);
    row.volume = body.U16BE(p + 4);
    for (std::uint32_t i = 0; i < row.reserved.size(); ++i) row.reserved[i] = body.U8(p + 6 + i);
    for (std::uint32_t i = 0; i < row.matrix.size(); ++i) row.matrix[i] = body.U32BE(p + 16 + 4 * i);
    for (std::uint32_t i = 0; i < row.preDefined.size(); ++i) row.preDefined[i] = body.U32BE(p + 52 + 4 * i);
    row.nextTrackId = body.U32BE(p + 76);
}

void DecodeIods(const ByteReader& body, IodsRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.descriptorTag = body.U8(4);
    if (row.descriptorTag != 0x10) return;
    row.initialDescriptor = true;
    row.descriptorLength = ReadDescriptorLength(body, 5);
    std::uint32_t p = 5 + std::max<std::uint32_t>(row.descriptorLength.bytes, 1);
    row.fieldsPos = p;
    row.objectDescriptorWord = body.U16BE(p);
    row.odProfileLevel = body.U8(p + 2);
    row.sceneProfileLevel = body.U8(p + 3);
    row.audioProfileLevel = body.U8(p + 4);
    row.visualProfileLevel = body.U8(p + 5);
    row.graphicsProfileLevel = body.U8(p + 6);
    p += 7;
    // Any byte that is not an ES_ID_Inc tag is stepped over alone.
    while (p < body.Size()) {
        const std::uint8_t tag = body.U8(p);
        if (tag != 0x0E) {
            ++p;
            continue;
        }
        EsIdIncEntry entry;
        entry.tag = tag;
        entry.tagPos = p;
        entry.length = ReadDescriptorLength(body, p + 1);
        entry.trackIdPos = p + 1 + entry.length.bytes;
        // An entry cut by the end of the box or the file is not listed.
        if (entry.length.bytes == 0 || !BodyBytes{0, body.Size()}.Has(entry.trackIdPos, 4)) break;
        entry.trackId = body.U32BE(entry.trackIdPos);
        row.esIdInc.push_back(entry);
        p = entry.trackIdPos + 4;
    }
}

void DecodeTkhd(const ByteReader& body, TkhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    std::uint32_t p = 0;  // where the fields after the duration begin
    if (row.Version() == 1) {
        row.creationTime = body.U64BE(4);
        row.modificationTime = body.U64BE(12);
        row.trackId = body.U32BE(20);
        row.reserved1 = body.U32BE(24);
        row.duration = body.U64BE(28);
        p = 36;
    } else {
        row.creationTime = body.U32BE(4);
        row.modificationTime = body.U32BE(8);
        row.trackId = body.U32BE(12);
        row.reserved1 = body.U32BE(16);
        row.duration = body.U32BE(20);
        p = 24;
    }
    row.reserved2 = body.U32BE(p);
    row.reserved3 = body.U32BE(p + 4);
    row.layer = body.U16BE(p + 8);
    row.alternateGroup = body.U16BE(p + 10);
    row.volume = body.U16BE(p + 12);
    row.reserved4 = body.U16BE(p + 14);
    for (std::uint32_t i = 0; i < row.matrix.size(); ++i) row.matrix[i] = body.U32BE(p + 16 + 4 * i);
    row.width = body.U32BE(p + 52);
    row.height = body.U32BE(p + 56);
}

void DecodeMpod(const ByteReader& body, MpodRow& row) {
    const std::uint64_t count = body.Size() / 4;
    row.trackIds.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) row.trackIds.push_back(body.U32BE(4 * i));
}

void DecodeMdhd(const ByteReader& body, MdhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    const std::uint32_t p = DecodeTimes(body, row);
    row.language = PackedLanguageBits(body.U8(p), body.U8(p + 1));
    row.preDefined = body.U16BE(p + 2);
}

void DecodeHdlr(const ByteReader& body, HdlrRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    // There is no version-1 layout: such a box keeps its version and flags alone.
    if ((row.versionFlags & 0xFF) == 1) return;
    row.decoded = true;
    row.preDefined = body.U32BE(4);
    row.handlerType = body.Fourcc(8);
    for (std::uint32_t i = 0; i < row.reserved.size(); ++i) row.reserved[i] = body.U32BE(12 + 4 * i);
    row.name = DecodeBoxText(body, 24, body.Size());
}

void DecodeVmhd(const ByteReader& body, VmhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.graphicsMode = body.U16BE(4);
    for (std::uint32_t i = 0; i < row.opcolor.size(); ++i) row.opcolor[i] = body.U16BE(6 + 2 * i);
}

void DecodeSmhd(const ByteReader& body, SmhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.balance = body.U16BE(4);
    row.reserved = body.U16BE(6);
}

void DecodeHmhd(const ByteReader& body, HmhdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.maxPduSize = body.U16BE(4);
    row.avgPduSize = body.U16BE(6);
    row.maxBitrate = body.U32BE(8);
    row.avgBitrate = body.U32BE(12);
    row.slidingAvgBitrate = body.U32BE(16);
}

void DecodeDref(const ByteReader& body, DrefRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
}

void DecodeUrl(const ByteReader& body, UrlRow& row) { row.versionFlags = ReadVersionFlags(body); }

void DecodeMetaText(const ByteReader& body, MetaTextRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    if ((row.versionFlags >> 8) == 1) return;
    row.hasLanguage = true;
    row.language = PackedLanguageBits(body.U8(4), body.U8(5));
    row.text = DecodeBoxText(body, 6, body.Size());
}

}  // namespace kestrova
