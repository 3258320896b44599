// Fragmented files ffmpeg makes, and those of the corpus, against
// `ffprobe -show_packets`: every fragment sample's size, file offset, key flag
// and decode time from `kestrova-dump --samples` in both views, and its
// presentation time from the full view's trun lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <map>
#include <optional>
#include <regex>
#include <sstream>


#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "shell/StreamSamples.h"
#include "support/BoxWriter.h"
#include "support/Ffprobe.h"
#include "support/Process.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

struct Packet {
    std::int64_t dts = 0, pts = 0;  // ours in the track's timescale; ffprobe's in the stream's time base
    std::uint64_t size = 0, pos = 0;
    bool key = false;
};

struct Track {
    std::uint32_t id = 0;
    std::int64_t timescale = 0;  // ours; ffprobe's time base as num/den
    std::int64_t tbNum = 1, tbDen = 1;
    std::string type;
    std::vector<Packet> packets;
};

std::vector<Track> DumpSamples(const std::string& path, const std::string& options) {
    const auto r = test::Run(std::string(KESTROVA_DUMP_PATH) + " --samples " + options + " " + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0);
    std::istringstream in(r.output);
    std::string line;
    std::getline(in, line);
    std::vector<Track> tracks;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string f[8];
        for (auto& field : f) std::getline(fields, field, ',');
        const auto id = static_cast<std::uint32_t>(std::stoul(f[0]));
        if (tracks.empty() || tracks.back().id != id) tracks.push_back({id, std::stoll(f[3])});
        // A value only an unread initialisation segment gives is empty: -1 here, which no packet matches.
        const auto value = [](const std::string& v) { return v.empty() ? -1 : std::stoll(v); };
        tracks.back().packets.push_back({value(f[2]), 0, static_cast<std::uint64_t>(value(f[5])),
                                         static_cast<std::uint64_t>(value(f[6])), f[7] == "1"});
    }
    return tracks;
}

// ffprobe's streams in the shape of ours.
std::vector<Track> Probe(const std::string& path) {
    std::vector<Track> out;
    for (const test::ProbedStream& s : test::ProbePackets(path)) {
        Track t{s.trackId, 0, s.tbNum, s.tbDen, s.type, {}};
        for (const test::ProbedPacket& p : s.packets) t.packets.push_back({p.dts, p.pts, p.size, p.pos, p.key});
        out.push_back(std::move(t));
    }
    return out;
}

// (track, number in track) -> offset, DTS and CTS, from every trun line of the full view.
std::map<std::pair<std::uint32_t, std::uint64_t>, Packet> TrunLines(const std::string& path, const std::string& init) {
    static const std::regex line(
        R"(^   sample #[0-9,]+ *: track sample #([0-9,]+), offset ([0-9,]+), DTS ([0-9,]+), CTS (-?[0-9,]+), .*sample_size ([0-9,]+))");
    const auto number = [](std::string s) {
        std::erase(s, ',');
        return std::stoll(s);
    };
    std::map<std::pair<std::uint32_t, std::uint64_t>, Packet> out;
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.SetInitialisationPath(init);
    doc.OpenFile(path);
    for (const PlacedRun& run : doc.Full()->fragments.runs) {
        for (const full::FullRecord& r : doc.Full()->records) {
            if (r.offset != run.trunOffset) continue;
            doc.TreeView1Click(std::int64_t{r.index} + 1);
            for (const std::string& text : doc.BoxDescriptionPane().Lines()) {
                std::smatch m;
                if (!std::regex_search(text, m, line)) continue;
                out[{run.trackId, static_cast<std::uint64_t>(number(m[1]))}] = {
                    number(m[3]), number(m[4]), static_cast<std::uint64_t>(number(m[5])),
                    static_cast<std::uint64_t>(number(m[2])), false};
            }
            break;
        }
    }
    return out;
}

