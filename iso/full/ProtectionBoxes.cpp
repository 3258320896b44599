// The boxes of common encryption in the full view: the protection scheme
// (sinf's frma, schm and schi's tenc), the protection system headers (pssh,
// with PlayReady and Widevine data decoded) and the sample encryption box
// (senc), one line per sample with its IV and subsamples. PIFF's uuid forms
// of tenc, senc and pssh are described by the same functions.

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// No click lists more lines than this of one senc.
constexpr std::uint64_t kMaxLines = 1'000'000;

std::string LowerUuid(std::span<const std::uint8_t> b) { return ProtectionUuidText(b); }

std::string HexText(std::span<const std::uint8_t> b) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out = "0x";
    for (const std::uint8_t v : b) {
        out += kHex[v >> 4];
        out += kHex[v & 15];
    }
    return out;
}

// Sixteen bytes shown as a UUID; nothing once the box is cut.
std::optional<std::span<const std::uint8_t>> Uuid(Fields& f, std::string_view label) {
    if (!f.Has(16)) {
        f.Bytes(label, 16);
        return std::nullopt;
    }
    const std::uint64_t pos = f.Pos();
    const auto bytes = f.Body().subspan(pos, 16);
    f.Value(label, LowerUuid(bytes), f.Range(pos, 16));
    f.Seek(pos + 16);
    return bytes;
}

const char* SchemeName(std::uint32_t scheme) {
    switch (scheme) {
    case F("cenc"): return "(AES-CTR, whole samples)";
    case F("cbc1"): return "(AES-CBC, whole samples)";
    case F("cens"): return "(AES-CTR, pattern)";
    case F("cbcs"): return "(AES-CBC, pattern)";
    case F("piff"): return "(PIFF)";
    case F("odkm"): return "(OMA DRM)";
    case F("itun"): return "(FairPlay)";
    default: return "";
    }
}

struct SystemName {
    std::array<std::uint8_t, 16> id;
    const char* name;
};

// The protection systems whose IDs are published.
constexpr SystemName kSystems[] = {
    {{0xED, 0xEF, 0x8B, 0xA9, 0x79, 0xD6, 0x4A, 0xCE, 0xA3, 0xC8, 0x27, 0xDC, 0xD5, 0x1D, 0x21, 0xED}, "Widevine"},
    {{0x9A, 0x04, 0xF0, 0x79, 0x98, 0x40, 0x42, 0x86, 0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95}, "PlayReady"},
    {{0x94, 0xCE, 0x86, 0xFB, 0x07, 0xFF, 0x4F, 0x43, 0xAD, 0xB8, 0x93, 0xD2, 0xFA, 0x96, 0x8C, 0xA2}, "FairPlay"},
    {{0x10, 0x77, 0xEF, 0xEC, 0xC0, 0xB2, 0x4D, 0x02, 0xAC, 0xE3, 0x3C, 0x1E, 0x52, 0xE2, 0xFB, 0x4B}, "W3C Common (Clear Key)"},
    {{0xE2, 0x71, 0x9D, 0x58, 0xA9, 0x85, 0xB3, 0xC9, 0x78, 0x1A, 0xB0, 0x30, 0xAF, 0x78, 0xD3, 0x0E}, "ClearKey (DASH-IF)"},
    {{0x5E, 0x62, 0x9A, 0xF5, 0x38, 0xDA, 0x40, 0x63, 0x89, 0x77, 0x97, 0xFF, 0xBD, 0x99, 0x02, 0xD4}, "Marlin"},
    {{0xF2, 0x39, 0xE7, 0x69, 0xEF, 0xA3, 0x48, 0x50, 0x9C, 0x16, 0xA9, 0x03, 0xC6, 0x93, 0x2E, 0xFB}, "Adobe Primetime"},
    {{0x80, 0xA6, 0xBE, 0x7E, 0x14, 0x48, 0x4C, 0x37, 0x9E, 0x70, 0xD5, 0xAE, 0xBE, 0x04, 0xC8, 0xD2}, "Irdeto"},
    {{0xAD, 0xB4, 0x1C, 0x24, 0x2D, 0xBF, 0x4A, 0x6D, 0x95, 0x8B, 0x44, 0x57, 0xC0, 0xD2, 0x7B, 0x95}, "Nagra"},
    {{0x9A, 0x27, 0xDD, 0x82, 0xFD, 0xE2, 0x47, 0x25, 0x8C, 0xBC, 0x42, 0x34, 0xAA, 0x06, 0xEC, 0x09}, "Verimatrix"},
};

