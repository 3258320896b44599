// The walk of the full view. Every level is bounded by its parent's extent and
// the file, every step moves forward, nesting stops at kMaxDepth and records at
// kMaxRecords, so any input ends the walk. Only headers and a few context
// fields are read here; descriptions read their box when it is clicked.

#include <algorithm>
#include <array>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "common/Limits.h"
#include "common/MapAhead.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t kTrak = Fourcc("trak"), kTkhd = Fourcc("tkhd"), kMdhd = Fourcc("mdhd"),
                        kHdlr = Fourcc("hdlr"), kMdia = Fourcc("mdia"), kStsd = Fourcc("stsd"),
                        kMeta = Fourcc("meta"), kVide = Fourcc("vide"), kSoun = Fourcc("soun"),
                        kTfhd = Fourcc("tfhd"), kTraf = Fourcc("traf"), kSgpd = Fourcc("sgpd"),
                        kSbgp = Fourcc("sbgp"), kStbl = Fourcc("stbl"), kSchi = Fourcc("schi"),
                        kTenc = Fourcc("tenc"), kUuid = Fourcc("uuid"), kSeig = Fourcc("seig"),
                        kKeys = Fourcc("keys"), kIinf = Fourcc("iinf"), kMoof = Fourcc("moof");

bool IsPrintableType(std::uint32_t type) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (type >> shift) & 0xFF;
        if (c < 0x20 || (c > 0x7E && c != 0xA9)) return false;
    }
    return true;
}

struct Header {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t largeSize = 0;
    std::uint8_t headerSize = 8;
    std::uint64_t extent = 0;  // what the header declares; 0 when it cannot be a box
    bool toEnd = false;
};

// room: bytes from pos to the end of the parent (or file).
Header ReadHeader(FileSource& file, std::uint64_t pos, std::uint64_t room) {
    std::uint8_t bytes[16] = {};
    file.ReadSmall(pos, bytes, room < 16 ? static_cast<std::size_t>(room) : 16);
    const ByteReader r({bytes, sizeof bytes});
    Header h;
    h.size = r.U32BE(0);
    h.type = r.Fourcc(4);
    if (h.size == 0) {
        h.toEnd = true;
        h.extent = room;
    } else if (h.size == 1) {
        h.headerSize = 16;
        h.largeSize = room >= 16 ? r.U64BE(8) : 0;
        h.extent = h.largeSize >= 16 ? h.largeSize : 0;
    } else {
        h.extent = h.size >= 8 ? h.size : 0;
    }
    return h;
}

std::uint64_t ChildStart(EntryLayout layout) {
    switch (layout) {
    case EntryLayout::Visual: return 78;
    case EntryLayout::Audio: return 28;
    case EntryLayout::AudioQtV1: return 44;
    case EntryLayout::AudioQtV2: return 64;
    case EntryLayout::Text: return 38;
    case EntryLayout::System: return 8;
    case EntryLayout::Hint: return 16;
    default: return 0;
    }
}

class Walker {
public:
    Walker(FileSource& file, std::uint64_t fileSize, NodeList& tree, FullParse& parse, MoofSink* moofs)
        : file_(file), fileSize_(fileSize), tree_(tree), parse_(parse), moofs_(moofs) {}

    void Walk() { WalkLevel(0, fileSize_, -1, tree_.LastNode, 0, -1); }

private:
    // Walks the boxes from begin to end under parent (a record, or -1 for the file).
    void WalkLevel(std::uint64_t begin, std::uint64_t end, std::int32_t parent, std::int32_t parentNode,
                   int depth, std::int32_t track) {
        if (depth >= kMaxDepth) {
            if (begin + 8 <= end) parse_.depthLimitReached = true;
            return;
        }
        std::uint64_t pos = begin;
        while (!stopped_ && pos < end && end - pos >= 8) {
            const Header h = ReadHeader(file_, pos, end - pos);
            if (parse_.records.size() >= kMaxRecords) {
                parse_.recordLimitReached = true;
                stopped_ = true;
                return;
            }
            FullRecord rec;
            rec.index = static_cast<std::int32_t>(parse_.records.size());
            rec.parent = parent;
            rec.track = track;
            rec.offset = pos;
            rec.size = h.size;
            rec.type = h.type;
            rec.largeSize = h.largeSize;
            rec.headerSize = h.headerSize;
            rec.depth = static_cast<std::uint8_t>(depth);
            rec.sizeToEnd = h.toEnd;
            rec.declaredExtent = h.extent;
            const bool sane = h.extent >= h.headerSize;
            // A size that cannot hold its own header, or that reaches past the
            // parent, ends this level with the box cut to what is left.
            rec.extent = sane ? std::min(h.extent, end - pos) : end - pos;
            rec.cutByParent = !sane || h.extent > end - pos;
            if (rec.extent < rec.headerSize) rec.headerSize = static_cast<std::uint8_t>(std::min<std::uint64_t>(rec.extent, 8));

            if (rec.type == kTrak) {
                parse_.tracks.push_back({rec.index});
                rec.track = static_cast<std::int32_t>(parse_.tracks.size() - 1);
            }
            const std::uint32_t parentType = parent >= 0 ? Record(parent).type : 0;
            const BoxRule* rule = CachedRule(parentType, rec.type);
            if (rule == nullptr && parentType == kStsd) rule = EntryRuleByHandler(rec.track);
            rec.rule = RuleIndex(rule);
            parse_.records.push_back(rec);
            MapAheadOf(parse_.records);
            MapAheadOf(tree_.Nodes());
            TakeContext(Record(rec.index));
            const std::int32_t node = tree_.Add(FourccText(rec.type), parentNode);

            if (depth == 0 && sane) KeepTopLevel(Record(rec.index));
            if (sane && rule != nullptr) Enter(rec.index, *rule, node, depth);
            if (!sane || rec.cutByParent) return;
            pos += rec.extent;
        }
    }

