#pragma once
// The ISO base media (MP4/3GP) parser: the recognition scan, the box walk that
// records every box and adds its tree node, and the rows of the boxes it decodes.
//
// Every decoded box has a row of its own (BoxRecord::row into the vector of its
// type), so a description always shows the box that was clicked. typeIndex
// stays the number the box tables have always given, because tools show it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/DocumentView.h"
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
    std::int32_t row = -1;        // this box's decoded row in the vector of its type; -1 for none
    // The box's extent in the file: the 64-bit size where there is one.
    std::uint64_t Extent() const { return size == 1 && largeSize >= 16 ? largeSize : size; }
    std::uint32_t HeaderLength() const { return size == 1 ? 16 : 8; }
    std::uint64_t BodyOffset() const { return offset + HeaderLength(); }
};

struct BoxHeader {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t type = 0;
};

// Where a decoded box body lies in the file and how much of it was read. A
// field's byte range is the part of it that was read: a field past the end of
// the box or the file reads as 0 and has no range, one cut by that end points
// at the bytes it was made of.
struct BodyBytes {
    std::uint64_t offset = 0;  // absolute offset of the first byte after the box header
    std::uint64_t length = 0;  // bytes of the body that were read
    bool Has(std::uint64_t pos, std::uint64_t len) const { return pos <= length && len <= length - pos; }
    ByteRange Field(std::uint64_t pos, std::uint64_t len) const {
        if (len == 0 || pos >= length) return {};
        return {offset + pos, len < length - pos ? len : length - pos};
    }
};

// The common start of every row: the box header and where its body was read.
struct RowBase {
    BoxHeader header;
    BodyBytes body;
};

// The 3GPP annotation types of "udta": cprt, titl, auth, dscp, perf, gnre, albm.
bool IsAnnotationType(std::uint32_t type);

// A packed ISO-639-2/T language: bit 0 the pad bit, then three 5-bit letter codes.
std::uint16_t PackedLanguageBits(std::uint8_t b0, std::uint8_t b1);

// A text stored in a box, as shown: up to its first zero, decoded to UTF-8.
struct BoxText {
    std::string text;
    std::uint32_t pos = 0;  // body position of its first byte
    std::uint32_t len = 0;  // bytes shown (the zero not included); 0 for an empty text
};

// ---- Header boxes -------------------------------------------------------

struct FtypRow : RowBase {
    std::uint32_t majorBrand = 0;
    std::uint16_t minorVersionHigh = 0;
    std::uint16_t minorVersionLow = 0;
    std::vector<std::uint32_t> compatibleBrands;  // brands wholly read, from body byte 8
};

// Version 1 stores the three times 64-bit; fields after them move by 12 bytes.
struct MvhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint32_t rate = 0;
    std::uint16_t volume = 0;
    std::array<std::uint8_t, 10> reserved{};
    std::array<std::uint32_t, 9> matrix{};
    std::array<std::uint32_t, 6> preDefined{};
    std::uint32_t nextTrackId = 0;
    std::uint32_t Version() const { return versionFlags & 0xFF; }
};

// A descriptor length (1 to 4 bytes) and where it stood.
struct DescriptorLength {
    std::uint32_t value = 0;
    std::uint32_t pos = 0;    // body position of its first byte
    std::uint32_t bytes = 0;  // how many length bytes were read; 0 when not reached
};

struct EsIdIncEntry {
    std::uint8_t tag = 0;
    std::uint32_t tagPos = 0;
    DescriptorLength length;
    std::uint32_t trackId = 0;
    std::uint32_t trackIdPos = 0;
};

struct IodsRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint8_t descriptorTag = 0;
    bool initialDescriptor = false;  // the tag was 0x10 and the rest was decoded
    DescriptorLength descriptorLength;
    std::uint32_t fieldsPos = 0;     // body position of the object descriptor word
    std::uint16_t objectDescriptorWord = 0;
    std::uint8_t odProfileLevel = 0;
    std::uint8_t sceneProfileLevel = 0;
    std::uint8_t audioProfileLevel = 0;
    std::uint8_t visualProfileLevel = 0;
    std::uint8_t graphicsProfileLevel = 0;
    std::vector<EsIdIncEntry> esIdInc;
};

