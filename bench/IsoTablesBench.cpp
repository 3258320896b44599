// The two-hour MP4 (about 180,000 video and 337,500 audio samples): opening it
// with every sample table decoded; table_MB is what the decoded rows hold.
// The click on its largest "stsz" is timed in RangeBench.cpp (ranges:1 is the
// window's own setting).

#include <benchmark/benchmark.h>

#include "BenchFiles.h"
#include "iso/Mp4ParseIso.h"
#include "shell/Document.h"

namespace kestrova {
namespace {

template <typename T>
std::size_t VectorBytes(const std::vector<T>& v) { return v.capacity() * sizeof(T); }

std::size_t TableBytes(const IsoParse& p) {
    std::size_t n = VectorBytes(p.records);
    for (const auto& r : p.tables.stsz) n += VectorBytes(r.sampleSizes);
    for (const auto& r : p.tables.stts) n += VectorBytes(r.entries);
    for (const auto& r : p.tables.stsc) n += VectorBytes(r.entries);
    for (const auto& r : p.tables.stco) n += VectorBytes(r.chunkOffsets);
    for (const auto& r : p.tables.stss) n += VectorBytes(r.sampleNumbers);
    return n;
}

void BM_OpenTwoHourMp4(benchmark::State& state) {
    const std::string& path = bench::TwoHourMp4Path();
    if (path.empty()) return state.SkipWithError("no two-hour file");
    std::size_t tableBytes = 0;
    for (auto _ : state) {
        Document doc;
        doc.OpenFile(path);
        tableBytes = TableBytes(*doc.Iso());
        benchmark::DoNotOptimize(doc.Iso()->records.size());
    }
    state.counters["table_MB"] = static_cast<double>(tableBytes) / 1e6;
}
BENCHMARK(BM_OpenTwoHourMp4)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kestrova
