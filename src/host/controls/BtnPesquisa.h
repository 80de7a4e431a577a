#pragma once
// The lookup button beside an edit: runs OnBeforePesq (the screen re-opens
// the list's query), lists the rows of DataSource in a lookup window titled
// Title (EmptyError when there is none), and after a pick runs OnAfterPesq
// (the data set stands on the picked row) and puts the focus on the edit.
#include "host/core/HostExport.h"

#include <QPointer>
#include <QToolButton>

#include <functional>

namespace hostfw {

class TDataSource;

class HOSTFW_EXPORT TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr, const QString& name = QString());

    // The edit the button serves; F2 or Ctrl+Enter in it opens the lookup too.
    QWidget* Associate() const { return associate_; }
    void SetAssociate(QWidget* edit);
    QString Title;
    QString EmptyError;
    TDataSource* DataSource = nullptr;
    void SetHint(const QString& hint) { setToolTip(hint); }

    // The click: OnClick when the screen set one, else the lookup. Failures
    // reach the caller; a click by the user runs under hostfw::guard.
    void Click();
    // The lookup alone; true when a row was picked.
    bool Execute();

    std::function<void(bool& cancel)> OnBeforePesq;
    std::function<void()> OnAfterPesq;
    std::function<void()> OnClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> associate_;
};

} // namespace hostfw
