#pragma once
// The box parsers the walk calls; each reads its box body once and appends the
// box's row, setting box.row to it. Internal to the ISO parser.

#include "iso/Mp4ParseIso.h"

namespace kestrova {

void ParseFtyp(FileSource& file, IsoParse& parse, BoxRecord& box);

}  // namespace kestrova
