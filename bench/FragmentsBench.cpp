// Movie fragments, on the two-hour file remuxed into about 3,600 moofs:
// - its open in the full view with the summary, and what the document keeps
//   per fragment sample afterwards (bytes_per_fragment_sample; target 40);
// - the sample list of every fragment sample, in each view (target 100 ms);
// - a click on a trun of 1,000 samples in the full view (target 20 ms), on a
//   copy of its first two minutes in 40-second fragments.
// The open against mediainfo is in compare-open.sh, given the file:
//   bash bench/compare-open.sh build-bench/bench/files/two-hours-fragmented.mp4

#include <benchmark/benchmark.h>

#include "BenchFiles.h"
#include "iso/full/FullParse.h"
#include "shell/StreamSamples.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kTrun = 0x7472756E;

template <typename T>
std::size_t VectorBytes(const std::vector<T>& v) { return v.capacity() * sizeof(T); }
// What is written: reserved room past it is address space, never mapped.
template <typename T>
std::size_t UsedBytes(const std::vector<T>& v) { return v.size() * sizeof(T); }

void BM_FragmentedOpenFull(benchmark::State& state) {
    const std::string& path = bench::TwoHourFragmentedMp4Path();
    if (path.empty()) return state.SkipWithError("the fragmented file could not be made");
    std::size_t kept = 0, used = 0, samples = 0, runs = 0;
    for (auto _ : state) {
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(path);
        const full::FullParse* parse = doc.Full();
        if (!parse) return state.SkipWithError("not opened in the full view");
        state.PauseTiming();
        samples = 0;
        for (const FragmentTotals& t : parse->fragments.totals) samples += t.samples;
        runs = parse->fragments.runs.size();
        const std::size_t panes = doc.BoxDescriptionPane().MemoryBytes() + doc.FileInfoPane().MemoryBytes();
        std::size_t captions = 0;
        for (const TreeNode& node : doc.Tree().Nodes()) captions += node.caption.capacity() > 15 ? node.caption.capacity() : 0;
        kept = VectorBytes(parse->records) + VectorBytes(parse->fragments.runs) + VectorBytes(doc.Tree().Nodes()) +
               VectorBytes(parse->topLevel) + panes + captions;
        used = UsedBytes(parse->records) + UsedBytes(parse->fragments.runs) + UsedBytes(doc.Tree().Nodes()) +
               UsedBytes(parse->topLevel) + panes + captions;
        state.ResumeTiming();
    }
    state.counters["fragment_samples"] = static_cast<double>(samples);
    state.counters["runs"] = static_cast<double>(runs);
    state.counters["bytes_per_fragment_sample"] = samples ? static_cast<double>(kept) / static_cast<double>(samples) : 0;
    state.counters["used_bytes_per_fragment_sample"] = samples ? static_cast<double>(used) / static_cast<double>(samples) : 0;
}
BENCHMARK(BM_FragmentedOpenFull)->Unit(benchmark::kMillisecond);

// 0: the classic view, 1: the full view.
void BM_FragmentedSampleList(benchmark::State& state) {
    const std::string& path = bench::TwoHourFragmentedMp4Path();
    if (path.empty()) return state.SkipWithError("the fragmented file could not be made");
    Document doc;
    doc.SetView(state.range(0) ? ViewKind::Full : ViewKind::Classic);
    doc.OpenFile(path);
    std::size_t samples = 0;
    for (auto _ : state) {
        const std::optional<SampleList> list = BuildDocumentSampleList(doc);
        if (!list) return state.SkipWithError("no sample list");
        samples = 0;
        for (const SampleTrack& t : list->tracks) samples += t.samples.size();
        benchmark::DoNotOptimize(samples);
    }
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_FragmentedSampleList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ClickTrunOfThousandSamples(benchmark::State& state) {
    const std::string& path = bench::LongRunsMp4Path();
    if (path.empty()) return state.SkipWithError("the file of long runs could not be made");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    if (!doc.Full()) return state.SkipWithError("not opened in the full view");
    std::int64_t node = -1;
    std::uint32_t most = 0;
    for (const PlacedRun& run : doc.Full()->fragments.runs)
        if (run.count > most && run.count <= 1000)
            for (const full::FullRecord& r : doc.Full()->records)
                if (r.type == kTrun && r.offset == run.trunOffset) {
                    most = run.count;
                    node = r.index + 1;
                }
    if (node < 0) return state.SkipWithError("no trun");
    for (auto _ : state) {
        doc.TreeView1Click(node);
        benchmark::DoNotOptimize(doc.BoxDescriptionPane().Lines().size());
    }
    state.counters["samples"] = most;
    state.counters["lines"] = static_cast<double>(doc.BoxDescriptionPane().Lines().size());
}
BENCHMARK(BM_ClickTrunOfThousandSamples)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
