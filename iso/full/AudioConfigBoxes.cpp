#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr BoxRule kRules[] = {
    {0, 0, BoxKind::Leaf},  // placeholder until the family's rows land
};

}  // namespace

std::span<const BoxRule> AudioConfigBoxRules() { return {kRules, 0}; }

}  // namespace kestrova::full
