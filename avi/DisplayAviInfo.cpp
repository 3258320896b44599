#include "avi/DisplayAviInfo.h"

namespace kestrova {

void ShowChunkDescription(DocumentView& view, AviParse&, std::int64_t) { view.ClearBoxDescription(); }
void ShowAviSummary(DocumentView& view, AviParse&, std::uint32_t) { view.ClearFileInfo(); }

}  // namespace kestrova