// Compares what we list with what ffprobe reads; shiftPos moves ffprobe's
// positions (a segment probed behind its initialisation segment).
void Compare(const std::string& path, const std::string& probePath, const std::string& init, std::int64_t shiftPos) {
    const std::vector<Track> probe = Probe(probePath);
    const std::string initOption = init.empty() ? "" : " --init " + ShellQuote(init);
    const auto lines = TrunLines(path, init);
    std::size_t checked = 0;
    for (const std::string& view : {std::string(init.empty() ? "" : "--full" + initOption), std::string("--full" + initOption)}) {
        SCOPED_TRACE(view.empty() ? "classic view" : view);
        const std::vector<Track> ours = DumpSamples(path, view);
        ASSERT_EQ(ours.size(), probe.size());
        for (std::size_t t = 0; t < ours.size(); ++t) {
            const Track& mine = ours[t];
            const Track& p = probe[t];
            SCOPED_TRACE("track " + std::to_string(mine.id) + " (" + p.type + ")");
            ASSERT_EQ(mine.packets.size(), p.packets.size());
            ASSERT_FALSE(mine.packets.empty());
            // Times as exact fractions; ffmpeg may shift a track as a whole (an edit list), by as much at every sample.
            const auto dtsDifference = [&](std::size_t i) {
                return mine.packets[i].dts * p.tbDen - p.packets[i].dts * p.tbNum * mine.timescale;
            };
            const std::int64_t shift = dtsDifference(0);
            // ffmpeg moves every presentation time of a track by as much (its edit list).
            const auto ctsDifference = [&](std::size_t i, const Packet& line) {
                return (line.pts - line.dts) * p.tbDen - (p.packets[i].pts - p.packets[i].dts) * p.tbNum * mine.timescale;
            };
            std::optional<std::int64_t> ctsShift;
            // The movie box's samples come first and have no trun line; from the first that has one, all have.
            std::uint64_t firstInRun = ~0ull;
            for (const auto& [key, line] : lines)
                if (key.first == mine.id) firstInRun = std::min(firstInRun, key.second);
            ASSERT_NE(firstInRun, ~0ull);
            for (std::size_t i = 0; i < mine.packets.size(); ++i) {
                SCOPED_TRACE("sample " + std::to_string(i + 1));
                ASSERT_EQ(mine.packets[i].size, p.packets[i].size);
                ASSERT_EQ(static_cast<std::int64_t>(mine.packets[i].pos) + shiftPos, static_cast<std::int64_t>(p.packets[i].pos));
                ASSERT_EQ(mine.packets[i].key, p.packets[i].key);
                ASSERT_EQ(dtsDifference(i), shift);
                if (i + 1 < firstInRun) continue;
                const auto it = lines.find({mine.id, i + 1});
                ASSERT_NE(it, lines.end());
                EXPECT_EQ(it->second.pos, mine.packets[i].pos);
                EXPECT_EQ(it->second.dts, mine.packets[i].dts);
                EXPECT_EQ(it->second.size, mine.packets[i].size);
                // The trun's composition offset is ffprobe's pts - dts, but for one shift per track.
                if (!ctsShift) ctsShift = ctsDifference(i, it->second);
                EXPECT_EQ(ctsDifference(i, it->second), *ctsShift);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 0u);
}

struct Variant {
    std::string name;
    std::string args;  // output options
};

std::vector<Variant> Variants() {
    const std::string video =
        "-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i sine=sample_rate=48000 -t 4 "
        "-c:v libx264 -bf 2 -g 25 -pix_fmt yuv420p -c:a aac ";
    return {
        {"empty_moov", video + "-movflags frag_keyframe+empty_moov"},
        {"default_base_moof", video + "-movflags frag_keyframe+empty_moov+default_base_moof"},
        {"separate_moof", video + "-movflags frag_keyframe+empty_moov+separate_moof"},
        {"frag_duration", video + "-movflags empty_moov -frag_duration 700000"},
        {"negative_cts_offsets", video + "-movflags frag_keyframe+empty_moov+negative_cts_offsets"},
        {"cmaf", video + "-movflags +cmaf+frag_keyframe+empty_moov"},
        {"moov_then_fragments", video + "-movflags frag_keyframe -frag_duration 1000000"},
    };
}

class FragmentsMatchFfprobe : public ::testing::TestWithParam<Variant> {};

TEST_P(FragmentsMatchFfprobe, SizeOffsetKeyAndTimes) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-frag-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string path = dir + "/" + GetParam().name + ".mp4";
    const auto made = test::Run("ffmpeg -nostdin -v error -y " + GetParam().args + " " + ShellQuote(path), true);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Compare(path, path, "", 0);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, FragmentsMatchFfprobe, ::testing::ValuesIn(Variants()),
                         [](const auto& info) { return info.param.name; });

// DASH: each media segment read with its initialisation segment, against
// ffprobe on the two joined (where every position moves by the init's size).
TEST(FragmentsDash, SegmentsWithTheirInitialisationSegment) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-dash-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const auto made = test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25 -t 4 "
                                "-c:v libx264 -g 25 -pix_fmt yuv420p -f dash -seg_duration 1 " +
                                    ShellQuote(dir + "/stream.mpd"),
                                true);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string init = dir + "/init-stream0.m4s";
    ASSERT_TRUE(fs::exists(init));
    int segments = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("chunk-stream0-", 0) != 0) continue;
        SCOPED_TRACE(name);
        const std::string joined = dir + "/joined-" + name + ".mp4";
        ASSERT_EQ(test::Run("cat " + ShellQuote(init) + " " + ShellQuote(entry.path().string()) + " > " + ShellQuote(joined)).exitCode, 0);
        Compare(entry.path().string(), joined, init, static_cast<std::int64_t>(fs::file_size(init)));

        // Alone, the segment still lists its samples where the tfhd gives their values.
        const auto alone = test::Run(std::string(KESTROVA_DUMP_PATH) + " --full --samples " + ShellQuote(entry.path().string()));
        EXPECT_EQ(alone.exitCode, 0);
        EXPECT_GT(std::count(alone.output.begin(), alone.output.end(), '\n'), 1);
        ++segments;
    }
    EXPECT_GE(segments, 3);
    fs::remove_all(dir);
}

