#include "DumpState.h"

#include <cmath>

#include "avi/AviParser.h"
#include "common/Formatters.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/FullParse.h"
#include "avi/full/AviFull.h"
#include "shell/Navigation.h"

namespace kestrova {
namespace {

using Json = nlohmann::ordered_json;

Json Lines(const Pane& pane) {
    Json lines = Json::array();
    for (const auto& line : pane.Lines()) lines.push_back(line);
    return lines;
}

Json RangeJson(const ByteRange& r) {
    if (r.Empty()) return Json(nullptr);
    if (r.HasBits()) return Json::array({r.offset, r.length, r.firstBit, r.bitCount});
    return Json::array({r.offset, r.length});
}

Json Ranges(const Pane& pane) {
    Json ranges = Json::array();
    for (std::size_t i = 0; i < pane.Lines().size(); ++i) ranges.push_back(RangeJson(pane.RangeOf(i)));
    return ranges;
}

Json CommandJson(const DumpCommand& command) {
    Json j;
    switch (command.kind) {
    case DumpCommand::Kind::Open: j["command"] = "open"; break;
    case DumpCommand::Kind::Click:
        j["command"] = "click";
        j["index"] = command.index;
        break;
    case DumpCommand::Kind::ReadOffset:
        j["command"] = "readOffset";
        j["offset"] = command.offset;
        j["size"] = command.size;
        break;
    case DumpCommand::Kind::SelectLine:
        j["command"] = "selectLine";
        j["line"] = command.index;
        break;
    case DumpCommand::Kind::SelectByte:
        j["command"] = "selectByte";
        j["offset"] = command.offset;
        break;
    case DumpCommand::Kind::GoTo:
        j["command"] = "goto";
        j["offset"] = command.offset;
        break;
    case DumpCommand::Kind::SelectPath:
        j["command"] = "selectPath";
        j["path"] = command.offset;
        break;
    }
    return j;
}

Json TreeNodeJson(const NodeList& tree, std::size_t i) {
    const auto& node = tree.Nodes()[i];
    Json n;
    n["index"] = i;
    n["parent"] = node.parent < 0 ? Json(nullptr) : Json(node.parent);
    n["caption"] = node.caption;
    return n;
}

Json TreeJson(const NodeList& tree) {
    Json nodes = Json::array();
    for (std::size_t i = 0; i < tree.Count(); ++i) nodes.push_back(TreeNodeJson(tree, i));
    return nodes;
}

// Hands each record's object to records.push_back, one at a time.
template <typename Sink>
void EachRecordJson(const Document& document, Sink&& records) {
    if (const full::FullParse* parse = document.Full()) {
        for (const full::FullRecord& r : parse->records) {
            records.push_back(Json{{"index", r.index}, {"offset", r.offset}, {"size", r.extent},
                                   {"headerSize", r.headerSize}, {"type", FourccText(r.type)}});
        }
    } else if (const full::AviFullParse* aviFull = document.AviFull()) {
        for (const full::AviFullRecord& r : aviFull->records) {
            records.push_back(Json{{"index", r.index}, {"offset", r.offset}, {"size", r.extent},
                                   {"id", FourccText(r.id)},
                                   {"listType", r.listType == 0 ? Json(nullptr) : Json(FourccText(r.listType))},
                                   {"stream", r.stream}});
        }
    } else if (const IsoParse* iso = document.Iso()) {
        for (const BoxRecord& r : iso->records) {
            records.push_back(Json{{"index", r.index}, {"offset", r.offset}, {"size", r.size},
                                   {"type", FourccText(r.type)}, {"typeIndex", r.typeIndex}});
        }
    } else if (const AviParse* avi = document.Avi()) {
        for (const ChunkRecord& r : avi->records) {
            records.push_back(Json{{"index", r.index},
                                   {"offset", r.offset},
                                   {"size", r.size},
                                   {"id", FourccText(r.id)},
                                   {"listType", r.listType == 0 ? Json(nullptr) : Json(FourccText(r.listType))},
                                   {"stream", r.stream}});
        }
    }
}

Json RecordsJson(const Document& document) {
    Json records = Json::array();
    EachRecordJson(document, records);
    return records;
}

template <typename T>
Json OrNull(const std::optional<T>& v) {
    return v ? Json(*v) : Json(nullptr);
}

Json TextOrNull(const std::string& s) { return s.empty() ? Json(nullptr) : Json(s); }

Json StreamJson(const full::TrackSummary& t) {
    const bool video = t.handler == Fourcc("vide") || t.handler == Fourcc("vids");
    const bool audio = t.handler == Fourcc("soun") || t.handler == Fourcc("auds");
    const auto w = t.codedWidth ? t.codedWidth : t.entryWidth;
    const auto h = t.codedHeight ? t.codedHeight : t.entryHeight;
    const auto roundOrNull = [](const std::optional<double>& v) {
        return v ? Json(static_cast<std::int64_t>(std::llround(*v))) : Json(nullptr);
    };
    const auto seconds = [](const std::optional<double>& v) {
        return v ? Json(std::round(*v * 1000) / 1000) : Json(nullptr);
    };
    Json j;
    j["track_id"] = t.trackId;
    j["handler"] = t.handler ? Json(FourccText(t.handler)) : Json(nullptr);
    j["codec_name"] = TextOrNull(t.codecName);
    j["codec_string"] = TextOrNull(t.codecString);
    j["profile"] = TextOrNull(t.profile);
    j["level"] = TextOrNull(t.level);
    j["width"] = video ? OrNull(w) : Json(nullptr);
    j["height"] = video ? OrNull(h) : Json(nullptr);
    j["display_width"] = video ? roundOrNull(t.displayWidth) : Json(nullptr);
    j["display_height"] = video ? roundOrNull(t.displayHeight) : Json(nullptr);
    j["sar"] = t.sar ? Json(std::to_string(t.sar->num) + ":" + std::to_string(t.sar->den)) : Json(nullptr);
    j["rotation"] = video && t.rotationIsPure ? OrNull(t.rotation) : Json(nullptr);
    j["frame_rate"] = t.frameRate ? Json(std::to_string(t.frameRate->num) + "/" + std::to_string(t.frameRate->den)) : Json(nullptr);
    j["frame_rate_mode"] = t.frameRate ? Json("constant") : t.variableFrameRate ? Json("variable") : Json(nullptr);
    j["bit_depth"] = video ? OrNull(t.bitDepth) : Json(nullptr);
    j["chroma_format"] = TextOrNull(t.chromaFormat);
    j["color_primaries"] = OrNull(t.colourPrimaries);
    j["transfer"] = OrNull(t.transfer);
    j["matrix"] = OrNull(t.matrix);
    j["full_range"] = OrNull(t.fullRange);
    j["duration_s"] = seconds(t.MediaSeconds());
    j["presentation_duration_s"] = seconds(t.presentationSeconds);
    j["sample_count"] = OrNull(t.sampleCount);
    j["sync_sample_count"] = t.everySampleSync ? OrNull(t.sampleCount) : OrNull(t.syncSampleCount);
    j["bit_rate"] = OrNull(t.BitRate());
    j["language"] = TextOrNull(t.language);
    j["channels"] = audio ? (t.channels ? Json(*t.channels) : OrNull(t.entryChannels)) : Json(nullptr);
    j["channel_layout"] = audio ? TextOrNull(t.channelLayout) : Json(nullptr);
    j["sample_rate"] = audio ? (t.sampleRate ? Json(*t.sampleRate) : OrNull(t.entrySampleRate)) : Json(nullptr);
    j["bits_per_sample"] = audio ? OrNull(t.bitsPerSample) : Json(nullptr);
    j["encrypted"] = OrNull(t.encryption);
    return j;
}

}  // namespace

Json StreamsJson(const Document& document) {
    Json streams = Json::array();
    if (const full::FullParse* parse = document.Full())
        for (const full::TrackSummary& t : parse->summary.tracks) streams.push_back(StreamJson(t));
    if (const full::AviFullParse* avi = document.AviFull())
        for (const full::AviStreamSummary& s : avi->summary.streams) streams.push_back(StreamJson(s.track));
    return streams;
}

Json ItemsJson(const Document& document) {
    Json items = Json::array();
    const full::FullParse* parse = document.Full();
    if (parse == nullptr) return items;
    const auto ids = [](const std::vector<std::uint32_t>& v) { return Json(v); };
    for (const full::ItemSummary& it : parse->summary.items) {
        Json j;
        j["item_id"] = it.id;
        j["item_type"] = it.type ? Json(FourccText(it.type)) : Json(nullptr);
        j["item_name"] = TextOrNull(it.name);
        j["content_type"] = TextOrNull(it.contentType);
        j["primary"] = it.primary;
        j["hidden"] = it.hidden;
        j["width"] = OrNull(it.width);
        j["height"] = OrNull(it.height);
        j["rotation"] = OrNull(it.rotation);
        j["mirror_axis"] = OrNull(it.mirrorAxis);
        j["bit_depths"] = it.bitDepths.empty() ? Json(nullptr) : ids(it.bitDepths);
        j["color_primaries"] = OrNull(it.colourPrimaries);
        j["transfer"] = OrNull(it.transfer);
        j["matrix"] = OrNull(it.matrix);
        j["full_range"] = OrNull(it.fullRange);
        j["grid_rows"] = OrNull(it.gridRows);
        j["grid_columns"] = OrNull(it.gridColumns);
        j["tiles"] = ids(it.tiles);
        j["thumbnails"] = ids(it.thumbnails);
        j["auxiliary_images"] = ids(it.auxiliaries);
        j["thumbnail_of"] = OrNull(it.thumbnailOf);
        j["auxiliary_of"] = OrNull(it.auxiliaryOf);
        j["aux_type"] = TextOrNull(it.auxType);
        j["describes"] = ids(it.describes);
        j["bytes"] = OrNull(it.bytes);
        items.push_back(std::move(j));
    }
    return items;
}

std::string RunDumpCommand(Document& document, const DumpCommand& command) {
    switch (command.kind) {
    case DumpCommand::Kind::Open: document.OpenFile(); break;
    case DumpCommand::Kind::Click: document.TreeView1Click(command.index); break;
    case DumpCommand::Kind::ReadOffset:
        // Typed into the entries as a user would: the key filter and the length limits apply.
        document.SetOffsetEditFromUser(TypeIntoEntry("", command.offset, document.OffsetEditMaxLength()));
        document.SetSizeEditFromUser(TypeIntoEntry("", command.size, kSizeEditMaxLength));
        document.Button1Click();
        break;
    case DumpCommand::Kind::SelectLine: document.SelectLine(command.index); break;
    case DumpCommand::Kind::SelectByte:
        // The argument was checked to be 1 to 16 hexadecimal digits.
        document.SelectByte(ParseHexEntry(command.offset).value_or(0));
        break;
    case DumpCommand::Kind::GoTo: {
        const std::optional<std::uint64_t> byte = ParseOffsetText(command.offset);
        if (!byte) return "'" + command.offset + "' is not a hexadecimal offset";
        const std::int32_t node = NodeIndex(document).NodeAt(*byte);
        if (node < 0)
            return "offset 0x" + UpperHexText(*byte) + " is past the end of the file (0x" +
                   UpperHexText(document.FileSize()) + " bytes)";
        document.GoToByte(node, *byte);
        break;
    }
    case DumpCommand::Kind::SelectPath: {
        const PathResult found = NodeIndex(document).FindPath(command.offset);
        if (!found.Found()) return "path '" + command.offset + "': " + found.error;
        document.TreeView1Click(found.node);
        break;
    }
    }
    return {};
}

namespace {

// Every key of a state but the open's tree and records.
Json StateHead(const Document& document, const DumpCommand& command) {
    Json state = CommandJson(command);
    state["caption"] = document.Caption();
    state["status"] = document.StatusText();
    state["fileKind"] = document.FileKind();
    state["view"] = document.IsFullView() ? "full" : "classic";
    state["offsetEdit"] = document.OffsetEditText();
    state["sizeEdit"] = document.SizeEditText();
    state["selectedLine"] = document.SelectedLine() ? Json(*document.SelectedLine()) : Json(nullptr);
    state["highlight"] = document.Highlight() ? RangeJson(*document.Highlight()) : Json(nullptr);
    state["selectedNode"] = document.ClickedNode() >= 0 ? Json(document.ClickedNode()) : Json(nullptr);
    state["reloadEnabled"] = document.ReloadEnabled();
    state["boxDescription"] = Lines(document.BoxDescriptionPane());
    state["boxDescriptionRanges"] = Ranges(document.BoxDescriptionPane());
    state["fileInfo"] = Lines(document.FileInfoPane());
    state["messageBox"] = document.MessageBox() ? Json(*document.MessageBox()) : Json(nullptr);
    return state;
}

}  // namespace

namespace {

std::string Dumped(const Json& j, int indent) {
    return j.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// Writes text with every line after the first indented by the given spaces.
void WriteIndented(std::ostream& out, const std::string& text, std::size_t spaces) {
    const std::string pad(spaces, ' ');
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        out.write(text.data() + start, static_cast<std::streamsize>((end == std::string::npos ? text.size() : end) - start));
        if (end == std::string::npos) return;
        out << '\n' << pad;
        start = end + 1;
    }
}

}  // namespace

JsonStateWriter::JsonStateWriter(std::ostream& out, const std::string& file) : out_(out) {
    out_ << "{\n \"file\": " << Dumped(Json(file), -1) << ",\n \"states\": ";
}

void JsonStateWriter::Add(const Json& state) {
    out_ << (first_ ? "[\n  " : ",\n  ");
    first_ = false;
    WriteIndented(out_, Dumped(state, 1), 2);
}

// The open's tree and records go out one node at a time: on a file of a
// million nodes they would take far more memory as one object than as text.
void JsonStateWriter::Add(const Document& document, const DumpCommand& command) {
    if (command.kind != DumpCommand::Kind::Open) return Add(StateJson(document, command));
    out_ << (first_ ? "[\n  " : ",\n  ");
    first_ = false;
    std::string head = Dumped(StateHead(document, command), 1);
    head.resize(head.size() - 2);  // the closing "\n}"
    WriteIndented(out_, head, 2);
    const NodeList& tree = document.Tree();
    for (std::size_t i = 0; i < tree.Count(); ++i) Item("tree", i == 0, TreeNodeJson(tree, i));
    out_ << (tree.Count() == 0 ? ",\n   \"tree\": []" : "\n   ]");
    // Each record is made as it is written; one is kept at a time.
    struct Records {
        JsonStateWriter& self;
        bool first = true;
        void push_back(const Json& record) {
            self.Item("records", first, record);
            first = false;
        }
    } records{*this};
    EachRecordJson(document, records);
    out_ << (records.first ? ",\n   \"records\": []" : "\n   ]");
    out_ << "\n  }";
}

void JsonStateWriter::Item(const char* key, bool first, const Json& item) {
    if (first) out_ << ",\n   \"" << key << "\": [\n    ";
    else out_ << ",\n    ";
    WriteIndented(out_, Dumped(item, 1), 4);
}

void JsonStateWriter::Finish(const Document& document) {
    out_ << (first_ ? "[]" : "\n ]");
    if (document.IsFullView()) {
        out_ << ",\n \"streams\": ";
        WriteIndented(out_, Dumped(StreamsJson(document), 1), 1);
        if (const Json items = ItemsJson(document); !items.empty()) {
            out_ << ",\n \"items\": ";
            WriteIndented(out_, Dumped(items, 1), 1);
        }
    }
    out_ << "\n}\n";
}

Json StateJson(const Document& document, const DumpCommand& command) {
    Json state = StateHead(document, command);
    if (command.kind == DumpCommand::Kind::Open) {
        state["tree"] = TreeJson(document.Tree());
        state["records"] = RecordsJson(document);
    }
    return state;
}

std::string StateText(const Document& document, const DumpCommand& command) {
    std::string out;
    switch (command.kind) {
    case DumpCommand::Kind::Open: out += "== open ==\n"; break;
    case DumpCommand::Kind::Click: out += "== click " + std::to_string(command.index) + " ==\n"; break;
    case DumpCommand::Kind::ReadOffset:
        out += "== readOffset " + command.offset + " " + command.size + " ==\n";
        break;
    case DumpCommand::Kind::SelectLine: out += "== selectLine " + std::to_string(command.index) + " ==\n"; break;
    case DumpCommand::Kind::SelectByte: out += "== selectByte " + command.offset + " ==\n"; break;
    case DumpCommand::Kind::GoTo: out += "== goto " + command.offset + " ==\n"; break;
    case DumpCommand::Kind::SelectPath: out += "== selectPath " + command.offset + " ==\n"; break;
    }
    out += "caption: " + document.Caption() + "\n";
    out += "status: " + document.StatusText() + "\n";
    out += "fileKind: " + std::to_string(document.FileKind()) + "\n";
    out += "offsetEdit: " + document.OffsetEditText() + "\n";
    out += "sizeEdit: " + document.SizeEditText() + "\n";
    if (command.kind == DumpCommand::Kind::SelectLine || command.kind == DumpCommand::Kind::SelectByte ||
        command.kind == DumpCommand::Kind::GoTo) {
        out += "selectedLine: " + (document.SelectedLine() ? std::to_string(*document.SelectedLine()) : "none") + "\n";
        const auto& h = document.Highlight();
        std::string bits;
        if (h && h->HasBits()) bits = " bits " + std::to_string(h->firstBit) + " " + std::to_string(h->bitCount);
        out += "highlight: " + (h ? UpperHexText(h->offset) + " " + UpperHexText(h->length) + bits : "none") + "\n";
    }
    out += std::string("reloadEnabled: ") + (document.ReloadEnabled() ? "true" : "false") + "\n";
    if (document.MessageBox()) out += "messageBox: " + *document.MessageBox() + "\n";
    if (command.kind == DumpCommand::Kind::Open) {
        out += "-- tree --\n";
        const auto& nodes = document.Tree().Nodes();
        std::vector<int> depth(nodes.size(), 0);
        std::size_t length = out.size();
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].parent >= 0) depth[i] = depth[static_cast<std::size_t>(nodes[i].parent)] + 1;
            length += static_cast<std::size_t>(depth[i]) * 2 + nodes[i].caption.size() + 1;
        }
        // Tens of thousands of lines: one allocation, not a copy at every doubling.
        out.reserve(length + 4096);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            out.append(static_cast<std::size_t>(depth[i]) * 2, ' ');
            out += nodes[i].caption;
            out += '\n';
        }
    }
    out += "-- BOX_Description --\n";
    for (const auto& line : document.BoxDescriptionPane().Lines()) out += line + "\n";
    out += "-- FILEInfo --\n";
    for (const auto& line : document.FileInfoPane().Lines()) out += line + "\n";
    return out;
}

}  // namespace kestrova
