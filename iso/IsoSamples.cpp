#include "iso/IsoSamples.h"

#include <algorithm>
#include <optional>

#include "common/ByteReader.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

std::string N(std::uint64_t v) { return GroupedText(v, RegionalSettings{}); }

// The body of a box kept as a leaf, as far as the box and the file reach.
std::vector<std::uint8_t> ReadLeafBody(FileSource& file, const BoxRecord& box) {
    std::vector<std::uint8_t> body;
    const std::uint64_t extent = box.Extent();
    if (extent > box.HeaderLength())
        file.ReadAt(box.BodyOffset(), std::min<std::uint64_t>(extent - box.HeaderLength(), kMaxBoxRead), body);
    return body;
}

struct Sizes {
    bool present = false;
    std::uint32_t constant = 0;          // every sample's size, when not 0
    std::uint64_t count = 0;             // samples whose size is known
    const std::vector<std::uint32_t>* list = nullptr;
    std::vector<std::uint32_t> own;      // decoded from stz2
    std::uint32_t At(std::uint64_t i) const { return constant ? constant : (*list)[static_cast<std::size_t>(i)]; }
};

class TrackExpansion {
public:
    TrackExpansion(FileSource& file, const IsoParse& parse, const IsoTrack& track, SampleTrack& out,
                   std::uint64_t& budget)
        : file_(file), parse_(parse), t_(parse.tables), track_(track), out_(out), budget_(budget) {}

    void Run() {
        Describe();
        if (!LoadSizes()) return;
        if (sizes_.count == 0) return;
        const SttsRow* stts = Row(t_.stts, track_.stts);
        if (!stts) return Note("no decoding times (stts): its " + N(sizes_.count) + " samples are left out");
        LoadChunks();
        if (chunks_.empty() && !chunkTable_) return Note("no chunk offsets (stco or co64): its " + N(sizes_.count) +
                                                         " samples are left out");
        const StscRow* stsc = Row(t_.stsc, track_.stsc);
        if (!stsc) return Note("no sample-to-chunk table (stsc): its " + N(sizes_.count) + " samples are left out");
        Expand(*stts, *stsc);
    }

private:
    template <typename T>
    static const T* Row(const std::vector<T>& rows, std::int32_t i) {
        return i >= 0 && static_cast<std::size_t>(i) < rows.size() ? &rows[static_cast<std::size_t>(i)] : nullptr;
    }
    const BoxRecord* Record(std::int32_t i) const {
        return i >= 0 && static_cast<std::size_t>(i) < parse_.records.size() ? &parse_.records[static_cast<std::size_t>(i)]
                                                                               : nullptr;
    }
    void Note(std::string text) { out_.notes.push_back(std::move(text)); }

    void Describe() {
        if (const TkhdRow* tkhd = Row(t_.tkhd, track_.tkhd)) out_.id = tkhd->trackId;
        if (const HdlrRow* hdlr = Row(t_.hdlr, track_.hdlr)) out_.kind = hdlr->handlerType;
        if (const MdhdRow* mdhd = Row(t_.mdhd, track_.mdhd)) out_.timescale = mdhd->timescale;
        if (!track_.entryRecords.empty())
            if (const BoxRecord* entry = Record(track_.entryRecords.front())) out_.codec = entry->type;
    }

    // The node of the box whose decoded row this is.
    std::int64_t NodeOfRow(std::uint32_t type, std::int32_t row) const {
        for (const BoxRecord& r : parse_.records)
            if (r.type == type && r.row == row) return std::int64_t{r.index} + 1;
        return -1;
    }

    bool LoadSizes() {
        if (const StszRow* stsz = Row(t_.stsz, track_.stsz)) {
            sizes_.present = true;
            out_.tableNode = NodeOfRow(Fourcc("stsz"), track_.stsz);
            if (stsz->sampleSize != 0) {
                sizes_.constant = stsz->sampleSize;
                sizes_.count = stsz->sampleCount;
            } else {
                out_.perSampleLines = true;
                sizes_.list = &stsz->sampleSizes;
                sizes_.count = stsz->sampleSizes.size();
                if (sizes_.count < stsz->sampleCount)
                    Note("stsz counts " + N(stsz->sampleCount) + " samples but its box holds the sizes of " +
                         N(sizes_.count) + ": the other " + N(stsz->sampleCount - sizes_.count) + " are left out");
            }
            return true;
        }
        if (const BoxRecord* stz2 = Record(track_.stz2Record)) {
            sizes_.present = true;
            out_.tableNode = std::int64_t{stz2->index} + 1;
            LoadCompactSizes(*stz2);
            return true;
        }
        Note("no sample sizes (stsz or stz2): no sample can be placed");
        return false;
    }

