#pragma once
// Presentation of the ISO parse: the description of a selected box and the file summary.

#include <cstdint>

#include "common/DocumentView.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

inline constexpr const char* kDescriptionSeparator = "----------------------------------------";

void DisplayIsoBoxInfo(DocumentView& view, const IsoParse& parse, std::int64_t nodeIndex);
void DisplayIsoFileInfo(DocumentView& view, const IsoParse& parse, std::uint32_t fileKind);

void AddBoxHeaderLines(DocumentView& view, const BoxRecord& box);
void AddVersionFlagsLines(DocumentView& view, std::uint32_t versionFlags);
void DescribeFtyp(DocumentView& view, const FtypRow& row, const BoxRecord& box);

}  // namespace kestrova
