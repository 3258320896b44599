#include "shell/Pane.h"

namespace kestrova {

void Pane::Append(const std::string& text) {
    AppendSplit(text);
    ++revision_;
}

void Pane::AppendSplit(const std::string& text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t brk = text.find_first_of("\r\n", start);
        if (brk == std::string::npos) {
            // A break at the very end starts no further line.
            if (start < text.size() || start == 0) lines_.emplace_back(text, start);
            return;
        }
        lines_.emplace_back(text, start, brk - start);
        start = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
    }
}

}  // namespace kestrova
