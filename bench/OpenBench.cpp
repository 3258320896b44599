// How long the document commands take on large inputs: the open of a file with
// a million boxes (the record limit), a 1 MiB hex dump, and a click on a box.

#include <benchmark/benchmark.h>

#include "shell/Document.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

using namespace test;

const TempFile& ManyBoxes() {
    static const TempFile file = [] {
        Bytes body;
        const Bytes free = Box("free");
        body.reserve(free.size() * 1'000'000);
        for (int i = 0; i < 999'999; ++i) body.insert(body.end(), free.begin(), free.end());
        return TempFile(Cat({Box("moov"), body}), "many.mp4");
    }();
    return file;
}

const TempFile& BigMdat() {
    static const TempFile file(Cat({Box("moov"), Box("mdat", Bytes(8 << 20, 0x5A))}), "big.mp4");
    return file;
}

void BM_OpenMillionBoxes(benchmark::State& state) {
    const std::string path = ManyBoxes().Path();
    for (auto _ : state) {
        Document doc;
        doc.OpenFile(path);
        benchmark::DoNotOptimize(doc.Tree().Count());
    }
    state.SetItemsProcessed(state.iterations() * 1'000'000);
}
BENCHMARK(BM_OpenMillionBoxes)->Unit(benchmark::kMillisecond);

void BM_HexDumpOneMebibyte(benchmark::State& state) {
    Document doc;
    doc.OpenFile(BigMdat().Path());
    for (auto _ : state) {
        doc.ShowHexRange(0x10, 0x100000);
        benchmark::DoNotOptimize(doc.FileInfoPane().Lines().size());
    }
    state.SetBytesProcessed(state.iterations() * 0x100000);
}
BENCHMARK(BM_HexDumpOneMebibyte)->Unit(benchmark::kMillisecond);

void BM_ClickLargeBox(benchmark::State& state) {
    Document doc;
    doc.OpenFile(BigMdat().Path());
    for (auto _ : state) {
        doc.TreeView1Click(2);  // mdat: description plus a dump cut at 1 MiB
        benchmark::DoNotOptimize(doc.FileInfoPane().Lines().size());
    }
}
BENCHMARK(BM_ClickLargeBox)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
