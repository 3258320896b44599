// The full view on files of today's codecs that ffmpeg writes, and on the real
// files where present: every box ffprobe walks is a node of the same offset and
// size, and every line of every box lights bytes that hold its value.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <tuple>

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

// type, offset, size (of the whole box, 64-bit sizes included).
using Box = std::tuple<std::string, std::uint64_t, std::uint64_t>;

// ffprobe reads these as boxes whose children are boxes; we walk each of them too.
const std::set<std::string> kWalkedByBoth = {"root", "moov", "trak", "mdia", "minf", "dinf", "stbl",
                                             "edts", "mvex", "moof", "traf", "udta", "mfra"};

// ffprobe names the children of a sample entry as children of stsd, placed
// within the entry's extensions; those are compared by type and size.
using EntryChild = std::pair<std::string, std::uint64_t>;

// ffprobe's trace names each box with its parent and its payload's place; a
// box's offset is its payload's offset less 8 (or 16 with a 64-bit size).
std::set<Box> FfprobeBoxes(const std::string& path, std::multiset<EntryChild>* entryChildren = nullptr) {
    const std::string trace = test::Run("ffprobe -v trace " + ShellQuote(path), true).output;
    static const std::regex line(R"(type:'(.{4})' parent:'(.{4}|root)' sz: (-?\d+) (\d+) (\d+))");
    struct Frame {
        std::string type;
        std::uint64_t payload;
        bool walked;
    };
    std::vector<Frame> stack{{"root", 0, true}};
    std::set<Box> boxes;
    for (std::sregex_iterator it(trace.begin(), trace.end(), line), end; it != end; ++it) {
        const std::string type = (*it)[1], parent = (*it)[2];
        const long long size = std::stoll((*it)[3]);
        const std::uint64_t at = std::stoull((*it)[4]);
        while (stack.size() > 1 && stack.back().type != parent) stack.pop_back();
        if (stack.back().type != parent || size <= 0) continue;
        if (parent == "stsd" && stack.back().walked && entryChildren != nullptr) {
            entryChildren->insert({type, static_cast<std::uint64_t>(size)});
            continue;
        }
        const std::uint64_t offset = stack.back().payload + at - 8;
        // Only the children of boxes both walks go into, all the way from the root.
        const bool walked = stack.back().walked && kWalkedByBoth.count(parent) != 0;
        if (walked) boxes.insert({type, offset, static_cast<std::uint64_t>(size)});
        stack.push_back({type, offset + 8, walked});
    }
    return boxes;
}

std::set<Box> OurBoxes(const Document& doc) {
    std::set<Box> boxes;
    for (const full::FullRecord& r : doc.Full()->records) {
        // ffprobe counts a 64-bit-size box from its largesize field.
        const bool large = r.headerSize == 16;
        // A box cut by the end of the file keeps, for ffprobe, the size its header declares.
        const std::uint64_t size = r.cutByParent && r.declaredExtent >= r.headerSize ? r.declaredExtent : r.extent;
        boxes.insert({FourccText(r.type), large ? r.offset + 8 : r.offset, large ? size - 8 : size});
    }
    return boxes;
}

std::string Describe(const std::set<Box>& boxes) {
    std::string out;
    for (const auto& [type, offset, size] : boxes) out += type + "@" + std::to_string(offset) + "+" + std::to_string(size) + "\n";
    return out;
}

// Checks one file in the full view; returns how many boxes ffprobe and we both list.
std::size_t CheckFile(const std::string& path) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    EXPECT_EQ(doc.FileKind() & kFileKindIso, kFileKindIso) << path;
    if (doc.Full() == nullptr) return 0;
    const std::set<Box> ours = OurBoxes(doc);
    std::multiset<EntryChild> theirEntryChildren, ourEntryChildren;
    const auto& records = doc.Full()->records;
    for (const full::FullRecord& r : records) {
        if (r.parent < 0) continue;
        const full::FullRecord& entry = records[static_cast<std::size_t>(r.parent)];
        if (entry.parent >= 0 && records[static_cast<std::size_t>(entry.parent)].type == Fourcc("stsd"))
            ourEntryChildren.insert({FourccText(r.type), r.extent});
    }
    std::size_t both = 0;
    for (const Box& box : FfprobeBoxes(path, &theirEntryChildren)) {
        EXPECT_TRUE(ours.count(box)) << path << ": ffprobe has " << Describe({box});
        both += ours.count(box);
    }
    for (const EntryChild& child : theirEntryChildren) {
        EXPECT_TRUE(ourEntryChildren.count(child)) << path << ": ffprobe has " << child.first << " of " << child.second
                                                   << " bytes in a sample entry";
        both += ourEntryChildren.count(child) != 0;
    }
    EXPECT_EQ(test::CheckDescriptionRanges(doc), std::vector<std::string>{}) << path;
    return both;
}

struct Encoding {
    const char* name;
    const char* args;
};

class FullViewFfmpegFile : public ::testing::TestWithParam<Encoding> {};

TEST_P(FullViewFfmpegFile, EveryBoxFfprobeWalksIsANodeAndEveryLineLightsItsValue) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    const Encoding& e = GetParam();
    test::TempFile dir({}, "unused");
    const std::string path = fs::path(dir.Path()).parent_path() / e.name;
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i "
                             "sine=frequency=440:sample_rate=48000 -t 1 " +
                             std::string(e.args) + " " + ShellQuote(path);
    const test::ProcessResult made = test::Run(make, true);
    if (made.exitCode != 0 && made.output.find("Unknown encoder") != std::string::npos)
        GTEST_SKIP() << "this ffmpeg lacks the encoder: " << made.output;
    ASSERT_EQ(made.exitCode, 0) << make << "\n" << made.output;
    EXPECT_GT(CheckFile(path), 10u);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, FullViewFfmpegFile,
    ::testing::Values(
        Encoding{"h264_aac.mp4", "-c:v libx264 -preset ultrafast -c:a aac"},
        Encoding{"hevc_opus.mp4", "-c:v libx265 -preset ultrafast -x265-params log-level=none -tag:v hvc1 -c:a libopus"},
        Encoding{"vp9_flac.mp4", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a flac -strict -2"},
        Encoding{"av1_ac3.mp4", "-c:v libaom-av1 -cpu-used 8 -c:a ac3"},
        Encoding{"h264_aac_fragmented.mp4", "-c:v libx264 -preset ultrafast -c:a aac -movflags frag_keyframe+empty_moov"},
        Encoding{"h264_eac3.mp4", "-c:v libx264 -preset ultrafast -c:a eac3"},
        Encoding{"prores_pcm.mov", "-c:v prores -c:a pcm_s16le"},
        Encoding{"h264_alac.m4a", "-vn -c:a alac"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(FullViewCorpus, EveryRealFileOpensWithEveryBoxFfprobeWalks) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".avi" || ext == ".tsv" || ext == ".md") continue;
        SCOPED_TRACE(entry.path().filename().string());
        CheckFile(entry.path().string());
        ++files;
    }
    EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace kestrova
