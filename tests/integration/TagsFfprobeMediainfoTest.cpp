// Tags ffmpeg writes (-metadata, an attached cover, chapters from an
// ffmetadata file, -movflags use_metadata_tags), against the tags of
// `ffprobe -show_format -show_streams` and the General and Menu tracks of
// `mediainfo --Output=JSON`: every tag either tool reads is an ilst item of the
// full view with the same value, the covers are the attached pictures, and
// the chapters of the summary are mediainfo's.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

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

// The text after " : " of the first line that starts with label.
std::string ValueOf(const std::vector<std::string>& lines, const std::string& label) {
    for (const std::string& line : lines) {
        if (line.rfind(label, 0) != 0) continue;
        const auto colon = line.find(" : ");
        if (colon != std::string::npos && line.find_first_not_of(' ', label.size()) == colon + 1) return line.substr(colon + 3);
    }
    return {};
}

std::string Unquoted(const std::string& s) { return s.size() >= 2 && s.front() == '"' ? s.substr(1, s.rfind('"') - 1) : s; }

struct Ours {
    std::map<std::string, std::string> tags;  // by item type ("©nam") or key name (mdta)
    int pictures = 0;
    std::vector<std::pair<double, std::string>> chapters;
};

// The value of each ilst item as its data box shows it: a text, "3/12" for a
// trkn or disk read "3 of 12", a number; a picture is counted.
Ours ReadOurs(const std::string& path) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    Ours ours;
    const full::FullParse* parse = doc.Full();
    if (parse == nullptr) return ours;
    const auto& records = parse->records;
    for (const full::FullRecord& r : records) {
        if (r.type != Fourcc("data") || r.parent < 0) continue;
        const full::FullRecord& item = records[static_cast<std::size_t>(r.parent)];
        if (item.parent < 0 || records[static_cast<std::size_t>(item.parent)].type != Fourcc("ilst")) continue;
        std::string name;
        for (int shift = 24; shift >= 0; shift -= 8) {
            const auto c = static_cast<char>((item.type >> shift) & 0xFF);
            name += c == '\xA9' ? std::string("\xC2\xA9") : std::string(1, c);
        }
        for (const auto& [meta, keys] : parse->keys)
            if (meta == records[static_cast<std::size_t>(item.parent)].parent && item.type >= 1 && item.type <= keys.size())
                name = keys[item.type - 1];
        doc.TreeView1Click(r.index + 1);
        const std::vector<std::string> lines = doc.BoxDescriptionPane().Lines();
        if (!ValueOf(lines, "picture").empty()) {
            ++ours.pictures;
            continue;
        }
        std::string value = ValueOf(lines, "reads");
        if (!value.empty()) {
            value = value.substr(2);  // "= "
            value.replace(value.find(" of "), 4, "/");
        } else if (!(value = ValueOf(lines, "value")).empty()) {
            value = Unquoted(value);
            if (value.find(" (0X") != std::string::npos) value.erase(value.find(" (0X"));
        } else {
            value = Unquoted(ValueOf(lines, "genre"));
        }
        ours.tags[name] = value;
    }
    doc.TreeView1Click(0);
    for (const std::string& line : doc.FileInfoPane().Lines())
        if (line.rfind("  ", 0) == 0 && line.find(" s ") != std::string::npos)
            ours.chapters.emplace_back(std::stod(line.substr(2)), Unquoted(line.substr(line.find(" : ") + 3)));
    return ours;
}

// ffprobe's names of the iTunes items ffmpeg writes; mediainfo's General fields for the same.
const std::map<std::string, std::string> kFfprobeItems = {
    {"title", "\xC2\xA9nam"}, {"artist", "\xC2\xA9" "ART"}, {"album", "\xC2\xA9" "alb"}, {"date", "\xC2\xA9" "day"},
    {"genre", "\xC2\xA9gen"}, {"comment", "\xC2\xA9" "cmt"}, {"composer", "\xC2\xA9wrt"}, {"encoder", "\xC2\xA9too"},
    {"track", "trkn"},        {"disc", "disk"},              {"album_artist", "aART"}};
const std::map<std::string, std::string> kMediainfoItems = {
    {"Title", "\xC2\xA9nam"},    {"Performer", "\xC2\xA9" "ART"}, {"Album", "\xC2\xA9" "alb"},
    {"Recorded_Date", "\xC2\xA9" "day"}, {"Genre", "\xC2\xA9gen"}, {"Comment", "\xC2\xA9" "cmt"},
    {"Composer", "\xC2\xA9wrt"}, {"Encoded_Application", "\xC2\xA9too"}};

