#include "iso/Fragments.h"

#include <algorithm>
#include <span>
#include <unordered_map>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/MapAhead.h"

namespace kestrova {
// Not anonymous: FragmentPlacer holds a Placer.
namespace fragment_placing {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

std::string N(std::uint64_t v) { return GroupedText(v, RegionalSettings{}); }

struct Box {
    std::uint64_t offset = 0;  // absolute
    std::uint64_t header = 8;
    std::uint64_t extent = 0;  // cut to what holds it
    std::uint32_t type = 0;
    std::uint64_t Body() const { return offset + header; }
    std::uint64_t BodyLength() const { return extent - header; }
};

// The boxes in [begin, end) of bytes `data`, which start at absolute `base`,
// into boxes (whose room is kept from one moof to the next).
void ChildBoxes(std::span<const std::uint8_t> data, std::uint64_t base, std::uint64_t begin, std::uint64_t end,
                std::vector<Box>& boxes) {
    boxes.clear();
    const ByteReader r(data);
    std::uint64_t pos = begin;
    while (pos + 8 <= end) {
        Box b;
        b.offset = base + pos;
        b.type = r.U32BE(pos + 4);
        std::uint64_t size = r.U32BE(pos);
        if (size == 1) {
            if (pos + 16 > end) break;
            size = r.U64BE(pos + 8);
            b.header = 16;
        } else if (size == 0) {
            size = end - pos;
        }
        if (size < b.header) break;
        b.extent = std::min(size, end - pos);
        boxes.push_back(b);
        pos += b.extent;
    }
}

// The top-level boxes of the file, read one header at a time.
template <typename Visit>
void TopLevelBoxes(FileSource& file, std::uint64_t fileSize, Visit visit) {
    std::uint64_t pos = 0;
    while (pos + 8 <= fileSize) {
        std::uint8_t h[16] = {};
        file.ReadSmall(pos, h, sizeof h);
        const ByteReader r({h, sizeof h});
        Box b;
        b.offset = pos;
        b.type = r.U32BE(4);
        std::uint64_t size = r.U32BE(0);
        if (size == 1) {
            size = r.U64BE(8);
            b.header = 16;
        } else if (size == 0) {
            size = fileSize - pos;
        }
        if (size < b.header) break;
        b.extent = std::min(size, fileSize - pos);
        if (!visit(b)) break;
        pos += b.extent;
    }
}

InheritedValue Inherit(const ByteReader& r, std::uint64_t pos, std::uint64_t absolute, InheritedValue::From from) {
    return {absolute, r.U32BE(pos), from};
}

struct TrackState {
    std::uint32_t id = 0;
    std::uint64_t nextDts = 0;
    std::uint64_t nextNumber = 1;
    bool dtsKnown = true;
    bool backwards = false;      // the current traf starts before listedEnd
    std::uint64_t listedEnd = 0;  // the DTS after the last sample placed in time
    SampleTrack* list = nullptr;
    FragmentTotals totals;
};

class Placer {
public:
    Placer(FileSource& file, std::uint64_t fileSize, const MovieExtends& movie, SampleList* list)
        : file_(file), fileSize_(fileSize), movie_(movie), list_(list) {}

    void AddTrack(const TrackStart& s) {
        TrackState& t = tracks_[s.id];
        t.id = s.id;
        t.nextDts = s.nextDts;
        t.listedEnd = s.nextDts;
        t.nextNumber = s.samples + 1;
        t.totals.trackId = s.id;
    }

    // The list's tracks are linked to the states once all starts are added.
    void LinkList() {
        if (list_)
            for (SampleTrack& track : list_->tracks)
                if (auto it = tracks_.find(track.id); it != tracks_.end()) it->second.list = &track;
    }

    void Reserve(std::uint64_t runs) { out_.runs.reserve(runs); }
    void Sidx() { ++out_.sidxs; }

    void Moof(const Box& moof) {
        const std::uint64_t want = std::min(moof.BodyLength(), kMaxMoofRead);
        file_.ReadAt(moof.Body(), want, data_);
        Moof(moof, {data_.data(), data_.size()});
    }

