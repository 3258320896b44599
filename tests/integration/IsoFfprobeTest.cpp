// MP4/3GP files that ffmpeg writes, and real files where the corpus is
// present, against what ffprobe reports for the same file: the header boxes
// and sample tables as kestrova-dump describes them, and the file summary.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"
#include "shell/Document.h"
#include "support/Process.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

struct Packet {
    std::uint64_t size = 0, pos = 0;
    std::int64_t duration = 0;
    bool key = false;
};

// What ffprobe's trace says of one "trak", in file order.
struct TraceTrack {
    std::string handler;
    std::optional<std::uint32_t> syncSamples;  // only where the track has an stss
    std::uint32_t stscEntries = 0;
    std::uint32_t objectType = 0;  // of its esds; 0 without one
    // Its AudioSpecificConfig as ffprobe reads it; channels -1 where there is none.
    int ascChannels = -1;
    std::uint32_t ascRate = 0, ascExtRate = 0;
};

struct Probe {
    Json streams;                              // -show_streams -count_packets
    std::vector<std::vector<Packet>> packets;  // per stream, in sample order
    std::vector<TraceTrack> tracks;
};

Probe RunFfprobe(const std::string& path) {
    Probe probe;
    // The raw sample tables: no edit list applied, so every sample is a packet with its stts duration.
    const Json j = Json::parse(test::Run("ffprobe -v error -ignore_editlist 1 -count_packets -show_streams "
                                         "-show_entries packet=stream_index,duration,size,pos,flags -of json " +
                                         ShellQuote(path)).output);
    probe.streams = j["streams"];
    probe.packets.resize(probe.streams.size());
    for (const Json& p : j.value("packets", Json::array())) {
        probe.packets[p["stream_index"].get<std::size_t>()].push_back(
            {std::stoull(p["size"].get<std::string>()), std::stoull(p["pos"].get<std::string>()),
             p.value("duration", std::int64_t{0}), p["flags"].get<std::string>().find('K') != std::string::npos});
    }

    static const std::regex trak(R"(type:'trak' parent:'moov')"), mdiaHdlr(R"(type:'hdlr' parent:'mdia')"),
        stype(R"(\] stype=(.{4}))"), keyframes(R"(keyframe_count = (\d+))"),
        stsc(R"(track\[(\d+)\]\.stsc\.entries = (\d+))"), oti(R"(esds object type id 0x([0-9a-f]+))"),
        asc(R"(mp4a config channels (\d+) obj \d+ ext obj \d+ sample rate (\d+) ext sample rate (\d+))");
    std::istringstream trace(test::Run("ffprobe -v trace " + ShellQuote(path), true).output);
    bool inHdlr = false;
    std::smatch m;
    for (std::string line; std::getline(trace, line);) {
        if (std::regex_search(line, trak)) {
            probe.tracks.emplace_back();
            continue;
        }
        if (probe.tracks.empty()) continue;
        TraceTrack& t = probe.tracks.back();
        if (std::regex_search(line, mdiaHdlr)) {
            inHdlr = true;
        } else if (inHdlr && std::regex_search(line, m, stype)) {
            t.handler = m[1];
            inHdlr = false;
        } else if (std::regex_search(line, m, keyframes)) {
            t.syncSamples = static_cast<std::uint32_t>(std::stoul(m[1]));
        } else if (std::regex_search(line, m, stsc) && std::stoul(m[1]) < probe.tracks.size()) {
            probe.tracks[std::stoul(m[1])].stscEntries = static_cast<std::uint32_t>(std::stoul(m[2]));
        } else if (std::regex_search(line, m, oti)) {
            t.objectType = static_cast<std::uint32_t>(std::stoul(m[1], nullptr, 16));
        } else if (std::regex_search(line, m, asc)) {
            t.ascChannels = std::stoi(m[1]);
            t.ascRate = static_cast<std::uint32_t>(std::stoul(m[2]));
            t.ascExtRate = static_cast<std::uint32_t>(std::stoul(m[3]));
        }
    }
    return probe;
}

Json Dump(const std::string& args, const std::string& path) {
    const auto r = test::Run(std::string(KESTROVA_DUMP_PATH) + " --json " + args + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0);
    return Json::parse(r.output)["states"];
}

