#include "shell/qt/HexEntry.h"

#include <QKeyEvent>

#include "shell/Document.h"

namespace kestrova {

HexEntry::HexEntry(int maxLength, QWidget* parent) : QLineEdit(parent) {
    setMaxLength(maxLength);
    // Composed input would bypass the filter; drops belong to the window (they open files).
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
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
