// The full view's summary: one pass over the walked tree that reads the few
// boxes each track needs (tkhd, mdhd, hdlr, elst, the first sample entry and
// its configuration, stts, stsz, stss) and says what they mean.

#include "iso/full/FullSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// Tables of a two-hour file are a few MiB; the summary reads no more of one box than this.
constexpr std::uint64_t kSummaryRead = 64 * 1024 * 1024;

class Tree {
public:
    Tree(FileSource& file, const FullParse& parse) : file_(file), parse_(parse), children_(parse.records.size() + 1) {
        for (const FullRecord& r : parse.records)
            children_[static_cast<std::size_t>(r.parent + 1)].push_back(r.index);
    }
    const std::vector<std::int32_t>& Children(std::int32_t record) const {
        return children_[static_cast<std::size_t>(record + 1)];
    }
    const FullRecord& Record(std::int32_t i) const { return parse_.records[static_cast<std::size_t>(i)]; }
    // The first child of this type; -1 when none.
    std::int32_t Child(std::int32_t record, std::uint32_t type) const {
        for (const std::int32_t c : Children(record))
            if (Record(c).type == type) return c;
        return -1;
    }
    std::int32_t Path(std::int32_t record, std::initializer_list<std::uint32_t> types) const {
        for (const std::uint32_t t : types) {
            if (record < -1) return -1;
            record = Child(record, t);
            if (record < 0) return -1;
        }
        return record;
    }
    std::vector<std::uint8_t> Body(std::int32_t record, std::uint64_t limit = kSummaryRead) {
        std::vector<std::uint8_t> out;
        if (record < 0) return out;
        const FullRecord& r = Record(record);
        file_.ReadAt(r.BodyOffset(), std::min(r.BodyLength(), limit), out);
        return out;
    }

private:
    FileSource& file_;
    const FullParse& parse_;
    std::vector<std::vector<std::int32_t>> children_;
};

std::uint64_t Gcd(std::uint64_t a, std::uint64_t b) { return std::gcd(a, b); }

Ratio Reduced(std::uint64_t num, std::uint64_t den) {
    const std::uint64_t g = Gcd(num, den);
    return g == 0 ? Ratio{num, den} : Ratio{num / g, den / g};
}

