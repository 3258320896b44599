#pragma once
// A read-only view of a list of lines. Only the lines in sight are converted
// and painted, so a pane of a million lines scrolls as freely as one of ten.
// Text can be selected with the mouse (or all at once) and copied.

#include <QAbstractScrollArea>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova {

class Pane;

class LinePane : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A place in the text: a line and a position (in UTF-16 units) within it.
    struct Position {
        std::int64_t line = 0;
        int column = 0;
        friend bool operator==(const Position&, const Position&) = default;
        friend auto operator<=>(const Position&, const Position&) = default;
    };

    explicit LinePane(QWidget* parent = nullptr);

    // The pane shows what source holds; Refresh picks up its changes.
    void SetSource(const Pane* source);
    void Refresh();

    std::int64_t LineCount() const;
    QString LineText(std::int64_t line) const;
    bool HasSelection() const { return anchor_ != cursor_; }
    QString SelectedText() const;
    void Select(Position from, Position to);
    Position PositionAt(const QPoint& viewportPoint) const;
    // The character under a point (not the boundary nearest to it); the column
    // is the line's length past its end.
    Position CharacterAt(const QPoint& viewportPoint) const;
    int LineHeight() const { return lineHeight_; }

    // A current line that the arrow keys move (instead of scrolling) and that
    // shows as a lit band; none until set or moved to.
    void SetLineCursor(bool on) { lineCursor_ = on; }
    std::optional<std::int64_t> CurrentLine() const { return currentLine_; }
    void SetCurrentLine(std::optional<std::int64_t> line);
    // Lit stretches of a line, as [first, last) columns, asked for the lines in sight.
    using Marks = std::function<std::vector<std::pair<int, int>>(std::int64_t line, const QString& text)>;
    void SetMarks(Marks marks);
    std::vector<std::pair<int, int>> MarksAt(std::int64_t line) const {
        return marks_ && line >= 0 && line < LineCount() ? marks_(line, LineText(line)) : std::vector<std::pair<int, int>>{};
    }
    // What Copy takes when no text is selected, and whether there is any.
    void SetCopyFallback(std::function<bool()> available, std::function<QString()> text);
    bool CanCopy() const;
    // Brings a line into sight: where it is when it already is, else a third down.
    void ScrollToLine(std::int64_t line, int column = 0);

public slots:
    void copy() const;
    void selectAll();
    void clearSelection();

signals:
    void selectionChanged();
    // A press and release of the left button that selected no text.
    void clicked(std::int64_t line, int character);
    // The arrow keys (or paging keys) moved the current line.
    void currentLineMoved(std::int64_t line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateMetrics();
    void UpdateScrollBars();
    void WidenFor(int textWidth);
    void EnsureVisible(const Position& p);
    int ColumnAt(const QString& text, int x) const;
    void MoveCurrentLine(std::int64_t to);

    const Pane* source_ = nullptr;
    std::uint64_t shownRevision_ = 0;
    bool haveRevision_ = false;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int contentWidth_ = 0;
    Position anchor_;
    Position cursor_;
    bool selecting_ = false;
    bool lineCursor_ = false;
    std::optional<std::int64_t> currentLine_;
    Marks marks_;
    std::function<bool()> copyAvailable_;
    std::function<QString()> copyText_;
};

}  // namespace kestrova
