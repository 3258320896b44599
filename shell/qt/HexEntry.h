#pragma once
// One of the toolbar's hexadecimal entries: every typed character goes through
// the Document's key filter before the entry sees it. The length limit holds
// for what the user types or pastes; a text the program puts there is kept whole.

#include <QLineEdit>

namespace kestrova {

class HexEntry : public QLineEdit {
    Q_OBJECT

public:
    HexEntry(int typingLimit, QWidget* parent = nullptr);

    int TypingLimit() const { return typingLimit_; }
    void SetTypingLimit(int limit) { typingLimit_ = limit; }
    // Sets a text of any length, as the program does.
    void SetProgramText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TypingLimitValidator;
    int typingLimit_;
    int shownLength_ = 0;  // the length before the edit being checked
    bool programSetting_ = false;
};

}  // namespace kestrova
