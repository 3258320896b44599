// libFuzzer target over the whole flow, in both views: open the bytes as a
// file, click every node (and find its picture), select some of its lines and
// a byte, read a few ranges and list the samples; then switch the full view
// back to the classic one, which reopens the file and clicks the same box there.
// Build with clang and -DKESTROVA_FUZZ=ON.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "shell/Document.h"
#include "shell/Picture.h"
#include "shell/StreamSamples.h"

namespace {

// Enough nodes to reach deep into any input while one input stays well under
// a second; a file of a million empty boxes would otherwise take minutes.
constexpr std::size_t kMaxClicks = 4096;

void ClickEverything(kestrova::Document& doc) {
    const std::size_t nodes = doc.Tree().Count();
    for (std::size_t i = 0; i < nodes && i < kMaxClicks; ++i) {
        doc.TreeView1Click(static_cast<std::int64_t>(i));
        (void)kestrova::PictureOfSelection(doc);
        // Lighting a line may dump again from where its bytes are.
        const std::size_t lines = doc.BoxDescriptionPane().Lines().size();
        for (std::size_t line = 4; line < lines && line < 64; line += 7) doc.SelectLine(static_cast<std::int64_t>(line));
        if (doc.Highlight()) doc.SelectByte(doc.Highlight()->offset);
    }
    doc.Button1Click("0", "FFFFFF");
    doc.Button1Click("FFFFFFFF", "10");
    // A double-click on a track's first and last sample: a table line, or a trun line of a fragment.
    if (const auto list = kestrova::BuildDocumentSampleList(doc))
        for (const kestrova::SampleTrack& track : list->tracks)
            if (!track.samples.empty()) {
                kestrova::ClickSampleSource(doc, track, track.samples.front());
                kestrova::ClickSampleSource(doc, track, track.samples.back());
            }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/kestrova-fuzz-" + std::to_string(getpid()) + ".bin";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    {
        kestrova::Document classic;
        classic.OpenFile(path);
        ClickEverything(classic);
    }

    kestrova::Document full;
    full.SetView(kestrova::ViewKind::Full);
    full.OpenFile(path);
    ClickEverything(full);
    // The last click went to the last node; the switch looks for its box.
    full.SetView(kestrova::ViewKind::Classic);
    return 0;
}
