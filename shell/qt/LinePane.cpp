#include "shell/qt/LinePane.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

#include "shell/Pane.h"

namespace kestrova {
namespace {

constexpr int kMargin = 2;
constexpr int kLeading = 2;
// Lit bytes and the current line: one colour, so that the two panes answer each other.
const QColor kLit(255, 226, 130);

// Columns a UTF-8 line takes in a fixed-pitch font: characters from U+0800 up
// (Hangul among them) come from a wider fallback font, so count them twice.
// An estimate for the scroll range; painting widens it where it falls short.
std::size_t EstimatedColumns(const std::string& line) {
    std::size_t columns = 0;
    for (const unsigned char b : line) {
        if ((b & 0xC0) == 0x80) continue;
        columns += b >= 0xE0 ? 2 : 1;
    }
    return columns;
}

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

}  // namespace

LinePane::LinePane(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateMetrics();
}

void LinePane::SetSource(const Pane* source) {
    source_ = source;
    haveRevision_ = false;
    Refresh();
}

void LinePane::Refresh() {
    if (source_ && haveRevision_ && source_->Revision() == shownRevision_) return;
    haveRevision_ = source_ != nullptr;
    shownRevision_ = source_ ? source_->Revision() : 0;

    const bool hadSelection = HasSelection();
    anchor_ = cursor_ = Position{};
    selecting_ = false;
    currentLine_.reset();

    std::size_t columns = 0;
    if (source_)
        for (const auto& line : source_->Lines()) columns = std::max(columns, EstimatedColumns(line));
    const std::size_t width = columns * static_cast<std::size_t>(charWidth_) + 2 * kMargin;
    contentWidth_ = static_cast<int>(std::min<std::size_t>(width, std::numeric_limits<int>::max() / 2));

    UpdateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    if (hadSelection) emit selectionChanged();
}

std::int64_t LinePane::LineCount() const {
    return source_ ? static_cast<std::int64_t>(source_->Lines().size()) : 0;
}

QString LinePane::LineText(std::int64_t line) const {
    if (line < 0 || line >= LineCount()) return {};
    return QString::fromStdString(source_->Lines()[static_cast<std::size_t>(line)]);
}

QString LinePane::SelectedText() const {
    if (!HasSelection()) return {};
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    QString text;
    for (std::int64_t line = from.line; line <= to.line && line < LineCount(); ++line) {
        const QString s = LineText(line);
        const int start = line == from.line ? std::min<int>(from.column, s.size()) : 0;
        const int end = line == to.line ? std::min<int>(to.column, s.size()) : s.size();
        text += s.mid(start, end - start);
        if (line != to.line) text += QLatin1Char('\n');
    }
    return text;
}

void LinePane::Select(Position from, Position to) {
    const bool had = HasSelection();
    anchor_ = from;
    cursor_ = to;
    viewport()->update();
    if (had || HasSelection()) emit selectionChanged();
}

void LinePane::copy() const {
    if (HasSelection()) QApplication::clipboard()->setText(SelectedText());
    else if (copyText_ && copyAvailable_ && copyAvailable_()) QApplication::clipboard()->setText(copyText_());
}

bool LinePane::CanCopy() const { return HasSelection() || (copyAvailable_ && copyAvailable_()); }

void LinePane::SetCopyFallback(std::function<bool()> available, std::function<QString()> text) {
    copyAvailable_ = std::move(available);
    copyText_ = std::move(text);
}

void LinePane::SetMarks(Marks marks) {
    marks_ = std::move(marks);
    viewport()->update();
}

void LinePane::SetCurrentLine(std::optional<std::int64_t> line) {
    if (line && (*line < 0 || *line >= LineCount())) line.reset();
    if (line == currentLine_) return;
    currentLine_ = line;
    viewport()->update();
}

void LinePane::ScrollToLine(std::int64_t line, int column) {
    if (line < 0 || line >= LineCount()) return;
    const int visibleLines = std::max(1, viewport()->height() / lineHeight_);
    QScrollBar* v = verticalScrollBar();
    if (line < v->value() || line >= v->value() + visibleLines)
        v->setValue(static_cast<int>(std::max<std::int64_t>(0, line - visibleLines / 3)));
    const QFontMetrics fm(font());
    const int x = fm.horizontalAdvance(LineText(line).left(column)) + kMargin;
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value() || x > h->value() + viewport()->width() - 4 * charWidth_)
        h->setValue(std::max(0, x - kMargin - 4 * charWidth_));
}

