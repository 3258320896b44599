#pragma once
// Expands the sample tables of every track (stsz or stz2, stts, stsc, stco or
// co64, stss) into the list of its samples. co64 and stz2 are leaves of the
// walk, so they are read from the file here.

#include "common/FileSource.h"
#include "common/SampleList.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

SampleList BuildIsoSampleList(FileSource& file, const IsoParse& parse);

}  // namespace kestrova