// Version 1: times and duration 64-bit; track ID at 20, duration at 28, the
// rest 12 bytes later than in version 0.
struct TkhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t trackId = 0;
    std::uint32_t reserved1 = 0;
    std::uint64_t duration = 0;
    std::uint32_t reserved2 = 0;
    std::uint32_t reserved3 = 0;
    std::uint16_t layer = 0;
    std::uint16_t alternateGroup = 0;
    std::uint16_t volume = 0;
    std::uint16_t reserved4 = 0;
    std::array<std::uint32_t, 9> matrix{};
    std::uint32_t width = 0;   // 16.16
    std::uint32_t height = 0;  // 16.16
    std::uint32_t Version() const { return versionFlags & 0xFF; }
};

struct MpodRow : RowBase {
    std::vector<std::uint32_t> trackIds;  // IDs wholly inside the box and the file
};

struct MdhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint16_t language = 0;  // PackedLanguageBits
    std::uint16_t preDefined = 0;
    std::uint32_t Version() const { return versionFlags & 0xFF; }
};

struct HdlrRow : RowBase {
    std::uint32_t versionFlags = 0;
    bool decoded = false;  // version 0 only
    std::uint32_t preDefined = 0;
    std::uint32_t handlerType = 0;
    std::array<std::uint32_t, 3> reserved{};
    BoxText name;
};

struct VmhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint16_t graphicsMode = 0;
    std::array<std::uint16_t, 3> opcolor{};
};

struct SmhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint16_t balance = 0;
    std::uint16_t reserved = 0;
};

// Also holds a "hint" box met inside minf.
struct HmhdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint16_t maxPduSize = 0;
    std::uint16_t avgPduSize = 0;
    std::uint32_t maxBitrate = 0;
    std::uint32_t avgBitrate = 0;
    std::uint32_t slidingAvgBitrate = 0;
};

struct DrefRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
};

struct UrlRow : RowBase {
    std::uint32_t versionFlags = 0;
};

// One 3GPP annotation (cprt, titl, auth, dscp, perf, gnre, albm).
struct MetaTextRow : RowBase {
    std::uint32_t versionFlags = 0;
    bool hasLanguage = false;  // not stored when the flags are exactly 1
    std::uint16_t language = 0;
    BoxText text;
};

// ---- Sample tables ------------------------------------------------------

struct StsdRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
};

// Entry i of every table lies at body position 8 + i * (entry size), 12 + 4i for stsz.
struct StszRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t sampleSize = 0;
    std::uint32_t sampleCount = 0;
    std::uint64_t totalBytes = 0;            // sum of the listed sizes, or sampleSize x sampleCount
    std::vector<std::uint32_t> sampleSizes;  // only when sampleSize is 0: the entries present
};

struct SttsEntry {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleDelta = 0;
};

struct SttsRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
    std::vector<SttsEntry> entries;  // the entries present
};

struct StscEntry {
    std::uint32_t firstChunk = 0;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t sampleDescriptionIndex = 0;
};

struct StscRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
    std::vector<StscEntry> entries;
};

struct StcoRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
    std::vector<std::uint32_t> chunkOffsets;
};

struct StssRow : RowBase {
    std::uint32_t versionFlags = 0;
    std::uint32_t entryCount = 0;
    std::vector<std::uint32_t> sampleNumbers;
};

// ---- Sample entries and descriptors --------------------------------------

// mp4v and s263 (body positions as the fields' order gives them).
struct VisualEntryRow : RowBase {
    std::array<std::uint8_t, 6> reservedBytes{};
    std::uint16_t dataReferenceIndex = 0;
    std::array<std::uint8_t, 16> preDefinedBytes{};
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t horizResolution = 0;
    std::uint32_t vertResolution = 0;
    std::uint32_t reserved = 0;
    std::uint16_t frameCount = 0;
    std::array<std::uint8_t, 32> compressorName{};
    std::uint16_t depth = 0;
    std::uint16_t preDefined = 0;
    // s263 only: the H.263 configuration that follows the fixed fields.
    std::uint32_t d263Size = 0;
    std::uint32_t d263Type = 0;
    std::uint32_t vendor = 0;
    std::uint8_t decoderVersion = 0;
    std::uint8_t h263Level = 0;
    std::uint8_t h263Profile = 0;
};

