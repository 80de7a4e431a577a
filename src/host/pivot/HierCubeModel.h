#pragma once
// The item model of a pivot cube: the row tree of the cube (each node a row
// carrying its subtotals, so a group's total line comes before its members)
// and, after the top-level members, the grand total row. Column 0 shows the
// row member, the others the sums per column member. Knows no view.
#include "host/core/HostExport.h"

#include <QAbstractItemModel>
#include <QPointer>

namespace hostfw {

class THierCube;
struct TCubeResult;

class HOSTFW_EXPORT THierCubeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Roles { NodeLevelRole = Qt::UserRole + 1, NumberRole, IsTotalRole };

    explicit THierCubeModel(QObject* parent = nullptr);
    void setCube(THierCube* cube);
    THierCube* cube() const { return cube_; }

    // Caption of the grand total row ("Total" by default).
    void setTotalCaption(const QString& caption);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Index of a cube node (0 = root is invalid), and the node of an index
    // (-1 for the grand total row).
    QModelIndex indexOfNode(int node, int column = 0) const;
    int nodeOf(const QModelIndex& index) const;

private:
    const TCubeResult* result() const;
    int grandTotalId() const;
    QPointer<THierCube> cube_;
    QString totalCaption_;
    QMetaObject::Connection connection_;
};

}  // namespace hostfw
