// HEIC and AVIF files heif-enc makes (several images, a thumbnail, alpha),
// against `heif-info`: every image it lists is an item of the full view
// whose ispe (found through ipma) gives the same size, the primary item is
// pitm's, there are as many thmb references as thumbnails and auxl
// references where it lists alpha channels, and every iloc extent of the file lies inside the file.
// The summary's items against heif-info too (a JPEG's Exif and XMP carried
// into items), and against exiftool's primary item and XMP title.

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <map>
#include <optional>
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

struct Image {
    std::uint64_t width = 0, height = 0;
    bool primary = false;
};

std::map<std::uint64_t, Image> HeifInfo(const std::string& path) {
    const auto r = test::Run("heif-info " + ShellQuote(path));
    static const std::regex kImage(R"(^\s*(?:image|thumbnail): (\d+)x(\d+) \(id=(\d+)\)(, primary)?.*)");
    std::map<std::uint64_t, Image> images;
    std::istringstream in(r.output);
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_match(line, m, kImage))
            images[std::stoull(m[3])] = {std::stoull(m[1]), std::stoull(m[2]), m[4].matched};
    return images;
}

std::vector<std::string> Click(Document& doc, const full::FullRecord& r) {
    doc.TreeView1Click(r.index + 1);
    return doc.BoxDescriptionPane().Lines();
}

std::uint64_t NumberAfter(const std::string& line) {
    const auto colon = line.find(" : ");
    std::string digits;
    for (std::size_t i = colon + 3; i < line.size() && (std::isdigit(static_cast<unsigned char>(line[i])) || line[i] == ','); ++i)
        if (line[i] != ',') digits += line[i];
    return digits.empty() ? 0 : std::stoull(digits);
}

// Each item's size through ipma and ispe, the primary item, and the extents' check.
void Compare(const std::string& path) {
    const auto expected = HeifInfo(path);
    ASSERT_FALSE(expected.empty());
    const auto info = test::Run("heif-info " + ShellQuote(path)).output;
    const auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = info.find(what); at != std::string::npos; at = info.find(what, at + 1)) ++n;
        return n;
    };
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    const full::FullParse* parse = doc.Full();
    ASSERT_NE(parse, nullptr);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> properties;  // ispe sizes by ipco index (from 1); 0x0 for others
    std::map<std::uint64_t, std::vector<std::uint64_t>> associations;
    std::uint64_t primary = 0;
    for (const full::FullRecord& r : parse->records) {
        const std::uint32_t parentType = r.parent >= 0 ? parse->records[static_cast<std::size_t>(r.parent)].type : 0;
        if (parentType == Fourcc("ipco")) {
            std::uint64_t w = 0, h = 0;
            if (r.type == Fourcc("ispe"))
                for (const std::string& line : Click(doc, r)) {
                    if (line.rfind("image_width", 0) == 0) w = NumberAfter(line);
                    if (line.rfind("image_height", 0) == 0) h = NumberAfter(line);
                }
            properties.emplace_back(w, h);
        } else if (r.type == Fourcc("ipma")) {
            std::uint64_t item = 0;
            for (const std::string& line : Click(doc, r)) {
                if (line.rfind("item_ID", 0) == 0) item = NumberAfter(line);
                if (line.rfind("property_index", 0) == 0) associations[item].push_back(NumberAfter(line));
            }
        } else if (r.type == Fourcc("pitm")) {
            for (const std::string& line : Click(doc, r))
                if (line.rfind("item_ID", 0) == 0) primary = NumberAfter(line);
        } else if (r.type == Fourcc("iloc")) {
            int extents = 0;
            for (const std::string& line : Click(doc, r)) {
                if (line.rfind("data ", 0) == 0) {
                    EXPECT_EQ(line.find("past the end"), std::string::npos) << line;
                    ++extents;
                }
            }
            EXPECT_GE(extents, static_cast<int>(expected.size()));
        }
    }
    std::size_t thumbnails = 0, alphas = 0;
    for (const full::FullRecord& r : parse->records) {
        thumbnails += r.type == Fourcc("thmb");
        alphas += r.type == Fourcc("auxl");
    }
    EXPECT_EQ(thumbnails, count("thumbnail: "));
    // A thumbnail's own alpha has an auxl too, which heif-info does not list.
    EXPECT_GE(alphas, count("alpha channel: yes"));
    EXPECT_EQ(alphas == 0, count("alpha channel: yes") == 0);
    for (const auto& [id, image] : expected) {
        SCOPED_TRACE("item " + std::to_string(id));
        bool sized = false;
        for (const std::uint64_t index : associations[id]) {
            if (index == 0 || index > properties.size() || properties[index - 1].first == 0) continue;
            EXPECT_EQ(properties[index - 1], std::make_pair(image.width, image.height));
            sized = true;
        }
        EXPECT_TRUE(sized) << "no ispe associated";
        if (image.primary) {
            EXPECT_EQ(primary, id);
        }
    }
}