    void Moof(const Box& moof, std::span<const std::uint8_t> body) {
        ++out_.moofs;
        std::uint64_t previousEnd = moof.offset;  // where a traf without a base of its own starts
        bool first = true;
        ChildBoxes(body, moof.Body(), 0, body.size(), moofChildren_);
        for (const Box& child : moofChildren_) {
            if (child.type == F("moof")) {
                Note("a moof inside the moof at offset " + N(moof.offset) + " is not read");
            } else if (child.type == F("traf")) {
                Traf(moof, child, body, first ? moof.offset : previousEnd, previousEnd);
                first = false;
            }
        }
    }

    FragmentLayout Finish() {
        Overlaps();
        for (const std::uint32_t id : order_) out_.totals.push_back(tracks_[id].totals);
        std::sort(out_.totals.begin(), out_.totals.end(),
                  [](const FragmentTotals& a, const FragmentTotals& b) { return a.trackId < b.trackId; });
        for (auto& [id, note] : missingDefaults_) out_.notes.push_back(note);
        return std::move(out_);
    }

private:
    void Note(std::string text) {
        if (out_.notes.size() < 100) out_.notes.push_back(std::move(text));
    }

    // implicitBase: where this traf's data starts without a base of its own;
    // previousEnd becomes where its data ended.
    void Traf(const Box& moof, const Box& traf, std::span<const std::uint8_t> moofBody, std::uint64_t implicitBase,
              std::uint64_t& previousEnd) {
        const std::uint64_t rel = traf.offset - moof.Body();
        ChildBoxes(moofBody, moof.Body(), rel + traf.header, rel + traf.extent, trafChildren_);
        const std::vector<Box>& children = trafChildren_;
        const ByteReader r(moofBody);
        const auto at = [&](const Box& b, std::uint64_t pos) { return b.offset - moof.Body() + b.header + pos; };
        const Box* tfhd = nullptr;
        const Box* tfdt = nullptr;
        for (const Box& c : children) {
            if (c.type == F("tfhd") && !tfhd) tfhd = &c;
            if (c.type == F("tfdt") && !tfdt) tfdt = &c;
        }
        if (!tfhd || tfhd->BodyLength() < 8) {
            Note("a traf without tfhd at offset " + N(traf.offset) + ": its runs are not placed");
            return;
        }
        const std::uint32_t flags = r.U32BE(at(*tfhd, 0)) & 0xFFFFFF;
        const std::uint32_t trackId = r.U32BE(at(*tfhd, 4));
        auto found = tracks_.find(trackId);
        if (found == tracks_.end()) {
            if (movie_.hasMovie) {
                Note("a traf at offset " + N(traf.offset) + " is for track " + N(trackId) +
                     ", which the movie does not have: its samples are not placed");
                return;
            }
            AddTrack({trackId, 0, 0, 0});
            found = tracks_.find(trackId);
            if (list_) {
                SampleTrack track;
                track.id = trackId;
                list_->tracks.push_back(std::move(track));
                // The vector may have moved: point every state at its track again.
                for (SampleTrack& t : list_->tracks)
                    if (auto it = tracks_.find(t.id); it != tracks_.end()) it->second.list = &t;
            }
        }
        TrackState& track = found->second;
        if (std::find(order_.begin(), order_.end(), trackId) == order_.end()) order_.push_back(trackId);

        // Defaults: the tfhd's own, else the trex's.
        const TrackExtends* trex = movie_.Find(trackId);
        if (!trex && movie_.hasMovie && missingDefaults_.find(trackId) == missingDefaults_.end())
            missingDefaults_[trackId] = "track " + N(trackId) + " has no trex: its defaults are not known";
        PlacedRun defaults;
        if (trex) {
            defaults.duration = trex->duration;
            defaults.size = trex->size;
            defaults.flags = trex->flags;
        }
        std::uint64_t pos = 8;
        const auto tfhdHas = [&](std::uint64_t bytes) { return pos + bytes <= tfhd->BodyLength(); };
        std::optional<std::uint64_t> base;
        if (flags & 0x1) {
            if (tfhdHas(8)) base = r.U64BE(at(*tfhd, pos));
            pos += 8;
        }
        if (flags & 0x2) pos += 4;
        const auto fromTfhd = [&](std::uint32_t bit, InheritedValue& v) {
            if (!(flags & bit)) return;
            if (tfhdHas(4)) v = Inherit(r, at(*tfhd, pos), tfhd->Body() + pos, InheritedValue::From::Tfhd);
            pos += 4;
        };
        fromTfhd(0x8, defaults.duration);
        fromTfhd(0x10, defaults.size);
        fromTfhd(0x20, defaults.flags);

        const std::uint64_t dataBase = base ? *base : (flags & 0x20000) ? moof.offset : implicitBase;
        defaults.start = base                       ? PlacedRun::Start::BaseDataOffset
                         : (flags & 0x20000)        ? PlacedRun::Start::MoofByFlag
                         : implicitBase == moof.offset ? PlacedRun::Start::MoofFirstTraf
                                                    : PlacedRun::Start::AfterPreviousTraf;
        if (tfdt && tfdt->BodyLength() >= 8) {
            const bool v1 = r.U8(at(*tfdt, 0)) == 1;
            if (!v1 || tfdt->BodyLength() >= 12) {
                const std::uint64_t time = v1 ? r.U64BE(at(*tfdt, 4)) : r.U32BE(at(*tfdt, 4));
                track.nextDts = time;
                track.dtsKnown = true;
                defaults.dtsFromTfdt = true;
            }
        }

        // A list stays in decode order: a fragment that starts before the end of the
        // samples listed so far is shown in its trun, not drawn among them.
        track.backwards = track.dtsKnown && track.nextDts < track.listedEnd;
        if (track.backwards)
            Note("track " + N(track.id) + ": the traf at offset " + N(traf.offset) + " starts at DTS " +
                 N(track.nextDts) + ", before the end of the samples listed before it (" + N(track.listedEnd) +
                 "): its samples are not listed");
        std::uint64_t next = dataBase;
        bool firstRun = true;
        for (const Box& c : children) {
            if (c.type != F("trun")) continue;
            Trun(c, r, at(c, 0), track, defaults, moof.offset, dataBase, firstRun, next);
            defaults.dtsFromTfdt = false;
            firstRun = false;
        }
        previousEnd = next;
    }

