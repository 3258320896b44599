// The find bar (type, offset, path and text searches, F3 round the hits,
// Ctrl+L, Esc), back and forward, Copy Box Path and the two exports.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

#include <fstream>
#include <sstream>

#include "GuiFixtures.h"
#include "shell/Navigation.h"
#include "shell/qt/FindBar.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"
#include "support/Process.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

// Two traks, then mdat.
Bytes TwoTracks() {
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0x200), Text("isom")})),
                Box("moov", {FullBox("mvhd", 0, 0, Zeros(96)), Box("trak", {FullBox("tkhd", 0, 3, Zeros(80))}),
                             Box("trak", {FullBox("tkhd", 0, 3, Zeros(80))})}),
                Box("mdat", Zeros(64))});
}

// A text search over it takes a while: a table of a million sizes, every one
// of them a line of the full view, then many small boxes.
Bytes SlowToSearch() {
    Bytes sizes = Cat({U32(0), U32(1'000'000)});
    sizes.resize(sizes.size() + 4'000'000, 1);
    const Bytes stbl = Box("stbl", {FullBox("stsz", 0, 0, sizes)});
    Bytes file = Cat({Box("ftyp", Cat({Text("isom"), U32(0x200), Text("isom")})),
                      Box("moov", {Box("trak", {Box("mdia", {Box("minf", {stbl})})})})});
    const Bytes free = Box("free", Zeros(8));
    for (int i = 0; i < 20'000; ++i) file.insert(file.end(), free.begin(), free.end());
    return file;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Type(TParserMain& w, const QString& text, Qt::KeyboardModifiers enter = Qt::NoModifier) {
    w.FindBar1->FindEdit->selectAll();
    QTest::keyClicks(w.FindBar1->FindEdit, text);
    QTest::keyClick(w.FindBar1->FindEdit, Qt::Key_Return, enter);
}

}  // namespace

class FindBarTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TParserMain> window_;
    std::unique_ptr<TempFile> file_;
    TParserMain& Opened(const Bytes& bytes, bool full = false) {
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        QApplication::setActiveWindow(window_.get());
        (void)QTest::qWaitForWindowActive(window_.get());
        if (full) window_->FullView1->setChecked(true);
        file_ = std::make_unique<TempFile>(bytes, "find.mp4");
        window_->OpenFile(QString::fromStdString(file_->Path()));
        return *window_;
    }
    std::int32_t Node(const char* path) const { return window_->Index().FindPath(path).node; }
    std::int64_t Selected() const { return NodeTreeModel::NodeOf(window_->TreeView1->currentIndex()); }

private slots:
    void cleanup() {
        window_.reset();
        file_.reset();
    }

    void typeSearchAndF3GoRoundTheHits_data() {
        QTest::addColumn<bool>("full");
        QTest::newRow("classic") << false;
        QTest::newRow("full") << true;
    }
    void typeSearchAndF3GoRoundTheHits() {
        QFETCH(bool, full);
        TParserMain& w = Opened(TwoTracks(), full);
        QVERIFY(!w.FindBar1->isVisible());
        QVERIFY(w.EditFind1->isEnabled());
        QTest::keyClick(w.TreeView1, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w.FindBar1->isVisible());
        QCOMPARE(QApplication::focusWidget(), w.FindBar1->FindEdit);
        Type(w, QStringLiteral("trak"));
        const std::int32_t first = Node("moov/trak[1]"), second = Node("moov/trak[2]");
        QCOMPARE(w.Doc().ClickedNode(), first);
        QCOMPARE(Selected(), first);
        QCOMPARE(w.FindBar1->CountLabel->text(), QStringLiteral("1 of 2"));
        QTest::keyClick(w.TreeView1, Qt::Key_F3);
        QCOMPARE(w.Doc().ClickedNode(), second);
        QCOMPARE(w.FindBar1->CountLabel->text(), QStringLiteral("2 of 2"));
        QTest::keyClick(w.TreeView1, Qt::Key_F3);
        QCOMPARE(w.Doc().ClickedNode(), first);  // round the end
        QTest::keyClick(w.TreeView1, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.Doc().ClickedNode(), second);
        QTest::keyClick(w.FindBar1->FindEdit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(w.Doc().ClickedNode(), first);

        Type(w, QStringLiteral("moov/trak[2]/tkhd"));
        QCOMPARE(w.Doc().ClickedNode(), Node("moov/trak[2]/tkhd"));
        Type(w, QStringLiteral("moov/trak[0]"));
        QCOMPARE(w.FindBar1->CountLabel->text(), QStringLiteral("part 2 'trak[0]': the index counts from 1"));
        Type(w, QStringLiteral("stsz"));
        QCOMPARE(w.FindBar1->CountLabel->text(), QStringLiteral("no stsz"));
        QTest::keyClick(w.FindBar1->FindEdit, Qt::Key_Escape);
        QVERIFY(!w.FindBar1->isVisible());
    }

    void ctrlLGoesToTheByteAndLightsIt() {
        TParserMain& w = Opened(TwoTracks());
        QTest::keyClick(w.BOX_Description, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(w.FindBar1->isVisible());
        QCOMPARE(w.FindBar1->FindEdit->text(), QStringLiteral("0x"));
        // 0x9C: a byte of the first tkhd's body (trak at 0x88, tkhd at 0x90).
        QTest::keyClicks(w.FindBar1->FindEdit, QStringLiteral("9C"));
        QTest::keyClick(w.FindBar1->FindEdit, Qt::Key_Return);
        QCOMPARE(w.Doc().ClickedNode(), Node("moov/trak[1]/tkhd"));
        QCOMPARE(Selected(), Node("moov/trak[1]/tkhd"));
        QVERIFY(w.Doc().Highlight());
        QVERIFY(w.Doc().Highlight()->offset <= 0x9C && 0x9C < w.Doc().Highlight()->End());
        QVERIFY(w.Doc().SelectedLine());
        Type(w, QStringLiteral("@FFFFFF"));
        QVERIFY(w.FindBar1->CountLabel->text().contains(QStringLiteral("past the end of the file")));
    }

    void textSearchFindsDescriptionsOffTheWindowThread() {
        TParserMain& w = Opened(TwoTracks());
        w.FindBar1->Open();
        Type(w, QStringLiteral("Box Type : tkhd"));
        w.FindBar1->WaitForSearch();
        QCOMPARE(w.FindBar1->Hits(), (std::vector<std::int32_t>{Node("moov/trak[1]/tkhd"), Node("moov/trak[2]/tkhd")}));
        QCOMPARE(w.Doc().ClickedNode(), Node("moov/trak[1]/tkhd"));
        QCOMPARE(w.FindBar1->CountLabel->text(), QStringLiteral("1 of 2"));
        // The check box makes a type a text: only mvhd's own description names it.
        w.FindBar1->InDescriptions->setChecked(true);
        Type(w, QStringLiteral("MVHD"));
        w.FindBar1->WaitForSearch();
        QCOMPARE(w.FindBar1->Hits(), (std::vector<std::int32_t>{Node("moov/mvhd")}));
    }

    void escAndAnOpenStopATextSearch() {
        TParserMain& w = Opened(SlowToSearch(), true);
        w.FindBar1->Open();
        Type(w, QStringLiteral("Box Size"));
        QVERIFY(w.FindBar1->Searching());
        QTest::keyClick(w.FindBar1->FindEdit, Qt::Key_Escape);
        QVERIFY(!w.FindBar1->Searching());
        QVERIFY(w.FindBar1->isVisible());  // the first Esc stops the search, the next closes the bar
        QVERIFY2(w.FindBar1->CountLabel->text().contains(QStringLiteral("stopped after")),
                 qPrintable(w.FindBar1->CountLabel->text()));
        QVERIFY(w.FindBar1->Hits().size() < w.Index().Count() - 1);

        Type(w, QStringLiteral("BOX SIZE"));  // another text: a new search, not the next hit
        QVERIFY(w.FindBar1->Searching());
        TempFile other(SampleMp4(), "other.mp4");
        w.OpenFile(QString::fromStdString(other.Path()));
        QVERIFY(!w.FindBar1->Searching());
        QVERIFY(w.FindBar1->Hits().empty());
        QCoreApplication::processEvents();
        QVERIFY(w.FindBar1->Hits().empty());  // nothing the stopped search posted arrives late

        // Closing the window stops a search before the document it reads goes.
        TempFile slow(SlowToSearch(), "slow.mp4");
        w.OpenFile(QString::fromStdString(slow.Path()));
        Type(w, QStringLiteral("Box Size"));
        QVERIFY(w.FindBar1->Searching());
        window_.reset();
    }

    void backAndForwardWalkTheSelections() {
        TParserMain& w = Opened(TwoTracks());
        QVERIFY(!w.GoBack1->isEnabled());
        const std::int32_t a = Node("moov/mvhd"), b = Node("moov/trak[2]"), c = Node("mdat");
        for (const std::int32_t node : {a, b, c}) {
            const QModelIndex index = static_cast<NodeTreeModel*>(w.TreeView1->model())->IndexOfNode(node);
            QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, w.TreeView1->visualRect(index).center());
        }
        QCOMPARE(w.Doc().ClickedNode(), c);
        QTest::keyClick(w.TreeView1, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(w.Doc().ClickedNode(), b);
        QCOMPARE(Selected(), b);
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::BackButton);
        QCOMPARE(w.Doc().ClickedNode(), a);
        QVERIFY(!w.GoBack1->isEnabled());
        QTest::keyClick(w.TreeView1, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(w.Doc().ClickedNode(), b);
        QTest::mouseClick(w.TreeView1->viewport(), Qt::ForwardButton);
        QCOMPARE(w.Doc().ClickedNode(), c);
        // A switch of view starts the history again.
        w.FullView1->setChecked(true);
        QVERIFY(!w.GoBack1->isEnabled());
        QVERIFY(!w.GoForward1->isEnabled());
    }

    void copyBoxPathAndExports() {
        TParserMain& w = Opened(TwoTracks());
        QVERIFY(!w.EditCopyPath1->isEnabled());
        w.SelectNode(Node("moov/trak[2]/tkhd"));
        QVERIFY(w.EditCopyPath1->isEnabled());
        w.EditCopyPath1->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("moov/trak[2]/tkhd"));

        TempFile out(Bytes{}, "out.txt");
        QVERIFY(w.ExportDescription(QString::fromStdString(out.Path())));
        std::string expected;
        for (const std::string& line : w.Doc().BoxDescriptionPane().Lines()) expected += line + "\n";
        QCOMPARE(QString::fromStdString(ReadAll(out.Path())), QString::fromStdString(expected));

        for (const bool full : {false, true}) {
            w.FullView1->setChecked(full);
            const std::string shown = ReadAll(out.Path());
            QVERIFY(w.ExportAllJson(QString::fromStdString(out.Path())));
            const ProcessResult dump = test::Run(std::string(KESTROVA_DUMP_PATH) + (full ? " --full" : "") +
                                                 " --json --click-all " + ShellQuote(file_->Path()));
            QCOMPARE(dump.exitCode, 0);
            QCOMPARE(QString::fromStdString(ReadAll(out.Path())), QString::fromStdString(dump.output));
            QVERIFY(ReadAll(out.Path()) != shown);
        }
        // The window still shows what it showed.
        QCOMPARE(w.Doc().ClickedNode(), Node("moov/trak[2]/tkhd"));
    }
};

QTEST_MAIN(FindBarTest)
#include "FindBarTest.moc"
