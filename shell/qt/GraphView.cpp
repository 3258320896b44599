#include "shell/qt/GraphView.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "common/Formatters.h"

namespace kestrova {
namespace {

const QColor kSampleColour(70, 130, 180);
const QColor kKeyColour(214, 39, 40);
const QColor kRateColour(44, 160, 44);
const QColor kGridColour(226, 226, 226);
constexpr int kLeftMargin = 78, kRightMargin = 78, kTopMargin = 34, kBottomMargin = 44;
constexpr double kMinSpan = 1e-3;  // seconds in sight at the deepest zoom

QString Grouped(std::uint64_t v) { return QString::fromStdString(GroupedText(v, RegionalSettings{})); }

double NiceStep(double range, int ticks) {
    if (!(range > 0)) return 1;
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / magnitude;
    return (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * magnitude;
}

QString TickText(double v, double step) {
    if (step >= 1) return Grouped(static_cast<std::uint64_t>(std::llround(std::fabs(v)))).prepend(v < 0 ? "-" : "");
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 1, 9);
    return QString::number(v, 'f', decimals);
}

}  // namespace

GraphView::GraphView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(360, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool GraphView::HasTimeAxis() const { return track_ && track_->timescale != 0 && !track_->samples.empty(); }

double GraphView::SampleTime(const Sample& s) const {
    return static_cast<double>(s.dts) / static_cast<double>(track_->timescale);
}

void GraphView::SetTrack(const SampleTrack* track) {
    track_ = track;
    hover_ = -1;
    seconds_.clear();
    kbps_.clear();
    fullStart_ = 0;
    fullEnd_ = 1;
    if (HasTimeAxis()) {
        for (const Sample& s : track_->samples) {
            const auto second = static_cast<std::int64_t>(std::floor(SampleTime(s)));
            if (seconds_.empty() || seconds_.back() != second) {
                seconds_.push_back(second);
                kbps_.push_back(0);
            }
            kbps_.back() += s.size * 8.0 / 1000.0;
        }
        const Sample& last = track_->samples.back();
        fullEnd_ = std::max(SampleTime(last) + last.duration / static_cast<double>(track_->timescale),
                            fullStart_ + kMinSpan);
    }
    viewStart_ = fullStart_;
    viewEnd_ = fullEnd_;
    update();
    emit viewChanged();
}

double GraphView::BitRateAt(std::int64_t second) const {
    const auto it = std::lower_bound(seconds_.begin(), seconds_.end(), second);
    return it != seconds_.end() && *it == second ? kbps_[static_cast<std::size_t>(it - seconds_.begin())] : 0.0;
}

void GraphView::SetViewRange(double start, double end) {
    if (!(end > start)) std::swap(start, end);
    const double full = fullEnd_ - fullStart_;
    const double span = std::clamp(end - start, std::min(kMinSpan, full), full);
    start = std::clamp(start, fullStart_, fullEnd_ - span);
    if (start == viewStart_ && start + span == viewEnd_) return;
    viewStart_ = start;
    viewEnd_ = start + span;
    hover_ = -1;
    update();
    emit viewChanged();
}

void GraphView::ShowAll() { SetViewRange(fullStart_, fullEnd_); }

void GraphView::ZoomAt(double time, double factor) {
    SetViewRange(time - (time - viewStart_) * factor, time + (viewEnd_ - time) * factor);
}

QRect GraphView::PlotRectIn(const QRect& area) const {
    return area.adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

QRect GraphView::PlotRect() const { return PlotRectIn(rect()); }

double GraphView::TimeAt(double x) const {
    const QRect plot = PlotRect();
    return viewStart_ + (x - plot.left()) * (viewEnd_ - viewStart_) / std::max(1, plot.width());
}

double GraphView::XOf(double time) const {
    const QRect plot = PlotRect();
    return plot.left() + (time - viewStart_) * std::max(1, plot.width()) / (viewEnd_ - viewStart_);
}

std::size_t GraphView::FirstAtOrAfter(double t) const {
    const std::vector<Sample>& s = track_->samples;
    return static_cast<std::size_t>(
        std::partition_point(s.begin(), s.end(), [&](const Sample& x) { return SampleTime(x) < t; }) - s.begin());
}

std::int64_t GraphView::SampleAt(const QPoint& point) const {
    if (!HasTimeAxis() || !PlotRect().adjusted(-2, 0, 2, 0).contains(point)) return -1;
    const std::vector<Sample>& samples = track_->samples;
    const std::size_t first = FirstAtOrAfter(TimeAt(point.x() - 2));
    const std::size_t end = FirstAtOrAfter(TimeAt(point.x() + 3));
    std::int64_t best = -1;
    for (std::size_t i = first; i < end; ++i)
        if (best < 0 || samples[i].size > samples[static_cast<std::size_t>(best)].size)
            best = static_cast<std::int64_t>(i);
    if (best < 0 && first > 0) {
        // Zoomed in, a sample that began further left may still reach under the pointer.
        const Sample& before = samples[first - 1];
        if (SampleTime(before) + before.duration / static_cast<double>(track_->timescale) >= TimeAt(point.x()))
            best = static_cast<std::int64_t>(first - 1);
    }
    return best;
}

QString GraphView::SampleText(const SampleTrack& track, const Sample& s) {
    const double time = track.timescale ? static_cast<double>(s.dts) / track.timescale : 0.0;
    return QStringLiteral("Sample #%1  %2 s  %3 bytes  offset %4 (%5)  %6")
        .arg(Grouped(s.number))
        .arg(QString::number(time, 'f', 3))
        .arg(Grouped(s.size))
        .arg(QString::fromStdString(Hex32Text(s.offset)))
        .arg(Grouped(s.offset))
        .arg(s.key ? QStringLiteral("key frame") : QStringLiteral("not a key frame"));
}

QString GraphView::HoverText() const {
    if (hover_ < 0 || !track_ || static_cast<std::size_t>(hover_) >= track_->samples.size()) return {};
    return SampleText(*track_, track_->samples[static_cast<std::size_t>(hover_)]);
}

void GraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, rect());
}

void GraphView::Paint(QPainter& p, const QRect& area) const {
    p.fillRect(area, Qt::white);
    const QRect plot = PlotRectIn(area);
    const QFontMetrics fm(p.font());
    p.setPen(Qt::black);
    if (!HasTimeAxis() || plot.width() < 2 || plot.height() < 2) {
        const QString why = !track_                    ? QStringLiteral("No track chosen")
                            : track_->samples.empty()  ? QStringLiteral("This track has no samples to show")
                                                       : QStringLiteral("This track has no timescale: its samples have no time");
        p.drawText(area, Qt::AlignCenter, why);
        return;
    }
    const int width = plot.width();
    const double span = viewEnd_ - viewStart_;
    const double perPixel = span / width;
    auto xOf = [&](double t) { return plot.left() + (t - viewStart_) / perPixel; };
    const double scale = track_->timescale;
    const std::vector<Sample>& samples = track_->samples;

    // One pass over the samples in sight: per column, the tallest sample and the tallest key frame.
    std::size_t first = FirstAtOrAfter(viewStart_);
    if (first > 0 && SampleTime(samples[first - 1]) + samples[first - 1].duration / scale > viewStart_) --first;
    const std::size_t end = FirstAtOrAfter(viewEnd_);
    const bool eachSample = end - first <= static_cast<std::size_t>(width / 3);
    std::vector<std::uint32_t> tallest, tallestKey;
    std::uint32_t top = 1;
    if (eachSample) {
        for (std::size_t i = first; i < end; ++i) top = std::max(top, samples[i].size);
    } else {
        tallest.assign(static_cast<std::size_t>(width), 0);
        tallestKey.assign(static_cast<std::size_t>(width), 0);
        // Columns straight from the decode times: one multiply per sample.
        const double columnsPerUnit = 1.0 / (perPixel * scale);
        const double startUnits = viewStart_ * scale;
        const double lastColumn = width - 1.0;
        for (std::size_t i = first; i < end; ++i) {
            const Sample& s = samples[i];
            const double at = (static_cast<double>(s.dts) - startUnits) * columnsPerUnit;
            const auto column = static_cast<std::size_t>(at < 0 ? 0 : at > lastColumn ? lastColumn : at);
            const std::uint32_t size = s.size;
            std::uint32_t& slot = s.key ? tallestKey[column] : tallest[column];
            if (size > slot) slot = size;
            if (size > top) top = size;
        }
    }
    const double sizeStep = NiceStep(top * 1.05, 5);
    const double sizeTop = std::ceil(top * 1.05 / sizeStep) * sizeStep;
    auto yOfSize = [&](double v) { return plot.bottom() + 1 - v / sizeTop * plot.height(); };

    // Bit rates of the seconds in sight.
    const auto secFirst = static_cast<std::size_t>(
        std::lower_bound(seconds_.begin(), seconds_.end(), static_cast<std::int64_t>(std::floor(viewStart_))) -
        seconds_.begin());
    const auto secEnd = static_cast<std::size_t>(
        std::upper_bound(seconds_.begin(), seconds_.end(), static_cast<std::int64_t>(std::floor(viewEnd_))) -
        seconds_.begin());
    double rateTop = 1;
    for (std::size_t k = secFirst; k < secEnd; ++k) rateTop = std::max(rateTop, kbps_[k]);
    const double rateStep = NiceStep(rateTop * 1.05, 5);
    const double rateAxisTop = std::ceil(rateTop * 1.05 / rateStep) * rateStep;
    auto yOfRate = [&](double v) { return plot.bottom() + 1 - v / rateAxisTop * plot.height(); };

    // Grid and axes.
    const double timeStep = NiceStep(span, std::max(2, width / 110));
    p.setPen(kGridColour);
    for (double v = sizeStep; v <= sizeTop + sizeStep / 2; v += sizeStep)
        p.drawLine(QPointF(plot.left(), yOfSize(v)), QPointF(plot.right(), yOfSize(v)));
    for (double t = std::ceil(viewStart_ / timeStep) * timeStep; t <= viewEnd_; t += timeStep)
        p.drawLine(QPointF(xOf(t), plot.top()), QPointF(xOf(t), plot.bottom()));

    // The samples.
    p.setClipRect(plot.adjusted(0, 0, 1, 1));
    if (eachSample) {
        for (std::size_t i = first; i < end; ++i) {
            const Sample& s = samples[i];
            const double x0 = xOf(SampleTime(s));
            const double x1 = std::max(x0 + 1, xOf(SampleTime(s) + s.duration / scale) - 1);
            const QRectF bar(QPointF(x0, yOfSize(s.size)), QPointF(x1, plot.bottom() + 1));
            p.fillRect(bar, s.key ? kKeyColour : kSampleColour);
        }
    } else {
        // Per column the tallest key frame, the tallest other sample over it, and a
        // mark at the key frame's height so that it shows even under a taller sample.
        std::vector<QLineF> plain, keys;
        std::vector<QRectF> marks;
        plain.reserve(static_cast<std::size_t>(width));
        for (int c = 0; c < width; ++c) {
            const double x = plot.left() + c + 0.5;
            const std::uint32_t other = tallest[static_cast<std::size_t>(c)];
            const std::uint32_t key = tallestKey[static_cast<std::size_t>(c)];
            if (key) {
                keys.emplace_back(x, plot.bottom() + 1, x, yOfSize(key));
                marks.emplace_back(x - 0.5, yOfSize(key) - 1, 1, 2);
            }
            if (other) plain.emplace_back(x, plot.bottom() + 1, x, yOfSize(other));
        }
        p.setPen(QPen(kKeyColour, 1));
        p.drawLines(keys.data(), static_cast<int>(keys.size()));
        p.setPen(QPen(kSampleColour, 1));
        p.drawLines(plain.data(), static_cast<int>(plain.size()));
        for (const QRectF& m : marks) p.fillRect(m, kKeyColour);
    }

    // The bit rate: a step per second, or per pixel column the range of the seconds it holds.
    if (secEnd > secFirst) {
        QPolygonF line;
        if (secEnd - secFirst <= static_cast<std::size_t>(width)) {
            for (std::size_t k = secFirst; k < secEnd; ++k) {
                const double s = static_cast<double>(seconds_[k]);
                if (k > secFirst && seconds_[k - 1] + 1 != seconds_[k]) {
                    line << QPointF(xOf(static_cast<double>(seconds_[k - 1] + 1)), yOfRate(0))
                         << QPointF(xOf(s), yOfRate(0));
                }
                line << QPointF(xOf(s), yOfRate(kbps_[k])) << QPointF(xOf(s + 1), yOfRate(kbps_[k]));
            }
        } else {
            // Many seconds to a column: the line shows their mean.
            int column = -1;
            double sum = 0;
            int count = 0;
            auto flush = [&] {
                if (column >= 0) line << QPointF(plot.left() + column + 0.5, yOfRate(sum / count));
            };
            for (std::size_t k = secFirst; k < secEnd; ++k) {
                const int c = std::clamp(static_cast<int>((seconds_[k] + 0.5 - viewStart_) / perPixel), 0, width - 1);
                if (c != column) {
                    flush();
                    column = c;
                    sum = 0;
                    count = 0;
                }
                sum += kbps_[k];
                ++count;
            }
            flush();
        }
        p.setPen(QPen(kRateColour, 1.5));
        p.drawPolyline(line);
    }
    if (hover_ >= 0 && static_cast<std::size_t>(hover_) < samples.size()) {
        const Sample& s = samples[static_cast<std::size_t>(hover_)];
        const double x = xOf(SampleTime(s));
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    if (selecting_) {
        const int a = std::min(dragFrom_.x(), dragTo_), b = std::max(dragFrom_.x(), dragTo_);
        p.fillRect(QRect(a, plot.top(), b - a, plot.height()), QColor(70, 130, 180, 50));
    }
    p.setClipping(false);

    // Frame, ticks and their labels.
    p.setPen(Qt::black);
    p.drawRect(plot.adjusted(-1, -1, 0, 0));  // around the columns, not over the first one
    for (double v = 0; v <= sizeTop + sizeStep / 2; v += sizeStep) {
        const double y = yOfSize(v);
        p.drawLine(QPointF(plot.left() - 4, y), QPointF(plot.left(), y));
        p.drawText(QRectF(area.left(), y - fm.height() / 2.0, kLeftMargin - 8, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, TickText(v, sizeStep));
    }
    for (double v = 0; v <= rateAxisTop + rateStep / 2; v += rateStep) {
        const double y = yOfRate(v);
        p.drawLine(QPointF(plot.right(), y), QPointF(plot.right() + 4, y));
        p.drawText(QRectF(plot.right() + 8, y - fm.height() / 2.0, kRightMargin - 8, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, TickText(v, rateStep));
    }
    for (double t = std::ceil(viewStart_ / timeStep) * timeStep; t <= viewEnd_; t += timeStep) {
        const double x = xOf(t);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        p.drawText(QRectF(x - 60, plot.bottom() + 6, 120, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   TickText(t, timeStep));
    }
    p.drawText(QRectF(plot.left(), area.bottom() - fm.height() - 2, plot.width(), fm.height()), Qt::AlignCenter,
               QStringLiteral("Time (s)"));
    p.save();
    p.translate(area.left() + fm.height() / 2.0 + 2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2.0, -fm.height() / 2.0, plot.height(), fm.height()), Qt::AlignCenter,
               QStringLiteral("Size (bytes)"));
    p.restore();
    p.save();
    p.translate(area.right() - fm.height() / 2.0 - 2, plot.center().y());
    p.rotate(90);
    p.drawText(QRectF(-plot.height() / 2.0, -fm.height() / 2.0, plot.height(), fm.height()), Qt::AlignCenter,
               QStringLiteral("Bit rate (kbit/s)"));
    p.restore();

    // The legend, above the plot.
    int x = plot.left();
    const int y = area.top() + (kTopMargin - fm.height()) / 2;
    auto entry = [&](const QColor& colour, const QString& text, bool asLine) {
        if (asLine) p.fillRect(QRect(x, y + fm.height() / 2 - 1, 16, 3), colour);
        else p.fillRect(QRect(x + 3, y + 2, 10, fm.height() - 4), colour);
        p.setPen(Qt::black);
        p.drawText(QPoint(x + 22, y + fm.ascent()), text);
        x += 22 + fm.horizontalAdvance(text) + 18;
    };
    entry(kSampleColour, QStringLiteral("Sample size (bytes)"), false);
    entry(kKeyColour, QStringLiteral("Key frame"), false);
    entry(kRateColour, QStringLiteral("Bit rate per second (kbit/s)"), true);

    // What the pointer rests on.
    const QString hover = HoverText();
    if (!hover.isEmpty()) {
        QRect box = fm.boundingRect(hover).adjusted(-6, -4, 6, 4);
        box.moveTopLeft(hoverPoint_ + QPoint(14, 14));
        if (box.right() > area.right() - 2) box.moveRight(hoverPoint_.x() - 14);
        if (box.left() < area.left() + 2) box.moveLeft(area.left() + 2);
        if (box.bottom() > area.bottom() - 2) box.moveBottom(hoverPoint_.y() - 14);
        p.fillRect(box, QColor(255, 255, 225));
        p.setPen(Qt::black);
        p.drawRect(box);
        p.drawText(box, Qt::AlignCenter, hover);
    }
}

void GraphView::wheelEvent(QWheelEvent* event) {
    if (!HasTimeAxis()) return;
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) ZoomAt(TimeAt(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void GraphView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragging_ = true;
    selecting_ = event->modifiers() & Qt::ShiftModifier;
    dragFrom_ = event->position().toPoint();
    dragTo_ = dragFrom_.x();
    dragViewStart_ = viewStart_;
}

void GraphView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragging_) {
        if (selecting_) {
            dragTo_ = at.x();
            update();
        } else {
            const double span = viewEnd_ - viewStart_;
            const double shift = (at.x() - dragFrom_.x()) * span / std::max(1, PlotRect().width());
            SetViewRange(dragViewStart_ - shift, dragViewStart_ - shift + span);
        }
        return;
    }
    const std::int64_t hover = SampleAt(at);
    if (hover != hover_ || (hover >= 0 && at != hoverPoint_)) {
        hover_ = hover;
        hoverPoint_ = at;
        update();
    }
}

void GraphView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return QWidget::mouseReleaseEvent(event);
    const int to = event->position().toPoint().x();
    if (selecting_ && std::abs(to - dragFrom_.x()) >= 3)
        SetViewRange(TimeAt(std::min(to, dragFrom_.x())), TimeAt(std::max(to, dragFrom_.x())));
    dragging_ = selecting_ = false;
    update();
}

void GraphView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const std::int64_t index = SampleAt(event->position().toPoint());
    if (index >= 0) emit sampleActivated(index);
}

void GraphView::keyPressEvent(QKeyEvent* event) {
    const double span = viewEnd_ - viewStart_, middle = (viewStart_ + viewEnd_) / 2;
    switch (event->key()) {
    case Qt::Key_Home: return ShowAll();
    case Qt::Key_Plus: case Qt::Key_Equal: return ZoomAt(middle, 0.5);
    case Qt::Key_Minus: return ZoomAt(middle, 2.0);
    case Qt::Key_Left: return SetViewRange(viewStart_ - span / 10, viewEnd_ - span / 10);
    case Qt::Key_Right: return SetViewRange(viewStart_ + span / 10, viewEnd_ + span / 10);
    default: QWidget::keyPressEvent(event);
    }
}

void GraphView::leaveEvent(QEvent* event) {
    if (hover_ >= 0) {
        hover_ = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

}  // namespace kestrova