    // bodyAt: the trun body's position in the moof bytes; base: the traf's base
    // data offset, which data_offset counts from and where its first run
    // starts without one; next: the end of the previous run's data, then of this one's.
    void Trun(const Box& trun, const ByteReader& r, std::uint64_t bodyAt, TrackState& track, const PlacedRun& defaults,
              std::uint64_t moofOffset, std::uint64_t base, bool firstRun, std::uint64_t& next) {
        const std::uint64_t length = trun.BodyLength();
        if (length < 8) return;
        const std::uint32_t flags = r.U32BE(bodyAt) & 0xFFFFFF;
        const std::uint64_t declared = r.U32BE(bodyAt + 4);
        std::uint64_t pos = 8;
        PlacedRun run = defaults;
        run.trunOffset = trun.offset;
        run.moofOffset = moofOffset;
        run.trackId = track.id;
        run.dataStart = firstRun ? base : next;
        if (!firstRun) run.start = PlacedRun::Start::AfterPreviousRun;
        if (flags & 0x1) {
            const auto offset = static_cast<std::int32_t>(r.U32BE(bodyAt + pos));
            run.dataStart = base + static_cast<std::uint64_t>(std::int64_t{offset});
            run.withDataOffset = true;
            run.start = defaults.start;
            pos += 4;
        }
        InheritedValue firstFlags;
        if (flags & 0x4) {
            firstFlags = Inherit(r, bodyAt + pos, trun.Body() + pos, InheritedValue::From::FirstSampleFlags);
            pos += 4;
        }
        if (pos > length) return;
        const unsigned record =
            4 * ((flags >> 8 & 1) + (flags >> 9 & 1) + (flags >> 10 & 1) + (flags >> 11 & 1));
        // The count never sizes anything: records must be in the box, and
        // samples without records must at least begin inside the file.
        std::uint64_t count = declared;
        if (record > 0) {
            count = std::min<std::uint64_t>(count, (length - pos) / record);
        } else {
            const std::uint64_t each = defaults.size.Known() ? std::max<std::uint32_t>(defaults.size.value, 1) : 1;
            count = std::min<std::uint64_t>(count, run.dataStart < fileSize_ ? (fileSize_ - run.dataStart) / each + 1 : 0);
        }
        std::uint64_t leftOut = 0;
        if (count < declared) {
            // Samples without records that could not begin inside the file are not placed either.
            if (record == 0) leftOut = declared - count;
            else Note("the trun at offset " + N(trun.offset) + " says " + N(declared) + " samples and holds " + N(count));
        }
        run.dtsStart = track.nextDts;
        run.dtsKnown = track.dtsKnown;
        run.firstNumber = track.nextNumber;
        run.count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 0xFFFFFFFF));
        run.offsetKnown = true;

