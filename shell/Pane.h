#pragma once
// The lines a read-only pane shows. An appended text that holds line breaks
// shows as several lines, so the pane keeps them already split.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

class Pane {
public:
    void Clear() {
        lines_.clear();
        ++revision_;
    }
    void Append(const std::string& text);
    void Replace(const std::vector<std::string>& entries) {
        lines_.clear();
        for (const auto& e : entries) AppendSplit(e);
        ++revision_;
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Changes whenever the content changes, so a front end can skip a redraw.
    std::uint64_t Revision() const { return revision_; }

private:
    void AppendSplit(const std::string& text);
    std::vector<std::string> lines_;
    std::uint64_t revision_ = 0;
};

}  // namespace kestrova
