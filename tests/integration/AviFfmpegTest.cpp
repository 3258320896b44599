// AVI files that ffmpeg writes, and the real files of the corpus where it is
// present, against what ffprobe reports for the same file: the chunks of the
// header region, the index, the stream values and the summary's lines.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "avi/AviParser.h"
#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"
#include "common/NumberPatterns.h"
#include "shell/Document.h"
#include "support/Process.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

// offset of the header, id, size: as ffprobe's trace reports the chunks it reads.
using Chunk = std::tuple<std::uint64_t, std::string, std::uint64_t>;

struct Trace {
    std::set<Chunk> chunks;
    std::map<std::uint64_t, std::string> listTypes;  // LIST offset -> list type
    struct Entry {
        std::uint32_t ckid;  // file order
        std::uint32_t flags, offset, length;
    };
    std::vector<Entry> index;
};

std::uint32_t ByteSwapped(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

Trace FfprobeTrace(const std::string& path) {
    const std::string text = test::Run("ffprobe -v trace " + ShellQuote(path), true).output;
    Trace t;
    static const std::regex tag(R"(pos:([0-9A-F]+) tag: tag=(.{4}) size=0x([0-9a-f]+))");
    static const std::regex list(R"(pos:([0-9A-F]+) list: tag=(.{4}) )");
    static const std::regex entry(R"(\d+: tag=0x([0-9a-fA-F]+) flags=0x([0-9a-fA-F]+) pos=0x([0-9a-fA-F]+) len=(\d+)/)");
    for (std::sregex_iterator it(text.begin(), text.end(), tag), end; it != end; ++it)
        t.chunks.insert({std::stoull((*it)[1], nullptr, 16) - 8, (*it)[2], std::stoull((*it)[3], nullptr, 16)});
    for (std::sregex_iterator it(text.begin(), text.end(), list), end; it != end; ++it)
        t.listTypes[std::stoull((*it)[1], nullptr, 16) - 12] = (*it)[2];
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
        t.index.push_back({ByteSwapped(static_cast<std::uint32_t>(std::stoul((*it)[1], nullptr, 16))),
                           static_cast<std::uint32_t>(std::stoul((*it)[2], nullptr, 16)),
                           static_cast<std::uint32_t>(std::stoul((*it)[3], nullptr, 16)),
                           static_cast<std::uint32_t>(std::stoul((*it)[4]))});
    }
    return t;
}

Json FfprobeJson(const std::string& path) {
    const auto r = test::Run("ffprobe -v quiet -print_format json -show_streams -show_format " + ShellQuote(path));
    return Json::parse(r.output);
}

const Json* StreamOfType(const Json& probe, const std::string& type) {
    for (const Json& s : probe["streams"])
        if (s["codec_type"] == type) return &s;
    return nullptr;
}

double Ratio(const std::string& fraction) {
    const std::size_t slash = fraction.find('/');
    return std::stod(fraction.substr(0, slash)) / std::stod(fraction.substr(slash + 1));
}

std::string LineStartingWith(const Document& doc, const std::string& prefix) {
    for (const auto& line : doc.FileInfoPane().Lines())
        if (line.rfind(prefix, 0) == 0) return line;
    return "";
}

bool IsVideoEntry(std::uint32_t ckid) {
    const std::uint32_t kind = ckid & 0xFFFF;
    return kind == ('d' << 8 | 'c') || kind == ('d' << 8 | 'b');
}

