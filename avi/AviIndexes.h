#pragma once
// Where an AVI file's samples are: its RIFF parts and movi lists, the stream
// headers and their OpenDML super indexes (indx), idx1, and a scan of movi for
// what no index covers. Both views list samples through this.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/FileSource.h"
#include "common/SampleList.h"

namespace kestrova {

struct AviPartLayout {
    std::uint64_t offset = 0;       // the RIFF header
    std::uint32_t formType = 0;     // "AVI " or "AVIX"
    std::uint64_t moviOffset = 0;   // the LIST header of its movi; 0 when none
    std::uint64_t moviEnd = 0;      // the end its header declares
};

struct AviStreamLayout {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t sampleSize = 0;
    std::uint64_t indxOffset = 0;  // the chunk header; 0 when the stream has no indx
    std::uint32_t indxSize = 0;
};

struct AviIdx1Layout {
    std::uint64_t offset = 0;  // the chunk header
    std::uint32_t size = 0;
    std::uint64_t moviOffset = 0;  // the movi list before it; 0 when none
    std::uint64_t moviEnd = 0;
};

struct AviLayout {
    std::vector<AviPartLayout> parts;
    std::vector<AviStreamLayout> streams;
    std::vector<AviIdx1Layout> idx1;
};

// The offset of the chunk after the one at `at` with this data size: RIFF pads
// odd sizes to even, but some writers do not, so the pad byte is skipped only
// when a chunk id follows it or none follows without it.
std::uint64_t NextChunkOffset(FileSource& file, std::uint64_t at, std::uint32_t size);
// Four bytes that can be a chunk id: printable ASCII.
bool IsChunkId(std::uint32_t id);

AviLayout ReadAviLayout(FileSource& file);

enum class AviSampleOrigin : std::uint8_t { Idx1, StandardIndex, Scan };

struct AviSampleVisit {
    std::uint32_t stream = 0;
    std::uint64_t ordinal = 0;      // 0-based in its stream
    std::uint64_t dataOffset = 0;   // the first byte after the chunk header
    std::uint32_t size = 0;
    bool key = false;
    AviSampleOrigin origin = AviSampleOrigin::Scan;
    std::uint64_t entryOffset = 0;  // the index entry (none for a scanned chunk)
    std::uint64_t more = 0;         // entries of its stream that follow in the same ix## chunk
};

// Every placed sample of every stream; stops when visit returns false. Notes
// about what was left out go to notes when it is given.
void VisitAviSamples(FileSource& file, const AviLayout& layout, const std::function<bool(const AviSampleVisit&)>& visit,
                     SampleList* notes = nullptr);

// The samples and, per track, where most of them came from.
struct AviSamples {
    SampleList list;
    std::vector<AviSampleOrigin> origins;  // one per track
};
AviSamples ReadAviSamples(FileSource& file, const AviLayout& layout);

// Sample `number` (1-based) of a stream as ReadAviSamples numbers it.
std::optional<AviSampleVisit> LocateAviSample(FileSource& file, const AviLayout& layout, std::uint32_t stream,
                                              std::uint32_t number);

}  // namespace kestrova