// AMR (damr) or EVRC (devc) decoder configuration. Its fields start at body
// position base of body: 36 in a samr entry's own body, 0 in a devc box or in
// a configuration box described on its own.
struct DecoderConfigFields {
    BodyBytes body;
    std::uint32_t base = 0;
    std::uint64_t boxOffset = 0;
    std::uint32_t boxSize = 0;
    std::uint32_t boxType = 0;
    std::uint32_t vendor = 0;
    std::uint8_t decoderVersion = 0;
    std::uint16_t modeSet = 0;           // damr
    std::uint8_t modeChangePeriod = 0;   // damr
    std::uint8_t framesPerSample = 0;
};

// mp4a, samr and sevc.
struct AudioEntryRow : RowBase {
    std::array<std::uint8_t, 6> reservedBytes{};
    std::uint16_t dataReferenceIndex = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;
    std::uint16_t channelCount = 0;
    std::uint16_t sampleSize = 0;
    std::uint16_t preDefined16 = 0;  // mp4a: body 20-21
    std::uint16_t reserved16 = 0;    // mp4a: body 22-23
    std::uint32_t preDefined32 = 0;  // samr, sevc: body 20-23
    std::uint16_t sampleRateHigh = 0;
    std::uint16_t sampleRateLow = 0;
    bool hasConfig = false;          // samr: the configuration box was decoded; sevc: a devc was met
    DecoderConfigFields config;
};

struct Mp4sRow : RowBase {
    std::array<std::uint8_t, 6> reservedBytes{};
    std::uint16_t dataReferenceIndex = 0;
};

// A single descriptor byte and where it stood (pos 0 with present false: not reached).
struct DescriptorByte {
    std::uint8_t value = 0;
    std::uint32_t pos = 0;
    bool present = false;
};

// What the audio form of the descriptor parse found in an AudioSpecificConfig.
struct AudioConfig {
    bool decoded = false;
    std::uint32_t objectType = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t channelConfiguration = 0;
    std::uint32_t channelCount = 0;  // what plays: a mono core with parametric stereo is 2
    std::int32_t sbr = 0;            // 1 signalled, 0 absent or not signalled
};

struct EsdsRow : RowBase {
    std::uint32_t versionFlags = 0;
    DescriptorByte esTag;
    DescriptorLength esLength;
    std::uint16_t esId = 0;
    std::uint32_t esIdPos = 0;
    std::uint8_t esFlags = 0;  // bit 0 dependence, 1 URL, 2 OCR, 3-7 priority
    std::uint32_t esFlagsPos = 0;
    bool hasEsHeader = false;
    std::uint16_t dependsOnEsId = 0;
    std::uint8_t urlLength = 0;
    DescriptorByte dcdTag;
    DescriptorLength dcdLength;
    bool hasDecoderConfig = false;
    std::uint8_t objectTypeIndication = 0;
    std::uint32_t streamTypeWord = 0;  // bits 0-5 stream type, 6 upstream, 7 reserved, 8-31 buffer size
    std::uint32_t decoderConfigPos = 0;  // body position of objectTypeIndication
    std::uint32_t maxBitrate = 0;
    std::uint32_t avgBitrate = 0;
    DescriptorByte dsiTag;
    DescriptorLength dsiLength;
    std::uint32_t dsiPos = 0;   // body position of the decoder-specific bytes
    std::uint32_t dsiBytes = 0; // how many of them lie in the box
    DescriptorByte slTag;
    DescriptorLength slLength;
    DescriptorByte slPredefined;
    AudioConfig audio;  // the audio form only
};

// ---- Tracks and the summary --------------------------------------------

