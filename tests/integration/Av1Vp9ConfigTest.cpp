// av1C, vpcC and MPEG-4 Visual configurations of files ffmpeg writes with each
// encoder, read in the full view and compared with what ffprobe (and
// mediainfo, when installed) says of the stream; every line of the clicked
// box lights bytes that hold its value.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "codecs/Mpeg4Visual.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"
#include "support/Process.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

// key=value lines of ffprobe -show_streams for the first video stream.
std::map<std::string, std::string> FfprobeStream(const std::string& path) {
    const std::string out =
        test::Run("ffprobe -v error -select_streams v:0 -show_streams -show_data " + ShellQuote(path)).output;
    std::map<std::string, std::string> values;
    static const std::regex line(R"(^([a-z_]+)=(.*)$)");
    std::smatch m;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, m, line) && !values.count(m[1])) values[m[1]] = m[2];
    // The dump starts on the line after "extradata=".
    const std::size_t dump = out.find("extradata=\n");
    values["extradata"] = dump == std::string::npos ? "" : out.substr(dump + 11);
    return values;
}

// mediainfo's JSON value of a field of the video track; "" when absent.
std::string MediainfoField(const std::string& json, const std::string& field) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex(R"re("@type":\s*"Video")re"))) return "";
    const std::string video = m.suffix();
    return std::regex_search(video, m, std::regex("\"" + field + R"re(":\s*"([^"]*)")re")) ? std::string(m[1]) : "";
}

struct Clicked {
    std::vector<std::string> lines;
    std::vector<std::string> rangeFailures;
};

// Clicks the first box of this type in the full view.
Clicked ClickBox(const std::string& path, const std::string& type) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    Clicked out;
    if (doc.Full() == nullptr) return out;
    for (const full::FullRecord& r : doc.Full()->records) {
        if (FourccText(r.type) != type) continue;
        doc.TreeView1Click(r.index + 1);
        out.lines = doc.BoxDescriptionPane().Lines();
        out.rangeFailures = test::CheckPaneRanges(doc, type);
        break;
    }
    return out;
}

// The text after " : " of the first line of this label.
std::string Value(const std::vector<std::string>& lines, const std::string& label) {
    for (const std::string& l : lines) {
        const std::size_t colon = l.find(" : ");
        if (colon == std::string::npos) continue;
        std::string name = l.substr(0, colon);
        name.erase(name.find_last_not_of(' ') + 1);
        if (name == label) return l.substr(colon + 3);
    }
    return "";
}

// The decimal number a value starts with.
long long Number(const std::string& value) {
    std::string digits;
    for (const char c : value) {
        if (c == ',') continue;
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        digits += c;
    }
    return digits.empty() ? -1 : std::stoll(digits);
}

unsigned BitDepthOf(const std::string& pixFmt) {
    if (pixFmt.find("12") != std::string::npos) return 12;
    return pixFmt.find("10") != std::string::npos ? 10 : 8;
}

struct Encoding {
    const char* name;
    const char* args;
    const char* size;
};

std::string MakeFile(const Encoding& e, std::string& skip) {
    static test::TempFile dir({}, "unused");
    const std::string path = fs::path(dir.Path()).parent_path() / e.name;
    const std::string make = std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=") + e.size + ":rate=10 -t 0.2 " +
                             e.args + " " + ShellQuote(path);
    const test::ProcessResult made = test::Run(make, true);
    if (made.exitCode != 0 && made.output.find("Unknown encoder") != std::string::npos)
        skip = made.output;
    else if (made.exitCode != 0)
        ADD_FAILURE() << make << "\n" << made.output;
    return path;
}

class Av1File : public ::testing::TestWithParam<Encoding> {};

