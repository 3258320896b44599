// The item model over the Document's node list.

#include <QAbstractItemModelTester>
#include <QTest>
#include <QTreeView>

#include "common/NodeList.h"
#include "shell/qt/NodeTreeModel.h"

using namespace kestrova;

class NodeTreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void mirrorsThePreorderList() {
        // root
        //   ftyp
        //   moov
        //     mvhd
        //     trak
        //       tkhd
        //   mdat
        NodeList nodes;
        nodes.Reset("file.mp4");
        nodes.Add("ftyp", 0);
        const auto moov = nodes.Add("moov", 0);
        nodes.Add("mvhd", moov);
        const auto trak = nodes.Add("trak", moov);
        nodes.Add("tkhd", trak);
        nodes.Add("mdat", 0);

        NodeTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.Rebuild(&nodes);

        QCOMPARE(model.rowCount(), 1);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("file.mp4"));
        QCOMPARE(model.rowCount(root), 3);
        QStringList top;
        for (int r = 0; r < 3; ++r) top << model.index(r, 0, root).data().toString();
        QCOMPARE(top, (QStringList{"ftyp", "moov", "mdat"}));
        const QModelIndex tkhd = model.IndexOfNode(5);
        QCOMPARE(tkhd.data().toString(), QStringLiteral("tkhd"));
        QCOMPARE(NodeTreeModel::NodeOf(tkhd.parent()), 4);
        QCOMPARE(NodeTreeModel::NodeOf(tkhd.parent().parent()), 2);
        QCOMPARE(tkhd.parent().row(), 1);
        QCOMPARE(NodeTreeModel::NodeOf(model.index(2, 0, root)), 6);
        QVERIFY(!(model.flags(root) & Qt::ItemIsEditable));
        QVERIFY(!model.index(3, 0, root).isValid());
        QVERIFY(!model.IndexOfNode(7).isValid());

        // Every node's index maps back to it.
        for (std::int64_t n = 0; n < 7; ++n) QCOMPARE(NodeTreeModel::NodeOf(model.IndexOfNode(n)), n);

        nodes.Reset("other.mp4");
        model.Rebuild(&nodes);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);
        nodes.Clear();
        model.Rebuild(&nodes);
        QCOMPARE(model.rowCount(), 0);
    }

    void aNodeWithoutAnEarlierParentShowsAtTheTop() {
        NodeList nodes;
        nodes.Reset("file.mp4");
        nodes.Add("ftyp", 0);
        nodes.Add("self", 2);    // its own parent
        nodes.Add("ahead", 9);   // a parent that does not exist
        NodeTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.Rebuild(&nodes);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("self"));
        QVERIFY(!model.IndexOfNode(3).parent().isValid());
        QCOMPARE(model.rowCount(model.index(0, 0)), 1);
    }

    void aMillionNodesExpandInAView() {
        NodeList nodes;
        nodes.Reset("big.mp4");
        // Deep and wide at once: chains of four under the root.
        for (int i = 0; i < 250'000; ++i) {
            std::int32_t parent = 0;
            for (int depth = 0; depth < 4; ++depth) parent = nodes.Add(depth == 0 ? "trak" : "stbl", parent);
        }
        NodeTreeModel model;
        model.Rebuild(&nodes);
        QCOMPARE(model.rowCount(model.index(0, 0)), 250'000);
        QTreeView view;
        view.setUniformRowHeights(true);
        view.setModel(&model);
        view.resize(215, 400);
        view.expandAll();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QModelIndex deepest = model.IndexOfNode(1'000'000);
        QVERIFY(view.isExpanded(deepest.parent()));
        view.scrollTo(deepest);
        QVERIFY(view.visualRect(deepest).isValid());
    }
};

QTEST_MAIN(NodeTreeModelTest)
#include "NodeTreeModelTest.moc"