// Every fragmented file of the corpus: the tracks ffprobe and we list alike are compared.
TEST(FragmentsCorpus, FragmentedRealFilesMatchFfprobe) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    std::size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(path);
        if (!doc.Full() || doc.Full()->fragments.runs.empty()) continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<Track> probe = Probe(path);
        for (const Track& mine : DumpSamples(path, "--full")) {
            const auto same = std::find_if(probe.begin(), probe.end(), [&](const Track& p) { return p.id == mine.id; });
            if (same == probe.end() || same->packets.size() != mine.packets.size()) continue;
            ++compared;
            for (std::size_t i = 0; i < mine.packets.size(); ++i) {
                ASSERT_EQ(mine.packets[i].size, same->packets[i].size) << "track " << mine.id << " sample " << i + 1;
                ASSERT_EQ(mine.packets[i].pos, same->packets[i].pos) << "track " << mine.id << " sample " << i + 1;
            }
        }
    }
    EXPECT_GT(compared, 0u);
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

// Damaged fragments: the fragmented files of the corpus and samples/, each
// mutated in seeded ways (bits flipped, sizes and counts replaced, cut short),
// open in both views, describe every box, list their samples in decode order
// inside the file, and lead a double-click back to a box.
TEST(FragmentsRobustness, MutatedFragmentedFiles) {
    std::vector<std::string> files = {KESTROVA_SAMPLES_DIR "/fragmented.mp4"};
    if (const std::string folder = test::CorpusDir(); !folder.empty())
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.find("fragment") != std::string::npos || name.find("m4s") != std::string::npos ||
                name.find("dash") != std::string::npos)
                files.push_back(entry.path().string());
        }
    std::mt19937 rng(20261209);
    static const std::uint32_t words[] = {0, 1, 8, 0x7FFFFFFF, 0xFFFFFFFF, 0x10000, 0x20000, 0x80000000};
    for (const std::string& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> original((std::istreambuf_iterator<char>(in)), {});
        if (original.size() > (4u << 20)) continue;
        SCOPED_TRACE(path);
        for (int round = 0; round < 12; ++round) {
            std::vector<std::uint8_t> bytes = original;
            std::uniform_int_distribution<std::size_t> pos(0, bytes.size() - 1);
            for (int e = 1 + static_cast<int>(rng() % 4); e > 0; --e) {
                const std::size_t at = pos(rng) & ~std::size_t{3};
                switch (rng() % 3) {
                case 0: bytes[pos(rng)] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
                case 1:
                    if (at + 4 <= bytes.size())
                        for (int k = 0; k < 4; ++k)
                            bytes[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(words[rng() % 8] >> (24 - 8 * k));
                    break;
                default: bytes.resize(std::max<std::size_t>(1, pos(rng))); break;
                }
            }
            const test::TempFile file(bytes, "mutated.mp4");
            for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
                Document doc;
                doc.SetView(view);
                doc.OpenFile(file.Path());
                const std::vector<std::string> ranges = test::CheckDescriptionRanges(doc);
                EXPECT_TRUE(ranges.empty()) << "round " << round << ": " << ranges.front();
                const std::optional<SampleList> list = BuildDocumentSampleList(doc);
                if (!list) continue;
                for (const SampleTrack& t : list->tracks) {
                    std::uint64_t lastDts = 0;
                    for (const Sample& s : t.samples) {
                        if (s.offset != kUnknownSamplePlace) {
                            ASSERT_LE(s.offset, doc.FileSize()) << "round " << round;
                        }
                        if (s.dts == kUnknownSamplePlace) continue;
                        ASSERT_GE(s.dts, lastDts) << "round " << round << ", track " << t.id << ", sample " << s.number;
                        lastDts = s.dts;
                    }
                    if (!t.samples.empty()) ClickSampleSource(doc, t, t.samples.back());
                }
            }
        }
    }
}

}  // namespace
}  // namespace kestrova
