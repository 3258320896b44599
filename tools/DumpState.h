#pragma once
// What kestrova-dump prints of a Document after a command: as JSON or as text.

#include <cstdint>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "shell/Document.h"

namespace kestrova {

struct DumpCommand {
    enum class Kind { Open, Click, ReadOffset, SelectLine, SelectByte, GoTo, SelectPath };
    Kind kind = Kind::Open;
    std::int64_t index = 0;  // the node of a click, the pane line of selectLine
    std::string offset;      // as given: typed for readOffset, the byte of selectByte and goto, the path of selectPath
    std::string size;
};

// Runs one command on the document (the open, a click, a Read Offset with typed
// texts). Returns why a goto or a path found no node; "" otherwise.
std::string RunDumpCommand(Document& document, const DumpCommand& command);

nlohmann::ordered_json StateJson(const Document& document, const DumpCommand& command);
std::string StateText(const Document& document, const DumpCommand& command);
// One object per track of the full view's summary, every key present (null
// when the file does not say); an empty array outside the full view.
nlohmann::ordered_json StreamsJson(const Document& document);
// One object per item of an image file's meta (HEIF, AVIF), every key present;
// the JSON carries it as "items" only when there are items.
nlohmann::ordered_json ItemsJson(const Document& document);

// Writes {"file", "states", "streams", "items"} one state at a time, laid out as the
// whole object dumped with an indent of 1 would be.
class JsonStateWriter {
public:
    JsonStateWriter(std::ostream& out, const std::string& file);
    void Add(const nlohmann::ordered_json& state);
    // The state after command, written as it is made.
    void Add(const Document& document, const DumpCommand& command);
    // Closes the states and adds the streams of the full view.
    void Finish(const Document& document);

private:
    // An element of the open's array key: the key and "[" before the first.
    void Item(const char* key, bool first, const nlohmann::ordered_json& item);

    std::ostream& out_;
    bool first_ = true;
};

}  // namespace kestrova
