// The main window under the offscreen platform: menus, toolbar, entries,
// drops, the about box, the message box and the tree.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include "GuiFixtures.h"
#include "shell/qt/AboutBox.h"
#include "shell/qt/FindBar.h"
#include "shell/qt/HexEntry.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"
#include "shell/qt/SystemSettings.h"

using namespace kestrova;
using namespace kestrova::test;

namespace {

void Drop(QWidget* target, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void ClickNode(TParserMain& w, std::int64_t node) {
    auto* model = static_cast<NodeTreeModel*>(w.TreeView1->model());
    const QModelIndex index = model->IndexOfNode(node);
    QVERIFY(index.isValid());
    w.TreeView1->scrollTo(index);
    QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, w.TreeView1->visualRect(index).center());
}

void CheckExpandedUnder(QTreeView* view, const QModelIndex& parent, int& visited) {
    for (int row = 0; row < view->model()->rowCount(parent); ++row) {
        const QModelIndex child = view->model()->index(row, 0, parent);
        ++visited;
        if (view->model()->hasChildren(child)) QVERIFY2(view->isExpanded(child), qPrintable(child.data().toString()));
        CheckExpandedUnder(view, child, visited);
    }
}

}  // namespace

class ParserMainTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TParserMain> window_;
    TParserMain& Shown() {
        window_ = std::make_unique<TParserMain>(RegionalSettings{});
        window_->show();
        window_->activateWindow();
        QApplication::setActiveWindow(window_.get());
        (void)QTest::qWaitForWindowActive(window_.get());
        return *window_;
    }