void LinePane::MoveCurrentLine(std::int64_t to) {
    const std::int64_t count = LineCount();
    if (count == 0) return;
    to = std::clamp<std::int64_t>(to, 0, count - 1);
    SetCurrentLine(to);
    const int visibleLines = std::max(1, viewport()->height() / lineHeight_);
    QScrollBar* v = verticalScrollBar();
    if (to < v->value()) v->setValue(static_cast<int>(to));
    else if (to >= v->value() + visibleLines) v->setValue(static_cast<int>(to - visibleLines + 1));
    emit currentLineMoved(to);
}

void LinePane::selectAll() {
    const std::int64_t count = LineCount();
    if (count == 0) return;
    Select({0, 0}, {count - 1, static_cast<int>(LineText(count - 1).size())});
}

void LinePane::clearSelection() { Select(cursor_, cursor_); }

void LinePane::UpdateMetrics() {
    const QFontMetrics fm(font());
    // A little leading keeps Hangul, which fills the whole em, off the next line.
    lineHeight_ = std::max(1, fm.lineSpacing() + kLeading);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    UpdateScrollBars();
}

void LinePane::UpdateScrollBars() {
    const int visibleLines = std::max(1, viewport()->height() / lineHeight_);
    const std::int64_t count = LineCount();
    const std::int64_t maxTop = std::max<std::int64_t>(0, count - visibleLines);
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<std::int64_t>(maxTop, std::numeric_limits<int>::max())));
    verticalScrollBar()->setPageStep(visibleLines);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth_ - viewport()->width()));
    horizontalScrollBar()->setPageStep(std::max(1, viewport()->width()));
    horizontalScrollBar()->setSingleStep(charWidth_ * 4);
}

void LinePane::WidenFor(int textWidth) {
    const int needed = textWidth + 2 * kMargin;
    if (needed <= contentWidth_) return;
    contentWidth_ = needed;
    UpdateScrollBars();
}

int LinePane::ColumnAt(const QString& text, int x) const {
    const QFontMetrics fm(font());
    // Prefix widths grow with the column: find the boundary nearest to x.
    int lo = 0, hi = text.size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (fm.horizontalAdvance(text.left(mid)) < x) lo = mid + 1;
        else hi = mid;
    }
    int column = lo;
    if (column > 0 && column <= text.size()) {
        const int before = fm.horizontalAdvance(text.left(column - 1));
        const int at = fm.horizontalAdvance(text.left(column));
        if (x - before < at - x) --column;
    }
    if (column > 0 && column < text.size() && text.at(column).isLowSurrogate()) --column;
    return column;
}

LinePane::Position LinePane::PositionAt(const QPoint& point) const {
    const std::int64_t count = LineCount();
    if (count == 0) return {};
    const std::int64_t top = verticalScrollBar()->value();
    const std::int64_t offset = point.y() >= 0 ? point.y() / lineHeight_ : -1;
    const std::int64_t line = std::clamp<std::int64_t>(top + offset, 0, count - 1);
    const QString text = LineText(line);
    const int x = point.x() + horizontalScrollBar()->value() - kMargin;
    if (point.y() < 0 && top == 0) return {0, 0};
    if (top + offset >= count) return {line, static_cast<int>(text.size())};
    return {line, ColumnAt(text, x)};
}

LinePane::Position LinePane::CharacterAt(const QPoint& point) const {
    Position p = PositionAt(point);
    const QString text = LineText(p.line);
    const int x = point.x() + horizontalScrollBar()->value() - kMargin;
    const QFontMetrics fm(font());
    // The first character whose right edge lies past x.
    int lo = 0, hi = text.size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (fm.horizontalAdvance(text.left(mid + 1)) <= x) lo = mid + 1;
        else hi = mid;
    }
    p.column = x < 0 ? 0 : lo;
    return p;
}

void LinePane::EnsureVisible(const Position& p) {
    const int visibleLines = std::max(1, viewport()->height() / lineHeight_);
    QScrollBar* v = verticalScrollBar();
    if (p.line < v->value()) v->setValue(static_cast<int>(p.line));
    else if (p.line >= v->value() + visibleLines) v->setValue(static_cast<int>(p.line - visibleLines + 1));
    const QFontMetrics fm(font());
    const int x = fm.horizontalAdvance(LineText(p.line).left(p.column)) + kMargin;
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value()) h->setValue(x - kMargin);
    else if (x > h->value() + viewport()->width()) h->setValue(x - viewport()->width() + charWidth_);
}

