#pragma once
// Small builders the survey screen's panels share for their widgets and data sets.
#include "host/connection/ADOIBQuery.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Edits.h"
#include "host/data/DataSet.h"

#include <QLabel>

namespace survey::parts {

inline QLabel* label(QWidget* parent, const char* name, const QString& text, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

inline hostfw::TEdit* edit(QWidget* parent, const char* name, int maxLength, bool displayOnly = false) {
    auto* e = new hostfw::TEdit(parent, QString::fromLatin1(name));
    if (maxLength > 0) e->SetMaxLength(maxLength);
    if (displayOnly) e->SetDisplayOnly(true);
    return e;
}

inline hostfw::TBtnPesquisa* searchButton(QWidget* parent, const char* name, QWidget* associate, const QString& title,
                                          hostfw::TDataSource* source, const QString& emptyError) {
    auto* b = new hostfw::TBtnPesquisa(parent, QString::fromLatin1(name));
    b->SetAssociate(associate);
    b->Title = title;
    b->DataSource = source;
    b->EmptyError = emptyError;
    return b;
}

inline hostfw::TClientDataSet* dataSet(QObject* owner, const char* name) {
    return new hostfw::TClientDataSet(owner, QString::fromLatin1(name));
}

inline hostfw::TField* field(hostfw::TClientDataSet* ds, const char* name, hostfw::TFieldType type, int size = 0,
                             const QString& label = QString()) {
    hostfw::TField* f = ds->AddField(QString::fromLatin1(name), type, size);
    if (!label.isEmpty()) f->DisplayLabel = label;
    return f;
}

// Runs a step; on any failure puts the focus on the control and lets the failure go on.
template <typename F>
void refocusOnFailure(QWidget* control, F step) {
    try {
        step();
    } catch (...) {
        if (control && control->isEnabled()) control->setFocus();
        throw;
    }
}

inline hostfw::TADOIBQuery* query(QObject* owner, const char* name, const char* sql) {
    auto* q = new hostfw::TADOIBQuery(owner, QString::fromLatin1(name));
    q->SQL = QString::fromUtf8(sql).split('\n');
    return q;
}

}  // namespace survey::parts
