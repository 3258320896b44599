// The full view's summary against ffprobe -show_streams on files ffmpeg makes
// with today's encoders, and on the real files where present.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <numeric>
#include <optional>

#include <nlohmann/json.hpp>

#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"
#include "support/Ffprobe.h"
#include "support/Process.h"
#include "tools/DumpState.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;
using Json = nlohmann::json;

// ffprobe's codec_name to the summary's words (AAC is checked by profile below).
const std::map<std::string, std::string> kCodecNames = {
    {"h264", "H.264/AVC"}, {"hevc", "H.265/HEVC"}, {"av1", "AV1"}, {"vp9", "VP9"}, {"mpeg4", "MPEG-4 Visual"},
    {"mpeg2video", "MPEG-2 Video"}, {"mjpeg", "Motion JPEG"}, {"prores", "ProRes"}, {"h263", "H.263"},
    {"opus", "Opus"}, {"flac", "FLAC"}, {"ac3", "AC-3"}, {"eac3", "E-AC-3"}, {"alac", "ALAC"}, {"mp3", "MP3"},
    {"vorbis", "Vorbis"}, {"pcm_s16le", "PCM"}, {"pcm_s24be", "PCM"}, {"pcm_s16be", "PCM"}};

std::string Ratio(const std::string& fraction) {
    const std::size_t slash = fraction.find('/');
    if (slash == std::string::npos) return fraction;
    const long long n = std::stoll(fraction.substr(0, slash)), d = std::stoll(fraction.substr(slash + 1));
    const long long g = std::gcd(n, d);
    return g == 0 ? fraction : std::to_string(n / g) + "/" + std::to_string(d / g);
}

