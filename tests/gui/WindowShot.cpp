// For screenshots under Xvfb: the window as the user would see it after
// opening FILE, clicking the tree node with absolute index NODE and then line
// LINE (from 0) of the description, which lights that line's bytes.
// Without arguments it shows the window as it starts; --about opens the about box;
// --graph opens the stream graph on track TRACK (0-based), showing its first SPAN
// seconds (0: all of it), with the pointer resting at HOVER percent of the plot's width;
// --full opens the file in the full view; --size W H makes the window that large,
// so a wide description fits in the picture; --find TEXT types TEXT into the find bar
// and presses Enter once the file is open.
//   kestrova_window_shot [--size W H] [--about | --graph TRACK SPAN HOVER] [--find TEXT] [--full] [FILE [NODE [LINE]]]

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdlib>
#include <iostream>

#include "shell/qt/AboutBox.h"
#include "shell/qt/FindBar.h"
#include "shell/qt/GraphView.h"
#include "shell/qt/LinePane.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"
#include "shell/qt/StreamGraph.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kestrova::TParserMain window;
    kestrova::TOrvAboutBox aboutBox(&window);
    window.SetAboutBox(&aboutBox);
    window.move(0, 0);
    window.show();

    QStringList args = QApplication::arguments();
    if (args.size() >= 4 && args.at(1) == QLatin1String("--size")) {
        window.resize(args.at(2).toInt(), args.at(3).toInt());
        args.remove(1, 3);
    }
    if (args.size() >= 2 && args.at(1) == QLatin1String("--about")) {
        args.removeAt(1);
        QTimer::singleShot(600, &window, [&window] { window.HelpAbout1->trigger(); });
    }
    if (args.size() >= 5 && args.at(1) == QLatin1String("--graph")) {
        const int track = args.at(2).toInt();
        const double span = args.at(3).toDouble();
        const double hover = args.at(4).toDouble() / 100.0;
        args.remove(1, 4);
        QTimer::singleShot(400, &window, [&window, track, span, hover] {
            window.StreamGraph1->trigger();
            kestrova::StreamGraphWindow* graph = window.GraphWindow();
            if (!graph) return;
            graph->move(0, 0);
            graph->ChooseTrack(track);
            if (span > 0) graph->Graph->SetViewRange(0, span);
            QTimer::singleShot(300, graph, [graph, hover] {
                const QRect plot = graph->Graph->PlotRect();
                const QPoint at(plot.left() + static_cast<int>(plot.width() * hover), plot.center().y());
                QTest::mouseMove(graph->Graph, at);
            });
        });
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("--find")) {
        const QString text = args.at(2);
        args.remove(1, 2);
        QTimer::singleShot(500, &window, [&window, text] {
            window.FindBar1->Open();
            QTest::keyClicks(window.FindBar1->FindEdit, text);
            QTest::keyClick(window.FindBar1->FindEdit, Qt::Key_Return);
        });
    }
    if (args.size() >= 2 && args.at(1) == QLatin1String("--full")) {
        args.removeAt(1);
        window.FullView1->setChecked(true);
    }
    if (args.size() >= 2) {
        window.OpenFile(args.at(1));
        if (args.size() >= 3) {
            const std::int64_t node = args.at(2).toLongLong();
            QTimer::singleShot(300, &window, [&window, node] {
                auto* model = static_cast<kestrova::NodeTreeModel*>(window.TreeView1->model());
                const QModelIndex index = model->IndexOfNode(node);
                if (!index.isValid()) {
                    std::cerr << "no node " << node << '\n';
                    return;
                }
                window.TreeView1->scrollTo(index);
                QTest::mouseClick(window.TreeView1->viewport(), Qt::LeftButton, {},
                                  window.TreeView1->visualRect(index).center());
            });
        }
        if (args.size() >= 4) {
            const std::int64_t line = args.at(3).toLongLong();
            QTimer::singleShot(900, &window, [&window, line] {
                kestrova::LinePane* pane = window.BOX_Description;
                if (line < 0 || line >= pane->LineCount()) {
                    std::cerr << "no line " << line << '\n';
                    return;
                }
                pane->ScrollToLine(line);
                const int y = static_cast<int>(line - pane->verticalScrollBar()->value()) * pane->LineHeight() +
                              pane->LineHeight() / 2;
                QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(20, y));
            });
        }
    }
    return QApplication::exec();
}
