#pragma once
// Opens byte-exact fixtures in the full view and returns what a click on one
// box shows after the header lines: each line with its byte (or bit) range.

#include <string>
#include <vector>

#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova::test {

struct FullLines {
    std::vector<std::string> lines;  // the lines after the separator
    std::vector<ByteRange> ranges;   // one per line
    std::string status;
};

// The node of the nth box (from 0) of this type, in tree order; -1 when none.
inline std::int64_t FullNodeOf(const Document& doc, const std::string& type, int nth = 0) {
    const full::FullParse* parse = doc.Full();
    if (parse == nullptr) return -1;
    std::uint32_t code = 0;
    for (std::size_t k = 0; k < 4; ++k)
        code = code << 8 | static_cast<std::uint8_t>(k < type.size() ? type[k] : ' ');
    for (const full::FullRecord& r : parse->records)
        if (r.type == code && nth-- == 0) return r.index + 1;
    return -1;
}

// Clicks the node and returns its description below the separator.
inline FullLines FullClick(Document& doc, std::int64_t node) {
    FullLines out;
    doc.TreeView1Click(node);
    const Pane& pane = doc.BoxDescriptionPane();
    std::size_t i = 0;
    while (i < pane.Lines().size() && pane.Lines()[i].rfind("----", 0) != 0) ++i;
    for (++i; i < pane.Lines().size(); ++i) {
        out.lines.push_back(pane.Lines()[i]);
        out.ranges.push_back(pane.RangeOf(i));
    }
    out.status = doc.StatusText();
    return out;
}

// A file with one track of this handler (four letters) whose stsd holds the entry.
inline Bytes TrackFile(const std::string& handler, const Bytes& entry, std::uint8_t stsdVersion = 0) {
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text(handler), Zeros(12), U8(0)}));
    const Bytes stsd = FullBox("stsd", stsdVersion, 0, Cat({U32(1), entry}));
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0)})),
                Box("moov", {Box("trak", {Box("mdia", {hdlr, Box("minf", {Box("stbl", {stsd})})})})})});
}

// Writes the file, opens it in the full view and clicks the nth box of this type.
inline FullLines DescribeInFullView(const Bytes& file, const std::string& type, int nth = 0) {
    TempFile temp(file, "full.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    const std::int64_t node = FullNodeOf(doc, type, nth);
    if (node < 0) return {{"(no " + type + " box)"}, {ByteRange{}}, doc.StatusText()};
    return FullClick(doc, node);
}

}  // namespace kestrova::test