// What heif-info says of each top-level image, its thumbnails, alpha and depth, and its metadata.
struct HeifImage {
    std::uint64_t width = 0, height = 0;
    bool primary = false, alpha = false, depth = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> thumbnails;
    std::optional<std::uint64_t> exif, xmp;  // bytes
};

std::map<std::uint32_t, HeifImage> HeifInfoImages(const std::string& path) {
    static const std::regex kImage(R"(^image: (\d+)x(\d+) \(id=(\d+)\)(, primary)?.*)");
    static const std::regex kThumbnail(R"(^\s+thumbnail: (\d+)x(\d+).*)");
    static const std::regex kMetadata(R"(^\s+(Exif|XMP): (\d+) bytes.*)");
    std::map<std::uint32_t, HeifImage> images;
    HeifImage* at = nullptr;
    std::istringstream in(test::Run("heif-info " + ShellQuote(path)).output);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, kImage)) {
            at = &images[static_cast<std::uint32_t>(std::stoul(m[3]))];
            *at = {std::stoull(m[1]), std::stoull(m[2]), m[4].matched};
        } else if (at == nullptr) {
            continue;
        } else if (std::regex_match(line, m, kThumbnail)) {
            at->thumbnails.emplace_back(std::stoull(m[1]), std::stoull(m[2]));
        } else if (std::regex_match(line, m, kMetadata)) {
            (m[1] == "Exif" ? at->exif : at->xmp) = std::stoull(m[2]);
        } else if (line.find("alpha channel: yes") != std::string::npos) {
            at->alpha = true;
        } else if (line.find("depth channel: yes") != std::string::npos) {
            at->depth = true;
        }
    }
    return images;
}

