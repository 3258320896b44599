// The stream graph window under the offscreen platform: opening it from the
// View menu, choosing a track, zoom and pan, the hover text, the double-click
// that leads back to the index line in the main window, and the export.

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>

#include "GuiFixtures.h"
#include "common/Formatters.h"
#include "shell/qt/GraphView.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"
#include "shell/qt/StreamGraph.h"
#include "unit/AviFixtures.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

// Stream 0: 50 video frames at 25 fps, a key frame every tenth, frame i of 100 + 10 i bytes
// (frame 7 empty); stream 1: 20 audio frames of 1152 at 44.1 kHz. Offsets count from "movi".
Bytes GraphAvi() {
    StreamHeaderFields audio;
    audio.type = "auds";
    audio.handler = "";
    audio.scale = 1152;
    audio.rate = 44100;
    Bytes movi = Text("movi");
    std::vector<Bytes> entries;
    auto add = [&](const std::string& id, std::uint32_t flags, std::size_t length) {
        entries.push_back(IndexEntry(id, flags, static_cast<std::uint32_t>(movi.size()), static_cast<std::uint32_t>(length)));
        const Bytes chunk = Chunk(id, Bytes(length, 0x11));
        movi.insert(movi.end(), chunk.begin(), chunk.end());
    };
    for (int i = 0; i < 50; ++i) {
        add("00dc", i % 10 == 0 ? 0x10 : 0, i == 7 ? 0 : 100 + 10 * static_cast<std::size_t>(i));
        if (i % 2 == 0 && i < 40) add("01wb", 0x10, 50);
    }
    const Bytes hdrl = List("LIST", "hdrl", {Avih(), VideoStreamList({}),
                                             List("LIST", "strl", {Strh(audio), StrfAudio(0x55, 2, 44100, 16000)})});
    return Chunk("RIFF", Cat({Text("AVI "), hdrl, Chunk("LIST", movi), Idx1(entries)}));
}

}  // namespace

class StreamGraphTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TParserMain> window_;
    std::unique_ptr<TempFile> file_;

    // The main window with the test AVI open and its graph shown by Ctrl+G.
    StreamGraphWindow& OpenGraph() {
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        window_->activateWindow();
        QApplication::setActiveWindow(window_.get());
        (void)QTest::qWaitForWindowActive(window_.get());
        file_ = std::make_unique<TempFile>(GraphAvi(), "graph.avi");
        window_->OpenFile(QString::fromStdString(file_->Path()));
        QTest::keyClick(window_.get(), Qt::Key_G, Qt::ControlModifier);
        StreamGraphWindow* graph = window_->GraphWindow();
        if (!graph) qFatal("Ctrl+G opened no graph");
        graph->resize(1000, 500);
        (void)QTest::qWaitForWindowExposed(graph);
        return *graph;
    }

    // A move of the pointer with no button down, as the window system sends it.
    static void Hover(QWidget* w, const QPoint& at) {
        QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }

    static QPoint PointOf(const GraphView& view, const Sample& s, int dy = 0) {
        const double t = static_cast<double>(s.dts) / view.Track()->timescale;
        return {static_cast<int>(std::lround(view.XOf(t) + 1)), view.PlotRect().bottom() - 2 - dy};
    }

