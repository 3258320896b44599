// The full view of AVI files ffmpeg makes, against ffprobe: every packet's
// size, position and key flag (from idx1, from the OpenDML indexes across RIFF
// parts, or from a scan of movi when the index was cut off), the summary's
// stream values, and every description line's bytes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "avi/full/AviFull.h"
#include "common/Formatters.h"
#include "shell/Document.h"
#include "shell/StreamSamples.h"
#include "support/Process.h"
#include "support/RangeChecker.h"
#include "tools/DumpState.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

struct Packet {
    std::uint64_t size = 0, pos = 0;
    bool key = false;
    friend bool operator==(const Packet&, const Packet&) = default;
};

struct Probe {
    std::vector<std::vector<Packet>> packets;  // per stream
    std::vector<std::vector<std::int64_t>> dts;
    Json streams;
};

Probe RunProbe(const std::string& path) {
    const auto r = test::Run("ffprobe -v error -of json -show_streams -show_entries packet=stream_index,size,pos,flags,dts " +
                             ShellQuote(path));
    const Json j = Json::parse(r.output, nullptr, false);
    Probe p;
    if (!j.is_object()) return p;
    p.streams = j.value("streams", Json::array());
    p.packets.resize(p.streams.size());
    p.dts.resize(p.streams.size());
    for (const Json& k : j.value("packets", Json::array())) {
        const auto s = k.value("stream_index", std::size_t{0});
        if (s >= p.packets.size()) continue;
        p.packets[s].push_back({std::stoull(k.value("size", std::string("0"))), std::stoull(k.value("pos", std::string("0"))),
                                k.value("flags", std::string("_")).front() == 'K'});
        p.dts[s].push_back(k.value("dts", std::int64_t{-1}));
    }
    return p;
}

