#include "iso/DisplayParseIso.h"

#include "common/Formatters.h"
#include "iso/DescribeBoxes.h"
#include "iso/DescribeLines.h"

namespace kestrova {
namespace {

bool IsHeaderOnly(std::uint32_t type) {
    switch (type) {
    case Fourcc("moov"): case Fourcc("trak"): case Fourcc("mdia"): case Fourcc("minf"):
    case Fourcc("dinf"): case Fourcc("stbl"): case Fourcc("edts"): case Fourcc("mvex"):
    case Fourcc("tref"): case Fourcc("udta"):
        return true;
    default:
        return false;
    }
}

template <typename Row>
const Row& At(const std::vector<Row>& rows, std::int32_t row) {
    return rows[static_cast<std::size_t>(row)];
}

// The lines of the box's own type, from the row the walk decoded for it.
void DescribeBox(DocumentView& view, const IsoParse& parse, const BoxRecord& box) {
    if (IsHeaderOnly(box.type) || box.row < 0) return;
    const IsoBoxTables& t = parse.tables;
    const std::int32_t r = box.row;
    switch (box.type) {
    case Fourcc("ftyp"): return DescribeFtyp(view, At(t.ftyp, r), box);
    case Fourcc("mvhd"): return DescribeMvhd(view, At(t.mvhd, r));
    case Fourcc("iods"): return DescribeIods(view, At(t.iods, r));
    case Fourcc("tkhd"): return DescribeTkhd(view, At(t.tkhd, r), TrackWidth(parse), TrackHeight(parse));
    case Fourcc("mpod"): return DescribeMpod(view, At(t.mpod, r));
    case Fourcc("mdhd"): return DescribeMdhd(view, At(t.mdhd, r));
    case Fourcc("hdlr"): return DescribeHdlr(view, At(t.hdlr, r));
    case Fourcc("vmhd"): return DescribeVmhd(view, At(t.vmhd, r));
    case Fourcc("smhd"): return DescribeSmhd(view, At(t.smhd, r));
    case Fourcc("hmhd"): return DescribeHmhd(view, At(t.hmhd, r));
    case Fourcc("dref"): return DescribeDref(view, At(t.dref, r));
    case Fourcc("url "): return DescribeUrl(view, At(t.url, r));
    case Fourcc("stsd"): return DescribeStsd(view, At(t.stsd, r));
    case Fourcc("stsz"): return DescribeStsz(view, At(t.stsz, r));
    case Fourcc("stco"): return DescribeStco(view, At(t.stco, r));
    case Fourcc("stss"): return DescribeStss(view, At(t.stss, r));
    case Fourcc("stts"): return DescribeStts(view, At(t.stts, r));
    case Fourcc("stsc"): return DescribeStsc(view, At(t.stsc, r));
    case Fourcc("mp4v"): case Fourcc("s263"): return DescribeVisualEntry(view, At(t.visual, r));
    case Fourcc("mp4a"): return DescribeMp4a(view, At(t.audio, r));
    case Fourcc("samr"): case Fourcc("sevc"): return DescribeSamrOrSevc(view, At(t.audio, r));
    case Fourcc("damr"): return DescribeDamr(view, At(t.audio, r).config);
    case Fourcc("devc"): return DescribeDevc(view, At(t.audio, r).config);
    case Fourcc("mp4s"): return DescribeMp4s(view, At(t.mp4s, r));
    case Fourcc("esds"): return DescribeEsds(view, At(t.esds, r));
    default:
        if (IsAnnotationType(box.type)) DescribeMetaText(view, At(t.metaText, r));
        return;
    }
}

}  // namespace

void AddBoxHeaderLines(DocumentView& view, const BoxRecord& box, std::uint64_t fileSize) {
    const RegionalSettings& rs = view.Settings();
    const auto range = [&](std::uint64_t at, std::uint64_t len) {
        return at <= fileSize && len <= fileSize - at ? ByteRange{at, len} : ByteRange{};
    };
    view.AddDescriptionLine("Start offset : " + DecHex32Text(box.offset, rs));
    view.AddDescriptionLine("Box Size : " + DecHex32Text(box.size, rs), range(box.offset, 4));
    if (box.size == 1) view.AddDescriptionLine("Large Size : " + DecHex32Text(box.largeSize, rs), range(box.offset + 8, 8));
    view.AddDescriptionLine("Box Type : " + FourccHexText(box.type), range(box.offset + 4, 4));
}

void AddVersionFlagsLines(DocumentView& view, std::uint32_t versionFlags, const BodyBytes& body) {
    LineWriter(view, body).VersionFlags(versionFlags);
}

void DescribeFtyp(DocumentView& view, const FtypRow& row, const BoxRecord& box) {
    LineWriter w(view, row.body);
    w.Line("Major brand : " + FourccHexText(row.majorBrand), 0, 4);
    w.Dec16("Major version : ", row.minorVersionHigh, 4);
    w.Dec16("Minor version : ", row.minorVersionLow, 6);
    w.Plain("Compatible brand : ");
    const std::uint64_t first = box.HeaderLength() + 8;
    std::uint64_t lines = box.Extent() >= first ? (box.Extent() - first) / 4 : 0;
    if (lines > row.compatibleBrands.size()) lines = row.compatibleBrands.size();
    for (std::uint64_t i = 0; i < lines; ++i) w.Line("   " + FourccHexText(row.compatibleBrands[i]), 8 + 4 * i, 4);
}

void DisplayIsoBoxInfo(DocumentView& view, const IsoParse& parse, std::int64_t nodeIndex) {
    view.ClearBoxDescription();
    if (nodeIndex == 0) return DisplayIsoFileInfo(view, parse, view.FileKind());
    const BoxRecord& box = GetBoxRecord(parse, nodeIndex);
    view.SetOffsetEditText(UpperHexText(box.offset));
    AddBoxHeaderLines(view, box, parse.fileSize);
    view.AddDescriptionLine(kDescriptionSeparator);
    DescribeBox(view, parse, box);
    view.ShowDescription();
    view.ShowHexRange(box.offset, box.Extent());
}

void DisplayIsoFileInfo(DocumentView& view, const IsoParse& parse, std::uint32_t fileKind) {
    view.ClearFileInfo();
    view.AddFileInfoLine("[VIDEO Info]");
    view.AddFileInfoLine("File Name : " + view.GetFilePath());
    if ((fileKind & kFileKindIso) == 0) {
        view.AddFileInfoLine("   Moov_Box Not FOUND!!!!");
        return;
    }
    const IsoSummaryInfo& s = parse.summary;
    const auto n = [](std::uint64_t v) { return std::to_string(v); };
    if (s.videoSampleCount == 0) {
        view.AddFileInfoLine("   Video Sample Not FOUND!!!!");
    } else {
        view.AddFileInfoLine("Video Format : " + ObjectTypeName(s.videoObjectType));
        view.AddFileInfoLine("Resolution : " + n(s.videoWidth) + " * " + n(s.videoHeight));
        view.AddFileInfoLine("   Sync Sample Count(I-Frames): " + n(s.videoSyncSampleCount));
        view.AddFileInfoLine("   Sample Count(I/P-Frames) : " + n(s.videoSampleCount));
        view.AddFileInfoLine("   Total Sample Size(Byte)  : " + n(s.videoTotalBytes));
        view.AddFileInfoLine("   Header Size(Byte)        : " + n(s.videoHeaderSize));
    }
    view.AddFileInfoLine(kDescriptionSeparator);
    view.AddFileInfoLine("[Audio Info]");
    view.AddFileInfoLine("   Audio Format     : " + (s.amrMode != 0 ? std::string("AMR") : ObjectTypeName(s.audioObjectType)));
    view.AddFileInfoLine("   Channel Count    : " + n(s.audioChannelCount));
    if (s.audioSbr != 0) view.AddFileInfoLine("   Sample Rate(SBR) : " + n(s.audioSampleRate) + " * 2");
    else view.AddFileInfoLine("   Sample Rate      : " + n(s.audioSampleRate));
    view.AddFileInfoLine("   Time Scale       : " + n(s.audioTimeScale));
    view.AddFileInfoLine("   Frame per Sample : " + n(s.audioFramesPerSample));
}

}  // namespace kestrova
