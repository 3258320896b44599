// The full view's chunk walk. Every chunk header is visited once, by the list
// that directly holds it, and each step moves on by a header at least, so the
// walk is linear in the file. Odd-sized chunks are followed by their pad byte.

#include "avi/full/AviFull.h"
#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/Limits.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t kRiff = Fourcc("RIFF"), kList = Fourcc("LIST"), kMovi = Fourcc("movi"),
                        kStrl = Fourcc("strl"), kRec = Fourcc("rec ");
constexpr std::size_t kMaxLevels = 64;

bool IsDigit(std::uint32_t b) { return b >= '0' && b <= '9'; }

struct Level {
    std::uint64_t pos;
    std::uint64_t end;
    std::int32_t parentRecord;
    std::int32_t parentNode;
    bool inMovi;
    std::int32_t stream;  // of the strl being walked; -1 elsewhere
};

}  // namespace

bool LooksLikeAviStart(FileSource& file) {
    std::uint8_t b[12];
    if (file.ReadSmall(0, b, sizeof b) < sizeof b) return false;
    const ByteReader r({b, sizeof b});
    return r.Fourcc(0) == kRiff && r.Fourcc(8) == Fourcc("AVI ");
}

void WalkAviFull(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviFullParse& parse) {
    parse = AviFullParse{};
    parse.fileSize = fileSize;
    parse.layout = ReadAviLayout(file);
    std::vector<bool> shown(100, false);  // streams whose first data chunk has a node
    std::int32_t strlCount = 0;
    std::int32_t lastDataStream = -1;
    std::vector<Level> stack{{0, fileSize, -1, tree.LastNode, false, -1}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.pos >= level.end || level.end - level.pos < 8) {
            stack.pop_back();
            continue;
        }
        const std::uint64_t at = level.pos;
        std::uint8_t b[12];
        file.ReadSmall(at, b, sizeof b);
        const ByteReader r({b, sizeof b});
        const std::uint32_t id = r.Fourcc(0), size = r.U32LE(4), type = r.Fourcc(8);
        if (!IsChunkId(id)) {
            stack.pop_back();
            continue;
        }
        const bool fits = std::uint64_t{size} <= level.end - at - 8;
        level.pos = fits ? NextChunkOffset(file, at, size) : level.end;
        const bool isList = (id == kRiff || id == kList) && size >= 4;
        const bool dataId = IsDigit(id >> 24) && IsDigit((id >> 16) & 0xFF);
        const bool indexId = (id >> 16) == ('i' << 8 | 'x') && IsDigit((id >> 8) & 0xFF) && IsDigit(id & 0xFF);
        std::int32_t stream = level.stream;
        if (dataId) stream = static_cast<std::int32_t>(((id >> 24) - '0') * 10 + (((id >> 16) & 0xFF) - '0'));
        if (indexId) stream = static_cast<std::int32_t>((((id >> 8) & 0xFF) - '0') * 10 + ((id & 0xFF) - '0'));
        if (level.inMovi && dataId) {
            ++parse.dataChunks;
            if (lastDataStream >= 0 && stream != lastDataStream) ++parse.streamChanges;
            lastDataStream = stream;
        }
        if (level.inMovi) {
            // The other data chunks are reached through the indexes and the samples.
            const bool rec = isList && type == kRec;
            const bool first = dataId && !shown[static_cast<std::size_t>(stream)];
            if (!rec && !indexId && !first) continue;
            if (first) shown[static_cast<std::size_t>(stream)] = true;
        }
        if (parse.records.size() >= kMaxRecords) {
            parse.recordLimitReached = true;
            break;
        }
        const bool strl = isList && id == kList && type == kStrl;
        if (strl) stream = strlCount++;
        AviFullRecord rec;
        rec.index = static_cast<std::int32_t>(parse.records.size());
        rec.parent = level.parentRecord;
        rec.offset = at;
        rec.size = size;
        rec.extent = std::min<std::uint64_t>(8 + std::uint64_t{size}, fileSize - at);
        rec.id = id;
        rec.listType = isList ? type : 0;
        rec.stream = stream;
        parse.records.push_back(rec);
        tree.Add(isList ? FourccText(id) + " " + FourccText(type) : FourccText(id), level.parentNode);
        if (isList && stack.size() < kMaxLevels) {
            const Level child{at + 12, std::min(at + 8 + std::uint64_t{size}, level.end), rec.index, tree.LastNode,
                              level.inMovi || type == kMovi, strl ? stream : level.stream};
            stack.push_back(child);
        }
    }
}

}  // namespace kestrova::full