TEST(TagsFfprobeMediainfo, FfmpegTaggedFiles) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe") || !test::HaveTool("mediainfo"))
        GTEST_SKIP() << "ffmpeg, ffprobe or mediainfo is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-tags-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string chapters = dir + "/chapters.txt";
    std::ofstream(chapters) << ";FFMETADATA1\ntitle=Book\nartist=Narrator\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Intro\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=3000\ntitle=The End\n";
    const struct {
        const char* name;
        std::string args;
    } files[] = {
        {"tags.m4a", "-f lavfi -i sine=d=2 -c:a aac -metadata title='T\xC3\xAF 1' -metadata artist=Art -metadata album=Alb "
                     "-metadata album_artist=AA -metadata date=2021 -metadata track=3/12 -metadata disc=1/2 "
                     "-metadata genre=Rock -metadata comment=C -metadata composer=Comp"},
        {"cover.m4a", "-f lavfi -i sine=d=2 -f lavfi -i testsrc=size=32x32 -map 0 -map 1 -frames:v 1 -c:a aac -c:v png "
                      "-disposition:v attached_pic -metadata title=Covered"},
        {"chapters.m4a", "-f lavfi -i sine=d=3 -i " + ShellQuote(chapters) + " -map 0 -map_metadata 1 -map_chapters 1 -c:a aac"},
        {"keys.mp4", "-f lavfi -i sine=d=1 -c:a aac -movflags use_metadata_tags -metadata com.example.thing=Hello -metadata title=Tk"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = dir + "/" + file.name;
        const auto made = test::Run("ffmpeg -nostdin -v error -y " + file.args + " -t 3 " + ShellQuote(path), true);
        ASSERT_EQ(made.exitCode, 0) << made.output;
        const Ours ours = ReadOurs(path);
        const bool keys = std::string(file.name) == "keys.mp4";

        const Json probe = Json::parse(test::Run("ffprobe -v error -of json -show_format -show_streams " + ShellQuote(path)).output, nullptr, false);
        ASSERT_TRUE(probe.is_object());
        std::size_t compared = 0;
        const Json tags = probe["format"].value("tags", Json::object());
        for (const auto& [tag, value] : tags.items()) {
            if (tag == "major_brand" || tag == "minor_version" || tag == "compatible_brands") continue;
            const auto item = kFfprobeItems.find(tag);
            const std::string name = keys ? tag : item != kFfprobeItems.end() ? item->second : "";
            if (name.empty()) {
                ADD_FAILURE() << "ffprobe tag with no item to compare: " << tag;
                continue;
            }
            SCOPED_TRACE(tag);
            ASSERT_TRUE(ours.tags.count(name)) << "no item " << name;
            EXPECT_EQ(ours.tags.at(name), value.get<std::string>());
            ++compared;
        }
        EXPECT_EQ(compared, ours.tags.size()) << "items ffprobe does not list";
        int attached = 0;
        for (const Json& s : probe["streams"]) attached += s.value("disposition", Json::object()).value("attached_pic", 0);
        EXPECT_EQ(ours.pictures, attached);

        const Json info = Json::parse(test::Run("mediainfo --Output=JSON " + ShellQuote(path)).output, nullptr, false);
        ASSERT_TRUE(info.is_object());
        const Json& tracks = info["media"]["track"];
        const Json& general = tracks[0];
        for (const auto& [field, item] : kMediainfoItems) {
            if (!general.contains(field)) continue;
            SCOPED_TRACE(field);
            ASSERT_TRUE(ours.tags.count(item)) << "no item " << item;
            EXPECT_EQ(ours.tags.at(item), general[field].get<std::string>());
        }
        if (general.contains("Track_Position")) {
            EXPECT_EQ(ours.tags.at("trkn"), general["Track_Position"].get<std::string>() + "/" +
                                                general.value("Track_Position_Total", std::string("0")));
        }
        EXPECT_EQ(general.value("Cover", "No") == "Yes", ours.pictures > 0);
        // mediainfo lists the keys of mdta under "extra", a dot read as an underscore.
        if (keys) {
            for (const auto& [name, value] : ours.tags) {
                std::string field = name;
                std::replace(field.begin(), field.end(), '.', '_');
                EXPECT_EQ(general["extra"].value(field, std::string("(absent)")), value) << name;
            }
        }
        // The chap track's titles: mediainfo's menu "_HH_MM_SS_mmm" entries.
        std::vector<std::pair<double, std::string>> menu;
        for (const Json& t : tracks) {
            if (t.value("@type", "") != "Menu" || t.value("CodecID", "") != "text") continue;
            for (const auto& [at, title] : t["extra"].items()) {
                if (at.size() != 13 || at[0] != '_') continue;
                const double seconds = std::stoi(at.substr(1, 2)) * 3600 + std::stoi(at.substr(4, 2)) * 60 +
                                       std::stoi(at.substr(7, 2)) + std::stoi(at.substr(10, 3)) / 1000.0;
                menu.emplace_back(seconds, title.get<std::string>());
            }
        }
        EXPECT_EQ(ours.chapters, menu);
        EXPECT_GT(compared + ours.chapters.size() + static_cast<std::size_t>(ours.pictures), 0u);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrova
