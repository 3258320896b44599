#pragma once
// How the walk turns what it decoded into the summary: each audio entry sets
// the audio values anew, and the video values come from one video track alone.

#include <vector>

#include "iso/Mp4ParseIso.h"

namespace kestrova {

void SetMp4aAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry, const std::vector<EsdsRow>& esdsRows,
                  const std::vector<std::int32_t>& entryEsds);
void SetSamrAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry);
// complete: the entry's child walk ran to its end (no child of size 0 stopped it).
void SetSevcAudio(IsoSummaryInfo& summary, const AudioEntryRow& entry, bool complete);
// The video values of the last track that has a video sample entry.
void SetVideoSummary(IsoParse& parse);

}  // namespace kestrova
