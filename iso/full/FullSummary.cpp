// The full view's summary: one pass over the walked tree that reads the few
// boxes each track needs (tkhd, mdhd, hdlr, elst, the first sample entry and
// its configuration, stts, stsz, stss) and says what they mean.

#include "iso/full/FullSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <span>

#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"
#include "iso/full/ImageItems.h"
#include "codecs/Av1.h"
#include "codecs/AudioConfigs.h"
#include "codecs/ColourNames.h"
#include "codecs/H264.h"
#include "codecs/H265.h"
#include "codecs/Mpeg4Audio.h"
#include "codecs/Mpeg4Visual.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// An image file lists a few dozen items; past this many the summary counts them only.
constexpr std::size_t kMaxSummaryItems = 10'000;

// Tables of a two-hour file are a few MiB; the summary reads no more of one box than this.
constexpr std::uint64_t kSummaryRead = 64 * 1024 * 1024;

class Tree {
public:
    // The children of every record in one array, each record's in a stretch
    // of it. A fragmented file has tens of thousands of records, nearly all
    // inside moofs, which the summary never looks into: their children are left out.
    Tree(FileSource& file, const FullParse& parse)
        : file_(file), parse_(parse), first_(parse.records.size() + 2, 0) {
        const auto listed = [&](const FullRecord& r) {
            if (r.depth == 0) inMoof_ = r.type == Fourcc("moof");
            return r.depth == 0 || !inMoof_;
        };
        for (const FullRecord& r : parse.records)
            if (listed(r)) ++first_[static_cast<std::size_t>(r.parent + 2)];
        for (std::size_t i = 1; i < first_.size(); ++i) first_[i] += first_[i - 1];
        children_.resize(first_.back());
        std::vector<std::uint32_t> next(first_.begin(), first_.end() - 1);
        for (const FullRecord& r : parse.records)
            if (listed(r)) children_[next[static_cast<std::size_t>(r.parent + 1)]++] = r.index;
    }
    std::span<const std::int32_t> Children(std::int32_t record) const {
        const auto i = static_cast<std::size_t>(record + 1);
        return {children_.data() + first_[i], first_[i + 1] - first_[i]};
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
    std::vector<std::uint32_t> first_;  // where each record's children start, by record + 1
    std::vector<std::int32_t> children_;
    bool inMoof_ = false;
};

// QuickTime's Macintosh language codes as ISO 639-2/T, for the common ones.
std::string MacintoshLanguage(std::uint16_t code) {
    static const char* const kCodes[] = {"eng", "fra", "deu", "ita", "nld", "swe", "spa", "dan", "por", "nor",
                                         "heb", "jpn", "ara", "fin", "ell", "isl", "mlt", "tur", "hrv", "zho",
                                         "urd", "hin", "tha", "kor", "lit", "pol", "hun", "est", "lav", "sme",
                                         "fao", "fas", "rus", "zho", "nld", "gle", "sqi", "ron", "ces", "slk"};
    if (code < std::size(kCodes)) return kCodes[code];
    return "Macintosh language code " + std::to_string(code);
}

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
    case 0xA0: case 0xD1: return "EVRC";
    case 0xE1: return "QCELP";
    default: return "";
    }
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

// The speakers inside the parentheses of a layout's words: "5.1 (FL FC FR RL RR LFE)".
std::string Speakers(const std::string& words) {
    const std::size_t open = words.find('('), close = words.rfind(')');
    return open == std::string::npos || close == std::string::npos || close < open ? words
                                                                                   : words.substr(open + 1, close - open - 1);
}

void ReadAvcC(const std::vector<std::uint8_t>& b, std::uint32_t entryType, TrackSummary& t) {
    if (b.size() < 4) return;
    t.codecString = FourccText(entryType) + "." + HexByte(b[1], true) + HexByte(b[2], true) + HexByte(b[3], true);
    t.profile = codecs::H264ProfileName(b[1], b[2]);
    t.level = codecs::H264LevelText(b[1], b[2], b[3]);
    if (b.size() < 8 || (b[5] & 0x1F) == 0) return;
    const std::size_t length = std::size_t{b[6]} << 8 | b[7];
    if (length == 0 || 8 + length > b.size()) return;
    const codecs::H264Sps sps = codecs::ReadH264Sps({b.data() + 8, length}, 0, nullptr);
    if (sps.width == 0 || sps.height == 0) return;
    t.codedWidth = static_cast<std::uint32_t>(sps.width);
    t.codedHeight = static_cast<std::uint32_t>(sps.height);
    t.bitDepth = sps.bitDepthLuma;
    t.chromaFormat = ChromaText(sps.chromaFormatIdc);
    const codecs::H264Vui& vui = sps.vui;
    if (sps.vuiPresent && vui.aspectRatioInfo && vui.sarWidth != 0 && vui.sarHeight != 0 && !t.sar)
        t.sar = Reduced(vui.sarWidth, vui.sarHeight);
    if (sps.vuiPresent && vui.colourDescription && !t.colourPrimaries) {
        t.colourPrimaries = vui.colourPrimaries;
        t.transfer = vui.transferCharacteristics;
        t.matrix = vui.matrixCoefficients;
    }
    if (sps.vuiPresent && vui.videoSignalType && !t.fullRange) t.fullRange = vui.fullRange;
}

void ReadHvcC(const std::vector<std::uint8_t>& b, std::uint32_t entryType, TrackSummary& t) {
    if (b.size() < 23) return;
    const ByteReader r({b.data(), b.size()});
    const std::uint8_t space = b[1] >> 6;
    t.highTier = (b[1] >> 5) & 1;
    t.tier = t.highTier ? "High" : "Main";
    const std::uint8_t profile = b[1] & 31;
    const std::uint32_t compatibility = r.U32BE(2);
    std::uint8_t constraints[6];
    std::uint64_t constraintBits = 0;
    for (int i = 0; i < 6; ++i) {
        constraints[i] = b[6 + static_cast<std::size_t>(i)];
        constraintBits = constraintBits << 8 | constraints[i];
    }
    const std::uint8_t level = b[12];
    t.codecString = HevcCodecString(entryType, space, t.highTier, profile, compatibility, constraints, level);
    t.profile = codecs::H265ProfileName(profile, compatibility, constraintBits);
    t.level = codecs::H265LevelText(level);
    t.chromaFormat = ChromaText(b[16] & 3);
    t.bitDepth = (b[17] & 7) + 8u;
    // The first SPS of the arrays gives the picture's size and its VUI.
    std::size_t pos = 23;
    for (unsigned array = 0; array < b[22] && pos + 3 <= b.size(); ++array) {
        const unsigned type = b[pos] & 0x3F;
        const unsigned count = r.U16BE(pos + 1);
        pos += 3;
        for (unsigned n = 0; n < count && pos + 2 <= b.size(); ++n) {
            const std::size_t length = r.U16BE(pos);
            pos += 2;
            if (pos + length > b.size()) return;
            if (type == 33 && !t.codedWidth) {
                const codecs::H265Sps sps = codecs::ReadH265Sps({b.data() + pos, length}, 0, nullptr);
                if (sps.width != 0 && sps.height != 0) {
                    t.codedWidth = static_cast<std::uint32_t>(sps.width);
                    t.codedHeight = static_cast<std::uint32_t>(sps.height);
                    const codecs::H265Vui& vui = sps.vui;
                    if (sps.vuiPresent && vui.aspectRatioInfo && vui.sarWidth != 0 && vui.sarHeight != 0 && !t.sar)
                        t.sar = Reduced(vui.sarWidth, vui.sarHeight);
                    if (sps.vuiPresent && vui.colourDescription && !t.colourPrimaries) {
                        t.colourPrimaries = vui.colourPrimaries;
                        t.transfer = vui.transferCharacteristics;
                        t.matrix = vui.matrixCoeffs;
                    }
                    if (sps.vuiPresent && vui.videoSignalType && !t.fullRange) t.fullRange = vui.fullRange;
                }
            }
            pos += length;
        }
    }
}

