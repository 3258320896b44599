#include "avi/AviIndexes.h"

#include <algorithm>

#include "common/ByteReader.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kRiff = Fourcc("RIFF"), kList = Fourcc("LIST"), kHdrl = Fourcc("hdrl"),
                        kStrl = Fourcc("strl"), kStrh = Fourcc("strh"), kIndx = Fourcc("indx"),
                        kMovi = Fourcc("movi"), kIdx1 = Fourcc("idx1"), kRec = Fourcc("rec ");
constexpr std::uint64_t kBlockBytes = 1 << 20;
constexpr std::uint32_t kIdx1KeyFrame = 0x10;
// Streams are numbered by two digits.
constexpr std::size_t kMaxStreams = 100;

std::string N(std::uint64_t v) { return GroupedText(v, RegionalSettings{}); }

bool IsDigit(std::uint32_t b) { return b >= '0' && b <= '9'; }

// The stream of a data chunk id ("01wb") or an index id ("ix01"); -1 for none.
int StreamOfData(std::uint32_t id) {
    if (!IsDigit(id >> 24) || !IsDigit((id >> 16) & 0xFF)) return -1;
    return static_cast<int>(((id >> 24) - '0') * 10 + (((id >> 16) & 0xFF) - '0'));
}
int StreamOfIndex(std::uint32_t id) {
    if ((id >> 16) != ('i' << 8 | 'x') || !IsDigit((id >> 8) & 0xFF) || !IsDigit(id & 0xFF)) return -1;
    return static_cast<int>((((id >> 8) & 0xFF) - '0') * 10 + ((id & 0xFF) - '0'));
}

std::uint64_t U64LE(const ByteReader& r, std::uint64_t pos) {
    return r.U32LE(pos) | std::uint64_t{r.U32LE(pos + 4)} << 32;
}

struct Header {
    std::uint32_t id = 0, size = 0, type = 0;
};

Header ReadHeader(FileSource& file, std::uint64_t at) {
    std::uint8_t b[12];
    file.ReadSmall(at, b, sizeof b);
    const ByteReader r({b, sizeof b});
    return {r.Fourcc(0), r.U32LE(4), r.Fourcc(8)};
}

// Calls each(at, header) for the chunks in [first, end); stops when one does not fit.
template <typename Each>
void ForEachChunk(FileSource& file, std::uint64_t first, std::uint64_t end, Each each) {
    end = std::min(end, file.Size());
    for (std::uint64_t at = first; at < end && end - at >= 8;) {
        const Header h = ReadHeader(file, at);
        if (!IsChunkId(h.id)) return;
        each(at, h);
        at = NextChunkOffset(file, at, h.size);
    }
}

class SampleWalk {
public:
    SampleWalk(FileSource& file, const AviLayout& layout, const std::function<bool(const AviSampleVisit&)>& visit,
               SampleList* notes)
        : file_(file), layout_(layout), visit_(visit), notes_(notes), fileSize_(file.Size()),
          ordinals_(layout.streams.size(), 0), outside_(layout.streams.size(), 0),
          indexed_(layout.streams.size(), false) {}

    void Run() {
        for (std::size_t s = 0; s < layout_.streams.size() && !stopped_; ++s)
            if (layout_.streams[s].indxOffset != 0) ReadSuperIndex(static_cast<std::uint32_t>(s));
        ReadIdx1();
        const bool anyIndexed = lastIndexed_.has_value();
        const std::uint64_t scannedBefore = scanned_;
        ScanTail();
        if (!notes_) return;
        for (std::size_t n = 0; n < outside_.size() && n < notes_->tracks.size(); ++n)
            if (outside_[n])
                notes_->tracks[n].notes.push_back(
                    N(outside_[n]) + (indexed_[n] ? " index entr" : " idx1 entr") +
                    (outside_[n] == 1 ? "y points" : "ies point") + " outside the movi list or the file and " +
                    (outside_[n] == 1 ? "is" : "are") + " left out");
        auto& fileNotes = notes_->notes;
        if (noMovi_) fileNotes.push_back("an idx1 index comes before any movi list: its entries are left out");
        if (strayStreams_) fileNotes.push_back(N(strayStreams_) + " idx1 entries name streams that have no stream header");
        if (!anyIndexed && scanned_ > 0) fileNotes.push_back("no index: samples found by scanning movi");
        if (anyIndexed && scanned_ > scannedBefore)
            fileNotes.push_back(N(scanned_) + " samples of the RIFF parts after the last indexed one found by scanning movi");
        if (scanned_ > 0) fileNotes.push_back("the scan has no key-frame information: scanned samples are not marked as key");
        if (!anyIndexed && scanned_ == 0) fileNotes.push_back("the file has no index and its movi holds no sample");
        if (scanStop_) fileNotes.push_back(*scanStop_);
        for (std::string& n : badSuper_) fileNotes.push_back(std::move(n));
        if (overlapping_) fileNotes.push_back("index chunks overlap: the indexes were read up to the file's size");
    }

private:
    bool Emit(AviSampleVisit v) {
        if (stopped_) return false;
        v.ordinal = ordinals_[v.stream]++;
        if (!visit_(v)) stopped_ = true;
        return !stopped_;
    }

