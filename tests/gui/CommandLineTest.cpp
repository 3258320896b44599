// The window's command line: what it opens, what it refuses and says on
// standard error, and --version from the real program without a display.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sstream>

#include "GuiFixtures.h"
#include "shell/qt/CommandLine.h"
#include "shell/qt/ParserMain.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

struct WindowState {
    QString title, status, filePath;
    QStringList fileInfo, description;
    qsizetype nodes = 0;
    bool operator==(const WindowState&) const = default;
};

WindowState StateOf(const TParserMain& w) {
    return {w.windowTitle(), w.StatusText->text(), QString::fromStdString(w.Doc().FilePath()),
            PaneLines(w.FILEInfo), PaneLines(w.BOX_Description), static_cast<qsizetype>(w.Doc().Tree().Count())};
}

void WriteFile(const QString& path, const Bytes& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        WriteFile(dir_.filePath(QStringLiteral("a.mp4")), SampleMp4("isom"));
        WriteFile(dir_.filePath(QStringLiteral("b.mp4")), SampleMp4("mp42"));
        WriteFile(dir_.filePath(QStringLiteral("-dash.mp4")), SampleMp4("3gp4"));
        QDir(dir_.path()).mkdir(QStringLiteral("sub"));
    }

    void argumentsChooseTheFileOrExplain_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");     // relative to the working folder; "" for none
        QTest::addColumn<QString>("message");  // a part of what standard error gets; "" for nothing

        QTest::newRow("none") << QStringList{} << "" << "";
        QTest::newRow("one file") << QStringList{dir_.filePath(QStringLiteral("a.mp4"))} << "a.mp4" << "";
        QTest::newRow("relative path") << QStringList{QStringLiteral("sub/../b.mp4")} << "b.mp4" << "";
        QTest::newRow("missing file") << QStringList{QStringLiteral("gone.mp4")} << "gone.mp4" << "";
        QTest::newRow("after --") << QStringList{QStringLiteral("--"), QStringLiteral("-dash.mp4")} << "-dash.mp4" << "";
        QTest::newRow("two files") << QStringList{QStringLiteral("a.mp4"), QStringLiteral("b.mp4")} << ""
                                   << "one file at a time, 2 were given (\"a.mp4\", \"b.mp4\")";
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), QStringLiteral("a.mp4")} << ""
                                        << "unknown option \"--bogus\"";
        QTest::newRow("lone dash") << QStringList{QStringLiteral("-")} << "" << "unknown option \"-\"";
    }

    void argumentsChooseTheFileOrExplain() {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QFETCH(QString, message);
        args.prepend(QStringLiteral("kestrova"));
        const WindowCommandLine line = ParseWindowCommandLine(args, dir_.path());
        QCOMPARE(line.action, WindowCommandLine::Action::OpenWindow);
        const QString expected = file.isEmpty() ? QString() : dir_.filePath(file);
        QCOMPARE(line.file, expected);
        if (message.isEmpty()) {
            QVERIFY(line.message.isEmpty());
        } else {
            QVERIFY2(line.message.contains(message), qPrintable(line.message));
            QVERIFY2(line.message.endsWith(QStringLiteral("The window opens without a file.")), qPrintable(line.message));
        }

        // The window gets the file exactly as from a drop of that one file, or
        // stays as it starts without arguments.
        TParserMain fromArgs;
        std::ostringstream err;
        ApplyWindowCommandLine(fromArgs, line, err);
        QCOMPARE(QString::fromStdString(err.str()), message.isEmpty() ? QString() : line.message + QLatin1Char('\n'));

        TParserMain reference;
        if (!expected.isEmpty()) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(expected)});
            const QPoint at = reference.rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&reference, &enter);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&reference, &drop);
            QCOMPARE(fromArgs.Doc().FilePath(), expected.toStdString());
        }
        QCOMPARE(StateOf(fromArgs), StateOf(reference));
        if (file == QLatin1String("gone.mp4"))
            QCOMPARE(fromArgs.StatusText->text(), QStringLiteral("File Open Fail!!! - ") + expected);
    }

    // The installed program is started this way by scripts and by users in a
    // terminal without a display; Qt must not be asked for one.
    void versionAndHelpNeedNoDisplay_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << "0.6.1\n";
        QTest::newRow("Qt option first") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--version")}
                                         << "0.6.1\n";
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << WindowUsage();
    }

    void versionAndHelpNeedNoDisplay() {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(name));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KESTROVA_WINDOW_PATH), args);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
        QCOMPARE(program.readAllStandardError(), QByteArray());
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
