#include "host/data/DataSetModel.h"

#include "host/data/DataSet.h"

namespace hostfw {

TDataSetModel::TDataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

TDataSetModel::~TDataSetModel() {
    for (const auto& c : connections_) disconnect(c);
}

bool TDataSetModel::active() const { return dataSet_ && dataSet_->Active(); }

void TDataSetModel::SetDataSet(TClientDataSet* dataSet) {
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    dataSet_ = dataSet;
    if (dataSet) {
        connections_ << connect(dataSet, &TClientDataSet::rowAboutToBeInserted, this,
                                &TDataSetModel::rowAboutToBeInserted)
                     << connect(dataSet, &TClientDataSet::rowInserted, this, &TDataSetModel::rowInserted)
                     << connect(dataSet, &TClientDataSet::rowAboutToBeRemoved, this,
                                &TDataSetModel::rowAboutToBeRemoved)
                     << connect(dataSet, &TClientDataSet::rowRemoved, this, &TDataSetModel::rowRemoved)
                     << connect(dataSet, &TClientDataSet::rowUpdated, this, &TDataSetModel::rowUpdated)
                     << connect(dataSet, &TClientDataSet::rowsReset, this, &TDataSetModel::reset)
                     << connect(dataSet, &TClientDataSet::dataChanged, this, &TDataSetModel::fieldChanged)
                     << connect(dataSet, &TClientDataSet::scrolled, this, &TDataSetModel::cursorMoved)
                     << connect(dataSet, &TClientDataSet::stateChanged, this, [this] {
                            // Opening or closing changes the rows without a row notification.
                            if (pending_ != Pending::None) return;
                            const int now = active() ? dataSet_->RecordCount() : 0;
                            if (now != rows_) reset();
                            else indicatorChanged();
                        })
                     << connect(dataSet, &QObject::destroyed, this, [this] { SetDataSet(nullptr); });
    }
    reset();
}

void TDataSetModel::SetColumns(const QList<Column>& columns) {
    const int before = int(columns_.size());
    const int after = int(columns.size());
    // Same count: titles or fields changed in place; otherwise the shape changed.
    if (before == after) {
        columns_ = columns;
        if (after > 0) {
            emit headerDataChanged(Qt::Horizontal, 0, after - 1);
            if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, after - 1));
        }
        return;
    }
    beginResetModel();
    columns_ = columns;
    endResetModel();
}

TField* TDataSetModel::FieldAt(int column) const {
    if (!dataSet_ || column < 0 || column >= columns_.size() || columns_[column].fieldName.isEmpty()) return nullptr;
    return dataSet_->FindField(columns_[column].fieldName);
}

int TDataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TDataSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

QVariant TDataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole) || !active()) return {};
    TField* f = FieldAt(index.column());
    const int row = index.row();
    if (!f || row < 0 || row >= dataSet_->RecordCount()) return {};
    // The current row shows the values being edited.
    if (role == Qt::EditRole) return row == dataSet_->CurrentRow() ? f->Text() : QVariant();
    if (row == dataSet_->CurrentRow()) return f->DisplayText();
    return dataSet_->DisplayTextAt(row, f->Index());
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !active() || index.row() != dataSet_->CurrentRow()) return false;
    TField* f = FieldAt(index.column());
    if (!f) return false;
    // The field's change reaches the views through the data set's notification.
    f->SetText(value.toString());
    return true;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns_.size()) return {};
        const Column& c = columns_[section];
        if (!c.title.isNull()) return c.title;
        if (TField* f = FieldAt(section); f && !f->DisplayLabel.isEmpty()) return f->DisplayLabel;
        return c.fieldName;
    }
    if (!active() || section != dataSet_->CurrentRow()) return QString();
    if (dataSet_->State() == TDataSetState::dsInsert) return QStringLiteral("*");
    if (dataSet_->State() == TDataSetState::dsEdit) return QStringLiteral("I");
    return QStringLiteral("\u25B6");
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    TField* f = FieldAt(index.column());
    if (f && !f->ReadOnly && f->FieldKind() == TFieldKind::fkData) flags |= Qt::ItemIsEditable;
    return flags;
}

void TDataSetModel::reset() {
    if (pending_ == Pending::Insert) endInsertRows();
    if (pending_ == Pending::Remove) endRemoveRows();
    pending_ = Pending::None;
    beginResetModel();
    rows_ = active() ? dataSet_->RecordCount() : 0;
    indicator_ = active() ? dataSet_->CurrentRow() : -1;
    endResetModel();
}

void TDataSetModel::rowAboutToBeInserted(int row) {
    if (pending_ != Pending::None || !active() || row < 0 || row > rows_) return;
    pending_ = Pending::Insert;
    beginInsertRows({}, row, row);
}

void TDataSetModel::rowInserted(int row) {
    if (pending_ != Pending::Insert) return reset();
    pending_ = Pending::None;
    ++rows_;
    if (indicator_ >= row) ++indicator_;
    endInsertRows();
    if (dataSet_->RecordCount() != rows_) return reset();
    cursorMoved();
}

void TDataSetModel::rowAboutToBeRemoved(int row) {
    if (pending_ != Pending::None || !active() || row < 0 || row >= rows_) return;
    pending_ = Pending::Remove;
    beginRemoveRows({}, row, row);
}

void TDataSetModel::rowRemoved(int row) {
    if (pending_ != Pending::Remove) return reset();
    pending_ = Pending::None;
    --rows_;
    if (indicator_ == row) indicator_ = -1;
    else if (indicator_ > row) --indicator_;
    endRemoveRows();
    if (!dataSet_ || dataSet_->RecordCount() != rows_) return reset();
    cursorMoved();
}

void TDataSetModel::rowUpdated(int row) {
    if (row < 0 || row >= rows_ || columns_.isEmpty()) return;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
    indicatorChanged();
}

void TDataSetModel::fieldChanged(TField* field) {
    Q_UNUSED(field)
    // The whole current row: a field's display text may read the others.
    const int row = active() ? dataSet_->CurrentRow() : -1;
    if (row < 0 || row >= rows_ || columns_.isEmpty()) return;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

void TDataSetModel::cursorMoved() {
    // The row that lost the cursor and the one that got it: the indicator moved
    // and the current row is read through the fields.
    const int now = active() ? dataSet_->CurrentRow() : -1;
    const int before = indicator_;
    indicator_ = now;
    for (int row : {before, now}) {
        if (row < 0 || row >= rows_) continue;
        emit headerDataChanged(Qt::Vertical, row, row);
        if (!columns_.isEmpty()) emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
    }
}

void TDataSetModel::indicatorChanged() {
    const int now = active() ? dataSet_->CurrentRow() : -1;
    if (now != indicator_) return cursorMoved();
    if (now >= 0 && now < rows_) emit headerDataChanged(Qt::Vertical, now, now);
}

} // namespace hostfw
