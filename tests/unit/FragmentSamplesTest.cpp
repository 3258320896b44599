// Samples of movie fragments: where each run sample lies and when, in the
// sample lists of both views and in the full view's trun lines.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "FullCaseFixtures.h"
#include "FullFixtures.h"
#include "iso/Fragments.h"
#include "shell/StreamSamples.h"
#include "support/BoxWriter.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

using namespace test;

const Bytes kFtyp = Box("ftyp", Cat({Text("iso6"), U32(0)}));  // 16 bytes

struct TrackDef {
    std::uint32_t id = 1;
    std::uint32_t timescale = 1000;
    std::optional<std::array<std::uint32_t, 3>> trex;  // duration, size, flags
};

Bytes Trak(const TrackDef& t) {
    const Bytes tkhd = FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(t.id), Zeros(68)}));
    const Bytes mdhd = FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(t.timescale), U32(0), U16(0x55C4), U16(0)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("vide"), Zeros(12), U8(0)}));
    const Bytes stbl = Box("stbl", {FullBox("stsd", 0, 0, Cat({U32(1), Box("avc1", Zeros(78))})),
                                    FullBox("stts", 0, 0, U32(0)), FullBox("stsc", 0, 0, U32(0)),
                                    FullBox("stsz", 0, 0, Cat({U32(0), U32(0)})), FullBox("stco", 0, 0, U32(0))});
    return Box("trak", {tkhd, Box("mdia", {mdhd, hdlr, Box("minf", {stbl})})});
}

Bytes Moov(const std::vector<TrackDef>& tracks) {
    Bytes body = FullBox("mvhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(0), Zeros(80)}));
    Bytes mvex;
    for (const TrackDef& t : tracks) {
        body = Cat({body, Trak(t)});
        if (t.trex)
            mvex = Cat({mvex, FullBox("trex", 0, 0, Cat({U32(t.id), U32(1), U32((*t.trex)[0]), U32((*t.trex)[1]),
                                                         U32((*t.trex)[2])}))});
    }
    if (!mvex.empty()) body = Cat({body, Box("mvex", mvex)});
    return Box("moov", body);
}

// A moof whose boxes depend on where it starts and how long it is (data
// offsets count from it): built twice, the second time with its own length.
using MoofBuilder = std::function<Bytes(std::uint64_t moofOffset, std::uint64_t moofSize)>;

Bytes Placed(std::uint64_t at, const MoofBuilder& build) {
    const std::uint64_t size = build(at, 0).size();
    return build(at, size);
}

Bytes Mdat(std::size_t n) {
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i % 251 + 1);
    return Box("mdat", data);
}

Bytes Tfhd(std::uint32_t flags, std::uint32_t track, std::initializer_list<Bytes> optional = {}) {
    Bytes body = U32(track);
    for (const Bytes& b : optional) body = Cat({body, b});
    return FullBox("tfhd", 0, flags, body);
}

struct Opened {
    std::unique_ptr<TempFile> file;
    Document doc;
    std::optional<SampleList> list;
};

std::unique_ptr<Opened> Open(const Bytes& contents, ViewKind view, const std::string& init = {}) {
    auto o = std::make_unique<Opened>();
    o->file = std::make_unique<TempFile>(contents, "frag.mp4");
    o->doc.SetView(view);
    o->doc.SetInitialisationPath(init);
    o->doc.OpenFile(o->file->Path());
    o->list = BuildDocumentSampleList(o->doc);
    return o;
}

// "track #n offset dts size K/-" per sample; unknown values show as "?".
std::vector<std::string> Listed(const SampleList& list) {
    std::vector<std::string> out;
    const auto v = [](std::uint64_t x, std::uint64_t unknown) { return x == unknown ? std::string("?") : std::to_string(x); };
    for (const SampleTrack& t : list.tracks)
        for (const Sample& s : t.samples)
            out.push_back(std::to_string(t.id) + " #" + std::to_string(s.number) + " @" + v(s.offset, kUnknownSamplePlace) +
                          " t" + v(s.dts, kUnknownSamplePlace) + " " + v(s.size, kUnknownSampleValue) +
                          (s.key ? " K" : " -"));
    return out;
}

