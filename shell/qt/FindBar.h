#pragma once
// The find bar above the panes: one field whose text chooses the search (a
// path, an offset, a type or text), the hits and moving through them. A text
// search runs on a thread of its own and can be stopped at any time.

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "shell/Navigation.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kestrova {

class Document;

class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);
    ~FindBar() override;

    // What the bar searches; both must outlive the bar or the next Attach.
    void Attach(const Document* document, const NodeIndex* index);
    // How the window shows a hit: a node, or a byte of one.
    std::function<void(std::int32_t)> ShowNode;
    std::function<void(std::int32_t, std::uint64_t)> ShowByte;

    // Ctrl+F: shows the bar with the field focused and its text selected.
    void Open();
    // Ctrl+L: shows the bar ready for an offset.
    void OpenForOffset();
    // F3 and Shift+F3: the next or previous hit, searching first when the
    // text changed since the last search.
    void Next();
    void Previous();
    // Stops a text search in progress; a no-op otherwise.
    void Stop();
    // Stops and forgets the hits: another file or view is about to open.
    void Reset();

    bool Searching() const { return worker_.joinable() && !finished_; }
    const std::vector<std::int32_t>& Hits() const { return hits_; }
    // The hit shown, from 0; -1 before any.
    int Current() const { return current_; }
    // Waits for a running text search to end and takes what it posted (for tests).
    void WaitForSearch();

    QLineEdit* FindEdit = nullptr;
    QCheckBox* InDescriptions = nullptr;
    QLabel* CountLabel = nullptr;
    QToolButton* PreviousButton = nullptr;
    QToolButton* NextButton = nullptr;
    QToolButton* CloseButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Run();
    void Step(int delta);
    void ShowCount();
    void Say(const QString& text);
    void JoinWorker();
    QString Number(std::size_t n) const;

    const Document* document_ = nullptr;
    const NodeIndex* index_ = nullptr;
    std::vector<std::int32_t> hits_;
    int current_ = -1;
    QString searched_;  // the text and mode the hits belong to
    bool searchedInDescriptions_ = false;
    bool hasSearched_ = false;

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{true};
    std::uint64_t generation_ = 0;  // posts from an earlier search are dropped
    std::size_t done_ = 0, total_ = 0;
    bool stopped_ = false;
};

}  // namespace kestrova
