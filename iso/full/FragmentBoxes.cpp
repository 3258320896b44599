// The boxes of movie fragments and segments in the full view: defaults for the
// fragments, fragment and track fragment headers, track runs, segment and
// subsegment indexes, the random access index, events and producer times.
// Every run sample, reference and index entry is one line.

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "common/Formatters.h"
#include "iso/full/Fields.h"
#include "iso/Fragments.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }

// No click lists more lines than this of one run, so no box can exhaust memory.
constexpr std::uint64_t kMaxLines = 1'000'000;

int HexWidth(unsigned bytes) { return 2 + 2 * static_cast<int>(bytes); }

std::uint64_t Read(std::span<const std::uint8_t> body, std::uint64_t pos, unsigned bytes) {
    std::uint64_t v = 0;
    for (unsigned k = 0; k < bytes; ++k) v = v << 8 | body[pos + k];
    return v;
}

// The parts of a sample flags word.
std::string SampleFlagsText(std::uint32_t v) {
    std::string s = "is_leading " + std::to_string(v >> 26 & 3);
    s += ", sample_depends_on " + std::to_string(v >> 24 & 3);
    s += ", sample_is_depended_on " + std::to_string(v >> 22 & 3);
    s += ", sample_has_redundancy " + std::to_string(v >> 20 & 3);
    s += ", sample_padding_value " + std::to_string(v >> 17 & 7);
    s += ", sample_is_non_sync_sample " + std::to_string(v >> 16 & 1);
    s += ", sample_degradation_priority " + std::to_string(v & 0xFFFF);
    return s;
}

void SampleFlags(Fields& f, std::string_view label) {
    if (const auto v = f.U(label, 4)) f.Meaning(SampleFlagsText(static_cast<std::uint32_t>(*v)));
}

struct FlagName {
    std::uint32_t bit;
    const char* name;
};

// Names every set flag after the flags line.
void NameFlags(Fields& f, std::uint32_t flags, std::initializer_list<FlagName> names) {
    std::string text;
    for (const FlagName& n : names) {
        if ((flags & n.bit) == 0) continue;
        if (!text.empty()) text += ", ";
        text += n.name;
    }
    if (!text.empty()) f.Meaning(text);
}

void EntryStart(std::string& s, std::string_view element, std::uint64_t i) {
    s.assign("   ");
    s += element;
    s += ' ';
    AppendEntryNumber(s, static_cast<std::int64_t>(i));
}

void DescribeMehd(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    f.U("fragment_duration", version == 1 ? 8 : 4);
    f.Trailing();
}

void DescribeTrex(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("track_ID", 4);
    f.U("default_sample_description_index", 4);
    f.U("default_sample_duration", 4);
    f.U("default_sample_size", 4);
    SampleFlags(f, "default_sample_flags");
    f.Trailing();
}

void DescribeMfhd(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("sequence_number", 4);
    f.Trailing();
}

void DescribeTfhd(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    NameFlags(f, flags, {{0x1, "base-data-offset-present"},
                         {0x2, "sample-description-index-present"},
                         {0x8, "default-sample-duration-present"},
                         {0x10, "default-sample-size-present"},
                         {0x20, "default-sample-flags-present"},
                         {0x10000, "duration-is-empty"},
                         {0x20000, "default-base-is-moof"}});
    f.U("track_ID", 4);
    if (flags & 0x1) f.U("base_data_offset", 8);
    if (flags & 0x2) f.U("sample_description_index", 4);
    if (flags & 0x8) f.U("default_sample_duration", 4);
    if (flags & 0x10) f.U("default_sample_size", 4);
    if (flags & 0x20) SampleFlags(f, "default_sample_flags");
    f.Trailing();
}

void DescribeTfdt(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    f.U("baseMediaDecodeTime", version == 1 ? 8 : 4);
    f.Trailing();
}

// The sample flags by name, in a run sample's line.
void AppendFlagNames(std::string& s, std::uint32_t v) {
    s += "is_leading " + std::to_string(v >> 26 & 3);
    s += ", depends_on " + std::to_string(v >> 24 & 3);
    s += ", is_depended_on " + std::to_string(v >> 22 & 3);
    s += ", has_redundancy " + std::to_string(v >> 20 & 3);
    s += ", padding " + std::to_string(v >> 17 & 7);
    s += ", non-sync " + std::to_string(v >> 16 & 1);
    s += ", degradation_priority " + std::to_string(v & 0xFFFF);
}

