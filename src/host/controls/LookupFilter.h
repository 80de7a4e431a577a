#pragma once
// The lookup window's filter over its rows. Internal to the framework.
#include "host/controls/LookupModel.h"

#include <QSortFilterProxyModel>

namespace hostfw::lookup {

// Keeps the rows in which any shown column holds the filter text.
class LookupFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text) {
        text_ = text.trimmed();
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex&) const override {
        if (text_.isEmpty()) return true;
        const auto* model = static_cast<const LookupModel*>(sourceModel());
        for (const QString& t : model->textsOf(sourceRow))
            if (t.contains(text_, Qt::CaseInsensitive)) return true;
        return false;
    }

private:
    QString text_;
};

} // namespace hostfw::lookup