        std::uint64_t offset = run.dataStart;
        bool offsetKnown = true;
        std::uint64_t listedSoFar = list_ && track.list ? track.list->samples.size() : 0;
        // Which values each sample has, and where they come from, is the same for the whole run.
        const bool hasDuration = (flags & 0x100) || run.duration.Known();
        const bool hasSize = (flags & 0x200) || run.size.Known();
        const bool list = list_ && track.list;
        // Kept in locals through the loop: the list's appends would otherwise make every one a memory store.
        FragmentTotals t = track.totals;
        std::uint64_t nextDts = track.nextDts, nextNumber = track.nextNumber, listedEnd = track.listedEnd;
        bool dtsKnown = track.dtsKnown;
        // Without a list to fill, a run that lies wholly inside the file needs its sums only.
        const bool summed = !list && count > 0 && !track.backwards && hasSize && hasDuration && dtsKnown && offsetKnown &&
                            SumRun(r, bodyAt + pos, record, count, flags, run, firstFlags, offset, t);
        if (summed) {
            nextDts += t.duration - track.totals.duration;
            listedEnd = nextDts;
            offset += t.bytes - track.totals.bytes;
            nextNumber += count;
        }
        for (std::uint64_t i = 0; i < (summed ? 0 : count); ++i) {
            const RunSample v = SampleOf(r, bodyAt + pos + i * record, flags, i, run, firstFlags);
            const std::uint32_t duration = v.duration, size = v.size;
            const bool key = v.key;

            const bool fits = offsetKnown && hasSize && offset <= fileSize_ && size <= fileSize_ - offset;
            if (hasSize && !fits && offsetKnown) ++leftOut;
            const bool listable = !track.backwards && (fits || !hasSize || !offsetKnown);
            if (listable && dtsKnown && hasDuration) listedEnd = nextDts + duration;
            if (list && listable && listedSoFar < kMaxListedSamples) {
                Sample s;
                s.offset = offsetKnown ? offset : kUnknownSamplePlace;
                s.dts = dtsKnown ? nextDts : kUnknownSamplePlace;
                s.size = hasSize ? size : kUnknownSampleValue;
                s.duration = hasDuration ? duration : kUnknownSampleValue;
                s.number = static_cast<std::uint32_t>(nextNumber & 0x7FFFFFFF);
                s.key = key ? 1 : 0;
                track.list->samples.push_back(s);
                ++listedSoFar;
                ++run.listed;
            }
            ++t.samples;
            if (key) ++t.syncSamples;
            if (hasSize) t.bytes += size;
            if (hasDuration) {
                t.duration += duration;
                t.minDuration = t.samples == 1 ? duration : std::min(t.minDuration, duration);
                t.maxDuration = std::max(t.maxDuration, duration);
                if (dtsKnown) nextDts += duration;
            } else {
                dtsKnown = false;
            }
            if (hasSize) offset += size;
            else offsetKnown = false;
            ++nextNumber;
        }
        track.totals = t;
        track.nextDts = nextDts;
        track.nextNumber = nextNumber;
        track.listedEnd = listedEnd;
        track.dtsKnown = dtsKnown;
        if (leftOut > 0)
            Note("track " + N(track.id) + ": the run at offset " + N(trun.offset) + " reaches past the end of the file: " +
                 N(leftOut) + " samples are not placed");
        if (offsetKnown) {
            next = offset;
            if (offset > run.dataStart) spans_.push_back({run.dataStart, offset, trun.offset});
        }
        out_.runs.push_back(run);
        MapAheadOf(out_.runs);
    }

    struct RunSample {
        std::uint32_t duration, size;
        bool key;
    };
    // Sample i of a run whose record starts at p: its own values where the trun
    // has them, else the first_sample_flags (first sample only), else the run's defaults.
    static RunSample SampleOf(const ByteReader& r, std::uint64_t p, std::uint32_t flags, std::uint64_t i,
                              const PlacedRun& run, const InheritedValue& firstFlags) {
        RunSample v{run.duration.value, run.size.value, false};
        std::uint32_t sampleFlags = run.flags.value;
        bool hasFlags = run.flags.Known();
        if (flags & 0x100) v.duration = r.U32BE(p), p += 4;
        if (flags & 0x200) v.size = r.U32BE(p), p += 4;
        if (flags & 0x400) sampleFlags = r.U32BE(p), hasFlags = true;
        else if (i == 0 && firstFlags.Known()) sampleFlags = firstFlags.value, hasFlags = true;
        v.key = hasFlags && ((sampleFlags >> 16) & 1) == 0;
        return v;
    }

