#pragma once
// The pivot grid: a tree view over a cube's model, nested row headers that
// open and close, one column per column member. Column sizing is on; the
// pivot's own control button, panel, popups and settings are not offered.
#include "host/core/HostExport.h"

#include <QString>
#include <QStringList>
#include <QTreeView>

#include <memory>
#include <vector>

namespace hostfw {

class THierCube;
class THierCubeModel;
class THierCubeGrid;

// The grid's state of one dimension of the cube's map.
class HOSTFW_EXPORT TDimensionState {
public:
    TDimensionState(THierCubeGrid* grid, QString fieldName, int rowLevel)
        : grid_(grid), fieldName_(std::move(fieldName)), rowLevel_(rowLevel) {}
    QString FieldName() const { return fieldName_; }
    int RowLevel() const { return rowLevel_; }  // -1: not a row dimension
    // Opens every node of this dimension (nothing to open for the last row
    // level or a column dimension).
    void ExpandAllNodes();
    void CollapseAllNodes();

private:
    THierCubeGrid* grid_;
    QString fieldName_;
    int rowLevel_;
};

class HOSTFW_EXPORT TDimensionStates {
public:
    explicit TDimensionStates(std::vector<TDimensionState> states) : states_(std::move(states)) {}
    // The state of the dimension bound to that field (case-insensitive), or nullptr.
    TDimensionState* FindFieldName(const QString& fieldName);
    int Count() const { return static_cast<int>(states_.size()); }

private:
    std::vector<TDimensionState> states_;
};

// One row as the grid shows it (expanded rows only), for export and printing.
struct HOSTFW_EXPORT TCubeGridRow {
    int depth = 0;              // nesting depth (0 = top level)
    QString label;
    std::vector<double> values;  // NaN: empty cell
    bool isTotal = false;        // a subtotal or the grand total
};

class HOSTFW_EXPORT THierCubeGrid : public QTreeView {
    Q_OBJECT
public:
    explicit THierCubeGrid(QWidget* parent = nullptr, const QString& name = QString());

    void SetCube(THierCube* cube);
    THierCube* Cube() const { return cube_; }
    THierCubeModel* Model() const { return model_; }

    TDimensionStates* GetDimensionStates();

    // Opens or closes every node whose row level is `level`.
    void setLevelExpanded(int level, bool expanded);

    // What the grid shows, in order: headers and the visible rows.
    QStringList headers() const;
    std::vector<TCubeGridRow> visibleRows() const;

private:
    void fitColumns();
    THierCube* cube_ = nullptr;
    THierCubeModel* model_;
    std::unique_ptr<TDimensionStates> states_;
};

}  // namespace hostfw