// The header region's chunks against ffprobe's walk of it: every chunk we
// record there is one ffprobe read, and every header chunk ffprobe read we record.
void ExpectHeaderChunksMatch(const Document& doc, const Trace& trace) {
    const AviParse& p = *doc.Avi();
    std::set<Chunk> ours;
    std::uint64_t moviOffset = 0;
    for (const ChunkRecord& r : p.records) {
        if (r.listType == Fourcc("movi")) {
            moviOffset = r.offset;
            break;
        }
    }
    ASSERT_NE(moviOffset, 0u) << "no movi list";
    for (const ChunkRecord& r : p.records) {
        if (r.offset > moviOffset || r.id == Fourcc("RIFF") || r.id == Fourcc("ISFT")) continue;
        if (r.listType != 0 && r.listType != Fourcc("INFO")) {
            // INFO lists are met by ffprobe as chunks of the RIFF level too.
            auto type = trace.listTypes.find(r.offset);
            ASSERT_NE(type, trace.listTypes.end()) << "LIST at " << r.offset;
            EXPECT_EQ(type->second, FourccText(r.listType));
        }
        ours.insert({r.offset, FourccText(r.id), r.size});
    }
    for (const Chunk& c : ours) EXPECT_TRUE(trace.chunks.count(c)) << std::get<1>(c) << " at " << std::get<0>(c);
    for (const Chunk& c : trace.chunks) {
        const std::string& id = std::get<1>(c);
        const bool known = id == "avih" || id == "strh" || id == "strf" || id == "dmlh";
        if (known && std::get<0>(c) < moviOffset) {
            EXPECT_TRUE(ours.count(c)) << id << " at " << std::get<0>(c);
        }
    }
    std::size_t lists = 0;
    for (const auto& [offset, type] : trace.listTypes)
        if (type == "hdrl" || type == "strl" || type == "odml" || type == "movi") ++lists;
    std::size_t ourLists = 0;
    for (const ChunkRecord& r : p.records)
        if (r.offset <= moviOffset && r.listType != 0 && r.id == Fourcc("LIST") && r.listType != Fourcc("INFO")) ++ourLists;
    EXPECT_EQ(ourLists, lists);
}

// The legacy index against the entries ffprobe read from it.
void ExpectIndexMatches(const AviParse& p, const Trace& trace) {
    std::uint32_t video = 0, audio = 0;
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>> keys;
    for (const Trace::Entry& e : trace.index) {
        if (!std::isdigit(static_cast<int>(e.ckid >> 24)) || !std::isdigit(static_cast<int>((e.ckid >> 16) & 0xFF)))
            continue;
        if (IsVideoEntry(e.ckid)) {
            if (e.flags == 0x10) keys.emplace_back(video, e.ckid, e.offset, e.length);
            ++video;
        } else if ((e.ckid & 0xFFFF) == ('w' << 8 | 'b')) {
            ++audio;
        }
    }
    EXPECT_EQ(p.summary.videoEntryCount, video);
    EXPECT_EQ(p.summary.audioEntryCount, audio);
    ASSERT_EQ(p.summary.keyFrameEntries.size(), keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const VideoIndexEntry& e = p.summary.keyFrameEntries[k];
        EXPECT_EQ(std::make_tuple(p.summary.keyFrameOrdinals[k], e.ckid, e.dwChunkOffset, e.dwChunkLength), keys[k]);
    }
}

struct Expected {
    std::string name;
    std::string ffmpegArgs;
    std::string videoCodecText;
    std::string compressionText;
    std::string audioCodecText;  // "" for a file without audio
};

void PrintTo(const Expected& e, std::ostream* os) { *os << e.name; }

const std::vector<Expected>& GeneratedFiles() {
    static const std::vector<Expected> files = {
        {"xvid_mp3.avi",
         "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 "
         "-c:v mpeg4 -vtag XVID -g 12 -c:a libmp3lame -ac 2",
         "Xvid (MPEG-4)(XVID)", "XVID", "MPEGLAYER3 (ISO/MPEG Layer3 Format Tag)(0X0055)"},
        {"div3_pcm.avi",
         "-f lavfi -i testsrc=size=176x144:rate=30000/1001 -f lavfi -i sine=sample_rate=22050 -t 2 "
         "-c:v msmpeg4 -vtag DIV3 -g 15 -c:a pcm_s16le -ac 1",
         "DivX MPEG-4 V3.xx Low motion codec(DIV3)", "DIV3", "알수 없음(code:0X0001)"},
        {"mjpeg_ac3.avi",
         "-f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i sine=sample_rate=48000 -t 2 "
         "-c:v mjpeg -c:a ac3 -ac 2",
         "알수 없음(MJPG)", "UnKnown Type (0X4D4A5047)", "AC3 (DVM - FAST Multimedia AG)(0X2000)"},
        {"raw_pcm.avi",
         "-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=sample_rate=8000 -t 2 "
         "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le",
         "알수 없음(0000000000)", "BI_RGB", "알수 없음(code:0X0001)"},
    };
    return files;
}

std::string MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "kestrova-avi-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : "";
}

bool HaveFfmpeg() { return test::HaveTool("ffmpeg") && test::HaveTool("ffprobe"); }

