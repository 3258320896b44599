// Paths, go to offset and find on the real files, in both views: in the core,
// and through kestrova-dump's --find, --goto and --select-path.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "DumpState.h"
#include "shell/Document.h"
#include "shell/Navigation.h"
#include "support/Process.h"

namespace kestrova {
namespace {

using namespace test;
using Json = nlohmann::json;

const std::string kDump = KESTROVA_DUMP_PATH;

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    const std::string dir = CorpusDir();
    if (dir.empty()) return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && ext != ".tsv" && ext != ".md" && ext != ".txt") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ViewOption(ViewKind view) { return view == ViewKind::Full ? " --full " : " "; }

TEST(NavigationFiles, EveryNodeHasAPathThatLeadsBackToIt) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus folder";
    for (const std::string& path : files) {
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            SCOPED_TRACE(path + (view == ViewKind::Full ? " (full)" : ""));
            Document document;
            document.SetView(view);
            document.OpenFile(path);
            const NodeIndex index(document);
            for (std::size_t n = 1; n < index.Count(); ++n) {
                const auto node = static_cast<std::int32_t>(n);
                const std::string p = index.PathOf(node);
                const PathResult back = index.FindPath(p);
                EXPECT_EQ(back.node, node) << p << " " << back.error;
            }
        }
    }
}

// The binary search over sibling extents finds what a scan of every node finds:
// the last node in tree order whose extent holds the byte.
TEST(NavigationFiles, GoToOffsetFindsTheInnermostNodeThatHoldsTheByte) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus folder";
    for (const std::string& path : files) {
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            SCOPED_TRACE(path + (view == ViewKind::Full ? " (full)" : ""));
            Document document;
            document.SetView(view);
            document.OpenFile(path);
            const NodeIndex index(document);
            if (index.FileSize() == 0) continue;
            const std::uint64_t step = std::max<std::uint64_t>(97, index.FileSize() / 1500);
            for (std::uint64_t byte = 0; byte < index.FileSize(); byte += step) {
                std::int32_t scanned = 0;
                for (std::size_t n = 1; n < index.Count(); ++n) {
                    const auto [begin, end] = index.ExtentOf(static_cast<std::int32_t>(n));
                    if (begin <= byte && byte < end) scanned = static_cast<std::int32_t>(n);
                }
                ASSERT_EQ(index.NodeAt(byte), scanned) << byte;
            }
            EXPECT_EQ(index.NodeAt(index.FileSize()), -1);
        }
    }
}

TEST(NavigationFiles, DumpSelectsEveryPathGoesToOffsetsAndFinds) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus folder";
    int checked = 0;
    for (const std::string& path : files) {
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            SCOPED_TRACE(path + (view == ViewKind::Full ? " (full)" : ""));
            Document document;
            document.SetView(view);
            document.OpenFile(path);
            const NodeIndex index(document);
            // Every node's path in one run, when the command line can take them all.
            if (index.Count() < 2 || index.Count() > 600) continue;
            std::string args;
            for (std::size_t n = 1; n < index.Count(); ++n)
                args += " --select-path " + ShellQuote(index.PathOf(static_cast<std::int32_t>(n)));
            const std::uint64_t byte = index.FileSize() / 2;
            args += " --goto " + ShellQuote("0x" + std::to_string(0)) + " --goto " + ShellQuote([&] {
                        char text[32];
                        std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(byte));
                        return std::string(text);
                    }());
            const ProcessResult r = test::Run(kDump + " --json" + ViewOption(view) + args + " " + ShellQuote(path));
            ASSERT_EQ(r.exitCode, 0) << r.output.substr(0, 500);
            const Json states = Json::parse(r.output)["states"];
            ASSERT_EQ(states.size(), index.Count() + 2);
            EXPECT_TRUE(states[0]["selectedNode"].is_null());
            for (std::size_t n = 1; n < index.Count(); ++n) {
                EXPECT_EQ(states[n]["command"], "selectPath");
                EXPECT_EQ(states[n]["selectedNode"], n) << states[n]["path"];
            }
            const Json& start = states[index.Count()];
            EXPECT_EQ(start["selectedNode"], index.NodeAt(0));
            const Json& middle = states[index.Count() + 1];
            EXPECT_EQ(middle["command"], "goto");
            EXPECT_EQ(middle["selectedNode"], index.NodeAt(byte));
            ASSERT_TRUE(middle["highlight"].is_array());
            const std::uint64_t litFrom = middle["highlight"][0], litLength = middle["highlight"][1];
            EXPECT_TRUE(litFrom <= byte && byte < litFrom + litLength) << middle["highlight"];

            // --find by the type of the last node: its hits in tree order, with their paths.
            const std::int32_t last = static_cast<std::int32_t>(index.Count() - 1);
            const std::string type = NodeTypeText(NodeType{index.TypeOf(last).type, 0});
            const ProcessResult found = test::Run(kDump + ViewOption(view) + "--find " + ShellQuote(type) + " " + ShellQuote(path));
            ASSERT_EQ(found.exitCode, 0);
            std::string expected;
            for (const std::int32_t hit : index.FindType({index.TypeOf(last).type, 0}))
                expected += std::to_string(hit) + "\t" + index.PathOf(hit) + "\n";
            EXPECT_EQ(found.output, expected);
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

// --click-all writes its states as they are made; the text is the one the whole
// object dumped at once would give.
TEST(NavigationFiles, StreamedStatesReadAsTheWholeObject) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus folder";
    for (const std::string& path : files) {
        for (const ViewKind view : {ViewKind::Classic, ViewKind::Full}) {
            SCOPED_TRACE(path + (view == ViewKind::Full ? " (full)" : ""));
            Document whole, streamed;
            for (Document* d : {&whole, &streamed}) {
                d->SetView(view);
                d->SetDialogFileName(path);
            }
            nlohmann::ordered_json object;
            object["file"] = path;
            object["states"] = nlohmann::ordered_json::array();
            std::ostringstream text;
            JsonStateWriter writer(text, path);
            std::vector<DumpCommand> commands{{DumpCommand::Kind::Open}};
            for (std::size_t i = 0; i < 40; ++i) commands.push_back({DumpCommand::Kind::Click, static_cast<std::int64_t>(i)});
            for (const DumpCommand& command : commands) {
                RunDumpCommand(whole, command);
                object["states"].push_back(StateJson(whole, command));
                RunDumpCommand(streamed, command);
                writer.Add(streamed, command);
            }
            if (whole.IsFullView()) object["streams"] = StreamsJson(whole);
            if (whole.IsFullView() && !ItemsJson(whole).empty()) object["items"] = ItemsJson(whole);
            writer.Finish(streamed);
            ASSERT_EQ(text.str(), object.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
        }
    }
}

TEST(NavigationFiles, WhatMatchesNothingExitsTwoAndSaysWhy) {
    const std::vector<std::string> files = CorpusFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus folder";
    const std::string file = ShellQuote(files.front());
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--select-path 'moov/trak[0]'", "part 2 'trak[0]': the index counts from 1"},
        {"--select-path 'moov//stsz'", "part 2 of the path is empty"},
        {"--goto FFFFFFFFFFFF", "is past the end of the file"},
        {"--goto 12Z", "is not 1 to 16 hexadecimal digits"},
        {"--find 'moov/trak[9]/x'", "part 2 'trak[9]'"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = test::Run(kDump + " " + c.args + " " + file, true);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << ": " << r.output.substr(r.output.size() > 300 ? r.output.size() - 300 : 0);
    }
}

}  // namespace
}  // namespace kestrova
