// Building the sample list of the two-hour file (H.264 25 fps + AAC 48 kHz)
// from the decoded tables, and the memory the list takes per sample.

#include <benchmark/benchmark.h>

#include "BenchFiles.h"
#include "shell/StreamSamples.h"

namespace kestrova {
namespace {

void BM_SampleListTwoHours(benchmark::State& state) {
    const std::string& path = bench::TwoHourMp4Path();
    if (path.empty()) return state.SkipWithError("the two-hour file could not be made");
    Document doc;
    doc.OpenFile(path);
    std::size_t samples = 0, bytes = 0;
    for (auto _ : state) {
        const std::optional<SampleList> list = BuildDocumentSampleList(doc);
        if (!list) return state.SkipWithError("no sample list");
        samples = bytes = 0;
        for (const SampleTrack& t : list->tracks) {
            samples += t.samples.size();
            bytes += sizeof t + t.samples.capacity() * sizeof(Sample);
        }
        benchmark::DoNotOptimize(samples);
    }
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["bytes_per_sample"] = samples ? static_cast<double>(bytes) / static_cast<double>(samples) : 0;
}
BENCHMARK(BM_SampleListTwoHours)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