// The values the walk carries from box to box: the track most recently walked.
struct CurrentTrackInfo {
    std::uint32_t sampleEntryType = 0;
    std::uint32_t trackId = 0;
    std::uint64_t duration = 0;
    std::uint32_t volume = 0;
    std::uint32_t timescale = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// One "trak" and what its boxes decoded: row numbers into the vectors of
// IsoBoxTables (-1 where the track has none; the last one where it has several).
struct IsoTrack {
    std::int32_t trakRecord = -1;
    std::int32_t tkhd = -1;
    std::int32_t mdhd = -1;
    std::int32_t hdlr = -1;
    std::int32_t stsd = -1;
    std::int32_t stsz = -1;
    std::int32_t stts = -1;
    std::int32_t stsc = -1;
    std::int32_t stco = -1;
    std::int32_t stss = -1;
    std::int32_t co64Record = -1;  // records of the tables kept as leaves
    std::int32_t stz2Record = -1;
    std::vector<std::int32_t> entryRecords;  // the sample entries under its stsd, in order
    // What the summary takes from a video track: the esds of its last mp4v
    // entry (-1 for none) and the resolution its own tkhd and entries give.
    std::int32_t videoEsds = -1;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct IsoSummaryInfo {
    std::uint32_t audioChannelCount = 0;
    std::uint32_t audioSampleRate = 0;
    std::uint32_t audioFramesPerSample = 0;
    std::int32_t audioSbr = 0;
    std::uint32_t amrMode = 0;
    std::uint32_t audioTimeScale = 0;
    std::uint32_t videoSampleCount = 0;
    std::uint32_t videoSyncSampleCount = 0;
    std::uint64_t videoTotalBytes = 0;
    std::uint8_t videoObjectType = 0;
    std::uint8_t audioObjectType = 0;
    std::uint32_t videoHeaderSize = 0;
    std::uint32_t videoWidth = 0;   // the video track's own resolution
    std::uint32_t videoHeight = 0;
};

// Counters of the box types that number their boxes; a box's typeIndex is its
// counter's value when it is met.
struct IsoCounters {
    std::int32_t trak = 0, tref = 0, mdia = 0, minf = 0, stbl = 0;
    std::int32_t tkhd = 0, mpod = 0, mdhd = 0, hdlr = 0, vmhd = 0, smhd = 0;
    std::int32_t dref = 0, url = 0, udta = 0;
    std::int32_t stsd = 0, stts = 0, stss = 0, stsz = 0, stsc = 0, stco = 0;
    std::int32_t samr = 0, mp4s = 0, esds = 0;
};

struct IsoBoxTables {
    std::vector<FtypRow> ftyp;
    std::vector<MvhdRow> mvhd;
    std::vector<IodsRow> iods;
    std::vector<TkhdRow> tkhd;
    std::vector<MpodRow> mpod;
    std::vector<MdhdRow> mdhd;
    std::vector<HdlrRow> hdlr;
    std::vector<VmhdRow> vmhd;
    std::vector<SmhdRow> smhd;
    std::vector<HmhdRow> hmhd;
    std::vector<DrefRow> dref;
    std::vector<UrlRow> url;
    std::vector<MetaTextRow> metaText;
    std::vector<StsdRow> stsd;
    std::vector<StszRow> stsz;
    std::vector<SttsRow> stts;
    std::vector<StscRow> stsc;
    std::vector<StcoRow> stco;
    std::vector<StssRow> stss;
    std::vector<VisualEntryRow> visual;  // mp4v, s263
    std::vector<AudioEntryRow> audio;    // mp4a, samr, sevc; their damr and devc point here too
    std::vector<Mp4sRow> mp4s;
    std::vector<EsdsRow> esds;
    IsoCounters counters;
};

struct IsoParse {
    std::uint64_t fileSize = 0;
    std::vector<BoxRecord> records;
    IsoBoxTables tables;
    std::vector<IsoTrack> tracks;
    CurrentTrackInfo trackInfo;
    IsoSummaryInfo summary;
    bool recordLimitReached = false;
};

// 1: an ISO file, walked; 2: media data but no movie box before a size-0 header; 0: not ISO.
std::uint8_t IsIsoFile(FileSource& file, std::uint64_t fileSize);
std::uint8_t ParseIsoFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse);
void WalkTopLevel(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse);

// Record of the tree node with this absolute index (1 or more).
const BoxRecord& GetBoxRecord(const IsoParse& parse, std::int64_t nodeIndex);

// The video width and height the walk holds (the tkhd lines show them).
inline std::uint32_t TrackWidth(const IsoParse& parse) { return parse.trackInfo.width; }
inline std::uint32_t TrackHeight(const IsoParse& parse) { return parse.trackInfo.height; }

}  // namespace kestrova
