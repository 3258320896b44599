#include <gtest/gtest.h>

#include <fstream>

#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

const Bytes kFtyp3gp4 = Box("ftyp", Cat({Text("3gp4"), U16(1), U16(512), Text("isom3gp4")}));

// ftyp at 0 (24 bytes), free at 24 (8), moov at 0x20 of size 0x1F4, mdat after it.
Bytes SampleFile() {
    const Bytes moovBody = Cat({FullBox("mvhd", 0, 0, Zeros(96)), Box("free", Zeros(0x1F4 - 8 - 108 - 8))});
    return Cat({kFtyp3gp4, Box("free"), Box("moov", moovBody), Box("mdat", Zeros(40))});
}

TEST(DocumentStart, NoFileState) {
    Document doc;
    EXPECT_EQ(doc.Caption(), "(ORV) Kestrova 0.6.1");
    EXPECT_FALSE(doc.ReloadEnabled());
    EXPECT_EQ(doc.FileKind(), 0u);
    EXPECT_EQ(doc.Tree().Count(), 0u);
    EXPECT_EQ(doc.OffsetEditText(), "0");
    EXPECT_EQ(doc.SizeEditText(), "0");
    const Lines& welcome = doc.BoxDescriptionPane().Lines();
    ASSERT_EQ(welcome.size(), 23u);
    EXPECT_EQ(welcome[0], "(ORV) Kestrova");
    EXPECT_EQ(welcome[1], std::string(47, '-'));
    EXPECT_EQ(welcome[2], "Version : 0.6.1");
    EXPECT_EQ(welcome[5], "[수정 사항]");
    EXPECT_EQ(welcome[19], "Version : 0.5");
    EXPECT_EQ(welcome[22], std::string(47, '-'));
    EXPECT_TRUE(doc.FileInfoPane().Lines().empty());
    // A click before any open does nothing.
    doc.TreeView1Click(0);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines().size(), 23u);
}

TEST(DocumentOpen, FailedOpenStillShowsTheNewName) {
    Document doc;
    doc.OpenFile("/nonexistent/dir/clip.mp4");
    EXPECT_EQ(doc.Caption(), "(ORV) Kestrova 0.6.1 - clip.mp4");
    EXPECT_EQ(doc.StatusText(), "File Open Fail!!! - /nonexistent/dir/clip.mp4");
    ASSERT_EQ(doc.Tree().Count(), 1u);
    EXPECT_EQ(doc.Tree().Nodes()[0].caption, "clip.mp4");
    EXPECT_TRUE(doc.BoxDescriptionPane().Lines().empty());
    EXPECT_TRUE(doc.FileInfoPane().Lines().empty());
    EXPECT_TRUE(doc.ReloadEnabled());
    EXPECT_EQ(doc.FileKind(), 0u);
    // A folder is no file to read.
    doc.OpenFile("/tmp");
    EXPECT_EQ(doc.StatusText(), "File Open Fail!!! - /tmp");
}

TEST(DocumentOpen, IsoFileShowsTreeAndClicksDescribeBoxes) {
    TempFile f(SampleFile(), "sample.3gp");
    Document doc;
    doc.OpenFile(f.Path());
    EXPECT_EQ(doc.StatusText(), "sample.3gp Open");
    EXPECT_EQ(doc.FileKind(), 1u);
    EXPECT_EQ(doc.RecordCount(), 6u);
    EXPECT_TRUE(doc.BoxDescriptionPane().Lines().empty());  // the welcome text is gone

    doc.TreeView1Click(3);  // moov
    EXPECT_EQ(doc.BoxDescriptionPane().Lines(),
              (Lines{"Start offset : 32 (0X00000020)", "Box Size : 500 (0X000001F4)", "Box Type : moov (0X6D6F6F76)",
                     "----------------------------------------"}));
    EXPECT_EQ(doc.OffsetEditText(), "20");
    EXPECT_EQ(doc.SizeEditText(), "1F4");
    EXPECT_EQ(doc.StatusText(), "Memory Read Range (0X00000020 ~ 0X00000214)");
    ASSERT_EQ(doc.FileInfoPane().Lines().size(), 2u + 32);
    EXPECT_EQ(doc.FileInfoPane().Lines()[2].substr(0, 22), "00000020: 00 00 01 F4 ");

    doc.TreeView1Click(1);  // ftyp
    EXPECT_EQ(doc.BoxDescriptionPane().Lines(),
              (Lines{"Start offset : 0 (0000000000)", "Box Size : 24 (0X00000018)", "Box Type : ftyp (0X66747970)",
                     "----------------------------------------", "Major brand : 3gp4 (0X33677034)",
                     "Major version : 1 (0X0001)", "Minor version : 512 (0X0200)", "Compatible brand : ",
                     "   isom (0X69736F6D)", "   3gp4 (0X33677034)"}));
    EXPECT_EQ(doc.OffsetEditText(), "0");

    // The root clears the description and leaves the entries alone.
    doc.TreeView1Click(0);
    EXPECT_TRUE(doc.BoxDescriptionPane().Lines().empty());
    EXPECT_EQ(doc.OffsetEditText(), "0");
    EXPECT_EQ(doc.SizeEditText(), "18");

    doc.TreeView1Click(6);  // mdat: header lines only, then its bytes
    EXPECT_EQ(doc.BoxDescriptionPane().Lines().size(), 4u);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines()[2], "Box Type : mdat (0X6D646174)");
    EXPECT_EQ(doc.SizeEditText(), "30");

    // Indexes without a node do nothing.
    const Lines before = doc.BoxDescriptionPane().Lines();
    doc.TreeView1Click(7);
    doc.TreeView1Click(-1);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines(), before);
}

