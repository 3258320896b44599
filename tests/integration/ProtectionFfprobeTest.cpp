// Encrypted files ffmpeg makes, and those of the corpus, against
// `ffprobe -show_packets`: every senc sample line stands for one packet, and
// where it lists subsamples their clear and protected bytes add up to the
// packet's size; tenc shows the KID ffmpeg was given.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <nlohmann/json.hpp>

#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/Process.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

// Each stream's packet sizes, in stream order (our track order).
std::vector<std::vector<std::uint64_t>> PacketSizes(const std::string& path) {
    const auto r = test::Run("ffprobe -v error -of json -show_entries packet=stream_index,size " + ShellQuote(path));
    std::vector<std::vector<std::uint64_t>> sizes;
    const Json probe = Json::parse(r.output, nullptr, false);
    if (!probe.is_object()) return sizes;
    for (const Json& p : probe.value("packets", Json::array())) {
        const auto index = p.value("stream_index", std::size_t{0});
        if (sizes.size() <= index) sizes.resize(index + 1);
        sizes[index].push_back(std::stoull(p.value("size", "0")));
    }
    return sizes;
}

std::uint64_t Number(const std::string& grouped) {
    std::string digits;
    for (const char c : grouped)
        if (c != ',') digits += c;
    return std::stoull(digits);
}

struct SencSample {
    std::uint64_t trackSample = 0;
    std::uint64_t bytes = 0;  // clear and protected bytes of its subsamples
    bool subsamples = false;
};

// The sample lines of the nth senc of the document.
std::vector<SencSample> SencSamples(Document& doc, const full::FullRecord& senc) {
    doc.TreeView1Click(senc.index + 1);
    static const std::regex kSample(R"(^   sample #\d+ *: track sample #([\d,]+), .*)");
    static const std::regex kSub(R"(^      subsample #\d+ *: BytesOfClearData ([\d,]+) .*BytesOfProtectedData ([\d,]+) .*)");
    std::vector<SencSample> out;
    std::smatch m;
    for (const std::string& line : doc.BoxDescriptionPane().Lines()) {
        if (std::regex_match(line, m, kSample)) {
            out.push_back({Number(m[1])});
        } else if (std::regex_match(line, m, kSub) && !out.empty()) {
            out.back().bytes += Number(m[1]) + Number(m[2]);
            out.back().subsamples = true;
        }
    }
    return out;
}

// Checks every senc of the file against the packets of its track; returns how many samples were checked.
std::size_t CheckSenc(const std::string& path) {
    const auto packets = PacketSizes(path);
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    const full::FullParse* parse = doc.Full();
    if (parse == nullptr) {
        ADD_FAILURE() << "not opened in the full view";
        return 0;
    }
    std::size_t checked = 0;
    for (const full::FullRecord& r : parse->records) {
        if (r.type != Fourcc("senc") || r.track < 0) continue;
        const auto track = static_cast<std::size_t>(r.track);
        SCOPED_TRACE("senc of track " + std::to_string(track + 1));
        const std::vector<SencSample> samples = SencSamples(doc, r);
        if (track >= packets.size() || samples.size() != packets[track].size()) {
            ADD_FAILURE() << samples.size() << " samples in the senc, ffprobe's stream has "
                          << (track < packets.size() ? packets[track].size() : 0) << " packets";
            continue;
        }
        for (std::size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].trackSample, i + 1);
            if (samples[i].subsamples) {
                EXPECT_EQ(samples[i].bytes, packets[track][i]) << "sample " << i + 1;
            }
            ++checked;
        }
    }
    return checked;
}

TEST(ProtectionFfprobe, FfmpegCencSubsamplesAddUpToEachPacket) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-cenc-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string path = dir + "/cenc.mp4";
    const auto made = test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=r=8000 "
                                "-t 2 -c:v libx264 -c:a aac -encryption_scheme cenc-aes-ctr "
                                "-encryption_key 00112233445566778899aabbccddeeff "
                                "-encryption_kid a0a1a2a3a4a5a6a7a8a9aaabacadaeaf " + ShellQuote(path),
                                true);
    if (made.exitCode != 0) GTEST_SKIP() << "this ffmpeg does not encrypt: " << made.output;
    EXPECT_GT(CheckSenc(path), 20u);

    const auto tenc = test::Run(std::string(KESTROVA_DUMP_PATH) + " --full --find tenc " + ShellQuote(path));
    ASSERT_FALSE(tenc.output.empty());
    const auto click = test::Run(std::string(KESTROVA_DUMP_PATH) + " --full --click " +
                                 tenc.output.substr(0, tenc.output.find('\t')) + " " + ShellQuote(path));
    EXPECT_NE(click.output.find("default_KID                : a0a1a2a3-a4a5-a6a7-a8a9-aaabacadaeaf"), std::string::npos)
        << click.output;
    fs::remove_all(dir);
}

TEST(ProtectionFfprobe, CorpusSencMatchesPackets) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const std::string path = corpus + "/mp4_cenc_encv-enca_senc-saio-saiz.mp4";
    if (!fs::exists(path)) GTEST_SKIP() << "no encrypted corpus file";
    EXPECT_GT(CheckSenc(path), 20u);
}

}  // namespace
}  // namespace kestrova
