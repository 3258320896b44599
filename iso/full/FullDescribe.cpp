// A click in the full view: the box is read from the file and described by its
// family's function, after the header lines both views share.

#include <algorithm>
#include <vector>

#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

// Where the children of a box start in its body; what a click reads of a container.
std::uint64_t OwnFieldBytes(const FullRecord& rec, const BoxRule& rule) {
    switch (rule.kind) {
    case BoxKind::Leaf: return rec.BodyLength();
    case BoxKind::Container: return 0;
    case BoxKind::FullContainer: return 4;
    case BoxKind::CountedContainer: return 8;
    case BoxKind::Meta: return rec.quickTimeMeta ? 0 : 4;
    case BoxKind::SampleEntry: return rec.BodyLength();  // the describer stops at the children
    }
    return rec.BodyLength();
}

void DescribeGeneric(Fields& f, const FullRecord& rec, const BoxRule* rule) {
    if (rule == nullptr) return f.Rest("data");
    switch (rule->kind) {
    case BoxKind::Leaf: return f.Rest("data");
    case BoxKind::Container: return;
    case BoxKind::FullContainer: f.VersionFlags(); return;
    case BoxKind::CountedContainer:
        f.VersionFlags();
        f.U("entry_count", 4);
        return;
    case BoxKind::Meta:
        if (!rec.quickTimeMeta) f.VersionFlags();
        return;
    case BoxKind::SampleEntry:
        f.Bytes("reserved", 6);
        f.U("data_reference_index", 2);
        return;
    }
}

}  // namespace

void DescribeFullBox(DocumentView& view, FileSource& file, const FullParse& parse, std::int64_t nodeIndex) {
    view.ClearBoxDescription();
    if (nodeIndex < 1 || static_cast<std::uint64_t>(nodeIndex) > parse.records.size()) return;
    const FullRecord& rec = parse.records[static_cast<std::size_t>(nodeIndex - 1)];
    view.SetOffsetEditText(UpperHexText(rec.offset));

    BoxRecord header;
    header.offset = rec.offset;
    header.size = rec.size;
    header.type = rec.type;
    header.largeSize = rec.largeSize;
    AddBoxHeaderLines(view, header, parse.fileSize);
    view.AddDescriptionLine(kDescriptionSeparator);

    const BoxRule* rule = rec.rule >= 0 ? &RuleAt(rec.rule) : nullptr;
    std::uint64_t want = rec.BodyLength();
    if (rule != nullptr) want = rule->readLimit != 0 ? std::min<std::uint64_t>(want, rule->readLimit) : OwnFieldBytes(rec, *rule);
    want = std::min(want, kMaxBoxRead);
    std::vector<std::uint8_t> body;
    if (want > 0) file.ReadAt(rec.BodyOffset(), want, body);

    const FullRecord* parent = rec.parent >= 0 ? &parse.records[static_cast<std::size_t>(rec.parent)] : nullptr;
    const FullTrack* track = rec.track >= 0 ? &parse.tracks[static_cast<std::size_t>(rec.track)] : nullptr;
    const BoxContext context{parse, rec, parent, track, &file};
    {
        Fields f(view, {rec.BodyOffset(), {body.data(), body.size()}, rec.BodyLength()});
        const RegionalSettings& rs = view.Settings();
        if (rec.sizeToEnd) {
            f.Derived("extent", GroupedText(rec.extent, rs) + " bytes, to the end of the " +
                                    (parent ? std::string("parent box") : std::string("file")),
                      {});
        } else if (rec.cutByParent) {
            f.Derived("extent",
                      GroupedText(rec.extent, rs) + " bytes: the header says " + GroupedText(rec.declaredExtent, rs) +
                          (rec.declaredExtent < rec.headerSize ? ", too small for a box"
                                                              : parent ? ", past the end of the parent box"
                                                                       : ", past the end of the file"),
                      {});
        }
        if (rec.depth + 1 >= kMaxDepth && parse.depthLimitReached)
            f.Heading("(nesting stops at depth " + std::to_string(kMaxDepth) + ": the children of this box are not walked)");
        if (rule != nullptr && rule->describe != nullptr) rule->describe(f, context);
        else DescribeGeneric(f, rec, rule);
        if (want < rec.BodyLength() && rule != nullptr && rule->kind == BoxKind::Leaf && rule->readLimit == 0)
            f.Heading("(only the first " + GroupedText(want, rs) + " bytes of the body are read)");
    }
    view.ShowDescription();
    view.ShowHexRange(rec.offset, rec.extent);
}

void DisplayFullFileInfo(DocumentView& view, const FullParse& parse) { WriteSummaryLines(view, parse.summary); }

}  // namespace kestrova::full