// Compares what both read; returns the number of tracks compared.
std::size_t CompareWithFfprobe(const std::string& path) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    if (doc.Full() == nullptr) {
        ADD_FAILURE() << path << " does not open in the full view";
        return 0;
    }
    const Json ours = Json::parse(StreamsJson(doc).dump());
    // ffprobe gives up on some damaged files: nothing to compare there.
    const Json probe = Json::parse(test::Run("ffprobe -v quiet -print_format json -show_streams " + ShellQuote(path)).output,
                                   nullptr, false);
    if (probe.is_discarded()) return 0;
    std::size_t compared = 0;
    std::vector<test::ProbedStream> packets;
    for (const Json& theirs : probe.value("streams", Json::array())) {
        const std::string id = theirs.value("id", "");
        // Cover art of the metadata is a stream to ffprobe, not a track.
        if (id.empty() || theirs.value("disposition", Json::object()).value("attached_pic", 0) == 1) continue;
        const std::uint64_t trackId = id.empty() ? 0 : std::stoull(id, nullptr, 16);
        const auto it = std::find_if(ours.begin(), ours.end(), [&](const Json& s) { return s["track_id"] == trackId; });
        if (it == ours.end()) {
            ADD_FAILURE() << path << ": no track " << trackId;
            continue;
        }
        const Json& s = *it;
        SCOPED_TRACE(path + " track " + std::to_string(trackId));
        const std::string codec = theirs.value("codec_name", "");
        if (codec == "aac") {
            const std::string profile = theirs.value("profile", "");
            EXPECT_EQ(s["codec_name"], profile == "LC" ? "AAC LC" : profile == "HE-AAC" ? "HE-AAC" : profile == "HE-AACv2" ? "HE-AAC v2" : s["codec_name"]);
        } else if (kCodecNames.count(codec)) {
            EXPECT_EQ(s["codec_name"], kCodecNames.at(codec));
        }
        const std::string type = theirs.value("codec_type", "");
        if (type == "video") {
            // The sample entry's size; ffprobe's is the coded picture's, the same for these encoders.
            // ffprobe has no size where it found no frame to decode (a cut file).
            if (theirs.value("width", 0) != 0) {
                EXPECT_EQ(s["width"], theirs.value("width", 0));
                EXPECT_EQ(s["height"], theirs.value("height", 0));
            }
            const std::string sar = theirs.value("sample_aspect_ratio", "");
            if (!sar.empty() && sar != "0:1" && !s["sar"].is_null()) {
                EXPECT_EQ(s["sar"], sar);
            }
            if (s["frame_rate_mode"] == "constant") {
                EXPECT_EQ(s["frame_rate"], Ratio(theirs.value("r_frame_rate", "")));
            }
            // ffprobe leaves profile and level out (or -99) when it did not set up a decoder.
            if ((codec == "h264" || codec == "hevc") && theirs.value("level", 0) > 0 && !theirs.value("profile", "").empty()) {
                // ffprobe writes levels times 10 (H.264) or times 30 (H.265).
                const int level = theirs.value("level", 0);
                const double expected = codec == "h264" ? level / 10.0 : level / 30.0;
                EXPECT_NEAR(std::stod(s["level"].get<std::string>() == "1b" ? "1.05" : s["level"].get<std::string>()), expected, 0.051);
                EXPECT_EQ(s["profile"], theirs.value("profile", ""));
            }
        } else if (type == "audio") {
            EXPECT_EQ(s["sample_rate"], std::stoi(theirs.value("sample_rate", "0")));
            // MP3 and Vorbis say their channels only in the stream; the entry's
            // channelcount (2 for ffmpeg's mono MP3) is all the file's boxes hold.
            // ffprobe reports what its HE-AAC decoder outputs, stereo even for a mono
            // configuration; the configuration's bytes say mono, and mediainfo agrees.
            const bool monoSbr = s["codec_name"] == "HE-AAC" && s["channels"] == 1 && theirs.value("channels", 0) == 2;
            if (codec != "mp3" && codec != "vorbis" && !monoSbr) {
                EXPECT_EQ(s["channels"], theirs.value("channels", 0));
            }
        }
        // ffprobe counts 0 frames where the data is gone (a cut file); the tables still list them, and the bytes win.
        // Its nb_frames counts the moov's samples only: with fragments, its packets are what to count.
        if (doc.Full()->fragments.moofs > 0) {
            if (packets.empty()) packets = test::ProbePackets(path);
            const auto same = std::find_if(packets.begin(), packets.end(),
                                           [&](const test::ProbedStream& p) { return p.trackId == trackId; });
            if (same == packets.end()) {
                ADD_FAILURE() << "ffprobe lists no packets of track " << trackId;
            } else {
                EXPECT_EQ(s["sample_count"], same->packets.size());
            }
        } else if (theirs.contains("nb_frames") && theirs["nb_frames"] != "0") {
            EXPECT_EQ(s["sample_count"], std::stoull(theirs["nb_frames"].get<std::string>()));
        }
        const Json tags = theirs.value("tags", Json::object());
        if (tags.contains("language")) {
            EXPECT_EQ(s["language"], tags["language"]);
        }
        ++compared;
    }
    return compared;
}

