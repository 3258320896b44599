// The stream graph on the two-hour file: from Ctrl+G to its audio track
// (about 340,000 samples) drawn, and one redraw while zooming or panning.
// Runs on Qt's offscreen platform unless another one is asked for.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>

#include "BenchFiles.h"
#include "shell/qt/GraphView.h"
#include "shell/qt/ParserMain.h"
#include "shell/qt/StreamGraph.h"

namespace kestrova {
namespace {

// The main window on the two-hour file, made once.
TParserMain* Window() {
    static TParserMain* window = [] {
        auto* w = new TParserMain(RegionalSettings{});
        w->show();
        w->OpenFile(QString::fromStdString(bench::TwoHourMp4Path()));
        return w;
    }();
    return window;
}

int AudioTrack(const StreamGraphWindow& g) {
    for (std::size_t i = 0; i < g.Samples().tracks.size(); ++i)
        if (g.Samples().tracks[i].kind == 0x736F756E) return static_cast<int>(i);  // "soun"
    return -1;
}

void BM_GraphCtrlGToAudioTrackDrawn(benchmark::State& state) {
    if (bench::TwoHourMp4Path().empty()) return state.SkipWithError("the two-hour file could not be made");
    TParserMain* w = Window();
    std::size_t samples = 0;
    for (auto _ : state) {
        w->StreamGraph1->trigger();  // Ctrl+G: the sample list is built and the first video track chosen
        StreamGraphWindow* g = w->GraphWindow();
        const int audio = AudioTrack(*g);
        if (audio < 0) return state.SkipWithError("no audio track");
        g->ChooseTrack(audio);
        const QImage shown = g->grab().toImage();  // the whole window, graph included, painted
        benchmark::DoNotOptimize(shown.constBits());
        samples = g->Graph->Track()->samples.size();
        state.PauseTiming();
        g->close();
        state.ResumeTiming();
    }
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_GraphCtrlGToAudioTrackDrawn)->Unit(benchmark::kMillisecond);

// The same on the two-hour file in fragments: every sample comes from a trun.
void BM_GraphCtrlGFragmentedDrawn(benchmark::State& state) {
    const std::string& path = bench::TwoHourFragmentedMp4Path();
    if (path.empty()) return state.SkipWithError("the fragmented file could not be made");
    static TParserMain* w = [&] {
        auto* window = new TParserMain(RegionalSettings{});
        window->show();
        window->OpenFile(QString::fromStdString(path));
        return window;
    }();
    std::size_t samples = 0;
    for (auto _ : state) {
        w->StreamGraph1->trigger();
        StreamGraphWindow* g = w->GraphWindow();
        const int audio = AudioTrack(*g);
        if (audio < 0) return state.SkipWithError("no audio track");
        g->ChooseTrack(audio);
        const QImage shown = g->grab().toImage();
        benchmark::DoNotOptimize(shown.constBits());
        samples = g->Graph->Track()->samples.size();
        state.PauseTiming();
        g->close();
        state.ResumeTiming();
    }
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_GraphCtrlGFragmentedDrawn)->Unit(benchmark::kMillisecond);

// Redraws of the audio track: 0 zooms in and out around the middle, 1 pans at a
// tenth of the full view, 2 pans at a twentieth of it.
void BM_GraphRedraw(benchmark::State& state) {
    if (bench::TwoHourMp4Path().empty()) return state.SkipWithError("the two-hour file could not be made");
    TParserMain* w = Window();
    w->StreamGraph1->trigger();
    StreamGraphWindow* g = w->GraphWindow();
    g->resize(1100, 560);
    g->ChooseTrack(AudioTrack(*g));
    GraphView* v = g->Graph;
    QImage image(v->size(), QImage::Format_RGB32);
    const double full = v->FullEnd() - v->FullStart();
    int step = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            // 16 steps in from all of it, 16 back out.
            const bool in = (step / 16) % 2 == 0;
            v->ZoomAt((v->FullStart() + v->FullEnd()) / 2, in ? 0.8 : 1.25);
        } else {
            const double span = full / (state.range(0) == 1 ? 10 : 20);
            const double start = std::fmod(step * span / 8, full - span);
            v->SetViewRange(start, start + span);
        }
        ++step;
        v->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    v->ShowAll();
    g->close();
}
BENCHMARK(BM_GraphRedraw)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The worst case: all 340,000 samples in sight.
void BM_GraphRedrawAll(benchmark::State& state) {
    if (bench::TwoHourMp4Path().empty()) return state.SkipWithError("the two-hour file could not be made");
    TParserMain* w = Window();
    w->StreamGraph1->trigger();
    StreamGraphWindow* g = w->GraphWindow();
    g->resize(1100, 560);
    g->ChooseTrack(AudioTrack(*g));
    QImage image(g->Graph->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        g->Graph->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    g->close();
}
BENCHMARK(BM_GraphRedrawAll)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