// Every combination of the tfhd's and the trun's optional fields: each value
// comes from the trun, else the tfhd, else the trex, and each source gives a
// value of its own, so a wrong source shows in the numbers.
TEST(FragmentSamples, EveryTfhdAndTrunFlagCombinationTakesEachValueFromItsSource) {
    constexpr std::uint32_t kNonSync = 0x10000, kSync = 0x2000000;
    const TrackDef track{1, 1000, std::array<std::uint32_t, 3>{10, 100, kNonSync}};
    const Bytes head = Cat({kFtyp, Moov({track})});
    const std::uint32_t tfhdBits[] = {0x1, 0x2, 0x8, 0x10, 0x20};
    const std::uint32_t trunBits[] = {0x1, 0x4, 0x100, 0x200, 0x400, 0x800};
    int checked = 0;
    for (std::uint32_t a = 0; a < 32; ++a) {
        std::uint32_t tfhdFlags = 0;
        for (int k = 0; k < 5; ++k)
            if (a >> k & 1) tfhdFlags |= tfhdBits[k];
        if (!(tfhdFlags & 0x1)) tfhdFlags |= 0x20000;  // the moof is the base, else base_data_offset
        for (std::uint32_t b = 0; b < 64; ++b) {
            std::uint32_t trunFlags = 0;
            for (int k = 0; k < 6; ++k)
                if (b >> k & 1) trunFlags |= trunBits[k];
            std::uint64_t dataStart = 0;
            const MoofBuilder build = [&](std::uint64_t at, std::uint64_t size) {
                const std::uint64_t mdatBody = at + size + 8;
                Bytes tfhdBody;
                if (tfhdFlags & 0x1) tfhdBody = Cat({tfhdBody, U64(mdatBody - 4)});
                if (tfhdFlags & 0x2) tfhdBody = Cat({tfhdBody, U32(1)});
                if (tfhdFlags & 0x8) tfhdBody = Cat({tfhdBody, U32(20)});
                if (tfhdFlags & 0x10) tfhdBody = Cat({tfhdBody, U32(200)});
                if (tfhdFlags & 0x20) tfhdBody = Cat({tfhdBody, U32(kSync)});
                const std::uint64_t base = (tfhdFlags & 0x1) ? mdatBody - 4 : at;
                dataStart = (trunFlags & 0x1) ? mdatBody : base;
                Bytes trun = U32(3);
                if (trunFlags & 0x1) trun = Cat({trun, U32(static_cast<std::uint32_t>(mdatBody - base))});
                if (trunFlags & 0x4) trun = Cat({trun, U32(kSync)});
                for (std::uint32_t i = 0; i < 3; ++i) {
                    if (trunFlags & 0x100) trun = Cat({trun, U32(30 + i)});
                    if (trunFlags & 0x200) trun = Cat({trun, U32(300 + i)});
                    if (trunFlags & 0x400) trun = Cat({trun, U32(i == 1 ? kSync : kNonSync)});
                    if (trunFlags & 0x800) trun = Cat({trun, U32(static_cast<std::uint32_t>(-5))});
                }
                return Box("moof", {FullBox("mfhd", 0, 0, U32(1)),
                                    Box("traf", {FullBox("tfhd", 0, tfhdFlags, Cat({U32(1), tfhdBody})),
                                                 FullBox("tfdt", 1, 0, U64(1000)), FullBox("trun", 0, trunFlags, trun)})});
            };
            const Bytes file = Cat({head, Placed(head.size(), build), Mdat(1200)});
            std::vector<std::string> want;
            std::uint64_t offset = dataStart, dts = 1000;
            for (std::uint32_t i = 0; i < 3; ++i) {
                const std::uint32_t duration = (trunFlags & 0x100) ? 30 + i : (tfhdFlags & 0x8) ? 20 : 10;
                const std::uint32_t size = (trunFlags & 0x200) ? 300 + i : (tfhdFlags & 0x10) ? 200 : 100;
                const std::uint32_t flags = (trunFlags & 0x400)          ? (i == 1 ? kSync : kNonSync)
                                            : (i == 0 && trunFlags & 0x4) ? kSync
                                            : (tfhdFlags & 0x20)          ? kSync
                                                                          : kNonSync;
                want.push_back("1 #" + std::to_string(i + 1) + " @" + std::to_string(offset) + " t" + std::to_string(dts) +
                               " " + std::to_string(size) + ((flags & kNonSync) ? " -" : " K"));
                offset += size;
                dts += duration;
            }
            const std::string name = "tfhd flags " + std::to_string(tfhdFlags) + ", trun flags " + std::to_string(trunFlags);
            const auto classic = Open(file, ViewKind::Classic);
            ASSERT_TRUE(classic->list) << name;
            EXPECT_EQ(Listed(*classic->list), want) << name;
            // The full view reads the same samples, and its trun lines hold their bytes.
            if (a % 7 == 0 && b % 5 == 0) {
                const auto full = Open(file, ViewKind::Full);
                ASSERT_TRUE(full->list) << name;
                EXPECT_EQ(Listed(*full->list), want) << name;
                full->doc.TreeView1Click(FullNodeOf(full->doc, "trun"));
                EXPECT_EQ(CheckPaneRanges(full->doc, name), std::vector<std::string>{});
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 32 * 64);
}

struct LayoutCase {
    const char* name;
    std::function<Bytes()> file;
    std::vector<std::string> samples;
    std::vector<std::string> notes;
};

TEST(FragmentSamples, BaseOffsetsTimesAndWhatCannotBePlaced) {
    const TrackDef v{1, 1000, std::array<std::uint32_t, 3>{40, 10, 0x10000}};
    const TrackDef a{2, 48000, std::array<std::uint32_t, 3>{1024, 7, 0}};
    const Bytes head = Cat({kFtyp, Moov({v, a})});
    const std::uint64_t h = head.size();
    // Samples of trex sizes: one run of 2 in the given track, without data_offset.
    const auto trun = [](std::uint32_t count, std::optional<std::int32_t> dataOffset = {}) {
        return dataOffset ? FullBox("trun", 0, 1, Cat({U32(count), U32(static_cast<std::uint32_t>(*dataOffset))}))
                          : FullBox("trun", 0, 0, U32(count));
    };
    const auto moof = [](std::initializer_list<Bytes> trafs) {
        Bytes body = FullBox("mfhd", 0, 0, U32(1));
        for (const Bytes& t : trafs) body = Cat({body, t});
        return Box("moof", body);
    };
    const auto traf = [](std::initializer_list<Bytes> boxes) { return Box("traf", Bytes(Cat(boxes))); };

    const std::vector<LayoutCase> cases = {
        {"no base: the first traf starts at the moof, the second after the first's data",
         [&] {
             return Cat({head, Placed(h, [&](std::uint64_t, std::uint64_t size) {
                             const auto d = static_cast<std::int32_t>(size + 8);
                             return moof({traf({Tfhd(0, 1), trun(2, d)}), traf({Tfhd(0, 2), trun(2)})});
                         }),
                         Mdat(100)});
         },
         {}, {}},
        {"default-base-is-moof in both trafs: each data_offset counts from the moof",
         [&] {
             return Cat({head, Placed(h, [&](std::uint64_t, std::uint64_t size) {
                             const auto d = static_cast<std::int32_t>(size + 8);
                             return moof({traf({Tfhd(0x20000, 1), trun(2, d)}), traf({Tfhd(0x20000, 2), trun(2, d + 50)})});
                         }),
                         Mdat(100)});
         },
         {}, {}},
        {"base_data_offset past the moof; two runs in a traf, the second after the first",
         [&] {
             return Cat({head, Placed(h, [&](std::uint64_t at, std::uint64_t size) {
                             return moof({traf({Tfhd(0x1, 1, {U64(at + size + 8 + 30)}), trun(2), trun(1)})});
                         }),
                         Mdat(100)});
         },
         {}, {}},
        {"tfdt absent: the second fragment goes on from the first; a negative data_offset",
         [&] {
             const Bytes first = Placed(h, [&](std::uint64_t, std::uint64_t size) {
                 return moof({traf({Tfhd(0x20000, 1), FullBox("tfdt", 0, 0, U32(500)), trun(2, static_cast<std::int32_t>(size + 8))})});
             });
             const Bytes data = Mdat(40);
             const std::uint64_t second = h + first.size() + data.size();
             return Cat({head, first, data, Placed(second, [&](std::uint64_t, std::uint64_t) {
                             return moof({traf({Tfhd(0x20000, 1), trun(1, -static_cast<std::int32_t>(data.size()) + 28)})});
                         })});
         },
         {}, {}},
        {"a traf for a track the movie does not have, a traf without tfhd, a nested moof",
         [&] {
             return Cat({head, moof({traf({Tfhd(0x20000, 9), trun(1)}), traf({trun(1)}), Box("moof")}), Mdat(10)});
         },
         {},
         {}},
        {"a run past the end of the file",
         [&] {
             return Cat({head, Placed(h, [&](std::uint64_t, std::uint64_t size) {
                             return moof({traf({Tfhd(0x20000, 1), trun(5, static_cast<std::int32_t>(size + 8))})});
                         }),
                         Mdat(25)});
         },
         {}, {}},
        {"overlapping runs", [&] {
             return Cat({head, Placed(h, [&](std::uint64_t, std::uint64_t size) {
                             const auto d = static_cast<std::int32_t>(size + 8);
                             return moof({traf({Tfhd(0x20000, 1), trun(2, d)}), traf({Tfhd(0x20000, 2), trun(2, d + 5)})});
                         }),
                         Mdat(100)});
         },
         {}, {}},
    };
    // Offsets are written relative to the end of the movie box, so a case reads the same whatever its length.
    // Box sizes: mfhd 16, tfhd 16 (24 with a base), tfdt 16, trun 16 (20 with data_offset).
    const std::vector<std::vector<std::string>> want = {
        {"1 #1 @M+116 t0 10 -", "1 #2 @M+126 t40 10 -", "2 #1 @M+136 t0 7 K", "2 #2 @M+143 t1024 7 K"},
        {"1 #1 @M+120 t0 10 -", "1 #2 @M+130 t40 10 -", "2 #1 @M+170 t0 7 K", "2 #2 @M+177 t1024 7 K"},
        {"1 #1 @M+126 t0 10 -", "1 #2 @M+136 t40 10 -", "1 #3 @M+146 t80 10 -"},
        {"1 #1 @M+92 t500 10 -", "1 #2 @M+102 t540 10 -", "1 #3 @M+112 t580 10 -"},
        {},
        {"1 #1 @M+76 t0 10 -", "1 #2 @M+86 t40 10 -"},
        {"1 #1 @M+120 t0 10 -", "1 #2 @M+130 t40 10 -", "2 #1 @M+125 t0 7 K", "2 #2 @M+132 t1024 7 K"},
    };
    const std::vector<std::vector<std::string>> notes = {
        {},
        {},
        {},
        {},
        {"a traf at offset M+24 is for track 9, which the movie does not have: its samples are not placed",
         "a traf without tfhd at offset M+64: its runs are not placed", "a moof inside the moof at offset M is not read"},
        {"track 1: the run at offset M+48 reaches past the end of the file: 3 samples are not placed"},
        {"1 track runs overlap the data of an earlier run"},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const Bytes file = cases[c].file();
        // The moof follows the movie box: "M" stands for its offset.
        const auto relative = [&](std::string s) {
            for (std::size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at + 1)) {
                const std::size_t end = s.find(' ', at);
                const std::uint64_t v = std::stoull(s.substr(at + 1, end - at - 1));
                s.replace(at + 1, end - at - 1, "M+" + std::to_string(v - h));
            }
            const std::string m = "offset " + std::to_string(h);
            for (std::size_t at = s.find("offset "); at != std::string::npos; at = s.find("offset ", at + 1)) {
                const std::size_t end = std::min(s.find_first_of(" :,", at + 7), s.size());
                const std::uint64_t v = std::stoull(s.substr(at + 7, end - at - 7));
                s.replace(at + 7, end - at - 7, v == h ? "M" : "M+" + std::to_string(v - h));
            }
            return s;
        };
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            const auto o = Open(file, view);
            ASSERT_TRUE(o->list) << cases[c].name;
            std::vector<std::string> got;
            for (const std::string& s : Listed(*o->list)) got.push_back(relative(s));
            EXPECT_EQ(got, want[c]) << cases[c].name;
            std::vector<std::string> gotNotes;
            for (const std::string& n : o->list->notes) gotNotes.push_back(relative(n));
            EXPECT_EQ(gotNotes, notes[c]) << cases[c].name;
        }
    }
}

