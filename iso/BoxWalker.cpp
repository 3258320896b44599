// The recognition scan and the box walk. Positions are 64-bit, a header that
// does not lie wholly inside the file ends its level, and every step moves on,
// so every walk ends. The walk records each box, decodes the ones it knows
// into rows of their own, groups them by track and finally works out the
// summary.

#include <algorithm>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/Limits.h"
#include "iso/BoxParsers.h"
#include "iso/IsoSummary.h"

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

enum class Level { File, Moov, Trak, Tref, Mdia, Minf, Dinf, Dref, Stbl, Udta, VisualEntry, AudioEntry, Mp4sEntry, SevcEntry };

constexpr std::uint32_t kFtyp = Fourcc("ftyp"), kMoov = Fourcc("moov"), kMdat = Fourcc("mdat"),
                        kUdta = Fourcc("udta"), kMvhd = Fourcc("mvhd"), kIods = Fourcc("iods"),
                        kTrak = Fourcc("trak"), kTkhd = Fourcc("tkhd"), kTref = Fourcc("tref"),
                        kMdia = Fourcc("mdia"), kMpod = Fourcc("mpod"), kMdhd = Fourcc("mdhd"),
                        kHdlr = Fourcc("hdlr"), kMinf = Fourcc("minf"), kVmhd = Fourcc("vmhd"),
                        kSmhd = Fourcc("smhd"), kHmhd = Fourcc("hmhd"), kHint = Fourcc("hint"),
                        kDinf = Fourcc("dinf"), kStbl = Fourcc("stbl"), kDref = Fourcc("dref"),
                        kUrl = Fourcc("url "), kStsd = Fourcc("stsd"), kStts = Fourcc("stts"),
                        kStss = Fourcc("stss"), kStsz = Fourcc("stsz"), kStsc = Fourcc("stsc"),
                        kStco = Fourcc("stco"), kCo64 = Fourcc("co64"), kStz2 = Fourcc("stz2"),
                        kMp4v = Fourcc("mp4v"), kAvc1 = Fourcc("avc1"), kS263 = Fourcc("s263"),
                        kMp4a = Fourcc("mp4a"), kSamr = Fourcc("samr"), kSevc = Fourcc("sevc"),
                        kMp4s = Fourcc("mp4s"), kEsds = Fourcc("esds"), kDamr = Fourcc("damr"),
                        kDevc = Fourcc("devc");