    FullRecord& Record(std::int32_t i) { return parse_.records[static_cast<std::size_t>(i)]; }

    // A fragmented file repeats a handful of (parent, type) pairs tens of thousands of times.
    const BoxRule* CachedRule(std::uint32_t parentType, std::uint32_t type) {
        const std::uint64_t key = std::uint64_t{parentType} << 32 | type;
        RuleSlot& slot = rules_[(key * 0x9E3779B97F4A7C15ull) >> 58];
        if (!slot.filled || slot.key != key) slot = {key, FindBoxRule(parentType, type), true};
        return slot.rule;
    }

    // A moof's body is in the window its header was just read through, so
    // handing it over costs no read.
    void KeepTopLevel(const FullRecord& rec) {
        const TopLevelBox& box =
            parse_.topLevel.emplace_back(TopLevelBox{rec.offset, rec.extent, rec.type, rec.headerSize});
        if (rec.type != kMoof || moofs_ == nullptr) return;
        file_.ReadAt(rec.BodyOffset(), std::min(rec.BodyLength(), kMaxMoofRead), big_);
        moofs_->Moof(box, {big_.data(), big_.size()});
    }

    const BoxRule* EntryRuleByHandler(std::int32_t track) {
        if (track < 0) return nullptr;
        const std::uint32_t handler = parse_.tracks[static_cast<std::size_t>(track)].handlerType;
        if (handler == kVide) return FindBoxRule(kStsd, Fourcc("resv"));
        if (handler == kSoun) return FindBoxRule(kStsd, Fourcc("enca"));
        return nullptr;
    }