// The full view places the fragments while it walks, on the movie seen
// before the first moof; whatever the movie turns out to be, the layout is
// the one a reading of the moofs after the walk gives.
TEST(FragmentSamples, PlacingDuringTheWalkMatchesAPlacingAfterIt) {
    const TrackDef v{1, 1000, std::array<std::uint32_t, 3>{40, 10, 0x10000}};
    // A movie whose track already holds three samples of 10 bytes and 40 ticks.
    const auto moovWithSamples = [&](std::uint32_t chunkOffset) {
        const Bytes stbl = Box("stbl", {FullBox("stsd", 0, 0, Cat({U32(1), Box("avc1", Zeros(78))})),
                                        FullBox("stts", 0, 0, Cat({U32(1), U32(3), U32(40)})),
                                        FullBox("stsc", 0, 0, Cat({U32(1), U32(1), U32(3), U32(1)})),
                                        FullBox("stsz", 0, 0, Cat({U32(10), U32(3)})),
                                        FullBox("stco", 0, 0, Cat({U32(1), U32(chunkOffset)}))});
        const Bytes trak = Box("trak", {FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(1), Zeros(68)})),
                                        Box("mdia", {FullBox("mdhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(0), U16(0x55C4), U16(0)})),
                                                     FullBox("hdlr", 0, 0, Cat({U32(0), Text("vide"), Zeros(12), U8(0)})),
                                                     Box("minf", {stbl})})});
        return Box("moov", {FullBox("mvhd", 0, 0, Cat({U32(0), U32(0), U32(1000), U32(0), Zeros(80)})), trak,
                            Box("mvex", {FullBox("trex", 0, 0, Cat({U32(1), U32(1), U32(40), U32(10), U32(0x10000)}))})});
    };
    // A moof of two samples in track 1, its data right after it; tfdt when given.
    const auto fragment = [&](std::uint64_t at, std::optional<std::uint32_t> tfdt) {
        return Cat({Placed(at, [&](std::uint64_t, std::uint64_t size) {
                        Bytes traf = Tfhd(0x20000, 1);
                        if (tfdt) traf = Cat({traf, FullBox("tfdt", 0, 0, U32(*tfdt))});
                        traf = Cat({traf, FullBox("trun", 0, 1, Cat({U32(2), U32(static_cast<std::uint32_t>(size + 8))}))});
                        return Box("moof", {FullBox("mfhd", 0, 0, U32(1)), Box("traf", traf)});
                    }),
                    Mdat(20)});
    };
    const Bytes empty = Cat({kFtyp, Moov({v})});
    const Bytes withSamples = Cat({kFtyp, moovWithSamples(0)});
    struct Case {
        const char* name;
        Bytes bytes;
        std::uint64_t movieSamples;  // in the movie's own tables
    };
    const std::vector<Case> files = {
        {"an empty movie", Cat({empty, fragment(empty.size(), 0), fragment(empty.size() + 100, std::nullopt)}), 0},
        {"a movie with samples of its own, fragments without tfdt",
         Cat({withSamples, fragment(withSamples.size(), std::nullopt), Mdat(30)}), 3},
        {"a movie with samples of its own, fragments with tfdt",
         Cat({withSamples, fragment(withSamples.size(), 120), Mdat(30)}), 3},
        {"the movie after the fragments", Cat({kFtyp, fragment(kFtyp.size(), std::nullopt), Moov({v})}), 0},
        {"a media segment without a movie", Cat({Box("styp", Cat({Text("msdh"), U32(0)})), fragment(16, 0)}), 0},
    };
    const auto runText = [](const PlacedRun& r) {
        return std::to_string(r.trackId) + " trun@" + std::to_string(r.trunOffset) + " data@" + std::to_string(r.dataStart) +
               " dts " + std::to_string(r.dtsStart) + " #" + std::to_string(r.firstNumber) + " x" + std::to_string(r.count) +
               " start " + std::to_string(static_cast<int>(r.start));
    };
    for (const auto& [name, bytes, movieSamples] : files) {
        const auto o = Open(bytes, ViewKind::Full);
        const full::FullParse* parse = o->doc.Full();
        ASSERT_NE(parse, nullptr) << name;
        FileSource file(o->file->Path());
        const MovieExtends movie = ReadMovieExtends(file, file.Size(), false);
        std::vector<TrackStart> starts;
        for (const full::TrackSummary& t : parse->summary.tracks)
            starts.push_back({t.trackId, t.timescale, t.tableDuration, movieSamples});
        const FragmentLayout after = PlaceFragments(file, file.Size(), movie, starts, nullptr);
        std::vector<std::string> want, got;
        for (const PlacedRun& r : after.runs) want.push_back(runText(r));
        for (const PlacedRun& r : parse->fragments.runs) got.push_back(runText(r));
        EXPECT_FALSE(want.empty()) << name;
        EXPECT_EQ(got, want) << name;
        EXPECT_EQ(parse->fragments.notes, after.notes) << name;
        ASSERT_EQ(parse->fragments.totals.size(), after.totals.size()) << name;
        for (std::size_t i = 0; i < after.totals.size(); ++i) {
            EXPECT_EQ(parse->fragments.totals[i].samples, after.totals[i].samples) << name;
            EXPECT_EQ(parse->fragments.totals[i].duration, after.totals[i].duration) << name;
        }
        EXPECT_EQ(parse->fragments.moofs, after.moofs) << name;
        // The open sums whole runs; the list takes them sample by sample.
        ASSERT_TRUE(o->list) << name;
        for (const FragmentTotals& t : parse->fragments.totals) {
            std::uint64_t listed = 0, bytes = 0, sync = 0;
            for (const SampleTrack& track : o->list->tracks)
                for (std::size_t i = track.id == t.trackId ? track.movieSamples : track.samples.size(); i < track.samples.size(); ++i) {
                    ++listed;
                    if (track.samples[i].size != kUnknownSampleValue) bytes += track.samples[i].size;
                    sync += track.samples[i].key;
                }
            EXPECT_EQ(listed, t.samples) << name;
            EXPECT_EQ(bytes, t.bytes) << name;
            EXPECT_EQ(sync, t.syncSamples) << name;
        }
    }
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