    // The chunk lies in a movi list and starts in the file (a chunk cut by the end of the file is still placed).
    bool InMovi(std::uint64_t dataOffset, std::uint32_t length) const {
        if (dataOffset < 8 || dataOffset > fileSize_ || (dataOffset == fileSize_ && length != 0)) return false;
        for (const AviPartLayout& p : layout_.parts)
            if (p.moviOffset != 0 && dataOffset - 8 >= p.moviOffset + 12 && dataOffset <= p.moviEnd &&
                length <= p.moviEnd - dataOffset)
                return true;
        return false;
    }

    void NoteIndexed(std::uint64_t dataOffset, std::uint32_t length) {
        const std::uint64_t header = dataOffset - 8;
        if (!lastIndexed_ || header > lastIndexed_->first) lastIndexed_ = std::make_pair(header, length);
    }

    // Entries are read in blocks; the bytes of all index chunks together stay within the file's size.
    bool Budget(std::uint64_t bytes) {
        if (indexBytes_ + bytes > fileSize_ + kBlockBytes) {
            overlapping_ = true;
            return false;
        }
        indexBytes_ += bytes;
        return true;
    }

    void ReadSuperIndex(std::uint32_t stream) {
        const AviStreamLayout& s = layout_.streams[stream];
        std::uint8_t b[32];
        file_.ReadSmall(s.indxOffset, b, sizeof b);
        const ByteReader r({b, sizeof b});
        const std::uint16_t longs = r.U16LE(8);
        const std::uint8_t type = r.U8(11);
        if (type == 1) {  // a standard index in the header
            indexed_[stream] = true;
            ReadStandardIndex(stream, s.indxOffset, -1);
            return;
        }
        if (type != 0 || longs != 4) return;
        indexed_[stream] = true;
        const std::uint64_t first = s.indxOffset + 8 + 24;
        const std::uint64_t count = std::min<std::uint64_t>(r.U32LE(12), s.indxSize >= 24 ? (s.indxSize - 24) / 16 : 0);
        std::vector<std::uint8_t> entries;
        for (std::uint64_t k = 0; k < count && !stopped_;) {
            const std::uint64_t n = std::min<std::uint64_t>(count - k, kBlockBytes / 16);
            file_.ReadAt(first + 16 * k, 16 * n, entries);
            const ByteReader e(entries);
            const std::uint64_t got = entries.size() / 16;
            for (std::uint64_t j = 0; j < got && !stopped_; ++j) {
                const std::uint64_t offset = U64LE(e, 16 * j);
                ReadStandardIndex(stream, offset, static_cast<std::int64_t>(k + j));
            }
            if (got < n) break;
            k += n;
        }
    }