void ReadAv1C(const std::vector<std::uint8_t>& b, TrackSummary& t) {
    if (b.size() < 4) return;
    codecs::BitSource source = codecs::BitSource::Plain({b.data(), b.size()}, 0);
    const codecs::Av1Config c = codecs::ReadAv1Config(source, nullptr);
    t.highTier = c.seqTier0 != 0;
    t.tier = t.highTier ? "High" : "Main";
    t.bitDepth = c.highBitdepth ? (c.twelveBit ? 12u : 10u) : 8u;
    const unsigned sx = c.chromaSubsamplingX, sy = c.chromaSubsamplingY;
    t.chromaFormat = c.monochrome ? "4:0:0" : sx && sy ? "4:2:0" : sx ? "4:2:2" : "4:4:4";
    t.profile = codecs::Av1ProfileName(c.seqProfile);
    t.level = codecs::Av1LevelText(c.seqLevelIdx0);
    t.codecString = "av01." + std::to_string(c.seqProfile) + "." + TwoDigits(c.seqLevelIdx0) + (t.highTier ? "H" : "M") +
                    "." + TwoDigits(*t.bitDepth);
    if (c.hasSequenceHeader && c.sequenceHeader.maxFrameWidth != 0) {
        t.codedWidth = c.sequenceHeader.maxFrameWidth;
        t.codedHeight = c.sequenceHeader.maxFrameHeight;
    }
    if (t.colourPrimaries && t.transfer && t.matrix && t.fullRange) {
        t.codecStringLong = t.codecString + "." + (c.monochrome ? "1" : "0") + "." + std::to_string(sx) +
                            std::to_string(sy) + std::to_string(c.monochrome ? 0 : c.chromaSamplePosition) + "." +
                            TwoDigits(*t.colourPrimaries) + "." + TwoDigits(*t.transfer) + "." + TwoDigits(*t.matrix) +
                            "." + (*t.fullRange ? "1" : "0");
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
        t.language = lang < 0x400 ? MacintoshLanguage(lang) : PackedLanguageText(lang & 0x7FFF);
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
    const std::span<const std::int32_t> entries = stsd >= 0 ? tree.Children(stsd) : std::span<const std::int32_t>{};
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
            const std::vector<std::uint8_t> tenc = tree.Body(tree.Path(entry, {F("sinf"), F("schi"), F("tenc")}), 24);
            if (tenc.size() >= 24) t.encryptionKid = ProtectionUuidText({tenc.data() + 8, 16});
        }
        t.codecName = CodecNameOfEntry(format);
        // Speech codecs are mono at a fixed rate, whatever the entry's fields say.
        if (format == F("samr") || format == F("sevc") || format == F("sqcp")) {
            t.channels = 1;
            t.sampleRate = 8000;
        } else if (format == F("sawb")) {
            t.channels = 1;
            t.sampleRate = 16000;
        }
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
            const std::vector<std::uint8_t> body = tree.Body(esds, 4096);
            const codecs::EsDescriptorInfo es =
                body.size() > 4 ? codecs::ReadEsDescriptor({body.data() + 4, body.size() - 4}, 4, nullptr) : codecs::EsDescriptorInfo{};
            if (es.hasDecoderConfig) {
                if (const std::string name = CodecNameOfObjectType(es.objectTypeIndication); !name.empty()) t.codecName = name;
                const std::uint64_t dsi = es.decoderSpecificInfoOffset, dsiLength = es.decoderSpecificInfoLength;
                if (es.hasAudioConfig && es.audio.read) {
                    const codecs::Mpeg4AudioConfig& a = es.audio;
                    if (es.objectTypeIndication == 0x40) t.codecString = "mp4a.40." + std::to_string(a.audioObjectType);
                    t.codecName = a.coreObjectType == 42 ? "xHE-AAC" : a.ps == 1 ? "HE-AAC v2" : a.sbr == 1 ? "HE-AAC"
                                  : a.coreObjectType == 2 ? "AAC LC" : a.profile.empty() ? t.codecName : a.profile;
                    if (a.OutputSampleRate() != 0) t.sampleRate = a.OutputSampleRate();
                    if (a.OutputChannels() != 0) {
                        t.channels = a.OutputChannels();
                        t.channelLayout = a.ps == 1 && a.channels == 1 ? "L R" : AacChannelLayout(a.channelConfiguration);
                    }
                } else if (es.objectTypeIndication == 0x20 && dsiLength != 0 && dsi + dsiLength <= body.size()) {
                    codecs::BitSource source = codecs::BitSource::Plain({body.data() + dsi, dsiLength}, 0);
                    const codecs::Mpeg4VisualConfig v = codecs::ReadMpeg4VisualConfig(source, nullptr);
                    if (v.hasSequence) {
                        t.codecString = "mp4v.20." + std::to_string(v.profileAndLevel);
                        t.profile = codecs::Mpeg4ProfileAndLevelName(v.profileAndLevel);
                    }
                    if (v.hasLayer && v.width != 0 && v.height != 0) {
                        t.codedWidth = v.width;
                        t.codedHeight = v.height;
                    }
                } else if (format == F("mp4a") || format == F("mp4v")) {
                    t.codecString = FourccText(format) + "." + HexByte(es.objectTypeIndication, true);
                }
                if (es.objectTypeIndication == 0xA0 || es.objectTypeIndication == 0xD1 || es.objectTypeIndication == 0xE1) {
                    t.channels = 1;
                    t.sampleRate = 8000;
                }
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dOps")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 64);
            const codecs::OpusConfig o = codecs::ReadOpusConfig({b.data(), b.size()}, 0, nullptr);
            if (o.read) {
                t.channels = o.outputChannelCount;
                t.sampleRate = 48000;  // Opus decodes at 48 kHz whatever the input rate was
                t.channelLayout = Speakers(codecs::OpusChannelLayout(o.channelMappingFamily, o.outputChannelCount));
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dfLa")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 4096);
            const codecs::FlacConfig fl =
                b.size() > 4 ? codecs::ReadFlacMetadata({b.data() + 4, b.size() - 4}, 0, nullptr) : codecs::FlacConfig{};
            if (fl.hasStreamInfo) {
                t.sampleRate = fl.sampleRate;
                t.channels = fl.channels;
                t.bitsPerSample = fl.bitsPerSample;
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dac3")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 16);
            const codecs::Ac3Config a = codecs::ReadAc3Config({b.data(), b.size()}, 0, nullptr);
            if (a.read) {
                if (a.sampleRate) t.sampleRate = a.sampleRate;
                t.channels = a.channels;
                t.channelLayout = Speakers(codecs::Ac3AcmodText(a.acmod)) + (a.lfeon ? " LFE" : "");
            }
        }
        if (const std::int32_t c = tree.Child(entry, F("dec3")); c >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(c, 64);
            const codecs::Eac3Config e3 = codecs::ReadEac3Config({b.data(), b.size()}, 0, nullptr);
            if (e3.read) {
                if (e3.sampleRate) t.sampleRate = e3.sampleRate;
                t.channels = e3.channels;
                if (e3.substreams[0].numDepSub == 0)
                    t.channelLayout = Speakers(codecs::Ac3AcmodText(e3.substreams[0].acmod)) + (e3.substreams[0].lfeon ? " LFE" : "");
            }
        }
        std::int32_t alac = tree.Child(entry, F("alac"));
        if (alac < 0) alac = tree.Path(entry, {F("wave"), F("alac")});
        if (alac >= 0) {
            const std::vector<std::uint8_t> b = tree.Body(alac, 64);
            const codecs::AlacConfig a =
                b.size() > 4 ? codecs::ReadAlacConfig({b.data() + 4, b.size() - 4}, 0, nullptr) : codecs::AlacConfig{};
            if (a.read) {
                t.sampleRate = a.sampleRate;
                t.channels = a.numChannels;
                t.bitsPerSample = a.bitDepth;
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
    std::optional<std::uint64_t> sttsSamples;
    if (const std::int32_t stts = tree.Child(stbl, F("stts")); stts >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(stts);
        const ByteReader r({b.data(), b.size()});
        const std::uint64_t count = std::min<std::uint64_t>(r.U32BE(4), b.size() >= 8 ? (b.size() - 8) / 8 : 0);
        std::uint64_t samples = 0;
        std::uint32_t minDelta = 0, maxDelta = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t n = r.U32BE(8 + 8 * i), delta = r.U32BE(12 + 8 * i);
            samples += n;
            t.tableDuration += std::uint64_t{n} * delta;
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
        sttsSamples = samples;
    }
    std::int32_t sizes = tree.Child(stbl, F("stsz"));
    if (sizes >= 0) {
        const std::vector<std::uint8_t> b = tree.Body(sizes);
        const ByteReader r({b.data(), b.size()});
        const std::uint32_t fixed = r.U32BE(4), count = r.U32BE(8);
        t.sampleCount = count;
        if (b.size() < 12) {
            // A sample size box without its fields: the count comes from the timing table.
            t.missing.push_back("a sample size box (stsz) without its fields");
            t.sampleCount = sttsSamples;
        } else if (fixed != 0) {
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

std::string ItemTypeWords(std::uint32_t type) {
    switch (type) {
    case F("hvc1"): return "H.265/HEVC image";
    case F("av01"): return "AV1 image";
    case F("avc1"): return "H.264/AVC image";
    case F("vvc1"): return "H.266/VVC image";
    case F("jpeg"): return "JPEG image";
    case F("j2k1"): return "JPEG 2000 image";
    case F("unci"): return "uncompressed image";
    case F("hvt1"): return "HEVC tile";
    case F("grid"): return "grid of images";
    case F("iovl"): return "overlay of images";
    case F("iden"): return "identity-derived image";
    case F("tmap"): return "tone-mapped image";
    case F("Exif"): return "Exif metadata";
    case F("mime"): return "MIME-typed item";
    case F("uri "): return "URI-typed item";
    default: return "";
    }
}

// Alpha and depth planes by the aux_type an auxC gives (HEVC's and MPEG-B's URNs).
std::string AuxiliaryWords(const std::string& auxType) {
    if (auxType.ends_with(":alpha") || auxType == "urn:mpeg:hevc:2015:auxid:1") return "alpha";
    if (auxType.ends_with(":depth") || auxType == "urn:mpeg:hevc:2015:auxid:2") return "depth";
    return auxType;
}

std::string ItemList(const std::vector<std::uint32_t>& ids) {
    std::string out = ids.size() == 1 ? "item " : "items ";
    for (std::size_t i = 0; i < ids.size(); ++i) out += (i == 0 ? "" : ", ") + std::to_string(ids[i]);
    return out;
}

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

// The chapter titles a chap track reference points at: each sample of the
// text track is a 16-bit length and the title, placed through stco/co64,
// stsc and stsz and timed through stts.
void ReadChapters(Tree& tree, std::int32_t trak, std::uint32_t timescale, FileSource& file, FileSummary& s) {
    const std::int32_t stbl = tree.Path(trak, {F("mdia"), F("minf"), F("stbl")});
    if (stbl < 0 || timescale == 0) return;
    std::int32_t stco = tree.Child(stbl, F("stco"));
    const bool wide = stco < 0;
    if (wide) stco = tree.Child(stbl, F("co64"));
    const std::vector<std::uint8_t> co = tree.Body(stco), sc = tree.Body(tree.Child(stbl, F("stsc"))),
                                    sz = tree.Body(tree.Child(stbl, F("stsz"))), ts = tree.Body(tree.Child(stbl, F("stts")));
    const ByteReader c({co.data(), co.size()}), r({sc.data(), sc.size()}), z({sz.data(), sz.size()}), t({ts.data(), ts.size()});
    const std::uint64_t chunks = std::min<std::uint64_t>(c.U32BE(4), co.size() / (wide ? 8 : 4));
    const std::uint64_t runs = std::min<std::uint64_t>(r.U32BE(4), sc.size() / 12);
    const std::uint32_t constantSize = z.U32BE(4);
    const std::uint64_t samples = std::min<std::uint64_t>(z.U32BE(8), constantSize != 0 ? 100000 : sz.size() / 4);
    constexpr std::uint64_t kMaxChapters = 10000;
    std::uint64_t sample = 0, dts = 0, sttsEntry = 0, sttsLeft = 0;
    for (std::uint64_t run = 0; run < runs && sample < samples && sample < kMaxChapters; ++run) {
        const std::uint64_t first = r.U32BE(8 + run * 12), perChunk = r.U32BE(12 + run * 12);
        const std::uint64_t last = run + 1 < runs ? r.U32BE(8 + (run + 1) * 12) : chunks + 1;
        for (std::uint64_t chunk = first; chunk < last && chunk <= chunks && sample < samples; ++chunk) {
            std::uint64_t offset = wide ? c.U64BE(8 + (chunk - 1) * 8) : c.U32BE(8 + (chunk - 1) * 4);
            for (std::uint64_t k = 0; k < perChunk && sample < samples && sample < kMaxChapters; ++k, ++sample) {
                const std::uint32_t size = constantSize != 0 ? constantSize : z.U32BE(12 + sample * 4);
                std::uint8_t head[2] = {};
                std::string title;
                if (size >= 2 && file.ReadSmall(offset, head, 2) == 2) {
                    const std::uint32_t length = std::min<std::uint32_t>(head[0] << 8 | head[1], size - 2);
                    std::vector<std::uint8_t> text;
                    file.ReadAt(offset + 2, std::min<std::uint32_t>(length, 1024), text);
                    title = TextFromFileBytes(text.data(), text.size());
                }
                s.chapters.push_back({static_cast<double>(dts) / timescale, title});
                while (sttsLeft == 0 && 8 + sttsEntry * 8 + 8 <= ts.size() && sttsEntry < t.U32BE(4)) {
                    sttsLeft = t.U32BE(8 + sttsEntry * 8);
                    ++sttsEntry;
                }
                if (sttsLeft > 0) {
                    dts += t.U32BE(8 + (sttsEntry - 1) * 8 + 4);
                    --sttsLeft;
                }
                offset += size;
            }
        }
    }
}

// The items of an image file: each with its properties through ipma, and
// what the references of iref make of it (tiles, thumbnails, auxiliary
// images, the items a metadata item describes).
static void SummariseItems(Tree& tree, FileSource& file, const FullParse& parse, std::int32_t meta, FileSummary& s) {
    const MetaItems items = ReadMetaItems(file, parse, meta);
    s.primaryItem = items.primary;
    s.itemCount = items.items.size();
    for (const MetaItem& m : items.items) {
        if (s.items.size() == kMaxSummaryItems) break;
        ItemSummary& it = s.items.emplace_back();
        it.id = m.id;
        it.type = m.type;
        it.name = m.name;
        it.contentType = m.contentType;
        it.hidden = m.hidden;
        it.primary = items.primary && *items.primary == m.id;
        if (m.located) {
            const ItemBytes head = ReadItemBytes(file, parse, items, m, 12);
            if (!head.outside) it.bytes = head.total;
            if (m.type == F("grid") && head.bytes.size() >= 8) {
                const ByteReader r({head.bytes.data(), head.bytes.size()});
                const bool wide = (r.U8(1) & 1) != 0;
                if (!wide || head.bytes.size() >= 12) {
                    it.gridRows = r.U8(2) + 1u;
                    it.gridColumns = r.U8(3) + 1u;
                    it.outputWidth = wide ? r.U32BE(4) : r.U16BE(4);
                    it.outputHeight = wide ? r.U32BE(8) : r.U16BE(6);
                }
            }
        }
        for (const ItemProperty& p : m.properties) {
            const std::int32_t record = items.PropertyRecord(p.index);
            if (record < 0) continue;
            const std::uint32_t type = tree.Record(record).type;
            const std::vector<std::uint8_t> b = tree.Body(record, type == F("auxC") ? 1024 : 64);
            const ByteReader r({b.data(), b.size()});
            if (type == F("ispe") && b.size() >= 12) {
                it.width = r.U32BE(4);
                it.height = r.U32BE(8);
            } else if (type == F("irot") && !b.empty()) {
                it.rotation = (b[0] & 3) * 90;
            } else if (type == F("imir") && !b.empty()) {
                it.mirrorAxis = b[0] & 1;
            } else if (type == F("pixi") && b.size() >= 5) {
                it.bitDepths.clear();
                for (std::size_t k = 0; k < r.U8(4) && 5 + k < b.size(); ++k) it.bitDepths.push_back(b[5 + k]);
            } else if (type == F("colr") && b.size() >= 4 && it.colour.empty()) {
                const std::uint32_t colourType = r.U32BE(0);
                if (colourType == F("nclx") && b.size() >= 11) {
                    it.colourPrimaries = r.U16BE(4);
                    it.transfer = r.U16BE(6);
                    it.matrix = r.U16BE(8);
                    it.fullRange = (b[10] >> 7) & 1;
                    it.colour = "nclx";
                } else if (colourType == F("rICC") || colourType == F("prof")) {
                    it.colour = "ICC profile (" + FourccText(colourType) + "), " +
                                std::to_string(tree.Record(record).BodyLength() - 4) + " bytes";
                } else {
                    it.colour = FourccText(colourType);
                }
            } else if (type == F("auxC") && b.size() >= 4) {
                std::size_t end = 4;
                while (end < b.size() && b[end] != 0) ++end;
                it.auxType = TextFromFileBytes(b.data() + 4, end - 4);
            }
        }
    }
    const auto find = [&](std::uint32_t id) -> ItemSummary* {
        const auto at = items.byId.find(id);
        return at == items.byId.end() || at->second >= s.items.size() ? nullptr : &s.items[at->second];
    };
    for (const ItemReference& ref : items.references) {
        ItemSummary* from = find(ref.from);
        if (from == nullptr) continue;
        for (const std::uint32_t to : ref.to) {
            ItemSummary* target = find(to);
            if (ref.type == F("dimg")) {
                from->tiles.push_back(to);
            } else if (ref.type == F("thmb")) {
                from->thumbnailOf = to;
                if (target != nullptr) target->thumbnails.push_back(from->id);
            } else if (ref.type == F("auxl")) {
                from->auxiliaryOf = to;
                if (target != nullptr) target->auxiliaries.push_back(from->id);
            } else if (ref.type == F("cdsc")) {
                from->describes.push_back(to);
            }
        }
    }
}

FileSummary BuildFileSummary(FileSource& file, const FullParse& parse) {
    Tree tree(file, parse);
    FileSummary s;
    for (const FullRecord& r : parse.records) {
        if (r.type == F("moof")) ++s.fragments;
        if (r.type == F("sidx")) ++s.segmentIndexes;
        if (r.type == F("pssh")) {
            const std::vector<std::uint8_t> b = tree.Body(r.index, 20);
            if (b.size() < 20) continue;
            const std::span<const std::uint8_t> id(b.data() + 4, 16);
            const char* name = ProtectionSystemName(id);
            std::string text = name != nullptr ? std::string(name) : ProtectionUuidText(id);
            if (std::find(s.protectionSystems.begin(), s.protectionSystems.end(), text) == s.protectionSystems.end())
                s.protectionSystems.push_back(std::move(text));
        }
    }
    for (const std::int32_t top : tree.Children(-1)) {
        const FullRecord& r = tree.Record(top);
        if ((r.type == F("ftyp") || r.type == F("styp")) && s.majorBrand == 0) {
            const std::vector<std::uint8_t> b = tree.Body(top, 4096);
            const ByteReader br({b.data(), b.size()});
            s.majorBrand = br.U32BE(0);
            for (std::uint64_t at = 8; at + 4 <= b.size(); at += 4) s.compatibleBrands.push_back(br.U32BE(at));
        }
        if (r.type == F("meta") && s.items.empty() && tree.Child(top, F("iinf")) >= 0) SummariseItems(tree, file, parse, top, s);
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
        // The first chap reference names the track whose samples are the chapter titles.
        for (const std::int32_t child : tree.Children(top)) {
            const std::vector<std::uint8_t> ids = tree.Body(tree.Path(child, {F("tref"), F("chap")}), 4);
            if (tree.Record(child).type != F("trak") || ids.size() < 4 || !s.chapters.empty()) continue;
            const std::uint32_t id = ByteReader({ids.data(), ids.size()}).U32BE(0);
            std::size_t k = 0;
            for (const std::int32_t other : tree.Children(top)) {
                if (tree.Record(other).type != F("trak")) continue;
                if (k < s.tracks.size() && s.tracks[k].trackId == id) {
                    s.chapterTrack = id;
                    ReadChapters(tree, other, s.tracks[k].timescale, file, s);
                }
                ++k;
            }
        }
    }
    return s;
}

void AddFragmentsToSummary(FileSummary& s, const FragmentLayout& layout, const MovieExtends& movie) {
    s.fragments = layout.moofs;
    s.segmentIndexes = layout.sidxs;
    if (layout.moofs == 0) return;
    for (const FragmentTotals& f : layout.totals) {
        bool known = false;
        for (const TrackSummary& t : s.tracks) known = known || t.trackId == f.trackId;
        if (known) continue;
        // A media segment read alone: its tracks are known by their IDs only.
        TrackSummary& t = s.tracks.emplace_back();
        t.trackId = f.trackId;
        t.sampleCount = 0;
        t.missing.push_back("no track box (trak): its codec and timescale are in the initialisation segment");
    }
    double longest = 0;
    for (TrackSummary& t : s.tracks) {
        if (const FragmentTotals* f = layout.TotalsOf(t.trackId)) {
            const std::uint64_t inMovie = t.sampleCount.value_or(0);
            t.syncSampleCount = (t.everySampleSync ? inMovie : t.syncSampleCount.value_or(0)) + f->syncSamples;
            t.everySampleSync = false;
            t.sampleCount = inMovie + f->samples;
            t.totalBytes = t.totalBytes.value_or(0) + f->bytes;
            // mdhd covers the movie box's samples only.
            t.mediaDuration = t.tableDuration + f->duration;
            if (t.handler == F("vide") && !t.frameRate && !t.variableFrameRate && t.timescale != 0 && f->minDuration != 0) {
                if (f->minDuration == f->maxDuration) {
                    t.frameRate = Reduced(t.timescale, f->minDuration);
                } else {
                    t.variableFrameRate = true;
                    t.minFrameRate = static_cast<double>(t.timescale) / f->maxDuration;
                    t.maxFrameRate = static_cast<double>(t.timescale) / f->minDuration;
                }
            }
            std::erase(t.missing, std::string("no samples"));
        }
        if (const auto seconds = t.MediaSeconds()) longest = std::max(longest, *seconds);
    }
    if (movie.fragmentDuration && movie.movieTimescale != 0) {
        s.movieDuration = movie.fragmentDuration;
        s.movieTimescale = movie.movieTimescale;
        s.durationSource = " (from mehd)";
    } else if (longest > 0) {
        s.movieDuration.reset();
        s.samplesSeconds = longest;
    }
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
        line("Duration", SecondsText(static_cast<double>(*s.movieDuration) / s.movieTimescale) + s.durationSource);
    else if (s.samplesSeconds)
        line("Duration", SecondsText(*s.samplesSeconds) + " (from the samples)");
    if (s.creationTime && *s.creationTime != 0) line("Created", UtcText1904(*s.creationTime));
    line("Tracks", std::to_string(s.tracks.size()));
    std::string fragmented = s.hasMvex ? "yes (mvex)" : "no";
    if (s.fragments != 0) fragmented = "yes: " + GroupedText(s.fragments, rs) + " fragments";
    if (s.segmentIndexes != 0) fragmented += ", " + GroupedText(s.segmentIndexes, rs) + " segments indexed by sidx";
    line("Fragmented", fragmented);
    if (s.chapterTrack != 0) {
        line("Chapters", GroupedText(s.chapters.size(), rs) + " from the text of track " + std::to_string(s.chapterTrack));
        for (const FileSummary::Chapter& c : s.chapters) line("  " + SecondsText(c.seconds), "\"" + c.title + "\"");
    }
    if (!s.protectionSystems.empty()) {
        std::string systems;
        for (const std::string& name : s.protectionSystems) systems += (systems.empty() ? "" : ", ") + name;
        line("Protection systems", systems);
    }

    if (!s.items.empty()) {
        if (s.primaryItem) line("Primary item", std::to_string(*s.primaryItem));
        line("Items", GroupedText(s.itemCount, rs) +
                          (s.itemCount > s.items.size() ? " (the first " + GroupedText(s.items.size(), rs) + " are listed)" : ""));
    }
    const auto named = [](std::string_view name, std::uint32_t v) {
        return (name.empty() ? std::string("code") : std::string(name)) + " (" + std::to_string(v) + ")";
    };
    for (const ItemSummary& it : s.items) {
        view.AddFileInfoLine(kDescriptionSeparator);
        std::string head = "[Item " + std::to_string(it.id);
        if (it.type != 0) head += ": " + FourccText(it.type);
        if (!it.name.empty()) head += " \"" + it.name + "\"";
        if (it.primary) head += ", primary";
        if (it.hidden) head += ", hidden";
        view.AddFileInfoLine(head + "]");
        if (const std::string words = ItemTypeWords(it.type); !words.empty()) line("Type", words);
        if (!it.contentType.empty())
            line("Content type", it.contentType + (it.contentType == "application/rdf+xml" ? " (XMP)" : ""));
        if (it.width && it.height) line("Size", SizeText(*it.width, *it.height));
        if (it.gridRows)
            line("Grid", std::to_string(*it.gridRows) + (*it.gridRows == 1 ? " row, " : " rows, ") +
                             std::to_string(*it.gridColumns) + (*it.gridColumns == 1 ? " column" : " columns") +
                             ", output " + SizeText(*it.outputWidth, *it.outputHeight));
        if (!it.tiles.empty()) line(it.type == F("grid") ? "Tiles" : "Made of", ItemList(it.tiles));
        if (it.rotation) line("Rotation", std::to_string(*it.rotation) + " degrees anticlockwise");
        if (it.mirrorAxis)
            line("Mirror", *it.mirrorAxis == 0 ? "about a vertical axis (left and right swap)"
                                               : "about a horizontal axis (top and bottom swap)");
        if (!it.bitDepths.empty()) {
            std::string depths;
            for (const std::uint32_t d : it.bitDepths) depths += (depths.empty() ? "" : " ") + std::to_string(d);
            line("Bit depth", depths);
        }
        if (it.colourPrimaries) {
            line("Colour primaries", named(codecs::ColourPrimariesName(*it.colourPrimaries), *it.colourPrimaries));
            line("Transfer", named(codecs::TransferCharacteristicsName(*it.transfer), *it.transfer));
            line("Matrix", named(codecs::MatrixCoefficientsName(*it.matrix), *it.matrix));
            line("Range", *it.fullRange ? "full" : "limited");
        } else if (!it.colour.empty()) {
            line("Colour", it.colour);
        }
        if (!it.thumbnails.empty()) line("Thumbnails", ItemList(it.thumbnails));
        if (!it.auxiliaries.empty()) line("Auxiliary images", ItemList(it.auxiliaries));
        if (it.thumbnailOf) line("Thumbnail of", "item " + std::to_string(*it.thumbnailOf));
        if (it.auxiliaryOf)
            line("Auxiliary image of", "item " + std::to_string(*it.auxiliaryOf) +
                                           (it.auxType.empty() ? "" : " (" + AuxiliaryWords(it.auxType) + ")"));
        if (!it.describes.empty()) line("Describes", ItemList(it.describes));
        if (it.bytes) line("Bytes", GroupedText(*it.bytes, rs));
        else line("Bytes", "not located (no iloc entry, or outside the file)");
    }

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
            if (t.colourPrimaries) {
                line("Colour primaries", named(codecs::ColourPrimariesName(*t.colourPrimaries), *t.colourPrimaries));
                line("Transfer", named(codecs::TransferCharacteristicsName(*t.transfer), *t.transfer));
                line("Matrix", named(codecs::MatrixCoefficientsName(*t.matrix), *t.matrix));
            }
            if (t.fullRange) line("Range", *t.fullRange ? "full" : "limited");
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
        line("Encrypted", t.encryption ? "yes (" + *t.encryption + (t.encryptionKid.empty() ? "" : ", KID " + t.encryptionKid) + ")" : "no");
    }
}

}  // namespace kestrova::full
