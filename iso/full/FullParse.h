#pragma once
// The full view of an ISO file: a walk of every box through one table keyed by
// the parent's type and the box's type, the records it leaves, and the small
// context the walk collects for the descriptions. Boxes are described when
// they are clicked, straight from their bytes.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "common/NodeList.h"
#include "iso/Fragments.h"
#include "iso/full/FullSummary.h"

namespace kestrova::full {

class Fields;

// How a box holds children, and where they start.
enum class BoxKind : std::uint8_t {
    Leaf,
    Container,         // children right after the header
    FullContainer,     // version and flags, then children
    CountedContainer,  // version, flags and a 32-bit entry count, then children (stsd, dref)
    SampleEntry,       // children after the entry's own fields (EntryLayout)
    Meta,              // a full box, or QuickTime's meta without version and flags
};

// The layout of a sample entry's own fields, which says where its children start.
enum class EntryLayout : std::uint8_t {
    None,
    Visual,       // children at body 78
    Audio,        // children at body 28
    AudioQtV1,    // stsd version 0, entry version 1: body 44
    AudioQtV2,    // stsd version 0, entry version 2: body 64
    Text,         // tx3g, enct: body 38
    XmlMeta,      // stpp, mett, metx: after their null-terminated strings
    System,       // mp4s, encs: body 8
    Hint,         // rtp, srtp: body 16
    Plain,        // an entry of another handler: 8 bytes of reserved and index, no children
};

// What a tenc (or a seig sample group entry) says of a sample's IV, for senc.
struct IvDefault {
    bool known = false;
    bool isProtected = false;
    std::uint8_t ivSize = 0;          // per-sample IV size; 0 with a constant IV
    std::uint8_t constantIvSize = 0;
    std::uint64_t ivSizeAt = 0;       // absolute offset of the IV size byte
    std::int32_t record = -1;         // the tenc or sgpd it came from
};

// The seig sample groups of one stbl or traf: the sgpd's entries and the sbgp's runs.
struct SeigGroups {
    std::int32_t holder = -1;  // record of the stbl or traf
    std::vector<IvDefault> entries;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;  // sample_count, group_description_index
    bool hasSbgp = false;
};

struct FullTrack {
    std::int32_t trakRecord = -1;
    std::uint32_t trackId = 0;
    std::uint32_t handlerType = 0;
    std::uint32_t timescale = 0;
    IvDefault tenc;
};

struct FullRecord {
    std::int32_t index = 0;
    std::int32_t parent = -1;  // record index of the parent box; -1 at the top
    std::int32_t track = -1;   // index into FullParse::tracks of the trak it lies in
    std::uint64_t offset = 0;
    std::uint64_t extent = 0;  // bytes the box spans in the file (cut to the file's end)
    std::uint64_t largeSize = 0;
    std::uint32_t size = 0;    // the 32-bit size field as read
    std::uint32_t type = 0;
    std::uint8_t headerSize = 8;  // 8, 16 with a 64-bit size; uuid's user type counts as body
    std::uint8_t depth = 0;
    EntryLayout layout = EntryLayout::None;
    bool sizeToEnd = false;       // a size of 0: the box runs to the end of its parent or file
    bool quickTimeMeta = false;   // a meta box without version and flags
    bool cutByParent = false;     // the header says more than the parent or file holds
    std::int32_t rule = -1;       // index into the box table; -1 for an unknown type
    std::uint64_t declaredExtent = 0;  // what the header says, before cutting
    std::uint64_t BodyOffset() const { return offset + headerSize; }
    std::uint64_t BodyLength() const { return extent > headerSize ? extent - headerSize : 0; }
};

struct FullParse {
    std::uint64_t fileSize = 0;
    std::vector<FullRecord> records;
    std::vector<FullTrack> tracks;
    bool recordLimitReached = false;
    bool depthLimitReached = false;
    FileSummary summary;  // worked out once after the walk
    MovieExtends movie;        // the defaults of the fragments (the file's own, or its initialisation segment's)
    FragmentLayout fragments;  // every track run placed, for the trun lines
    bool withInit = false;     // movie came from an initialisation segment
    std::vector<TopLevelBox> topLevel;  // the walk's top-level boxes
    std::vector<SeigGroups> seig;
    std::vector<std::pair<std::int32_t, std::uint32_t>> trafTracks;  // traf record, its tfhd's track_ID
    std::vector<std::pair<std::int32_t, std::vector<std::string>>> keys;  // meta record, its keys box's names
};

// What a describer gets besides the field writer.
struct BoxContext {
    const FullParse& parse;
    const FullRecord& record;
    const FullRecord* parentRecord = nullptr;  // nullptr at the top level
    const FullTrack* track = nullptr;          // nullptr outside a trak
    FileSource* file = nullptr;                // for an item's bytes, which lie outside the box
    std::uint32_t ParentType() const { return parentRecord ? parentRecord->type : 0; }
    std::uint32_t HandlerType() const { return track ? track->handlerType : 0; }
};

using DescribeFn = void (*)(Fields&, const BoxContext&);

// One row of the box table. parent 0 matches under any parent; a row with the
// parent's own type wins over it.
struct BoxRule {
    std::uint32_t parent = 0;
    std::uint32_t type = 0;
    BoxKind kind = BoxKind::Leaf;
    EntryLayout layout = EntryLayout::None;
    DescribeFn describe = nullptr;  // nullptr: the header lines only
    std::uint32_t readLimit = 0;    // bytes of the body a click reads; 0: all (up to the read limit)
};

// The rows each family contributes; BoxTable.cpp joins them into one table.
std::span<const BoxRule> MovieBoxRules();
std::span<const BoxRule> TableBoxRules();
std::span<const BoxRule> TrackEntryBoxRules();
std::span<const BoxRule> SampleEntryRules();
std::span<const BoxRule> AvcHevcBoxRules();
std::span<const BoxRule> OtherVideoBoxRules();
std::span<const BoxRule> AudioConfigBoxRules();
std::span<const BoxRule> FragmentBoxRules();
std::span<const BoxRule> ProtectionBoxRules();
std::span<const BoxRule> MetadataBoxRules();
std::span<const BoxRule> ItemBoxRules();

// The types of the rows that stand for any item of an ilst, and for any
// QuickTime text (a type starting with the copyright sign) of a udta.
inline constexpr std::uint32_t kAnyIlstItem = 0;
inline constexpr std::uint32_t kAnyUdtaText = 0xA9000000;

// The body of a uuid box whose usertype is known (UuidBoxes.cpp lists them),
// after the usertype line, which it names; false when it is not known.
bool DescribeUuidBody(Fields& f, const BoxContext& c, std::span<const std::uint8_t> usertype);
// The uuid bodies the families describe.
void DescribeTfxd(Fields& f, const BoxContext& c);
void DescribeTfrf(Fields& f, const BoxContext& c);
void DescribePiffTrackEncryption(Fields& f, const BoxContext& c);
void DescribePiffSampleEncryption(Fields& f, const BoxContext& c);
void DescribePiffPssh(Fields& f, const BoxContext& c);
// Text shown line by line, each line with its bytes (XMP).
void DescribeTextLines(Fields& f, const BoxContext& c);
// A protection system's name by its SystemID; nullptr when it is not known.
const char* ProtectionSystemName(std::span<const std::uint8_t> id);
// Sixteen bytes as a lower-case UUID.
std::string ProtectionUuidText(std::span<const std::uint8_t> b);

// The row for type under a parent of type parentType; nullptr when none.
const BoxRule* FindBoxRule(std::uint32_t parentType, std::uint32_t type);
const BoxRule& RuleAt(std::int32_t index);
std::int32_t RuleIndex(const BoxRule* rule);

inline constexpr int kMaxDepth = 64;

// Whether the full view opens the file as ISO (the classic scan aside): its
// first box has a known top-level type and a sane size.
bool LooksLikeIsoStart(FileSource& file, std::uint64_t fileSize);
// Told of each top-level moof while the walk holds its body, so that placing
// the fragments needs no second reading of the file.
class MoofSink {
public:
    virtual ~MoofSink() = default;
    virtual void Moof(const TopLevelBox& moof, std::span<const std::uint8_t> body) = 0;
};

// Walks the whole file; adds one node per box under the root node already in tree.
void WalkFull(FileSource& file, std::uint64_t fileSize, NodeList& tree, FullParse& parse, MoofSink* moofs = nullptr);

// The open of the full view: the walk, the summary, and the movie fragments'
// samples placed and added to the summary. With init (an initialisation
// segment), its movie gives the tracks, defaults and timescales of a segment
// that has none of its own.
void ReadFullFile(FileSource& file, NodeList& tree, FullParse& parse, FileSource* init);

// The description of the box of this node (1 or more), read from the file.
void DescribeFullBox(DocumentView& view, FileSource& file, const FullParse& parse, std::int64_t nodeIndex);
// The summary pane of the full view.
void DisplayFullFileInfo(DocumentView& view, const FullParse& parse);

}  // namespace kestrova::full
