// For screenshots under Xvfb: the window as the user would see it after
// opening FILE and clicking the tree node with absolute index NODE.
// Without arguments it shows the window as it starts.
//   kestrova_window_shot [FILE [NODE]]

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

    const QStringList args = QApplication::arguments();
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
