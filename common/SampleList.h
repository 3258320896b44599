#pragma once
// Every sample of every track or stream, in decode order, as the graph and
// `kestrova-dump --samples` show them. Built from the decoded tables (iso/,
// avi/); a sample that cannot be placed is left out and a note says why.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kestrova {

// A 64-bit value kept as two 32-bit halves, so that a Sample needs only 4-byte
// alignment and takes 28 bytes without packing.
class SplitU64 {
public:
    constexpr SplitU64(std::uint64_t v = 0)  // NOLINT: converts like the number it holds
        : low_(static_cast<std::uint32_t>(v)), high_(static_cast<std::uint32_t>(v >> 32)) {}
    constexpr operator std::uint64_t() const { return (std::uint64_t{high_} << 32) | low_; }

private:
    std::uint32_t low_;
    std::uint32_t high_;
};

// 28 bytes: a two-hour file's half a million samples stay well under 32 bytes each.
struct Sample {
    SplitU64 offset;             // absolute file offset of the sample's first byte
    SplitU64 dts;                // decode time in the track's timescale units
    std::uint32_t size = 0;
    std::uint32_t duration = 0;  // in timescale units
    std::uint32_t number : 31 = 0;  // 1-based number in its track
    std::uint32_t key : 1 = 0;
};
static_assert(sizeof(Sample) == 28);

// A list never holds more samples than this (about 350 MB); tables that claim
// more are cut here and a note says so.
inline constexpr std::uint64_t kMaxListedSamples = 12'582'912;

// A value the file does not give (a default kept in an initialisation segment
// that was not read): a sample's size or duration, and every later offset or
// time of its run. The lists leave it empty and the graph does not draw it.
inline constexpr std::uint32_t kUnknownSampleValue = 0xFFFFFFFF;
inline constexpr std::uint64_t kUnknownSamplePlace = ~std::uint64_t{0};

struct SampleTrack {
    std::uint32_t id = 0;         // tkhd track ID, or the AVI stream number
    std::uint32_t kind = 0;       // hdlr handler type, or the AVI fccType (fourcc, file order)
    std::uint32_t codec = 0;      // first sample entry type, or the AVI fccHandler
    std::uint32_t timescale = 0;  // units per second: mdhd timescale, or dwRate
    std::vector<Sample> samples;  // in decode order; dts never decreases
    // What was left out of this track, or where its tables disagree, and why.
    std::vector<std::string> notes;
    // The tree node that lists the samples (stsz, stz2 or idx1); -1 when none.
    std::int64_t tableNode = -1;
    // The table node has one line per sample ("   Sample #n" of stsz); false for a
    // constant-size stsz, which has none.
    bool perSampleLines = false;
    // Samples numbered past this come from movie fragments (trun), not the tables.
    std::uint32_t movieSamples = 0;
};

struct SampleList {
    std::vector<SampleTrack> tracks;
    std::vector<std::string> notes;  // about the file as a whole (movie fragments, limits)
};

// `track,sample,dts,timescale,duration,size,offset,key`, one line per sample.
void WriteSamplesCsv(const SampleList& list, std::ostream& out);

}  // namespace kestrova
