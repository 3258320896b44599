#include "shell/qt/AboutBox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "shell/Document.h"

namespace kestrova {
namespace {

// Nested boxes, as the viewer shows a file.
QPixmap Picture() {
    QPixmap pixmap(114, 138);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 138);
    sky.setColorAt(0, QColor(0x1F, 0x3A, 0x5F));
    sky.setColorAt(1, QColor(0x4A, 0x7A, 0xA8));
    p.fillRect(pixmap.rect(), sky);

    QFont font(QStringLiteral("monospace"));
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    struct Layer {
        QRect rect;
        QColor colour;
        const char* label;
    };
    const Layer layers[] = {
        {QRect(8, 10, 98, 18), QColor(0xF2, 0xB1, 0x34), "ftyp"},
        {QRect(8, 34, 98, 74), QColor(0x7F, 0xC2, 0x6B), "moov"},
        {QRect(16, 52, 82, 22), QColor(0xC9, 0xE8, 0xBE), "trak"},
        {QRect(16, 80, 82, 22), QColor(0xC9, 0xE8, 0xBE), "trak"},
        {QRect(8, 114, 98, 16), QColor(0xE8, 0x6A, 0x5A), "mdat"},
    };
    for (const Layer& layer : layers) {
        p.setPen(QPen(QColor(0x10, 0x20, 0x30), 1));
        p.setBrush(layer.colour);
        p.drawRoundedRect(layer.rect, 3, 3);
        p.drawText(layer.rect.adjusted(4, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, QLatin1String(layer.label));
    }
    return pixmap;
}

QPixmap IconPixmap(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 48.0, side / 48.0);
    p.setPen(QPen(QColor(0x1F, 0x3A, 0x5F), 2));
    p.setBrush(QColor(0xF2, 0xB1, 0x34));
    p.drawRoundedRect(QRectF(3, 3, 42, 42), 5, 5);
    p.setBrush(QColor(0x7F, 0xC2, 0x6B));
    p.drawRoundedRect(QRectF(10, 14, 28, 26), 3, 3);
    p.setBrush(QColor(0xC9, 0xE8, 0xBE));
    p.drawRect(QRectF(15, 20, 18, 6));
    p.drawRect(QRectF(15, 29, 18, 6));
    return pixmap;
}

QLabel* TextLabel(QWidget* parent, const QString& text, const QRect& geometry, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

}  // namespace

QIcon KestrovaIcon() {
    QIcon icon;
    for (const int side : {16, 32, 48}) icon.addPixmap(IconPixmap(side));
    return icon;
}

TOrvAboutBox::TOrvAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("OrvAboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(297, 219);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 281, 161);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramPicture"));
    picture->setGeometry(8, 8, 114, 138);
    picture->setScaledContents(true);
    picture->setPixmap(Picture());

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(130, 8, 48, 48);
    icon->setPixmap(IconPixmap(48));

    TextLabel(panel, QStringLiteral("Kestrova"), QRect(184, 12, 92, 18), true)
        ->setObjectName(QStringLiteral("ProductName"));
    Version_Label = TextLabel(panel, QStringLiteral("Ver. ") + QLatin1String(kVersionText), QRect(184, 32, 92, 18), true);
    Version_Label->setObjectName(QStringLiteral("Version_Label"));
    TextLabel(panel, QStringLiteral("Box and chunk viewer"), QRect(130, 72, 146, 18), false)
        ->setObjectName(QStringLiteral("Comments"));
    TextLabel(panel, QStringLiteral("MP4, 3GP and AVI files"), QRect(130, 96, 146, 18), false)
        ->setObjectName(QStringLiteral("Formats"));
    TextLabel(panel, QStringLiteral("Reads only, writes none"), QRect(130, 120, 146, 18), false)
        ->setObjectName(QStringLiteral("Copyright"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TOrvAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace kestrova
