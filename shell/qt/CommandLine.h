#pragma once
// The window's command line, once Qt has taken its own options (-platform and
// the like): no argument or one file, --full, --version or --help.

#include <QString>
#include <QStringList>

#include <ostream>

namespace kestrova {

class TParserMain;

struct WindowCommandLine {
    enum class Action { OpenWindow, PrintVersion, PrintHelp };
    Action action = Action::OpenWindow;
    QString file;     // absolute; empty when the window starts without a file
    bool fullView = false;
    QString message;  // for standard error when the arguments could not be used
};

// arguments as QCoreApplication::arguments() gives them, the program first;
// a relative file is taken from workingDirectory.
WindowCommandLine ParseWindowCommandLine(const QStringList& arguments, const QString& workingDirectory);

QString WindowUsage();

// Reports unusable arguments on err, switches to the full view when asked and
// opens the chosen file as a drop of that one file would.
void ApplyWindowCommandLine(TParserMain& window, const WindowCommandLine& line, std::ostream& err);

}  // namespace kestrova
