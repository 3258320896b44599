#include "avi/AviSamples.h"

#include <algorithm>
#include <functional>

#include "common/ByteReader.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kIdx1 = Fourcc("idx1"), kList = Fourcc("LIST"), kRiff = Fourcc("RIFF"),
                        kMovi = Fourcc("movi"), kAvix = Fourcc("AVIX");
constexpr std::uint32_t kKeyFrameFlag = 0x10;
constexpr std::uint64_t kBlockBytes = 1 << 20;  // whole entries

std::string N(std::uint64_t v) { return GroupedText(v, RegionalSettings{}); }

bool IsDigit(std::uint32_t b) { return b >= '0' && b <= '9'; }

// One index entry of a stream, with where its chunk's data was found.
struct Entry {
    std::uint32_t stream = 0;
    std::uint64_t ordinal = 0;  // 0-based among the entries of its stream
    std::uint32_t flags = 0;
    std::uint32_t length = 0;
    std::uint64_t dataOffset = 0;  // the first byte after the chunk header
    bool inMovi = false;           // the chunk lies wholly inside its movi list and the file
    std::uint64_t entryOffset = 0;
};

struct ScanTotals {
    std::uint64_t strayStreams = 0;  // entries of streams without a header
    bool noMovi = false;
};

// Walks every entry of every idx1 chunk in file order; stops when visit returns false.
ScanTotals ScanIndexes(FileSource& file, const AviParse& parse, const std::function<bool(const Entry&)>& visit) {
    ScanTotals totals;
    const std::uint64_t fileSize = file.Size();
    std::vector<std::uint64_t> ordinals(parse.streams.size(), 0);
    const ChunkRecord* movi = nullptr;
    std::uint64_t scannedTo = 0;
    std::vector<std::uint8_t> buffer;
    for (const ChunkRecord& rec : parse.records) {
        if (rec.id == kList && rec.listType == kMovi) movi = &rec;
        if (rec.id != kIdx1 || rec.listType != 0) continue;
        if (!movi) {
            totals.noMovi = true;
            continue;
        }
        // Offsets count from the "movi" type of the list, or, in some files, from the file's start.
        const std::uint64_t moviBase = movi->offset + 8;
        const std::uint64_t moviEnd = moviBase + movi->size;
        const std::uint64_t first = rec.offset + 8;
        std::uint64_t end = first + std::uint64_t{rec.size} / 16 * 16;
        if (end > fileSize) end = first + (fileSize > first ? (fileSize - first) / 16 * 16 : 0);
        std::uint64_t pos = std::max(first, scannedTo > first ? first + (scannedTo - first + 15) / 16 * 16 : first);
        if (pos >= end) continue;
        scannedTo = end;
        std::optional<std::uint64_t> base;
        while (pos < end) {
            file.ReadAt(pos, std::min(end - pos, kBlockBytes), buffer);
            if (buffer.size() < 16) break;
            const ByteReader r(buffer);
            const std::uint64_t entries = buffer.size() / 16;
            for (std::uint64_t k = 0; k < entries; ++k) {
                const std::uint64_t p = k * 16;
                const std::uint32_t ckid = r.Fourcc(p);
                if (!IsDigit(ckid >> 24) || !IsDigit((ckid >> 16) & 0xFF)) continue;
                if ((ckid & 0xFFFF) == ('p' << 8 | 'c')) continue;  // palette changes are no samples
                const std::uint32_t stream = ((ckid >> 24) - '0') * 10 + (((ckid >> 16) & 0xFF) - '0');
                if (stream >= ordinals.size()) {
                    ++totals.strayStreams;
                    continue;
                }
                Entry e;
                e.stream = stream;
                e.ordinal = ordinals[stream]++;
                e.flags = r.U32LE(p + 4);
                const std::uint32_t chunkOffset = r.U32LE(p + 8);
                e.length = r.U32LE(p + 12);
                e.entryOffset = pos + p;
                if (!base) {
                    // The first entry decides: its chunk header must carry its id.
                    std::uint8_t id[4];
                    file.ReadSmall(moviBase + chunkOffset, id, 4);
                    const bool relative = ByteReader({id, 4}).Fourcc(0) == ckid;
                    file.ReadSmall(chunkOffset, id, 4);
                    const bool absolute = ByteReader({id, 4}).Fourcc(0) == ckid;
                    base = (!relative && absolute) ? 0 : moviBase;
                }
                const std::uint64_t header = *base + chunkOffset;
                e.dataOffset = header + 8;
                // A chunk cut short by the end of the file is still placed; one that begins past it is not.
                e.inMovi = header >= moviBase + 4 && e.dataOffset <= moviEnd && e.length <= moviEnd - e.dataOffset &&
                           (e.dataOffset < fileSize || (e.dataOffset == fileSize && e.length == 0));
                if (!visit(e)) return totals;
            }
            pos += entries * 16;
        }
    }
    return totals;
}

}  // namespace

