// The sample tables of the full view: timing, sizes, chunks, sync samples,
// dependencies, edit lists, sub-samples, auxiliary information and sample
// groups. Every table entry is one line, built in the scratch buffer, so a
// table of hundreds of thousands of entries stays a quick click.

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <string>

#include "common/Formatters.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

int HexWidth(unsigned bytes) { return 2 + 2 * static_cast<int>(bytes); }

// A click shows at most this many lines of one table, so that no box can
// exhaust memory; ordinary files stay well below it.
constexpr std::uint64_t kMaxTableLines = 1'000'000;

void StopAtLineLimit(Fields& f, std::string_view what = "entries") {
    f.Heading("(only the first " + GroupedText(kMaxTableLines, f.Settings()) + " " + std::string(what) + " are shown)");
    f.Seek(f.Size());
}

std::string EntryLabel(std::string_view element, std::uint64_t i) {
    return std::string(element) + " #" + std::to_string(i + 1);
}

// ---- Tables of fixed-size entries ----

// Appends " meaning" for the raw value of a field of this many bytes, when it has one.
using MeaningFn = void (*)(std::string& out, std::uint64_t raw, unsigned bytes, const RegionalSettings& rs);

struct Column {
    const char* name;
    unsigned bytes;
    bool isSigned = false;
    MeaningFn meaning = nullptr;
};

void EmptyEditMeaning(std::string& out, std::uint64_t raw, unsigned bytes, const RegionalSettings&) {
    if (raw == (bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1)) out += " empty edit";
}

void GroupIndexMeaning(std::string& out, std::uint64_t raw, unsigned, const RegionalSettings& rs) {
    // From 0x10001 on, the index counts in the sgpd of the same movie fragment.
    if (raw == 0) out += " not in a group of this type";
    else if (raw > 0x10000) out += " index " + GroupedText(raw - 0x10000, rs) + " in this fragment";
}

// count entries of the columns from the cursor, one line each. A single
// column is named by itself ("chunk_offset #1"), several by "entry #1".
void Table(Fields& f, std::uint64_t count, std::initializer_list<Column> columns) {
    unsigned size = 0;
    for (const Column& c : columns) size += c.bytes;
    const bool single = columns.size() == 1;
    const std::string_view element = single ? columns.begin()->name : "entry";
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    std::uint64_t pos = f.Pos();
    for (std::uint64_t i = 0; i < count; ++i) {
        if (i == kMaxTableLines) return StopAtLineLimit(f);
        if (!f.Has(size)) {
            f.MarkCut(EntryLabel(element, i), size);
            break;
        }
        std::string& s = f.Scratch();
        s.assign("   ");
        s += element;
        s += ' ';
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        std::uint64_t at = pos;
        bool first = true;
        for (const Column& c : columns) {
            std::uint64_t raw = 0;
            for (unsigned k = 0; k < c.bytes; ++k) raw = raw << 8 | body[at + k];
            at += c.bytes;
            if (!single) {
                if (!first) s += ", ";
                s += c.name;
                s += ' ';
            }
            first = false;
            if (c.isSigned) AppendSigned(s, raw, c.bytes, rs);
            else AppendDecHex(s, raw, HexWidth(c.bytes), rs);
            if (c.meaning != nullptr) c.meaning(s, raw, c.bytes, rs);
        }
        f.Raw(std::string(s), f.Range(pos, size));
        pos += size;
        f.Seek(pos);
    }
}

// Bytes after the last entry the box declares.
void DescribeStts(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"sample_count", 4}, {"sample_delta", 4}});
    f.Trailing();
}

void DescribeStsc(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto count = f.U("entry_count", 4))
        Table(f, *count, {{"first_chunk", 4}, {"samples_per_chunk", 4}, {"sample_description_index", 4}});
    f.Trailing();
}

void DescribeStsz(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto sampleSize = f.U("sample_size", 4);
    if (sampleSize && *sampleSize != 0) f.Meaning("the size of every sample");
    const auto count = f.U("sample_count", 4);
    if (!sampleSize || !count) return;
    if (*sampleSize == 0) Table(f, *count, {{"entry_size", 4}});
    f.Trailing();
}

