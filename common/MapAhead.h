#pragma once
// The first write to each page of fresh memory faults on its own, and under a
// hypervisor every fault is dear: a walk that appends tens of thousands of
// rows spends more in faults than in reading. A table that grows inside room
// it reserved has the next stretch of that room mapped in one call instead.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kestrova {

// Maps up to bytes of memory from begin for writing; a hint, ignored where the
// system cannot do it.
void MapForWriting(const void* begin, std::size_t bytes);

// Called after each append: at every stretch of rows, maps the next stretch
// of the vector's reserved room.
template <typename T>
void MapAheadOf(const std::vector<T>& rows) {
    constexpr std::size_t kStretch = 4096;
    if (rows.size() % kStretch != 1 || rows.capacity() <= rows.size()) return;
    const std::size_t ahead = std::min(kStretch, rows.capacity() - rows.size());
    MapForWriting(rows.data() + rows.size(), ahead * sizeof(T));
}

}  // namespace kestrova