// The values mediainfo reads from the same file: size, depth, chroma, rate, channels.
void CompareWithMediainfo(const std::string& path) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    const Json ours = Json::parse(StreamsJson(doc).dump());
    const Json info = Json::parse(test::Run("mediainfo --Output=JSON " + ShellQuote(path)).output, nullptr, false);
    if (info.is_discarded() || !info.contains("media")) return;
    const auto number = [](const Json& track, const char* key) -> std::optional<long long> {
        if (!track.contains(key) || !track[key].is_string()) return std::nullopt;
        return std::llround(std::stod(track[key].get<std::string>()));
    };
    for (const Json& track : info["media"].value("track", Json::array())) {
        const std::string type = track.value("@type", "");
        if ((type != "Video" && type != "Audio") || !track.contains("ID")) continue;
        const std::uint64_t id = std::stoull(track["ID"].get<std::string>());
        const auto it = std::find_if(ours.begin(), ours.end(), [&](const Json& s) { return s["track_id"] == id; });
        ASSERT_NE(it, ours.end()) << path << ": no track " << id;
        const Json& s = *it;
        SCOPED_TRACE(path + " track " + std::to_string(id) + " against mediainfo");
        if (type == "Video") {
            if (const auto w = number(track, "Width")) {
                EXPECT_EQ(s["width"], *w);
            }
            if (const auto h = number(track, "Height")) {
                EXPECT_EQ(s["height"], *h);
            }
            if (const auto depth = number(track, "BitDepth"); depth && !s["bit_depth"].is_null()) {
                EXPECT_EQ(s["bit_depth"], *depth);
            }
            if (track.contains("ChromaSubsampling") && !s["chroma_format"].is_null()) {
                EXPECT_EQ(s["chroma_format"], track["ChromaSubsampling"]);
            }
        } else {
            if (const auto rate = number(track, "SamplingRate")) {
                EXPECT_EQ(s["sample_rate"], *rate);
            }
            if (const auto channels = number(track, "Channels"); channels && s["codec_name"] != "MP3" && s["codec_name"] != "Vorbis") {
                EXPECT_EQ(s["channels"], *channels);
            }
        }
    }
}

struct Encoding {
    const char* name;
    const char* args;
};

class FullSummaryFfmpegFile : public ::testing::TestWithParam<Encoding> {};

TEST_P(FullSummaryFfmpegFile, AgreesWithFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    const Encoding& e = GetParam();
    test::TempFile dir({}, "unused");
    const std::string path = fs::path(dir.Path()).parent_path() / e.name;
    const std::string make = std::string("ffmpeg -v error -y ") + e.args + " " + ShellQuote(path);
    const test::ProcessResult made = test::Run(make, true);
    if (made.exitCode != 0 && made.output.find("Unknown encoder") != std::string::npos)
        GTEST_SKIP() << "this ffmpeg lacks the encoder: " << made.output;
    ASSERT_EQ(made.exitCode, 0) << make << "\n" << made.output;
    EXPECT_GE(CompareWithFfprobe(path), 1u);
    if (test::HaveTool("mediainfo")) CompareWithMediainfo(path);
    if (std::string(e.name).rfind("vfr", 0) == 0) {
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(path);
        EXPECT_EQ(StreamsJson(doc)[0]["frame_rate_mode"], "variable");
    }
}

#define VIDEO "-f lavfi -i testsrc=size=64x64:rate=10 -t 0.5 -pix_fmt yuv420p "
#define AUDIO "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 0.5 "