private slots:
    void cleanup() {
        window_.reset();
        file_.reset();
    }

    void viewMenuEntryIsEnabledWhileAMediaFileIsOpen() {
        TParserMain w{RegionalSettings{}};
        QCOMPARE(w.View1->title(), QStringLiteral("&View"));
        QCOMPARE(w.StreamGraph1->text(), QStringLiteral("Stream &Graph"));
        QCOMPARE(w.StreamGraph1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
        QVERIFY(!w.StreamGraph1->isEnabled());
        TempFile avi(GraphAvi(), "a.avi");
        w.OpenFile(QString::fromStdString(avi.Path()));
        QVERIFY(w.StreamGraph1->isEnabled());
        TempFile text(Text("not a movie at all"), "t.txt");
        w.OpenFile(QString::fromStdString(text.Path()));
        QVERIFY(!w.StreamGraph1->isEnabled());
        TempFile mp4(SampleMp4(), "s.mp4");
        w.OpenFile(QString::fromStdString(mp4.Path()));
        QVERIFY(w.StreamGraph1->isEnabled());
    }

    void opensOnTheVideoStreamAndTracksCanBeChosen() {
        StreamGraphWindow& g = OpenGraph();
        QVERIFY(g.isVisible());
        QCOMPARE(g.File1->actions().front(), g.ExportGraph1);
        QCOMPARE(g.ExportGraph1->text(), QStringLiteral("&Export Graph..."));
        QCOMPARE(g.TrackList->count(), 2);
        QCOMPARE(g.TrackList->item(0)->text(), QStringLiteral("Stream 0  vids  XVID  50 samples"));
        QCOMPARE(g.TrackList->item(1)->text(), QStringLiteral("Stream 1  auds  -  20 samples"));
        QCOMPARE(g.ChosenTrack(), 0);
        QCOMPARE(g.Graph->Track(), &g.Samples().tracks[0]);
        QCOMPARE(g.StatusLine(), QStringLiteral("50 samples over 2.00 s"));
        // Bit rate of the first second: frames 0 to 24, 100 + 10 i bytes each but frame 7.
        double bytes = 0;
        for (int i = 0; i < 25; ++i) bytes += i == 7 ? 0 : 100 + 10 * i;
        QCOMPARE(g.Graph->BitRateAt(0), bytes * 8 / 1000);

        QTest::mouseClick(g.TrackList->viewport(), Qt::LeftButton, {},
                          g.TrackList->visualItemRect(g.TrackList->item(1)).center());
        QCOMPARE(g.ChosenTrack(), 1);
        QCOMPARE(g.Graph->Track(), &g.Samples().tracks[1]);
        QCOMPARE(g.StatusLine(), QStringLiteral("20 samples over 0.52 s"));
        QCOMPARE(g.Graph->FullEnd(), 20 * 1152 / 44100.0);

        // A newly opened file replaces the graph's tracks.
        TempFile other(GraphAvi(), "other.avi");
        window_->OpenFile(QString::fromStdString(other.Path()));
        QVERIFY(g.windowTitle().endsWith(QStringLiteral("other.avi")));
        QCOMPARE(g.ChosenTrack(), 0);
    }

    void wheelZoomsAroundThePointerDragPansShiftDragZoomsToARange() {
        StreamGraphWindow& g = OpenGraph();
        GraphView& v = *g.Graph;
        const QRect plot = v.PlotRect();
        const QPoint at(plot.left() + plot.width() / 4, plot.center().y());
        const double pinned = v.TimeAt(at.x());
        QWheelEvent wheel(at, v.mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(&v, &wheel);
        QCOMPARE(v.ViewEnd() - v.ViewStart(), 0.8 * v.FullEnd());
        QVERIFY(std::abs(v.TimeAt(at.x()) - pinned) < 1e-9);  // the time under the pointer stays there

        const double start = v.ViewStart();
        const double perPixel = (v.ViewEnd() - v.ViewStart()) / plot.width();
        QTest::mousePress(&v, Qt::LeftButton, {}, at);
        QTest::mouseMove(&v, at + QPoint(-40, 0));
        QTest::mouseRelease(&v, Qt::LeftButton, {}, at + QPoint(-40, 0));
        QVERIFY(std::abs(v.ViewStart() - (start + 40 * perPixel)) < 1e-9);

        QTest::keyClick(&v, Qt::Key_Home);
        QCOMPARE(v.ViewStart(), v.FullStart());
        QCOMPARE(v.ViewEnd(), v.FullEnd());

        const int x0 = plot.left() + 100, x1 = plot.left() + 300;
        const double t0 = v.TimeAt(x0), t1 = v.TimeAt(x1);
        QTest::mousePress(&v, Qt::LeftButton, Qt::ShiftModifier, {x0, plot.center().y()});
        QTest::mouseMove(&v, {x1, plot.center().y()});
        QTest::mouseRelease(&v, Qt::LeftButton, Qt::ShiftModifier, {x1, plot.center().y()});
        QVERIFY(std::abs(v.ViewStart() - t0) < 1e-9);
        QVERIFY(std::abs(v.ViewEnd() - t1) < 1e-9);

        // However deep the zoom, the view stays inside the track and keeps some time in sight.
        for (int i = 0; i < 80; ++i) v.ZoomAt(v.FullEnd(), 0.5);
        QVERIFY(v.ViewEnd() - v.ViewStart() > 0);
        QVERIFY(v.ViewEnd() <= v.FullEnd());
    }

    void hoverNamesTheSampleUnderThePointer() {
        StreamGraphWindow& g = OpenGraph();
        GraphView& v = *g.Graph;
        v.SetViewRange(0, 0.5);  // a dozen frames: each is a bar of its own
        const SampleTrack& video = g.Samples().tracks[0];
        const Sample& s = video.samples[10];
        Hover(&v, PointOf(v, s));
        QCOMPARE(v.HoverText(), GraphView::SampleText(video, s));
        QCOMPARE(v.HoverText(), QStringLiteral("Sample #11  0.400 s  200 bytes  offset %1 (%2)  key frame")
                                    .arg(QString::fromStdString(Hex32Text(s.offset)))
                                    .arg(QString::fromStdString(GroupedText(s.offset, {}))));
        Hover(&v, PointOf(v, video.samples[11]));
        QVERIFY(v.HoverText().endsWith(QStringLiteral("not a key frame")));
        Hover(&v, {2, 2});  // outside the plot
        QVERIFY(v.HoverText().isEmpty());
    }

    void doubleClickSelectsTheIndexLineOfTheSample() {
        StreamGraphWindow& g = OpenGraph();
        GraphView& v = *g.Graph;
        v.SetViewRange(0, 0.5);
        const SampleTrack& video = g.Samples().tracks[0];
        QTest::mouseDClick(&v, Qt::LeftButton, {}, PointOf(v, video.samples[10]));

        const TParserMain& w = *window_;
        const auto* model = static_cast<const NodeTreeModel*>(w.TreeView1->model());
        QCOMPARE(NodeTreeModel::NodeOf(w.TreeView1->currentIndex()), video.tableNode);
        QCOMPARE(model->data(w.TreeView1->currentIndex(), Qt::DisplayRole).toString(), QStringLiteral("idx1"));
        // The second key frame is video entry 11; its line names where its index entry lies,
        // is the current line, lights its bytes and is in sight.
        const std::optional<std::int64_t> line = w.Doc().SelectedLine();
        QVERIFY(line);
        QCOMPARE(w.BOX_Description->CurrentLine(), line);
        QVERIFY(w.BOX_Description->LineText(*line).startsWith(QStringLiteral("Sample #11  : (0X")));
        QVERIFY(w.Doc().Highlight());
        const int top = w.BOX_Description->verticalScrollBar()->value();
        QVERIFY(*line >= top);
        QVERIFY(*line < top + w.BOX_Description->viewport()->height() / w.BOX_Description->LineHeight());
    }

    void exportWritesPngAndSvgAtTheSizeOnScreen() {
        StreamGraphWindow& g = OpenGraph();
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("graph.png"));
        const QString svg = dir.filePath(QStringLiteral("graph.svg"));
        QVERIFY(g.ExportGraph(png));
        QVERIFY(g.ExportGraph(svg));
        const QImage image(png);
        QCOMPARE(image.size(), g.Graph->size());
        // The picture is what the screen shows.
        QCOMPARE(image, g.Graph->grab().toImage().convertToFormat(image.format()));
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("<svg"));
        QVERIFY(text.contains(QStringLiteral("width=\"%1").arg(g.Graph->width()).toUtf8()));
        QVERIFY(text.contains("Bit rate (kbit/s)"));
        QVERIFY(!g.ExportGraph(dir.filePath(QStringLiteral("no/such/folder/graph.png"))));
    }
};

QTEST_MAIN(StreamGraphTest)
#include "StreamGraphTest.moc"
