#pragma once
// The samples of every stream of the classic view's file (see AviIndexes.h),
// each track pointing at the classic tree's idx1 or LIST movi.

#include <optional>

#include "avi/AviParser.h"
#include "common/FileSource.h"
#include "common/SampleList.h"

namespace kestrova {

SampleList BuildAviSampleList(FileSource& file, const AviParse& parse);

// The file offset of the 16-byte idx1 entry of sample `number` (1-based) of a
// stream, as BuildAviSampleList numbers them; nullopt when there is none.
std::optional<std::uint64_t> FindAviIndexEntry(FileSource& file, const AviParse& parse, std::uint32_t stream,
                                               std::uint32_t number);

}  // namespace kestrova