INSTANTIATE_TEST_SUITE_P(
    Encoders, FullSummaryFfmpegFile,
    ::testing::Values(
        Encoding{"x264_high.mp4", VIDEO "-c:v libx264 -preset ultrafast -profile:v high"},
        Encoding{"x264_baseline_sar.mp4", VIDEO "-c:v libx264 -profile:v baseline -aspect 16:9"},
        Encoding{"x265_main10.mp4", VIDEO "-c:v libx265 -preset ultrafast -x265-params log-level=none -pix_fmt yuv420p10le -tag:v hvc1"},
        Encoding{"aom.mp4", VIDEO "-c:v libaom-av1 -cpu-used 8"},
        Encoding{"svtav1.mp4", VIDEO "-c:v libsvtav1 -preset 12"},
        Encoding{"rav1e.mp4", VIDEO "-c:v librav1e -speed 10"},
        Encoding{"vp9.mp4", VIDEO "-c:v libvpx-vp9 -deadline realtime -cpu-used 8"},
        Encoding{"mpeg4.mp4", VIDEO "-c:v mpeg4"},
        Encoding{"mpeg2.mp4", VIDEO "-c:v mpeg2video"},
        Encoding{"mjpeg.mp4", VIDEO "-c:v mjpeg -pix_fmt yuvj420p"},
        Encoding{"prores.mov", VIDEO "-c:v prores_ks"},
        Encoding{"h263.3gp", "-f lavfi -i testsrc=size=128x96:rate=10 -t 0.5 -c:v h263"},
        Encoding{"vfr.mp4", "-f lavfi -i testsrc=size=64x48:rate=10 -frames:v 10 -pix_fmt yuv420p -vf setpts='if(lt(N\\,5)\\,N/10\\,N/5)/TB' -fps_mode vfr -c:v libx264 -preset ultrafast"},
        Encoding{"bframes_edit.mp4", VIDEO "-c:v libx264 -bf 2"},
        Encoding{"aac.m4a", AUDIO "-c:a aac"},
        Encoding{"opus6.mp4", "-f lavfi -i sine=sample_rate=48000:duration=0.5 -ac 6 -c:a libopus"},
        Encoding{"opus1.mp4", AUDIO "-ac 1 -c:a libopus"},
        Encoding{"flac24.mp4", AUDIO "-c:a flac -sample_fmt s32 -strict -2"},
        Encoding{"ac3_51.mp4", "-f lavfi -i sine=sample_rate=48000:duration=0.5 -ac 6 -c:a ac3"},
        Encoding{"eac3.mp4", AUDIO "-c:a eac3"},
        Encoding{"alac.m4a", AUDIO "-c:a alac"},
        Encoding{"mp3.mp4", AUDIO "-c:a libmp3lame"},
        Encoding{"vorbis.mp4", AUDIO "-c:a libvorbis -strict -2"},
        Encoding{"pcm16.mov", AUDIO "-c:a pcm_s16le"},
        Encoding{"pcm24.mov", AUDIO "-c:a pcm_s24be"},
        Encoding{"two_languages.mp4", AUDIO "-f lavfi -i sine=frequency=660:sample_rate=44100 -t 0.5 -map 0 -map 1 -c:a aac "
                                            "-metadata:s:a:0 language=eng -metadata:s:a:1 language=fra"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(FullSummaryCorpus, AgreesWithFfprobeOnTheRealFiles) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    std::size_t tracks = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".avi" || ext == ".tsv" || ext == ".md") continue;
        tracks += CompareWithFfprobe(entry.path().string());
    }
    EXPECT_GT(tracks, 60u);
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

// ffmpeg's rotate=90 writes a matrix that turns the picture 270 degrees
// clockwise: mediainfo's Rotation, and ffprobe's rotation negated modulo 360.
TEST(FullSummaryRotation, ClockwiseDegreesFromTheMatrix) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    test::TempFile dir({}, "unused");
    const std::string plain = fs::path(dir.Path()).parent_path() / "plain.mp4";
    const std::string turned = fs::path(dir.Path()).parent_path() / "turned.mp4";
    ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -t 0.5 -pix_fmt yuv420p -c:v libx264 "
                        "-preset ultrafast " + ShellQuote(plain)).exitCode, 0);
    ASSERT_EQ(test::Run("ffmpeg -v error -y -i " + ShellQuote(plain) + " -c copy -metadata:s:v:0 rotate=90 " +
                        ShellQuote(turned)).exitCode, 0);
    for (const auto& [path, degrees] : {std::pair{plain, 0}, std::pair{turned, 270}}) {
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(path);
        EXPECT_EQ(StreamsJson(doc)[0]["rotation"], degrees) << path;
        const Json probe = Json::parse(test::Run("ffprobe -v quiet -print_format json -show_streams " + ShellQuote(path)).output);
        int theirs = 0;
        for (const Json& side : probe["streams"][0].value("side_data_list", Json::array()))
            if (side.contains("rotation")) theirs = side["rotation"].get<int>();
        EXPECT_EQ(((-theirs) % 360 + 360) % 360, degrees) << path;
    }
}

}  // namespace
}  // namespace kestrova
