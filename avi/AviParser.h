#pragma once
// The RIFF AVI parser: the chunk walk that records every chunk and list it
// knows and adds its tree node, and the header, stream and index values that
// the presentation shows later without reading the file again.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ByteReader.h"
#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "common/NodeList.h"
#include "common/TextBytes.h"

namespace kestrova {

struct ChunkRecord {
    std::int32_t index = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;      // data bytes, header not included
    std::uint32_t id = 0;
    std::uint32_t listType = 0;  // form or list type; 0 for leaf chunks
    std::int32_t stream = 0;
    std::int32_t row = -1;       // a "strf": its format in AviParse::formats
    // False for the "JUNK" that stands for a list of type "JUNK": its id is the
    // list type, and its size of 0 is not in the file.
    bool sizeInFile = true;
};

// Where a chunk's data was read: its first byte and how many bytes were read.
// A field's range is the part of it that was read: none when the chunk or the
// file ends before it, its first bytes when they end inside it (the value is
// then made of those bytes, the others reading as 0).
struct AviDataBytes {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    ByteRange Field(std::uint64_t pos, std::uint64_t len) const {
        if (pos >= length) return {};
        return {offset + pos, len < length - pos ? len : length - pos};
    }
};

// The fields of one "strh" chunk; the frame rectangle after them is not kept.
struct AviStreamRecord {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    AviDataBytes data;  // the "strh" these were read from
};

// "avih" as fourteen words, in file order.
struct AviMainHeader {
    std::uint32_t dwMicroSecPerFrame = 0;
    std::uint32_t dwMaxBytesPerSec = 0;
    std::uint32_t dwPaddingGranularity = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwTotalFrames = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwStreams = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwWidth = 0;
    std::uint32_t dwHeight = 0;
    std::array<std::uint32_t, 4> dwReserved{};
    AviDataBytes data;  // the "avih" these were read from
};

// WAVEFORMATEX of an "auds" stream.
struct AviAudioFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

// BITMAPINFOHEADER of a "vids" stream; biCompression in file order.
struct AviVideoFormat {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::uint32_t biXPelsPerMeter = 0;
    std::uint32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

// The first bytes of one "strf", kept until the stream's type is known: its
// "strh" may come before or after it.
struct AviStreamFormat {
    static constexpr std::size_t kBytes = 40;  // a BITMAPINFOHEADER; a WAVEFORMATEX takes 18
    AviDataBytes data;
    std::array<std::uint8_t, kBytes> bytes{};
    ByteReader Reader() const { return ByteReader({bytes.data(), static_cast<std::size_t>(data.length)}); }
};

AviAudioFormat ReadAudioFormat(const ByteReader& r);
AviVideoFormat ReadVideoFormat(const ByteReader& r);

// One video entry of an "idx1" chunk, with where the 16-byte entry itself lies.
struct VideoIndexEntry {
    std::uint32_t ckid = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwChunkOffset = 0;
    std::uint32_t dwChunkLength = 0;
    std::uint64_t entryOffset = 0;
};

// Key frames whose index entry is kept for the listing; the ones after are
// counted and take part in the statistics, but are not listed.
inline constexpr std::size_t kMaxListedKeyFrames = 200'000;

struct AviSummaryInfo {
    std::uint32_t riffAviSize = 0;
    std::uint32_t riffAvixSize = 0;  // of the last "AVIX"
    std::uint64_t fileSize = 0;
    // Derived by the summary each time it is written.
    std::uint64_t durationSeconds = 0;
    std::uint32_t totalKbps = 0;
    std::uint32_t videoKbps = 0;
    std::uint32_t audioKbps = 0;
    float frameRate = -1.0f;  // videoRate / videoScale, -1 without a usable video header
    std::uint32_t totalFrames = 0;
    std::uint32_t keyFrameCount = 0;
    std::uint32_t videoEntryCount = 0;
    std::uint32_t audioEntryCount = 0;
    std::uint32_t videoRate = 0;   // of the last video stream header
    std::uint32_t videoScale = 0;
    float aspectRatio = 0.0f;      // biWidth / biHeight of the last video format
    float aspectBase = 0.0f;
    AviMainHeader mainHeader;
    AviAudioFormat audioFormat;    // of the last audio stream
    AviVideoFormat videoFormat;    // of the last video stream
    std::string toolName;          // of the last "ISFT"
    AviDataBytes toolNameBytes;    // the bytes it was taken from, the zero not included
    // Every index chunk appends here; ordinals count on across them.
    std::vector<std::uint32_t> keyFrameOrdinals;  // each key frame's number among the video entries
    std::vector<VideoIndexEntry> keyFrameEntries; // the first kMaxListedKeyFrames key frames' entries
};

struct AviParse {
    std::vector<ChunkRecord> records;
    bool recordLimitReached = false;
    // The walk met overlapping levels so often that it stopped early.
    bool walkBudgetExhausted = false;
    // Slot N holds the "strh" of stream N; slots grow as stream headers are met.
    std::vector<AviStreamRecord> streams;
    std::uint32_t streamCounter = 0;  // "strl" lists met in the walk
    // One per "strf" chunk, in file order (ChunkRecord::row).
    std::vector<AviStreamFormat> formats;
    AviSummaryInfo summary;

    // The slot of stream n, zeros when that stream has no captured header.
    const AviStreamRecord& Stream(std::int64_t n) const;
};

// 4 when the file was taken as AVI (its summary is then written), 0 when not
// (the refusal line is then in BOX_Description).
std::uint32_t ParseAviFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviParse& parse,
                           DocumentView& view);

// Record of the tree node with this absolute index (1 or more).
const ChunkRecord& GetChunkRecord(const AviParse& parse, std::int64_t nodeIndex);

}  // namespace kestrova
