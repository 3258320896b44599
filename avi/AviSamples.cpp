#include "avi/AviSamples.h"

#include "avi/AviIndexes.h"
#include "common/Formatters.h"

namespace kestrova {

SampleList BuildAviSampleList(FileSource& file, const AviParse& parse) {
    AviSamples samples = ReadAviSamples(file, ReadAviLayout(file));
    // The classic tree has idx1 and LIST movi, but not movi's children.
    std::int64_t idx1Node = -1, moviNode = -1;
    for (const ChunkRecord& rec : parse.records) {
        if (idx1Node < 0 && rec.id == Fourcc("idx1") && rec.listType == 0) idx1Node = std::int64_t{rec.index} + 1;
        if (moviNode < 0 && rec.id == Fourcc("LIST") && rec.listType == Fourcc("movi")) moviNode = std::int64_t{rec.index} + 1;
    }
    for (std::size_t n = 0; n < samples.list.tracks.size(); ++n)
        samples.list.tracks[n].tableNode = samples.origins[n] == AviSampleOrigin::Idx1 ? idx1Node : moviNode;
    return std::move(samples.list);
}

std::optional<std::uint64_t> FindAviIndexEntry(FileSource& file, const AviParse&, std::uint32_t stream,
                                               std::uint32_t number) {
    const auto v = LocateAviSample(file, ReadAviLayout(file), stream, number);
    if (!v || v->origin != AviSampleOrigin::Idx1) return std::nullopt;
    return v->entryOffset;
}

}  // namespace kestrova
