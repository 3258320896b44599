#pragma once

#include <cstdint>

namespace kestrova {

// A walk that would record more than this stops there; the tree shows what was kept.
inline constexpr std::uint32_t kMaxRecords = 1'000'000;

}  // namespace kestrova
