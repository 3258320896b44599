#pragma once
// One of the toolbar's hexadecimal entries: every typed character goes through
// the Document's key filter before the entry sees it.

#include <QLineEdit>

namespace kestrova {

class HexEntry : public QLineEdit {
    Q_OBJECT

public:
    HexEntry(int maxLength, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kestrova