SampleList BuildAviSampleList(FileSource& file, const AviParse& parse) {
    SampleList list;
    std::int64_t indexNode = -1;
    bool continued = false;
    for (const ChunkRecord& rec : parse.records) {
        if (indexNode < 0 && rec.id == kIdx1 && rec.listType == 0) indexNode = std::int64_t{rec.index} + 1;
        if (rec.id == kRiff && rec.listType == kAvix) continued = true;
    }
    for (std::size_t n = 0; n < parse.streams.size(); ++n) {
        const AviStreamRecord& s = parse.streams[n];
        SampleTrack& t = list.tracks.emplace_back();
        t.id = static_cast<std::uint32_t>(n);
        t.kind = s.fccType;
        t.codec = s.fccHandler;
        t.timescale = s.dwRate;
        t.tableNode = indexNode;
        if (s.dwRate == 0) t.notes.push_back("its dwRate is 0: the samples have no time");
        else if (s.dwScale == 0) t.notes.push_back("its dwScale is 0: every sample has the time 0");
    }
    if (indexNode < 0) {
        list.notes.push_back("the file has no idx1 index: no sample can be placed");
        return list;
    }

    std::vector<std::uint64_t> outside(list.tracks.size(), 0);
    std::uint64_t budget = kMaxListedSamples;
    bool cut = false;
    const ScanTotals totals = ScanIndexes(file, parse, [&](const Entry& e) {
        if (!e.inMovi) {
            ++outside[e.stream];
            return true;
        }
        if (budget == 0) {
            cut = true;
            return false;
        }
        --budget;
        SampleTrack& t = list.tracks[e.stream];
        const std::uint32_t scale = parse.streams[e.stream].dwScale;
        Sample s;
        s.offset = e.dataOffset;
        s.dts = e.ordinal * scale;
        s.size = e.length;
        s.duration = scale;
        s.number = static_cast<std::uint32_t>(e.ordinal + 1);
        s.key = (e.flags & kKeyFrameFlag) != 0;
        t.samples.push_back(s);
        return true;
    });
    for (std::size_t n = 0; n < list.tracks.size(); ++n) {
        list.tracks[n].samples.shrink_to_fit();
        if (outside[n])
            list.tracks[n].notes.push_back(N(outside[n]) + " idx1 entr" + (outside[n] == 1 ? "y points" : "ies point") +
                                           " outside the movi list or the file and " +
                                           (outside[n] == 1 ? "is" : "are") + " left out");
    }
    if (totals.noMovi) list.notes.push_back("an idx1 index comes before any movi list: its entries are left out");
    if (totals.strayStreams)
        list.notes.push_back(N(totals.strayStreams) + " idx1 entries name streams that have no stream header");
    if (cut) list.notes.push_back("only the first " + N(kMaxListedSamples) + " samples are listed");
    if (continued)
        list.notes.push_back("the file goes on in AVIX parts, which idx1 does not index: their samples are not shown");
    return list;
}

std::optional<std::uint64_t> FindAviIndexEntry(FileSource& file, const AviParse& parse, std::uint32_t stream,
                                               std::uint32_t number) {
    std::optional<std::uint64_t> found;
    if (number == 0) return found;
    ScanIndexes(file, parse, [&](const Entry& e) {
        if (e.stream == stream && e.ordinal + 1 == number) {
            found = e.entryOffset;
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace kestrova
