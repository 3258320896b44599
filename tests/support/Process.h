#pragma once
// Running the command-line tools the integration tests compare against.

#include <string>

namespace kestrova::test {

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // standard output, and standard error when asked
};

// Runs a shell command line; quote arguments with ShellQuote.
ProcessResult Run(const std::string& commandLine, bool withStderr = false);
std::string ShellQuote(const std::string& s);
bool HaveTool(const std::string& name);
// The folder of real sample files, or "" when it is not there.
std::string CorpusDir();

}  // namespace kestrova::test