// The number a "label : 1,234 (0X000004D2)" line shows, read from its hex part,
// which has no separators; the zero form "(0000000000)" reads as 0 too.
std::uint64_t NumberOf(const std::string& line) {
    const std::size_t open = line.rfind('(');
    std::string hex = line.substr(open + 1, line.find(')', open) - open - 1);
    if (hex.rfind("0X", 0) == 0) hex.erase(0, 2);
    return std::stoull(hex, nullptr, 16);
}

std::vector<std::uint64_t> NumbersOf(const Json& lines, const std::string& prefix) {
    std::vector<std::uint64_t> out;
    for (const Json& line : lines)
        if (line.get<std::string>().rfind(prefix, 0) == 0) out.push_back(NumberOf(line));
    return out;
}

std::string LineOf(const Json& lines, const std::string& prefix) {
    for (const Json& line : lines)
        if (line.get<std::string>().rfind(prefix, 0) == 0) return line;
    ADD_FAILURE() << "no line \"" << prefix << "\" in " << lines.dump(1);
    return prefix + "(0)";
}

std::uint64_t FieldOf(const Json& lines, const std::string& prefix) { return NumberOf(LineOf(lines, prefix)); }

std::uint64_t Denominator(const std::string& fraction) { return std::stoull(fraction.substr(fraction.find('/') + 1)); }

// The channel count stored in the last mp4a entry of the file, read from its bytes:
// an stsd whose first entry is mp4a has that entry's type 16 bytes after its own,
// and the count 20 bytes after the entry's type.
std::uint32_t StoredMp4aChannels(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::uint32_t channels = 0;
    for (std::size_t at = bytes.find("stsd"); at != std::string::npos; at = bytes.find("stsd", at + 1)) {
        const std::size_t entry = at + 16;
        if (bytes.compare(entry, 4, "mp4a") != 0 || entry + 22 > bytes.size()) continue;
        channels = static_cast<std::uint8_t>(bytes[entry + 20]) << 8 | static_cast<std::uint8_t>(bytes[entry + 21]);
    }
    return channels;
}

const Json* LastStreamWithEntry(const Json& streams, std::initializer_list<const char*> entries) {
    const Json* found = nullptr;
    for (const Json& s : streams)
        for (const char* e : entries)
            if (s.value("codec_tag_string", "") == e) found = &s;
    return found;
}

// The summary's video group describes the last mp4v, s263 or avc1 track and its
// audio group the last mp4a, samr or sevc track, as ffprobe reads them. Where
// ffprobe reports what its decoder makes of a stream (a mono MP3 or HE-AAC
// track decoded to stereo) the summary shows what the file stores.
void ExpectSummaryMatches(const Json& info, const Probe& probe, const std::string& path) {
    ASSERT_GE(info.size(), 3u);
    EXPECT_EQ(info[0], "[VIDEO Info]");
    if (const Json* video = LastStreamWithEntry(probe.streams, {"mp4v", "s263", "avc1"})) {
        const std::size_t index = (*video)["index"];
        const auto& packets = probe.packets[index];
        const auto sync = std::count_if(packets.begin(), packets.end(), [](const Packet& p) { return p.key; });
        EXPECT_EQ(LineOf(info, "Video Format : "), "Video Format : " + ObjectTypeName(probe.tracks[index].objectType));
        EXPECT_EQ(LineOf(info, "Resolution : "), "Resolution : " + std::to_string((*video)["width"].get<int>()) +
                                                     " * " + std::to_string((*video)["height"].get<int>()));
        EXPECT_EQ(LineOf(info, "   Sync Sample Count(I-Frames): "),
                  "   Sync Sample Count(I-Frames): " + std::to_string(sync));
        EXPECT_EQ(LineOf(info, "   Sample Count(I/P-Frames) : "),
                  "   Sample Count(I/P-Frames) : " + (*video)["nb_frames"].get<std::string>());
    } else {
        EXPECT_EQ(info[2], "   Video Sample Not FOUND!!!!");
    }

    const Json* audio = LastStreamWithEntry(probe.streams, {"mp4a", "samr", "sevc"});
    if (!audio) return;
    const TraceTrack& track = probe.tracks[(*audio)["index"].get<std::size_t>()];
    const std::string rate = (*audio)["sample_rate"];
    std::string format = ObjectTypeName(track.objectType), channels, rateLine = "   Sample Rate      : " + rate;
    if ((*audio)["codec_tag_string"] == "samr") {
        format = "AMR";
        channels = std::to_string((*audio)["channels"].get<int>());
    } else if (track.ascChannels >= 0) {
        // A mono core with parametric stereo plays as stereo; plain SBR keeps the stored count.
        channels = audio->value("profile", "") == "HE-AACv2" ? "2" : std::to_string(track.ascChannels);
        if (audio->value("profile", "") == "LC") {
            EXPECT_EQ(std::to_string((*audio)["channels"].get<int>()), channels);
        }
        if (track.ascExtRate != 0) {
            EXPECT_EQ(std::to_string(track.ascExtRate), rate);
            EXPECT_EQ(track.ascExtRate, 2 * track.ascRate);
            rateLine = "   Sample Rate(SBR) : " + std::to_string(track.ascRate) + " * 2";
        }
    } else {
        channels = std::to_string(StoredMp4aChannels(path));
    }
    EXPECT_EQ(LineOf(info, "   Audio Format     : "), "   Audio Format     : " + format);
    EXPECT_EQ(LineOf(info, "   Channel Count    : "), "   Channel Count    : " + channels);
    EXPECT_EQ(LineOf(info, "   Sample Rate"), rateLine);
}

