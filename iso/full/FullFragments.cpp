// The full view's reading of movie fragments: where every run sample lies and
// when, worked out once at open for the trun lines and the summary.
//
// The fragments are placed while the walk reads the moofs, on what the walk
// has seen by the first moof: the movie before it, its tracks taken to hold no
// samples of their own (as a fragmented file's movie usually is). After the
// walk the summary says whether that held; if not, the moofs are read again
// with the right starts.

#include <algorithm>
#include <optional>

#include "common/Formatters.h"
#include "common/NodeList.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t kMoov = Fourcc("moov");

bool SameValue(const InheritedValue& a, const InheritedValue& b) {
    return a.value == b.value && a.at == b.at && a.from == b.from;
}

bool SameMovie(const MovieExtends& a, const MovieExtends& b) {
    if (a.hasMovie != b.hasMovie || a.hasMvex != b.hasMvex || a.fragmentDuration != b.fragmentDuration ||
        a.movieTimescale != b.movieTimescale || a.trex.size() != b.trex.size())
        return false;
    for (std::size_t i = 0; i < a.trex.size(); ++i) {
        const TrackExtends& x = a.trex[i];
        const TrackExtends& y = b.trex[i];
        if (x.trackId != y.trackId || !SameValue(x.duration, y.duration) || !SameValue(x.size, y.size) ||
            !SameValue(x.flags, y.flags))
            return false;
    }
    return true;
}

bool SameStarts(const std::vector<TrackStart>& a, const std::vector<TrackStart>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id || a[i].nextDts != b[i].nextDts || a[i].samples != b[i].samples) return false;
    return true;
}

bool HasMoov(const std::vector<TopLevelBox>& boxes) {
    for (const TopLevelBox& b : boxes)
        if (b.type == kMoov) return true;
    return false;
}

// What the fragments take from an initialisation segment: its movie, and its
// tracks for a segment without a movie of its own.
struct InitMovie {
    MovieExtends movie;
    FileSummary summary;
};

InitMovie ReadInitMovie(FileSource& init) {
    FullParse initParse;
    NodeList tree;
    tree.Reset(std::string());
    WalkFull(init, init.Size(), tree, initParse);
    return {ReadMovieExtends(init, init.Size(), true), BuildFileSummary(init, initParse)};
}

std::vector<TrackStart> StartsOf(const std::vector<TrackSummary>& tracks) {
    std::vector<TrackStart> starts;
    for (const TrackSummary& t : tracks)
        starts.push_back({t.trackId, t.timescale, t.tableDuration, t.sampleCount.value_or(0)});
    return starts;
}

class PlacingWalk : public MoofSink {
public:
    PlacingWalk(FileSource& file, FullParse& parse, const std::optional<InitMovie>& init)
        : file_(file), parse_(parse), init_(init) {}

    void Moof(const TopLevelBox& moof, std::span<const std::uint8_t> body) override {
        if (!placer_) Begin(moof);
        placer_->Moof(moof, body);
    }

    // The layout, when what it was placed on holds.
    std::optional<FragmentLayout> Finish(const MovieExtends& movie, const std::vector<TrackStart>& starts) {
        if (!placer_ || !SameMovie(movie, movie_) || !SameStarts(starts, starts_)) return std::nullopt;
        for (const TopLevelBox& b : parse_.topLevel)
            if (b.type == Fourcc("sidx")) placer_->Sidx();
        return placer_->Finish();
    }

private:
    void Begin(const TopLevelBox& moof) {
        if (init_) {
            movie_ = init_->movie;
            starts_ = StartsOf(init_->summary.tracks);
        } else if (HasMoov(parse_.topLevel)) {
            movie_ = ReadMovieExtends(file_, parse_.fileSize, false);
            for (const FullTrack& t : parse_.tracks) starts_.push_back({t.trackId, t.timescale, 0, 0});
        }
        placer_.emplace(file_, parse_.fileSize, movie_, starts_);
        // Runs grow without copies for fragments of 4 KB and more; only the pages used are ever mapped.
        placer_->Reserve(std::min<std::uint64_t>((parse_.fileSize - moof.offset) / 4096 + 16, 1u << 20));
    }

    FileSource& file_;
    FullParse& parse_;
    const std::optional<InitMovie>& init_;
    MovieExtends movie_;
    std::vector<TrackStart> starts_;
    std::optional<FragmentPlacer> placer_;
};

}  // namespace

void ReadFullFile(FileSource& file, NodeList& tree, FullParse& parse, FileSource* init) {
    std::optional<InitMovie> initMovie;
    if (init != nullptr) initMovie = ReadInitMovie(*init);
    PlacingWalk placing(file, parse, initMovie);
    WalkFull(file, file.Size(), tree, parse, &placing);
    parse.summary = BuildFileSummary(file, parse);

    if (initMovie) {
        // The segment's tree stays its own; the tracks and their defaults are the initialisation segment's.
        if (!parse.summary.hasMovie) {
            parse.summary.tracks = initMovie->summary.tracks;
            parse.summary.movieTimescale = initMovie->summary.movieTimescale;
        }
        parse.movie = initMovie->movie;
        parse.withInit = true;
    } else {
        // Without a moov the walk saw, there is none to read: no search of the file for it.
        parse.movie = HasMoov(parse.topLevel) ? ReadMovieExtends(file, parse.fileSize, false) : MovieExtends{};
    }
    const std::vector<TrackStart> starts = StartsOf(parse.summary.tracks);
    // A walk stopped by the record limit did not see every moof.
    std::optional<FragmentLayout> placed =
        parse.recordLimitReached ? std::nullopt : placing.Finish(parse.movie, starts);
    if (placed) {
        parse.fragments = std::move(*placed);
    } else {
        parse.fragments = PlaceFragments(file, parse.fileSize, parse.movie, starts, nullptr,
                                         parse.recordLimitReached ? nullptr : &parse.topLevel);
    }
    AddFragmentsToSummary(parse.summary, parse.fragments, parse.movie);
}

}  // namespace kestrova::full
