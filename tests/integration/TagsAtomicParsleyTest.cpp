// The ilst items of the corpus and of files ffmpeg tags, against
// `AtomicParsley FILE -t`: every item it lists is a node of the full view
// whose data box shows the same value (a text, "3 of 12", a number, a
// genre's name, or as many pictures), and freeform items their mean and name.

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

// The item's type as AtomicParsley prints it: the copyright sign in UTF-8.
std::string ItemText(std::uint32_t type) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(type >> shift);
        if (c == 0xA9) s += "\xC2\xA9";
        else s += static_cast<char>(c);
    }
    return s;
}

// What one item shows: the value lines of each data box, and a freeform item's mean;name.
struct Item {
    std::vector<std::string> values;
    int pictures = 0;
    std::string freeform;
};

std::string ValueOf(const std::string& line) {
    const auto colon = line.find(" : ");
    std::string v = colon == std::string::npos ? line : line.substr(colon + 3);
    if (v.rfind("= ", 0) == 0) v = v.substr(2);
    if (v.size() >= 2 && v.front() == '"') return v.substr(1, v.rfind('"') - 1);
    return v;
}

std::multimap<std::string, Item> OurItems(const std::string& path) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    std::multimap<std::string, Item> items;
    const full::FullParse* parse = doc.Full();
    if (parse == nullptr) return items;
    for (const full::FullRecord& r : parse->records) {
        if (r.parent < 0 || parse->records[static_cast<std::size_t>(r.parent)].type != Fourcc("ilst")) continue;
        Item item;
        for (const full::FullRecord& child : parse->records) {
            if (child.parent != r.index) continue;
            doc.TreeView1Click(child.index + 1);
            for (const std::string& line : doc.BoxDescriptionPane().Lines()) {
                if (line.rfind("value", 0) == 0 || line.rfind("reads", 0) == 0 || line.rfind("genre", 0) == 0)
                    item.values.push_back(ValueOf(line));
                if (line.rfind("picture", 0) == 0) ++item.pictures;
                if (line.rfind("meaning", 0) == 0) item.freeform = ValueOf(line) + item.freeform;
                if (line.rfind("name ", 0) == 0) item.freeform += ";" + ValueOf(line);
            }
        }
        items.emplace(ItemText(r.type), item);
    }
    return items;
}

bool Matches(const std::string& value, const std::vector<std::string>& ours) {
    for (const std::string& v : ours) {
        if (v == value || v.rfind(value + " (", 0) == 0) return true;      // a text, a number
        if ((value == "true" && v.rfind("1 (", 0) == 0) || (value == "false" && v.rfind("0 (", 0) == 0)) return true;
        if (v.size() > value.size() && v.compare(v.size() - value.size(), value.size(), value) == 0) return true;  // a genre's name
    }
    return false;
}

// Checks every item AtomicParsley lists; returns how many were compared.
int Compare(const std::string& path) {
    const auto r = test::Run("AtomicParsley " + ShellQuote(path) + " -t");
    const auto ours = OurItems(path);
    static const std::regex kAtom(R"re(^Atom "(.{4,5})" (?:\[([^\]]*)\] )?contains: ?(.*)$)re");
    static const std::regex kArtwork(R"(^(\d+) pieces? of artwork$)");
    std::istringstream in(r.output);
    std::string line;
    int compared = 0;
    while (std::getline(in, line)) {
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a byte-order mark
        std::smatch m;
        if (!std::regex_match(line, m, kAtom)) continue;
        const std::string type = m[1], freeform = m[2], value = m[3];
        SCOPED_TRACE(line);
        const auto [first, last] = ours.equal_range(type);
        if (first == last) {
            ADD_FAILURE() << "no item " << type;
            continue;
        }
        // Values it shows by a name of its own (media kind, rating) are not compared.
        if (type == "stik" || type == "rtng") continue;
        bool found = false;
        for (auto it = first; it != last && !found; ++it) {
            std::smatch art;
            if (std::regex_match(value, art, kArtwork)) found = it->second.pictures == std::stoi(art[1]);
            else if (!freeform.empty() && it->second.freeform != freeform) found = false;
            // An empty value may also be a data box with nothing after its locale, so no value line.
            else found = Matches(value, it->second.values) || (value.empty() && it->second.values.empty());
        }
        EXPECT_TRUE(found) << "ours: " << (first->second.values.empty() ? std::string("(none)") : first->second.values.front());
        ++compared;
    }
    return compared;
}

TEST(TagsAtomicParsley, CorpusItems) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("AtomicParsley")) GTEST_SKIP() << "AtomicParsley is not installed";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (name.find("ilst") == std::string::npos) continue;
        SCOPED_TRACE(name);
        compared += Compare(entry.path().string());
    }
    EXPECT_GT(compared, 30);
}

TEST(TagsAtomicParsley, FfmpegTagsAndCover) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("AtomicParsley")) GTEST_SKIP() << "ffmpeg or AtomicParsley is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-tags-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string cover = dir + "/cover.png", path = dir + "/tagged.m4a";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=red:size=32x32 -frames:v 1 " + ShellQuote(cover), true).exitCode, 0);
    const auto made = test::Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=r=8000 -i " + ShellQuote(cover) +
                                    " -t 1 -map 0 -map 1 -c:a aac -c:v png -disposition:v attached_pic "
                                    "-metadata title='Tï 1' -metadata artist=Art -metadata album=Alb -metadata date=2021 "
                                    "-metadata track=3/12 -metadata disc=1/2 -metadata genre=Rock -metadata comment=C "
                                    "-metadata composer=Comp " + ShellQuote(path),
                                true);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_GE(Compare(path), 10);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrova
