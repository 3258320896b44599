#include "shell/StreamSamples.h"

#include "avi/AviSamples.h"
#include "common/Formatters.h"
#include "iso/IsoSamples.h"
#include "iso/full/FullParse.h"

#include <unordered_map>

namespace kestrova {

bool HasSampleTables(const Document& doc) {
    return ((doc.FileKind() & (kFileKindIso | kFileKindIsoWithoutMovie)) && (doc.Iso() || doc.Full())) ||
           ((doc.FileKind() & kFileKindAvi) && doc.Avi());
}

namespace {

// The full view keeps no tables: the samples come from the classic tables of
// the same file, and each track's table node becomes the full tree's node of
// the same offset and type.
std::optional<SampleList> FullViewSampleList(FileSource& file, const Document& doc) {
    IsoParse parse;
    NodeList tree;
    tree.Reset(std::string());
    SampleList list;
    if (ParseIsoFile(file, doc.FileSize(), tree, parse) == 0) {
        list.notes.push_back("the samples of this file live in movie fragments (moof), which are not read");
        return list;
    }
    list = BuildIsoSampleList(file, parse);
    std::unordered_map<std::uint64_t, std::int64_t> nodeAt;
    for (const full::FullRecord& r : doc.Full()->records) nodeAt.emplace(r.offset, std::int64_t{r.index} + 1);
    for (SampleTrack& track : list.tracks) {
        if (track.tableNode < 1) continue;
        const BoxRecord& table = parse.records[static_cast<std::size_t>(track.tableNode - 1)];
        const auto it = nodeAt.find(table.offset);
        track.tableNode = it == nodeAt.end() ? -1 : it->second;
    }
    return list;
}

}  // namespace

std::optional<SampleList> BuildDocumentSampleList(const Document& doc) {
    if (!HasSampleTables(doc)) return std::nullopt;
    FileSource file;
    if (!file.Open(doc.FilePath())) return std::nullopt;
    if (doc.Full()) return FullViewSampleList(file, doc);
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
    if (doc.Full()) {
        if (!track.perSampleLines) {
            doc.TreeView1Click(track.tableNode);
            return -1;
        }
        std::string number;
        AppendEntryNumber(number, std::int64_t{sample.number} - 1);
        doc.TreeView1Click(track.tableNode);
        const std::vector<std::string>& lines = doc.BoxDescriptionPane().Lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            // "   sample_size #12  : ..." in stsz, "   entry_size #12  : ..." in stz2.
            const std::string& line = lines[i];
            const std::size_t at = line.find(" #");
            if (line.rfind("   ", 0) != 0 || at == std::string::npos || line.compare(at + 1, number.size(), number) != 0)
                continue;
            doc.SelectLine(static_cast<std::int64_t>(i));
            return static_cast<std::int64_t>(i);
        }
        return -1;
    }
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
