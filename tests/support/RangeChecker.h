#pragma once
// Clicks every node of an opened document and checks the byte range of every
// description line against the file: a line that shows a value read from the
// file has a range, every range lies inside the file, and a line that shows
// one whole field in a DecHex or Hex32 form shows the bytes of its range.

#include <string>
#include <vector>

#include "shell/Document.h"

namespace kestrova::test {

// Turns the checks of ISO descriptions off (AVI ones are always checked).
inline constexpr bool kCheckIsoRanges = true;

// Failures, one text each ("node N line L: why: the line"); empty when all is well.
// Clicks every node of the document's ISO or AVI file.
std::vector<std::string> CheckDescriptionRanges(Document& doc);
// The same checks on what BOX_Description holds now; where names it in the texts.
std::vector<std::string> CheckPaneRanges(const Document& doc, const std::string& where);

}  // namespace kestrova::test
