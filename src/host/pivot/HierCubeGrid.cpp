#include "host/pivot/HierCubeGrid.h"

#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeModel.h"

#include <QHeaderView>

#include <cmath>
#include <limits>

namespace hostfw {

void TDimensionState::ExpandAllNodes() {
    if (rowLevel_ >= 0) grid_->setLevelExpanded(rowLevel_, true);
}

void TDimensionState::CollapseAllNodes() {
    if (rowLevel_ >= 0) grid_->setLevelExpanded(rowLevel_, false);
}

TDimensionState* TDimensionStates::FindFieldName(const QString& fieldName) {
    for (auto& s : states_)
        if (s.FieldName().compare(fieldName, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

THierCubeGrid::THierCubeGrid(QWidget* parent, const QString& name)
    : QTreeView(parent), model_(new THierCubeModel(this)) {
    setObjectName(name);
    setModel(model_);
    setUniformRowHeights(true);  // long stays have thousands of rows
    setAlternatingRowColors(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAnimated(false);
    header()->setSectionsMovable(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);  // column sizing on
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignCenter);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        states_.reset();
        fitColumns();
    });
}

void THierCubeGrid::SetCube(THierCube* cube) {
    cube_ = cube;
    model_->setCube(cube);
    states_.reset();
}

TDimensionStates* THierCubeGrid::GetDimensionStates() {
    if (!states_) {
        std::vector<TDimensionState> states;
        int level = 0;
        if (cube_)
            for (const auto& d : cube_->DimensionMap) {
                const bool row = d.role == TCubeRole::Dimension && d.axis == TCubeAxis::Rows;
                states.emplace_back(this, d.fieldName, row ? level++ : -1);
            }
        states_ = std::make_unique<TDimensionStates>(std::move(states));
    }
    return states_.get();
}

void THierCubeGrid::setLevelExpanded(int level, bool expanded) {
    if (!cube_ || !cube_->Active()) return;
    const auto& nodes = cube_->Result().nodes;
    // One layout at the end instead of one per node.
    setUpdatesEnabled(false);
    std::vector<int> atLevel;
    for (int i = 1; i < static_cast<int>(nodes.size()); ++i)
        if (nodes[static_cast<size_t>(i)].level == level && !nodes[static_cast<size_t>(i)].children.empty())
            atLevel.push_back(i);
    // Deepest-first is cheap for a collapsed parent; for a level the order
    // does not matter, so just walk the list.
    for (int node : atLevel) setExpanded(model_->indexOfNode(node), expanded);
    setUpdatesEnabled(true);
    fitColumns();
}

void THierCubeGrid::fitColumns() {
    if (model_->columnCount() == 0) return;
    // The header column as wide as its texts (bounded), each number column as
    // wide as its title or a large number, whichever is wider.
    const QFontMetrics fm(font());
    // The row header column shows its whole title and the deepest labels.
    int first = fm.horizontalAdvance(model_->headerData(0, Qt::Horizontal).toString()) + 24;
    first = std::clamp(first, 260, 640);
    header()->resizeSection(0, first);
    const int number = fm.horizontalAdvance(QStringLiteral("000.000,000")) + 16;
    for (int c = 1; c < model_->columnCount(); ++c) {
        const int title = fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal).toString()) + 16;
        header()->resizeSection(c, std::min(std::max(number, title), 220));
    }
}

QStringList THierCubeGrid::headers() const {
    QStringList out;
    for (int c = 0; c < model_->columnCount(); ++c) out << model_->headerData(c, Qt::Horizontal).toString();
    return out;
}

std::vector<TCubeGridRow> THierCubeGrid::visibleRows() const {
    std::vector<TCubeGridRow> out;
    const int columns = model_->columnCount();
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth) {
        const int rows = model_->rowCount(parent);
        for (int r = 0; r < rows; ++r) {
            const QModelIndex idx = model_->index(r, 0, parent);
            TCubeGridRow row;
            row.depth = depth;
            row.label = idx.data().toString();
            row.isTotal = idx.data(THierCubeModel::IsTotalRole).toBool();
            for (int c = 1; c < columns; ++c) {
                const QVariant v = model_->index(r, c, parent).data(THierCubeModel::NumberRole);
                row.values.push_back(v.isValid() ? v.toDouble() : std::numeric_limits<double>::quiet_NaN());
            }
            out.push_back(std::move(row));
            if (isExpanded(idx)) walk(idx, depth + 1);
        }
    };
    walk(QModelIndex(), 0);
    return out;
}

}  // namespace hostfw