TEST(DocumentOpen, DescriptionsOfOddBoxes) {
    const Bytes file = Cat({Box("ftyp", Cat({Text("mp42"), U32(0)})), Box("moov", {Box("udta", {Box("\xA9nam", Text("t"))})}),
                            LargeBox("mdat", Zeros(0x20))});
    TempFile f(file, "odd.mp4");
    Document doc;
    doc.OpenFile(f.Path());
    doc.TreeView1Click(1);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines().back(), "Compatible brand : ");
    doc.TreeView1Click(4);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines(),
              (Lines{"Start offset : 32 (0X00000020)", "Box Size : 9 (0X00000009)", "Box Type : .nam (0XA96E616D)",
                     "----------------------------------------"}));
    doc.TreeView1Click(5);
    EXPECT_EQ(doc.BoxDescriptionPane().Lines(),
              (Lines{"Start offset : 41 (0X00000029)", "Box Size : 1 (0X00000001)", "Large Size : 48 (0X00000030)",
                     "Box Type : mdat (0X6D646174)", "----------------------------------------"}));
    EXPECT_EQ(doc.SizeEditText(), "30");  // the dump covers the 64-bit size
}

TEST(DocumentOpen, MovieBoxMissingIgnoresClicks) {
    TempFile f(Cat({kFtyp3gp4, Box("mdat", Zeros(4)), U32(0), Text("free")}), "nomoov.mp4");
    Document doc;
    doc.OpenFile(f.Path());
    EXPECT_EQ(doc.FileKind(), 2u);
    EXPECT_EQ(doc.Tree().Count(), 1u);
    doc.TreeView1Click(0);
    EXPECT_EQ(doc.OffsetEditText(), "0");
    EXPECT_TRUE(doc.BoxDescriptionPane().Lines().empty());
}

TEST(DocumentOpen, ReloadAndDropsReopen) {
    TempFile a(SampleFile(), "a.mp4");
    TempFile b(Cat({Box("moov")}), "b.mp4");
    Document doc;
    // Before any open, a drop of two files opens the empty name.
    doc.DropFiles({a.Path(), b.Path()});
    EXPECT_EQ(doc.StatusText(), "File Open Fail!!! - ");
    EXPECT_TRUE(doc.ReloadEnabled());

    doc.DropFiles({a.Path()});
    EXPECT_EQ(doc.StatusText(), "a.mp4 Open");
    EXPECT_EQ(doc.Tree().Count(), 7u);
    doc.TreeView1Click(3);

    doc.DropFiles({b.Path(), a.Path()});  // two files: the current one opens again
    EXPECT_EQ(doc.FilePath(), a.Path());
    EXPECT_TRUE(doc.BoxDescriptionPane().Lines().empty());
    EXPECT_EQ(doc.OffsetEditText(), "0");

    // Reload reads the same path again, as it is now.
    { std::ofstream(a.Path(), std::ios::binary | std::ios::trunc).write("\0\0\0\x08moov", 8); }
    doc.Reload();
    EXPECT_EQ(doc.Tree().Count(), 2u);
    EXPECT_EQ(doc.Caption(), "(ORV) Kestrova 0.6.1 - a.mp4");
}

TEST(DocumentPane, LinesSplitAtLineBreaks) {
    Pane pane;
    pane.Append("one");
    pane.Append("two\nthree\r\nfour\n");
    pane.Append("\n* heading");
    pane.Append("");
    EXPECT_EQ(pane.Lines(), (Lines{"one", "two", "three", "four", "", "* heading", ""}));
}

}  // namespace
}  // namespace kestrova
