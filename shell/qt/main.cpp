// The Kestrova window: the main window first, then the about box, then the loop.

#include <QApplication>

#include "shell/qt/AboutBox.h"
#include "shell/qt/ParserMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setApplicationVersion(QLatin1String(kestrova::kVersionText));

    kestrova::TParserMain window;
    kestrova::TOrvAboutBox aboutBox(&window);
    window.SetAboutBox(&aboutBox);
    window.show();
    return QApplication::exec();
}
