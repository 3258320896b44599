#pragma once
// Expands the sample tables of every track (stsz or stz2, stts, stsc, stco or
// co64, stss) into the list of its samples. co64 and stz2 are leaves of the
// walk, so they are read from the file here.

#include "common/FileSource.h"
#include "common/SampleList.h"
#include "iso/Fragments.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

// What an open already knows of the fragments, so that listing them reads less.
struct FragmentHints {
    const std::vector<TopLevelBox>* topLevel = nullptr;  // the file's top-level boxes
    const FragmentLayout* placed = nullptr;              // their samples counted, for reserving the lists
};

// The movie box's samples, then those of every movie fragment of the file.
SampleList BuildIsoSampleList(FileSource& file, const IsoParse& parse, const FragmentHints& hints = {});

// Appends the samples of the file's movie fragments to list, whose tracks
// come from movie (the file's own movie box or an initialisation segment's).
void AddFragmentSamples(FileSource& file, const MovieExtends& movie, SampleList& list, const FragmentHints& hints = {});

}  // namespace kestrova
