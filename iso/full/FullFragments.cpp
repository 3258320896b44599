// The full view's reading of movie fragments: where every run sample lies and
// when, worked out once at open for the trun lines and the summary.

#include "common/NodeList.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {

void ReadFragments(FileSource& file, FullParse& parse, FileSource* init) {
    if (init != nullptr) {
        // The segment's tree stays its own; the tracks and their defaults are the initialisation segment's.
        FullParse initParse;
        NodeList tree;
        tree.Reset(std::string());
        WalkFull(*init, init->Size(), tree, initParse);
        const FileSummary initSummary = BuildFileSummary(*init, initParse);
        if (!parse.summary.hasMovie) {
            parse.summary.tracks = initSummary.tracks;
            parse.summary.movieTimescale = initSummary.movieTimescale;
        }
        parse.movie = ReadMovieExtends(*init, init->Size(), true);
        parse.withInit = true;
    } else {
        parse.movie = ReadMovieExtends(file, parse.fileSize, false);
    }
    std::vector<TrackStart> starts;
    for (const TrackSummary& t : parse.summary.tracks)
        starts.push_back({t.trackId, t.timescale, t.tableDuration, t.sampleCount.value_or(0)});
    parse.fragments = PlaceFragments(file, parse.fileSize, parse.movie, std::move(starts), nullptr);
    AddFragmentsToSummary(parse.summary, parse.fragments, parse.movie);
}

}  // namespace kestrova::full
