// libFuzzer target over the whole flow: open the bytes as a file, click every
// node, and read a few ranges. Build with clang and -DKESTROVA_FUZZ=ON.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "shell/Document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/kestrova-fuzz-" + std::to_string(getpid()) + ".bin";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    kestrova::Document doc;
    doc.OpenFile(path);
    const std::size_t nodes = doc.Tree().Count();
    for (std::size_t i = 0; i < nodes && i < 4096; ++i) doc.TreeView1Click(static_cast<std::int64_t>(i));
    doc.Button1Click("0", "FFFFFF");
    doc.Button1Click("FFFFFFFF", "10");
    return 0;
}
