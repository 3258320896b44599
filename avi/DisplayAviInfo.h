#pragma once
// Presentation of the AVI parse: chunk descriptions and the file summary.

#include <cstdint>

#include "avi/AviParser.h"
#include "common/DocumentView.h"

namespace kestrova {

void ShowChunkDescription(DocumentView& view, AviParse& parse, std::int64_t nodeIndex);
void ShowAviSummary(DocumentView& view, AviParse& parse, std::uint32_t fileKind);

}  // namespace kestrova
