#include "iso/DisplayParseIso.h"

#include "common/Formatters.h"

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

void DescribeBox(DocumentView& view, const IsoParse& parse, const BoxRecord& box) {
    if (box.type == Fourcc("ftyp") && box.row >= 0) return DescribeFtyp(view, parse.tables.ftyp[box.row], box);
    if (IsHeaderOnly(box.type)) return;
    // The other decoded types get their lines with their parsers.
}

}  // namespace

void AddBoxHeaderLines(DocumentView& view, const BoxRecord& box) {
    const RegionalSettings& rs = view.Settings();
    view.AddDescriptionLine("Start offset : " + DecHex32Text(box.offset, rs));
    view.AddDescriptionLine("Box Size : " + DecHex32Text(box.size, rs));
    if (box.size == 1) view.AddDescriptionLine("Large Size : " + DecHex32Text(box.largeSize, rs));
    view.AddDescriptionLine("Box Type : " + FourccHexText(box.type));
}

void AddVersionFlagsLines(DocumentView& view, std::uint32_t versionFlags) {
    const RegionalSettings& rs = view.Settings();
    view.AddDescriptionLine("version  : " + DecHex8Text(versionFlags & 0xFF, rs));
    view.AddDescriptionLine("flags    : " + DecHex24Text(versionFlags >> 8, rs));
}

void DescribeFtyp(DocumentView& view, const FtypRow& row, const BoxRecord& box) {
    const RegionalSettings& rs = view.Settings();
    view.AddDescriptionLine("Major brand : " + FourccHexText(row.majorBrand));
    view.AddDescriptionLine("Major version : " + DecHex16Text(row.minorVersionHigh, rs));
    view.AddDescriptionLine("Minor version : " + DecHex16Text(row.minorVersionLow, rs));
    view.AddDescriptionLine("Compatible brand : ");
    const std::uint64_t first = box.HeaderLength() + 8;
    std::uint64_t lines = box.Extent() >= first ? (box.Extent() - first) / 4 : 0;
    if (lines > row.compatibleBrands.size()) lines = row.compatibleBrands.size();
    for (std::uint64_t i = 0; i < lines; ++i)
        view.AddDescriptionLine("   " + FourccHexText(row.compatibleBrands[i]));
}

void DisplayIsoBoxInfo(DocumentView& view, const IsoParse& parse, std::int64_t nodeIndex) {
    view.ClearBoxDescription();
    if (nodeIndex == 0) return DisplayIsoFileInfo(view, parse, view.FileKind());
    const BoxRecord& box = GetBoxRecord(parse, nodeIndex);
    view.SetOffsetEditText(UpperHexText(box.offset));
    AddBoxHeaderLines(view, box);
    view.AddDescriptionLine(kDescriptionSeparator);
    DescribeBox(view, parse, box);
    view.ShowDescription();
    view.ShowHexRange(box.offset, box.Extent());
}

void DisplayIsoFileInfo(DocumentView& view, const IsoParse& /*parse*/, std::uint32_t /*fileKind*/) {
    // The summary's lines come with the sample-table and sample-entry parsers.
    view.ClearFileInfo();
}

}  // namespace kestrova
