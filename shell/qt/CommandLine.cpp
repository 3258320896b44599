#include "shell/qt/CommandLine.h"

#include <QDir>

#include "shell/qt/ParserMain.h"

namespace kestrova {

WindowCommandLine ParseWindowCommandLine(const QStringList& arguments, const QString& workingDirectory) {
    WindowCommandLine line;
    QStringList files;
    QStringList unknown;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-'))) {
            files << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--full")) {
            line.fullView = true;
        } else if (arg == QLatin1String("--version")) {
            line.action = WindowCommandLine::Action::PrintVersion;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            line.action = WindowCommandLine::Action::PrintHelp;
        } else {
            unknown << arg;
        }
    }
    if (line.action != WindowCommandLine::Action::OpenWindow) return line;

    QStringList problems;
    if (!unknown.isEmpty())
        problems << QStringLiteral("unknown option%1 \"%2\" (see kestrova --help)")
                        .arg(unknown.size() > 1 ? QStringLiteral("s") : QString(), unknown.join(QStringLiteral("\", \"")));
    if (files.size() > 1)
        problems << QStringLiteral("it opens one file at a time, %1 were given (\"%2\")")
                        .arg(files.size())
                        .arg(files.join(QStringLiteral("\", \"")));
    if (!problems.isEmpty()) {
        line.message = QStringLiteral("kestrova: ") + problems.join(QStringLiteral("; ")) +
                       QStringLiteral(". The window opens without a file.");
    } else if (files.size() == 1) {
        // A file manager may hand over a relative path; the window shows the one it opened.
        line.file = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(files.front()));
    }
    return line;
}

QString WindowUsage() {
    return QStringLiteral(
        "Usage: kestrova [--full] [FILE]\n"
        "Shows the boxes or chunks of an MP4/3GP or AVI file, the fields of each and a hex dump.\n"
        "\n"
        "  FILE        the file to open, as if it were dropped on the window\n"
        "  --full      start in the full view, which decodes every box of an MP4/3GP\n"
        "              file (F6 switches between the classic and the full view)\n"
        "  --version   print the version and exit\n"
        "  -h, --help  print this help and exit\n"
        "\n"
        "Qt's own options, such as -platform offscreen, are taken too.\n");
}

void ApplyWindowCommandLine(TParserMain& window, const WindowCommandLine& line, std::ostream& err) {
    if (!line.message.isEmpty()) err << line.message.toStdString() << '\n';
    // The view first, so that the file is read once, in the view asked for.
    if (line.fullView) window.FullView1->setChecked(true);
    if (!line.file.isEmpty()) window.DropFiles({line.file});
}

}  // namespace kestrova
