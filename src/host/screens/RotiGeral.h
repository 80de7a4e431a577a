#pragma once
// The standard routine screen: a modal screen whose side panel holds the
// confirm and cancel buttons.
#include "host/core/HostExport.h"
#include "host/screens/ModalScreen.h"

namespace hostfw {

class TButtonFlat;

class HOSTFW_EXPORT TfrmRotiGeral : public TModalScreen {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    TButtonFlat* sbtConfirma;
    TButtonFlat* sbtCancel;

    virtual void FormCreate() {}
    virtual void sbtConfirmaClick() {}
};

} // namespace hostfw