using namespace test;

// One moof after a movie whose trex gives duration 40, size 10 and non-sync
// flags: the tfhd gives the size 12, the trun (version 1) first_sample_flags
// and a negative composition offset; an mfra points at the moof.
Bytes RunFile() {
    const TrackDef track{1, 1000, std::array<std::uint32_t, 3>{40, 10, 0x10000}};
    const Bytes head = Cat({kFtyp, Moov({track})});
    const Bytes moof = Placed(head.size(), [&](std::uint64_t, std::uint64_t size) {
        const Bytes trun = FullBox("trun", 1, 0x805,
                                   Cat({U32(2), U32(static_cast<std::uint32_t>(size + 8)), U32(0x02000000), U32(80),
                                        U32(static_cast<std::uint32_t>(-40))}));
        return Box("moof", {FullBox("mfhd", 0, 0, U32(1)),
                            Box("traf", {Tfhd(0x20010, 1, {U32(12)}), FullBox("tfdt", 1, 0, U64(1000)), trun})});
    });
    const Bytes tfra = FullBox("tfra", 1, 0, Cat({U32(1), U32(0), U32(2), U64(1000), U64(head.size()), U8(1), U8(1), U8(1),
                                                  U64(9), U64(12345), U8(1), U8(1), U8(1)}));
    return Cat({head, moof, Mdat(30), Box("mfra", {tfra, FullBox("mfro", 0, 0, U32(16 + tfra.size()))})});
}

