#pragma once
// The samples of the file a Document holds, and the way back from a sample to
// the table node and description line it comes from.

#include <cstdint>
#include <optional>

#include "common/SampleList.h"
#include "shell/Document.h"

namespace kestrova {

// Whether the document holds a file whose samples can be listed (MP4/3GP or AVI).
bool HasSampleTables(const Document& doc);

// Reads the tables' file again where the parse kept only part of them (co64,
// stz2, idx1); nullopt when no MP4/3GP or AVI file is open or it cannot be read.
std::optional<SampleList> BuildDocumentSampleList(const Document& doc);

// Clicks the tree node that lists the sample (stsz, stz2 or idx1), selects the
// description line of the sample itself ("   Sample #n" of stsz; the key
// frame's entry of idx1), which lights its bytes, and returns that line; -1
// when the table has no line for it.
std::int64_t ClickSampleSource(Document& doc, const SampleTrack& track, const Sample& sample);

}  // namespace kestrova