const char* SourceText(InheritedValue::From from) {
    switch (from) {
    case InheritedValue::From::Tfhd: return "(tfhd default)";
    case InheritedValue::From::Trex: return "(trex default)";
    case InheritedValue::From::InitTrex: return "(trex default, in the initialisation segment)";
    case InheritedValue::From::FirstSampleFlags: return "(first_sample_flags)";
    case InheritedValue::From::None: break;
    }
    return "(default in the initialisation segment)";
}

std::string RunStartText(const PlacedRun& run, const RegionalSettings& rs) {
    std::string base;
    switch (run.start) {
    case PlacedRun::Start::BaseDataOffset: base = "the tfhd's base_data_offset"; break;
    case PlacedRun::Start::MoofByFlag: base = "the first byte of the moof (default-base-is-moof)"; break;
    case PlacedRun::Start::MoofFirstTraf: base = "the first byte of the moof (the moof's first traf)"; break;
    case PlacedRun::Start::AfterPreviousTraf: base = "the end of the previous traf's data"; break;
    case PlacedRun::Start::AfterPreviousRun: base = "the end of the previous run's data"; break;
    }
    return GroupedText(run.dataStart, rs) + " (" + base + (run.withDataOffset ? " + data_offset)" : ")");
}

// The line of each sample of a placed run: where and when it lies, and every
// value it takes from a default on a sub-line with the default's bytes.
void PlacedSamples(Fields& f, const PlacedRun& run, std::uint32_t flags, std::uint64_t count,
                   std::optional<InheritedValue> firstFlags) {
    const RegionalSettings& rs = f.Settings();
    f.Derived("first sample at", RunStartText(run, rs), {});
    if (run.dtsKnown)
        f.Derived("first sample DTS", GroupedText(run.dtsStart, rs) +
                                          (run.dtsFromTfdt ? " (tfdt)" : " (after the track's previous samples)"),
                  {});
    f.Derived("first sample in track", "#" + GroupedText(run.firstNumber, rs), {});
    const unsigned size = 4 * ((flags >> 8 & 1) + (flags >> 9 & 1) + (flags >> 10 & 1) + (flags >> 11 & 1));
    const auto body = f.Body();
    std::uint64_t pos = f.Pos();
    std::uint64_t offset = run.dataStart, dts = run.dtsStart;
    bool offsetKnown = run.offsetKnown, dtsKnown = run.dtsKnown;
    std::uint64_t lines = 0;
    const auto inherited = [&](const char* name, const InheritedValue& v) {
        std::string line = "      ";
        line += name;
        line += ": ";
        ByteRange range;
        if (v.Known()) {
            AppendDecHex(line, v.value, HexWidth(4), rs);
            line += ' ';
            if (v.from != InheritedValue::From::InitTrex) range = {v.at, 4};
        }
        line += SourceText(v.from);
        f.Raw(std::move(line), range);
        ++lines;
    };
    for (std::uint64_t i = 0; i < count; ++i) {
        if (lines >= kMaxLines) {
            f.Heading("(only the first " + GroupedText(i, rs) + " samples are shown)");
            break;
        }
        if (size > 0 && !f.Has(size)) {
            f.MarkCut("sample #" + std::to_string(i + 1), size);
            break;
        }
        std::uint64_t at = pos;
        const auto own = [&]() {
            const std::uint64_t v = Read(body, at, 4);
            at += 4;
            return static_cast<std::uint32_t>(v);
        };
        InheritedValue duration = run.duration, sampleSize = run.size, sampleFlags = run.flags;
        bool ownDuration = false, ownSize = false, ownFlags = false;
        if (flags & 0x100) duration.value = own(), ownDuration = true;
        if (flags & 0x200) sampleSize.value = own(), ownSize = true;
        if (flags & 0x400) sampleFlags.value = own(), ownFlags = true;
        else if (i == 0 && firstFlags) sampleFlags = *firstFlags;
        std::int64_t cto = 0;
        const bool hasCto = flags & 0x800;
        if (hasCto) cto = static_cast<std::int32_t>(own());

        std::string& s = f.Scratch();
        EntryStart(s, "sample", i);
        s += "track sample #";
        s += GroupedText(run.firstNumber + i, rs);
        s += ", offset ";
        s += offsetKnown ? GroupedText(offset, rs) : std::string("not known");
        if (dtsKnown) {
            s += ", DTS ";
            s += GroupedText(dts, rs);
            s += ", CTS ";
            const std::int64_t cts = static_cast<std::int64_t>(dts) + cto;
            s += cts < 0 ? "-" + GroupedText(static_cast<std::uint64_t>(-cts), rs) : GroupedText(static_cast<std::uint64_t>(cts), rs);
        }
        const auto value = [&](const char* name, const InheritedValue& v, bool mine) {
            s += ", ";
            s += name;
            s += ' ';
            if (mine) {
                AppendDecHex(s, v.value, HexWidth(4), rs);
            } else if (v.Known()) {
                s += GroupedText(v.value, rs);
                s += ' ';
                s += SourceText(v.from);
            } else {
                s += SourceText(v.from);
            }
        };
        value("sample_duration", duration, ownDuration);
        value("sample_size", sampleSize, ownSize);
        if (hasCto) {
            s += ", sample_composition_time_offset ";
            AppendSigned(s, static_cast<std::uint32_t>(cto), 4, rs);
        }
        value("sample_flags", sampleFlags, ownFlags);
        if (sampleFlags.Known() || ownFlags) {
            s += ": ";
            AppendFlagNames(s, sampleFlags.value);
        }
        f.Raw(std::string(s), size > 0 ? f.Range(pos, size) : ByteRange{});
        ++lines;
        if (!ownDuration) inherited("sample_duration", duration);
        if (!ownSize) inherited("sample_size", sampleSize);
        if (!ownFlags) inherited("sample_flags", sampleFlags);

        if (ownSize || sampleSize.Known()) offset += sampleSize.value;
        else offsetKnown = false;
        if (ownDuration || duration.Known()) dts += duration.value;
        else dtsKnown = false;
        pos += size;
        f.Seek(pos);
    }
}

