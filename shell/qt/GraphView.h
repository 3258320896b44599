#pragma once
// The graph of one track: every sample a bar as high as its size at its decode
// time, key frames in their own colour, and the bit rate of each second as a
// line on a second axis. A redraw costs one pass over the samples in sight and
// one bar per pixel column (the tallest sample and the tallest key frame of the
// column), never one item per sample.

#include <QWidget>

#include <cstdint>
#include <vector>

#include "common/SampleList.h"

namespace kestrova {

class GraphView : public QWidget {
    Q_OBJECT

public:
    explicit GraphView(QWidget* parent = nullptr);

    // The track shown (nullptr for none); the view shows all of it. The track must outlive the view's use of it.
    void SetTrack(const SampleTrack* track);
    const SampleTrack* Track() const { return track_; }
    // Whether the track's samples can be placed in time (a timescale and at least one sample).
    bool HasTimeAxis() const;

    // The time range in sight, in seconds.
    double ViewStart() const { return viewStart_; }
    double ViewEnd() const { return viewEnd_; }
    double FullStart() const { return fullStart_; }
    double FullEnd() const { return fullEnd_; }
    void SetViewRange(double start, double end);
    void ShowAll();
    // Zooms around a time: factor < 1 shows less time, > 1 more.
    void ZoomAt(double time, double factor);

    QRect PlotRect() const;
    double TimeAt(double x) const;
    double XOf(double time) const;
    // The sample drawn under a point (the tallest within two pixels of it), -1 when none.
    std::int64_t SampleAt(const QPoint& point) const;
    // What the pointer rests on: the sample's number, time, size, offset and key flag; empty when nothing.
    QString HoverText() const;
    static QString SampleText(const SampleTrack& track, const Sample& sample);
    // The bit rate of second n (the samples whose time is in [n, n + 1)), in kbit/s.
    double BitRateAt(std::int64_t second) const;

    // Draws the graph into area; the widget and the exported files both draw through here.
    void Paint(QPainter& painter, const QRect& area) const;

signals:
    void sampleActivated(std::int64_t index);
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    double SampleTime(const Sample& s) const;
    // Index of the first sample whose time is at or after t.
    std::size_t FirstAtOrAfter(double t) const;
    QRect PlotRectIn(const QRect& area) const;

    const SampleTrack* track_ = nullptr;
    // The seconds that hold samples, in order, and their bit rates.
    std::vector<std::int64_t> seconds_;
    std::vector<double> kbps_;
    double fullStart_ = 0, fullEnd_ = 1;
    double viewStart_ = 0, viewEnd_ = 1;
    std::int64_t hover_ = -1;
    QPoint hoverPoint_;
    // Dragging: a pan, or with Shift a time range to zoom to.
    bool dragging_ = false;
    bool selecting_ = false;
    QPoint dragFrom_;
    int dragTo_ = 0;
    double dragViewStart_ = 0;
};

}  // namespace kestrova