class AviFfmpeg : public ::testing::TestWithParam<Expected> {
public:
    static void SetUpTestSuite() {
        if (!HaveFfmpeg()) return;
        dir_ = MakeTempDir();
        for (const Expected& e : GeneratedFiles()) {
            const auto r = test::Run("ffmpeg -nostdin -v error -y " + e.ffmpegArgs + " " + ShellQuote(dir_ + "/" + e.name),
                                     true);
            if (r.exitCode != 0) failures_ += e.name + ": " + r.output + "\n";
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
        ASSERT_TRUE(failures_.empty()) << failures_;
    }
    std::string PathOf(const Expected& e) const { return dir_ + "/" + e.name; }

    static inline std::string dir_;
    static inline std::string failures_;
};

TEST_P(AviFfmpeg, ChunksIndexStreamsAndSummaryMatchFfprobe) {
    const Expected& e = GetParam();
    const std::string path = PathOf(e);
    Document doc;
    doc.OpenFile(path);
    ASSERT_EQ(doc.FileKind(), 4u);
    const AviParse& p = *doc.Avi();
    const Json probe = FfprobeJson(path);
    const Trace trace = FfprobeTrace(path);
    ASSERT_GE(trace.chunks.size(), 5u);
    ASSERT_FALSE(trace.index.empty());

    ExpectHeaderChunksMatch(doc, trace);
    ExpectIndexMatches(p, trace);
    EXPECT_GT(p.summary.keyFrameCount, 0u);

    // The one RIFF covers the file; the tree starts with it.
    const std::uint64_t size = std::stoull(probe["format"]["size"].get<std::string>());
    EXPECT_EQ(doc.Tree().Nodes()[1].caption, "RIFF AVI ");
    EXPECT_EQ(std::uint64_t{p.summary.riffAviSize} + 8, size);
    EXPECT_EQ(LineStartingWith(doc, "  실제 파일의 크기"), "  실제 파일의 크기   : " + GroupedText(size, {}) + " 바이트 ");
    EXPECT_EQ(p.summary.toolName, probe["format"]["tags"]["software"].get<std::string>());

    const Json* video = StreamOfType(probe, "video");
    ASSERT_NE(video, nullptr);
    const AviMainHeader& main = p.summary.mainHeader;
    EXPECT_EQ(main.dwWidth, (*video)["width"].get<std::uint32_t>());
    EXPECT_EQ(main.dwHeight, (*video)["height"].get<std::uint32_t>());
    EXPECT_EQ(std::abs(p.summary.videoFormat.biWidth), (*video)["width"].get<int>());
    EXPECT_EQ(std::abs(p.summary.videoFormat.biHeight), (*video)["height"].get<int>());
    const std::uint32_t frames = static_cast<std::uint32_t>(std::stoul((*video)["nb_frames"].get<std::string>()));
    EXPECT_EQ(main.dwTotalFrames, frames);
    EXPECT_EQ(p.Stream(0).dwLength, frames);
    const double rate = Ratio((*video)["r_frame_rate"]);
    EXPECT_NEAR(static_cast<double>(p.summary.videoRate) / p.summary.videoScale, rate, 1e-9);
    EXPECT_EQ(LineStartingWith(doc, "  프레임 속도"),
              "  프레임 속도        : " + UpToThreeDecimalsText(rate, {}) + " Frame/초");
    EXPECT_EQ(LineStartingWith(doc, "  압축 코덱 (FourCC)"), "  압축 코덱 (FourCC) : " + e.videoCodecText);
    EXPECT_EQ(CompressionText(p.summary.videoFormat.biCompression), e.compressionText);
    EXPECT_EQ(ByteSwapped(p.summary.videoFormat.biCompression),
              std::stoul((*video)["codec_tag"].get<std::string>(), nullptr, 16));
    EXPECT_EQ(LineStartingWith(doc, "  인덱스 정보"), "  인덱스 정보        : 전체프레임-" + std::to_string(frames) +
                                                       "/키프레임-" + std::to_string(p.summary.keyFrameCount));

    const Json* audio = StreamOfType(probe, "audio");
    ASSERT_NE(audio, nullptr);
    const AviAudioFormat& a = p.summary.audioFormat;
    EXPECT_EQ(a.nSamplesPerSec, std::stoul((*audio)["sample_rate"].get<std::string>()));
    EXPECT_EQ(a.nChannels, (*audio)["channels"].get<unsigned>());
    EXPECT_EQ(a.wFormatTag, std::stoul((*audio)["codec_tag"].get<std::string>(), nullptr, 16));
    EXPECT_EQ(LineStartingWith(doc, "  샘플 비율"),
              "  샘플 비율          : " + GroupedText(a.nSamplesPerSec, {}) + " Hz");
    EXPECT_EQ(LineStartingWith(doc, "  음악 채널 수"), "  음악 채널 수       : " + std::to_string(a.nChannels));
    EXPECT_EQ(LineStartingWith(doc, "  압축 코덱   "), "  압축 코덱          : " + e.audioCodecText);

    // Every node describes itself; the strh of the video stream shows its codec and rate.
    for (std::size_t n = 1; n < doc.Tree().Count(); ++n) {
        doc.TreeView1Click(static_cast<std::int64_t>(n));
        const ChunkRecord& r = p.records[n - 1];
        EXPECT_EQ(doc.OffsetEditText(), UpperHexText(r.offset));
        EXPECT_EQ(doc.BoxDescriptionPane().Lines()[0], "Start offset : " + DecHex32Text(r.offset, {}));
        if (r.id == Fourcc("strh") && r.stream == 0) {
            const auto& lines = doc.BoxDescriptionPane().Lines();
            EXPECT_NE(std::find(lines.begin(), lines.end(), "Type             : video (vids)"), lines.end());
            EXPECT_NE(std::find(lines.begin(), lines.end(),
                                "Rate             : " + DecHex32Text(p.Stream(0).dwRate, {})),
                      lines.end());
        }
    }    // Every value shown knows its bytes.
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Encoders, AviFfmpeg, ::testing::ValuesIn(GeneratedFiles()),
                         [](const ::testing::TestParamInfo<Expected>& info) {
                             std::string name = info.param.name.substr(0, info.param.name.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(AviFfmpegDump, RecordsOfAnAviFileInTheDumpJson) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/small.avi";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=5 -t 1 -c:v mjpeg " +
                        ShellQuote(path)).exitCode,
              0);
    const auto r = test::Run(std::string(KESTROVA_DUMP_PATH) + " --json " + ShellQuote(path));
    ASSERT_EQ(r.exitCode, 0);
    const Json open = Json::parse(r.output)["states"][0];
    Document doc;
    doc.OpenFile(path);
    ASSERT_EQ(open["records"].size(), doc.Avi()->records.size());
    for (std::size_t i = 0; i < doc.Avi()->records.size(); ++i) {
        const ChunkRecord& rec = doc.Avi()->records[i];
        EXPECT_EQ(open["records"][i],
                  (Json{{"index", rec.index}, {"offset", rec.offset}, {"size", rec.size}, {"id", FourccText(rec.id)},
                        {"listType", rec.listType == 0 ? Json(nullptr) : Json(FourccText(rec.listType))},
                        {"stream", rec.stream}}));
    }
    EXPECT_EQ(open["records"][0]["listType"], "AVI ");
    EXPECT_EQ(open["fileInfo"][0], "* AVI Header(AVIX) 정보");
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
    std::error_code ec;
    fs::remove_all(dir, ec);
}

TEST(AviFfmpegOpenDml, FileOverOneGibHasItsAvixPartAndOdmlHeader) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/opendml.avi";
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } cleanup{dir};
    // Uncompressed 1080p frames fill a gibibyte in a few seconds.
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=gray:s=1920x1080:r=25 -frames:v 180 "
                        "-c:v rawvideo -pix_fmt bgr24 " + ShellQuote(path)).exitCode,
              0);
    Document doc;
    doc.OpenFile(path);
    ASSERT_EQ(doc.FileKind(), 4u);
    const AviParse& p = *doc.Avi();
    ASSERT_GT(doc.FileSize(), 1ull << 30);

    std::vector<std::string> captions;
    for (const auto& n : doc.Tree().Nodes()) captions.push_back(n.caption);
    for (const char* wanted : {"RIFF AVI ", "RIFF AVIX", "LIST odml", "dmlh", "LIST movi", "idx1"})
        EXPECT_NE(std::find(captions.begin(), captions.end(), wanted), captions.end()) << wanted;

    // The RIFF parts follow each other to the end of the file.
    std::uint64_t end = 0;
    std::uint32_t avix = 0;
    for (const ChunkRecord& r : p.records) {
        if (r.id != Fourcc("RIFF")) continue;
        EXPECT_EQ(r.offset, end);
        end = r.offset + 8 + r.size;
        if (r.listType == Fourcc("AVIX")) avix = r.size;
    }
    EXPECT_EQ(end, doc.FileSize());
    EXPECT_EQ(p.summary.riffAvixSize, avix);

    const Json probe = FfprobeJson(path);
    const Trace trace = FfprobeTrace(path);
    ExpectHeaderChunksMatch(doc, trace);
    const Json* video = StreamOfType(probe, "video");
    ASSERT_NE(video, nullptr);
    const std::uint32_t frames = static_cast<std::uint32_t>(std::stoul((*video)["nb_frames"].get<std::string>()));
    EXPECT_EQ(frames, 180u);
    // dwTotalFrames counts the first part only; the stream length all of them.
    EXPECT_LT(p.summary.mainHeader.dwTotalFrames, frames);
    EXPECT_EQ(p.Stream(0).dwLength, frames);
    EXPECT_EQ(p.summary.mainHeader.dwWidth, (*video)["width"].get<std::uint32_t>());
    EXPECT_EQ(p.summary.mainHeader.dwHeight, (*video)["height"].get<std::uint32_t>());
    EXPECT_EQ(LineStartingWith(doc, "     (AVI + AVIX)"), "     (AVI + AVIX)    : (" + GroupedText(p.summary.riffAviSize, {}) +
                                                            " + " + GroupedText(avix, {}) + ") 바이트");
    EXPECT_EQ(LineStartingWith(doc, "  재생 시간"), "  재생 시간 (초)     : 00:00:07.200 (7초)");
    EXPECT_EQ(LineStartingWith(doc, "  파일 데이터 크기"),
              "  파일 데이터 크기   : " + GroupedText(std::uint64_t{p.summary.riffAviSize} + avix, {}) + " 바이트");

    // The AVIX RIFF's node describes the whole file's size.
    const auto avixNode = std::find(captions.begin(), captions.end(), "RIFF AVIX") - captions.begin();
    doc.TreeView1Click(avixNode);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines().back(), "Data Size    : " + GroupedText(doc.FileSize(), {}) + " Byte");
    EXPECT_EQ(doc.SizeEditText(), "100000");
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
}