    void ReadStandardIndex(std::uint32_t stream, std::uint64_t at, std::int64_t superEntry) {
        std::uint8_t b[32] = {};
        const std::size_t got = at < fileSize_ ? file_.ReadSmall(at, b, sizeof b) : 0;
        const ByteReader r({b, sizeof b});
        const std::uint32_t id = r.Fourcc(0);
        const std::uint16_t longs = r.U16LE(8);
        const bool own = superEntry < 0 || StreamOfIndex(id) == static_cast<int>(stream);
        if (got < 32 || !own || r.U8(11) != 1 || (longs != 2 && longs != 3)) {
            if (badSuper_.size() < 8)
                badSuper_.push_back("stream " + std::to_string(stream) + ": super index entry #" +
                                    std::to_string(superEntry + 1) + " points at " + Hex32Text(at) +
                                    ", which is not an ix## chunk of the stream: not followed");
            return;
        }
        const std::uint32_t size = r.U32LE(4);
        const std::uint64_t base = U64LE(r, 20);
        const std::uint64_t stride = 4u * longs;
        std::uint64_t count = std::min<std::uint64_t>(r.U32LE(12), size >= 24 ? (size - 24) / stride : 0);
        const std::uint64_t first = at + 32;
        if (first > fileSize_) return;
        count = std::min(count, (fileSize_ - first) / stride);
        std::vector<std::uint8_t> entries;
        for (std::uint64_t k = 0; k < count && !stopped_;) {
            const std::uint64_t n = std::min<std::uint64_t>(count - k, kBlockBytes / stride);
            if (!Budget(n * stride)) return;
            file_.ReadAt(first + stride * k, stride * n, entries);
            const ByteReader e(entries);
            const std::uint64_t read = entries.size() / stride;
            for (std::uint64_t j = 0; j < read; ++j) {
                const std::uint64_t p = stride * j;
                const std::uint32_t dwSize = e.U32LE(p + 4);
                AviSampleVisit v;
                v.stream = stream;
                v.dataOffset = base + e.U32LE(p);
                v.size = dwSize & 0x7FFFFFFF;
                v.key = (dwSize & 0x80000000u) == 0;
                v.origin = AviSampleOrigin::StandardIndex;
                v.entryOffset = first + stride * (k + j);
                v.more = count - (k + j) - 1;
                if (!InMovi(v.dataOffset, v.size)) {
                    ++outside_[stream];
                    ++ordinals_[stream];  // samples keep their number in the index
                    continue;
                }
                NoteIndexed(v.dataOffset, v.size);
                if (!Emit(v)) return;
            }
            if (read < n) return;
            k += n;
        }
    }

    void ReadIdx1() {
        std::uint64_t scannedTo = 0;
        std::vector<std::uint8_t> buffer;
        for (const AviIdx1Layout& idx : layout_.idx1) {
            if (stopped_) return;
            if (idx.moviOffset == 0) {
                noMovi_ = true;
                continue;
            }
            const std::uint64_t moviBase = idx.moviOffset + 8;
            const std::uint64_t first = idx.offset + 8;
            std::uint64_t end = first + std::uint64_t{idx.size} / 16 * 16;
            if (end > fileSize_) end = first + (fileSize_ > first ? (fileSize_ - first) / 16 * 16 : 0);
            std::uint64_t pos = scannedTo > first ? first + (scannedTo - first + 15) / 16 * 16 : first;
            if (pos >= end) continue;
            scannedTo = end;
            std::optional<std::uint64_t> base;
            while (pos < end && !stopped_) {
                file_.ReadAt(pos, std::min(end - pos, kBlockBytes), buffer);
                if (buffer.size() < 16) break;
                const ByteReader r(buffer);
                const std::uint64_t entries = buffer.size() / 16;
                for (std::uint64_t k = 0; k < entries; ++k) {
                    const std::uint64_t p = k * 16;
                    const std::uint32_t ckid = r.Fourcc(p);
                    const int s = StreamOfData(ckid);
                    if (s < 0 || (ckid & 0xFFFF) == ('p' << 8 | 'c')) continue;  // palette changes are no samples
                    const auto stream = static_cast<std::size_t>(s);
                    if (stream >= ordinals_.size()) {
                        ++strayStreams_;
                        continue;
                    }
                    if (indexed_[stream]) continue;
                    const std::uint32_t chunkOffset = r.U32LE(p + 8);
                    if (!base) {
                        // The first entry decides: its chunk header must carry its id.
                        const bool relative = ReadHeader(file_, moviBase + chunkOffset).id == ckid;
                        const bool absolute = ReadHeader(file_, chunkOffset).id == ckid;
                        base = (!relative && absolute) ? 0 : moviBase;
                    }
                    AviSampleVisit v;
                    v.stream = static_cast<std::uint32_t>(stream);
                    v.dataOffset = *base + chunkOffset + 8;
                    v.size = r.U32LE(p + 12);
                    v.key = (r.U32LE(p + 4) & kIdx1KeyFrame) != 0;
                    v.origin = AviSampleOrigin::Idx1;
                    v.entryOffset = pos + p;
                    const bool inMovi = *base + chunkOffset >= moviBase + 4 && v.dataOffset <= idx.moviEnd &&
                                        v.size <= idx.moviEnd - v.dataOffset &&
                                        (v.dataOffset < fileSize_ || (v.dataOffset == fileSize_ && v.size == 0));
                    if (!inMovi) {
                        ++outside_[stream];
                        ++ordinals_[stream];
                        continue;
                    }
                    NoteIndexed(v.dataOffset, v.size);
                    if (!Emit(v)) return;
                }
                pos += entries * 16;
            }
        }
    }

