// The read-only line pane: large contents, scrolling, selection and copy, Korean text.

#include <QClipboard>
#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "GuiFixtures.h"
#include "shell/Pane.h"
#include "shell/qt/LinePane.h"

using namespace kestrova;

namespace {

QFont Fixed12() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    return font;
}

// The point in the viewport just right of the boundary before column of line.
QPoint At(const LinePane& pane, int line, int column) {
    const QFontMetrics fm(pane.font());
    return {2 + column * fm.horizontalAdvance(QLatin1Char('0')) + 1, line * pane.LineHeight() + pane.LineHeight() / 2};
}

}  // namespace

class LinePaneTest : public QObject {
    Q_OBJECT

private slots:
    void aMillionLinesScrollAndPaint() {
        Pane source;
        std::vector<std::string> lines;
        lines.reserve(1'000'000);
        for (int i = 0; i < 1'000'000; ++i) lines.push_back("#" + std::to_string(i) + "    : 1,234 (0X000004D2)");
        source.Replace(lines);
        LinePane pane;
        pane.setFont(Fixed12());
        pane.resize(483, 400);
        pane.SetSource(&source);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));

        QCOMPARE(pane.LineCount(), 1'000'000);
        QScrollBar* v = pane.verticalScrollBar();
        const int visible = pane.viewport()->height() / pane.LineHeight();
        QCOMPARE(v->maximum(), 1'000'000 - visible);
        QCOMPARE(v->pageStep(), visible);
        v->setValue(v->maximum());
        const QImage bottom = pane.viewport()->grab().toImage();
        QVERIFY(!bottom.isNull());
        const LinePane::Position last = pane.PositionAt(QPoint(2, (visible - 1) * pane.LineHeight() + 1));
        QCOMPARE(last.line, 999'999);
        QCOMPARE(pane.LineText(last.line), QStringLiteral("#999999    : 1,234 (0X000004D2)"));

        pane.selectAll();
        const QString all = pane.SelectedText();
        QVERIFY(all.startsWith(QStringLiteral("#0    : 1,234 (0X000004D2)\n#1    :")));
        QVERIFY(all.endsWith(QStringLiteral("\n#999999    : 1,234 (0X000004D2)")));
        QCOMPARE(all.count(QLatin1Char('\n')), 999'999);
    }

    void mouseSelectsAndCopyCopies() {
        Pane source;
        source.Replace({"Start offset : 0", "Box Size : 24", "Box Type : ftyp"});
        LinePane pane;
        pane.setFont(Fixed12());
        pane.resize(300, 200);
        pane.SetSource(&source);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QSignalSpy changed(&pane, &LinePane::selectionChanged);

        QCOMPARE(pane.PositionAt(At(pane, 0, 6)), (LinePane::Position{0, 6}));
        QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, At(pane, 0, 6));
        QMouseEvent move(QEvent::MouseMove, At(pane, 1, 3), pane.viewport()->mapToGlobal(At(pane, 1, 3)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane.viewport(), &move);
        QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, At(pane, 1, 3));
        QVERIFY(pane.HasSelection());
        QVERIFY(changed.count() >= 1);
        QCOMPARE(pane.SelectedText(), QStringLiteral("offset : 0\nBox"));

        QApplication::clipboard()->clear();
        pane.setFocus();
        QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("offset : 0\nBox"));

        // Dragging backwards selects the same way; past the last line reaches its end.
        pane.Select({2, 15}, {1, 4});
        QCOMPARE(pane.SelectedText(), QStringLiteral("Size : 24\nBox Type : ftyp"));
        QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, At(pane, 1, 0));
        QMouseEvent below(QEvent::MouseMove, At(pane, 9, 0), pane.viewport()->mapToGlobal(At(pane, 9, 0)),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pane.viewport(), &below);
        QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, At(pane, 9, 0));
        QCOMPARE(pane.SelectedText(), QStringLiteral("Box Size : 24\nBox Type : ftyp"));

        QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, At(pane, 2, 12));
        QCOMPARE(pane.SelectedText(), QStringLiteral("ftyp"));
        QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, At(pane, 0, 2));
        QVERIFY(!pane.HasSelection());
    }

    void newContentResetsSelectionAndScrolling() {
        Pane source;
        std::vector<std::string> lines(500, std::string(300, 'x'));
        source.Replace(lines);
        LinePane pane;
        pane.setFont(Fixed12());
        pane.resize(300, 200);
        pane.SetSource(&source);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        const int cw = QFontMetrics(pane.font()).horizontalAdvance(QLatin1Char('0'));
        QVERIFY(pane.horizontalScrollBar()->maximum() >= 300 * cw - pane.viewport()->width());
        pane.verticalScrollBar()->setValue(100);
        pane.horizontalScrollBar()->setValue(50);
        pane.Select({100, 1}, {120, 5});

        // Nothing changed: the view stays where the user left it.
        pane.Refresh();
        QCOMPARE(pane.verticalScrollBar()->value(), 100);
        QVERIFY(pane.HasSelection());

        source.Replace({"one", "two"});
        pane.Refresh();
        QCOMPARE(pane.LineCount(), 2);
        QCOMPARE(pane.verticalScrollBar()->value(), 0);
        QCOMPARE(pane.horizontalScrollBar()->value(), 0);
        QCOMPARE(pane.verticalScrollBar()->maximum(), 0);
        QVERIFY(!pane.HasSelection());

        source.Clear();
        pane.Refresh();
        QCOMPARE(pane.LineCount(), 0);
        pane.selectAll();
        QVERIFY(!pane.HasSelection());
        QCOMPARE(pane.PositionAt(QPoint(50, 50)), (LinePane::Position{0, 0}));
    }

    void bytesThatAreNoUtf8ShowAsReplacements() {
        Pane source;
        source.Replace({std::string("name : \xA9nam\xFF\xFE"), std::string("\xE2\x82"), "end"});
        LinePane pane;
        pane.setFont(Fixed12());
        pane.resize(200, 60);
        pane.SetSource(&source);
        QVERIFY(!pane.viewport()->grab().isNull());
        QCOMPARE(pane.LineText(0).left(7), QStringLiteral("name : "));
        QVERIFY(pane.LineText(0).contains(QChar::ReplacementCharacter));
        pane.selectAll();
        QVERIFY(pane.SelectedText().endsWith(QStringLiteral("\nend")));
    }

    void koreanTextRendersAsGlyphs() {
        // Distinct Hangul syllables must draw distinct shapes, not the same missing-glyph box.
        auto render = [](const char* text) {
            Pane source;
            source.Replace({text});
            LinePane pane;
            pane.setFont(Fixed12());
            pane.resize(200, 60);
            pane.SetSource(&source);
            return pane.viewport()->grab().toImage();
        };
        const QImage ga = render("가가가가 수정");
        const QImage na = render("나나나나 사항");
        const QImage blank = render("");
        QVERIFY(ga != blank);
        QVERIFY(ga != na);
        const QFontMetrics fm(Fixed12());
        QVERIFY(fm.horizontalAdvance(QStringLiteral("수정 사항")) > 4 * fm.horizontalAdvance(QLatin1Char('0')));
        QVERIFY(fm.inFontUcs4(0xC218) || QFontDatabase::families(QFontDatabase::Korean).size() > 0);
    }
};

QTEST_MAIN(LinePaneTest)
#include "LinePaneTest.moc"
