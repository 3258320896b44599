#pragma once
// The summary of the full view: one block for the file and one per track, in
// today's terms, worked out in one pass over the tree after the walk. Every
// value is optional: a file that does not say gets "not stated", never a guess.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/DocumentView.h"
#include "common/FileSource.h"
#include "iso/Fragments.h"

namespace kestrova::full {

struct FullParse;

struct Ratio {
    std::uint64_t num = 0;
    std::uint64_t den = 1;
};

struct TrackSummary {
    std::uint32_t trackId = 0;
    std::uint32_t handler = 0;
    std::string handlerName;
    std::uint32_t entryType = 0;         // the first sample entry's type
    std::uint32_t originalFormat = 0;    // frma of a protected entry
    std::string codecName;               // "H.264/AVC"; "" when unknown
    std::string codecString;             // RFC 6381; "" when unknown
    std::string codecStringLong;         // AV1 and VP9 with colour, when stated
    std::string profile;
    std::string level;
    bool highTier = false;
    std::string tier;                    // "Main" or "High" where the codec has tiers

    // Video.
    std::optional<std::uint32_t> codedWidth, codedHeight;    // from the codec configuration
    std::optional<std::uint32_t> entryWidth, entryHeight;    // the sample entry's
    std::optional<double> tkhdWidth, tkhdHeight;             // 16.16
    std::optional<double> displayWidth, displayHeight;       // after pasp and clap
    std::optional<Ratio> sar;
    std::optional<int> rotation;                             // clockwise degrees
    bool rotationIsPure = true;
    std::optional<Ratio> frameRate;                          // constant rate
    bool variableFrameRate = false;
    double minFrameRate = 0, maxFrameRate = 0;
    std::optional<std::uint32_t> bitDepth;
    std::string chromaFormat;                                // "4:2:0"
    std::optional<std::uint32_t> colourPrimaries, transfer, matrix;
    std::optional<bool> fullRange;
    std::string masteringDisplay;                            // words, when mdcv or SEI says
    std::string lightLevel;

    // Timing and size.
    std::uint32_t timescale = 0;
    std::optional<std::uint64_t> mediaDuration;              // in timescale units
    std::uint64_t tableDuration = 0;                         // the sum of the stts deltas
    std::optional<double> presentationSeconds;               // after the edit list
    std::optional<std::uint64_t> sampleCount;
    std::optional<std::uint64_t> syncSampleCount;            // none: every sample is a sync sample
    bool everySampleSync = false;
    std::optional<std::uint64_t> totalBytes;
    std::string language;

    // Audio.
    std::optional<std::uint32_t> channels;                   // from the codec configuration
    std::optional<std::uint32_t> entryChannels;
    std::string channelLayout;
    std::optional<std::uint32_t> sampleRate;                 // from the codec configuration
    std::optional<std::uint32_t> entrySampleRate;
    std::optional<std::uint32_t> bitsPerSample;

    std::optional<std::string> encryption;                   // the scheme type of a protected entry
    std::string encryptionKid;                               // tenc's default KID as a UUID
    std::vector<std::string> missing;                        // what the track lacks, in words

    std::optional<double> MediaSeconds() const;
    std::optional<std::uint64_t> BitRate() const;
};

// An item of an image file (HEIF, AVIF) as its meta box's properties and references describe it.
struct ItemSummary {
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::string name;
    std::string contentType;                          // a mime item's
    bool primary = false;
    bool hidden = false;
    std::optional<std::uint32_t> width, height;       // ispe
    std::optional<int> rotation;                      // irot, anticlockwise degrees
    std::optional<int> mirrorAxis;                    // imir: 0 vertical, 1 horizontal
    std::vector<std::uint32_t> bitDepths;             // pixi, per channel
    std::string colour;                               // colr in words
    std::optional<std::uint32_t> colourPrimaries, transfer, matrix;
    std::optional<bool> fullRange;
    std::optional<std::uint64_t> bytes;               // what its extents add up to
    std::optional<std::uint32_t> gridRows, gridColumns, outputWidth, outputHeight;  // a grid's ImageGrid
    std::vector<std::uint32_t> tiles;                 // dimg: the images a derived image is made of
    std::vector<std::uint32_t> thumbnails;            // items whose thmb points here
    std::vector<std::uint32_t> auxiliaries;           // items whose auxl points here
    std::optional<std::uint32_t> thumbnailOf, auxiliaryOf;
    std::string auxType;                              // auxC's aux_type
    std::vector<std::uint32_t> describes;             // cdsc: the items a metadata item is about
};

struct FileSummary {
    std::uint32_t majorBrand = 0;
    std::vector<std::uint32_t> compatibleBrands;
    std::uint32_t movieTimescale = 0;
    std::optional<std::uint64_t> movieDuration;
    std::optional<std::uint64_t> creationTime;  // seconds since 1904
    bool hasMovie = false;
    bool hasMvex = false;
    std::string durationSource;                  // " (from mehd)" when the fragments' duration is mehd's
    std::optional<double> samplesSeconds;        // a fragmented file's duration without mehd, from its samples
    std::uint64_t fragments = 0;                 // moof boxes
    std::uint64_t segmentIndexes = 0;            // sidx boxes
    std::vector<std::string> protectionSystems;  // the systems of the pssh boxes, named where known
    struct Chapter {
        double seconds = 0;
        std::string title;
    };
    std::vector<Chapter> chapters;               // from the text track a chap reference points at
    std::uint32_t chapterTrack = 0;
    std::optional<std::uint32_t> primaryItem;    // the top-level meta's pitm
    std::vector<ItemSummary> items;              // the top-level meta's items, in iinf's order
    std::uint64_t itemCount = 0;                 // all of them; items holds the first 10,000
    std::vector<TrackSummary> tracks;
};

FileSummary BuildFileSummary(FileSource& file, const FullParse& parse);
// Adds the samples of the fragments to the tracks they belong to.
void AddFragmentsToSummary(FileSummary& summary, const FragmentLayout& layout, const MovieExtends& movie);
void WriteSummaryLines(DocumentView& view, const FileSummary& summary);

// ISO/IEC 14496-15 Annex E from the hvcC header fields.
std::string HevcCodecString(std::uint32_t entryType, std::uint8_t profileSpace, bool highTier, std::uint8_t profileIdc,
                            std::uint32_t compatibilityFlags, const std::uint8_t (&constraints)[6], std::uint8_t levelIdc);

}  // namespace kestrova::full