const char* SystemNameOf(std::span<const std::uint8_t> id) { return ProtectionSystemName(id); }

// ---- Scheme ----

void DescribeFrma(Fields& f, const BoxContext&) {
    f.Type("data_format");
    f.Trailing();
}

void DescribeSchm(Fields& f, const BoxContext&) {
    const std::uint32_t flags = f.VersionFlags().second;
    if (const auto scheme = f.Type("scheme_type")) f.Meaning(SchemeName(*scheme));
    if (const auto v = f.U("scheme_version", 4)) f.Meaning("(" + std::to_string(*v >> 16) + "." + std::to_string(*v & 0xFFFF) + ")");
    if (flags & 1) f.CString("scheme_uri");
    f.Trailing();
}

void DescribeTenc(Fields& f, const BoxContext&) {
    const std::uint8_t version = f.VersionFlags().first;
    f.U("reserved", 1);
    if (version == 0) {
        f.U("reserved", 1);
    } else {
        f.Bits("default_crypt_byte_block", 4);
        f.Bits("default_skip_byte_block", 4);
    }
    const auto isProtected = f.U("default_isProtected", 1);
    if (isProtected) f.Meaning(*isProtected == 1 ? "(protected)" : *isProtected == 0 ? "(not protected)" : "");
    const auto ivSize = f.U("default_Per_Sample_IV_Size", 1);
    if (ivSize && *ivSize == 0) f.Meaning("(a constant IV)");
    Uuid(f, "default_KID");
    if (isProtected && ivSize && *isProtected == 1 && *ivSize == 0) {
        if (const auto n = f.U("default_constant_IV_size", 1)) f.Bytes("default_constant_IV", *n);
    }
    f.Trailing();
}

// ---- Protection system headers ----

// A little-endian number, said so (the ISO reader is big-endian).
std::optional<std::uint64_t> LittleEndian(Fields& f, std::string_view label, unsigned bytes) {
    if (!f.Has(bytes)) {
        f.Bytes(label, bytes);
        return std::nullopt;
    }
    const std::uint64_t pos = f.Pos();
    std::uint64_t v = 0;
    for (unsigned k = bytes; k-- > 0;) v = v << 8 | f.Body()[pos + k];
    f.Value(label, GroupedText(v, f.Settings()) + " (little-endian)", f.Range(pos, bytes));
    f.Seek(pos + bytes);
    return v;
}

// A PlayReady header object: its length and records, little-endian; a
// rights management header (type 1) is UTF-16 XML.
void PlayReadyObject(Fields& f, std::uint64_t end) {
    LittleEndian(f, "PlayReady length", 4);
    const auto count = LittleEndian(f, "record_count", 2);
    for (std::uint64_t i = 0; count && i < *count && f.Pos() + 4 <= end; ++i) {
        f.Heading("record #" + std::to_string(i + 1));
        const auto type = LittleEndian(f, "record_type", 2);
        if (type) f.Meaning(*type == 1 ? "(rights management header)" : *type == 3 ? "(embedded license store)" : "");
        const auto length = LittleEndian(f, "record_length", 2);
        if (!type || !length) break;
        const std::uint64_t pos = f.Pos();
        const std::uint64_t n = std::min<std::uint64_t>(*length, end - pos);
        if (*type == 1) {
            f.Value("record_value", TextFromUtf16(f.Body().data() + pos, n, false), f.Range(pos, n));
            f.Seek(pos + n);
        } else {
            f.Bytes("record_value", n);
        }
    }
}

const char* WidevineFieldName(std::uint64_t field) {
    switch (field) {
    case 1: return "algorithm";
    case 2: return "key_id";
    case 3: return "provider";
    case 4: return "content_id";
    case 6: return "policy";
    case 7: return "crypto_period_index";
    case 8: return "grouped_license";
    case 9: return "protection_scheme";
    default: return "field";
    }
}

