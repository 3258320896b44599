// The recognition scan and the box walk. Positions are 64-bit, a header that
// does not lie wholly inside the file ends its level, and every step moves on,
// so every walk ends.

#include <algorithm>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/Limits.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

struct Header {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t largeSize = 0;
    std::uint64_t extent = 0;  // how far the box reaches; never 0 unless size is 0
};

Header ReadHeader(FileSource& file, std::uint64_t pos) {
    std::uint8_t bytes[16];
    file.ReadSmall(pos, bytes, sizeof bytes);
    const ByteReader r({bytes, sizeof bytes});
    Header h;
    h.size = r.U32BE(0);
    h.type = r.Fourcc(4);
    if (h.size == 1) h.largeSize = r.U64BE(8);
    // A 64-bit size too small to hold its own header keeps the 32-bit meaning.
    h.extent = (h.size == 1 && h.largeSize >= 16) ? h.largeSize : h.size;
    return h;
}

enum class Level { File, Moov, Trak, Tref, Mdia, Minf, Dinf, Dref, Stbl, Udta };

constexpr std::uint32_t kFtyp = Fourcc("ftyp"), kMoov = Fourcc("moov"), kMdat = Fourcc("mdat"),
                        kUdta = Fourcc("udta"), kMvhd = Fourcc("mvhd"), kIods = Fourcc("iods"),
                        kTrak = Fourcc("trak"), kTkhd = Fourcc("tkhd"), kTref = Fourcc("tref"),
                        kMdia = Fourcc("mdia"), kMpod = Fourcc("mpod"), kMdhd = Fourcc("mdhd"),
                        kHdlr = Fourcc("hdlr"), kMinf = Fourcc("minf"), kVmhd = Fourcc("vmhd"),
                        kSmhd = Fourcc("smhd"), kHmhd = Fourcc("hmhd"), kHint = Fourcc("hint"),
                        kDinf = Fourcc("dinf"), kStbl = Fourcc("stbl"), kDref = Fourcc("dref"),
                        kUrl = Fourcc("url "), kStsd = Fourcc("stsd"), kStts = Fourcc("stts"),
                        kStss = Fourcc("stss"), kStsz = Fourcc("stsz"), kStsc = Fourcc("stsc"),
                        kStco = Fourcc("stco");

bool IsUdtaText(std::uint32_t type) {
    switch (type) {
    case Fourcc("cprt"): case Fourcc("titl"): case Fourcc("auth"): case Fourcc("dscp"):
    case Fourcc("perf"): case Fourcc("gnre"): case Fourcc("albm"):
        return true;
    default:
        return false;
    }
}

class Walker {
public:
    Walker(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse)
        : file_(file), fileSize_(fileSize), tree_(tree), parse_(parse) {}

    void WalkTop() {
        const std::int32_t parent = tree_.LastNode;
        std::uint64_t pos = 0;
        while (!stopped_ && pos < fileSize_ && fileSize_ - pos >= 8) {
            const Header h = ReadHeader(file_, pos);
            if (h.size == 0) return;
            Handle(Level::File, pos, h, parent);
            if (h.extent >= fileSize_ - pos) return;
            pos += h.extent;
        }
    }

private:
    // Records the box and adds its node; false once the record limit is reached.
    bool AddBox(std::uint64_t offset, const Header& h, std::int32_t typeIndex, std::int32_t parent,
                BoxRecord* out = nullptr) {
        if (parse_.records.size() >= kMaxRecords) {
            parse_.recordLimitReached = true;
            stopped_ = true;
            return false;
        }
        BoxRecord r;
        r.index = static_cast<std::int32_t>(parse_.records.size());
        r.offset = offset;
        r.size = h.size;
        r.type = h.type;
        r.typeIndex = typeIndex;
        r.largeSize = h.largeSize;
        parse_.records.push_back(r);
        tree_.Add(FourccText(h.type), parent);
        if (out) *out = r;
        return true;
    }

    void WalkChildren(Level level, const BoxRecord& box, std::uint64_t firstChild) {
        const std::int32_t parent = tree_.LastNode;
        const std::uint64_t extent = box.Extent();
        std::uint64_t off = firstChild + box.HeaderLength() - 8;
        while (!stopped_ && off < extent) {
            if (off >= fileSize_ - std::min(box.offset, fileSize_)) return;
            const std::uint64_t at = box.offset + off;
            if (fileSize_ - at < 8) return;
            const Header h = ReadHeader(file_, at);
            if (h.size == 0) return;
            Handle(level, at, h, parent);
            if (h.extent >= extent - off) return;
            off += h.extent;
        }
    }

    void Leaf(std::uint64_t at, const Header& h, std::int32_t parent) { AddBox(at, h, 0, parent); }

    // A box numbered by its own counter, which moves on after its parse or walk.
    template <typename Then>
    void Counted(std::int32_t& counter, std::uint64_t at, const Header& h, std::int32_t parent, Then then) {
        BoxRecord r;
        if (!AddBox(at, h, counter, parent, &r)) return;
        then(r);
        ++counter;
    }