struct Generated {
    std::string name;
    std::string ffmpegArgs;
};

void PrintTo(const Generated& g, std::ostream* os) { *os << g.name; }

const std::string kVideo = "-f lavfi -i testsrc=rate=10:size=";
const std::string kTone = " -f lavfi -i sine=frequency=440:sample_rate=";

const std::vector<Generated>& GeneratedFiles() {
    static const std::vector<Generated> files = {
        {"h264_aac_48k_stereo.mp4",
         kVideo + "176x144" + kTone + "48000 -t 2 -c:v libx264 -preset ultrafast -bf 2 -g 8 -pix_fmt yuv420p "
                  "-c:a aac -ac 2"},
        {"mpeg4_aac_22k_mono.mp4", kVideo + "160x120" + kTone + "22050 -t 2 -c:v mpeg4 -g 6 -c:a aac -ac 1"},
        {"h263_aac_8k_mono.3gp", kVideo + "176x144" + kTone + "8000 -t 2 -c:v h263 -g 7 -c:a aac -ac 1"},
        {"aac_44k_stereo.m4a", kTone.substr(1) + "44100 -t 2 -c:a aac -ac 2"},
        {"mpeg4_two_aac_16k_32k.mp4", kVideo + "128x96" + kTone + "16000" + kTone +
                                          "32000 -t 2 -map 0 -map 1 -map 2 -c:v mpeg4 -g 5 -c:a aac -ac:a:0 1 "
                                          "-ac:a:1 2 -movflags +faststart"},
        {"mjpeg_aac_24k_stereo.mp4", kVideo + "128x96" + kTone + "24000 -t 2 -c:v mjpeg -c:a aac -ac 2"},
        {"mpeg4_mp3_44k_mono.mp4", kVideo + "160x120" + kTone + "44100 -t 2 -c:v mpeg4 -c:a libmp3lame -ac 1"},
    };
    return files;
}

bool HaveFfmpeg() { return test::HaveTool("ffmpeg") && test::HaveTool("ffprobe"); }

// Each file is made the first time a test needs it and kept for the others, so
// a run of one test (as ctest runs them) makes only its own file.
class IsoFfprobe : public ::testing::TestWithParam<Generated> {
public:
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
        dir_.clear();
        made_.clear();
    }

protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        if (dir_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "kestrova-iso-XXXXXX").string();
            ASSERT_NE(mkdtemp(pattern.data()), nullptr);
            dir_ = pattern;
        }
        const Generated& g = GetParam();
        path_ = dir_ + "/" + g.name;
        if (!made_.count(g.name)) {
            const auto r = test::Run("ffmpeg -nostdin -v error -y " + g.ffmpegArgs + " " + ShellQuote(path_), true);
            made_[g.name] = r.exitCode == 0 ? "" : r.output;
        }
        ASSERT_EQ(made_[g.name], "") << g.ffmpegArgs;
        probe_ = RunFfprobe(path_);
        ASSERT_FALSE(probe_.streams.empty());
        ASSERT_EQ(probe_.tracks.size(), probe_.streams.size());
    }

    std::string path_;
    Probe probe_;
    static inline std::string dir_;
    static inline std::map<std::string, std::string> made_;  // name -> ffmpeg's complaint, "" when made
};

// The nodes of one track whose descriptions are compared, by box type.
using TrackNodes = std::map<std::string, std::int64_t>;

TEST_P(IsoFfprobe, HeaderBoxesAndSampleTablesMatchFfprobe) {
    const Json open = Dump("", path_)[0];
    std::vector<TrackNodes> tracks;
    for (const Json& r : open["records"]) {
        const std::string type = r["type"];
        if (type == "trak") tracks.emplace_back();
        const bool wanted = type == "tkhd" || type == "mdhd" || type == "hdlr" || type == "stsz" || type == "stss" ||
                            type == "stco" || type == "stsc";
        if (!tracks.empty() && wanted) tracks.back().emplace(type, r["index"].get<std::int64_t>() + 1);
    }
    ASSERT_EQ(tracks.size(), probe_.streams.size());

    std::string clicks;
    std::vector<std::int64_t> order;
    for (const TrackNodes& t : tracks)
        for (const auto& [type, node] : t) {
            clicks += "--click " + std::to_string(node) + " ";
            order.push_back(node);
        }
    const Json states = Dump(clicks, path_);
    ASSERT_EQ(states.size(), order.size() + 1);
    std::map<std::int64_t, Json> described;
    for (std::size_t i = 0; i < order.size(); ++i) described[order[i]] = states[i + 1]["boxDescription"];

    for (std::size_t t = 0; t < tracks.size(); ++t) {
        SCOPED_TRACE("track " + std::to_string(t));
        const Json& stream = probe_.streams[t];
        const TraceTrack& trace = probe_.tracks[t];
        const std::vector<Packet>& packets = probe_.packets[t];
        const auto lines = [&](const std::string& type) -> const Json& {
            static const Json none = Json::array();
            const auto node = tracks[t].find(type);
            return node == tracks[t].end() ? none : described[node->second];
        };

        EXPECT_EQ(FieldOf(lines("tkhd"), "Track ID      : "), std::stoul(stream["id"].get<std::string>(), nullptr, 16));
        EXPECT_EQ(FieldOf(lines("mdhd"), "Timescale     : "), Denominator(stream["time_base"]));
        std::int64_t duration = 0;
        for (const Packet& p : packets) duration += p.duration;
        EXPECT_EQ(FieldOf(lines("mdhd"), "Duration Time : "), static_cast<std::uint64_t>(duration));
        EXPECT_EQ(trace.handler, stream["codec_type"] == "video" ? "vide" : "soun");
        EXPECT_EQ(LineOf(lines("hdlr"), "Sub Type      : "),
                  "Sub Type      : " + std::string(trace.handler == "vide" ? "Visual Media" : "Audio Media") + " (" +
                      trace.handler + ")");

        // stsz: one size per packet.
        const Json& stsz = lines("stsz");
        ASSERT_EQ(stream["nb_frames"], stream["nb_read_packets"]);
        ASSERT_EQ(FieldOf(stsz, "Sample Count : "), packets.size());
        std::vector<std::uint64_t> sizes, keys;
        for (std::size_t i = 0; i < packets.size(); ++i) {
            sizes.push_back(packets[i].size);
            if (packets[i].key) keys.push_back(i + 1);
        }
        if (const std::uint64_t constant = FieldOf(stsz, "Sample Size  : "); constant != 0) {
            EXPECT_EQ(std::vector<std::uint64_t>(sizes.size(), constant), sizes);
            EXPECT_TRUE(NumbersOf(stsz, "   Sample #").empty());
        } else {
            EXPECT_EQ(NumbersOf(stsz, "   Sample #"), sizes);
        }

        // stss: the key packets; a track without one has every sample as a key.
        if (trace.syncSamples) {
            EXPECT_EQ(FieldOf(lines("stss"), "Entry Count : "), *trace.syncSamples);
            EXPECT_EQ(NumbersOf(lines("stss"), "   Sample #"), keys);
        } else {
            EXPECT_FALSE(tracks[t].count("stss"));
            EXPECT_EQ(keys.size(), packets.size());
        }

        // stco: the position of the first packet of each chunk, chunks laid out by stsc.
        const Json& stsc = lines("stsc");
        EXPECT_EQ(FieldOf(stsc, "Entry Count : "), trace.stscEntries);
        const std::vector<std::uint64_t> firstChunks = NumbersOf(stsc, "   first-chunk      : ");
        const std::vector<std::uint64_t> perChunk = NumbersOf(stsc, "   sample-per-chunk : ");
        ASSERT_EQ(firstChunks.size(), perChunk.size());
        ASSERT_FALSE(firstChunks.empty());
        const std::uint64_t chunks = FieldOf(lines("stco"), "Entry Count : ");
        std::vector<std::uint64_t> starts;
        std::size_t sample = 0;
        for (std::uint64_t c = 1, e = 0; c <= chunks && sample < packets.size(); ++c) {
            while (e + 1 < firstChunks.size() && firstChunks[e + 1] <= c) ++e;
            starts.push_back(packets[sample].pos);
            sample += perChunk[e];
        }
        EXPECT_EQ(sample, packets.size());
        EXPECT_EQ(starts.size(), chunks);
        EXPECT_EQ(NumbersOf(lines("stco"), "   Chunk #"), starts);
    }
}