class TempDir {
public:
    TempDir() {
        path_ = (fs::temp_directory_path() / "kestrova-avifull-XXXXXX").string();
        if (!mkdtemp(path_.data())) path_.clear();
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Compares our samples with ffprobe's packets. ffprobe leaves out empty
// chunks; a cut file's last chunk it gives the size it could read, which we
// leave out. Scanned samples carry no key flag, so keys are compared only when
// every sample came from an index.
void ExpectPacketsMatch(Document& doc, const Probe& probe, bool cut) {
    const auto list = BuildDocumentSampleList(doc);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->tracks.size(), probe.packets.size());
    const bool scanned = std::any_of(list->notes.begin(), list->notes.end(),
                                     [](const std::string& n) { return n.find("scanning movi") != std::string::npos; });
    for (std::size_t t = 0; t < list->tracks.size(); ++t) {
        SCOPED_TRACE("stream " + std::to_string(t));
        std::vector<Packet> ours;
        for (const Sample& s : list->tracks[t].samples)
            if (s.size != 0) ours.push_back({s.size, s.offset, scanned ? false : s.key != 0});
        std::vector<Packet> theirs = probe.packets[t];
        if (scanned)
            for (Packet& p : theirs) p.key = false;
        if (cut && theirs.size() == ours.size() + 1) theirs.pop_back();
        ASSERT_FALSE(ours.empty());
        ASSERT_EQ(ours.size(), theirs.size());
        for (std::size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "packet " << i + 1;
        // PCM packs many samples in a chunk; its times count them, in ffprobe's time base of one sample.
        const full::AviFullParse* parse = doc.AviFull();
        if (parse && parse->layout.streams[t].sampleSize != 0 && probe.streams[t].value("time_base", "") ==
                                                                   "1/" + std::to_string(parse->layout.streams[t].rate)) {
            std::vector<std::int64_t> mine;
            for (const Sample& s : list->tracks[t].samples)
                if (s.size != 0) mine.push_back(static_cast<std::int64_t>(static_cast<std::uint64_t>(s.dts)));
            std::vector<std::int64_t> want(probe.dts[t].begin(), probe.dts[t].begin() + static_cast<std::ptrdiff_t>(mine.size()));
            EXPECT_EQ(mine, want);
        }
    }
}

// The summary's values that ffprobe reports too.
void ExpectSummaryMatches(const Document& doc, const Probe& probe) {
    const auto& streams = doc.AviFull()->summary.streams;
    ASSERT_EQ(streams.size(), probe.streams.size());
    for (std::size_t n = 0; n < streams.size(); ++n) {
        const full::TrackSummary& t = streams[n].track;
        const Json& s = probe.streams[n];
        SCOPED_TRACE(s.value("codec_name", ""));
        if (s.value("codec_type", "") == "video") {
            EXPECT_EQ(t.entryWidth.value_or(0), s.value("width", 0u));
            EXPECT_EQ(t.entryHeight.value_or(0), s.value("height", 0u));
            ASSERT_TRUE(t.frameRate);
            EXPECT_EQ(std::to_string(t.frameRate->num) + "/" + std::to_string(t.frameRate->den), s.value("r_frame_rate", ""));
            EXPECT_FALSE(t.codecName.empty());
        } else {
            EXPECT_EQ(t.channels.value_or(0), s.value("channels", 0u));
            EXPECT_EQ(std::to_string(t.sampleRate.value_or(0)), s.value("sample_rate", ""));
            EXPECT_FALSE(t.codecName.empty()) << FourccText(t.entryType);
        }
    }
    // The streams JSON of `--json --full`: numbered as --samples numbers them, the handler the fccType.
    const auto json = StreamsJson(doc);
    ASSERT_EQ(json.size(), streams.size());
    for (std::size_t n = 0; n < json.size(); ++n) {
        EXPECT_EQ(json[n]["track_id"], n);
        EXPECT_EQ(json[n]["handler"], probe.streams[n].value("codec_type", "") == "video" ? "vids" : "auds");
        EXPECT_EQ(json[n]["sample_count"], streams[n].track.sampleCount.value_or(0));
    }
    EXPECT_EQ(json[0]["width"], probe.streams[0].value("width", 0u));
}

// The values mediainfo reports too, by stream number.
void ExpectMediainfoMatches(const Document& doc, const std::string& path) {
    const auto r = test::Run("mediainfo --Output=JSON " + ShellQuote(path));
    const Json j = Json::parse(r.output, nullptr, false);
    ASSERT_TRUE(j.is_object());
    const auto& streams = doc.AviFull()->summary.streams;
    std::size_t compared = 0;
    for (const Json& t : j["media"].value("track", Json::array())) {
        // Some audio streams have their ID only.
        const char* key = t.contains("StreamOrder") ? "StreamOrder" : "ID";
        if (!t.contains(key)) continue;
        const std::size_t n = std::stoul(t[key].get<std::string>());
        ASSERT_LT(n, streams.size());
        const full::TrackSummary& ours = streams[n].track;
        SCOPED_TRACE(t.value("@type", "") + " " + t.value("Format", ""));
        if (t.value("@type", "") == "Video") {
            EXPECT_EQ(std::to_string(ours.entryWidth.value_or(0)), t.value("Width", ""));
            EXPECT_EQ(std::to_string(ours.entryHeight.value_or(0)), t.value("Height", ""));
            ASSERT_TRUE(ours.frameRate);
            EXPECT_NEAR(static_cast<double>(ours.frameRate->num) / static_cast<double>(ours.frameRate->den),
                        std::stod(t.value("FrameRate", "0")), 0.001);
            EXPECT_EQ(std::to_string(ours.sampleCount.value_or(0)), t.value("FrameCount", ""));
        } else if (t.value("@type", "") == "Audio") {
            EXPECT_EQ(std::to_string(ours.channels.value_or(0)), t.value("Channels", ""));
            EXPECT_EQ(std::to_string(ours.sampleRate.value_or(0)), t.value("SamplingRate", ""));
        } else {
            continue;
        }
        if (t.contains("Duration")) {
            EXPECT_NEAR(ours.MediaSeconds().value_or(0), std::stod(t["Duration"].get<std::string>()), 0.05);
        }
        ++compared;
    }
    EXPECT_EQ(compared, streams.size());
}

struct Made {
    std::string name;
    std::string args;
};

class AviFullFfmpeg : public ::testing::TestWithParam<Made> {};

TEST_P(AviFullFfmpeg, SamplesSummaryAndRangesMatchFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string path = dir.Path() + "/" + GetParam().name + ".avi";
    const auto made = test::Run("ffmpeg -nostdin -v error -y " + GetParam().args + " " + ShellQuote(path), true);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const Probe probe = RunProbe(path);
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_TRUE(doc.AviFull());
    ExpectPacketsMatch(doc, probe, false);
    ExpectSummaryMatches(doc, probe);
    if (test::HaveTool("mediainfo")) ExpectMediainfoMatches(doc, path);
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});