    // Reads up to n bytes of the record's body.
    ByteReader Body(const FullRecord& rec, std::size_t n) {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, rec.BodyLength()));
        small_.fill(0);
        if (n <= small_.size()) {
            file_.ReadSmall(rec.BodyOffset(), small_.data(), n);
            return ByteReader({small_.data(), n});
        }
        file_.ReadAt(rec.BodyOffset(), n, big_);
        return ByteReader({big_.data(), big_.size()});
    }

    void Enter(std::int32_t index, const BoxRule& rule, std::int32_t node, int depth) {
        FullRecord& rec = Record(index);
        const std::int32_t track = rec.track;
        std::uint64_t childStart = 0;
        switch (rule.kind) {
        case BoxKind::Leaf: return;
        case BoxKind::Container: break;
        case BoxKind::FullContainer:
            // iinf counts its entries in 16 bits in version 0, else in 32.
            childStart = rec.type == kIinf ? (Body(rec, 1).U8(0) == 0 ? 6 : 8) : 4;
            break;
        case BoxKind::CountedContainer: childStart = 8; break;
        case BoxKind::Meta: {
            const ByteReader b = Body(rec, 8);
            const std::uint32_t size = b.U32BE(0);
            rec.quickTimeMeta = size >= 8 && size <= rec.BodyLength() && IsPrintableType(b.Fourcc(4));
            childStart = rec.quickTimeMeta ? 0 : 4;
            break;
        }
        case BoxKind::SampleEntry: {
            rec.layout = rule.layout;
            if (rec.layout == EntryLayout::Audio && stsdVersion_ == 0) {
                const std::uint16_t version = Body(rec, 10).U16BE(8);
                if (version == 1) rec.layout = EntryLayout::AudioQtV1;
                if (version == 2) rec.layout = EntryLayout::AudioQtV2;
            }
            if (rec.layout == EntryLayout::Plain || rec.layout == EntryLayout::None) return;
            childStart = rec.layout == EntryLayout::XmlMeta ? XmlMetaChildStart(rec) : ChildStart(rec.layout);
            break;
        }
        }
        const FullRecord& r = Record(index);
        if (childStart >= r.BodyLength()) return;
        const std::uint64_t begin = r.BodyOffset() + childStart;
        const std::uint64_t end = r.offset + r.extent;
        const std::uint8_t savedStsd = stsdVersion_;
        if (r.type == kStsd) stsdVersion_ = Body(r, 1).U8(0);
        WalkLevel(begin, end, index, node, depth + 1, track);
        stsdVersion_ = savedStsd;
    }

    // stpp, metx and mett: reserved and index, then two or three zero-ended strings.
    std::uint64_t XmlMetaChildStart(const FullRecord& rec) {
        const int strings = rec.type == Fourcc("mett") ? 2 : 3;
        const ByteReader b = Body(rec, 4096);
        std::uint64_t pos = 8;
        for (int i = 0; i < strings && pos < b.Size(); ++i) {
            while (pos < b.Size() && b.U8(pos) != 0) ++pos;
            ++pos;
        }
        return pos;
    }

    // The few values later descriptions need from other boxes.
    void TakeContext(const FullRecord& rec) {
        const std::uint32_t parentType = rec.parent >= 0 ? Record(rec.parent).type : 0;
        if (rec.type == kTfhd && parentType == kTraf) {
            parse_.trafTracks.emplace_back(rec.parent, Body(rec, 8).U32BE(4));
            return;
        }
        if ((rec.type == kSgpd || rec.type == kSbgp) && (parentType == kTraf || parentType == kStbl)) {
            TakeSeig(rec);
            return;
        }
        if (rec.type == kKeys && parentType == kMeta) {
            TakeKeys(rec);
            return;
        }
        if (rec.track < 0) return;
        FullTrack& t = parse_.tracks[static_cast<std::size_t>(rec.track)];
        if (parentType == kSchi && (rec.type == kTenc || rec.type == kUuid)) {
            TakeTenc(rec, t);
            return;
        }
        if (rec.type == kTkhd && parentType == kTrak) {
            const ByteReader b = Body(rec, 24);
            t.trackId = b.U32BE(b.U8(0) == 1 ? 20 : 12);
        } else if (rec.type == kMdhd && parentType == kMdia) {
            const ByteReader b = Body(rec, 24);
            t.timescale = b.U32BE(b.U8(0) == 1 ? 20 : 12);
        } else if (rec.type == kHdlr && parentType == kMdia) {
            t.handlerType = Body(rec, 12).Fourcc(8);
        }
    }

    // tenc, or PIFF's track encryption uuid (an algorithm ID where tenc has its protected flag).
    void TakeTenc(const FullRecord& rec, FullTrack& t) {
        static constexpr std::uint8_t kPiffTenc[16] = {0x89, 0x74, 0xDB, 0xCE, 0x7B, 0xE7, 0x4C, 0x51,
                                                       0x84, 0xF9, 0x71, 0x48, 0xF9, 0x88, 0x25, 0x54};
        const ByteReader b = Body(rec, 40);
        IvDefault d;
        d.record = rec.index;
        if (rec.type == kUuid) {
            for (std::size_t i = 0; i < 16; ++i)
                if (b.U8(i) != kPiffTenc[i]) return;
            if (b.Size() < 24) return;
            d.isProtected = (b.U32BE(20) >> 8) != 0;
            d.ivSize = b.U8(23);
            d.ivSizeAt = rec.BodyOffset() + 23;
        } else {
            if (b.Size() < 8) return;
            d.isProtected = b.U8(6) != 0;
            d.ivSize = b.U8(7);
            d.ivSizeAt = rec.BodyOffset() + 7;
            if (d.isProtected && d.ivSize == 0) d.constantIvSize = b.U8(24);
        }
        d.known = true;
        t.tenc = d;
    }

    // The names of a keys box, for the ilst items that index it.
    void TakeKeys(const FullRecord& rec) {
        const ByteReader b = Body(rec, 1 << 20);
        std::vector<std::string> names;
        const std::uint64_t count = b.U32BE(4);
        std::size_t pos = 8;
        for (std::uint64_t i = 0; i < count && pos + 8 <= b.Size(); ++i) {
            const std::uint32_t size = b.U32BE(pos);
            if (size < 8 || size > b.Size() - pos) break;
            names.push_back(TextFromFileBytes(b.Bytes().data() + pos + 8, size - 8));
            pos += size;
        }
        parse_.keys.emplace_back(rec.parent, std::move(names));
    }

    SeigGroups& SeigOf(std::int32_t holder) {
        for (SeigGroups& g : parse_.seig)
            if (g.holder == holder) return g;
        parse_.seig.push_back({holder});
        return parse_.seig.back();
    }

    // The seig sample groups: the IV size of each sgpd entry and the runs of the sbgp.
    void TakeSeig(const FullRecord& rec) {
        if (Body(rec, 8).U32BE(4) != kSeig) return;
        constexpr std::size_t kMaxSeigRead = 1 << 20;
        const ByteReader b = Body(rec, kMaxSeigRead);
        const std::uint8_t version = b.U8(0);
        SeigGroups& g = SeigOf(rec.parent);
        if (rec.type == kSbgp) {
            g.hasSbgp = true;
            std::size_t pos = version == 1 ? 12 : 8;
            const std::uint64_t count = b.U32BE(pos);
            pos += 4;
            for (std::uint64_t i = 0; i < count && pos + 8 <= b.Size(); ++i, pos += 8)
                g.runs.emplace_back(b.U32BE(pos), b.U32BE(pos + 4));
            return;
        }
        std::size_t pos = 8;
        const std::uint32_t defaultLength = version >= 1 ? b.U32BE(pos) : 0;
        if (version >= 1) pos += 4;
        if (version >= 2) pos += 4;
        const std::uint64_t count = b.U32BE(pos);
        pos += 4;
        for (std::uint64_t i = 0; i < count && pos + 20 <= b.Size(); ++i) {
            std::size_t length = defaultLength;
            if (version >= 1 && defaultLength == 0) {
                length = b.U32BE(pos);
                pos += 4;
            } else if (version == 0) {
                length = b.U8(pos + 2) == 1 && b.U8(pos + 3) == 0 ? 21 + b.U8(pos + 20) : 20;
            }
            if (pos + 4 > b.Size()) break;
            IvDefault d;
            d.known = true;
            d.record = rec.index;
            d.isProtected = b.U8(pos + 2) != 0;
            d.ivSize = b.U8(pos + 3);
            d.ivSizeAt = rec.BodyOffset() + pos + 3;
            if (d.isProtected && d.ivSize == 0) d.constantIvSize = b.U8(pos + 20);
            g.entries.push_back(d);
            if (length == 0) break;
            pos += length;
        }
    }

    FileSource& file_;
    std::uint64_t fileSize_;
    NodeList& tree_;
    FullParse& parse_;
    MoofSink* moofs_;
    bool stopped_ = false;
    std::uint8_t stsdVersion_ = 0;
    std::array<std::uint8_t, 64> small_{};
    struct RuleSlot {
        std::uint64_t key = 0;
        const BoxRule* rule = nullptr;
        bool filled = false;
    };
    std::array<RuleSlot, 64> rules_{};
    std::vector<std::uint8_t> big_;
};

}  // namespace

