#pragma once
// The stream graph window: one graph per track or stream, chosen in a list,
// with the notes on what could not be placed in its status line, and the
// graph's export as PNG or SVG at its size on screen.

#include <QMainWindow>

#include <functional>

#include "common/SampleList.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;

namespace kestrova {

class GraphView;

class StreamGraphWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit StreamGraphWindow(QWidget* parent = nullptr);

    // Shows the samples of a newly opened file and chooses its first video track;
    // aviStreams names the tracks as AVI streams.
    void SetSamples(SampleList list, const QString& fileName, bool aviStreams);
    const SampleList& Samples() const { return list_; }
    void ChooseTrack(int index);
    int ChosenTrack() const;
    // The status line: the chosen track's extent, and what was left out of it and of the file, and why.
    QString StatusLine() const;
    // Writes the graph as it is on screen; SVG for a name ending in ".svg", PNG otherwise.
    bool ExportGraph(const QString& path);
    void ExportGraph1Execute();

    // Called on a double-click on a sample.
    std::function<void(const SampleTrack&, const Sample&)> OnSampleActivated;

    QAction* ExportGraph1 = nullptr;
    QAction* Close1 = nullptr;
    QMenu* File1 = nullptr;
    QListWidget* TrackList = nullptr;
    GraphView* Graph = nullptr;
    QLabel* StatusText = nullptr;

private:
    void UpdateStatus();

    SampleList list_;
};

// The list entry of a track: its ID, handler or stream type, codec code and sample count.
QString TrackListText(const SampleTrack& track, bool avi);

}  // namespace kestrova