void DescribeStz2(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("reserved", 3);
    const auto fieldSize = f.U("field_size", 1);
    const auto count = f.U("sample_count", 4);
    if (!fieldSize || !count) return;
    if (*fieldSize == 8 || *fieldSize == 16) {
        Table(f, *count, {{"entry_size", static_cast<unsigned>(*fieldSize / 8)}});
        return f.Trailing();
    }
    if (*fieldSize != 4) {
        f.Meaning("not 4, 8 or 16: the entries cannot be read");
        return f.Trailing();
    }
    // Two entries a byte, the first in the high nibble.
    const auto body = f.Body();
    const std::uint64_t base = f.Pos();
    const std::uint64_t bits = 8 * f.Left();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (i == kMaxTableLines) return StopAtLineLimit(f);
        if (4 * i + 4 > bits) {
            f.Seek(base + i / 2);
            f.MarkCut(EntryLabel("entry_size", i), 1);
            return;
        }
        const std::uint8_t byte = body[base + i / 2];
        const unsigned v = i % 2 == 0 ? byte >> 4 : byte & 15;
        std::string& s = f.Scratch();
        s.assign("   entry_size ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        AppendDecHex(s, v, 4, f.Settings());
        f.Raw(std::string(s), f.BitRange(8 * base + 4 * i, 4));
    }
    f.Seek(base + (*count + 1) / 2);
    f.Trailing();
}

void DescribeStco(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"chunk_offset", 4}});
    f.Trailing();
}

void DescribeCo64(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"chunk_offset", 8}});
    f.Trailing();
}

void DescribeStss(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"sample_number", 4}});
    f.Trailing();
}

void DescribeCtts(Fields& f, const BoxContext&) {
    f.VersionFlags();
    // Version 0 is unsigned, but writers put negative offsets there too: both show signed.
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"sample_count", 4}, {"sample_offset", 4, true}});
    f.Trailing();
}

void DescribeCslg(Fields& f, const BoxContext&) {
    const unsigned bytes = f.VersionFlags().first == 1 ? 8 : 4;
    f.AsSigned("compositionToDTSShift", bytes);
    f.AsSigned("leastDecodeToDisplayDelta", bytes);
    f.AsSigned("greatestDecodeToDisplayDelta", bytes);
    f.AsSigned("compositionStartTime", bytes);
    f.AsSigned("compositionEndTime", bytes);
    f.Trailing();
}

void DescribeElst(Fields& f, const BoxContext&) {
    const bool wide = f.VersionFlags().first == 1;
    const unsigned bytes = wide ? 8 : 4;
    if (const auto count = f.U("entry_count", 4))
        Table(f, *count,
              {{"segment_duration", bytes}, {"media_time", bytes, true, EmptyEditMeaning},
               {"media_rate_integer", 2, true}, {"media_rate_fraction", 2, true}});
    f.Trailing();
}

void DescribeSbgp(Fields& f, const BoxContext&) {
    const std::uint8_t version = f.VersionFlags().first;
    f.Type("grouping_type");
    if (version == 1) f.U("grouping_type_parameter", 4);
    if (const auto count = f.U("entry_count", 4))
        Table(f, *count, {{"sample_count", 4}, {"group_description_index", 4, false, GroupIndexMeaning}});
    f.Trailing();
}

void DescribeSaiz(Fields& f, const BoxContext&) {
    const std::uint32_t flags = f.VersionFlags().second;
    if (flags & 1) {
        f.Type("aux_info_type");
        f.U("aux_info_type_parameter", 4);
    }
    const auto defaultSize = f.U("default_sample_info_size", 1);
    if (defaultSize && *defaultSize != 0) f.Meaning("the size of every sample's information");
    const auto count = f.U("sample_count", 4);
    if (!defaultSize || !count) return;
    if (*defaultSize == 0) Table(f, *count, {{"sample_info_size", 1}});
    f.Trailing();
}

