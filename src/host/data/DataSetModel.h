#pragma once
// An item model over a client data set: one row per record, one column per
// field named in its column list. It knows no view: it follows the data set's
// row notifications with fine-grained model signals (rows inserted and
// removed, data changed) and resets only when the data set reloads, reorders
// or closes. The current row is read through the fields, so a row being typed
// shows its pending values; edits write the field's text (SetText) of the
// current row, and a refused text throws to the caller.
#include "host/core/HostExport.h"

#include <QAbstractTableModel>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

namespace hostfw {

class TClientDataSet;
class TField;

class HOSTFW_EXPORT TDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDataSetModel(QObject* parent = nullptr);
    ~TDataSetModel() override;

    TClientDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TClientDataSet* dataSet);

    // The columns: a field name and a title each (a null title: the field's
    // display label, else its name).
    struct Column {
        QString fieldName;
        QString title;
    };
    void SetColumns(const QList<Column>& columns);
    TField* FieldAt(int column) const;  // nullptr when the data set has no such field

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the field's display text; EditRole: its text for editing.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Writes the text into the field of the current row (the only one that
    // can be edited); throws what the field's SetText throws.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Horizontal: the column titles; vertical: the record indicator of the
    // current row ("*" inserting, "I" editing, a triangle browsing).
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void reset();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowUpdated(int row);
    void fieldChanged(TField* field);
    void cursorMoved();
    void indicatorChanged();
    bool active() const;

    QPointer<TClientDataSet> dataSet_;
    QList<QMetaObject::Connection> connections_;
    QList<Column> columns_;
    int rows_ = 0;        // the row count the views were last told
    int indicator_ = -1;  // the row showing the indicator
    enum class Pending { None, Insert, Remove } pending_ = Pending::None;  // between a begin and its end
};

} // namespace hostfw
