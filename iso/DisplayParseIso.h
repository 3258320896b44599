#pragma once
// Presentation of the ISO parse: the description of a selected box and the file summary.

#include <cstdint>
#include <string>

#include "common/DocumentView.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

inline constexpr const char* kDescriptionSeparator = "----------------------------------------";

void DisplayIsoBoxInfo(DocumentView& view, const IsoParse& parse, std::int64_t nodeIndex);
void DisplayIsoFileInfo(DocumentView& view, const IsoParse& parse, std::uint32_t fileKind);

// "Start offset", "Box Size" (and "Large Size"), "Box Type"; bytes past fileSize get no range.
void AddBoxHeaderLines(DocumentView& view, const BoxRecord& box, std::uint64_t fileSize);
void AddVersionFlagsLines(DocumentView& view, std::uint32_t versionFlags, const BodyBytes& body);
void DescribeFtyp(DocumentView& view, const FtypRow& row, const BoxRecord& box);

std::string HandlerTypeName(std::uint32_t handlerType);
std::string ObjectTypeName(std::uint32_t objectTypeIndication);

}  // namespace kestrova
