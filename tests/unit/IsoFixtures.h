#pragma once
// Byte-exact pieces of MP4/3GP files for the ISO tests, and a Document opened on them.

#include <cstdint>
#include <string>
#include <vector>

#include "iso/Mp4ParseIso.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova::test {

inline Bytes Repeat(const Bytes& b, std::size_t n) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) out.insert(out.end(), b.begin(), b.end());
    return out;
}

// tkhd in either layout; width and height are whole pixels.
inline Bytes Tkhd(std::uint8_t version, std::uint32_t trackId, std::uint32_t width, std::uint32_t height,
                  std::uint64_t created = 0, std::uint64_t duration = 0) {
    const Bytes times = version == 1 ? Cat({U64(created), U64(created + 1), U32(trackId), U32(0), U64(duration)})
                                     : Cat({U32(std::uint32_t(created)), U32(std::uint32_t(created + 1)), U32(trackId),
                                            U32(0), U32(std::uint32_t(duration))});
    const Bytes matrix = Cat({U32(0x10000), U32(0), U32(0), U32(0), U32(0x10000), U32(0), U32(0), U32(0), U32(0x40000000)});
    return FullBox("tkhd", version, 3,
                   Cat({times, U32(0), U32(0), U16(0), U16(0), U16(0x100), U16(0), matrix, U32(width << 16),
                        U32(height << 16)}));
}

inline Bytes Mdhd(std::uint8_t version, std::uint32_t timescale, std::uint64_t duration, std::uint8_t lang0 = 0x15,
                  std::uint8_t lang1 = 0xC7) {
    const Bytes times = version == 1 ? Cat({U64(0), U64(0), U32(timescale), U64(duration)})
                                     : Cat({U32(0), U32(0), U32(timescale), U32(std::uint32_t(duration))});
    return FullBox("mdhd", version, 0, Cat({times, U8(lang0), U8(lang1), U16(0)}));
}

inline Bytes Hdlr(const std::string& handler, const Bytes& name = Cat({Text("Handler"), U8(0)})) {
    return FullBox("hdlr", 0, 0, Cat({U32(0), Text(handler), U32(0), U32(0), U32(0), name}));
}

// A sample table box with 32-bit entries after version, flags and the count.
inline Bytes Table(const std::string& type, std::uint32_t count, std::initializer_list<std::uint32_t> entries) {
    Bytes body = U32(count);
    for (std::uint32_t e : entries) body = Cat({body, U32(e)});
    return FullBox(type, 0, 0, body);
}

inline Bytes Stsz(std::uint32_t sampleSize, std::uint32_t count, std::initializer_list<std::uint32_t> sizes = {}) {
    Bytes body = Cat({U32(sampleSize), U32(count)});
    for (std::uint32_t s : sizes) body = Cat({body, U32(s)});
    return FullBox("stsz", 0, 0, body);
}

inline Bytes Stsd(std::uint32_t count, std::initializer_list<Bytes> entries) {
    return FullBox("stsd", 0, 0, Cat({U32(count), Cat(entries)}));
}

// A visual sample entry (mp4v, s263, avc1 ...) with its 78 fixed bytes and children.
inline Bytes VisualEntry(const std::string& type, std::uint16_t width, std::uint16_t height,
                         const Bytes& children = {}) {
    Bytes name = Zeros(32);
    name[0] = 4;
    name[1] = 'T';
    name[2] = 'e';
    name[3] = 's';
    name[4] = 't';
    return Box(type, Cat({Zeros(6), U16(1), Zeros(16), U16(width), U16(height), U32(0x480000), U32(0x480000), U32(0),
                          U16(1), name, U16(0x18), U16(0xFFFF), children}));
}

// An audio sample entry (mp4a, samr, sevc ...) with its 28 fixed bytes and what follows.
inline Bytes AudioEntry(const std::string& type, std::uint16_t channels, std::uint16_t rate, const Bytes& rest = {}) {
    return Box(type, Cat({Zeros(6), U16(1), U32(0), U32(0), U16(channels), U16(16), U16(0), U16(0), U16(rate),
                          U16(0), rest}));
}

inline Bytes Damr(std::uint16_t modeSet, std::uint8_t framesPerSample = 1) {
    return Box("damr", Cat({Text("KSTR"), U8(0), U16(modeSet), U8(0), U8(framesPerSample)}));
}

// Descriptor bytes: tag, one length byte, payload.
inline Bytes Descriptor(std::uint8_t tag, const Bytes& payload) {
    return Cat({U8(tag), U8(static_cast<std::uint8_t>(payload.size())), payload});
}
inline Bytes DecoderConfig(std::uint8_t oti, std::uint8_t streamType, const Bytes& dsi = {}, bool withDsi = true) {
    return Descriptor(4, Cat({U8(oti), U8(static_cast<std::uint8_t>(streamType << 2 | 1)), U24(0x1800), U32(128000),
                              U32(96000), withDsi ? Descriptor(5, dsi) : Bytes{}}));
}
inline Bytes SlConfig() { return Descriptor(6, U8(2)); }
inline Bytes Esds(const Bytes& afterEsHeader, std::uint16_t esId = 1) {
    return FullBox("esds", 0, 0, Descriptor(3, Cat({U16(esId), U8(0), afterEsHeader})));
}

// A track with one sample table, and a file with one movie box.
inline Bytes Trak(const Bytes& tkhd, const std::string& handler, const Bytes& stblChildren) {
    return Box("trak", {tkhd, Box("mdia", {Mdhd(0, 1000, 5000), Hdlr(handler),
                                           Box("minf", {Box("stbl", stblChildren)})})});
}
inline Bytes Movie(std::initializer_list<Bytes> moovChildren) { return Box("moov", Cat(moovChildren)); }

// A Document opened on the bytes, and what its panes show.
class OpenedIso {
public:
    explicit OpenedIso(const Bytes& contents, const std::string& name = "fixture.mp4") : file_(contents, name) {
        doc_.OpenFile(file_.Path());
    }
    Document& Doc() { return doc_; }
    const IsoParse& Parse() const { return *doc_.Iso(); }

    // The absolute index of the n-th node with this caption; -1 when there is none.
    std::int64_t Node(const std::string& caption, int n = 0) const {
        const auto& nodes = doc_.Tree().Nodes();
        for (std::size_t i = 1; i < nodes.size(); ++i)
            if (nodes[i].caption == caption && n-- == 0) return static_cast<std::int64_t>(i);
        return -1;
    }
    // Clicks the node and returns the description pane lines after the separator.
    std::vector<std::string> Lines(const std::string& caption, int n = 0) {
        doc_.TreeView1Click(Node(caption, n));
        const auto& lines = doc_.BoxDescriptionPane().Lines();
        std::vector<std::string> out;
        bool after = false;
        for (const auto& line : lines) {
            if (after) out.push_back(line);
            if (line == std::string(40, '-')) after = true;
        }
        return out;
    }
    // The summary lines after the "File Name : " line.
    std::vector<std::string> Summary() {
        doc_.TreeView1Click(0);
        const auto& lines = doc_.FileInfoPane().Lines();
        return lines.size() > 2 ? std::vector<std::string>(lines.begin() + 2, lines.end()) : std::vector<std::string>{};
    }

private:
    TempFile file_;
    Document doc_;
};

}  // namespace kestrova::test
