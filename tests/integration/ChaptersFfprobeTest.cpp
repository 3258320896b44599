// Chapters ffmpeg writes from an ffmetadata file, against
// `ffprobe -show_chapters`: the summary lists each chapter the chap reference's
// text track holds, with the same start time and title.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "shell/Document.h"
#include "support/Process.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

TEST(ChaptersFfprobe, ChapTrackTitlesAndStarts) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-chapters-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string meta = dir + "/chapters.txt", path = dir + "/chapters.m4a";
    std::ofstream(meta) << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Intro\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=2250\ntitle=Zwei \xC3\xA9\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2250\nEND=3000\ntitle=End\n";
    const auto made = test::Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=r=8000 -i " + ShellQuote(meta) +
                                    " -map_metadata 1 -map_chapters 1 -t 3 -c:a aac " + ShellQuote(path),
                                true);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const Json probe = Json::parse(test::Run("ffprobe -v error -of json -show_chapters " + ShellQuote(path)).output, nullptr, false);
    ASSERT_TRUE(probe.is_object());
    std::vector<std::string> expected;
    for (const Json& c : probe.value("chapters", Json::array())) {
        char start[32];
        std::snprintf(start, sizeof start, "%.3f s", std::stod(c.value("start_time", "0")));
        std::string line = std::string("  ") + start;
        line.append(20 - line.size(), ' ');
        expected.push_back(line + ": \"" + c["tags"].value("title", "") + "\"");
    }
    ASSERT_EQ(expected.size(), 3u);

    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    std::vector<std::string> ours;
    for (const std::string& line : doc.FileInfoPane().Lines())
        if (line.rfind("  ", 0) == 0 && line.find(" s ") != std::string::npos) ours.push_back(line);
    EXPECT_EQ(ours, expected);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrova
