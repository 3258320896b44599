// `kestrova-dump --samples` against `ffprobe -show_packets` on files ffmpeg
// makes: every sample's size, file offset, key flag and decode time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>


#include "support/Ffprobe.h"
#include "support/Process.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

struct Row {
    std::int64_t dts = 0;   // ours in the track's timescale; ffprobe's in the stream's time base
    std::uint64_t size = 0, pos = 0;
    bool key = false;
};

struct OurTrack {
    std::uint32_t id = 0;
    std::int64_t timescale = 0;
    std::vector<Row> rows;
};

std::vector<OurTrack> DumpSamples(const std::string& path) {
    const auto r = test::Run(std::string(KESTROVA_DUMP_PATH) + " --samples " + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0);
    std::istringstream in(r.output);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "track,sample,dts,timescale,duration,size,offset,key");
    std::vector<OurTrack> tracks;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string f[8];
        for (auto& field : f) std::getline(fields, field, ',');
        const auto id = static_cast<std::uint32_t>(std::stoul(f[0]));
        if (tracks.empty() || tracks.back().id != id) tracks.push_back({id, std::stoll(f[3]), {}});
        tracks.back().rows.push_back({std::stoll(f[2]), std::stoull(f[5]), std::stoull(f[6]), f[7] == "1"});
    }
    return tracks;
}

struct File {
    std::string name;
    std::string ffmpegArgs;
    bool aviDropsEmpty = false;  // ffprobe leaves out the empty index entries that we list
    bool checkAudioTimes = true;
};

std::vector<File> Files() {
    return {
        {"h264_aac_bframes.mp4",
         "-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i sine=sample_rate=48000 -t 3 "
         "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac"},
        {"mpeg4_mp3.avi",
         "-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i sine=sample_rate=44100 -t 3 "
         "-c:v mpeg4 -g 10 -c:a libmp3lame -b:a 64k",
         true, false},
        {"mjpeg_no_stss.mp4", "-f lavfi -i testsrc2=size=96x64:rate=10 -t 2 -c:v mjpeg"},
    };
}

class SamplesMatchFfprobe : public ::testing::TestWithParam<File> {};

TEST_P(SamplesMatchFfprobe, SizeOffsetKeyAndDecodeTime) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    const File& file = GetParam();
    std::string dir = (fs::temp_directory_path() / "kestrova-samples-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string path = dir + "/" + file.name;
    const auto made = test::Run("ffmpeg -nostdin -v error -y " + file.ffmpegArgs + " " + ShellQuote(path), true);
    ASSERT_EQ(made.exitCode, 0) << made.output;

    const std::vector<OurTrack> ours = DumpSamples(path);
    const std::vector<test::ProbedStream> probe = test::ProbePackets(path);
    fs::remove_all(dir);
    ASSERT_EQ(ours.size(), probe.size());
    if (file.name == "mjpeg_no_stss.mp4") {
        ASSERT_FALSE(ours[0].rows.empty());
        for (const Row& r : ours[0].rows) EXPECT_TRUE(r.key);  // no stss: every sample is a sync sample
    }
    for (std::size_t t = 0; t < ours.size(); ++t) {
        SCOPED_TRACE("track " + std::to_string(ours[t].id) + " (" + probe[t].type + ")");
        std::vector<Row> mine;
        for (const Row& r : ours[t].rows)
            if (!(file.aviDropsEmpty && r.size == 0)) mine.push_back(r);
        const test::ProbedStream& p = probe[t];
        ASSERT_EQ(mine.size(), p.packets.size());
        ASSERT_FALSE(mine.empty());
        const bool times = p.type == "video" || file.checkAudioTimes;
        // Seconds as exact fractions: ours dts / timescale, ffprobe's dts x num / den. They may differ
        // by one shift per track (the edit list), so the difference must stay what it is at the start.
        auto difference = [&](std::size_t i) {
            return mine[i].dts * p.tbDen - p.packets[i].dts * p.tbNum * ours[t].timescale;
        };
        const std::int64_t shift = difference(0);
        for (std::size_t i = 0; i < mine.size(); ++i) {
            SCOPED_TRACE("sample " + std::to_string(i + 1));
            EXPECT_EQ(mine[i].size, p.packets[i].size);
            EXPECT_EQ(mine[i].pos, p.packets[i].pos);
            EXPECT_EQ(mine[i].key, p.packets[i].key);
            if (times) {
                EXPECT_EQ(difference(i), shift);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, SamplesMatchFfprobe, ::testing::ValuesIn(Files()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// Real files disagree with ffprobe in ways of their own (packets made of whole chunks of
// constant-size audio, hint tracks, cover pictures, fragments), so only the tracks where
// both list as many samples are compared, by size and offset; every file must list.
TEST(SamplesCorpus, RealFilesListTheSamplesFfprobeReads) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    std::size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        const std::string ext = entry.path().extension().string();
        if (ext == ".tsv") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<OurTrack> ours = DumpSamples(path);
        const std::vector<test::ProbedStream> probe = test::ProbePackets(path);
        for (const OurTrack& track : ours) {
            std::vector<Row> mine;
            for (const Row& r : track.rows)
                if (!(ext == ".avi" && r.size == 0)) mine.push_back(r);
            const auto same = std::find_if(probe.begin(), probe.end(),
                                           [&](const test::ProbedStream& p) { return p.trackId == track.id; });
            if (same == probe.end() || mine.size() != same->packets.size()) continue;
            ++compared;
            const std::uint64_t fileSize = fs::file_size(entry.path());
            for (std::size_t i = 0; i < mine.size(); ++i) {
                // ffprobe gives a sample cut short by the end of the file the size it could read.
                const std::uint64_t readable = std::min(mine[i].size, fileSize - std::min(mine[i].pos, fileSize));
                ASSERT_EQ(readable, same->packets[i].size) << "track " << track.id << " sample " << i + 1;
                ASSERT_EQ(mine[i].pos, same->packets[i].pos) << "track " << track.id << " sample " << i + 1;
            }
        }
    }
    EXPECT_GT(compared, 0u);
}

TEST(SamplesDump, ExitStatusAndAFileThatIsNoMovie) {
    const std::string dump = KESTROVA_DUMP_PATH;
    const auto missing = test::Run(dump + " --samples /nonexistent/file.mp4", true);
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_NE(missing.output.find("File Open Fail!!! - /nonexistent/file.mp4: no samples to list"), std::string::npos);
    EXPECT_EQ(test::Run(dump + " --samples --click 1 /nonexistent/file.mp4").exitCode, 2);
    EXPECT_EQ(test::Run(dump + " --samples --json /nonexistent/file.mp4").exitCode, 2);
}

}  // namespace
}  // namespace kestrova
