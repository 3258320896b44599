// The description of a selected chunk, made from what the walk stored: the
// file is read again only by the hex dump.

#include <iterator>

#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"

namespace kestrova {
namespace {

const std::string kSeparator(40, '-');
// What the hex entries show at most for a chunk, like the hex viewer's limit.
constexpr std::uint64_t kSizeEditLimit = 0x100000;

// "%d" of the value.
std::string Dec(std::int32_t v) { return std::to_string(v); }

void AddCommonLines(DocumentView& view, const ChunkRecord& r) {
    const RegionalSettings& rs = view.Settings();
    // The walk records a chunk only when its whole header lies in the file.
    const ByteRange id{r.offset, 4};
    const ByteRange size = r.sizeInFile ? ByteRange{r.offset + 4, 4} : ByteRange{};
    view.AddDescriptionLine("Start offset : " + DecHex32Text(r.offset, rs));
    if (r.listType != 0) {
        view.AddDescriptionLine("Group ID     : " + FourccHexText(r.id), id);
        view.AddDescriptionLine("Group Size   : " + DecHex32Text(r.size, rs), size);
        view.AddDescriptionLine("Type         : " + FourccHexText(r.listType), {r.offset + 8, 4});
    } else {
        view.AddDescriptionLine("Chunk ID     : " + FourccHexText(r.id), id);
        view.AddDescriptionLine("Chunk Size   : " + DecHex32Text(r.size, rs), size);
    }
}

void AddHeading(DocumentView& view, const std::string& heading) {
    view.AddDescriptionLine(heading);
    view.AddDescriptionLine(kSeparator);
}

void DescribeMainHeader(DocumentView& view, const AviMainHeader& h) {
    const RegionalSettings& rs = view.Settings();
    AddHeading(view, "[ Main AVI Header ]");
    const struct {
        const char* label;
        std::uint32_t value;
    } lines[] = {  // one word each, in file order
        {"MicorSecPerFrmae  : ", h.dwMicroSecPerFrame},
        {"Max Transfer Rate : ", h.dwMaxBytesPerSec},
        {"Reserved          : ", h.dwPaddingGranularity},
        {"Flags             : ", h.dwFlags},
        {"Total Frames      : ", h.dwTotalFrames},
        {"Initial Frames    : ", h.dwInitialFrames},
        {"Streams           : ", h.dwStreams},
        {"Buffer Size       : ", h.dwSuggestedBufferSize},
        {"Width             : ", h.dwWidth},
        {"Height            : ", h.dwHeight},
        {"Reserved(Sacle)   : ", h.dwReserved[0]},
        {"Reserved(Rate )   : ", h.dwReserved[1]},
        {"Reserved(Start)   : ", h.dwReserved[2]},
        {"Reserved(Length)  : ", h.dwReserved[3]},
    };
    for (std::size_t k = 0; k < std::size(lines); ++k)
        view.AddDescriptionLine(lines[k].label + DecHex32Text(lines[k].value, rs), h.data.Field(4 * k, 4));
}

std::string StreamKindWord(std::uint32_t fccType) {
    switch (fccType) {
    case Fourcc("vids"): return "video (";
    case Fourcc("auds"): return "audio (";
    case Fourcc("txts"): return "subtitle (";
    default: return "UnKnown (";
    }
}

std::string QualityLine(std::uint32_t quality, const RegionalSettings& rs) {
    const std::string label = "Quality(-1~10000): ";
    if (quality <= 10000) return label + DecHex32Text(quality, rs);
    if (quality == 0xFFFFFFFF) return label + "deafult(" + Dec(static_cast<std::int32_t>(quality)) + ")";
    return label + "Invalid Value(" + Hex32Text(quality) + ")";
}

void DescribeStreamHeader(DocumentView& view, const AviStreamRecord& s) {
    const RegionalSettings& rs = view.Settings();
    const AviDataBytes& d = s.data;
    AddHeading(view, "[ Stream Header Chunk ]");
    view.AddDescriptionLine("Type             : " + StreamKindWord(s.fccType) + FourccText(s.fccType) + ")",
                            d.Field(0, 4));
    view.AddDescriptionLine("Codec            : " + FourccText(s.fccHandler), d.Field(4, 4));
    view.AddDescriptionLine("Flags            : " + DecHex32Text(s.dwFlags, rs), d.Field(8, 4));
    view.AddDescriptionLine("Priority         : " + DecHex16Text(s.wPriority, rs), d.Field(12, 2));
    view.AddDescriptionLine("Language         : " + DecHex16Text(s.wLanguage, rs), d.Field(14, 2));
    view.AddDescriptionLine("Initial Frames   : " + DecHex32Text(s.dwInitialFrames, rs), d.Field(16, 4));
    view.AddDescriptionLine("Scale            : " + DecHex32Text(s.dwScale, rs), d.Field(20, 4));
    view.AddDescriptionLine("Rate             : " + DecHex32Text(s.dwRate, rs), d.Field(24, 4));
    view.AddDescriptionLine("Start of stream  : " + DecHex32Text(s.dwStart, rs), d.Field(28, 4));
    view.AddDescriptionLine("Length           : " + DecHex32Text(s.dwLength, rs), d.Field(32, 4));
    view.AddDescriptionLine("Buffer Size      : " + DecHex32Text(s.dwSuggestedBufferSize, rs), d.Field(36, 4));
    view.AddDescriptionLine(QualityLine(s.dwQuality, rs), d.Field(40, 4));
    view.AddDescriptionLine("Sample Size      : " + DecHex32Text(s.dwSampleSize, rs), d.Field(44, 4));
}

// The format this chunk holds, read as its stream's type says: the stream's
// "strh" may stand before or after it.
void DescribeStreamFormat(DocumentView& view, const AviParse& parse, const ChunkRecord& r) {
    const RegionalSettings& rs = view.Settings();
    AddHeading(view, "[ Stream Format Chunk ]");
    if (r.row < 0 || static_cast<std::size_t>(r.row) >= parse.formats.size()) return;
    const AviStreamFormat& f = parse.formats[static_cast<std::size_t>(r.row)];
    const AviDataBytes& d = f.data;
    const std::uint32_t type = parse.Stream(r.stream).fccType;
    if (type == Fourcc("vids")) {
        const AviVideoFormat v = ReadVideoFormat(f.Reader());
        // Signed sizes show through the unsigned grouping, as stored.
        view.AddDescriptionLine("Size             : " + DecHex32Text(v.biSize, rs), d.Field(0, 4));
        view.AddDescriptionLine("Width            : " + DecHex32Text(static_cast<std::uint32_t>(v.biWidth), rs),
                                d.Field(4, 4));
        view.AddDescriptionLine("Height           : " + DecHex32Text(static_cast<std::uint32_t>(v.biHeight), rs),
                                d.Field(8, 4));
        view.AddDescriptionLine("Number of Planes : " + DecHex16Text(v.biPlanes, rs), d.Field(12, 2));
        view.AddDescriptionLine("Bits per pixel   : " + DecHex16Text(v.biBitCount, rs), d.Field(14, 2));
        view.AddDescriptionLine("Compression Type : " + CompressionText(v.biCompression), d.Field(16, 4));
        view.AddDescriptionLine("Size Image       : " + DecHex32Text(v.biSizeImage, rs), d.Field(20, 4));
        view.AddDescriptionLine("X pixel/Meter    : " + DecHex32Text(v.biXPelsPerMeter, rs), d.Field(24, 4));
        view.AddDescriptionLine("Y pixel/Meter    : " + DecHex32Text(v.biYPelsPerMeter, rs), d.Field(28, 4));
        view.AddDescriptionLine("Color Used(0=ALL): " + DecHex32Text(v.biClrUsed, rs), d.Field(32, 4));
        view.AddDescriptionLine("Color Indexes    : " + DecHex32Text(v.biClrImportant, rs), d.Field(36, 4));
    } else if (type == Fourcc("auds")) {
        const AviAudioFormat a = ReadAudioFormat(f.Reader());
        view.AddDescriptionLine("FormatTag         : " + AudioFormatText(a.wFormatTag), d.Field(0, 2));
        view.AddDescriptionLine("Channels          : " + DecHex16Text(a.nChannels, rs), d.Field(2, 2));
        view.AddDescriptionLine("Sample Rate       : " + DecHex32Text(a.nSamplesPerSec, rs), d.Field(4, 4));
        view.AddDescriptionLine("Avg.Transfer Rate : " + DecHex32Text(a.nAvgBytesPerSec, rs), d.Field(8, 4));
        view.AddDescriptionLine("Block Alignent    : " + DecHex16Text(a.nBlockAlign, rs), d.Field(12, 2));
        view.AddDescriptionLine("Bits Per Sample   : " + DecHex16Text(a.wBitsPerSample, rs), d.Field(14, 2));
        view.AddDescriptionLine("Size              : " + DecHex16Text(a.cbSize, rs), d.Field(16, 2));
    }
}

void DescribeIndex(DocumentView& view, const AviSummaryInfo& info) {
    const RegionalSettings& rs = view.Settings();
    AddHeading(view, "[ Index Box ]");
    view.AddDescriptionLine("[Audio]");
    view.AddDescriptionLine("   Audio Sample Count  : " + Dec(info.audioEntryCount));
    view.AddDescriptionLine("[Video]");
    view.AddDescriptionLine("   Total Sample Count  : " + Dec(info.videoEntryCount));
    view.AddDescriptionLine("   KeySample Count     : " + Dec(info.keyFrameCount));
    view.AddDescriptionLine(kSeparator);
    view.AddDescriptionLine("Key Samples");
    for (std::size_t k = 0; k < info.keyFrameEntries.size(); ++k) {
        const VideoIndexEntry& e = info.keyFrameEntries[k];
        // The scan takes whole entries that lie in the file; a listing that runs
        // on into a later index points into that chunk.
        const std::uint64_t at = e.entryOffset;
        view.AddDescriptionLine("Sample " + EntryNumberText(info.keyFrameOrdinals[k]) + "(" + Hex32Text(at) + ")",
                                {at, 16});
        view.AddDescriptionLine("   CkID     : " + FourccText(e.ckid), {at, 4});
        view.AddDescriptionLine("   Flags    : " + Hex32Text(e.dwFlags), {at + 4, 4});
        view.AddDescriptionLine("   Chunk Offset : " + DecHex32Text(e.dwChunkOffset, rs), {at + 8, 4});
        view.AddDescriptionLine("   Chunk Length : " + DecHex32Text(e.dwChunkLength, rs), {at + 12, 4});
    }
    if (info.keyFrameOrdinals.size() > info.keyFrameEntries.size()) {
        view.AddDescriptionLine("(only the first " + GroupedText(info.keyFrameEntries.size(), rs) + " of " +
                                GroupedText(info.keyFrameOrdinals.size(), rs) + " key samples are listed)");
    }
}

void Describe(DocumentView& view, const AviParse& parse, const ChunkRecord& r) {
    const RegionalSettings& rs = view.Settings();
    const AviSummaryInfo& info = parse.summary;
    switch (r.id) {
    case Fourcc("RIFF"):
        // The size of the whole file, for the AVI and the AVIX part alike.
        view.AddDescriptionLine("Data Size    : " + GroupedText(info.fileSize, rs) + " Byte");
        return;
    case Fourcc("LIST"):
        switch (r.listType) {
        case Fourcc("hdrl"): return AddHeading(view, "[ Header LIST ]");
        case Fourcc("strl"): return AddHeading(view, "[ Stream Header LIST [" + Dec(r.stream) + "] ]");
        case Fourcc("odml"): return AddHeading(view, "[ Open DML List ]");
        case Fourcc("INFO"): return AddHeading(view, "[ INFO ]");
        case Fourcc("movi"):
            view.AddDescriptionLine("[ MOVI List ]");
            return AddHeading(view, "- contain Video, Audio, Subtitle etc.");
        default: return;
        }
    case Fourcc("avih"): return DescribeMainHeader(view, info.mainHeader);
    case Fourcc("strh"): return DescribeStreamHeader(view, parse.Stream(r.stream));
    case Fourcc("strf"): return DescribeStreamFormat(view, parse, r);
    case Fourcc("strd"): return AddHeading(view, "[ Additional Header Data Chunk ]");
    case Fourcc("strn"): return AddHeading(view, "[ Stream Name Chunk ]");
    case Fourcc("dmlh"): return AddHeading(view, "[ Open DML Extended AVI Header ]");
    case Fourcc("ISFT"):
        view.AddDescriptionLine("Tool Name    : " + info.toolName, info.toolNameBytes.Field(0, info.toolNameBytes.length));
        return;
    case Fourcc("idx1"): return DescribeIndex(view, info);
    default: return;  // "JUNK" and the like: the common lines only
    }
}

}  // namespace

void ShowChunkDescription(DocumentView& view, AviParse& parse, std::int64_t nodeIndex) {
    view.ClearBoxDescription();
    if (nodeIndex == 0) return ShowAviSummary(view, parse, view.FileKind());
    if (nodeIndex < 0 || static_cast<std::uint64_t>(nodeIndex) > parse.records.size()) return;
    const ChunkRecord& r = GetChunkRecord(parse, nodeIndex);
    const std::uint64_t extent = std::uint64_t{r.size} + 8;
    view.SetOffsetEditText(UpperHexText(r.offset));
    view.SetSizeEditText(UpperHexText(r.size <= kSizeEditLimit ? extent : kSizeEditLimit));
    AddCommonLines(view, r);
    view.AddDescriptionLine(kSeparator);
    Describe(view, parse, r);
    view.ShowDescription();
    view.ShowHexRange(r.offset, extent);
}

}  // namespace kestrova
