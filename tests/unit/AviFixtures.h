#pragma once
// Byte-exact pieces of AVI files for the AVI tests, and a Document opened on them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "avi/AviParser.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova::test {

struct MainHeaderFields {
    std::uint32_t microSecPerFrame = 40000;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t flags = 0x10;
    std::uint32_t totalFrames = 0;
    std::uint32_t streams = 1;
    std::uint32_t width = 320;
    std::uint32_t height = 240;
};

inline Bytes Avih(const MainHeaderFields& f = {}) {
    return Chunk("avih", Cat({LE32(f.microSecPerFrame), LE32(f.maxBytesPerSec), LE32(0), LE32(f.flags),
                              LE32(f.totalFrames), LE32(0), LE32(f.streams), LE32(0), LE32(f.width),
                              LE32(f.height), LE32(0), LE32(0), LE32(0), LE32(0)}));
}

struct StreamHeaderFields {
    std::string type = "vids";
    std::string handler = "XVID";
    std::uint32_t flags = 0;
    std::uint16_t priority = 0;
    std::uint16_t language = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t scale = 1;
    std::uint32_t rate = 25;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t bufferSize = 0;
    std::uint32_t quality = 0xFFFFFFFF;
    std::uint32_t sampleSize = 0;
};

inline Bytes Strh(const StreamHeaderFields& f = {}) {
    const Bytes handler = f.handler.empty() ? LE32(0) : Text(f.handler);
    return Chunk("strh", Cat({Text(f.type), handler, LE32(f.flags), LE16(f.priority), LE16(f.language),
                              LE32(f.initialFrames), LE32(f.scale), LE32(f.rate), LE32(f.start), LE32(f.length),
                              LE32(f.bufferSize), LE32(f.quality), LE32(f.sampleSize), Zeros(8)}));
}

// BITMAPINFOHEADER; compression as the four bytes of the file.
inline Bytes StrfVideo(std::int32_t width, std::int32_t height, const Bytes& compression = Text("XVID"),
                       std::uint16_t bitCount = 24) {
    return Chunk("strf", Cat({LE32(40), LE32(static_cast<std::uint32_t>(width)), LE32(static_cast<std::uint32_t>(height)),
                              LE16(1), LE16(bitCount), compression, LE32(0x1234), LE32(0), LE32(0), LE32(0),
                              LE32(0)}));
}

// WAVEFORMATEX.
inline Bytes StrfAudio(std::uint16_t tag, std::uint16_t channels, std::uint32_t samplesPerSec,
                       std::uint32_t avgBytesPerSec, std::uint16_t blockAlign = 4, std::uint16_t bits = 16) {
    return Chunk("strf", Cat({LE16(tag), LE16(channels), LE32(samplesPerSec), LE32(avgBytesPerSec),
                              LE16(blockAlign), LE16(bits), LE16(0)}));
}

inline Bytes IndexEntry(const std::string& ckid, std::uint32_t flags, std::uint32_t offset, std::uint32_t length) {
    return Cat({Text(ckid), LE32(flags), LE32(offset), LE32(length)});
}

inline Bytes Idx1(const std::vector<Bytes>& entries) {
    Bytes data;
    for (const Bytes& e : entries) data.insert(data.end(), e.begin(), e.end());
    return Chunk("idx1", data);
}

inline Bytes VideoStreamList(const StreamHeaderFields& h, std::int32_t width = 320, std::int32_t height = 240) {
    return List("LIST", "strl", {Strh(h), StrfVideo(width, height)});
}

inline Bytes AudioStreamList(std::uint16_t tag, std::uint16_t channels, std::uint32_t samplesPerSec,
                             std::uint32_t avgBytesPerSec) {
    StreamHeaderFields h;
    h.type = "auds";
    h.handler = "";
    h.scale = 1;
    h.rate = samplesPerSec;
    return List("LIST", "strl", {Strh(h), StrfAudio(tag, channels, samplesPerSec, avgBytesPerSec)});
}

// A file written to a temporary folder and opened in a fresh Document.
class OpenedAvi {
public:
    explicit OpenedAvi(const Bytes& contents) : file_(contents, "test.avi") { document_.OpenFile(file_.Path()); }
    Document& Doc() { return document_; }
    const Document& Doc() const { return document_; }
    const AviParse& Parse() const { return *document_.Avi(); }
    const std::vector<std::string>& Description() const { return document_.BoxDescriptionPane().Lines(); }
    const std::vector<std::string>& FileInfo() const { return document_.FileInfoPane().Lines(); }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (const auto& n : document_.Tree().Nodes()) out.push_back(n.caption);
        return out;
    }
    // The description pane after a click on node n.
    const std::vector<std::string>& Click(std::int64_t n) {
        document_.TreeView1Click(n);
        return Description();
    }
    // The first FILEInfo line that starts with prefix, or "" when there is none.
    std::string FileInfoLine(const std::string& prefix) const {
        for (const auto& line : FileInfo())
            if (line.rfind(prefix, 0) == 0) return line;
        return "";
    }

private:
    TempFile file_;
    Document document_;
};

// Lines of a pane that start with prefix.
inline std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

}  // namespace kestrova::test