std::string Decimal(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

bool IsOneOf(std::uint32_t type, std::initializer_list<const char*> types) {
    for (const char* t : types)
        if (type == (std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
                     std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint8_t(t[3])))
            return true;
    return false;
}

std::string CodecNameOfEntry(std::uint32_t type) {
    if (IsOneOf(type, {"avc1", "avc2", "avc3", "avc4", "dva1", "dvav"})) return "H.264/AVC";
    if (IsOneOf(type, {"hvc1", "hev1", "dvh1", "dvhe"})) return "H.265/HEVC";
    if (IsOneOf(type, {"av01"})) return "AV1";
    if (IsOneOf(type, {"vp09"})) return "VP9";
    if (IsOneOf(type, {"vp08"})) return "VP8";
    if (IsOneOf(type, {"vvc1", "vvi1"})) return "VVC";
    if (IsOneOf(type, {"mp4v"})) return "MPEG-4 Visual";
    if (IsOneOf(type, {"s263", "h263", "H263"})) return "H.263";
    if (IsOneOf(type, {"jpeg", "mjpa", "mjpb", "mjp2"})) return "Motion JPEG";
    if (IsOneOf(type, {"ap4h", "ap4x", "apch", "apcn", "apcs", "apco"})) return "ProRes";
    if (IsOneOf(type, {"AVdn", "AVdh"})) return "DNxHD";
    if (IsOneOf(type, {"m2v1", "mp2v", "xdv2", "xdvc", "xd54", "xd55", "xd5b", "xd5c"})) return "MPEG-2 Video";
    if (IsOneOf(type, {"Opus"})) return "Opus";
    if (IsOneOf(type, {"fLaC"})) return "FLAC";
    if (IsOneOf(type, {"ac-3"})) return "AC-3";
    if (IsOneOf(type, {"ec-3"})) return "E-AC-3";
    if (IsOneOf(type, {"ac-4"})) return "AC-4";
    if (IsOneOf(type, {"alac"})) return "ALAC";
    if (IsOneOf(type, {"samr"})) return "AMR";
    if (IsOneOf(type, {"sawb"})) return "AMR-WB";
    if (IsOneOf(type, {"sevc"})) return "EVRC";
    if (IsOneOf(type, {".mp3"})) return "MP3";
    if (IsOneOf(type, {"twos", "sowt", "lpcm", "in24", "in32", "fl32", "fl64", "ipcm", "fpcm", "raw "})) return "PCM";
    if (IsOneOf(type, {"tx3g", "text", "wvtt", "stpp", "c608", "c708", "sbtt"})) return "timed text";
    if (IsOneOf(type, {"tmcd"})) return "timecode";
    return "";
}

// objectTypeIndication of an esds (ISO/IEC 14496-1 Table 5 and the registration authority's list).
std::string CodecNameOfObjectType(std::uint8_t oti) {
    switch (oti) {
    case 0x20: return "MPEG-4 Visual";
    case 0x21: return "H.264/AVC";
    case 0x23: return "H.265/HEVC";
    case 0x60: case 0x61: case 0x62: case 0x63: case 0x64: case 0x65: return "MPEG-2 Video";
    case 0x6A: return "MPEG-1 Video";
    case 0x6C: return "Motion JPEG";
    case 0x66: case 0x67: case 0x68: return "AAC LC";
    case 0x69: case 0x6B: return "MP3";
    case 0xA5: return "AC-3";
    case 0xA6: return "E-AC-3";
    case 0xAD: return "Opus";
    case 0xDD: return "Vorbis";
    default: return "";
    }
}

// What an AudioSpecificConfig says at its start (ISO/IEC 14496-3 §1.6.2.1).
struct AscInfo {
    std::uint32_t declaredType = 0;  // the first object type, 5 or 29 for explicit SBR and PS
    std::uint32_t objectType = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t channelConfiguration = 0;
    bool sbr = false;
    bool ps = false;
};

std::optional<AscInfo> ReadAsc(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                 22050, 16000, 12000, 11025, 8000,  7350};
    std::uint64_t bit = 0;
    const std::uint64_t total = 8 * bytes.size();
    const auto read = [&](unsigned n) -> std::optional<std::uint32_t> {
        if (bit + n > total) return std::nullopt;
        std::uint32_t v = 0;
        for (unsigned i = 0; i < n; ++i, ++bit) v = v << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    const auto objectType = [&]() -> std::optional<std::uint32_t> {
        auto t = read(5);
        if (t && *t == 31) {
            const auto ext = read(6);
            if (!ext) return std::nullopt;
            t = 32 + *ext;
        }
        return t;
    };
    const auto rate = [&]() -> std::optional<std::uint32_t> {
        const auto index = read(4);
        if (!index) return std::nullopt;
        if (*index == 15) return read(24);
        return *index < 13 ? kRates[*index] : 0;
    };
    AscInfo info;
    const auto type = objectType();
    const auto r = rate();
    const auto channels = read(4);
    if (!type || !r || !channels) return std::nullopt;
    info.declaredType = info.objectType = *type;
    info.sampleRate = *r;
    info.channelConfiguration = *channels;
    if (info.objectType == 5 || info.objectType == 29) {
        info.sbr = true;
        info.ps = info.objectType == 29;
        if (const auto ext = rate()) info.sampleRate = *ext;
        if (const auto core = objectType()) info.objectType = *core;
        return info;
    }
    // The backward-compatible signalling after a GASpecificConfig of the common
    // object types: frameLengthFlag, dependsOnCoreCoder, extensionFlag.
    if (info.objectType == 2 && info.channelConfiguration != 0) {
        if (!read(3)) return info;
        if (const auto sync = read(11); sync && *sync == 0x2B7) {
            const auto ext = objectType();
            if (ext && *ext == 5) {
                const auto present = read(1);
                if (present && *present) {
                    info.sbr = true;
                    if (const auto ext = rate()) info.sampleRate = *ext;
                    if (const auto psSync = read(11); psSync && *psSync == 0x548) {
                        const auto psPresent = read(1);
                        info.ps = psPresent && *psPresent;
                    }
                }
            }
        }
    }
    return info;
}

std::string AacChannelLayout(std::uint32_t configuration) {
    switch (configuration) {
    case 1: return "C";
    case 2: return "L R";
    case 3: return "C L R";
    case 4: return "C L R Cs";
    case 5: return "C L R Ls Rs";
    case 6: return "C L R Ls Rs LFE";
    case 7: return "C Lc Rc L R Ls Rs LFE";
    default: return "";
    }
}

std::uint32_t AacChannels(std::uint32_t configuration) {
    static constexpr std::uint32_t kCount[8] = {0, 1, 2, 3, 4, 5, 6, 8};
    return configuration < 8 ? kCount[configuration] : 0;
}

// An esds body: the ES descriptor's decoder configuration and its specific info.
struct EsdsInfo {
    std::uint8_t objectType = 0;
    std::uint32_t avgBitrate = 0;
    std::vector<std::uint8_t> specificInfo;
};

std::optional<EsdsInfo> ReadEsds(const std::vector<std::uint8_t>& body) {
    const ByteReader r({body.data(), body.size()});
    std::uint64_t pos = 4;  // version and flags
    const auto descriptor = [&](std::uint8_t tag) -> std::optional<std::uint64_t> {
        if (pos >= body.size() || r.U8(pos) != tag) return std::nullopt;
        ++pos;
        std::uint64_t length = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos >= body.size()) return std::nullopt;
            const std::uint8_t b = r.U8(pos++);
            length = length << 7 | (b & 0x7F);
            if ((b & 0x80) == 0) break;
        }
        return length;
    };
    if (!descriptor(0x03)) return std::nullopt;
    const std::uint8_t flags = r.U8(pos + 2);
    pos += 3;
    if (flags & 0x80) pos += 2;
    if (flags & 0x40) pos += 1 + r.U8(pos);
    if (flags & 0x20) pos += 2;
    if (!descriptor(0x04)) return std::nullopt;
    EsdsInfo info;
    info.objectType = r.U8(pos);
    info.avgBitrate = r.U32BE(pos + 9);
    pos += 13;
    if (const auto length = descriptor(0x05)) {
        const std::uint64_t end = std::min<std::uint64_t>(body.size(), pos + *length);
        if (pos < end) info.specificInfo.assign(body.begin() + static_cast<std::ptrdiff_t>(pos), body.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return info;
}

std::string AvcProfileName(std::uint8_t profile, std::uint8_t compatibility) {
    switch (profile) {
    case 66: return (compatibility & 0x40) ? "Constrained Baseline" : "Baseline";
    case 77: return "Main";
    case 88: return "Extended";
    case 100: return "High";
    case 110: return (compatibility & 0x10) ? "High 10 Intra" : "High 10";
    case 122: return (compatibility & 0x10) ? "High 4:2:2 Intra" : "High 4:2:2";
    case 244: return (compatibility & 0x10) ? "High 4:4:4 Intra" : "High 4:4:4 Predictive";
    case 44: return "CAVLC 4:4:4 Intra";
    case 118: return "Multiview High";
    case 128: return "Stereo High";
    default: return "profile_idc " + std::to_string(profile);
    }
}

std::string AvcLevelName(std::uint8_t profile, std::uint8_t compatibility, std::uint8_t level) {
    if (level == 9 || (level == 11 && (compatibility & 0x10) && (profile == 66 || profile == 77 || profile == 88)))
        return "1b";
    return std::to_string(level / 10) + (level % 10 ? "." + std::to_string(level % 10) : std::string());
}

std::string HevcProfileName(std::uint8_t profile, std::uint32_t compatibility) {
    const auto compatible = [&](int i) { return (compatibility >> (31 - i)) & 1; };
    if (profile == 1 || (profile == 0 && compatible(1))) return "Main";
    if (profile == 2 || (profile == 0 && compatible(2))) return "Main 10";
    if (profile == 3 || (profile == 0 && compatible(3))) return "Main Still Picture";
    if (profile == 4) return "Format Range Extensions";
    if (profile == 5) return "High Throughput";
    if (profile == 9) return "Screen Content Coding Extensions";
    return "general_profile_idc " + std::to_string(profile);
}

std::string ChromaText(std::uint32_t format) {
    switch (format) {
    case 0: return "4:0:0";
    case 1: return "4:2:0";
    case 2: return "4:2:2";
    case 3: return "4:4:4";
    default: return "";
    }
}

std::string TwoDigits(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u", v);
    return buf;
}

std::string HexByte(std::uint32_t v, bool pad) {
    char buf[16];
    std::snprintf(buf, sizeof buf, pad ? "%02X" : "%X", v);
    return buf;
}

void ReadAvcC(const std::vector<std::uint8_t>& b, std::uint32_t entryType, TrackSummary& t) {
    if (b.size() < 4) return;
    t.codecString = FourccText(entryType) + "." + HexByte(b[1], true) + HexByte(b[2], true) + HexByte(b[3], true);
    t.profile = AvcProfileName(b[1], b[2]);
    t.level = AvcLevelName(b[1], b[2], b[3]);
}

void ReadHvcC(const std::vector<std::uint8_t>& b, std::uint32_t entryType, TrackSummary& t) {
    if (b.size() < 23) return;
    const ByteReader r({b.data(), b.size()});
    const std::uint8_t space = b[1] >> 6;
    t.highTier = (b[1] >> 5) & 1;
    const std::uint8_t profile = b[1] & 31;
    const std::uint32_t compatibility = r.U32BE(2);
    std::uint8_t constraints[6];
    for (int i = 0; i < 6; ++i) constraints[i] = b[6 + static_cast<std::size_t>(i)];
    const std::uint8_t level = b[12];
    t.codecString = HevcCodecString(entryType, space, t.highTier, profile, compatibility, constraints, level);
    t.profile = HevcProfileName(profile, compatibility);
    t.level = level % 30 == 0 ? std::to_string(level / 30) : Decimal(level / 30.0, 1);
    t.tier = t.highTier ? "High" : "Main";
    t.chromaFormat = ChromaText(b[16] & 3);
    t.bitDepth = (b[17] & 7) + 8u;
}

void ReadAv1C(const std::vector<std::uint8_t>& b, TrackSummary& t) {
    if (b.size() < 4) return;
    const std::uint32_t profile = b[1] >> 5;
    const std::uint32_t levelIdx = b[1] & 31;
    t.highTier = (b[2] >> 7) & 1;
    t.tier = t.highTier ? "High" : "Main";
    const bool high = (b[2] >> 6) & 1, twelve = (b[2] >> 5) & 1, mono = (b[2] >> 4) & 1;
    const std::uint32_t sx = (b[2] >> 3) & 1, sy = (b[2] >> 2) & 1, position = b[2] & 3;
    t.bitDepth = high ? (twelve ? 12u : 10u) : 8u;
    t.chromaFormat = mono ? "4:0:0" : sx && sy ? "4:2:0" : sx ? "4:2:2" : "4:4:4";
    static const char* const kProfiles[] = {"Main", "High", "Professional"};
    t.profile = profile < 3 ? kProfiles[profile] : "seq_profile " + std::to_string(profile);
    t.level = levelIdx == 31 ? "maximum parameters" : std::to_string(2 + (levelIdx >> 2)) + "." + std::to_string(levelIdx & 3);
    t.codecString = "av01." + std::to_string(profile) + "." + TwoDigits(levelIdx) + (t.highTier ? "H" : "M") + "." +
                    TwoDigits(*t.bitDepth);
    if (t.colourPrimaries && t.transfer && t.matrix && t.fullRange) {
        t.codecStringLong = t.codecString + "." + (mono ? "1" : "0") + "." + std::to_string(sx) + std::to_string(sy) +
                            std::to_string(mono ? 0 : position) + "." + TwoDigits(*t.colourPrimaries) + "." +
                            TwoDigits(*t.transfer) + "." + TwoDigits(*t.matrix) + "." + (*t.fullRange ? "1" : "0");
    }
}

void ReadVpcC(const std::vector<std::uint8_t>& b, std::uint32_t entryType, TrackSummary& t) {
    // A full box; version 1 (VP codec ISO-BMFF binding).
    if (b.size() < 12 || b[0] != 1) return;
    const std::uint32_t profile = b[4], level = b[5], depth = b[6] >> 4, chroma = (b[6] >> 1) & 7;
    const bool full = b[6] & 1;
    t.profile = "Profile " + std::to_string(profile);
    t.level = Decimal(level / 10.0, level % 10 ? 1 : 0);
    t.bitDepth = depth;
    t.chromaFormat = chroma <= 1 ? "4:2:0" : chroma == 2 ? "4:2:2" : chroma == 3 ? "4:4:4" : "";
    t.colourPrimaries = b[7];
    t.transfer = b[8];
    t.matrix = b[9];
    t.fullRange = full;
    t.codecString = FourccText(entryType) + "." + TwoDigits(profile) + "." + TwoDigits(level) + "." + TwoDigits(depth);
    t.codecStringLong = t.codecString + "." + TwoDigits(chroma) + "." + TwoDigits(b[7]) + "." + TwoDigits(b[8]) + "." +
                        TwoDigits(b[9]) + "." + TwoDigits(full ? 1 : 0);
}

void ReadAudioEntry(const std::vector<std::uint8_t>& b, EntryLayout layout, TrackSummary& t) {
    const ByteReader r({b.data(), b.size()});
    if (b.size() < 28) return;
    if (layout == EntryLayout::AudioQtV2 && b.size() >= 52) {
        const std::uint64_t bits = r.U64BE(32);
        double rate = 0;
        static_assert(sizeof rate == sizeof bits);
        std::memcpy(&rate, &bits, sizeof rate);
        if (std::isfinite(rate) && rate >= 0 && rate < 1e9) t.entrySampleRate = static_cast<std::uint32_t>(std::lround(rate));
        t.entryChannels = r.U32BE(40);
        t.bitsPerSample = r.U32BE(48);
        return;
    }
    t.entryChannels = r.U16BE(16);
    t.bitsPerSample = r.U16BE(18);
    t.entrySampleRate = r.U32BE(24) >> 16;
}

double RotationOf(const ByteReader& m, std::uint64_t at, bool& pure) {
    const auto fixed = [&](int i) { return static_cast<std::int32_t>(m.U32BE(at + 4 * static_cast<std::uint64_t>(i))) / 65536.0; };
    const double a = fixed(0), b = fixed(1), c = fixed(3), d = fixed(4);
    const auto is = [](double v, double w) { return std::fabs(v - w) < 1e-4; };
    pure = true;
    if (is(a, 1) && is(b, 0) && is(c, 0) && is(d, 1)) return 0;
    if (is(a, 0) && is(b, 1) && is(c, -1) && is(d, 0)) return 90;
    if (is(a, -1) && is(b, 0) && is(c, 0) && is(d, -1)) return 180;
    if (is(a, 0) && is(b, -1) && is(c, 1) && is(d, 0)) return 270;
    pure = false;
    return 0;
}

void SummariseTrack(Tree& tree, std::int32_t trak, std::uint32_t movieTimescale, TrackSummary& t) {
    const std::int32_t tkhd = tree.Child(trak, F("tkhd"));
    if (tkhd >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(tkhd, 96);
        const ByteReader r({b.data(), b.size()});
        const bool v1 = r.U8(0) == 1;
        t.trackId = r.U32BE(v1 ? 20 : 12);
        const std::uint64_t matrix = v1 ? 52 : 40;
        if (b.size() >= matrix + 44) {
            bool pure = true;
            t.rotation = static_cast<int>(RotationOf(r, matrix, pure));
            t.rotationIsPure = pure;
            t.tkhdWidth = r.U32BE(matrix + 36) / 65536.0;
            t.tkhdHeight = r.U32BE(matrix + 40) / 65536.0;
        }
    } else {
        t.missing.push_back("no track header (tkhd)");
    }
    const std::int32_t mdia = tree.Child(trak, F("mdia"));
    const std::int32_t mdhd = tree.Child(mdia, F("mdhd"));
    if (mdia >= 0 && mdhd >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(mdhd, 40);
        const ByteReader r({b.data(), b.size()});
        const bool v1 = r.U8(0) == 1;
        t.timescale = r.U32BE(v1 ? 20 : 12);
        t.mediaDuration = v1 ? r.U64BE(24) : r.U32BE(16);
        const std::uint16_t lang = r.U16BE(v1 ? 32 : 20);
        t.language = lang < 0x400 ? "Macintosh language code " + std::to_string(lang) : PackedLanguageText(lang & 0x7FFF);
    } else {
        t.missing.push_back("no media header (mdhd)");
    }
    if (const std::int32_t elng = tree.Child(mdia, F("elng")); mdia >= 0 && elng >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(elng, 256);
        if (b.size() > 4) {
            const auto end = std::find(b.begin() + 4, b.end(), 0);
            t.language = TextFromFileBytes(b.data() + 4, static_cast<std::size_t>(end - (b.begin() + 4)));
        }
    }
    if (const std::int32_t hdlr = tree.Child(mdia, F("hdlr")); mdia >= 0 && hdlr >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(hdlr, 1024);
        const ByteReader r({b.data(), b.size()});
        t.handler = r.U32BE(8);
        if (b.size() > 24) {
            const std::uint8_t* name = b.data() + 24;
            std::size_t n = b.size() - 24;
            // A QuickTime name is a Pascal string.
            if (name[0] == n - 1 && n > 1) {
                ++name;
                --n;
            }
            n = std::find(name, name + n, 0) - name;
            t.handlerName = TextFromFileBytes(name, n);
        }
    }
    if (const std::int32_t elst = tree.Path(trak, {F("edts"), F("elst")}); elst >= 0 && movieTimescale != 0) {
        const std::vector<std::uint8_t> b = tree.Body(elst);
        const ByteReader r({b.data(), b.size()});
        const bool v1 = r.U8(0) == 1;
        const std::uint64_t entry = v1 ? 20 : 12;
        const std::uint64_t count = std::min<std::uint64_t>(r.U32BE(4), b.size() >= 8 ? (b.size() - 8) / entry : 0);
        std::uint64_t total = 0;
        for (std::uint64_t i = 0; i < count; ++i) total += v1 ? r.U64BE(8 + i * entry) : r.U32BE(8 + i * entry);
        t.presentationSeconds = static_cast<double>(total) / movieTimescale;
    }

    const std::int32_t stbl = tree.Path(mdia, {F("minf"), F("stbl")});
    if (mdia < 0 || stbl < 0) {
        t.missing.push_back("no sample table (stbl)");
        return;
    }
    const std::int32_t stsd = tree.Child(stbl, F("stsd"));
    const std::vector<std::int32_t> noEntries;
    const std::vector<std::int32_t>& entries = stsd >= 0 ? tree.Children(stsd) : noEntries;
    if (entries.empty()) {
        t.missing.push_back("no sample entry (stsd)");
    } else {
        const std::int32_t entry = entries.front();
        const FullRecord& e = tree.Record(entry);
        t.entryType = e.type;
        std::uint32_t format = e.type;
        if (const std::int32_t frma = tree.Path(entry, {F("sinf"), F("frma")}); frma >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(frma, 4);
            format = t.originalFormat = ByteReader({b.data(), b.size()}).U32BE(0);
            const std::vector<std::uint8_t> schm = tree.Body(tree.Path(entry, {F("sinf"), F("schm")}), 8);
            t.encryption = schm.size() >= 8 ? FourccText(ByteReader({schm.data(), schm.size()}).U32BE(4)) : "unknown scheme";
        }
        t.codecName = CodecNameOfEntry(format);
        const std::vector<std::uint8_t> own = tree.Body(entry, 80);
        if (e.layout == EntryLayout::Visual && own.size() >= 28) {
            const ByteReader r({own.data(), own.size()});
            t.entryWidth = r.U16BE(24);
            t.entryHeight = r.U16BE(26);
        } else if (e.layout == EntryLayout::Audio || e.layout == EntryLayout::AudioQtV1 || e.layout == EntryLayout::AudioQtV2) {
            ReadAudioEntry(own, e.layout, t);
        }
        if (const std::int32_t colr = tree.Child(entry, F("colr")); colr >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(colr, 16);
            const ByteReader r({b.data(), b.size()});
            if ((r.U32BE(0) == F("nclx") || r.U32BE(0) == F("nclc")) && b.size() >= 10) {
                t.colourPrimaries = r.U16BE(4);
                t.transfer = r.U16BE(6);
                t.matrix = r.U16BE(8);
                if (r.U32BE(0) == F("nclx") && b.size() >= 11) t.fullRange = (b[10] >> 7) & 1;
            }
        }
        if (const std::int32_t pasp = tree.Child(entry, F("pasp")); pasp >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(pasp, 8);
            const ByteReader r({b.data(), b.size()});
            if (r.U32BE(0) != 0 && r.U32BE(4) != 0) t.sar = Reduced(r.U32BE(0), r.U32BE(4));
        }
        if (const std::int32_t mdcv = tree.Child(entry, F("mdcv")); mdcv >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(mdcv, 24);
            const ByteReader r({b.data(), b.size()});
            if (b.size() >= 24)
                t.masteringDisplay = "luminance " + Decimal(r.U32BE(20) / 10000.0, 4) + " to " +
                                     Decimal(r.U32BE(16) / 10000.0, 0) + " cd/m2";
        }
        if (const std::int32_t clli = tree.Child(entry, F("clli")); clli >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(clli, 4);
            const ByteReader r({b.data(), b.size()});
            if (b.size() >= 4)
                t.lightLevel = "MaxCLL " + std::to_string(r.U16BE(0)) + " cd/m2, MaxFALL " + std::to_string(r.U16BE(2)) + " cd/m2";
        }
        if (const std::int32_t c = tree.Child(entry, F("avcC")); c >= 0) ReadAvcC(tree.Body(c, 4096), format, t);
        if (const std::int32_t c = tree.Child(entry, F("hvcC")); c >= 0) ReadHvcC(tree.Body(c, 4096), format, t);
        if (const std::int32_t c = tree.Child(entry, F("av1C")); c >= 0) ReadAv1C(tree.Body(c, 64), t);
        if (const std::int32_t c = tree.Child(entry, F("vpcC")); c >= 0) ReadVpcC(tree.Body(c, 64), format, t);
        std::int32_t esds = tree.Child(entry, F("esds"));
        if (esds < 0) esds = tree.Path(entry, {F("wave"), F("esds")});
        if (esds >= 0) {
            if (const auto es = ReadEsds(tree.Body(esds, 4096))) {
                if (const std::string name = CodecNameOfObjectType(es->objectType); !name.empty()) t.codecName = name;
                if (es->objectType == 0x40) {
                    if (const auto asc = ReadAsc(es->specificInfo)) {
                        t.codecString = "mp4a.40." + std::to_string(asc->declaredType);
                        t.codecName = asc->objectType == 42 ? "xHE-AAC" : asc->ps ? "HE-AAC v2" : asc->sbr ? "HE-AAC"
                                      : asc->objectType == 2 ? "AAC LC" : asc->objectType == 1 ? "AAC Main"
                                      : asc->objectType == 4 ? "AAC LTP" : "MPEG-4 audio object type " + std::to_string(asc->objectType);
                        if (asc->sampleRate != 0) t.sampleRate = asc->sampleRate;
                        if (AacChannels(asc->channelConfiguration) != 0) {
                            t.channels = asc->ps ? 2 : AacChannels(asc->channelConfiguration);
                            t.channelLayout = asc->ps ? "L R" : AacChannelLayout(asc->channelConfiguration);
                        }
                    }
                } else if (format == F("mp4v") && es->objectType == 0x20) {
                    // The VisualObjectSequence start code carries profile_and_level_indication.
                    const auto& dsi = es->specificInfo;
                    for (std::size_t i = 0; i + 4 < dsi.size(); ++i)
                        if (dsi[i] == 0 && dsi[i + 1] == 0 && dsi[i + 2] == 1 && dsi[i + 3] == 0xB0) {
                            t.codecString = "mp4v.20." + std::to_string(dsi[i + 4]);
                            break;
                        }
                } else if (format == F("mp4a") || format == F("mp4v")) {
                    t.codecString = FourccText(format) + "." + HexByte(es->objectType, true);
                }
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dOps")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 32);
            const ByteReader r({b.data(), b.size()});
            if (b.size() >= 11) {
                t.channels = r.U8(1);
                t.sampleRate = r.U32BE(4);
                if (r.U8(10) == 0) t.channelLayout = r.U8(1) == 1 ? "C" : r.U8(1) == 2 ? "L R" : "";
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dfLa")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 64);
            // The first metadata block, STREAMINFO: rate 20 bits, channels-1 3, bits-1 5.
            if (b.size() >= 4 + 4 + 18 && (b[4] & 0x7F) == 0) {
                const std::uint8_t* s = b.data() + 8;
                t.sampleRate = (std::uint32_t{s[10]} << 12) | (std::uint32_t{s[11]} << 4) | (s[12] >> 4);
                t.channels = ((s[12] >> 1) & 7) + 1u;
                t.bitsPerSample = (((s[12] & 1) << 4) | (s[13] >> 4)) + 1u;
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dac3")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 3);
            if (b.size() >= 3) {
                static constexpr std::uint32_t kRates[3] = {48000, 44100, 32000};
                static const char* const kLayouts[8] = {"L R", "C", "L R", "L C R", "L R S", "L C R S", "L R Ls Rs", "L C R Ls Rs"};
                static constexpr std::uint32_t kChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
                const std::uint32_t fscod = b[0] >> 6, acmod = (b[1] >> 3) & 7, lfe = (b[1] >> 2) & 1;
                if (fscod < 3) t.sampleRate = kRates[fscod];
                t.channels = kChannels[acmod] + lfe;
                t.channelLayout = std::string(kLayouts[acmod]) + (lfe ? " LFE" : "");
            }
        }
        if (t.codecString.empty()) {
            static const std::uint32_t kPlain[] = {F("Opus"), F("fLaC"), F("ac-3"), F("ec-3"), F("ac-4"), F("alac")};
            t.codecString = FourccText(format);
            for (const std::uint32_t p : kPlain)
                if (p == format) t.codecString = FourccText(p);
        }
    }

    // Timing and sizes from the tables.
    if (const std::int32_t stts = tree.Child(stbl, F("stts")); stts >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(stts);
        const ByteReader r({b.data(), b.size()});
        const std::uint64_t count = std::min<std::uint64_t>(r.U32BE(4), b.size() >= 8 ? (b.size() - 8) / 8 : 0);
        std::uint64_t samples = 0;
        std::uint32_t minDelta = 0, maxDelta = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t n = r.U32BE(8 + 8 * i), delta = r.U32BE(12 + 8 * i);
            samples += n;
            // A last entry of one sample often holds the stream's remainder; it does not make the rate variable.
            if (n == 0 || (i + 1 == count && n == 1 && count > 1)) continue;
            minDelta = minDelta == 0 ? delta : std::min(minDelta, delta);
            maxDelta = std::max(maxDelta, delta);
        }
        if (t.handler == F("vide") && t.timescale != 0 && minDelta != 0) {
            if (minDelta == maxDelta) {
                t.frameRate = Reduced(t.timescale, minDelta);
            } else {
                t.variableFrameRate = true;
                t.minFrameRate = static_cast<double>(t.timescale) / maxDelta;
                t.maxFrameRate = static_cast<double>(t.timescale) / minDelta;
            }
        }
        (void)samples;
    }
    std::int32_t sizes = tree.Child(stbl, F("stsz"));
    if (sizes >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(sizes);
        const ByteReader r({b.data(), b.size()});
        const std::uint32_t fixed = r.U32BE(4), count = r.U32BE(8);
        t.sampleCount = count;
        if (fixed != 0) {
            t.totalBytes = std::uint64_t{fixed} * count;
        } else {
            const std::uint64_t present = std::min<std::uint64_t>(count, b.size() >= 12 ? (b.size() - 12) / 4 : 0);
            std::uint64_t total = 0;
            for (std::uint64_t i = 0; i < present; ++i) total += r.U32BE(12 + 4 * i);
            t.totalBytes = total;
        }
    } else if ((sizes = tree.Child(stbl, F("stz2"))) >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(sizes);
        const ByteReader r({b.data(), b.size()});
        const unsigned field = r.U8(7);
        const std::uint32_t count = r.U32BE(8);
        t.sampleCount = count;
        if (field == 4 || field == 8 || field == 16) {
            std::uint64_t total = 0;
            const std::uint64_t bits = b.size() >= 12 ? 8 * (b.size() - 12) : 0;
            const std::uint64_t present = std::min<std::uint64_t>(count, bits / field);
            for (std::uint64_t i = 0; i < present; ++i) {
                if (field == 16) total += r.U16BE(12 + 2 * i);
                else if (field == 8) total += r.U8(12 + i);
                else total += (i % 2 == 0) ? r.U8(12 + i / 2) >> 4 : r.U8(12 + i / 2) & 15;
            }
            t.totalBytes = total;
        }
    } else {
        t.missing.push_back("no sample sizes (stsz)");
    }
    if (const std::int32_t stss = tree.Child(stbl, F("stss")); stss >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(stss, 8);
        t.syncSampleCount = ByteReader({b.data(), b.size()}).U32BE(4);
    } else {
        t.everySampleSync = true;
    }
    if (t.timescale == 0) t.missing.push_back("a zero timescale");
    if (t.sampleCount && *t.sampleCount == 0) t.missing.push_back("no samples");

    // Sizes: the configuration's where known, the entry's otherwise; display after pasp and clap.
    const std::optional<std::uint32_t> w = t.codedWidth ? t.codedWidth : t.entryWidth;
    const std::optional<std::uint32_t> h = t.codedHeight ? t.codedHeight : t.entryHeight;
    if (w && h && *w != 0 && *h != 0) {
        double dw = *w, dh = *h;
        const std::int32_t entry = entries.empty() ? -1 : entries.front();
        if (const std::int32_t clap = entry >= 0 ? tree.Child(entry, F("clap")) : -1; clap >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(clap, 32);
            const ByteReader r({b.data(), b.size()});
            if (b.size() >= 16 && r.U32BE(4) != 0 && r.U32BE(12) != 0) {
                dw = static_cast<double>(r.U32BE(0)) / r.U32BE(4);
                dh = static_cast<double>(r.U32BE(8)) / r.U32BE(12);
            }
        }
        if (t.sar) dw = dw * static_cast<double>(t.sar->num) / static_cast<double>(t.sar->den);
        t.displayWidth = dw;
        t.displayHeight = dh;
    }
}

std::string SecondsText(double s) { return Decimal(s, 3) + " s"; }

std::string RatioText(const Ratio& r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

std::string SizeText(double w, double h) {
    const auto one = [](double v) { return std::fabs(v - std::round(v)) < 1e-6 ? std::to_string(static_cast<long long>(std::llround(v))) : Decimal(v, 2); };
    return one(w) + " x " + one(h);
}

}  // namespace

std::string HevcCodecString(std::uint32_t entryType, std::uint8_t profileSpace, bool highTier, std::uint8_t profileIdc,
                            std::uint32_t compatibilityFlags, const std::uint8_t (&constraints)[6], std::uint8_t levelIdc) {
    std::string s = FourccText(entryType) + ".";
    if (profileSpace > 0) s += static_cast<char>('A' + profileSpace - 1);
    s += std::to_string(profileIdc) + ".";
    std::uint32_t reversed = 0;
    for (int i = 0; i < 32; ++i) reversed |= ((compatibilityFlags >> i) & 1u) << (31 - i);
    s += HexByte(reversed, false) + ".";
    s += std::string(highTier ? "H" : "L") + std::to_string(levelIdc);
    int last = 5;
    while (last >= 0 && constraints[last] == 0) --last;
    for (int i = 0; i <= last; ++i) s += "." + HexByte(constraints[i], false);
    return s;
}

std::optional<double> TrackSummary::MediaSeconds() const {
    if (!mediaDuration || timescale == 0) return std::nullopt;
    return static_cast<double>(*mediaDuration) / timescale;
}

std::optional<std::uint64_t> TrackSummary::BitRate() const {
    const std::optional<double> seconds = MediaSeconds();
    if (!seconds || *seconds <= 0 || !totalBytes) return std::nullopt;
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(*totalBytes) * 8 / *seconds));
}

FileSummary BuildFileSummary(FileSource& file, const FullParse& parse) {
    Tree tree(file, parse);
    FileSummary s;
    for (const FullRecord& r : parse.records) {
        if (r.type == F("moof")) ++s.fragments;
        if (r.type == F("sidx")) ++s.segmentIndexes;
    }
    for (const std::int32_t top : tree.Children(-1)) {
        const FullRecord& r = tree.Record(top);
        if ((r.type == F("ftyp") || r.type == F("styp")) && s.majorBrand == 0) {
            const std::vector<std::uint8_t> b = tree.Body(top, 4096);
            const ByteReader br({b.data(), b.size()});
            s.majorBrand = br.U32BE(0);
            for (std::uint64_t at = 8; at + 4 <= b.size(); at += 4) s.compatibleBrands.push_back(br.U32BE(at));
        }
        if (r.type != F("moov") || s.hasMovie) continue;
        s.hasMovie = true;
        s.hasMvex = tree.Child(top, F("mvex")) >= 0;
        if (const std::int32_t mvhd = tree.Child(top, F("mvhd")); mvhd >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(mvhd, 40);
            const ByteReader br({b.data(), b.size()});
            const bool v1 = br.U8(0) == 1;
            s.creationTime = v1 ? br.U64BE(4) : br.U32BE(4);
            s.movieTimescale = br.U32BE(v1 ? 20 : 12);
            s.movieDuration = v1 ? br.U64BE(24) : br.U32BE(16);
        }
        for (const std::int32_t child : tree.Children(top)) {
            if (tree.Record(child).type != F("trak")) continue;
            TrackSummary& t = s.tracks.emplace_back();
            SummariseTrack(tree, child, s.movieTimescale, t);
        }
    }
    return s;
}

void WriteSummaryLines(DocumentView& view, const FileSummary& s) {
    const RegionalSettings& rs = view.Settings();
    const auto line = [&](const std::string& label, const std::string& value) {
        std::string text = label;
        if (text.size() < 20) text.append(20 - text.size(), ' ');
        view.AddFileInfoLine(text + ": " + value);
    };
    view.ClearFileInfo();
    view.AddFileInfoLine("[File]");
    line("File Name", view.GetFilePath());
    if (s.majorBrand != 0) {
        line("Major brand", FourccText(s.majorBrand));
        std::string brands;
        for (const std::uint32_t b : s.compatibleBrands) brands += (brands.empty() ? "" : " ") + FourccText(b);
        line("Compatible brands", brands);
    }
    if (!s.hasMovie) line("Movie", "no movie box (moov)");
    if (s.movieDuration && s.movieTimescale != 0)
        line("Duration", SecondsText(static_cast<double>(*s.movieDuration) / s.movieTimescale));
    if (s.creationTime && *s.creationTime != 0) line("Created", UtcText1904(*s.creationTime));
    line("Tracks", std::to_string(s.tracks.size()));
    std::string fragmented = s.hasMvex ? "yes (mvex)" : "no";
    if (s.fragments != 0) fragmented = "yes: " + GroupedText(s.fragments, rs) + " fragments";
    if (s.segmentIndexes != 0) fragmented += ", " + GroupedText(s.segmentIndexes, rs) + " segments indexed by sidx";
    line("Fragmented", fragmented);

    for (const TrackSummary& t : s.tracks) {
        view.AddFileInfoLine(kDescriptionSeparator);
        std::string head = "[Track " + std::to_string(t.trackId);
        if (t.handler != 0) head += ": " + FourccText(t.handler);
        if (!t.handlerName.empty()) head += " \"" + t.handlerName + "\"";
        view.AddFileInfoLine(head + "]");
        for (const std::string& m : t.missing) line("Missing", m);
        if (t.entryType != 0) {
            std::string codec = t.codecName.empty() ? "unknown" : t.codecName;
            codec += " (" + FourccText(t.entryType) + (t.originalFormat ? " of " + FourccText(t.originalFormat) : "") + ")";
            line("Codec", codec);
        }
        if (!t.codecString.empty()) line("Codec string", t.codecString);
        if (!t.codecStringLong.empty()) line("Codec string (long)", t.codecStringLong);
        if (!t.profile.empty()) line("Profile", t.profile);
        if (!t.level.empty()) line("Level", t.level);
        if (!t.tier.empty()) line("Tier", t.tier);
        const bool video = t.handler == F("vide") || t.entryWidth;
        if (video) {
            if (t.codedWidth && t.codedHeight) line("Coded size", SizeText(*t.codedWidth, *t.codedHeight));
            if (t.entryWidth && t.entryHeight &&
                (!t.codedWidth || *t.codedWidth != *t.entryWidth || *t.codedHeight != *t.entryHeight))
                line(t.codedWidth ? "Size in entry" : "Size", SizeText(*t.entryWidth, *t.entryHeight));
            const std::optional<std::uint32_t> w = t.codedWidth ? t.codedWidth : t.entryWidth;
            const std::optional<std::uint32_t> h = t.codedHeight ? t.codedHeight : t.entryHeight;
            if (t.tkhdWidth && t.tkhdHeight && (!w || std::fabs(*t.tkhdWidth - *w) > 1e-6 || std::fabs(*t.tkhdHeight - *h) > 1e-6))
                line("Size in tkhd", SizeText(*t.tkhdWidth, *t.tkhdHeight));
            if (t.displayWidth && t.displayHeight) line("Display size", SizeText(*t.displayWidth, *t.displayHeight));
            if (t.sar) line("Sample aspect ratio", std::to_string(t.sar->num) + ":" + std::to_string(t.sar->den));
            if (t.rotation) line("Rotation", t.rotationIsPure ? std::to_string(*t.rotation) + " degrees clockwise" : "not a pure rotation");
            if (t.frameRate)
                line("Frame rate", RatioText(*t.frameRate) + " (" +
                                       Decimal(static_cast<double>(t.frameRate->num) / static_cast<double>(t.frameRate->den), 3) +
                                       " fps), constant");
            else if (t.variableFrameRate)
                line("Frame rate", "variable, " + Decimal(t.minFrameRate, 3) + " to " + Decimal(t.maxFrameRate, 3) + " fps");
            if (t.bitDepth) line("Bit depth", std::to_string(*t.bitDepth));
            if (!t.chromaFormat.empty()) line("Chroma format", t.chromaFormat);
            if (t.colourPrimaries)
                line("Colour", "primaries " + std::to_string(*t.colourPrimaries) + ", transfer " + std::to_string(*t.transfer) +
                                   ", matrix " + std::to_string(*t.matrix) +
                                   (t.fullRange ? (*t.fullRange ? ", full range" : ", limited range") : std::string()));
            if (!t.masteringDisplay.empty()) line("Mastering display", t.masteringDisplay);
            if (!t.lightLevel.empty()) line("Light level", t.lightLevel);
        }
        if (t.channels || t.entryChannels) {
            if (t.channels) line("Channels", std::to_string(*t.channels) + (t.channelLayout.empty() ? "" : " (" + t.channelLayout + ")"));
            if (t.entryChannels && (!t.channels || *t.channels != *t.entryChannels))
                line(t.channels ? "Channels in entry" : "Channels", std::to_string(*t.entryChannels));
        }
        if (t.sampleRate) line("Sample rate", std::to_string(*t.sampleRate) + " Hz");
        if (t.entrySampleRate && (!t.sampleRate || *t.sampleRate != *t.entrySampleRate))
            line(t.sampleRate ? "Sample rate in entry" : "Sample rate", std::to_string(*t.entrySampleRate) + " Hz");
        if (t.bitsPerSample && !video) line("Bits per sample", std::to_string(*t.bitsPerSample));
        if (const auto seconds = t.MediaSeconds()) line("Media duration", SecondsText(*seconds));
        if (t.presentationSeconds) line("Presentation", SecondsText(*t.presentationSeconds) + " (after the edit list)");
        if (t.sampleCount) {
            std::string samples = GroupedText(*t.sampleCount, rs);
            samples += t.everySampleSync ? ", every one a sync sample"
                                         : ", " + GroupedText(t.syncSampleCount.value_or(0), rs) + " sync samples";
            line("Samples", samples);
        }
        if (const auto rate = t.BitRate()) line("Bit rate", GroupedText(*rate, rs) + " bit/s");
        if (!t.language.empty()) line("Language", t.language);
        line("Encrypted", t.encryption ? "yes (" + *t.encryption + ")" : "no");
    }
}

}  // namespace kestrova::full
