#include "shell/qt/NodeTreeModel.h"

#include "common/NodeList.h"

namespace kestrova {

NodeTreeModel::NodeTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void NodeTreeModel::Rebuild(const NodeList* nodes) {
    beginResetModel();
    nodes_ = nodes;
    firstChild_.clear();
    children_.clear();
    topLevel_.clear();
    row_.clear();
    if (nodes_) {
        const auto& all = nodes_->Nodes();
        const std::size_t n = all.size();
        firstChild_.assign(n + 1, 0);
        row_.assign(n, 0);
        // A parent that is not an earlier node would break the preorder; such a node shows at the top.
        auto validParent = [&](std::size_t i) {
            const std::int32_t p = all[i].parent;
            return p >= 0 && static_cast<std::size_t>(p) < i;
        };
        for (std::size_t i = 0; i < n; ++i)
            if (validParent(i)) ++firstChild_[static_cast<std::size_t>(all[i].parent) + 1];
        for (std::size_t i = 0; i < n; ++i) firstChild_[i + 1] += firstChild_[i];
        children_.resize(firstChild_[n]);
        std::vector<std::uint32_t> fill(firstChild_.begin(), firstChild_.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            if (validParent(i)) {
                const auto p = static_cast<std::size_t>(all[i].parent);
                row_[i] = static_cast<std::int32_t>(fill[p] - firstChild_[p]);
                children_[fill[p]++] = static_cast<std::int32_t>(i);
            } else {
                row_[i] = static_cast<std::int32_t>(topLevel_.size());
                topLevel_.push_back(static_cast<std::int32_t>(i));
            }
        }
    }
    endResetModel();
}

QModelIndex NodeTreeModel::IndexOfNode(std::int64_t node) const {
    if (node < 0 || static_cast<std::size_t>(node) >= row_.size()) return {};
    return createIndex(row_[static_cast<std::size_t>(node)], 0, static_cast<quintptr>(node));
}

std::int64_t NodeTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<std::int64_t>(index.internalId()) : -1;
}

QModelIndex NodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) {
        if (static_cast<std::size_t>(row) >= topLevel_.size()) return {};
        return createIndex(row, 0, static_cast<quintptr>(topLevel_[static_cast<std::size_t>(row)]));
    }
    const auto p = static_cast<std::size_t>(parent.internalId());
    if (p + 1 >= firstChild_.size()) return {};
    const std::uint32_t begin = firstChild_[p];
    if (static_cast<std::uint32_t>(row) >= firstChild_[p + 1] - begin) return {};
    return createIndex(row, 0, static_cast<quintptr>(children_[begin + static_cast<std::uint32_t>(row)]));
}

QModelIndex NodeTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || !nodes_) return {};
    const auto node = static_cast<std::size_t>(child.internalId());
    if (node >= row_.size() || node >= nodes_->Count()) return {};
    const std::int32_t p = nodes_->Nodes()[node].parent;
    if (p < 0 || static_cast<std::size_t>(p) >= node) return {};
    return IndexOfNode(p);
}

int NodeTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(topLevel_.size());
    if (parent.column() != 0) return 0;
    const auto p = static_cast<std::size_t>(parent.internalId());
    return static_cast<int>(firstChild_[p + 1] - firstChild_[p]);
}

int NodeTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool NodeTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant NodeTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !nodes_ || role != Qt::DisplayRole) return {};
    const auto node = static_cast<std::size_t>(index.internalId());
    if (node >= row_.size() || node >= nodes_->Count()) return {};
    return QString::fromStdString(nodes_->Nodes()[node].caption);
}

Qt::ItemFlags NodeTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace kestrova
