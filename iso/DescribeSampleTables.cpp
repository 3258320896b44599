// Descriptions of the sample tables: the header fields, then every entry
// present, each with the bytes it was read from.

#include "iso/DescribeBoxes.h"
#include "iso/DescribeLines.h"

namespace kestrova {

void DescribeStsz(DocumentView& view, const StszRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Sample Size  : ", row.sampleSize, 4);
    w.Dec32("Sample Count : ", row.sampleCount, 8);
    if (row.sampleSize != 0) return;
    for (std::size_t i = 0; i < row.sampleSizes.size(); ++i)
        w.Entry("   Sample ", i, row.sampleSizes[i], 12 + 4 * i);
}

void DescribeStco(DocumentView& view, const StcoRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Entry Count : ", row.entryCount, 4);
    for (std::size_t i = 0; i < row.chunkOffsets.size(); ++i)
        w.Entry("   Chunk ", i, row.chunkOffsets[i], 8 + 4 * i);
}

void DescribeStss(DocumentView& view, const StssRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Entry Count : ", row.entryCount, 4);
    for (std::size_t i = 0; i < row.sampleNumbers.size(); ++i)
        w.Entry("   Sample ", i, row.sampleNumbers[i], 8 + 4 * i);
}

void DescribeStts(DocumentView& view, const SttsRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Entry Count : ", row.entryCount, 4);
    for (std::size_t i = 0; i < row.entries.size(); ++i) {
        w.Plain("Entry " + EntryNumberText(static_cast<std::int64_t>(i)));
        w.Dec32("   Sample   : ", row.entries[i].sampleCount, 8 + 8 * i);
        w.Dec32("   Duration : ", row.entries[i].sampleDelta, 12 + 8 * i);
    }
}

void DescribeStsc(DocumentView& view, const StscRow& row) {
    LineWriter w(view, row.body);
    w.VersionFlags(row.versionFlags);
    w.Dec32("Entry Count : ", row.entryCount, 4);
    for (std::size_t i = 0; i < row.entries.size(); ++i) {
        w.Plain("Entry " + EntryNumberText(static_cast<std::int64_t>(i)));
        w.Dec32("   first-chunk      : ", row.entries[i].firstChunk, 8 + 12 * i);
        w.Dec32("   sample-per-chunk : ", row.entries[i].samplesPerChunk, 12 + 12 * i);
        w.Dec32("   sample-desc-index: ", row.entries[i].sampleDescriptionIndex, 16 + 12 * i);
    }
}

}  // namespace kestrova