// Widevine's data is a protocol buffer: each field's tag, wire type and value.
void WidevineData(Fields& f, std::uint64_t end) {
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    const auto varint = [&](std::uint64_t& pos, std::uint64_t& v) {
        v = 0;
        for (unsigned shift = 0; pos < end && shift < 64; shift += 7) {
            const std::uint8_t b = body[pos++];
            v |= std::uint64_t{b & 0x7Fu} << shift;
            if ((b & 0x80) == 0) return true;
        }
        return false;
    };
    std::uint64_t pos = f.Pos();
    for (std::uint64_t lines = 0; pos < end && lines < kMaxLines; ++lines) {
        const std::uint64_t start = pos;
        std::uint64_t key = 0;
        if (!varint(pos, key)) break;
        const std::uint64_t field = key >> 3, wire = key & 7;
        std::string text = "tag " + std::to_string(field) + " (" + WidevineFieldName(field) + "), wire type " +
                           std::to_string(wire) + ", ";
        if (wire == 0) {
            std::uint64_t v = 0;
            if (!varint(pos, v)) break;
            text += GroupedText(v, rs);
            if (field == 9) text += " " + FourccText(static_cast<std::uint32_t>(v));
        } else if (wire == 2) {
            std::uint64_t n = 0;
            if (!varint(pos, n) || n > end - pos) break;
            const auto value = body.subspan(pos, n);
            const bool printable = std::all_of(value.begin(), value.end(), [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
            text += GroupedText(n, rs) + " bytes: ";
            text += printable && n > 0 ? "\"" + std::string(value.begin(), value.end()) + "\""
                    : n == 16      ? LowerUuid(value)
                                   : HexText(value.first(std::min<std::uint64_t>(n, 64)));
            pos += n;
        } else if (wire == 1 || wire == 5) {
            const std::uint64_t n = wire == 1 ? 8 : 4;
            if (n > end - pos) break;
            text += HexText(body.subspan(pos, n));
            pos += n;
        } else {
            break;
        }
        f.Raw("   " + text, f.Range(start, pos - start));
    }
    f.Seek(pos);
    if (pos < end) f.Bytes("undecoded data", end - pos);
}

void PsshBody(Fields& f, std::uint8_t version) {
    const auto system = Uuid(f, "SystemID");
    const char* name = system ? SystemNameOf(*system) : nullptr;
    if (name != nullptr) f.Meaning(name);
    if (version > 0) {
        const auto count = f.U("KID_count", 4);
        for (std::uint64_t i = 0; count && i < *count && !f.Cut(); ++i)
            Uuid(f, "KID #" + std::to_string(i + 1));
    }
    const auto size = f.U("DataSize", 4);
    if (!size || f.Cut()) return;
    const std::uint64_t end = f.Pos() + std::min<std::uint64_t>(*size, f.Left());
    if (*size > f.Left()) f.Heading("(DataSize says more than the box holds)");
    if (name != nullptr && std::string_view(name) == "PlayReady" && end - f.Pos() >= 6) PlayReadyObject(f, end);
    else if (name != nullptr && std::string_view(name) == "Widevine") WidevineData(f, end);
    if (f.Pos() < end) f.Bytes("Data", end - f.Pos());
    f.Trailing();
}

void DescribePssh(Fields& f, const BoxContext&) { PsshBody(f, f.VersionFlags().first); }

// ---- Sample encryption ----

// Where the samples of a senc take their IV size from.
class IvSource {
public:
    explicit IvSource(const BoxContext& c) : c_(c) {
        const FullRecord* holder = c.parentRecord;
        const FullTrack* track = c.track;
        if (holder != nullptr && holder->type == F("traf")) {
            for (const auto& [traf, id] : c.parse.trafTracks)
                if (traf == holder->index) trackId_ = id;
            for (const FullTrack& t : c.parse.tracks)
                if (trackId_ != 0 && t.trackId == trackId_) track = &t;
            for (const PlacedRun& r : c.parse.fragments.runs)
                if (r.trunOffset >= holder->offset && r.trunOffset < holder->offset + holder->extent) runs_.push_back(&r);
        }
        track_ = track;
        if (holder != nullptr) local_ = SeigOf(holder->index);
        if (track != nullptr) {
            // The movie's seig groups lie in the track's stbl.
            for (const SeigGroups& g : c.parse.seig) {
                const FullRecord& r = c.parse.records[static_cast<std::size_t>(g.holder)];
                if (r.type == F("stbl") && r.track >= 0 && &c.parse.tracks[static_cast<std::size_t>(r.track)] == track)
                    movie_ = &g;
            }
        }
    }

    // The default of sample i (from 0), which it must be asked for in order.
    const IvDefault* For(std::uint64_t i, std::uint32_t& groupIndex) {
        groupIndex = GroupOf(i);
        if (groupIndex == 0) return track_ != nullptr && track_->tenc.known ? &track_->tenc : nullptr;
        const bool inTraf = c_.parentRecord != nullptr && c_.parentRecord->type == F("traf");
        const SeigGroups* g = inTraf && groupIndex > 0x10000 ? local_ : inTraf ? movie_ : local_;
        const std::uint32_t k = inTraf && groupIndex > 0x10000 ? groupIndex - 0x10000 : groupIndex;
        if (g == nullptr || k == 0 || k > g->entries.size()) return nullptr;
        return &g->entries[k - 1];
    }

    // "track sample #n" of sample i (from 0), or nothing when it is not known.
    std::string SampleText(std::uint64_t i, const RegionalSettings& rs) const {
        if (c_.parentRecord != nullptr && c_.parentRecord->type == F("traf")) {
            std::uint64_t before = 0;
            for (const PlacedRun* r : runs_) {
                if (i < before + r->count) return "track sample #" + GroupedText(r->firstNumber + (i - before), rs) + ", ";
                before += r->count;
            }
            return {};
        }
        return "track sample #" + GroupedText(i + 1, rs) + ", ";
    }

    std::uint32_t TrackId() const { return track_ != nullptr ? track_->trackId : trackId_; }

private:
    const SeigGroups* SeigOf(std::int32_t holder) const {
        for (const SeigGroups& g : c_.parse.seig)
            if (g.holder == holder && g.hasSbgp) return &g;
        for (const SeigGroups& g : c_.parse.seig)
            if (g.holder == holder) return &g;
        return nullptr;
    }

    std::uint32_t GroupOf(std::uint64_t i) {
        if (local_ == nullptr || !local_->hasSbgp) return 0;
        while (run_ < local_->runs.size() && i >= runEnd_ + local_->runs[run_].first) {
            runEnd_ += local_->runs[run_].first;
            ++run_;
        }
        return run_ < local_->runs.size() ? local_->runs[run_].second : 0;
    }

    const BoxContext& c_;
    const FullTrack* track_ = nullptr;
    std::uint32_t trackId_ = 0;
    std::vector<const PlacedRun*> runs_;
    const SeigGroups* local_ = nullptr;
    const SeigGroups* movie_ = nullptr;
    std::size_t run_ = 0;
    std::uint64_t runEnd_ = 0;
};

const char* PiffAlgorithm(std::uint64_t id) {
    switch (id) {
    case 0: return "(not encrypted)";
    case 1: return "(AES-CTR 128)";
    case 2: return "(AES-CBC 128)";
    default: return "";
    }
}

// Where an IV size comes from, in words the range check knows as another box's default.
std::string SourceText(const IvDefault& d, const FullParse& parse, const RegionalSettings& rs) {
    const FullRecord& r = parse.records[static_cast<std::size_t>(d.record)];
    const std::string at = " at offset " + GroupedText(r.offset, rs) + ")";
    if (r.type == F("sgpd")) return "(seig default, of the sgpd" + at;
    if (r.type == F("tenc")) return "(tenc default, of the tenc" + at;
    return "(PIFF track encryption default, of the uuid" + at;
}

void SencBody(Fields& f, const BoxContext& c, bool piff) {
    const std::uint32_t flags = f.VersionFlags().second;
    if (!f.Cut()) {
        std::string names;
        if (piff && (flags & 1)) names = "override-track-encryption-box-parameters";
        if (flags & 2) names += names.empty() ? "use-subsample-encryption" : ", use-subsample-encryption";
        f.Meaning(names);
    }
    IvDefault override;
    if (piff && (flags & 1)) {
        if (const auto id = f.U("AlgorithmID", 3)) f.Meaning(PiffAlgorithm(*id));
        const std::uint64_t at = f.Pos();
        if (const auto iv = f.U("IV_size", 1)) {
            override = {true, true, static_cast<std::uint8_t>(*iv), 0, f.Range(at, 1).offset, c.record.index};
        }
        Uuid(f, "KID");
    }
    const auto count = f.U("sample_count", 4);
    if (!count || f.Cut()) return;
    const RegionalSettings& rs = f.Settings();
    IvSource source(c);
    const bool subsamples = (flags & 2) != 0;
    const IvDefault* shown = nullptr;
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; i < *count && !f.Cut(); ++i) {
        std::uint32_t group = 0;
        const IvDefault* d = override.known ? &override : source.For(i, group);
        if (d == nullptr) {
            f.Heading(group == 0 ? std::string("(the IV size is not known: the track has no tenc and no seig sample group applies; the samples are shown as bytes)")
                                 : "(the IV size is not known: group_description_index " + std::to_string(group) +
                                       " of sample #" + std::to_string(i + 1) + " names no seig entry; the rest is shown as bytes)");
            return f.Rest("data");
        }
        if (d != shown) {
            // Say where the IV size comes from whenever it changes.
            const std::string text = std::to_string(d->ivSize) + (d->ivSize == 0 ? " (a constant IV, or none) " : " ") +
                                     (d == &override ? std::string("(this box)") : SourceText(*d, c.parse, rs));
            f.Value("Per_Sample_IV_Size", text, {d->ivSizeAt, 1});
            shown = d;
        }
        if (lines++ >= kMaxLines) {
            f.Heading("(only the first " + GroupedText(kMaxLines, rs) + " lines are shown)");
            return;
        }
        const std::uint64_t need = d->ivSize + (subsamples ? 2 : 0);
        if (!f.Has(need)) {
            f.MarkCut("sample #" + std::to_string(i + 1), need);
            break;
        }
        const std::uint64_t pos = f.Pos();
        std::string& s = f.Scratch();
        s.assign("   sample ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += source.SampleText(i, rs);
        s += d->ivSize == 0 ? std::string("no IV of its own") : "IV " + HexText(f.Body().subspan(pos, d->ivSize));
        std::uint64_t subsampleCount = 0;
        if (subsamples) {
            subsampleCount = f.Peek(pos + d->ivSize, 2);
            s += ", subsample_count " + GroupedText(subsampleCount, rs);
        }
        f.Raw(std::string(s), f.Range(pos, need));
        f.Seek(pos + need);
        for (std::uint64_t k = 0; k < subsampleCount; ++k) {
            if (lines++ >= kMaxLines) {
                f.Heading("(only the first " + GroupedText(kMaxLines, rs) + " lines are shown)");
                return;
            }
            if (!f.Has(6)) {
                f.MarkCut("subsample #" + std::to_string(k + 1), 6);
                break;
            }
            const std::uint64_t at = f.Pos();
            s.assign("      subsample ");
            AppendEntryNumber(s, static_cast<std::int64_t>(k));
            s += "BytesOfClearData ";
            AppendDecHex(s, f.Peek(at, 2), 6, rs);
            s += ", BytesOfProtectedData ";
            AppendDecHex(s, f.Peek(at + 2, 4), 10, rs);
            f.Raw(std::string(s), f.Range(at, 6));
            f.Seek(at + 6);
        }
    }
    f.Trailing();
}

void DescribeSenc(Fields& f, const BoxContext& c) { SencBody(f, c, false); }

constexpr BoxRule kRules[] = {
    {F("sinf"), F("frma"), BoxKind::Leaf, EntryLayout::None, DescribeFrma},
    {F("sinf"), F("schm"), BoxKind::Leaf, EntryLayout::None, DescribeSchm},
    {F("rinf"), F("schm"), BoxKind::Leaf, EntryLayout::None, DescribeSchm},
    {F("rinf"), F("frma"), BoxKind::Leaf, EntryLayout::None, DescribeFrma},
    {F("schi"), F("tenc"), BoxKind::Leaf, EntryLayout::None, DescribeTenc},
    {0, F("pssh"), BoxKind::Leaf, EntryLayout::None, DescribePssh},
    {0, F("senc"), BoxKind::Leaf, EntryLayout::None, DescribeSenc},
};

}  // namespace

std::span<const BoxRule> ProtectionBoxRules() { return kRules; }

const char* ProtectionSystemName(std::span<const std::uint8_t> id) {
    for (const SystemName& s : kSystems)
        if (std::equal(id.begin(), id.end(), s.id.begin(), s.id.end())) return s.name;
    return nullptr;
}

std::string ProtectionUuidText(std::span<const std::uint8_t> b) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < b.size() && i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[b[i] >> 4];
        out += kHex[b[i] & 15];
    }
    return out;
}

void DescribePiffTrackEncryption(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto id = f.U("default_AlgorithmID", 3)) f.Meaning(PiffAlgorithm(*id));
    f.U("default_IV_size", 1);
    Uuid(f, "default_KID");
    f.Trailing();
}

void DescribePiffSampleEncryption(Fields& f, const BoxContext& c) { SencBody(f, c, true); }

// PIFF's pssh has no KIDs whatever its version.
void DescribePiffPssh(Fields& f, const BoxContext&) {
    f.VersionFlags();
    PsshBody(f, 0);
}

}  // namespace kestrova::full
