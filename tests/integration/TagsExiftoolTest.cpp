// QuickTime tags ffmpeg writes, against `exiftool -a -G1 -s -n`: ©xyz read
// as the same latitude and longitude, and each keys entry (mdta) with the
// value of the ilst item that indexes it.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/Process.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

std::string Exiftool(const std::string& path, const std::string& tag) {
    const auto r = test::Run("exiftool -a -G1 -s -n " + ShellQuote(path));
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        name.erase(name.find_last_not_of(' ') + 1);
        if (name.size() >= tag.size() && name.compare(name.size() - tag.size(), tag.size(), tag) == 0 &&
            name[name.size() - tag.size() - 1] == ' ')
            return line.substr(colon + 3);
    }
    return {};
}

// Every line of the descriptions of the boxes of this type, clicked in tree order.
std::vector<std::string> LinesOf(Document& doc, std::uint32_t type) {
    std::vector<std::string> lines;
    for (const full::FullRecord& r : doc.Full()->records) {
        if (r.type != type) continue;
        doc.TreeView1Click(r.index + 1);
        const auto& pane = doc.BoxDescriptionPane().Lines();
        lines.insert(lines.end(), pane.begin(), pane.end());
    }
    return lines;
}

class TagsExiftool : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg") || !test::HaveTool("exiftool")) GTEST_SKIP() << "ffmpeg or exiftool is not installed";
        dir_ = (fs::temp_directory_path() / "kestrova-exif-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(dir_.data()));
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    std::string Make(const std::string& name, const std::string& args) {
        const std::string path = dir_ + "/" + name;
        const auto made = test::Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=r=8000 -t 0.5 -c:a aac " + args + " " + ShellQuote(path), true);
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }
    std::string dir_;
};

TEST_F(TagsExiftool, PlaceOfAMovFile) {
    const std::string path = Make("place.mov", "-metadata location=+37.3318-122.0312/");
    const std::string coordinates = Exiftool(path, "GPSCoordinates");
    ASSERT_FALSE(coordinates.empty());
    double lat = 0, lon = 0;
    std::istringstream(coordinates) >> lat >> lon;
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_NE(doc.Full(), nullptr);
    const std::uint32_t xyz = 0xA9000000u | 'x' << 16 | 'y' << 8 | 'z';
    const std::regex kPlace(R"(^place +: = latitude (-?[\d.]+), longitude (-?[\d.]+).*)");
    bool found = false;
    for (const std::string& line : LinesOf(doc, xyz)) {
        std::smatch m;
        if (!std::regex_match(line, m, kPlace)) continue;
        EXPECT_NEAR(std::stod(m[1]), lat, 1e-4);
        EXPECT_NEAR(std::stod(m[2]), lon, 1e-4);
        found = true;
    }
    EXPECT_TRUE(found);
}

TEST_F(TagsExiftool, KeysAndTheItemsThatIndexThem) {
    const std::string path = Make("keys.mp4", "-movflags use_metadata_tags -metadata com.example.thing=Hello -metadata title=Tk");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_NE(doc.Full(), nullptr);
    // Each item names its key; the value follows in its data box.
    std::map<std::string, std::string> ours;
    const full::FullParse& parse = *doc.Full();
    for (const full::FullRecord& r : parse.records) {
        if (r.parent < 0 || parse.records[static_cast<std::size_t>(r.parent)].type != Fourcc("ilst")) continue;
        doc.TreeView1Click(r.index + 1);
        const std::string head = doc.BoxDescriptionPane().Lines().back();
        const auto colon = head.find(": ");
        ASSERT_NE(colon, std::string::npos) << head;
        const std::string key = head.substr(colon + 2, head.size() - colon - 3);
        for (const full::FullRecord& d : parse.records)
            if (d.parent == r.index && d.type == Fourcc("data")) {
                doc.TreeView1Click(d.index + 1);
                const std::string value = doc.BoxDescriptionPane().Lines().back();
                ours[key] = value.substr(value.find('"') + 1, value.rfind('"') - value.find('"') - 1);
            }
    }
    EXPECT_EQ(ours["com.example.thing"], Exiftool(path, "ExampleThing"));
    EXPECT_EQ(ours["title"], Exiftool(path, "Title"));
    EXPECT_EQ(ours["title"], "Tk");
}

}  // namespace
}  // namespace kestrova