// Fixed-layout boxes need no more than this of their body.
constexpr std::uint64_t kFixedBodyRead = 256;

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
    // Records the box and adds its node; -1 once the record limit is reached.
    std::int32_t AddBox(std::uint64_t offset, const Header& h, std::int32_t typeIndex, std::int32_t parent) {
        if (parse_.records.size() >= kMaxRecords) {
            parse_.recordLimitReached = true;
            stopped_ = true;
            return -1;
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
        return r.index;
    }

    BoxRecord& Record(std::int32_t index) { return parse_.records[static_cast<std::size_t>(index)]; }
    IsoTrack* Track() { return track_ >= 0 ? &parse_.tracks[static_cast<std::size_t>(track_)] : nullptr; }

    // Reads the box body and appends its row, decoded by decode(body, row).
    template <typename Row, typename DecodeFn>
    std::int32_t Decode(std::vector<Row>& rows, std::int32_t record, std::uint64_t limit, DecodeFn decode) {
        BoxRecord& rec = Record(record);
        const ByteReader body = ReadBody(file_, rec, buffer_, limit);
        rec.row = static_cast<std::int32_t>(rows.size());
        Row& row = rows.emplace_back();
        static_cast<RowBase&>(row) = MakeRowBase(rec, body);
        decode(body, row);
        return rec.row;
    }

    template <typename Row>
    std::int32_t DecodeFixed(std::vector<Row>& rows, std::int32_t record, void (*decode)(const ByteReader&, Row&)) {
        return Decode(rows, record, kFixedBodyRead, [&](const ByteReader& b, Row& r) { decode(b, r); });
    }
    template <typename Row>
    std::int32_t DecodeWhole(std::vector<Row>& rows, std::int32_t record, void (*decode)(const ByteReader&, Row&)) {
        return Decode(rows, record, kMaxBoxRead, [&](const ByteReader& b, Row& r) { decode(b, r); });
    }

    // Walks the children of a container from byte firstChild of a plain 8-byte
    // header. Returns false when a child of size 0 ended the walk. In sample
    // entries a child header must lie wholly inside the entry.
    bool WalkChildren(Level level, std::int32_t record, std::uint64_t firstChild, bool wholeHeaders = false) {
        const std::int32_t parent = tree_.LastNode;
        const BoxRecord box = Record(record);
        const std::uint64_t extent = box.Extent();
        std::uint64_t off = firstChild + box.HeaderLength() - 8;
        while (!stopped_ && off < extent) {
            if (wholeHeaders && extent - off < 8) return true;
            if (off >= fileSize_ - std::min(box.offset, fileSize_)) return true;
            const std::uint64_t at = box.offset + off;
            if (fileSize_ - at < 8) return true;
            const Header h = ReadHeader(file_, at);
            if (h.size == 0) return false;
            Handle(level, at, h, parent);
            if (h.extent >= extent - off) return true;
            off += h.extent;
        }
        return true;
    }

    // A box the grammar does not place here. One whose type has a description
    // is still decoded, for its own description only.
    void Leaf(std::uint64_t at, const Header& h, std::int32_t parent) {
        const std::int32_t record = AddBox(at, h, 0, parent);
        if (record >= 0) DecodeOnItsOwn(record);
    }

    void DecodeOnItsOwn(std::int32_t record) {
        IsoBoxTables& t = parse_.tables;
        const std::uint32_t type = Record(record).type;
        switch (type) {
        case kFtyp: DecodeWhole(t.ftyp, record, DecodeFtyp); return;
        case kMvhd: DecodeFixed(t.mvhd, record, DecodeMvhd); return;
        case kIods: DecodeWhole(t.iods, record, DecodeIods); return;
        case kTkhd: DecodeFixed(t.tkhd, record, DecodeTkhd); return;
        case kMpod: DecodeWhole(t.mpod, record, DecodeMpod); return;
        case kMdhd: DecodeFixed(t.mdhd, record, DecodeMdhd); return;
        case kHdlr: DecodeWhole(t.hdlr, record, DecodeHdlr); return;
        case kVmhd: DecodeFixed(t.vmhd, record, DecodeVmhd); return;
        case kSmhd: DecodeFixed(t.smhd, record, DecodeSmhd); return;
        case kHmhd: DecodeFixed(t.hmhd, record, DecodeHmhd); return;
        case kDref: DecodeFixed(t.dref, record, DecodeDref); return;
        case kUrl: DecodeFixed(t.url, record, DecodeUrl); return;
        case kStsd: DecodeFixed(t.stsd, record, DecodeStsd); return;
        case kStsz: DecodeWhole(t.stsz, record, DecodeStsz); return;
        case kStts: DecodeWhole(t.stts, record, DecodeStts); return;
        case kStsc: DecodeWhole(t.stsc, record, DecodeStsc); return;
        case kStco: DecodeWhole(t.stco, record, DecodeStco); return;
        case kStss: DecodeWhole(t.stss, record, DecodeStss); return;
        case kMp4v: case kS263:
            Decode(t.visual, record, kFixedBodyRead,
                   [&](const ByteReader& b, VisualEntryRow& r) { DecodeVisualEntry(b, type == kS263, r); });
            return;
        case kMp4a: case kSamr: case kSevc:
            Decode(t.audio, record, kFixedBodyRead,
                   [&](const ByteReader& b, AudioEntryRow& r) { DecodeAudioEntry(b, type == kMp4a, r); });
            return;
        case kDamr: case kDevc:
            Decode(t.audio, record, kFixedBodyRead, [&](const ByteReader& b, AudioEntryRow& r) {
                r.hasConfig = true;
                r.config.body = r.body;
                r.config.boxOffset = r.header.offset;
                r.config.boxSize = r.header.size;
                r.config.boxType = type;
                if (type == kDamr) DecodeDamrFields(b, 0, r.config);
                else DecodeDevcFields(b, 0, r.config);
            });
            return;
        case kMp4s: DecodeFixed(t.mp4s, record, DecodeMp4s); return;
        case kEsds:
            Decode(t.esds, record, kMaxBoxRead, [](const ByteReader& b, EsdsRow& r) { DecodeEsds(b, false, r); });
            return;
        default:
            if (IsAnnotationType(type)) DecodeWhole(t.metaText, record, DecodeMetaText);
            return;
        }
    }

    // A box numbered by its own counter, which moves on after its parse or walk.
    template <typename Then>
    void Counted(std::int32_t& counter, std::uint64_t at, const Header& h, std::int32_t parent, Then then) {
        const std::int32_t record = AddBox(at, h, counter, parent);
        if (record < 0) return;
        then(record);
        ++counter;
    }

    void Udta(std::uint64_t at, const Header& h, std::int32_t parent) {
        Counted(parse_.tables.counters.udta, at, h, parent,
                [&](std::int32_t r) { WalkChildren(Level::Udta, r, 8); });
    }

    void Trak(std::uint64_t at, const Header& h, std::int32_t parent) {
        Counted(parse_.tables.counters.trak, at, h, parent, [&](std::int32_t r) {
            const std::int32_t outer = track_;
            track_ = static_cast<std::int32_t>(parse_.tracks.size());
            parse_.tracks.emplace_back().trakRecord = r;
            WalkChildren(Level::Trak, r, 8);
            track_ = outer;
        });
    }

    void Tkhd(std::int32_t record) {
        const std::int32_t row = DecodeFixed(parse_.tables.tkhd, record, DecodeTkhd);
        const TkhdRow& tkhd = parse_.tables.tkhd[static_cast<std::size_t>(row)];
        CurrentTrackInfo& info = parse_.trackInfo;
        info.trackId = tkhd.trackId;
        info.duration = tkhd.duration;
        info.volume = tkhd.volume;
        // The first track with a width fixes it, until a video sample entry says otherwise.
        if (info.width == 0) {
            info.width = tkhd.width >> 16;
            info.height = tkhd.height >> 16;
        }
        if (IsoTrack* track = Track()) {
            track->tkhd = row;
            track->width = tkhd.width >> 16;
            track->height = tkhd.height >> 16;
        }
    }

    void Mdhd(std::int32_t record) {
        const std::int32_t row = DecodeFixed(parse_.tables.mdhd, record, DecodeMdhd);
        const MdhdRow& mdhd = parse_.tables.mdhd[static_cast<std::size_t>(row)];
        parse_.trackInfo.timescale = mdhd.timescale;
        parse_.trackInfo.duration = mdhd.duration;
        if (IsoTrack* track = Track()) track->mdhd = row;
    }

    template <typename Row>
    void Table(std::int32_t record, std::vector<Row>& rows, void (*decode)(const ByteReader&, Row&),
               std::int32_t IsoTrack::*slot) {
        const std::int32_t row = DecodeWhole(rows, record, decode);
        if (IsoTrack* track = Track()) track->*slot = row;
    }

    void VideoEntrySize(const VisualEntryRow& entry) {
        if (entry.width == 0) return;
        parse_.trackInfo.width = entry.width;
        parse_.trackInfo.height = entry.height;
        if (IsoTrack* track = Track()) {
            track->width = entry.width;
            track->height = entry.height;
        }
    }

    // The sample-description walk: entries are counted, and the walk also ends
    // where the next entry header would not lie wholly inside the stsd box.
    void Stsd(std::int32_t record) {
        const std::int32_t row = DecodeFixed(parse_.tables.stsd, record, DecodeStsd);
        if (IsoTrack* track = Track()) track->stsd = row;
        const std::uint32_t entryCount = parse_.tables.stsd[static_cast<std::size_t>(row)].entryCount;
        const std::int32_t parent = tree_.LastNode;
        const BoxRecord box = Record(record);
        const std::uint64_t extent = box.Extent();
        std::uint64_t pos = box.HeaderLength() + 8;
        for (std::uint32_t i = 0; i < entryCount && !stopped_; ++i) {
            if (pos >= extent || extent - pos < 8) return;
            const std::uint64_t at = box.offset + pos;
            if (at >= fileSize_ || fileSize_ - at < 8) return;
            const Header h = ReadHeader(file_, at);
            parse_.trackInfo.sampleEntryType = h.type;
            if (h.size == 0) return;
            Entry(at, h, parent);
            if (h.extent >= extent - pos) return;  // it reached past the stsd: recorded, and the walk ends
            pos += h.extent;
        }
    }

    void Entry(std::uint64_t at, const Header& h, std::int32_t parent) {
        IsoBoxTables& t = parse_.tables;
        IsoCounters& c = t.counters;
        const auto noteEntry = [&](std::int32_t record) {
            if (IsoTrack* track = Track()) track->entryRecords.push_back(record);
        };
        switch (h.type) {
        case kMp4v: case kS263: {
            const std::int32_t record = AddBox(at, h, 0, parent);
            if (record < 0) return;
            noteEntry(record);
            const bool s263 = h.type == kS263;
            const std::int32_t row = Decode(t.visual, record, kFixedBodyRead,
                                            [&](const ByteReader& b, VisualEntryRow& r) { DecodeVisualEntry(b, s263, r); });
            VideoEntrySize(t.visual[static_cast<std::size_t>(row)]);
            if (IsoTrack* track = Track()) track->videoEsds = -1;
            if (!s263) WalkChildren(Level::VisualEntry, record, 86, true);
            return;
        }
        case kAvc1: {
            const std::int32_t record = AddBox(at, h, 0, parent);
            if (record >= 0) noteEntry(record);
            return;
        }
        case kMp4a: case kSevc: {
            const std::int32_t record = AddBox(at, h, 0, parent);
            if (record < 0) return;
            noteEntry(record);
            const bool mp4a = h.type == kMp4a;
            const std::int32_t row = Decode(t.audio, record, kFixedBodyRead,
                                            [&](const ByteReader& b, AudioEntryRow& r) { DecodeAudioEntry(b, mp4a, r); });
            audioEntryRow_ = row;
            audioEsds_.clear();
            const bool complete = WalkChildren(mp4a ? Level::AudioEntry : Level::SevcEntry, record, 36, true);
            const AudioEntryRow& entry = t.audio[static_cast<std::size_t>(row)];
            if (mp4a) SetMp4aAudio(parse_.summary, entry, parse_.tables.esds, audioEsds_);
            else SetSevcAudio(parse_.summary, entry, complete);
            audioEntryRow_ = -1;
            return;
        }
        case kSamr:
            Counted(c.samr, at, h, parent, [&](std::int32_t record) {
                noteEntry(record);
                Samr(record);
            });
            return;
        case kMp4s:
            Counted(c.mp4s, at, h, parent, [&](std::int32_t record) {
                noteEntry(record);
                DecodeFixed(t.mp4s, record, DecodeMp4s);
                WalkChildren(Level::Mp4sEntry, record, 16, true);
            });
            return;
        case kUdta:
            Udta(at, h, parent);
            return;
        default: {
            const std::int32_t record = AddBox(at, h, 0, parent);
            if (record < 0) return;
            noteEntry(record);
            DecodeOnItsOwn(record);
            return;
        }
        }
    }

    void Samr(std::int32_t record) {
        IsoBoxTables& t = parse_.tables;
        const std::int32_t row = Decode(t.audio, record, kFixedBodyRead, [](const ByteReader& b, AudioEntryRow& r) {
            DecodeAudioEntry(b, false, r);
            DecodeSamrConfig(b, r);
            r.config.body = r.body;
            r.config.base = 36;
        });
        AudioEntryRow& entry = t.audio[static_cast<std::size_t>(row)];
        const BoxRecord samr = Record(record);
        // The configuration box starts at byte 28 of the entry, whatever its type.
        const std::uint64_t configAt = samr.BodyOffset() + 28;
        entry.config.boxOffset = configAt;
        const bool inside = samr.Extent() >= samr.HeaderLength() + 36 && configAt < fileSize_ && fileSize_ - configAt >= 8;
        if (entry.config.boxSize != 0 && inside) {
            const std::int32_t config = AddBox(configAt, ReadHeader(file_, configAt), t.counters.samr, tree_.LastNode);
            if (config >= 0) {
                if (Record(config).type == kDamr) Record(config).row = row;
                else DecodeOnItsOwn(config);
            }
        }
        SetSamrAudio(parse_.summary, t.audio[static_cast<std::size_t>(row)]);
    }

    void Esds(std::uint64_t at, const Header& h, std::int32_t parent, bool audioForm) {
        IsoBoxTables& t = parse_.tables;
        Counted(t.counters.esds, at, h, parent, [&](std::int32_t record) {
            const std::int32_t row = Decode(t.esds, record, kMaxBoxRead,
                                            [&](const ByteReader& b, EsdsRow& r) { DecodeEsds(b, audioForm, r); });
            if (audioForm) audioEsds_.push_back(row);
        });
    }

    // A devc gets a row of its own (the entry's fields and this configuration),
    // so two of them each show their own values; the entry keeps the last one.
    void Devc(std::uint64_t at, const Header& h, std::int32_t parent) {
        const std::int32_t record = AddBox(at, h, parse_.tables.counters.esds, parent);
        if (record < 0 || audioEntryRow_ < 0) return;
        std::vector<AudioEntryRow>& rows = parse_.tables.audio;
        const BoxRecord devc = Record(record);
        const ByteReader body = ReadBody(file_, devc, buffer_, kFixedBodyRead);
        AudioEntryRow own = rows[static_cast<std::size_t>(audioEntryRow_)];
        own.hasConfig = true;
        own.config = {};
        own.config.body = {devc.BodyOffset(), body.Size()};
        own.config.boxOffset = devc.offset;
        own.config.boxSize = devc.size;
        own.config.boxType = devc.type;
        DecodeDevcFields(body, 0, own.config);
        rows[static_cast<std::size_t>(audioEntryRow_)].hasConfig = true;
        rows[static_cast<std::size_t>(audioEntryRow_)].config = own.config;
        Record(record).row = static_cast<std::int32_t>(rows.size());
        rows.push_back(std::move(own));
    }

    void Handle(Level level, std::uint64_t at, const Header& h, std::int32_t parent) {
        IsoBoxTables& t = parse_.tables;
        IsoCounters& c = t.counters;
        const bool insideEntry = level == Level::VisualEntry || level == Level::AudioEntry || level == Level::Mp4sEntry;
        if (h.type == kUdta && level != Level::Udta && !insideEntry) return Udta(at, h, parent);
        switch (level) {
        case Level::File:
            if (h.type == kFtyp) {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r >= 0) DecodeWhole(t.ftyp, r, DecodeFtyp);
            } else if (h.type == kMoov) {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r >= 0) WalkChildren(Level::Moov, r, 8);
            } else if (h.type == kMdat) {
                AddBox(at, h, 0, parent);  // never read
            } else {
                Leaf(at, h, parent);
            }
            return;
        case Level::Moov:
            if (h.type == kTrak) return Trak(at, h, parent);
            if (h.type == kMvhd || h.type == kIods) {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r >= 0) DecodeOnItsOwn(r);
                return;
            }
            return Leaf(at, h, parent);
        case Level::Trak:
            if (h.type == kTkhd) return Counted(c.tkhd, at, h, parent, [&](std::int32_t r) { Tkhd(r); });
            if (h.type == kTref)
                return Counted(c.tref, at, h, parent, [&](std::int32_t r) { WalkChildren(Level::Tref, r, 8); });
            if (h.type == kMdia)
                return Counted(c.mdia, at, h, parent, [&](std::int32_t r) { WalkChildren(Level::Mdia, r, 8); });
            return Leaf(at, h, parent);
        case Level::Tref:
            if (h.type == kMpod)
                return Counted(c.mpod, at, h, parent, [&](std::int32_t r) { DecodeWhole(t.mpod, r, DecodeMpod); });
            return Leaf(at, h, parent);
        case Level::Mdia:
            if (h.type == kMdhd) return Counted(c.mdhd, at, h, parent, [&](std::int32_t r) { Mdhd(r); });
            if (h.type == kHdlr)
                return Counted(c.hdlr, at, h, parent, [&](std::int32_t r) {
                    const std::int32_t row = DecodeWhole(t.hdlr, r, DecodeHdlr);
                    if (IsoTrack* track = Track()) track->hdlr = row;
                });
            if (h.type == kMinf)
                return Counted(c.minf, at, h, parent, [&](std::int32_t r) { WalkChildren(Level::Minf, r, 8); });
            return Leaf(at, h, parent);
        case Level::Minf:
            if (h.type == kVmhd)
                return Counted(c.vmhd, at, h, parent, [&](std::int32_t r) { DecodeFixed(t.vmhd, r, DecodeVmhd); });
            if (h.type == kSmhd)
                return Counted(c.smhd, at, h, parent, [&](std::int32_t r) { DecodeFixed(t.smhd, r, DecodeSmhd); });
            if (h.type == kHmhd || h.type == kHint) {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r >= 0) DecodeFixed(t.hmhd, r, DecodeHmhd);
                return;
            }
            if (h.type == kDinf) {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r >= 0) WalkChildren(Level::Dinf, r, 8);
                return;
            }
            if (h.type == kStbl)
                return Counted(c.stbl, at, h, parent, [&](std::int32_t r) {
                    parse_.trackInfo.sampleEntryType = 0;
                    WalkChildren(Level::Stbl, r, 8);
                });
            return Leaf(at, h, parent);
        case Level::Dinf:
            if (h.type == kDref)
                return Counted(c.dref, at, h, parent, [&](std::int32_t r) {
                    DecodeFixed(t.dref, r, DecodeDref);
                    WalkChildren(Level::Dref, r, 16);
                });
            return Leaf(at, h, parent);
        case Level::Dref:
            if (h.type == kUrl)
                return Counted(c.url, at, h, parent, [&](std::int32_t r) { DecodeFixed(t.url, r, DecodeUrl); });
            return Leaf(at, h, parent);
        case Level::Stbl:
            switch (h.type) {
            case kStsd: return Counted(c.stsd, at, h, parent, [&](std::int32_t r) { Stsd(r); });
            case kStts: return Counted(c.stts, at, h, parent, [&](std::int32_t r) { Table(r, t.stts, DecodeStts, &IsoTrack::stts); });
            case kStss: return Counted(c.stss, at, h, parent, [&](std::int32_t r) { Table(r, t.stss, DecodeStss, &IsoTrack::stss); });
            case kStsz: return Counted(c.stsz, at, h, parent, [&](std::int32_t r) { Table(r, t.stsz, DecodeStsz, &IsoTrack::stsz); });
            case kStsc: return Counted(c.stsc, at, h, parent, [&](std::int32_t r) { Table(r, t.stsc, DecodeStsc, &IsoTrack::stsc); });
            case kStco: return Counted(c.stco, at, h, parent, [&](std::int32_t r) { Table(r, t.stco, DecodeStco, &IsoTrack::stco); });
            case kCo64: case kStz2: {
                const std::int32_t r = AddBox(at, h, 0, parent);
                if (r < 0) return;
                if (IsoTrack* track = Track()) (h.type == kCo64 ? track->co64Record : track->stz2Record) = r;
                return;
            }
            default: return Leaf(at, h, parent);
            }
        case Level::Udta:
            // The text items take the number of the udta row they belong to.
            if (IsAnnotationType(h.type)) {
                const std::int32_t r = AddBox(at, h, c.udta, parent);
                if (r >= 0) DecodeWhole(t.metaText, r, DecodeMetaText);
                return;
            }
            return Leaf(at, h, parent);
        case Level::VisualEntry:
        case Level::Mp4sEntry:
            if (h.type == kEsds) {
                const std::size_t before = t.esds.size();
                Esds(at, h, parent, false);
                // The esds of an mp4v entry gives the video track its object type.
                if (level == Level::VisualEntry && t.esds.size() > before)
                    if (IsoTrack* track = Track()) track->videoEsds = static_cast<std::int32_t>(before);
                return;
            }
            return Leaf(at, h, parent);
        case Level::AudioEntry:
            if (h.type == kEsds) return Esds(at, h, parent, true);
            return Leaf(at, h, parent);
        case Level::SevcEntry:
            if (h.type == kDevc) return Devc(at, h, parent);
            if (h.type == kUdta) return Udta(at, h, parent);
            return Leaf(at, h, parent);
        }
    }

    FileSource& file_;
    std::uint64_t fileSize_;
    NodeList& tree_;
    IsoParse& parse_;
    std::vector<std::uint8_t> buffer_;
    std::int32_t track_ = -1;
    std::int32_t audioEntryRow_ = -1;     // the mp4a or sevc entry whose children are walked
    std::vector<std::int32_t> audioEsds_;  // the esds rows found in that mp4a entry
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
    parse.fileSize = fileSize;
    if (fileSize == 0) return;
    Walker(file, fileSize, tree, parse).WalkTop();
    SetVideoSummary(parse);
}

std::uint8_t ParseIsoFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, IsoParse& parse) {
    parse.fileSize = fileSize;
    const std::uint8_t flags = IsIsoFile(file, fileSize);
    if (flags & 1) WalkTopLevel(file, fileSize, tree, parse);
    return flags;
}

bool IsAnnotationType(std::uint32_t type) {
    switch (type) {
    case Fourcc("cprt"): case Fourcc("titl"): case Fourcc("auth"): case Fourcc("dscp"):
    case Fourcc("perf"): case Fourcc("gnre"): case Fourcc("albm"):
        return true;
    default:
        return false;
    }
}

const BoxRecord& GetBoxRecord(const IsoParse& parse, std::int64_t nodeIndex) {
    return parse.records.at(static_cast<std::size_t>(nodeIndex - 1));
}

}  // namespace kestrova
