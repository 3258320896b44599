#include "shell/qt/StreamGraph.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgGenerator>

#include "common/Formatters.h"
#include "shell/qt/GraphView.h"

namespace kestrova {
namespace {

QString Grouped(std::uint64_t v) { return QString::fromStdString(GroupedText(v, RegionalSettings{})); }

QString CodeText(std::uint32_t code) {
    return code ? QString::fromStdString(FourccText(code)) : QStringLiteral("-");
}

bool IsVideo(std::uint32_t kind) { return kind == Fourcc("vide") || kind == Fourcc("vids"); }

}  // namespace

QString TrackListText(const SampleTrack& track, bool avi) {
    return QStringLiteral("%1 %2  %3  %4  %5 samples")
        .arg(avi ? QStringLiteral("Stream") : QStringLiteral("Track"))
        .arg(track.id)
        .arg(CodeText(track.kind))
        .arg(CodeText(track.codec))
        .arg(Grouped(track.samples.size()));
}

StreamGraphWindow::StreamGraphWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("StreamGraph"));
    setWindowTitle(QStringLiteral("Stream Graph"));

    ExportGraph1 = new QAction(QStringLiteral("&Export Graph..."), this);
    ExportGraph1->setObjectName(QStringLiteral("ExportGraph1"));
    ExportGraph1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ExportGraph1->setStatusTip(QStringLiteral("Write the graph as a PNG or SVG image"));
    Close1 = new QAction(QStringLiteral("&Close"), this);
    Close1->setObjectName(QStringLiteral("Close1"));
    Close1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    File1->addAction(ExportGraph1);
    File1->addSeparator();
    File1->addAction(Close1);
    connect(ExportGraph1, &QAction::triggered, this, &StreamGraphWindow::ExportGraph1Execute);
    connect(Close1, &QAction::triggered, this, &QWidget::close);

    auto* splitter = new QSplitter(this);
    TrackList = new QListWidget(splitter);
    TrackList->setObjectName(QStringLiteral("TrackList"));
    Graph = new GraphView(splitter);
    Graph->setObjectName(QStringLiteral("Graph"));
    splitter->addWidget(TrackList);
    splitter->addWidget(Graph);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 870});
    setCentralWidget(splitter);

    StatusText = new QLabel(this);
    StatusText->setObjectName(QStringLiteral("GraphStatus"));
    StatusText->setTextFormat(Qt::PlainText);
    StatusText->setWordWrap(true);
    statusBar()->addWidget(StatusText, 1);

    connect(TrackList, &QListWidget::currentRowChanged, this, [this](int row) {
        const bool known = row >= 0 && static_cast<std::size_t>(row) < list_.tracks.size();
        Graph->SetTrack(known ? &list_.tracks[static_cast<std::size_t>(row)] : nullptr);
        UpdateStatus();
    });
    connect(Graph, &GraphView::sampleActivated, this, [this](std::int64_t index) {
        const SampleTrack* track = Graph->Track();
        if (track && OnSampleActivated && index >= 0 && static_cast<std::size_t>(index) < track->samples.size())
            OnSampleActivated(*track, track->samples[static_cast<std::size_t>(index)]);
    });
    resize(1100, 560);
}

void StreamGraphWindow::SetSamples(SampleList list, const QString& fileName, bool aviStreams) {
    // The view points into the list it replaces.
    Graph->SetTrack(nullptr);
    list_ = std::move(list);
    for (SampleTrack& t : list_.tracks) {
        // A sample whose time or size only an unread initialisation segment gives has no place to be drawn.
        const auto unknown = std::erase_if(t.samples, [](const Sample& s) {
            return s.dts == kUnknownSamplePlace || s.size == kUnknownSampleValue;
        });
        if (unknown > 0)
            t.notes.push_back(Grouped(unknown).toStdString() +
                              " samples are not drawn: their size or time is in the initialisation segment");
    }
    setWindowTitle(QStringLiteral("Stream Graph - ") + fileName);
    QSignalBlocker block(TrackList);
    TrackList->clear();
    int chosen = -1;
    for (std::size_t i = 0; i < list_.tracks.size(); ++i) {
        const SampleTrack& t = list_.tracks[i];
        TrackList->addItem(TrackListText(t, aviStreams));
        if (chosen < 0 && IsVideo(t.kind) && !t.samples.empty()) chosen = static_cast<int>(i);
    }
    if (chosen < 0) {
        for (std::size_t i = 0; i < list_.tracks.size() && chosen < 0; ++i)
            if (!list_.tracks[i].samples.empty()) chosen = static_cast<int>(i);
    }
    if (chosen < 0 && !list_.tracks.empty()) chosen = 0;
    // Every entry whole in sight.
    TrackList->setMinimumWidth(std::min(420, TrackList->sizeHintForColumn(0) + 2 * TrackList->frameWidth() + 8));
    block.unblock();
    ChooseTrack(chosen);
}

void StreamGraphWindow::ChooseTrack(int index) {
    if (TrackList->currentRow() == index) {
        Graph->SetTrack(index >= 0 ? &list_.tracks[static_cast<std::size_t>(index)] : nullptr);
        UpdateStatus();
    } else {
        TrackList->setCurrentRow(index);
    }
}

int StreamGraphWindow::ChosenTrack() const { return TrackList->currentRow(); }

QString StreamGraphWindow::StatusLine() const { return StatusText->text(); }

void StreamGraphWindow::UpdateStatus() {
    QStringList parts;
    const SampleTrack* t = Graph->Track();
    if (t) {
        QString extent = QStringLiteral("%1 samples").arg(Grouped(t->samples.size()));
        if (Graph->HasTimeAxis())
            extent += QStringLiteral(" over %1 s").arg(QString::number(Graph->FullEnd() - Graph->FullStart(), 'f', 2));
        parts << extent;
        for (const std::string& note : t->notes) parts << QString::fromStdString(note);
        if (t->timescale == 0 && !t->samples.empty())
            parts << QStringLiteral("no timescale: the samples cannot be placed in time and are not drawn");
    } else if (list_.tracks.empty()) {
        parts << QStringLiteral("no tracks");
    }
    for (const std::string& note : list_.notes) parts << QString::fromStdString(note);
    StatusText->setText(parts.join(QStringLiteral("; ")));
}

bool StreamGraphWindow::ExportGraph(const QString& path) {
    const QRect area(QPoint(0, 0), Graph->size());
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(area.size());
        svg.setViewBox(area);
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg)) return false;
        painter.setFont(Graph->font());
        Graph->Paint(painter, area);
        return painter.end();
    }
    QImage image(area.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(Graph->font());
    Graph->Paint(painter, area);
    painter.end();
    return image.save(path, "PNG");
}

void StreamGraphWindow::ExportGraph1Execute() {
    QFileDialog dialog(this, QStringLiteral("Export Graph"));
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG image (*.svg)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QStringLiteral("svg")) ? QStringLiteral("svg") : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().front();
    statusBar()->showMessage(ExportGraph(path) ? QStringLiteral("Graph written to ") + path
                                               : QStringLiteral("The graph could not be written to ") + path,
                             5000);
}

}  // namespace kestrova
