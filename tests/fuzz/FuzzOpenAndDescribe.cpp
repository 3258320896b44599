// libFuzzer target over the whole flow: open the bytes as a file, click every
// node, select its lines and a byte, read a few ranges and list the samples.
// Build with clang and -DKESTROVA_FUZZ=ON.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "shell/Document.h"
#include "shell/StreamSamples.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/kestrova-fuzz-" + std::to_string(getpid()) + ".bin";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    kestrova::Document doc;
    doc.OpenFile(path);
    const std::size_t nodes = doc.Tree().Count();
    for (std::size_t i = 0; i < nodes && i < 4096; ++i) {
        doc.TreeView1Click(static_cast<std::int64_t>(i));
        // Lighting a line may dump again from where its bytes are.
        const std::size_t lines = doc.BoxDescriptionPane().Lines().size();
        for (std::size_t line = 4; line < lines && line < 64; line += 7) doc.SelectLine(static_cast<std::int64_t>(line));
        if (doc.Highlight()) doc.SelectByte(doc.Highlight()->offset);
    }
    doc.Button1Click("0", "FFFFFF");
    doc.Button1Click("FFFFFFFF", "10");
    (void)kestrova::BuildDocumentSampleList(doc);
    return 0;
}
