#include "shell/StreamSamples.h"

#include "avi/AviSamples.h"
#include "common/Formatters.h"
#include "iso/IsoSamples.h"

namespace kestrova {

bool HasSampleTables(const Document& doc) {
    return ((doc.FileKind() & (kFileKindIso | kFileKindIsoWithoutMovie)) && doc.Iso()) ||
           ((doc.FileKind() & kFileKindAvi) && doc.Avi());
}

std::optional<SampleList> BuildDocumentSampleList(const Document& doc) {
    if (!HasSampleTables(doc)) return std::nullopt;
    FileSource file;
    if (!file.Open(doc.FilePath())) return std::nullopt;
    if (doc.Iso()) {
        SampleList list = BuildIsoSampleList(file, *doc.Iso());
        if (!(doc.FileKind() & kFileKindIso))
            list.notes.insert(list.notes.begin(), "the file has media data but no movie box (moov)");
        return list;
    }
    return BuildAviSampleList(file, *doc.Avi());
}

std::int64_t ClickSampleSource(Document& doc, const SampleTrack& track, const Sample& sample) {
    if (track.tableNode < 0) return -1;
    std::string prefix;
    std::string suffix;
    if (doc.Iso()) {
        if (!track.perSampleLines) {
            doc.TreeView1Click(track.tableNode);
            return -1;
        }
        prefix = "   Sample " + EntryNumberText(std::int64_t{sample.number} - 1);
    } else if (doc.Avi()) {
        // idx1 lists the key frames of video streams only, each by where its entry lies.
        if (sample.key) {
            FileSource file;
            if (file.Open(doc.FilePath()))
                if (const auto entry = FindAviIndexEntry(file, *doc.Avi(), track.id, sample.number)) {
                    prefix = "Sample #";
                    suffix = ": (" + Hex32Text(*entry) + ")";
                }
        }
    }
    doc.TreeView1Click(track.tableNode);
    if (prefix.empty()) return -1;
    const std::vector<std::string>& lines = doc.BoxDescriptionPane().Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        if (!suffix.empty() && (line.size() < suffix.size() ||
                                line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0))
            continue;
        doc.SelectLine(static_cast<std::int64_t>(i));
        return static_cast<std::int64_t>(i);
    }
    return -1;
}

}  // namespace kestrova
