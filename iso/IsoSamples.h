#pragma once
// Expands the sample tables of every track (stsz or stz2, stts, stsc, stco or
// co64, stss) into the list of its samples. co64 and stz2 are leaves of the
// walk, so they are read from the file here.

#include "common/FileSource.h"
#include "common/SampleList.h"
#include "iso/Fragments.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

// The movie box's samples, then those of every movie fragment of the file.
SampleList BuildIsoSampleList(FileSource& file, const IsoParse& parse);

// Appends the samples of the file's movie fragments to list, whose tracks
// come from movie (the file's own movie box or an initialisation segment's).
void AddFragmentSamples(FileSource& file, const MovieExtends& movie, SampleList& list);

}  // namespace kestrova