void LinePane::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QFontMetrics fm(font());
    const QPalette& pal = palette();
    const std::int64_t count = LineCount();
    const std::int64_t top = verticalScrollBar()->value();
    const std::int64_t rows = viewport()->height() / lineHeight_ + 1;
    const int xOrigin = kMargin - horizontalScrollBar()->value();
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    const bool selection = HasSelection();
    const QColor highlight = pal.color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
    const QColor highlightedText =
        pal.color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText);

    int widest = 0;
    painter.setPen(pal.color(QPalette::Text));
    for (std::int64_t line = top; line < count && line < top + rows; ++line) {
        const QString text = LineText(line);
        const int y = static_cast<int>(line - top) * lineHeight_;
        const int baseline = y + kLeading / 2 + fm.ascent();
        const int width = fm.horizontalAdvance(text);
        widest = std::max(widest, width);

        if (currentLine_ == line) painter.fillRect(QRect(0, y, viewport()->width(), lineHeight_), kLit);
        if (marks_) {
            for (const auto& [first, last] : marks_(line, text)) {
                const int x0 = xOrigin + fm.horizontalAdvance(text.left(first));
                const int x1 = xOrigin + fm.horizontalAdvance(text.left(last));
                painter.fillRect(QRect(x0, y, x1 - x0, lineHeight_), kLit);
            }
        }

        if (selection && line >= from.line && line <= to.line) {
            const int start = line == from.line ? std::min<int>(from.column, text.size()) : 0;
            const int end = line == to.line ? std::min<int>(to.column, text.size()) : text.size();
            const int x0 = xOrigin + fm.horizontalAdvance(text.left(start));
            // A selected line break shows as one selected blank.
            const int x1 = xOrigin + fm.horizontalAdvance(text.left(end)) + (line != to.line ? charWidth_ : 0);
            const QRect band(x0, y, x1 - x0, lineHeight_);
            painter.drawText(xOrigin, baseline, text);
            painter.fillRect(band, highlight);
            painter.save();
            painter.setClipRect(band);
            painter.setPen(highlightedText);
            painter.drawText(xOrigin, baseline, text);
            painter.restore();
        } else {
            painter.drawText(xOrigin, baseline, text);
        }
    }
    WidenFor(widest);
}

void LinePane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void LinePane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Position at = PositionAt(event->position().toPoint());
    selecting_ = true;
    if (event->modifiers() & Qt::ShiftModifier) Select(anchor_, at);
    else Select(at, at);
}

void LinePane::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
    const Position at = PositionAt(event->position().toPoint());
    if (at != cursor_) {
        Select(anchor_, at);
        EnsureVisible(at);
    }
}

void LinePane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        // A click selects no text; a drag does, and is no click.
        if (!HasSelection() && !(event->modifiers() & Qt::ShiftModifier) && LineCount() > 0) {
            const Position at = CharacterAt(event->position().toPoint());
            if (lineCursor_) SetCurrentLine(at.line);
            emit clicked(at.line, at.column);
        }
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void LinePane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || LineCount() == 0) return;
    const Position at = PositionAt(event->position().toPoint());
    const QString text = LineText(at.line);
    int start = std::min<int>(at.column, text.size());
    int end = start;
    while (start > 0 && IsWordChar(text.at(start - 1))) --start;
    while (end < text.size() && IsWordChar(text.at(end))) ++end;
    if (start == end && end < text.size()) ++end;
    Select({at.line, start}, {at.line, end});
}

void LinePane::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (lineCursor_ && LineCount() > 0) {
        const int page = std::max(1, viewport()->height() / lineHeight_ - 1);
        // Without a current line the first key lands on the top line in sight.
        const std::int64_t at = currentLine_.value_or(v->value());
        const bool fresh = !currentLine_;
        switch (event->key()) {
        case Qt::Key_Up: MoveCurrentLine(fresh ? at : at - 1); return;
        case Qt::Key_Down: MoveCurrentLine(fresh ? at : at + 1); return;
        case Qt::Key_PageUp: MoveCurrentLine(at - page); return;
        case Qt::Key_PageDown: MoveCurrentLine(at + page); return;
        case Qt::Key_Home:
            if (ctrl) return MoveCurrentLine(0);
            break;
        case Qt::Key_End:
            if (ctrl) return MoveCurrentLine(LineCount() - 1);
            break;
        default: break;
        }
    }
    switch (event->key()) {
    case Qt::Key_Up: v->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: v->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: v->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: v->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Left: h->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: h->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home:
        if (ctrl) v->setValue(0);
        h->setValue(0);
        break;
    case Qt::Key_End:
        if (ctrl) v->setValue(v->maximum());
        else h->setValue(h->maximum());
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}

bool LinePane::event(QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) viewport()->update();
    // The pane's own Copy and Select All win over the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key == QKeySequence::Copy || key == QKeySequence::SelectAll) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void LinePane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        haveRevision_ = false;
        Refresh();
    }
    QAbstractScrollArea::changeEvent(event);
}

}  // namespace kestrova
