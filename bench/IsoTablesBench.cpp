// The two-hour MP4 (about 180,000 video and 337,500 audio samples): opening it
// with every sample table decoded, and clicking its largest "stsz". The memory
// figures are reported as counters: what the decoded rows hold after the open,
// and what the description lines of the click hold.

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

std::int64_t LargestStszNode(const IsoParse& p) {
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

std::size_t LineBytes(const std::vector<std::string>& lines) {
    std::size_t n = lines.capacity() * sizeof(std::string);
    for (const auto& l : lines) n += l.capacity() >= sizeof(std::string) ? l.capacity() + 1 : 0;
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

void BM_ClickLargestStsz(benchmark::State& state) {
    const std::string& path = bench::TwoHourMp4Path();
    if (path.empty()) return state.SkipWithError("no two-hour file");
    Document doc;
    doc.OpenFile(path);
    const std::int64_t node = LargestStszNode(*doc.Iso());
    for (auto _ : state) {
        doc.TreeView1Click(node);
        benchmark::DoNotOptimize(doc.BoxDescriptionPane().Lines().size());
    }
    state.counters["lines"] = static_cast<double>(doc.BoxDescriptionPane().Lines().size());
    state.counters["pane_MB"] = static_cast<double>(LineBytes(doc.BoxDescriptionPane().Lines())) / 1e6;
}
BENCHMARK(BM_ClickLargestStsz)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kestrova