private slots:
    void cleanup() { window_.reset(); }

    void menusHaveTheirTextsShortcutsAndStates() {
        TParserMain& w = Shown();
        const QList<QAction*> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), 5);
        QCOMPARE(bar[0]->text(), QStringLiteral("&File"));
        QCOMPARE(bar[0]->statusTip(), QStringLiteral("File related commands"));
        QCOMPARE(bar[1]->text(), QStringLiteral("&Edit"));
        QCOMPARE(bar[1]->statusTip(), QStringLiteral("Edit commands"));
        QCOMPARE(bar[2]->text(), QStringLiteral("&View"));  // the full view and the stream graph
        // Reload is a command on the bar itself.
        QCOMPARE(bar[3], w.Reload1);
        QVERIFY(bar[3]->menu() == nullptr);
        QCOMPARE(bar[4]->text(), QStringLiteral("&Help"));
        QCOMPARE(bar[4]->statusTip(), QStringLiteral("Help topics"));

        struct Item {
            QAction* action;
            const char* text;
            QKeySequence shortcut;
            bool enabled;
            const char* toolTip;
            const char* statusTip;
        };
        const Item items[] = {
            {w.FileNew1, "&New", QKeySequence(Qt::CTRL | Qt::Key_N), false, "New", "Create a new file"},
            {w.FileOpen1, "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), true, "Open", "Open a file"},
            {w.FileSave1, "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), false, "Save", "Save current file"},
            {w.FileSaveAs1, "Save &As...", QKeySequence(), false, "Save As", "Save current file with different name"},
            {w.FileExit1, "E&xit", QKeySequence(), true, "Exit", "Exit application"},
            {w.EditCut1, "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), false, "Cut",
             "Cuts the selection and puts it on the Clipboard"},
            {w.EditCopy1, "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), false, "Copy",
             "Copies the selection and puts it on the Clipboard"},
            {w.EditPaste1, "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), false, "Paste", "Inserts Clipboard contents"},
            {w.Reload1, "&Reload", QKeySequence(Qt::CTRL | Qt::Key_R), false, "Reload File", "Reload File"},
            {w.HelpAbout1, "&About...", QKeySequence(Qt::ALT | Qt::Key_A), true, "About", nullptr},
            {w.FullView1, "&Full View", QKeySequence(Qt::Key_F6), true, "Full View",
             "Decodes every box, each field lighting its bytes or bits"},
            {w.FileSavePicture1, "Save P&icture As...", QKeySequence(), false, "Save Picture As",
             "Writes the picture of the selected box to a file"},
        };
        for (const Item& item : items) {
            QCOMPARE(item.action->text(), QString::fromUtf8(item.text));
            QCOMPARE(item.action->shortcut(), item.shortcut);
            QCOMPARE(item.action->isEnabled(), item.enabled);
            QCOMPARE(item.action->toolTip(), QString::fromUtf8(item.toolTip));
            if (item.statusTip) QCOMPARE(item.action->statusTip(), QString::fromUtf8(item.statusTip));
        }
        QVERIFY(!w.HelpAbout1->statusTip().isEmpty());
        QCOMPARE(w.EditFind1->text(), QStringLiteral("&Find"));
        QCOMPARE(w.EditFind1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        // Find opens the find bar.
        QVERIFY(w.EditFind1->isEnabled());

        const QList<QAction*> file = w.File1->actions();
        QCOMPARE(file[0], w.FileNew1);
        QCOMPARE(file[1], w.FileOpen1);
        QVERIFY(file.indexOf(w.FileSave1) > 1);
        QCOMPARE(file.indexOf(w.FileSaveAs1), file.indexOf(w.FileSave1) + 1);
        const QList<QAction*> tail = file.mid(file.indexOf(w.FileSaveAs1) + 1);
        QCOMPARE(tail.size(), 6);
        QVERIFY(tail[0]->isSeparator());
        QCOMPARE(tail[1], w.FileExportDescription1);
        QCOMPARE(tail[2], w.FileExportJson1);
        QCOMPARE(tail[3], w.FileSavePicture1);
        QVERIFY(tail[4]->isSeparator());
        QCOMPARE(tail[5], w.FileExit1);
        const QList<QAction*> edit = w.Edit1->actions();
        QCOMPARE(edit.size(), 9);
        QCOMPARE(edit.first(7), (QList<QAction*>{w.EditCut1, w.EditCopy1, w.EditPaste1, w.EditFind1, w.EditFindNext1,
                                                 w.EditFindPrevious1, w.GoToOffset1}));
        QVERIFY(edit[7]->isSeparator());
        QCOMPARE(edit[8], w.EditCopyPath1);
        QCOMPARE(w.Help1->actions(), QList<QAction*>{w.HelpAbout1});
        const QList<QAction*> view = w.View1->actions();
        QCOMPARE(view.size(), 5);
        QCOMPARE(view.first(2), (QList<QAction*>{w.FullView1, w.StreamGraph1}));
        QVERIFY(view[2]->isSeparator());
        QCOMPARE(view.mid(3), (QList<QAction*>{w.GoBack1, w.GoForward1}));
        QVERIFY(w.FullView1->isCheckable());
        QVERIFY(!w.FullView1->isChecked());
    }

    void findOpensTheFindBar() {
        TParserMain& w = Shown();
        QSignalSpy triggered(w.EditFind1, &QAction::triggered);
        w.BOX_Description->setFocus();
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(triggered.count(), 1);
        QVERIFY(w.FindBar1->isVisible());
        QCOMPARE(QApplication::focusWidget(), w.FindBar1->FindEdit);
    }

    void windowStartsAsLaidOut() {
        TParserMain& w = Shown();
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1"));
        QCOMPARE(w.width(), 1001);
        QCOMPARE(w.height() - w.menuBar()->height(), 564);
        QCOMPARE(w.ToolBar1->height(), 30);
        QCOMPARE(w.TreeView1->width(), 215);
        QCOMPARE(w.FILEInfo->width(), 483);
        QCOMPARE(w.BOX_Description->width(), 1001 - 215 - 483);
        QVERIFY(w.TreeView1->x() < w.BOX_Description->x());
        QVERIFY(w.BOX_Description->x() < w.FILEInfo->x());
        QCOMPARE(w.TreeView1->indentation(), 19);
        QVERIFY(w.TreeView1->editTriggers() == QAbstractItemView::NoEditTriggers);
        for (QWidget* pane : {static_cast<QWidget*>(w.TreeView1), static_cast<QWidget*>(w.BOX_Description),
                              static_cast<QWidget*>(w.FILEInfo)}) {
            QCOMPARE(pane->font().pixelSize(), 12);
            // Fixed pitch, and Hangul exactly two columns (fonts-nanum), so that labels line up.
            const QFontMetrics fm(pane->font());
            const int column = fm.horizontalAdvance(QLatin1Char('0'));
            for (const QChar c : QStringLiteral("imW :.-"))
                QVERIFY2(fm.horizontalAdvance(c) == column, qPrintable(pane->objectName() + QLatin1Char(' ') + c));
            QCOMPARE(fm.horizontalAdvance(QStringLiteral("수정 사항")), 9 * column);
        }
        QVERIFY(w.BOX_Description->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
        QVERIFY(w.FILEInfo->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);

        // The toolbar, left to right.
        QList<QWidget*> order;
        for (QAction* a : w.ToolBar1->actions()) {
            if (a->isSeparator()) order << nullptr;
            else order << w.ToolBar1->widgetForAction(a);
        }
        QVERIFY(order.size() >= 9);
        QCOMPARE(order[0], static_cast<QWidget*>(w.ToolButton1));
        QVERIFY(order[1] == nullptr);
        QCOMPARE(order[2], static_cast<QWidget*>(w.ToolButton4));
        QStringList labels;
        for (QWidget* widget : order)
            if (auto* label = qobject_cast<QLabel*>(widget)) labels << label->text();
        QCOMPARE(labels, (QStringList{QStringLiteral("Offset   0x"), QStringLiteral("  Size   0x")}));
        QVERIFY(order.indexOf(w.OffsetEdit) < order.indexOf(w.SizeEdit));
        QVERIFY(order.indexOf(w.SizeEdit) < order.indexOf(w.Button1));
        QCOMPARE(order.indexOf(w.Button1), order.indexOf(w.FullViewCheck) - 2);  // a gap between them
        QCOMPARE(order.last(), static_cast<QWidget*>(w.FullViewCheck));
        QCOMPARE(w.FullViewCheck->text(), QStringLiteral("Full View"));
        QVERIFY(!w.FullViewCheck->isChecked());

        QVERIFY(!w.ToolButton1->icon().isNull());
        QCOMPARE(w.ToolButton1->defaultAction(), w.FileOpen1);
        QCOMPARE(w.ToolButton4->text(), QStringLiteral("Reload"));
        QCOMPARE(w.ToolButton4->toolTip(), QStringLiteral("Reload File"));
        QVERIFY(!w.ToolButton4->isEnabled());
        QCOMPARE(w.Button1->text(), QStringLiteral("Read Offset"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("0"));
        QCOMPARE(w.OffsetEdit->TypingLimit(), 8);
        QCOMPARE(w.SizeEdit->text(), QStringLiteral("0"));
        QCOMPARE(w.SizeEdit->TypingLimit(), 6);

        QCOMPARE(PaneLines(w.BOX_Description), ToQt(WelcomeText()));
        QVERIFY(PaneLines(w.BOX_Description).contains(QStringLiteral("[수정 사항]")));
        QCOMPARE(w.FILEInfo->LineCount(), 0);
        QCOMPARE(w.TreeView1->model()->rowCount(), 0);
        for (const char* name : {"ToolButton1", "ToolButton4", "OffsetEdit", "SizeEdit", "Button1", "TreeView1",
                                 "BOX_Description", "FILEInfo", "StatusBar", "Reload1", "FileOpen1"})
            QVERIFY2(w.findChild<QObject*>(QLatin1String(name)) != nullptr, name);
    }

    void statusBarShowsLongHintsAndKeepsTheStatus() {
        TParserMain& w = Shown();
        w.OpenFile(QStringLiteral("/nonexistent/dir/a.mp4"));
        QCOMPARE(w.StatusText->text(), QStringLiteral("File Open Fail!!! - /nonexistent/dir/a.mp4"));
        w.FileOpen1->showStatusText(&w);
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Open a file"));
        QStatusTipEvent leave{QString()};
        QApplication::sendEvent(&w, &leave);
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        QVERIFY(w.StatusText->isVisible());
        QCOMPARE(w.StatusText->text(), QStringLiteral("File Open Fail!!! - /nonexistent/dir/a.mp4"));

        // Pointing at a menu title or at a toolbar button shows its long hint.
        const QPoint help = w.menuBar()->actionGeometry(w.Help1->menuAction()).center();
        QMouseEvent move(QEvent::MouseMove, help, w.menuBar()->mapToGlobal(help), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w.menuBar(), &move);
        QTRY_COMPARE(w.statusBar()->currentMessage(), QStringLiteral("Help topics"));
        QTest::mouseMove(w.ToolButton1, w.ToolButton1->rect().center());
        QTRY_COMPARE(w.statusBar()->currentMessage(), QStringLiteral("Open a file"));
        QCOMPARE(w.ToolButton1->toolTip(), QStringLiteral("Open"));
    }

    void reloadIsEnabledFromTheFirstOpenAttemptOn() {
        TParserMain& w = Shown();
        QVERIFY(!w.Reload1->isEnabled());
        QVERIFY(!w.ToolButton4->isEnabled());
        w.OpenFile(QStringLiteral("/nonexistent/dir/gone.mp4"));
        QVERIFY(w.Reload1->isEnabled());
        QVERIFY(w.ToolButton4->isEnabled());
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1 - gone.mp4"));
        QCOMPARE(w.TreeView1->model()->rowCount(), 1);
        QCOMPARE(w.TreeView1->model()->rowCount(w.TreeView1->model()->index(0, 0)), 0);
        QCOMPARE(w.TreeView1->model()->index(0, 0).data().toString(), QStringLiteral("gone.mp4"));
        QCOMPARE(w.BOX_Description->LineCount(), 0);

        // Ctrl+R re-reads the same path: now it is there.
        TempFile file(SampleMp4(), "gone.mp4");
        w.OpenFile(QString::fromStdString(file.Path()));
        QFile::remove(QString::fromStdString(file.Path()));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(w.StatusText->text(), QStringLiteral("File Open Fail!!! - ") + QString::fromStdString(file.Path()));
        QVERIFY(w.Reload1->isEnabled());
        QCOMPARE(w.TreeView1->model()->rowCount(w.TreeView1->model()->index(0, 0)), 0);
    }

    void entriesFilterTypedKeysAndLimitTheirLength() {
        TParserMain& w = Shown();
        for (HexEntry* entry : {w.OffsetEdit, w.SizeEdit}) {
            entry->setFocus();
            entry->clear();
            QTest::keyClicks(entry, QStringLiteral("gGx "));
            QTest::keyClick(entry, Qt::Key_G, Qt::ShiftModifier);
            QCOMPARE(entry->text(), QString());
            QTest::keyClicks(entry, QStringLiteral("c"));
            QCOMPARE(entry->text(), QStringLiteral("C"));
            QTest::keyClick(entry, Qt::Key_Backspace);
            QCOMPARE(entry->text(), QString());
            QTest::keyClicks(entry, QStringLiteral("0a1b-2cz3d.4eF5678"));
            const QString expected = QStringLiteral("0A1B2C3D4EF5678").left(entry->TypingLimit());
            QCOMPARE(entry->text(), expected);
        }
        QCOMPARE(w.OffsetEdit->text().size(), 8);
        QCOMPARE(w.SizeEdit->text().size(), 6);
        // What was typed is what the Document holds.
        QCOMPARE(QString::fromStdString(w.Doc().OffsetEditText()), w.OffsetEdit->text());
        QCOMPARE(QString::fromStdString(w.Doc().SizeEditText()), w.SizeEdit->text());
    }

    void readOffsetDumpsTheTypedRange() {
        TParserMain& w = Shown();
        TempFile file(SampleMp4());
        w.OpenFile(QString::fromStdString(file.Path()));
        w.OffsetEdit->clear();
        QTest::keyClicks(w.OffsetEdit, QStringLiteral("f"));
        w.SizeEdit->clear();
        QTest::keyClicks(w.SizeEdit, QStringLiteral("2"));
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        QCOMPARE(w.StatusText->text(), QStringLiteral("Memory Read Range (0X0000000F ~ 0X00000011)"));
        QCOMPARE(w.FILEInfo->LineCount(), 4);
        QVERIFY(w.FILEInfo->LineText(2).startsWith(QStringLiteral("00000000:")));
        QVERIFY(w.FILEInfo->LineText(3).startsWith(QStringLiteral("00000010:")));
        QCOMPARE(w.SizeEdit->text(), QStringLiteral("2"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("F"));
    }

    void readOffsetOfAnInvalidIntegerRaisesTheMessageBox() {
        TParserMain& w = Shown();
        TempFile file(SampleMp4());
        w.OpenFile(QString::fromStdString(file.Path()));
        const QStringList before = PaneLines(w.FILEInfo);
        w.OffsetEdit->clear();

        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool modal = false;
        ModalWatch watch([&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            modal = dialog->isModal();
            if (box) {
                text = box->text();
                icon = box->icon();
            }
        });
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        QVERIFY(watch.Seen());
        QVERIFY(modal);
        QCOMPARE(text, QStringLiteral("'0x' is not a valid integer value"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(QString::fromStdString(w.Doc().MessageBox().value_or("")), text);
        QCOMPARE(PaneLines(w.FILEInfo), before);

        // Pasting can bring what typing cannot.
        QApplication::clipboard()->setText(QStringLiteral("1g"));
        QApplication::setActiveWindow(&w);
        w.OffsetEdit->setFocus();
        QVERIFY(w.EditPaste1->isEnabled());
        w.EditPaste1->trigger();
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("1g"));
        ModalWatch again([&](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) text = box->text();
        });
        QTest::mouseClick(w.Button1, Qt::LeftButton);
        QVERIFY(again.Seen());
        QCOMPARE(text, QStringLiteral("'0x1g' is not a valid integer value"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("1g"));
    }

    void editCommandsFollowTheFocusedTextControl() {
        TParserMain& w = Shown();
        QApplication::clipboard()->clear();
        w.OffsetEdit->setFocus();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.OffsetEdit));
        w.OffsetEdit->setText(QStringLiteral("12AB"));
        w.OffsetEdit->deselect();
        QVERIFY(!w.EditCut1->isEnabled());
        QVERIFY(!w.EditCopy1->isEnabled());
        QVERIFY(!w.EditPaste1->isEnabled());
        w.OffsetEdit->setSelection(0, 2);
        QVERIFY(w.EditCut1->isEnabled());
        QVERIFY(w.EditCopy1->isEnabled());
        w.EditCut1->trigger();
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("AB"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
        QVERIFY(w.EditPaste1->isEnabled());
        w.EditPaste1->trigger();
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("12AB"));

        // The panes are read-only: copy only.
        w.BOX_Description->setFocus();
        QVERIFY(!w.EditCopy1->isEnabled());
        w.BOX_Description->selectAll();
        QVERIFY(w.EditCopy1->isEnabled());
        QVERIFY(!w.EditCut1->isEnabled());
        QVERIFY(!w.EditPaste1->isEnabled());
        QTest::keyClick(w.BOX_Description, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), ToQt(WelcomeText()).join(QLatin1Char('\n')));
        QApplication::clipboard()->clear();
        w.EditCopy1->trigger();
        QCOMPARE(QApplication::clipboard()->text().split(QLatin1Char('\n')).size(), 23);

        // Anything else focused: nothing applies.
        w.TreeView1->setFocus();
        QVERIFY(!w.EditCut1->isEnabled());
        QVERIFY(!w.EditCopy1->isEnabled());
        QVERIFY(!w.EditPaste1->isEnabled());
    }

    void openDialogOpensTheChosenFile() {
        TParserMain& w = Shown();
        TempFile file(SampleMp4(), "chosen");
        const QString path = QString::fromStdString(file.Path());
        QStringList filters;
        QString title;
        ModalWatch watch([&](QDialog* dialog) {
            auto* fd = qobject_cast<QFileDialog*>(dialog);
            if (!fd) return;
            filters = fd->nameFilters();
            title = fd->windowTitle();
            // A focused name field keeps what the user typed; choose as if by clicking.
            if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
            fd->selectFile(path);
            static_cast<QDialog*>(fd)->accept();
        });
        w.FileOpen1->trigger();
        QVERIFY(watch.Seen());
        QCOMPARE(filters, QStringList{QStringLiteral("All Files (*.*)")});
        QCOMPARE(title, QStringLiteral("Open"));
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1 - chosen"));
        QCOMPARE(w.StatusText->text(), QStringLiteral("chosen Open"));

        // The dialog starts on the current file; cancelling changes nothing.
        QStringList selected;
        ModalWatch again([&](QDialog* dialog) {
            if (auto* fd = qobject_cast<QFileDialog*>(dialog)) selected = fd->selectedFiles();
            dialog->reject();
        });
        QApplication::setActiveWindow(&w);
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(again.Seen());
        QCOMPARE(selected, QStringList{path});
        QCOMPARE(w.StatusText->text(), QStringLiteral("chosen Open"));
    }

    void dropOfOneFileOpensItAndOfTwoReopensTheCurrent() {
        TParserMain& w = Shown();
        // Before any open, a drop of two takes no name and fails on the empty path.
        TempFile a(SampleMp4("isom"), "first.mp4");
        TempFile b(SampleMp4("mp42"), "second.mp4");
        const QString pathA = QString::fromStdString(a.Path());
        const QString pathB = QString::fromStdString(b.Path());
        Drop(&w, {pathA, pathB});
        QCOMPARE(w.StatusText->text(), QStringLiteral("File Open Fail!!! - "));
        QVERIFY(w.Reload1->isEnabled());

        Drop(w.BOX_Description, {pathA});
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1 - first.mp4"));
        QCOMPARE(w.StatusText->text(), QStringLiteral("first.mp4 Open"));
        QCOMPARE(w.TreeView1->model()->index(0, 0).data().toString(), QStringLiteral("first.mp4"));

        // Dropping on an entry opens too, and types nothing into it.
        Drop(w.OffsetEdit, {pathB});
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1 - second.mp4"));
        QCOMPARE(w.OffsetEdit->text(), QStringLiteral("0"));

        ClickNode(w, 1);
        QVERIFY(w.BOX_Description->LineCount() > 0);
        Drop(&w, {pathA, pathB});
        QCOMPARE(w.windowTitle(), QStringLiteral("(ORV) Kestrova 0.6.1 - second.mp4"));
        QCOMPARE(w.StatusText->text(), QStringLiteral("second.mp4 Open"));
        // Re-opened: the view was reset.
        QCOMPARE(w.BOX_Description->LineCount(), 0);
        QCOMPARE(w.TreeView1->currentIndex().data().toString(), QStringLiteral("second.mp4"));
    }

    void openShowsTheTreeExpandedWithTheRootSelected() {
        TParserMain& w = Shown();
        TempFile file(SampleMp4(), "tree.mp4");
        w.OpenFile(QString::fromStdString(file.Path()));
        Document reference;
        reference.OpenFile(file.Path());

        QTreeView* view = w.TreeView1;
        QCOMPARE(view->model()->rowCount(), 1);
        const QModelIndex root = view->model()->index(0, 0);
        QCOMPARE(view->currentIndex(), root);
        QVERIFY(view->selectionModel()->isSelected(root));
        int visited = 0;
        CheckExpandedUnder(view, {}, visited);
        QCOMPARE(static_cast<std::size_t>(visited), reference.Tree().Count());
        QVERIFY(visited >= 7);
        QCOMPARE(QString::fromStdString(reference.Tree().Nodes()[1].caption), QStringLiteral("ftyp"));

        // Selected by program: no click ran, so the description pane is empty and the summary is in FILEInfo.
        QCOMPARE(w.BOX_Description->LineCount(), 0);
        QCOMPARE(PaneLines(w.FILEInfo), ToQt(reference.FileInfoPane().Lines()));
        QCOMPARE(w.StatusText->text(), QStringLiteral("tree.mp4 Open"));
    }

    void clickOnANodeFillsThePanesAndKeyboardMovesDoNot() {
        TParserMain& w = Shown();
        TempFile file(SampleMp4());
        w.OpenFile(QString::fromStdString(file.Path()));
        Document reference;
        reference.OpenFile(file.Path());

        ClickNode(w, 1);
        reference.TreeView1Click(1);
        QVERIFY(PaneLines(w.BOX_Description).contains(QStringLiteral("Box Type : ftyp (0X66747970)")));
        QCOMPARE(PaneLines(w.BOX_Description), ToQt(reference.BoxDescriptionPane().Lines()));
        QCOMPARE(PaneLines(w.FILEInfo), ToQt(reference.FileInfoPane().Lines()));
        QCOMPARE(w.FILEInfo->LineText(0),
                 QStringLiteral("          00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ; 0123456789ABCDEF"));
        QCOMPARE(w.SizeEdit->text(), QStringLiteral("18"));
        QCOMPARE(w.StatusText->text(), QString::fromStdString(reference.StatusText()));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Keyboard: the selection moves, the panes stay.
        const QStringList description = PaneLines(w.BOX_Description);
        const QStringList info = PaneLines(w.FILEInfo);
        w.TreeView1->setFocus();
        QTest::keyClick(w.TreeView1, Qt::Key_Down);
        QTest::keyClick(w.TreeView1, Qt::Key_Down);
        QCOMPARE(NodeTreeModel::NodeOf(w.TreeView1->currentIndex()), 3);
        QCOMPARE(PaneLines(w.BOX_Description), description);
        QCOMPARE(PaneLines(w.FILEInfo), info);
        QCOMPARE(w.SizeEdit->text(), QStringLiteral("18"));

        // A click on another node, then on the root: the summary comes back.
        const std::int64_t last = static_cast<std::int64_t>(reference.Tree().Count()) - 1;
        ClickNode(w, last);
        reference.TreeView1Click(last);
        QCOMPARE(PaneLines(w.BOX_Description), ToQt(reference.BoxDescriptionPane().Lines()));
        QCOMPARE(PaneLines(w.FILEInfo), ToQt(reference.FileInfoPane().Lines()));
        ClickNode(w, 0);
        reference.TreeView1Click(0);
        QCOMPARE(PaneLines(w.BOX_Description), ToQt(reference.BoxDescriptionPane().Lines()));
        QCOMPARE(PaneLines(w.FILEInfo), ToQt(reference.FileInfoPane().Lines()));
    }

    void aboutBoxShowsItsTextsModally() {
        TParserMain& w = Shown();
        TOrvAboutBox about(&w);
        w.SetAboutBox(&about);
        about.Version_Label->setText(QString());

        QString title, version, product;
        bool versionBold = false, productBold = false, modal = false, isDefault = false;
        QSize size, minimum, maximum, picture, icon;
        ModalWatch watch([&](QDialog* dialog) {
            title = dialog->windowTitle();
            size = dialog->size();
            minimum = dialog->minimumSize();
            maximum = dialog->maximumSize();
            modal = dialog->isModal();
            version = about.Version_Label->text();
            versionBold = about.Version_Label->font().bold();
            if (auto* p = dialog->findChild<QLabel*>(QStringLiteral("ProductName"))) {
                product = p->text();
                productBold = p->font().bold();
            }
            if (auto* p = dialog->findChild<QLabel*>(QStringLiteral("ProgramPicture"))) picture = p->size();
            if (auto* p = dialog->findChild<QLabel*>(QStringLiteral("ProgramIcon"))) icon = p->size();
            isDefault = about.OKButton->isDefault();
            QTest::mouseClick(about.OKButton, Qt::LeftButton);
        });
        QSignalSpy accepted(&about, &QDialog::accepted);
        w.HelpAbout1->trigger();
        QVERIFY(watch.Seen());
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(title, QStringLiteral("About"));
        QCOMPARE(size, QSize(297, 219));
        QCOMPARE(minimum, size);
        QCOMPARE(maximum, size);
        QVERIFY(modal);
        QCOMPARE(version, QStringLiteral("Ver. 0.6.1"));
        QVERIFY(versionBold);
        QCOMPARE(product, QStringLiteral("Kestrova"));
        QVERIFY(productBold);
        QCOMPARE(picture, QSize(114, 138));
        QCOMPARE(icon, QSize(48, 48));
        QCOMPARE(about.OKButton->text(), QStringLiteral("OK"));
        QVERIFY(isDefault);
        // The three free labels hold one line each and stay inside the panel.
        auto* panel = about.findChild<QWidget*>(QStringLiteral("Panel1"));
        QVERIFY(panel);
        int free = 0;
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            if (label->pixmap().isNull() && label != about.Version_Label && label->objectName() != "ProductName") {
                ++free;
                QVERIFY(!label->text().contains(QLatin1Char('\n')));
                QVERIFY(panel->rect().contains(label->geometry()));
            }
        }
        QCOMPARE(free, 3);
        QVERIFY(about.OKButton->geometry().top() >= panel->geometry().bottom());
    }

    void regionalSettingsComeFromTheLocale() {
        const RegionalSettings german = RegionalSettingsFrom(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(QString::fromStdString(german.thousandsSeparator), QStringLiteral("."));
        QCOMPARE(QString::fromStdString(german.decimalSeparator), QStringLiteral(","));
        QVERIFY(QString::fromStdString(german.shortDatePattern).contains(QStringLiteral("MM")));
        const RegionalSettings english = RegionalSettingsFrom(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(QString::fromStdString(english.amText), QStringLiteral("AM"));
        QVERIFY(QString::fromStdString(english.longTimePattern).contains(QStringLiteral("AP"), Qt::CaseInsensitive));
        // The C locale holds no user settings: the defaults stay.
        const RegionalSettings none = RegionalSettingsFrom(QLocale::c());
        const RegionalSettings defaults;
        QCOMPARE(none.thousandsSeparator, defaults.thousandsSeparator);
        QCOMPARE(none.shortDatePattern, defaults.shortDatePattern);
        QCOMPARE(none.longTimePattern, defaults.longTimePattern);
    }
};

QTEST_MAIN(ParserMainTest)
#include "ParserMainTest.moc"
