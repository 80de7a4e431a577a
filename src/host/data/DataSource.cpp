// The data source: tells its handlers about the state and data changes of
// its data set. Handlers are plain calls so that their exceptions reach the
// data set's caller (a refused insert), which Qt's signals would not allow.
#include "host/data/DataSetPrivate.h"

namespace hostfw {

TDataSource::TDataSource(QObject* owner, const QString& name, TClientDataSet* dataSet) : QObject(owner) {
    if (!name.isEmpty()) setObjectName(name);
    SetDataSet(dataSet);
}

TDataSource::~TDataSource() {
    if (dataSet_) dataSet_->d->sources.removeAll(QPointer<TDataSource>(this));
}

void TDataSource::SetDataSet(TClientDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    if (dataSet_) dataSet_->d->sources.removeAll(QPointer<TDataSource>(this));
    dataSet_ = dataSet;
    if (dataSet_) {
        dataSet_->d->sources.append(QPointer<TDataSource>(this));
        connections_ << connect(dataSet_, &QObject::destroyed, this, [this] {
            dataSet_ = nullptr;
            connections_.clear();
            emit dataSetChanged();
        });
    }
    emit dataSetChanged();
}

TDataSetState TDataSource::State() const { return dataSet_ ? dataSet_->State() : TDataSetState::dsInactive; }

} // namespace hostfw
