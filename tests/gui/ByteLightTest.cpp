// Description lines and their bytes in the window: a click on a line or the
// arrow keys light its bytes in the dump, a click on a byte selects its line,
// a drag still selects text, Copy takes the text or the lit bytes, and the
// entries keep texts longer than what can be typed.

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <cstdio>

#include "GuiFixtures.h"
#include "avi/AviParser.h"
#include "shell/HexView.h"
#include "shell/qt/HexEntry.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

Bytes AvihChunk() {
    Bytes words;
    for (std::uint32_t w : {40000u, 0u, 0u, 0x10u, 3u, 0u, 1u, 0u, 320u, 240u, 0u, 0u, 0u, 0u})
        words = Cat({words, LE32(w)});
    return Chunk("avih", words);
}

// RIFF AVI { LIST hdrl { avih }, idx1 }: avih at 24; 300 key frames in the index.
Bytes LitAvi() {
    Bytes entries;
    for (std::uint32_t i = 0; i < 300; ++i)
        entries = Cat({entries, Text("00dc"), LE32(0x10), LE32(i * 16), LE32(1000 + i)});
    return List("RIFF", "AVI ", {List("LIST", "hdrl", {AvihChunk()}), Chunk("idx1", entries)});
}

void ClickNode(TParserMain& w, std::int64_t node) {
    auto* model = static_cast<NodeTreeModel*>(w.TreeView1->model());
    const QModelIndex index = model->IndexOfNode(node);
    QVERIFY(index.isValid());
    w.TreeView1->scrollTo(index);
    QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, w.TreeView1->visualRect(index).center());
}

// The middle of the character at column of line, where the pane shows it now.
QPoint At(const LinePane* pane, std::int64_t line, int column) {
    const int width = QFontMetrics(pane->font()).horizontalAdvance(QLatin1Char('0'));
    const int top = pane->verticalScrollBar()->value();
    return {2 + column * width + width / 2 - pane->horizontalScrollBar()->value(),
            static_cast<int>(line - top) * pane->LineHeight() + pane->LineHeight() / 2};
}

bool InSight(const LinePane* pane, std::int64_t line) {
    const int top = pane->verticalScrollBar()->value();
    return line >= top && line < top + pane->viewport()->height() / pane->LineHeight();
}

std::int64_t LineStartingWith(const LinePane* pane, const QString& prefix, int k = 0) {
    for (std::int64_t i = 0; i < pane->LineCount(); ++i)
        if (pane->LineText(i).startsWith(prefix) && k-- == 0) return i;
    return -1;
}

// The lit columns of a dump row: the hexadecimal digits and the characters of bytes [first, last].
std::vector<std::pair<int, int>> LitColumns(const LinePane* pane, std::int64_t line, unsigned first, unsigned last) {
    const auto layout = ParseHexRow(pane->LineText(line).toStdString());
    if (!layout) return {};
    return {{static_cast<int>(layout->HexAt(first)), static_cast<int>(layout->HexAt(last) + 2)},
            {static_cast<int>(layout->CharAt(first)), static_cast<int>(layout->CharAt(last) + 1)}};
}

}  // namespace

class ByteLightTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TParserMain> window_;
    std::unique_ptr<TempFile> file_;
    TParserMain& Opened(const Bytes& contents, std::int64_t node) {
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        QApplication::setActiveWindow(window_.get());
        (void)QTest::qWaitForWindowActive(window_.get());
        file_ = std::make_unique<TempFile>(contents, "lit.avi");
        window_->OpenFile(QString::fromStdString(file_->Path()));
        ClickNode(*window_, node);
        return *window_;
    }

