#include "shell/qt/HexEntry.h"

#include <QKeyEvent>
#include <QValidator>

#include "shell/Document.h"

namespace kestrova {

// An edit may not make the text longer than the limit, or longer than it was:
// a longer text the program set can still be shortened or changed in place.
class TypingLimitValidator : public QValidator {
public:
    explicit TypingLimitValidator(HexEntry* entry) : QValidator(entry), entry_(entry) {}
    State validate(QString& input, int&) const override {
        if (entry_->programSetting_ || input.size() <= entry_->typingLimit_ || input.size() <= entry_->shownLength_)
            return Acceptable;
        return Invalid;
    }

private:
    HexEntry* entry_;
};

HexEntry::HexEntry(int typingLimit, QWidget* parent) : QLineEdit(parent), typingLimit_(typingLimit) {
    setValidator(new TypingLimitValidator(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { shownLength_ = static_cast<int>(text.size()); });
    shownLength_ = static_cast<int>(text().size());
    // Composed input would bypass the filter; drops belong to the window (they open files).
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
}

void HexEntry::SetProgramText(const QString& text) {
    programSetting_ = true;
    setText(text);
    programSetting_ = false;
}

void HexEntry::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    // Keys that type nothing (arrows, Delete), control characters (backspace among
    // them) and shortcuts such as Ctrl+V keep their usual meaning.
    if (text.isEmpty() || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F ||
        (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QString accepted;
    for (const QChar c : text) {
        if (c.unicode() > 0x7F) continue;
        if (const std::optional<char> key = FilterEntryKey(static_cast<char>(c.unicode()))) accepted += QLatin1Char(*key);
    }
    if (accepted.isEmpty()) {
        event->accept();
        return;
    }
    if (accepted == text) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent filtered(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, accepted,
                       event->isAutoRepeat(), static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&filtered);
    event->setAccepted(filtered.isAccepted());
}

}  // namespace kestrova
