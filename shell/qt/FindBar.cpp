#include "shell/qt/FindBar.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "common/Formatters.h"
#include "shell/Document.h"

namespace kestrova {

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);

    auto* label = new QLabel(QStringLiteral("Find:"), this);
    layout->addWidget(label);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setPlaceholderText(QStringLiteral("path, 0xOFFSET, type or text"));
    FindEdit->setToolTip(QStringLiteral("moov/trak[2]/mdia - 0x1A2B3C or @1A2B3C - stsz, LIST strl - any other text"));
    FindEdit->setMinimumWidth(260);
    FindEdit->installEventFilter(this);
    label->setBuddy(FindEdit);
    layout->addWidget(FindEdit);

    const auto button = [this, layout](const char* name, QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
        return b;
    };
    PreviousButton = button("FindPrevious", QStyle::SP_ArrowUp, QStringLiteral("Previous hit (Shift+F3)"));
    NextButton = button("FindNext", QStyle::SP_ArrowDown, QStringLiteral("Next hit (F3)"));

    InDescriptions = new QCheckBox(QStringLiteral("in descriptions"), this);
    InDescriptions->setObjectName(QStringLiteral("FindInDescriptions"));
    InDescriptions->setToolTip(QStringLiteral("Look for the text in every box's description"));
    InDescriptions->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(InDescriptions);

    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("FindCount"));
    CountLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(CountLabel, 1);

    CloseButton = button("FindClose", QStyle::SP_TitleBarCloseButton, QStringLiteral("Close the find bar (Esc)"));

    connect(PreviousButton, &QToolButton::clicked, this, &FindBar::Previous);
    connect(NextButton, &QToolButton::clicked, this, &FindBar::Next);
    connect(CloseButton, &QToolButton::clicked, this, [this] {
        Stop();
        hide();
    });
    hide();
}

FindBar::~FindBar() {
    cancel_ = true;
    JoinWorker();
}

void FindBar::Attach(const Document* document, const NodeIndex* index) {
    Reset();
    document_ = document;
    index_ = index;
}

void FindBar::Open() {
    show();
    FindEdit->setFocus(Qt::ShortcutFocusReason);
    FindEdit->selectAll();
}

void FindBar::OpenForOffset() {
    show();
    InDescriptions->setChecked(false);
    FindEdit->setText(QStringLiteral("0x"));
    FindEdit->setFocus(Qt::ShortcutFocusReason);
    FindEdit->end(false);
}

void FindBar::Next() {
    if (!hasSearched_ || searched_ != FindEdit->text() || searchedInDescriptions_ != InDescriptions->isChecked()) {
        Run();
        return;
    }
    Step(+1);
}

void FindBar::Previous() {
    if (!hasSearched_ || searched_ != FindEdit->text() || searchedInDescriptions_ != InDescriptions->isChecked()) {
        Run();
        return;
    }
    Step(-1);
}

void FindBar::Stop() {
    if (!worker_.joinable()) return;
    cancel_ = true;
    JoinWorker();
    // What the worker posted before it saw the flag still counts.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (hasSearched_) ShowCount();
}

void FindBar::Reset() {
    cancel_ = true;
    JoinWorker();
    ++generation_;
    hits_.clear();
    current_ = -1;
    hasSearched_ = false;
    CountLabel->clear();
}

