#pragma once
// The ISO base media (MP4/3GP) parser: the recognition scan, the box walk that
// records every box and adds its tree node, and the rows of the boxes it decodes.

#include <cstdint>
#include <vector>

#include "common/FileSource.h"
#include "common/NodeList.h"

namespace kestrova {

// What one read of a box body may take, like the shared read buffer it replaces.
inline constexpr std::uint64_t kMaxBoxRead = 0x3000000;

struct BoxRecord {
    std::int32_t index = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;       // the 32-bit size field as read
    std::uint32_t type = 0;
    std::int32_t typeIndex = 0;
    std::uint64_t largeSize = 0;  // the 64-bit size that follows a size field of 1, else 0
    // The box's extent in the file: the 64-bit size where there is one.
    std::uint64_t Extent() const { return size == 1 && largeSize >= 16 ? largeSize : size; }
    std::uint32_t HeaderLength() const { return size == 1 ? 16 : 8; }
};

struct BoxHeader {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t type = 0;
};

struct FtypRow {
    BoxHeader header;
    std::uint64_t extent = 0;  // the 64-bit size where the box has one
    std::uint32_t headerLength = 8;
    std::uint32_t majorBrand = 0;
    std::uint16_t minorVersionHigh = 0;
    std::uint16_t minorVersionLow = 0;
    std::vector<std::uint32_t> compatibleBrands;
};

// Counters of the box types that number their boxes; a box's typeIndex is its
// counter's value when it is met.
struct IsoCounters {
    std::int32_t trak = 0, tref = 0, mdia = 0, minf = 0, stbl = 0;
    std::int32_t tkhd = 0, mpod = 0, mdhd = 0, hdlr = 0, vmhd = 0, smhd = 0;
    std::int32_t dref = 0, url = 0, udta = 0;
    std::int32_t stsd = 0, stts = 0, stss = 0, stsz = 0, stsc = 0, stco = 0;
};

struct IsoBoxTables {
    FtypRow ftyp;
    IsoCounters counters;
};

struct IsoParse {
    std::vector<BoxRecord> records;
    IsoBoxTables tables;
    bool recordLimitReached = false;
};

// 1: an ISO file, walked; 2: media data but no movie box before a size-0 header; 0: not ISO.
std::uint8_t IsIsoFile(FileSource& file, std::uint64_t fileSize);
std::uint8_t ParseIsoFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse);
void WalkTopLevel(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse);

// Record of the tree node with this absolute index (1 or more).
const BoxRecord& GetBoxRecord(const IsoParse& parse, std::int64_t nodeIndex);

// Box parsers; each reads its box whole.
void ParseFtyp(FileSource& file, IsoParse& parse, const BoxRecord& box);

}  // namespace kestrova
