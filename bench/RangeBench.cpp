// What byte ranges cost a click on the two-hour file's largest "stsz" (about
// 338,000 lines): the same click with range recording on and off, in one run.
// Compare the medians of the two and their pane_MB (the description lines
// plus their ranges); the ranges are meant to cost at most a quarter more.

#include <benchmark/benchmark.h>

#include "BenchFiles.h"
#include "iso/Mp4ParseIso.h"
#include "shell/Document.h"

namespace kestrova {
namespace {

std::int64_t LargestStsz(const IsoParse& p) {
    std::int64_t node = -1;
    std::size_t most = 0;
    for (const BoxRecord& r : p.records) {
        if (r.type != 0x7374737A || r.row < 0) continue;  // "stsz"
        const std::size_t n = p.tables.stsz[static_cast<std::size_t>(r.row)].sampleSizes.size();
        if (n >= most) {
            most = n;
            node = r.index + 1;
        }
    }
    return node;
}

void BM_ClickLargestStszRanges(benchmark::State& state) {
    const std::string& path = bench::TwoHourMp4Path();
    if (path.empty()) return state.SkipWithError("no two-hour file");
    Document doc;
    doc.SetRangeRecording(state.range(0) != 0);
    doc.OpenFile(path);
    const std::int64_t node = LargestStsz(*doc.Iso());
    for (auto _ : state) {
        doc.TreeView1Click(node);
        benchmark::DoNotOptimize(doc.BoxDescriptionPane().Lines().size());
    }
    const Pane& pane = doc.BoxDescriptionPane();
    state.counters["lines"] = static_cast<double>(pane.Lines().size());
    state.counters["pane_MB"] = static_cast<double>(pane.MemoryBytes()) / 1e6;
}
BENCHMARK(BM_ClickLargestStszRanges)
    ->ArgName("ranges")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kestrova
