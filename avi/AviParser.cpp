#include "avi/AviParser.h"

namespace kestrova {

std::uint32_t ParseAviFile(FileSource&, std::uint64_t, NodeList&, AviParse&, DocumentView&) { return 0; }

const ChunkRecord& GetChunkRecord(const AviParse& parse, std::int64_t nodeIndex) {
    return parse.records.at(static_cast<std::size_t>(nodeIndex - 1));
}

}  // namespace kestrova