    // What no index covers: every movi list when there is no index, else the
    // RIFF parts after the one that holds the last indexed chunk (a part's
    // index is written when the part is finished, so a cut file's last parts have none).
    void ScanTail() {
        for (const AviPartLayout& p : layout_.parts) {
            if (stopped_) return;
            if (p.moviOffset == 0 || (lastIndexed_ && p.offset <= lastIndexed_->first)) continue;
            Scan(p.moviOffset + 12, std::min(p.moviEnd, fileSize_));
        }
    }

    void Scan(std::uint64_t pos, std::uint64_t end) {
        while (pos < end && end - pos >= 8 && !stopped_) {
            const Header h = ReadHeader(file_, pos);
            if (!IsChunkId(h.id)) {
                scanStop_ = "the scan of movi stopped at " + Hex32Text(pos) + ", where no chunk header lies";
                return;
            }
            if (h.size > fileSize_ - pos - 8) {
                scanStop_ = "the scan of movi stopped at " + Hex32Text(pos) + ": its chunk runs past the end of the file";
                return;
            }
            if (h.id == kList && h.type == kRec && h.size >= 4) {
                pos += 12;  // its chunks follow
                continue;
            }
            const int s = StreamOfData(h.id);
            const std::uint32_t kind = h.id & 0xFFFF;
            const bool data = kind == ('d' << 8 | 'c') || kind == ('d' << 8 | 'b') || kind == ('w' << 8 | 'b') ||
                              kind == ('t' << 8 | 'x');
            if (s >= 0 && data && static_cast<std::size_t>(s) < ordinals_.size()) {
                AviSampleVisit v;
                v.stream = static_cast<std::uint32_t>(s);
                v.dataOffset = pos + 8;
                v.size = h.size;
                v.origin = AviSampleOrigin::Scan;
                ++scanned_;
                if (!Emit(v)) return;
            }
            pos = NextChunkOffset(file_, pos, h.size);
        }
    }

    FileSource& file_;
    const AviLayout& layout_;
    const std::function<bool(const AviSampleVisit&)>& visit_;
    SampleList* notes_;
    std::uint64_t fileSize_;
    std::vector<std::uint64_t> ordinals_;
    std::vector<std::uint64_t> outside_;
    std::vector<bool> indexed_;
    std::optional<std::pair<std::uint64_t, std::uint32_t>> lastIndexed_;  // header offset and size
    std::uint64_t indexBytes_ = 0;
    std::uint64_t scanned_ = 0;
    std::uint64_t strayStreams_ = 0;
    bool noMovi_ = false;
    bool overlapping_ = false;
    bool stopped_ = false;
    std::optional<std::string> scanStop_;
    std::vector<std::string> badSuper_;
};

}  // namespace