    // Adds a run's samples to t when they all end inside the file from offset; false (t untouched) when not.
    bool SumRun(const ByteReader& r, std::uint64_t at, unsigned record, std::uint64_t count, std::uint32_t flags,
                const PlacedRun& run, const InheritedValue& firstFlags, std::uint64_t offset, FragmentTotals& t) const {
        std::uint64_t bytes = 0, durations = 0, sync = 0;
        std::uint32_t least = ~std::uint32_t{0}, most = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            const RunSample v = SampleOf(r, at + i * record, flags, i, run, firstFlags);
            sync += v.key;
            bytes += v.size;
            durations += v.duration;
            least = std::min(least, v.duration);
            most = std::max(most, v.duration);
        }
        if (offset > fileSize_ || bytes > fileSize_ - offset) return false;
        t.minDuration = t.samples == 0 ? least : std::min(t.minDuration, least);
        t.maxDuration = std::max(t.maxDuration, most);
        t.samples += count;
        t.syncSamples += sync;
        t.bytes += bytes;
        t.duration += durations;
        return true;
    }

    void Overlaps() {
        std::sort(spans_.begin(), spans_.end());
        std::uint64_t end = 0, overlapping = 0;
        for (const Span& s : spans_) {
            if (s.begin < end) ++overlapping;
            end = std::max(end, s.end);
        }
        if (overlapping > 0) Note(N(overlapping) + " track runs overlap the data of an earlier run");
    }

    struct Span {
        std::uint64_t begin, end, trun;
        bool operator<(const Span& o) const { return begin != o.begin ? begin < o.begin : end < o.end; }
    };

    FileSource& file_;
    std::uint64_t fileSize_;
    const MovieExtends& movie_;
    SampleList* list_;
    std::vector<std::uint8_t> data_;
    std::vector<Box> moofChildren_, trafChildren_;
    std::unordered_map<std::uint32_t, TrackState> tracks_;
    std::vector<std::uint32_t> order_;
    std::unordered_map<std::uint32_t, std::string> missingDefaults_;
    std::vector<Span> spans_;
    FragmentLayout out_;
};

}  // namespace fragment_placing

using namespace fragment_placing;

const TrackExtends* MovieExtends::Find(std::uint32_t trackId) const {
    for (const TrackExtends& t : trex)
        if (t.trackId == trackId) return &t;
    return nullptr;
}

const PlacedRun* FragmentLayout::RunAt(std::uint64_t trunOffset) const {
    const auto it = std::lower_bound(runs.begin(), runs.end(), trunOffset,
                                     [](const PlacedRun& r, std::uint64_t o) { return r.trunOffset < o; });
    return it != runs.end() && it->trunOffset == trunOffset ? &*it : nullptr;
}

const FragmentTotals* FragmentLayout::TotalsOf(std::uint32_t trackId) const {
    for (const FragmentTotals& t : totals)
        if (t.trackId == trackId) return &t;
    return nullptr;
}

