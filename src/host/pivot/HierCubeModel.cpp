#include "host/pivot/HierCubeModel.h"

#include "host/core/BrNumber.h"
#include "host/pivot/HierCube.h"

#include <QFont>

#include <cmath>

namespace hostfw {

THierCubeModel::THierCubeModel(QObject* parent) : QAbstractItemModel(parent), totalCaption_(QStringLiteral("Total")) {}

void THierCubeModel::setCube(THierCube* cube) {
    beginResetModel();
    if (connection_) disconnect(connection_);
    cube_ = cube;
    if (cube_)
        // A new computation replaces the whole tree: nothing of the old one
        // survives, so a reset is the honest signal.
        connection_ = connect(cube_, &THierCube::changed, this, [this] {
            beginResetModel();
            endResetModel();
        });
    endResetModel();
}

void THierCubeModel::setTotalCaption(const QString& caption) {
    totalCaption_ = caption;
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(rows - 1, 0), index(rows - 1, 0));
}

const TCubeResult* THierCubeModel::result() const {
    if (!cube_ || !cube_->Active()) return nullptr;
    return &cube_->Result();
}

int THierCubeModel::grandTotalId() const {
    const auto* r = result();
    return r ? static_cast<int>(r->nodes.size()) : 0;
}

QModelIndex THierCubeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto* r = result();
    if (!r || row < 0 || column < 0 || column >= columnCount()) return {};
    if (!parent.isValid()) {
        const auto& top = r->nodes[0].children;
        if (row < static_cast<int>(top.size())) return createIndex(row, column, quintptr(top[static_cast<size_t>(row)]));
        if (row == static_cast<int>(top.size())) return createIndex(row, column, quintptr(grandTotalId()));
        return {};
    }
    const int node = nodeOf(parent);
    if (node <= 0) return {};
    const auto& children = r->nodes[static_cast<size_t>(node)].children;
    if (row >= static_cast<int>(children.size())) return {};
    return createIndex(row, column, quintptr(children[static_cast<size_t>(row)]));
}

QModelIndex THierCubeModel::parent(const QModelIndex& child) const {
    const int node = nodeOf(child);
    if (node <= 0) return {};
    const int parentNode = result()->nodes[static_cast<size_t>(node)].parent;
    return parentNode <= 0 ? QModelIndex() : indexOfNode(parentNode);
}

int THierCubeModel::rowCount(const QModelIndex& parent) const {
    const auto* r = result();
    if (!r) return 0;
    if (!parent.isValid()) return r->nodes[0].children.empty() ? 0 : static_cast<int>(r->nodes[0].children.size()) + 1;
    if (parent.column() != 0) return 0;
    const int node = nodeOf(parent);
    return node <= 0 ? 0 : static_cast<int>(r->nodes[static_cast<size_t>(node)].children.size());
}

int THierCubeModel::columnCount(const QModelIndex&) const {
    const auto* r = result();
    return r ? 1 + r->columns.size() : 1;
}

QModelIndex THierCubeModel::indexOfNode(int node, int column) const {
    const auto* r = result();
    if (!r || node <= 0 || node >= static_cast<int>(r->nodes.size())) return {};
    const auto& n = r->nodes[static_cast<size_t>(node)];
    return createIndex(n.row, column, quintptr(node));
}

int THierCubeModel::nodeOf(const QModelIndex& index) const {
    if (!index.isValid() || !result()) return 0;
    const int id = static_cast<int>(index.internalId());
    return id == grandTotalId() ? -1 : id;
}

QVariant THierCubeModel::data(const QModelIndex& index, int role) const {
    const auto* r = result();
    if (!r || !index.isValid()) return {};
    const int node = nodeOf(index);
    const auto& n = r->nodes[static_cast<size_t>(node < 0 ? 0 : node)];
    const bool isTotal = node < 0 || !n.children.empty();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0) return node < 0 ? totalCaption_ : n.text;
    {
        // A cell with no rows behind it stays blank.
        const double sum = n.sums[static_cast<size_t>(index.column() - 1)];
        return std::isnan(sum) ? QString() : FormatFixed(sum, 3);
    }
    case NumberRole:
        if (index.column() == 0) return {};
        return std::isnan(n.sums[static_cast<size_t>(index.column() - 1)])
                   ? QVariant()
                   : QVariant(n.sums[static_cast<size_t>(index.column() - 1)]);
    case NodeLevelRole: return node < 0 ? -1 : n.level;
    case IsTotalRole: return isTotal;
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        if (isTotal) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == 0 && node > 0) return r->rowCaptions.value(n.level);
        return {};
    default: return {};
    }
}

QVariant THierCubeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    const auto* r = result();
    if (role == Qt::DisplayRole) {
        if (!r) return {};
        if (section == 0) return r->rowCaptions.join(QStringLiteral(" › "));
        return r->columns.value(section - 1);
    }
    if (role == Qt::ToolTipRole && r && section > 0) return r->columnCaption + QStringLiteral(": ") + r->columns.value(section - 1);
    if (role == Qt::TextAlignmentRole) return section == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags THierCubeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace hostfw
