#pragma once
// A read-only view of a list of lines. Only the lines in sight are converted
// and painted, so a pane of a million lines scrolls as freely as one of ten.
// Text can be selected with the mouse (or all at once) and copied.

#include <QAbstractScrollArea>
#include <QString>

#include <cstdint>
#include <string>
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
    int LineHeight() const { return lineHeight_; }

public slots:
    void copy() const;
    void selectAll();
    void clearSelection();

signals:
    void selectionChanged();

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

    const Pane* source_ = nullptr;
    std::uint64_t shownRevision_ = 0;
    bool haveRevision_ = false;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int contentWidth_ = 0;
    Position anchor_;
    Position cursor_;
    bool selecting_ = false;
};

}  // namespace kestrova