void DescribeSaio(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    if (flags & 1) {
        f.Type("aux_info_type");
        f.U("aux_info_type_parameter", 4);
    }
    if (const auto count = f.U("entry_count", 4)) Table(f, *count, {{"offset", version == 0 ? 4u : 8u}});
    f.Trailing();
}

// ---- Tables whose entries are bit fields or of varying size ----

const char* const kLeading[] = {"(unknown)", "(leading, not decodable)", "(not leading)", "(leading, decodable)"};
const char* const kDependsOn[] = {"(unknown)", "(depends on others, not an I-picture)",
                                  "(does not depend on others, I-picture)", "(reserved)"};
const char* const kDependedOn[] = {"(unknown)", "(not disposable)", "(disposable)", "(reserved)"};
const char* const kRedundancy[] = {"(unknown)", "(has redundant coding)", "(no redundant coding)", "(reserved)"};

void DescribeSdtp(Fields& f, const BoxContext&) {
    f.VersionFlags();
    if (f.Cut()) return;
    // One byte a sample; the count lies in stsz, the bytes say how many there are here.
    static constexpr std::array<const char*, 4> kNames = {"is_leading", "sample_depends_on", "sample_is_depended_on",
                                                          "sample_has_redundancy"};
    static const char* const* const kMeanings[] = {kLeading, kDependsOn, kDependedOn, kRedundancy};
    const auto body = f.Body();
    const std::uint64_t base = f.Pos();
    const std::uint64_t count = f.Left();
    for (std::uint64_t i = 0; i < count; ++i) {
        if (i == kMaxTableLines) return StopAtLineLimit(f);
        const std::uint8_t byte = body[base + i];
        std::string& s = f.Scratch();
        s.assign("   entry ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        for (int k = 0; k < 4; ++k) {
            const unsigned v = (byte >> (6 - 2 * k)) & 3;
            if (k != 0) s += ", ";
            s += kNames[k];
            s += ' ';
            s += static_cast<char>('0' + v);
            s += ' ';
            s += kMeanings[k][v];
        }
        f.Raw(std::string(s), f.Range(base + i, 1));
    }
    f.Seek(base + count);
}

