// The full view's summary of an AVI file: a block for the file (its RIFF
// parts, OpenDML, the indexes) and one per stream from its strh, strf and samples.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "avi/full/AviFull.h"
#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t kVids = Fourcc("vids"), kAuds = Fourcc("auds");

std::string Dec(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

const char* SourceText(AviSampleOrigin o) {
    switch (o) {
    case AviSampleOrigin::StandardIndex: return "OpenDML index (indx, ix##)";
    case AviSampleOrigin::Idx1: return "idx1";
    case AviSampleOrigin::Scan: return "scan of movi";
    }
    return "";
}

std::vector<std::uint8_t> ReadChunk(FileSource& file, const AviFullRecord& r, std::uint64_t max) {
    std::vector<std::uint8_t> out;
    file.ReadAt(r.DataOffset(), std::min<std::uint64_t>(r.DataLength(), max), out);
    return out;
}

std::string LayoutText(std::uint32_t mask) {
    static const char* const kShort[] = {"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC", "BC",
                                         "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};
    std::string out;
    for (unsigned bit = 0; bit < 18; ++bit)
        if ((mask >> bit) & 1) out += (out.empty() ? "" : "+") + std::string(kShort[bit]);
    return out;
}

void FillVideo(AviStreamSummary& s, const ByteReader& f) {
    TrackSummary& t = s.track;
    t.entryWidth = static_cast<std::uint32_t>(std::abs(static_cast<std::int32_t>(f.U32LE(4))));
    t.entryHeight = static_cast<std::uint32_t>(std::abs(static_cast<std::int32_t>(f.U32LE(8))));
    t.entryType = f.Fourcc(16);
    t.codecName = AviVideoCodecName(t.entryType);
    s.bitsPerPixel = f.U16LE(14);
}

void FillAudio(AviStreamSummary& s, const ByteReader& f, std::size_t length) {
    TrackSummary& t = s.track;
    s.formatTag = f.U16LE(0);
    t.channels = f.U16LE(2);
    t.sampleRate = f.U32LE(4);
    s.avgBytesPerSec = f.U32LE(8);
    s.blockAlign = f.U16LE(12);
    if (const std::uint32_t bits = f.U16LE(14)) t.bitsPerSample = bits;
    std::uint32_t tag = s.formatTag;
    if (tag == 0xFFFE && length >= 40 && f.U16LE(16) >= 22) {
        t.channelLayout = LayoutText(f.U32LE(20));
        std::uint8_t guid[16];
        for (int k = 0; k < 16; ++k) guid[k] = f.U8(24 + static_cast<std::uint64_t>(k));
        tag = guid[0] | guid[1] << 8;
    }
    t.codecName = AviAudioFormatName(tag);
    t.entryType = tag;
}

}  // namespace

void BuildAviFullSummary(FileSource& file, AviFullParse& parse) {
    AviFullSummary& sum = parse.summary;
    sum = AviFullSummary{};
    const AviLayout& layout = parse.layout;
    sum.parts = static_cast<std::uint32_t>(layout.parts.size());
    std::uint64_t standardIndexes = 0, superIndexes = 0;
    std::vector<const AviFullRecord*> formats(layout.streams.size(), nullptr);
    for (const AviFullRecord& r : parse.records) {
        if (r.id == Fourcc("dmlh") && r.DataLength() >= 4) sum.dmlhFrames = ByteReader(ReadChunk(file, r, 4)).U32LE(0);
        if (r.id == Fourcc("avih") && r.DataLength() >= 16 && !sum.avihFlags) {
            const std::vector<std::uint8_t> b = ReadChunk(file, r, 20);
            sum.avihFlags = ByteReader(b).U32LE(12);
            sum.avihFrames = ByteReader(b).U32LE(16);
        }
        if ((r.id >> 16) == ('i' << 8 | 'x')) ++standardIndexes;
        if (r.id == Fourcc("indx")) ++superIndexes;
        if (r.id == Fourcc("strf") && r.stream >= 0 && static_cast<std::size_t>(r.stream) < formats.size() && !formats[static_cast<std::size_t>(r.stream)])
            formats[static_cast<std::size_t>(r.stream)] = &r;
    }
    sum.openDml = sum.parts > 1 || superIndexes > 0 || sum.dmlhFrames.has_value();
    if (!layout.idx1.empty()) sum.indexes.push_back("idx1");
    if (superIndexes) sum.indexes.push_back("indx in " + std::to_string(superIndexes) + (superIndexes == 1 ? " stream" : " streams"));
    if (standardIndexes) sum.indexes.push_back(GroupedText(standardIndexes, RegionalSettings{}) + " ix## chunks");

    // Counted as the samples are visited: nothing is kept per sample.
    struct Counts {
        std::uint64_t samples = 0, keys = 0, bytes = 0;
        std::optional<AviSampleOrigin> origin;
    };
    std::vector<Counts> counts(layout.streams.size());
    SampleList notes;
    notes.tracks.resize(layout.streams.size());
    VisitAviSamples(
        file, layout,
        [&](const AviSampleVisit& v) {
            Counts& c = counts[v.stream];
            ++c.samples;
            c.keys += v.key;
            c.bytes += v.size;
            if (!c.origin) c.origin = v.origin;
            return true;
        },
        &notes);
    sum.notes = notes.notes;
    for (std::size_t n = 0; n < layout.streams.size(); ++n) {
        const AviStreamLayout& st = layout.streams[n];
        AviStreamSummary& s = sum.streams.emplace_back();
        TrackSummary& t = s.track;
        t.trackId = static_cast<std::uint32_t>(n);
        t.handler = st.fccType;
        t.timescale = st.rate;
        s.sampleSize = st.sampleSize;
        if (formats[n]) {
            const std::vector<std::uint8_t> b = ReadChunk(file, *formats[n], 64);
            const ByteReader f(b);
            if (st.fccType == kVids) FillVideo(s, f);
            else if (st.fccType == kAuds) FillAudio(s, f, b.size());
        }
        if (st.fccType == kVids && st.rate != 0 && st.scale != 0) {
            const std::uint64_t g = std::gcd(std::uint64_t{st.rate}, std::uint64_t{st.scale});
            t.frameRate = Ratio{st.rate / g, st.scale / g};
        }
        const Counts& c = counts[n];
        s.keyFrames = c.keys;
        t.sampleCount = c.samples;
        t.syncSampleCount = c.keys;
        t.totalBytes = c.bytes;
        s.sampleSource = c.origin ? SourceText(*c.origin) : "";
        // Frames (or audio blocks) times their duration; a constant-size audio stream counts bytes.
        std::uint64_t units = c.samples;
        if (st.fccType == kAuds && st.sampleSize != 0) units = c.bytes / st.sampleSize;
        if (st.rate != 0) t.mediaDuration = units * st.scale;
        if (st.fccType == kAuds) s.vbr = st.sampleSize == 0 && s.blockAlign > 1;
    }
    // Interleaving: how often movi's data moves from one stream to another, in file order.
    const std::size_t withSamples =
        static_cast<std::size_t>(std::count_if(counts.begin(), counts.end(), [](const Counts& c) { return c.samples != 0; }));
    const std::uint64_t changes = parse.streamChanges;
    if (withSamples < 2) sum.interleaving = "one stream";
    else
        sum.interleaving = (changes * 4 >= parse.dataChunks ? "interleaved" : changes + 1 <= withSamples ? "not interleaved" : "partly interleaved") +
                           std::string(": the data changes stream ") + GroupedText(changes, RegionalSettings{}) + " times";
}

void DisplayAviFullInfo(DocumentView& view, const AviFullParse& parse) {
    const RegionalSettings& rs = view.Settings();
    const AviFullSummary& s = parse.summary;
    const auto line = [&](const std::string& label, const std::string& value) {
        std::string text = label;
        if (text.size() < 20) text.append(20 - text.size(), ' ');
        view.AddFileInfoLine(text + ": " + value);
    };
    view.ClearFileInfo();
    view.AddFileInfoLine("[File]");
    line("File Name", view.GetFilePath());
    line("Format", "AVI");
    line("RIFF parts", std::to_string(s.parts) + (s.parts > 1 ? " (AVI and AVIX)" : ""));
    line("OpenDML", s.openDml ? "yes" : "no");
    if (s.avihFrames) line("Frames (avih)", GroupedText(*s.avihFrames, rs));
    if (s.dmlhFrames) line("Total frames (dmlh)", GroupedText(*s.dmlhFrames, rs));
    std::string indexes;
    for (const std::string& i : s.indexes) indexes += (indexes.empty() ? "" : ", ") + i;
    line("Indexes", indexes.empty() ? "none" : indexes);
    if (s.avihFlags) line("Interleaved flag", (*s.avihFlags & 0x100) ? "AVIF_ISINTERLEAVED set" : "not set");
    line("Interleaving", s.interleaving);
    line("Streams", std::to_string(s.streams.size()));
    for (const std::string& n : s.notes) line("Note", n);
    if (parse.recordLimitReached) line("Note", "only the first 1,000,000 chunks are in the tree");

    for (const AviStreamSummary& a : s.streams) {
        const TrackSummary& t = a.track;
        view.AddFileInfoLine(kDescriptionSeparator);
        view.AddFileInfoLine("[Stream " + std::to_string(t.trackId) + (t.handler ? ": " + FourccText(t.handler) : "") + "]");
        const bool video = t.handler == kVids, audio = t.handler == kAuds;
        if (video) {
            line("Codec", (t.codecName.empty() ? std::string("unknown") : t.codecName) + " (" + FourccText(t.entryType) + ")");
            if (t.entryWidth && t.entryHeight) line("Size", std::to_string(*t.entryWidth) + " x " + std::to_string(*t.entryHeight));
            if (t.frameRate)
                line("Frame rate", std::to_string(t.frameRate->num) + "/" + std::to_string(t.frameRate->den) + " (" +
                                       Dec(static_cast<double>(t.frameRate->num) / static_cast<double>(t.frameRate->den), 3) + " fps)");
            if (a.bitsPerPixel) line("Bits per pixel", std::to_string(a.bitsPerPixel));
        } else if (audio) {
            line("Format", (t.codecName.empty() ? std::string("unknown") : t.codecName) + " (tag " + Hex16Text(a.formatTag) + ")");
            if (t.channels) line("Channels", std::to_string(*t.channels) + (t.channelLayout.empty() ? "" : " (" + t.channelLayout + ")"));
            if (t.sampleRate) line("Sample rate", std::to_string(*t.sampleRate) + " Hz");
            if (t.bitsPerSample) line("Bits per sample", std::to_string(*t.bitsPerSample));
            line("Declared bit rate", GroupedText(a.avgBytesPerSec * 8, rs) + " bit/s");
            // What the stream header says of the chunks, not how the encoder spent its bits.
            if (a.vbr)
                line("Chunk layout", *a.vbr ? "VBR: dwSampleSize 0, one block (nBlockAlign " + std::to_string(a.blockAlign) + ") a chunk"
                                           : "CBR: dwSampleSize " + std::to_string(a.sampleSize));
        }
        if (const auto seconds = t.MediaSeconds()) line("Duration", Dec(*seconds, 3) + " s");
        if (t.sampleCount) {
            line(video ? "Frames" : "Chunks", GroupedText(*t.sampleCount, rs) + (a.sampleSource.empty() ? "" : " (from " + a.sampleSource + ")"));
            if (video) line("Key frames", GroupedText(a.keyFrames, rs));
        }
        if (const auto rate = t.BitRate()) line("Bit rate", GroupedText(*rate, rs) + " bit/s");
    }
}

}  // namespace kestrova::full