TEST_P(Av1File, Av1CAgreesWithFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string skip;
    const std::string path = MakeFile(GetParam(), skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    const auto probe = FfprobeStream(path);
    const Clicked c = ClickBox(path, "av1C");
    ASSERT_FALSE(c.lines.empty());
    EXPECT_EQ(c.rangeFailures, std::vector<std::string>{});

    EXPECT_NE(Value(c.lines, "seq_profile").find(probe.at("profile")), std::string::npos)
        << Value(c.lines, "seq_profile");
    // ffprobe's level is seq_level_idx[0] as it stands.
    EXPECT_EQ(Number(Value(c.lines, "seq_level_idx[0]")), std::stoll(probe.at("level")));
    EXPECT_EQ(Number(Value(c.lines, "seq_level_idx_0")), std::stoll(probe.at("level")));
    EXPECT_EQ(Value(c.lines, "BitDepth"), "= " + std::to_string(BitDepthOf(probe.at("pix_fmt"))));
    EXPECT_EQ(Value(c.lines, "maximum frame size"), "= " + probe.at("width") + "x" + probe.at("height"));
    EXPECT_EQ(Value(c.lines, "subsampling"), "= 4:2:0");
    const std::string range = probe.at("color_range");
    if (range == "tv" || range == "pc") {
        EXPECT_NE(Value(c.lines, "color_range").find(range == "tv" ? "limited" : "full"), std::string::npos);
    }
    // The record repeats the sequence header; no line says they differ.
    for (const std::string& l : c.lines)
        EXPECT_EQ(l.find("in the record, the sequence header says"), std::string::npos) << l;

    if (test::HaveTool("mediainfo")) {
        const std::string json = test::Run("mediainfo --Output=JSON " + ShellQuote(path)).output;
        EXPECT_EQ(MediainfoField(json, "BitDepth"), std::to_string(BitDepthOf(probe.at("pix_fmt"))));
        EXPECT_EQ(MediainfoField(json, "ChromaSubsampling"), "4:2:0");
        // mediainfo gives no level for "maximum parameters".
        if (const std::string level = MediainfoField(json, "Format_Level"); !level.empty()) {
            EXPECT_NE(Value(c.lines, "seq_level_idx_0").find("level " + level), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, Av1File,
    ::testing::Values(Encoding{"aom8.mp4", "-c:v libaom-av1 -cpu-used 8 -pix_fmt yuv420p", "64x48"},
                      Encoding{"aom10.mp4", "-c:v libaom-av1 -cpu-used 8 -pix_fmt yuv420p10le", "64x48"},
                      // SVT-AV1 wants at least 64 lines.
                      Encoding{"svt8.mp4", "-c:v libsvtav1 -preset 12 -pix_fmt yuv420p", "64x64"},
                      Encoding{"svt10.mp4", "-c:v libsvtav1 -preset 12 -pix_fmt yuv420p10le", "64x64"},
                      Encoding{"rav1e8.mp4", "-c:v librav1e -speed 10 -pix_fmt yuv420p", "64x48"},
                      Encoding{"rav1e10.mp4", "-c:v librav1e -speed 10 -pix_fmt yuv420p10le", "64x48"}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).find('.')); });

class Vp9File : public ::testing::TestWithParam<Encoding> {};

TEST_P(Vp9File, VpcCAgreesWithFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string skip;
    const std::string path = MakeFile(GetParam(), skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    const auto probe = FfprobeStream(path);
    const Clicked c = ClickBox(path, "vpcC");
    ASSERT_FALSE(c.lines.empty());
    EXPECT_EQ(c.rangeFailures, std::vector<std::string>{});

    EXPECT_EQ("Profile " + std::to_string(Number(Value(c.lines, "profile"))), probe.at("profile"));
    EXPECT_EQ(Number(Value(c.lines, "bitDepth")), static_cast<long long>(BitDepthOf(probe.at("pix_fmt"))));
    // Both 0 and 1 are 4:2:0; they differ in where chroma sits, which ffprobe
    // leaves unspecified although the box names it.
    EXPECT_LE(Number(Value(c.lines, "chromaSubsampling")), 1);
    EXPECT_EQ(Number(Value(c.lines, "videoFullRangeFlag")), probe.at("color_range") == "pc" ? 1 : 0);
    if (probe.at("color_primaries") == "unknown") {
        EXPECT_EQ(Number(Value(c.lines, "colourPrimaries")), 2);
    }

    // mediainfo gives neither bit depth nor chroma of VP9 in MP4: nothing to compare.
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, Vp9File,
    ::testing::Values(Encoding{"vp9p0.mp4", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -pix_fmt yuv420p", "64x48"},
                      Encoding{"vp9p2.mp4", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -pix_fmt yuv420p10le",
                               "64x48"}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).find('.')); });

// The bytes of ffprobe's hexadecimal dump of the extradata.
std::vector<std::uint8_t> DumpBytes(const std::string& dump) {
    std::vector<std::uint8_t> out;
    static const std::regex row(R"(^[0-9a-f]{8}: ((?:[0-9a-f]{2,4} ?)+))");
    std::istringstream in(dump);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (!std::regex_search(l, m, row)) break;
        std::string hex = m[1];
        std::erase(hex, ' ');
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

class Mpeg4File : public ::testing::TestWithParam<Encoding> {};

TEST_P(Mpeg4File, DecoderSpecificInfoAgreesWithFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string skip;
    const std::string path = MakeFile(GetParam(), skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    const auto probe = FfprobeStream(path);
    const std::vector<std::uint8_t> extradata = DumpBytes(probe.at("extradata"));
    ASSERT_EQ(std::to_string(extradata.size()), probe.at("extradata_size"));
    codecs::BitSource src = codecs::BitSource::Plain(extradata, 0);
    const codecs::Mpeg4VisualConfig v = codecs::ReadMpeg4VisualConfig(src, nullptr);
    ASSERT_TRUE(v.hasLayer);
    EXPECT_EQ(std::to_string(v.width), probe.at("width"));
    EXPECT_EQ(std::to_string(v.height), probe.at("height"));
    // ffprobe names the profile and gives the level as the low bits of profile_and_level_indication.
    EXPECT_EQ(codecs::Mpeg4ProfileAndLevelName(v.profileAndLevel).rfind(probe.at("profile"), 0), 0u)
        << codecs::Mpeg4ProfileAndLevelName(v.profileAndLevel);
    EXPECT_EQ(std::to_string(v.profileAndLevel & 0x0F), probe.at("level"));
    const std::string sar = probe.at("sample_aspect_ratio");
    EXPECT_EQ(std::to_string(v.parWidth) + ":" + std::to_string(v.parHeight), sar);

    if (test::HaveTool("mediainfo")) {
        const std::string json = test::Run("mediainfo --Output=JSON " + ShellQuote(path)).output;
        EXPECT_EQ(codecs::Mpeg4ProfileAndLevelName(v.profileAndLevel).rfind(MediainfoField(json, "Format_Profile"), 0), 0u);
        EXPECT_EQ(MediainfoField(json, "Format_Settings_QPel"), v.quarterSample ? "Yes" : "No");
        EXPECT_EQ(MediainfoField(json, "ScanType") == "Interlaced", v.interlaced);
    }

    // The esds shows the same layer, every line lighting its bits.
    const Clicked c = ClickBox(path, "esds");
    EXPECT_EQ(c.rangeFailures, std::vector<std::string>{});
    if (!Value(c.lines, "video_object_layer_width").empty()) {
        EXPECT_EQ(Number(Value(c.lines, "video_object_layer_width")), std::stoll(probe.at("width")));
        EXPECT_EQ(Number(Value(c.lines, "video_object_layer_height")), std::stoll(probe.at("height")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, Mpeg4File,
    ::testing::Values(Encoding{"mpeg4.mp4", "-c:v mpeg4", "64x48"}, Encoding{"xvid.mp4", "-c:v libxvid", "64x48"},
                      Encoding{"mpeg4_asp.mp4", "-c:v mpeg4 -flags +qpel+ildct -bf 1", "64x48"}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).find('.')); });

// The real files of the corpus: AV1 and VP9 configurations against ffprobe.
TEST(Av1Vp9Corpus, RealConfigurationsAgreeWithFfprobe) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const struct {
        const char* file;
        const char* box;
        const char* label;  // a field whose value ffprobe gives
        const char* probeKey;
    } files[] = {
        {"mp4_av01_tiny.mp4", "av1C", "seq_level_idx[0]", "level"},
        {"mp4_vp09-mp3_32x18.mp4", "vpcC", "bitDepth", ""},
        {"3gp_s263-d263_samr-damr_phone-recording.3gp", "d263", "H263_Level", ""},
    };
    for (const auto& f : files) {
        const std::string path = corpus + "/" + f.file;
        if (!fs::exists(path)) continue;
        SCOPED_TRACE(f.file);
        const Clicked c = ClickBox(path, f.box);
        ASSERT_FALSE(c.lines.empty());
        EXPECT_EQ(c.rangeFailures, std::vector<std::string>{});
        EXPECT_GE(Number(Value(c.lines, f.label)), 0);
        if (*f.probeKey) {
            EXPECT_EQ(Number(Value(c.lines, f.label)), std::stoll(FfprobeStream(path).at(f.probeKey)));
        }
    }
}

}  // namespace
}  // namespace kestrova