void FindBar::WaitForSearch() {
    JoinWorker();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void FindBar::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

QString FindBar::Number(std::size_t n) const {
    static const RegionalSettings plain;
    return QString::fromStdString(GroupedText(n, document_ ? document_->Settings() : plain));
}

void FindBar::Say(const QString& text) { CountLabel->setText(text); }

void FindBar::ShowCount() {
    QString text;
    if (hits_.empty()) text = QStringLiteral("no match");
    else text = Number(static_cast<std::size_t>(current_ + 1)) + QStringLiteral(" of ") + Number(hits_.size());
    if (Searching())
        text += QStringLiteral(" - searching ") + Number(done_) + QStringLiteral(" of ") + Number(total_) +
                QStringLiteral(" boxes (Esc stops)");
    else if (stopped_)
        text += QStringLiteral(" - stopped after ") + Number(done_) + QStringLiteral(" of ") + Number(total_) +
                QStringLiteral(" boxes");
    Say(text);
}

void FindBar::Step(int delta) {
    if (hits_.empty()) return;
    const int count = static_cast<int>(hits_.size());
    current_ = ((current_ < 0 ? (delta > 0 ? -1 : 0) : current_) + delta + count) % count;
    const std::int32_t node = hits_[static_cast<std::size_t>(current_)];
    const FindQuery q = ClassifyFind(searched_.toStdString(), searchedInDescriptions_);
    if (q.kind == FindQuery::Kind::Offset && ShowByte) ShowByte(node, q.offset);
    else if (ShowNode) ShowNode(node);
    ShowCount();
}

void FindBar::Run() {
    cancel_ = true;
    JoinWorker();
    ++generation_;
    hits_.clear();
    current_ = -1;
    stopped_ = false;
    searched_ = FindEdit->text();
    searchedInDescriptions_ = InDescriptions->isChecked();
    hasSearched_ = true;
    if (!document_ || !index_ || index_->Count() == 0) {
        Say(QStringLiteral("no file is open"));
        return;
    }
    const FindQuery q = ClassifyFind(searched_.toStdString(), searchedInDescriptions_);
    switch (q.kind) {
    case FindQuery::Kind::Empty: Say({}); return;
    case FindQuery::Kind::Invalid: Say(QString::fromStdString(q.error)); return;
    case FindQuery::Kind::Path: {
        const PathResult found = index_->FindPath(q.text);
        if (!found.Found()) return Say(QString::fromStdString(found.error));
        hits_.push_back(found.node);
        break;
    }
    case FindQuery::Kind::Offset: {
        const std::int32_t node = index_->NodeAt(q.offset);
        if (node < 0)
            return Say(QStringLiteral("0x") + QString::fromStdString(UpperHexText(q.offset)) +
                       QStringLiteral(" is past the end of the file (0x") +
                       QString::fromStdString(UpperHexText(index_->FileSize())) + QStringLiteral(" bytes)"));
        hits_.push_back(node);
        break;
    }
    case FindQuery::Kind::Type:
        hits_ = index_->FindType(q.type);
        if (hits_.empty()) return Say(QStringLiteral("no ") + QString::fromStdString(NodeTypeText(q.type)));
        break;
    case FindQuery::Kind::Text: {
        cancel_ = false;
        finished_ = false;
        done_ = 0;
        total_ = document_->Tree().Count();
        const std::uint64_t generation = generation_;
        // The parse stays as it is while the worker runs: an open or a view
        // switch calls Reset, which waits for the worker first.
        worker_ = std::thread([this, generation, source = DescriptionSource(*document_), needle = q.text] {
            // Hits go to the window in batches with the progress, the first at once:
            // a text every node holds would otherwise post a million events.
            std::vector<std::int32_t> batch;
            bool posted = false;
            std::size_t lastDone = 0;
            const auto post = [this, generation, &batch](std::size_t done, std::size_t total, int complete) {
                QMetaObject::invokeMethod(this, [this, generation, hits = std::move(batch), done, total, complete] {
                    if (generation != generation_) return;
                    hits_.insert(hits_.end(), hits.begin(), hits.end());
                    done_ = done;
                    total_ = total;
                    if (complete >= 0) stopped_ = complete == 0;
                    if (current_ < 0 && !hits_.empty()) Step(+1);
                    else ShowCount();
                }, Qt::QueuedConnection);
                batch.clear();
            };
            const bool complete = SearchDescriptions(
                source, needle, cancel_,
                [&](std::int32_t node) {
                    batch.push_back(node);
                    if (!posted) post(lastDone, source.nodeCount, -1);
                    posted = true;
                },
                [&](std::size_t done, std::size_t total) {
                    lastDone = done;
                    post(done, total, -1);
                });
            finished_ = true;
            post(complete ? source.nodeCount : lastDone, source.nodeCount, complete ? 1 : 0);
        });
        ShowCount();
        return;
    }
    }
    Step(+1);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FindEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (Searching()) Stop();
            else hide();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier) Previous();
            else Next();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kestrova
