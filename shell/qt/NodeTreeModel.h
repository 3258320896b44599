#pragma once
// The tree of the open file as a Qt item model over the Document's node list,
// without copying the nodes: an index's internal id is the node's absolute index.

#include <QAbstractItemModel>

#include <cstdint>
#include <vector>

namespace kestrova {

class NodeList;

class NodeTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit NodeTreeModel(QObject* parent = nullptr);

    // Takes the nodes as they are now; call again after the list changes.
    void Rebuild(const NodeList* nodes);

    QModelIndex IndexOfNode(std::int64_t node) const;
    static std::int64_t NodeOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    const NodeList* nodes_ = nullptr;
    // Children of every node in index order: those of node n are
    // children_[firstChild_[n] .. firstChild_[n + 1]); roots (no parent) come first in topLevel_.
    std::vector<std::uint32_t> firstChild_;
    std::vector<std::int32_t> children_;
    std::vector<std::int32_t> topLevel_;
    std::vector<std::int32_t> row_;  // each node's row under its parent
};

}  // namespace kestrova