TEST(FragmentSamples, TrunLinesSayWhereEachValueComesFrom) {
    const Bytes file = RunFile();
    const std::uint64_t moov = Cat({kFtyp, Moov({{1, 1000, std::array<std::uint32_t, 3>{40, 10, 0x10000}}})}).size();
    const auto o = Open(file, ViewKind::Full);
    const FullLines run = FullClick(o->doc, FullNodeOf(o->doc, "trun"));
    // trex: at moov - 12 (duration, size, flags at its last 12 bytes); tfhd's size after its track_ID.
    const std::uint64_t trex = moov - 12, tfhdSize = moov + 8 + 16 + 8 + 12 + 4, trunBody = tfhdSize + 4 + 20 + 8;
    const std::uint64_t data = moov + 104 + 8;  // the moof is 104 bytes
    const auto text = [](std::uint64_t v) { return GroupedText(v, {}); };
    const std::vector<std::string> want = {
        Shown("version               : 1 (0X01)", R(trunBody, 1)),
        Shown("flags                 : 2,053 (0X000805) data-offset-present, first-sample-flags-present, "
              "sample-composition-time-offsets-present", R(trunBody + 1, 3)),
        Shown("sample_count          : 2 (0X00000002)", R(trunBody + 4, 4)),
        Shown("data_offset           : 112 (0X00000070)", R(trunBody + 8, 4)),
        Shown("first_sample_flags    : 33,554,432 (0X02000000) is_leading 0, sample_depends_on 2, "
              "sample_is_depended_on 0, sample_has_redundancy 0, sample_padding_value 0, sample_is_non_sync_sample 0, "
              "sample_degradation_priority 0", R(trunBody + 12, 4)),
        Shown("first sample at       : = " + text(data) +
                  " (the first byte of the moof (default-base-is-moof) + data_offset)", {}),
        Shown("first sample DTS      : = 1,000 (tfdt)", {}),
        Shown("first sample in track : = #1", {}),
        Shown("   sample #1   : track sample #1, offset " + text(data) +
                  ", DTS 1,000, CTS 1,080, sample_duration 40 (trex default), sample_size 12 (tfhd default), "
                  "sample_composition_time_offset 80 (0X00000050), sample_flags 33,554,432 (first_sample_flags): "
                  "is_leading 0, depends_on 2, is_depended_on 0, has_redundancy 0, padding 0, non-sync 0, "
                  "degradation_priority 0", R(trunBody + 16, 4)),
        Shown("      sample_duration: 40 (0X00000028) (trex default)", R(trex, 4)),
        Shown("      sample_size: 12 (0X0000000C) (tfhd default)", R(tfhdSize, 4)),
        Shown("      sample_flags: 33,554,432 (0X02000000) (first_sample_flags)", R(trunBody + 12, 4)),
        Shown("   sample #2   : track sample #2, offset " + text(data + 12) +
                  ", DTS 1,040, CTS 1,000, sample_duration 40 (trex default), sample_size 12 (tfhd default), "
                  "sample_composition_time_offset -40 (0XFFFFFFD8), sample_flags 65,536 (trex default): "
                  "is_leading 0, depends_on 0, is_depended_on 0, has_redundancy 0, padding 0, non-sync 1, "
                  "degradation_priority 0", R(trunBody + 20, 4)),
        Shown("      sample_duration: 40 (0X00000028) (trex default)", R(trex, 4)),
        Shown("      sample_size: 12 (0X0000000C) (tfhd default)", R(tfhdSize, 4)),
        Shown("      sample_flags: 65,536 (0X00010000) (trex default)", R(trex + 8, 4)),
    };
    EXPECT_EQ(Shown(run), want);
    o->doc.TreeView1Click(FullNodeOf(o->doc, "trun"));
    EXPECT_EQ(CheckPaneRanges(o->doc, "trun"), std::vector<std::string>{});

    // The tfra's first entry points at that moof, its second at no box.
    const FullLines tfra = FullClick(o->doc, FullNodeOf(o->doc, "tfra"));
    ASSERT_GE(tfra.lines.size(), 2u);
    EXPECT_NE(tfra.lines[tfra.lines.size() - 2].find(", the moof #1 of the file"), std::string::npos);
    EXPECT_NE(tfra.lines.back().find(", no moof starts there"), std::string::npos);

    // The summary counts the fragment's samples and its duration.
    o->doc.TreeView1Click(0);
    const std::vector<std::string>& summary = o->doc.FileInfoPane().Lines();
    EXPECT_NE(std::find(summary.begin(), summary.end(), "Fragmented          : yes: 1 fragments"), summary.end());
    EXPECT_NE(std::find(summary.begin(), summary.end(), "Samples             : 2, 1 sync samples"), summary.end());
}

