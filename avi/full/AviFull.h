#pragma once
// The full view of an AVI file: a walk of every chunk (movi's index chunks,
// rec lists and each stream's first data chunk among them), chunks described
// when clicked straight from their bytes with the field writer, and a summary
// per stream and for the file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "avi/AviIndexes.h"
#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "common/NodeList.h"
#include "iso/full/FullSummary.h"

namespace kestrova::full {

struct AviFullRecord {
    std::int32_t index = 0;
    std::int32_t parent = -1;     // record index of the enclosing list; -1 at the top
    std::uint64_t offset = 0;
    std::uint64_t extent = 0;     // header and data as far as the file holds them
    std::uint32_t size = 0;       // the size field
    std::uint32_t id = 0;
    std::uint32_t listType = 0;   // of RIFF and LIST; 0 for a chunk
    std::int32_t stream = -1;     // the strl it lies in, or the stream of a data or index chunk
    std::uint64_t DataOffset() const { return offset + 8; }
    std::uint64_t DataLength() const { return extent > 8 ? extent - 8 : 0; }
};

// One stream block of the summary, from its strh, strf and samples.
struct AviStreamSummary {
    full::TrackSummary track;   // the keys the streams JSON shares with ISO
    std::uint32_t formatTag = 0;
    std::uint32_t blockAlign = 0;
    std::uint32_t sampleSize = 0;
    std::uint64_t avgBytesPerSec = 0;
    std::uint64_t keyFrames = 0;
    std::uint32_t bitsPerPixel = 0;  // biBitCount
    std::string sampleSource;   // "OpenDML index", "idx1", "scan of movi"
    std::optional<bool> vbr;
};

struct AviFullSummary {
    std::uint32_t parts = 0;
    bool openDml = false;
    std::optional<std::uint32_t> dmlhFrames;
    std::optional<std::uint32_t> avihFrames;
    std::optional<std::uint32_t> avihFlags;
    std::vector<std::string> indexes;  // "idx1", "indx (super index) for 2 streams", "ix## chunks: 12"
    std::string interleaving;
    std::vector<std::string> notes;
    std::vector<AviStreamSummary> streams;
};

struct AviFullParse {
    std::uint64_t fileSize = 0;
    std::vector<AviFullRecord> records;
    bool recordLimitReached = false;
    // The data chunks of movi in file order, and how often their stream changes.
    std::uint64_t dataChunks = 0;
    std::uint64_t streamChanges = 0;
    AviLayout layout;
    AviFullSummary summary;
};

// Whether the file starts as an AVI file: "RIFF" then the form type "AVI ".
bool LooksLikeAviStart(FileSource& file);
// Adds one node per chunk under the root node already in tree.
void WalkAviFull(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviFullParse& parse);
// The description of the chunk of this node (1 or more), read from the file.
void DescribeAviChunk(DocumentView& view, FileSource& file, const AviFullParse& parse, std::int64_t nodeIndex);
// Works out parse.summary (the samples are read again for the counts).
void BuildAviFullSummary(FileSource& file, AviFullParse& parse);
void DisplayAviFullInfo(DocumentView& view, const AviFullParse& parse);

// Names of codes, for the descriptions and the summary; "" when unknown.
std::string AviVideoCodecName(std::uint32_t fourcc);
std::string AviAudioFormatName(std::uint32_t tag);
std::string SpeakerName(unsigned bit);
std::string SubFormatName(const std::uint8_t (&guid)[16]);
std::string InfoItemName(std::uint32_t id);

}  // namespace kestrova::full