void DescribePadb(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto count = f.U("sample_count", 4);
    if (!count) return;
    const auto body = f.Body();
    const std::uint64_t base = f.Pos();
    const std::uint64_t bytes = (*count + 1) / 2;
    for (std::uint64_t i = 0; i < bytes; ++i) {
        if (i == kMaxTableLines) return StopAtLineLimit(f);
        if (!f.Has(1)) {
            f.MarkCut(EntryLabel("entry", i), 1);
            return;
        }
        const std::uint8_t byte = body[base + i];
        std::string& s = f.Scratch();
        s.assign("   entry ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += "reserved ";
        AppendDecHex(s, byte >> 7, 4, f.Settings());
        s += ", pad1 ";
        AppendDecHex(s, (byte >> 4) & 7, 4, f.Settings());
        s += ", reserved ";
        AppendDecHex(s, (byte >> 3) & 1, 4, f.Settings());
        s += ", pad2 ";
        AppendDecHex(s, byte & 7, 4, f.Settings());
        f.Raw(std::string(s), f.Range(base + i, 1));
        f.Seek(base + i + 1);
    }
    f.Trailing();
}

void DescribeSubs(Fields& f, const BoxContext&) {
    const std::uint8_t version = f.VersionFlags().first;
    const auto count = f.U("entry_count", 4);
    if (!count) return;
    const unsigned sizeBytes = version == 1 ? 4 : 2;
    const unsigned subsampleBytes = sizeBytes + 1 + 1 + 4;
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    std::uint64_t pos = f.Pos();
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (lines++ == kMaxTableLines) return StopAtLineLimit(f, "lines");
        if (!f.Has(6)) return f.MarkCut(EntryLabel("entry", i), 6);
        const std::uint64_t delta = f.Peek(pos, 4);
        const std::uint64_t subsamples = f.Peek(pos + 4, 2);
        std::string& s = f.Scratch();
        s.assign("   entry ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += "sample_delta ";
        AppendDecHex(s, delta, 10, rs);
        s += ", subsample_count ";
        AppendDecHex(s, subsamples, 6, rs);
        f.Raw(std::string(s), f.Range(pos, 6));
        pos += 6;
        f.Seek(pos);
        for (std::uint64_t j = 0; j < subsamples; ++j) {
            if (lines++ == kMaxTableLines) return StopAtLineLimit(f, "lines");
            if (!f.Has(subsampleBytes)) return f.MarkCut(EntryLabel("subsample", j), subsampleBytes);
            std::string& t = f.Scratch();
            t.assign("      subsample ");
            AppendEntryNumber(t, static_cast<std::int64_t>(j));
            t += "subsample_size ";
            AppendDecHex(t, f.Peek(pos, sizeBytes), HexWidth(sizeBytes), rs);
            t += ", subsample_priority ";
            AppendDecHex(t, body[pos + sizeBytes], 4, rs);
            t += ", discardable ";
            AppendDecHex(t, body[pos + sizeBytes + 1], 4, rs);
            t += ", codec_specific_parameters ";
            AppendDecHex(t, f.Peek(pos + sizeBytes + 2, 4), 10, rs);
            f.Raw(std::string(t), f.Range(pos, subsampleBytes));
            pos += subsampleBytes;
            f.Seek(pos);
        }
    }
    f.Trailing();
}

// ---- Sample group descriptions ----

// The fields of one group entry, which may not reach past the entry's end.
class EntryFields {
public:
    // lines counts the lines of the whole box, against kMaxTableLines.
    EntryFields(Fields& f, const BoxContext& c, std::uint64_t end, std::uint64_t& lines)
        : f_(f), c_(c), end_(end), lines_(lines) {}

    bool Fits(std::string_view label, std::uint64_t bits) {
        if (over_ || f_.Cut()) return false;
        if (lines_ >= kMaxTableLines) {
            over_ = true;
            return false;
        }
        if (f_.BitPos() + bits <= 8 * end_) return ++lines_, true;
        over_ = true;
        ++lines_;
        const RegionalSettings& rs = f_.Settings();
        const std::uint64_t left = 8 * end_ > f_.BitPos() ? 8 * end_ - f_.BitPos() : 0;
        const bool inBits = bits % 8 != 0 || left % 8 != 0;
        const std::uint64_t need = inBits ? bits : bits / 8;
        const std::uint64_t have = inBits ? left : left / 8;
        const char* unit = inBits ? " bit" : " byte";
        f_.Heading("(the entry ends at offset " + GroupedText(c_.record.BodyOffset() + end_, rs) + ": " +
                   std::string(label) + " needs " + GroupedText(need, rs) + unit + (need == 1 ? "" : "s") + ", " +
                   GroupedText(have, rs) + (have == 1 ? " is" : " are") + " left)");
        return false;
    }
    std::optional<std::uint64_t> U(std::string_view label, unsigned bytes) {
        return Fits(label, 8ull * bytes) ? f_.U(label, bytes) : std::nullopt;
    }
    std::optional<std::int64_t> S(std::string_view label, unsigned bytes) {
        return Fits(label, 8ull * bytes) ? f_.AsSigned(label, bytes) : std::nullopt;
    }
    std::optional<std::uint64_t> Bits(std::string_view label, unsigned n) {
        return Fits(label, n) ? f_.Bits(label, n) : std::nullopt;
    }
    bool Bytes(std::string_view label, std::uint64_t n) {
        if (!Fits(label, 8 * n)) return false;
        f_.Bytes(label, n);
        return !f_.Cut();
    }
    void Meaning(std::string_view text) { f_.Meaning(text); }
    std::uint64_t Left() const { return end_ > f_.Pos() ? end_ - f_.Pos() : 0; }
    bool Done() const { return over_ || f_.Cut(); }

private:
    Fields& f_;
    const BoxContext& c_;
    std::uint64_t end_;
    std::uint64_t& lines_;
    bool over_ = false;
};

void RollEntry(EntryFields& e) { e.S("roll_distance", 2); }

void RapEntry(EntryFields& e) {
    e.Bits("num_leading_samples_known", 1);
    e.Bits("num_leading_samples", 7);
}

void AlstEntry(EntryFields& e) {
    const auto rollCount = e.U("roll_count", 2);
    e.U("first_output_sample", 2);
    if (!rollCount) return;
    for (std::uint64_t i = 1; i <= *rollCount; ++i)
        if (!e.U("sample_offset[" + std::to_string(i) + "]", 4)) return;
    // Pairs until the end of the entry.
    for (std::uint64_t j = 1; e.Left() >= 4 && !e.Done(); ++j) {
        e.U("num_output_samples[" + std::to_string(j) + "]", 2);
        e.U("num_total_samples[" + std::to_string(j) + "]", 2);
    }
}

void SyncEntry(EntryFields& e) {
    e.Bits("reserved", 2);
    e.Bits("NAL_unit_type", 6);
}

void TeleEntry(EntryFields& e) {
    e.Bits("level_independently_decodable", 1);
    e.Bits("reserved", 7);
}

void TsclEntry(EntryFields& e) {
    e.U("temporalLayerId", 1);
    e.Bits("tlprofile_space", 2);
    e.Bits("tltier_flag", 1);
    e.Bits("tlprofile_idc", 5);
    e.U("tlprofile_compatibility_flags", 4);
    e.U("tlconstraint_indicator_flags", 6);
    e.U("tllevel_idc", 1);
    e.U("tlMaxBitRate", 2);
    e.U("tlAvgBitRate", 2);
    e.U("tlConstantFrameRate", 1);
    e.U("tlAvgFrameRate", 2);
}

void SeigEntry(EntryFields& e) {
    e.U("reserved", 1);
    e.Bits("crypt_byte_block", 4);
    e.Bits("skip_byte_block", 4);
    const auto isProtected = e.U("isProtected", 1);
    if (isProtected && *isProtected <= 1) e.Meaning(*isProtected ? "protected" : "not protected");
    const auto ivSize = e.U("Per_Sample_IV_Size", 1);
    if (ivSize && *ivSize == 0 && isProtected && *isProtected == 1) e.Meaning("a constant IV");
    if (!e.Bytes("KID", 16) || !isProtected || !ivSize) return;
    if (*isProtected == 1 && *ivSize == 0)
        if (const auto constantSize = e.U("constant_IV_size", 1)) e.Bytes("constant_IV", *constantSize);
}

using EntryFn = void (*)(EntryFields&);

EntryFn GroupEntryReader(std::uint32_t groupingType) {
    switch (groupingType) {
    case F("roll"):
    case F("prol"): return RollEntry;
    case F("rap "): return RapEntry;
    case F("alst"): return AlstEntry;
    case F("sync"): return SyncEntry;
    case F("tele"): return TeleEntry;
    case F("tscl"): return TsclEntry;
    case F("seig"): return SeigEntry;
    default: return nullptr;
    }
}

// The size of an entry when version 0 gives none; 0 when its type does not say.
std::uint64_t Version0EntrySize(std::uint32_t groupingType, const Fields& f) {
    switch (groupingType) {
    case F("roll"):
    case F("prol"): return 2;
    case F("rap "):
    case F("sync"):
    case F("tele"): return 1;
    case F("tscl"): return 20;
    case F("seig"): {
        const std::uint64_t pos = f.Pos();
        return f.Peek(pos + 2, 1) == 1 && f.Peek(pos + 3, 1) == 0 ? 21 + f.Peek(pos + 20, 1) : 20;
    }
    default: return 0;
    }
}

void DescribeSgpd(Fields& f, const BoxContext& c) {
    const std::uint8_t version = f.VersionFlags().first;
    const auto groupingType = f.Type("grouping_type");
    if (!groupingType) return;
    std::uint64_t defaultLength = 0;
    if (version >= 1) defaultLength = f.U("default_length", 4).value_or(0);
    if (version >= 2) f.U("default_group_description_index", 4);
    const auto count = f.U("entry_count", 4);
    if (!count) return;
    const EntryFn reader = GroupEntryReader(*groupingType);
    if (version == 0 && Version0EntrySize(*groupingType, f) == 0 && *count != 0) {
        f.Heading("(version 0 gives no entry length, and the size of an entry of " + FourccText(*groupingType) +
                  " is not known: the entries are shown as bytes)");
        return f.Rest("data");
    }
    std::uint64_t lines = 0;
    for (std::uint64_t i = 0; i < *count && !f.Cut(); ++i) {
        if (lines++ >= kMaxTableLines) return StopAtLineLimit(f, "lines");
        const bool described = version >= 1 && defaultLength == 0;
        if (f.Left() == 0) {
            // Entries too short for their fields would otherwise step on past the end without reading.
            f.MarkCut(EntryLabel("entry", i), described ? 4 : std::max<std::uint64_t>(defaultLength, 1));
            break;
        }
        f.Heading("entry #" + std::to_string(i + 1));
        std::uint64_t length = defaultLength;
        if (described) {
            const auto descriptionLength = f.U("description_length", 4);
            if (!descriptionLength) break;
            length = *descriptionLength;
        } else if (version == 0) {
            length = Version0EntrySize(*groupingType, f);
        }
        const std::uint64_t start = f.Pos();
        const std::uint64_t end = start + length;
        if (reader != nullptr) {
            EntryFields e(f, c, end, lines);
            reader(e);
            if (lines >= kMaxTableLines) return StopAtLineLimit(f, "lines");
            // What the fields leave of the entry, or what a field too long for it would have read.
            if (e.Left() > 0) f.Bytes("data", e.Left());
        } else {
            f.Bytes("data", length);
            ++lines;
        }
        if (f.Cut()) break;
        f.Seek(end);
    }
    f.Trailing();
}

constexpr BoxRule kRules[] = {
    {0, F("stts"), BoxKind::Leaf, EntryLayout::None, DescribeStts},
    {0, F("stsc"), BoxKind::Leaf, EntryLayout::None, DescribeStsc},
    {0, F("stsz"), BoxKind::Leaf, EntryLayout::None, DescribeStsz},
    {0, F("stz2"), BoxKind::Leaf, EntryLayout::None, DescribeStz2},
    {0, F("stco"), BoxKind::Leaf, EntryLayout::None, DescribeStco},
    {0, F("co64"), BoxKind::Leaf, EntryLayout::None, DescribeCo64},
    {0, F("stss"), BoxKind::Leaf, EntryLayout::None, DescribeStss},
    {0, F("stps"), BoxKind::Leaf, EntryLayout::None, DescribeStss},
    {0, F("ctts"), BoxKind::Leaf, EntryLayout::None, DescribeCtts},
    {0, F("cslg"), BoxKind::Leaf, EntryLayout::None, DescribeCslg},
    {0, F("elst"), BoxKind::Leaf, EntryLayout::None, DescribeElst},
    {0, F("sdtp"), BoxKind::Leaf, EntryLayout::None, DescribeSdtp},
    {0, F("padb"), BoxKind::Leaf, EntryLayout::None, DescribePadb},
    {0, F("subs"), BoxKind::Leaf, EntryLayout::None, DescribeSubs},
    {0, F("saiz"), BoxKind::Leaf, EntryLayout::None, DescribeSaiz},
    {0, F("saio"), BoxKind::Leaf, EntryLayout::None, DescribeSaio},
    {0, F("sbgp"), BoxKind::Leaf, EntryLayout::None, DescribeSbgp},
    {0, F("sgpd"), BoxKind::Leaf, EntryLayout::None, DescribeSgpd},
};

}  // namespace

std::span<const BoxRule> TableBoxRules() { return kRules; }

}  // namespace kestrova::full