// The records of a run that could not be placed, as they stand.
void UnplacedSamples(Fields& f, std::uint32_t flags, std::uint64_t count) {
    const unsigned size = 4 * ((flags >> 8 & 1) + (flags >> 9 & 1) + (flags >> 10 & 1) + (flags >> 11 & 1));
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    std::uint64_t pos = f.Pos();
    // An empty record takes no bytes, so such a run has nothing to list per sample.
    for (std::uint64_t i = 0; size > 0 && i < count; ++i) {
        if (i == kMaxLines) {
            f.Heading("(only the first " + GroupedText(kMaxLines, rs) + " samples are shown)");
            f.Seek(f.Size());
            break;
        }
        if (!f.Has(size)) {
            f.MarkCut("sample #" + std::to_string(i + 1), size);
            break;
        }
        std::string& s = f.Scratch();
        EntryStart(s, "sample", i);
        std::uint64_t at = pos;
        const char* sep = "";
        auto next = [&](const char* name) {
            s += sep;
            s += name;
            s += ' ';
            sep = ", ";
            const std::uint64_t v = Read(body, at, 4);
            at += 4;
            return v;
        };
        if (flags & 0x100) AppendDecHex(s, next("sample_duration"), HexWidth(4), rs);
        if (flags & 0x200) AppendDecHex(s, next("sample_size"), HexWidth(4), rs);
        if (flags & 0x400) {
            const std::uint64_t v = next("sample_flags");
            AppendDecHex(s, v, HexWidth(4), rs);
            if (v >> 16 & 1) s += " non-sync";
        }
        // Both versions mean a signed offset here; a version 0 writer that sets the top bit means it too.
        if (flags & 0x800) AppendSigned(s, next("sample_composition_time_offset"), 4, rs);
        f.Raw(std::string(s), f.Range(pos, size));
        pos += size;
        f.Seek(pos);
    }
}