// A media segment alone: the sizes come from its tfhd, the durations and flags
// only from the initialisation segment it lacks; with that one, all are known.
TEST(FragmentSamples, ASegmentAloneAndWithItsInitialisationSegment) {
    const TrackDef track{1, 1000, std::array<std::uint32_t, 3>{40, 10, 0}};
    const Bytes init = Cat({kFtyp, Moov({track})});
    const Bytes segment = Cat({Box("styp", Cat({Text("msdh"), U32(0)})),
                               Placed(16, [&](std::uint64_t, std::uint64_t size) {
                                   return Box("moof", {FullBox("mfhd", 0, 0, U32(7)),
                                                       Box("traf", {Tfhd(0x20010, 1, {U32(12)}),
                                                                    FullBox("trun", 0, 1, Cat({U32(2), U32(static_cast<std::uint32_t>(size + 8))}))})});
                               }),
                               Mdat(24)});
    const std::uint64_t data = 16 + 72 + 8;  // styp 16, moof 72
    const auto alone = Open(segment, ViewKind::Full);
    ASSERT_TRUE(alone->list);
    EXPECT_EQ(Listed(*alone->list), (std::vector<std::string>{"1 #1 @" + std::to_string(data) + " t0 12 -",
                                                             "1 #2 @" + std::to_string(data + 12) + " t? 12 -"}));
    const FullLines lines = FullClick(alone->doc, FullNodeOf(alone->doc, "trun"));
    EXPECT_NE(std::find(lines.lines.begin(), lines.lines.end(), "      sample_duration: (default in the initialisation segment)"),
              lines.lines.end());

    TempFile initFile(init, "init.mp4");
    const auto both = Open(segment, ViewKind::Full, initFile.Path());
    ASSERT_TRUE(both->list);
    EXPECT_EQ(Listed(*both->list), (std::vector<std::string>{"1 #1 @" + std::to_string(data) + " t0 12 K",
                                                            "1 #2 @" + std::to_string(data + 12) + " t40 12 K"}));
    const FullLines withInit = FullClick(both->doc, FullNodeOf(both->doc, "trun"));
    EXPECT_NE(std::find(withInit.lines.begin(), withInit.lines.end(),
                        "      sample_duration: 40 (0X00000028) (trex default, in the initialisation segment)"),
              withInit.lines.end());
}

}  // namespace
}  // namespace kestrova