    // stz2: version and flags, 3 reserved bytes, the field size (4, 8 or 16 bits), the count, the sizes.
    void LoadCompactSizes(const BoxRecord& box) {
        const std::vector<std::uint8_t> bytes = ReadLeafBody(file_, box);
        const ByteReader body(bytes);
        const std::uint32_t fieldBits = body.U8(7);
        const std::uint32_t claimed = body.U32BE(8);
        if (fieldBits != 4 && fieldBits != 8 && fieldBits != 16) {
            Note("stz2 has a field size of " + N(fieldBits) + " bits (4, 8 or 16 are defined): its " + N(claimed) +
                 " samples are left out");
            return;
        }
        const std::uint64_t room = bytes.size() > 12 ? (bytes.size() - 12) * 8 / fieldBits : 0;
        const std::uint64_t count = std::min<std::uint64_t>(claimed, room);
        sizes_.own.reserve(static_cast<std::size_t>(count));
        for (std::uint64_t i = 0; i < count; ++i) {
            if (fieldBits == 16) sizes_.own.push_back(body.U16BE(12 + 2 * i));
            else if (fieldBits == 8) sizes_.own.push_back(body.U8(12 + i));
            else sizes_.own.push_back(i % 2 == 0 ? body.U8(12 + i / 2) >> 4 : body.U8(12 + i / 2) & 0x0F);
        }
        sizes_.list = &sizes_.own;
        sizes_.count = count;
        out_.perSampleLines = false;
        if (count < claimed)
            Note("stz2 counts " + N(claimed) + " samples but its box holds the sizes of " + N(count) + ": the other " +
                 N(claimed - count) + " are left out");
    }

    void LoadChunks() {
        if (const StcoRow* stco = Row(t_.stco, track_.stco)) {
            chunkTable_ = true;
            chunks_.assign(stco->chunkOffsets.begin(), stco->chunkOffsets.end());
            if (chunks_.size() < stco->entryCount)
                Note("stco counts " + N(stco->entryCount) + " chunks but its box holds " + N(chunks_.size()));
            return;
        }
        const BoxRecord* co64 = Record(track_.co64Record);
        if (!co64) return;
        chunkTable_ = true;
        const std::vector<std::uint8_t> bytes = ReadLeafBody(file_, *co64);
        const ByteReader body(bytes);
        const std::uint32_t claimed = body.U32BE(4);
        const std::uint64_t count = std::min<std::uint64_t>(claimed, bytes.size() > 8 ? (bytes.size() - 8) / 8 : 0);
        chunks_.reserve(static_cast<std::size_t>(count));
        for (std::uint64_t i = 0; i < count; ++i) chunks_.push_back(body.U64BE(8 + 8 * i));
        if (count < claimed) Note("co64 counts " + N(claimed) + " chunks but its box holds " + N(count));
    }

    // Sync samples as a sorted list of distinct sample numbers; nullopt-like flag when absent.
    void LoadSyncSamples() {
        const StssRow* stss = Row(t_.stss, track_.stss);
        hasSync_ = stss != nullptr;
        if (!stss) return;
        sync_ = stss->sampleNumbers;
        std::sort(sync_.begin(), sync_.end());
        sync_.erase(std::unique(sync_.begin(), sync_.end()), sync_.end());
        std::uint64_t strays = 0;
        for (const std::uint32_t n : sync_)
            if (n == 0 || n > sizes_.count) ++strays;
        if (strays)
            Note("stss names " + N(strays) + " sample number" + (strays == 1 ? "" : "s") +
                 " that the track does not have; they are ignored");
    }