void DescribeTrun(Fields& f, const BoxContext& ctx) {
    const auto [version, flags] = f.VersionFlags();
    NameFlags(f, flags, {{0x1, "data-offset-present"},
                         {0x4, "first-sample-flags-present"},
                         {0x100, "sample-duration-present"},
                         {0x200, "sample-size-present"},
                         {0x400, "sample-flags-present"},
                         {0x800, "sample-composition-time-offsets-present"}});
    const auto count = f.U("sample_count", 4);
    if (flags & 0x1) f.S("data_offset", 4);
    std::optional<InheritedValue> firstFlags;
    if (flags & 0x4) {
        const std::uint64_t at = f.Pos();
        SampleFlags(f, "first_sample_flags");
        if (!f.Cut())
            firstFlags = InheritedValue{f.Range(at, 4).offset, static_cast<std::uint32_t>(f.Peek(at, 4)),
                                        InheritedValue::From::FirstSampleFlags};
    }
    if (!count || f.Cut()) return;
    const PlacedRun* run = ctx.parse.fragments.RunAt(ctx.record.offset);
    if (run == nullptr) {
        f.Heading("(this run is not placed in the file: it has no traf with a tfhd of a track the file knows)");
        UnplacedSamples(f, flags, *count);
    } else {
        PlacedSamples(f, *run, flags, std::min<std::uint64_t>(*count, run->count), firstFlags);
        if (run->count < *count)
            f.Heading("(sample_count says " + GroupedText(*count, f.Settings()) + ": the box and the file hold " +
                      GroupedText(run->count, f.Settings()) + ")");
    }
    f.Trailing();
}

void DescribeSidx(Fields& f, const BoxContext& ctx) {
    const auto [version, flags] = f.VersionFlags();
    const unsigned wide = version == 0 ? 4 : 8;
    f.U("reference_ID", 4);
    const auto timescale = f.U("timescale", 4);
    const auto earliest = f.U("earliest_presentation_time", wide);
    const auto firstOffset = f.U("first_offset", wide);
    f.U("reserved", 2);
    const auto count = f.U("reference_count", 2);
    if (!count || !firstOffset || f.Cut()) return;
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    // The references follow one another from the first byte after this box.
    std::uint64_t next = ctx.record.offset + ctx.record.extent + *firstOffset;
    std::uint64_t start = earliest.value_or(0);
    std::uint64_t pos = f.Pos();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!f.Has(12)) {
            f.MarkCut("reference #" + std::to_string(i + 1), 12);
            break;
        }
        const std::uint64_t a = Read(body, pos, 4), duration = Read(body, pos + 4, 4), c = Read(body, pos + 8, 4);
        const std::uint64_t size = a & 0x7FFFFFFF;
        std::string& s = f.Scratch();
        EntryStart(s, "reference", i);
        s += "reference_type " + std::to_string(a >> 31);
        s += (a >> 31) ? " (an index)" : " (media)";
        s += ", referenced_size ";
        AppendDecHex(s, size, HexWidth(4), rs);
        s += ", subsegment_duration ";
        AppendDecHex(s, duration, HexWidth(4), rs);
        s += ", starts_with_SAP " + std::to_string(c >> 31);
        s += ", SAP_type " + std::to_string(c >> 28 & 7);
        s += ", SAP_delta_time ";
        s += GroupedText(c & 0x0FFFFFFF, rs);
        s += ", bytes ";
        s += GroupedText(next, rs);
        s += " to ";
        s += GroupedText(size > 0 ? next + size - 1 : next, rs);
        s += ", starts at ";
        s += GroupedText(start, rs);
        if (timescale && *timescale != 0) {
            char seconds[40];
            std::snprintf(seconds, sizeof seconds, " (%.3f s)", static_cast<double>(start) / static_cast<double>(*timescale));
            s += seconds;
        }
        f.Raw(std::string(s), f.Range(pos, 12));
        next += size;
        start += duration;
        pos += 12;
        f.Seek(pos);
    }
    f.Trailing();
}

