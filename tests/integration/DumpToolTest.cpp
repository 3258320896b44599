// The kestrova-dump contract that scripts outside the project rely on.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/BoxWriter.h"
#include "support/Process.h"

namespace kestrova {
namespace {

using namespace test;
using Json = nlohmann::json;

const std::string kDump = KESTROVA_DUMP_PATH;

Bytes SmallMp4() {
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0), Text("isom")})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("trak", {FullBox("tkhd", 0, 3, Zeros(80))})}),
                Box("mdat", Zeros(16))});
}

TEST(DumpTool, JsonHoldsTheOpenAndOneStatePerCommandInOrder) {
    TempFile f(SmallMp4(), "small.mp4");
    const ProcessResult r = test::Run(kDump + " --json --click 3 --read-offset 1g4 8x --click 0 --click 99 " +
                                      ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    const Json j = Json::parse(r.output);
    EXPECT_EQ(j["file"], f.Path());
    const Json& states = j["states"];
    ASSERT_EQ(states.size(), 5u);

    const Json& open = states[0];
    EXPECT_EQ(open["command"], "open");
    EXPECT_EQ(open["caption"], "(ORV) Kestrova 0.6.1 - small.mp4");
    EXPECT_EQ(open["status"], "small.mp4 Open");
    EXPECT_EQ(open["fileKind"], 1);
    EXPECT_EQ(open["offsetEdit"], "0");
    EXPECT_EQ(open["reloadEnabled"], true);
    EXPECT_TRUE(open["messageBox"].is_null());
    ASSERT_EQ(open["tree"].size(), 7u);
    EXPECT_EQ(open["tree"][0], (Json{{"index", 0}, {"parent", nullptr}, {"caption", "small.mp4"}}));
    EXPECT_EQ(open["tree"][4], (Json{{"index", 4}, {"parent", 2}, {"caption", "trak"}}));
    ASSERT_EQ(open["records"].size(), 6u);
    EXPECT_EQ(open["records"][3],
              (Json{{"index", 3}, {"offset", 136}, {"size", 100}, {"type", "trak"}, {"typeIndex", 0}}));

    const Json& click = states[1];
    EXPECT_EQ(click["command"], "click");
    EXPECT_EQ(click["index"], 3);
    EXPECT_FALSE(click.contains("tree"));
    EXPECT_EQ(click["boxDescription"][0], "Start offset : 28 (0X0000001C)");
    EXPECT_EQ(click["offsetEdit"], "1C");
    EXPECT_EQ(click["sizeEdit"], "6C");

    // The texts go through the key filter: "1g4" types 14, "8x" types 8.
    const Json& read = states[2];
    EXPECT_EQ(read["command"], "readOffset");
    EXPECT_EQ(read["offset"], "1g4");
    EXPECT_EQ(read["size"], "8x");
    EXPECT_EQ(read["offsetEdit"], "14");
    EXPECT_EQ(read["sizeEdit"], "8");
    EXPECT_EQ(read["status"], "Memory Read Range (0X00000014 ~ 0X0000001C)");
    EXPECT_EQ(read["fileInfo"].size(), 3u);

    EXPECT_TRUE(states[3]["boxDescription"].empty());  // the root
    EXPECT_EQ(states[4]["index"], 99);                 // no such node: nothing changes
    EXPECT_EQ(states[4]["fileInfo"], states[3]["fileInfo"]);
}

TEST(DumpTool, EmptyEntryRaisesTheMessageBox) {
    TempFile f(SmallMp4(), "small.mp4");
    const ProcessResult r = test::Run(kDump + " --json --read-offset zz 10 " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    const Json state = Json::parse(r.output)["states"][1];
    EXPECT_EQ(state["messageBox"], "'0x' is not a valid integer value");
    EXPECT_EQ(state["offsetEdit"], "");
}

TEST(DumpTool, ClickAllClicksEveryNodeAndTextModeIndentsTheTree) {
    TempFile f(SmallMp4(), "small.mp4");
    ProcessResult r = test::Run(kDump + " --json --click-all " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    const Json states = Json::parse(r.output)["states"];
    ASSERT_EQ(states.size(), 8u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(states[i + 1]["index"], i);

    r = test::Run(kDump + " --click 1 " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("small.mp4\n  ftyp\n  moov\n    mvhd\n    trak\n      tkhd\n  mdat\n"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Major brand : isom (0X69736F6D)"), std::string::npos);
}

TEST(DumpTool, ExitStatus) {
    // A file that cannot be opened is a state, not an error.
    ProcessResult r = test::Run(kDump + " --json /nonexistent/file.mp4");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Json::parse(r.output)["states"][0]["status"], "File Open Fail!!! - /nonexistent/file.mp4");
    EXPECT_EQ(test::Run(kDump).exitCode, 2);
    EXPECT_EQ(test::Run(kDump + " --click x file.mp4").exitCode, 2);
    EXPECT_EQ(test::Run(kDump + " --read-offset 10 file.mp4").exitCode, 2);
    EXPECT_EQ(test::Run(kDump + " --bogus file.mp4").exitCode, 2);
}

// RIFF AVI { LIST hdrl { avih } }: avih at 24, its data from 32.
Bytes SmallAvi() {
    Bytes words;
    for (std::uint32_t w : {40000u, 0u, 0u, 0x10u, 3u, 0u, 1u, 0u, 320u, 240u, 0u, 0u, 0u, 0u})
        words = Cat({words, LE32(w)});
    return List("RIFF", "AVI ", {List("LIST", "hdrl", {Chunk("avih", words)})});
}

TEST(DumpTool, SelectingALineAndAByte) {
    TempFile f(SmallAvi(), "small.avi");
    const ProcessResult r = test::Run(kDump + " --json --click 3 --select-line 14 --select-byte 2C --select-line 0 "
                                              "--read-offset 0 4 --select-byte 3 --select-line 99 " +
                                      ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    const Json states = Json::parse(r.output)["states"];
    ASSERT_EQ(states.size(), 8u);
    // Every state carries the ranges, one per pane line, and the selection.
    for (const Json& s : states) {
        ASSERT_EQ(s["boxDescriptionRanges"].size(), s["boxDescription"].size());
        EXPECT_TRUE(s.contains("selectedLine"));
        EXPECT_TRUE(s.contains("highlight"));
    }
    EXPECT_TRUE(states[0]["selectedLine"].is_null());
    const Json& click = states[1];
    EXPECT_TRUE(click["boxDescriptionRanges"][0].is_null());  // Start offset
    EXPECT_EQ(click["boxDescriptionRanges"][1], Json::array({24, 4}));
    EXPECT_EQ(click["boxDescription"][14], "Width             : 320 (0X00000140)");
    EXPECT_EQ(click["boxDescriptionRanges"][14], Json::array({64, 4}));

    EXPECT_EQ(states[2]["command"], "selectLine");
    EXPECT_EQ(states[2]["line"], 14);
    EXPECT_EQ(states[2]["selectedLine"], 14);
    EXPECT_EQ(states[2]["highlight"], Json::array({64, 4}));
    EXPECT_EQ(states[3]["command"], "selectByte");
    EXPECT_EQ(states[3]["offset"], "2C");  // Flags, 0x20 + 12
    EXPECT_EQ(states[3]["selectedLine"], 9);
    EXPECT_EQ(states[3]["highlight"], Json::array({44, 4}));
    // A line without a range selects nothing.
    EXPECT_TRUE(states[4]["selectedLine"].is_null());
    EXPECT_TRUE(states[4]["highlight"].is_null());
    EXPECT_TRUE(states[5]["highlight"].is_null());  // Read Offset clears it
    // Byte 3 is in the new dump; its line is the RIFF's size, which this description has not.
    EXPECT_TRUE(states[6]["selectedLine"].is_null());
    EXPECT_EQ(states[7]["line"], 99);
    EXPECT_TRUE(states[7]["selectedLine"].is_null());
    EXPECT_EQ(states[7]["fileInfo"], states[5]["fileInfo"]);
}

TEST(DumpTool, SelectStatesInTextAndBadArguments) {
    TempFile f(SmallAvi(), "small.avi");
    ProcessResult r = test::Run(kDump + " --click 3 --select-byte 4a --select-line 1 --select-line 3 " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("== selectByte 4a ==\ncaption: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("sizeEdit: 40\nselectedLine: 16\nhighlight: 48 4\nreloadEnabled: true\n"),
              std::string::npos);  // byte 0x4A: the first reserved word, from 0x48
    EXPECT_NE(r.output.find("== selectLine 1 ==\n"), std::string::npos);
    EXPECT_NE(r.output.find("selectedLine: 1\nhighlight: 18 4\n"), std::string::npos);
    EXPECT_NE(r.output.find("selectedLine: none\nhighlight: none\n"), std::string::npos);
    // Other states keep their lines as they were.
    const std::size_t click = r.output.find("== click 3");
    EXPECT_EQ(r.output.substr(click, r.output.find("== selectByte") - click).find("selectedLine"), std::string::npos);

    for (const char* bad : {"--select-line x", "--select-line 1.5", "--select-line ''", "--select-byte 0x10",
                            "--select-byte ''", "--select-byte 12345678901234567", "--select-byte 1g"})
        EXPECT_EQ(test::Run(kDump + " " + bad + " " + ShellQuote(f.Path())).exitCode, 2) << bad;
    for (const char* good : {"--select-line -1", "--select-line 123456789012345678901234", "--select-byte FFFFFFFFFFFFFFFF",
                             "--select-byte aB"})
        EXPECT_EQ(test::Run(kDump + " " + good + " " + ShellQuote(f.Path())).exitCode, 0) << good;
}

}  // namespace
}  // namespace kestrova

namespace kestrova {
namespace {

using namespace test;
using Json = nlohmann::json;

// A DASH media segment: the classic view refuses it, the full view walks it.
TEST(DumpTool, FullViewOpensWhatTheClassicViewRefusesAndSaysWhichViewIsShown) {
    TempFile f(Cat({Box("styp", Cat({Text("msdh"), U32(0), Text("msdh")})), FullBox("sidx", 1, 0, Zeros(32)),
                    Box("moof", {FullBox("mfhd", 0, 0, U32(7))}), Box("mdat", Zeros(8))}),
               "seg.m4s");
    ProcessResult r = test::Run(kDump + " --json " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    Json open = Json::parse(r.output)["states"][0];
    EXPECT_EQ(open["view"], "classic");
    EXPECT_EQ(open["fileKind"], 0);
    EXPECT_EQ(open["boxDescription"][0], "This is not RIFF Format!!!");

    r = test::Run(kDump + " --full --json --click 4 " + ShellQuote(f.Path()));
    ASSERT_EQ(r.exitCode, 0);
    const Json states = Json::parse(r.output)["states"];
    open = states[0];
    EXPECT_EQ(open["view"], "full");
    EXPECT_EQ(open["fileKind"], 1);
    ASSERT_EQ(open["records"].size(), 5u);
    EXPECT_EQ(open["records"][3],
              (Json{{"index", 3}, {"offset", 72}, {"size", 16}, {"headerSize", 8}, {"type", "mfhd"}}));
    EXPECT_EQ(states[1]["boxDescription"][2], "Box Type : mfhd (0X6D666864)");
    EXPECT_EQ(states[1]["view"], "full");
}

}  // namespace
}  // namespace kestrova
