#pragma once
// The RIFF AVI parser: the chunk walk that records every chunk and list it
// knows and adds its tree node, and the header, stream and index values.

#include <cstdint>
#include <vector>

#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "common/NodeList.h"

namespace kestrova {

struct ChunkRecord {
    std::int32_t index = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;      // data bytes, header not included
    std::uint32_t id = 0;
    std::uint32_t listType = 0;  // form or list type; 0 for leaf chunks
    std::int32_t stream = 0;
};

struct AviParse {
    std::vector<ChunkRecord> records;
    bool recordLimitReached = false;
};

// 4 when the file was taken as AVI (its summary is then written), 0 when not
// (the refusal line is then in BOX_Description).
std::uint32_t ParseAviFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviParse& parse,
                           DocumentView& view);

const ChunkRecord& GetChunkRecord(const AviParse& parse, std::int64_t nodeIndex);

}  // namespace kestrova