    void Expand(const SttsRow& stts, const StscRow& stsc) {
        std::uint64_t timed = 0;
        for (const SttsEntry& e : stts.entries) timed += e.sampleCount;
        if (stts.entries.size() < stts.entryCount)
            Note("stts counts " + N(stts.entryCount) + " entries but its box holds " + N(stts.entries.size()));
        const std::uint64_t total = sizes_.count;
        if (timed < total)
            Note("stts gives decoding times to " + N(timed) + " samples, stsz lists " + N(total) + ": the last " +
                 N(total - timed) + " are left out");
        else if (timed > total)
            Note("stts counts " + N(timed) + " samples, stsz lists " + N(total) + ": the times past sample " +
                 N(total) + " are not used");
        std::uint64_t limit = std::min(total, timed);
        if (limit > budget_) {
            Note("only the first " + N(budget_) + " samples are listed (the limit of a list is " +
                 N(kMaxListedSamples) + ")");
            limit = budget_;
        }
        LoadSyncSamples();

        // Claimed counts size nothing: a per-sample table bounds the reservation by its box.
        if (sizes_.list) out_.samples.reserve(static_cast<std::size_t>(limit));

        const std::uint64_t fileSize = file_.Size();
        const std::uint64_t chunkCount = chunks_.size();
        std::size_t run = 0;
        std::uint64_t leftInRun = stts.entries.empty() ? 0 : stts.entries[0].sampleCount;
        std::uint64_t dts = 0;
        std::size_t syncAt = 0;
        std::uint64_t pastEnd = 0, cutShort = 0;
        std::uint64_t i = 0;  // samples walked

        // Entries that move on to a later chunk, each running up to the next one.
        std::vector<StscEntry> runs;
        runs.reserve(stsc.entries.size());
        for (const StscEntry& e : stsc.entries) {
            if (e.firstChunk == 0 || (!runs.empty() && e.firstChunk <= runs.back().firstChunk)) continue;
            runs.push_back(e);
        }
        const bool outOfOrder = runs.size() < stsc.entries.size();
        if (!runs.empty() && runs.front().firstChunk > 1 && runs.front().firstChunk <= chunkCount)
            Note("stsc begins at chunk " + N(runs.front().firstChunk) + ": the chunks before it hold no samples");

        for (std::size_t k = 0; k < runs.size() && i < limit; ++k) {
            const StscEntry& e = runs[k];
            if (e.firstChunk > chunkCount) {
                Note("stsc points to chunk " + N(e.firstChunk) + ", past the last chunk of " +
                     std::string(track_.stco >= 0 ? "stco" : "co64") + " (" + N(chunkCount) + ")");
                break;
            }
            const std::uint64_t last =
                k + 1 < runs.size() ? std::min<std::uint64_t>(chunkCount, runs[k + 1].firstChunk - 1) : chunkCount;
            for (std::uint64_t c = e.firstChunk; c <= last && i < limit; ++c) {
                std::uint64_t offset = chunks_[static_cast<std::size_t>(c - 1)];
                for (std::uint64_t j = 0; j < e.samplesPerChunk && i < limit; ++j, ++i) {
                    while (leftInRun == 0 && run + 1 < stts.entries.size()) leftInRun = stts.entries[++run].sampleCount;
                    const std::uint32_t delta = stts.entries[run].sampleDelta;
                    const std::uint32_t size = sizes_.At(i);
                    const std::uint64_t number = i + 1;
                    while (syncAt < sync_.size() && sync_[syncAt] < number) ++syncAt;
                    const bool key = !hasSync_ || (syncAt < sync_.size() && sync_[syncAt] == number);
                    // A sample cut short by the end of the file is still placed; one that begins past it is not.
                    if (offset > fileSize || (offset == fileSize && size > 0)) {
                        ++pastEnd;
                    } else {
                        if (size > fileSize - offset) ++cutShort;
                        Sample s;
                        s.offset = offset;
                        s.dts = dts;
                        s.size = size;
                        s.duration = delta;
                        s.number = static_cast<std::uint32_t>(number);
                        s.key = key;
                        out_.samples.push_back(s);
                    }
                    offset += size;
                    dts += delta;
                    --leftInRun;
                }
            }
        }
        if (outOfOrder) Note("stsc has entries that do not move on to a later chunk; they are skipped");
        if (i < limit)
            Note("the chunks of stsc and " + std::string(track_.stco >= 0 ? "stco" : "co64") + " hold " + N(i) +
                 " samples, stsz lists " + N(total) + ": the last " + N(limit - i) + " are left out");
        if (pastEnd)
            Note(N(pastEnd) + " sample" + (pastEnd == 1 ? " begins" : "s begin") +
                 " past the end of the file and " + (pastEnd == 1 ? "is" : "are") + " left out");
        if (cutShort)
            Note(N(cutShort) + " sample" + (cutShort == 1 ? " is" : "s are") + " cut short by the end of the file");
        budget_ -= std::min<std::uint64_t>(budget_, i);
    }

    FileSource& file_;
    const IsoParse& parse_;
    const IsoBoxTables& t_;
    const IsoTrack& track_;
    SampleTrack& out_;
    std::uint64_t& budget_;
    Sizes sizes_;
    std::vector<std::uint64_t> chunks_;
    bool chunkTable_ = false;
    std::vector<std::uint32_t> sync_;
    bool hasSync_ = false;
};

}  // namespace

void AddFragmentSamples(FileSource& file, const MovieExtends& movie, SampleList& list, const FragmentHints& hints) {
    const std::vector<TrackStart> starts = StartsOf(list);
    for (std::size_t i = 0; i < list.tracks.size(); ++i)
        list.tracks[i].movieSamples = static_cast<std::uint32_t>(starts[i].samples);
    // Counted first, so each track's list grows once.
    std::optional<FragmentLayout> counted;
    if (!hints.placed) counted = PlaceFragments(file, file.Size(), movie, starts, nullptr, hints.topLevel);
    const FragmentLayout& totals = hints.placed ? *hints.placed : *counted;
    if (totals.moofs == 0) return;
    for (SampleTrack& t : list.tracks)
        if (const FragmentTotals* f = totals.TotalsOf(t.id))
            t.samples.reserve(t.samples.size() + std::min<std::uint64_t>(f->samples, kMaxListedSamples));
    FragmentLayout layout = PlaceFragments(file, file.Size(), movie, starts, &list, hints.topLevel);
    for (std::string& note : layout.notes) list.notes.push_back(std::move(note));
}

SampleList BuildIsoSampleList(FileSource& file, const IsoParse& parse, const FragmentHints& hints) {
    SampleList list;
    std::uint64_t budget = kMaxListedSamples;
    for (const IsoTrack& track : parse.tracks) {
        SampleTrack& out = list.tracks.emplace_back();
        TrackExpansion(file, parse, track, out, budget).Run();
    }
    AddFragmentSamples(file, ReadMovieExtends(file, file.Size(), false), list, hints);
    return list;
}

}  // namespace kestrova
