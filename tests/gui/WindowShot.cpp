// For screenshots under Xvfb: the window as the user would see it after
// opening FILE and clicking the tree node with absolute index NODE.
// Without arguments it shows the window as it starts; --about opens the about box.
//   kestrova_window_shot [--about] [FILE [NODE]]

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdlib>
#include <iostream>

#include "shell/qt/AboutBox.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/ParserMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kestrova::TParserMain window;
    kestrova::TOrvAboutBox aboutBox(&window);
    window.SetAboutBox(&aboutBox);
    window.move(0, 0);
    window.show();

    QStringList args = QApplication::arguments();
    if (args.size() >= 2 && args.at(1) == QLatin1String("--about")) {
        args.removeAt(1);
        QTimer::singleShot(600, &window, [&window] { window.HelpAbout1->trigger(); });
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
    }
    return QApplication::exec();
}