// The summary's items against heif-info: each image with its size and primary
// flag, its thumbnails by size, an alpha plane where it lists one, and the
// Exif and XMP items that describe it with as many bytes; the primary item and
// XMP's dc:title against exiftool.
void CompareSummary(const std::string& path) {
    const auto images = HeifInfoImages(path);
    ASSERT_FALSE(images.empty());
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_NE(doc.Full(), nullptr);
    const full::FileSummary& summary = doc.Full()->summary;
    const auto item = [&](std::uint32_t id) -> const full::ItemSummary* {
        for (const full::ItemSummary& it : summary.items)
            if (it.id == id) return &it;
        return nullptr;
    };
    const auto& info = doc.FileInfoPane().Lines();
    for (const auto& [id, image] : images) {
        SCOPED_TRACE("item " + std::to_string(id));
        const full::ItemSummary* it = item(id);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(std::make_pair(std::uint64_t{it->width.value_or(0)}, std::uint64_t{it->height.value_or(0)}),
                  std::make_pair(image.width, image.height));
        EXPECT_EQ(it->primary, image.primary);
        if (image.primary) {
            EXPECT_NE(std::find_if(info.begin(), info.end(),
                                   [&](const std::string& l) { return l.rfind("[Item " + std::to_string(id) + ":", 0) == 0 && l.find(", primary") != std::string::npos; }),
                      info.end());
        }
        std::vector<std::pair<std::uint64_t, std::uint64_t>> thumbnails;
        for (const std::uint32_t t : it->thumbnails)
            if (const full::ItemSummary* thumb = item(t)) thumbnails.emplace_back(thumb->width.value_or(0), thumb->height.value_or(0));
        EXPECT_EQ(thumbnails, image.thumbnails);
        bool alpha = false, depth = false;
        for (const std::uint32_t a : it->auxiliaries) {
            if (const full::ItemSummary* aux = item(a)) {
                alpha = alpha || aux->auxType.ends_with(":alpha") || aux->auxType == "urn:mpeg:hevc:2015:auxid:1";
                depth = depth || aux->auxType.ends_with(":depth") || aux->auxType == "urn:mpeg:hevc:2015:auxid:2";
            }
        }
        EXPECT_EQ(alpha, image.alpha);
        EXPECT_EQ(depth, image.depth);
        std::optional<std::uint64_t> exif, xmp;
        for (const full::ItemSummary& m : summary.items) {
            if (std::find(m.describes.begin(), m.describes.end(), id) == m.describes.end()) continue;
            if (m.type == Fourcc("Exif")) exif = m.bytes;
            if (m.contentType == "application/rdf+xml") xmp = m.bytes;
        }
        EXPECT_EQ(exif, image.exif);
        EXPECT_EQ(xmp, image.xmp);
    }
    if (!test::HaveTool("exiftool")) return;
    const std::string exiftool = test::Run("exiftool -a -G1 -s " + ShellQuote(path)).output;
    static const std::regex kPrimary(R"(\[Meta\]\s+PrimaryItemReference\s+: (\d+))");
    static const std::regex kTitle(R"(\[XMP-dc\]\s+Title\s+: ([^\n]*))");
    std::smatch m;
    if (std::regex_search(exiftool, m, kPrimary)) {
        EXPECT_EQ(summary.primaryItem, std::optional<std::uint32_t>(static_cast<std::uint32_t>(std::stoul(m[1]))));
    }
    if (std::regex_search(exiftool, m, kTitle)) {
        // The XMP item's infe shows its text line by line; the title is in one of them.
        const std::string title = m[1];
        bool shown = false;
        for (const full::FullRecord& r : doc.Full()->records)
            if (r.type == Fourcc("infe"))
                for (const std::string& line : Click(doc, r)) shown = shown || line.find(">" + title + "<") != std::string::npos;
        EXPECT_TRUE(shown) << "dc:title " << title;
    }
}

TEST(HeifItems, HeifEncFilesAgainstHeifInfo) {
    if (!test::HaveTool("heif-enc") || !test::HaveTool("heif-info") || !test::HaveTool("ffmpeg"))
        GTEST_SKIP() << "heif-enc, heif-info or ffmpeg is not installed";
    std::string dir = (fs::temp_directory_path() / "kestrova-heif-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    const std::string a = dir + "/a.png", b = dir + "/b.png";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=128x96 -frames:v 1 -pix_fmt rgba " + ShellQuote(a), true).exitCode, 0);
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=64x48 -frames:v 1 " + ShellQuote(b), true).exitCode, 0);
    // A JPEG with Exif and XMP, which heif-enc carries into items of their own.
    const std::string c = dir + "/c.jpg";
    ASSERT_EQ(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=128x96 -frames:v 1 " + ShellQuote(c), true).exitCode, 0);
    const bool tagged = test::HaveTool("exiftool") &&
                        test::Run("exiftool -q -overwrite_original -Artist=Kestrova -XMP-dc:Title=Hello " + ShellQuote(c), true).exitCode == 0;
    std::vector<std::pair<std::string, std::string>> variants = {
        {"plain.heic", ShellQuote(a)},
        {"thumbnail.heic", "-t 32 " + ShellQuote(a)},
        {"two.heic", ShellQuote(a) + " " + ShellQuote(b)},
        {"plain.avif", "-A " + ShellQuote(a)},
        {"thumbnail.avif", "-A -t 32 " + ShellQuote(a) + " " + ShellQuote(b)},
    };
    if (tagged) variants.emplace_back("exif-xmp.heic", "-t 32 " + ShellQuote(c) + " " + ShellQuote(b));
    for (const auto& [name, args] : variants) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        const auto made = test::Run("heif-enc " + args + " -o " + ShellQuote(path), true);
        if (made.exitCode != 0) {
            ADD_FAILURE() << made.output;
            continue;
        }
        Compare(path);
        CompareSummary(path);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrova
