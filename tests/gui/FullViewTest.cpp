// The full view in the window: F6, View > Full View and the toolbar check box
// switch together and keep the selected box, --full starts in it, nothing is
// remembered, and a bit field lights its whole bytes and names its bits.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <sstream>

#include "GuiFixtures.h"
#include "iso/full/FullParse.h"
#include "shell/HexView.h"
#include "shell/qt/CommandLine.h"
#include "shell/qt/HexEntry.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/StreamSamples.h"
#include "shell/qt/ParserMain.h"
#include "unit/IsoFixtures.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

// A video track whose avc1 holds an nclx colr (full_range_flag set) and whose
// sizes are in a 4-bit stz2 (3 samples: 1, 2, 3).
Bytes FullFixture() {
    const Bytes colr = Box("colr", Cat({Text("nclx"), U16(1), U16(1), U16(1), U8(0x80)}));
    const Bytes stz2 = FullBox("stz2", 0, 0, Cat({U24(0), U8(4), U32(3), U8(0x12), U8(0x30)}));
    const Bytes stbl = Cat({Stsd(1, {VisualEntry("avc1", 320, 240, colr)}), Table("stts", 1, {3, 1}),
                            Table("stsc", 1, {1, 3, 1}), stz2, Table("stco", 1, {0})});
    return Cat({Box("ftyp", Cat({Text("isom"), U32(0x200), Text("isom")})),
                Movie({FullBox("mvhd", 0, 0, Zeros(96)), Trak(Tkhd(0, 1, 320, 240), "vide", stbl)}),
                Box("mdat", Zeros(24))});
}

// Where the nth box of this type starts in the fixture.
std::uint64_t OffsetOf(const Bytes& file, const std::string& type, int nth = 0) {
    for (std::size_t i = 4; i + 4 <= file.size(); ++i)
        if (std::equal(type.begin(), type.end(), file.begin() + static_cast<std::ptrdiff_t>(i)) && nth-- == 0)
            return i - 4;
    return ~std::uint64_t{0};
}

QString FourCC(std::uint32_t type) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) s += QLatin1Char(static_cast<char>(type >> shift & 0xFF));
    return s;
}

// The box of a tree node, as offset and type, from whichever view is open; "root" for the root.
QString BoxOfNode(const Document& doc, std::int64_t node) {
    if (node == 0) return QStringLiteral("root");
    const auto i = static_cast<std::size_t>(node - 1);
    if (const full::FullParse* full = doc.Full(); full && i < full->records.size())
        return QString::number(full->records[i].offset) + QLatin1Char(' ') + FourCC(full->records[i].type);
    if (const IsoParse* iso = doc.Iso(); iso && i < iso->records.size())
        return QString::number(iso->records[i].offset) + QLatin1Char(' ') + FourCC(iso->records[i].type);
    return QStringLiteral("no box");
}

// The node holding the box at offset in the open view; -1 when that view has none.
std::int64_t NodeAt(const Document& doc, std::uint64_t offset, const QString& type) {
    const QString key = QString::number(offset) + QLatin1Char(' ') + type;
    for (std::size_t n = 1; n < doc.Tree().Count(); ++n)
        if (BoxOfNode(doc, static_cast<std::int64_t>(n)) == key) return static_cast<std::int64_t>(n);
    return -1;
}

void ClickNode(TParserMain& w, std::int64_t node) {
    auto* model = static_cast<NodeTreeModel*>(w.TreeView1->model());
    const QModelIndex index = model->IndexOfNode(node);
    QVERIFY(index.isValid());
    w.TreeView1->scrollTo(index);
    QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, w.TreeView1->visualRect(index).center());
}

// The box selected in the tree, which must also be the one the document describes.
QString SelectedBox(const TParserMain& w) {
    const QModelIndex current = w.TreeView1->currentIndex();
    if (!current.isValid() || !w.TreeView1->selectionModel()->isSelected(current)) return QStringLiteral("none");
    const std::int64_t node = NodeTreeModel::NodeOf(current);
    if (node > 0 && node != w.Doc().ClickedNode()) return QStringLiteral("tree and document differ");
    return BoxOfNode(w.Doc(), node);
}

QPoint At(const LinePane* pane, std::int64_t line) {
    return {20, static_cast<int>(line - pane->verticalScrollBar()->value()) * pane->LineHeight() + pane->LineHeight() / 2};
}

std::int64_t LineStartingWith(const LinePane* pane, const QString& prefix) {
    for (std::int64_t i = 0; i < pane->LineCount(); ++i)
        if (pane->LineText(i).startsWith(prefix)) return i;
    return -1;
}

enum class Switch { Key, KeyInPane, Menu, CheckBox };

void SwitchView(TParserMain& w, Switch how) {
    switch (how) {
        case Switch::Key: QTest::keyClick(w.TreeView1, Qt::Key_F6); break;
        case Switch::KeyInPane:
            w.BOX_Description->setFocus();
            QTest::keyClick(w.BOX_Description, Qt::Key_F6);
            break;
        case Switch::Menu: w.FullView1->trigger(); break;
        case Switch::CheckBox: QTest::mouseClick(w.FullViewCheck, Qt::LeftButton); break;
    }
}

}  // namespace

Q_DECLARE_METATYPE(Switch)

class FullViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TParserMain> window_;
    std::unique_ptr<TempFile> file_;
    TParserMain& Opened(bool full) {
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        QApplication::setActiveWindow(window_.get());
        (void)QTest::qWaitForWindowActive(window_.get());
        if (full) window_->FullView1->setChecked(true);
        file_ = std::make_unique<TempFile>(FullFixture(), "full.mp4");
        window_->OpenFile(QString::fromStdString(file_->Path()));
        return *window_;
    }

private slots:
    void cleanup() {
        window_.reset();
        file_.reset();
    }

    void switchingKeepsTheSelectedBox_data() {
        QTest::addColumn<bool>("startFull");
        QTest::addColumn<QString>("type");
        QTest::addColumn<Switch>("how");
        QTest::addColumn<bool>("inBoth");  // false: the other view has no such node, so the root is selected

        QTest::newRow("tkhd, F6") << false << "tkhd" << Switch::Key << true;
        QTest::newRow("stsd, menu") << false << "stsd" << Switch::Menu << true;
        QTest::newRow("mdat, check box") << false << "mdat" << Switch::CheckBox << true;
        QTest::newRow("stts from the full view, F6 in the pane") << true << "stts" << Switch::KeyInPane << true;
        QTest::newRow("colr only in the full view") << true << "colr" << Switch::Key << false;
    }

    void switchingKeepsTheSelectedBox() {
        QFETCH(bool, startFull);
        QFETCH(QString, type);
        QFETCH(Switch, how);
        QFETCH(bool, inBoth);
        TParserMain& w = Opened(startFull);
        const QString box = QString::number(OffsetOf(FullFixture(), type.toStdString())) + QLatin1Char(' ') + type;
        const std::int64_t node = NodeAt(w.Doc(), OffsetOf(FullFixture(), type.toStdString()), type);
        QVERIFY2(node > 0, qPrintable(type));
        ClickNode(w, node);
        QCOMPARE(SelectedBox(w), box);
        const QStringList before = PaneLines(w.BOX_Description);

        for (const bool full : {!startFull, startFull}) {
            SwitchView(w, how);
            QCOMPARE(w.Doc().IsFullView(), full);
            QCOMPARE(w.FullView1->isChecked(), full);
            QCOMPARE(w.FullViewCheck->isChecked(), full);
            // Once at the root, the way back has nothing to look for either.
            QCOMPARE(SelectedBox(w), inBoth ? box : QStringLiteral("root"));
            if (inBoth) QVERIFY(LineStartingWith(w.BOX_Description, QStringLiteral("Box Type")) >= 0);
        }
        if (inBoth) QCOMPARE(PaneLines(w.BOX_Description), before);
    }

    void bitFieldLightsItsWholeBytesAndTheStatusNamesTheBits_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("line");     // the start of the description line clicked
        QTest::addColumn<int>("byteInBox");    // from the box's first header byte
        QTest::addColumn<QString>("bits");     // the status, before " of 0x<offset>"

        QTest::newRow("colr full_range_flag") << "colr" << "full_range_flag" << 18 << "bit 0";
        QTest::newRow("stz2 4-bit entry, low half") << "stz2" << "   entry_size #2" << 20 << "bits 4\u20137";
        QTest::newRow("stz2 4-bit entry, high half") << "stz2" << "   entry_size #3" << 21 << "bits 0\u20133";
    }

    void bitFieldLightsItsWholeBytesAndTheStatusNamesTheBits() {
        QFETCH(QString, type);
        QFETCH(QString, line);
        QFETCH(int, byteInBox);
        QFETCH(QString, bits);
        TParserMain& w = Opened(true);
        const std::uint64_t start = OffsetOf(FullFixture(), type.toStdString());
        ClickNode(w, NodeAt(w.Doc(), start, type));
        const std::int64_t at = LineStartingWith(w.BOX_Description, line);
        QVERIFY2(at >= 0, qPrintable(PaneLines(w.BOX_Description).join(QLatin1Char('\n'))));
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::LeftButton, {}, At(w.BOX_Description, at));
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(at));

        const std::uint64_t byte = start + static_cast<std::uint64_t>(byteInBox);
        QCOMPARE(w.StatusText->text(), bits + QStringLiteral(" of 0x") + QString::number(byte, 16).toUpper());
        // The dump lights the one byte the bits lie in, hexadecimal pair and character.
        std::int64_t litRows = 0;
        for (std::int64_t row = 0; row < w.FILEInfo->LineCount(); ++row) {
            const auto marks = w.FILEInfo->MarksAt(row);
            if (marks.empty()) continue;
            ++litRows;
            const auto layout = ParseHexRow(w.FILEInfo->LineText(row).toStdString());
            QVERIFY(layout.has_value());
            QCOMPARE(layout->address, byte & ~std::uint64_t{15});
            const auto column = static_cast<unsigned>(byte & 15);
            const std::vector<std::pair<int, int>> expected{
                {static_cast<int>(layout->HexAt(column)), static_cast<int>(layout->HexAt(column) + 2)},
                {static_cast<int>(layout->CharAt(column)), static_cast<int>(layout->CharAt(column) + 1)}};
            QCOMPARE(marks, expected);
        }
        QCOMPARE(litRows, 1);
        QCOMPARE(QString::fromStdString(w.Doc().HighlightedBytesText()),
                 QStringLiteral("%1").arg(static_cast<uint>(FullFixture()[byte]), 2, 16, QLatin1Char('0')).toUpper());
    }

    void fullOptionStartsInTheFullView_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("full");
        QTest::addColumn<bool>("opened");
        QTest::newRow("--full FILE") << QStringList{QStringLiteral("--full"), QStringLiteral("full.mp4")} << true << true;
        QTest::newRow("FILE --full") << QStringList{QStringLiteral("full.mp4"), QStringLiteral("--full")} << true << true;
        QTest::newRow("--full alone") << QStringList{QStringLiteral("--full")} << true << false;
        QTest::newRow("FILE") << QStringList{QStringLiteral("full.mp4")} << false << true;
        QTest::newRow("a file named --full") << QStringList{QStringLiteral("--"), QStringLiteral("--full")} << false << true;
    }

    void fullOptionStartsInTheFullView() {
        QFETCH(QStringList, args);
        QFETCH(bool, full);
        QFETCH(bool, opened);
        TempFile file(FullFixture(), "full.mp4");
        const QString dir = QString::fromStdString(file.Path()).section(QLatin1Char('/'), 0, -2);
        args.prepend(QStringLiteral("kestrova"));
        const WindowCommandLine line = ParseWindowCommandLine(args, dir);
        QVERIFY2(line.message.isEmpty(), qPrintable(line.message));

        TParserMain w;
        std::ostringstream err;
        ApplyWindowCommandLine(w, line, err);
        QCOMPARE(w.Doc().IsFullView(), full);
        QCOMPARE(w.FullView1->isChecked(), full);
        QCOMPARE(w.FullViewCheck->isChecked(), full);
        QCOMPARE(!w.Doc().FilePath().empty(), opened);
        if (opened && full) {
            QVERIFY(w.Doc().Full() != nullptr);
            // Every box has a node, down to the colr inside the sample entry.
            QVERIFY(NodeAt(w.Doc(), OffsetOf(FullFixture(), "colr"), QStringLiteral("colr")) > 0);
        }

        // Nothing is remembered: the next window starts in the classic view.
        TParserMain next;
        QVERIFY(!next.Doc().IsFullView());
        QVERIFY(!next.FullView1->isChecked());
        QVERIFY(!next.FullViewCheck->isChecked());
    }

    // File > Open Segment With Initialisation...: the segment in the full view, its
    // samples timed by the initialisation segment's trex; a plain open forgets it.
    void segmentOpensWithItsInitialisationSegment() {
        const Bytes trex = FullBox("trex", 0, 0, Cat({U32(1), U32(1), U32(40), U32(10), U32(0)}));
        const Bytes stbl = Cat({Stsd(1, {VisualEntry("avc1", 320, 240, {})}), Table("stts", 0, {}),
                                Table("stsc", 0, {}), FullBox("stsz", 0, 0, Zeros(8)), Table("stco", 0, {})});
        const TempFile init(Cat({Box("ftyp", Cat({Text("iso6"), U32(0)})),
                                 Movie({FullBox("mvhd", 0, 0, Zeros(96)), Trak(Tkhd(0, 1, 320, 240), "vide", stbl),
                                        Box("mvex", trex)})}),
                            "init.mp4");
        // styp 16 + moof 68: the run's two samples of the trex size start after the mdat header, at 92.
        const Bytes moof = Box("moof", {FullBox("mfhd", 0, 0, U32(1)),
                                        Box("traf", {FullBox("tfhd", 0, 0x20000, U32(1)),
                                                     FullBox("trun", 0, 1, Cat({U32(2), U32(76)}))})});
        const TempFile segment(Cat({Box("styp", Cat({Text("msdh"), U32(0)})), moof, Box("mdat", Zeros(20))}), "seg.m4s");

        TParserMain w;
        w.OpenSegment(QString::fromStdString(segment.Path()), QString::fromStdString(init.Path()));
        QVERIFY(w.Doc().IsFullView());
        QVERIFY(w.FullView1->isChecked());
        QVERIFY(w.FullViewCheck->isChecked());
        QCOMPARE(w.Doc().InitialisationPath(), init.Path());
        const std::optional<SampleList> list = BuildDocumentSampleList(w.Doc());
        QVERIFY(list.has_value());
        QCOMPARE(list->tracks.size(), std::size_t{1});
        QCOMPARE(list->tracks[0].samples.size(), std::size_t{2});
        QCOMPARE(static_cast<std::uint64_t>(list->tracks[0].samples[1].dts), std::uint64_t{40});
        QCOMPARE(static_cast<std::uint64_t>(list->tracks[0].samples[1].offset), std::uint64_t{16 + 68 + 8 + 10});

        w.OpenFile(QString::fromStdString(init.Path()));
        QVERIFY(w.Doc().InitialisationPath().empty());
    }

    // Past 4 GiB the Offset entry takes sixteen digits; a file under it keeps eight.
    void offsetEntryTakesSixteenDigitsPastFourGiB() {
        const TempFile large(Box("ftyp", Cat({Text("isom"), U32(0)})), "large.mp4");
        std::filesystem::resize_file(large.Path(), 0x140000000ull);  // sparse: 5 GiB of holes
        TParserMain w;
        w.OpenFile(QString::fromStdString(large.Path()));
        QCOMPARE(w.OffsetEdit->TypingLimit(), 16);
        w.OffsetEdit->clear();
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("1000000f0"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("1000000F0"));
        w.SizeEdit->setText(QStringLiteral("10"));
        w.Button1->click();
        QCOMPARE(w.StatusText->text(), QStringLiteral("Memory Read Range (0X1000000F0 ~ 0X100000100)"));

        const TempFile small(Box("ftyp", Cat({Text("isom"), U32(0)})), "small.mp4");
        w.OpenFile(QString::fromStdString(small.Path()));
        QCOMPARE(w.OffsetEdit->TypingLimit(), 8);
    }
};

QTEST_MAIN(FullViewTest)
#include "FullViewTest.moc"
