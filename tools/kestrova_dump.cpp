// kestrova-dump: opens FILE through the same Document as the window, runs the
// commands in the order given and prints the state after the open and after
// each command.

#include <cctype>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <optional>

#include <CLI/CLI.hpp>

#include "DumpState.h"
#include "shell/Navigation.h"
#include "shell/StreamSamples.h"

using kestrova::DumpCommand;

namespace {

// A decimal pane line, perhaps negative; a number too large for 64 bits is
// outside every pane all the same.
std::optional<std::int64_t> PaneLineArgument(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t first = negative ? 1 : 0;
    if (text.size() == first) return std::nullopt;
    std::int64_t value = 0;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = first; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        const int digit = text[i] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

bool IsByteOffsetArgument(const std::string& text) {
    if (text.empty() || text.size() > 16) return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// --find: the hits of what the find bar would make of text, in tree order.
int PrintFindHits(kestrova::Document& document, const std::string& text) {
    document.OpenFile();
    const kestrova::NodeIndex index(document);
    const kestrova::FindQuery query = kestrova::ClassifyFind(text);
    std::vector<std::int32_t> hits;
    switch (query.kind) {
    case kestrova::FindQuery::Kind::Empty: break;
    case kestrova::FindQuery::Kind::Invalid: std::cerr << "--find: " << query.error << '\n'; return 2;
    case kestrova::FindQuery::Kind::Path: {
        const kestrova::PathResult found = index.FindPath(query.text);
        if (!found.Found()) {
            std::cerr << "--find: path '" << query.text << "': " << found.error << '\n';
            return 2;
        }
        hits.push_back(found.node);
        break;
    }
    case kestrova::FindQuery::Kind::Offset: {
        const std::int32_t node = index.NodeAt(query.offset);
        if (node < 0) {
            std::cerr << "--find: offset 0x" << std::hex << std::uppercase << query.offset
                      << " is past the end of the file (0x" << document.FileSize() << " bytes)\n";
            return 2;
        }
        hits.push_back(node);
        break;
    }
    case kestrova::FindQuery::Kind::Type: hits = index.FindType(query.type); break;
    case kestrova::FindQuery::Kind::Text: {
        const std::atomic<bool> never{false};
        kestrova::SearchDescriptions(kestrova::DescriptionSource(document), query.text, never,
                                     [&hits](std::int32_t node) { hits.push_back(node); });
        break;
    }
    }
    std::ios::sync_with_stdio(false);
    for (const std::int32_t node : hits) std::cout << node << '\t' << index.PathOf(node) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Prints what the Kestrova window shows of a media file after each command."};
    bool json = false;
    bool clickAll = false;
    bool samples = false;
    std::vector<std::int64_t> clicks;
    std::vector<std::string> readOffsets;
    std::vector<std::string> selectLines;
    std::vector<std::string> selectBytes;
    std::string file;
    bool fullView = false;
    app.add_flag("--json", json, "print one JSON object instead of text");
    CLI::Option* fullOption = app.add_flag("--full", fullView, "open the file in the full view (every box decoded)");
    std::string initPath;
    app.add_option("--init", initPath,
                   "read the tracks, defaults and timescales of a media segment's fragments from its "
                   "initialisation segment INIT (the tree stays the segment's)")
        ->type_name("INIT")
        ->needs(fullOption);
    CLI::Option* clickOption = app.add_option("--click", clicks, "click the tree node with absolute index N")
                                   ->type_name("N")
                                   ->allow_extra_args(false);
    CLI::Option* clickAllOption = app.add_flag("--click-all", clickAll, "click every node in index order");
    CLI::Option* readOption = app.add_option("--read-offset", readOffsets, "type OFFSET and SIZE, press Read Offset")
                                  ->expected(2)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                                  ->type_name("OFFSET SIZE")
                                  ->allow_extra_args(false);
    CLI::Option* samplesOption = app.add_flag("--samples", samples,
                 "print every sample of every track as CSV (track,sample,dts,timescale,duration,size,offset,key) "
                 "instead of the states");
    samplesOption->excludes(clickOption)->excludes(clickAllOption)->excludes(readOption)->excludes("--json");
    CLI::Option* selectLineOption =
        app.add_option("--select-line", selectLines, "click line N (from 0) of the description pane")
            ->type_name("N")
            ->allow_extra_args(false);
    CLI::Option* selectByteOption =
        app.add_option("--select-byte", selectBytes, "click the byte at hexadecimal OFFSET in the hex dump")
            ->type_name("OFFSET")
            ->allow_extra_args(false);
    samplesOption->excludes(selectLineOption)->excludes(selectByteOption);
    std::vector<std::string> gotos;
    std::vector<std::string> selectPaths;
    std::string findText;
    CLI::Option* gotoOption =
        app.add_option("--goto", gotos, "go to the innermost node holding the byte at hexadecimal OFFSET and light it")
            ->type_name("OFFSET")
            ->allow_extra_args(false);
    CLI::Option* selectPathOption =
        app.add_option("--select-path", selectPaths, "click the node at PATH (as Copy Box Path writes it)")
            ->type_name("PATH")
            ->allow_extra_args(false);
    CLI::Option* findOption =
        app.add_option("--find", findText,
                       "print the nodes the find bar finds for TEXT (a path, 0xOFFSET, a type or text), "
                       "one per line: index, a tab, the path; instead of the states")
            ->type_name("TEXT");
    samplesOption->excludes(gotoOption)->excludes(selectPathOption)->excludes(findOption);
    findOption->excludes(clickOption)->excludes(clickAllOption)->excludes(readOption)->excludes("--json");
    findOption->excludes(selectLineOption)->excludes(selectByteOption)->excludes(gotoOption)->excludes(selectPathOption);
    app.add_option("FILE", file, "the file to open")->required();
    app.set_version_flag("--version", kestrova::kVersionText);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    if (readOffsets.size() % 2 != 0) {
        std::cerr << "--read-offset needs two values, OFFSET and SIZE\n";
        return 2;
    }

    for (const std::string& line : selectLines) {
        if (!PaneLineArgument(line)) {
            std::cerr << "--select-line: '" << line << "' is not a decimal line number\n";
            return 2;
        }
    }
    for (const std::string& offset : gotos) {
        if (!kestrova::ParseOffsetText(offset)) {
            std::cerr << "--goto: '" << offset << "' is not 1 to 16 hexadecimal digits (with or without 0x)\n";
            return 2;
        }
    }
    for (const std::string& offset : selectBytes) {
        if (!IsByteOffsetArgument(offset)) {
            std::cerr << "--select-byte: '" << offset << "' is not 1 to 16 hexadecimal digits\n";
            return 2;
        }
    }

    kestrova::Document document;
    document.SetDialogFileName(file);
    if (fullView) document.SetView(kestrova::ViewKind::Full);
    document.SetInitialisationPath(initPath);

    if (samples) {
        // What cannot be listed, and why, goes to standard error; the CSV stays a CSV.
        document.OpenFile();
        const std::optional<kestrova::SampleList> list = kestrova::BuildDocumentSampleList(document);
        if (!list) {
            const std::string& status = document.StatusText();
            std::cerr << (status.rfind("File Open Fail", 0) == 0 ? status : file + ": not an MP4/3GP or AVI file")
                      << ": no samples to list\n";
            kestrova::WriteSamplesCsv({}, std::cout);
            return 0;
        }
        std::ios::sync_with_stdio(false);
        kestrova::WriteSamplesCsv(*list, std::cout);
        for (const std::string& note : list->notes) std::cerr << note << '\n';
        for (const kestrova::SampleTrack& track : list->tracks)
            for (const std::string& note : track.notes) std::cerr << "track " << track.id << ": " << note << '\n';
        return 0;
    }

    if (findOption->count() > 0) return PrintFindHits(document, findText);

    struct Queued {
        DumpCommand command;
        bool allNodes = false;  // --click-all: the node count is known only after the open
    };
    std::vector<Queued> commands{{{DumpCommand::Kind::Open}}};
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : app.parse_order()) {
        if (option == clickOption) {
            commands.push_back({{DumpCommand::Kind::Click, clicks.at(used[option]++)}});
        } else if (option == readOption) {
            // The option is listed once for each of its two values.
            const std::size_t seen = used[option]++;
            if (seen % 2 == 1) continue;
            const std::size_t k = seen / 2;
            commands.push_back({{DumpCommand::Kind::ReadOffset, 0, readOffsets.at(2 * k), readOffsets.at(2 * k + 1)}});
        } else if (option == selectLineOption) {
            const std::int64_t line = *PaneLineArgument(selectLines.at(used[option]++));
            commands.push_back({{DumpCommand::Kind::SelectLine, line}});
        } else if (option == selectByteOption) {
            commands.push_back({{DumpCommand::Kind::SelectByte, 0, selectBytes.at(used[option]++)}});
        } else if (option == gotoOption) {
            commands.push_back({{DumpCommand::Kind::GoTo, 0, gotos.at(used[option]++)}});
        } else if (option == selectPathOption) {
            commands.push_back({{DumpCommand::Kind::SelectPath, 0, selectPaths.at(used[option]++)}});
        } else if (option == clickAllOption) {
            commands.push_back({{DumpCommand::Kind::Click}, true});
        }
    }

    // States are written as they are made, so memory stays flat however many nodes are clicked.
    std::ios::sync_with_stdio(false);
    std::optional<kestrova::JsonStateWriter> writer;
    if (json) writer.emplace(std::cout, file);
    const auto run = [&](const DumpCommand& command) {
        const std::string error = kestrova::RunDumpCommand(document, command);
        if (!error.empty()) {
            std::cout.flush();
            std::cerr << error << '\n';
            return false;
        }
        if (writer) writer->Add(document, command);
        else std::cout << kestrova::StateText(document, command) << '\n';
        return true;
    };
    for (const Queued& queued : commands) {
        if (!queued.allNodes) {
            if (!run(queued.command)) return 2;
            continue;
        }
        for (std::size_t i = 0; i < document.Tree().Count(); ++i)
            if (!run({DumpCommand::Kind::Click, static_cast<std::int64_t>(i)})) return 2;
    }
    if (writer) writer->Finish(document);
    return 0;
}