bool IsChunkId(std::uint32_t id) {
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t c = (id >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::uint64_t NextChunkOffset(FileSource& file, std::uint64_t at, std::uint32_t size) {
    const std::uint64_t next = at + 8 + size;
    if ((size & 1) == 0 || next + 1 + 4 > file.Size()) return (size & 1) && next < file.Size() ? next + 1 : next;
    if (IsChunkId(ReadHeader(file, next + 1).id)) return next + 1;
    return IsChunkId(ReadHeader(file, next).id) ? next : next + 1;
}

AviLayout ReadAviLayout(FileSource& file) {
    AviLayout layout;
    const std::uint64_t fileSize = file.Size();
    ForEachChunk(file, 0, fileSize, [&](std::uint64_t partAt, const Header& riff) {
        if (riff.id != kRiff) return;
        AviPartLayout& part = layout.parts.emplace_back();
        part.offset = partAt;
        part.formType = riff.type;
        std::uint64_t lastMovi = 0, lastMoviEnd = 0;
        ForEachChunk(file, partAt + 12, partAt + 8 + std::uint64_t{riff.size}, [&](std::uint64_t at, const Header& h) {
            if (h.id == kIdx1) {
                layout.idx1.push_back({at, h.size, lastMovi, lastMoviEnd});
            } else if (h.id == kList && h.type == kMovi) {
                lastMovi = at;
                lastMoviEnd = at + 8 + std::uint64_t{h.size};
                if (part.moviOffset == 0) {
                    part.moviOffset = lastMovi;
                    part.moviEnd = lastMoviEnd;
                }
            } else if (h.id == kList && h.type == kHdrl && layout.streams.empty()) {
                ForEachChunk(file, at + 12, at + 8 + std::uint64_t{h.size}, [&](std::uint64_t listAt, const Header& l) {
                    if (l.id != kList || l.type != kStrl || layout.streams.size() >= kMaxStreams) return;
                    AviStreamLayout& s = layout.streams.emplace_back();
                    ForEachChunk(file, listAt + 12, listAt + 8 + std::uint64_t{l.size},
                                 [&](std::uint64_t c, const Header& ch) {
                                     if (ch.id == kStrh) {
                                         std::uint8_t b[32];
                                         const std::size_t got = file.ReadSmall(c + 8, b, std::min<std::size_t>(32, ch.size));
                                         const ByteReader r({b, got});
                                         s.fccType = r.Fourcc(0);
                                         s.fccHandler = r.Fourcc(4);
                                         s.scale = r.U32LE(20);
                                         s.rate = r.U32LE(24);
                                         s.sampleSize = ch.size >= 48 ? ReadHeader(file, c + 8 + 40).size : 0;
                                     } else if (ch.id == kIndx && s.indxOffset == 0) {
                                         s.indxOffset = c;
                                         s.indxSize = ch.size;
                                     }
                                 });
                });
            }
        });
    });
    return layout;
}

void VisitAviSamples(FileSource& file, const AviLayout& layout, const std::function<bool(const AviSampleVisit&)>& visit,
                     SampleList* notes) {
    SampleWalk(file, layout, visit, notes).Run();
}

AviSamples ReadAviSamples(FileSource& file, const AviLayout& layout) {
    AviSamples out;
    SampleList& list = out.list;
    for (std::size_t n = 0; n < layout.streams.size(); ++n) {
        const AviStreamLayout& s = layout.streams[n];
        SampleTrack& t = list.tracks.emplace_back();
        t.id = static_cast<std::uint32_t>(n);
        t.kind = s.fccType;
        t.codec = s.fccHandler;
        t.timescale = s.rate;
        if (s.rate == 0) t.notes.push_back("its dwRate is 0: the samples have no time");
        else if (s.scale == 0) t.notes.push_back("its dwScale is 0: every sample has the time 0");
    }
    out.origins.assign(list.tracks.size(), AviSampleOrigin::Scan);
    std::vector<bool> seen(list.tracks.size(), false);
    std::vector<std::uint64_t> blocks(list.tracks.size(), 0);  // samples before, by dwSampleSize
    std::uint64_t budget = kMaxListedSamples;
    bool cut = false;
    VisitAviSamples(
        file, layout,
        [&](const AviSampleVisit& v) {
            if (budget == 0) {
                cut = true;
                return false;
            }
            --budget;
            if (!seen[v.stream]) {
                seen[v.stream] = true;
                out.origins[v.stream] = v.origin;
            }
            const std::uint32_t scale = layout.streams[v.stream].scale;
            std::vector<Sample>& samples = list.tracks[v.stream].samples;
            // An ix## chunk's entry count, bounded by its bytes in the file, sizes the list ahead.
            if (v.more > samples.capacity() - samples.size())
                samples.reserve(std::max<std::size_t>(samples.size() + 1 + v.more, 2 * samples.capacity()));
            Sample s;
            s.offset = v.dataOffset;
            s.dts = v.ordinal * scale;
            s.size = v.size;
            s.duration = scale;
            // A stream of fixed-size samples (PCM) packs many into one chunk: its time counts them.
            if (const std::uint32_t sampleSize = layout.streams[v.stream].sampleSize) {
                std::uint64_t& before = blocks[v.stream];
                s.dts = before * scale;
                const std::uint64_t count = v.size / sampleSize;
                s.duration = static_cast<std::uint32_t>(std::min<std::uint64_t>(count * scale, 0xFFFFFFFFu));
                before += count;
            }
            s.number = static_cast<std::uint32_t>(v.ordinal + 1);
            s.key = v.key;
            samples.push_back(s);
            return true;
        },
        &list);
    for (SampleTrack& t : list.tracks) t.samples.shrink_to_fit();
    if (cut) list.notes.push_back("only the first " + N(kMaxListedSamples) + " samples are listed");
    return out;
}

std::optional<AviSampleVisit> LocateAviSample(FileSource& file, const AviLayout& layout, std::uint32_t stream,
                                              std::uint32_t number) {
    std::optional<AviSampleVisit> found;
    if (number == 0) return found;
    VisitAviSamples(file, layout, [&](const AviSampleVisit& v) {
        if (v.stream == stream && v.ordinal + 1 == number) {
            found = v;
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace kestrova
