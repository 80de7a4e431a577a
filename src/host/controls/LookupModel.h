#pragma once
// The lookup window's rows: a snapshot of the data set's visible fields, with
// a check column when several rows may be marked. Internal to the framework.
#include "host/controls/Lookups.h"
#include "host/data/DataSet.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>

#include <vector>

namespace hostfw::lookup {

inline QString keyAt(const TClientDataSet* ds, int row, int keyIndex) {
    return ds->ValueAt(row, keyIndex).toString().trimmed();
}

// The rows as shown when the window opens: the data set does not change
// while the modal window is up, and a snapshot keeps painting and filtering
// from going back to the data set.
class LookupModel : public QAbstractTableModel {
public:
    LookupModel(const LookupRequest& request, QObject* parent) : QAbstractTableModel(parent) {
        TClientDataSet* ds = request.dataSet;
        multi_ = request.multiSelect;
        for (TField* f : ds->Fields())
            if (f->Visible) fields_.append(f);
        const int keyIndex = multi_ ? ds->FieldByName(request.keyField)->Index() : -1;
        const int rows = ds->Active() ? ds->RecordCount() : 0;
        for (const QString& k : request.marked) marked_.insert(k.trimmed());
        texts_.reserve(rows);
        for (int row = 0; row < rows; ++row) {
            QStringList line;
            for (TField* f : fields_) line.append(ds->DisplayTextAt(row, f->Index()));
            texts_.push_back(line);
            if (multi_) keys_.append(keyAt(ds, row, keyIndex));
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(texts_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : fields_.size() + (multi_ ? 1 : 0);
    }
    int fieldColumn(int column) const { return multi_ ? column - 1 : column; }
    bool isCheckColumn(int column) const { return multi_ && column == 0; }
    TField* fieldAt(int column) const { return isCheckColumn(column) ? nullptr : fields_[fieldColumn(column)]; }
    const QStringList& textsOf(int row) const { return texts_[row]; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (isCheckColumn(index.column())) {
            if (role == Qt::CheckStateRole) return marked_.contains(keys_[index.row()]) ? Qt::Checked : Qt::Unchecked;
            return {};
        }
        const TField* f = fieldAt(index.column());
        if (role == Qt::DisplayRole) return texts_[index.row()][fieldColumn(index.column())];
        if (role == Qt::TextAlignmentRole && (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftInteger))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || !isCheckColumn(index.column()) || role != Qt::CheckStateRole) return false;
        setMarked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (isCheckColumn(index.column())) f |= Qt::ItemIsUserCheckable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (isCheckColumn(section)) return QString();
        const TField* f = fieldAt(section);
        return f->DisplayLabel.isEmpty() ? f->FieldName() : f->DisplayLabel;
    }

    void setMarked(int row, bool on) {
        if (on)
            marked_.insert(keys_[row]);
        else
            marked_.remove(keys_[row]);
        const QModelIndex i = index(row, 0);
        emit dataChanged(i, i, {Qt::CheckStateRole});
    }
    void toggle(int row) { setMarked(row, !marked_.contains(keys_[row])); }

    QStringList markedInOrder() const {
        QStringList out;
        for (const QString& k : keys_)
            if (marked_.contains(k) && !out.contains(k)) out.append(k);
        return out;
    }

private:
    bool multi_ = false;
    QList<TField*> fields_;
    std::vector<QStringList> texts_;
    QStringList keys_;
    QSet<QString> marked_;
};

} // namespace hostfw::lookup
