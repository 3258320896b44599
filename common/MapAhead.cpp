#include "common/MapAhead.h"

#include <cstdint>

#include <sys/mman.h>

namespace kestrova {

void MapForWriting(const void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    const auto first = reinterpret_cast<std::uintptr_t>(begin) & ~(kPage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(begin) + bytes;
    if (bytes > 0) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

}  // namespace kestrova