TEST(AviCorpus, RealFilesMatchFfprobeAndDescribeEveryNode) {
    const std::string folder = test::CorpusDir();
    if (folder.empty()) GTEST_SKIP() << "no corpus folder";
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffprobe is not installed";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".avi") files.push_back(entry.path());
    if (files.empty()) GTEST_SKIP() << "no AVI file in " << folder;
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        Document doc;
        doc.OpenFile(file.string());
        ASSERT_EQ(doc.FileKind(), 4u);
        const AviParse& p = *doc.Avi();
        const Trace trace = FfprobeTrace(file.string());
        const Json probe = FfprobeJson(file.string());
        bool hasMovi = false;
        for (const ChunkRecord& r : p.records) hasMovi = hasMovi || r.listType == Fourcc("movi");
        if (hasMovi) ExpectHeaderChunksMatch(doc, trace);
        if (!trace.index.empty()) ExpectIndexMatches(p, trace);
        // Some writers leave the header's frame size 0; ffprobe then takes it from the codec.
        const Json* video = StreamOfType(probe, "video");
        if (video && p.summary.mainHeader.dwWidth != 0) {
            EXPECT_EQ(p.summary.mainHeader.dwWidth, (*video)["width"].get<std::uint32_t>());
            EXPECT_EQ(p.summary.mainHeader.dwHeight, (*video)["height"].get<std::uint32_t>());
        }
        if (const Json* audio = StreamOfType(probe, "audio")) {
            EXPECT_EQ(p.summary.audioFormat.nSamplesPerSec, std::stoul((*audio)["sample_rate"].get<std::string>()));
            EXPECT_EQ(p.summary.audioFormat.nChannels, (*audio)["channels"].get<unsigned>());
        }
        // Clicks every node; every value shown knows its bytes.
        EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
        doc.TreeView1Click(0);
        EXPECT_EQ(doc.FileInfoPane().Lines().front(), "* AVI Header(AVIX) 정보");
    }
}

}  // namespace
}  // namespace kestrova
