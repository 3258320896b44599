// The movie, track and media boxes of the full view, and the containers of
// ISO/IEC 14496-12 and QuickTime that hold them.

#include "common/Formatters.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

constexpr BoxRule kRules[] = {
    // Containers: children straight after the header.
    {0, F("moov"), BoxKind::Container}, {0, F("trak"), BoxKind::Container}, {0, F("edts"), BoxKind::Container},
    {0, F("mdia"), BoxKind::Container}, {0, F("minf"), BoxKind::Container}, {0, F("dinf"), BoxKind::Container},
    {0, F("stbl"), BoxKind::Container}, {0, F("mvex"), BoxKind::Container}, {0, F("moof"), BoxKind::Container},
    {0, F("traf"), BoxKind::Container}, {0, F("mfra"), BoxKind::Container}, {0, F("udta"), BoxKind::Container},
    {0, F("tref"), BoxKind::Container}, {0, F("iprp"), BoxKind::Container}, {0, F("ipco"), BoxKind::Container},
    {0, F("sinf"), BoxKind::Container}, {0, F("schi"), BoxKind::Container}, {0, F("rinf"), BoxKind::Container},
    {0, F("strk"), BoxKind::Container}, {0, F("strd"), BoxKind::Container}, {0, F("meco"), BoxKind::Container},
    {0, F("grpl"), BoxKind::Container}, {0, F("trgr"), BoxKind::Container}, {0, F("edts"), BoxKind::Container},
    {0, F("ilst"), BoxKind::Container}, {0, F("wave"), BoxKind::Container}, {0, F("gmhd"), BoxKind::Container},
    {0, F("tapt"), BoxKind::Container}, {0, F("sv3d"), BoxKind::Container}, {0, F("proj"), BoxKind::Container},
    // A full box and then children.
    {0, F("meta"), BoxKind::Meta},
    {0, F("dref"), BoxKind::CountedContainer},
    {0, F("stsd"), BoxKind::CountedContainer},
};

}  // namespace

std::span<const BoxRule> MovieBoxRules() { return kRules; }

}  // namespace kestrova::full
