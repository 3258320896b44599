#include "shell/StreamSamples.h"

#include "avi/AviSamples.h"
#include "avi/full/AviFull.h"
#include "common/Formatters.h"
#include "iso/IsoSamples.h"
#include "iso/full/FullParse.h"

#include <algorithm>

namespace kestrova {

bool HasSampleTables(const Document& doc) {
    return ((doc.FileKind() & (kFileKindIso | kFileKindIsoWithoutMovie)) && (doc.Iso() || doc.Full())) ||
           ((doc.FileKind() & kFileKindAvi) && (doc.Avi() || doc.AviFull()));
}

namespace {

// The full view keeps no tables: the samples come from the classic tables of
// the same file, and each track's table node becomes the full tree's node of
// the same offset and type.
std::optional<SampleList> FullViewSampleList(FileSource& file, const Document& doc) {
    const full::FullParse& full = *doc.Full();
    // The open placed every fragment already: its counts size the lists, and its top-level boxes spare the headers.
    FragmentHints hints;
    hints.topLevel = full.recordLimitReached ? nullptr : &full.topLevel;
    hints.placed = &full.fragments;
    IsoParse parse;
    NodeList tree;
    tree.Reset(std::string());
    SampleList list;
    FileSource init;
    if (!doc.InitialisationPath().empty() && init.Open(doc.InitialisationPath())) {
        // The tracks are the initialisation segment's; the tree holds none of their tables.
        IsoParse initParse;
        if (ParseIsoFile(init, init.Size(), tree, initParse) != 0) list = BuildIsoSampleList(init, initParse);
        for (SampleTrack& t : list.tracks) t.tableNode = -1;
        list.notes.clear();
        AddFragmentSamples(file, full.movie, list, hints);
        return list;
    }
    if (ParseIsoFile(file, doc.FileSize(), tree, parse) == 0) {
        // A media segment alone: its tracks are those its trafs name.
        AddFragmentSamples(file, full.movie, list, hints);
        return list;
    }
    list = BuildIsoSampleList(file, parse, hints);
    for (SampleTrack& track : list.tracks) {
        if (track.tableNode < 1) continue;
        const std::uint64_t offset = parse.records[static_cast<std::size_t>(track.tableNode - 1)].offset;
        // The first record at that offset, as a map of offsets would keep.
        const auto it = std::find_if(full.records.begin(), full.records.end(),
                                     [&](const full::FullRecord& r) { return r.offset == offset; });
        track.tableNode = it == full.records.end() ? -1 : std::int64_t{it->index} + 1;
    }
    return list;
}

// The full view of AVI: a track's node is the first index chunk it comes from,
// or, for scanned samples, its first data chunk.
SampleList AviFullSampleList(FileSource& file, const full::AviFullParse& parse) {
    AviSamples samples = ReadAviSamples(file, parse.layout);
    for (std::size_t n = 0; n < samples.list.tracks.size(); ++n) {
        std::int64_t node = -1, movi = -1;
        const auto stream = static_cast<std::int32_t>(n);
        for (const full::AviFullRecord& r : parse.records) {
            const bool ix = (r.id >> 16) == ('i' << 8 | 'x') && r.stream == stream;
            const bool data = r.listType == 0 && r.stream == stream && (r.id >> 24) >= '0' && (r.id >> 24) <= '9';
            if (movi < 0 && r.listType == Fourcc("movi")) movi = std::int64_t{r.index} + 1;
            if (node >= 0) break;
            switch (samples.origins[n]) {
            case AviSampleOrigin::StandardIndex: if (ix) node = std::int64_t{r.index} + 1; break;
            case AviSampleOrigin::Idx1: if (r.id == Fourcc("idx1")) node = std::int64_t{r.index} + 1; break;
            case AviSampleOrigin::Scan: if (data) node = std::int64_t{r.index} + 1; break;
            }
        }
        samples.list.tracks[n].tableNode = node >= 0 ? node : movi;
    }
    return std::move(samples.list);
}

// An indexed sample selects its line in the index chunk it came from; a
// scanned one selects its chunk's node, or the movi list that holds it.
std::int64_t ClickAviFullSample(Document& doc, const SampleTrack& track, const Sample& sample) {
    FileSource file;
    const full::AviFullParse& parse = *doc.AviFull();
    if (!file.Open(doc.FilePath())) return -1;
    const auto v = LocateAviSample(file, parse.layout, track.id, sample.number);
    if (!v) return -1;
    const std::uint64_t target = v->origin == AviSampleOrigin::Scan ? v->dataOffset - 8 : v->entryOffset;
    const full::AviFullRecord* best = nullptr;
    for (const full::AviFullRecord& r : parse.records) {
        if (r.offset == target && v->origin == AviSampleOrigin::Scan) {
            best = &r;
            break;
        }
        if (target >= r.offset && target - r.offset < r.extent && (!best || r.extent <= best->extent)) best = &r;
    }
    if (!best) return -1;
    doc.TreeView1Click(std::int64_t{best->index} + 1);
    if (v->origin == AviSampleOrigin::Scan) return -1;
    const Pane& pane = doc.BoxDescriptionPane();
    for (std::size_t i = 0; i < pane.Lines().size(); ++i)
        if (pane.RangeOf(i).offset == v->entryOffset && !pane.RangeOf(i).Empty()) {
            doc.SelectLine(static_cast<std::int64_t>(i));
            return static_cast<std::int64_t>(i);
        }
    return -1;
}

}  // namespace

std::optional<SampleList> BuildDocumentSampleList(const Document& doc) {
    if (!HasSampleTables(doc)) return std::nullopt;
    FileSource file;
    if (!file.Open(doc.FilePath())) return std::nullopt;
    if (doc.Full()) return FullViewSampleList(file, doc);
    if (doc.AviFull()) return AviFullSampleList(file, *doc.AviFull());
    if (doc.Iso()) {
        SampleList list = BuildIsoSampleList(file, *doc.Iso());
        if (!(doc.FileKind() & kFileKindIso))
            list.notes.insert(list.notes.begin(), "the file has media data but no movie box (moov)");
        return list;
    }
    return BuildAviSampleList(file, *doc.Avi());
}

namespace {

// Selects the trun line of a fragment sample (the full view), or its moof (the
// classic view, where moof is a leaf); nullopt when the sample is the movie box's.
std::optional<std::int64_t> ClickFragmentSample(Document& doc, const SampleTrack& track, const Sample& sample) {
    if (sample.number <= track.movieSamples) return std::nullopt;
    if (const full::FullParse* parse = doc.Full()) {
        const PlacedRun* run = RunOfSample(parse->fragments, track.id, sample.number);
        if (!run) return -1;
        for (const full::FullRecord& r : parse->records) {
            if (r.offset != run->trunOffset || r.type != Fourcc("trun")) continue;
            doc.TreeView1Click(std::int64_t{r.index} + 1);
            std::string prefix = "   sample ";
            AppendEntryNumber(prefix, static_cast<std::int64_t>(sample.number - run->firstNumber));
            const std::vector<std::string>& lines = doc.BoxDescriptionPane().Lines();
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].compare(0, prefix.size(), prefix) != 0) continue;
                doc.SelectLine(static_cast<std::int64_t>(i));
                return static_cast<std::int64_t>(i);
            }
            return -1;
        }
        return -1;
    }
    if (!doc.Iso()) return std::nullopt;
    FileSource file;
    if (!file.Open(doc.FilePath())) return -1;
    const FragmentLayout layout = PlaceFragments(file, doc.FileSize(), ReadMovieExtends(file, doc.FileSize(), false),
                                                 {{track.id, track.timescale, 0, track.movieSamples}}, nullptr);
    const PlacedRun* run = RunOfSample(layout, track.id, sample.number);
    if (!run) return -1;
    for (const BoxRecord& r : doc.Iso()->records)
        if (r.offset == run->moofOffset && r.type == Fourcc("moof")) {
            doc.TreeView1Click(std::int64_t{r.index} + 1);
            break;
        }
    return -1;
}

}  // namespace

std::int64_t ClickSampleSource(Document& doc, const SampleTrack& track, const Sample& sample) {
    if (const std::optional<std::int64_t> line = ClickFragmentSample(doc, track, sample)) return *line;
    if (track.tableNode < 0) return -1;
    if (doc.AviFull()) return ClickAviFullSample(doc, track, sample);
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
