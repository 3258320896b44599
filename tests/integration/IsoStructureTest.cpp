// The box tree of files that ffmpeg writes (and of real files, where present)
// against what ffprobe's own walk reports for the same file.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "common/Formatters.h"
#include "iso/Mp4ParseIso.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"
#include "support/Process.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

using test::ShellQuote;

// type, offset, size, parent type: in ffprobe's convention, where the offset is
// that of the payload minus 8 and the size is the box's size less the size
// field's extra 8 bytes for a 64-bit size.
using Box = std::tuple<std::string, std::uint64_t, std::uint64_t, std::string>;

// The containers both walks go into completely.
const std::set<std::string> kBothWalk = {"root", "moov", "trak", "mdia", "minf", "dinf", "stbl"};

std::set<Box> FfprobeBoxes(const std::string& path) {
    const std::string trace = test::Run("ffprobe -v trace " + ShellQuote(path), true).output;
    static const std::regex line(R"(type:'(.{4})' parent:'(.{4}|root)' sz: (-?\d+) (\d+) (\d+))");
    struct Frame {
        std::string type;
        std::uint64_t payload;
    };
    std::vector<Frame> stack{{"root", 0}};
    std::set<Box> boxes;
    for (std::sregex_iterator it(trace.begin(), trace.end(), line), end; it != end; ++it) {
        const std::string type = (*it)[1], parent = (*it)[2];
        const long long size = std::stoll((*it)[3]);
        const std::uint64_t at = std::stoull((*it)[4]);
        while (stack.size() > 1 && stack.back().type != parent) stack.pop_back();
        if (stack.back().type != parent || !kBothWalk.count(parent) || size < 0) continue;
        const std::uint64_t offset = stack.back().payload + at - 8;
        boxes.insert({type, offset, static_cast<std::uint64_t>(size), parent});
        stack.push_back({type, offset + 8});
    }
    return boxes;
}

std::set<Box> OurBoxes(const Document& doc) {
    std::set<Box> boxes;
    const auto& nodes = doc.Tree().Nodes();
    for (const BoxRecord& r : doc.Iso()->records) {
        const std::int32_t parent = nodes[static_cast<std::size_t>(r.index) + 1].parent;
        const std::string parentType = parent == 0 ? "root" : nodes[static_cast<std::size_t>(parent)].caption;
        if (!kBothWalk.count(parentType)) continue;
        const bool large = r.size == 1 && r.Extent() > 1;
        boxes.insert({FourccText(r.type), large ? r.offset + 8 : r.offset, large ? r.Extent() - 8 : r.Extent(),
                      parentType});
    }
    return boxes;
}

std::string Describe(const std::set<Box>& boxes) {
    std::string out;
    for (const auto& [type, offset, size, parent] : boxes)
        out += type + "@" + std::to_string(offset) + "+" + std::to_string(size) + " in " + parent + "\n";
    return out;
}

struct Encoding {
    const char* name;
    const char* args;
};

class FfmpegIsoFile : public ::testing::TestWithParam<Encoding> {};

TEST_P(FfmpegIsoFile, TreeMatchesFfprobe) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    const Encoding& e = GetParam();
    test::TempFile dir({}, "unused");
    const std::string path = fs::path(dir.Path()).parent_path() / e.name;
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i "
                             "sine=frequency=440:sample_rate=16000 -t 2 " +
                             std::string(e.args) + " " + ShellQuote(path);
    ASSERT_EQ(test::Run(make, true).exitCode, 0) << make;

    Document doc;
    doc.OpenFile(path);
    ASSERT_EQ(doc.FileKind(), 1u);
    const std::set<Box> theirs = FfprobeBoxes(path);
    const std::set<Box> ours = OurBoxes(doc);
    ASSERT_GT(theirs.size(), 15u);
    EXPECT_EQ(ours, theirs) << "ours:\n" << Describe(ours) << "ffprobe:\n" << Describe(theirs);

    // Every box of the tree is a node under the node of the box that holds it.
    const auto& records = doc.Iso()->records;
    const auto& nodes = doc.Tree().Nodes();
    for (const BoxRecord& r : records) {
        const std::int32_t parent = nodes[static_cast<std::size_t>(r.index) + 1].parent;
        if (parent == 0) continue;
        const BoxRecord& holder = records[static_cast<std::size_t>(parent) - 1];
        EXPECT_GE(r.offset, holder.offset + 8);
        EXPECT_LE(r.offset + r.Extent(), holder.offset + holder.Extent());
    }

    // The brands that ffprobe reads from ftyp are the ones the description lists.
    const auto format = nlohmann::json::parse(
        test::Run("ffprobe -v quiet -print_format json -show_format " + ShellQuote(path)).output);
    const auto& tags = format["format"]["tags"];
    doc.TreeView1Click(1);
    const auto& lines = doc.BoxDescriptionPane().Lines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[4].substr(0, 18), "Major brand : " + tags["major_brand"].get<std::string>());
    std::string brands;
    for (std::size_t i = 8; i < lines.size(); ++i) brands += lines[i].substr(3, 4);
    EXPECT_EQ(brands, tags["compatible_brands"].get<std::string>());
    EXPECT_EQ(lines[6], "Minor version : " + DecHex16Text(std::stoul(tags["minor_version"].get<std::string>()) & 0xFFFF, {}));    // Every value shown knows its bytes.
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, FfmpegIsoFile,
    ::testing::Values(Encoding{"h264_aac.mp4", "-c:v libx264 -preset ultrafast -c:a aac"},
                      Encoding{"mpeg4_aac.mp4", "-c:v mpeg4 -c:a aac"},
                      Encoding{"mpeg4_aac_faststart.mp4", "-c:v mpeg4 -c:a aac -movflags +faststart"},
                      Encoding{"h263_aac.3gp", "-c:v h263 -c:a aac -ac 1 -ar 16000"},
                      Encoding{"mpeg4_aac.3g2", "-c:v mpeg4 -c:a aac -ac 1 -ar 16000 -f 3g2"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// Real files from other projects: every box ffprobe reports inside the
// containers both walk is in our tree too. Ours may hold more, because
// ffprobe stops at damage or at the movie box of a fragmented file; a box of
// size 0 ends our walk where ffprobe reads it as running to the end.
TEST(CorpusIsoFiles, EveryBoxFfprobeWalksIsInTheTree) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".avi" || ext == ".tsv") continue;
        Document doc;
        doc.OpenFile(entry.path().string());
        if (doc.FileKind() != 1) continue;  // no top-level movie box: not ours to walk
        const std::set<Box> ours = OurBoxes(doc);
        for (const Box& box : FfprobeBoxes(entry.path().string())) {
            if (std::get<2>(box) == 0) continue;
            EXPECT_TRUE(ours.count(box)) << entry.path().filename() << ": " << Describe({box});
        }
        EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{}) << entry.path().filename();
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

}  // namespace
}  // namespace kestrova