MovieExtends ReadMovieExtends(FileSource& file, std::uint64_t fileSize, bool fromInit) {
    MovieExtends m;
    TopLevelBoxes(file, fileSize, [&](const Box& b) {
        if (b.type != F("moov")) return true;
        m.hasMovie = true;
        // mvex sits after the traks: walking moov by headers skips the tables
        // of a large movie without reading them.
        std::uint64_t pos = b.Body();
        const std::uint64_t end = b.offset + b.extent;
        while (pos + 8 <= end) {
            std::uint8_t h[16] = {};
            file.ReadSmall(pos, h, sizeof h);
            const ByteReader r({h, sizeof h});
            std::uint64_t size = r.U32BE(0), header = 8;
            const std::uint32_t type = r.U32BE(4);
            if (size == 1) size = r.U64BE(8), header = 16;
            else if (size == 0) size = end - pos;
            if (size < header) break;
            size = std::min(size, end - pos);
            if (type == F("mvhd")) {
                std::vector<std::uint8_t> mvhd;
                file.ReadAt(pos + header, 32, mvhd);
                const ByteReader v({mvhd.data(), mvhd.size()});
                m.movieTimescale = v.U8(0) == 1 ? v.U32BE(20) : v.U32BE(12);
            } else if (type == F("mvex")) {
                m.hasMvex = true;
                std::vector<std::uint8_t> mvex;
                file.ReadAt(pos + header, std::min<std::uint64_t>(size - header, 1 << 20), mvex);
                const ByteReader v({mvex.data(), mvex.size()});
                const auto from = fromInit ? InheritedValue::From::InitTrex : InheritedValue::From::Trex;
                std::vector<Box> children;
                ChildBoxes({mvex.data(), mvex.size()}, pos + header, 0, mvex.size(), children);
                for (const Box& c : children) {
                    const std::uint64_t at = c.offset - (pos + header) + c.header;
                    if (c.type == F("trex") && c.BodyLength() >= 24) {
                        TrackExtends t;
                        t.trackId = v.U32BE(at + 4);
                        t.duration = Inherit(v, at + 12, c.Body() + 12, from);
                        t.size = Inherit(v, at + 16, c.Body() + 16, from);
                        t.flags = Inherit(v, at + 20, c.Body() + 20, from);
                        if (!m.Find(t.trackId)) m.trex.push_back(t);
                    } else if (c.type == F("mehd") && c.BodyLength() >= 8) {
                        const bool v1 = v.U8(at) == 1;
                        if (!v1 || c.BodyLength() >= 12) m.fragmentDuration = v1 ? v.U64BE(at + 4) : v.U32BE(at + 4);
                    }
                }
            }
            pos += size;
        }
        return false;
    });
    return m;
}

FragmentLayout PlaceFragments(FileSource& file, std::uint64_t fileSize, const MovieExtends& movie,
                              std::vector<TrackStart> starts, SampleList* list, const std::vector<TopLevelBox>* known) {
    Placer placer(file, fileSize, movie, list);
    for (const TrackStart& s : starts) placer.AddTrack(s);
    placer.LinkList();
    if (known) {
        std::uint64_t moofs = 0;
        for (const TopLevelBox& k : *known) moofs += k.type == F("moof");
        placer.Reserve(moofs * 2);
        for (const TopLevelBox& k : *known) {
            if (k.type == F("sidx")) placer.Sidx();
            if (k.type == F("moof")) placer.Moof({k.offset, k.header, k.extent, k.type});
        }
    } else {
        TopLevelBoxes(file, fileSize, [&](const Box& b) {
            if (b.type == F("moof")) placer.Moof(b);
            else if (b.type == F("sidx")) placer.Sidx();
            return true;
        });
    }
    return placer.Finish();
}

FragmentPlacer::FragmentPlacer(FileSource& file, std::uint64_t fileSize, MovieExtends movie,
                               const std::vector<TrackStart>& starts)
    : movie_(std::move(movie)), placer_(std::make_unique<Placer>(file, fileSize, movie_, nullptr)) {
    for (const TrackStart& s : starts) placer_->AddTrack(s);
}

FragmentPlacer::~FragmentPlacer() = default;

void FragmentPlacer::Moof(const TopLevelBox& moof, std::span<const std::uint8_t> body) {
    placer_->Moof({moof.offset, moof.header, moof.extent, moof.type}, body);
}

void FragmentPlacer::Sidx() { placer_->Sidx(); }

void FragmentPlacer::Reserve(std::uint64_t runs) { placer_->Reserve(runs); }

FragmentLayout FragmentPlacer::Finish() { return placer_->Finish(); }

std::vector<TrackStart> StartsOf(const SampleList& list) {
    std::vector<TrackStart> starts;
    for (const SampleTrack& t : list.tracks) {
        TrackStart s;
        s.id = t.id;
        s.timescale = t.timescale;
        // Numbers go on from the last table sample, even when earlier ones could not be listed.
        if (!t.samples.empty()) {
            s.samples = t.samples.back().number;
            s.nextDts = t.samples.back().dts + t.samples.back().duration;
        }
        starts.push_back(s);
    }
    return starts;
}

const PlacedRun* RunOfSample(const FragmentLayout& layout, std::uint32_t trackId, std::uint64_t number) {
    for (const PlacedRun& r : layout.runs)
        if (r.trackId == trackId && number >= r.firstNumber && number - r.firstNumber < r.count) return &r;
    return nullptr;
}

}  // namespace kestrova