    // The idx1 cut off: no index is left, and the scan finds the same packets.
    const std::uint64_t size = fs::file_size(path);
    const auto idx1 = std::find_if(doc.AviFull()->records.begin(), doc.AviFull()->records.end(),
                                   [](const full::AviFullRecord& r) { return r.id == Fourcc("idx1"); });
    ASSERT_NE(idx1, doc.AviFull()->records.end());
    fs::resize_file(path, idx1->offset);
    doc.OpenFile(path);
    ExpectPacketsMatch(doc, RunProbe(path), true);
    ASSERT_LT(fs::file_size(path), size);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, AviFullFfmpeg,
    ::testing::Values(
        Made{"mpeg4_mp3cbr", "-f lavfi -i testsrc2=s=160x120:r=25 -f lavfi -i sine=r=44100 -t 2 -c:v mpeg4 -g 10 -c:a libmp3lame -b:a 64k"},
        Made{"xvid_mp3vbr", "-f lavfi -i testsrc2=s=160x120:r=25 -f lavfi -i sine=r=44100 -t 2 -c:v libxvid -c:a libmp3lame -q:a 4"},
        Made{"mjpeg_pcm16", "-f lavfi -i testsrc2=s=96x64:r=10 -f lavfi -i sine=r=48000 -t 2 -c:v mjpeg -c:a pcm_s16le"},
        Made{"h264_f32", "-f lavfi -i testsrc2=s=160x120:r=25 -f lavfi -i sine=r=48000 -t 2 -c:v libx264 -g 12 -pix_fmt yuv420p "
                         "-c:a pcm_f32le"},
        Made{"ffv1_ac3", "-f lavfi -i testsrc2=s=96x64:r=25 -f lavfi -i sine=r=48000 -t 2 -c:v ffv1 -c:a ac3 -ac 6"}),
    [](const auto& info) { return info.param.name; });

// Uncompressed 1080p frames pass a gibibyte in a few seconds: ffmpeg then writes
// a second RIFF part and the OpenDML indexes.
TEST(AviFullOpenDml, IndexesAcrossPartsAndACutSecondPart) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string path = dir.Path() + "/opendml.avi";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=gray:s=1920x1080:r=25 -f lavfi -i sine=r=48000 "
                        "-frames:v 180 -t 7.2 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le " + ShellQuote(path))
                  .exitCode,
              0);
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_TRUE(doc.AviFull());
    const full::AviFullParse& parse = *doc.AviFull();
    ASSERT_EQ(parse.layout.parts.size(), 2u);
    EXPECT_TRUE(parse.summary.openDml);
    {
        const auto list = BuildDocumentSampleList(doc);
        ASSERT_TRUE(list);
        EXPECT_TRUE(list->notes.empty()) << list->notes.front();
    }
    ExpectPacketsMatch(doc, RunProbe(path), false);
    // Every ix## chunk is a node, and its entries light their bytes.
    std::size_t indexes = 0;
    for (const full::AviFullRecord& r : parse.records) {
        if ((r.id >> 16) != ('i' << 8 | 'x')) continue;
        ++indexes;
        doc.TreeView1Click(std::int64_t{r.index} + 1);
        EXPECT_EQ(test::CheckPaneRanges(doc, FourccText(r.id)), std::vector<std::string>{});
    }
    EXPECT_GE(indexes, 4u);

    // Cut inside the second part: the first part keeps its index, the rest is scanned.
    const std::uint64_t second = parse.layout.parts[1].offset;
    fs::resize_file(path, second + (fs::file_size(path) - second) / 2);
    doc.OpenFile(path);
    const auto list = BuildDocumentSampleList(doc);
    ASSERT_TRUE(list);
    EXPECT_NE(std::find_if(list->notes.begin(), list->notes.end(),
                           [](const std::string& n) { return n.find("found by scanning movi") != std::string::npos; }),
              list->notes.end());
    ExpectPacketsMatch(doc, RunProbe(path), true);
}

TEST(AviFullCorpus, RealFilesListFfprobesPacketsAndLightEveryValue) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".avi") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(entry.path().string());
        ASSERT_TRUE(doc.AviFull());
        EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
        // Where both list as many packets, they are the same ones.
        const Probe probe = RunProbe(entry.path().string());
        const auto list = BuildDocumentSampleList(doc);
        ASSERT_TRUE(list);
        const std::uint64_t size = fs::file_size(entry.path());
        for (std::size_t t = 0; t < list->tracks.size() && t < probe.packets.size(); ++t) {
            std::vector<Packet> ours;
            for (const Sample& s : list->tracks[t].samples)
                if (s.size != 0) ours.push_back({std::min<std::uint64_t>(s.size, size - std::min<std::uint64_t>(s.offset, size)), s.offset, false});
            std::vector<Packet> theirs = probe.packets[t];
            for (Packet& p : theirs) p.key = false;
            if (ours.size() != theirs.size()) continue;
            EXPECT_EQ(ours, theirs) << "stream " << t;
        }
    }
    if (files == 0) GTEST_SKIP() << "no AVI file in " << folder;
}

}  // namespace
}  // namespace kestrova