void DescribeSsix(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto count = f.U("subsegment_count", 4);
    if (!count || f.Cut()) return;
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    std::uint64_t pos = f.Pos();
    for (std::uint64_t i = 0; i < *count && !f.Cut(); ++i) {
        if (!f.Has(4)) {
            f.MarkCut("subsegment #" + std::to_string(i + 1), 4);
            break;
        }
        const std::uint64_t ranges = Read(body, pos, 4);
        std::string& s = f.Scratch();
        EntryStart(s, "subsegment", i);
        s += "range_count ";
        AppendDecHex(s, ranges, HexWidth(4), rs);
        f.Raw(std::string(s), f.Range(pos, 4));
        pos += 4;
        f.Seek(pos);
        for (std::uint64_t j = 0; j < ranges; ++j) {
            if (!f.Has(4)) {
                f.MarkCut("range #" + std::to_string(j + 1), 4);
                break;
            }
            std::string& r = f.Scratch();
            EntryStart(r, "     range", j);
            r += "level ";
            AppendDecHex(r, body[pos], HexWidth(1), rs);
            r += ", range_size ";
            AppendDecHex(r, Read(body, pos + 1, 3), HexWidth(3), rs);
            f.Raw(std::string(r), f.Range(pos, 4));
            pos += 4;
            f.Seek(pos);
        }
    }
    f.Trailing();
}

void DescribeTfra(Fields& f, const BoxContext& ctx) {
    const auto [version, flags] = f.VersionFlags();
    f.U("track_ID", 4);
    f.Bits("reserved", 26);
    const auto trafBytes = f.Bits("length_size_of_traf_num", 2);
    const auto trunBytes = f.Bits("length_size_of_trun_num", 2);
    const auto sampleBytes = f.Bits("length_size_of_sample_num", 2);
    const auto count = f.U("number_of_entry", 4);
    if (!count || !trafBytes || !trunBytes || !sampleBytes || f.Cut()) return;
    const unsigned wide = version == 1 ? 8 : 4;
    const unsigned traf = static_cast<unsigned>(*trafBytes) + 1, trun = static_cast<unsigned>(*trunBytes) + 1,
                   sample = static_cast<unsigned>(*sampleBytes) + 1;
    const unsigned size = 2 * wide + traf + trun + sample;
    // The moofs by offset, to say which one each entry points at.
    std::vector<std::uint64_t> moofs;
    for (const FullRecord& r : ctx.parse.records)
        if (r.type == F("moof")) moofs.push_back(r.offset);
    std::sort(moofs.begin(), moofs.end());
    const auto body = f.Body();
    const RegionalSettings& rs = f.Settings();
    std::uint64_t pos = f.Pos();
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!f.Has(size)) {
            f.MarkCut("entry #" + std::to_string(i + 1), size);
            break;
        }
        std::string& s = f.Scratch();
        EntryStart(s, "entry", i);
        std::uint64_t at = pos;
        const char* sep = "";
        auto column = [&](const char* name, unsigned bytes) {
            s += sep;
            s += name;
            s += ' ';
            sep = ", ";
            AppendDecHex(s, Read(body, at, bytes), HexWidth(bytes), rs);
            at += bytes;
        };
        column("time", wide);
        const std::uint64_t moof = Read(body, at, wide);
        column("moof_offset", wide);
        column("traf_number", traf);
        column("trun_number", trun);
        column("sample_number", sample);
        const auto it = std::lower_bound(moofs.begin(), moofs.end(), moof);
        if (it != moofs.end() && *it == moof)
            s += ", the moof #" + GroupedText(static_cast<std::uint64_t>(it - moofs.begin()) + 1, rs) + " of the file";
        else
            s += ", no moof starts there";
        f.Raw(std::string(s), f.Range(pos, size));
        pos += size;
        f.Seek(pos);
    }
    f.Trailing();
}

void DescribeMfro(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("size", 4);
    f.Trailing();
}