bool LooksLikeIsoStart(FileSource& file, std::uint64_t fileSize) {
    if (fileSize < 8) return false;
    static constexpr std::array<std::uint32_t, 17> kFirst = {
        Fourcc("ftyp"), Fourcc("styp"), Fourcc("moov"), Fourcc("moof"), Fourcc("sidx"), Fourcc("mdat"),
        Fourcc("free"), Fourcc("skip"), Fourcc("wide"), Fourcc("pdin"), Fourcc("meta"), Fourcc("emsg"),
        Fourcc("prft"), Fourcc("uuid"), Fourcc("jP  "), Fourcc("mfra"), kMeta};
    const Header h = ReadHeader(file, 0, fileSize);
    if (std::find(kFirst.begin(), kFirst.end(), h.type) == kFirst.end()) return false;
    if (h.size == 0) return true;
    if (h.size == 1) return h.largeSize >= 16;
    return h.size >= 8 && h.size <= fileSize;
}

void WalkFull(FileSource& file, std::uint64_t fileSize, NodeList& tree, FullParse& parse, MoofSink* moofs) {
    parse.fileSize = fileSize;
    // Growing by copies touches every page of the tables again; a generous
    // guess costs only address space, as pages nobody writes are never mapped.
    const std::size_t guess = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize / 512 + 256, kMaxRecords + 1));
    parse.records.reserve(guess);
    tree.Reserve(tree.Count() + guess);
    Walker(file, fileSize, tree, parse, moofs).Walk();
}

}  // namespace kestrova::full
