#pragma once
// The lookup window's filter over its rows. Internal to the framework.
#include "host/controls/LookupModel.h"
#include "host/controls/Lookups.h"

#include <QSortFilterProxyModel>

namespace hostfw::lookup {

// Keeps the rows that hold every word of the filter text in some shown
// column, whatever the letter case and accents ("feijao" finds "Feijão");
// a code matches also without its separators ("0101001" finds 01.01.001).
class LookupFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text) {
        words_ = foldForSearch(text).split(QChar(' '), Qt::SkipEmptyParts);
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex&) const override {
        if (words_.isEmpty()) return true;
        const QString& row = rowText(sourceRow);
        for (const QString& word : words_) {
            if (row.contains(word)) continue;
            const QString bare = withoutSeparators(word);
            if (bare.isEmpty() || !withoutSeparators(row).contains(bare)) return false;
        }
        return true;
    }

private:
    static QString withoutSeparators(const QString& text) {
        QString out;
        for (QChar c : text)
            if (c.isLetterOrNumber() || c == QChar('\n')) out.append(c);
        return out;
    }
    // The row's texts folded once, one line per column.
    const QString& rowText(int row) const {
        if (folded_.size() != sourceModel()->rowCount()) {
            const auto* model = static_cast<const LookupModel*>(sourceModel());
            folded_.clear();
            for (int r = 0; r < model->rowCount(); ++r) folded_.append(foldForSearch(model->textsOf(r).join(QChar('\n'))));
        }
        return folded_[row];
    }
    QStringList words_;
    mutable QStringList folded_;
};

} // namespace hostfw::lookup