bool IsUtf8Text(std::span<const std::uint8_t> b) {
    for (std::size_t i = 0; i < b.size();) {
        const std::uint8_t c = b[i];
        std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
        if (n == 4 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return false;
        if (n > 0 && i + n >= b.size()) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((b[i + k] & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

void MessageData(Fields& f) {
    if (f.Cut() || f.Left() == 0) return;
    const auto rest = f.Body().subspan(f.Pos());
    if (IsUtf8Text(rest) && rest.size() <= 4096) {
        f.FixedString("message_data", rest.size());
    } else {
        f.Rest("message_data");
    }
}

void DescribeEmsg(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    if (version == 0) {
        f.CString("scheme_id_uri");
        f.CString("value");
        f.U("timescale", 4);
        f.U("presentation_time_delta", 4);
        f.U("event_duration", 4);
        f.U("id", 4);
    } else {
        f.U("timescale", 4);
        f.U("presentation_time", 8);
        f.U("event_duration", 4);
        f.U("id", 4);
        f.CString("scheme_id_uri");
        f.CString("value");
    }
    MessageData(f);
}

void DescribePrft(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    f.U("reference_track_ID", 4);
    if (const auto ntp = f.U("ntp_timestamp", 8)) {
        // NTP counts seconds from 1900; 1904 is 1,460 days later (1900 is no leap year).
        const std::uint64_t seconds = *ntp >> 32;
        constexpr std::uint64_t k1900To1904 = 1460ull * 86400;
        if (seconds >= k1900To1904) {
            const std::uint64_t ms = ((*ntp & 0xFFFFFFFF) * 1000) >> 32;
            std::string text = UtcText1904(seconds - k1900To1904);
            const std::string frac = "." + std::string(ms < 100 ? (ms < 10 ? 2 : 1) : 0, '0') + std::to_string(ms);
            const auto at = text.find(" UTC");
            if (at != std::string::npos) text.insert(at, frac);
            f.Meaning(text);
        }
    }
    f.U("media_time", version == 0 ? 4 : 8);
    f.Trailing();
}

constexpr BoxRule kRules[] = {
    {0, F("mehd"), BoxKind::Leaf, EntryLayout::None, DescribeMehd},
    {0, F("trex"), BoxKind::Leaf, EntryLayout::None, DescribeTrex},
    {0, F("mfhd"), BoxKind::Leaf, EntryLayout::None, DescribeMfhd},
    {0, F("tfhd"), BoxKind::Leaf, EntryLayout::None, DescribeTfhd},
    {0, F("tfdt"), BoxKind::Leaf, EntryLayout::None, DescribeTfdt},
    {0, F("trun"), BoxKind::Leaf, EntryLayout::None, DescribeTrun},
    {0, F("sidx"), BoxKind::Leaf, EntryLayout::None, DescribeSidx},
    {0, F("ssix"), BoxKind::Leaf, EntryLayout::None, DescribeSsix},
    {0, F("tfra"), BoxKind::Leaf, EntryLayout::None, DescribeTfra},
    {0, F("mfro"), BoxKind::Leaf, EntryLayout::None, DescribeMfro},
    {0, F("emsg"), BoxKind::Leaf, EntryLayout::None, DescribeEmsg},
    {0, F("prft"), BoxKind::Leaf, EntryLayout::None, DescribePrft},
};

}  // namespace

std::span<const BoxRule> FragmentBoxRules() { return kRules; }

// Smooth Streaming's fragment time (tfxd) and the times of the fragments that follow (tfrf).
void DescribeTfxd(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    f.U("fragment_absolute_time", version == 1 ? 8 : 4);
    f.U("fragment_duration", version == 1 ? 8 : 4);
    f.Trailing();
}

void DescribeTfrf(Fields& f, const BoxContext&) {
    const auto [version, flags] = f.VersionFlags();
    const auto count = f.U("fragment_count", 1);
    const unsigned wide = version == 1 ? 8 : 4;
    const RegionalSettings& rs = f.Settings();
    for (std::uint64_t i = 0; count && i < *count; ++i) {
        if (!f.Has(2 * wide)) {
            f.MarkCut("fragment #" + std::to_string(i + 1), 2 * wide);
            break;
        }
        const std::uint64_t pos = f.Pos();
        std::string& s = f.Scratch();
        EntryStart(s, "fragment", i);
        s += "fragment_absolute_time ";
        AppendDecHex(s, Read(f.Body(), pos, wide), HexWidth(wide), rs);
        s += ", fragment_duration ";
        AppendDecHex(s, Read(f.Body(), pos + wide, wide), HexWidth(wide), rs);
        f.Raw(std::string(s), f.Range(pos, 2 * wide));
        f.Seek(pos + 2 * wide);
    }
    f.Trailing();
}

}  // namespace kestrova::full