private slots:
    void cleanup() {
        window_.reset();
        file_.reset();
    }

    void clickOnALineLightsItsBytesAndArrowKeysMoveOn() {
        TParserMain& w = Opened(LitAvi(), 3);  // avih
        const std::int64_t width = LineStartingWith(w.BOX_Description, QStringLiteral("Width"));
        QCOMPARE(width, 14);
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::LeftButton, {}, At(w.BOX_Description, width, 3));
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(14));
        QCOMPARE(w.BOX_Description->CurrentLine(), std::optional<std::int64_t>(14));
        // Bytes 64 to 67: the dump of the avih (from 24) shows them in row 0x40, columns 0 to 3.
        const std::int64_t row = LineStartingWith(w.FILEInfo, QStringLiteral("00000040:"));
        QVERIFY(row > 0);
        QCOMPARE(w.FILEInfo->MarksAt(row), LitColumns(w.FILEInfo, row, 0, 3));
        QVERIFY(w.FILEInfo->MarksAt(row - 1).empty());

        // The arrow keys move the line and the light with it; a heading lights nothing.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.BOX_Description));
        QTest::keyClick(w.BOX_Description, Qt::Key_Down);
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(15));
        QCOMPARE(w.FILEInfo->MarksAt(row), LitColumns(w.FILEInfo, row, 4, 7));
        QTest::keyClick(w.BOX_Description, Qt::Key_Up);
        QTest::keyClick(w.BOX_Description, Qt::Key_Up);
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(13));
        QTest::keyClick(w.BOX_Description, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(w.BOX_Description->CurrentLine(), std::optional<std::int64_t>(0));
        QVERIFY(!w.Doc().Highlight().has_value());  // "Start offset" was not read
        QVERIFY(w.FILEInfo->MarksAt(row).empty());
        QTest::keyClick(w.BOX_Description, Qt::Key_Down);
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(1));

        // A line whose bytes lie far down the dump scrolls them into sight.
        ClickNode(w, 4);  // idx1: 300 entries, 300 rows
        const std::int64_t last = LineStartingWith(w.BOX_Description, QStringLiteral("   Chunk Length"), 299);
        QVERIFY(last > 0);
        w.BOX_Description->ScrollToLine(last);
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::LeftButton, {}, At(w.BOX_Description, last, 5));
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(last));
        const std::int64_t lit = *w.Doc().DumpLineOf(w.Doc().Highlight()->offset);
        QVERIFY(InSight(w.FILEInfo, lit));
        QVERIFY(!w.FILEInfo->MarksAt(lit).empty());
    }

    void clickOnAByteSelectsItsLineAndADragStillSelectsText() {
        TParserMain& w = Opened(LitAvi(), 4);  // idx1
        const ChunkRecord& idx1 = w.Doc().Avi()->records.back();
        // The flags of entry 250 (from idx1 + 8 + 250 * 16 + 4): their row is far down the dump.
        const std::uint64_t byte = idx1.offset + 8 + 250 * 16 + 5;
        const std::int64_t row = *w.Doc().DumpLineOf(byte);
        w.FILEInfo->ScrollToLine(row);
        const auto layout = ParseHexRow(w.FILEInfo->LineText(row).toStdString());
        QVERIFY(layout.has_value());
        QTest::mouseClick(w.FILEInfo->viewport(), Qt::LeftButton, {},
                          At(w.FILEInfo, row, static_cast<int>(layout->HexAt(byte & 15))));
        const std::int64_t flags = LineStartingWith(w.BOX_Description, QStringLiteral("   Flags"), 250);
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(flags));
        QCOMPARE(w.BOX_Description->CurrentLine(), std::optional<std::int64_t>(flags));
        QVERIFY(InSight(w.BOX_Description, flags));
        QVERIFY(!w.FILEInfo->HasSelection());
        // The character column of a byte counts as the byte.
        QTest::mouseClick(w.FILEInfo->viewport(), Qt::LeftButton, {},
                          At(w.FILEInfo, row, static_cast<int>(layout->CharAt((byte - 5) & 15))));
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(flags - 1));  // the CkID of that entry

        // A drag selects text and selects no line.
        const QPoint from = At(w.FILEInfo, row, 12), to = At(w.FILEInfo, row + 1, 20);
        QTest::mousePress(w.FILEInfo->viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, w.FILEInfo->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w.FILEInfo->viewport(), &move);
        QTest::mouseRelease(w.FILEInfo->viewport(), Qt::LeftButton, {}, to);
        QVERIFY(w.FILEInfo->HasSelection());
        QCOMPARE(w.Doc().SelectedLine(), std::optional<std::int64_t>(flags - 1));

        // A click beside the bytes (on the address) puts the light out.
        QTest::mouseClick(w.FILEInfo->viewport(), Qt::LeftButton, {}, At(w.FILEInfo, row, 2));
        QVERIFY(!w.Doc().SelectedLine().has_value());
        QVERIFY(!w.BOX_Description->CurrentLine().has_value());
    }

    void copyTakesTheSelectedTextElseTheLitBytes() {
        TParserMain& w = Opened(LitAvi(), 3);
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::LeftButton, {}, At(w.BOX_Description, 14, 3));
        w.FILEInfo->setFocus();
        QVERIFY(w.EditCopy1->isEnabled());
        QApplication::clipboard()->clear();
        QTest::keyClick(w.FILEInfo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("40 01 00 00"));

        // With a text selection, that text.
        w.FILEInfo->Select({2, 0}, {2, 9});
        w.EditCopy1->trigger();
        QCOMPARE(QApplication::clipboard()->text(), w.FILEInfo->LineText(2).left(9));

        // Nothing lit and nothing selected: nothing to copy.
        w.FILEInfo->clearSelection();
        QVERIFY(w.EditCopy1->isEnabled());
        w.Button1->click();  // Read Offset clears the light
        QVERIFY(!w.Doc().Highlight().has_value());
        w.FILEInfo->setFocus();
        QVERIFY(!w.EditCopy1->isEnabled());
        w.BOX_Description->setFocus();
        QVERIFY(!w.EditCopy1->isEnabled());
    }

    // A sparse file: 4 GiB of JUNK, then a RIFF whose avih lies past 4 GiB.
    void offsetPastFourGiBTypesSixteenDigits() {
        const std::uint32_t junk = 0xFFFFFFF0;
        const Bytes riff = List("RIFF", "AVI ", {List("LIST", "hdrl", {AvihChunk()})});
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        file_ = std::make_unique<TempFile>(Cat({Text("JUNK"), LE32(junk)}), "far.avi");
        std::FILE* f = std::fopen(file_->Path().c_str(), "r+b");
        QVERIFY(f != nullptr);
        QCOMPARE(fseeko(f, 8 + std::int64_t{junk}, SEEK_SET), 0);
        QCOMPARE(std::fwrite(riff.data(), 1, riff.size(), f), riff.size());
        std::fclose(f);
        TParserMain& w = *window_;
        w.OpenFile(QString::fromStdString(file_->Path()));
        ClickNode(w, 4);  // avih, at 0x100000010
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("100000010"));
        QCOMPARE(w.FILEInfo->LineText(2).left(10), QStringLiteral("100000010:"));

        // The file is past 4 GiB: typing goes on to sixteen digits, no further; a backspace or a
        // change in place still works.
        w.OffsetEdit->setFocus();
        w.OffsetEdit->end(false);
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("7"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("1000000107"));
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("89ABCDEF0"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("100000010789ABCD"));
        for (int i = 0; i < 7; ++i) QTest::keyClick(w.OffsetEdit, Qt::Key_Backspace);
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("100000010"));
        w.OffsetEdit->setSelection(8, 1);
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("8"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("100000018"));

        // Read Offset reads all nine digits.
        w.SizeEdit->SetProgramText(QStringLiteral("4"));
        w.Button1->click();
        QCOMPARE(w.StatusText->text(), QStringLiteral("Memory Read Range (0X100000018 ~ 0X10000001C)"));
        QCOMPARE(w.FILEInfo->LineText(2).left(10), QStringLiteral("100000010:"));
        QTest::keyClick(w.OffsetEdit, Qt::Key_Backspace);
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("10000001"));
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("2"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("100000012"));

        // A line past 4 GiB lights its bytes in the nine-digit rows of the dump.
        ClickNode(w, 4);
        QTest::mouseClick(w.BOX_Description->viewport(), Qt::LeftButton, {}, At(w.BOX_Description, 15, 3));
        const std::int64_t row = LineStartingWith(w.FILEInfo, QStringLiteral("100000030:"));
        QVERIFY(row > 0);
        QCOMPARE(w.FILEInfo->MarksAt(row), LitColumns(w.FILEInfo, row, 12, 15));  // the height, at 0x10000003C
    }
};

QTEST_MAIN(ByteLightTest)
#include "ByteLightTest.moc"
