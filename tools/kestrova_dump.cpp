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
    app.add_flag("--full", fullView, "open the file in the full view (every box decoded)");
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
    for (const std::string& offset : selectBytes) {
        if (!IsByteOffsetArgument(offset)) {
            std::cerr << "--select-byte: '" << offset << "' is not 1 to 16 hexadecimal digits\n";
            return 2;
        }
    }

    kestrova::Document document;
    document.SetDialogFileName(file);
    if (fullView) document.SetView(kestrova::ViewKind::Full);

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
        } else if (option == clickAllOption) {
            commands.push_back({{DumpCommand::Kind::Click}, true});
        }
    }

    nlohmann::ordered_json states = nlohmann::ordered_json::array();
    for (const Queued& queued : commands) {
        std::vector<DumpCommand> run{queued.command};
        if (queued.allNodes) {
            run.clear();
            for (std::size_t i = 0; i < document.Tree().Count(); ++i)
                run.push_back({DumpCommand::Kind::Click, static_cast<std::int64_t>(i)});
        }
        for (const DumpCommand& command : run) {
            kestrova::RunDumpCommand(document, command);
            if (json) {
                states.push_back(kestrova::StateJson(document, command));
            } else {
                std::cout << kestrova::StateText(document, command) << '\n';
            }
        }
    }
    if (json) {
        nlohmann::ordered_json out;
        out["file"] = file;
        out["states"] = std::move(states);
        if (document.IsFullView()) out["streams"] = kestrova::StreamsJson(document);
        std::cout << out.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
    return 0;
}
