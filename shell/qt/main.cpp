// The Kestrova window: the main window first, then the about box, then the loop.

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <iostream>

#include "shell/qt/AboutBox.h"
#include "shell/qt/CommandLine.h"
#include "shell/qt/ParserMain.h"

int main(int argc, char** argv) {
    // --version and --help are answered before Qt looks for a display; Qt's own
    // options are still in argv here, which does not matter for these two.
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    const kestrova::WindowCommandLine early = kestrova::ParseWindowCommandLine(raw, QString());
    if (early.action == kestrova::WindowCommandLine::Action::PrintVersion) {
        std::printf("%s\n", kestrova::kVersionText);
        return 0;
    }
    if (early.action == kestrova::WindowCommandLine::Action::PrintHelp) {
        std::fputs(kestrova::WindowUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setApplicationVersion(QLatin1String(kestrova::kVersionText));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrova.Kestrova"));

    kestrova::TParserMain window;
    kestrova::TOrvAboutBox aboutBox(&window);
    window.SetAboutBox(&aboutBox);
    window.show();
    kestrova::ApplyWindowCommandLine(
        window, kestrova::ParseWindowCommandLine(QApplication::arguments(), QDir::currentPath()), std::cerr);
    return QApplication::exec();
}
