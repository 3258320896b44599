// Decoders of the sample-table boxes. Entry counts are shown as stored, but
// only the entries whose bytes were read are kept: a count never sizes memory.

#include <algorithm>

#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

// How many entries of entrySize bytes from body position first were read, at most count.
std::size_t EntriesPresent(const ByteReader& body, std::uint64_t first, std::uint64_t entrySize, std::uint64_t count) {
    const std::uint64_t available = body.Size() > first ? (body.Size() - first) / entrySize : 0;
    return static_cast<std::size_t>(std::min(available, count));
}

}  // namespace

void DecodeStsd(const ByteReader& body, StsdRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
}

void DecodeStsz(const ByteReader& body, StszRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.sampleSize = body.U32BE(4);
    row.sampleCount = body.U32BE(8);
    if (row.sampleSize != 0) {
        row.totalBytes = std::uint64_t{row.sampleSize} * row.sampleCount;
        return;
    }
    const std::size_t n = EntriesPresent(body, 12, 4, row.sampleCount);
    row.sampleSizes.resize(n);
    const std::uint8_t* p = body.Bytes().data() + 12;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const std::uint32_t v = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
        row.sampleSizes[i] = v;
        total += v;
    }
    row.totalBytes = total;
}

void DecodeStts(const ByteReader& body, SttsRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
    const std::size_t n = EntriesPresent(body, 8, 8, row.entryCount);
    row.entries.resize(n);
    for (std::size_t i = 0; i < n; ++i) row.entries[i] = {body.U32BE(8 + 8 * i), body.U32BE(12 + 8 * i)};
}

void DecodeStsc(const ByteReader& body, StscRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
    const std::size_t n = EntriesPresent(body, 8, 12, row.entryCount);
    row.entries.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        row.entries[i] = {body.U32BE(8 + 12 * i), body.U32BE(12 + 12 * i), body.U32BE(16 + 12 * i)};
}

void DecodeStco(const ByteReader& body, StcoRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
    const std::size_t n = EntriesPresent(body, 8, 4, row.entryCount);
    row.chunkOffsets.resize(n);
    for (std::size_t i = 0; i < n; ++i) row.chunkOffsets[i] = body.U32BE(8 + 4 * i);
}

void DecodeStss(const ByteReader& body, StssRow& row) {
    row.versionFlags = ReadVersionFlags(body);
    row.entryCount = body.U32BE(4);
    const std::size_t n = EntriesPresent(body, 8, 4, row.entryCount);
    row.sampleNumbers.resize(n);
    for (std::size_t i = 0; i < n; ++i) row.sampleNumbers[i] = body.U32BE(8 + 4 * i);
}

}  // namespace kestrova