    void Udta(std::uint64_t at, const Header& h, std::int32_t parent) {
        Counted(parse_.tables.counters.udta, at, h, parent,
                [&](const BoxRecord& r) { WalkChildren(Level::Udta, r, 8); });
    }

    void Handle(Level level, std::uint64_t at, const Header& h, std::int32_t parent) {
        IsoCounters& c = parse_.tables.counters;
        BoxRecord r;
        if (h.type == kUdta && level != Level::Udta) return Udta(at, h, parent);
        switch (level) {
        case Level::File:
            if (h.type == kFtyp) {
                if (AddBox(at, h, 0, parent, &r)) ParseFtyp(file_, parse_, parse_.records.back());
            } else if (h.type == kMoov) {
                if (AddBox(at, h, 0, parent, &r)) WalkChildren(Level::Moov, r, 8);
            } else {
                Leaf(at, h, parent);
            }
            return;
        case Level::Moov:
            if (h.type == kTrak)
                return Counted(c.trak, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Trak, b, 8); });
            return Leaf(at, h, parent);  // mvhd, iods and mvex have no counter
        case Level::Trak:
            if (h.type == kTkhd) return Counted(c.tkhd, at, h, parent, [](const BoxRecord&) {});
            if (h.type == kTref)
                return Counted(c.tref, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Tref, b, 8); });
            if (h.type == kMdia)
                return Counted(c.mdia, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Mdia, b, 8); });
            return Leaf(at, h, parent);
        case Level::Tref:
            if (h.type == kMpod) return Counted(c.mpod, at, h, parent, [](const BoxRecord&) {});
            return Leaf(at, h, parent);
        case Level::Mdia:
            if (h.type == kMdhd) return Counted(c.mdhd, at, h, parent, [](const BoxRecord&) {});
            if (h.type == kHdlr) return Counted(c.hdlr, at, h, parent, [](const BoxRecord&) {});
            if (h.type == kMinf)
                return Counted(c.minf, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Minf, b, 8); });
            return Leaf(at, h, parent);
        case Level::Minf:
            if (h.type == kVmhd) return Counted(c.vmhd, at, h, parent, [](const BoxRecord&) {});
            if (h.type == kSmhd) return Counted(c.smhd, at, h, parent, [](const BoxRecord&) {});
            if (h.type == kDinf) {
                if (AddBox(at, h, 0, parent, &r)) WalkChildren(Level::Dinf, r, 8);
                return;
            }
            if (h.type == kStbl)
                return Counted(c.stbl, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Stbl, b, 8); });
            return Leaf(at, h, parent);  // hmhd and hint share row 0
        case Level::Dinf:
            if (h.type == kDref)
                return Counted(c.dref, at, h, parent, [&](const BoxRecord& b) { WalkChildren(Level::Dref, b, 16); });
            return Leaf(at, h, parent);
        case Level::Dref:
            if (h.type == kUrl) return Counted(c.url, at, h, parent, [](const BoxRecord&) {});
            return Leaf(at, h, parent);
        case Level::Stbl:
            switch (h.type) {
            case kStsd: return Counted(c.stsd, at, h, parent, [](const BoxRecord&) {});
            case kStts: return Counted(c.stts, at, h, parent, [](const BoxRecord&) {});
            case kStss: return Counted(c.stss, at, h, parent, [](const BoxRecord&) {});
            case kStsz: return Counted(c.stsz, at, h, parent, [](const BoxRecord&) {});
            case kStsc: return Counted(c.stsc, at, h, parent, [](const BoxRecord&) {});
            case kStco: return Counted(c.stco, at, h, parent, [](const BoxRecord&) {});
            default: return Leaf(at, h, parent);
            }
        case Level::Udta:
            // The text items take the number of the udta row they belong to.
            AddBox(at, h, IsUdtaText(h.type) ? c.udta : 0, parent);
            return;
        }
    }

    FileSource& file_;
    std::uint64_t fileSize_;
    NodeList& tree_;
    IsoParse& parse_;
    bool stopped_ = false;
};

}  // namespace

std::uint8_t IsIsoFile(FileSource& file, std::uint64_t fileSize) {
    if (fileSize == 0) return 0;
    std::uint8_t flags = 0;
    std::uint64_t pos = 0;
    while (pos < fileSize) {
        const Header h = ReadHeader(file, pos);  // a partial header reads as zeros past the end
        if (h.size == 0) return flags;
        if (h.type == kMoov) flags |= 1;
        if (h.type == kMdat) flags |= 2;
        if (flags == 3) break;
        if (h.extent >= fileSize - pos) break;
        pos += h.extent;
    }
    return flags & 1;
}

void WalkTopLevel(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse) {
    if (fileSize == 0) return;
    Walker(file, fileSize, tree, parse).WalkTop();
}

std::uint8_t ParseIsoFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse) {
    const std::uint8_t flags = IsIsoFile(file, fileSize);
    if (flags & 1) WalkTopLevel(file, fileSize, tree, parse);
    return flags;
}

const BoxRecord& GetBoxRecord(const IsoParse& parse, std::int64_t nodeIndex) {
    return parse.records.at(static_cast<std::size_t>(nodeIndex - 1));
}

}  // namespace kestrova
