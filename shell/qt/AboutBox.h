#pragma once
// The about box: the program's name and version beside a picture.

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace kestrova {

// The program's icon, drawn rather than loaded.
QIcon KestrovaIcon();

class TOrvAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TOrvAboutBox(QWidget* parent = nullptr);

    QLabel* Version_Label = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace kestrova