TEST_P(IsoFfprobe, SummaryMatchesFfprobe) {
    const Json open = Dump("", path_)[0];
    ASSERT_EQ(open["fileKind"], 1);
    ExpectSummaryMatches(open["fileInfo"], probe_, path_);
}

INSTANTIATE_TEST_SUITE_P(Encoders, IsoFfprobe, ::testing::ValuesIn(GeneratedFiles()),
                         [](const ::testing::TestParamInfo<Generated>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

std::vector<fs::path> CorpusIsoFiles(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".avi" && ext != ".tsv") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(IsoCorpus, EveryNodeOfEveryRealFileDescribesItself) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    int opened = 0;
    for (const fs::path& file : CorpusIsoFiles(folder)) {
        SCOPED_TRACE(file.filename().string());
        Document doc;
        doc.OpenFile(file.string());
        if (doc.FileKind() == 0) continue;
        ++opened;
        const std::vector<std::string> summary = doc.FileInfoPane().Lines();
        ASSERT_FALSE(summary.empty());
        EXPECT_EQ(summary[0], "[VIDEO Info]");
        for (std::size_t n = 1; n < doc.Tree().Count(); ++n) {
            doc.TreeView1Click(static_cast<std::int64_t>(n));
            const auto& lines = doc.BoxDescriptionPane().Lines();
            ASSERT_GE(lines.size(), 4u) << "node " << n;
            EXPECT_EQ(lines[0].rfind("Start offset : ", 0), 0u) << "node " << n;
        }
        doc.TreeView1Click(0);
        EXPECT_EQ(doc.FileInfoPane().Lines(), summary);
    }
    EXPECT_GT(opened, 40);
}

// AMR, HE-AAC v1 and v2 and MP3 entries that the ffmpeg here cannot write.
TEST(IsoCorpus, SummaryOfAmrHeAacAndMp3FilesMatchesFfprobe) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffprobe is not installed";
    static const std::regex wanted("^3gp_.*(samr|amrnb).*|^m4a_he-aac.*|^mp4_.*mp3.*");
    int compared = 0;
    for (const fs::path& file : CorpusIsoFiles(folder)) {
        if (!std::regex_match(file.filename().string(), wanted)) continue;
        SCOPED_TRACE(file.filename().string());
        const Probe probe = RunFfprobe(file.string());
        ASSERT_EQ(probe.tracks.size(), probe.streams.size());
        ExpectSummaryMatches(Dump("", file.string())[0]["fileInfo"], probe, file.string());
        ++compared;
    }
    EXPECT_GE(compared, 8);
}

}  // namespace
}  // namespace kestrova
