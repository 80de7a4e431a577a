#pragma once
// A pivot cube over a client data set: the rows of the data set aggregated by
// nested row dimensions and one column dimension into sums of one summary
// field. The cube is computed once when it is activated (or its data set
// reloads while active) and read many times by views, exports and printing.
#include "host/core/HostExport.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <vector>

namespace hostfw {

class TClientDataSet;

enum class TCubeRole { Dimension, Summary, None };
enum class TCubeAxis { Rows, Columns, None };
enum class TMemberOrder { ByName, DataSetOrder };

// One entry of the cube's dimension map.
struct HOSTFW_EXPORT TCubeDimension {
    QString fieldName;
    QString caption;
    TCubeRole role = TCubeRole::Dimension;
    TCubeAxis axis = TCubeAxis::None;
    TMemberOrder order = TMemberOrder::ByName;
    bool asText = false;  // numbers taken as text members, formatted as the field displays them
    // How a member is shown (ordering still uses the member itself); none: as it is.
    std::function<QString(const QString& member)> display;
};

// The computed cube. Row nodes form a tree: level 0 under the root, one level
// per row dimension; each node holds the sums of its rows per column member.
// A cell without any row is NaN (shown blank, not 0).
struct HOSTFW_EXPORT TCubeResult {
    struct Node {
        QString member;          // the member, as ordered
        QString text;            // the member as shown
        int level = -1;          // row dimension index; -1 for the root
        int parent = -1;
        int row = 0;             // position among its parent's children
        std::vector<int> children;
        std::vector<double> sums;  // one per column member
    };
    QStringList rowCaptions;     // captions of the row dimensions, nesting order
    QString columnCaption;
    QString summaryCaption;
    QStringList columns;         // column members in order
    std::vector<Node> nodes;     // nodes[0] is the root (the grand total)
    int rowLevels() const { return rowCaptions.size(); }
};

class HOSTFW_EXPORT THierCube : public QObject {
    Q_OBJECT
public:
    explicit THierCube(QObject* owner = nullptr, const QString& name = QString());

    std::vector<TCubeDimension> DimensionMap;

    // Binds the cube to a data set, or to none (nullptr); unbinding deactivates.
    void SeDataSet(TClientDataSet* dataSet);
    TClientDataSet* DataSet() const { return dataSet_; }

    // Activating computes the cube from the data set's rows; throws EHostError
    // when no data set is bound, the map names a missing field, or the cube
    // would not fit in the memory capacity.
    void SetActive(bool active);
    bool Active() const { return active_; }

    const TCubeResult& Result() const { return result_; }

    // Bytes the cube may take; set once per process (see MemoryCapacity.h).
    static std::size_t memoryCapacity();

signals:
    void changed();  // activated, recomputed or deactivated

private:
    void compute();
    void clear();

    TClientDataSet* dataSet_ = nullptr;
    bool active_ = false;
    TCubeResult result_;
    QList<QMetaObject::Connection> connections_;
};

}  // namespace hostfw
