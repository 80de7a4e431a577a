#pragma once
// The standard routine screen: a modal dialog with a data group box, a side
// panel of flat buttons (confirm, cancel) and the screen-code label.
#include "host/HostExport.h"
#include "host/Messages.h"
#include "host/ModalScreen.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>

namespace hostfw {

class TButtonFlat;

class HOSTFW_EXPORT TfrmRotiGeral : public TModalScreen {
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
    virtual void sbtConfirmaClick() {}
};

} // namespace hostfw
