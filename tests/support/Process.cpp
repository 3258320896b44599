#include "support/Process.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kestrova::test {

ProcessResult Run(const std::string& commandLine, bool withStderr) {
    ProcessResult result;
    const std::string full = commandLine + (withStderr ? " 2>&1" : " 2>/dev/null");
    std::FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 65536> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) result.output.append(buf.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool HaveTool(const std::string& name) { return Run("command -v " + ShellQuote(name)).exitCode == 0; }

std::string CorpusDir() {
    std::string dir;
    if (const char* env = std::getenv("KESTROVA_CORPUS_DIR")) dir = env;
#ifdef KESTROVA_CORPUS_DIR
    if (dir.empty()) dir = KESTROVA_CORPUS_DIR;
#endif
    std::error_code ec;
    return (!dir.empty() && std::filesystem::is_directory(dir, ec)) ? dir : std::string();
}

}  // namespace kestrova::test
