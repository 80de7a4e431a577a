#pragma once
// The standard routine screen: a modal dialog with a data group box, a side
// panel of flat buttons (confirm, cancel) and the screen-code label.
#include "host/HostExport.h"
#include "host/Messages.h"

#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>

namespace hostfw {

class TButtonFlat;

class HOSTFW_EXPORT TfrmRotiGeral : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    QLabel* lblCodTela;
    QGroupBox* grbDadosRel;  // the screen's own controls go here
    QFrame* panMenu;
    QFrame* panBotoes;
    TButtonFlat* sbtConfirma;
    TButtonFlat* sbtCancel;
    TMessages* msgPadrao;
    int HelpContext = 0;

    virtual void FormCreate() {}
    virtual void FormActivate() { update(); }
    virtual void FormClose() {}
    virtual void sbtConfirmaClick() {}

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void done(int result) override;

private:
    bool closed_ = false;
};

} // namespace hostfw
