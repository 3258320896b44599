#pragma once
// The samples of movie fragments: every track run of every moof placed in the
// file and in time (ISO/IEC 14496-12, 8.8.7 and 8.8.8), after the samples of
// the movie box. Read straight from the file, so both views, the sample lists
// and the full view's summary and trun lines share one reading.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/FileSource.h"
#include "common/SampleList.h"

namespace kestrova {

// A value a run sample takes when the trun does not give it, and where it was read.
struct InheritedValue {
    enum class From : std::uint8_t { None, Tfhd, Trex, InitTrex, FirstSampleFlags };
    std::uint64_t at = 0;  // absolute offset of its 4 bytes (in the initialisation segment for InitTrex)
    std::uint32_t value = 0;
    From from = From::None;
    bool Known() const { return from != From::None; }
};

struct TrackExtends {
    std::uint32_t trackId = 0;
    InheritedValue duration, size, flags;
};

// What the fragments take from a movie box: the file's own, or an initialisation segment's.
struct MovieExtends {
    bool hasMovie = false;
    bool hasMvex = false;
    std::vector<TrackExtends> trex;
    std::optional<std::uint64_t> fragmentDuration;  // mehd, in the movie timescale
    std::uint32_t movieTimescale = 0;
    const TrackExtends* Find(std::uint32_t trackId) const;
};

// Reads moov's mvhd timescale, mehd and trex boxes; fromInit marks the
// defaults as read from another file.
MovieExtends ReadMovieExtends(FileSource& file, std::uint64_t fileSize, bool fromInit);

// Where each track's fragment samples continue from.
struct TrackStart {
    std::uint32_t id = 0;
    std::uint32_t timescale = 0;
    std::uint64_t nextDts = 0;  // the end of the movie box's samples
    std::uint64_t samples = 0;  // how many the movie box holds
};

// One track run as placed.
struct PlacedRun {
    std::uint64_t trunOffset = 0;
    std::uint64_t moofOffset = 0;
    std::uint64_t dataStart = 0;    // first byte of the run's first sample
    std::uint64_t dtsStart = 0;
    std::uint64_t firstNumber = 0;  // number of the run's first sample in its track, from 1
    std::uint32_t trackId = 0;
    std::uint32_t count = 0;        // samples the run holds (its sample_count, bounded by its bytes)
    std::uint32_t listed = 0;       // samples of the run placed in the list
    InheritedValue duration, size, flags;  // what a sample without its own value takes
    // Where the run's data starts.
    enum class Start : std::uint8_t { BaseDataOffset, MoofByFlag, MoofFirstTraf, AfterPreviousTraf, AfterPreviousRun };
    Start start = Start::BaseDataOffset;
    bool withDataOffset = false;    // data_offset was added to the base
    bool dtsFromTfdt = false;       // the first sample's DTS is the traf's tfdt
    bool dtsKnown = true;           // false when an earlier duration was missing
    bool offsetKnown = true;        // false when an earlier size was missing
};

struct FragmentTotals {
    std::uint32_t trackId = 0;
    std::uint64_t samples = 0;
    std::uint64_t syncSamples = 0;
    std::uint64_t bytes = 0;
    std::uint64_t duration = 0;  // sum of the sample durations, in the track's timescale
    std::uint32_t minDuration = 0, maxDuration = 0;
};

struct FragmentLayout {
    std::vector<PlacedRun> runs;  // file order
    std::vector<FragmentTotals> totals;
    std::uint64_t moofs = 0;
    std::uint64_t sidxs = 0;
    std::vector<std::string> notes;  // what could not be placed, and why
    const PlacedRun* RunAt(std::uint64_t trunOffset) const;
    const FragmentTotals* TotalsOf(std::uint32_t trackId) const;
};

// No moof is read whole past this; a larger one is a damaged size.
inline constexpr std::uint64_t kMaxMoofRead = 64ull << 20;

// The top-level boxes of a file as a walk found them, so that placing reads no headers.
struct TopLevelBox {
    std::uint64_t offset = 0;
    std::uint64_t extent = 0;  // cut to the file
    std::uint32_t type = 0;
    std::uint8_t header = 8;
};

namespace fragment_placing {
class Placer;
}

// Places the fragments as a walk meets them, moof by moof in file order, with
// each moof's body as read; Finish gives what PlaceFragments would.
class FragmentPlacer {
public:
    FragmentPlacer(FileSource& file, std::uint64_t fileSize, MovieExtends movie, const std::vector<TrackStart>& starts);
    ~FragmentPlacer();
    FragmentPlacer(const FragmentPlacer&) = delete;
    FragmentPlacer& operator=(const FragmentPlacer&) = delete;
    void Moof(const TopLevelBox& moof, std::span<const std::uint8_t> body);
    void Sidx();
    void Reserve(std::uint64_t runs);
    FragmentLayout Finish();

private:
    MovieExtends movie_;
    std::unique_ptr<fragment_placing::Placer> placer_;
};

// Places the samples of every moof of the file after starts. With list, the
// samples are appended to the list's track of the same ID (the list's tracks
// give the starts then); a track the movie does not have gets its own track
// only when there is no movie box at all (a media segment read alone).
// known, when given, stands for the file's top-level boxes.
FragmentLayout PlaceFragments(FileSource& file, std::uint64_t fileSize, const MovieExtends& movie,
                              std::vector<TrackStart> starts, SampleList* list, const std::vector<TopLevelBox>* known = nullptr);

// The starts of the tracks of a sample list built from the movie box.
std::vector<TrackStart> StartsOf(const SampleList& list);

// The run that holds sample `number` of track `trackId`; nullptr for a sample of the movie box.
const PlacedRun* RunOfSample(const FragmentLayout& layout, std::uint32_t trackId, std::uint64_t number);

}  // namespace kestrova
